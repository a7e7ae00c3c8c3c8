// Host-name rules against a LocalAp with a scripted resolver: the FE rules a
// resolved rule makes, the timer's cursor, batch and retry, a blocked
// resolver beside commands, the PPSK-server policy, and the profile and
// policy-table displays.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// name -> addresses (host-order a.b.c.d as 0xAABBCCDD); a name not listed fails.
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

class ResolveTest : public clitest::ApTest {
   protected:
    void SetUp() override {
        ApTest::SetUp();
        mkdir(qz_fs_path(QZ_FED_DB_ROOT).c_str(), 0777);
        mkdir(qz_fs_path(QZ_FED_DB_DIR).c_str(), 0777);
        qz_fed_grp_clear();
        g_hosts.clear();
        qz_fed_set_host_resolver(stub_resolver);
        plat::clock_advance_ms(3600 * 1000);  // runs whatever an earlier test left armed
    }
    void TearDown() override {
        qz_fed_set_host_resolver(nullptr);
        qz_fed_grp_clear();
        ApTest::TearDown();
    }
    // The group's FE rules as "src>dst" (last octets), in FE order.
    std::string fe(const std::string& group) {
        std::lock_guard lock(ap.core().mu);
        const fem::AclGroup* g = fem::acl_group(ap.core().fe, group);
        if (!g) return "none";
        std::string s;
        for (const fem::AclRule& r : g->rules)
            s += std::to_string(ntohl(r.src) & 0xFF) + ">" + std::to_string(ntohl(r.dst) & 0xFF) +
                 " ";
        return s;
    }
    std::size_t fe_count(const std::string& group) {
        std::lock_guard lock(ap.core().mu);
        const fem::AclGroup* g = fem::acl_group(ap.core().fe, group);
        return g ? g->rules.size() : 0;
    }
    // The Resolve column of the stored view, one letter a rule.
    std::string pending(const std::string& group) {
        std::string out = cmd("show ip-policy " + group).out, s;
        for (std::size_t end = out.find('\n'), n = 0; end != std::string::npos;
             end = out.find('\n', end + 1))
            if (++n > 2) s += out[end - 1];
        return s;
    }
};

std::string ip(std::uint32_t net) {
    char buf[40];
    qz_snprintf(buf, sizeof buf, "%i", net);
    return buf;
}

TEST_F(ResolveTest, HostNamesBecomeOneFeRulePerAddressPair) {
    g_hosts = {{"three.example", {0x0A000001, 0x0A000002, 0x0A000003}},
               {"two.example", {0x14000001, 0x14000002}},
               {"none.example", {}},
               {"ten.example", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}}};
    struct Case {
        const char* rule;
        const char* fe;
    };
    const Case cases[] = {
        {"from three.example to two.example", "1>1 1>2 2>1 2>2 3>1 3>2 "},
        {"from 10.0.0.9 to two.example", "9>1 9>2 "},
        {"from none.example", ""},
        {"to ten.example", "0>1 0>2 0>3 0>4 0>5 0>6 0>7 0>8 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        ASSERT_EQ(cmd("ip-policy p").rc, 0);
        ASSERT_EQ(cmd(std::string("ip-policy p id 1 ") + c.rule).rc, 0);
        qz_fed_resolve_run();
        EXPECT_EQ(fe("p"), c.fe);
        EXPECT_EQ(pending("p"), "N");
        ASSERT_EQ(cmd("no ip-policy p").rc, 0);
    }
}

TEST_F(ResolveTest, RefusesHostNamesThatAreNoDnsNames) {
    ASSERT_EQ(cmd("ip-policy p").rc, 0);
    clitest::run_steps(
        ap, {{"ip-policy p id 1 from -a.example", "host name -a.example is not valid\n", -1},
             {"ip-policy p id 1 to a..example", "host name a..example is not valid\n", -1},
             {"ip-policy p id 1 to 10.0.0.256", "host name 10.0.0.256 is not valid\n", -1},
             {"ip-policy p id 1 to a_b.example", "host name a_b.example is not valid\n", -1},
             {"ip-policy p id 1 from ok-1.example to x.y9", ""}});
    std::string label(63, 'a');
    clitest::Ran long_name = cmd("ip-policy p id 2 from h.example", [&](auto& rec) {
        clitest::replace_text(rec, "h.example", label + "." + label.substr(0, 1));
    });
    EXPECT_EQ(long_name.out, "ERROR:name  exceeds maximum length(64)\n");
    clitest::Ran empty = cmd("ip-policy p id 2 from h.example",
                             [&](auto& rec) { clitest::replace_text(rec, "h.example", ""); });
    EXPECT_EQ(empty.out, "host name  is not valid\n");
}

TEST_F(ResolveTest, TimerBatchesRetriesAndMovesItsCursorPastFailures) {
    // Three policies of 50 rules; the 10th rule of r names a host not known yet.
    for (const char* p : {"p", "q", "r"}) {
        ASSERT_EQ(cmd(std::string("ip-policy ") + p).rc, 0);
        for (int i = 1; i <= 50; ++i) {
            std::string from = std::string(p) == "r" && i == 10 ? "late.example" : "10.0.0.1";
            ASSERT_EQ(cmd(std::string("ip-policy ") + p + " from " + from).rc, 0);
        }
    }
    struct Step {
        std::uint32_t advance_s;
        std::size_t p, q, r;  // FE rules after the step
    };
    const Step steps[] = {
        {1, 50, 50, 0},    // a batch of 100
        {9, 50, 50, 0},    // the next run is 10 s later
        {1, 50, 50, 9},    // stops at the host that fails
        {10, 50, 50, 49},  // goes on after it
        {10, 50, 50, 49},  // wraps round to it again
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.advance_s);
        plat::clock_advance_ms(s.advance_s * 1000);
        EXPECT_EQ(fe_count("p"), s.p);
        EXPECT_EQ(fe_count("q"), s.q);
        EXPECT_EQ(fe_count("r"), s.r);
    }
    EXPECT_NE(qz_fed_resolve_cursor(), 0u);
    g_hosts["late.example"] = {0x0A000063};
    plat::clock_advance_ms(20 * 1000);
    EXPECT_EQ(fe_count("r"), 50u);
    EXPECT_EQ(fe("r").substr(9 * 4, 5), "99>0 ") << "the late rule lands in its stored place";
    EXPECT_EQ(qz_fed_resolve_cursor(), 0u) << "nothing left: the timer stopped";
}

TEST_F(ResolveTest, ABlockedResolverNeverHoldsUpCommands) {
    g_hosts = {{"slow.example", {0x0A000005}}};
    ASSERT_EQ(cmd("ip-policy p").rc, 0);
    ASSERT_EQ(cmd("ip-policy p id 1 from slow.example").rc, 0);
    {
        std::lock_guard lock(g_mu);
        g_hold = true;
        g_held = false;
    }
    std::thread timer([] { qz_fed_resolve_run(); });
    {
        std::unique_lock lock(g_mu);
        g_cv.wait(lock, [] { return g_held; });
    }
    EXPECT_EQ(cmd("ip-policy p id 2 from 10.0.0.2").rc, 0);
    EXPECT_EQ(pending("p"), "YY");
    {
        std::lock_guard lock(g_mu);
        g_hold = false;
    }
    g_cv.notify_all();
    timer.join();
    qz_fed_resolve_run();
    EXPECT_EQ(fe("p"), "5>0 2>0 ");
}

TEST_F(ResolveTest, PpskServerPolicyFollowsDhcp) {
    const std::uint8_t changed[8] = {1}, other[8] = {2};
    auto rules = [](const char* server) {
        return std::string("0.0.0.0/0.0.0.0>") + server + "/255.255.255.255 " +
               "0.0.0.0/0.0.0.0>1.1.0.0/255.255.0.0 1.1.0.0/255.255.0.0>192.168.1.10/255.255.255.0 "
               "192.168.1.10/255.255.255.255>0.0.0.0/0.0.0.0 ";
    };
    struct Case {
        std::uint32_t server;  // host order
        const void* body;      // nullptr: the policy is being created
        const char* fault;
        std::string fe;
        const char* log;
    };
    const Case cases[] = {
        {0, changed, nullptr, "", "no ppsk server returned from dhcp"},
        {0x0A000007, nullptr, nullptr, rules("10.0.0.7"), nullptr},
        {0x0A000008, other, nullptr, rules("10.0.0.7"), nullptr},
        {0x0A000008, changed, nullptr, rules("10.0.0.8"), nullptr},
        {0x0A000009, changed, "read_interface", rules("10.0.0.8"),
         "read interface for mgt0 failed"},
        {0x0A000009, changed, "qz_tpa_get_ppsksrv", rules("10.0.0.8"), "get ppsk server IP failed"},
    };
    ASSERT_EQ(cmd("ip-policy " QZ_FED_PPSK_POLICY).rc, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server);
        ap.core().ppsk_server = htonl(c.server);
        if (c.fault) ap.fault(c.fault, -1, 1);
        std::size_t seen = ap.log().size();
        qz_fed_set_ippolicy4ppsk_chg_by_dhcp(c.body ? 8 : 0, c.body);
        ap.fault_clear();
        std::string s;
        {
            std::lock_guard lock(ap.core().mu);
            for (const fem::AclRule& r : fem::acl_group(ap.core().fe, QZ_FED_PPSK_POLICY)->rules) {
                EXPECT_EQ(r.service + std::to_string(r.flags) + "/" + std::to_string(r.action),
                          "any15/1");
                s +=
                    ip(r.src) + "/" + ip(r.src_mask) + ">" + ip(r.dst) + "/" + ip(r.dst_mask) + " ";
            }
        }
        EXPECT_EQ(s, c.fe);
        if (c.log) {
            EXPECT_NE(ap.log().find(c.log, seen), std::string::npos);
        }
    }
}

TEST_F(ResolveTest, ProfileViewAndPolicyDump) {
    for (const char* l :
         {"ip-policy a", "ip-policy b", "ip-policy a id 3 from 10.0.0.3",
          "ip-policy a id 1 from 10.0.0.1 action permit", "user-profile guest group-id 7",
          "user-profile guest ip-policy from-access a to-access a",
          "user-profile guest default-ip-action permit", "user-profile solo group-id 9"})
        ASSERT_EQ(cmd(l).rc, 0) << l;
    qz_fed_resolve_run();
    const std::string fe_a =
        "IP policy=a\nTotal policies=2\nMatch policies=1\n"
        "D=Log Deny; I=Log Session Initiation; T=Log Session Termination\n"
        "\"to local-subnet\" will be converted to display actual subnet of mgt0\n\n"
        "IID     From                            To                              Service       "
        "      Action  Flag\n"
        "------ ------------------------------- ------------------------------- "
        "------------------- ------- ----\n"
        "2      10.0.0.1/255.255.255.255        0.0.0.0/0.0.0.0                 "
        "                    permit  \n";
    const std::string head = "User profile ID=7\nDefault IP policy=permit\n";
    struct Case {
        std::string line, out;
        int rc;
    };
    const Case cases[] = {
        {"show user-profile guest ip-policy action permit",
         head + "Direction from access=a\n" + fe_a +
             "\nDirection to access=a\nThe info is the same as above\n",
         0},
        {"show user-profile id 7 ip-policy to-access action permit",
         head + "Direction to access=a\n" + fe_a, 0},
        {"show user-profile solo ip-policy",
         "User profile ID=9\nDefault IP policy=deny\nDirection from access=Not defined\n"
         "Direction to access=Not defined\n",
         0},
        {"show user-profile ghost ip-policy", "User profile name ghost not exist!\n", -1},
        {"show ip-policy b mapping", std::string(87, '-') + "\n", 0},
        {"show ip-policy a mapping",
         "index:0  name:a\nindex:1  name:b\nThere are 2 group in FED\nin group a\n"
         "mapping_cnt is 2\nrules_cnt is 2\nfed_id already used:\n     1     3\n"
         "fe_id already used:\n     1     2\n" +
             std::string(68, '-') +
             "\nfed_id:3      Need_resolve:N rulenum:1      \nfe_id: 1      from 10.0.0.3 to "
             "0.0.0.0\n" +
             std::string(68, '-') +
             "\nfed_id:1      Need_resolve:N rulenum:1      \nfe_id: 2      from 10.0.0.1 to "
             "0.0.0.0\n" +
             std::string(68, '-') + "\n",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_TRUE(clitest::printed(cmd(c.line), c.out, c.rc));
    }
}

}  // namespace
