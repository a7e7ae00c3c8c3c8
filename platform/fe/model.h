// The FE model: the simulated kernel forwarding engine behind the fe_ calls
// and the kernel message channel. Pure state and functions: no sockets, no
// threads; the caller serialises access (apsim holds one mutex around it).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fe/acl.h"
#include "platform/fe/alg.h"
#include "platform/fe/counters.h"
#include "platform/fe/faults.h"
#include "platform/fe/mac_acl.h"
#include "platform/fe/ops.h"
#include "platform/fe/profiles.h"
#include "platform/fe/qos.h"
#include "platform/fe/qos_policy.h"
#include "platform/fe/sessions.h"
#include "platform/history.h"
#include "platform/proto.h"

namespace fem {

// ---- scalar settings -------------------------------------------------------

inline constexpr std::uint16_t kNoId = 0;  // no set (read-only) or no read (set-only) number

// One scalar FE parameter: written through `set`, read through `read`.
struct SettingDef {
    std::uint16_t set;
    std::uint16_t read;
    std::uint32_t boot;  // value after the FE boots
    const char* what;
};

// Booted state of a freshly started access point.
inline constexpr SettingDef kSettings[] = {
    {56, kNoId, 1, "FE on/off"},
    {57, 58, 1, "proxy ARP"},
    {59, 60, 0, "enhanced proxy"},
    {61, 62, 0, "third proxy-ARP switch"},
    {65, 66, 1, "inter-SSID flooding"},
    {16, 17, 300, "unicast MAC session refresh time"},
    {18, 19, 60, "broadcast MAC session refresh time"},
    {76, 77, 0, "maximum MAC sessions per station"},
    {78, 79, 0, "maximum IP sessions per station"},
    {101, kNoId, 0, "firewall drop log"},
    {103, kNoId, 0, "to-self session log"},
    {105, kNoId, 0, "to-self non-management drop"},
    {107, kNoId, 0, "IP fragment drop"},
    {122, kNoId, 0, "tunnel multicast block-all"},
    {126, 127, 1, "tunnel TCP MSS threshold"},
    {128, 129, 0, "tunnel TCP MSS threshold size"},
    {130, 131, 1, "path MTU discovery"},
    {157, 158, 0, "session-sync VLAN"},
    {kNoId, 3, 0, "MAC session count"},
    {kNoId, 5, 0, "policy count"},
    {kNoId, 6, 0, "tunnel count"},
    {kNoId, 41, 0, "IP session count"},
    {kNoId, 55, 0, "IP gate count"},
    {kNoId, 154, 0, "data-collection status"},
    {90, 91, 0, "CAC status"},
    {kNoId, 92, 0, "token bucket count"},
    {kNoId, 94, 0, "station count"},
    {kNoId, 98, 20, "CAC roaming weight"},
    {99, 100, 500, "maximum CAC available airtime"},
};
inline constexpr std::size_t kSettingCount = std::size(kSettings);

// ---- kernel requests -------------------------------------------------------

inline constexpr std::uint32_t kNotifyIntervalBoot = 600;  // seconds

// One request as the kernel received it.
struct KernelRequest {
    std::uint16_t code;                // the code handed to the send call
    std::uint8_t module;               // header byte 0
    std::uint16_t header_code;         // header bytes 2-3
    std::uint32_t reply_size;          // header word at 12
    bool reply_zero;                   // the reply area held only zeros
    std::vector<std::uint8_t> record;  // the request record before the kernel wrote it
    std::int32_t result;               // the result word the kernel wrote
};

// One fe_ scalar call as the library received it.
struct FeCall {
    proto::FeFn fn;
    std::uint32_t id;
    std::uint32_t value;  // set calls: the value; get calls: what was returned
    std::string text;     // scalar calls: the description text; table calls: the fe_ name
    int rc;
    std::vector<std::uint8_t> args;  // table calls: the argument record as sent
};

// One /dev/fe ioctl as the device received it.
struct IoctlRequest {
    std::uint32_t request;
    std::vector<std::uint8_t> envelope;  // before the FE wrote its answer
    int rc;
};

// ---- FE settings tables ------------------------------------------------------

// Incoming-traffic rate limits of one Ethernet-side interface (kernel codes 125-128).
struct RateLimit {
    std::string ifname;
    bool bcast_on, mcast_on, ucast_on;
    std::uint32_t bcast_rate, mcast_rate, ucast_rate;  // kbit/s
};
// Interfaces the kernel limits, each booted at the defaults.
inline constexpr const char* kRateLimitIfaces[] = {"eth0", "eth1", "agg0", "red0"};

struct Vwire {
    bool set = false;
    std::uint32_t ifindex1 = 0, ifindex2 = 0;
    std::array<std::uint8_t, 6> mac{};
};

struct McastEntry {
    std::uint32_t addr, mask;  // network order
};
inline constexpr std::size_t kMcastMax = 32;  // entries the FE list holds

struct RegPort {
    std::uint16_t port;
    std::uint8_t proto;      // 17 UDP, 6 TCP
    std::uint8_t direction;  // 1 source, 2 destination
    const char* note;
};
// To-self ports the booted FE keeps open for the platform's own services.
inline constexpr RegPort kRegPorts[] = {
    {12222, 17, 2, "CAPWAP control"},
    {3007, 6, 2, "management agent"},
    {5246, 17, 1, "CAPWAP replies"},
};

inline constexpr std::size_t kFfMax = 64;  // filters the FE holds
using FfRecord = std::array<std::uint8_t, 52>;

inline constexpr std::size_t kCallLogMax = 4096;

struct Model {
    std::array<std::uint32_t, kSettingCount> values{};
    std::uint32_t notify_interval = kNotifyIntervalBoot;
    std::vector<RateLimit> rate_limits;
    Vwire vwire;
    std::vector<McastEntry> mcast;  // tunnel multicast list, in the order added
    std::vector<FfRecord> ffs;      // FE filters in id order

    // Call logs for tests and apsim's displays: the newest entries only.
    plat::History<FeCall, kCallLogMax> fe_calls;
    plat::History<KernelRequest, kCallLogMax> requests;
    std::size_t reply_violations = 0;  // requests whose reply area was not all zero
    plat::History<IoctlRequest, kCallLogMax> ioctls;

    AlgState alg;        // services, ALG settings, gates, control sessions (alg.h)
    SessionTables sess;  // MAC and IP sessions (sessions.h)
    OpsTables ops;       // policies, fragments, unroam, members, tunnels (ops.h)
    AclState acl;        // IP access-control groups (acl.h)
    MacAclState mac;     // MAC access-control groups, IPv6 guards (mac_acl.h)
    UpTable up;          // user profiles and what the FE keys by UPID (profiles.h)
    QosTable qos;        // QoS profiles and their bindings (qos.h)
    CounterState cnt;    // packet, drop and data-collection counters (counters.h)
    // QoS switches, policies, VLAN QoS, snapshot (qos_policy.h)
    QosPolicyState qpol;
};

// Puts the model in its booted state and forgets the call logs.
void model_init(Model& m);

// fe_set_boolean_value / fe_set_int_value: 0, or -1 for an unknown or
// read-only number. Faults: "NAME:ID" and "NAME" (the fe_ function name).
int fe_set(Model& m, Faults& f, proto::FeFn fn, std::uint32_t id, std::uint32_t value,
           std::string_view text);
// fe_get_boolean_value / fe_get_int_value: 0 with *value set, or -1 (value untouched).
int fe_get(Model& m, Faults& f, proto::FeFn fn, std::uint32_t id, std::string_view text,
           std::uint32_t* value);
// The fe_ function name of a scalar call ("fe_get_int_value").
const char* fe_fn_name(proto::FeFn fn);

// Direct access for tests and apsim's own displays, by set or read number.
bool setting_value(const Model& m, std::uint16_t id, std::uint32_t* value);
// Sets a value by set or read number (read-only counts included); false when unknown.
bool setting_force(Model& m, std::uint16_t id, std::uint32_t value);

// Carries out one kernel request. `header` is the 20-byte request message,
// `record` the caller's request record (updated in place: result word and
// read data), `reply` the reply area as the caller handed it. The request is
// logged and the reply area checked. Fault "kcode:N" makes the kernel write
// that result. Returns the result word.
std::int32_t kernel_request(Model& m, Faults& f, std::uint16_t code,
                            std::span<const std::uint8_t> header, std::span<std::uint8_t> record,
                            std::span<const std::uint8_t> reply);

// True when the model has a handler for `code` (other codes answer -1).
bool kernel_code_known(std::uint16_t code);

// Rate-limit record of an interface, or nullptr for one the kernel does not limit.
RateLimit* rate_limit_of(Model& m, std::string_view ifname);
bool rate_limit_at_defaults(const RateLimit& rl);

// ---- FE settings tables (tables.cpp) ---------------------------------------

// Puts the tables in their booted state.
void tables_init(Model& m);
// Answers a table call of the FE control library (proto::FeFn 201-210): the
// rc, with `out` filled. *known is false for a function that is no table call.
// Faults: "NAME" (the fe_ function name), and "NAME:ID" for filter ids.
int fe_table_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                  std::vector<std::uint8_t>& out, bool* known);

// ---- /dev/fe ---------------------------------------------------------------

// Carries out one ioctl on the FE device: the envelope is updated in place.
// Returns the ioctl result (-1 for a request the FE does not know). Faults:
// "qz_ioctl:REQUEST" and "qz_ioctl".
int fe_ioctl(Model& m, Faults& f, std::uint32_t request, std::span<std::uint8_t> envelope);

}  // namespace fem
