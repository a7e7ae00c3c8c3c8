// Host-name rules against a LocalAp with a scripted resolver: FE rules per
// address pair, the timer's batch, retry and cursor, a blocked resolver
// beside commands, the PPSK-server policy, the profile view and the dump.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fed/cli/qz_fed_ip_policy_cli.h"
#include "fed/policy/qz_fed_grp.h"
#include "fed/policy/qz_fed_resolve.h"
#include "fed/qz_fed_main.h"
#include "platform/backend.h"
#include "tests/support/cli.h"

namespace {

using clitest::cmd;

// name -> addresses (host order); a name not listed fails. g_hold parks the
// resolver until it is cleared.
std::map<std::string, std::vector<std::uint32_t>> g_hosts;
std::mutex g_mu;
std::condition_variable g_cv;
bool g_hold = false, g_held = false;

int stub_resolver(const char* name, std::uint32_t* addrs, int max) {
    std::unique_lock lock(g_mu);
    g_held = true;
    g_cv.notify_all();
    g_cv.wait(lock, [] { return !g_hold; });
    auto it = g_hosts.find(name);
    if (it == g_hosts.end()) return -1;
    int n = 0;
    for (std::uint32_t a : it->second)
        if (n < max) addrs[n++] = htonl(a);
    return n;
}

std::string ip(std::uint32_t net) {
    char buf[40];
    qz_snprintf(buf, sizeof buf, "%i", net);
    return buf;
}

class ResolveTest : public clitest::ApTest {
   protected:
    void SetUp() override {
        ApTest::SetUp();
        mkdir(qz_fs_path(QZ_FED_DB_ROOT).c_str(), 0777);
        mkdir(qz_fs_path(QZ_FED_DB_DIR).c_str(), 0777);
        qz_fed_grp_clear();
        g_hosts.clear();
        qz_fed_set_host_resolver(stub_resolver);
        plat::clock_advance_ms(3600 * 1000);  // fires what an earlier test left armed
    }
    void TearDown() override {
        qz_fed_set_host_resolver(nullptr);
        qz_fed_grp_clear();
        ApTest::TearDown();
    }
    // The group's FE rules, "src>dst" (last octets) or with masks, in FE order.
    std::string fe(const std::string& group, bool full = false) {
        std::lock_guard lock(ap.core().mu);
        const fem::AclGroup* g = fem::acl_group(ap.core().fe, group);
        std::string s;
        for (const fem::AclRule& r : g ? g->rules : std::vector<fem::AclRule>{})
            s += full ? ip(r.src) + "/" + ip(r.src_mask) + ">" + ip(r.dst) + "/" + ip(r.dst_mask) +
                            " "
                      : std::to_string(ntohl(r.src) & 0xFF) + ">" +
                            std::to_string(ntohl(r.dst) & 0xFF) + " ";
        return s;
    }
    std::size_t fe_count(const std::string& group) {
        std::string s = fe(group);
        return static_cast<std::size_t>(std::count(s.begin(), s.end(), ' '));
    }
};

TEST_F(ResolveTest, HostNamesBecomeOneFeRulePerAddressPair) {
    g_hosts = {{"three.x", {0x0A000001, 0x0A000002, 0x0A000003}},
               {"two.x", {0x14000001, 0x14000002}},
               {"none.x", {}},
               {"ten.x", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}}};
    const std::pair<const char*, const char*> cases[] = {
        {"from three.x to two.x", "1>1 1>2 2>1 2>2 3>1 3>2 "},
        {"from 10.0.0.9 to two.x", "9>1 9>2 "},
        {"from none.x", ""},
        {"to ten.x", "0>1 0>2 0>3 0>4 0>5 0>6 0>7 0>8 "},
    };
    for (auto [rule, want] : cases) {
        SCOPED_TRACE(rule);
        ASSERT_EQ(cmd("ip-policy p").rc, 0);
        ASSERT_EQ(cmd(std::string("ip-policy p id 1 ") + rule).rc, 0);
        qz_fed_resolve_run();
        EXPECT_EQ(fe("p"), want);
        std::string shown = cmd("show ip-policy p").out;
        EXPECT_EQ(shown.substr(shown.size() - 2), "N\n") << "resolved";
        ASSERT_EQ(cmd("no ip-policy p").rc, 0);
    }
    ASSERT_EQ(cmd("ip-policy p").rc, 0);
    clitest::run_steps(
        ap, {{"ip-policy p id 1 from -a.x", "host name -a.x is not valid\n", -1},
             {"ip-policy p id 1 to a..x", "host name a..x is not valid\n", -1},
             {"ip-policy p id 1 to 10.0.0.256", "host name 10.0.0.256 is not valid\n", -1},
             {"ip-policy p id 1 from ok-1.x to a.y9", ""}});
    auto spoilt = [](std::string host) {
        return cmd("ip-policy p id 2 from h.x",
                   [&](auto& rec) { clitest::replace_text(rec, "h.x", host); })
            .out;
    };
    EXPECT_EQ(spoilt(std::string(63, 'a') + ".b"), "ERROR:name  exceeds maximum length(64)\n");
    EXPECT_EQ(spoilt(""), "host name  is not valid\n");
}

TEST_F(ResolveTest, TimerBatchesRetriesAndMovesItsCursorPastFailures) {
    // Three policies of 50 rules; the 10th rule of r names a host not known yet.
    for (std::string p : {"p", "q", "r"}) {
        ASSERT_EQ(cmd("ip-policy " + p).rc, 0);
        for (int i = 1; i <= 50; ++i)
            ASSERT_EQ(
                cmd("ip-policy " + p + " from " + (p == "r" && i == 10 ? "late.x" : "10.0.0.1")).rc,
                0);
    }
    const std::pair<std::uint32_t, std::string> steps[] = {
        {1, "50 50 0"},    // a batch of 100
        {9, "50 50 0"},    // the next run is 10 s later
        {1, "50 50 9"},    // stops at the host that fails
        {10, "50 50 49"},  // goes on after it
        {10, "50 50 49"},  // wraps round to it again
    };
    for (auto [secs, want] : steps) {
        plat::clock_advance_ms(secs * 1000);
        EXPECT_EQ(std::to_string(fe_count("p")) + " " + std::to_string(fe_count("q")) + " " +
                      std::to_string(fe_count("r")),
                  want);
    }
    g_hosts["late.x"] = {0x0A000063};
    plat::clock_advance_ms(20 * 1000);
    EXPECT_EQ(fe_count("r"), 50u);
    EXPECT_EQ(fe("r").substr(9 * 4, 5), "99>0 ") << "the late rule lands in its stored place";
    EXPECT_EQ(qz_fed_resolve_cursor(), 0u) << "nothing left: the timer stopped";
}

TEST_F(ResolveTest, ABlockedResolverNeverHoldsUpCommands) {
    g_hosts = {{"slow.x", {0x0A000005}}};
    ASSERT_EQ(cmd("ip-policy p").rc, 0);
    ASSERT_EQ(cmd("ip-policy p id 1 from slow.x").rc, 0);
    g_hold = true;
    g_held = false;
    std::thread timer([] { qz_fed_resolve_run(); });
    {
        std::unique_lock lock(g_mu);
        g_cv.wait(lock, [] { return g_held; });
    }
    EXPECT_EQ(cmd("ip-policy p id 2 from 10.0.0.2").rc, 0);
    EXPECT_EQ(cmd("no ip-policy p id 1").rc, 0) << "the pass re-reads what it resolved";
    {
        std::lock_guard lock(g_mu);
        g_hold = false;
    }
    g_cv.notify_all();
    timer.join();
    qz_fed_resolve_run();
    EXPECT_EQ(fe("p"), "2>0 ");
}

TEST_F(ResolveTest, PpskServerPolicyFollowsDhcp) {
    const std::uint8_t changed[8] = {1}, other[8] = {2};
    auto rules = [](std::string server) {
        return "0.0.0.0/0.0.0.0>" + server +
               "/255.255.255.255 0.0.0.0/0.0.0.0>1.1.0.0/255.255.0.0 "
               "1.1.0.0/255.255.0.0>192.168.1.10/255.255.255.0 "
               "192.168.1.10/255.255.255.255>0.0.0.0/0.0.0.0 ";
    };
    struct Case {
        std::uint32_t server;  // host order
        const void* body;      // nullptr: the policy is being created
        const char* fault;
        std::string fe, log;
    };
    const Case cases[] = {
        {0, changed, nullptr, "", "no ppsk server returned from dhcp"},
        {0x0A000007, nullptr, nullptr, rules("10.0.0.7"), ""},
        {0x0A000008, other, nullptr, rules("10.0.0.7"), ""},
        {0x0A000008, changed, nullptr, rules("10.0.0.8"), ""},
        {9, changed, "read_interface", rules("10.0.0.8"), "read interface for mgt0 failed"},
        {9, changed, "qz_tpa_get_ppsksrv", rules("10.0.0.8"), "get ppsk server IP failed"},
    };
    ASSERT_EQ(cmd("ip-policy " QZ_FED_PPSK_POLICY).rc, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server);
        ap.core().ppsk_server = htonl(c.server);
        if (c.fault) ap.fault(c.fault, -1, 1);
        std::size_t seen = ap.log().size();
        qz_fed_set_ippolicy4ppsk_chg_by_dhcp(c.body ? 8 : 0, c.body);
        ap.fault_clear();
        EXPECT_EQ(fe(QZ_FED_PPSK_POLICY, true), c.fe);
        EXPECT_NE(ap.log().find(c.log, seen), std::string::npos);
    }
    std::lock_guard lock(ap.core().mu);
    for (const fem::AclRule& r : fem::acl_group(ap.core().fe, QZ_FED_PPSK_POLICY)->rules)
        EXPECT_EQ(r.service + std::to_string(r.flags) + "/" + std::to_string(r.action), "any15/1");
}

TEST_F(ResolveTest, ProfileViewAndPolicyDump) {
    for (const char* l :
         {"ip-policy a", "ip-policy a id 3 from 10.0.0.3",
          "ip-policy a id 1 from 10.0.0.1 action permit", "user-profile guest group-id 7",
          "user-profile guest ip-policy from-access a to-access a"})
        ASSERT_EQ(cmd(l).rc, 0) << l;
    qz_fed_resolve_run();
    std::string fe_a = cmd("show ip-policy a fe action permit").out;
    std::string dash = std::string(68, '-') + "\n";
    const std::pair<std::string, std::string> cases[] = {
        {"show user-profile guest ip-policy action permit",
         "User profile ID=7\nDefault IP policy=deny\nDirection from access=a\n" + fe_a +
             "\nDirection to access=a\nThe info is the same as above\n"},
        {"show user-profile id 7 ip-policy to-access action permit",
         "User profile ID=7\nDefault IP policy=deny\nDirection to access=a\n" + fe_a},
        {"show user-profile default-profile ip-policy",
         "User profile ID=0\nDefault IP policy=deny\nDirection from access=Not defined\n"
         "Direction to access=Not defined\n"},
        {"show ip-policy b mapping", std::string(87, '-') + "\n"},
        {"show ip-policy a mapping",
         "index:0  name:a\nThere are 1 group in FED\nin group a\nmapping_cnt is 2\nrules_cnt is 2\n"
         "fed_id already used:\n     1     3\nfe_id already used:\n     1     2\n" +
             dash +
             "fed_id:3      Need_resolve:N rulenum:1      \nfe_id: 1      from 10.0.0.3 to "
             "0.0.0.0\n" +
             dash +
             "fed_id:1      Need_resolve:N rulenum:1      \nfe_id: 2      from 10.0.0.1 to "
             "0.0.0.0\n" +
             dash},
    };
    for (const auto& [line, out] : cases) EXPECT_TRUE(clitest::printed(cmd(line), out)) << line;
    EXPECT_TRUE(clitest::printed(cmd("show user-profile ghost ip-policy"),
                                 "User profile name ghost not exist!\n", -1));
}

}  // namespace
