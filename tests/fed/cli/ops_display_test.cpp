// Policy, IP fragment, unroam, member-interface and tunnel displays (769-776,
// 962) against the FE model's tables, and the message of each failure.
#include <gtest/gtest.h>

#include <string>

#include "platform/fe.h"
#include "platform/fe/model.h"
#include "platform/qz.h"
#include "tests/support/cli.h"
#include "tests/support/text.h"

namespace {

using clitest::cmd;

struct OpsDisplay : ::testing::Test {
    testap::LocalAp ap;

    template <typename Fn>
    void fe(Fn fn) {
        std::lock_guard lock(ap.core().mu);
        fn(ap.core().fe);
    }
    void tunnel(std::uint16_t id, std::uint32_t src, std::uint32_t dst, std::uint32_t tx,
                std::uint32_t rx, std::int32_t idle_ms = -1, std::uint8_t type = 0,
                std::uint8_t zone = 2, std::uint32_t flags = 0) {
        fe([&](fem::Model& m) {
            ASSERT_TRUE(fem::ops_set_tunnel(
                m, fem::Tunnel{id, type, zone, flags, 2, idle_ms, src, dst, tx, 1, rx, 0}));
        });
    }
    std::string show(const std::string& line) {
        auto r = cmd(line);
        EXPECT_EQ(r.rc, 0) << r.out;
        return r.out;
    }
};

constexpr const char* kTunnelHeader =
    "Tunnel table:\n"
    "T=Type; Z=Zone; F=Flag; PN=policy numbers;\n"
    "Age Out=idle time of the tunnel since last receive packet\n"
    "TXs=TX packets; TXE=TX errors; RXs=RX packets; RXE=RX errors;\n"
    "Type: G=General route encapsulation; O=Other tunnel;\n"
    "Zone: A=Access; B=Backhaul;\n";
constexpr const char* kTunnelColumns =
    "ID   T Z F PN  Age Out  Src IP          Dst IP          TXs      TXE  RXs      RXE \n";

TEST_F(OpsDisplay, EmptyTablesPrintNothing) {
    EXPECT_EQ(show("show forwarding-engine policy"), "");
    EXPECT_EQ(show("show forwarding-engine ip-fragment"), "");
    EXPECT_EQ(show("show forwarding-engine tunnel"), "");
}

TEST_F(OpsDisplay, PolicyTable) {
    fe([](fem::Model& m) {
        fem::ops_add_policy(m, {{0, 0x11, 0x22, 0x33, 0x44, 0x55}, 1, 7, 1200, 3});
        fem::ops_add_policy(m, {{0, 0x11, 0x22, 0x33, 0x44, 0x66}, 2, -1, 0, 0});
    });
    EXPECT_EQ(show("show forwarding-engine policy"),
              "Policy table:\n"
              "TID=tunnel id;\n"
              "Total entries: 2\n\n"
              "No.  MAC             Direction TID      Packets      CAVC\n"
              "---- --------------- --------- -------- ------------------\n"
              "1    00:11:22:33:44:55 in         7          1200       3       \n"
              "2    00:11:22:33:44:66 out        -1         0          0       \n");
}

TEST_F(OpsDisplay, TunnelRowsKeepTheirColumnsForEveryAddressLength) {
    // Addresses of 7 to 15 characters, each both source and destination.
    const std::uint32_t addrs[] = {0x01010101, 0x0a010101, 0x0a0a0101, 0x0a0a0a01, 0x0a0a0a0a,
                                   0x640a0a0a, 0x64640a0a, 0x6464640a, 0x64646464};
    std::uint16_t id = 1;
    for (std::uint32_t a : addrs) tunnel(id++, a, a, 123456, 42, 61500);
    std::string out = show("show forwarding-engine tunnel");
    ASSERT_EQ(out.rfind(std::string(kTunnelHeader) + "Total entries: 9\n\n" + kTunnelColumns, 0),
              0u)
        << out;
    std::string cols(kTunnelColumns);
    std::size_t dst_col = cols.find("Dst IP"), tx_col = cols.find("TXs");
    std::size_t at = out.find("\n1    ");
    ASSERT_NE(at, std::string::npos);
    for (std::size_t n = 7; n <= 15; ++n, at = out.find('\n', at + 1)) {
        std::string row = out.substr(at + 1, out.find('\n', at + 1) - at - 1);
        SCOPED_TRACE(row);
        std::string addr = row.substr(24, n);
        EXPECT_EQ(row.substr(dst_col, n), addr);
        EXPECT_EQ(row[dst_col - 1], ' ');
        EXPECT_EQ(row.substr(tx_col, 7), "123456 ");
    }
    EXPECT_TRUE(testtext::has(
        out,
        "\n9    G B P 2   61       100.100.100.100 100.100.100.100 123456   1    42       0   \n"));
}

TEST_F(OpsDisplay, TunnelLetters) {
    tunnel(3, 0x0a000001, 0x0a000002, 0, 0, -1, 1, 1, FE_TUNNEL_CLIENT);
    EXPECT_TRUE(testtext::has(
        show("show forwarding-engine tunnel all"),
        "\n3    O A C 2   -1       10.0.0.1        10.0.0.2        0        1    0        0   \n"));
}

TEST_F(OpsDisplay, ClearTunnelCounters) {
    tunnel(1, 0x0a000001, 0x0a000002, 5, 6);
    ap.fault("fe_clear_tunnel_counters", -2, 1);
    auto r = cmd("clear forwarding-engine tunnel counters");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "error in cleaning tunnel counters\n");
    EXPECT_TRUE(
        testtext::has(show("show forwarding-engine tunnel"), " 5        1    6        0   \n"));
    r = cmd("clear forwarding-engine tunnel counters");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(
        testtext::has(show("show forwarding-engine tunnel"), " 0        0    0        0   \n"));
}

TEST_F(OpsDisplay, FragmentControlBlocks) {
    fe([](fem::Model& m) {
        fem::Fcb a{0x0a000001, 0xc0a80101, 4660, 17, {}};
        fem::ops_add_fragment(m, a, {1480, 2960});
        fem::ops_add_fragment(m, a, {4440, 5000});  // a hole before and between
        fem::Fcb b{0x0a000002, 0x0a000003, 7, 1, {}};
        fem::ops_add_fragment(m, b, {0, 1480});
    });
    EXPECT_EQ(show("show forwarding-engine ip-fragment"),
              "FCB List:\n"
              "Total FCBs: 2, Total Frags: 3\n\n"
              "No.  Src-IP            Dst-IP        IP-ID Proto\n"
              "---- --------------- --------------- ----- -----\n"
              "1    10.0.0.1        192.168.1.1     4660  17   \n"
              "\tFrag:1; Start:1480; End:2960\n"
              "\tFrag:2; Start:4440; End:5000\n"
              "\tTotal Frags: 2; Total Holes: 2\n\n"
              "2    10.0.0.2        10.0.0.3        7     1    \n"
              "\tFrag:1; Start:0; End:1480\n"
              "\tTotal Frags: 1; Total Holes: 0\n\n");
}

TEST_F(OpsDisplay, FragmentAgeoutTime) {
    EXPECT_EQ(show("show forwarding-engine ip-fragment ageout-time"),
              "IP Frag ageout time: 30 sec\n");
    EXPECT_EQ(show("forwarding-engine ip-fragment ageout-time 45"), "");
    EXPECT_EQ(show("show forwarding-engine ip-fragment ageout-time"),
              "IP Frag ageout time: 45 sec\n");

    ap.fault("fe_set_ip_frag_ageout_time", -22, 1);
    auto r = cmd("forwarding-engine ip-fragment ageout-time 9");
    EXPECT_NE(r.rc, 0);
    EXPECT_EQ(r.out, "error in configuring IP Frag ageout time, return: -22\n");
    ap.fault("fe_get_ip_frag_ageout_time", -5, 1);
    r = cmd("show forwarding-engine ip-fragment ageout-time");
    EXPECT_EQ(r.out, "error in getting IP Frag ageout time, return: -5\n");
    EXPECT_EQ(show("show forwarding-engine ip-fragment ageout-time"),
              "IP Frag ageout time: 45 sec\n");
}

TEST_F(OpsDisplay, UnroamAndMemberInterface) {
    std::uint32_t eth1 = qz_if_nametoindex("eth1");
    fe([&](fem::Model& m) {
        fem::ops_set_unroam(m, {{0, 1, 2, 3, 4, 5}, 60, 100, 12, false});
        fem::ops_set_unroam(m, {{0, 1, 2, 3, 4, 6}, 60, 100, 140, true});
        fem::ops_set_member(m, {{0, 1, 2, 3, 4, 5}, eth1});
    });
    const char* const unroamed =
        "00:01:02:03:04:06: config-duration 60 sec; config-threshold "
        "100 pkts; current-threshsold 140 pkts\n";
    clitest::run_steps(
        ap, {{"show forwarding-engine unroam station 00:01:02:03:04:05",
              "00:01:02:03:04:05: not reached monitor duration 60 sec\n"},
             {"show forwarding-engine unroam station 00:01:02:03:04:06", unroamed},
             {"show forwarding-engine unroam station 00:01:02:03:04:07",
              "00:01:02:03:04:07: not monitored for unroaming\n"},
             {"show forwarding-engine unroam station 00:01:02:03:04:05",
              "Error in getting unroam station threshold\n", -1, "fe_get_station_unroam_threshold"},
             {"show forwarding-engine member-interface src-mac 00:01:02:03:04:05", "eth1\n"},
             {"show forwarding-engine member-interface src-mac 00:01:02:03:04:06",
              "no member interface found\n"},
             {"show forwarding-engine member-interface src-mac 00:01:02:03:04:05",
              "error in getting member interface from MAC address\n", -1,
              "qz_get_member_ifindex_from_src_mac"}});
}

TEST_F(OpsDisplay, ReadFailures) {
    tunnel(1, 0x0a000001, 0x0a000002, 5, 6);
    fe([](fem::Model& m) {
        fem::ops_add_policy(m, {{0, 0x11, 0x22, 0x33, 0x44, 0x55}, 1, 7, 1200, 3});
        fem::ops_add_fragment(m, fem::Fcb{1, 2, 3, 17, {}}, {0, 8});
    });
    struct Case {
        const char* line;
        const char* fault;
        int rc;
        const char* out;
    };
    const Case cases[] = {
        {"show forwarding-engine policy", "fe_get_int_value:5", -3,
         "ERROR: error in get policy cnt\n"},
        {"show forwarding-engine policy", "fe_get_policy_table", -3,
         "ERROR: error in get policy list\n"},
        {"show forwarding-engine tunnel", "fe_get_int_value:6", -3,
         "ERROR: error in get tunnel cnt\n"},
        {"show forwarding-engine tunnel", "fe_get_tunnel_table", -3,
         "ERROR: error in get tunnel list\n"},
        {"show forwarding-engine ip-fragment", "fe_get_ip_fcb_cnt", -3,
         "ERROR: error in get FCB cnt\n"},
        {"show forwarding-engine ip-fragment", "fe_get_ip_fcb_list", -1,
         "FCB List:\nTotal FCBs: 1, Total Frags: 1\n\n"
         "No.  Src-IP            Dst-IP        IP-ID Proto\n"
         "---- --------------- --------------- ----- -----\n"
         "ERROR: error in get fcb list\n"},
    };
    for (const Case& c : cases) {
        ap.fault(c.fault, -3, 1);
        auto r = cmd(c.line);
        EXPECT_EQ(r.rc, c.rc) << c.fault;
        EXPECT_EQ(r.out, c.out) << c.fault;
    }
}

TEST_F(OpsDisplay, GreTunnelClearingPostsEvent113) {
    struct Case {
        const char* line;
        std::uint32_t kind, all, id;
        bool station;
    };
    const Case cases[] = {
        {"clear gre-tunnel server id 77", 2, 0, 77, false},
        {"clear gre-tunnel server station 00:01:02:03:04:05", 2, 0, 0, true},
        {"clear gre-tunnel server all", 2, 1, 0, false},
        {"clear gre-tunnel client id 77", 1, 0, 77, false},
        {"clear gre-tunnel client station 00:01:02:03:04:05", 1, 0, 0, true},
        {"clear gre-tunnel client all", 1, 1, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ap.clear_logs();
        auto r = cmd(c.line);
        EXPECT_EQ(r.rc, 0);
        EXPECT_EQ(r.out, "");
        auto ev = ap.events_sent();
        ASSERT_EQ(ev.size(), 1u);
        EXPECT_EQ(ev[0].event, 113u);
        std::vector<std::uint8_t> want(20, 0);
        wire::store_h<std::uint32_t>(&want[0], c.kind);
        wire::store_h<std::uint32_t>(&want[4], c.all);
        wire::store_h<std::uint32_t>(&want[8], c.id);
        if (c.station)
            for (std::uint8_t i = 0; i < 6; ++i) want[12 + i] = i;
        EXPECT_EQ(ev[0].payload, want);

        ap.fault("qz_event_send", -1, 1);
        EXPECT_TRUE(clitest::printed(
            cmd(c.line), c.station ? "Clear gre-tunnel station error:send event  fail!\n"
                                   : "Clear gre-tunnel error:send event  fail!\n"));
    }
}

TEST_F(OpsDisplay, UserProfileRedirectLivesInTheLibrary) {
    auto settings = [&] {
        std::lock_guard lock(ap.core().mu);
        return ap.core().dcd_fe.up_redir;
    };
    EXPECT_EQ(cmd("user-profile guest redirect portal-1").rc, 0);
    EXPECT_EQ(cmd("user-profile guest redirect portal-2").rc, 0);
    auto s = settings();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0][0], "guest");
    EXPECT_EQ(s[0][1], "portal-2");

    ap.fault("qz_dcd_set_up_redir", -9, 1);
    EXPECT_EQ(cmd("no user-profile guest redirect").rc, -9);
    EXPECT_EQ(settings().size(), 1u);
    EXPECT_EQ(cmd("user-profile guest redirect portal-2", {}, QZ_CMD_TYPE_NO).rc, 0)
        << "no clears whatever name the record holds";
    EXPECT_TRUE(settings().empty());
}

}  // namespace
