// ALG commands: what reaches the FE's ALG table, the max durations fed keeps
// for the gateways, the DNS hand-over, the display and the running-configuration
// records of step 10.
#include "alg/qz_alg_main.h"
#include "tests/service/svc_support.h"

namespace {

using namespace svctest;

class Algs : public SvcTest {
   protected:
    fem::AlgSettings fe_settings() {
        std::lock_guard lock(ap.core().mu);
        return ap.core().fe.alg.settings;
    }
};

Rec alg_rec(const std::string& name, int value = -1) {
    Rec r(arg::kAlgValueSize);
    r.flags(value >= 0 ? 3 : 1).text(arg::kAlgName, name);
    if (value >= 0) r.word(arg::kAlgValue, static_cast<std::uint32_t>(value));
    return r;
}

Rec bind_rec(const std::string& service, const std::string& alg) {
    Rec r(arg::k1799Size);
    r.flags(alg.empty() ? 1 : 3).text(arg::kName, service);
    if (!alg.empty()) r.text(arg::kKeyword, alg);
    return r;
}

TEST_F(Algs, ValuesAndTheirNoFormDefaults) {
    struct Case {
        Handler h;
        std::uint32_t cmd;
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
        {qz_fed_alg_qos, 1800, "sip", 3, 4, 6, qos},
        {qz_fed_alg_qos, 1800, "dns", 4, 7, 0, qos},
        {qz_fed_alg_inactive_timeout, 1801, "tftp", 2, 99, 30, idle},
        {qz_fed_alg_inactive_timeout, 1801, "sip", 3, 5, 60, idle},
        {qz_fed_alg_max_duration, 1802, "sip", 3, 10, 720, dur},
        {qz_fed_alg_max_duration, 1802, "ftp", 1, 5, 60, dur},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.alg) + " " + std::to_string(c.cmd));
        ASSERT_EQ(run(c.h, c.cmd, kPlain, alg_rec(c.alg, c.value)).rc, 0);
        EXPECT_EQ(c.read(fe_settings(), c.type), static_cast<std::uint32_t>(c.value));
        if (c.cmd == 1802) {
            EXPECT_EQ(qz_alg_max_duration(c.type), static_cast<std::uint32_t>(c.value));
        }
        ASSERT_EQ(run(c.h, c.cmd, kNo, alg_rec(c.alg)).rc, 0);
        EXPECT_EQ(c.read(fe_settings(), c.type), static_cast<std::uint32_t>(c.def));
        if (c.cmd == 1802) {
            EXPECT_EQ(qz_alg_max_duration(c.type), static_cast<std::uint32_t>(c.def));
        }
    }
    // Values outside an ALG's list are refused without reaching the FE.
    EXPECT_LT(run(qz_fed_alg_max_duration, 1802, kPlain, alg_rec("dns", 5)).rc, 0);
    EXPECT_EQ(fe_settings().max_duration[4], 60u);
}

TEST_F(Algs, FailedStoreKeepsFedsMaxDuration) {
    ASSERT_EQ(run(qz_fed_alg_max_duration, 1802, kPlain, alg_rec("tftp", 7)).rc, 0);
    ap.fault("kcode:130", -5, 1);
    EXPECT_LT(run(qz_fed_alg_max_duration, 1802, kPlain, alg_rec("tftp", 9)).rc, 0);
    EXPECT_EQ(qz_alg_max_duration(2), 7u);
}

TEST_F(Algs, EnableAndTheDnsHandOver) {
    ASSERT_EQ(run(qz_fed_alg_enable, 804, kPlain, alg_rec("dns")).rc, 0);
    EXPECT_TRUE(fe_settings().enabled[4]);
    {
        std::lock_guard lock(ap.core().mu);
        EXPECT_TRUE(ap.core().dcd_svc.dns_alg_by_cli);
        ap.core().dcd_svc.dns_alg_by_jss = true;
    }
    // The other service still uses it: success, the FE keeps it on.
    Ran r = run(qz_fed_alg_enable, 804, kNo, alg_rec("dns"));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fe_settings().enabled[4]);
    {
        std::lock_guard lock(ap.core().mu);
        EXPECT_FALSE(ap.core().dcd_svc.dns_alg_by_cli);
        ap.core().dcd_svc.dns_alg_by_jss = false;
    }
    ASSERT_EQ(run(qz_fed_alg_enable, 804, kNo, alg_rec("dns")).rc, 0);
    EXPECT_FALSE(fe_settings().enabled[4]);
}

TEST_F(Algs, HttpChangeIsAnnouncedWithTheMessage) {
    ap.clear_logs();
    ASSERT_EQ(run(qz_fed_alg_enable, 804, kPlain, alg_rec("http")).rc, 0);
    std::vector<sim::Event> sent = ap.events_sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].event, 193u);
    EXPECT_EQ(sent[0].payload.size(), qz_alg_cfg_msg::kSize);
    ASSERT_EQ(run(qz_fed_alg_enable, 804, kPlain, alg_rec("ftp")).rc, 0);
    EXPECT_EQ(ap.events_sent().size(), 1u);
}

TEST_F(Algs, ShowAllAndOne) {
    ASSERT_EQ(run(qz_fed_alg_enable, 804, kPlain, alg_rec("ftp")).rc, 0);
    Ran r = run(qz_fed_alg_show, 1803, kPlain, Rec(arg::kAlgSize));
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
    r = run(qz_fed_alg_show, 1803, kPlain, alg_rec("dns"));
    EXPECT_EQ(r.out,
              head + "1         dns       disable   0                   -                   -\n");
    r = run(qz_fed_alg_show, 1803, kPlain, alg_rec("http"));
    EXPECT_EQ(r.out,
              head + "1         http      disable   -                   -                   -\n");
}

TEST_F(Algs, BindingsAndTheirRecords) {
    ASSERT_EQ(run(qz_fed_service_define_keyword, 832, kPlain, def832("voice", "udp", 5070)).rc, 0);
    ASSERT_EQ(run(qz_fed_service_define_keyword, 832, kPlain, def832("tv1", "tcp", 8081)).rc, 0);
    ASSERT_EQ(run(qz_fed_alg_bind_service, 1799, kPlain, bind_rec("voice", "sip")).rc, 0);
    ASSERT_EQ(run(qz_fed_alg_bind_service, 1799, kPlain, bind_rec("tv1", "tv")).rc, 0);
    ASSERT_EQ(run(qz_fed_alg_bind_service, 1799, kNo, bind_rec("dns", "")).rc, 0);
    EXPECT_EQ(fe_service("tv1")->alg_type, 6);
    Ran r = run(qz_fed_alg_bind_service, 1799, kPlain, bind_rec("ghost", "ftp"));
    EXPECT_EQ(r.out, "service ghost not existed!\r\n");

    Ran shown = run(qz_fed_service_show, 875, kPlain, named(arg::kShowSize, "tv1"));
    EXPECT_NE(shown.out.find("      http         -\n"), std::string::npos);

    ASSERT_EQ(run(qz_fed_alg_max_duration, 1802, kPlain, alg_rec("sip", 30)).rc, 0);
    ASSERT_EQ(run(qz_fed_alg_enable, 804, kPlain, alg_rec("tftp")).rc, 0);
    auto recs = emit(qz_fed_alg_cfg);
    ASSERT_EQ(recs.size(), 5u);
    EXPECT_EQ(recs[0].cmd, 804u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(recs[0].data.data() + 12)), "tftp");
    EXPECT_EQ(recs[1].cmd, 1802u);
    EXPECT_EQ(load32(recs[1].data, 48), 30u);
    // Service order of the FE: dns (predefined, unbound), then voice and tv1.
    EXPECT_EQ(recs[2].cmd, 1799u);
    EXPECT_EQ(load32(recs[2].data, 0), 0x80000001u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(recs[2].data.data() + 12)), "dns");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(recs[3].data.data() + 45)), "sip");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(recs[4].data.data() + 45)), "http");
}

}  // namespace
