// Roaming records: the exact bytes of update and delete records, the records a
// neighbour's decoder refuses, and round trips.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "alg/sip/qz_sip_roam_rec.h"
#include "tests/alg/alg_test_support.h"

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

TEST(SipRoamRecord, EncodesEveryFieldInNetworkOrder) {
    qz_sip_call_t c = call_of_rec();
    std::array<std::uint8_t, QZ_SIP_ROAM_BUF_SIZE> buf{};
    Bytes want = update_rec();
    want.resize(want.size() - 10);  // the transaction part: the table is empty here
    add(want, {0, 0});
    int n = qz_sip_roam_encode_update(c, buf);
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + std::max(n, 0)), want);

    Bytes del(want.begin(), want.begin() + kFromAt);
    del[kCallidEnd] = QZ_SIP_ROAM_STATE_DELETE;
    del.resize(del.size() + 14, 0);
    n = qz_sip_roam_encode_delete(c, buf);
    ASSERT_EQ(n, static_cast<int>(33 + c.callid.size() + 1));
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + n), del);
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
    qz_sip_call_t want = call_of_rec();
    EXPECT_EQ(std::memcmp(o->src_mac, want.src_mac, 6), 0);
    EXPECT_EQ(std::memcmp(o->dst_mac, want.dst_mac, 6), 0);
    EXPECT_EQ(o->callid + o->from + o->to, "id@x<a><b>");
    EXPECT_EQ(o->state, sip_call_state::ANSWER);
    EXPECT_EQ(o->seq_num, 0x0102);
    EXPECT_EQ(o->state_flag, 2);
    ASSERT_EQ(o->gates_a.size(), 1u);
    const qz_sip_gate_t& g = o->gates_a[0];
    EXPECT_EQ(g.ip, qz_alg_net32(ip(10, 1, 2, 3)));
    EXPECT_EQ(g.port, 0x1f40);
    EXPECT_EQ(g.opened, QZ_SIP_GATE_ROAMED);  // open at the sender, not here
    EXPECT_EQ(g.cookie, 0u);
    ASSERT_NE(o->trans, nullptr);
    EXPECT_EQ(o->trans->branch + o->trans->callid, "z9id@x");
    EXPECT_EQ(o->trans->trans_state, 3);
    EXPECT_EQ(o->trans->next, nullptr);
    EXPECT_NE(o->timer, nullptr);

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
    std::array<std::uint8_t, QZ_SIP_ROAM_BUF_SIZE + 1> buf{};
    const int max = static_cast<int>(QZ_SIP_ROAM_BUF_SIZE);
    const int base = qz_sip_roam_encode_update(c, buf);
    struct Row {
        int from_len;
        int want;
    } rows[] = {
        {max - base, max},
        {max - base + 1, -1},
        {0xFFFF, -1},  // its length does not fit its field either
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.from_len);
        c.from.assign(static_cast<std::size_t>(r.from_len), 'f');
        EXPECT_EQ(qz_sip_roam_encode_update(c, std::span(buf).first(QZ_SIP_ROAM_BUF_SIZE)), r.want);
    }
}

}  // namespace
}  // namespace algtest
