// Live mode's verdicts: what passes, what is held back, what goes up to fed,
// over packet sequences through a booted FE model.
#include "sim/live_verdict.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/fe/model.h"
#include "tests/support/frames.h"

namespace {

using sim::LiveVerdict;
using testframes::ip;
using testframes::kSyn;
using testframes::kTcp;
using testframes::kUdp;
using testframes::Packet;
constexpr auto A = LiveVerdict::Accept;
constexpr auto D = LiveVerdict::Drop;

constexpr std::uint32_t kSta = ip(10, 77, 1, 2);
constexpr std::uint32_t kSrv = ip(10, 77, 2, 2);

std::vector<std::uint8_t> ipv4(const Packet& p) {
    std::vector<std::uint8_t> f = testframes::ether_frame(p);
    f.erase(f.begin(), f.begin() + 14);
    return f;
}

struct Step {
    Packet pkt;
    LiveVerdict want;
    std::size_t records = 0;  // copies that go up to fed
    bool gate_first = false;  // a gate for this tuple opens just before
};

struct Case {
    const char* name;
    bool enforce;
    bool ftp_alg;
    std::vector<Step> steps;
};

const Packet kData{kTcp, kSta, 40000, kSrv, 40001, "", kSyn};
const Packet kDataBack{kTcp, kSrv, 40001, kSta, 40000, "x"};

const Case kCases[] = {
    {"service port and its replies pass",
     true,
     false,
     {{{kUdp, kSta, 5353, kSrv, 53, "q"}, A}, {{kUdp, kSrv, 53, kSta, 5353, "a"}, A}}},
    {"ftp control passes with its ALG off",
     true,
     false,
     {{{kTcp, kSta, 41000, kSrv, 21, "PASV\r\n"}, A}}},
    {"flow without gate is dropped, its later packets in both directions too",
     true,
     false,
     {{kData, D}, {kData, D}, {kDataBack, D}}},
    {"enforcement off passes what it would drop", false, false, {{kData, A}, {kDataBack, A}}},
    {"a gate admits the first packet", true, false, {{kData, A, 0, true}, {kDataBack, A}}},
    {"a gate opened after the first try admits the packet sent again",
     true,
     false,
     {{kData, D}, {kData, A, 0, true}, {kDataBack, A}}},
    {"ALG control packet goes up, bare segments do not",
     true,
     true,
     {{{kTcp, kSta, 41001, kSrv, 21, "", kSyn}, A},
      {{kTcp, kSta, 41001, kSrv, 21, "PASV\r\n"}, A, 1},
      {{kTcp, kSrv, 21, kSta, 41001, "227 (10,77,2,2,156,65)\r\n"}, A, 1}}},
    {"not TCP or UDP passes unchecked", true, false, {{{1, kSta, 0, kSrv, 0, "ping"}, A}}},
};

TEST(LiveVerdict, Sequences) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        fem::Model m;
        fem::model_init(m);
        m.alg.settings.enabled[1] = c.ftp_alg;
        sim::LiveState st;
        st.enforce = c.enforce;
        std::uint64_t now = 1000;
        for (const Step& s : c.steps) {
            if (s.gate_first)
                m.alg.gates.push_back({0, s.pkt.dst_ip, 0, s.pkt.dst_port, s.pkt.protocol, 1, 1, 1,
                                       7, now, now + 60'000});
            std::vector<std::uint8_t> pkt = ipv4(s.pkt);
            std::vector<std::vector<std::uint8_t>> recs;
            EXPECT_EQ(sim::live_decide(m, st, now += 10, pkt, nullptr, {3, 2}, recs), s.want);
            EXPECT_EQ(recs.size(), s.records);
        }
    }
}

// Bytes that are no packet pass unchecked and leave nothing behind.
TEST(LiveVerdict, UnreadablePacketsPass) {
    fem::Model m;
    fem::model_init(m);
    sim::LiveState st;
    std::vector<std::uint8_t> pkt = ipv4(kData);
    for (std::size_t n = 0; n < pkt.size(); ++n) {
        std::vector<std::vector<std::uint8_t>> recs;
        std::span<const std::uint8_t> cut(pkt.data(), n);
        EXPECT_EQ(sim::live_decide(m, st, 1000, cut, nullptr, {3, 2}, recs), A) << n;
    }
    EXPECT_EQ(st.c.unread, pkt.size());
    EXPECT_TRUE(m.alg.flows.empty());
}

}  // namespace

// The records carry both ends' link addresses, the receiver's as last seen
// sending: the SIP gateway pairs a response with its request by them.
TEST(LiveVerdict, RecordsCarryBothMacs) {
    fem::Model m;
    fem::model_init(m);
    m.alg.settings.enabled[1] = true;
    sim::LiveState st;
    const std::uint8_t sta[6] = {2, 0, 0, 0, 0, 0xa}, srv[6] = {2, 0, 0, 0, 0, 0xb};
    struct {
        Packet p;
        const std::uint8_t* from;
        const std::uint8_t* want_dst;  // null: zero
    } steps[] = {
        {{kTcp, kSta, 41002, kSrv, 21, "USER a\r\n"}, sta, nullptr},
        {{kTcp, kSrv, 21, kSta, 41002, "331 ok\r\n"}, srv, sta},
        {{kTcp, kSta, 41002, kSrv, 21, "PASS b\r\n"}, sta, srv},
    };
    const std::uint8_t zero[6] = {};
    for (const auto& s : steps) {
        std::vector<std::vector<std::uint8_t>> recs;
        sim::live_decide(m, st, 1000, ipv4(s.p), s.from, {3, 2}, recs);
        ASSERT_EQ(recs.size(), 1u);
        EXPECT_EQ(0, std::memcmp(&recs[0][qz_alg_pkt_off::src_mac], s.from, 6));
        EXPECT_EQ(
            0, std::memcmp(&recs[0][qz_alg_pkt_off::dst_mac], s.want_dst ? s.want_dst : zero, 6));
    }
}
