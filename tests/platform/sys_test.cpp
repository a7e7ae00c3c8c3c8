#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/fe.h"
#include "platform/qz.h"
#include "tests/support/local_ap.h"

namespace {

TEST(UserStr, QuotesOnlyWhatNeedsIt) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"guest", "guest"},
        {"a\\b", "a\\b"},
        {"my policy", "\"my policy\""},
        {"tab\there", "\"tab\there\""},
        {"", "\"\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"it's", "\"it's\""},
        {"a b\\c", "\"a b\\\\c\""},
    };
    for (const Case& c : cases) {
        char out[64];
        EXPECT_EQ(qz_str_to_user_str(c.in, out, sizeof out), 0) << c.in;
        EXPECT_STREQ(out, c.out) << c.in;
    }
    char small[5];
    EXPECT_EQ(qz_str_to_user_str("a b c", small, sizeof small), -1);
    EXPECT_STREQ(small, "\"a b");
    EXPECT_EQ(qz_str_to_user_str(nullptr, small, sizeof small), -1);
}

TEST(Names, EthernetNamesEventNamesAndPaths) {
    EXPECT_EQ(qz_is_ethernet_ifname("eth0"), 1);
    EXPECT_EQ(qz_is_ethernet_ifname("agg1"), 1);
    EXPECT_EQ(qz_is_ethernet_ifname("wifi0.1"), 0);
    EXPECT_EQ(qz_is_ethernet_ifname("et"), 0);
    EXPECT_EQ(qz_is_ethernet_ifname(nullptr), 0);
    EXPECT_STREQ(qz_eventid_to_name(131), "QZ_EVENT_UDPDATE_ALG_INFO");
    EXPECT_STREQ(qz_eventid_to_name(259), "QZ_EVENT_AUTH_JOIN");
    EXPECT_STREQ(qz_eventid_to_name(260), "QZ_EVENT_AUTH_LEAVE");
    EXPECT_STREQ(qz_eventid_to_name(99999), "unknown");
    plat::set_run_dir("");
    EXPECT_EQ(qz_fs_path("/tmp/db/fed"), "/tmp/db/fed");
    plat::set_run_dir("/run/ap1");
    EXPECT_EQ(qz_fs_path("/tmp/db/fed"), "/run/ap1/tmp/db/fed");
    plat::set_run_dir("");
}

TEST(Log, LineFormats) {
    testap::LocalAp ap;
    std::uint32_t word = 0x10u;
    qz_log(6, "FED module initialized\n");
    qz_log_flash(5, "notice %d", 7);
    __qz_err(" ", 68, "### Assertion (%s) failed at %s:%d\n", "x", "alg/qz_alg_main", 12);
    __qz_dbg(" ", 123, "fed_basic", "event %s(%d) received\n", "QZ_EVENT_AUTH_JOIN", 259);
    qz_syslog(15, "Assertion (%s) failed", "FALSE");
    qz_log(4, "two\n\n");
    qz_hexdump("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11", 17);
    qz_log(3, "%i", word);
    EXPECT_EQ(ap.log(),
              "<6> FED module initialized\n"
              "<5F> notice 7\n"
              "ERR  :68 ### Assertion (x) failed at alg/qz_alg_main:12\n"
              "DBG  :123 fed_basic event QZ_EVENT_AUTH_JOIN(259) received\n"
              "<15> Assertion (FALSE) failed\n"
              "<4> two\n\n"
              "HEX 0000: 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10\n"
              "HEX 0010: 11\n"
              "<3> " +
                  qz_format("%i", word) + "\n");
}

TEST(Calls, NoApsimMeansFailure) {
    plat::set_run_dir("");
    EXPECT_EQ(qz_pm_init(2), -1);
    EXPECT_EQ(qz_dcd_lib_init(), -1);
    EXPECT_EQ(qz_event_send(131, 0, nullptr), -1);
    int rc = 0;
    EXPECT_FALSE(plat::fault("qz_open", &rc));
    std::uint32_t v = 42;
    EXPECT_EQ(fe_get_int_value(&v, 3, "mac session count"), -1);
    EXPECT_EQ(v, 42u);
}

TEST(Calls, InterfaceNamesFitSeventeenBytes) {
    testap::LocalAp s;
    s.answer(proto::Op::Dcd, [](wire::Reader& r, wire::Writer& w) {
        std::string fn = r.str();
        wire::Reader a(r.blob());
        std::string name = a.str();
        wire::Writer out;
        if (name == "none") {
            w.hi32(1).blob({});
            return;
        }
        out.str(fn == "qz_dcd_int_ifname_to_user_ifname" ? "user-" + name : "k" + name);
        w.hi32(0).blob(out.span());
    });
    char out[17];
    EXPECT_EQ(qz_dcd_int_ifname_to_user_ifname("eth0", out), 0);
    EXPECT_STREQ(out, "user-eth0");
    EXPECT_EQ(qz_dcd_user_ifname_to_int_ifname("a-very-long-interface", out), 0);
    EXPECT_STREQ(out, "ka-very-long-int");  // 16 characters and the NUL
    EXPECT_NE(qz_dcd_int_ifname_to_user_ifname("none", out), 0);
}

TEST(FeDevice, IoctlCarriesTheEnvelopeAndCopiesBackItsLengthOnly) {
    testap::LocalAp s;
    std::uint32_t got_request = 0;
    std::size_t got_len = 0;
    s.answer(proto::Op::FeIoctl, [&](wire::Reader& r, wire::Writer& w) {
        got_request = r.h32();
        auto env = r.blob();
        got_len = env.size();
        std::vector<std::uint8_t> back(env.begin(), env.end());
        back.resize(back.size() + 32, 0xCC);                     // longer than was sent
        wire::store_h<std::uint32_t>(back.data() + 8 + 28, 0);   // FE return code
        wire::store_h<std::uint32_t>(back.data() + 8 + 32, 77);  // gate cookie
        w.hi32(0).blob(back);
    });
    int fd = qz_open("/dev/fe", 2);
    ASSERT_GE(fd, 0);
    std::uint8_t env[8 + 36 + 4];
    std::memset(env, 0x11, sizeof env);
    wire::store_h<std::int32_t>(env, -1);
    wire::store_h<std::uint16_t>(env + 4, 52);
    wire::store_h<std::uint16_t>(env + 6, 36);
    EXPECT_EQ(qz_ioctl(fd, 0x4000, env), 0);
    EXPECT_EQ(got_request, 0x4000u);
    EXPECT_EQ(got_len, 44u);
    EXPECT_EQ(wire::load_h<std::uint32_t>(env + 8 + 32), 77u);
    EXPECT_EQ(env[44], 0x11);  // past the envelope: untouched
    EXPECT_EQ(qz_close(fd), 0);

    s.fault("qz_open", -1);
    EXPECT_EQ(qz_open("/dev/fe", 2), -1);
}

}  // namespace

namespace {

void* twice(void* arg) {
    *static_cast<int*>(arg) *= 2;
    return nullptr;
}

TEST(Threads, CreateRunsTheStartFunctionOrReportsTheFault) {
    testap::LocalAp s;
    int v = 21;
    pthread_t th;
    ASSERT_EQ(qz_pthread_create(&th, twice, &v, 0, 64 * 1024, 0), 0);
    ASSERT_EQ(pthread_join(th, nullptr), 0);
    EXPECT_EQ(v, 42);
    s.fault("qz_pthread_create", 11);
    EXPECT_EQ(qz_pthread_create(&th, twice, &v, 0, 0, 0), 11);
    EXPECT_EQ(v, 42);
}

}  // namespace
