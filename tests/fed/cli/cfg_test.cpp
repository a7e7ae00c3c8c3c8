// Running-configuration steps of the FE settings, default-route VLANs and
// rate limits: nothing on a fresh access point; each changed setting gives
// its record, byte by byte and in order; every record renders to a line that
// parses back to the same record.
#include <gtest/gtest.h>

#include "fed/cli/qz_fed_cli.h"
#include "mgt/cli/fed/cmd_text.h"
#include "tests/fed/cli/cli_support.h"

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

// The lines of the records, each parsed back: same command, type and bytes.
std::string lines_of(const Records& records) {
    std::string text;
    for (const plat::CliLocalRecord& r : records) {
        EXPECT_EQ(r.type, 7u);
        std::optional<std::string> line = cmdtbl::render_record(r.cmd, r.data);
        if (!line) {
            ADD_FAILURE() << "record of " << r.cmd << " does not render";
            continue;
        }
        cmdtbl::ParseResult p = cmdtbl::parse_line(*line);
        EXPECT_TRUE(p.ok) << *line << ": " << p.error;
        EXPECT_EQ(p.cmd.id, r.cmd) << *line;
        std::uint32_t flags = wire::load_h<std::uint32_t>(r.data.data());
        EXPECT_EQ(p.cmd.type, (flags & 0x80000000u) ? 2u : 0u) << *line;
        EXPECT_EQ(p.cmd.record, r.data) << *line;
        text += *line + "\n";
    }
    return text;
}

class Cfg : public ApTest {};

TEST_F(Cfg, FreshAccessPointWritesNothing) {
    EXPECT_TRUE(all_steps().empty());
}

TEST_F(Cfg, EveryChangedSettingInOrder) {
    // Applied in an order unlike the running configuration's.
    run(qz_fed_cli_pmtud, 997, kNo);
    run(qz_fed_cli_notify_interval, 979, kPlain, Rec(16).word(12, 120));
    run(qz_fed_cli_mcast_block, 986, kPlain, Rec(24).flags(1).word(12, 6).ip(16, 239, 1, 1, 1));
    run(qz_fed_cli_mcast_block, 986, kPlain,
        Rec(24).flags(1).word(12, 23).ip(16, 224, 5, 0, 0).ip(20, 255, 255, 0, 0));
    run(qz_fed_cli_tcp_mss_size, 990, kPlain, Rec(16).word(12, 1300));
    run(qz_fed_cli_tcp_mss, 989, kNo);
    run(qz_fed_cli_max_mac_sessions, 964, kPlain, Rec(16).word(12, 20));
    run(qz_fed_cli_max_ip_sessions, 963, kPlain, Rec(16).word(12, 300));
    run(qz_fed_cli_icsa_drop, 795, kPlain,
        Rec(48).flags(1).text(12, "to-self-non-management-traffic"));
    run(qz_fed_cli_icsa_log, 794, kPlain, Rec(48).flags(1).text(12, "firewall-dropped-packets"));
    run(qz_fed_cli_inter_ssid_flood, 797, kNo);
    run(qz_fed_cli_sess_sync_vlan, 789, kPlain);
    run(qz_fed_cli_proxy_arp_strict, 792, kPlain);
    run(qz_fed_cli_enhanced_proxy, 791, kPlain);
    run(qz_fed_cli_proxy_arp, 790, kNo);
    for (auto [from, to] : {std::pair{7u, 7u}, std::pair{100u, 102u}, std::pair{4094u, 4094u}})
        run(qz_fed_cli_route_vlan, 995, kPlain,
            Rec(60).flags(7).text(12, "eth1").word(48, from).word(56, to));
    run(qz_fed_rl_cli_ucast_rate, 950, kPlain,
        Rec(56).flags(3).word(12, 17).text(16, "red0").word(52, 500000));
    run(qz_fed_rl_cli_switch, 947, kPlain,
        Rec(88).flags(3).word(12, 17).text(16, "eth0").text(52, "unicast"));
    run(qz_fed_rl_cli_mcast_rate, 948, kPlain,
        Rec(56).flags(3).word(12, 17).text(16, "eth0").word(52, 3000));
    run(qz_fed_rl_cli_bcast_rate, 949, kPlain,
        Rec(56).flags(3).word(12, 17).text(16, "eth0").word(52, 2000));
    run(qz_fed_rl_cli_switch, 947, kNo,
        Rec(88).flags(3).word(12, 17).text(16, "eth0").text(52, "multicast"));
    run(qz_fed_rl_cli_switch, 947, kNo,
        Rec(88).flags(3).word(12, 17).text(16, "agg0").text(52, "broadcast"));

    Records records = all_steps();
    EXPECT_EQ(lines_of(records),
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

    // Sizes, flag words and fields as the running configuration lays them out.
    ASSERT_EQ(records.size(), 24u);
    const plat::CliLocalRecord& sw = records[0];
    EXPECT_EQ(sw.cmd, 947u);
    ASSERT_EQ(sw.data.size(), 88u);
    EXPECT_EQ(load32(sw.data, 0), 0x80000003u);
    EXPECT_EQ(load32(sw.data, 12), 17u);
    EXPECT_STREQ(reinterpret_cast<const char*>(sw.data.data() + 16), "eth0");
    EXPECT_STREQ(reinterpret_cast<const char*>(sw.data.data() + 52), "multicast");
    EXPECT_EQ(records[2].data.size(), 56u);
    EXPECT_EQ(load32(records[2].data, 52), 2000u);
    EXPECT_EQ(records[6].data.size(), 12u);
    EXPECT_EQ(load32(records[6].data, 0), 0x80000000u);
    EXPECT_EQ(records[11].data.size(), 48u);
    EXPECT_EQ(load32(records[11].data, 0), 1u);
    EXPECT_EQ(records[13].data.size(), 16u);
    EXPECT_EQ(load32(records[13].data, 0), 0u);
    const plat::CliLocalRecord& single = records[17];
    ASSERT_EQ(single.data.size(), 24u);
    EXPECT_EQ(load32(single.data, 12), 6u);
    EXPECT_EQ(load32(single.data, 20), 0xFFFFFFFFu);
    EXPECT_EQ(load32(records[18].data, 12), 23u);
    const plat::CliLocalRecord& one = records[21];
    ASSERT_EQ(one.data.size(), 60u);
    EXPECT_EQ(load32(one.data, 0), 3u);
    EXPECT_EQ(load32(one.data, 48), 7u);
    EXPECT_EQ(load32(one.data, 56), 0u);
    EXPECT_EQ(load32(records[22].data, 0), 7u);
    EXPECT_EQ(load32(records[22].data, 56), 102u);
}

TEST_F(Cfg, BlockAllWithItsAllowList) {
    run(qz_fed_cli_mcast_block_all, 985, kPlain);
    run(qz_fed_cli_mcast_allow, 987, kPlain, Rec(24).flags(1).word(12, 6).ip(16, 239, 0, 0, 1));
    run(qz_fed_cli_icsa_log, 794, kPlain, Rec(48).flags(1).text(12, "to-self-sessions"));
    run(qz_fed_cli_icsa_drop, 795, kPlain, Rec(48).flags(1).text(12, "ip-fragmented-packets"));
    EXPECT_EQ(lines_of(all_steps()),
              "forwarding-engine log to-self-sessions\n"
              "forwarding-engine drop ip-fragmented-packets\n"
              "ip multicast tunnel block-all\n"
              "ip multicast tunnel allow 239.0.0.1\n");
}

TEST_F(Cfg, UnreadableSettingsAreLeftOut) {
    run(qz_fed_cli_proxy_arp, 790, kNo);
    run(qz_fed_cli_icsa_log, 794, kPlain, Rec(48).flags(1).text(12, "to-self-sessions"));
    run(qz_fed_cli_mcast_block_all, 985, kPlain);
    run(qz_fed_cli_notify_interval, 979, kPlain, Rec(16).word(12, 30));
    run(qz_fed_cli_route_vlan, 995, kPlain, Rec(60).flags(3).text(12, "eth1").word(48, 9));
    run(qz_fed_rl_cli_switch, 947, kNo,
        Rec(88).flags(3).word(12, 17).text(16, "eth1").text(52, "broadcast"));
    for (const char* f :
         {"fe_get_boolean_value:58", "qz_dcd_get_icsa", "fe_get_tunnel_multicast_status_size",
          "kcode:140", "qz_dcd_get_default_route_vlan", "kcode:128"})
        ap.fault(f, -1, -1);
    EXPECT_TRUE(all_steps().empty());
    EXPECT_NE(log_text(ap).find("Get ICSA info failed."), std::string::npos);
}

}  // namespace
