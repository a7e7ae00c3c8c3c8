// Virtual connection rules through the real programs: fedctl -> apsim's
// parser -> fed's handlers -> the FE's rule table in apsim, interface changes
// from apsim's link verbs, and the running configuration's round trip.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/ap.h"

namespace {

const char* kConfig =
    "vcon-rule fwd1 in wifi0.1 src-mac 00:11:22:33:44:55 dst-mac 00:aa:bb:cc:dd:ee out wifi1.1\n"
    "vcon-rule oui1 in eth1 src-oui 0a:1b:2c dst-mac 00:aa:bb:cc:dd:ee tx-mac 02:00:00:00:00:01 "
    "out vap9 rx-mac 02:00:00:00:00:02\n"
    "vcon-rule any1 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee drop\n"
    "vcon-rule \"two words\" in wifi1.1 src-mac 00:11:22:33:44:66 dst-mac 00:aa:bb:cc:dd:ef "
    "tx-mac 02:00:00:00:00:03 drop\n";

const char* kFwd1 =
    "fwd1: in wifi0.1 out wifi1.1 src 00:11:22:33:44:55 dst 00:aa:bb:cc:dd:ee tx "
    "00:00:00:00:00:00 rx 00:00:00:00:00:00\n";
const char* kOui1 =
    "oui1: in eth1 out vap9 src oui 0a:1b:2c dst 00:aa:bb:cc:dd:ee tx 02:00:00:00:00:01 rx "
    "02:00:00:00:00:02\n";
const char* kAny1 =
    "any1: in wifi0.1 out - src any dst 00:aa:bb:cc:dd:ee tx 00:00:00:00:00:00 rx "
    "00:00:00:00:00:00\n";

std::string own_lines(const std::string& text) {
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (line.rfind("vcon-rule ", 0) == 0) out += line + "\n";
        pos = end + 1;
    }
    return out;
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(VconIntegration, RulesFollowLinksAndRoundTrip) {
    std::string first;
    std::string first_show;
    {
        testap::Ap ap;
        testap::Result applied = ap.ctl_file(kConfig);
        ASSERT_EQ(applied.rc, 0) << applied.out;
        std::string fe = ap.ctl("platform vcon").out;
        EXPECT_TRUE(has(fe, kFwd1)) << fe;
        EXPECT_TRUE(has(fe, kAny1)) << fe;
        EXPECT_FALSE(has(fe, "oui1")) << fe;
        EXPECT_TRUE(has(fe, "requests: set 3, unset 0, unset all 0\n")) << fe;

        // The outgoing interface appears and comes up: the waiting rule is installed.
        ASSERT_EQ(ap.ctl("link add vap9").rc, 0);
        ASSERT_EQ(ap.ctl("link vap9 up").rc, 0);
        EXPECT_TRUE(has(ap.ctl("platform vcon").out, kOui1));

        // Its incoming interface goes down: out of the FE, still in the list.
        ASSERT_EQ(ap.ctl("link wifi0.1 down").rc, 0);
        fe = ap.ctl("platform vcon").out;
        EXPECT_FALSE(has(fe, "fwd1:")) << fe;
        EXPECT_FALSE(has(fe, "any1:")) << fe;
        EXPECT_TRUE(has(fe, kOui1)) << fe;
        EXPECT_TRUE(has(fe, "two words:")) << fe;
        first_show = ap.ctl("show vcon-rule").out;
        EXPECT_EQ(first_show,
                  "Name         Type   InIF   SrcMac             SrcFlag   DstMac             "
                  "TX-MAC             RX-MAC             OutIF \n"
                  "------------ ------ ------ ------------------ --------- ------------------ "
                  "------------------ ------------------ ---------\n"
                  "fwd1         pass   wifi0.1 00:11:22:33:44:55  no        00:aa:bb:cc:dd:ee "
                  "00:00:00:00:00:00  00:00:00:00:00:00  wifi1.1\n"
                  "oui1         pass   eth1   0A-1B-2C           OUI       00:aa:bb:cc:dd:ee "
                  "N/A                02:00:00:00:00:02  vap9  \n"
                  "any1         drop   wifi0.1 N/A                Ignore    00:aa:bb:cc:dd:ee "
                  "00:00:00:00:00:00  N/A                N/A   \n"
                  "two words    drop   wifi1.1 00:11:22:33:44:66  no        00:aa:bb:cc:dd:ef "
                  "02:00:00:00:00:03  N/A                N/A   \n");
        ASSERT_EQ(ap.ctl("link wifi0.1 up").rc, 0);
        fe = ap.ctl("platform vcon").out;
        EXPECT_TRUE(has(fe, kFwd1)) << fe;
        EXPECT_TRUE(has(fe, kAny1)) << fe;
        EXPECT_TRUE(has(fe, "requests: set 6, unset 2, unset all 0\n")) << fe;
        EXPECT_EQ(ap.ctl("show vcon-rule").out, first_show);

        struct {
            const char* line;
            const char* out;
        } refusals[] = {
            {"vcon-rule fwd1 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee drop",
             "The virtual conenction rule with the same name already exists.\n"},
            {"no vcon-rule nope",
             "The virtual conenction rule with the specified name doesn't "
             "exist."},
            {"vcon-rule z in wifi0.1 src-any dst-mac 00:00:00:00:00:00 drop",
             "Destination MAC should not be all-zero.\n"},
        };
        for (const auto& r : refusals) {
            testap::Result res = ap.ctl(r.line);
            EXPECT_EQ(res.rc, 1) << r.line;
            EXPECT_EQ(res.out, r.out) << r.line;
        }
        ASSERT_EQ(ap.ctl("platform fault qz_dcd_fe_vcon_set_rule -1 1").rc, 0);
        testap::Result failed =
            ap.ctl("vcon-rule late in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee drop");
        EXPECT_EQ(failed.rc, 1);
        EXPECT_EQ(failed.out, "Add a FE virtual connection rule failed.\n");
        EXPECT_EQ(ap.ctl("show vcon-rule").out, first_show);

        first = ap.ctl("show running-config").out;
        EXPECT_EQ(own_lines(first), kConfig);
    }

    testap::Ap fresh;
    testap::Result reapplied = fresh.ctl_file(first);
    EXPECT_EQ(reapplied.rc, 0) << reapplied.out;
    EXPECT_EQ(fresh.ctl("show running-config").out, first);
    // The fresh access point has no vap9: that rule waits in the list.
    std::string fe = fresh.ctl("platform vcon").out;
    EXPECT_FALSE(has(fe, "oui1")) << fe;
    EXPECT_TRUE(has(fe, kFwd1)) << fe;

    // Deleting without a name empties the FE with one request.
    ASSERT_EQ(fresh.ctl("no vcon-rule").rc, 0);
    EXPECT_TRUE(has(fresh.ctl("platform vcon").out, "requests: set 3, unset 0, unset all 1\n"));
    EXPECT_EQ(own_lines(fresh.ctl("show running-config").out), "");
    EXPECT_EQ(fresh.ctl("show vcon-rule debug").out, "");
}

}  // namespace
