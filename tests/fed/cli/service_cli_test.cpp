// Service, ALG and service-based QoS commands in-process against a LocalAp
// with fed's kernel channel open and the service start-up done: what the FE
// and the configuration library hold after each command, the refusals and
// their texts, the displays, start-up and the running-configuration records.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "alg/qz_alg_main.h"
#include "fed/cli/qz_fed_service_cli.h"
#include "platform/svc_msg.h"
#include "tests/support/cli.h"
#include "tests/support/text.h"

namespace {

namespace db = qz_service_entry_db;

using clitest::cmd;
using clitest::emit;
using clitest::load32;
using clitest::Ran;

class SvcTest : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_EQ(qz_fed_ipc_init(), 0);
        ASSERT_EQ(qz_fed_service_startup(), 0);
    }
    void TearDown() override { qz_fed_ipc_exit(); }

    // The FE's row of a service, or nullptr.
    const fem::Service* fe_service(const std::string& name) {
        std::lock_guard lock(ap.core().mu);
        for (const fem::Service& s : ap.core().fe.alg.services)
            if (s.name == name) return &s;
        return nullptr;
    }
    // The configuration library's record of a service (empty when none).
    std::vector<std::uint8_t> dcd_record(const std::string& name) {
        std::vector<std::uint8_t> r(qz_service_entry_db::kSize);
        if (qz_dcd_get_service_table(name.c_str(), r.data()) < 0) return {};
        return r;
    }
    std::string log_text() { return ap.log(); }
    testap::LocalAp ap;
};

// Service definitions as typed: a negative port or timeout is left out.
std::string opt(const char* word, int v) {
    return v < 0 ? "" : std::string(" ") + word + " " + std::to_string(v);
}
std::string def832(const std::string& name, const char* kw, int port = -1, int timeout = -1) {
    return "service " + cmdtbl::quote_word(name) + " protocol " + kw + opt("port", port) +
           opt("timeout", timeout);
}
std::string def833(const std::string& name, int proto, int port = -1, int timeout = -1) {
    return "service " + cmdtbl::quote_word(name) + " protocol " + std::to_string(proto) +
           opt("port", port) + opt("timeout", timeout);
}
std::string def834(const std::string& name, int app, int timeout = -1) {
    return "service " + cmdtbl::quote_word(name) + " app-id " + std::to_string(app) +
           opt("timeout", timeout);
}

class Services : public SvcTest {};

struct TimeoutCase {
    const char* what;
    std::string name;
    std::string line;
    std::uint8_t protocol;
    std::uint16_t port;
    std::uint32_t fe_timeout;
    std::uint32_t dcd_timeout;
};

TEST_F(Services, NewServicesGetTheirDefaultTimeoutAndZeroMeansForever) {
    const TimeoutCase cases[] = {
        {"tcp 22 is ssh's", "s1", def832("s1", "tcp", 22), 6, 22, 7200, 7200},
        {"tcp 8080", "s2", def832("s2", "tcp", 8080), 6, 8080, 300, 300},
        {"udp 9999", "s3", def832("s3", "udp", 9999), 17, 9999, 100, 100},
        {"svp", "s4", def832("s4", "svp", 77), 119, 0, 600, 600},
        {"timeout 0", "s5", def832("s5", "tcp", 5000, 0), 6, 5000, 86400, 0},
        {"protocol 47 drops its port", "s6", def833("s6", 47, 99), 47, 0, 100, 100},
        {"protocol 1 is icmp's", "s7", def833("s7", 1), 1, 0, 5, 5},
    };
    for (const TimeoutCase& c : cases) {
        SCOPED_TRACE(c.what);
        Ran r = cmd(c.line);
        EXPECT_EQ(r.rc, 0);
        EXPECT_EQ(r.out, "");
        const std::string& name = c.name;
        const fem::Service* s = fe_service(name);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->protocol, c.protocol);
        EXPECT_EQ(s->port, c.port);
        EXPECT_EQ(s->timeout, c.fe_timeout);
        std::vector<std::uint8_t> d = dcd_record(name);
        ASSERT_EQ(d.size(), db::kSize);
        EXPECT_EQ(load32(d, db::kTimeout), c.dcd_timeout);
        EXPECT_EQ(d[db::kProtocol], c.protocol);
        EXPECT_EQ(d[db::kAction], 1);  // permit, class 2: no classification
        EXPECT_EQ(d[db::kClass], 2);
    }
}

TEST_F(Services, ExistingServiceKeepsItsTimeoutUnlessGiven) {
    ASSERT_EQ(cmd(def832("x", "tcp", 80, 42)).rc, 0);
    ASSERT_EQ(cmd(def832("x", "tcp", 81)).rc, 0);
    EXPECT_EQ(fe_service("x")->timeout, 42u);
    EXPECT_EQ(fe_service("x")->port, 81u);
}

TEST_F(Services, AppIdRangeAndTimeoutBackTo300) {
    for (int id : {0, 1, 1260, 1261, 18999, 19000, 19099, 19100}) {
        SCOPED_TRACE(id);
        Ran r = cmd(def834("app", id));
        if ((id >= 1 && id <= 1260) || (id >= 19000 && id <= 19099)) {
            EXPECT_EQ(r.rc, 0);
            EXPECT_EQ(fe_service("app")->app_id, id);
        } else {
            EXPECT_LT(r.rc, 0);
            EXPECT_EQ(r.out, "Invalid app-id " + std::to_string(id) + " encountered!\n");
        }
    }
    ASSERT_EQ(cmd(def834("app", 19099, 50)).rc, 0);
    EXPECT_EQ(fe_service("app")->timeout, 50u);
    ASSERT_EQ(cmd(def834("app", 19099)).rc, 0);
    EXPECT_EQ(fe_service("app")->timeout, 300u);
    EXPECT_EQ(fe_service("app")->protocol, 0);
}

TEST_F(Services, SctpWithAPortIsRefused) {
    Ran r = cmd(def833("sc", 132, 5));
    EXPECT_LT(r.rc, 0);
    EXPECT_EQ(r.out, "Failed: port number is not supported for protocol SCTP(132)\n");
    EXPECT_EQ(fe_service("sc"), nullptr);
    EXPECT_EQ(cmd(def833("sc", 132)).rc, 0);
}

TEST_F(Services, TheHundredAndFirstServiceIsRefusedAndLogged) {
    for (int i = 0; i < 71; ++i)
        ASSERT_EQ(cmd(def832("u" + std::to_string(i), "tcp", 1000 + i)).rc, 0);
    EXPECT_TRUE(clitest::printed(cmd(def832("extra", "tcp", 7)), "Services exceed the limit \n"));
    EXPECT_EQ(fe_service("extra"), nullptr);
    EXPECT_TRUE(dcd_record("extra").empty());
    EXPECT_NE(log_text().find("Service number exceeds the system limit"), std::string::npos);
}

TEST_F(Services, InUseServicesAreNeitherChangedNorDeleted) {
    {
        std::lock_guard lock(ap.core().mu);
        ap.core().dcd_svc.in_use.insert("ssh");
    }
    // 833 ends silently.
    for (const auto& [line, out] : {std::pair{def832("SSH", "tcp", 2222), "services is in use\n"},
                                    {"no service ssh", "services is in use\n"},
                                    {def833("ssh", 6), ""}}) {
        Ran r = cmd(line);
        EXPECT_LT(r.rc, 0) << line;
        EXPECT_EQ(r.out, out) << line;
    }
    EXPECT_EQ(fe_service("ssh")->port, 22);
    EXPECT_NE(fe_service("ssh"), nullptr);
}

TEST_F(Services, DeleteRemovesBothCopiesAndUnknownNamesAreReported) {
    ASSERT_EQ(cmd("no service telnet").rc, 0);
    EXPECT_EQ(fe_service("telnet"), nullptr);
    EXPECT_TRUE(dcd_record("telnet").empty());
    Ran r = cmd("show service telnet");
    EXPECT_EQ(r.out, "Invalid service name\n");
}

TEST_F(Services, StartupMirrorsTheFeAndBindsTheAlgsOnce) {
    EXPECT_EQ(dcd_record("tftp")[db::kClass], 3);
    EXPECT_EQ(load32(dcd_record("icmp"), db::kTimeout), 5u);
    std::uint32_t first = 0;
    ASSERT_EQ(qz_dcd_get_fed_run_first_flag(&first), 0);
    EXPECT_EQ(first, 1u);
    // A second start-up (fed restarted) leaves a changed binding alone.
    ASSERT_EQ(cmd("no service ftp alg").rc, 0);
    ASSERT_EQ(qz_fed_service_startup(), 0);
    EXPECT_EQ(fe_service("ftp")->alg_type, 0);
}

const char* const kFreshShow =
    "Service table \n"
    "Total entries = 29\n"
    "\n"
    "No. Service Name                     Protocol      Port       TimeOut  ALG Type   App ID\n"
    "-----------------------------------------------------------------------------------------\n"
    "1   any                                    -         -           60         -         -\n"
    "2   dhcp-client                      udp(17)         68          60         -         -\n";

TEST_F(Services, ShowSortsByNameWithEveryRowKind) {
    Ran r = cmd("show service");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out.substr(0, std::strlen(kFreshShow)), kFreshShow);
    for (const char* row :
         {"5   ftp                              tcp(6 )         21        1800       ftp         "
          "-\n",
          "http                             tcp(6 )         80         300      http         -\n",
          "icmp                             protocol(1  )    -           5         -         -\n",
          "voip-svp                         svp(119)         -         600         -         -\n"})
        EXPECT_NE(r.out.find(row), std::string::npos) << row;

    ASSERT_EQ(cmd(def834("aa", 19000)).rc, 0);
    r = cmd("show service aa");
    EXPECT_TRUE(testtext::has(r.out,
                              "1   aa                                     -         -          300 "
                              "        -     19000\n"));
}

TEST_F(Services, StatisticsShowAndClear) {
    {
        std::lock_guard lock(ap.core().mu);
        fem::AlgState& a = ap.core().fe.alg;
        // Queries to port 53 count in, answers from it out; other ports nowhere.
        for (int i = 0; i < 7; ++i) fem::service_count_packet(a, {17, 1, 2, 4000, 53});
        for (int i = 0; i < 9; ++i) fem::service_count_packet(a, {17, 2, 1, 53, 4000});
        fem::service_count_packet(a, {6, 2, 1, 53, 4000});
    }
    Ran r = cmd("show service statistics dns");
    EXPECT_EQ(
        r.out,
        "Service statistics counters table \nTotal entries = 1\n\n"
        "No. Service Name                     Ingress Packet Count    Egress Packet Count\n" +
            std::string(80, '-') +
            "\n1   dns                                                 7                      9\n");
    EXPECT_EQ(cmd("clear service statistics").rc, 0);
    EXPECT_EQ(fe_service("dns")->ingress, 0u);
    EXPECT_EQ(cmd("clear service statistics nope").out, "Invalid service name\n");
}

TEST_F(Services, RunningConfigurationRecords) {
    EXPECT_TRUE(emit(qz_fed_service_cfg).empty());
    EXPECT_TRUE(emit(qz_fed_alg_cfg).empty());
    ASSERT_EQ(cmd("no service ftp").rc, 0);
    ASSERT_EQ(cmd(def832("web", "tcp", 8080, 0)).rc, 0);
    ASSERT_EQ(cmd(def833("gre", 47)).rc, 0);
    ASSERT_EQ(cmd(def834("app", 19000, 30)).rc, 0);
    ASSERT_EQ(cmd(def833("icmp", 1, -1, 9)).rc, 0);
    // Library order: icmp was already there.
    EXPECT_EQ(clitest::lines(emit(qz_fed_service_cfg)),
              "service icmp protocol 1 timeout 9\n"
              "service web protocol tcp port 8080 timeout 0\n"
              "service gre protocol 47\n"
              "service app app-id 19000 timeout 30\n"
              "no service  ftp\n");
}

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
    EXPECT_LT(
        cmd("alg sip max-duration 5", [](auto& rec) { clitest::replace_text(rec, "sip", "dns"); })
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
    EXPECT_TRUE(clitest::printed(cmd("no alg dns enable"), ""));
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

// "qos classifier-map service NAME [CLASS] [action ACTION]"
std::string cls(const std::string& name, int qos_class = -1, const char* action = nullptr) {
    std::string line = "qos classifier-map service " + name;
    if (qos_class >= 0) line += " " + std::to_string(qos_class);
    return action ? line + " action " + action : line;
}

class QosClass : public SvcTest {
   protected:
    // Class and action of the service's configuration-library record.
    std::pair<int, int> dcd(const std::string& name) {
        std::vector<std::uint8_t> r = dcd_record(name);
        if (r.empty()) return {-1, -1};
        return {r[db::kClass], r[db::kAction]};
    }
    int set(const std::string& name, int qos_class = -1, const char* action = nullptr) {
        return cmd(cls(name, qos_class, action)).rc;
    }
    std::string show() { return cmd("show qos classifier-map service").out; }
};

TEST_F(QosClass, ActionsMergeAsWordsAndReachTheLibrary) {
    ASSERT_EQ(set("ssh", 5, "deny"), 0);
    EXPECT_EQ(dcd("ssh"), std::make_pair(5, 2));
    // log joins deny; permit then replaces deny and keeps log.
    ASSERT_EQ(set("ssh", -1, "log"), 0);
    EXPECT_EQ(dcd("ssh"), std::make_pair(5, 6));
    EXPECT_TRUE(
        testtext::has(show(), "ssh                                          5          deny|log"));
    ASSERT_EQ(set("ssh", -1, "permit"), 0);
    EXPECT_EQ(dcd("ssh"), std::make_pair(5, 5));
    // Neither value: class 2 and permit alone.
    ASSERT_EQ(set("ssh"), 0);
    EXPECT_EQ(dcd("ssh"), std::make_pair(2, 1));

    // A user service has no entry until one is set: log alone is possible.
    ASSERT_EQ(cmd(def832("web", "tcp", 8080)).rc, 0);
    EXPECT_EQ(dcd("web"), std::make_pair(2, 1));
    ASSERT_EQ(set("web", -1, "log"), 0);
    EXPECT_EQ(dcd("web"), std::make_pair(2, 4));
    EXPECT_TRUE(
        testtext::has(show(), "web                                          2          log "));
}

TEST_F(QosClass, NoFormRestoresTheServicesOwnDefault) {
    ASSERT_EQ(set("sip", 1, "deny"), 0);
    ASSERT_EQ(cmd("no " + cls("sip")).rc, 0);
    EXPECT_EQ(dcd("sip"), std::make_pair(6, 1));
    // The FE agrees, so a restarted fed mirrors the same values.
    ASSERT_EQ(qz_fed_service_startup(), 0);
    EXPECT_EQ(dcd("sip"), std::make_pair(6, 1));

    ASSERT_EQ(cmd(def833("gre", 47)).rc, 0);
    ASSERT_EQ(set("gre", 7), 0);
    ASSERT_EQ(cmd("no " + cls("gre")).rc, 0);
    EXPECT_EQ(dcd("gre"), std::make_pair(2, 1));
    EXPECT_EQ(show().find("gre "), std::string::npos);
}

TEST_F(QosClass, RefusalsChangeNothing) {
    Ran r = cmd(cls("nope", 3));
    EXPECT_EQ(r.out, "Invalid service name\n");
    EXPECT_NE(r.rc, 0);
    EXPECT_EQ(cmd("no " + cls("nope")).out, "Invalid service name\n");
    r = cmd(cls(std::string(32, 'x'), 3), [](auto& rec) {
        clitest::replace_text(rec, std::string(32, 'x'), std::string(33, 'x'));
    });
    EXPECT_EQ(r.out, "ERROR:The name of service exceeds maximum length(32)\n");
    EXPECT_NE(cmd(cls("ssh", 3), {}, 1).rc, 0);
    EXPECT_EQ(dcd("ssh"), std::make_pair(2, 1));
}

TEST_F(QosClass, ShowListsTheFeTable) {
    std::string out = show();
    std::string head =
        "Service-based classification table \nTotal entries = 29\n"
        "No. Service  Name                     Quorvane QoS Class    Action\n" +
        std::string(66, '-') + "\n";
    EXPECT_EQ(out.substr(0, head.size()), head);
    EXPECT_TRUE(
        testtext::has(out, "\n10  sip                                          6          permit"));
}

TEST_F(QosClass, RunningConfigurationWritesChangedOptionsOnly) {
    ASSERT_EQ(set("sip", 3, "deny"), 0);
    ASSERT_EQ(set("sip", -1, "log"), 0);
    ASSERT_EQ(set("ssh", 2), 0);  // its default: nothing to write
    EXPECT_EQ(clitest::lines(emit(qz_fed_service_cfg)),
              "qos classifier-map service sip 3 action deny\n"
              "qos classifier-map service sip 3 action log\n");
}

}  // namespace
