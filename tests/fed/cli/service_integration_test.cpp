// Services and ALG settings through the real apsim + fed + fedctl: the ALG
// switch decides what a replayed FTP capture opens.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/ap.h"
#include "tests/support/text.h"

namespace {

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
    EXPECT_TRUE(testtext::has(ap.ctl("show service statistics ftp").out,
                              "1   ftp                                                 0"));
    ASSERT_EQ(ap.ctl("no alg ftp enable").rc, 0);
    EXPECT_EQ(ap.ctl("platform alg").out.find("ftp on"), std::string::npos);
}

}  // namespace
