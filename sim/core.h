// The state of one simulated access point that outlives fed: the FE model,
// the configuration library's tables, the process monitor, the event bus,
// and what fed asked of the platform. core_call answers every CALL request
// of platform/proto.h. All state is guarded by Core::mu; core_call and the
// functions below take it themselves unless their name ends in _locked.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fe/faults.h"
#include "platform/fe/model.h"
#include "platform/history.h"
#include "platform/proto.h"
#include "platform/wire.h"

namespace sim {

// ---- interfaces ------------------------------------------------------------

struct Iface {
    std::string kname;      // kernel name, as /proc/net/dev lists it
    std::string uname;      // user-visible name; empty: the configuration library does not know it
    std::uint32_t ifindex;  // kernel interface index
    bool up;
};

// ---- events ----------------------------------------------------------------

struct Event {
    std::uint32_t kernel;  // 0 platform event, 1 kernel event
    std::uint32_t event;
    std::vector<std::uint8_t> payload;
};

enum class Origin : std::uint8_t { Fed, Injected };

struct LoggedEvent {
    Origin origin;
    Event ev;
};

struct EventId {
    std::uint32_t kernel;
    std::uint32_t event;
    bool operator==(const EventId&) const = default;
};

// One EVENT connection of fed: a FIFO delivered one event at a time.
struct Subscriber {
    int id;
    std::vector<EventId> subscribed;  // in the order fed subscribed
    std::deque<Event> fifo;
    bool inflight = false;  // an event was sent and its ack is awaited
};

// ---- process monitor -------------------------------------------------------

struct Pm {
    bool registered = false;  // qz_pm_init succeeded
    bool has_state = false;   // qz_pm_setstate was called
    std::uint32_t module = 0;
    std::uint32_t state = 0;
    bool cleaned = false;  // qz_pm_cleanup was called
};

inline constexpr std::uint32_t kPmRunning = 1;

struct SystemCmd {
    std::string command;
    bool ran;
    int rc;
};

// ---- configuration library: tables of the FE settings and rate limits -------

// Binding and device type of an interface, where they differ from the booted ones.
struct EthxState {
    std::uint32_t ifindex;
    std::uint32_t bound;  // index of the interface it is bound into, or 0xFFFFFFFF
    std::uint32_t dev_type;
};

struct RouteVlan {
    std::uint32_t ifindex;
    std::uint32_t empty;
    std::array<std::uint8_t, 512> map;
};

struct DualProfile {
    std::string ifname;
    std::uint32_t kind;
    std::uint32_t value;
};

struct DcdFe {
    std::array<std::uint32_t, 5> icsa{};
    std::vector<EthxState> ethx;
    std::vector<RouteVlan> vlans;
    std::vector<DualProfile> dual;
    std::vector<std::array<std::uint32_t, 2>> allow_vlan_updates;  // (ifindex, flag), in order
    std::vector<std::array<std::string, 2>> up_redir;  // (user profile, setting), in order set
    // (SSID, kernel name) of the interfaces each SSID is bound to, in order bound
    std::vector<std::array<std::string, 2>> ssid_ifaces;
};

// The configuration library's service table and the DNS ALG hand-over state.
struct DcdSvc {
    std::vector<std::array<std::uint8_t, 48>> services;  // qz_service_entry_db_t, in order
    std::uint32_t fed_run_first = 0;                     // set once fed bound the ALGs
    std::set<std::string> in_use;                        // services another table refers to
    bool dns_alg_by_cli = false;
    bool dns_alg_by_jss = false;  // the other platform service uses the DNS ALG
};

// The FE's virtual connection rules (84-byte qz_vcon_msg_t, keyed by name)
// and the set and unset requests that reached it.
struct VconRequest {
    bool set;
    std::array<std::uint8_t, 84> msg;
};

struct DcdVcon {
    std::vector<std::array<std::uint8_t, 84>> rules;  // in the order first installed
    plat::History<VconRequest, 1024> requests;
};

// The configuration library's user-profile table (360-byte qz_dcd_up
// entries, in the user's order) and the profiles that SSIDs use.
struct DcdUp {
    std::vector<std::array<std::uint8_t, 360>> entries;
    std::set<std::string> ssid_bound;
};

struct Core {
    std::mutex mu;
    std::condition_variable cv;  // signalled on every event-bus change
    std::string dir;             // run directory ("" in unit tests without files)

    fem::Model fe;
    fem::Faults faults;

    std::vector<Iface> ifaces;
    std::uint32_t next_ifindex = 1;

    Pm pm;
    bool dcd_attached = false;
    std::set<int> mpi_handles;
    int next_mpi_handle = 3;

    plat::History<LoggedEvent, 4096> events;  // published events, the newest kept
    std::vector<std::unique_ptr<Subscriber>> subscribers;
    int next_subscriber = 1;

    plat::History<SystemCmd, 1024> system;
    bool system_run = false;  // really run qz_system commands

    plat::History<std::string, 10000> log;   // lines fed copied with Op::Log, the newest kept
    std::vector<std::string> unknown_calls;  // "Dcd:NAME", "Tpa:NAME", "op:N" without a handler

    std::uint32_t ppsk_server = 0;  // network order
    // Airtime admission control: the stations' airtime records and the
    // token bucket words (platform/cac_msg.h), set by "platform cac".
    std::vector<std::array<std::uint8_t, 16>> cac_stas;
    std::array<std::uint32_t, 8> cac_tb{};
    // User names of stations, for fed's display of SIP calls (platform station).
    std::map<std::array<std::uint8_t, 6>, std::string> station_users;
    DcdFe dcd_fe;
    DcdSvc dcd_svc;
    DcdVcon dcd_vcon;
    DcdUp dcd_up;

    // The access point's up-time in ms (apsim's clock); unset: the FE's time
    // moves only with replayed captures.
    std::function<std::uint64_t()> clock_ms;
};

// Fresh booted state; writes DIR/proc/net/dev when dir is not empty.
void core_init(Core& c, std::string dir);

// Answers one CALL request: the reply payload starts with the i32 rc.
void core_call(Core& c, proto::Op op, std::span<const std::uint8_t> req, wire::Writer& reply);

// Forgets what belongs to one fed process (process monitor, kernel channel
// handles, configuration library attachment); called when fed is started again.
void core_fed_started(Core& c);

// ---- interfaces (iftable.cpp) ----------------------------------------------

// The simulated interfaces of a booted access point.
void iface_boot_locked(Core& c);
Iface* iface_by_kname_locked(Core& c, std::string_view kname);
Iface* iface_by_uname_locked(Core& c, std::string_view uname);
// Adds an interface (uname "" = unknown to the configuration library); false when the name exists.
bool iface_add_locked(Core& c, std::string_view kname, std::string_view uname);
bool iface_remove_locked(Core& c, std::string_view kname);
// /proc/net/dev text of the interface list (kernel names).
std::string proc_net_dev_text(const std::vector<Iface>& ifaces);
// Rewrites DIR/proc/net/dev; false when it cannot be written.
bool proc_net_dev_write_locked(const Core& c);

// ---- configuration library calls by name (dcd.cpp) -------------------------

// Answers a qz_dcd_ call: returns rc, fills out. -2: no such call.
int dcd_call_locked(Core& c, std::string_view fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out);
int tpa_call_locked(Core& c, std::string_view fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out);
inline constexpr int kNoSuchCall = -2;

// ---- FE settings and rate-limit tables of the configuration library (dcd_fe.cpp)

// Booted state: ICSA all off, no VLANs, nothing bound.
void dcd_fe_init_locked(Core& c);
// Answers the interface-index, binding, device-type, ICSA, VLAN and
// dual-profile calls; kNoSuchCall for any other name.
int dcd_fe_call_locked(Core& c, std::string_view fn, std::span<const std::uint8_t> args,
                       std::vector<std::uint8_t>& out);
// Binding and device type as the library answers them (booted values unless changed).
EthxState ethx_state_locked(const Core& c, std::uint32_t ifindex);
// The changeable state of a known interface; nullptr for an unknown index.
EthxState* ethx_change_locked(Core& c, std::uint32_t ifindex);

// ---- service table of the configuration library, DNS hand-over (dcd_svc.cpp)

// Answers the service-table and first-run calls; kNoSuchCall for any other name.
int dcd_svc_call_locked(Core& c, std::string_view fn, std::span<const std::uint8_t> args,
                        std::vector<std::uint8_t>& out);
// Answers the DNS ALG hand-over queries; kNoSuchCall for any other name.
int tpa_svc_call_locked(Core& c, std::string_view fn, std::span<const std::uint8_t> args,
                        std::vector<std::uint8_t>& out);

// ---- virtual connection rules of the FE (dcd_vcon.cpp)

// Answers the rule set and unset calls; kNoSuchCall for any other name.
int dcd_vcon_call_locked(Core& c, std::string_view fn, std::span<const std::uint8_t> args,
                         std::vector<std::uint8_t>& out);
// One line per installed rule, then the request counts.
std::string vcon_table_text_locked(const Core& c);

// ---- user-profile table of the configuration library (dcd_up.cpp)

// Booted state: "default-profile" only, no SSID bindings.
void dcd_up_init_locked(Core& c);
// Answers the profile-table and SSID-binding calls; kNoSuchCall for any other name.
int dcd_up_call_locked(Core& c, std::string_view fn, std::span<const std::uint8_t> args,
                       std::vector<std::uint8_t>& out);
// The configuration daemon's side of a kernel request: a profile the FE
// created gets its entry at the end of the table.
void dcd_up_after_kernel_locked(Core& c, std::uint16_t code, std::span<const std::uint8_t> record);
// The entry of a profile, or nullptr.
std::array<std::uint8_t, 360>* dcd_up_entry_locked(Core& c, std::string_view name);
// One line per entry: group, VLAN, action, ranges, scheduler slots, schedule, SSID use.
std::string dcd_up_text_locked(const Core& c);

// ---- event bus (bus.cpp) ---------------------------------------------------

// A new subscriber (one EVENT connection); returns its id.
int bus_attach(Core& c);
// Drops the subscriber and its queued events (its connection is gone).
void bus_detach(Core& c, int id);
void bus_subscribe(Core& c, int id, std::uint32_t kernel, std::uint32_t event, bool on);
// Records the event and queues it for every subscriber.
// Returns how many subscribers it was queued for.
int bus_publish_locked(Core& c, Origin origin, Event ev);
int bus_publish(Core& c, Origin origin, Event ev);
// Waits for the next event of subscriber id and marks it in flight; false once
// the subscriber was detached.
bool bus_next(Core& c, int id, Event& ev);
// The in-flight event of subscriber id was handled.
void bus_ack(Core& c, int id);
// Waits until no subscriber has a queued or in-flight event; false on timeout.
bool bus_drain(Core& c, int timeout_ms);

}  // namespace sim
