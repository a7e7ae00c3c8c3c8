// apsim + fed + fedctl as processes: supervision, restart, event delivery and
// what fed sent back, bad control input, clean shutdown.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/wire.h"
#include "tests/support/ap.h"
#include "tests/support/text.h"

namespace {

using testap::Ap;

// How `platform events` prints an ALG-info notice (event 131, 16 bytes) that
// fed posts for a station: sub-type in host order, then the MAC.
std::string alg_info_line(std::uint32_t subtype, const char* mac_hex) {
    std::uint8_t b[4];
    wire::store_h<std::uint32_t>(b, subtype);
    char hex[9];
    std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x", b[0], b[1], b[2], b[3]);
    return std::string("131 QZ_EVENT_UDPDATE_ALG_INFO 16 ") + hex + mac_hex + "000000000000\n";
}

TEST(Apsim, SupervisesInjectsAndShutsDown) {
    Ap ap;
    testap::Result st = ap.ctl("platform status");
    ASSERT_EQ(st.rc, 0);
    EXPECT_NE(st.out.find("fed state: running\n"), std::string::npos) << st.out;
    EXPECT_NE(st.out.find("pm: registered, state 1\n"), std::string::npos) << st.out;
    EXPECT_NE(st.out.find("fed starts: 1\n"), std::string::npos) << st.out;
    EXPECT_NE(st.out.find("clock: driven\n"), std::string::npos) << st.out;
    EXPECT_NE(ap.log().find("FED module initialized"), std::string::npos);
    struct stat sock {};
    ASSERT_EQ(::stat((ap.dir() + "/apsim.sock").c_str(), &sock), 0);
    EXPECT_EQ(sock.st_mode & 0777, 0600u);  // owner only

    // A killed fed comes back; the access point's state stays with apsim.
    ASSERT_EQ(ap.ctl("platform fault kcode:9999 -1").rc, 0);
    testap::Result r = ap.ctl("platform restart fed");
    EXPECT_EQ(r.rc, 0) << r.out;
    EXPECT_TRUE(r.out.starts_with("fed restarted, pid ")) << r.out;
    ASSERT_TRUE(ap.wait_running());
    st = ap.ctl("platform status");
    EXPECT_NE(st.out.find("fed starts: 2\n"), std::string::npos) << st.out;
    EXPECT_NE(st.out.find("last exit: signal 9\n"), std::string::npos) << st.out;
    EXPECT_EQ(ap.ctl("platform faults").out, "kcode:9999 -1 -1\n");

    // Stations are re-posted by fed as ALG-info notices; an ignored join is not.
    EXPECT_EQ(ap.ctl("event sta-join 00:11:22:33:44:55").rc, 0);
    EXPECT_EQ(ap.ctl("event sta-join 00:11:22:33:44:66 ignored").rc, 0);
    EXPECT_EQ(ap.ctl("event sta-leave 00:11:22:33:44:55").rc, 0);
    EXPECT_EQ(ap.ctl("platform events").out,
              alg_info_line(6, "001122334455") + alg_info_line(7, "001122334455"));

    std::string subs = ap.ctl("platform subscriptions").out;
    EXPECT_NE(subs.find("event 259 QZ_EVENT_AUTH_JOIN\n"), std::string::npos) << subs;
    EXPECT_NE(subs.find("kernel 17 KEVT_IF_CHG\n"), std::string::npos) << subs;

    // Robustness: a wrong-size join is refused by fed and nothing is posted.
    EXPECT_EQ(ap.ctl("event raw 259 0011").rc, 0);
    EXPECT_NE(ap.log().find("receive wrong size in event QZ_EVENT_AUTH_JOIN"), std::string::npos);
    EXPECT_EQ(ap.ctl("event ssid-bind \"Guest Net\" wifi0.1").rc, 0);
    EXPECT_EQ(ap.ctl("link wifi0.2 down").rc, 0);

    // Debug flags go to fed's own registry.
    EXPECT_EQ(ap.ctl("debug fed basic").rc, 0);
    testap::Result bad = ap.ctl("debug fed no-such-flag");
    EXPECT_EQ(bad.rc, 1);
    EXPECT_EQ(bad.out, "% Unknown debug flag: fed no-such-flag\n");
    EXPECT_EQ(ap.ctl("no debug fed basic").rc, 0);

    // Bad control input never hurts apsim.
    EXPECT_EQ(ap.ctl("platform fault x y").out, "% Invalid RC: y\n");
    EXPECT_EQ(ap.ctl("no such verb").rc, 1);
    EXPECT_EQ(ap.ctl("platform clock advance 3600").rc, 0);
    EXPECT_NE(ap.ctl("platform clock").out.find("uptime: 3600.000 s"), std::string::npos);
    EXPECT_TRUE(ap.wait_running(1000));
}

TEST(Apsim, GivesUpOnAFedThatNeverComesUpAndRecoversWhenAsked) {
    Ap ap;
    ASSERT_EQ(ap.ctl("platform fault qz_pm_init -1").rc, 0);
    ASSERT_EQ(ap.ctl("platform restart fed").rc, 0);
    EXPECT_FALSE(ap.wait_running(20000));
    testap::Result st = ap.ctl("platform status");
    EXPECT_TRUE(testtext::has(st.out, "fed state: crashed, gave up after 5 early deaths\n"));
    EXPECT_NE(st.out.find("fed starts: 6\n"), std::string::npos) << st.out;
    EXPECT_NE(ap.log().find("Failed to init the pm!"), std::string::npos);

    ASSERT_EQ(ap.ctl("platform fault clear").rc, 0);
    ASSERT_EQ(ap.ctl("platform restart fed").rc, 0);
    EXPECT_TRUE(ap.wait_running());

    // fed ends through its own shutdown (exit 0), then apsim goes.
    testap::Result r = ap.ctl("platform shutdown");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "fed stopped: exit 0\n");
    EXPECT_NE(ap.ctl("platform status").rc, 0);
}

}  // namespace
