// The FE's ALG side: the service table that tells control flows apart, the
// per-ALG settings (enable flags first), the gates that fed opens and deletes
// through /dev/fe, the messages 82 and 83, and the control sessions and flows
// that a replayed capture creates. Plain state in fem::Model; the caller holds
// the model's lock.
//
// Addresses and ports are kept as host numbers here (10.0.0.1 is 0x0a000001);
// the /dev/fe envelope and the gate entries carry them big-endian.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/alg_msg.h"
#include "platform/fe/faults.h"

namespace fem {

struct Model;

// ---- services --------------------------------------------------------------

inline constexpr std::size_t kMaxServices = 100;
inline constexpr std::uint16_t kNoAppId = 65534;

struct ServiceDef {
    const char* name;
    std::uint8_t protocol;
    std::uint16_t port;
    std::uint16_t alg_type;
    std::uint32_t timeout;  // seconds
    std::uint8_t qos_class;
};

// The booted FE's service table, in this order; "any" is last.
inline constexpr ServiceDef kPredefinedServices[] = {
    {"ftp-data", 6, 20, 0, 1800, 0},
    {"ftp", 6, 21, 1, 1800, 2},
    {"tftp", 17, 69, 2, 60, 3},
    {"ssh", 6, 22, 0, 7200, 2},
    {"telnet", 6, 23, 0, 1800, 2},
    {"http", 6, 80, 6, 300, 2},
    {"snmp", 17, 161, 0, 60, 2},
    {"snmp-trap", 17, 162, 0, 60, 2},
    {"https", 6, 443, 0, 1800, 2},
    {"sip", 17, 5060, 3, 600, 6},
    {"voip-svp", 119, 0, 0, 600, 6},
    {"radius", 17, 1812, 0, 60, 5},
    {"radius-acct", 17, 1813, 0, 60, 5},
    {"icmp", 1, 0, 0, 5, 2},
    {"dhcp-client", 17, 68, 0, 60, 5},
    {"dhcp-server", 17, 67, 0, 60, 5},
    {"dns", 17, 53, 4, 60, 5},
    {"vocera-control", 17, 5002, 0, 300, 5},
    {"vocera-media", 17, 5200, 0, 60, 6},
    {"pcoip-control", 6, 50002, 0, 7200, 5},
    {"pcoip-media", 17, 50002, 0, 7200, 5},
    {"ica", 6, 1494, 0, 7200, 5},
    {"imap-udp", 17, 143, 0, 60, 2},
    {"imap-tcp", 6, 143, 0, 60, 2},
    {"pop3-udp", 17, 110, 0, 60, 2},
    {"pop3-tcp", 6, 110, 0, 60, 2},
    {"smtp-udp", 17, 25, 0, 60, 2},
    {"smtp-tcp", 6, 25, 0, 60, 2},
    {"any", 0, 0, 0, 60, 2},
};
inline constexpr std::size_t kPredefinedServiceCount = std::size(kPredefinedServices);
static_assert(kPredefinedServiceCount == 29);

// One row of the FE's service table.
struct Service {
    std::string name;  // at most 32 characters
    std::uint8_t protocol;
    std::uint16_t port;
    std::uint16_t app_id;  // kNoAppId: none
    std::uint32_t timeout;
    std::uint16_t alg_type;
    std::uint8_t alg_bind_flag;
    std::uint32_t ingress;
    std::uint32_t egress;
};

// One entry of the FE's service classification table (kernel codes 38-40).
struct ServiceClass {
    std::string name;
    std::uint8_t qos_class;
    std::uint8_t action;  // bit 0 permit, bit 1 deny, bit 2 log
};

// ---- ALG settings ----------------------------------------------------------

inline constexpr std::uint16_t kAlgTypes = QZ_ALG_TYPE_MAX + 1;  // 0 "-" to 6 "http"

struct AlgDef {
    const char* name;
    std::uint8_t qos_class;
    std::uint32_t inactive_timeout;  // seconds
    std::uint32_t max_duration;      // minutes
    bool enabled;
};

// Booted per-ALG settings, indexed by ALG type: every ALG starts disabled.
inline constexpr AlgDef kAlgDefaults[kAlgTypes] = {
    {"-", 0, 0, 0, false},      {"ftp", 0, 30, 60, false}, {"tftp", 0, 30, 60, false},
    {"sip", 6, 60, 720, false}, {"dns", 0, 60, 60, false}, {"dhcp", 0, 60, 60, false},
    {"http", 0, 60, 60, false},
};

struct AlgSettings {
    std::array<bool, kAlgTypes> enabled{};
    std::array<std::uint8_t, kAlgTypes> qos_class{};
    std::array<std::uint32_t, kAlgTypes> inactive_timeout{};
    std::array<std::uint32_t, kAlgTypes> max_duration{};
};

// ---- gates -----------------------------------------------------------------

inline constexpr std::size_t kMaxGates = 1024;

struct Gate {
    std::uint32_t src_ip;  // 0 = any
    std::uint32_t dst_ip;
    std::uint16_t src_port;  // 0 = any
    std::uint16_t dst_port;
    std::uint8_t protocol;
    std::uint32_t alg_type;
    std::uint32_t ctrl_id;
    std::uint32_t ctrl_cookie;
    std::uint32_t cookie;  // never 0
    std::uint64_t opened_ms;
    std::uint64_t expires_ms;  // ages out unused after the ALG's inactive-data timeout
};

// A command-82 or command-83 message as the FE received it.
struct FlowMsg {
    std::uint16_t command;
    std::uint32_t src_ip;
    std::uint32_t dst_ip;
    std::uint16_t src_port;
    std::uint16_t dst_port;
    std::uint8_t protocol;
    std::uint32_t ctrl_id;
    std::uint32_t ctrl_cookie;
    std::uint32_t ctrl_tag;
    std::uint32_t flag;
    std::uint32_t reply;  // what the FE wrote back
};

// ---- control sessions and flows (capture replay) ---------------------------

// A flow in one direction: what a packet's headers say.
struct FlowTuple {
    std::uint8_t protocol;
    std::uint32_t src_ip;
    std::uint32_t dst_ip;
    std::uint16_t src_port;
    std::uint16_t dst_port;
};

// Both directions of a flow map to one key.
struct FlowKey {
    std::uint64_t a;  // lower (address, port) end
    std::uint64_t b;  // upper end, protocol in the top byte
    auto operator<=>(const FlowKey&) const = default;
};
struct FlowKeyHash {
    std::size_t operator()(const FlowKey& k) const {
        return static_cast<std::size_t>(k.a * 0x9e3779b97f4a7c15ull ^ (k.b + (k.a >> 17)));
    }
};
FlowKey flow_key(const FlowTuple& t);

struct CtrlSession {
    FlowTuple client;  // the first packet's direction: client -> server
    std::uint16_t alg_type;
    std::uint32_t id;
    std::uint32_t cookie;
    std::uint32_t tag;
    std::uint32_t timeout_s;  // the service's idle timeout
    std::uint64_t last_ms;
    std::uint8_t client_mac[6];
    std::uint8_t server_mac[6];
};

struct DataFlow {
    std::uint64_t last_ms;
    std::uint32_t timeout_s;
    bool admitted;
};

struct AlgState {
    std::vector<Service> services;
    std::vector<ServiceClass> service_classes;
    AlgSettings settings;

    std::vector<Gate> gates;
    std::uint32_t next_gate_cookie = 1;
    std::uint64_t gate_opens = 0;    // gates opened (return code 0)
    std::uint64_t gate_deletes = 0;  // delete requests received
    std::vector<FlowMsg> messages;
    std::uint32_t cac_refuse = 0;  // new calls (82 with flag 1) still to refuse

    std::uint64_t now_ms = 0;  // FE time: never goes back
    std::uint32_t next_ctrl_id = 1;
    std::unordered_map<FlowKey, CtrlSession, FlowKeyHash> sessions;
    std::set<std::pair<std::uint64_t, FlowKey>> idle_order;  // (idle expiry ms, session)
    std::unordered_map<FlowKey, DataFlow, FlowKeyHash> flows;
};

// Booted state: the predefined services, the ALG defaults, no gates, no sessions.
void alg_boot(AlgState& a);

// Moves FE time forward to now_ms (never back) and ages out unused gates;
// keeps the IP gate count (read number 55) equal to the table's size.
void alg_set_time(Model& m, std::uint64_t now_ms);

// The first gate that admits a flow whose first packet has this tuple: it is
// taken out of the table (copied to *used) and true returned.
bool gate_admit(Model& m, const FlowTuple& t, Gate* used);
// Drops the gates of a control session that ended.
void gates_drop_session(Model& m, std::uint32_t ctrl_id, std::uint32_t ctrl_cookie);

// The service that carries (protocol, port), or null.
const Service* service_for(const AlgState& a, std::uint8_t protocol, std::uint16_t port);
// ALG type by name ("ftp", "tftp", "sip", "dns", "dhcp", "http"); 0 when unknown.
std::uint16_t alg_type_by_name(std::string_view name);

// Kernel codes 38-40 (service classification), 110-113 (services) and 130,
// 131 (ALG configuration): the handler of a code, or null. A handler reads and
// writes the request record and returns the result word.
using SvcKernelFn = std::int32_t (*)(AlgState& a, std::span<std::uint8_t> record);
SvcKernelFn service_kernel_fn(std::uint16_t code);

// Counts a packet on the service of its destination port (ingress) or, when
// none, of its source port (egress).
void service_count_packet(AlgState& a, const FlowTuple& t);

// ---- /dev/fe ---------------------------------------------------------------

// Reply word of a refused admission request (command 82, flag 1).
inline constexpr std::uint32_t kCacRefused = 1;

// Carries out one request QZ_ALG_FE_IOCTL (envelope and records in
// platform/alg_msg.h): the envelope is updated in place. Returns
// the ioctl result: -1 for a malformed envelope or an unknown command.
// Faults: "ioctl:52" (the FE return code written at data+28), "ioctl:53" (the
// ioctl's result), "ioctl:82" and "ioctl:83" (the reply word).
int alg_ioctl(Model& m, Faults& f, std::span<std::uint8_t> envelope);

// ---- gate table read (fe_get_ip_gate_table) --------------------------------

// Up to `max` entries from `index` on, appended to out; *filled = how many.
// 0, or the fault's result for "fe_get_ip_gate_table".
int gate_table_read(Model& m, Faults& f, std::uint32_t index, std::uint32_t max,
                    std::vector<std::uint8_t>& out, std::uint32_t* filled);

}  // namespace fem
