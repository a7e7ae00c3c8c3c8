#include "tests/alg/alg_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <sstream>

#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_event.h"
#include "platform/backend.h"
#include "tests/support/frames.h"

namespace algtest {

namespace {

testap::LocalAp* g_ap = nullptr;
std::size_t g_log_mark = 0;
std::size_t g_events_seen = 0;  // absolute number of the next event to look at

class Env : public ::testing::Environment {
   public:
    void SetUp() override {
        g_ap = new testap::LocalAp;
        ASSERT_EQ(qz_pmpt_timer_init(0), 0);
        ASSERT_EQ(qz_alg_init(), 0);
        clear();
    }
    void TearDown() override {
        drain();
        delete g_ap;
    }
};
[[maybe_unused]] auto* const g_env = ::testing::AddGlobalTestEnvironment(new Env);

}  // namespace

std::int32_t FeReq::magic() const {
    return env.size() >= 4 ? wire::load_h<std::int32_t>(&env[0]) : 0;
}
std::uint16_t FeReq::command() const {
    return env.size() >= 6 ? wire::load_h<std::uint16_t>(&env[4]) : 0;
}
std::uint16_t FeReq::length() const {
    return env.size() >= 8 ? wire::load_h<std::uint16_t>(&env[6]) : 0;
}
std::vector<std::uint8_t> FeReq::data() const {
    if (env.size() < QZ_ALG_FE_ENV_HDR) return {};
    return {env.begin() + QZ_ALG_FE_ENV_HDR, env.end()};
}

testap::LocalAp& ap() {
    return *g_ap;
}

std::vector<FeReq> fe() {
    std::vector<FeReq> out;
    for (const fem::IoctlRequest& r : ap().ioctls()) out.push_back({r.request, r.envelope});
    return out;
}

std::vector<SentEvent> events() {
    std::vector<SentEvent> out;
    for (const sim::Event& e : ap().events_sent()) out.push_back({e.event, e.payload});
    return out;
}

std::uint32_t last_cookie() {
    std::lock_guard lock(ap().core().mu);
    const auto& gates = ap().core().fe.alg.gates;
    return gates.empty() ? 0 : gates.back().cookie;
}

void clear() {
    ap().clear_logs();
    ap().fault_clear();
    g_events_seen = 0;
    g_log_mark = ap().log().size();
}

void fail_next_ioctl(int rc) {
    ap().fault("qz_ioctl", rc, 1);
}

void fe_code_next(std::uint16_t command, std::uint32_t code) {
    ap().fault("ioctl:" + std::to_string(command), static_cast<int>(code), 1);
}

void answer(const FeAnswer& a) {
    if (a.rc != 0)
        fail_next_ioctl(a.rc);
    else if (a.code != 0)
        fe_code_next(QZ_ALG_FE_CMD_OPEN_GATE, a.code);
}

std::string log() {
    return ap().log().substr(std::min(g_log_mark, ap().log().size()));
}

bool logged(const std::string& flag, const std::string& text) {
    std::string t = text;
    if (!t.empty() && t.back() == '\n') t.pop_back();
    return log().find(" " + flag + " " + t + "\n") != std::string::npos;
}

bool logged_err(const std::string& text) {
    std::string l = log();
    std::istringstream lines(l);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("ERR ", 0) == 0 && line.find(text) != std::string::npos) return true;
    return false;
}

void debug_all(bool on) {
    qz_fed_debug = on ? fed_dbg::all : 0;
}

std::vector<std::uint8_t> Pkt::bytes() const {
    std::vector<std::uint8_t> out(QZ_ALG_PKT_HDR_SIZE + payload.size());
    wire::Span w(out);
    w.be16(alg_type).u8(pkt_type).bytes(src_mac.data(), 6).bytes(dst_mac.data(), 6).u8(protocol);
    w.be32(src_ip).be32(dst_ip).be16(src_port).be16(dst_port);
    w.be32(out_ifindex).be32(in_ifindex).be32(ctrl_id).be32(ctrl_cookie).be32(ctrl_tag);
    w.be16(static_cast<std::uint16_t>(pkt_length < 0 ? payload.size() : pkt_length));
    w.bytes(payload.data(), payload.size());
    return out;
}

void dispatch(const std::vector<std::uint8_t>& rec) {
    auto block = std::make_unique<std::uint8_t[]>(rec.size() ? rec.size() : 1);
    std::copy(rec.begin(), rec.end(), block.get());
    qz_alg_pkt_dispatch(QZ_KEVENT_FE_ALG_PKT, static_cast<std::uint32_t>(rec.size()), block.get());
}

void dispatch(const Pkt& p) {
    dispatch(p.bytes());
}

std::ostream& operator<<(std::ostream& os, const Flow& f) {
    auto dotted = [&](std::uint32_t a) {
        os << (a >> 24) << '.' << ((a >> 16) & 255) << '.' << ((a >> 8) & 255) << '.' << (a & 255);
    };
    dotted(f.src_ip);
    os << ':' << f.src_port << " -> ";
    dotted(f.dst_ip);
    return os << ':' << f.dst_port << " proto " << int{f.protocol};
}

// The data areas of the requests, past their envelopes.
std::vector<std::uint8_t> open_gate_bytes(const Flow& f, std::uint32_t alg_type,
                                          std::uint32_t ctrl_id, std::uint32_t ctrl_cookie) {
    auto e = testframes::gate_open({f.src_ip, f.dst_ip, f.src_port, f.dst_port, f.protocol},
                                   alg_type, ctrl_id, ctrl_cookie);
    return {e.begin() + 8, e.end()};
}

std::vector<std::uint8_t> delete_gate_bytes(const Flow& f, std::uint32_t gate_cookie) {
    auto e = testframes::gate_delete({f.src_ip, f.dst_ip, f.src_port, f.dst_port, f.protocol},
                                     gate_cookie);
    return {e.begin() + 8, e.end()};
}

Flow flow_of(const FeReq& r) {
    auto d = r.data();
    if (d.size() < 13) return {};
    return {wire::load_be32(&d[0]), wire::load_be32(&d[4]), wire::load_be16(&d[8]),
            wire::load_be16(&d[10]), d[12]};
}

void expect_open_gate(const FeReq& r, const Flow& f, std::uint32_t alg_type, std::uint32_t ctrl_id,
                      std::uint32_t ctrl_cookie) {
    EXPECT_EQ(r.request, QZ_ALG_FE_IOCTL);
    EXPECT_EQ(r.magic(), -1);
    EXPECT_EQ(r.command(), QZ_ALG_FE_CMD_OPEN_GATE);
    EXPECT_EQ(r.length(), 36);
    ASSERT_EQ(r.env.size(), 8u + 36u);
    EXPECT_EQ(flow_of(r), f);  // the flow first: it names a wrong request best
    EXPECT_EQ(r.data(), open_gate_bytes(f, alg_type, ctrl_id, ctrl_cookie));
}

void expect_delete_gate(const FeReq& r, const Flow& f, std::uint32_t gate_cookie) {
    EXPECT_EQ(r.request, QZ_ALG_FE_IOCTL);
    EXPECT_EQ(r.magic(), -1);
    EXPECT_EQ(r.command(), QZ_ALG_FE_CMD_DELETE_GATE);
    EXPECT_EQ(r.length(), 20);
    ASSERT_EQ(r.env.size(), 8u + 20u);
    EXPECT_EQ(flow_of(r), f);
    EXPECT_EQ(r.data(), delete_gate_bytes(f, gate_cookie));
}

void advance(std::uint32_t seconds) {
    for (std::uint32_t i = 0; i < seconds; ++i) {
        plat::clock_advance_ms(1000);
        // Only the events since the last look: the log keeps the newest few
        // thousand, and a long call outlives that many ticks.
        std::size_t ticks = 0;
        {
            std::lock_guard lock(ap().core().mu);
            const auto& log = ap().core().events;
            g_events_seen = std::min(g_events_seen, log.total());  // the log was cleared
            for (; g_events_seen < log.total(); ++g_events_seen) {
                const sim::LoggedEvent* e = log.at_total(g_events_seen);
                ticks += e && e->origin == sim::Origin::Fed &&
                         e->ev.event == QZ_EVENT_UDPDATE_ALG_INFO &&
                         e->ev.payload.size() == QZ_ALG_INFO_SIZE &&
                         wire::load_h<std::uint32_t>(e->ev.payload.data()) == QZ_ALG_INFO_TIMER;
            }
        }
        for (; ticks > 0; --ticks) qz_alg_timer_run();
    }
}

void drain() {
    // Past every FTP and TFTP max duration the tests use. The jump skips the
    // platform tick (it fires once, late, at the next advance).
    plat::clock_set_ms(plat::clock_ms() + 2ull * 3600 * 1000);
    qz_alg_timer_run();
    {
        std::lock_guard lock(ap().core().mu);
        ap().core().fe.alg.gates.clear();
    }
    clear();
}

}  // namespace algtest
