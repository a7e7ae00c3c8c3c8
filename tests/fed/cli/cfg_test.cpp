// Running-configuration steps of the FE settings, default-route VLANs and
// rate limits: nothing on a fresh access point; each changed setting gives
// its record, in order; every record renders to a line that parses back to
// the same record, byte by byte.
#include <gtest/gtest.h>

#include "fed/cli/qz_fed_cli.h"
#include "tests/support/cli.h"

namespace {

using namespace clitest;
using Records = std::vector<plat::CliLocalRecord>;

Records all_steps() {
    Records out;
    for (auto step : {qz_fed_rl_cli_cfg, qz_fed_cli_cfg_fe_settings, qz_fed_cli_cfg_route_vlan}) {
        Records r = emit(step);
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

class Cfg : public ApTest {};

TEST_F(Cfg, FreshAccessPointWritesNothing) {
    EXPECT_TRUE(all_steps().empty());
}

TEST_F(Cfg, EveryChangedSettingInOrder) {
    // Applied in an order unlike the running configuration's.
    for (const char* line : {
             "no ip path-mtu-discovery",
             "forwarding-engine notification-interval 120",
             "ip multicast tunnel block 239.1.1.1",
             "ip multicast tunnel block 224.5.0.0 255.255.0.0",
             "ip tcp-mss-threshold size 1300",
             "no ip tcp-mss-threshold",
             "forwarding-engine max-mac-sessions-per-station 20",
             "forwarding-engine max-ip-sessions-per-station 300",
             "forwarding-engine drop to-self-non-management-traffic",
             "forwarding-engine log firewall-dropped-packets",
             "no forwarding-engine inter-ssid-flood",
             "forwarding-engine session-sync-vlan",
             "ip proxy-arp strict",
             "ip proxy-arp enhanced",
             "no ip proxy-arp",
             "interface eth1 l2-default-route vlan 7",
             "interface eth1 l2-default-route vlan 100 to 102",
             "interface eth1 l2-default-route vlan 4094",
             "interface red0 rate-limit unicast 500000",
             "interface eth0 rate-limit unicast",
             "interface eth0 rate-limit multicast 3000",
             "interface eth0 rate-limit broadcast 2000",
             "no interface eth0 rate-limit multicast",
             "no interface agg0 rate-limit broadcast",
         })
        EXPECT_EQ(cmd(line).rc, 0) << line;

    Records records = all_steps();
    EXPECT_EQ(lines(records),
              "no interface eth0 rate-limit multicast\n"
              "interface eth0 rate-limit unicast\n"
              "interface eth0 rate-limit broadcast 2000\n"
              "interface eth0 rate-limit multicast 3000\n"
              "no interface agg0 rate-limit broadcast\n"
              "interface red0 rate-limit unicast 500000\n"
              "no ip proxy-arp\n"
              "ip proxy-arp enhanced\n"
              "ip proxy-arp strict\n"
              "forwarding-engine session-sync-vlan\n"
              "no forwarding-engine inter-ssid-flood\n"
              "forwarding-engine log firewall-dropped-packets\n"
              "forwarding-engine drop to-self-non-management-traffic\n"
              "forwarding-engine max-ip-sessions-per-station 300\n"
              "forwarding-engine max-mac-sessions-per-station 20\n"
              "no ip tcp-mss-threshold\n"
              "ip tcp-mss-threshold size 1300\n"
              "ip multicast tunnel block 239.1.1.1\n"
              "ip multicast tunnel block 224.5.0.0 255.255.0.0\n"
              "forwarding-engine notification-interval 120\n"
              "no ip path-mtu-discovery\n"
              "interface eth1 l2-default-route vlan 7\n"
              "interface eth1 l2-default-route vlan 100 to 102\n"
              "interface eth1 l2-default-route vlan 4094\n");

    EXPECT_EQ(records.size(), 24u);
}

TEST_F(Cfg, BlockAllWithItsAllowList) {
    for (const char* line :
         {"ip multicast tunnel block-all", "ip multicast tunnel allow 239.0.0.1",
          "forwarding-engine log to-self-sessions", "forwarding-engine drop ip-fragmented-packets"})
        EXPECT_EQ(cmd(line).rc, 0) << line;
    EXPECT_EQ(lines(all_steps()),
              "forwarding-engine log to-self-sessions\n"
              "forwarding-engine drop ip-fragmented-packets\n"
              "ip multicast tunnel block-all\n"
              "ip multicast tunnel allow 239.0.0.1\n");
}

TEST_F(Cfg, UnreadableSettingsAreLeftOut) {
    for (const char* line :
         {"no ip proxy-arp", "forwarding-engine log to-self-sessions",
          "ip multicast tunnel block-all", "forwarding-engine notification-interval 30",
          "interface eth1 l2-default-route vlan 9", "no interface eth1 rate-limit broadcast"})
        EXPECT_EQ(cmd(line).rc, 0) << line;
    for (const char* f :
         {"fe_get_boolean_value:58", "qz_dcd_get_icsa", "fe_get_tunnel_multicast_status_size",
          "kcode:140", "qz_dcd_get_default_route_vlan", "kcode:128"})
        ap.fault(f, -1, -1);
    EXPECT_TRUE(all_steps().empty());
    EXPECT_NE(ap.log().find("Get ICSA info failed."), std::string::npos);
}

}  // namespace
