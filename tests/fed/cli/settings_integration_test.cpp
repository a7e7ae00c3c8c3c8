// FE settings and rate limits through the real programs: fedctl -> apsim's
// parser -> fed's handlers -> apsim's FE model and tables. The running
// configuration survives a round trip to a fresh access point, and failures
// under fault injection print the handlers' texts.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/ap.h"

namespace {

// Lines of the text that belong to these families.
bool own_line(const std::string& line) {
    static const char* const kPrefixes[] = {
        "ip proxy-arp",
        "no ip proxy-arp",
        "forwarding-engine",
        "no forwarding-engine",
        "ip multicast tunnel",
        "ip tcp-mss-threshold",
        "no ip tcp-mss-threshold",
        "no ip path-mtu-discovery",
    };
    for (const char* p : kPrefixes)
        if (line.rfind(p, 0) == 0) return true;
    bool iface = line.rfind("interface ", 0) == 0 || line.rfind("no interface ", 0) == 0;
    return iface && (line.find(" rate-limit ") != std::string::npos ||
                     line.find(" l2-default-route ") != std::string::npos);
}

std::string own_lines(const std::string& text) {
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (own_line(line)) out += line + "\n";
        pos = end + 1;
    }
    return out;
}

// Everything of both families set away from its default.
const char* kConfig =
    "no ip proxy-arp\n"
    "ip proxy-arp enhanced\n"
    "ip proxy-arp strict\n"
    "forwarding-engine session-sync-vlan\n"
    "no forwarding-engine inter-ssid-flood\n"
    "forwarding-engine log firewall-dropped-packets\n"
    "forwarding-engine log to-self-sessions\n"
    "forwarding-engine drop ip-fragmented-packets\n"
    "forwarding-engine drop to-self-non-management-traffic\n"
    "forwarding-engine max-ip-sessions-per-station 200\n"
    "forwarding-engine max-mac-sessions-per-station 16\n"
    "no ip tcp-mss-threshold\n"
    "ip tcp-mss-threshold size 1380\n"
    "ip multicast tunnel block 224.1.1.1 255.255.255.0\n"
    "ip multicast tunnel block 239.255.255.250\n"
    "forwarding-engine notification-interval 300\n"
    "no ip path-mtu-discovery\n"
    "interface eth1 l2-default-route vlan 10 to 20\n"
    "interface eth1 l2-default-route vlan 100\n"
    "interface eth1 l2-default-route vlan 4000 to 4094\n"
    "interface agg0 l2-default-route vlan 30\n"
    "forwarding-engine filter id 1 src-mac 00:11:22:33:44:55 etype 0x800 bidirectional\n"
    "forwarding-engine filter id 2 dhcp-client 00:aa:bb:cc:dd:ee\n"
    "forwarding-engine virtual-wire eth1 agg0\n"
    "forwarding-engine mac-session-refresh-time unicast 120\n"
    "no interface eth0 rate-limit broadcast\n"
    "no interface eth1 rate-limit multicast\n"
    "interface agg0 rate-limit unicast\n"
    "interface red0 rate-limit broadcast 5000\n"
    "interface red0 rate-limit multicast 6000\n"
    "interface red0 rate-limit unicast 70000\n";

const char* kRunning =
    "no interface eth0 rate-limit broadcast\n"
    "no interface eth1 rate-limit multicast\n"
    "interface agg0 rate-limit unicast\n"
    "interface red0 rate-limit broadcast 5000\n"
    "interface red0 rate-limit multicast 6000\n"
    "interface red0 rate-limit unicast 70000\n"
    "no ip proxy-arp\n"
    "ip proxy-arp enhanced\n"
    "ip proxy-arp strict\n"
    "forwarding-engine session-sync-vlan\n"
    "no forwarding-engine inter-ssid-flood\n"
    "forwarding-engine log firewall-dropped-packets\n"
    "forwarding-engine log to-self-sessions\n"
    "forwarding-engine drop ip-fragmented-packets\n"
    "forwarding-engine drop to-self-non-management-traffic\n"
    "forwarding-engine max-ip-sessions-per-station 200\n"
    "forwarding-engine max-mac-sessions-per-station 16\n"
    "no ip tcp-mss-threshold\n"
    "ip tcp-mss-threshold size 1380\n"
    "ip multicast tunnel block 224.1.1.0 255.255.255.0\n"
    "ip multicast tunnel block 239.255.255.250\n"
    "forwarding-engine notification-interval 300\n"
    "no ip path-mtu-discovery\n"
    "interface eth1 l2-default-route vlan 10 to 20\n"
    "interface eth1 l2-default-route vlan 100\n"
    "interface eth1 l2-default-route vlan 4000 to 4094\n";

std::string shows(testap::Ap& ap) {
    std::string s;
    for (const char* cmd :
         {"show forwarding-engine icsa", "show ip multicast tunnel", "show ip tcp-mss-threshold",
          "show interface eth1 l2-default-route", "show interface red0 rate-limit",
          "show forwarding-engine notification-interval"})
        s += ap.ctl(cmd).out;
    return s;
}

TEST(FeSettingsIntegration, FreshAccessPointWritesNothingOfTheseFamilies) {
    testap::Ap ap;
    testap::Result r = ap.ctl("show running-config");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(own_lines(r.out), "");
}

TEST(FeSettingsIntegration, RunningConfigRoundTrips) {
    std::string first;
    std::string first_shows;
    {
        testap::Ap ap;
        testap::Result applied = ap.ctl_file(kConfig);
        EXPECT_EQ(applied.rc, 0) << applied.out;
        first = ap.ctl("show running-config").out;
        first_shows = shows(ap);
        // The FE's tables and the library's live in apsim: a new fed finds them.
        ASSERT_EQ(ap.ctl("platform restart fed").rc, 0);
        ASSERT_TRUE(ap.wait_running());
        EXPECT_EQ(ap.ctl("show running-config").out, first);
        EXPECT_EQ(shows(ap), first_shows);
        std::string tables = ap.ctl("platform fe-tables").out;
        EXPECT_NE(tables.find("rate-limit red0  broadcast on 5000, multicast on 6000, unicast off "
                              "70000\n"),
                  std::string::npos)
            << tables;
        EXPECT_NE(tables.find("tunnel multicast 224.1.1.0 255.255.255.0\n"), std::string::npos);
        std::string dcd = ap.ctl("platform dcd").out;
        EXPECT_EQ(dcd.rfind("icsa: 1 1 1 1 1\n", 0), 0u) << dcd;
        EXPECT_NE(dcd.find("default-route vlans eth1: 10-20 100 4000-4094\n"), std::string::npos);
        EXPECT_NE(dcd.find("dual-profile red0 4 1\n"), std::string::npos);
        EXPECT_EQ(ap.ctl("show forwarding-engine filter").out,
                  "id 1 src-mac 00:11:22:33:44:55 etype 0x800 bidirectional\n"
                  "id 2 dhcp-client 00:aa:bb:cc:dd:ee\n");
        // agg0's VLAN lives in the library but only eth1 is written back.
        EXPECT_EQ(ap.ctl("show interface agg0 l2-default-route").out,
                  "L2 default route VLANs on agg0:\n30   ");
    }
    EXPECT_EQ(own_lines(first), kRunning);

    testap::Ap fresh;
    testap::Result reapplied = fresh.ctl_file(first);
    EXPECT_EQ(reapplied.rc, 0) << reapplied.out;
    EXPECT_EQ(fresh.ctl("show running-config").out, first);
    EXPECT_EQ(shows(fresh), first_shows);
}

TEST(FeSettingsIntegration, EditCommandsShowTheirTexts) {
    testap::Ap ap;
    struct Step {
        const char* line;
        int rc;
        const char* out;
    } steps[] = {
        {"interface eth1 l2-default-route vlan 100 to 100", 0, ""},
        {"show interface eth1 l2-default-route", 0, "L2 default route VLANs on eth1:\n100  "},
        {"no interface eth1 l2-default-route vlan 100", 0, ""},
        {"show interface eth1 l2-default-route", 0,
         "No L2 default route VLAN is configured on eth1\n"},
        {"interface eth0 l2-default-route vlan 5", 1,
         "Error: This command is not applicable to the eth0 interface"},
        {"ip multicast tunnel block 10.0.0.1", 1, "Please enter a Multicast IP address.\n"},
        {"ip multicast tunnel allow 224.0.0.9", 1,
         "Currently it's allow-all state. Can't configure allow list.\n"},
        {"forwarding-engine filter id 9", 1, "ERROR: can't set an empty FE filter!\n"},
        {"forwarding-engine filter id 1024 protocol 6", 1,
         "ERROR: ID out of range, valid range is [1, 1023]\n"},
        {"link bind eth1 agg0", 0, ""},
        {"interface eth1 rate-limit broadcast", 1, "interface eth1 has alreday bound to agg0! \n"},
        {"show interface eth1 rate-limit", 1, "interface eth1 has alreday bound to agg0! \n"},
        {"interface eth1 l2-default-route vlan 7", 1,
         "Error: interface eth1 has alreday bound to agg0! \n"},
        {"link unbind eth1", 0, ""},
        {"link mode eth1 access", 0, ""},
        {"interface eth1 l2-default-route vlan 7", 1,
         "Error: interface eth1 does not in Backhaul mode!\n"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.line);
        testap::Result r = ap.ctl(s.line);
        EXPECT_EQ(r.out, s.out);
        EXPECT_EQ(r.rc, s.rc);
    }
}

TEST(FeSettingsIntegration, FailuresUnderFaultInjection) {
    testap::Ap ap;
    struct Step {
        const char* fault;
        const char* line;
        const char* out;
    } steps[] = {
        {"fe_set_boolean_value:126", "no ip tcp-mss-threshold",
         "Unable to enable/disable TCP MSS threshold\n"},
        {"fe_get_int_value:129", "show ip tcp-mss-threshold",
         "TCP MSS threshold: Enabled\nUnable to get TCP MSS threshold size\n"},
        {"fe_get_boolean_value:66", "show forwarding-engine inter-ssid-flood",
         "ERROR: error in get inter ssid flood status from FE\n"},
        {"qz_dcd_get_icsa", "show forwarding-engine icsa", "Get ICSA info failed.\n"},
        {"fe_set_boolean_value:107", "forwarding-engine drop ip-fragmented-packets",
         "Set packets drop failed.\n"},
        {"fe_get_tunnel_multicast_status_size", "show ip multicast tunnel",
         "Unable to get tunnel IP multicast status\n"},
        {"qz_event_send:247", "no ip proxy-arp", "DCD set proxy-arp bit:send event  fail!\n"},
        {"fe_get_registered_to_self_pkt_port", "show forwarding-engine registered-ports",
         "Unable to get registered port from FE!\n"},
        {"fe_get_current_ff_cnt", "show forwarding-engine filter", "show FE filter failed!\n"},
        {"qz_dcd_get_default_route_vlan", "show interface eth1 l2-default-route",
         "Error: get default route VLAN list on ifname eth1 failed\n"},
        {"kcode:128", "show interface eth1 rate-limit", ""},
        {"kcode:127", "interface eth1 rate-limit unicast 1000", ""},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.line);
        ASSERT_EQ(ap.ctl(std::string("platform fault ") + s.fault + " -1 1").rc, 0);
        testap::Result r = ap.ctl(s.line);
        EXPECT_EQ(r.out, s.out);
        EXPECT_EQ(r.rc, 1);
        ap.ctl("platform fault clear");
    }
    // Nothing changed on the way.
    EXPECT_EQ(ap.ctl("show ip tcp-mss-threshold").out,
              "TCP MSS threshold: Enabled\nTCP MSS threshold size: Auto\n");
    EXPECT_EQ(ap.ctl("show interface eth1 rate-limit").out.find("1000 "), std::string::npos);
}

}  // namespace
