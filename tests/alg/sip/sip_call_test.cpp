// SIP calls driven through real packet records: the FE requests of each call
// flow (gates, admission), the call state after every message, and the
// timeouts on the driven clock.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "alg/sip/qz_sip_call.h"
#include "platform/backend.h"
#include "tests/alg/alg_test_support.h"
#include "tests/support/frames.h"

namespace algtest {
namespace {

constexpr std::uint32_t kCaller = ip(192, 168, 1, 10);
constexpr std::uint32_t kCallee = ip(10, 0, 0, 1);
constexpr std::uint32_t kId = 0x31;
constexpr std::uint32_t kCookie = 0x5000;
constexpr int kGone = -1;
constexpr std::uint16_t kCacStatus = 91;  // FE boolean: call admission control on

// Call admission control on or off in the FE, as apsim's "platform cac" sets it.
void cac(bool on) {
    ap().set_fe_value(kCacStatus, on ? 1 : 0);
}

using testframes::sdp;
const std::string kOffer = sdp("192.168.1.10", 40000);
const std::string kAnswer = sdp("10.0.0.1", 50000);

// A SIP message of the call; `back` ones travel from the callee to the caller.
Pkt sip(const std::string& start, const std::string& cseq, const std::string& branch,
        const std::string& body = "", bool back = false, const std::string& callid = "c1@a") {
    Pkt p{.alg_type = QZ_ALG_TYPE_SIP,
          .protocol = 17,
          .src_port = 5060,
          .dst_port = 5060,
          .ctrl_id = kId,
          .ctrl_cookie = kCookie,
          .payload = testframes::sip_text(start, branch, cseq, body, callid)};
    if (back) {
        std::swap(p.src_ip, p.dst_ip);
        std::swap(p.src_mac, p.dst_mac);
    }
    return p;
}
Pkt invite(const std::string& branch = "b1", const std::string& body = kOffer,
           const std::string& cseq = "1 INVITE") {
    return sip("INVITE sip:bob@b.com SIP/2.0", cseq, branch, body);
}
Pkt resp(const std::string& status, const std::string& body = "",
         const std::string& cseq = "1 INVITE", const std::string& branch = "b1") {
    return sip("SIP/2.0 " + status, cseq, branch, body, true);
}
Pkt req(const std::string& method, const std::string& cseq, const std::string& branch) {
    return sip(method + " sip:bob@b.com SIP/2.0", cseq, branch);
}

// The FE requests since `from`, in words: "open IP:PORT", "del IP:PORT", "cac FLAG".
std::vector<std::string> fe_since(std::size_t from) {
    std::vector<std::string> out;
    const std::vector<FeReq> all = fe();
    for (std::size_t i = from; i < all.size(); ++i) {
        const FeReq& r = all[i];
        auto d = r.data();
        std::ostringstream os;
        Flow f = flow_of(r);
        auto dotted = [&](std::uint32_t a) {
            os << (a >> 24) << '.' << ((a >> 16) & 255) << '.' << ((a >> 8) & 255) << '.'
               << (a & 255) << ':' << f.dst_port;
        };
        if (r.command() == QZ_ALG_FE_CMD_OPEN_GATE) os << "open ", dotted(f.dst_ip);
        if (r.command() == QZ_ALG_FE_CMD_DELETE_GATE) os << "del ", dotted(f.dst_ip);
        if (r.command() == QZ_ALG_FE_CMD_SIP_INVITE)
            os << "cac " << wire::load_h<std::uint32_t>(&d[28]);
        out.push_back(os.str());
    }
    return out;
}

// The FE's SIP control session ended: calls go on.
Pkt fe_end() {
    Pkt p = invite();
    p.pkt_type = QZ_ALG_PKT_TIMEOUT;
    return p;
}

using Ops = std::vector<std::string>;
const Ops kOpenOffer = {"open 192.168.1.10:40000", "open 192.168.1.10:40001"};
const Ops kOpenAnswer = {"open 10.0.0.1:50000", "open 10.0.0.1:50001"};
const Ops kOpenBoth = {"open 192.168.1.10:40000", "open 192.168.1.10:40001", "open 10.0.0.1:50000",
                       "open 10.0.0.1:50001"};
Ops operator+(Ops a, const Ops& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
const Ops kDelBoth = {"del 192.168.1.10:40000", "del 192.168.1.10:40001", "del 10.0.0.1:50000",
                      "del 10.0.0.1:50001"};

int state(const std::string& callid = "c1@a") {
    Pkt p;
    std::lock_guard lock(qz_sip_call_mutex());
    const qz_sip_call_t* c = qz_sip_call_lookup(callid, p.src_mac.data(), p.dst_mac.data());
    return c ? static_cast<int>(c->state) : kGone;
}

class SipCall : public ::testing::Test {
   protected:
    void SetUp() override {
        reset();
        debug_all(true);
    }
    void TearDown() override {
        debug_all(false);
        reset();
    }
    // Past every transaction and the longest call: the tables empty themselves.
    static void reset() {
        plat::clock_set_ms(plat::clock_ms() + 13ull * 3600 * 1000);
        qz_alg_timer_run();
        clear();
        cac(false);
        EXPECT_EQ(qz_sip_call_count(), 0u);
        EXPECT_EQ(qz_sip_trans_count(), 0u);
    }
};

struct Step {
    Pkt pkt;
    int state;  // of the call afterwards; kGone when there is none
    Ops fe;     // what the FE was asked meanwhile
};
struct FlowCase {
    const char* name;
    bool cac;  // admission control on
    std::vector<Step> steps;
};

std::vector<Step> operator+(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// clang-format off
std::vector<FlowCase> flows() {
    const Pkt ack = req("ACK", "1 ACK", "b2");
    const Pkt reinvite = invite("b4", sdp("192.168.1.10", 42000), "2 INVITE");
    const Ops del_offer = {"del 192.168.1.10:40000", "del 192.168.1.10:40001"};
    const std::vector<Step> answered = {{invite(), 0, {}}, {resp("200 OK", kAnswer), 2, kOpenBoth}, {ack, 3, {}}};
    const std::vector<Step> bye = {{req("BYE", "2 BYE", "b3"), 5, {}}, {resp("200 OK", "", "2 BYE", "b3"), kGone, kDelBoth}};
    return {
        {"basic_call_with_ringing", true, std::vector<Step>{
            {invite(), 0, {"cac 1"}},
            {resp("100 Trying", kAnswer), 1, kOpenOffer},  // SDP counts from 180 on
            {resp("180 Ringing"), 1, {}},
            {resp("200 OK", kAnswer), 2, kOpenAnswer},
            {ack, 3, {}}} + bye},
        {"answered_at_once_callee_hangs_up", false, answered + std::vector<Step>{
            {resp("200 OK", kAnswer), 3, {}},  // retransmitted 200: no transaction
            {sip("BYE sip:a@a SIP/2.0", "1 BYE", "b9", "", true), 5, {}},
            {sip("SIP/2.0 200 OK", "1 BYE", "b9"), kGone, kDelBoth}}},
        {"early_media_183_then_200", false, std::vector<Step>{
            {invite(), 0, {}},
            {resp("183 Session Progress", kAnswer), 1, kOpenBoth},
            {resp("200 OK", kAnswer), 2, {"del 10.0.0.1:50000", "del 10.0.0.1:50001",
                "del 192.168.1.10:40000", "open 192.168.1.10:40000", "del 192.168.1.10:40001",
                "open 192.168.1.10:40001", "open 10.0.0.1:50000", "open 10.0.0.1:50001"}},
            {ack, 3, {}}} + bye},
        {"busy_486_and_ack", true, {
            {invite(), 0, {"cac 1"}},
            {resp("100 Trying"), 1, kOpenOffer},
            {resp("486 Busy Here"), 4, {}},
            {resp("486 Busy Here"), 4, {}},  // retransmission
            {req("ACK", "1 ACK", "b1"), kGone, del_offer}}},
        {"cancel_before_answer", false, {
            {invite(), 0, {}},
            {resp("180 Ringing"), 1, kOpenOffer},
            {req("CANCEL", "1 CANCEL", "b1"), 1, {}},
            {resp("200 OK", "", "1 CANCEL"), 1, {}},
            {resp("487 Request Terminated"), 4, {}},
            {req("ACK", "1 ACK", "b1"), kGone, del_offer}}},
        {"reinvite_moves_the_media", true, std::vector<Step>{{invite(), 0, {"cac 1"}}} + std::vector<Step>{
            answered[1], answered[2],
            {reinvite, 3, {"cac 0"}},
            {reinvite, 3, {"cac 0"}},  // retransmission
            {resp("200 OK", sdp("10.0.0.1", 52000), "2 INVITE", "b4"), 3, kDelBoth + Ops{
                "open 192.168.1.10:42000", "open 192.168.1.10:42001", "open 10.0.0.1:52000", "open 10.0.0.1:52001"}},
            {req("ACK", "2 ACK", "b5"), 3, {}}}},
        {"admission_refused", true, {{invite(), kGone, {"cac 1"}}, {resp("180 Ringing"), kGone, {}}}},
        {"what_never_reaches_a_call", true, {
            {resp("200 OK", kAnswer), kGone, {}},
            {req("REGISTER", "1 REGISTER", "b7"), kGone, {}},
            {sip("INVITE sip:bob@b.com SIP/2.0", "1 INVITE", "b1", "", false, ""), kGone, {"cac 0"}},
            {sip("  INVITE x", "", "", ""), kGone, {"cac 0"}},
            {invite(), 0, {"cac 1"}},
            {invite(), 0, {"cac 0"}},  // retransmission
            {resp("200 OK", kAnswer, "1 INVITE", "b8"), 0, {}},
            {fe_end(), 0, {}}}},
    };
}
// clang-format on

TEST_F(SipCall, Flows) {
    for (const FlowCase& f : flows()) {
        SCOPED_TRACE(f.name);
        reset();
        cac(f.cac);
        if (std::string_view(f.name) == "admission_refused")
            fe_code_next(QZ_ALG_FE_CMD_SIP_INVITE, 1);
        for (std::size_t i = 0; i < f.steps.size(); ++i) {
            SCOPED_TRACE(i);
            std::size_t mark = fe().size();
            dispatch(f.steps[i].pkt);
            EXPECT_EQ(fe_since(mark), f.steps[i].fe);
            EXPECT_EQ(state(), f.steps[i].state);
        }
    }
}

// A call brought to a state, then left alone: what the clock does to it.
struct TimeoutCase {
    const char* name;
    std::vector<Pkt> setup;
    std::uint32_t seconds;   // until the timeout
    int state;               // afterwards
    Ops fe;                  // at the timeout
    const char* state_text;  // the timeout line, without "sip call object(callid: c1@a, "
    const char* event_text;
};

TEST_F(SipCall, Timeouts) {
    const std::vector<Pkt> est = {invite(), resp("200 OK", kAnswer), req("ACK", "1 ACK", "b2")};
    auto with = [&](std::vector<Pkt> a) {
        a.insert(a.begin(), est.begin(), est.end());
        return a;
    };
    const Pkt reinvite = invite("b4", sdp("192.168.1.10", 42000), "2 INVITE");
    const char* const t_invite = "receive timeout event(transaction type: 0, timeout type: 0).";
    // clang-format off
    const TimeoutCase cases[] = {
        {"invite_unanswered", {invite()}, 182, kGone, {}, "state: 0) ", t_invite},
        {"ringing_unanswered", {invite(), resp("180 Ringing")}, 182, kGone,
         {"del 192.168.1.10:40000", "del 192.168.1.10:40001"}, "state: 1) ", t_invite},
        {"failure_never_acked", {invite(), resp("486 Busy Here")}, 33, kGone, {}, "state: 4) ",
         "receive timeout event(transaction type: 0, timeout type: 2)."},
        {"bye_unanswered", with({req("BYE", "2 BYE", "b3")}), 33, kGone, kDelBoth, "state: 5) ",
         "receive timeout event(transaction type: 3, timeout type: 1)."},
        {"reinvite_unanswered", with({reinvite}), 182, 3, {}, "state: 3) ", t_invite},
        {"reinvite_ringing_unanswered", with({reinvite, resp("180 Ringing", "", "2 INVITE", "b4")}), 182, 3,
         {"del 192.168.1.10:42000", "del 192.168.1.10:42001"}, "state: 3) ", t_invite},
        {"max_duration", est, 720 * 60, kGone, kDelBoth, nullptr, nullptr},
    };
    // clang-format on
    for (const TimeoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        for (const Pkt& p : c.setup) dispatch(p);
        int before = state();
        advance(c.seconds - 1);
        std::size_t mark = fe().size();
        EXPECT_EQ(state(), before);
        advance(4);
        EXPECT_EQ(state(), c.state);
        EXPECT_EQ(fe_since(mark), c.fe);
        if (c.state_text)
            EXPECT_TRUE(logged("fed_alg_sip_fsm", std::string("sip call object(callid: c1@a, ") +
                                                      c.state_text + c.event_text));
        else
            EXPECT_TRUE(logged("fed_alg_sip_fsm", "sip max duration timeout."));
    }
}

TEST_F(SipCall, RequestsAreExactAndTracesSayWhatHappened) {
    cac(true);
    dispatch(invite());
    ASSERT_EQ(fe().size(), 1u);
    // Laid out as a gate request: the flow, then ctrl_id, ctrl_cookie and ctrl_tag.
    auto msg = open_gate_bytes({kCaller, kCallee, 5060, 5060, 17}, kId, kCookie, 0x55);
    wire::store_h<std::uint32_t>(&msg[qz_alg_flow_msg_off::flag], 1);  // the reply word follows
    EXPECT_EQ(fe()[0].data(), msg);
    fe_code_next(QZ_ALG_FE_CMD_OPEN_GATE, 4);  // the FE refuses the first: it stays closed
    dispatch(resp("200 OK", kAnswer));
    expect_open_gate(fe()[1], {0, kCaller, 0, 40000, 17}, QZ_ALG_TYPE_SIP, kId, kCookie);
    const std::uint32_t cookie = last_cookie();  // of 10.0.0.1:50001
    dispatch(req("ACK", "1 ACK", "b2"));
    dispatch(req("BYE", "2 BYE", "b3"));
    dispatch(resp("200 OK", "", "2 BYE", "b3"));
    EXPECT_EQ(fe_since(5),
              (Ops{"del 192.168.1.10:40001", "del 10.0.0.1:50000", "del 10.0.0.1:50001"}));
    expect_delete_gate(fe()[7], {0, kCallee, 0, 50001, 17}, cookie);
    for (const std::string& line : std::vector<std::string>{
             "sip call object(callid = c1@a) change state from NULL to INIT.",
             "sip call object(callid = c1@a) change state from INIT to ANSWER.",
             "sip call object(callid = c1@a) change state from ANSWER to ESTABLISH.",
             "sip call object(callid = c1@a) change state to DISCONNECT.",
             "open gate ctrl_id(49), ctrl_cookie(20480), dst_ip(192.168.1.10), dst_port(40000), "
             "protocol(17),return code=4.",
             "delete gate cookie(" + std::to_string(cookie) +
                 "), dst_ip(10.0.0.1), dst_port(50001), protocol(17),return code=0."})
        EXPECT_TRUE(log().find(line) != std::string::npos) << line;
    EXPECT_TRUE(
        logged("fed_alg_sip_pkt",
               "src_ip=192.168.1.10, src_port=5060,dst_ip=10.0.0.1,dst_port=5060,portocol=17,"
               "ctr_id=49,ctr_cookie=20480, pkt_length=" +
                   std::to_string(invite().payload.size())));

    cac(false);  // admission control off: nothing asked, everything admitted
    dispatch(invite("b6"));
    EXPECT_EQ(state(), 0);
    EXPECT_TRUE(
        logged("fed_alg_sip_fsm", "sip cac status is disabled, don't call qz_alg_sip_invite_msg."));
}

TEST_F(SipCall, CallsSharingABucketOrACallIdAreApart) {
    // "ab" and "ba": the same byte sum and the same XOR.
    dispatch(sip("INVITE sip:b SIP/2.0", "1 INVITE", "b1", kOffer, false, "ab"));
    dispatch(sip("INVITE sip:b SIP/2.0", "1 INVITE", "b1", kOffer, false, "ba"));
    Pkt other = sip("INVITE sip:b SIP/2.0", "1 INVITE", "b2", kOffer, false, "ab");
    other.src_mac[5] = 0x99;  // another phone, the same Call-ID: a call of its own
    dispatch(other);
    EXPECT_EQ(qz_sip_call_count(), 3u);
    dispatch(sip("SIP/2.0 200 OK", "1 INVITE", "b1", kAnswer, true, "ba"));
    EXPECT_EQ(state("ba"), 2);
    EXPECT_EQ(state("ab"), 0);
}

std::size_t count(const std::string& text) {
    std::string l = log();
    std::size_t n = 0;
    for (std::size_t at = l.find(text); at != std::string::npos; at = l.find(text, at + 1)) ++n;
    return n;
}

TEST_F(SipCall, StormsOfNewCallsAndRequestsAreBounded) {
    debug_all(false);
    cac(true);
    auto storm = [](const char* start, const char* cseq, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            dispatch(sip(start, cseq, "b1", kOffer, false, "storm" + std::to_string(i)));
    };
    storm("INVITE sip:b SIP/2.0", "1 INVITE", QZ_SIP_CALL_MAX + 5);
    EXPECT_EQ(qz_sip_call_count(), QZ_SIP_CALL_MAX);
    EXPECT_EQ(fe_since(fe().size() - 1), Ops{"cac 0"});
    storm("BYE sip:b SIP/2.0", "2 BYE", QZ_SIP_TRANS_MAX);
    EXPECT_EQ(qz_sip_trans_count(), QZ_SIP_TRANS_MAX);
    EXPECT_EQ(count("SIP call table full (1024), new calls refused"), 1u);
    EXPECT_EQ(count("SIP transaction table full (4096), new requests dropped"), 1u);
    advance(186);  // the unanswered INVITEs take their calls along
    EXPECT_EQ(qz_sip_call_count(), 0u);
    EXPECT_EQ(qz_sip_trans_count(), 0u);
}

}  // namespace
}  // namespace algtest
