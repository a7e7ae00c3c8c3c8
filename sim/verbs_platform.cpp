// "platform ..." verbs: what apsim saw of fed, fed's process, faults, clock.
#include <sys/stat.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "sim/records.h"
#include "sim/verbs.h"

namespace sim {

namespace {

inline constexpr const char* kInitializedText = "FED module initialized";
// A timer that keeps coming due at the same instant would loop for ever.
inline constexpr int kMaxTimerRounds = 100000;
inline constexpr std::uint64_t kMaxAdvanceMs = 100ull * 365 * 24 * 3600 * 1000;

std::string read_file(const std::string& path, long long from) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    in.seekg(0, std::ios::end);
    long long size = static_cast<long long>(in.tellg());
    if (from > size) from = 0;  // the file was started anew
    in.seekg(from);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

const char* state_name(FedState st) {
    switch (st) {
        case FedState::Stopped:
            return "stopped";
        case FedState::Starting:
            return "starting";
        case FedState::Running:
            return "running";
        case FedState::Crashed:
            return "crashed";
    }
    return "?";
}

std::string pm_text(const Pm& pm) {
    if (pm.cleaned) return "cleaned up";
    if (!pm.registered && !pm.has_state) return "not registered";
    std::string t = pm.registered ? "registered" : "not registered";
    if (pm.has_state) t += std::string(", state ") + std::to_string(pm.state);
    return t;
}

// "12", "0.5", "3600.250": whole milliseconds.
bool parse_seconds(std::string_view s, std::uint64_t& ms) {
    std::size_t dot = s.find('.');
    std::string_view whole = s.substr(0, dot);
    std::string_view frac = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    if (whole.empty() && frac.empty()) return false;
    if (frac.size() > 3 || (dot != std::string_view::npos && frac.empty())) return false;
    std::uint32_t w = 0;
    if (!whole.empty() && !parse_u32(whole, w)) return false;
    std::uint32_t f = 0;
    if (!frac.empty() && !parse_u32(frac, f)) return false;
    for (std::size_t i = frac.size(); i < 3; ++i) f *= 10;
    ms = std::uint64_t{w} * 1000 + f;
    return ms <= kMaxAdvanceMs;
}

bool timer_next(Server& s, bool& has, std::uint64_t& due) {
    Frame ans;
    if (!link_request(
            s, proto::Kind::Timer, proto::Op::TimerNext, {}, proto::Op::TimerNext,
            [](const Frame&) {}, ans, kFedAnswerMs))
        return false;
    wire::Reader r(ans.payload);
    has = r.h32() != 0;
    due = r.h64();
    return r.ok();
}

bool timer_fire(Server& s, std::uint64_t now) {
    wire::Writer w;
    w.h64(now);
    Frame ans;
    return link_request(
        s, proto::Kind::Timer, proto::Op::TimerFire, w.span(), proto::Op::TimerFire,
        [](const Frame&) {}, ans, kFedAnswerMs);
}

bool has_timer_link(Server& s) {
    std::lock_guard lock(s.links_mu);
    return s.timer != nullptr;
}

}  // namespace

// Steps the driven clock to target, firing fed's timers at their due times
// and letting fed handle the events each round posted.
int clock_step_to(Server& s, std::uint64_t target, const CtlOut& out, std::uint64_t* next_due) {
    bool linked = has_timer_link(s);
    if (next_due) *next_due = UINT64_MAX;
    for (int round = 0; linked; ++round) {
        if (round == kMaxTimerRounds)
            return ctl_fail(out, "fed's timers keep coming due; stopped after " +
                                     std::to_string(kMaxTimerRounds) + " rounds");
        bool has = false;
        std::uint64_t due = 0;
        if (!timer_next(s, has, due)) return ctl_fail(out, "fed's timer connection failed");
        if (!has || due > target) {
            if (next_due && has) *next_due = due;
            break;
        }
        std::uint64_t t = std::max(due, clock_now_ms(s.clock));
        clock_set_ms(s.clock, t);
        if (!timer_fire(s, t)) return ctl_fail(out, "fed's timer connection failed");
        if (!bus_drain(s.core, kFedAnswerMs))
            return ctl_fail(out, "fed did not acknowledge its events");
    }
    clock_set_ms(s.clock, target);
    if (linked && !timer_fire(s, target)) return ctl_fail(out, "fed's timer connection failed");
    if (!bus_drain(s.core, kFedAnswerMs))
        return ctl_fail(out, "fed did not acknowledge its events");
    return kCtlOk;
}

int clock_jump_to(Server& s, std::uint64_t target, const CtlOut& out) {
    clock_set_ms(s.clock, std::max(target, clock_now_ms(s.clock)));
    if (has_timer_link(s) && !timer_fire(s, clock_now_ms(s.clock)))
        return ctl_fail(out, "fed's timer connection failed");
    if (!bus_drain(s.core, kFedAnswerMs))
        return ctl_fail(out, "fed did not acknowledge its events");
    return kCtlOk;
}

int verb_status(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    pid_t pid = 0;
    FedState st = fed_state(s, &pid);
    int starts;
    bool has_exit, gave_up, crashed;
    int exit_status;
    long long log_offset;
    std::size_t log_lines;
    {
        std::lock_guard lock(s.sup.mu);
        starts = s.sup.starts;
        has_exit = s.sup.has_exit;
        exit_status = s.sup.exit_status;
        gave_up = s.sup.gave_up;
        crashed = s.sup.crashed;
        log_offset = s.sup.log_offset;
        log_lines = s.sup.log_lines;
    }
    Pm pm;
    bool initialized = false;
    {
        std::lock_guard lock(s.core.mu);
        pm = s.core.pm;
        for (std::size_t i = log_lines; i < s.core.log.total() && !initialized; ++i)
            if (const std::string* line = s.core.log.at_total(i))
                initialized = line->find(kInitializedText) != std::string::npos;
    }
    if (!initialized)
        initialized = read_file(s.dir + "/" + proto::kLogName, log_offset).find(kInitializedText) !=
                      std::string::npos;
    std::string state = state_name(st);
    if (st == FedState::Crashed)
        state += gave_up ? std::string(", gave up after ") + std::to_string(kMaxEarlyDeaths) +
                               " early deaths"
                         : (crashed ? ", restarting" : "");
    std::string text;
    text += std::string("fed pid: ") + std::to_string(pid) + "\n";
    text += "fed state: " + state + "\n";
    text += std::string("fed starts: ") + std::to_string(starts) + "\n";
    text += std::string("last exit: ") + (has_exit ? exit_text(exit_status) : std::string("none")) +
            "\n";
    text += std::string("pm: ") + (pid > 0 ? pm_text(pm) : std::string("not registered")) + "\n";
    text += std::string("initialized: ") + (pid > 0 && initialized ? "yes" : "no") + "\n";
    text += std::string("clock: ") + (s.clock.driven ? "driven" : "real") + "\n";
    out(text);
    return kCtlOk;
}

int verb_restart(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    pid_t pid = supervisor_restart(s, 10000);
    if (pid <= 0) return ctl_fail(out, "fed could not be started");
    out(std::string("fed restarted, pid ") + std::to_string(pid) + "\n");
    return kCtlOk;
}

int verb_log(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    out(read_file(s.dir + "/" + proto::kLogName, 0));
    return kCtlOk;
}

namespace {

inline constexpr std::uint32_t kEvItkNotify = 172;
inline constexpr std::uint32_t kEvWalledGarden = 352;
inline constexpr std::size_t kDnsIssueSize = 41;
inline constexpr std::size_t kWalledGardenSize = 108;

std::string ipv4_text(const std::uint8_t* b) {
    char t[16];
    std::snprintf(t, sizeof t, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return t;
}

std::string mac_text(const std::uint8_t* b) {
    char t[18];
    std::snprintf(t, sizeof t, "%02x:%02x:%02x:%02x:%02x:%02x", b[0], b[1], b[2], b[3], b[4], b[5]);
    return t;
}

// The DNS ALG's events in words: the walled-garden name and addresses (host
// order, addresses as wire bytes) and the DNS-issue report (big-endian).
// Empty for every other event.
std::string dns_event_text(const Event& ev) {
    const std::vector<std::uint8_t>& p = ev.payload;
    if (ev.kernel == 0 && ev.event == kEvWalledGarden && p.size() == kWalledGardenSize) {
        const char* name = reinterpret_cast<const char*>(p.data() + 4);
        std::string t = "ifindex " + std::to_string(wire::load_h<std::uint32_t>(p.data())) +
                        " host " + std::string(name, strnlen(name, 68)) + " count " +
                        std::to_string(wire::load_h<std::uint32_t>(p.data() + 104)) + " addresses";
        bool any = false;
        for (std::size_t i = 0; i < 8; ++i) {
            const std::uint8_t* a = p.data() + 72 + 4 * i;
            if (wire::load_h<std::uint32_t>(a) == 0) continue;
            t += " " + ipv4_text(a);
            any = true;
        }
        return any ? t : t + " -";
    }
    if (ev.kernel == 0 && ev.event == kEvItkNotify && p.size() == kDnsIssueSize &&
        wire::load_be16(p.data()) == 3)
        return "dns-issue ifindex " + std::to_string(wire::load_be32(p.data() + 5)) + " sta " +
               mac_text(p.data() + 9) + " if-mac " + mac_text(p.data() + 19);
    return {};
}

}  // namespace

int verb_events(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    bool decoded = !a.empty() && a[0] == "decoded";
    if (!a.empty() && !decoded) return ctl_fail(out, "Usage: platform events [decoded]");
    std::string text;
    std::lock_guard lock(s.core.mu);
    for (const LoggedEvent& e : s.core.events) {
        if (e.origin != Origin::Fed) continue;
        std::string words = decoded ? dns_event_text(e.ev) : std::string();
        text += std::to_string(e.ev.event) + " " + event_name(e.ev.kernel, e.ev.event) + " ";
        if (!words.empty())
            text += words + "\n";
        else
            text += std::to_string(e.ev.payload.size()) + " " +
                    (e.ev.payload.empty() ? std::string("-") : to_hex(e.ev.payload)) + "\n";
    }
    out(text);
    return kCtlOk;
}

int verb_shutdown(Server& s, VerbArgs, const CtlOut& out, CtlResult& res) {
    out(std::string("fed stopped: ") + supervisor_stop(s, 10000) + "\n");
    res.exit = true;
    return kCtlOk;
}

int verb_clock(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::uint64_t ms = clock_now_ms(s.clock);
    char text[96];
    std::snprintf(text, sizeof text, "clock: %s\nuptime: %" PRIu64 ".%03u s\n",
                  s.clock.driven ? "driven" : "real", ms / 1000, static_cast<unsigned>(ms % 1000));
    out(text);
    return kCtlOk;
}

int verb_clock_advance(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    if (!s.clock.driven) return ctl_fail(out, "The clock is real; only a driven clock advances");
    std::uint64_t ms = 0;
    if (!parse_seconds(a[0], ms)) return ctl_fail(out, "Invalid number of seconds: " + a[0]);
    return clock_step_to(s, clock_now_ms(s.clock) + ms, out);
}

int verb_cli_vectors(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::string text;
    std::lock_guard lock(s.links_mu);
    for (std::uint32_t id : s.cli_vectors) text += std::to_string(id) + "\n";
    out(text);
    return kCtlOk;
}

int verb_debug_flags(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::string text;
    std::lock_guard lock(s.links_mu);
    char line[160];
    for (const DebugFlagReg& f : s.cli_flags) {
        std::snprintf(line, sizeof line, "%s %s 0x%x%s\n", f.module.c_str(), f.name.c_str(), f.bit,
                      f.lib ? " lib" : "");
        text += line;
    }
    out(text);
    return kCtlOk;
}

int verb_fault(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::int32_t rc = 0;
    std::int32_t count = -1;
    if (!parse_i32(a[1], rc)) return ctl_fail(out, "Invalid RC: " + a[1]);
    if (a.size() > 2 && (!parse_i32(a[2], count) || count < -1))
        return ctl_fail(out, "Invalid COUNT: " + a[2] + " (a number of calls, or -1 for all)");
    std::lock_guard lock(s.core.mu);
    fem::fault_arm(s.core.faults, a[0], rc, count);
    return kCtlOk;
}

int verb_fault_clear(Server& s, VerbArgs a, const CtlOut&, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    fem::fault_clear(s.core.faults, a.empty() ? std::string_view() : std::string_view(a[0]));
    return kCtlOk;
}

int verb_faults(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::string text;
    std::lock_guard lock(s.core.mu);
    for (const fem::Fault& f : s.core.faults.armed)
        text += f.name + std::string(" ") + std::to_string(f.rc) + std::string(" ") +
                std::to_string(f.count) + "\n";
    out(text);
    return kCtlOk;
}

int verb_system(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::string text;
    std::lock_guard lock(s.core.mu);
    for (const SystemCmd& c : s.core.system) text += c.command + "\n";
    out(text);
    return kCtlOk;
}

int verb_system_run(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    if (a[0] != "on" && a[0] != "off") return ctl_fail(out, "Usage: platform system run on|off");
    std::lock_guard lock(s.core.mu);
    s.core.system_run = a[0] == "on";
    return kCtlOk;
}

int verb_kernel(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::string text;
    std::lock_guard lock(s.core.mu);
    for (const fem::KernelRequest& k : s.core.fe.requests)
        text += std::to_string(k.code) + std::string(" ") + std::to_string(k.record.size()) + " " +
                std::to_string(k.result) + " " +
                (k.record.empty() ? std::string("-") : to_hex(k.record)) + "\n";
    text +=
        std::string("reply area not zero: ") + std::to_string(s.core.fe.reply_violations) + "\n";
    out(text);
    return kCtlOk;
}

int verb_fe(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::string text;
    char line[160];
    std::lock_guard lock(s.core.mu);
    for (std::size_t i = 0; i < fem::kSettingCount; ++i) {
        const fem::SettingDef& d = fem::kSettings[i];
        std::string set = d.set == fem::kNoId ? "-" : std::to_string(d.set);
        std::string read = d.read == fem::kNoId ? "-" : std::to_string(d.read);
        std::snprintf(line, sizeof line, "%-4s %-4s %10u  %s\n", set.c_str(), read.c_str(),
                      s.core.fe.values[i], d.what);
        text += line;
    }
    text +=
        std::string("notification interval: ") + std::to_string(s.core.fe.notify_interval) + "\n";
    out(text);
    return kCtlOk;
}

int verb_interfaces(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::string text;
    char line[128];
    std::lock_guard lock(s.core.mu);
    for (const Iface& i : s.core.ifaces) {
        std::snprintf(line, sizeof line, "%3u %-16s %-17s %s\n", i.ifindex, i.kname.c_str(),
                      i.uname.empty() ? "-" : i.uname.c_str(), i.up ? "up" : "down");
        text += line;
    }
    out(text);
    return kCtlOk;
}

int verb_subscriptions(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::string text;
    std::lock_guard lock(s.core.mu);
    for (const auto& sub : s.core.subscribers)
        for (const EventId& e : sub->subscribed)
            text += std::string(e.kernel ? "kernel " : "event ") + std::to_string(e.event) + " " +
                    event_name(e.kernel, e.event) + "\n";
    out(text);
    return kCtlOk;
}

}  // namespace sim
