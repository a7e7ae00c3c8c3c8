// IP-policy commands in-process against a LocalAp, typed as text: messages
// and results of every refusal, the FE rule records each kind of rule
// makes, rule order through insert, replace and move, log removal, the
// running configuration, and FE failures that must leave nothing half-made.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fed/cli/qz_fed_ip_policy_cli.h"
#include "fed/policy/qz_fed_grp.h"
#include "fed/policy/qz_fed_resolve.h"
#include "fed/qz_fed_main.h"
#include "platform/acl_msg.h"
#include "tests/support/cli.h"

namespace {

using clitest::cmd;
using clitest::Ran;
using clitest::run_steps;
namespace ar = fe_acl_rule;

class IpPolicyTest : public clitest::ApTest {
   protected:
    void SetUp() override {
        ApTest::SetUp();
        mkdir(qz_fs_path(QZ_FED_DB_ROOT).c_str(), 0777);
        mkdir(qz_fs_path(QZ_FED_DB_DIR).c_str(), 0777);
        qz_fed_grp_clear();
    }
    void TearDown() override {
        qz_fed_grp_clear();
        ApTest::TearDown();
    }
    // The source addresses of the group's FE rules, in FE order ("10.0.0.4 ...").
    std::string fe_order(const std::string& group) {
        std::lock_guard lock(ap.core().mu);
        const fem::AclGroup* g = fem::acl_group(ap.core().fe, group);
        if (!g) return "none";
        std::string s;
        for (const fem::AclRule& r : g->rules)  // first byte of the address
            s += std::to_string(reinterpret_cast<const std::uint8_t*>(&r.src)[0]) + " ";
        return s;
    }
    std::vector<fem::FeCall> adds() {
        std::vector<fem::FeCall> v;
        for (const fem::FeCall& c : ap.fe_calls())
            if (c.text == "fe_fw_acl_add") v.push_back(c);
        return v;
    }
    std::string running() { return clitest::lines(clitest::emit(qz_fed_ip_policy_cfg)); }
};

TEST_F(IpPolicyTest, RefusalsSayWhyAndChangeNothing) {
    run_steps(
        ap, {
                {"ip-policy p", ""},
                {"ip-policy p", "group p already exist!\n", -1},
                {"ip-policy q id 1 action permit", "group q not exist!\n", -1},
                {"ip-policy p id 1 service nosuch", "service nosuch not existed!\r\n", -1},
                {"ip-policy p id 1 from 10.0.0.1 before id 9", "The move_id does not exist!\n", -1},
                {"ip-policy p id 1 from 10.0.0.1", ""},
                {"ip-policy p id 1 before id 1", "The two id are the same!\n", -1},
                {"ip-policy p id 4 after id 1", "The id assigned does not exist!\n", -1},
                {"no ip-policy p id 9", "In IP policy p id 9 not exist\n", -1},
                {"no ip-policy p id 9 log", "In IP policy p id 9 not exist\n", -1},
                {"no ip-policy q", "IP policy q not exist,use ip-policy to create\n", -1},
                {"ip-policy q", "", -1, "fe_fw_grp_add_flag"},
                {"ip-policy q id 1", "group q not exist!\n", -1},
                {"no ip-policy p", ""},
                {"ip-policy p id 1", "group p not exist!\n", -1},
            });
    EXPECT_EQ(qz_fed_grp_count(), 0);
}

TEST_F(IpPolicyTest, PolicyAndRuleLimits) {
    for (int i = 0; i < QZ_FED_GRP_MAX; ++i)
        ASSERT_EQ(cmd("ip-policy g" + std::to_string(i)).rc, 0);
    run_steps(ap, {{"ip-policy g32", "exceed max groups, can't add any more!\n", 0}});
    for (int i = 0; i < QZ_FED_RULES_MAX; ++i) ASSERT_EQ(cmd("ip-policy g0 action permit").rc, 0);
    run_steps(ap, {{"ip-policy g0 action permit", "can't get default id\n", -1},
                   {"ip-policy g0 id 900 action permit", "", -1},
                   {"no ip-policy g0 id 2", ""},
                   {"ip-policy g0 action deny", ""}});
    EXPECT_NE(running().find("ip-policy g0 id 2 action deny\n"), std::string::npos);
}

TEST_F(IpPolicyTest, EachKindMakesItsFeRule) {
    struct Case {
        const char* line;
        std::uint32_t action;
        std::uint8_t flags;
        std::uint32_t src, src_mask, dst, dst_mask;  // as written (network order bytes)
    };
    const Case cases[] = {
        {"ip-policy p id 1 from 10.1.0.0 255.255.0.0 to 1.2.3.4", 2, 0x0B, 0x0A010000, 0xFFFF0000,
         0x01020304, 0xFFFFFFFF},
        {"ip-policy p id 2 to local-subnet action n/a", 6, 0x0A, 0, 0, 0, 0xFFFFFFFF},
        {"ip-policy p id 3 service web action permit log", 1, 0xDC, 0, 0, 0, 0},
        {"ip-policy p id 4 action permit log initiate-session", 1, 0x58, 0, 0, 0, 0},
        {"ip-policy p id 5 action deny log packet-drop", 2, 0x38, 0, 0, 0, 0},
        {"ip-policy p id 6 action inter-station-traffic-drop log", 3, 0xF8, 0, 0, 0, 0},
        {"ip-policy p id 7 action inter-station-traffic-drop log terminate-session", 3, 0x98, 0, 0,
         0, 0},
        {"ip-policy p id 8 action NAT", 4, 0x08, 0, 0, 0, 0},
    };
    ASSERT_EQ(cmd("service web protocol tcp port 80").rc, 0);
    ASSERT_EQ(cmd("ip-policy p").rc, 0);
    std::uint32_t fe_id = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ap.clear_logs();
        ASSERT_EQ(cmd(c.line).rc, 0);
        EXPECT_TRUE(adds().empty()) << "a command only stores the rule";
        qz_fed_resolve_run();
        std::vector<fem::FeCall> a = adds();
        ASSERT_FALSE(a.empty());
        // The pass adds the new rule, then rebuilds the group in stored order.
        const std::vector<std::uint8_t>& r = a.back().args;
        ASSERT_EQ(r.size(), ar::kSize);
        auto h32 = [&](std::size_t off) { return wire::load_h<std::uint32_t>(r.data() + off); };
        auto be32 = [&](std::size_t off) { return wire::load_be32(r.data() + off); };
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data())), "p");
        EXPECT_EQ(h32(ar::kId), ++fe_id);
        EXPECT_EQ(r[ar::kPos], ar::kPosAppend);
        EXPECT_EQ(r[ar::kFlags], c.flags);
        EXPECT_EQ(h32(ar::kAction), c.action);
        EXPECT_EQ(be32(ar::kSrc), c.src);
        EXPECT_EQ(be32(ar::kSrcMask), c.src_mask);
        EXPECT_EQ(be32(ar::kDst), c.dst);
        EXPECT_EQ(be32(ar::kDstMask), c.dst_mask);
    }
}

TEST_F(IpPolicyTest, OrderFollowsInsertReplaceAndMove) {
    ASSERT_EQ(cmd("ip-policy p").rc, 0);
    for (const char* l : {"ip-policy p id 1 from 10.0.0.1", "ip-policy p id 2 from 20.0.0.2",
                          "ip-policy p id 3 from 30.0.0.3"})
        ASSERT_EQ(cmd(l).rc, 0);
    qz_fed_resolve_run();
    EXPECT_EQ(fe_order("p"), "10 20 30 ");
    ASSERT_EQ(cmd("ip-policy p id 4 from 40.0.0.4 before id 2").rc, 0);
    ASSERT_EQ(cmd("ip-policy p id 2 from 50.0.0.5").rc, 0);  // replaced in its place
    ASSERT_EQ(cmd("ip-policy p id 6 from 70.0.0.7 after id 3").rc, 0);
    ASSERT_EQ(cmd("no ip-policy p id 3").rc, 0);  // before the pass places rule 6
    qz_fed_resolve_run();
    EXPECT_EQ(fe_order("p"), "10 40 50 70 ");
    ASSERT_EQ(cmd("ip-policy p id 3 from 30.0.0.3 before id 6").rc, 0);
    ASSERT_EQ(cmd("no ip-policy p id 6").rc, 0);
    qz_fed_resolve_run();
    EXPECT_EQ(fe_order("p"), "10 40 50 30 ");
    ASSERT_EQ(cmd("ip-policy p id 1 after id 3").rc, 0);
    EXPECT_EQ(fe_order("p"), "40 50 30 10 ") << "a resolved rule moves in the FE at once";
    ASSERT_EQ(cmd("ip-policy p id 2 before id 3").rc, 0);  // already there
    EXPECT_EQ(fe_order("p"), "40 50 30 10 ");
    ASSERT_EQ(cmd("ip-policy p id 5 from 60.0.0.6 action permit log").rc, 0);
    qz_fed_resolve_run();
    run_steps(ap, {{"no ip-policy p id 5 log", ""}, {"no ip-policy p id 3", ""}});
    EXPECT_EQ(fe_order("p"), "40 50 10 60 ");
    EXPECT_EQ(running(),
              "ip-policy p\n"
              "ip-policy p id 4 from 40.0.0.4 255.255.255.255 \n"
              "ip-policy p id 2 from 50.0.0.5 255.255.255.255 \n"
              "ip-policy p id 1 from 10.0.0.1 255.255.255.255 \n"
              "ip-policy p id 5 from 60.0.0.6 255.255.255.255 action permit\n");
    std::lock_guard lock(ap.core().mu);
    EXPECT_EQ(fem::acl_group(ap.core().fe, "p")->rules.back().flags, 0x09) << "no logging left";
}

TEST_F(IpPolicyTest, FeFailuresLeaveNothingHalfMade) {
    ASSERT_EQ(cmd("ip-policy p").rc, 0);
    ASSERT_EQ(cmd("ip-policy p id 1 from 10.0.0.1 to local-subnet").rc, 0);
    ap.fault("fe_fw_acl_add", -1, 1);
    qz_fed_resolve_run();
    EXPECT_EQ(fe_order("p"), "") << "still pending";
    qz_fed_resolve_run();  // the next pass tries again
    EXPECT_EQ(fe_order("p"), "10 ");
    run_steps(ap, {{"no ip-policy p id 1", "", -1, "fe_fw_acl_delete_by_id"}});
    EXPECT_EQ(fe_order("p"), "10 ");
    EXPECT_EQ(running(),
              "ip-policy p\nip-policy p id 1 from 10.0.0.1 255.255.255.255 to local-subnet \n");
    run_steps(ap, {{"no ip-policy p id 1", ""}, {"no ip-policy p", "", -1, "fe_fw_grp_del"}});
    EXPECT_EQ(running(), "ip-policy p\n");
    run_steps(ap, {{"no ip-policy p", ""}});
    EXPECT_EQ(fe_order("p"), "none");
    EXPECT_EQ(qz_fed_grp_count(), 0);
}

TEST_F(IpPolicyTest, DisplaysOfStoredAndFeRules) {
    for (const char* l : {"service a-service-name-of-19 protocol tcp port 81", "ip-policy p",
                          "ip-policy p id 1 to local-subnet service a-service-name-of-19",
                          "ip-policy p id 2 from 10.0.0.0 255.0.0.0 action deny log packet-drop",
                          "ip-policy p id 3 from host.example action permit log"})
        ASSERT_EQ(cmd(l).rc, 0) << l;
    qz_fed_resolve_run();
    const char* head =
        "ID     From                            To                              "
        "Service             Action  Flag  Resolve\n"
        "------ ------------------------------- ------------------------------- "
        "------------------- ------- ----  -------\n";
    EXPECT_EQ(cmd("show ip-policy p").out,
              std::string(head) +
                  "1      0.0.0.0/0.0.0.0                 192.168.1.0/255.255.255.0       "
                  "a-service-name-...  deny            N\n"
                  "2      10.0.0.0/255.0.0.0              0.0.0.0/0.0.0.0                 "
                  "                    deny    D       N\n"
                  "3      host.example                    0.0.0.0/0.0.0.0                 "
                  "any                 permit          Y\n");
    EXPECT_EQ(cmd("show ip-policy").out,
              "IP Policy Table\nTotal policies=1\n\nNo.     IP Policy name\n"
              "---     --------------\n1       p\n");
    std::string fe = cmd("show ip-policy p fe action deny limit 1").out;
    EXPECT_EQ(fe.substr(0, fe.find("D=")), "IP policy=p\nTotal policies=2\nMatch policies=1\n");
    EXPECT_NE(fe.find("\n1      0.0.0.0/0.0.0.0                 192.168.1.0/255.255.255.0       "
                      "a-service-name-...  deny    \n"),
              std::string::npos)
        << fe;
    std::string by_net = cmd("show ip-policy p fe from 10.9.0.0 255.0.0.0").out;
    EXPECT_EQ(by_net.substr(0, by_net.find("D=")),
              "IP policy=p\nTotal policies=2\nMatch policies=1\n");
    EXPECT_NE(
        by_net.find("\n2      10.0.0.0/255.0.0.0              0.0.0.0/0.0.0.0                 "
                    "                    deny    D\n"),
        std::string::npos)
        << by_net;
    run_steps(ap, {{"show ip-policy q", "IP policy q not exist!\n", -1},
                   {"show ip-policy 0123456789012345678901234567890123 fe",
                    "ERROR:name  exceeds maximum length(33)\n", -1}});
}

TEST_F(IpPolicyTest, PassesBesideCommandsNeverShareAnFeId) {
    ASSERT_EQ(cmd("ip-policy p").rc, 0);
    std::atomic<bool> done{false};
    std::thread timer([&] {
        while (!done) qz_fed_resolve_run();
    });
    for (int i = 1; i <= 40; ++i)
        EXPECT_EQ(cmd("ip-policy p from 10.0.0." + std::to_string(i)).rc, 0);
    done = true;
    timer.join();
    qz_fed_resolve_run();
    std::lock_guard lock(ap.core().mu);
    std::set<std::uint32_t> ids;
    for (const fem::AclRule& r : fem::acl_group(ap.core().fe, "p")->rules) ids.insert(r.id);
    EXPECT_EQ(ids.size(), 40u);
    EXPECT_EQ(qz_fed_grp_slot(qz_fed_grp_find("p")).rules_cnt, 40);
}

TEST_F(IpPolicyTest, ProfilesBindPoliciesAndSetDefaults) {
    run_steps(
        ap, {
                {"ip-policy in1", ""},
                {"ip-policy out1", ""},
                {"user-profile guest ip-policy from-access no1",
                 "from-access ip-policy no1 not exist!\n", -1},
                {"user-profile guest ip-policy to-access no2",
                 "to-access ip-policy no2 not exist!\n", -1},
                {"user-profile guest ip-policy from-access in1 to-access out1", ""},
                {"no user-profile ghost ip-policy to-access",
                 "User profile name ghost not exist!\n", -1},
                {"no user-profile guest ip-policy to-access", ""},
                {"user-profile guest ip-policy to-access in1",
                 "bind error guest from-access  to-access in1", -65535, "fe_fw_acl_grp_bind"},
                {"no user-profile ghost default-ip-action", "user profile ghost not exist!\n", -1},
                {"user-profile guest default-ip-action nat", ""},
                {"user-profile guest deny ipv6", ""},
            });
    // guest has the default profile's group id 0: both share the UPID's settings.
    EXPECT_EQ(clitest::lines(clitest::emit(qz_fed_ip_policy_binding_cfg)),
              "user-profile default-profile ip-policy from-access in1\n");
    EXPECT_EQ(clitest::lines(clitest::emit(qz_fed_ip_policy_def_action_cfg)),
              "user-profile default-profile default-ip-action nat\n"
              "user-profile guest default-ip-action nat\n");
    Ran odd = cmd("user-profile guest deny ipv4",
                  [](auto& rec) { clitest::replace_text(rec, "ipv4", "ipv5"); });
    EXPECT_EQ(odd.out, "deny traffic type ipv5 not supported\n");
    EXPECT_EQ(odd.rc, -1);
    std::vector<fem::FeCall> calls = ap.fe_calls();
    auto last = std::find_if(calls.rbegin(), calls.rend(), [](const fem::FeCall& c) {
        return c.text == "fe_up_deny_ipv4_or_v6";
    });
    ASSERT_NE(last, calls.rend());
    EXPECT_EQ(clitest::load32(last->args, 4), 2u) << "IPv6";
}

}  // namespace
