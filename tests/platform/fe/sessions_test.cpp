// After any clear, each packet must still reach its own session, and a
// cleared session must come back as a new one, never as a stale entry.
#include "platform/fe/sessions.h"

#include <gtest/gtest.h>

#include "platform/fe/model.h"
#include "platform/fe/replay_flows.h"
#include "tests/support/frames.h"

namespace {

using proto::FeFn;
using testframes::ip;

// Flow i (0-4) from station pair min(i, 3): ..:sta at 10.0.0.sta, ..:sta+0x80.
void send(fem::Model& m, int i, bool reply) {
    auto sta = static_cast<std::uint8_t>(std::min(i, 3) + 1), peer = std::uint8_t(sta + 0x80);
    auto port = static_cast<std::uint16_t>(4000 + i);
    testframes::Packet p{6, ip(10, 0, 0, sta), port, ip(192, 168, 1, 1), 9000, "x", 0, sta, peer};
    if (reply) p = {6, p.dst_ip, 9000, p.src_ip, port, "x", 0, peer, sta};
    std::vector<std::uint8_t> frame = testframes::ether_frame(p);
    fem::FramePacket fp;
    ASSERT_EQ(fem::frame_parse(fem::kLinkEthernet, frame, fp), fem::FrameResult::Ok);
    fem::PacketStep s;
    fem::replay_packet(m, fp, fem::ReplayIfaces{7, 2}, s);
}

TEST(SessionIndex, PacketsFindTheirSessionsAfterEveryKindOfClear) {
    auto w = [](auto fill) { return fill(wire::Writer{}).buf(); };
    struct {
        FeFn fn;
        std::vector<std::uint8_t> args;
        int rc;
        unsigned mac_left, ip_left;  // a bit per station pair, per flow
    } const cases[] = {
        {FeFn::MacSessClrId, w([](auto x) { return x.h32(1); }), 0, 0xe, 0x1f},
        {FeFn::IpSessClrId, w([](auto x) { return x.h32(3); }), 0, 0xf, 0x1b},
        {FeFn::MacSessClrParam, w([](auto x) { return x.be16(0x200).be32(2).be16(0).be32(0); }), 1,
         0xd, 0x1f},
        {FeFn::IpSessClrParam,
         w([](auto x) { return x.be32(ip(10, 0, 0, 4)).h16(0).be32(0).h16(0).u8(0); }), 2, 0xf,
         0x07},
        {FeFn::IpSessClrParam, w([](auto x) { return x.be32(0).h16(0).be32(0).h16(0).u8(6); }), 5,
         0xf, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        fem::Model m;
        fem::model_init(m);
        for (int i = 0; i < 5; ++i) send(m, i, false);
        fem::Faults f;
        std::vector<std::uint8_t> out;
        bool known = false;
        EXPECT_EQ(fem::fe_session_call(m, f, c.fn, c.args, out, &known), c.rc);
        EXPECT_TRUE(fem::sessions_indexed(m.sess));
        // Replies count on the sessions left; the cleared ones start anew.
        for (int i = 0; i < 5; ++i) send(m, i, true);
        EXPECT_TRUE(fem::sessions_indexed(m.sess));
        ASSERT_EQ(m.sess.mac.size(), 4u);
        ASSERT_EQ(m.sess.ip.size(), 5u);
        for (const fem::MacSession& s : m.sess.mac) {
            int pair = (s.flow[0].src[5] & 0x7f) - 1;
            unsigned sent = pair == 3 ? 2 : 1, kept = c.mac_left >> pair & 1;
            EXPECT_EQ(s.flow[0].packets + s.flow[1].packets, sent << kept) << pair;
        }
        for (const fem::IpSession& s : m.sess.ip) {
            const fem::FlowTuple& t = s.flow[0].t;
            int i = (t.src_port == 9000 ? t.dst_port : t.src_port) - 4000;
            bool kept = c.ip_left >> i & 1;
            EXPECT_EQ(s.flow[0].packets + s.flow[1].packets, kept ? 2u : 1u) << i;
            EXPECT_EQ(s.id <= 5, kept) << i;
        }
    }
}

}  // namespace
