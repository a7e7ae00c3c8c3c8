// apsim + fed + fedctl as processes: supervision, restart, event delivery and
// what fed sent back, bad control input, clean shutdown.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <thread>

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
    EXPECT_EQ(bad.err, "% Unknown debug flag: fed no-such-flag\n");
    EXPECT_EQ(ap.ctl("no debug fed basic").rc, 0);

    // Bad control input never hurts apsim.
    EXPECT_EQ(ap.ctl("platform fault x y").err, "% Invalid RC: y\n");
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

// The saved configuration outlives apsim; what was not saved is warned of and lost.
TEST(Apsim, WriteMemorySurvivesANewApsim) {
    testap::Ap ap;
    auto wait_gone = [&] {
        pid_t pid = 0;
        std::ifstream in(ap.dir() + "/apsim.pid");
        in >> pid;
        for (int i = 0; i < 100000 && ::kill(pid, 0) == 0; ++i) std::this_thread::yield();
    };
    const std::string saved = "service s1 protocol tcp port 80\n";
    ASSERT_EQ(ap.ctl("service s1 protocol tcp port 80").rc, 0);
    ASSERT_EQ(ap.ctl("write memory").rc, 0);
    ASSERT_EQ(ap.ctl("service s2 protocol udp port 99").rc, 0);
    testap::Result down = ap.ctl("platform shutdown");
    EXPECT_EQ(down.err.rfind("% Warning: the running configuration has changes", 0), 0u)
        << down.err;
    wait_gone();

    testap::Result again = ap.start();
    ASSERT_EQ(again.rc, 0) << again.err;
    EXPECT_EQ(ap.ctl("show running-config").out, saved);
    EXPECT_EQ(ap.ctl("show startup-config").out, saved);
    down = ap.ctl("platform shutdown");
    EXPECT_EQ(down.err, "");
    wait_gone();
    // A directory in use is refused before apsim touches it.
    ASSERT_EQ(ap.start().rc, 0);
    testap::Result busy = ap.start();
    EXPECT_EQ(busy.rc, 1);
    EXPECT_NE(busy.err.find(ap.dir() + " is in use by another apsim"), std::string::npos);
}

// Every command the docs show in full (no placeholder to fill in) is one that
// apsim and fed know today: it may fail on this access point, but never for
// its words. Commands that end the access point are left out.
TEST(Apsim, DocExamplesAreCommandsOfToday) {
    std::vector<std::string> lines;
    for (const char* doc : {"/README.md", "/docs/run.md", "/docs/cli.md"}) {
        std::ifstream in(std::string(FED_SOURCE_DIR) + doc);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        ASSERT_FALSE(text.empty()) << doc;
        // Inline spans everywhere; in code blocks, lines that run fedctl.
        static const std::regex kInline(
            R"(`(?:fedctl )?((?:platform|event|link|debug|write|show|service) [^`\n]+)`)");
        static const std::regex kBlock(R"((?:^|\n)fedctl ([^\n#]+))");
        std::size_t at = 0;
        for (bool code = false; at != std::string::npos; code = !code) {
            std::size_t next = text.find("```", at);
            std::string part = text.substr(at, next == std::string::npos ? next : next - at);
            const std::regex& re = code ? kBlock : kInline;
            for (std::sregex_iterator m(part.begin(), part.end(), re), end; m != end; ++m)
                lines.push_back((*m)[1].str());
            at = next == std::string::npos ? next : next + 3;
        }
    }
    Ap ap;
    int ran = 0;
    for (const std::string& line : lines) {
        if (std::regex_search(line, std::regex(R"(\b[A-Z]+\b|[\[|>]|\.\.\.|shutdown|restart)")))
            continue;  // a placeholder, a choice, a redirection, or the end of the access point
        testap::Result r = ap.ctl(line);
        ++ran;
        EXPECT_NE(r.rc, 2) << line;
        EXPECT_EQ(
            std::regex_search(r.err, std::regex("% (Unknown|Usage|Invalid input|Incomplete)")),
            false)
            << line << ": " << r.err;
    }
    EXPECT_GT(ran, 20);
}

}  // namespace
