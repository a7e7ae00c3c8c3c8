// The FE's control sessions and flows under replayed packets: which packets go
// up (byte for byte), which flows a gate admits, and when sessions time out.
#include "platform/fe/replay_flows.h"

#include <gtest/gtest.h>

#include "platform/fe/model.h"
#include "tests/support/frames.h"

namespace {

using testframes::ip;
using testframes::Packet;
using Bytes = std::vector<std::uint8_t>;
namespace o = qz_alg_pkt_off;

constexpr std::uint32_t kClient = ip(10, 0, 0, 5);
constexpr std::uint32_t kServer = ip(192, 168, 1, 1);
constexpr fem::ReplayIfaces kIfs{7, 2};

struct ReplayTest : ::testing::Test {
    fem::Model m;
    fem::Faults f;
    Bytes frame;  // keeps the last packet's bytes alive

    void SetUp() override { fem::model_init(m); }

    fem::PacketStep step(const Packet& p, std::uint64_t ms = 0) {
        fem::alg_set_time(m, ms);
        frame = testframes::ether_frame(p);
        fem::FramePacket fp;
        EXPECT_EQ(fem::frame_parse(fem::kLinkEthernet, frame, fp), fem::FrameResult::Ok);
        fem::PacketStep s;
        fem::replay_packet(m, fp, kIfs, s);
        return s;
    }
    void open_gate(std::uint32_t src, std::uint16_t sport, std::uint32_t dst, std::uint16_t dport,
                   std::uint8_t proto, std::uint32_t alg) {
        Bytes e = testframes::gate_open({src, dst, sport, dport, proto}, alg);
        ASSERT_EQ(fem::alg_ioctl(m, f, e), 0);
        ASSERT_EQ(wire::load_h<std::uint32_t>(&e[36]), 0u);
    }
};

Packet ftp(bool from_client, std::string line,
           std::uint8_t flags = testframes::kAck | testframes::kPsh) {
    Packet p = from_client ? Packet{testframes::kTcp, kClient, 40000, kServer, 21, std::move(line)}
                           : Packet{testframes::kTcp, kServer, 21, kClient, 40000, std::move(line)};
    p.tcp_flags = flags;
    if (!from_client) p.src_mac_last = 0x02, p.dst_mac_last = 0x01;
    return p;
}

TEST_F(ReplayTest, ControlPacketRecordIsByteExact) {
    m.alg.settings.enabled[1] = true;
    EXPECT_EQ(step(ftp(true, "", testframes::kSyn)).kind, fem::PacketKind::ControlSilent);
    fem::PacketStep s = step(ftp(true, "PORT 10,0,0,5,4,1\r\n"), 1500);
    ASSERT_EQ(s.kind, fem::PacketKind::Control);
    EXPECT_EQ(s.alg_type, 1);
    const Bytes& r = s.record;
    ASSERT_EQ(r.size(), QZ_ALG_PKT_HDR_SIZE + 19);
    const std::uint8_t head[QZ_ALG_PKT_HDR_SIZE] = {
        0x00,  0x01,                                  // alg_type 1
        0x01,                                         // from the client
        0x02,  0,     0,     0,     0,   0x01,        // source MAC
        0x02,  0,     0,     0,     0,   0x02,        // destination MAC
        6,                                            // TCP
        10,    0,     0,     5,     192, 168,  1, 1,  // addresses
        0x9c,  0x40,  0x00,  21,                      // ports 40000 > 21
        0,     0,     0,     2,     0,   0,    0, 7,  // out: server side, in: client side
        0,     0,     0,     1,                       // ctrl_id 1
        r[40], r[41], r[42], r[43],                   // cookie: checked below
        r[44], r[45], r[46], r[47],                   // tag
        0x00,  19,                                    // pkt_length
    };
    EXPECT_EQ(Bytes(r.begin(), r.begin() + QZ_ALG_PKT_HDR_SIZE),
              Bytes(head, head + QZ_ALG_PKT_HDR_SIZE));
    EXPECT_EQ(std::string(r.begin() + QZ_ALG_PKT_HDR_SIZE, r.end()), "PORT 10,0,0,5,4,1\r\n");
    const fem::CtrlSession& sess = m.alg.sessions.begin()->second;
    EXPECT_EQ(wire::load_be32(&r[o::ctrl_cookie]), sess.cookie);
    EXPECT_EQ(wire::load_be32(&r[o::ctrl_tag]), sess.tag);
    EXPECT_NE(sess.cookie, 0u);

    fem::PacketStep reply = step(ftp(false, "200 PORT command successful\r\n"), 1600);
    ASSERT_EQ(reply.kind, fem::PacketKind::Control);
    EXPECT_EQ(reply.record[o::pkt_type], QZ_ALG_PKT_CTRL2);
    EXPECT_EQ(wire::load_be32(&reply.record[o::src_ip]), kServer);
    EXPECT_EQ(wire::load_be16(&reply.record[o::dst_port]), 40000);
    EXPECT_EQ(wire::load_be32(&reply.record[o::in_ifindex]), kIfs.server_side);
    EXPECT_EQ(wire::load_be32(&reply.record[o::ctrl_id]), 1u) << "same session both ways";
    EXPECT_EQ(reply.record[o::src_mac + 5], 0x02);
    EXPECT_EQ(step(ftp(false, "", testframes::kAck), 1700).kind, fem::PacketKind::ControlSilent);
}

TEST_F(ReplayTest, PayloadIsCutToWhatTheEventHolds) {
    m.alg.settings.enabled[4] = true;
    Packet dns{testframes::kUdp, kClient, 5353, kServer, 53, std::string(3000, 'x')};
    fem::PacketStep s = step(dns);
    ASSERT_EQ(s.kind, fem::PacketKind::Control);
    EXPECT_EQ(s.record.size(), QZ_ALG_PKT_MAX_SIZE);
    EXPECT_EQ(wire::load_be16(&s.record[o::pkt_length]), QZ_ALG_PKT_MAX_PAYLOAD);
}

struct Recognition {
    const char* name;
    Packet first;
    std::uint16_t enabled;  // ALG switched on, 0 none
    fem::PacketKind want;
};

TEST_F(ReplayTest, ControlFlowsByServiceAndEnableFlag) {
    const Recognition cases[] = {
        {"ftp on", {testframes::kTcp, 1, 1000, 2, 21, "USER a\r\n"}, 1, fem::PacketKind::Control},
        {"ftp off",
         {testframes::kTcp, 1, 1000, 2, 21, "USER a\r\n"},
         0,
         fem::PacketKind::FlowUnadmitted},
        {"tftp on", {testframes::kUdp, 1, 1000, 2, 69, "x"}, 2, fem::PacketKind::Control},
        {"tftp on, but tcp/69",
         {testframes::kTcp, 1, 1000, 2, 69, "x"},
         2,
         fem::PacketKind::FlowUnadmitted},
        {"sip on", {testframes::kUdp, 1, 5060, 2, 5060, "x"}, 3, fem::PacketKind::Control},
        {"dns on", {testframes::kUdp, 1, 999, 2, 53, "x"}, 4, fem::PacketKind::Control},
        {"dns on, reply seen first",
         {testframes::kUdp, 2, 53, 1, 999, "x"},
         4,
         fem::PacketKind::Control},
        {"ftp on, only ftp-data",
         {testframes::kTcp, 1, 20, 2, 1025, "x"},
         1,
         fem::PacketKind::FlowUnadmitted},
        {"http has an ALG type, flag on",
         {testframes::kTcp, 1, 1000, 2, 80, "GET"},
         6,
         fem::PacketKind::Control},
    };
    for (const Recognition& c : cases) {
        fem::model_init(m);
        if (c.enabled) m.alg.settings.enabled[c.enabled] = true;
        fem::PacketStep s = step(c.first);
        EXPECT_EQ(s.kind, c.want) << c.name;
        if (c.want == fem::PacketKind::Control) {
            EXPECT_EQ(s.alg_type, c.enabled) << c.name;
            EXPECT_EQ(s.record[o::pkt_type],
                      c.first.src_port == 53 ? QZ_ALG_PKT_CTRL2 : QZ_ALG_PKT_CTRL)
                << c.name;
        }
    }
}

TEST_F(ReplayTest, AGateAdmitsTheFirstMatchingFlowOnce) {
    open_gate(kServer, 20, kClient, 1025, testframes::kTcp, 1);  // active FTP
    open_gate(0, 0, kServer, 51210, testframes::kTcp, 1);        // any source
    Packet wrong_sport{testframes::kTcp, kServer, 21, kClient, 1025, "", testframes::kSyn};
    EXPECT_EQ(step(wrong_sport).kind, fem::PacketKind::FlowUnadmitted);
    Packet reverse{testframes::kTcp, kClient, 1025, kServer, 2020, "", testframes::kSyn};
    EXPECT_EQ(step(reverse).kind, fem::PacketKind::FlowUnadmitted) << "a gate has a direction";

    Packet data{testframes::kTcp, kServer, 20, kClient, 1025, "", testframes::kSyn};
    fem::PacketStep s = step(data);
    ASSERT_EQ(s.kind, fem::PacketKind::FlowAdmitted);
    EXPECT_EQ(s.gate.dst_port, 1025);
    Packet back{testframes::kTcp, kClient, 1025, kServer, 20, "", testframes::kAck};
    EXPECT_EQ(step(back).kind, fem::PacketKind::Flow) << "the admitted flow goes on both ways";
    EXPECT_EQ(m.alg.gates.size(), 1u) << "the gate was used up";

    Packet other{testframes::kTcp, ip(1, 2, 3, 4), 3333, kServer, 51210, "", testframes::kSyn};
    EXPECT_EQ(step(other).kind, fem::PacketKind::FlowAdmitted) << "any source";
    EXPECT_TRUE(m.alg.gates.empty());
    std::uint32_t count = 1;
    EXPECT_EQ(fem::fe_get(m, f, proto::FeFn::GetInt, 55, "count", &count), 0);
    EXPECT_EQ(count, 0u);
}

TEST_F(ReplayTest, IdleSessionsTimeOutInOrderAndTakeTheirGates) {
    m.alg.settings.enabled[1] = true;
    m.alg.settings.enabled[2] = true;
    step({testframes::kUdp, kClient, 4000, kServer, 69, "x"}, 0);              // tftp: 60 s
    step({testframes::kTcp, kClient, 4001, kServer, 21, "USER a\r\n"}, 1000);  // ftp: 1800 s
    const std::uint32_t tftp_id = 1;
    const fem::CtrlSession& t = m.alg.sessions.at(fem::flow_key({17, kClient, kServer, 4000, 69}));
    ASSERT_EQ(t.id, tftp_id);
    Bytes e(44);
    wire::store_h<std::int32_t>(e.data(), -1);
    wire::store_h<std::uint16_t>(e.data() + 4, 52);
    wire::store_h<std::uint16_t>(e.data() + 6, 36);
    wire::store_be32(&e[8], kServer);
    wire::store_be32(&e[12], kClient);
    wire::store_be16(&e[18], 4000);
    e[20] = 17;
    wire::store_h<std::uint32_t>(&e[24], 2);
    wire::store_h<std::uint32_t>(&e[28], t.id);
    wire::store_h<std::uint32_t>(&e[32], t.cookie);
    std::uint32_t tftp_cookie = t.cookie;
    ASSERT_EQ(fem::alg_ioctl(m, f, e), 0);

    std::vector<Bytes> recs;
    fem::replay_expire(m, 59999, kIfs, recs);
    EXPECT_TRUE(recs.empty());
    step({testframes::kUdp, kClient, 4000, kServer, 69, "y"}, 20000);  // keeps it alive
    fem::replay_expire(m, 79999, kIfs, recs);
    EXPECT_TRUE(recs.empty());
    fem::replay_expire(m, 80000, kIfs, recs);
    ASSERT_EQ(recs.size(), 1u);
    const Bytes& r = recs[0];
    ASSERT_EQ(r.size(), QZ_ALG_PKT_HDR_SIZE);
    EXPECT_EQ(wire::load_be16(&r[o::alg_type]), 2);
    EXPECT_EQ(r[o::pkt_type], QZ_ALG_PKT_TIMEOUT);
    EXPECT_EQ(wire::load_be32(&r[o::src_ip]), kClient);
    EXPECT_EQ(wire::load_be16(&r[o::dst_port]), 69);
    EXPECT_EQ(wire::load_be32(&r[o::ctrl_id]), tftp_id);
    EXPECT_EQ(wire::load_be32(&r[o::ctrl_cookie]), tftp_cookie);
    EXPECT_EQ(wire::load_be16(&r[o::pkt_length]), 0);
    EXPECT_TRUE(m.alg.gates.empty()) << "the session's gate went with it";
    EXPECT_EQ(m.alg.sessions.size(), 1u);

    recs.clear();
    step({testframes::kUdp, kClient, 4000, kServer, 69, "z"}, 90000);
    EXPECT_EQ(m.alg.sessions.size(), 2u) << "a new session, with a new id";
    fem::replay_end_all(m, kIfs, recs);
    ASSERT_EQ(recs.size(), 2u);
    // In the order they would have idled out: tftp (60 s) before ftp (1800 s).
    EXPECT_EQ(wire::load_be16(&recs[0][o::alg_type]), 2);
    EXPECT_EQ(wire::load_be32(&recs[0][o::ctrl_id]), 3u);
    EXPECT_EQ(wire::load_be16(&recs[1][o::alg_type]), 1);
    EXPECT_TRUE(m.alg.sessions.empty());
    EXPECT_TRUE(m.alg.idle_order.empty());
}

TEST_F(ReplayTest, IdleFlowsStartAnew) {
    open_gate(0, 0, kClient, 5004, testframes::kUdp, 3);
    Packet media{testframes::kUdp, kServer, 7000, kClient, 5004, "rtp"};
    EXPECT_EQ(step(media, 1000).kind, fem::PacketKind::FlowAdmitted);
    EXPECT_EQ(step(media, 60999).kind, fem::PacketKind::Flow);
    EXPECT_EQ(step(media, 121000).kind, fem::PacketKind::FlowUnadmitted)
        << "idle past the \"any\" timeout: a new flow, and the gate is gone";
}

TEST(ReplaySip, CallIdOfAMessage) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"INVITE sip:b@b SIP/2.0\r\nVia: x\r\nCall-ID:  abc@host \r\nCSeq: 1\r\n\r\n", "abc@host"},
        {"SIP/2.0 200 OK\r\ni:short\r\n\r\n", "short"},
        {"BYE sip:b@b SIP/2.0\ncall-id: lf-only\n", "lf-only"},
        {"INVITE sip:b@b SIP/2.0\r\nTo: x\r\n\r\nCall-ID: in-the-body\r\n", ""},
        {"INVITE sip:call-id:x SIP/2.0\r\n", ""},
        {"", ""},
    };
    for (const auto& [text, id] : cases)
        EXPECT_EQ(
            fem::sip_call_id({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}), id)
            << text;
}

}  // namespace
