// Command 763: the IP gate table as the operator sees it, from the FE model's
// gates, in batches, and the messages of each failure.
#include <gtest/gtest.h>

#include <string>

#include "platform/fe/model.h"
#include "platform/qz.h"
#include "tests/support/cli.h"
#include "tests/support/frames.h"

namespace {

struct Shown {
    int rc;
    std::string text;
};

struct IpGateDisplay : ::testing::Test {
    testap::LocalAp ap;

    // Opens a gate in the FE as fed's ALGs do: a 52 request on /dev/fe.
    void gate(std::uint32_t src, std::uint16_t sport, std::uint32_t dst, std::uint16_t dport,
              std::uint8_t proto, std::uint32_t alg, std::uint32_t ctrl_id) {
        auto e = testframes::gate_open({src, dst, sport, dport, proto}, alg, ctrl_id);
        std::lock_guard lock(ap.core().mu);
        ASSERT_EQ(fem::alg_ioctl(ap.core().fe, ap.core().faults, e), 0);
        ASSERT_EQ(wire::load_h<std::uint32_t>(&e[36]), 0u);
    }
    Shown show() {
        clitest::Ran r = clitest::cmd("show forwarding-engine ip-gate");
        return {r.rc, r.out};
    }
};

TEST_F(IpGateDisplay, NoGatesPrintNothing) {
    Shown s = show();
    EXPECT_EQ(s.rc, 0);
    EXPECT_EQ(s.text, "");
}

TEST_F(IpGateDisplay, EveryGateOnItsLine) {
    gate(0xc0a80101, 20, 0x0a000005, 1025, 6, 1, 7);   // active FTP
    gate(0x0a000005, 0, 0xc0a80101, 51210, 6, 1, 8);   // passive FTP
    gate(0xc0a80a01, 0, 0x0a00000b, 40000, 17, 2, 9);  // TFTP
    gate(0, 0, 0x0a00000c, 5004, 17, 3, 300);          // media from anywhere
    Shown s = show();
    EXPECT_EQ(s.rc, 0);
    EXPECT_EQ(
        s.text,
        "IP gate table:\n"
        "Ageout time (in ms)\n"
        "Total entries: 4/1024\n"
        "\n"
        "192.168.1.1/20 -> 10.0.0.5/1025; Proto 6; Flg:0x0; RefCnt:0; Pid:7; Ageout;30000\n"
        "10.0.0.5/0 -> 192.168.1.1/51210; Proto 6; Flg:0x2; RefCnt:0; Pid:8; Ageout;30000\n"
        "192.168.10.1/0 -> 10.0.0.11/40000; Proto 17; Flg:0x2; RefCnt:0; Pid:9; Ageout;30000\n"
        "0.0.0.0/0 -> 10.0.0.12/5004; Proto 17; Flg:0x3; RefCnt:0; Pid:300; Ageout;60000\n");
}

TEST_F(IpGateDisplay, ReadsBatchesOf32UpToTheCount) {
    for (std::uint16_t i = 0; i < 70; ++i) gate(0, 0, 0x0a000001, 1000 + i, 17, 2, i);
    Shown s = show();
    EXPECT_EQ(s.rc, 0);
    EXPECT_NE(s.text.find("Total entries: 70/1024\n\n"), std::string::npos);
    std::size_t lines = 0;
    for (std::size_t at = s.text.find("Proto 17"); at != std::string::npos;
         at = s.text.find("Proto 17", at + 1))
        ++lines;
    EXPECT_EQ(lines, 70u);
    EXPECT_NE(s.text.find("0.0.0.0/0 -> 10.0.0.1/1069; "), std::string::npos) << "the last one";
}

TEST_F(IpGateDisplay, Failures) {
    ap.fault("fe_get_int_value:55", -4, 1);
    Shown s = show();
    EXPECT_EQ(s.rc, -4);
    EXPECT_EQ(s.text, "ERROR: Cannot get ip gate cnt\n");

    gate(0, 0, 0x0a000001, 1000, 17, 2, 1);
    ap.fault("fe_get_ip_gate_table", -3, 1);
    s = show();
    EXPECT_EQ(s.rc, -3);
    EXPECT_EQ(s.text,
              "IP gate table:\nAgeout time (in ms)\nTotal entries: 1/1024\n\n"
              "ERROR: error code in reading ip gates..\n");
}

}  // namespace
