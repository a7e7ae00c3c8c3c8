// The session tables a replayed FTP capture leaves in the FE, read through
// the real apsim + fed + fedctl.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/ap.h"
#include "tests/support/text.h"

namespace {

std::string capture() {
    return std::string(FED_CORPUS_DIR) + "/ftp/suricata_ftp_download_passive.pcap";
}

std::size_t occurrences(const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (auto at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

TEST(SessionIntegration, PassiveFtpDownloadLeavesItsSessions) {
    if (!std::filesystem::exists(capture())) GTEST_SKIP() << "no capture at " << capture();
    testap::Ap ap;
    ASSERT_TRUE(ap.wait_running());
    EXPECT_EQ(ap.ctl("show forwarding-engine ip-session").out, "");
    EXPECT_EQ(ap.ctl("show forwarding-engine mac-session").out, "");
    ASSERT_EQ(ap.ctl("platform alg ftp on").rc, 0);
    ASSERT_EQ(ap.ctl("replay " + capture() + " --clock capture").rc, 0);

    // The control connection and the three data connections its gates admitted,
    // every one of the 63 packets counted in one direction or the other.
    testap::Result ip = ap.ctl("show forwarding-engine ip-session");
    EXPECT_EQ(ip.rc, 0);
    EXPECT_TRUE(
        testtext::has(ip.out,
                      "Total entries: 4/8191\n\nId:1; Ageout:1800000; Flags:0x0; QOS:0; L7 ID:0; "
                      "ALG=ftp; Up: 0 min 0 sec;\n    172.23.0.3/41790 -> 172.23.0.2/21; Proto 6; "
                      "Flg:0x0; Pkts:19 Bytes:862 Parent-MAC-Sess: 1\n    172.23.0.2/21 -> "
                      "172.23.0.3/41790; Proto 6; Flg:0x0; Pkts:20 Bytes:1344\n"));
    EXPECT_EQ(occurrences(ip.out, "Parent-MAC-Sess: 1\n"), 4u);
    EXPECT_NE(ip.out.find("    172.23.0.2/21008 -> 172.23.0.3/46280; Proto 6;"), std::string::npos);

    testap::Result mac = ap.ctl("show forwarding-engine mac-session");
    EXPECT_TRUE(testtext::has(
        mac.out,
        "Total entries: 1/8191\n\nId:1; Ageout:1800000; Up:0 min 0 sec; Flag: 0x0; UPID: 0\n    "
        "b2:50:b1:1f:c0:b2->0a:91:c7:a5:7d:f7,eth0; Tun:0; Flg:     (0x40); Paks:31; Bytes: 1342; "
        "Zone:B; CAVC:0\n    0a:91:c7:a5:7d:f7->b2:50:b1:1f:c0:b2,wifi0; Tun:0; Flg:     (0x0); "
        "Paks:32; Bytes:1913; Zone:A; CAVC:0\n"));

    // The station's packets in the counters, until they are cleared.
    const std::string sta_in =
        "Station [b2:50:b1:1f:c0:b2]\n--------------------------\n"
        "MAC-Sessions: 1; IP-Sessions: 4\nIncoming:\nLLC: 0; ARP: 0; IP 31\n";
    EXPECT_TRUE(testtext::has(ap.ctl("show forwarding-engine counters").out, sta_in));
    testap::Result cleared = ap.ctl("clear forwarding-engine counters");
    EXPECT_EQ(cleared.rc, 0);
    EXPECT_EQ(cleared.out, "clear all counters");
    EXPECT_TRUE(
        testtext::has(ap.ctl("show forwarding-engine counters station b2:50:b1:1f:c0:b2").out,
                      "Counters\n------------------------------\nLLC: 0; ARP: 0; IP 0\n"));

    // Clearing the data connections to port 21008 leaves the other two.
    ASSERT_EQ(ap.ctl("clear forwarding-engine ip-session filter dst-port 21008").rc, 0);
    ip = ap.ctl("show forwarding-engine ip-session");
    EXPECT_NE(ip.out.find("Total entries: 2/8191\n"), std::string::npos) << ip.out;
    EXPECT_EQ(ip.out.find("21008"), std::string::npos);
    testap::Result one = ap.ctl("show forwarding-engine ip-session id 2");
    EXPECT_TRUE(testtext::has(
        one.out,
        " Src-Port=41928; Dst-Port=21001; Proto=6, Flag=0x0; Flow_flag=0x0 Paks=4 Bytes: 160\n"));
    ASSERT_EQ(ap.ctl("clear forwarding-engine mac-session id 1").rc, 0);
    EXPECT_EQ(ap.ctl("show forwarding-engine mac-session").out, "");
}

}  // namespace
