// The dispatcher, the FE requests, the ALG timer list, the tick and the settings.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fed/qz_fed_event.h"
#include "tests/alg/alg_test_support.h"

namespace algtest {
namespace {

// Slot 3 stands in for a gateway here; the SIP gateway is not part of this build.
std::vector<qz_alg_pkt_t> g_seen;
std::vector<std::vector<std::uint8_t>> g_seen_data;
void recorder(const qz_alg_pkt_t* pkt) {
    g_seen.push_back(*pkt);
    g_seen_data.emplace_back(pkt->data.begin(), pkt->data.end());
}

class Dispatch : public ::testing::Test {
   protected:
    void SetUp() override {
        clear();
        qz_alg_register_handler(QZ_ALG_TYPE_SIP, recorder);
        g_seen.clear();
        g_seen_data.clear();
    }
};

std::array<std::uint8_t, 4> bytes_of(std::uint32_t v) {
    std::array<std::uint8_t, 4> b;
    std::memcpy(b.data(), &v, 4);
    return b;
}

TEST_F(Dispatch, DecodesEveryFieldAndKeepsAddressesInNetworkOrder) {
    const Pkt p{.alg_type = QZ_ALG_TYPE_SIP,
                .pkt_type = 2,
                .protocol = 17,
                .src_ip = ip(192, 168, 1, 10),
                .dst_ip = ip(10, 0, 0, 1),
                .src_port = 5060,
                .dst_port = 0x1234,
                .out_ifindex = 9,
                .in_ifindex = 0x10000,
                .ctrl_id = 0x01020304,
                .ctrl_cookie = 0xa0b0c0d0,
                .ctrl_tag = 0xdeadbeef,
                .payload = "INVITE"};
    dispatch(p);
    ASSERT_EQ(g_seen.size(), 1u);
    const qz_alg_pkt_t& d = g_seen[0];
    EXPECT_EQ(d.alg_type, 3);
    EXPECT_EQ(d.pkt_type, 2);
    EXPECT_EQ(0, std::memcmp(d.src_mac, p.src_mac.data(), 6));
    EXPECT_EQ(0, std::memcmp(d.dst_mac, p.dst_mac.data(), 6));
    EXPECT_EQ(d.protocol, 17);
    // The bytes of an address value are the wire bytes on every host.
    EXPECT_EQ(bytes_of(d.src_ip), (std::array<std::uint8_t, 4>{192, 168, 1, 10}));
    EXPECT_EQ(bytes_of(d.dst_ip), (std::array<std::uint8_t, 4>{10, 0, 0, 1}));
    EXPECT_EQ(qz_alg_host16(d.src_port), 5060);
    EXPECT_EQ(qz_alg_host16(d.dst_port), 0x1234);
    EXPECT_EQ(d.out_ifindex, 9u);
    EXPECT_EQ(d.in_ifindex, 0x10000u);
    EXPECT_EQ(d.ctrl_id, 0x01020304u);
    EXPECT_EQ(d.ctrl_cookie, 0xa0b0c0d0u);
    EXPECT_EQ(d.ctrl_tag, 0xdeadbeefu);
    EXPECT_EQ(d.pkt_length, 6);
    EXPECT_EQ(g_seen_data[0], std::vector<std::uint8_t>(p.payload.begin(), p.payload.end()));
    EXPECT_EQ(qz_alg_host32(d.src_ip), ip(192, 168, 1, 10));
}

TEST_F(Dispatch, RecordOf2052BytesPassesAnd2053IsRefused) {
    Pkt p{.alg_type = QZ_ALG_TYPE_SIP,
          .payload = std::string(QZ_ALG_PKT_MAX_SIZE - QZ_ALG_PKT_HDR_SIZE, 'x')};
    ASSERT_EQ(p.bytes().size(), 2052u);
    dispatch(p);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen_data[0].size(), 2002u);
    EXPECT_FALSE(logged_err("receive wrong size"));

    p.payload += 'y';
    dispatch(p);
    EXPECT_EQ(g_seen.size(), 1u);
    EXPECT_TRUE(logged_err("receive wrong size in QZ_KEVENT_FE_ALG_PKT event"));
}

TEST_F(Dispatch, UnknownTypesAreReportedAndEmptySlotsDroppedSilently) {
    // Types 5 and 6 are slots without a handler: dropped without a line.
    for (std::uint16_t type : {0, 7, 0xffff, 5, 6}) {
        SCOPED_TRACE(type);
        clear();
        dispatch(Pkt{.alg_type = type, .payload = "PORT 1,2,3,4,5,6\r\n"});
        EXPECT_TRUE(g_seen.empty());
        EXPECT_TRUE(fe().empty());
        if (type == 5 || type == 6)
            EXPECT_EQ(log(), "");
        else
            EXPECT_TRUE(logged_err("receive unknown protocol packet, " + std::to_string(type)));
    }
}

TEST_F(Dispatch, PayloadIsCutToWhatArrivedAndToWhatIsClaimed) {
    Pkt p{.alg_type = QZ_ALG_TYPE_SIP, .payload = "0123456789", .pkt_length = 100};  // claims more
    dispatch(p);
    p.pkt_length = 4;  // claims less
    dispatch(p);
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].pkt_length, 100);
    EXPECT_EQ(g_seen_data[0].size(), 10u);
    EXPECT_EQ(g_seen[1].pkt_length, 4);
    EXPECT_EQ(std::string(g_seen_data[1].begin(), g_seen_data[1].end()), "0123");
}

TEST_F(Dispatch, TruncatedRecordsNeverReadPastTheirEnd) {
    auto rec = Pkt{.alg_type = QZ_ALG_TYPE_SIP, .payload = "SIP/2.0 200 OK\r\n\r\n"}.bytes();
    for (std::size_t n = 0; n < rec.size(); ++n)
        dispatch(std::vector<std::uint8_t>(rec.begin(), rec.begin() + n));
    // Only complete headers reach the gateway.
    EXPECT_EQ(g_seen.size(), rec.size() - QZ_ALG_PKT_HDR_SIZE);
    for (std::size_t i = 0; i < g_seen.size(); ++i) EXPECT_EQ(g_seen_data[i].size(), i);
}

using DispatchDeath = Dispatch;
TEST_F(DispatchDeath, ProgrammingErrorsEndTheProcessWithTheAssertionLine) {
    std::uint8_t rec[QZ_ALG_PKT_HDR_SIZE] = {};
    struct Case {
        void (*call)(std::uint8_t*);
        const char* condition;
    } cases[] = {
        {[](std::uint8_t*) { qz_alg_register_handler(5, recorder); },
         "alg_type >= 1 && alg_type <= QZ_ALG_TYPE_REG_MAX"},
        {[](std::uint8_t*) { qz_alg_register_handler(1, nullptr); }, "fn != nullptr"},
        {[](std::uint8_t*) { qz_alg_pkt_dispatch(QZ_KEVENT_FE_ALG_PKT, 10, nullptr); },
         "data != nullptr"},
        {[](std::uint8_t* r) { qz_alg_pkt_dispatch(8, QZ_ALG_PKT_HDR_SIZE, r); },
         "event_id == QZ_KEVENT_FE_ALG_PKT"},
        {[](std::uint8_t*) { qz_alg_timer_stop(nullptr); }, "timer != nullptr"},
    };
    for (const Case& c : cases) {
        clear();
        EXPECT_DEATH(c.call(rec), "");
        EXPECT_TRUE(logged_err(std::string("### Assertion (") + c.condition +
                               ") failed at alg/qz_alg_main.cpp:"))
            << log();
    }
}

// ---- FE requests

class FeRequest : public ::testing::Test {
   protected:
    void SetUp() override { drain(); }
};

qz_alg_gate_open_req_t open_req() {
    qz_alg_gate_open_req_t r{};
    r.src_ip = qz_alg_net32(ip(10, 1, 2, 3)), r.dst_ip = qz_alg_net32(ip(172, 16, 0, 9));
    r.dst_port = qz_alg_net16(6970), r.protocol = 17, r.alg_type = QZ_ALG_TYPE_SIP;
    r.ctrl_id = 0x11223344, r.ctrl_cookie = 77;
    return r;
}

TEST_F(FeRequest, OpenGateSendsTheRecordAndReadsCodeAndCookie) {
    auto req = open_req();
    std::uint32_t result[2] = {9, 9};
    EXPECT_EQ(qz_alg_open_gate(&req, result), 0);
    EXPECT_EQ(result[0], 0u);
    EXPECT_EQ(result[1], last_cookie());
    EXPECT_NE(result[1], 0u);
    ASSERT_EQ(fe().size(), 1u);
    expect_open_gate(fe()[0], {ip(10, 1, 2, 3), ip(172, 16, 0, 9), 0, 6970, 17}, 3, 0x11223344, 77);

    fe_code_next(QZ_ALG_FE_CMD_OPEN_GATE, 4);
    EXPECT_EQ(qz_alg_open_gate(&req, result), 0);
    EXPECT_EQ(result[0], 4u);
}

TEST_F(FeRequest, FailedIoctlGivesOneAndLeavesTheCookieWord) {
    auto req = open_req();
    std::uint32_t result[2] = {0, 0x5a5a5a5a};
    fail_next_ioctl();
    EXPECT_EQ(qz_alg_open_gate(&req, result), -1);
    EXPECT_EQ(result[0], 1u);
    EXPECT_EQ(result[1], 0x5a5a5a5au);
}

TEST_F(FeRequest, DeleteGateResultIsTheIoctlResult) {
    qz_alg_gate_del_req_t req{};
    req.src_ip = qz_alg_net32(ip(1, 2, 3, 4)), req.dst_ip = qz_alg_net32(ip(5, 6, 7, 8));
    req.src_port = qz_alg_net16(20), req.dst_port = qz_alg_net16(50000);
    req.protocol = 6, req.gate_cookie = 0x01020304;
    struct Case {
        int rc;
        std::uint32_t result;
    } cases[] = {{0, 0}, {3, 3}, {-1, 1}};
    for (const Case& c : cases) {
        clear();
        if (c.rc)
            fail_next_ioctl(c.rc);
        else
            ap().fault("ioctl:53", 0, 1);  // the FE found the gate
        std::uint32_t result = 77;
        EXPECT_EQ(qz_alg_delete_gate(&req, &result), c.rc);
        EXPECT_EQ(result, c.result);
        ASSERT_EQ(fe().size(), 1u);
        expect_delete_gate(fe()[0], {ip(1, 2, 3, 4), ip(5, 6, 7, 8), 20, 50000, 6}, 0x01020304);
    }
}

TEST_F(FeRequest, FlowMessagesCarryTheTagAndFlagAndReturnTheReplyWord) {
    qz_alg_flow_msg_t msg{};
    msg.src_ip = qz_alg_net32(ip(192, 168, 0, 2)), msg.dst_ip = qz_alg_net32(ip(8, 8, 8, 8));
    msg.src_port = qz_alg_net16(5353), msg.dst_port = qz_alg_net16(53), msg.protocol = 17;
    msg.ctrl_id = 1, msg.ctrl_cookie = 2, msg.ctrl_tag = 0xabcdef01, msg.flag = 1;
    struct Case {
        int (*fn)(const qz_alg_flow_msg_t*, std::uint32_t*);
        std::uint16_t command;
    } cases[] = {{qz_alg_sip_invite_msg, 82}, {qz_alg_dns_msg, 83}};
    for (const Case& c : cases) {
        clear();
        fe_code_next(c.command, 6);
        std::uint32_t result = 0;
        EXPECT_EQ(c.fn(&msg, &result), 0);
        EXPECT_EQ(result, 6u);
        fail_next_ioctl();
        EXPECT_EQ(c.fn(&msg, &result), -1);
        EXPECT_EQ(result, 1u);
        ASSERT_EQ(fe().size(), 2u);
        FeReq r = fe()[0];
        EXPECT_EQ(r.command(), c.command);
        EXPECT_EQ(r.length(), 36);
        EXPECT_EQ(r.magic(), -1);
        std::vector<std::uint8_t> want(36, 0);
        std::uint8_t flow[] = {192, 168, 0, 2, 8, 8, 8, 8, 0x14, 0xe9, 0, 53, 17};
        std::memcpy(want.data(), flow, sizeof flow);
        for (auto [off, v] : {std::pair{16, 1u}, {20, 2u}, {24, 0xabcdef01u}, {28, 1u}})
            wire::store_h<std::uint32_t>(&want[off], v);
        EXPECT_EQ(r.data(), want);
    }
}

// ---- timers

std::vector<int> g_fired;
std::vector<std::uint32_t> g_fired_at;
int record_fire(qz_alg_timer_t* t, void* arg) {
    g_fired.push_back(static_cast<int>(reinterpret_cast<std::intptr_t>(arg)));
    g_fired_at.push_back(qz_sys_up_sec());
    (void)t;
    return 0;
}
void* tag(int n) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(n));
}

class Timers : public ::testing::Test {
   protected:
    void SetUp() override {
        drain();
        g_fired.clear();
        g_fired_at.clear();
    }
    void TearDown() override {
        for (qz_alg_timer_t* t : owned_) qz_alg_timer_free(t);
        EXPECT_EQ(qz_alg_timer_head(), nullptr);
    }
    qz_alg_timer_t* make(int n) {
        owned_.push_back(qz_alg_timer_create(record_fire, tag(n)));
        return owned_.back();
    }
    std::vector<qz_alg_timer_t*> owned_;
};

TEST_F(Timers, FireInExpiryOrderAndEqualExpiriesInArmingOrder) {
    const std::uint32_t after[] = {10, 5, 10, 5, 7, 0, 10};
    for (int i = 0; i < 7; ++i) qz_alg_timer_start(make(i), after[i]);
    advance(14);
    EXPECT_EQ(g_fired, (std::vector<int>{5, 1, 3, 4, 0, 2, 6}));
    for (std::size_t i = 1; i < g_fired_at.size(); ++i) EXPECT_LE(g_fired_at[i - 1], g_fired_at[i]);
}

TEST_F(Timers, FireAtTheFirstTickAfterExpiryAtMostThreeSecondsLate) {
    for (std::uint32_t s = 1; s <= 6; ++s) {
        g_fired_at.clear();
        std::uint32_t armed = qz_sys_up_sec();
        qz_alg_timer_start(make(static_cast<int>(s)), s);
        advance(s + 3);
        ASSERT_EQ(g_fired_at.size(), 1u) << s;
        EXPECT_GE(g_fired_at[0], armed + s);
        EXPECT_LE(g_fired_at[0], armed + s + 3);
    }
}

TEST_F(Timers, RestartMovesStopDisarmsAndUnarmedStopIsHarmless) {
    qz_alg_timer_t* a = make(1);
    qz_alg_timer_t* b = make(2);
    qz_alg_timer_t* c = make(3);
    EXPECT_FALSE(qz_alg_timer_armed(a));
    qz_alg_timer_stop(a);  // not armed: nothing happens
    EXPECT_FALSE(qz_alg_timer_armed(a));
    qz_alg_timer_start(a, 1);
    qz_alg_timer_start(b, 2);
    qz_alg_timer_start(c, 3);
    qz_alg_timer_start(a, 4);  // moves behind c
    qz_alg_timer_stop(b);      // from the middle
    EXPECT_FALSE(qz_alg_timer_armed(b));
    qz_alg_timer_stop(b);
    qz_alg_timer_free(nullptr);
    advance(8);
    EXPECT_EQ(g_fired, (std::vector<int>{3, 1}));
    // Only the head stands alone: stopping it leaves an empty list behind.
    qz_alg_timer_start(c, 1);
    EXPECT_EQ(qz_alg_timer_head(), c);
    EXPECT_TRUE(qz_alg_timer_armed(c));
    qz_alg_timer_stop(c);
    EXPECT_EQ(qz_alg_timer_head(), nullptr);
}

int g_rearms = 0;
int rearm_at_zero(qz_alg_timer_t* t, void*) {
    if (++g_rearms < 3) qz_alg_timer_start(t, 0);
    return 0;
}
int free_self(qz_alg_timer_t* t, void* arg) {
    qz_alg_timer_free(t);
    g_fired.push_back(static_cast<int>(reinterpret_cast<std::intptr_t>(arg)));
    return 0;
}
qz_alg_timer_t* g_victim = nullptr;
int free_other(qz_alg_timer_t*, void*) {
    qz_alg_timer_free(g_victim);
    g_victim = nullptr;
    return 0;
}

TEST_F(Timers, CallbacksMayRearmFreeOrFreeOthers) {
    g_rearms = 0;
    qz_alg_timer_t* r = qz_alg_timer_create(rearm_at_zero, nullptr);
    owned_.push_back(r);
    qz_alg_timer_start(r, 0);
    qz_alg_timer_run();  // the up-time is read again each turn: all three in one run
    EXPECT_EQ(g_rearms, 3);

    qz_alg_timer_start(qz_alg_timer_create(free_self, tag(8)), 1);
    qz_alg_timer_start(qz_alg_timer_create(free_self, tag(9)), 1);
    qz_alg_timer_t* killer = qz_alg_timer_create(free_other, nullptr);
    owned_.push_back(killer);
    g_victim = qz_alg_timer_create(record_fire, tag(10));
    qz_alg_timer_start(killer, 2);
    qz_alg_timer_start(g_victim, 2);  // same second, armed later: freed before it fires
    advance(6);
    EXPECT_EQ(g_fired, (std::vector<int>{8, 9}));
}

TEST_F(Timers, ResetReplacesCallbackAndArgument) {
    qz_alg_timer_t* t = make(1);
    qz_alg_timer_start(t, 100);
    qz_alg_timer_reset(t, free_self, tag(42), 2);
    owned_.clear();  // free_self frees it
    advance(6);
    EXPECT_EQ(g_fired, (std::vector<int>{42}));
    EXPECT_EQ(qz_alg_timer_create(nullptr, nullptr), nullptr);
}

// ---- tick, settings, start-up

TEST(AlgTick, PostsTheTimerSubTypeEveryThreeSeconds) {
    advance(1);
    clear();
    advance(9);
    int ticks = 0;
    for (const SentEvent& e : events()) {
        ASSERT_EQ(e.event, QZ_EVENT_UDPDATE_ALG_INFO);
        ASSERT_EQ(e.payload.size(), 16u);
        EXPECT_EQ(wire::load_h<std::uint32_t>(e.payload.data()), QZ_ALG_INFO_TIMER);
        EXPECT_EQ(std::vector<std::uint8_t>(e.payload.begin() + 4, e.payload.end()),
                  std::vector<std::uint8_t>(12, 0));
        ++ticks;
    }
    EXPECT_EQ(ticks, 3);
}

TEST(AlgSettings, MaxDurationsStartAtTheirDefaultsAndOnlyTypesOneToSixExist) {
    const std::uint32_t defaults[] = {0, 60, 60, 720, 60, 0, 0, 0};
    for (std::uint16_t t = 0; t < 8; ++t) EXPECT_EQ(qz_alg_max_duration(t), defaults[t]) << t;
    qz_alg_set_max_duration(QZ_ALG_TYPE_SIP, 30);
    qz_alg_set_max_duration(7, 30);
    qz_alg_set_max_duration(0, 30);
    EXPECT_EQ(qz_alg_max_duration(QZ_ALG_TYPE_SIP), 30u);
    EXPECT_EQ(qz_alg_max_duration(7), 0u);
    EXPECT_EQ(qz_alg_max_duration(0), 0u);
    qz_alg_set_max_duration(QZ_ALG_TYPE_SIP, 720);
}

TEST(AlgInit, DeviceOpenFailureFailsStartUp) {
    clear();
    ap().fault("qz_open", -1);
    EXPECT_EQ(qz_alg_init(), -1);
    EXPECT_TRUE(logged_err("open device /dev/fe failed"));
    clear();
    // The working descriptor of the first start-up is kept.
    std::uint32_t result = 0;
    qz_alg_gate_del_req_t req{};
    qz_alg_delete_gate(&req, &result);
    EXPECT_EQ(fe().size(), 1u);
}

}  // namespace
}  // namespace algtest
