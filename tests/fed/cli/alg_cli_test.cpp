// ALG commands: what reaches the FE's ALG table, the max durations fed keeps
// for the gateways, the DNS hand-over, the display and the running-configuration
// records of step 10.
#include "alg/qz_alg_main.h"
#include "tests/fed/cli/svc_support.h"

namespace {

using namespace svctest;

class Algs : public SvcTest {
   protected:
    fem::AlgSettings fe_settings() {
        std::lock_guard lock(ap.core().mu);
        return ap.core().fe.alg.settings;
    }
};

TEST_F(Algs, ValuesAndTheirNoFormDefaults) {
    struct Case {
        const char* setting;
        const char* alg;
        std::uint16_t type;
        int value;
        int def;
        std::uint32_t (*read)(const fem::AlgSettings&, std::uint16_t);
    };
    auto qos = [](const fem::AlgSettings& s, std::uint16_t t) -> std::uint32_t {
        return s.qos_class[t];
    };
    auto idle = [](const fem::AlgSettings& s, std::uint16_t t) { return s.inactive_timeout[t]; };
    auto dur = [](const fem::AlgSettings& s, std::uint16_t t) { return s.max_duration[t]; };
    const Case cases[] = {
        {"qos", "sip", 3, 4, 6, qos},
        {"qos", "dns", 4, 7, 0, qos},
        {"inactive-data-timeout", "tftp", 2, 99, 30, idle},
        {"inactive-data-timeout", "sip", 3, 5, 60, idle},
        {"max-duration", "sip", 3, 10, 720, dur},
        {"max-duration", "ftp", 1, 5, 60, dur},
    };
    for (const Case& c : cases) {
        const std::string line = std::string("alg ") + c.alg + " " + c.setting;
        SCOPED_TRACE(line);
        bool dur = std::string(c.setting) == "max-duration";
        ASSERT_EQ(cmd(line + " " + std::to_string(c.value)).rc, 0);
        EXPECT_EQ(c.read(fe_settings(), c.type), static_cast<std::uint32_t>(c.value));
        if (dur) {
            EXPECT_EQ(qz_alg_max_duration(c.type), static_cast<std::uint32_t>(c.value));
        }
        ASSERT_EQ(cmd("no " + line).rc, 0);
        EXPECT_EQ(c.read(fe_settings(), c.type), static_cast<std::uint32_t>(c.def));
        if (dur) {
            EXPECT_EQ(qz_alg_max_duration(c.type), static_cast<std::uint32_t>(c.def));
        }
    }
    // An ALG outside the setting's list is refused without reaching the FE.
    EXPECT_LT(cmd("alg sip max-duration 5", [](auto& rec) { clitest::replace_text(rec, "sip", "dns"); })
                  .rc,
              0);
    EXPECT_EQ(fe_settings().max_duration[4], 60u);
}

TEST_F(Algs, FailedStoreKeepsFedsMaxDuration) {
    ASSERT_EQ(cmd("alg tftp max-duration 7").rc, 0);
    ap.fault("kcode:130", -5, 1);
    EXPECT_LT(cmd("alg tftp max-duration 9").rc, 0);
    EXPECT_EQ(qz_alg_max_duration(2), 7u);
}

TEST_F(Algs, EnableAndTheDnsHandOver) {
    ASSERT_EQ(cmd("alg dns enable").rc, 0);
    EXPECT_TRUE(fe_settings().enabled[4]);
    {
        std::lock_guard lock(ap.core().mu);
        EXPECT_TRUE(ap.core().dcd_svc.dns_alg_by_cli);
        ap.core().dcd_svc.dns_alg_by_jss = true;
    }
    // The other service still uses it: success, the FE keeps it on.
    Ran r = cmd("no alg dns enable");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fe_settings().enabled[4]);
    {
        std::lock_guard lock(ap.core().mu);
        EXPECT_FALSE(ap.core().dcd_svc.dns_alg_by_cli);
        ap.core().dcd_svc.dns_alg_by_jss = false;
    }
    ASSERT_EQ(cmd("no alg dns enable").rc, 0);
    EXPECT_FALSE(fe_settings().enabled[4]);
}

TEST_F(Algs, HttpChangeIsAnnouncedWithTheMessage) {
    ap.clear_logs();
    ASSERT_EQ(cmd("alg http enable").rc, 0);
    std::vector<sim::Event> sent = ap.events_sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].event, 193u);
    EXPECT_EQ(sent[0].payload.size(), qz_alg_cfg_msg::kSize);
    ASSERT_EQ(cmd("alg ftp enable").rc, 0);
    EXPECT_EQ(ap.events_sent().size(), 1u);
}

TEST_F(Algs, ShowAllAndOne) {
    ASSERT_EQ(cmd("alg ftp enable").rc, 0);
    Ran r = cmd("show alg");
    const std::string head =
        "ALG configuration information:\n"
        "index     alg type  flag      qos       inactive-data-timeout    max-duration\n" +
        std::string(68, '-') + "\n";
    EXPECT_EQ(r.out,
              head +
                  "1         ftp       enable    0         30                       60        \n"
                  "2         tftp      disable   0         30                       60        \n"
                  "3         sip       disable   6         60                       720       \n"
                  "4         dns       disable   0         -                        -         \n"
                  "6         http      disable   -         -                        -         \n");
    r = cmd("show alg dns");
    EXPECT_EQ(r.out,
              head + "1         dns       disable   0                   -                   -\n");
    r = cmd("show alg http");
    EXPECT_EQ(r.out,
              head + "1         http      disable   -                   -                   -\n");
}

TEST_F(Algs, BindingsAndTheirRecords) {
    ASSERT_EQ(cmd(def832("voice", "udp", 5070)).rc, 0);
    ASSERT_EQ(cmd(def832("tv1", "tcp", 8081)).rc, 0);
    ASSERT_EQ(cmd("service voice alg sip").rc, 0);
    ASSERT_EQ(cmd("service tv1 alg tv").rc, 0);
    ASSERT_EQ(cmd("no service dns alg").rc, 0);
    EXPECT_EQ(fe_service("tv1")->alg_type, 6);
    Ran r = cmd("service ghost alg ftp");
    EXPECT_EQ(r.out, "service ghost not existed!\r\n");

    Ran shown = cmd("show service tv1");
    EXPECT_NE(shown.out.find("      http         -\n"), std::string::npos);

    ASSERT_EQ(cmd("alg sip max-duration 30").rc, 0);
    ASSERT_EQ(cmd("alg tftp enable").rc, 0);
    // Service order of the FE: dns (predefined, unbound), then voice and tv1.
    EXPECT_EQ(clitest::lines(emit(qz_fed_alg_cfg)),
              "alg tftp enable\n"
              "alg sip max-duration 30\n"
              "no service dns alg\n"
              "service voice alg sip\n"
              "service tv1 alg http\n");
}

}  // namespace
