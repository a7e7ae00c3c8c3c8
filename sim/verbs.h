// The control verbs' handlers, shared between the verb table (ctl.cpp) and
// their files. Each gets the words after its keywords, already counted
// against its usage, and returns CtlEnd's rc.
#pragma once

#include <span>
#include <string>

#include "sim/ctl.h"
#include "sim/server.h"

namespace sim {

using VerbArgs = std::span<const std::string>;
using VerbFn = int (*)(Server& s, VerbArgs args, const CtlOut& out, CtlResult& res);

inline constexpr int kCtlOk = 0;
inline constexpr int kCtlFail = 1;
// How long fed may take to acknowledge queued events or to answer a request.
inline constexpr int kFedAnswerMs = 30000;

// Prints "% text\n" and returns kCtlFail.
int ctl_fail(const CtlOut& out, std::string_view text);

// Driven clock: steps to target_ms, firing fed's timers at their due times
// and letting fed handle what each round posted (verbs_platform.cpp).
// *next_due (optional): when fed's next timer is due after that, UINT64_MAX for none.
int clock_step_to(Server& s, std::uint64_t target_ms, const CtlOut& out,
                  std::uint64_t* next_due = nullptr);
// Driven clock: moves to target_ms at once and fires what is due there.
int clock_jump_to(Server& s, std::uint64_t target_ms, const CtlOut& out);

// verbs_platform.cpp
int verb_status(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_restart(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_log(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_events(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_shutdown(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_clock(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_clock_advance(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_cli_vectors(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_debug_flags(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_fault(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_fault_clear(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_faults(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_system(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_system_run(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_kernel(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_fe(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_interfaces(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_subscriptions(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);

// verbs_fe.cpp
int verb_link_bind(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_link_unbind(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_link_mode(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_dcd(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_fe_tables(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);

// verbs_fe_ops.cpp
int verb_fe_policy(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_fe_fragment(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_fe_unroam(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_fe_member(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_fe_tunnel(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);

// verbs_acl.cpp
int verb_acl(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_mac_acl(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);

// verbs_vcon.cpp
int verb_vcon(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);

// verbs_up.cpp
int verb_up_show(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_up_scheduler(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_up_schedule(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_up_ssid(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_station_profile(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_cac_station(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_cac_bucket(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);

// verbs_qos.cpp
int verb_qos_show(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_qos_map_show(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_qos_policy_show(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);

// replay.cpp
int verb_replay(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_write_memory(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_shutdown_saved(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_replay_status(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_alg(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_gates(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);

// live.cpp
int verb_live(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_live_enforce(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);

// verbs_sip.cpp
int verb_cac(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_cac_refuse(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_station(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_nbr_add(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_nbr_del(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_nbr_list(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
// Command 981: writes the file of the stations' user names into a fresh file
// of the run directory and its path into the record; returns the path ("" when
// no file could be made). The caller removes it if fed did not.
std::string sip_calls_station_file(Server& s, std::vector<std::uint8_t>& record);

// verbs_inject.cpp
int verb_sta_join(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_sta_leave(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_ssid_bind(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_ssid_unbind(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_ssid_remove(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_ppsk_server(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_event_raw(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_event_kernel(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_link(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_link_add(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_link_del(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_debug(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_no_debug(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);

// Publishes an injected event and waits until fed acknowledged everything queued.
int inject(Server& s, Event ev, const CtlOut& out);

}  // namespace sim
