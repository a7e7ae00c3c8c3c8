// Virtual connection rules following apsim's link verbs: the kernel's
// interface-change event reaches fed, which installs and removes the rules
// in the FE's table.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/ap.h"

namespace {

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(VconIntegration, RulesFollowLinks) {
    testap::Ap ap;
    ASSERT_EQ(ap.ctl_file("vcon-rule fwd1 in wifi0.1 src-mac 00:11:22:33:44:55 dst-mac "
                          "00:aa:bb:cc:dd:ee out wifi1.1\n"
                          "vcon-rule oui1 in eth1 src-oui 0a:1b:2c dst-mac 00:aa:bb:cc:dd:ee "
                          "out vap9\n")
                  .rc,
              0);
    std::string fe = ap.ctl("platform vcon").out;
    EXPECT_TRUE(has(fe, "fwd1: in wifi0.1 out wifi1.1 ")) << fe;
    EXPECT_FALSE(has(fe, "oui1")) << fe;

    // The outgoing interface appears and comes up: the waiting rule is installed.
    ASSERT_EQ(ap.ctl("link add vap9").rc, 0);
    ASSERT_EQ(ap.ctl("link vap9 up").rc, 0);
    EXPECT_TRUE(has(ap.ctl("platform vcon").out, "oui1: in eth1 out vap9 "));

    // Its incoming interface goes down: out of the FE, still in the list; up: back.
    ASSERT_EQ(ap.ctl("link wifi0.1 down").rc, 0);
    fe = ap.ctl("platform vcon").out;
    EXPECT_FALSE(has(fe, "fwd1:")) << fe;
    EXPECT_TRUE(has(ap.ctl("show vcon-rule").out, "fwd1 "));
    ASSERT_EQ(ap.ctl("link wifi0.1 up").rc, 0);
    fe = ap.ctl("platform vcon").out;
    EXPECT_TRUE(has(fe, "fwd1:")) << fe;
    EXPECT_TRUE(has(fe, "requests: set 3, unset 1, unset all 0\n")) << fe;
}

}  // namespace
