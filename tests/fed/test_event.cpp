// Event reception: payload checks, station notices, hand-over to the families,
// the debug flags and the interface list.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_event.h"
#include "fed/qz_fed_hooks.h"
#include "platform/wire.h"
#include "tests/support/local_ap.h"
#include "tests/support/text.h"

namespace {

const std::uint8_t kMac[6] = {0x00, 0x11, 0x22, 0xaa, 0xbb, 0xcc};

std::vector<std::uint8_t> auth_event(std::size_t size, bool ignored = false) {
    std::vector<std::uint8_t> p(size, 0);
    if (size >= QZ_AUTH_EVENT_MAC + 6) std::memcpy(&p[QZ_AUTH_EVENT_MAC], kMac, 6);
    if (size > QZ_AUTH_EVENT_IGNORE) p[QZ_AUTH_EVENT_IGNORE] = ignored ? 1 : 0;
    return p;
}

std::vector<std::uint8_t> alg_info(std::uint32_t sub_type, std::size_t size = 16) {
    std::vector<std::uint8_t> p(size, 0);
    if (size >= 4) wire::store_h<std::uint32_t>(p.data(), sub_type);
    if (size >= 10) std::memcpy(&p[4], kMac, 6);
    return p;
}

// What the families were handed, recorded through the hook table.
struct Seen {
    std::vector<std::string> calls;
    std::string ssid, ifname;
    int bound = -1;
    std::uint32_t roam_ref = 0;
    std::vector<std::uint8_t> mac;
};
Seen* g_seen = nullptr;
void note(const char* call, const std::uint8_t* mac = nullptr) {
    g_seen->calls.push_back(call);
    if (mac) g_seen->mac.assign(mac, mac + 6);
}

class EventTest : public ::testing::Test {
   protected:
    void SetUp() override {
        g_seen = &seen;
        saved = qz_fed_hooks;
        qz_fed_hooks = {};
        // clang-format off
        qz_fed_hooks.alg_timer_run = [] { note("timer"); };
        qz_fed_hooks.sip_roam_apply = [](std::uint32_t ref) { note("roam"); g_seen->roam_ref = ref; };
        qz_fed_hooks.sta_join = [](const std::uint8_t* m) { note("join", m); };
        qz_fed_hooks.sta_leave = [](const std::uint8_t* m) { note("leave", m); };
        qz_fed_hooks.dns_forget_sta = [](const std::uint8_t* m) { note("dns_forget", m); };
        qz_fed_hooks.qos_ssid_bind = [](const char* s, const char* i, int b) {
            note("bind"); g_seen->ssid = s; g_seen->ifname = i; g_seen->bound = b; };
        qz_fed_hooks.qos_ssid_remove = [](const char* s) { note("remove"); g_seen->ssid = s; };
        qz_fed_hooks.ppsk_server = [](std::uint32_t, const void*) { note("ppsk"); };
        qz_fed_hooks.vc_if_change = [](std::uint32_t, std::uint32_t, const void*) { note("vc"); };
        // clang-format on
        qz_fed_debug = 0;
    }
    void TearDown() override {
        qz_fed_hooks = saved;
        qz_fed_debug = 0;
        g_seen = nullptr;
    }
    // What fed published since the last look.
    std::vector<sim::Event> take_events() {
        auto ev = ap.events_sent();
        ap.clear_logs();
        return ev;
    }
    testap::LocalAp ap;
    Seen seen;
    qz_fed_hooks_t saved{};
};

// Each sized event refuses every other size, posts nothing and says so.
TEST_F(EventTest, WrongSizesAreRefusedAndPostNothing) {
    struct Case {
        std::uint32_t event;
        void (*handler)(std::uint32_t, std::uint32_t, const void*);
        std::vector<std::uint8_t> (*body)(std::size_t);
        std::vector<std::size_t> sizes;
        const char* name;
    } cases[] = {
        // clang-format off
        {QZ_EVENT_AUTH_JOIN, qz_fed_sta_ssid_handler, [](std::size_t n) { return auth_event(n); },
         {903, 905, 0, 16}, "QZ_EVENT_AUTH_JOIN"},
        {QZ_EVENT_AUTH_LEAVE, qz_fed_sta_ssid_handler, [](std::size_t n) { return auth_event(n); },
         {903, 905, 0, 16}, "QZ_EVENT_AUTH_LEAVE"},
        {QZ_EVENT_UDPDATE_ALG_INFO, qz_fed_alg_info_handler,
         [](std::size_t n) { return alg_info(1, n); }, {15, 17, 0, 904}, "QZ_EVENT_UDPDATE_ALG_INFO"},
        // clang-format on
    };
    for (const Case& c : cases) {
        for (std::size_t size : c.sizes) {
            auto p = c.body(size);
            c.handler(c.event, static_cast<std::uint32_t>(size), p.data());
        }
        EXPECT_TRUE(testtext::has(ap.log(), std::string("receive wrong size in event ") + c.name));
    }
    EXPECT_TRUE(take_events().empty());
    EXPECT_TRUE(seen.calls.empty());
}

TEST_F(EventTest, JoinPostsStationNoticeUnlessIgnored) {
    auto ignored = auth_event(904, true);
    qz_fed_sta_ssid_handler(QZ_EVENT_AUTH_JOIN, 904, ignored.data());
    EXPECT_TRUE(take_events().empty());

    auto join = auth_event(904);
    qz_fed_sta_ssid_handler(QZ_EVENT_AUTH_JOIN, 904, join.data());
    auto ev = take_events();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].event, QZ_EVENT_UDPDATE_ALG_INFO);
    ASSERT_EQ(ev[0].payload.size(), 16u);
    EXPECT_EQ(wire::load_h<std::uint32_t>(ev[0].payload.data()), QZ_ALG_INFO_STA_JOIN);
    EXPECT_EQ(0, std::memcmp(&ev[0].payload[4], kMac, 6));
    // The notice is handled when it comes back, never inside the join handler.
    EXPECT_TRUE(seen.calls.empty());
}

TEST_F(EventTest, LeaveAlwaysPostsNoticeAndForgetsDnsRecords) {
    auto leave = auth_event(904, true);  // the ignore byte means nothing for a leave
    qz_fed_sta_ssid_handler(QZ_EVENT_AUTH_LEAVE, 904, leave.data());
    auto ev = take_events();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(wire::load_h<std::uint32_t>(ev[0].payload.data()), QZ_ALG_INFO_STA_LEAVE);
    EXPECT_EQ(0, std::memcmp(&ev[0].payload[4], kMac, 6));
    EXPECT_EQ(seen.calls, std::vector<std::string>{"dns_forget"});
    EXPECT_EQ(0, std::memcmp(seen.mac.data(), kMac, 6));
}

TEST_F(EventTest, AlgInfoSubTypesReachTheirFamilies) {
    struct Case {
        std::uint32_t sub_type;
        const char* expect;  // nullptr: ignored
    } cases[] = {{1, "timer"}, {2, "roam"},  {6, "join"},  {7, "leave"},         {0, nullptr},
                 {3, nullptr}, {5, nullptr}, {8, nullptr}, {0xFFFFFFFF, nullptr}};
    for (const auto& c : cases) {
        seen.calls.clear();
        auto p = alg_info(c.sub_type);
        qz_fed_alg_info_handler(QZ_EVENT_UDPDATE_ALG_INFO, 16, p.data());
        if (c.expect)
            EXPECT_EQ(seen.calls, std::vector<std::string>{c.expect}) << c.sub_type;
        else
            EXPECT_TRUE(seen.calls.empty()) << c.sub_type;
    }
    auto roam = alg_info(2);
    wire::store_h<std::uint32_t>(&roam[4], 0xdeadbeef);
    qz_fed_alg_info_handler(QZ_EVENT_UDPDATE_ALG_INFO, 16, roam.data());
    EXPECT_EQ(seen.roam_ref, 0xdeadbeefu);
}

TEST_F(EventTest, SsidBindingAndRemoval) {
    std::vector<std::uint8_t> bind(56, 0);
    std::memcpy(bind.data(), "guest", 5);
    std::memcpy(&bind[33], "wifi0.1", 7);
    wire::store_h<std::uint32_t>(&bind[52], 0x1);
    qz_fed_sta_ssid_handler(QZ_EVENT_SSID_BINDING, 56, bind.data());
    EXPECT_EQ(seen.ssid, "guest");
    EXPECT_EQ(seen.ifname, "wifi0.1");
    EXPECT_EQ(seen.bound, 1);
    wire::store_h<std::uint32_t>(&bind[52], 0x2);  // bit 0 clear: unbound
    qz_fed_sta_ssid_handler(QZ_EVENT_SSID_BINDING, 56, bind.data());
    EXPECT_EQ(seen.bound, 0);

    seen.calls.clear();
    std::vector<std::uint8_t> change(40, 0);
    std::memcpy(change.data(), "guest", 5);
    wire::store_h<std::uint32_t>(&change[36], 0x1);  // changed, not removed
    qz_fed_sta_ssid_handler(QZ_EVENT_SSID_CHANGE, 40, change.data());
    EXPECT_TRUE(seen.calls.empty());
    wire::store_h<std::uint32_t>(&change[36], 0x2);
    qz_fed_sta_ssid_handler(QZ_EVENT_SSID_CHANGE, 40, change.data());
    EXPECT_EQ(seen.calls, std::vector<std::string>{"remove"});
    EXPECT_EQ(seen.ssid, "guest");
}

TEST_F(EventTest, UnterminatedNamesAndShortPayloadsAreSafe) {
    std::vector<std::uint8_t> bind(56, 'A');  // no terminator anywhere
    wire::store_h<std::uint32_t>(&bind[52], 1);
    qz_fed_sta_ssid_handler(QZ_EVENT_SSID_BINDING, 56, bind.data());
    EXPECT_EQ(seen.ssid, std::string(33, 'A'));
    EXPECT_EQ(seen.ifname, std::string(19, 'A'));
    seen.calls.clear();
    for (std::size_t size = 0; size < 56; ++size) {
        std::vector<std::uint8_t> p(size, 0xff);
        qz_fed_sta_ssid_handler(QZ_EVENT_SSID_BINDING, size, p.data());
        qz_fed_sta_ssid_handler(QZ_EVENT_SSID_CHANGE, size < 40 ? size : 0, p.data());
    }
    EXPECT_TRUE(seen.calls.empty());
}

TEST_F(EventTest, KernelEventsOtherThanInterfaceChangeOnlyLog) {
    qz_fed_debug = fed_dbg::basic;
    std::uint8_t body[28] = {};
    qz_fed_kevent_handler(5, sizeof body, body);
    qz_fed_kevent_handler(99, sizeof body, body);
    EXPECT_TRUE(seen.calls.empty());
    qz_fed_kevent_handler(KEVT_IF_CHG, sizeof body, body);
    EXPECT_EQ(seen.calls, std::vector<std::string>{"vc"});
    std::string log = ap.log();
    EXPECT_NE(log.find("Recieved kevent (KEVT_SYNC_FE_SESSION)."), std::string::npos);
    EXPECT_NE(log.find("Recieved kevent (n/a)."), std::string::npos);
    EXPECT_NE(log.find("Recieved kevent (KEVT_IF_CHG)."), std::string::npos);
}

TEST_F(EventTest, DebugLinesOnlyWithTheirFlag) {
    std::uint8_t body[8] = {};
    qz_fed_sta_ssid_handler(1234, sizeof body, body);
    EXPECT_EQ(ap.log().find("receive unknown event 1234"), std::string::npos);
    qz_fed_debug = fed_dbg::basic;
    qz_fed_sta_ssid_handler(1234, sizeof body, body);
    qz_fed_alg_info_handler(4321, sizeof body, body);
    std::string log = ap.log();
    EXPECT_NE(log.find("fed_basic"), std::string::npos);
    EXPECT_NE(log.find("receive unknown event 1234"), std::string::npos);
    EXPECT_NE(log.find("receive unknown event 4321"), std::string::npos);
}

TEST_F(EventTest, FlagAllSetsEveryBit) {
    qz_fed_reg_debug_flags();
    ASSERT_EQ(qz_debug_flag_set("fed", "alg_sip_fsm", true), 0);
    EXPECT_EQ(qz_fed_debug, fed_dbg::alg_sip_fsm);
    ASSERT_EQ(qz_debug_flag_set("fed", "all", true), 0);
    EXPECT_EQ(qz_fed_debug, 0xFFFFFFFFu);  // bit 0x4 included, though it has no name
    ASSERT_EQ(qz_debug_flag_set("fed", "cli", false), 0);
    EXPECT_EQ(qz_fed_debug, 0xFFFFFFFEu);
    ASSERT_EQ(qz_debug_flag_set("fed", "alllib", true), 0);
    EXPECT_EQ(qz_lib_dbg, 0xFFFFFFFFu);
    ASSERT_EQ(qz_debug_flag_set("fed", "alllib", false), 0);
    EXPECT_EQ(qz_lib_dbg, 0u);
    EXPECT_LT(qz_debug_flag_set("fed", "nosuchflag", true), 0);
}

class InterfaceTest : public EventTest {
   protected:
    void write_dev(const std::vector<std::string>& names) {
        std::ofstream out(ap.dir() + "/proc/net/dev");
        out << "Inter-|   Receive                            |  Transmit\n"
            << " face |bytes    packets errs drop fifo frame compressed multicast|bytes\n";
        for (const auto& n : names) out << "  " << n << ":  1234 5 0 0 0 0 0 0 678 9 0 0 0 0 0 0\n";
    }
    // Interfaces the configuration library knows by these kernel names.
    void know(const std::vector<std::string>& knames) {
        std::lock_guard lock(ap.core().mu);
        for (const auto& k : knames) sim::iface_add_locked(ap.core(), k, k);
    }
    char names[QZ_FED_MAX_IFS][QZ_FED_IFNAME_SIZE] = {};
};

TEST_F(InterfaceTest, KeepsOnlyInterfacesTheConfigurationLibraryKnows) {
    write_dev({"lo", "eth0", "wifi0", "bond7", "wifi0.1"});
    ASSERT_EQ(qz_fed_get_interfaces(names), 0);
    EXPECT_STREQ(names[0], "eth0");
    EXPECT_STREQ(names[1], "wifi0");
    EXPECT_STREQ(names[2], "wifi0.1");
    EXPECT_STREQ(names[3], "");
}

TEST_F(InterfaceTest, StopsAtThirtyTwo) {
    write_dev(std::vector<std::string>(31, "eth0"));
    ASSERT_EQ(qz_fed_get_interfaces(names), 0);
    EXPECT_STREQ(names[30], "eth0");
    EXPECT_STREQ(names[31], "");
    EXPECT_EQ(ap.log().find("too many interfaces"), std::string::npos);

    std::vector<std::string> list(32, "eth0");
    list.push_back("eth1");  // a 33rd is never read
    write_dev(list);
    ap.take_calls();
    ASSERT_EQ(qz_fed_get_interfaces(names), 0);
    for (int i = 0; i < QZ_FED_MAX_IFS; ++i) EXPECT_STREQ(names[i], "eth0") << i;
    EXPECT_NE(ap.log().find("too many interfaces, > 32"), std::string::npos);
    int lookups = 0;
    for (const auto& c : ap.take_calls()) lookups += c.rfind("Dcd:", 0) == 0;
    EXPECT_EQ(lookups, 32);
}

TEST_F(InterfaceTest, MissingFileAndLongNames) {
    std::filesystem::remove(ap.dir() + "/proc/net/dev");
    EXPECT_EQ(qz_fed_get_interfaces(names), -1);
    EXPECT_NE(ap.log().find("can't open /proc/net/dev"), std::string::npos);
    know({"abcdefghijklmno"});  // a kernel name is cut to 15 characters
    write_dev({"abcdefghijklmnopqrstuvwxyz"});
    ASSERT_EQ(qz_fed_get_interfaces(names), 0);
    EXPECT_STREQ(names[0], "abcdefghijklmno");
}

}  // namespace
