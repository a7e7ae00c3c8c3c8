// Command text from fedctl through apsim's parser to fed's handlers, with the
// real programs: refusals and command types.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/ap.h"

namespace {

// The value of an FE setting as "platform fe" shows it (set number first).
long fe_setting(testap::Ap& ap, int set) {
    std::istringstream in(ap.ctl("platform fe").out);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string s, r;
        long v = -1;
        if (f >> s >> r >> v && s == std::to_string(set)) return v;
    }
    return -1;
}

TEST(CliIntegration, BadInputNamesTheWordAndFails) {
    testap::Ap ap;
    struct Case {
        const char* line;
        const char* out;
    } cases[] = {
        {"ip tcp-mss-threshold bogus", "% Invalid input at word 3: 'bogus'\n"},
        {"frobnicate now", "% Unknown command: frobnicate now\n"},
        {"show running-config please", "% Invalid input at word 3: 'please'\n"},
        {"no", "% Incomplete command\n"},
        {"sh run x", "% Invalid input at word 3: 'x'\n"},  // abbreviated keywords
    };
    for (const Case& c : cases) {
        testap::Result r = ap.ctl(c.line);
        EXPECT_EQ(r.rc, 1) << c.line;
        EXPECT_EQ(r.err, c.out) << c.line;  // apsim refused it: no result of fed
        EXPECT_EQ(r.out, "") << c.line;
    }
}

// A file goes on after a bad line; each failure is named with its line, after
// what apsim or fed said, on stderr only.
TEST(CliIntegration, FileReportsEveryFailingLine) {
    testap::Ap ap;
    testap::Result f = ap.ctl_file(
        "frobnicate\n! note\nservice s1 protocol tcp port 80\nno service nosuch\n"
        "interface wifi9 rate-limit unicast 100\nshow running-config\n");
    EXPECT_EQ(f.rc, 1);
    EXPECT_EQ(f.out, "Invalid service name\nservice s1 protocol tcp port 80\n");
    std::string file = ap.dir() + "/ctl-1.txt";
    EXPECT_EQ(f.err,
              "% Unknown command: frobnicate\n"
              "fedctl: " +
                  file +
                  ":1: failed: frobnicate\n"
                  "fedctl: " +
                  file +
                  ":4: failed: no service nosuch\n"
                  "% rc -1\n"
                  "fedctl: " +
                  file +
                  ":5: failed: interface wifi9 rate-limit unicast 100 "
                  "(interface wifi9 does not exist)\n"
                  "fedctl: " +
                  file + ": 3 of 5 commands failed\n");
    EXPECT_EQ(ap.ctl_file("show running-config\n").rc, 0);
}

TEST(CliIntegration, CommandReachesFedWithItsType) {
    testap::Ap ap;
    testap::Result on = ap.ctl("ip tcp-mss-threshold");
    EXPECT_EQ(on.rc, 0) << on.out << on.err;
    EXPECT_EQ(fe_setting(ap, 126), 1);
    testap::Result off = ap.ctl("no ip tcp-mss-threshold");
    EXPECT_EQ(off.rc, 0) << off.out << off.err;
    EXPECT_EQ(fe_setting(ap, 126), 0);
    EXPECT_EQ(ap.ctl("show running-config").out, "no ip tcp-mss-threshold\n");

    ASSERT_EQ(ap.ctl("platform fault fe_set_boolean_value:126 -1").rc, 0);
    ASSERT_EQ(ap.ctl("platform fault fe_set_int_value:126 -1").rc, 0);
    testap::Result bad = ap.ctl("ip tcp-mss-threshold");
    EXPECT_EQ(bad.rc, 1);
    EXPECT_EQ(bad.out, "Unable to enable/disable TCP MSS threshold\n");
    EXPECT_EQ(bad.err, "% rc 0x3001a\nfedctl: failed: ip tcp-mss-threshold\n");
}

}  // namespace
