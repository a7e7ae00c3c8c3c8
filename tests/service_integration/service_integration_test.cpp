// Services and ALG settings through the real apsim + fed + fedctl: the
// displays of a fresh access point, the running-configuration round trip, and
// the ALG switch deciding what a replayed FTP capture opens.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/support/ap.h"

namespace {

const char* const kFreshAlgShow =
    "ALG configuration information:\n"
    "index     alg type  flag      qos       inactive-data-timeout    max-duration\n"
    "--------------------------------------------------------------------\n"
    "1         ftp       disable   0         30                       60        \n"
    "2         tftp      disable   0         30                       60        \n"
    "3         sip       disable   6         60                       720       \n"
    "4         dns       disable   0         -                        -         \n"
    "6         http      disable   -         -                        -         \n";

// Lines of the running configuration that belong to services and ALGs.
std::string service_lines(const std::string& config) {
    std::istringstream in(config);
    std::string line, out;
    while (std::getline(in, line))
        if (line.rfind("service ", 0) == 0 || line.rfind("no service ", 0) == 0 ||
            line.rfind("alg ", 0) == 0 || line.rfind("no alg ", 0) == 0 ||
            line.rfind("qos classifier-map service ", 0) == 0)
            out += line + "\n";
    return out;
}

TEST(ServiceIntegration, FreshAccessPointDisplays) {
    testap::Ap ap;
    testap::Result r = ap.ctl("show alg");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, kFreshAlgShow);
    r = ap.ctl("show service");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out.substr(0, 200),
              std::string("Service table \nTotal entries = 29\n\n"
                          "No. Service Name                     Protocol      Port       TimeOut  "
                          "ALG Type   App ID\n" +
                          std::string(89, '-') +
                          "\n1   any                                    -         -           60  ")
                  .substr(0, 200));
    EXPECT_NE(
        r.out.find("ftp                              tcp(6 )         21        1800       ftp"),
        std::string::npos);
    EXPECT_EQ(service_lines(ap.ctl("show running-config").out), "");
}

const char* const kConfig =
    "service web protocol tcp port 8080 timeout 0\n"
    "service voice protocol udp port 5070\n"
    "service phone protocol svp timeout 90\n"
    "service gre protocol 47\n"
    "service app1 app-id 19000 timeout 30\n"
    "service app2 app-id 12\n"
    "service ssh protocol tcp port 22 timeout 60\n"
    "no service telnet\n"
    "no service ftp\n"
    "service voice alg sip\n"
    "service web alg tv\n"
    "no service dns alg\n"
    "alg ftp enable\n"
    "alg sip qos 4\n"
    "alg tftp inactive-data-timeout 45\n"
    "alg ftp max-duration 5\n"
    "alg dns enable\n"
    "qos classifier-map service sip 3 action deny\n"
    "qos classifier-map service sip action log\n"
    "qos classifier-map service gre 5\n"
    "qos classifier-map service app1 action log\n"
    "qos classifier-map service ssh\n";

TEST(ServiceIntegration, RunningConfigurationRoundTrip) {
    std::string first;
    {
        testap::Ap ap;
        testap::Result r = ap.ctl_file(kConfig);
        ASSERT_EQ(r.rc, 0) << r.out << r.err;
        first = ap.ctl("show running-config").out;
        // The tables live in the access point: a restarted fed finds them as they were.
        ASSERT_EQ(ap.ctl("platform restart fed").rc, 0);
        ASSERT_TRUE(ap.wait_running());
        EXPECT_EQ(ap.ctl("show running-config").out, first);
    }
    std::string lines = service_lines(first);
    EXPECT_NE(lines.find("no service  ftp"), std::string::npos) << first;
    EXPECT_NE(lines.find("service voice alg sip"), std::string::npos) << first;
    EXPECT_NE(lines.find("alg ftp max-duration 5"), std::string::npos) << first;
    EXPECT_NE(lines.find("service app2 app-id 12\n"), std::string::npos) << first;
    EXPECT_NE(lines.find("qos classifier-map service sip 3 action deny\n"
                         "qos classifier-map service sip 3 action log\n"),
              std::string::npos)
        << first;
    EXPECT_NE(lines.find("qos classifier-map service app1 2 action log\n"), std::string::npos)
        << first;

    testap::Ap fresh;
    testap::Result r = fresh.ctl_file(first);
    ASSERT_EQ(r.rc, 0) << r.out << r.err;
    EXPECT_EQ(fresh.ctl("show running-config").out, first);
}

TEST(ServiceIntegration, FtpCaptureOpensGatesOnlyWithTheAlgEnabled) {
    std::string capture = std::string(FED_CORPUS_DIR) + "/ftp/suricata_ftp_download_active.pcap";
    if (!std::filesystem::exists(capture)) GTEST_SKIP() << "no corpus";
    testap::Ap ap;
    testap::Result off = ap.ctl("replay " + capture + " --json");
    EXPECT_NE(off.out.find(R"("gates_opened":0,)"), std::string::npos) << off.out;
    ASSERT_EQ(ap.ctl("alg ftp enable").rc, 0);
    testap::Result on = ap.ctl("replay " + capture + " --json");
    EXPECT_NE(on.out.find(R"("control":{"ftp":28,)"), std::string::npos) << on.out;
    EXPECT_NE(on.out.find(R"("gates_opened":3,)"), std::string::npos) << on.out;
    // The FE counted the control packets on the ftp service.
    testap::Result stats = ap.ctl("show service statistics ftp");
    EXPECT_EQ(stats.out.find("1   ftp                                                 0"),
              std::string::npos)
        << stats.out;
    EXPECT_NE(stats.out.find("1   ftp  "), std::string::npos) << stats.out;
    ASSERT_EQ(ap.ctl("clear service statistics").rc, 0);
    EXPECT_NE(ap.ctl("show service statistics ftp")
                  .out.find("1   ftp                                                 0"),
              std::string::npos);
    ASSERT_EQ(ap.ctl("no alg ftp enable").rc, 0);
    EXPECT_EQ(ap.ctl("platform alg").out.find("ftp on"), std::string::npos);
}

}  // namespace
