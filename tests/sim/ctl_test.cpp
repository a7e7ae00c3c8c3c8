// Control verbs against an apsim that has no fed: argument checking, the
// state verbs change, the events injection builds, and completion.
#include "sim/ctl.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/records.h"
#include "sim/server.h"

namespace {

struct CtlTest : ::testing::Test {
    std::unique_ptr<sim::Server> s;
    std::string dir;

    void SetUp() override {
        char tmpl[] = "/tmp/simctl.XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        s = std::make_unique<sim::Server>();
        sim::Options o;
        o.dir = dir;
        o.driven = true;
        o.nbrs = {"127.0.0.1 4001"};
        o.hc_port = 4000;
        ASSERT_TRUE(sim::server_prepare(*s, o));
    }
    void TearDown() override {
        sim::clock_close(s->clock);
        std::filesystem::remove_all(dir);
    }

    struct Out {
        int rc;
        std::string text;
    };
    Out run(const std::string& line) {
        Out o{0, ""};
        o.rc = sim::ctl_line(*s, line, [&](std::string_view t) { o.text += t; }).rc;
        return o;
    }
    std::string file(const std::string& name) {
        std::ifstream in(dir + "/" + name);
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    const sim::Event& last_event() { return s->core.events.back().ev; }
};

TEST_F(CtlTest, BadInputGetsAClearMessageAndFails) {
    struct Case {
        const char* line;
        const char* says;
    } cases[] = {
        {"platform fault", "% Usage: platform fault NAME RC [COUNT]\n"},
        {"platform fault qz_open", "% Usage: platform fault NAME RC [COUNT]\n"},
        {"platform fault qz_open x", "% Invalid RC: x\n"},
        {"platform fault qz_open -1 -2", "% Invalid COUNT: -2"},
        {"platform fault qz_open -1 2 3", "% Usage:"},
        {"platform status now", "% Usage: platform status\n"},
        {"platform restart", "% Unknown command: platform restart\n"},
        {"platform clock advance", "% Usage: platform clock advance SECONDS\n"},
        {"platform clock advance -3", "% Invalid number of seconds: -3\n"},
        {"platform clock advance 1.2345", "% Invalid number of seconds"},
        {"platform clock advance 99999999999", "% Invalid number of seconds"},
        {"platform system run maybe", "% Usage: platform system run on|off\n"},
        {"event sta-join 00:11:22:33:44", "% Invalid MAC address: 00:11:22:33:44\n"},
        {"event sta-join 00:11:22:33:44:5g", "% Invalid MAC address"},
        {"event sta-join 00:11:22:33:44:55 maybe", "% Unexpected word: maybe\n"},
        {"event sta-leave 00:11:22:33:44:55 ignored", "% Usage: event sta-leave MAC\n"},
        {"event ssid-bind 012345678901234567890123456789012 wifi0.1", "% SSID longer than 32"},
        {"event ssid-bind s wifi0.1-much-too-long", "% Interface name must have"},
        {"event ppsk-server 10.0.0.256", "% Invalid IPv4 address: 10.0.0.256\n"},
        {"event raw x", "% Invalid event number: x\n"},
        {"event raw 259 abc", "% Invalid HEX payload"},
        {"event raw 259 zz", "% Invalid HEX payload"},
        {"event kernel 17 0", "% Invalid HEX payload"},
        {"link nosuch0 up", "% Unknown interface: nosuch0\n"},
        {"link wifi0.1 sideways", "% Unknown link action: sideways"},
        {"link wifi0.1 rename", "% Usage: link IF rename NEWNAME\n"},
        {"link wifi0.1 up now", "% Usage: link IF up|down|going-down\n"},
        {"link wifi0.1 rename wifi0.2", "% Interface exists: wifi0.2\n"},
        {"link wifi0.1 rename bad:name", "% Invalid interface name: bad:name\n"},
        {"link add eth0", "% Interface exists: eth0\n"},
        {"link del nosuch0", "% Unknown interface: nosuch0\n"},
        {"debug fed basic", "% fed's CLI is not connected\n"},
        {"no debug fed", "% Usage: no debug fed FLAG\n"},
        {"frobnicate p1 id 1", "% Unknown command: frobnicate p1 id 1\n"},
        {"\"unterminated", "% Unterminated quote\n"},
    };
    for (const Case& c : cases) {
        Out o = run(c.line);
        EXPECT_EQ(o.rc, 1) << c.line;
        EXPECT_TRUE(o.text.starts_with(c.says)) << c.line << " said: " << o.text;
    }
    EXPECT_TRUE(s->core.events.empty());  // nothing half-injected
    EXPECT_EQ(run("").rc, 0);
}

TEST_F(CtlTest, StatusOfAnApWithoutFed) {
    Out o = run("platform status");
    EXPECT_EQ(o.rc, 0);
    EXPECT_EQ(o.text,
              "fed pid: 0\nfed state: stopped\nfed starts: 0\nlast exit: none\n"
              "pm: not registered\ninitialized: no\nclock: driven\n");
    EXPECT_EQ(file("neighbours"), "127.0.0.1 4001\n");
    EXPECT_EQ(file("hc_port"), "4000\n");
}

TEST_F(CtlTest, FaultsArmListAndClear) {
    EXPECT_EQ(run("platform fault qz_open -5 2").rc, 0);
    EXPECT_EQ(run("platform fault fe_get_int_value:58 -1").rc, 0);
    EXPECT_EQ(run("platform faults").text, "qz_open -5 2\nfe_get_int_value:58 -1 -1\n");
    EXPECT_EQ(run("platform fault clear qz_open").rc, 0);
    EXPECT_EQ(run("platform faults").text, "fe_get_int_value:58 -1 -1\n");
    EXPECT_EQ(run("platform fault clear").rc, 0);
    EXPECT_EQ(run("platform faults").text, "");
}

TEST_F(CtlTest, DrivenClockAdvancesWithoutFed) {
    EXPECT_EQ(run("platform clock").text, "clock: driven\nuptime: 0.000 s\n");
    EXPECT_EQ(run("platform clock advance 3600").rc, 0);
    EXPECT_EQ(run("platform clock advance 0.25").rc, 0);
    EXPECT_EQ(run("platform clock").text, "clock: driven\nuptime: 3600.250 s\n");
}

TEST_F(CtlTest, InjectedEventsCarryTheDocumentedLayouts) {
    ASSERT_EQ(run("event sta-join 00:11:22:aa:bb:cc ignored").rc, 0);
    const sim::Event& join = last_event();
    EXPECT_EQ(join.event, 259u);
    ASSERT_EQ(join.payload.size(), 904u);
    EXPECT_EQ(join.payload[8], 0x00);
    EXPECT_EQ(join.payload[11], 0xaa);
    EXPECT_EQ(join.payload[13], 0xcc);
    EXPECT_EQ(join.payload[28], 1);

    ASSERT_EQ(run("event sta-leave 00-11-22-aa-bb-cc").rc, 0);
    EXPECT_EQ(last_event().event, 260u);
    EXPECT_EQ(last_event().payload[28], 0);

    ASSERT_EQ(run("event ssid-bind \"Guest Net\" wifi1.2").rc, 0);
    const sim::Event& bind = last_event();
    EXPECT_EQ(bind.event, 287u);
    ASSERT_EQ(bind.payload.size(), 56u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bind.payload.data())), "Guest Net");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bind.payload.data() + 33)), "wifi1.2");
    EXPECT_EQ(wire::load_h<std::uint32_t>(bind.payload.data() + 52), 1u);

    ASSERT_EQ(run("event ssid-unbind x wifi1.2").rc, 0);
    EXPECT_EQ(wire::load_h<std::uint32_t>(last_event().payload.data() + 52), 0u);

    ASSERT_EQ(run("event ssid-remove 01234567890123456789012345678901").rc, 0);
    const sim::Event& rm = last_event();
    EXPECT_EQ(rm.event, 288u);
    ASSERT_EQ(rm.payload.size(), 40u);
    EXPECT_EQ(rm.payload[32], 0);  // 32 characters and the terminator
    EXPECT_EQ(wire::load_h<std::uint32_t>(rm.payload.data() + 36), 2u);

    ASSERT_EQ(run("event ppsk-server 10.1.2.3").rc, 0);
    EXPECT_EQ(last_event().event, 319u);
    EXPECT_EQ(last_event().payload, (std::vector<std::uint8_t>{1, 0, 0, 0, 10, 1, 2, 3}));
    EXPECT_EQ(run("event ppsk-server").rc, 0);  // the address learnt last
    EXPECT_EQ(last_event().payload, (std::vector<std::uint8_t>{1, 0, 0, 0, 10, 1, 2, 3}));

    ASSERT_EQ(run("event raw 259 00ff").rc, 0);
    EXPECT_EQ(last_event().payload, (std::vector<std::uint8_t>{0, 0xff}));
    ASSERT_EQ(run("event kernel 7").rc, 0);
    EXPECT_EQ(last_event().kernel, 1u);
    EXPECT_TRUE(last_event().payload.empty());

    for (const sim::LoggedEvent& e : s->core.events) EXPECT_EQ(e.origin, sim::Origin::Injected);
    EXPECT_EQ(run("platform events").text, "");  // only what fed sent is listed
}

TEST_F(CtlTest, LinkChangesUpdateTheTableAndRaiseKernelEvent17) {
    std::uint32_t index;
    {
        std::lock_guard lock(s->core.mu);
        index = sim::iface_by_kname_locked(s->core, "wifi0.3")->ifindex;
    }
    ASSERT_EQ(run("link wifi0.3 down").rc, 0);
    EXPECT_EQ(last_event().kernel, 1u);
    EXPECT_EQ(last_event().event, 17u);
    ASSERT_EQ(last_event().payload.size(), 28u);
    EXPECT_EQ(wire::load_h<std::uint32_t>(last_event().payload.data()), 2u);
    EXPECT_EQ(wire::load_h<std::uint32_t>(last_event().payload.data() + 4), index);

    ASSERT_EQ(run("link wifi0.3 rename wifi0.7").rc, 0);
    EXPECT_EQ(wire::load_h<std::uint32_t>(last_event().payload.data()), 6u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(last_event().payload.data() + 12)),
              "wifi0.7");
    std::string dev = file("proc/net/dev");
    EXPECT_NE(dev.find("wifi0.7:"), std::string::npos);
    EXPECT_EQ(dev.find("wifi0.3:"), std::string::npos);
    EXPECT_NE(run("platform interfaces").text.find("wifi0.7          wifi0.7"), std::string::npos);

    ASSERT_EQ(run("link add veth9 -").rc, 0);  // kernel only
    ASSERT_EQ(run("link add veth8").rc, 0);
    EXPECT_NE(file("proc/net/dev").find("veth9:"), std::string::npos);
    std::lock_guard lock(s->core.mu);
    EXPECT_EQ(sim::iface_by_kname_locked(s->core, "veth9")->uname, "");
    EXPECT_EQ(sim::iface_by_kname_locked(s->core, "veth8")->uname, "veth8");
}

TEST_F(CtlTest, CompletionOffersKeywordsAndPlaceholders) {
    using V = std::vector<std::string>;
    EXPECT_EQ(sim::ctl_complete(*s, "platform cl"), (V{"clock", "cli-vectors"}));
    EXPECT_EQ(sim::ctl_complete(*s, "platform clock "), (V{"advance"}));
    EXPECT_EQ(sim::ctl_complete(*s, "platform clock advance "), (V{"SECONDS"}));
    EXPECT_EQ(sim::ctl_complete(*s, "platform fault "), (V{"NAME", "clear"}));
    EXPECT_EQ(sim::ctl_complete(*s, "event sta-join 00:11:22:33:44:55 "), (V{"ignored"}));
    EXPECT_EQ(sim::ctl_complete(*s, "link wifi1.1 "), (V{"up", "down", "going-down", "rename"}));
    EXPECT_EQ(sim::ctl_complete(*s, "link wifi1.1 r"), (V{"rename"}));
    V ifs = sim::ctl_complete(*s, "link wifi1.");
    EXPECT_EQ(ifs, (V{"wifi1.1", "wifi1.2", "wifi1.3", "wifi1.4", "IF"}));
    V top = sim::ctl_complete(*s, "");
    for (const char* w : {"platform", "event", "link", "debug", "no", "help"})
        EXPECT_NE(std::find(top.begin(), top.end(), w), top.end()) << w;
    EXPECT_TRUE(sim::ctl_complete(*s, "\"open").empty());
}

TEST(Records, ParsersRefuseWhatTheyCannotRead) {
    sim::Mac mac;
    EXPECT_TRUE(sim::parse_mac("00:1A:2b:3c:4D:5e", mac));
    EXPECT_EQ(mac[5], 0x5e);
    for (const char* bad : {"", "00:11:22:33:44:55:66", "0011:22:33:44:55", "00:11:22:33:44:5"})
        EXPECT_FALSE(sim::parse_mac(bad, mac)) << bad;
    std::uint32_t a = 0;
    EXPECT_TRUE(sim::parse_ipv4("192.168.0.1", a));
    EXPECT_EQ(sim::to_hex({reinterpret_cast<const std::uint8_t*>(&a), 4}), "c0a80001");
    for (const char* bad : {"1.2.3", "1.2.3.4.5", "1..2.3", "1.2.3.4 ", "1.2.3.1000", "a.b.c.d"})
        EXPECT_FALSE(sim::parse_ipv4(bad, a)) << bad;
}

}  // namespace

namespace {

// Lines made of verb words, arguments and junk: every one ends with rc 0 or 1.
TEST_F(CtlTest, RandomLinesNeverHurt) {
    const char* vocab[] = {"platform", "status",    "fault", "clear",    "faults",
                           "clock",    "advance",   "event", "sta-join", "raw",
                           "kernel",   "ssid-bind", "link",  "wifi0.1",  "rename",
                           "up",       "add",       "del",   "debug",    "fed",
                           "no",       "-1",        "0",     "7",        "00:11:22:33:44:55",
                           "ff",       "\"a b\"",   "\"",    "",         "x",
                           "system",   "run",       "on",    "ignored",  "help"};
    std::uint32_t seed = 99;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    for (int i = 0; i < 3000; ++i) {
        std::string line;
        for (std::uint32_t n = next() % 6; n > 0; --n) {
            line += vocab[next() % std::size(vocab)];
            line += ' ';
        }
        Out o = run(line);
        ASSERT_TRUE(o.rc == 0 || o.rc == 1) << line;
    }
}

}  // namespace
