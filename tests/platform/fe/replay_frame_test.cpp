// Frames of every link type the replay reads, down to the IPv4 TCP/UDP payload.
#include "platform/fe/replay_frame.h"

#include <gtest/gtest.h>

#include "tests/support/frames.h"

namespace {

using testframes::ip;
using Bytes = std::vector<std::uint8_t>;
using fem::FrameResult;

// clang-format off
const testframes::Packet kUdp{testframes::kUdp, ip(10, 0, 0, 1), 40000, ip(10, 0, 0, 2), 69,
                              std::string("\0\1boot.cfg\0octet\0", 17)};
const testframes::Packet kTcp{testframes::kTcp, ip(172, 23, 0, 3), 58252, ip(172, 23, 0, 2), 21,
                              "PORT 172,23,0,3,174,127\r\n"};
// clang-format on

Bytes ip_part(const testframes::Packet& p) {
    Bytes f = testframes::ether_frame(p);
    return Bytes(f.begin() + 14, f.end());
}

Bytes concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

Bytes vlan_tagged(const testframes::Packet& p, int tags) {
    Bytes f = testframes::ether_frame(p);
    Bytes out(f.begin(), f.begin() + 12);
    for (int i = 0; i < tags; ++i) out.insert(out.end(), {0x81, 0x00, 0x00, 0x05});
    return concat(out, Bytes(f.begin() + 12, f.end()));
}

Bytes sll(const Bytes& ipb, std::uint16_t proto = 0x0800) {
    Bytes h(16);
    wire::store_be16(&h[4], 6);
    h[6] = 0x02, h[11] = 0x09;
    wire::store_be16(&h[14], proto);
    return concat(h, ipb);
}

Bytes sll2(const Bytes& ipb) {
    Bytes h(20);
    wire::store_be16(&h[0], 0x0800);
    h[11] = 6;
    h[12] = 0x02, h[17] = 0x09;
    return concat(h, ipb);
}

struct Case {
    const char* name;
    std::uint32_t link;
    Bytes frame;
    FrameResult want;
};

std::vector<Case> cases() {
    Bytes udp = ip_part(kUdp);
    Bytes tcp = ip_part(kTcp);
    Bytes frag = udp;
    frag[6] = 0x20;  // more fragments
    Bytes later = udp;
    wire::store_be16(&later[6], 0x0010);  // offset 128
    Bytes icmp = udp;
    icmp[9] = 1;
    Bytes ipv6(40);
    ipv6[0] = 0x60;
    Bytes bad_ihl = udp;
    bad_ihl[0] = 0x44;
    Bytes short_total = udp;
    wire::store_be16(&short_total[2], 10);
    Bytes udp_len = udp;
    wire::store_be16(&udp_len[20 + 4], 7);
    Bytes udp_long = udp;
    wire::store_be16(&udp_long[20 + 4], 200);
    Bytes tcp_off = tcp;
    tcp_off[20 + 12] = 0x40;
    Bytes snapped(udp.begin(), udp.end() - 3);
    Bytes padded = concat(udp, Bytes(10, 0));
    Bytes arp = testframes::ether_frame(kUdp);
    wire::store_be16(&arp[12], 0x0806);
    Bytes null_le = concat({2, 0, 0, 0}, udp);
    Bytes null_be = concat({0, 0, 0, 2}, udp);
    Bytes null_v6 = concat({24, 0, 0, 0}, ipv6);
    return {
        {"ethernet udp", fem::kLinkEthernet, testframes::ether_frame(kUdp), FrameResult::Ok},
        {"ethernet tcp", fem::kLinkEthernet, testframes::ether_frame(kTcp), FrameResult::Ok},
        {"one vlan tag", fem::kLinkEthernet, vlan_tagged(kUdp, 1), FrameResult::Ok},
        {"two vlan tags", fem::kLinkEthernet, vlan_tagged(kUdp, 2), FrameResult::Ok},
        {"three vlan tags", fem::kLinkEthernet, vlan_tagged(kUdp, 3), FrameResult::NotIpv4},
        {"arp", fem::kLinkEthernet, arp, FrameResult::NotIpv4},
        {"linux cooked", fem::kLinkSll, sll(udp), FrameResult::Ok},
        {"linux cooked ipv6", fem::kLinkSll, sll(ipv6, 0x86dd), FrameResult::NotIpv4},
        {"linux cooked v2", fem::kLinkSll2, sll2(tcp), FrameResult::Ok},
        {"bsd null, little-endian family", fem::kLinkNull, null_le, FrameResult::Ok},
        {"bsd null, big-endian family", fem::kLinkNull, null_be, FrameResult::Ok},
        {"bsd null ipv6", fem::kLinkNull, null_v6, FrameResult::NotIpv4},
        {"loop, network order", fem::kLinkLoop, null_be, FrameResult::Ok},
        {"loop, wrong order", fem::kLinkLoop, null_le, FrameResult::NotIpv4},
        {"raw ipv4", fem::kLinkRaw, udp, FrameResult::Ok},
        {"raw ipv6", fem::kLinkRaw, ipv6, FrameResult::NotIpv4},
        {"ipv4 link", fem::kLinkIpv4, tcp, FrameResult::Ok},
        {"token ring", 6, udp, FrameResult::UnknownLink},
        {"icmp", fem::kLinkRaw, icmp, FrameResult::NotTcpUdp},
        {"first fragment", fem::kLinkRaw, frag, FrameResult::Fragment},
        {"later fragment", fem::kLinkRaw, later, FrameResult::Fragment},
        {"header length 16", fem::kLinkRaw, bad_ihl, FrameResult::Malformed},
        {"total length below header", fem::kLinkRaw, short_total, FrameResult::Malformed},
        {"udp length 7", fem::kLinkRaw, udp_len, FrameResult::Malformed},
        {"udp length past the packet", fem::kLinkRaw, udp_long, FrameResult::Malformed},
        {"tcp data offset 4", fem::kLinkRaw, tcp_off, FrameResult::Malformed},
        {"cut by the snap length", fem::kLinkRaw, snapped, FrameResult::Truncated},
        {"link padding after the packet", fem::kLinkRaw, padded, FrameResult::Ok},
        {"empty", fem::kLinkEthernet, {}, FrameResult::Truncated},
    };
}

TEST(ReplayFrame, LinkTypesAndIpv4Checks) {
    for (const Case& c : cases()) {
        fem::FramePacket p;
        EXPECT_EQ(fem::frame_parse(c.link, c.frame, p), c.want) << c.name;
    }
}

TEST(ReplayFrame, FieldsOfAnOkFrame) {
    fem::FramePacket p;
    Bytes frame = testframes::ether_frame(kTcp);  // the payload is a view into it
    ASSERT_EQ(fem::frame_parse(fem::kLinkEthernet, frame, p), FrameResult::Ok);
    EXPECT_EQ(p.tuple.protocol, 6);
    EXPECT_EQ(p.tuple.src_ip, ip(172, 23, 0, 3));
    EXPECT_EQ(p.tuple.dst_ip, ip(172, 23, 0, 2));
    EXPECT_EQ(p.tuple.src_port, 58252);
    EXPECT_EQ(p.tuple.dst_port, 21);
    EXPECT_EQ(p.tcp_flags, testframes::kAck | testframes::kPsh);
    EXPECT_EQ(std::string(p.payload.begin(), p.payload.end()), kTcp.payload);
    EXPECT_EQ(p.src_mac[0], 0x02);
    EXPECT_EQ(p.src_mac[5], 0x01);
    EXPECT_EQ(p.dst_mac[5], 0x02);

    Bytes cooked = sll(concat(ip_part(kUdp), Bytes(6, 0xee)));
    ASSERT_EQ(fem::frame_parse(fem::kLinkSll, cooked, p), FrameResult::Ok);
    EXPECT_EQ(p.payload.size(), kUdp.payload.size()) << "padding is no payload";
    EXPECT_EQ(p.src_mac[5], 0x09) << "the cooked header's sender address";
    EXPECT_EQ(p.dst_mac[5], 0x00);
}

// Every prefix of every good frame is refused cleanly, never read past.
TEST(ReplayFrame, EveryCutOfAGoodFrameIsRefused) {
    for (const Case& c : cases()) {
        if (c.want != FrameResult::Ok || c.name == std::string("link padding after the packet"))
            continue;
        for (std::size_t n = 0; n < c.frame.size(); ++n) {
            Bytes cut(c.frame.begin(), c.frame.begin() + static_cast<std::ptrdiff_t>(n));
            fem::FramePacket p;
            EXPECT_NE(fem::frame_parse(c.link, cut, p), FrameResult::Ok) << c.name << " " << n;
        }
    }
}

}  // namespace
