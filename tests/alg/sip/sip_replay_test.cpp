// SIP calls replayed through the real apsim + fed, driven by fedctl: an
// answered call's media are admitted both ways, a call the FE refuses opens
// nothing, and the gates stand in the FE's table as SIP's (ALG type 3).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/ap.h"
#include "tests/support/frames_pcap.h"

namespace {

using testframes::ip;
using testframes::kUdp;
using testframes::Packet;

constexpr std::uint32_t kPhone = ip(192, 168, 1, 10);
constexpr std::uint32_t kPeer = ip(10, 0, 0, 1);

Packet sip(bool from_phone, const std::string& start, const std::string& branch,
           const std::string& cseq, const std::string& body = "") {
    std::string text =
        start + "\r\nVia: SIP/2.0/UDP h;branch=" + branch +
        "\r\nFrom: <sip:a@a>;tag=1\r\nTo: <sip:b@b>\r\nCall-ID: call-1\r\nCSeq: " + cseq +
        "\r\n\r\n" + body;
    Packet p = from_phone ? Packet{kUdp, kPhone, 5060, kPeer, 5060, text}
                          : Packet{kUdp, kPeer, 5060, kPhone, 5060, text};
    if (!from_phone) std::swap(p.src_mac_last, p.dst_mac_last);
    return p;
}
std::string sdp(const char* addr, int port) {
    return std::string("v=0\r\no=- 1 1 IN IP4 ") + addr + "\r\ns=-\r\nc=IN IP4 " + addr +
           "\r\nt=0 0\r\nm=audio " + std::to_string(port) + " RTP/AVP 0\r\n";
}

// INVITE, 200 and ACK, then RTP and RTCP each way and one flow nobody announced.
std::string write_call(const std::string& dir) {
    std::string path = dir + "/call.pcap";
    const std::vector<testframes::TimedPacket> pkts = {
        {0, sip(true, "INVITE sip:b@b SIP/2.0", "b1", "1 INVITE", sdp("192.168.1.10", 40000))},
        {100, sip(false, "SIP/2.0 200 OK", "b1", "1 INVITE", sdp("10.0.0.1", 50000))},
        {200, sip(true, "ACK sip:b@b SIP/2.0", "b2", "1 ACK")},
        {300, {kUdp, kPhone, 40000, kPeer, 50000, "rtp"}},
        {310, {kUdp, kPeer, 50002, kPhone, 40000, "rtp"}},
        {320, {kUdp, kPhone, 40001, kPeer, 50001, "rtcp"}},
        {330, {kUdp, kPeer, 50003, kPhone, 40001, "rtcp"}},
        {340, {kUdp, kPhone, 40002, kPeer, 50004, "stray"}},
    };
    EXPECT_TRUE(testframes::write_pcap(path, pkts));
    return path;
}

TEST(SipReplay, AnsweredCallAdmitsItsMediaBothWaysAndShows) {
    testap::Ap ap;
    ASSERT_EQ(ap.ctl("platform alg sip on").rc, 0);
    testap::Result r = ap.ctl("replay " + write_call(ap.dir()) + " --json");
    EXPECT_EQ(
        r.out,
        R"({"packets":8,"control":{"ftp":0,"tftp":0,"sip":3,"dns":0},"gates_opened":4,)"
        R"("gates_deleted":0,"flows_admitted":4,"flows_unadmitted":["udp 192.168.1.10:40002 > 10.0.0.1:50004"]})"
        "\n");

    // The call goes on after the capture: fed shows it, with the user names
    // apsim knows, and leaves no file of them behind.
    ASSERT_EQ(ap.ctl("platform station 02:00:00:00:00:01 alice").rc, 0);
    const std::string call =
        "Total number of SIP calls : 1\n"
        "\n(user=alice, MAC=02:00:00:00:00:01) <-> (user=N/A, MAC=02:00:00:00:00:02)\n"
        "From:<sip:a@a>\nTo:<sip:b@b>\nCall-id:call-1\n"
        "Media :audio 192.168.1.10:40000 <-> 10.0.0.1:50000\n"
        "Media :audio 192.168.1.10:40001 <-> 10.0.0.1:50001\n";
    EXPECT_EQ(ap.ctl("show sip calls").out, call);
    EXPECT_EQ(ap.ctl("show sip calls call-id call-1").out, call);
    r = ap.ctl("show sip calls call-id call-2");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "");
    for (const auto& e : std::filesystem::directory_iterator(ap.dir()))
        EXPECT_NE(e.path().filename().string().rfind("sip-users", 0), 0u) << e.path();
}

TEST(SipReplay, RefusedCallOpensNothingAndGatesAreSips) {
    testap::Ap ap;
    for (const char* line : {"platform alg sip on", "platform cac on", "platform cac refuse 1"})
        ASSERT_EQ(ap.ctl(line).rc, 0) << line;
    EXPECT_EQ(ap.ctl("platform cac").out, "cac on refuse 1\n");
    std::string cap = write_call(ap.dir());
    testap::Result r = ap.ctl("replay " + cap + " --json");
    EXPECT_NE(r.out.find(R"("gates_opened":0,"gates_deleted":0,"flows_admitted":0,)"),
              std::string::npos)
        << r.out;
    std::string gates = ap.ctl("platform gates").out;
    EXPECT_NE(gates.find("message 82: udp 192.168.1.10:5060 > 10.0.0.1:5060 ctrl 1/"),
              std::string::npos)
        << gates;
    EXPECT_NE(gates.find(" flag 1 reply 1\n"), std::string::npos) << gates;

    // The FE has stopped refusing: the same call again is admitted, its gates
    // wait in the FE's table until its media come.
    ASSERT_EQ(ap.ctl("platform cac refuse 0").rc, 0);
    ASSERT_EQ(ap.ctl("replay " + cap + " --clock now").rc, 0);
    gates = ap.ctl("platform gates").out;
    EXPECT_NE(gates.find(" flag 1 reply 0\n"), std::string::npos) << gates;
    EXPECT_EQ(ap.ctl("platform cac bogus").out, "% Usage: platform cac [on|off]\n");
}

}  // namespace
