// FE switches and values: the fe_ call each command makes (number, value,
// description text), what it prints and returns, and its failure texts.
#include <gtest/gtest.h>

#include "fed/cli/qz_fed_cli.h"
#include "tests/fed/cli/cli_support.h"

namespace {

using namespace clitest;
namespace arg = qz_fed_arg;

class FeSettings : public ApTest {};

struct SwitchCase {
    const char* name;
    Handler h;
    std::uint32_t cmd;
    std::uint32_t id;
    const char* text;
};

const SwitchCase kSwitches[] = {
    {"fe", qz_fed_cli_fe_status, 788, 56, "set FE status"},
    {"sess-sync", qz_fed_cli_sess_sync_vlan, 789, 157, "set FE sess sync vlan status"},
    {"strict", qz_fed_cli_proxy_arp_strict, 792, 61, "set proxy arp status"},
    {"flood", qz_fed_cli_inter_ssid_flood, 797, 65, "set inter-ssid flood status"},
    {"mss", qz_fed_cli_tcp_mss, 989, 126, "set tunnel TCP MSS threshold enable or disable"},
    {"pmtud", qz_fed_cli_pmtud, 997, 130, "set ip PMTUD enable or disable"},
};

TEST_F(FeSettings, SwitchesSetOneForPlainAndZeroForNo) {
    for (const SwitchCase& c : kSwitches) {
        SCOPED_TRACE(c.name);
        for (std::uint32_t type : {kNo, kPlain}) {
            ap.clear_logs();
            Ran r = run(c.h, c.cmd, type);
            EXPECT_EQ(r.rc, 0);
            EXPECT_EQ(r.out, "");
            auto calls = ap.fe_calls();
            ASSERT_EQ(calls.size(), 1u);
            EXPECT_EQ(calls[0].id, c.id);
            EXPECT_EQ(calls[0].value, type == kNo ? 0u : 1u);
            EXPECT_EQ(calls[0].text, c.text);
            EXPECT_EQ(ap.fe_value(static_cast<std::uint16_t>(c.id)), type == kNo ? 0u : 1u);
        }
    }
}

struct FailCase {
    const char* name;
    Handler h;
    std::uint32_t cmd;
    std::uint32_t type;
    Rec rec;
    const char* fault;
    const char* out;
    int rc;
};

TEST_F(FeSettings, FailuresPrintTheirTextAndReturnTheirCode) {
    const FailCase cases[] = {
        {"mss", qz_fed_cli_tcp_mss, 989, kPlain, Rec(12), "fe_set_boolean_value:126",
         "Unable to enable/disable TCP MSS threshold\n", 0x3001A},
        {"mss size", qz_fed_cli_tcp_mss_size, 990, kPlain, Rec(16).word(12, 1400),
         "fe_set_int_value:128", "Unable to set value for TCP MSS threshold size\n", 0x3001B},
        {"mss show status", qz_fed_cli_tcp_mss_show, 991, kPlain, Rec(12),
         "fe_get_boolean_value:127", "Unable to get TCP MSS threshold status\n", 0x3001D},
        {"mss show size", qz_fed_cli_tcp_mss_show, 991, kPlain, Rec(12), "fe_get_int_value:129",
         "TCP MSS threshold: Enabled\nUnable to get TCP MSS threshold size\n", 0x3001C},
        {"pmtud", qz_fed_cli_pmtud, 997, kNo, Rec(12), "fe_set_boolean_value:130",
         "Unable to enable/disable Path MTU Discovery\n", -1},
        {"pmtud show", qz_fed_cli_pmtud_show, 998, kPlain, Rec(12), "fe_get_boolean_value:131",
         "Unable to get Path MTU Discovery status\n", -1},
        {"flood show", qz_fed_cli_inter_ssid_flood_show, 768, kPlain, Rec(12),
         "fe_get_boolean_value:66", "ERROR: error in get inter ssid flood status from FE\n", -1},
        {"ip sessions show", qz_fed_cli_max_ip_sessions_show, 965, kPlain, Rec(12),
         "fe_get_int_value:79", "Get information fail\n", 0},
        {"mac sessions show", qz_fed_cli_max_mac_sessions_show, 966, kPlain, Rec(12),
         "fe_get_int_value:77", "Get information fail\n", 0},
        {"refresh", qz_fed_cli_mac_refresh, 983, kPlain,
         Rec(52).flags(3).text(12, "broadcast").word(48, 30), "fe_set_int_value:18",
         "Unable to set value for mac session age timeout\n", -1},
        {"refresh show unicast", qz_fed_cli_mac_refresh_show, 984, kPlain, Rec(12),
         "fe_get_int_value:17", "Unable to get unicast mac session age timeout\n", -1},
        {"refresh show broadcast", qz_fed_cli_mac_refresh_show, 984, kPlain, Rec(12),
         "fe_get_int_value:19",
         "unicast mac session age timeout: 300 seconds\nUnable to get broadcast mac session age "
         "timeout\n",
         -1},
        {"notify show", qz_fed_cli_notify_interval_show, 980, kPlain, Rec(12), "kcode:140", "", -1},
        {"notify set", qz_fed_cli_notify_interval, 979, kPlain, Rec(16).word(12, 60),
         "qz_mpi_sendto_kernel:141", "", -1},
        {"ports", qz_fed_cli_reg_ports_show, 992, kPlain, Rec(12),
         "fe_get_registered_to_self_pkt_port", "Unable to get registered port from FE!\n", -1},
        {"vwire", qz_fed_cli_vwire, 798, kPlain,
         Rec(104).flags(3).text(16, "eth1").text(56, "agg0"), "fe_set_vwire_interfaces",
         "error in configuring vwire interfaces\n", -1},
    };
    for (const FailCase& c : cases) {
        SCOPED_TRACE(c.name);
        ap.fault(c.fault, -5, 1);
        Ran r = run(c.h, c.cmd, c.type, c.rec);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.rc, c.rc);
        ap.fault_clear();
    }
}

struct ShowCase {
    const char* name;
    Handler h;
    std::uint32_t cmd;
    std::uint16_t setting;  // 0: booted values
    std::uint32_t value;
    const char* out;
};

TEST(FeSettingsShow, ShowsPrintTheFeValues) {
    const ShowCase cases[] = {
        {"flood", qz_fed_cli_inter_ssid_flood_show, 768, 0, 0, "Inter-SSID-Flood: Enabled\n"},
        {"flood off", qz_fed_cli_inter_ssid_flood_show, 768, 66, 0, "Inter-SSID-Flood: Disabled\n"},
        {"ip sessions", qz_fed_cli_max_ip_sessions_show, 965, 0, 0,
         " the maximum number of IP sessions :No limitation"},
        {"ip sessions 50", qz_fed_cli_max_ip_sessions_show, 965, 79, 50,
         " the maximum number of IP sessions :50"},
        {"mac sessions", qz_fed_cli_max_mac_sessions_show, 966, 0, 0,
         " the maximum number of MAC sessions :No limitation"},
        {"mac sessions 7", qz_fed_cli_max_mac_sessions_show, 966, 77, 7,
         " the maximum number of MAC sessions :7"},
        {"refresh", qz_fed_cli_mac_refresh_show, 984, 0, 0,
         "unicast mac session age timeout: 300 seconds\nbroadcast mac session age timeout: 60 "
         "seconds\n"},
        {"mss", qz_fed_cli_tcp_mss_show, 991, 0, 0,
         "TCP MSS threshold: Enabled\nTCP MSS threshold size: Auto\n"},
        {"mss size", qz_fed_cli_tcp_mss_show, 991, 129, 1400,
         "TCP MSS threshold: Enabled\nTCP MSS threshold size: 1400 bytes\n"},
        {"mss off", qz_fed_cli_tcp_mss_show, 991, 127, 0,
         "TCP MSS threshold: Disabled\nTCP MSS threshold size: Auto\n"},
        {"pmtud", qz_fed_cli_pmtud_show, 998, 0, 0, "Path MTU Discovery: Enabled\n"},
        {"pmtud off", qz_fed_cli_pmtud_show, 998, 131, 0, "Path MTU Discovery: Disabled\n"},
        {"notify", qz_fed_cli_notify_interval_show, 980, 0, 0,
         "Notification interval: 600 seconds\n"},
    };
    for (const ShowCase& c : cases) {
        SCOPED_TRACE(c.name);
        testap::LocalAp fresh;  // booted values for each case
        ASSERT_EQ(qz_fed_ipc_init(), 0);
        if (c.setting) {
            ASSERT_TRUE(fresh.set_fe_value(c.setting, c.value));
        }
        Ran r = run(c.h, c.cmd, kPlain);
        EXPECT_EQ(r.rc, 0);
        EXPECT_EQ(r.out, c.out);
        qz_fed_ipc_exit();
    }
}

TEST_F(FeSettings, ValuesReachTheFeWithTheirTexts) {
    struct ValueCase {
        const char* name;
        Handler h;
        std::uint32_t cmd;
        std::uint32_t type;
        Rec rec;
        std::uint32_t id;
        std::uint32_t value;
        const char* text;
    } cases[] = {
        {"ip sessions", qz_fed_cli_max_ip_sessions, 963, kPlain, Rec(16).word(12, 100), 78, 100,
         "set max session per station"},
        {"no ip sessions", qz_fed_cli_max_ip_sessions, 963, kNo, Rec(16).word(12, 100), 78, 0,
         "set max session per station"},
        {"mac sessions", qz_fed_cli_max_mac_sessions, 964, kPlain, Rec(16).word(12, 9), 76, 9,
         "set max session per station"},
        {"no mac sessions", qz_fed_cli_max_mac_sessions, 964, kNo, Rec(16), 76, 0,
         "set max session per station"},
        {"unicast refresh", qz_fed_cli_mac_refresh, 983, kPlain,
         Rec(52).flags(3).text(12, "unicast").word(48, 120), 16, 120,
         "set unicast MAC session refresh time"},
        {"broadcast refresh", qz_fed_cli_mac_refresh, 983, kPlain,
         Rec(52).flags(3).text(12, "broadcast").word(48, 30), 18, 30,
         "set broadcast MAC session refresh time"},
        {"mss size", qz_fed_cli_tcp_mss_size, 990, kPlain, Rec(16).word(12, 1380), 128, 1380,
         "set tunnel TCP MSS threshold size"},
        {"no mss size", qz_fed_cli_tcp_mss_size, 990, kNo, Rec(16).word(12, 1380), 128, 0,
         "set tunnel TCP MSS threshold size"},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.name);
        ap.clear_logs();
        Ran r = run(c.h, c.cmd, c.type, c.rec);
        EXPECT_EQ(r.rc, 0);
        EXPECT_EQ(r.out, "");
        auto calls = ap.fe_calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].fn, proto::FeFn::SetInt);
        EXPECT_EQ(calls[0].id, c.id);
        EXPECT_EQ(calls[0].value, c.value);
        EXPECT_EQ(calls[0].text, c.text);
    }
}

TEST_F(FeSettings, NotificationIntervalTravelsOnTheKernelChannel) {
    // Only the low 16 bits of the word count; the no form restores 600 seconds.
    Ran r = run(qz_fed_cli_notify_interval, 979, kPlain, Rec(16).word(12, 0x10078));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(ap.notify_interval(), 0x78u);
    EXPECT_EQ(run(qz_fed_cli_notify_interval_show, 980, kPlain).out,
              "Notification interval: 120 seconds\n");
    run(qz_fed_cli_notify_interval, 979, kNo, Rec(16).word(12, 5));
    EXPECT_EQ(ap.notify_interval(), 600u);
    auto reqs = ap.kernel_requests();
    ASSERT_EQ(reqs.size(), 3u);
    EXPECT_EQ(reqs[0].code, 141);
    std::vector<std::uint8_t> want(8, 0);
    wire::store_h<std::uint32_t>(want.data() + 4, 0x78);
    EXPECT_EQ(reqs[0].record, want);
    EXPECT_EQ(reqs[1].code, 140);
    EXPECT_EQ(load32(reqs[2].record, 4), 600u);
    ap.fault("kcode:141", -22, 1);
    EXPECT_EQ(run(qz_fed_cli_notify_interval, 979, kPlain, Rec(16).word(12, 60)).rc, -1);
    EXPECT_EQ(ap.notify_interval(), 600u);
}

TEST(FeSettingsDeathTest, SessionLimitsRefuseOtherCommandTypes) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testap::LocalAp ap;
    EXPECT_DEATH(run(qz_fed_cli_max_ip_sessions, 963, 1, Rec(16)), "");
    EXPECT_DEATH(run(qz_fed_cli_max_mac_sessions, 964, 3, Rec(16)), "");
    EXPECT_NE(log_text(ap).find("Assertion (0) failed at fed/cli/qz_fed_cli.cpp:"),
              std::string::npos);
}

// Proxy ARP and enhanced proxy tell the configuration daemon with event 247.
TEST_F(FeSettings, ProxyArpTellsTheConfigurationDaemon) {
    struct Case {
        const char* name;
        Handler h;
        std::uint32_t cmd;
        std::uint32_t type;
        std::uint16_t other;  // read number of the other switch
        std::uint32_t other_value;
        std::uint16_t self_set;
        int event;  // -1: none
    } cases[] = {
        {"proxy on, enhanced off", qz_fed_cli_proxy_arp, 790, kPlain, 60, 0, 57, -1},
        {"proxy on, enhanced on", qz_fed_cli_proxy_arp, 790, kPlain, 60, 1, 57, 1},
        {"proxy off", qz_fed_cli_proxy_arp, 790, kNo, 60, 1, 57, 0},
        {"enhanced on, proxy on", qz_fed_cli_enhanced_proxy, 791, kPlain, 58, 1, 59, 1},
        {"enhanced on, proxy off", qz_fed_cli_enhanced_proxy, 791, kPlain, 58, 0, 59, -1},
        {"enhanced off", qz_fed_cli_enhanced_proxy, 791, kNo, 58, 1, 59, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ap.set_fe_value(c.other, c.other_value);
        ap.clear_logs();
        Ran r = run(c.h, c.cmd, c.type);
        EXPECT_EQ(r.rc, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(ap.fe_value(c.self_set), c.type == kNo ? 0u : 1u);
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
    ap.fault("qz_event_send:247", -1, 1);
    Ran r = run(qz_fed_cli_proxy_arp, 790, kNo);
    EXPECT_EQ(r.out, "DCD set proxy-arp bit:send event  fail!\n");
    EXPECT_EQ(r.rc, -1);
}

// ---- ICSA switches

struct IcsaCase {
    const char* name;
    Handler h;
    std::uint32_t cmd;
    const char* keyword;
    std::size_t word;
    std::uint32_t fe_id;
    const char* fe_text;
    const char* failure;
};

const IcsaCase kIcsa[] = {
    {"firewall log", qz_fed_cli_icsa_log, 794, "firewall-dropped-packets", 1, 101,
     "set firewall log deny", "Set firewall drop packets log failed.\n"},
    {"to-self log", qz_fed_cli_icsa_log, 794, "to-self-sessions", 2, 103, "set to-self traffic log",
     "Set to selt traffic log failed.\n"},
    {"fragments", qz_fed_cli_icsa_drop, 795, "ip-fragmented-packets", 3, 107,
     "set ip fragment drop", "Set packets drop failed.\n"},
    {"non-mgt", qz_fed_cli_icsa_drop, 795, "to-self-non-management-traffic", 4, 105,
     "set non mgt traffic drop", "Set non-management traffic drop failed.\n"},
};

std::uint32_t icsa_word(testap::LocalAp& ap, std::size_t w) {
    std::lock_guard lock(ap.core().mu);
    return ap.core().dcd_fe.icsa[w];
}

int fired(testap::LocalAp& ap, const std::string& name) {
    std::lock_guard lock(ap.core().mu);
    for (const fem::Fault& f : ap.core().faults.armed)
        if (f.name == name) return f.fired;
    return -1;
}

TEST_F(FeSettings, IcsaSwitchesGoToTheFeAndTheLibrary) {
    for (const IcsaCase& c : kIcsa) {
        SCOPED_TRACE(c.name);
        Rec rec = Rec(48).flags(1).text(12, c.keyword);
        ap.clear_logs();
        Ran r = run(c.h, c.cmd, kPlain, rec);
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
        EXPECT_EQ(run(c.h, c.cmd, kPlain, rec).rc, 0);
        EXPECT_TRUE(ap.fe_calls().empty());
        EXPECT_EQ(fired(ap, "qz_dcd_set_icsa"), 0);
        ap.fault_clear();

        // The FE refuses: its result comes back and the record stays.
        ap.fault(std::string("fe_set_boolean_value:") + std::to_string(c.fe_id), -7, 1);
        r = run(c.h, c.cmd, kNo, rec);
        EXPECT_EQ(r.out, c.failure);
        EXPECT_EQ(r.rc, -7);
        EXPECT_EQ(icsa_word(ap, c.word), 1u);

        EXPECT_EQ(run(c.h, c.cmd, kNo, rec).rc, 0);
        EXPECT_EQ(icsa_word(ap, c.word), 0u);
    }
    EXPECT_EQ(icsa_word(ap, 0), 1u) << "the library's own word is kept";
}

TEST_F(FeSettings, IcsaRefusesOtherKeywordsAndReportsTheRead) {
    Ran r = run(qz_fed_cli_icsa_log, 794, kPlain, Rec(48).flags(1).text(12, "ip-fragmented"));
    EXPECT_EQ(r.out, "Wrong keyword ip-fragmented.\n");
    EXPECT_EQ(r.rc, -1);
    r = run(qz_fed_cli_icsa_drop, 795, kPlain, Rec(48).flags(1).text(12, "firewall"));
    EXPECT_EQ(r.out, "Wrong keyword firewall.\n");
    ap.fault("qz_dcd_get_icsa", -3, 2);
    r = run(qz_fed_cli_icsa_log, 794, kPlain, Rec(48).flags(1).text(12, "firewall"));
    EXPECT_EQ(r.out, "Get ICSA info failed.\n");
    EXPECT_EQ(r.rc, -3);
    r = run(qz_fed_cli_icsa_show, 796, kPlain);
    EXPECT_EQ(r.out, "Get ICSA info failed.\n");
    EXPECT_EQ(r.rc, -3);
    EXPECT_TRUE(ap.fe_calls().empty());
}

TEST_F(FeSettings, IcsaShowListsTheFourSwitches) {
    run(qz_fed_cli_icsa_log, 794, kPlain, Rec(48).flags(1).text(12, "firewall-dropped-packets"));
    run(qz_fed_cli_icsa_drop, 795, kPlain, Rec(48).flags(1).text(12, "ip-fragmented-packets"));
    Ran r = run(qz_fed_cli_icsa_show, 796, kPlain);
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
    Rec rec = Rec(104).flags(7).text(16, "eth1").text(56, "agg0").mac(96, {2, 0, 0, 0, 0, 9});
    Ran r = run(qz_fed_cli_vwire, 798, kPlain, rec);
    EXPECT_EQ(r.rc, 0);
    auto calls = ap.fe_calls();
    ASSERT_EQ(calls.size(), 1u);
    std::vector<std::uint8_t> want(14);
    wire::store_h<std::uint32_t>(want.data(), eth1);
    wire::store_h<std::uint32_t>(want.data() + 4, agg0);
    want[8] = 2;
    want[13] = 9;
    EXPECT_EQ(calls[0].args, want);

    // Without bit 2 the MAC is zeros, whatever the record holds there.
    ap.clear_logs();
    run(qz_fed_cli_vwire, 798, kPlain, Rec(rec).flags(3));
    std::fill(want.begin() + 8, want.end(), 0);
    EXPECT_EQ(ap.fe_calls().at(0).args, want);

    ap.clear_logs();
    r = run(qz_fed_cli_vwire, 798, kPlain, Rec(104).flags(3).text(16, "eth1").text(56, "eth1"));
    EXPECT_EQ(r.out, "invalid interfaces, cannot be the same\n");
    EXPECT_EQ(r.rc, -1);
    r = run(qz_fed_cli_vwire, 798, kPlain, Rec(104).flags(1).text(16, "eth1"));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(ap.fe_calls().empty());
}

TEST_F(FeSettings, RegisteredPortsTable) {
    Ran r = run(qz_fed_cli_reg_ports_show, 992, kPlain);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out,
              "Register these ports in order to avoid FE drop these\n"
              "to-self-traffic when enable drop non-management traffic.\n"
              "Registered Ports Table:\n"
              "No.   Port    Proto Port Direction  Note                            \n"
              "----- ------- ----- --------------- --------------------------------\n"
              "1     12222   UDP   Destination     CAPWAP control                  \n"
              "2     3007    TCP   Destination     management agent                \n"
              "3     5246    UDP   Source          CAPWAP replies                  \n");
}

}  // namespace
