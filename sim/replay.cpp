// Capture replay: a pcap or pcapng file goes through the FE model packet by
// packet. Control packets of the ALGs go up to fed as kernel event 7 and are
// handled before the next packet is looked at, so the gates fed opens are in
// place when the data connection they announce starts.
#ifdef FED_HAVE_PCAP
#include <pcap/pcap.h>
#endif

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <map>

#include "platform/fe/replay_flows.h"
#include "sim/verbs.h"

namespace sim {

// Without libpcap (the target's unit-test build) only the verb's refusal is
// left, so the replay's helpers may go unused.
namespace {

inline constexpr const char* kClientSideIf = "wifi0";
inline constexpr const char* kServerSideIf = "eth0";
// Gaps longer than this are crossed in one jump up to its last stretch:
// nothing happens in between but timers, which then fire late but in order.
inline constexpr std::uint64_t kExactStepMs = 600'000;
// How often the replay looks whether fedctl asked it to stop.
inline constexpr std::uint64_t kCancelCheckEvery = 64;

// ALGs counted in the summary, in its order.
struct CountedAlg {
    std::uint16_t type;
    const char* name;
};
constexpr CountedAlg kCountedAlgs[] = {{1, "ftp"}, {2, "tftp"}, {3, "sip"}, {4, "dns"}};

struct Summary {
    std::uint64_t packets = 0;
    std::map<std::string, std::uint64_t> skipped;  // by reason
    std::uint64_t skipped_total = 0;
    std::array<std::uint64_t, fem::kAlgTypes> control{};
    std::uint64_t timeouts = 0;
    std::uint64_t gates_opened = 0;
    std::uint64_t gates_deleted = 0;
    std::uint64_t flows_admitted = 0;
    std::vector<std::string> unadmitted;  // first packets, "udp A:P > B:Q"
};

struct ReplayOptions {
    std::string file;
    bool capture_clock = false;
    bool json = false;
};

// Appends printf-formatted text.
[[gnu::format(printf, 2, 3)]] void add(std::string& t, const char* fmt, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n > 0) t.append(buf, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf - 1));
}

std::string tuple_text(const fem::FlowTuple& t) {
    std::string s;
    if (t.protocol == 6)
        s = "tcp";
    else if (t.protocol == 17)
        s = "udp";
    else
        add(s, "proto %u", t.protocol);
    auto ip = [](std::uint32_t a, unsigned shift) { return (a >> shift) & 0xffu; };
    add(s, " %u.%u.%u.%u:%u > %u.%u.%u.%u:%u", ip(t.src_ip, 24), ip(t.src_ip, 16), ip(t.src_ip, 8),
        ip(t.src_ip, 0), t.src_port, ip(t.dst_ip, 24), ip(t.dst_ip, 16), ip(t.dst_ip, 8),
        ip(t.dst_ip, 0), t.dst_port);
    return s;
}

// The flow texts hold only digits, letters, blanks, '.', ':' and '>'.
[[maybe_unused]] std::string summary_text(const Summary& s) {
    std::string t;
    add(t, "packets read: %" PRIu64 "\n", s.packets);
    add(t, "packets skipped: %" PRIu64, s.skipped_total);
    const char* sep = " (";
    for (const auto& [reason, n] : s.skipped) {
        add(t, "%s%s %" PRIu64, sep, reason.c_str(), n);
        sep = ", ";
    }
    t += s.skipped.empty() ? "\n" : ")\n";
    t += "control packets passed up:";
    sep = " ";
    for (const CountedAlg& a : kCountedAlgs) {
        add(t, "%s%s %" PRIu64, sep, a.name, s.control[a.type]);
        sep = ", ";
    }
    t += "\n";
    add(t, "timeout packets: %" PRIu64 "\n", s.timeouts);
    add(t, "gates opened: %" PRIu64 "\n", s.gates_opened);
    add(t, "gates deleted: %" PRIu64 "\n", s.gates_deleted);
    add(t, "flows admitted by a gate: %" PRIu64 "\n", s.flows_admitted);
    add(t, "flows without a gate: %zu\n", s.unadmitted.size());
    for (const std::string& f : s.unadmitted) add(t, "  %s\n", f.c_str());
    return t;
}

[[maybe_unused]] std::string summary_json(const Summary& s) {
    std::string t;
    add(t, "{\"packets\":%" PRIu64 ",\"control\":{", s.packets);
    const char* sep = "";
    for (const CountedAlg& a : kCountedAlgs) {
        add(t, "%s\"%s\":%" PRIu64, sep, a.name, s.control[a.type]);
        sep = ",";
    }
    add(t, "},\"gates_opened\":%" PRIu64 ",\"gates_deleted\":%" PRIu64, s.gates_opened,
        s.gates_deleted);
    add(t, ",\"flows_admitted\":%" PRIu64 ",\"flows_unadmitted\":[", s.flows_admitted);
    sep = "";
    for (const std::string& f : s.unadmitted) {
        add(t, "%s\"%s\"", sep, f.c_str());
        sep = ",";
    }
    t += "]}\n";
    return t;
}

bool parse_options(VerbArgs a, bool driven, ReplayOptions& o, std::string& err) {
    o.file = a[0];
    o.capture_clock = driven;
    for (std::size_t i = 1; i < a.size(); ++i) {
        if (a[i] == "--json") {
            o.json = true;
        } else if (a[i] == "--clock" && i + 1 < a.size() &&
                   (a[i + 1] == "capture" || a[i + 1] == "now")) {
            o.capture_clock = a[++i] == "capture";
        } else {
            err = "Usage: replay FILE [--clock capture|now] [--json]";
            return false;
        }
    }
    if (o.capture_clock && !driven) {
        err = "The clock is real; --clock capture needs apsim --clock driven";
        return false;
    }
    return true;
}

#ifdef FED_HAVE_PCAP
struct PcapCloser {
    void operator()(pcap_t* p) const { pcap_close(p); }
};
#endif

struct Replay {
    Server& s;
    const CtlOut& out;
    fem::ReplayIfaces ifs{};
    Summary sum;
    // When fed's next platform timer is due, as last asked. ALG packets arm
    // none (ALG timers run from the 3-second tick), so it holds until then; a
    // timer armed meanwhile by a command fires at the tick's step at the latest.
    bool due_known = false;
    std::uint64_t next_due = 0;
};

[[maybe_unused]] std::uint32_t ifindex_of(Core& c, const char* kname) {
    Iface* i = iface_by_kname_locked(c, kname);
    return i ? i->ifindex : 0;
}

// Raises kernel event 7 with each record and waits until fed has handled it.
bool raise(Replay& r, std::vector<std::vector<std::uint8_t>>& records) {
    for (auto& rec : records) {
        bus_publish(r.s.core, Origin::Injected, Event{1, QZ_KEVENT_FE_ALG_PKT, std::move(rec)});
        if (!bus_drain(r.s.core, kFedAnswerMs)) return false;
    }
    records.clear();
    return true;
}

// One packet at FE time `fe_ms`; false when fed stopped answering.
[[maybe_unused]] bool replay_one(Replay& r, const fem::FramePacket& p, std::uint64_t fe_ms) {
    std::vector<std::vector<std::uint8_t>> records;
    {
        std::lock_guard lock(r.s.core.mu);
        fem::alg_set_time(r.s.core.fe, fe_ms);
        fem::replay_expire(r.s.core.fe, r.s.core.fe.alg.now_ms, r.ifs, records);
    }
    r.sum.timeouts += records.size();
    if (!raise(r, records)) return false;
    fem::PacketStep step;
    {
        std::lock_guard lock(r.s.core.mu);
        fem::replay_packet(r.s.core.fe, p, r.ifs, step);
    }
    switch (step.kind) {
        case fem::PacketKind::Control:
            ++r.sum.control[step.alg_type];
            records.push_back(std::move(step.record));
            return raise(r, records);
        case fem::PacketKind::FlowAdmitted:
            ++r.sum.flows_admitted;
            return true;
        case fem::PacketKind::FlowUnadmitted:
            r.sum.unadmitted.push_back(tuple_text(p.tuple));
            return true;
        case fem::PacketKind::ControlSilent:
        case fem::PacketKind::Flow:
            return true;
    }
    return true;
}

// Moves the driven clock to target: exactly over the last stretch, in one
// jump before it.
[[maybe_unused]] int follow_clock(Replay& r, std::uint64_t target) {
    std::uint64_t now = clock_now_ms(r.s.clock);
    if (target <= now) return kCtlOk;
    // Nothing of fed's comes due on the way: the clock just moves.
    if (r.due_known && target < r.next_due) {
        clock_set_ms(r.s.clock, target);
        return kCtlOk;
    }
    if (target - now > kExactStepMs) {
        int rc = clock_jump_to(r.s, target - kExactStepMs, r.out);
        if (rc != kCtlOk) return rc;
    }
    int rc = clock_step_to(r.s, target, r.out, &r.next_due);
    r.due_known = rc == kCtlOk;
    return rc;
}

}  // namespace

int verb_replay(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    ReplayOptions o;
    std::string err;
    if (!parse_options(a, s.clock.driven, o, err)) return ctl_fail(out, err);
#ifndef FED_HAVE_PCAP
    return ctl_fail(out, "This apsim was built without libpcap: no replay");
#else
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    std::unique_ptr<pcap_t, PcapCloser> pc(pcap_open_offline(o.file.c_str(), errbuf));
    if (!pc) return ctl_fail(out, "Cannot read " + o.file + ": " + errbuf);
    auto linktype = static_cast<std::uint32_t>(pcap_datalink(pc.get()));

    // A replay asked for meanwhile waits: it would count this one's gates and flows.
    std::lock_guard one(s.replay_mu);
    Replay r{s, out, {}, {}};
    std::uint64_t start = clock_now_ms(s.clock);
    std::uint64_t opens0, deletes0;
    std::vector<std::vector<std::uint8_t>> records;
    {
        std::lock_guard lock(s.core.mu);
        r.ifs.client_side = ifindex_of(s.core, kClientSideIf);
        r.ifs.server_side = ifindex_of(s.core, kServerSideIf);
        fem::alg_set_time(s.core.fe, start);
        start = s.core.fe.alg.now_ms;
        fem::replay_end_all(s.core.fe, r.ifs, records);
        opens0 = s.core.fe.alg.gate_opens;
        deletes0 = s.core.fe.alg.gate_deletes;
    }
    if (!raise(r, records)) return ctl_fail(out, "fed did not acknowledge an ALG packet");

    bool have_t0 = false;
    std::uint64_t t0 = 0, rel = 0;
    pcap_pkthdr* h = nullptr;
    const u_char* data = nullptr;
    int got;
    while ((got = pcap_next_ex(pc.get(), &h, &data)) == 1) {
        // fedctl asked to stop, or went away (Ctrl-C): nobody waits for the rest.
        if (r.sum.packets % kCancelCheckEvery == 0 && out.stop())
            return ctl_fail(out,
                            "Replay stopped after " + std::to_string(r.sum.packets) + " packets");
        ++r.sum.packets;
        std::uint64_t t = static_cast<std::uint64_t>(h->ts.tv_sec) * 1000u +
                          static_cast<std::uint64_t>(h->ts.tv_usec) / 1000u;
        if (!have_t0) t0 = t, have_t0 = true;
        // Capture time never goes back, whatever order the file holds.
        rel = std::max(rel, t > t0 ? t - t0 : 0);
        if (o.capture_clock) {
            int rc = follow_clock(r, start + rel);
            if (rc != kCtlOk) return rc;
        }
        fem::FramePacket p;
        fem::FrameResult fr = fem::frame_parse(linktype, {data, h->caplen}, p);
        if (fr != fem::FrameResult::Ok) {
            ++r.sum.skipped[fem::frame_result_name(fr)];
            ++r.sum.skipped_total;
            continue;
        }
        if (!replay_one(r, p, start + rel))
            return ctl_fail(out, "fed did not acknowledge an ALG packet");
    }
    {
        std::lock_guard lock(s.core.mu);
        r.sum.gates_opened = s.core.fe.alg.gate_opens - opens0;
        r.sum.gates_deleted = s.core.fe.alg.gate_deletes - deletes0;
    }
    out(o.json ? summary_json(r.sum) : summary_text(r.sum));
    if (got == -1)
        return ctl_fail(out, std::string("The capture ends in error: ") + pcap_geterr(pc.get()));
    return kCtlOk;
#endif
}

int verb_alg(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    fem::AlgSettings& st = s.core.fe.alg.settings;
    if (a.empty()) {
        std::string t;
        for (std::uint16_t type = 1; type < fem::kAlgTypes; ++type)
            add(t, "%s %s\n", fem::kAlgDefaults[type].name, st.enabled[type] ? "on" : "off");
        out(t);
        return kCtlOk;
    }
    std::uint16_t type = fem::alg_type_by_name(a[0]);
    if (type == 0 || a.size() != 2 || (a[1] != "on" && a[1] != "off"))
        return ctl_fail(out, "Usage: platform alg [ftp|tftp|sip|dns|http on|off]");
    st.enabled[type] = a[1] == "on";
    return kCtlOk;
}

int verb_gates(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    if (s.core.clock_ms) {
        std::uint64_t now = s.core.clock_ms();
        std::lock_guard lock(s.core.mu);
        fem::alg_set_time(s.core.fe, now);
    }
    std::string t;
    char line[200];
    std::lock_guard lock(s.core.mu);
    const fem::AlgState& st = s.core.fe.alg;
    for (const fem::Gate& g : st.gates) {
        fem::FlowTuple tu{g.protocol, g.src_ip, g.dst_ip, g.src_port, g.dst_port};
        std::snprintf(line, sizeof line, "gate %u: %s alg %u ctrl %u/%u ageout %" PRIu64 " ms\n",
                      g.cookie, tuple_text(tu).c_str(), g.alg_type, g.ctrl_id, g.ctrl_cookie,
                      g.expires_ms > st.now_ms ? g.expires_ms - st.now_ms : 0);
        t += line;
    }
    for (const fem::FlowMsg& m : st.messages) {
        fem::FlowTuple tu{m.protocol, m.src_ip, m.dst_ip, m.src_port, m.dst_port};
        std::snprintf(line, sizeof line, "message %u: %s ctrl %u/%u tag %u flag %u reply %u\n",
                      m.command, tuple_text(tu).c_str(), m.ctrl_id, m.ctrl_cookie, m.ctrl_tag,
                      m.flag, m.reply);
        t += line;
    }
    out(t);
    return kCtlOk;
}

}  // namespace sim
