// MAC-policy commands in-process against a LocalAp, typed as text: the rule
// records the FE receives, every refusal and FE failure with its message and
// result, the displays, and the running configuration read back from the FE.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fed/cli/qz_fed_mac_policy_cli.h"
#include "platform/fe/model.h"
#include "platform/mac_acl_msg.h"
#include "tests/support/cli.h"

namespace {

using clitest::cmd;
using clitest::run_steps;
namespace mr = fe_mac_rule;

class MacPolicyTest : public clitest::ApTest {
   protected:
    // Rule ids of the group in FE order ("1 7 2 "), or "none".
    std::string fe_order(const std::string& group) {
        std::lock_guard lock(ap.core().mu);
        const fem::MacGroup* g = fem::mac_group(ap.core().fe, group);
        if (!g) return "none";
        std::string s;
        for (const fem::MacRule& r : g->rules) s += std::to_string(r.id) + " ";
        return s;
    }
    // The arguments of the newest FE call of that name.
    std::vector<std::uint8_t> last_args(const std::string& fn) {
        std::vector<fem::FeCall> calls = ap.fe_calls();
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->text == fn) return it->args;
        return {};
    }
    std::string running() {
        return clitest::lines(clitest::emit(qz_fed_mac_policy_cfg)) +
               clitest::lines(clitest::emit(qz_fed_mac_policy_def_action_cfg));
    }
};

TEST_F(MacPolicyTest, RulesReachTheFeFieldByField) {
    struct Case {
        const char* line;
        const char* fn;
        std::size_t at;  // where the rule record starts in the call's arguments
        std::uint32_t id;
        std::uint8_t pos;
        std::uint32_t ref;
        std::uint16_t flags;
        std::uint8_t src_last;
        std::uint32_t src_mask;
        std::uint8_t dst_last;
        std::uint32_t dst_mask, action;
        const char* order;
    };
    const Case cases[] = {
        {"mac-policy p id 1 from aa:bb:cc:dd:ee:01 24", "fe_mac_acl_add", 0, 1, 0, 0, 0x014, 0x01,
         3, 0, 0, 2, "1 "},
        {"mac-policy p id 2 to aabb.ccdd.ee02 action permit", "fe_mac_acl_add", 0, 2, 0, 0, 0x018,
         0, 0, 0x02, 6, 1, "1 2 "},
        {"mac-policy p id 3 from aa-bb-cc-dd-ee-03 0 action deny log packet-drop before id 1",
         "fe_mac_acl_add", 0, 3, 1, 1, 0x074, 0x03, 0, 0, 0, 2, "3 1 2 "},
        {"mac-policy p id 4 action permit log", "fe_mac_acl_add", 0, 4, 0, 0, 0x1B0, 0, 0, 0, 0, 1,
         "3 1 2 4 "},
        {"mac-policy p id 5 action permit log initiate-session after id 1", "fe_mac_acl_add", 0, 5,
         2, 1, 0x0B0, 0, 0, 0, 0, 1, "3 1 5 2 4 "},
        {"mac-policy p id 6 to aabbccddee06 48 action permit log terminate-session",
         "fe_mac_acl_add", 0, 6, 0, 0, 0x138, 0, 0, 0x06, 6, 1, "3 1 5 2 4 6 "},
        {"mac-policy p id 4 before id 3", "fe_mac_acl_move", 4, 4, 1, 3, 0x010, 0, 0, 0, 0, 2,
         "4 3 1 5 2 6 "},
        {"mac-policy p id 2 from aa:bb:cc:dd:ee:07", "fe_mac_acl_add", 0, 2, 0, 0, 0x014, 0x07, 6,
         0, 0, 2, "4 3 1 5 2 6 "},  // replaced in place
    };
    ASSERT_EQ(cmd("mac-policy p").rc, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(cmd(c.line).rc, 0);
        std::vector<std::uint8_t> a = last_args(c.fn);
        ASSERT_GE(a.size(), c.at + mr::kSize);
        const std::uint8_t* r = a.data() + c.at;
        auto h32 = [&](std::size_t off) { return wire::load_h<std::uint32_t>(r + off); };
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(r)), "p");
        EXPECT_EQ(h32(mr::kId), c.id);
        EXPECT_EQ(r[mr::kPos], c.pos);
        EXPECT_EQ(h32(mr::kRef), c.ref);
        EXPECT_EQ(wire::load_h<std::uint16_t>(r + mr::kFlags), c.flags);
        EXPECT_EQ(r[mr::kSrc + 5], c.src_last);
        EXPECT_EQ(h32(mr::kSrcMask), c.src_mask);
        EXPECT_EQ(r[mr::kDst + 5], c.dst_last);
        EXPECT_EQ(h32(mr::kDstMask), c.dst_mask);
        EXPECT_EQ(h32(mr::kAction), c.action);
        EXPECT_EQ(fe_order("p"), c.order);
    }
    EXPECT_NE(ap.log().find("A new MAC policy, \"<p>\", was added"), std::string::npos);
    EXPECT_NE(ap.log().find("The MAC policy \"<p>\" was modified"), std::string::npos);
}

TEST_F(MacPolicyTest, ProfileAndGuardCallsCarryTheirWords) {
    struct Case {
        const char* line;
        const char* fn;
        std::vector<std::uint32_t> words;
    };
    const Case cases[] = {
        {"no user-profile staff mac-policy", "fe_mac_acl_grp_unbind", {4, 1, 1}},
        {"no user-profile staff mac-policy from-access", "fe_mac_acl_grp_unbind", {4, 1, 0}},
        {"no user-profile staff mac-policy to-access", "fe_mac_acl_grp_unbind", {4, 0, 1}},
        {"user-profile staff default-mac-action nat", "fe_mac_acl_set_upid_def_action", {4, 4}},
        {"no user-profile staff default-mac-action", "fe_mac_acl_set_upid_def_action", {4, 2}},
        {"no ipv6 dhcpv6-shield", "fe_set_ipv6_ra_dhcpv6_guard", {1, 0}},
        {"ipv6 router-advertisement-guard", "fe_set_ipv6_ra_dhcpv6_guard", {0, 1}},
    };
    ASSERT_EQ(cmd("user-profile staff group-id 4").rc, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(cmd(c.line).rc, 0);
        std::vector<std::uint8_t> a = last_args(c.fn);
        ASSERT_EQ(a.size(), 4 * c.words.size());
        for (std::size_t i = 0; i < c.words.size(); ++i)
            EXPECT_EQ(clitest::load32(a, 4 * i), c.words[i]) << "word " << i;
    }
    std::lock_guard lock(ap.core().mu);
    EXPECT_FALSE(ap.core().fe.mac.dhcpv6_shield);
    EXPECT_TRUE(ap.core().fe.mac.ra_guard);
}

TEST_F(MacPolicyTest, RefusalsAndFeFailuresChangeNothing) {
    run_steps(
        ap,
        {
            {"mac-policy p", ""},
            {"mac-policy p", "MAC Policy already exist\n", -1},
            {"mac-policy q id 1", "Mac policy q not exist,use mac-policy to create\n", -1},
            {"mac-policy p id 1 from 00:00:00:00:00:01 16", "Invalid source MAC mask length!\n",
             -1},
            {"mac-policy p id 1 to 00:00:00:00:00:01 16", "Invalid destination MAC mask length!\n",
             -1},
            {"mac-policy p id 1 before id 1", "The two id are the same!\n", -1},
            {"mac-policy p before id 1", "move policy must assign two id!\n", -1},
            {"mac-policy p id 1", ""},
            {"mac-policy p id 2 from 00:00:00:00:00:01 after id 9",
             "In mac policy p the after id 9 not exist\n", -1},
            {"mac-policy p id 8 before id 1", "In MAC policy p id 8 not exist\n", -1},
            {"mac-policy p id 3", "", -65535, "fe_mac_acl_add"},
            {"no mac-policy p id 9", "In MAC policy p id 9 not exist\n", -1},
            {"no mac-policy p id 9 log", "In MAC policy p id 9 not exist\n", -1},
            {"no mac-policy q", "Mac policy q not exist,use mac-policy to create\n", -1},
            {"no mac-policy p", "", -65535, "fe_mac_acl_grp_del"},
            {"no mac-policy p id 1 action permit log",
             "use no mac-policy <string> id <numbers> log to unset log.\n", -1},
            {"ipv6 dhcpv6-shield", "set dhcpv6 shield error", -65535,
             "fe_set_ipv6_ra_dhcpv6_guard"},
            {"no ipv6 router-advertisement-guard", "set ra guard error", -65535,
             "fe_set_ipv6_ra_dhcpv6_guard"},
            {"show mac-policy", "error in show mac policy\n", -1, "fe_mac_acl_get_acl_grp_names"},
            {"show mac-policy p", "Error when show mac policy p\n", -65535,
             "fe_mac_acl_get_acl_grp_entries"},
            {"show mac-policy nosuch", "mac policy nosuch not exist!\n", -1},
            {"show mac-policy 0123456789012345678901234567890123",
             "ERROR:name  exceeds maximum length(33)\n", -1},
            {"show mac-policy p from 00:00:00:00:00:01 8", "Invalid source MAC mask length!\n", -1},
            {"user-profile guest mac-policy from-access nope",
             "from-access mac-policy nope not exist!\n", -1},
            {"user-profile guest mac-policy to-access nope",
             "to_access mac-policy nope not exist!\n", -1},
            {"user-profile guest mac-policy to-access p",
             "bind error guest from-access  to-access p", -65535, "fe_mac_acl_grp_bind"},
            {"no user-profile ghost mac-policy to-access", "User profile name ghost not exist!\n",
             -1},
            {"no user-profile guest mac-policy from-access", "mac unbind error guest from-air\n",
             -65535, "fe_mac_acl_grp_unbind"},
            {"no user-profile guest mac-policy", "unbind error guest from-access and to-access\n",
             -65535, "fe_mac_acl_grp_unbind"},
            {"no user-profile ghost default-mac-action", "user profile ghost not exist!\n", -1},
            {"user-profile guest default-mac-action permit", "Error when set guest default\n",
             -65535, "fe_mac_acl_set_upid_def_action"},
            {"show user-profile ghost mac-policy", "User profile name ghost not exist!\n", -1},
            {"show user-profile 012345678901234567890123456789012 mac-policy",
             "ERROR:name  exceeds maximum length(32)\n", -1},
            {"show user-profile id 0 mac-policy", "error in get user profile default mac policy.\n",
             -65535, "fe_mac_acl_get_upid_def_action"},
            {"show user-profile id 0 mac-policy", "error in get user profile  binddings\n", -65535,
             "fe_mac_acl_get_acl_grp_binding"},
        });
    EXPECT_EQ(fe_order("p"), "1 ");
    EXPECT_EQ(running(), "mac-policy p\nmac-policy p id 1\n");
}

TEST_F(MacPolicyTest, FeLimitsOfPoliciesAndRules) {
    for (int i = 0; i < 32; ++i) ASSERT_EQ(cmd("mac-policy g" + std::to_string(i)).rc, 0);
    for (int i = 1; i <= 32; ++i) ASSERT_EQ(cmd("mac-policy g0 id " + std::to_string(i)).rc, 0);
    run_steps(ap,
              {{"mac-policy g32", "exceed the maximum number of policies in the device", -1},
               {"mac-policy g0 id 33", "exceed the maximum number of rules in one mac policy", -1},
               {"mac-policy g0 id 32 action permit", ""}});
}

TEST_F(MacPolicyTest, DisplaysReadTheFe) {
    for (const char* l :
         {"mac-policy p", "mac-policy q", "mac-policy p id 1 from 00:11:22:33:44:55",
          "mac-policy p id 2 from 00:11:22:00:00:00 24 to 66:77:88:99:aa:bb "
          "action permit log initiate-session",
          "mac-policy p id 3 action deny log packet-drop",
          "user-profile guest mac-policy from-access p to-access p"})
        ASSERT_EQ(cmd(l).rc, 0) << l;
    const char* head =
        "D=Log Deny; I=Log Session Initiation; T=Log Session Termination\n\n"
        "ID    From               To                 Action  Flag\n"
        "----- ------------------ ------------------ ------- ----\n";
    const std::string r1 = "1     0011:2233:4455/48  any                deny    \n";
    const std::string r2 = "2     0011:2200:0000/24  6677:8899:aabb/48  permit  I\n";
    const std::string r3 = "3     any                any                deny    D\n";
    EXPECT_EQ(cmd("show mac-policy").out,
              "MAC Policy Table\nTotal policies=2\n\nNo.     MAC Policy name\n"
              "---     ---------------\n1       p\n2       q\n");
    EXPECT_EQ(cmd("show mac-policy p").out,
              "MAC policy=p\nTotal policies=3\n" + std::string(head) + r1 + r2 + r3);
    EXPECT_EQ(cmd("show mac-policy p from 00:11:22:ff:ff:ff 24").out,
              "MAC policy=p\nTotal policies=3\nMatch policies=1\n" + std::string(head) + r2);
    EXPECT_EQ(cmd("show mac-policy p action deny limit 2").out,
              "MAC policy=p\nTotal policies=3\nMatch policies=1\n" + std::string(head) + r1);
    EXPECT_EQ(cmd("show mac-policy q").out, "MAC policy=q\nTotal policies=0\n");
    EXPECT_EQ(cmd("show user-profile guest mac-policy action permit").out,
              "User profile ID=0\nDefault MAC policy=deny\nDirection from access=p\n"
              "MAC policy=p\nTotal policies=3\nMatch policies=1\n" +
                  std::string(head) + r2 +
                  "\nDirection to access=p\nThe info is the same as above\n");
    ASSERT_EQ(cmd("no user-profile guest mac-policy from-access").rc, 0);
    EXPECT_EQ(cmd("show user-profile id 0 mac-policy from-access").out,
              "User profile ID=0\nDefault MAC policy=deny\nDirection from access=Not defined\n");
    EXPECT_EQ(cmd("show user-profile id 7 mac-policy").out,
              "User profile ID=7\nDefault MAC policy=deny\n"
              "Direction from access=Not defined\nDirection to access=Not defined\n");
}

TEST_F(MacPolicyTest, RunningConfigurationReadsTheFeBack) {
    for (const char* l :
         {"mac-policy p",
          "mac-policy p id 5 from 00:11:22:33:44:55 24 to "
          "aa:bb:cc:dd:ee:ff action permit",
          "mac-policy p id 1 action permit log",
          "mac-policy p id 2 to 00:00:00:00:00:02 action permit log "
          "initiate-session",
          "mac-policy p id 3 from 00:00:00:00:00:03 0 action deny log packet-drop",
          "mac-policy p id 4 action permit log terminate-session",
          "mac-policy p id 6 action permit log", "no mac-policy p id 6 log",
          "user-profile staff group-id 3", "user-profile staff mac-policy to-access p",
          "user-profile staff default-mac-action permit", "user-profile staff deny ipv6",
          "no ipv6 dhcpv6-shield"})
        ASSERT_EQ(cmd(l).rc, 0) << l;
    EXPECT_EQ(running(),
              "mac-policy p\n"
              "mac-policy p id 5 from 00:11:22:33:44:55 24 to aa:bb:cc:dd:ee:ff 48 action permit\n"
              "mac-policy p id 1 action permit log \n"
              "mac-policy p id 2 to 00:00:00:00:00:02 48 action permit log initiate-session\n"
              "mac-policy p id 3 action deny log packet-drop\n"
              "mac-policy p id 4 action permit log terminate-session\n"
              "mac-policy p id 6 action permit\n"
              "user-profile staff mac-policy to-access p\n"
              "user-profile staff deny ipv6\n"
              "no ipv6 dhcpv6-shield\n"
              "user-profile staff default-mac-action permit\n");
    EXPECT_NE(ap.log().find("The MAC policy \"<p>\" was modified"), std::string::npos);
    run_steps(ap, {{"no mac-policy p", ""}, {"ipv6 dhcpv6-shield", ""}});
    EXPECT_NE(ap.log().find("The MAC policy \"<p>\" was removed"), std::string::npos);
    EXPECT_EQ(running(),
              "user-profile staff deny ipv6\nuser-profile staff default-mac-action permit\n");
}

}  // namespace
