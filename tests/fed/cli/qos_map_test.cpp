// QoS priority maps: kernel records byte by byte, the FE's statuses as texts,
// the show tables, fault consistency, the start-up reads and the running
// configuration with its reload.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <mutex>

#include "fed/cli/qz_fed_qos_map_cli.h"
#include "fed/cli/qz_fed_qos_profile_cli.h"
#include "fed/cli/qz_qos_db.h"
#include "tests/support/cli.h"

namespace {

using namespace clitest;

class QosMap : public ApTest {
   protected:
    void SetUp() override {
        ApTest::SetUp();
        ASSERT_EQ(qz_qos_db_startup(), 0);
        {
            std::lock_guard lock(ap.core().mu);
            ap.core().dcd_svc.fed_run_first = 1;  // a restart writes no default OUIs again
        }
        ap.clear_logs();
    }
    std::string cfg() { return lines(emit(qz_fed_qos_profile_cfg)); }
    std::string fe_maps() {
        std::lock_guard lock(ap.core().mu);
        return fem::qos_map_text(ap.core().fe);
    }
};

TEST_F(QosMap, RequestsCarryIndexValueAndName) {
    struct Case {
        const char* line;
        std::uint16_t code;
        std::size_t size;
        std::map<std::size_t, std::uint8_t> bytes;  // non-zero bytes of the last request
        std::uint32_t oui = 0;                      // host-order word at 4
    };
    const Case kCases[] = {
        {"qos classifier-map 8021p 3 5", 23, 16, {{4, 3}, {5, 5}}},
        {"no qos classifier-map 80211e 1", 27, 16, {{4, 1}}},
        {"qos classifier-map diffserv 63 7", 29, 72, {{4, 63}, {5, 7}}},
        {"qos marker-map diffserv 2 46", 69, 16, {{4, 2}, {5, 46}}},
        {"no qos marker-map 80211e 6", 67, 16, {{4, 6}}},
        {"qos named-marker-map 8021p ab 3 6",
         72,
         812,
         {{4, 1}, {5, 3}, {6, 6}, {8, 'a'}, {9, 'b'}}},
        {"qos named-marker-map diffserv ab", 72, 812, {{4, 2}, {5, 255}, {8, 'a'}, {9, 'b'}}},
        {"no qos named-marker-map diffserv ab 4", 73, 812, {{4, 2}, {5, 4}, {8, 'a'}, {9, 'b'}}},
        // A new OUI with only a comment: class 2 and permit, action and comment flagged.
        {"qos classifier-map oui 0a:0b:0c comment hi",
         32,
         3512,
         {{208, 2}, {258, 1}, {308, 'h'}, {309, 'i'}, {3508, 6}},
         0x0a0b0c},
        {"qos classifier-map oui 0a:0b:0c", 32, 3512, {{208, 2}, {258, 1}, {3508, 3}}, 0x0a0b0c},
        {"no qos classifier-map oui 0a:0b:0c", 33, 3512, {}, 0x0a0b0c},
        {"qos classifier-map interface eth1 4",
         35,
         1552,
         {{4, 'e'}, {5, 't'}, {6, 'h'}, {7, '1'}, {28, 4}, {29, 17}}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.line);
        ap.clear_logs();
        EXPECT_TRUE(printed(cmd(c.line), ""));
        auto reqs = ap.kernel_requests();
        ASSERT_FALSE(reqs.empty());
        std::vector<std::uint8_t> want(c.size, 0);
        for (const auto& [off, v] : c.bytes) want[off] = v;
        if (c.oui) wire::store_h<std::uint32_t>(want.data() + 4, c.oui);
        EXPECT_EQ(reqs.back().code, c.code);
        EXPECT_EQ(reqs.back().record, want);
    }
}

TEST_F(QosMap, BadInputPrintsItsTextAndChangesNothing) {
    const std::string booted = fe_maps();
    run_steps(ap,
              {
                  {"qos classifier-map 8021p 8 1", "Invalid 802.1p priority value\n", -1},
                  {"qos classifier-map 80211e 9 1", "Invalid 802.11e user priority value\n", -1},
                  {"qos classifier-map diffserv 64 1", "Invalid DiffServ DSCP value\n", -1},
                  {"no qos classifier-map diffserv 200", "Invalid DiffServ DSCP value\n", -1},
                  {"qos marker-map 8021p 8 1", "Invalid QoS class value \n", -1},
                  {"qos marker-map 8021p 1 8", "Invalid 802.1p priority value \n", -1},
                  {"qos marker-map 80211e 1 9", "Invalid 802.11e user priority value \n", -1},
                  {"show qos classifier-map 8021p 9", "Invalid 802.1p priority value\n", -1},
                  {"no qos named-marker-map 8021p none", "Invalid QoS marker name \n", -1},
                  {"show qos named-marker-map none", "Invalid QoS marker name \n", -1},
                  {"no qos classifier-map oui 0a:0b:0d", "Invalid MAC OUI value\n", -1},
                  {"no qos classifier-map interface eth1", "Invalid interface name\n", -1},
                  {"qos classifier-map interface eth1", "", -1},
                  {"qos classifier-map interface eth1 3", "", -1, "kcode:35"},
                  {"qos classifier-map 8021p 1 5", "", -1, "kcode:23"},
                  {"qos marker-map diffserv 1 5", "", -1, "kcode:69"},
                  {"qos named-marker-map 8021p ab", "", -1, "kcode:72"},
                  {"qos classifier-map oui 0a:0b:0c 4", "", -1, "kcode:34"},
                  {"qos classifier-map oui 0a:0b:0c 4", "", -1, "kcode:32"},
              });
    EXPECT_EQ(fe_maps(), booted);
    EXPECT_EQ(cfg(), "");
    // The maps of one kind are full at 16; a profile marking with one keeps it.
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(cmd("qos named-marker-map 8021p m" + std::to_string(i)).rc, 0);
    run_steps(ap, {
                      {"qos named-marker-map 8021p m16", "Too many marker-map entries\n", -1},
                      {"qos named-marker-map diffserv m16", ""},
                      {"user-profile up1 qos-marker-map 8021p m3", ""},
                      {"no qos named-marker-map 8021p m3", "QoS marker is in use \n", -1},
                      {"no qos named-marker-map diffserv m3", "Invalid QoS marker name \n", -1},
                      {"no qos named-marker-map 8021p m4", ""},
                  });
}

TEST_F(QosMap, OuiActionsMergeAndTheTableHasFiftyPlaces) {
    run_steps(ap, {
                      {"qos classifier-map oui 0a:0b:0c action permit", ""},
                      {"qos classifier-map oui 0a:0b:0c action deny", ""},
                      {"qos classifier-map oui 0a:0b:0c 5 action log comment \"a phone\"", ""},
                      {"qos classifier-map oui 00:1b:63 comment mine", ""},
                  });
    std::string s = cmd("show qos classifier-map oui").out;
    EXPECT_NE(s.find("6    0x00:1b:63        6        permit     mine  "), std::string::npos) << s;
    EXPECT_NE(s.find("8    0x0a:0b:0c        5        deny|log   a phone  "), std::string::npos)
        << s;
    for (int i = 0; i < 42; ++i)
        ASSERT_EQ(cmd("qos classifier-map oui 0b:00:" + std::to_string(10 + i)).rc, 0);
    EXPECT_TRUE(
        printed(cmd("qos classifier-map oui 0c:00:00"), "Number of MAC exceeds the limit\n", -1));
}

TEST_F(QosMap, ShowsFollowTheirLayouts) {
    std::string dscp_head =
        "DSCP=Differentiated Services Code Point;\n\nDSCP mapping Quorvane QoS class table\n"
        "Total entries = 64\n\nNo. DSCP                     Quorvane QoS Class\n" +
        std::string(47, '-') + "\n";
    EXPECT_TRUE(printed(cmd("show qos classifier-map diffserv"),
                        dscp_head + "1   8~15                          0\n"
                                    "2   16~23                         1\n"
                                    "3   0~7                           2\n"
                                    "4   24~31                         3\n"
                                    "5   32~39                         4\n"
                                    "6   40~47                         5\n"
                                    "7   48~55                         6\n"
                                    "8   56~63                         7\n"));
    for (const char* line : {"qos classifier-map diffserv 0 7", "qos classifier-map diffserv 1 7",
                             "qos classifier-map diffserv 5 7", "qos classifier-map diffserv 2 6",
                             "qos classifier-map diffserv 3 6"})
        ASSERT_EQ(cmd(line).rc, 0) << line;
    std::string all = cmd("show qos classifier-map diffserv").out;
    EXPECT_NE(all.find("\n3   4,6~7                         2\n"), std::string::npos) << all;
    EXPECT_NE(all.find("\n7   2~3,48~55                     6\n"), std::string::npos) << all;
    EXPECT_NE(all.find("\n8   0~1,5,56~63                   7\n"), std::string::npos) << all;
    ASSERT_EQ(cmd("qos classifier-map 80211e 4 6").rc, 0);
    EXPECT_TRUE(printed(cmd("show qos classifier-map 80211e 4"),
                        "IEEE 802.11e mapping Quorvane QoS class table\nTotal entries = 1\n\n"
                        "No. 802.11e Priority       Quorvane QoS Class\n" +
                            std::string(45, '-') +
                            "\n"
                            "1            4                        6 \n"));
    ASSERT_EQ(cmd("qos marker-map 8021p 7 0").rc, 0);
    std::string mk = cmd("show qos marker-map 8021p").out;
    EXPECT_EQ(mk.substr(0, 24), "QoS marker 802.1p table\n");
    EXPECT_NE(mk.find("\n3            2                   0 \n"), std::string::npos) << mk;
    EXPECT_NE(mk.find("\n8            7                   0 \n"), std::string::npos) << mk;
    ASSERT_EQ(cmd("qos named-marker-map diffserv gold 5 46").rc, 0);
    std::string named = cmd("show qos named-marker-map gold").out;
    EXPECT_EQ(named.substr(0, 37), "Marker name = gold\nTotal entries = 8\n");
    EXPECT_NE(named.find("6            5               46 \n"), std::string::npos) << named;
}

TEST_F(QosMap, RunningConfigWritesChangesAndSurvivesARestart) {
    for (const char* line : {"qos classifier-map 8021p 0 6",
                             "qos classifier-map 80211e 7 1",
                             "qos classifier-map diffserv 46 6",
                             "qos classifier-map diffserv 46 4",
                             "qos classifier-map oui 0a:0b:0c 5 action deny",
                             "qos classifier-map oui 0a:0b:0c action log",
                             "qos classifier-map oui 00:1b:63 3",
                             "no qos classifier-map oui 00:15:70",
                             "qos marker-map 8021p 2 3",
                             "qos marker-map diffserv 5 46",
                             "qos marker-map 80211e 0 0",
                             "no qos marker-map 80211e 0",
                             "qos classifier-map interface eth1 5",
                             "qos classifier-map interface eth0 4",
                             "no qos classifier-map interface eth0",
                             "qos classifier-map wireless-interface wifi0.1 6",
                             "qos named-marker-map 8021p \"a b\" 1 7",
                             "qos named-marker-map diffserv gold 5 46",
                             "qos named-marker-map diffserv plain",
                             "qos classifier-map ssid corp 3",
                             "qos classifier-map ssid guest 1",
                             "no qos classifier-map ssid guest"})
        ASSERT_EQ(cmd(line).rc, 0) << line;
    const std::string want =
        "qos classifier-map 8021p 0 6\n"
        "qos classifier-map 80211e 7 1\n"
        "qos classifier-map diffserv 46 4\n"
        "qos classifier-map oui 00:1b:63 3 action permit comment \"Apple iPhone\"\n"
        "qos classifier-map oui 0a:0b:0c 5 action deny\n"
        "qos classifier-map oui 0a:0b:0c 5 action log\n"
        "no qos classifier-map oui 00:15:70\n"
        "qos marker-map 8021p 2 3\n"
        "qos marker-map diffserv 5 46\n"
        "qos named-marker-map 8021p \"a b\"\n"
        "qos named-marker-map 8021p \"a b\" 1 7\n"
        "qos named-marker-map diffserv gold\n"
        "qos named-marker-map diffserv gold 5 46\n"
        "qos named-marker-map diffserv plain\n"
        "qos classifier-map interface eth1 5\n"
        "qos classifier-map ssid corp 3\n";
    EXPECT_EQ(cfg(), want);
    ASSERT_EQ(qz_qos_db_startup(), 0);
    EXPECT_EQ(cfg(), want) << "read back from the FE";
    EXPECT_TRUE(printed(cmd("show qos classifier-map interface"),
                        "Interface-based classification table\nTotal entries = 1\n"
                        "No. Interface Name       Quorvane QoS Class \n" +
                            std::string(44, '-') + "\n1   eth1                           5\n"));
}

TEST_F(QosMap, SsidClassReachesTheSubInterfacesCarryingTheSsid) {
    {
        std::lock_guard lock(ap.core().mu);
        ap.core().dcd_fe.ssid_ifaces = {{"corp", "wifi0.1"}, {"corp", "wifi1.2"}};
    }
    auto table = [](const char* title, const char* head, const std::string& rows, int n) {
        return std::string(title) + "Total entries = " + std::to_string(n) + "\n" + head +
               std::string(std::strlen(head) - 1, '-') + "\n" + rows;
    };
    const char* kIfHead = "No. Interface Name       Quorvane QoS Class \n";
    const char* kSsidHead = "No. SSID Name       Quorvane QoS Class \n";
    run_steps(ap, {
                      {"qos classifier-map ssid corp", "", -1},
                      {"qos classifier-map ssid corp 4", "", -1, "kcode:135"},
                      {"qos classifier-map ssid corp 4", "", -1, "kcode:35"},
                      {"qos classifier-map ssid corp 5", ""},
                      {"qos classifier-map ssid lone 6", ""},
                      {"qos classifier-map interface eth1 7", ""},
                  });
    struct Case {
        const char* line;
        std::string out;
    };
    const Case kCases[] = {
        {"show qos classifier-map ssid",
         table("SSID-based classification table\n", kSsidHead,
               "1   corp                           5\n2   lone                           6\n", 2)},
        {"show qos classifier-map wireless-interface",
         table("Interface-based classification table\n", kIfHead,
               "1   wifi0.1                        5\n2   wifi1.2                        5\n", 2)},
        {"show qos classifier-map all-interfaces",
         table("Interface-based classification table\n", kIfHead,
               "1   wifi0.1                        5\n2   wifi1.2                        5\n"
               "3   eth1                           7\n",
               3)},
    };
    for (const Case& c : kCases) EXPECT_TRUE(printed(cmd(c.line), c.out)) << c.line;
    ASSERT_EQ(cmd("no qos classifier-map ssid corp").rc, 0);
    EXPECT_TRUE(printed(cmd("show qos classifier-map wireless-interface"),
                        table("Interface-based classification table\n", kIfHead, "", 0)));
}

TEST_F(QosMap, StartUpStopsAtTheFirstJudgedFailedMapRead) {
    struct Case {
        const char* fault;
        int rc;
    };
    const Case kCases[] = {{"kcode:25", -1}, {"kcode:28", -1}, {"kcode:31", 0}, {"kcode:65", -1},
                           {"kcode:68", 0},  {"kcode:71", -1}, {"kcode:74", -1}};
    ASSERT_EQ(cmd("qos classifier-map diffserv 9 4").rc, 0);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.fault);
        ap.fault(c.fault, -1, 1);
        EXPECT_EQ(qz_qos_db_startup(), c.rc);
        ap.fault_clear(c.fault);
        EXPECT_EQ(cfg(), "qos classifier-map diffserv 9 4\n") << "an unread map keeps its copy";
    }
}

}  // namespace
