// Capture replay: a pcap or pcapng file goes through the FE model packet by
// packet. Control packets of the ALGs go up to fed as kernel event 7 and are
// handled before the next packet is looked at, so the gates fed opens are in
// place when the data connection they announce starts.
#ifdef FED_HAVE_PCAP
#include <pcap/pcap.h>
#endif

#include <algorithm>
#include <array>
#include <chrono>
#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>

#include "platform/fe.h"
#include "platform/fe/model.h"
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
// While fed handles an ALG packet, how often the replay looks whether to stop.
inline constexpr int kDrainSliceMs = 100;
// Replays longer than this show progress, this often.
inline constexpr auto kProgressEvery = std::chrono::seconds(1);
// Flows without a gate listed in the text (all with --all, and in --json).
inline constexpr std::size_t kListedFlows = 20;
// A peer whose SYN went unanswered sends it again after 1 s, then 3 s after the first.
inline constexpr std::uint64_t kSynRetryMs[] = {1000, 3000};
inline constexpr std::uint8_t kTcpSyn = 0x02;
inline constexpr std::uint8_t kTcpAck = 0x10;
inline constexpr std::uint16_t kAlgSip = 3;
inline constexpr std::uint32_t kEvItkNotify = 172;
inline constexpr std::uint32_t kEvWalledGarden = 352;
// Distinct SIP calls remembered for the count; past that they are not told apart.
inline constexpr std::size_t kMaxCallIds = 1 << 20;

// ALGs counted in the summary, in its order.
struct CountedAlg {
    std::uint16_t type;
    const char* name;
};
constexpr CountedAlg kCountedAlgs[] = {{1, "ftp"}, {2, "tftp"}, {3, "sip"}, {4, "dns"}};

struct Unadmitted {
    fem::FlowTuple t;
    bool retried;  // a gate admitted the peer's SYN sent again
};

struct Summary {
    std::uint64_t packets = 0;
    std::map<std::string, std::uint64_t> skipped;  // by reason
    std::uint64_t skipped_total = 0;
    std::array<std::uint64_t, fem::kAlgTypes> control{};
    std::uint64_t timeouts = 0;
    std::uint64_t gates_opened = 0;
    std::uint64_t gates_deleted = 0;
    std::uint64_t flows_admitted = 0;
    std::uint64_t flows_retried = 0;
    std::vector<Unadmitted> unadmitted;
    std::array<std::uint64_t, fem::kAlgTypes>
        alg_off{};                 // new flows on the port of an ALG that is off
    std::uint64_t ip_refused = 0;  // new flows the full IP session table refused
    bool mac_full = false;
    std::uint64_t dns_published = 0;  // walled-garden events fed sent
    std::uint64_t dns_reported = 0;   // stations fed reported for unanswered queries
    std::set<std::string> sip_calls;
};

struct ReplayOptions {
    std::string file;
    bool capture_clock = false;
    bool json = false;
    bool all = false;       // list every flow without a gate in the text
    bool progress = false;  // progress lines, also with --json
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

const char* alg_name(std::uint16_t type) {
    return type < fem::kAlgTypes ? fem::kAlgDefaults[type].name : "?";
}

// The flow texts hold only digits, letters, blanks, '.', ':' and '>'.
[[maybe_unused]] std::string summary_text(const Summary& s, bool all) {
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
    add(t, "flows admitted on retry (SYN sent again): %" PRIu64 "\n", s.flows_retried);
    std::size_t without = s.unadmitted.size() - s.flows_retried;
    add(t, "flows without a gate: %zu\n", without);
    std::size_t listed = 0;
    for (const Unadmitted& u : s.unadmitted) {
        if (u.retried) continue;
        if (!all && listed == kListedFlows) {
            add(t, "  ... %zu more (replay --all lists them)\n", without - listed);
            break;
        }
        add(t, "  %s\n", tuple_text(u.t).c_str());
        ++listed;
    }
    if (s.control[4] > 0)
        add(t, "dns: walled-garden publications %" PRIu64 ", stations reported %" PRIu64 "\n",
            s.dns_published, s.dns_reported);
    if (s.control[kAlgSip] > 0) add(t, "sip: calls seen %zu\n", s.sip_calls.size());
    for (std::uint16_t type = 1; type < fem::kAlgTypes; ++type)
        if (s.alg_off[type] > 0)
            add(t, "note: the %s ALG is off (platform alg %s on); flows on its port: %" PRIu64 "\n",
                alg_name(type), alg_name(type), s.alg_off[type]);
    if (s.ip_refused > 0)
        add(t, "note: the IP session table is full (%u); flows without a session: %" PRIu64 "\n",
            FE_SESSION_MAX, s.ip_refused);
    if (s.mac_full)
        add(t, "note: the MAC session table is full (%u); new station pairs got none\n",
            FE_SESSION_MAX);
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
    for (const Unadmitted& u : s.unadmitted) {
        if (u.retried) continue;
        add(t, "%s\"%s\"", sep, tuple_text(u.t).c_str());
        sep = ",";
    }
    add(t, "],\"flows_admitted_on_retry\":%" PRIu64 ",\"skipped\":{", s.flows_retried);
    sep = "";
    for (const auto& [reason, n] : s.skipped) {
        add(t, "%s\"%s\":%" PRIu64, sep, reason.c_str(), n);
        sep = ",";
    }
    add(t, "},\"timeouts\":%" PRIu64 ",\"alg_off\":{", s.timeouts);
    sep = "";
    for (const CountedAlg& a : kCountedAlgs) {
        add(t, "%s\"%s\":%" PRIu64, sep, a.name, s.alg_off[a.type]);
        sep = ",";
    }
    add(t,
        "},\"ip_sessions_refused\":%" PRIu64 ",\"mac_sessions_full\":%s,\"dns_published\":%" PRIu64
        ",\"dns_reported\":%" PRIu64 ",\"sip_calls\":%zu}\n",
        s.ip_refused, s.mac_full ? "true" : "false", s.dns_published, s.dns_reported,
        s.sip_calls.size());
    return t;
}

constexpr const char* kReplayUsage =
    "Usage: replay FILE [--clock capture|now] [--json] [--all] [--progress]";

bool parse_options(VerbArgs a, bool driven, ReplayOptions& o, std::string& err) {
    o.file = a[0];
    o.capture_clock = driven;
    for (std::size_t i = 1; i < a.size(); ++i) {
        if (a[i] == "--json") {
            o.json = true;
        } else if (a[i] == "--all") {
            o.all = true;
        } else if (a[i] == "--progress") {
            o.progress = true;
        } else if (a[i] == "--clock" && i + 1 < a.size() &&
                   (a[i + 1] == "capture" || a[i + 1] == "now")) {
            o.capture_clock = a[++i] == "capture";
        } else {
            err = kReplayUsage;
            return false;
        }
    }
    o.progress = o.progress || !o.json;
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

// A flow whose first SYN found no gate, waiting for the peer to send it again.
struct Retry {
    std::size_t index;  // in Summary::unadmitted
    std::uint64_t first_ms;
};

struct Replay {
    Server& s;
    const CtlOut& out;
    fem::ReplayIfaces ifs{};
    Summary sum{};
    // When fed's next platform timer is due, as last asked. ALG packets arm
    // none (ALG timers run from the 3-second tick), so it holds until then; a
    // timer armed meanwhile by a command fires at the tick's step at the latest.
    bool due_known = false;
    std::uint64_t next_due = 0;
    std::size_t events_seen = 0;  // absolute number of the next event to look at
    // Both ordered by first_ms: [i] waits for retry i.
    std::array<std::deque<Retry>, std::size(kSynRetryMs)> retries{};
};

enum class Step { Ok, NoAnswer, Stopped };

[[maybe_unused]] std::uint32_t ifindex_of(Core& c, const char* kname) {
    Iface* i = iface_by_kname_locked(c, kname);
    return i ? i->ifindex : 0;
}

// Counts the events fed sent about DNS since the last look.
void count_fed_events(Replay& r) {
    std::lock_guard lock(r.s.core.mu);
    const auto& ev = r.s.core.events;
    for (std::size_t n = std::max(r.events_seen, ev.total() - ev.size()); n < ev.total(); ++n) {
        const LoggedEvent* e = ev.at_total(n);
        if (!e || e->origin != Origin::Fed) continue;
        if (e->ev.event == kEvWalledGarden) ++r.sum.dns_published;
        if (e->ev.event == kEvItkNotify) ++r.sum.dns_reported;
    }
    r.events_seen = ev.total();
}

// Raises kernel event 7 with each record and waits until fed has handled it;
// fedctl may stop the replay meanwhile.
Step raise(Replay& r, std::vector<std::vector<std::uint8_t>>& records) {
    for (auto& rec : records) {
        bus_publish(r.s.core, Origin::Injected, Event{1, QZ_KEVENT_FE_ALG_PKT, std::move(rec)});
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFedAnswerMs);
        while (!bus_drain(r.s.core, kDrainSliceMs)) {
            if (r.out.stop()) return Step::Stopped;
            if (std::chrono::steady_clock::now() > deadline) return Step::NoAnswer;
        }
    }
    records.clear();
    count_fed_events(r);
    return Step::Ok;
}

// The peer sends an unanswered SYN again: retries due by capture time now_ms
// find the gates fed opened meanwhile.
[[maybe_unused]] void run_retries(Replay& r, std::uint64_t now_ms) {
    for (std::size_t i = 0; i < r.retries.size(); ++i) {
        auto& q = r.retries[i];
        while (!q.empty() && q.front().first_ms + kSynRetryMs[i] <= now_ms) {
            Retry e = q.front();
            q.pop_front();
            Unadmitted& u = r.sum.unadmitted[e.index];
            bool ok;
            {
                std::lock_guard lock(r.s.core.mu);
                ok = fem::replay_retry(r.s.core.fe, u.t);
            }
            if (ok) {
                u.retried = true;
                ++r.sum.flows_retried;
            } else if (i + 1 < r.retries.size()) {
                r.retries[i + 1].push_back(e);
            }
        }
    }
}

// One packet at FE time `fe_ms`.
[[maybe_unused]] Step replay_one(Replay& r, const fem::FramePacket& p, std::uint64_t fe_ms) {
    std::vector<std::vector<std::uint8_t>> records;
    {
        std::lock_guard lock(r.s.core.mu);
        fem::alg_set_time(r.s.core.fe, fe_ms);
        fem::replay_expire(r.s.core.fe, r.s.core.fe.alg.now_ms, r.ifs, records);
    }
    r.sum.timeouts += records.size();
    if (Step st = raise(r, records); st != Step::Ok) return st;
    fem::PacketStep step;
    {
        std::lock_guard lock(r.s.core.mu);
        fem::Model& fe = r.s.core.fe;
        std::size_t ip_before = fe.sess.ip.size();
        fem::replay_packet(fe, p, r.ifs, step);
        if (step.first && ip_before >= FE_SESSION_MAX && fe.sess.ip.size() == ip_before)
            ++r.sum.ip_refused;
        r.sum.mac_full = r.sum.mac_full || fe.sess.mac.size() >= FE_SESSION_MAX;
    }
    if (step.alg_off) ++r.sum.alg_off[step.alg_off];
    switch (step.kind) {
        case fem::PacketKind::Control:
            ++r.sum.control[step.alg_type];
            if (step.alg_type == kAlgSip && r.sum.sip_calls.size() < kMaxCallIds)
                if (std::string_view id = fem::sip_call_id(p.payload); !id.empty())
                    r.sum.sip_calls.emplace(id);
            records.push_back(std::move(step.record));
            return raise(r, records);
        case fem::PacketKind::FlowAdmitted:
            ++r.sum.flows_admitted;
            return Step::Ok;
        case fem::PacketKind::FlowUnadmitted:
            if (p.tuple.protocol == 6 && (p.tcp_flags & (kTcpSyn | kTcpAck)) == kTcpSyn)
                r.retries[0].push_back({r.sum.unadmitted.size(), fe_ms});
            r.sum.unadmitted.push_back({p.tuple, false});
            return Step::Ok;
        case fem::PacketKind::ControlSilent:
        case fem::PacketKind::Flow:
            return Step::Ok;
    }
    return Step::Ok;
}

// "replay: 120000 packets, 48% of the file, 95000 packets/s"
[[maybe_unused]] void show_progress(Replay& r, FILE* f, std::uint64_t file_size,
                                    std::chrono::steady_clock::time_point began) {
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    long at = f ? std::ftell(f) : -1;
    std::string t;
    add(t, "replay: %" PRIu64 " packets", r.sum.packets);
    if (at >= 0 && file_size > 0)
        add(t, ", %u%% of the file",
            static_cast<unsigned>(static_cast<std::uint64_t>(at) * 100 / file_size));
    add(t, ", %.0f packets/s", secs > 0 ? static_cast<double>(r.sum.packets) / secs : 0.0);
    r.out.step(t);
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

// What "platform replay" shows while this replay runs.
class ShownReplay {
   public:
    ShownReplay(Server& s, const std::string& file) : s_(s) { set(file, 0); }
    ~ShownReplay() { set("", 0); }
    ShownReplay(const ShownReplay&) = delete;
    ShownReplay& operator=(const ShownReplay&) = delete;
    void at(std::uint64_t packets) {
        std::lock_guard lock(s_.replay_now.mu);
        s_.replay_now.packets = packets;
    }

   private:
    void set(const std::string& file, std::uint64_t packets) {
        std::lock_guard lock(s_.replay_now.mu);
        s_.replay_now.file = file;
        s_.replay_now.packets = packets;
    }
    Server& s_;
};

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
    std::unique_lock one(s.replay_mu, std::defer_lock);
    for (bool said = false; !one.try_lock_for(std::chrono::milliseconds(kDrainSliceMs));) {
        if (out.stop()) return ctl_fail(out, "Replay stopped before it started");
        if (!said) out.step("replay: waiting for the replay running now");
        said = true;
    }
    ShownReplay shown(s, o.file);
    Replay r{s, out};
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
        r.events_seen = s.core.events.total();
    }
    auto summary = [&] {
        {
            std::lock_guard lock(s.core.mu);
            r.sum.gates_opened = s.core.fe.alg.gate_opens - opens0;
            r.sum.gates_deleted = s.core.fe.alg.gate_deletes - deletes0;
        }
        out(o.json ? summary_json(r.sum) : summary_text(r.sum, o.all));
    };
    auto failed = [&](Step st) {
        if (st == Step::NoAnswer) return ctl_fail(out, "fed did not acknowledge an ALG packet");
        // fedctl asked to stop, or went away (Ctrl-C): what was done so far, if anyone reads it.
        summary();
        return ctl_fail(out, "Replay stopped after " + std::to_string(r.sum.packets) + " packets");
    };
    if (Step st = raise(r, records); st != Step::Ok) return failed(st);

    std::uint64_t file_size = 0;
    {
        std::error_code ec;
        file_size = std::filesystem::file_size(o.file, ec);
    }
    auto began = std::chrono::steady_clock::now();
    auto next_progress = began + kProgressEvery;
    bool have_t0 = false;
    std::uint64_t t0 = 0, rel = 0;
    pcap_pkthdr* h = nullptr;
    const u_char* data = nullptr;
    int got;
    while ((got = pcap_next_ex(pc.get(), &h, &data)) == 1) {
        if (r.sum.packets % kCancelCheckEvery == 0) {
            shown.at(r.sum.packets);
            if (out.stop()) return failed(Step::Stopped);
            if (o.progress && std::chrono::steady_clock::now() >= next_progress) {
                show_progress(r, pcap_file(pc.get()), file_size, began);
                next_progress += kProgressEvery;
            }
        }
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
            {
                std::lock_guard lock(s.core.mu);
                fem::counters_frame(s.core.fe, fr == fem::FrameResult::Truncated ||
                                                   fr == fem::FrameResult::Malformed);
            }
            ++r.sum.skipped[fem::frame_result_name(fr)];
            ++r.sum.skipped_total;
            continue;
        }
        run_retries(r, start + rel);
        if (Step st = replay_one(r, p, start + rel); st != Step::Ok) return failed(st);
    }
    // Retries after the capture's end find the gates as they are at its end.
    run_retries(r, UINT64_MAX);
    summary();
    if (got == -1)
        return ctl_fail(out, std::string("The capture ends in error: ") + pcap_geterr(pc.get()));
    return kCtlOk;
#endif
}

int verb_replay_status(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.replay_now.mu);
    if (s.replay_now.file.empty())
        out("replay: none\n");
    else
        out("replay: " + s.replay_now.file + ", " + std::to_string(s.replay_now.packets) +
            " packets so far\n");
    return kCtlOk;
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
