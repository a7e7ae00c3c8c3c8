// IP policies across a killed daemon: fed is killed (SIGKILL) between two
// commands of a configuration file; the restarted fed reloads its store, the
// FE keeps what it held, and identifiers and order continue.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/ap.h"

namespace {

TEST(IpPolicyRestart, KilledWhileApplyingAFile) {
    testap::Ap ap;
    ASSERT_EQ(ap.ctl_file("ip-policy p\n"
                          "ip-policy p id 1 from 10.0.0.1 action permit\n"
                          "ip-policy p id 2 from 10.0.0.2\n")
                  .rc,
              0);
    ASSERT_EQ(ap.ctl("platform clock advance 2").rc, 0);
    std::string fe = ap.ctl("platform acl").out;
    ASSERT_NE(fe.find("group p flags 0 rules 2\n"), std::string::npos) << fe;

    testap::Result cut = ap.ctl_file(
        "ip-policy p id 3 from 10.0.0.3 before id 1\n"
        "platform restart fed\n");
    ASSERT_EQ(cut.rc, 0) << cut.out << cut.err;
    ASSERT_TRUE(ap.wait_running());
    EXPECT_EQ(ap.ctl("platform acl").out, fe) << "the FE keeps its rules while fed is away";
    ASSERT_EQ(ap.ctl("ip-policy p from 10.0.0.4").rc, 0);
    EXPECT_EQ(ap.ctl("show running-config").out,
              "ip-policy p\n"
              "ip-policy p id 3 from 10.0.0.3 255.255.255.255 \n"
              "ip-policy p id 1 from 10.0.0.1 255.255.255.255 action permit\n"
              "ip-policy p id 2 from 10.0.0.2 255.255.255.255 \n"
              "ip-policy p id 4 from 10.0.0.4 255.255.255.255 \n");

    ASSERT_EQ(ap.ctl("platform clock advance 2").rc, 0);
    fe = ap.ctl("platform acl").out;
    std::size_t at[4];
    const char* order[] = {"  3 10.0.0.3/", "  1 10.0.0.1/", "  2 10.0.0.2/", "  4 10.0.0.4/"};
    for (int i = 0; i < 4; ++i) {
        at[i] = fe.find(order[i]);
        ASSERT_NE(at[i], std::string::npos) << order[i] << "\n" << fe;
        if (i > 0) {
            EXPECT_LT(at[i - 1], at[i]) << fe;
        }
    }
}

TEST(IpPolicyPpsk, ServerLearntThroughDhcpReachesTheFe) {
    testap::Ap ap;
    ASSERT_EQ(ap.ctl("ip-policy ip-policy4ppsk-server-from-dhcp").rc, 0);
    ASSERT_EQ(ap.ctl("event ppsk-server 10.0.0.99").rc, 0);
    std::string fe = ap.ctl("platform acl").out;
    EXPECT_NE(fe.find("rules 4\n  1 0.0.0.0/0.0.0.0 10.0.0.99/255.255.255.255 service any"),
              std::string::npos)
        << fe;
}

}  // namespace
