// The netfilter queue side of live mode: rules, the reading thread, verdicts
// and the "platform live" verbs. Everything the FE decides is in
// live_verdict.cpp; this file only carries packets to it and back.
#include "sim/live.h"

// The C library's network headers go before the kernel's, which then yield.
#include <arpa/inet.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef FED_HAVE_NFQ
#include <libnetfilter_queue/libnetfilter_queue.h>
#include <linux/netfilter.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/alg_msg.h"
#include "platform/fe/model.h"
#include "sim/live_verdict.h"
#include "sim/verbs.h"

extern char** environ;

namespace sim {

namespace {

inline constexpr const char* kIptables = "iptables-legacy";
inline constexpr const char* kChain = "APSIM_LIVE";
inline constexpr const char* kClientSideIf = "wifi0";
inline constexpr const char* kServerSideIf = "eth0";
// A control packet is held until fed handled its copy, so that the gate it
// announces is open before the peer acts on it; a fed that is gone or stuck
// delays each control packet by at most this much.
inline constexpr int kFedWaitMs = 1000;
// Packets the kernel holds for us before it drops (fail-closed).
inline constexpr std::uint32_t kQueueMaxLen = 8192;
inline constexpr int kSocketBuffer = 8 << 20;
inline constexpr std::size_t kLatencySamples = 16384;

[[maybe_unused]] int run_iptables(std::vector<std::string> args, bool quiet) {
    args.insert(args.begin(), kIptables);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (quiet) {
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, kIptables, &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Takes out what an earlier apsim left (also one that was killed).
[[maybe_unused]] void remove_rules() {
    for (int i = 0; i < 8 && run_iptables({"-D", "FORWARD", "-j", kChain}, true) == 0; ++i) {
    }
    run_iptables({"-F", kChain}, true);
    run_iptables({"-X", kChain}, true);
}

// Kernel counters of one queue, from /proc/net/netfilter/nfnetlink_queue.
struct QueueStats {
    bool known = false;
    std::uint64_t waiting = 0;
    std::uint64_t full_drops = 0;    // the queue held kQueueMaxLen packets
    std::uint64_t socket_drops = 0;  // our socket buffer was full
};

[[maybe_unused]] QueueStats queue_stats(int queue) {
    QueueStats q;
    std::ifstream f("/proc/net/netfilter/nfnetlink_queue");
    std::string line;
    while (std::getline(f, line)) {
        std::istringstream in(line);
        std::uint64_t num, portid, total, mode, range, dropped, user_dropped;
        if (!(in >> num >> portid >> total >> mode >> range >> dropped >> user_dropped)) continue;
        if (num != static_cast<std::uint64_t>(queue)) continue;
        q = {true, total, dropped, user_dropped};
    }
    return q;
}

[[maybe_unused]] std::uint64_t flows_seen(const LiveCounters& c) {
    return c.flows_gate + c.flows_service + c.flows_refused;
}

#ifdef FED_HAVE_NFQ

struct Live {
    Server* s = nullptr;
    int queue = 0;
    fem::ReplayIfaces ifs{};
    nfq_handle* h = nullptr;
    nfq_q_handle* q = nullptr;
    // Under s->core.mu, with the model.
    LiveState st;
    std::vector<std::uint32_t> first_ns;  // verdict times of first packets, a ring
    std::size_t first_at = 0;
    std::atomic<std::uint64_t> fed_late{0};
    std::atomic<std::uint64_t> overruns{0};
    std::mutex rules_mu;
    bool rules = false;
};

Live* g_live = nullptr;  // set once by live_start, never freed

int on_packet(nfq_q_handle* qh, nfgenmsg*, nfq_data* d, void* arg) {
    auto began = std::chrono::steady_clock::now();
    Live& l = *static_cast<Live*>(arg);
    nfqnl_msg_packet_hdr* ph = nfq_get_msg_packet_hdr(d);
    if (!ph) return 0;
    std::uint32_t id = ntohl(ph->packet_id);
    unsigned char* data = nullptr;
    int len = nfq_get_payload(d, &data);
    const std::uint8_t* mac = nullptr;
    if (nfqnl_msg_packet_hw* hw = nfq_get_packet_hw(d); hw && ntohs(hw->hw_addrlen) == 6)
        mac = hw->hw_addr;
    std::vector<std::vector<std::uint8_t>> records;
    LiveVerdict v = LiveVerdict::Accept;
    bool first = false;
    Core& core = l.s->core;
    if (len > 0) {
        std::lock_guard lock(core.mu);
        std::uint64_t flows = flows_seen(l.st.c);
        v = live_decide(core.fe, l.st, clock_now_ms(l.s->clock),
                        {data, static_cast<std::size_t>(len)}, mac, l.ifs, records);
        first = flows_seen(l.st.c) != flows;
    }
    if (!records.empty()) {
        for (auto& rec : records)
            bus_publish(core, Origin::Injected, Event{1, QZ_KEVENT_FE_ALG_PKT, std::move(rec)});
        if (!bus_drain(core, kFedWaitMs)) ++l.fed_late;
    }
    int rc = nfq_set_verdict(qh, id, v == LiveVerdict::Accept ? NF_ACCEPT : NF_DROP, 0, nullptr);
    if (first) {
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now() - began)
                      .count();
        std::lock_guard lock(core.mu);
        std::uint32_t sample = static_cast<std::uint32_t>(std::min<long long>(ns, UINT32_MAX));
        if (l.first_ns.size() < kLatencySamples)
            l.first_ns.push_back(sample);
        else
            l.first_ns[l.first_at++ % kLatencySamples] = sample;
    }
    return rc;
}

void reader(Live& l) {
    std::vector<char> buf(0x10000 + 4096);
    int fd = nfq_fd(l.h);
    for (;;) {
        ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
        if (n < 0) {
            // The kernel counts what it dropped for a full socket; reading goes on.
            if (errno == ENOBUFS) ++l.overruns;
            if (errno == ENOBUFS || errno == EINTR) continue;
            // Nobody would give the queued packets a verdict: forward without us.
            std::fprintf(stderr, "apsim: live: reading the queue failed: %s; rules removed\n",
                         std::strerror(errno));
            live_stop();
            return;
        }
        nfq_handle_packet(l.h, buf.data(), static_cast<int>(n));
    }
}

std::uint32_t percentile(std::vector<std::uint32_t> v, unsigned pct) {
    if (v.empty()) return 0;
    std::size_t k = (v.size() - 1) * pct / 100;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
    return v[k];
}

#endif  // FED_HAVE_NFQ

}  // namespace

#ifdef FED_HAVE_NFQ

bool live_start(Server& s, const LiveOptions& o, std::string& why) {
    if (s.clock.driven) {
        why = "--live needs the real clock";
        return false;
    }
    auto* l = new Live;
    l->s = &s;
    l->queue = o.queue;
    {
        std::lock_guard lock(s.core.mu);
        Iface* c = iface_by_kname_locked(s.core, kClientSideIf);
        Iface* v = iface_by_kname_locked(s.core, kServerSideIf);
        l->ifs = {c ? c->ifindex : 0, v ? v->ifindex : 0};
    }
    l->h = nfq_open();
    if (!l->h) {
        why = std::string("cannot open the netfilter queue: ") + std::strerror(errno);
        return false;
    }
    l->q = nfq_create_queue(l->h, static_cast<std::uint16_t>(o.queue), on_packet, l);
    if (!l->q) {
        why = "cannot bind netfilter queue " + std::to_string(o.queue) + " (in use?)";
        return false;
    }
    // GSO: large segments come whole instead of cut to the wire's size, one
    // verdict for many packets' worth; nothing here reads checksums.
    if (nfq_set_mode(l->q, NFQNL_COPY_PACKET, 0xffff) < 0 ||
        nfq_set_queue_maxlen(l->q, kQueueMaxLen) < 0 ||
        nfq_set_queue_flags(l->q, NFQA_CFG_F_GSO, NFQA_CFG_F_GSO) < 0) {
        why = "cannot set up netfilter queue " + std::to_string(o.queue);
        return false;
    }
    int fd = nfq_fd(l->h);
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kSocketBuffer, sizeof kSocketBuffer) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kSocketBuffer, sizeof kSocketBuffer);

    std::lock_guard lock(l->rules_mu);
    remove_rules();
    std::string q = std::to_string(o.queue);
    // --queue-bypass: should apsim die without removing the rules, the
    // kernel forwards as if they were not there rather than dropping all.
    if (run_iptables({"-N", kChain}, false) != 0 ||
        run_iptables({"-A", kChain, "-j", "NFQUEUE", "--queue-num", q, "--queue-bypass"}, false) !=
            0 ||
        run_iptables({"-I", "FORWARD", "1", "-j", kChain}, false) != 0) {
        remove_rules();
        why = std::string("cannot install the iptables rules (") + kIptables + ")";
        return false;
    }
    l->rules = true;
    g_live = l;
    std::thread(reader, std::ref(*l)).detach();
    return true;
}

void live_stop() {
    Live* l = g_live;
    if (!l) return;
    std::lock_guard lock(l->rules_mu);
    if (!l->rules) return;
    remove_rules();
    l->rules = false;
}

int verb_live(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    Live* l = g_live;
    if (!l) return ctl_fail(out, "Live mode is off (apsim --live starts it)");
    LiveCounters c;
    bool enforce;
    std::vector<std::uint32_t> lat;
    {
        std::lock_guard lock(s.core.mu);
        c = l->st.c;
        enforce = l->st.enforce;
        lat = l->first_ns;
    }
    QueueStats qs = queue_stats(l->queue);
    char b[1024];
    std::string t;
    std::snprintf(b, sizeof b, "live: queue %d, enforce %s, queue overflow fail-closed\n", l->queue,
                  enforce ? "on" : "off");
    t += b;
    std::snprintf(b, sizeof b,
                  "packets: %" PRIu64 " (not TCP/UDP over IPv4, passed unchecked: %" PRIu64
                  ")\n"
                  "control packets passed up: ftp %" PRIu64 ", tftp %" PRIu64 ", sip %" PRIu64
                  ", dns %" PRIu64
                  "\n"
                  "timeout packets: %" PRIu64
                  "\n"
                  "flows admitted by a gate: %" PRIu64
                  "\n"
                  "flows admitted on retry (sent again): %" PRIu64
                  "\n"
                  "flows to a service port: %" PRIu64
                  "\n"
                  "flows without a gate: %" PRIu64
                  "\n"
                  "packets dropped: %" PRIu64
                  "\n"
                  "packets passed with enforcement off: %" PRIu64
                  "\n"
                  "control packets passed before fed answered: %" PRIu64 "\n",
                  c.packets, c.unread, c.control[1], c.control[2], c.control[3], c.control[4],
                  c.timeouts, c.flows_gate, c.flows_retried, c.flows_service, c.flows_refused,
                  c.dropped, c.would_drop, l->fed_late.load());
    t += b;
    if (qs.known) {
        std::snprintf(b, sizeof b,
                      "queue: waiting %" PRIu64 ", dropped when full %" PRIu64
                      ", dropped for a full socket %" PRIu64 " (seen %" PRIu64 " times)\n",
                      qs.waiting, qs.full_drops, qs.socket_drops, l->overruns.load());
        t += b;
    }
    std::snprintf(b, sizeof b,
                  "first-packet verdict: median %u us, p99 %u us (last %zu new flows)\n",
                  percentile(lat, 50) / 1000, percentile(lat, 99) / 1000, lat.size());
    t += b;
    for (std::uint16_t type = 1; type < fem::kAlgTypes; ++type)
        if (c.alg_off[type] > 0) {
            std::snprintf(
                b, sizeof b,
                "note: the %s ALG is off (platform alg %s on); flows on its port: %" PRIu64 "\n",
                fem::kAlgDefaults[type].name, fem::kAlgDefaults[type].name, c.alg_off[type]);
            t += b;
        }
    out(t);
    return kCtlOk;
}

int verb_live_enforce(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    Live* l = g_live;
    if (!l) return ctl_fail(out, "Live mode is off (apsim --live starts it)");
    if (a.size() != 1 || (a[0] != "on" && a[0] != "off"))
        return ctl_fail(out, "Usage: platform live enforce on|off");
    std::lock_guard lock(s.core.mu);
    l->st.enforce = a[0] == "on";
    return kCtlOk;
}

#else

bool live_start(Server&, const LiveOptions&, std::string& why) {
    why = "--live is not built into this apsim (no libnetfilter-queue at build time)";
    return false;
}

void live_stop() {}

int verb_live(Server&, VerbArgs, const CtlOut& out, CtlResult&) {
    return ctl_fail(out, "Live mode is not built into this apsim (no libnetfilter-queue)");
}

int verb_live_enforce(Server& s, VerbArgs a, const CtlOut& out, CtlResult& r) {
    return verb_live(s, a, out, r);
}

#endif

}  // namespace sim
