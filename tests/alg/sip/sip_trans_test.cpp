// SIP transactions: what reaches the call layer, the timers of each state, the
// MAC-pair match, and a call's transactions packed, taken and restored.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "alg/sip/qz_sip_trans.h"
#include "tests/alg/alg_test_support.h"

namespace algtest {
namespace {

using enum qz_sip_parser_event;
using enum qz_sip_method;

constexpr std::uint8_t kZ[6] = {};
constexpr std::uint8_t kA[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
constexpr std::uint8_t kB[6] = {0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb};
constexpr std::uint8_t kC[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x0c};

// One message: event, CSeq method, branch, and whether it travels back (B to A).
struct Msg {
    qz_sip_parser_event ev;
    qz_sip_method method;
    std::string branch = "z9hG4bK1";
    bool back = false;
    std::string callid = "call-1";
};
Msg req(qz_sip_parser_event ev, qz_sip_method m, std::string branch = "z9hG4bK1") {
    return {ev, m, branch};
}
Msg rsp(qz_sip_parser_event ev, qz_sip_method m, std::string branch = "z9hG4bK1") {
    return {ev, m, branch, true};
}

qz_sip_parse_data_t record(const Msg& m) {
    qz_sip_parse_data_t d{};
    d.callid = m.callid;
    d.branch = m.branch;
    d.cseq_method = m.method;
    std::memcpy(d.src_mac, m.back ? kB : kA, 6);
    std::memcpy(d.dst_mac, m.back ? kA : kB, 6);
    return d;
}
int step(const Msg& m) {
    qz_sip_parse_data_t d = record(m);
    return qz_sip_trans_process(m.ev, &d);
}
// The transaction a message would find, and its state (0: none).
const qz_sip_trans_t* find(const Msg& m) {
    qz_sip_parse_data_t d = record(m);
    return qz_sip_trans_lookup(&d);
}
int state(const Msg& m) {
    return find(m) ? find(m)->trans_state : 0;
}

class SipTrans : public Drained {
   protected:
    void TearDown() override {
        Drained::TearDown();
        EXPECT_EQ(qz_sip_trans_count(), 0u);
    }
};

// Each step: the message, the result, then the state of the transaction that
// `key` finds.
struct Step {
    Msg m;
    int rc;
    int state;
};
struct FilterCase {
    const char* name;
    Msg key;
    std::vector<Step> steps;
};

const Msg kInvite = req(QZ_SIP_EV_INVITE, QZ_SIP_METHOD_INVITE);
const Msg kBye = req(QZ_SIP_EV_BYE, QZ_SIP_METHOD_BYE, "z9hG4bKbye");
const Msg kUpdate = req(QZ_SIP_EV_OTHER, QZ_SIP_METHOD_UPDATE, "z9hG4bKupd");

// clang-format off
std::vector<FilterCase> filter_cases() {
    const Msg r100 = rsp(QZ_SIP_EV_1XX, QZ_SIP_METHOD_INVITE), ack = req(QZ_SIP_EV_ACK, QZ_SIP_METHOD_ACK);
    const Msg r486 = rsp(QZ_SIP_EV_3XX_6XX, QZ_SIP_METHOD_INVITE), r200 = rsp(QZ_SIP_EV_2XX, QZ_SIP_METHOD_INVITE);
    const Msg ack2 = req(QZ_SIP_EV_ACK, QZ_SIP_METHOD_ACK, "z9hG4bKack");
    const Msg bye100 = rsp(QZ_SIP_EV_1XX, QZ_SIP_METHOD_BYE, "z9hG4bKbye");
    const Msg bye200 = rsp(QZ_SIP_EV_2XX, QZ_SIP_METHOD_BYE, "z9hG4bKbye");
    Msg no_callid = kInvite;
    no_callid.callid = "";
    return {
        {"invite_failure_acked", kInvite,
         {{kInvite, 0, 1}, {kInvite, 1, 1}, {r100, 0, 2}, {kInvite, 1, 2}, {r100, 0, 2}, {r486, 0, 3},
          {kInvite, 1, 3}, {r486, 1, 3}, {ack, 0, 4}, {ack, 1, 4}, {r486, 1, 4}, {kInvite, 2, 4}}},
        {"invite_answered_then_gone", kInvite, {{kInvite, 0, 1}, {r200, 0, 0}, {r200, 2, 0}, {kInvite, 0, 1}}},
        {"ack_of_2xx_is_a_new_transaction", ack2, {{kInvite, 0, 0}, {ack2, 0, 1}, {ack2, 1, 1}}},
        {"ack_before_failure_finds_nothing", kInvite, {{kInvite, 0, 1}, {ack, 0, 1}}},
        {"bye", kBye,
         {{kBye, 0, 1}, {kBye, 1, 1}, {bye100, 0, 2}, {kBye, 1, 2}, {bye200, 0, 3}, {bye200, 1, 3},
          {bye100, 1, 3}, {kBye, 1, 3}}},
        {"response_of_another_method_or_branch", kBye,
         {{kBye, 0, 1}, {rsp(QZ_SIP_EV_2XX, QZ_SIP_METHOD_INVITE, "z9hG4bKbye"), 2, 1},
          {rsp(QZ_SIP_EV_2XX, QZ_SIP_METHOD_BYE, "z9hG4bKother"), 2, 1}}},
        {"stray_responses_and_other_methods", kUpdate, {{r200, 2, 0}, {r486, 2, 0}, {r100, 2, 0}, {kUpdate, 2, 0}}},
        {"invalid_and_timeout", kInvite,
         {{req(QZ_SIP_EV_INVITE, QZ_SIP_METHOD_INVITE, ""), 3, 0}, {no_callid, 3, 0},
          {req(QZ_SIP_EV_TIMEOUT, QZ_SIP_METHOD_INVITE, ""), 0, 0}}},
    };
}
// clang-format on

TEST_F(SipTrans, FilterTable) {
    for (const FilterCase& c : filter_cases()) {
        SCOPED_TRACE(c.name);
        drain();
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(step(c.steps[i].m), c.steps[i].rc);
            EXPECT_EQ(state(c.key), c.steps[i].state);
        }
    }
}

// The timer each state runs: its length, and the type it reports on expiry.
struct TimerCase {
    const char* name;
    std::vector<Msg> msgs;
    Msg key;
    std::uint32_t seconds;
    int type;
};

TEST_F(SipTrans, EachStateRunsItsTimer) {
    const Msg r180 = rsp(QZ_SIP_EV_1XX, QZ_SIP_METHOD_INVITE);
    const Msg r486 = rsp(QZ_SIP_EV_3XX_6XX, QZ_SIP_METHOD_INVITE);
    const Msg ack = req(QZ_SIP_EV_ACK, QZ_SIP_METHOD_ACK);
    const Msg bye200 = rsp(QZ_SIP_EV_2XX, QZ_SIP_METHOD_BYE, "z9hG4bKbye");
    // clang-format off
    const TimerCase cases[] = {
        {"calling", {kInvite}, kInvite, 182, 0},
        {"proceeding", {kInvite, r180}, kInvite, 182, 0},
        {"completed", {kInvite, r486}, kInvite, 33, 2},
        {"confirmed", {kInvite, r486, ack}, kInvite, 6, 3},
        {"trying", {kBye}, kBye, 33, 1},
        {"non_invite_proceeding", {kBye, rsp(QZ_SIP_EV_1XX, QZ_SIP_METHOD_BYE, "z9hG4bKbye")}, kBye, 33, 1},
        {"non_invite_completed", {kBye, bye200}, kBye, 6, 4},
    };
    // clang-format on
    for (const TimerCase& c : cases) {
        SCOPED_TRACE(c.name);
        drain();
        for (std::size_t i = 0; i < c.msgs.size(); ++i) {
            if (i + 1 == c.msgs.size()) advance(10);  // a restart counts from the last message
            step(c.msgs[i]);
        }
        ASSERT_NE(find(c.key), nullptr);
        EXPECT_EQ(find(c.key)->timer->expire, qz_sys_up_sec() + c.seconds);
        advance(c.seconds - 1);
        ASSERT_NE(find(c.key), nullptr);
        advance(4);
        EXPECT_EQ(find(c.key), nullptr);
        EXPECT_TRUE(logged("fed_alg_sip_fsm",
                           "transaction(branch=" + c.key.branch + ") timer timeout,timer type=" +
                               std::to_string(c.type) + ",go to delete transaction"));
    }
}

struct MacCase {
    const std::uint8_t *p_src, *p_dst, *o_src, *o_dst;
    int match;
};

TEST(SipMacPair, MatchTable) {
    // clang-format off
    const MacCase cases[] = {
        {kA, kB, kA, kB, 1}, {kB, kA, kA, kB, 1}, {kA, kC, kA, kB, 0}, {kC, kB, kA, kB, 0}, {kZ, kB, kA, kB, 1},
        {kZ, kA, kA, kB, 1}, {kZ, kC, kA, kB, 0}, {kZ, kZ, kZ, kZ, 0}, {kA, kZ, kC, kA, 1}, {kA, kZ, kB, kC, 0},
        {kA, kB, kA, kZ, 1}, {kC, kA, kA, kZ, 1}, {kB, kC, kA, kZ, 0}, {kA, kB, kZ, kZ, 1}, {kA, kZ, kZ, kZ, 0},
    };
    // clang-format on
    for (const MacCase& c : cases)
        EXPECT_EQ(qz_sip_mac_pair_match(c.p_src, c.p_dst, c.o_src, c.o_dst), c.match) << &c - cases;
}

std::vector<std::uint8_t> pack(std::size_t size, int* rc, const std::uint8_t* src = kA,
                               const std::uint8_t* dst = kB) {
    std::vector<std::uint8_t> buf(size, 0xee);
    *rc = qz_sip_trans_pack("call-1", src, dst, buf);
    if (*rc >= 0) buf.resize(static_cast<std::size_t>(*rc));
    return buf;
}

TEST_F(SipTrans, PackTakeRestoreRoundTrip) {
    int rc = 0;
    EXPECT_EQ(pack(1, &rc), std::vector<std::uint8_t>(1, 0xee));
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(pack(2, &rc), (std::vector<std::uint8_t>{0, 0}));

    step(kInvite);
    step(rsp(QZ_SIP_EV_3XX_6XX, QZ_SIP_METHOD_INVITE));
    step(kBye);
    Msg other = kBye;
    other.callid = "call-2";
    step(other);
    // Newest first: the BYE (3, non-INVITE, trying), then the INVITE (0, INVITE, completed).
    // clang-format off
    const std::vector<std::uint8_t> want = {0, 2,
        3, 2, 1, 0, 11, 'z', '9', 'h', 'G', '4', 'b', 'K', 'b', 'y', 'e', 0,
        0, 1, 3, 0, 9, 'z', '9', 'h', 'G', '4', 'b', 'K', '1', 0};
    // clang-format on
    EXPECT_EQ(pack(100, &rc), want);
    for (std::size_t n = 0; n < want.size(); ++n) {
        pack(n, &rc);
        EXPECT_EQ(rc, -1) << n;
    }

    advance(20);
    qz_sip_trans_t* taken = qz_sip_trans_take_call("call-1", kB, kA);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(qz_sip_trans_count(), 1u);
    EXPECT_EQ(pack(100, &rc), (std::vector<std::uint8_t>{0, 0}));

    qz_sip_trans_restore(taken, kC);
    EXPECT_EQ(qz_sip_trans_count(), 3u);
    EXPECT_EQ(pack(100, &rc, kC, kA), want);  // the other side may be anyone now
    qz_sip_parse_data_t bye = record(kBye);
    std::memcpy(bye.src_mac, kC, 6);
    const qz_sip_trans_t* t = qz_sip_trans_lookup(&bye);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::memcmp(t->dst_mac, kZ, 6), 0);
    EXPECT_EQ(t->timer->expire, qz_sys_up_sec() + 33);

    qz_sip_trans_delete_call("call-1", kC, kB);
    EXPECT_EQ(qz_sip_trans_count(), 1u);
}

}  // namespace
}  // namespace algtest
