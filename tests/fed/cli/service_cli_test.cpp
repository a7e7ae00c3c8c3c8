// Service commands: what the FE and the configuration library hold after each
// define, the refusals and their texts, the display, start-up and the
// running-configuration records.
#include "tests/fed/cli/svc_support.h"

namespace {

using namespace svctest;
namespace db = qz_service_entry_db;

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
        {"tcp 22 is ssh's", "s1", def832("s1", "tcp", 22), 6, 22,
         7200, 7200},
        {"tcp 8080", "s2", def832("s2", "tcp", 8080), 6, 8080, 300,
         300},
        {"udp 9999", "s3", def832("s3", "udp", 9999), 17, 9999, 100,
         100},
        {"svp", "s4", def832("s4", "svp", 77), 119, 0, 600, 600},
        {"timeout 0", "s5", def832("s5", "tcp", 5000, 0), 6, 5000,
         86400, 0},
        {"protocol 47 drops its port", "s6", def833("s6", 47, 99), 47,
         0, 100, 100},
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
    struct {
        int id;
        bool ok;
    } ids[] = {{0, false},     {1, true},     {1260, true},  {1261, false},
               {18999, false}, {19000, true}, {19099, true}, {19100, false}};
    for (auto& c : ids) {
        SCOPED_TRACE(c.id);
        Ran r = cmd(def834("app", c.id));
        if (c.ok) {
            EXPECT_EQ(r.rc, 0);
            EXPECT_EQ(fe_service("app")->app_id, c.id);
        } else {
            EXPECT_LT(r.rc, 0);
            EXPECT_EQ(r.out, "Invalid app-id " + std::to_string(c.id) + " encountered!\n");
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
        ASSERT_EQ(cmd(def832("u" + std::to_string(i), "tcp", 1000 + i))
                      .rc,
                  0);
    Ran r = cmd(def832("extra", "tcp", 7));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "Services exceed the limit \n");
    EXPECT_EQ(fe_service("extra"), nullptr);
    EXPECT_TRUE(dcd_record("extra").empty());
    EXPECT_NE(log_text().find("Service number exceeds the system limit"), std::string::npos);
}

TEST_F(Services, InUseServicesAreNeitherChangedNorDeleted) {
    {
        std::lock_guard lock(ap.core().mu);
        ap.core().dcd_svc.in_use.insert("ssh");
    }
    Ran r = cmd(def832("SSH", "tcp", 2222));
    EXPECT_LT(r.rc, 0);
    EXPECT_EQ(r.out, "services is in use\n");
    EXPECT_EQ(fe_service("ssh")->port, 22);
    r = cmd("no service ssh");
    EXPECT_LT(r.rc, 0);
    EXPECT_EQ(r.out, "services is in use\n");
    r = cmd(def833("ssh", 6));
    EXPECT_LT(r.rc, 0);
    EXPECT_EQ(r.out, "");  // 833 ends silently
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
    EXPECT_NE(r.out.find("5   ftp                              tcp(6 )         21        1800      "
                         " ftp         -\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("http                             tcp(6 )         80         300      "
                         "http         -\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("icmp                             protocol(1  )    -           5         "
                         "-         -\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("voip-svp                         svp(119)         -         600         "
                         "-         -\n"),
              std::string::npos);

    ASSERT_EQ(cmd(def834("aa", 19000)).rc, 0);
    r = cmd("show service aa");
    EXPECT_NE(r.out.find("1   aa                                     -         -          300      "
                         "   -     19000\n"),
              std::string::npos);
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
    EXPECT_EQ(cmd("clear service statistics nope").out,
              "Invalid service name\n");
}

TEST_F(Services, FreshRunningConfigurationHasNoServiceRecords) {
    EXPECT_TRUE(emit(qz_fed_service_cfg).empty());
    EXPECT_TRUE(emit(qz_fed_alg_cfg).empty());
}

TEST_F(Services, RunningConfigurationRecords) {
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

}  // namespace
