// QoS switches, policies, VLAN QoS, airtime admission and the Ethernet and
// SSID bindings of QoS profiles: refusals and their texts, what the FE holds
// afterwards, the local copy after a refused change, and the running
// configuration they write.
#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "fed/cli/qz_fed_qos_profile_cli.h"
#include "fed/cli/qz_qos_db.h"
#include "tests/support/cli.h"

namespace {

using namespace clitest;

class QosPolicy : public ApTest {
   protected:
    void SetUp() override {
        ApTest::SetUp();
        ASSERT_EQ(qz_qos_db_startup(), 0);
    }
    std::string cfg() { return lines(emit(qz_fed_qos_profile_cfg)); }
    fem::Model fe() {
        std::lock_guard lock(ap.core().mu);
        return ap.core().fe;
    }
    const fem::QosPolicy* policy(const fem::Model& m, const std::string& name) {
        for (const fem::QosPolicy& p : m.qpol.policies)
            if (p.name == name) return &p;
        return nullptr;
    }
};

TEST_F(QosPolicy, RefusalsChangeNothingAndAcceptedValuesReachTheFe) {
    run_steps(ap, {
                      {"qos policy p1 user-rate-limit 5000 user-profile-weight 5", ""},
                      {"qos policy p1 class 3 strict limit 100 weight 30",
                       "If mode is strict ,the weight must be zero !\n", -1},
                      {"qos policy p1 class 3 strict limit 100 weight 0", ""},
                      {"qos policy p1 user-profile-rate 6000",
                       "Your user  rate limit is greater than system default value !\n", -1},
                      {"qos policy p1 class 2 wrr limit 6000 weight 5",
                       "Your class  rate limit is greater than system  value !\n", -1},
                      {"qos policy p1 user-profile-rate 4000", ""},
                      {"no qos policy def-user-qos", "QoS policy is in use \n", -1},
                      {"no qos policy nosuch", "Invalid QoS policy name \n", -1},
                      {"qos policy p2", "", -1, "kcode:4"},
                      {"no qos vlan 30", "VLAN ID isn't found\n", -1},
                      {"qos cac roaming-weight 150",
                       "Available roaming weight is 100, cannot alloc 150 weight\n", -1},
                  });
    fem::Model m = fe();
    ASSERT_TRUE(policy(m, "p1"));
    EXPECT_FALSE(policy(m, "p2"));
    const fem::QosPolicy& p = *policy(m, "p1");
    EXPECT_EQ(p.user_rate, 5000u);
    EXPECT_EQ(p.up_weight, 5u);
    EXPECT_EQ(p.up_rate, 4000u);
    // Every class limit follows the rates down, 20000 of classes 6 and 7 too.
    std::array<std::uint32_t, 8> limits = {4000, 4000, 4000, 100, 4000, 4000, 4000, 4000};
    EXPECT_EQ(p.limit, limits);
    EXPECT_EQ(p.mode[3], 1u);
    EXPECT_EQ(p.weight[3], 0u);
    std::uint32_t roam = 0;
    fem::setting_value(m, 98, &roam);
    EXPECT_EQ(roam, 20u);
    // The local copy holds exactly what the FE holds.
    std::lock_guard lock(qz_qos_policy_db().mu);
    for (const qz_qos_db_policy_t& s : qz_qos_policy_db().policies) {
        EXPECT_NE(s.name, "p2");
        if (s.name != "p1") continue;
        EXPECT_EQ(s.limit, p.limit);
        EXPECT_EQ(s.up_rate, p.up_rate);
    }
}

TEST_F(QosPolicy, SwitchesShowAndWriteOnlyWhatDiffersFromABootedAp) {
    EXPECT_EQ(cfg(), "");
    EXPECT_TRUE(
        printed(cmd("show qos"),
                "QoS\tenabled\nAirtime-based QoS disabled\nRate preference weight: high\n"));
    run_steps(ap, {
                      {"no qos enable", ""},
                      {"qos airtime enable", ""},
                      {"qos rate-preference-weight moderate", ""},
                      {"qos cac enable", ""},
                      {"qos cac max-airtime 300", ""},
                      {"qos cac roaming-weight 30", ""},
                      {"qos policy gold class 7 strict limit 500 weight 0", ""},
                  });
    EXPECT_TRUE(
        printed(cmd("show qos"),
                "QoS\tdisabled\nAirtime-based QoS enabled\nRate preference weight: moderate\n"));
    std::string gold =
        "qos policy gold user-rate-limit 1000000 user-profile-weight 10 "
        "user-profile-rate 1000000\n";
    for (int c = 0; c < 8; ++c)
        gold += "qos policy gold class " + std::to_string(c) + (c < 6 ? " wrr" : " strict") +
                " limit " +
                (c < 6    ? "1000000"
                 : c == 6 ? "20000"
                          : "500") +
                " weight " + std::to_string(c < 6 ? 10 * (c + 1) : 0) + "\n";
    EXPECT_EQ(cfg(),
              "no qos enable\nqos cac enable\nqos cac max-airtime 300\n"
              "qos cac roaming-weight 30\nqos airtime enable\n"
              "qos rate-preference-weight moderate\n" +
                  gold);
    // After a restart of fed the local copy comes back from the FE.
    ASSERT_EQ(qz_qos_db_startup(), 0);
    EXPECT_NE(cfg().find(gold), std::string::npos);
    run_steps(ap, {
                      {"qos enable", ""},
                      {"no qos airtime enable", ""},
                      {"no qos rate-preference-weight", ""},
                      {"no qos cac enable", ""},
                      {"no qos cac max-airtime", ""},
                      {"no qos cac roaming-weight", ""},
                      {"no qos policy gold", ""},
                  });
    EXPECT_EQ(cfg(), "");
    EXPECT_TRUE(
        printed(cmd("show qos"),
                "QoS\tenabled\nAirtime-based QoS disabled\nRate preference weight: high\n"));
}

TEST_F(QosPolicy, VlanAndSnapshotDisplays) {
    run_steps(ap, {
                      {"qos vlan default rate-limit 8000 weight 7", ""},
                      {"qos vlan 30 rate-limit 2000 weight 3", ""},
                      {"qos performance-snapshot", ""},
                  });
    const std::string head = "No. VLAN ID            VLAN Rate Limit            VLAN Weight\n" +
                             std::string(61, '-') + "\n";
    EXPECT_TRUE(printed(cmd("show qos vlan default"),
                        "Default VLAN (VLAN ID = 1) QoS parameters\n" + head +
                            "1         1                   8000kbps                      7\n"));
    EXPECT_TRUE(printed(cmd("show qos vlan 30"),
                        "VLAN QoS parameters\n" + head +
                            "1        30                   2000kbps                      3\n"));
    EXPECT_TRUE(printed(cmd("show qos vlan 31"), "VLAN ID isn't found\n", -1));
    EXPECT_TRUE(
        printed(cmd("show qos performance-snapshot"), "QoS performance snapshot=enabled;\n"));
    EXPECT_EQ(fe().qpol.snapshot_interval, 10u);
}

TEST_F(QosPolicy, UserVlanAndProfileCountersShowAndClear) {
    {
        std::lock_guard lock(ap.core().mu);
        fem::StaCounters sta{{0, 1, 2, 3, 4, 5}, {}, {}};
        // 3 IP (UDP) packets from the station, 4 ARP to it: 7 packets.
        sta.in.proto[2] = sta.in.proto[4] = 3, sta.out.proto[1] = 4;
        sta.in.bytes = 300, sta.out.bytes = 1200;
        ap.core().fe.cnt.stas.push_back(sta);
    }
    auto user = [](const char* title, std::uint32_t pkts, std::uint32_t bytes) {
        std::string s = std::string(title) +
                        "No. Class  Packet Count  Byte Count           Drop Count  Average "
                        "Delay(ms)\n";
        char row[128];
        for (int c = 0; c < 8; ++c) {
            std::snprintf(row, sizeof row, "%-4d%3d    %-12u  %-20u %-10u %5u.%-3u\n", c + 1, c,
                          c == 2 ? pkts : 0, c == 2 ? bytes : 0, 0u, 0u, 0u);
            s += row;
        }
        return s;
    };
    const char* kSnap = "User QoS performance snapshot\n";
    const char* kStats = "User QoS statistics counters\n";
    const std::string kUpHead =
        "User profile QoS statistics counters \n"
        "No. User Profile        Pkt Count Byte Count   CLS Drop   PLC Drop   SCH Drop\n";
    const std::string kUsersHead =
        std::string(kStats) +
        "PC=packet count; BC=byte count; DC=drop count; AD=average delay;\n"
        "No. User MAC                          PC          BC         DC       AD(ms)\n";
    auto users = [](std::uint32_t pkts, std::uint32_t bytes) {
        char row[128];
        std::snprintf(row, sizeof row, "%-4d%-32s %-12u  %-10u %-10u %5u.%-3u\n", 1,
                      "00:01:02:03:04:05", pkts, bytes, 0u, 0u, 0u);
        return std::string(row);
    };
    ASSERT_EQ(cmd("user-profile staff vlan-id 1").rc, 0);
    struct Case {
        std::string line, out;
        int rc = 0;
        const char* fault = nullptr;
    };
    const Case kCases[] = {
        {"show qos performance-snapshot user 00:01:02:03:04:05", user(kSnap, 7, 1500)},
        {"show qos statistics user 00:01:02:03:04:05", user(kStats, 7, 1500)},
        {"show qos statistics users", kUsersHead + users(7, 1500)},
        {"show qos statistics users", kUsersHead, -1, "kcode:103"},
        {"show qos statistics user 00:01:02:03:04:06", "User ID isn't found\n", -1},
        {"clear qos statistics user 00:01:02:03:04:06", "User ID isn't found\n", -1},
        {"show qos statistics user 00:01:02:03:04:05", "", -1, "kcode:103"},
        {"clear qos statistics user", "", -1, "kcode:105"},
        {"clear qos statistics user 00:01:02:03:04:05", ""},
        {"show qos statistics user 00:01:02:03:04:05", user(kStats, 0, 0)},
        {"show qos statistics users", kUsersHead + users(0, 0)},
        // The station is in "default-profile" (VLAN 1); the user clear leaves VLANs alone.
        {"show qos performance-snapshot vlan 1",
         "Vlan QoS performance snapshot\nNo. VLAN      Drop Count    Packet Count      Byte Count "
         "     QoS Delay Time\n1      1               0               7            1500        "
         "       0\n"},
        {"show qos performance-snapshot vlan 30", "Vlan ID isn't found\n", -1},
        {"show qos statistics user-profile staff",
         kUpHead +
             "1 staff                         0          0          0          0          0\n"},
        {"show qos statistics user-profile-delay staff",
         "User profile QoS statistics counters \n"
         "PC=packet count; BC=byte count; DC=drop count; AD=average delay;\n"
         "No. User Profile Name                 PC          BC         DC       AD(ms)\n"
         "1   staff                            0             0          0              0.0  \n"},
        {"show qos statistics user-profile nobody", "Invalid user profile\n", -1},
        {"show qos statistics user-profile " + std::string(33, 'x'),
         "ERROR:The name of user profile exceeds maximum length(32)\n", -1},
        {"show qos statistics user-profile", "", -1, "kcode:123"},
        // Zeroed counters read zero, not less than the last user clear.
        {"clear forwarding-engine counters", "clear all counters"},
        {"show qos statistics user 00:01:02:03:04:05", user(kStats, 0, 0)},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.line);
        if (c.fault) ap.fault(c.fault, -1, 1);
        EXPECT_TRUE(printed(cmd(c.line), c.out, c.rc));
        if (c.fault) ap.fault_clear(c.fault);
    }
}

TEST_F(QosPolicy, CacShowListsTheBucketAndStationsAndClearZeroesThem) {
    {
        std::lock_guard lock(ap.core().mu);
        ap.core().cac_tb = {500, 300, 200, 150, 400, 20, 100, 50};
        ap.core().cac_stas.resize(2);
        for (std::uint8_t i = 0; i < 2; ++i) {
            auto& r = ap.core().cac_stas[i];
            r[5] = static_cast<std::uint8_t>(i + 1);
            wire::store_h<std::uint32_t>(r.data() + 8, 1234u + i);
            wire::store_h<std::uint32_t>(r.data() + 12, 56u);
        }
    }
    ASSERT_EQ(cmd("qos cac enable").rc, 0);
    auto show = [](const char* stations) {
        char head[64];
        std::string s;
        std::snprintf(head, sizeof head, "%-40s%s\n", "CAC status:", "enable");
        s += head;
        std::snprintf(head, sizeof head, "%-40s%u\n", "Station Count:", 2u);
        s += head;
        const std::pair<const char*, unsigned> kFigures[] = {
            {"Available airtime: ", 500},
            {"Guaranteed airtime (per-second):", 300},
            {"Allocated airtime (per second):", 200},
            {"Allocated airtime used (last second):", 150},
            {"Airtime used (last second):", 400},
            {"Airtime reserved for roaming calls:", 20},
            {"Shared airtime (per second):", 100},
            {"Shared airtime used (last second):", 50}};
        for (const auto& [label, v] : kFigures) {
            std::snprintf(head, sizeof head, "%-40s%u ms\n", label, v);
            s += head;
        }
        return s + stations;
    };
    struct Case {
        const char* line;
        std::string out;
        int rc = 0;
        const char* fault = nullptr;
    };
    const Case kCases[] = {
        {"show qos cac", show("00:00:00:00:00:01; Tx[1.234 sec]; Rx[0.056 sec]\n"
                              "00:00:00:00:00:02; Tx[1.235 sec]; Rx[0.056 sec]\n")},
        {"show qos cac", "error in getting cac airtime\n", -1, "qz_get_tb_list"},
        {"show qos cac", "error in getting station airtime\n", -1, "qz_get_sta_cac_airtime_list"},
        {"clear qos cac airtime 00:00:00:00:00:09", "", -1},
        {"clear qos cac airtime 00:00:00:00:00:02", ""},
        {"show qos cac", show("00:00:00:00:00:01; Tx[1.234 sec]; Rx[0.056 sec]\n"
                              "00:00:00:00:00:02; Tx[0.000 sec]; Rx[0.000 sec]\n")},
        {"clear qos cac airtime", ""},
        {"show qos cac", show("00:00:00:00:00:01; Tx[0.000 sec]; Rx[0.000 sec]\n"
                              "00:00:00:00:00:02; Tx[0.000 sec]; Rx[0.000 sec]\n")},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.line);
        if (c.fault) ap.fault(c.fault, -1, 1);
        EXPECT_TRUE(printed(cmd(c.line), c.out, c.rc));
        if (c.fault) ap.fault_clear(c.fault);
    }
}

TEST_F(QosPolicy, EthernetAndSsidBindings) {
    {
        std::lock_guard lock(ap.core().mu);
        ap.core().dcd_fe.ssid_ifaces = {{"corp", "wifi0.1"}, {"corp", "wifi1.1"}};
    }
    run_steps(ap, {
                      {"qos classifier-profile vc 8021p", ""},
                      {"qos marker-profile mk diffserv", ""},
                      {"interface eth1 qos-classifier vc", ""},
                      {"interface eth0 qos-classifier nosuch",
                       "Invalid QoS classifier profile name\n", -1},
                      {"ssid corp qos-classifier vc", ""},
                      {"ssid corp qos-marker nosuch", "Invalid QoS marker profile name\n", -1},
                      {"ssid guest qos-marker mk", ""},
                  });
    fem::Model m = fe();
    std::vector<std::string> got;
    for (const fem::QosBinding& b : m.qos.cls_binds)
        got.push_back(b.ifname + " " + b.profile + " " + std::to_string(b.kind));
    EXPECT_EQ(got, (std::vector<std::string>{"eth1 vc 17", "wifi0.1 vc 13", "wifi1.1 vc 13"}));
    EXPECT_TRUE(m.qos.mkr_binds.empty());
    std::string out = cmd("show interface eth1 qos-classifier").out;
    EXPECT_EQ(out,
              "Interface-based QoS classifier profile table\nTotal entries = 1\n"
              "No. Interface Name       QoS Classifier Profile\n" +
                  std::string(47, '-') + "\n1   eth1                 vc\n");
    EXPECT_NE(cmd("show ssid qos-marker").out.find("1   guest "), std::string::npos);
    EXPECT_EQ(cfg(),
              "qos classifier-profile vc 8021p\ninterface eth1 qos-classifier vc\n"
              "ssid corp qos-classifier vc\nqos marker-profile mk diffserv\n"
              "ssid guest qos-marker mk\n");
    // An interface bound into an aggregate is refused, naming the aggregate.
    std::uint32_t eth0 = qz_if_nametoindex("eth0"), agg0 = qz_if_nametoindex("agg0");
    {
        std::lock_guard lock(ap.core().mu);
        sim::ethx_change_locked(ap.core(), eth0)->bound = agg0;
    }
    EXPECT_TRUE(printed(cmd("interface eth0 qos-classifier vc"),
                        "interface eth0 has alreday bound to agg0! \n", -1));
    run_steps(
        ap, {{"no interface eth1 qos-classifier vc", ""}, {"no ssid corp qos-classifier vc", ""}});
    EXPECT_EQ(fe().qos.cls_binds.size(), 0u);
}

}  // namespace
