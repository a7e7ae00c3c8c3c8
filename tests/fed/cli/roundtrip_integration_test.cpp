// The running configuration's round trip through real access points, one row
// per command family and one with every family at once: apply the family's
// configuration, take `show running-config`, restart fed where the family's
// tables live in apsim (nothing changes), apply the text to a fresh access
// point, take it again. The texts are equal, and the family's own lines read
// as expected.
// A family adds its row here.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/ap.h"

namespace {

struct Family {
    const char* name;
    const char* config;                 // a file of commands as fedctl -f reads it
    std::vector<const char*> prefixes;  // the running-configuration lines of this family
    const char* running;                // exactly those lines, in order; nullptr: not checked
    std::vector<const char*> contains;  // parts of those lines
    std::vector<const char*> displays;  // equal on both access points and after the restart
    // What the access point holds after the configuration: {command, part of its output}.
    std::vector<std::pair<const char*, const char*>> holds;
    bool kept_by_apsim = true;  // a restarted fed finds the family's state in apsim
};

const Family kFamilies[] = {
    {"forwarding-engine settings and rate limits",
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
     "interface red0 rate-limit unicast 70000\n",
     {"ip proxy-arp", "no ip proxy-arp", "forwarding-engine", "no forwarding-engine",
      "ip multicast tunnel", "ip tcp-mss-threshold", "no ip tcp-mss-threshold",
      "no ip path-mtu-discovery", "interface ", "no interface "},
     // agg0's VLAN lives in the library but only eth1's are written back.
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
     "interface eth1 l2-default-route vlan 4000 to 4094\n",
     {},
     {"show forwarding-engine icsa", "show ip multicast tunnel", "show ip tcp-mss-threshold",
      "show interface eth1 l2-default-route", "show interface red0 rate-limit",
      "show forwarding-engine notification-interval"},
     // agg0's VLAN and the filters are held but not written back.
     {{"platform fe-tables",
       "rate-limit red0  broadcast on 5000, multicast on 6000, unicast off "
       "70000\n"},
      {"platform fe-tables", "tunnel multicast 224.1.1.0 255.255.255.0\n"},
      {"platform dcd", "icsa: 1 1 1 1 1\n"},
      {"platform dcd", "default-route vlans eth1: 10-20 100 4000-4094\n"},
      {"platform dcd", "dual-profile red0 4 1\n"},
      {"show interface agg0 l2-default-route", "L2 default route VLANs on agg0:\n30   "},
      {"show forwarding-engine filter",
       "id 1 src-mac 00:11:22:33:44:55 etype 0x800 bidirectional\n"
       "id 2 dhcp-client 00:aa:bb:cc:dd:ee\n"}}},
    {"services, ALG settings and their QoS classes",
     "service web protocol tcp port 8080 timeout 0\n"
     "service voice protocol udp port 5070\n"
     "service phone protocol svp timeout 90\n"
     "service gre protocol 47\n"
     "service app1 app-id 19000 timeout 30\n"
     "service app2 app-id 12\n"
     "service ssh protocol tcp port 22 timeout 60\n"
     "no service telnet\n"
     "no service ftp\n"
     "service voice alg sip\n"
     "service web alg tv\n"
     "no service dns alg\n"
     "alg ftp enable\n"
     "alg sip qos 4\n"
     "alg tftp inactive-data-timeout 45\n"
     "alg ftp max-duration 5\n"
     "alg dns enable\n"
     "qos classifier-map service sip 3 action deny\n"
     "qos classifier-map service sip action log\n"
     "qos classifier-map service gre 5\n"
     "qos classifier-map service app1 action log\n"
     "qos classifier-map service ssh\n",
     {"service ", "no service ", "alg ", "no alg ", "qos classifier-map service "},
     nullptr,
     {"no service  ftp", "service voice alg sip", "alg ftp max-duration 5",
      "service app2 app-id 12\n",
      "qos classifier-map service sip 3 action deny\nqos classifier-map service sip 3 action log\n",
      "qos classifier-map service app1 2 action log\n"},
     {"show service", "show alg"},
     {}},
    {"virtual connection rules",
     "vcon-rule fwd1 in wifi0.1 src-mac 00:11:22:33:44:55 dst-mac 00:aa:bb:cc:dd:ee out wifi1.1\n"
     "vcon-rule oui1 in eth1 src-oui 0a:1b:2c dst-mac 00:aa:bb:cc:dd:ee tx-mac 02:00:00:00:00:01 "
     "out vap9 rx-mac 02:00:00:00:00:02\n"
     "vcon-rule any1 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee drop\n"
     "vcon-rule \"two words\" in wifi1.1 src-mac 00:11:22:33:44:66 dst-mac 00:aa:bb:cc:dd:ef "
     "tx-mac 02:00:00:00:00:03 drop\n",
     {"vcon-rule "},
     "vcon-rule fwd1 in wifi0.1 src-mac 00:11:22:33:44:55 dst-mac 00:aa:bb:cc:dd:ee out wifi1.1\n"
     "vcon-rule oui1 in eth1 src-oui 0a:1b:2c dst-mac 00:aa:bb:cc:dd:ee tx-mac 02:00:00:00:00:01 "
     "out vap9 rx-mac 02:00:00:00:00:02\n"
     "vcon-rule any1 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee drop\n"
     "vcon-rule \"two words\" in wifi1.1 src-mac 00:11:22:33:44:66 dst-mac 00:aa:bb:cc:dd:ef "
     "tx-mac 02:00:00:00:00:03 drop\n",
     {},
     {"show vcon-rule"},
     // oui1 waits for its outgoing interface.
     {{"platform vcon", "requests: set 3, unset 0, unset all 0\n"}},
     false},
    {"IP policies",
     "service polsvc protocol tcp port 8080\n"
     "ip-policy guest\n"
     "ip-policy guest id 3 from 10.1.0.0 255.255.0.0 to 8.8.8.8 action permit\n"
     "ip-policy guest from 10.2.0.1 to local-subnet action deny\n"
     "ip-policy guest id 9 from server.example action permit log initiate-session\n"
     "ip-policy guest id 4 service polsvc action deny log packet-drop before id 3\n"
     "ip-policy guest id 5 action inter-station-traffic-drop log\n"
     "no ip-policy guest id 5 log\n"
     "ip-policy guest id 6 from a-1.example to mail.example service polsvc action permit\n"
     "ip-policy guest id 7 to mail.example action deny log packet-drop\n"
     "ip-policy \"lab net\"\n"
     "ip-policy \"lab net\" id 2 to 192.168.0.0 255.255.0.0 action permit log\n"
     "ip-policy \"lab net\" id 1 action NAT after id 2\n"
     "user-profile guest ip-policy from-access guest to-access \"lab net\"\n"
     "user-profile guest default-ip-action permit\n",
     // A new profile has group id 0, the default profile's: they share one UPID.
     {"ip-policy ", "user-profile default-profile ip-policy",
      "user-profile default-profile default-ip-action", "user-profile guest default-ip-action"},
     "ip-policy guest\n"
     "ip-policy guest id 4 service polsvc action deny log packet-drop\n"
     "ip-policy guest id 3 from 10.1.0.0 255.255.0.0 to 8.8.8.8 255.255.255.255 action permit\n"
     "ip-policy guest id 1 from 10.2.0.1 255.255.255.255 to local-subnet action deny\n"
     "ip-policy guest id 9 from server.example action permit log initiate-session\n"
     "ip-policy guest id 5 action inter-station-traffic-drop\n"
     "ip-policy guest id 6 from a-1.example to mail.example service polsvc action permit\n"
     "ip-policy guest id 7 to mail.example action deny log packet-drop\n"
     "ip-policy \"lab net\"\n"
     "ip-policy \"lab net\" id 2 to 192.168.0.0 255.255.0.0 action permit log \n"
     "ip-policy \"lab net\" id 1 action NAT\n"
     "user-profile default-profile ip-policy from-access guest to-access \"lab net\"\n"
     "user-profile default-profile default-ip-action permit\n"
     "user-profile guest default-ip-action permit\n",
     {},
     {"platform acl", "show ip-policy", "show ip-policy guest"},
     {{"platform acl", "group lab net flags 0 rules 0\n"}}},
    {"MAC policies",
     "mac-policy staffmac\n"
     "mac-policy staffmac id 2 from 00:11:22:33:44:55 24 to aa-bb-cc-dd-ee-ff action permit\n"
     "mac-policy staffmac id 1 to 0011.2233.4466 action deny log packet-drop before id 2\n"
     "mac-policy staffmac id 3 from 001122334477 action permit log initiate-session\n"
     "mac-policy staffmac id 4 action permit log\n"
     "mac-policy staffmac id 4 before id 3\n"
     "mac-policy \"lab mac\"\n"
     "mac-policy \"lab mac\" id 7 action permit log terminate-session\n"
     "mac-policy \"lab mac\" id 8 action permit log\n"
     "no mac-policy \"lab mac\" id 8 log\n"
     "user-profile macfam group-id 9\n"
     "user-profile macfam mac-policy from-access staffmac to-access \"lab mac\"\n"
     "user-profile macfam default-mac-action permit\n"
     "user-profile macfam deny ipv4\n"
     "no ipv6 router-advertisement-guard\n"
     "no ipv6 dhcpv6-shield\n",
     {"mac-policy ", "user-profile macfam mac-policy", "user-profile macfam deny",
      "user-profile macfam default-mac-action", "no ipv6 "},
     "mac-policy staffmac\n"
     "mac-policy staffmac id 1 to 00:11:22:33:44:66 48 action deny log packet-drop\n"
     "mac-policy staffmac id 2 from 00:11:22:33:44:55 24 to aa:bb:cc:dd:ee:ff 48 action permit\n"
     "mac-policy staffmac id 4 action permit log \n"
     "mac-policy staffmac id 3 from 00:11:22:33:44:77 48 action permit log initiate-session\n"
     "mac-policy \"lab mac\"\n"
     "mac-policy \"lab mac\" id 7 action permit log terminate-session\n"
     "mac-policy \"lab mac\" id 8 action permit\n"
     "user-profile macfam mac-policy from-access staffmac to-access \"lab mac\"\n"
     "user-profile macfam deny ipv4\n"
     "no ipv6 router-advertisement-guard\n"
     "no ipv6 dhcpv6-shield\n"
     "user-profile macfam default-mac-action permit\n",
     {},
     {"platform mac-acl", "show mac-policy", "show mac-policy staffmac",
      "show user-profile macfam mac-policy"},
     {{"platform mac-acl", "upid 9 from staffmac to lab mac default 1 drop 1\n"}}},
    {"user profiles",
     "user-profile guest vlan-id 20 attribute 5 - 9\n"
     "user-profile guest attribute 12\n"
     "user-profile \"two words\" group-id 7 qos-policy gold vlan-id 30 mobility-policy mob1\n"
     "user-profile \"two words\" qos-marker-map 8021p m1\n"
     "user-profile \"two words\" airtime-percentage 30 share-airtime\n"
     "user-profile \"two words\" performance-sentinel enable\n"
     "no user-profile \"two words\" performance-sentinel action log\n"
     "user-profile \"two words\" performance-sentinel action boost\n"
     "user-profile \"two words\" performance-sentinel guaranteed-bandwidth 800\n"
     "user-profile \"two words\" tunnel-policy tp1\n"
     "user-profile \"two words\" l3-tunnel-action with-exception\n"
     "user-profile guest redirect sched1\n"
     "user-profile default-profile vlan-id 2\n"
     "user-profile \"two words\" before guest\n",
     {"user-profile ", "no user-profile "},
     "user-profile default-profile qos-policy def-user-qos vlan-id 2 attribute 0\n"
     "user-profile \"two words\" group-id 7 qos-policy gold vlan-id 30 mobility-policy mob1\n"
     "user-profile \"two words\" qos-marker-map 8021p m1\n"
     "user-profile \"two words\" airtime-percentage 30 share-airtime\n"
     "user-profile \"two words\" performance-sentinel enable\n"
     "no user-profile \"two words\" performance-sentinel action log\n"
     "user-profile \"two words\" performance-sentinel action boost\n"
     "user-profile \"two words\" performance-sentinel guaranteed-bandwidth 800\n"
     "user-profile \"two words\" tunnel-policy tp1\n"
     "user-profile \"two words\" l3-tunnel-action with-exception\n"
     "user-profile guest qos-policy def-user-qos vlan-id 20 attribute 5 - 9\n"
     "user-profile guest qos-policy def-user-qos vlan-id 20 attribute 12\n"
     "user-profile guest redirect sched1\n",
     {},
     {"show user-profile", "show user-profile \"two words\"", "show user-profile guest"},
     {{"platform system", "ip rule add fwmark 7 table t_exception prio 10007\n"}}},
    {"QoS profiles",
     "qos classifier-profile voice 8021p\n"
     "qos classifier-profile voice mac\n"
     "qos classifier-profile \"only if\" interface/ssid-only\n"
     "qos classifier-profile bare\n"
     "no qos classifier-profile def-land-cls service\n"
     "qos classifier-profile def-land-cls interface/ssid\n"
     "qos marker-profile tag diffserv\n"
     "qos marker-profile def-mesh-mkr\n"
     "no qos marker-profile def-ap-mkr diffserv\n"
     "interface wifi0.1 qos-classifier voice\n"
     "interface wifi0.1 qos-marker tag\n",
     {"qos ", "no qos "},
     "no qos classifier-profile def-land-cls service\n"
     "qos classifier-profile def-land-cls interface/ssid\n"
     "qos classifier-profile voice 8021p\n"
     "qos classifier-profile voice mac\n"
     "qos classifier-profile \"only if\" interface/ssid-only\n"
     "qos classifier-profile bare\n"
     "no qos marker-profile def-ap-mkr diffserv\n"
     "qos marker-profile tag diffserv\n",
     {},
     {"show qos classifier-profile", "show qos marker-profile"},
     {{"platform qos-profiles", "classifier-binding wifi0.1 voice kind 13\n"}}},
    {"QoS maps",
     "qos classifier-map 8021p 0 6\n"
     "qos classifier-map 80211e 7 1\n"
     "qos classifier-map diffserv 46 4\n"
     "qos classifier-map oui 0a:0b:0c 5 action deny\n"
     "qos classifier-map oui 0a:0b:0c action log\n"
     "qos classifier-map oui 0a:0b:0d comment \"two words\"\n"
     "qos classifier-map oui 00:1b:63 3\n"
     "no qos classifier-map oui 00:15:70\n"
     "qos marker-map 8021p 2 3\n"
     "qos marker-map 80211e 6 5\n"
     "qos marker-map diffserv 5 46\n"
     "qos named-marker-map 8021p \"a b\" 1 7\n"
     "qos named-marker-map diffserv gold 5 46\n"
     "qos classifier-map interface eth1 5\n"
     "qos classifier-map ssid corp 6\n",
     {"qos classifier-map 8021p", "qos classifier-map 80211e", "qos classifier-map diffserv",
      "qos classifier-map oui", "no qos classifier-map oui", "qos marker-map",
      "qos named-marker-map", "qos classifier-map interface", "qos classifier-map ssid"},
     "qos classifier-map 8021p 0 6\n"
     "qos classifier-map 80211e 7 1\n"
     "qos classifier-map diffserv 46 4\n"
     "qos classifier-map oui 00:1b:63 3 action permit comment \"Apple iPhone\"\n"
     "qos classifier-map oui 0a:0b:0c 5 action deny\n"
     "qos classifier-map oui 0a:0b:0c 5 action log\n"
     "qos classifier-map oui 0a:0b:0d 2 action permit comment \"two words\"\n"
     "no qos classifier-map oui 00:15:70\n"
     "qos marker-map 8021p 2 3\n"
     "qos marker-map 80211e 6 5\n"
     "qos marker-map diffserv 5 46\n"
     "qos named-marker-map 8021p \"a b\"\n"
     "qos named-marker-map 8021p \"a b\" 1 7\n"
     "qos named-marker-map diffserv gold\n"
     "qos named-marker-map diffserv gold 5 46\n"
     "qos classifier-map interface eth1 5\n"
     "qos classifier-map ssid corp 6\n",
     {},
     {"show qos classifier-map 8021p", "show qos classifier-map 80211e",
      "show qos classifier-map diffserv", "show qos classifier-map oui",
      "show qos marker-map 8021p", "show qos marker-map 80211e", "show qos marker-map diffserv",
      "show qos named-marker-map", "show qos classifier-map interface",
      "show qos classifier-map ssid"},
     {{"platform qos-maps", "named diffserv gold: 8 16 0 24 32 46 48 56\n"}}},
    {"QoS switches, policies, airtime admission and profile bindings",
     "no qos enable\n"
     "qos airtime enable\n"
     "qos rate-preference-weight none\n"
     "qos cac enable\n"
     "qos cac max-airtime 300\n"
     "qos cac roaming-weight 40\n"
     "qos policy gold user-rate-limit 5000 user-profile-weight 5\n"
     "qos policy gold class 3 strict limit 100 weight 0\n"
     "qos policy def-user-qos user-profile-rate 900000\n"
     "qos classifier-profile vc 8021p\n"
     "qos marker-profile mk diffserv\n"
     "interface eth1 qos-classifier vc\n"
     "interface agg0 qos-marker mk\n"
     "ssid corp qos-classifier vc\n"
     "ssid corp qos-marker mk\n",
     {"qos enable", "no qos enable", "qos airtime", "qos rate", "qos cac", "qos policy",
      "interface eth", "interface agg", "ssid "},
     "no qos enable\n"
     "qos cac enable\n"
     "qos cac max-airtime 300\n"
     "qos cac roaming-weight 40\n"
     "qos airtime enable\n"
     "qos rate-preference-weight none\n"
     "interface eth1 qos-classifier vc\n"
     "ssid corp qos-classifier vc\n"
     "interface agg0 qos-marker mk\n"
     "ssid corp qos-marker mk\n"
     "qos policy def-user-qos user-rate-limit 1000000 user-profile-weight 10 "
     "user-profile-rate 900000\n"
     "qos policy def-user-qos class 0 wrr limit 900000 weight 10\n"
     "qos policy def-user-qos class 1 wrr limit 900000 weight 20\n"
     "qos policy def-user-qos class 2 wrr limit 900000 weight 30\n"
     "qos policy def-user-qos class 3 wrr limit 900000 weight 40\n"
     "qos policy def-user-qos class 4 wrr limit 900000 weight 50\n"
     "qos policy def-user-qos class 5 wrr limit 900000 weight 60\n"
     "qos policy def-user-qos class 6 strict limit 20000 weight 0\n"
     "qos policy def-user-qos class 7 strict limit 20000 weight 0\n"
     "qos policy gold user-rate-limit 5000 user-profile-weight 5 user-profile-rate 5000\n"
     "qos policy gold class 0 wrr limit 5000 weight 10\n"
     "qos policy gold class 1 wrr limit 5000 weight 20\n"
     "qos policy gold class 2 wrr limit 5000 weight 30\n"
     "qos policy gold class 3 strict limit 100 weight 0\n"
     "qos policy gold class 4 wrr limit 5000 weight 50\n"
     "qos policy gold class 5 wrr limit 5000 weight 60\n"
     "qos policy gold class 6 strict limit 5000 weight 0\n"
     "qos policy gold class 7 strict limit 5000 weight 0\n",
     {},
     {"show qos", "show qos policy", "show interface eth1 qos-classifier",
      "show interface agg0 qos-marker", "show ssid qos-classifier", "show ssid qos-marker"},
     {{"platform qos-policies", "policy gold user-rate 5000 up-weight 5 up-rate 5000\n"},
      {"platform qos-policies", "cac on, max airtime 300, roaming weight 40\n"},
      {"platform qos-profiles", "classifier-binding eth1 vc kind 17\n"}}},
};

std::string family_lines(const Family& f, const std::string& text) {
    std::istringstream in(text);
    std::string line, out;
    while (std::getline(in, line))
        for (const char* p : f.prefixes)
            if (line.rfind(p, 0) == 0) {
                out += line + "\n";
                break;
            }
    return out;
}

std::string displays(testap::Ap& ap, const Family& f) {
    std::string s;
    for (const char* cmd : f.displays) s += std::string("> ") + cmd + "\n" + ap.ctl(cmd).out;
    return s;
}

std::string running(testap::Ap& ap) {
    testap::Result r = ap.ctl("show running-config");
    EXPECT_EQ(r.rc, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    return r.out;
}

void round_trip(const Family& f) {
    SCOPED_TRACE(f.name);
    std::string first, first_displays;
    {
        testap::Ap ap;
        EXPECT_EQ(family_lines(f, running(ap)), "") << "a fresh access point writes nothing";
        testap::Result applied = ap.ctl_file(f.config);
        ASSERT_EQ(applied.rc, 0) << applied.out << applied.err;
        for (const auto& [cmd, part] : f.holds)
            EXPECT_NE(ap.ctl(cmd).out.find(part), std::string::npos) << cmd << ": " << part;
        first = running(ap);
        first_displays = displays(ap, f);
        if (f.kept_by_apsim) {
            ASSERT_EQ(ap.ctl("platform restart fed").rc, 0);
            ASSERT_TRUE(ap.wait_running());
            EXPECT_EQ(running(ap), first);
            EXPECT_EQ(displays(ap, f), first_displays);
        }
    }
    std::string own = family_lines(f, first);
    if (f.running) {
        EXPECT_EQ(own, f.running);
    }
    for (const char* part : f.contains) EXPECT_NE(own.find(part), std::string::npos) << part;

    testap::Ap fresh;
    testap::Result reapplied = fresh.ctl_file(first);
    ASSERT_EQ(reapplied.rc, 0) << reapplied.out << reapplied.err;
    EXPECT_EQ(running(fresh), first);
    EXPECT_EQ(displays(fresh, f), first_displays);
}

TEST(RoundTrip, EachFamily) {
    for (const Family& f : kFamilies) round_trip(f);
}

TEST(RoundTrip, EveryFamilyAtOnce) {
    Family all{"every family", nullptr, {}, nullptr, {}, {}, {}};
    std::string config;
    for (const Family& f : kFamilies) {
        all.kept_by_apsim = all.kept_by_apsim && f.kept_by_apsim;
        config += f.config;
        all.prefixes.insert(all.prefixes.end(), f.prefixes.begin(), f.prefixes.end());
        all.displays.insert(all.displays.end(), f.displays.begin(), f.displays.end());
    }
    all.config = config.c_str();
    round_trip(all);
}

}  // namespace
