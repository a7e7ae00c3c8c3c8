// Packet counters (958) and their clearing (960), counted by the FE model from
// replayed packets, and the message of each failure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fe/model.h"
#include "platform/fe/replay_flows.h"
#include "platform/qz.h"
#include "tests/support/cli.h"
#include "tests/support/text.h"

namespace {

using clitest::cmd;

constexpr std::uint32_t kSta = 0x0a000005;     // 10.0.0.5
constexpr std::uint32_t kServer = 0xc0a80101;  // 192.168.1.1
constexpr const char* kStaMac = "00:11:22:33:44:01";

struct Counters : ::testing::Test {
    testap::LocalAp ap;
    fem::ReplayIfaces ifs{qz_if_nametoindex("wifi0"), qz_if_nametoindex("eth0")};

    // One packet of the station to the server, or back.
    void packet(bool back, std::uint8_t proto, std::uint16_t cport, std::uint16_t sport,
                std::size_t payload) {
        static const std::uint8_t kData[64] = {};
        fem::FramePacket p{};
        const std::uint8_t smac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x01};
        const std::uint8_t rmac[6] = {0x00, 0xaa, 0xbb, 0xcc, 0xdd, 0xee};
        std::memcpy(p.src_mac, back ? rmac : smac, 6);
        std::memcpy(p.dst_mac, back ? smac : rmac, 6);
        p.tuple = back ? fem::FlowTuple{proto, kServer, kSta, sport, cport}
                       : fem::FlowTuple{proto, kSta, kServer, cport, sport};
        p.payload = std::span<const std::uint8_t>(kData, payload);
        fem::PacketStep step;
        std::lock_guard lock(ap.core().mu);
        fem::replay_packet(ap.core().fe, p, ifs, step);
    }
    // HTTP out and back, a DNS query without answer, a frame too short to read.
    void traffic() {
        packet(false, 6, 40000, 80, 10);
        packet(true, 6, 40000, 80, 30);
        packet(false, 17, 5354, 53, 20);
        std::lock_guard lock(ap.core().mu);
        fem::counters_frame(ap.core().fe, true);
    }
    std::vector<std::string> clear_calls() {
        std::vector<std::string> v;
        for (const fem::FeCall& c : ap.fe_calls())
            if (c.text.rfind("fe_clear", 0) == 0) v.push_back(c.text);
        return v;
    }
};

std::string block(const char* ip, const char* udp, const char* tcp, const char* http,
                  const char* dns) {
    return std::string("LLC: 0; ARP: 0; IP ") + ip + "\nICMP: 0; UDP: " + udp + "; TCP: " + tcp +
           "; GRE: 0; ESP: 0\nHTTP: " + http + "; HTTPS: 0; FTP: 0; TELNET: 0; DNS: " + dns +
           "; DHCP: 0; SSH: 0\n";
}
const std::string kTwoOut = block("2", "1", "1", "1", "1");   // the station's HTTP and DNS
const std::string kOneBack = block("1", "0", "1", "1", "0");  // the HTTP answer
const std::string kNone = block("0", "0", "0", "0", "0");

TEST_F(Counters, EveryView) {
    EXPECT_TRUE(clitest::printed(cmd("show forwarding-engine counters"), ""));
    traffic();
    std::string drops =
        "Packet Drop Counters\n--------------------\n"
        "invalid-packets                  : 1\n";
    struct Row {
        const char* line;
        std::string out;  // whole, or its start when `more` is set
        bool more;
    } rows[] = {
        {"show forwarding-engine counters",
         "\nPacket Counters\n===============\n"
         "Total Pkts processed:  Queue0 [3], Queue1 [1]\n"
         "Total Pkts processed:  Core0 [4], Core1 [0]\n"
         "Interface [wifi0]\n-----------------\nIncoming:\n" +
             kTwoOut +
             "Dropped: 0\n\n"
             "Outgoing:\n" +
             kOneBack +
             "\n\n"
             "Interface [eth0]\n-----------------\nIncoming:\n" +
             kOneBack +
             "Dropped: 0\n\n"
             "Outgoing:\n" +
             kTwoOut +
             "\n\n"
             "Station [00:11:22:33:44:01]\n--------------------------\n"
             "MAC-Sessions: 1; IP-Sessions: 2\nIncoming:\n" +
             kTwoOut + "\nOutgoing:\n" + kOneBack + "\n\n",
         false},
        {"show forwarding-engine counters interface eth0",
         "Interface [eth0]\n-----------------\nInocming "
         "Counters\n------------------------------\n" +
             kOneBack + "Dropped: 0\n\nOutgoing Counters\n------------------------------\n" +
             kTwoOut,
         false},
        {"show forwarding-engine counters station 00:11:22:33:44:01",
         "Station [00:11:22:33:44:01]\n--------------------------\nInocming Counters\n"
         "------------------------------\n" +
             kTwoOut + "\nOutgoing Counters\n------------------------------\n" + kOneBack,
         false},
        {"show forwarding-engine counters interface lo9", "device with name lo9 doesn't exist\n",
         false},
        {"show forwarding-engine counters station 00:11:22:33:44:02",
         "station with mac 00:11:22:33:44:02 doesn't exist\n", false},
        {"show forwarding-engine counters drop", drops, true},
        {"show forwarding-engine counters data-collection",
         "\nData collection is disabled in FE\n"
         "--------------- From station ------ To station ----------\n"
         "IPv4          : 2        98         1        70      \n"
         "IPv6          : 0        0          0        0       \n"
         "local         : 2        98         1        70      \n"
         "internet      : 0        0          0        0       \n\n"
         "udp           : 1        48         0        0       \n"
         "tcp           : 1        50         1        70      \n"
         "icmp          : 0        0          0        0       \n"
         "gre           : 0        0          0        0       \n"
         "esp           : 0        0          0        0       \n"
         "igmp          : 0        0          0        0       \n"
         "others        : 0        0          0        0       \n\n"
         "http          : 1        50         1        70      \n"
         "dns           : 1        48         0        0       \n\n",
         false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        auto ran = cmd(r.line);
        EXPECT_EQ(ran.rc, 0);
        if (r.more)
            EXPECT_EQ(ran.out.rfind(r.out, 0), 0u) << ran.out;
        else
            EXPECT_EQ(ran.out, r.out);
    }
    // 52 reasons, or all 68; the 52nd is padded shorter than the others.
    std::string some = cmd("show forwarding-engine counters drop").out;
    std::string all = cmd("show forwarding-engine counters drop all").out;
    EXPECT_TRUE(testtext::has(some, "\ndrop-bonjour-ttl-1           : 0\n"));
    EXPECT_EQ(some.find("no-policy-to-tunnel"), std::string::npos);
    EXPECT_EQ(all.rfind(some, 0), 0u);
    EXPECT_TRUE(testtext::has(all, "\nmgt-pkt-queue-failed             : 0\n"));
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 2 + 68);
}

TEST_F(Counters, ReadFailures) {
    traffic();
    struct Row {
        const char* fault;
        int rc;
        const char* line;
        std::string out;
    } rows[] = {
        {"fe_get_counter_entry_cnt", -3, "show forwarding-engine counters", ""},
        {"fe_get_counter_list", -4, "show forwarding-engine counters",
         "error in get fe counter list\n"},
        {"fe_get_device_counter", -5, "show forwarding-engine counters interface eth0",
         "can't get counters for device [eth0]\n"},
        {"fe_get_station_counter", -6, "show forwarding-engine counters station 00:11:22:33:44:01",
         "can't get counter for mac 00:11:22:33:44:01\n"},
        {"fe_get_drop_counters", -7, "show forwarding-engine counters drop all",
         "error in getting drop counters\n"},
        {"fe_get_dc_counters", -8, "show forwarding-engine counters data-collection",
         "Error: get data collection FE counters failed\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.fault);
        ap.fault(r.fault, r.rc, 1);
        auto ran = cmd(r.line);
        EXPECT_EQ(ran.out, r.out);
        EXPECT_EQ(ran.rc, r.out.empty() ? 0 : r.rc);
    }
}

TEST_F(Counters, ClearCallsInOrderAndStopsAtTheFirstFailure) {
    const std::string mac = kStaMac;
    const std::string tell = "\tstation MAC = " + mac + "\n";
    const std::vector<std::string> each = {
        "fe_clear_counters_per_dev", "fe_clear_counters_per_station",
        "fe_clear_drop_counters",    "fe_clear_counters_all_stations",
        "fe_clear_tunnel_counters",  "fe_clear_policy_counters",
        "fe_clear_dc_counters"};
    auto upto = [&](long n) { return std::vector<std::string>(each.begin(), each.begin() + n); };
    const std::string every = "clear forwarding-engine counters interface eth0 station " + mac +
                              " drop tunnel policy data-collection";
    struct Row {
        std::string line;
        const char* fault;  // fails with -2
        std::string out;
        std::vector<std::string> calls;
    } rows[] = {
        {"clear forwarding-engine counters", "", "clear all counters", {"fe_clear_all_counters"}},
        {"clear forwarding-engine counters",
         "fe_clear_all_counters",
         "clear all counterserror in clearing all counters\n",
         {"fe_clear_all_counters"}},
        {every, "", tell, upto(7)},
        {every, "fe_clear_counters_per_dev", "error in clear counters per device (eth0)\n",
         upto(1)},
        {every, "fe_clear_counters_per_station",
         tell + "error in clear counter per mac (" + mac + ")\n", upto(2)},
        {every, "fe_clear_drop_counters", tell + "error in clearing drop counters\n", upto(3)},
        {every, "fe_clear_counters_all_stations", tell + "error in clear counter fo all stations\n",
         upto(4)},
        {every, "fe_clear_tunnel_counters", tell + "error in cleaning tunnel counters\n", upto(5)},
        {every, "fe_clear_policy_counters", tell + "error in cleaning policy counters\n", upto(6)},
        {every, "fe_clear_dc_counters", tell + "Error: clear data collection counters failed\n",
         upto(7)},
        {"clear forwarding-engine counters interface lo9",
         "",
         "device with name lo9 not found\n",
         {}},
        {"clear forwarding-engine counters station 00:11:22:33:44:02",
         "",
         "\tstation MAC = 00:11:22:33:44:02\nstation with mac 00:11:22:33:44:02 not found\n",
         {"fe_clear_counters_per_station"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line + " / " + r.fault);
        traffic();
        ap.clear_logs();
        if (*r.fault) ap.fault(r.fault, -2, 1);
        auto ran = cmd(r.line);
        EXPECT_EQ(ran.rc, 0);
        EXPECT_EQ(ran.out, r.out);
        EXPECT_EQ(clear_calls(), r.calls);
        ap.fault_clear();
    }
}

TEST_F(Counters, ClearingZeroesWhatItNames) {
    traffic();
    cmd("clear forwarding-engine counters station 00:11:22:33:44:01");
    std::string sta = cmd("show forwarding-engine counters station 00:11:22:33:44:01").out;
    EXPECT_EQ(std::count(sta.begin(), sta.end(), '\n'), 13);
    EXPECT_TRUE(testtext::has(
        sta, kNone + "\nOutgoing Counters\n------------------------------\n" + kNone));
    EXPECT_TRUE(testtext::has(cmd("show forwarding-engine counters interface eth0").out, kOneBack));
    cmd("clear forwarding-engine counters");
    std::string eth = cmd("show forwarding-engine counters interface eth0").out;
    EXPECT_TRUE(testtext::has(eth, "------\n" + kNone + "Dropped: 0\n"));
    EXPECT_TRUE(testtext::has(cmd("show forwarding-engine counters drop").out,
                              "invalid-packets                  : 0\n"));
    EXPECT_TRUE(
        testtext::has(cmd("show forwarding-engine counters").out, "Queue0 [0], Queue1 [0]\n"));
}

}  // namespace
