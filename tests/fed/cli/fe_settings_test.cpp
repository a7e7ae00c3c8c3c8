// FE switches and values: the fe_ call each command makes (number, value,
// description text), what it prints and returns, and its failure texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/qz.h"
#include "tests/support/cli.h"

namespace {

using namespace clitest;

class FeSettings : public ApTest {};

// Each command makes exactly one fe_ call, with this number, value and text;
// each switch sets 1, its "no" form 0.
TEST_F(FeSettings, CommandsMakeTheirFeCall) {
    struct Case {
        std::string line;
        proto::FeFn fn;
        std::uint32_t id;
        std::uint32_t value;
        const char* text;
    };
    std::vector<Case> cases = {
        {"forwarding-engine max-ip-sessions-per-station 100", proto::FeFn::SetInt, 78, 100,
         "set max session per station"},
        {"no forwarding-engine max-ip-sessions-per-station", proto::FeFn::SetInt, 78, 0,
         "set max session per station"},
        {"forwarding-engine max-mac-sessions-per-station 9", proto::FeFn::SetInt, 76, 9,
         "set max session per station"},
        {"no forwarding-engine max-mac-sessions-per-station", proto::FeFn::SetInt, 76, 0,
         "set max session per station"},
        {"forwarding-engine mac-session-refresh-time unicast 120", proto::FeFn::SetInt, 16, 120,
         "set unicast MAC session refresh time"},
        {"forwarding-engine mac-session-refresh-time broadcast 30", proto::FeFn::SetInt, 18, 30,
         "set broadcast MAC session refresh time"},
        {"ip tcp-mss-threshold size 1380", proto::FeFn::SetInt, 128, 1380,
         "set tunnel TCP MSS threshold size"},
        {"no ip tcp-mss-threshold size", proto::FeFn::SetInt, 128, 0,
         "set tunnel TCP MSS threshold size"},
    };
    const std::pair<const char*, std::pair<std::uint32_t, const char*>> switches[] = {
        {"forwarding-engine enable", {56, "set FE status"}},
        {"forwarding-engine session-sync-vlan", {157, "set FE sess sync vlan status"}},
        {"ip proxy-arp strict", {61, "set proxy arp status"}},
        {"forwarding-engine inter-ssid-flood", {65, "set inter-ssid flood status"}},
        {"ip tcp-mss-threshold", {126, "set tunnel TCP MSS threshold enable or disable"}},
        {"ip path-mtu-discovery", {130, "set ip PMTUD enable or disable"}},
    };
    for (const auto& [line, fe] : switches)
        for (bool no : {true, false})
            cases.push_back({no ? std::string("no ") + line : line, proto::FeFn::SetBoolean,
                             fe.first, no ? 0u : 1u, fe.second});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ap.clear_logs();
        EXPECT_TRUE(clitest::printed(cmd(c.line), ""));
        auto calls = ap.fe_calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].fn, c.fn);
        EXPECT_EQ(calls[0].id, c.id);
        EXPECT_EQ(calls[0].value, c.value);
        EXPECT_EQ(calls[0].text, c.text);
        if (c.fn == proto::FeFn::SetBoolean) {
            EXPECT_EQ(ap.fe_value(static_cast<std::uint16_t>(c.id)), c.value);
        }
    }
}

TEST_F(FeSettings, FailuresPrintTheirTextAndReturnTheirCode) {
    struct Case {
        const char* line;
        const char* fault;
        const char* out;
        int rc;
    } cases[] = {
        {"ip tcp-mss-threshold", "fe_set_boolean_value:126",
         "Unable to enable/disable TCP MSS threshold\n", 0x3001A},
        {"ip tcp-mss-threshold size 1400", "fe_set_int_value:128",
         "Unable to set value for TCP MSS threshold size\n", 0x3001B},
        {"show ip tcp-mss-threshold", "fe_get_boolean_value:127",
         "Unable to get TCP MSS threshold status\n", 0x3001D},
        {"show ip tcp-mss-threshold", "fe_get_int_value:129",
         "TCP MSS threshold: Enabled\nUnable to get TCP MSS threshold size\n", 0x3001C},
        {"no ip path-mtu-discovery", "fe_set_boolean_value:130",
         "Unable to enable/disable Path MTU Discovery\n", -1},
        {"show ip path-mtu-discovery", "fe_get_boolean_value:131",
         "Unable to get Path MTU Discovery status\n", -1},
        {"show forwarding-engine inter-ssid-flood", "fe_get_boolean_value:66",
         "ERROR: error in get inter ssid flood status from FE\n", -1},
        {"show forwarding-engine max-ip-sessions-per-station", "fe_get_int_value:79",
         "Get information fail\n", 0},
        {"show forwarding-engine max-mac-sessions-per-station", "fe_get_int_value:77",
         "Get information fail\n", 0},
        {"forwarding-engine mac-session-refresh-time broadcast 30", "fe_set_int_value:18",
         "Unable to set value for mac session age timeout\n", -1},
        {"show forwarding-engine mac-session-refresh-time", "fe_get_int_value:17",
         "Unable to get unicast mac session age timeout\n", -1},
        {"show forwarding-engine mac-session-refresh-time", "fe_get_int_value:19",
         "unicast mac session age timeout: 300 seconds\nUnable to get broadcast mac session age "
         "timeout\n",
         -1},
        {"show forwarding-engine notification-interval", "kcode:140", "", -1},
        {"forwarding-engine notification-interval 60", "qz_mpi_sendto_kernel:141", "", -1},
        {"show forwarding-engine registered-ports", "fe_get_registered_to_self_pkt_port",
         "Unable to get registered port from FE!\n", -1},
        {"forwarding-engine virtual-wire eth1 agg0", "fe_set_vwire_interfaces",
         "error in configuring vwire interfaces\n", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ap.fault(c.fault, -5, 1);
        EXPECT_TRUE(clitest::printed(cmd(c.line), c.out, c.rc));
        ap.fault_clear();
    }
}

TEST(FeSettingsShow, ShowsPrintTheFeValues) {
    struct Case {
        const char* line;
        std::uint16_t setting;  // 0: booted values
        std::uint32_t value;
        const char* out;
    } cases[] = {
        {"show forwarding-engine inter-ssid-flood", 0, 0, "Inter-SSID-Flood: Enabled\n"},
        {"show forwarding-engine inter-ssid-flood", 66, 0, "Inter-SSID-Flood: Disabled\n"},
        {"show forwarding-engine max-ip-sessions-per-station", 0, 0,
         " the maximum number of IP sessions :No limitation"},
        {"show forwarding-engine max-ip-sessions-per-station", 79, 50,
         " the maximum number of IP sessions :50"},
        {"show forwarding-engine max-mac-sessions-per-station", 0, 0,
         " the maximum number of MAC sessions :No limitation"},
        {"show forwarding-engine max-mac-sessions-per-station", 77, 7,
         " the maximum number of MAC sessions :7"},
        {"show forwarding-engine mac-session-refresh-time", 0, 0,
         "unicast mac session age timeout: 300 seconds\nbroadcast mac session age timeout: 60 "
         "seconds\n"},
        {"show ip tcp-mss-threshold", 0, 0,
         "TCP MSS threshold: Enabled\nTCP MSS threshold size: Auto\n"},
        {"show ip tcp-mss-threshold", 129, 1400,
         "TCP MSS threshold: Enabled\nTCP MSS threshold size: 1400 bytes\n"},
        {"show ip tcp-mss-threshold", 127, 0,
         "TCP MSS threshold: Disabled\nTCP MSS threshold size: Auto\n"},
        {"show ip path-mtu-discovery", 0, 0, "Path MTU Discovery: Enabled\n"},
        {"show ip path-mtu-discovery", 131, 0, "Path MTU Discovery: Disabled\n"},
        {"show forwarding-engine notification-interval", 0, 0,
         "Notification interval: 600 seconds\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        testap::LocalAp fresh;  // booted values for each case
        ASSERT_EQ(qz_fed_ipc_init(), 0);
        if (c.setting) {
            ASSERT_TRUE(fresh.set_fe_value(c.setting, c.value));
        }
        EXPECT_TRUE(clitest::printed(cmd(c.line), c.out));
        qz_fed_ipc_exit();
    }
}

TEST_F(FeSettings, NotificationIntervalTravelsOnTheKernelChannel) {
    // Only the low 16 bits of the word count.
    EXPECT_EQ(cmd("forwarding-engine notification-interval 120",
                  [](auto& rec) { replace_word(rec, 120, 0x10078); })
                  .rc,
              0);
    EXPECT_EQ(ap.notify_interval(), 120u);
    EXPECT_EQ(cmd("show forwarding-engine notification-interval").out,
              "Notification interval: 120 seconds\n");
    cmd("no forwarding-engine notification-interval");  // back to 600 seconds
    EXPECT_EQ(ap.notify_interval(), 600u);
    auto reqs = ap.kernel_requests();
    ASSERT_EQ(reqs.size(), 3u);
    EXPECT_EQ(reqs[0].code, 141);
    std::vector<std::uint8_t> want(8, 0);  // i32 result, u32 seconds
    wire::store_h<std::uint32_t>(want.data() + 4, 120);
    EXPECT_EQ(reqs[0].record, want);
    EXPECT_EQ(reqs[1].code, 140);
    EXPECT_EQ(load32(reqs[2].record, 4), 600u);
    ap.fault("kcode:141", -22, 1);
    EXPECT_EQ(cmd("forwarding-engine notification-interval 60").rc, -1);
    EXPECT_EQ(ap.notify_interval(), 600u);
}

TEST(FeSettingsDeathTest, SessionLimitsRefuseOtherCommandTypes) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testap::LocalAp ap;
    EXPECT_DEATH(cmd("forwarding-engine max-ip-sessions-per-station 1", {}, 1), "");
    EXPECT_DEATH(cmd("forwarding-engine max-mac-sessions-per-station 1", {}, 3), "");
    EXPECT_NE(ap.log().find("Assertion (0) failed at fed/cli/qz_fed_cli.cpp:"), std::string::npos);
}

// Proxy ARP and enhanced proxy tell the configuration daemon with event 247
// when both end up on (1) or one goes off (0).
TEST_F(FeSettings, ProxyArpTellsTheConfigurationDaemon) {
    struct Case {
        const char* line;
        std::uint16_t other;  // read number of the other switch
        std::uint32_t other_value;
        std::uint16_t self_set;
        int event;  // -1: none
    } cases[] = {
        {"ip proxy-arp", 60, 0, 57, -1},          {"ip proxy-arp", 60, 1, 57, 1},
        {"no ip proxy-arp", 60, 1, 57, 0},        {"ip proxy-arp enhanced", 58, 1, 59, 1},
        {"ip proxy-arp enhanced", 58, 0, 59, -1}, {"no ip proxy-arp enhanced", 58, 1, 59, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ap.set_fe_value(c.other, c.other_value);
        ap.clear_logs();
        EXPECT_TRUE(clitest::printed(cmd(c.line), ""));
        EXPECT_EQ(ap.fe_value(c.self_set), c.line[0] == 'n' ? 0u : 1u);
        auto events = ap.events_sent();
        if (c.event < 0) {
            EXPECT_TRUE(events.empty());
            continue;
        }
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].event, 247u);
        ASSERT_EQ(events[0].payload.size(), 4u);
        EXPECT_EQ(load32(events[0].payload, 0), static_cast<std::uint32_t>(c.event));
    }
    run_steps(ap, {{"no ip proxy-arp", "DCD set proxy-arp bit:send event  fail!\n", -1,
                    "qz_event_send:247"}});
}

// ---- ICSA switches: the FE and the configuration library's words 1-4.

std::uint32_t icsa_word(testap::LocalAp& ap, std::size_t w) {
    std::lock_guard lock(ap.core().mu);
    return ap.core().dcd_fe.icsa[w];
}

TEST_F(FeSettings, IcsaSwitchesGoToTheFeAndTheLibrary) {
    struct Case {
        const char* line;
        std::size_t word;
        std::uint32_t fe_id;
        const char* fe_text;
        const char* failure;
    } cases[] = {
        {"forwarding-engine log firewall-dropped-packets", 1, 101, "set firewall log deny",
         "Set firewall drop packets log failed.\n"},
        {"forwarding-engine log to-self-sessions", 2, 103, "set to-self traffic log",
         "Set to selt traffic log failed.\n"},
        {"forwarding-engine drop ip-fragmented-packets", 3, 107, "set ip fragment drop",
         "Set packets drop failed.\n"},
        {"forwarding-engine drop to-self-non-management-traffic", 4, 105,
         "set non mgt traffic drop", "Set non-management traffic drop failed.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ap.clear_logs();
        Ran r = cmd(c.line);
        EXPECT_EQ(r.rc, 0);
        EXPECT_EQ(r.out, "");
        auto calls = ap.fe_calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].id, c.fe_id);
        EXPECT_EQ(calls[0].value, 1u);
        EXPECT_EQ(calls[0].text, c.fe_text);
        EXPECT_EQ(icsa_word(ap, c.word), 1u);

        // Already on: neither the FE nor the library is asked again.
        ap.clear_logs();
        ap.fault("qz_dcd_set_icsa", -1, -1);
        EXPECT_EQ(cmd(c.line).rc, 0);
        EXPECT_TRUE(ap.fe_calls().empty());
        ap.fault_clear();

        // The FE refuses: its result comes back and the record stays.
        ap.fault("fe_set_boolean_value:" + std::to_string(c.fe_id), -7, 1);
        EXPECT_TRUE(clitest::printed(cmd(std::string("no ") + c.line), c.failure, -7));
        EXPECT_EQ(icsa_word(ap, c.word), 1u);

        EXPECT_EQ(cmd(std::string("no ") + c.line).rc, 0);
        EXPECT_EQ(icsa_word(ap, c.word), 0u);
    }
    EXPECT_EQ(icsa_word(ap, 0), 1u) << "the library's own word is kept";
}

TEST_F(FeSettings, IcsaRefusesOtherKeywordsAndReportsTheRead) {
    Ran r = cmd("forwarding-engine log to-self-sessions",
                [](auto& rec) { replace_text(rec, "to-self-sessions", "ip-fragmented"); });
    EXPECT_EQ(r.out, "Wrong keyword ip-fragmented.\n");
    EXPECT_EQ(r.rc, -1);
    r = cmd("forwarding-engine drop ip-fragmented-packets",
            [](auto& rec) { replace_text(rec, "ip-fragmented-packets", "firewall"); });
    EXPECT_EQ(r.out, "Wrong keyword firewall.\n");
    ap.fault("qz_dcd_get_icsa", -3, 2);
    EXPECT_TRUE(clitest::printed(cmd("forwarding-engine log firewall-dropped-packets"),
                                 "Get ICSA info failed.\n", -3));
    EXPECT_TRUE(
        clitest::printed(cmd("show forwarding-engine icsa"), "Get ICSA info failed.\n", -3));
    EXPECT_TRUE(ap.fe_calls().empty());
}

TEST_F(FeSettings, IcsaShowListsTheFourSwitches) {
    cmd("forwarding-engine log firewall-dropped-packets");
    cmd("forwarding-engine drop ip-fragmented-packets");
    Ran r = cmd("show forwarding-engine icsa");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out,
              "ICSA info:\n"
              "Firewall drop traffic log:     enabled\n"
              "To self sessions log:          disabled\n"
              "IP fragmented traffic drop:    enabled\n"
              "To self non-mgt traffic drop:  disabled\n");
}

TEST_F(FeSettings, VirtualWireNeedsTwoDifferentInterfaces) {
    std::uint32_t eth1 = qz_if_nametoindex("eth1");
    std::uint32_t agg0 = qz_if_nametoindex("agg0");
    ASSERT_NE(eth1, 0u);
    const std::string line = "forwarding-engine virtual-wire eth1 agg0 mac 02:00:00:00:00:09";
    EXPECT_EQ(cmd(line).rc, 0);
    auto calls = ap.fe_calls();
    ASSERT_EQ(calls.size(), 1u);
    std::vector<std::uint8_t> want(14);  // u32 index, u32 index, 6-byte MAC
    wire::store_h<std::uint32_t>(want.data(), eth1);
    wire::store_h<std::uint32_t>(want.data() + 4, agg0);
    want[8] = 2;
    want[13] = 9;
    EXPECT_EQ(calls[0].args, want);

    // Without its flag bit the MAC is zeros, whatever the record holds there.
    ap.clear_logs();
    cmd(line, [](auto& rec) { set_flags(rec, 3); });
    std::fill(want.begin() + 8, want.end(), 0);
    EXPECT_EQ(ap.fe_calls().at(0).args, want);

    ap.clear_logs();
    run_steps(ap, {{"forwarding-engine virtual-wire eth1 eth1",
                    "invalid interfaces, cannot be the same\n", -1}});
    Ran r = cmd(line, [](auto& rec) { set_flags(rec, 1); });  // one interface only
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(ap.fe_calls().empty());
}

TEST_F(FeSettings, RegisteredPortsTable) {
    run_steps(ap, {{"show forwarding-engine registered-ports",
                    "Register these ports in order to avoid FE drop these\n"
                    "to-self-traffic when enable drop non-management traffic.\n"
                    "Registered Ports Table:\n"
                    "No.   Port    Proto Port Direction  Note                            \n"
                    "----- ------- ----- --------------- --------------------------------\n"
                    "1     12222   UDP   Destination     CAPWAP control                  \n"
                    "2     3007    TCP   Destination     management agent                \n"
                    "3     5246    UDP   Source          CAPWAP replies                  \n"}});
}

}  // namespace
