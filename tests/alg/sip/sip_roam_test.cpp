// Roaming records: the exact bytes of update and delete records, the records a
// neighbour's decoder refuses, and round trips.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "alg/sip/qz_sip_roam.h"
#include "alg/sip/qz_sip_roam_rec.h"
#include "fed/qz_fed_event.h"
#include "tests/alg/alg_test_support.h"
#include "tests/support/frames.h"

namespace algtest {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Offsets in update_rec().
constexpr std::size_t kCallidEnd = 12 + 2 + 5, kFromAt = kCallidEnd + 5;
constexpr std::size_t kGatesAt = kFromAt + 6 + 6, kTransAt = kGatesAt + 14;
constexpr std::size_t kGateOpened = kGatesAt + 2 + 6;

void add(Bytes& b, std::initializer_list<int> v) {
    for (int x : v) b.push_back(static_cast<std::uint8_t>(x));
}
void add_str(Bytes& b, const std::string& s) {
    std::size_t n = s.size() + 1;
    add(b, {int(n >> 8), int(n & 0xff)});
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}

// An update record written out by hand: ANSWER, seq 0x0102, flag 2, one open
// gate in list A (10.1.2.3:0x1f40, video), one INVITE transaction "z9".
Bytes update_rec() {
    Bytes b;
    add(b, {2, 0, 0, 0, 0, 1, 2, 0, 0, 0, 0, 9});
    add_str(b, "id@x");
    add(b, {2, 0x01, 0x02, 0x00, 0x02});
    add_str(b, "<a>");
    add_str(b, "<b>");
    add(b, {0, 1, 10, 1, 2, 3, 0x1f, 0x40, 1, 1, 0, 0, 0, 0});
    add(b, {0, 1, 0, 1, 3});
    add_str(b, "z9");
    return b;
}

qz_sip_call_t call_of_rec() {
    qz_sip_call_t c{};
    c.src_mac[0] = 2, c.src_mac[5] = 1, c.dst_mac[0] = 2, c.dst_mac[5] = 9;
    c.callid = "id@x", c.from = "<a>", c.to = "<b>";
    c.state = sip_call_state::ANSWER;
    c.seq_num = 0x0102, c.state_flag = 2;
    c.gates_a = {{77, qz_alg_net32(ip(10, 1, 2, 3)), 0x1f40, QZ_SIP_GATE_OPEN, 1}};
    return c;
}

// The record of a call, its transactions from the table; empty when it does not fit.
Bytes encoded(const qz_sip_call_t& c, bool del = false) {
    std::array<std::uint8_t, QZ_SIP_ROAM_BUF_SIZE> buf{};
    int n = del ? qz_sip_roam_encode_delete(c, buf) : qz_sip_roam_encode_update(c, buf);
    return Bytes(buf.begin(), buf.begin() + std::max(n, 0));
}

TEST(SipRoamRecord, EncodesEveryFieldInNetworkOrder) {
    Bytes want = update_rec();
    want.resize(kTransAt);  // no transaction in the table here
    add(want, {0, 0});
    EXPECT_EQ(encoded(call_of_rec()), want);

    Bytes del(want.begin(), want.begin() + kFromAt);
    del[kCallidEnd] = QZ_SIP_ROAM_STATE_DELETE;
    del.resize(del.size() + 14, 0);
    EXPECT_EQ(encoded(call_of_rec(), true), del);
    EXPECT_EQ(del.size(), 33 + std::string("id@x").size() + 1);
}

TEST(SipRoamRecord, DecodesAndRefuses) {
    struct Row {
        const char* name;
        std::function<void(Bytes&)> edit;
        bool ok;
    } rows[] = {
        {"as written", [](Bytes&) {}, true},
        {"trailing bytes", [](Bytes& b) { b.push_back(7); }, true},
        {"14 bytes", [](Bytes& b) { b.resize(14); }, false},
        {"over 1024 bytes", [](Bytes& b) { b.resize(1025); }, false},
        {"Call-ID length 0", [](Bytes& b) { b[13] = 0; }, false},
        {"Call-ID without NUL", [](Bytes& b) { b[kCallidEnd - 1] = 'x'; }, false},
        {"Call-ID past the end", [](Bytes& b) { b[12] = 0x04; }, false},
        {"6 bytes after the Call-ID", [](Bytes& b) { b.resize(kCallidEnd + 6); }, false},
        {"state 7", [](Bytes& b) { b[kCallidEnd] = 7; }, false},
        {"From length 0", [](Bytes& b) { b[kFromAt + 1] = 0; }, false},
        {"To without NUL", [](Bytes& b) { b[kGatesAt - 1] = 'x'; }, false},
        {"gate count past the end", [](Bytes& b) { b[kGatesAt + 1] = 200; }, false},
        {"more transactions than sent", [](Bytes& b) { b[kTransAt + 1] = 2; }, false},
        {"transaction cut short", [](Bytes& b) { b.resize(b.size() - 2); }, false},
        {"branch length 0", [](Bytes& b) { b[kTransAt + 6] = 0; }, false},
        {"transaction state 5", [](Bytes& b) { b[kTransAt + 4] = 5; }, false},
        {"transaction type 3", [](Bytes& b) { b[kTransAt + 3] = 3; }, false},
        {"delete record", [](Bytes& b) { b[kCallidEnd] = 6, b.resize(kCallidEnd + 5 + 14); }, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Bytes b = update_rec();
        r.edit(b);
        qz_sip_call_t* o = qz_sip_roam_decode(b);
        EXPECT_EQ(o != nullptr, r.ok);
        qz_sip_roam_free(o);
    }
}

TEST(SipRoamRecord, DecodedObjectKeepsTheCall) {
    qz_sip_call_t* o = qz_sip_roam_decode(update_rec());
    ASSERT_NE(o, nullptr);
    ASSERT_TRUE(o->trans && !o->trans->next);
    EXPECT_EQ(o->trans->branch + o->trans->callid, "z9id@x");
    EXPECT_EQ(o->trans->trans_state, 3);

    // Re-encoded, it is the record again, its gate now roamed.
    std::array<std::uint8_t, QZ_SIP_ROAM_BUF_SIZE> buf{};
    int n = qz_sip_roam_encode_call(*o, buf);
    qz_sip_roam_free(o);
    Bytes want_rec = update_rec();
    want_rec.resize(kTransAt);
    want_rec[kGateOpened] = QZ_SIP_GATE_ROAMED;
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + std::max(n, 0)), want_rec);
}

TEST(SipRoamRecord, NeverLongerThanTheBuffer) {
    qz_sip_call_t c = call_of_rec();
    c.from.clear();
    c.from.assign(QZ_SIP_ROAM_BUF_SIZE - encoded(c).size(), 'f');
    EXPECT_EQ(encoded(c).size(), QZ_SIP_ROAM_BUF_SIZE);
    c.from += 'f';
    EXPECT_TRUE(encoded(c).empty());
}

// ---- the store, fed through the receiver as a neighbour's records arrive

constexpr std::uint8_t kA[6] = {2, 0, 0, 0, 0, 1}, kB[6] = {2, 0, 0, 0, 0, 9};  // call_of_rec()'s

// What the receiver posted last, applied as the event thread does.
void deliver(const Bytes& rec) {
    clear();
    qz_sip_roam_recv(0, static_cast<std::uint32_t>(rec.size()), rec.data());
    std::vector<SentEvent> ev = events();
    ASSERT_EQ(ev.size(), 1u);
    ASSERT_EQ(ev[0].event, QZ_EVENT_UDPDATE_ALG_INFO);
    ASSERT_EQ(ev[0].payload.size(), QZ_ALG_INFO_SIZE);
    ASSERT_EQ(wire::load_h<std::uint32_t>(ev[0].payload.data()), QZ_ALG_INFO_SIP_ROAM);
    qz_sip_roam_apply(wire::load_h<std::uint32_t>(ev[0].payload.data() + 4));
}

// A neighbour's record of the call between kA and kB.
Bytes record(const std::string& callid, std::uint16_t seq, bool del = false) {
    qz_sip_call_t c = call_of_rec();
    c.callid = callid;
    c.seq_num = seq;
    c.state_flag = 0;
    return encoded(c, del);
}

int stored_seq(const std::string& callid) {
    std::lock_guard lock(qz_sip_roam_mutex());
    const qz_sip_call_t* o = qz_sip_roam_lookup(callid, kB, kA);
    return o ? o->seq_num : -1;
}

class SipRoamStore : public Drained {};

TEST_F(SipRoamStore, OlderCopiesNeverReplaceNewerOnes) {
    const std::string sent = "fed_alg_sip_fsm send roaming info to neighbours";
    struct Row {
        const char* name;
        Bytes rec;
        std::uint32_t advance;
        int seq;  // stored afterwards, -1: none
        std::string line;
    } rows[] = {
        {"stored", record("c", 5), 0, 5, ""},
        {"older discarded", record("c", 4), 0, 5,
         "roaming object(call id: c, src mac: 02:00:00:00:00:01, dst mac: 02:00:00:00:00:09, "
         "seq num: 5) discard roaming packet(seq num: 4)."},
        {"equal replaces", record("c", 5), 3599, 5, ""},
        {"renewed for an hour", record("c", 6), 3599, 6, ""},
        {"delete of another call", record("d", 6, true), 0, 6, ""},
        {"delete passed on", record("c", 6, true), 0, -1, sent},
        {"delete of a gone call", record("c", 6, true), 0, -1, ""},
        {"expires after an hour (and a tick)", record("c", 7), 3600 + 3, -1, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        deliver(r.rec);
        advance(r.advance);
        EXPECT_EQ(stored_seq("c"), r.seq);
        EXPECT_TRUE(r.line.empty() || log().find(r.line) != std::string::npos) << log();
        EXPECT_EQ(log().find(sent) != std::string::npos, r.line == sent);
    }
}

TEST_F(SipRoamStore, FullStoreTakesOnlyKnownCalls) {
    for (int i = 0; i < static_cast<int>(QZ_SIP_ROAM_MAX); ++i)
        deliver(record("call" + std::to_string(i), 1));
    const std::string full =
        "drop sip call roaming info(callid: new, src mac: 02:00:00:00:00:01, "
        "dst mac: 02:00:00:00:00:09, state: 2), because sip roaming info "
        "number is 400.";
    deliver(record("new", 1));
    EXPECT_NE(log().find(full), std::string::npos) << log();
    EXPECT_EQ(stored_seq("new"), -1);
    deliver(record("call7", 2));
    EXPECT_EQ(stored_seq("call7"), 2);
    EXPECT_EQ(qz_sip_roam_count(), QZ_SIP_ROAM_MAX);
}

// ---- live calls turning into roaming objects and back

// A message of a call between the test packet's stations; `back` from the callee.
Pkt msg(const std::string& callid, const std::string& start, const std::string& cseq,
        const std::string& body, bool back) {
    Pkt p{.alg_type = QZ_ALG_TYPE_SIP, .protocol = 17, .src_port = 5060, .dst_port = 5060};
    p.payload = testframes::sip_text(start, "b-" + callid, cseq, body, callid);
    if (back) std::swap(p.src_mac, p.dst_mac), std::swap(p.src_ip, p.dst_ip);
    return p;
}
// An answered call and a ringing one (its INVITE transaction still open).
void two_calls() {
    dispatch(msg("ans", "INVITE sip:b@b SIP/2.0", "1 INVITE", testframes::sdp("192.168.1.10", 4000),
                 false));
    dispatch(msg("ans", "SIP/2.0 200 OK", "1 INVITE", testframes::sdp("10.0.0.1", 5000), true));
    dispatch(msg("ring", "INVITE sip:b@b SIP/2.0", "1 INVITE",
                 testframes::sdp("192.168.1.10", 6000), false));
    dispatch(msg("ring", "SIP/2.0 180 Ringing", "1 INVITE", "", true));
}

std::size_t count_cmd(std::uint16_t command) {
    std::size_t n = 0;
    for (const FeReq& r : fe()) n += r.command() == command;
    return n;
}

TEST_F(SipRoamStore, StationLeavesAndComesBack) {
    const Pkt p;
    two_calls();
    ASSERT_EQ(qz_sip_call_count(), 2u);
    const std::size_t trans = qz_sip_trans_count();
    clear();
    qz_sip_roam_sta_leave(p.src_mac.data());
    EXPECT_EQ(qz_sip_call_count(), 0u);
    EXPECT_EQ(qz_sip_roam_count(), 2u);
    EXPECT_EQ(count_cmd(QZ_ALG_FE_CMD_DELETE_GATE), 6u);  // 4 answered, 2 early offer
    EXPECT_EQ(qz_sip_trans_count(), 0u);
    advance(57);

    clear();
    qz_sip_roam_sta_join(p.src_mac.data());
    EXPECT_EQ(qz_sip_roam_count(), 0u);
    EXPECT_EQ(qz_sip_trans_count(), trans);
    const std::vector<FeReq> reqs = fe();
    EXPECT_EQ(reqs.size(), 6u);
    for (const FeReq& r : reqs) expect_open_gate(r, flow_of(r), QZ_ALG_TYPE_SIP, 0, 0);
    EXPECT_TRUE(logged("fed_alg_sip_fsm", "send roaming info to neighbours"));
    {
        std::lock_guard lock(qz_sip_call_mutex());
        static constexpr std::uint8_t kAny[6] = {};
        const qz_sip_call_t* ans = qz_sip_call_lookup("ans", p.src_mac.data(), kAny);
        const qz_sip_call_t* ring = qz_sip_call_lookup("ring", p.src_mac.data(), kAny);
        ASSERT_TRUE(ans && ring);
        EXPECT_TRUE(qz_alg_timer_armed(ans->timer));  // max duration afresh
        EXPECT_FALSE(qz_alg_timer_armed(ring->timer));
        EXPECT_EQ(ans->state_flag & SIP_STATE_ROAMING_TO_OTHER, 0);
    }

    // Gone again for longer than a minute: the copies go too. Their peer is
    // all zeros now, which no joining station may claim.
    qz_sip_roam_sta_leave(p.src_mac.data());
    static constexpr std::uint8_t kNoMac[6] = {};
    qz_sip_roam_sta_join(kNoMac);
    EXPECT_EQ(qz_sip_roam_count(), 2u);
    EXPECT_EQ(qz_sip_call_count(), 0u);
    advance(60 + 3);
    EXPECT_EQ(qz_sip_roam_count(), 0u);
}

TEST_F(SipRoamStore, CallMovedElsewhereUnlessNewerHere) {
    const Pkt p;
    struct Row {
        int seq_delta;  // of the record against the live call
        bool kept_live;
    } rows[] = {{-1, true}, {0, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.seq_delta);
        two_calls();
        qz_sip_call_t copy;
        {
            std::lock_guard lock(qz_sip_call_mutex());
            copy = *qz_sip_call_lookup("ans", p.src_mac.data(), p.dst_mac.data());
        }
        copy.seq_num = static_cast<std::uint16_t>(copy.seq_num + r.seq_delta);
        copy.state_flag = SIP_STATE_ROAMING_TO_OTHER;
        std::memset(copy.dst_mac, 0, 6);  // as the access point it joined sends it
        deliver(encoded(copy));
        EXPECT_EQ(qz_sip_call_count(), r.kept_live ? 2u : 1u);
        EXPECT_EQ(qz_sip_roam_count(), r.kept_live ? 0u : 1u);
        EXPECT_EQ(count_cmd(QZ_ALG_FE_CMD_DELETE_GATE), r.kept_live ? 0u : 4u);
        drain();
    }
}

}  // namespace
}  // namespace algtest
