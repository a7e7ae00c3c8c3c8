// MAC and IP session displays (764-767) and clearing (778-781), from
// sessions the FE model builds out of replayed packets.
#include <gtest/gtest.h>

#include <string>

#include "platform/fe/model.h"
#include "platform/fe/replay_flows.h"
#include "platform/qz.h"
#include "tests/support/cli.h"
#include "tests/support/text.h"

namespace {

using clitest::cmd;

constexpr std::uint8_t kProtoTcp = 6;
constexpr std::uint8_t kProtoUdp = 17;

struct SessionDisplay : ::testing::Test {
    testap::LocalAp ap;
    fem::ReplayIfaces ifs{qz_if_nametoindex("wifi0"), qz_if_nametoindex("eth0")};

    // One packet from station `sta` (last MAC byte) to the router, or back.
    void packet(std::uint8_t sta, bool back, std::uint8_t proto, std::uint32_t client,
                std::uint16_t cport, std::uint32_t server, std::uint16_t sport, std::size_t payload,
                std::uint64_t at_ms, std::uint16_t alg = 0) {
        static const std::uint8_t kData[64] = {};
        fem::FramePacket p{};
        std::uint8_t smac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, sta};
        std::uint8_t rmac[6] = {0x00, 0xaa, 0xbb, 0xcc, 0xdd, 0xee};
        std::memcpy(p.src_mac, back ? rmac : smac, 6);
        std::memcpy(p.dst_mac, back ? smac : rmac, 6);
        p.tuple = back ? fem::FlowTuple{proto, server, client, sport, cport}
                       : fem::FlowTuple{proto, client, server, cport, sport};
        p.payload = std::span<const std::uint8_t>(kData, payload);
        std::lock_guard lock(ap.core().mu);
        fem::alg_set_time(ap.core().fe, at_ms);
        fem::sessions_packet(ap.core().fe, p, ifs, alg, 60);
    }
    std::size_t calls(const std::string& name) {
        std::size_t n = 0;
        for (const fem::FeCall& c : ap.fe_calls()) n += c.text == name;
        return n;
    }
};

constexpr std::uint32_t kSta = 0x0a000005;     // 10.0.0.5
constexpr std::uint32_t kServer = 0xc0a80101;  // 192.168.1.1

constexpr const char* kMacHeader =
    "MAC session sync VLAN: Disabled\n"
    "MAC session table:\n"
    "Flags: E=Encapsulate; S=Self; C=Captive web portal\n"
    "       R=SMAC Route invalid;\n"
    "Zone: A=Access; B=Backhaul; Ageout: Ageout time (in ms)\n";

TEST_F(SessionDisplay, EmptyTablesPrintNothing) {
    for (const char* line :
         {"show forwarding-engine mac-session", "show forwarding-engine mac-session filter",
          "show forwarding-engine ip-session", "show forwarding-engine ip-session filter"}) {
        EXPECT_TRUE(clitest::printed(cmd(line), ""));
    }
}

TEST_F(SessionDisplay, TablesShowInstalledDirectionsOnly) {
    packet(1, false, kProtoTcp, kSta, 40000, kServer, 21, 10, 1000, 1);
    packet(1, true, kProtoTcp, kSta, 40000, kServer, 21, 30, 2000, 1);
    packet(1, false, kProtoUdp, kSta, 5353, kServer, 53, 20, 125000);  // reverse never seen
    EXPECT_TRUE(clitest::printed(
        cmd("show forwarding-engine mac-session"),
        std::string(kMacHeader) +
            "Total entries: 1/8191\n\n"
            "Id:1; Ageout:60000; Up:2 min 4 sec; Flag: 0x0; UPID: 0\n"
            "    00:11:22:33:44:01->00:aa:bb:cc:dd:ee,eth0; Tun:0; Flg:     (0x40);"
            " Paks:2; Bytes: 98; Zone:B; CAVC:0\n"
            "    00:aa:bb:cc:dd:ee->00:11:22:33:44:01,wifi0; Tun:0; Flg:     (0x0);"
            " Paks:1; Bytes:70; Zone:A; CAVC:0\n"));
    auto ip = cmd("show forwarding-engine ip-session");
    EXPECT_EQ(ip.rc, 0);
    EXPECT_EQ(ip.out,
              "IP session table:\n"
              "Ageout time (in ms)\n"
              "Total entries: 2/8191\n\n"
              "Id:1; Ageout:0; Flags:0x0; QOS:0; L7 ID:0; ALG=ftp; Up: 2 min 4 sec;\n"
              "    10.0.0.5/40000 -> 192.168.1.1/21; Proto 6; Flg:0x0; Pkts:1 Bytes:50 "
              "Parent-MAC-Sess: 1\n"
              "    192.168.1.1/21 -> 10.0.0.5/40000; Proto 6; Flg:0x0; Pkts:1 Bytes:70\n"
              "Id:2; Ageout:60000; Flags:0x0; QOS:0; L7 ID:0; ALG=n/a; Up: 0 min 0 sec;\n"
              "    10.0.0.5/5353 -> 192.168.1.1/53; Proto 17; Flg:0x0; Pkts:1 Bytes:48 "
              "Parent-MAC-Sess: 1\n");
}

TEST_F(SessionDisplay, ReadsBatchesOf16WhileTheCountSaysMore) {
    // Sessions and the batches of 16 that read them.
    for (auto [sessions, batches] : {std::pair{1, 1u}, {16, 1u}, {17, 2u}, {32, 2u}, {33, 3u}}) {
        SCOPED_TRACE(sessions);
        {
            std::lock_guard lock(ap.core().mu);
            fem::sessions_init(ap.core().fe);
        }
        for (int i = 0; i < sessions; ++i)
            packet(static_cast<std::uint8_t>(i), false, kProtoUdp, kSta + static_cast<unsigned>(i),
                   1000, kServer, 53, 0, 0);
        ap.clear_logs();
        auto mac = cmd("show forwarding-engine mac-session");
        auto ip = cmd("show forwarding-engine ip-session");
        EXPECT_EQ(calls("fe_get_mac_session_table"), std::size_t{batches});
        EXPECT_EQ(calls("fe_get_ip_session_table"), std::size_t{batches});
        auto lines = [](const std::string& s, const char* what) {
            std::size_t n = 0;
            for (auto at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
            return n;
        };
        EXPECT_EQ(lines(mac.out, "Id:"), static_cast<std::size_t>(sessions));
        EXPECT_EQ(lines(ip.out, "Id:"), static_cast<std::size_t>(sessions));
    }
}

TEST_F(SessionDisplay, FiltersPassTheirFieldsToTheFe) {
    packet(1, false, kProtoTcp, kSta, 40000, kServer, 21, 0, 0, 1);
    packet(2, false, kProtoUdp, kSta + 1, 5000, kServer, 53, 0, 0);
    packet(2, false, kProtoUdp, kSta + 1, 5001, kServer, 69, 0, 0, 2);
    auto ids = [](const std::string& s) {
        std::string out;
        for (auto at = s.find("Id:"); at != std::string::npos; at = s.find("Id:", at + 1))
            out += s.substr(at, s.find(';', at) - at + 1);
        return out;
    };
    struct Case {
        const char* filter;
        const char* expect;  // the one session ids shown, in order
    };
    for (Case c : {Case{"src-mac 00:11:22:33:44:02", "Id:2;"},
                   Case{"dst-mac 00:aa:bb:cc:dd:ee", "Id:1;Id:2;"}, Case{"vlan 7", ""}}) {
        auto r = cmd(std::string("show forwarding-engine mac-session filter ") + c.filter);
        EXPECT_EQ(ids(r.out), c.expect) << c.filter;
        EXPECT_NE(r.out.find("Total entries: 2/8191"), std::string::npos) << c.filter;
    }
    for (Case c : {Case{"src-ip 10.0.0.6", "Id:2;Id:3;"}, Case{"dst-port 69", "Id:3;"},
                   Case{"protocol 6", "Id:1;"}, Case{"alg 0", "Id:2;"},
                   Case{"src-port 5001 alg 2", "Id:3;"}}) {
        auto r = cmd(std::string("show forwarding-engine ip-session filter ") + c.filter);
        EXPECT_EQ(ids(r.out), c.expect) << c.filter;
    }
}

TEST_F(SessionDisplay, OneSessionInDetail) {
    packet(1, false, kProtoTcp, kSta, 40000, kServer, 21, 10, 1000, 1);
    packet(1, true, kProtoTcp, kSta, 40000, kServer, 21, 30, 71000, 1);
    auto mac = cmd("show forwarding-engine mac-session id 1");
    EXPECT_EQ(mac.rc, 0);
    EXPECT_EQ(
        mac.out,
        "ID=1; Ageout-Time=60000; Flag=0x0; UPID=0; Up:1 min 10 sec;\n"
        "Vector index=0x2; Tunnel ID=0;\n"
        "Src MAC=00:11:22:33:44:01; Dst MAC=00:aa:bb:cc:dd:ee; Next Hop=00:aa:bb:cc:dd:ee\n"
        "Interface=eth0; Zone=backhaul; Nhop-Metric=0; Packets=1; Bytes: 50\n"
        "Flags=Sta; Flow_flags=0x40; UPID=0; OutIf=" +
            std::to_string(ifs.server_side) +
            "; CAVC:0;\n"
            "Vector index=0x3; Tunnel ID=0;\n"
            "Src MAC=00:aa:bb:cc:dd:ee; Dst MAC=00:11:22:33:44:01; Next Hop=00:11:22:33:44:01\n"
            "Interface=wifi0; Zone=access; Nhop-Metric=0; Packets=1; Bytes: 70\n"
            "Flags=; Flow_flags=0x0; UPID=0; OutIf=" +
            std::to_string(ifs.client_side) + "; CAVC:0;\n");
    auto ip = cmd("show forwarding-engine ip-session id 1");
    EXPECT_EQ(ip.out,
              "ID=1; Ageout-Time=60000; Flags=0x0; Gate-Cnt=0; Data-Session-Cnt=0 L7 ID=0; "
              "ALG=ftp; Up: 1 min 10 sec\n"
              "Src-IP=10.0.0.5; Dst-IP=192.168.1.1;\n"
              " Src-Port=40000; Dst-Port=21; Proto=6, Flag=0x0; Flow_flag=0x0 Paks=1 Bytes: 50\n"
              "Src-IP=192.168.1.1; Dst-IP=10.0.0.5;\n"
              " Src-Port=21; Dst-Port=40000; Proto=6, Flag=0x0; Flow_flag=0x0 Paks=1 Bytes: 70\n");

    // Only one direction seen: the MAC session says so, the IP session omits it.
    packet(2, false, kProtoUdp, kSta + 1, 5000, kServer, 53, 0, 71000);
    mac = cmd("show forwarding-engine mac-session id 2");
    EXPECT_TRUE(testtext::has(mac.out, "Reverse flow not installed: Flags=0x8; Nhop-Metric=0;\n"));
    ip = cmd("show forwarding-engine ip-session id 2");
    EXPECT_EQ(ip.out.find("Src-IP=192.168.1.1"), std::string::npos) << ip.out;
}

TEST_F(SessionDisplay, Failures) {
    struct Case {
        const char* fault;
        const char* line;
        int rc;
        const char* tail;  // how the output ends
    };
    packet(1, false, kProtoTcp, kSta, 40000, kServer, 21, 0, 0);
    Case cases[] = {
        {"fe_get_int_value:3", "show forwarding-engine mac-session", -7,
         "ERROR: Cannot get mac session cnt\n"},
        {"fe_get_mac_session_table", "show forwarding-engine mac-session filter", -7,
         "Total entries: 1/8191\n\nERROR: error code in reading mac sessions..\n"},
        {"fe_get_one_mac_session", "show forwarding-engine mac-session id 1", -1,
         "ERROR: error in get specified mac session or specified mac session not exist!\n"},
        {"", "show forwarding-engine mac-session id 9", 0, "ERROR: specified flow not exist!\n"},
        {"fe_get_int_value:41", "show forwarding-engine ip-session", -7,
         "ERROR: Cannot get ip session cnt\n"},
        {"fe_get_ip_session_table", "show forwarding-engine ip-session filter", -7,
         "Total entries: 1/8191\n\nERROR: error code in reading ip sessions..\n"},
        {"fe_get_one_ip_session", "show forwarding-engine ip-session id 1", -1,
         "ERROR: error in get specified ip session or specified ip session not exist!\n"},
        {"", "show forwarding-engine ip-session id 9", 0,
         "ERROR: specified IP session does not exist!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        if (*c.fault) ap.fault(c.fault, -7, 1);
        auto r = cmd(c.line);
        EXPECT_EQ(r.rc, c.rc);
        ASSERT_GE(r.out.size(), std::strlen(c.tail));
        EXPECT_EQ(r.out.substr(r.out.size() - std::strlen(c.tail)), c.tail);
    }
}

TEST_F(SessionDisplay, ClearingRemovesWhatItNames) {
    packet(1, false, kProtoTcp, kSta, 40000, kServer, 21, 0, 0);
    packet(1, false, kProtoUdp, kSta, 5000, kServer, 53, 0, 0);
    packet(2, false, kProtoUdp, kSta + 1, 5000, kServer, 53, 0, 0);
    packet(3, false, kProtoUdp, kSta + 2, 5000, kServer, 123, 0, 0);
    auto count = [&](std::uint16_t id) { return ap.fe_value(id); };
    ASSERT_EQ(count(3), 3u);
    ASSERT_EQ(count(41), 4u);

    EXPECT_EQ(cmd("clear forwarding-engine mac-session id 2").rc, 0);
    EXPECT_EQ(count(3), 2u);
    EXPECT_EQ(cmd("clear forwarding-engine mac-session id 2").rc, 0)
        << "a session that is gone still succeeds";
    EXPECT_EQ(cmd("clear forwarding-engine mac-session filter src-mac 00:11:22:33:44:03").rc, 0);
    EXPECT_EQ(count(3), 1u);
    EXPECT_EQ(cmd("clear forwarding-engine ip-session filter dst-port 53").rc, 0);
    EXPECT_EQ(count(41), 2u);
    EXPECT_EQ(cmd("clear forwarding-engine ip-session id 1").rc, 0);
    EXPECT_EQ(count(41), 1u);
    EXPECT_EQ(cmd("clear forwarding-engine ip-session").rc, 0);
    EXPECT_EQ(count(41), 1u) << "without an id no session is cleared";
    EXPECT_EQ(cmd("clear forwarding-engine ip-session filter").rc, 0);
    EXPECT_EQ(count(41), 0u);
    EXPECT_EQ(cmd("show forwarding-engine ip-session").out, "");
}

}  // namespace
