#include <gtest/gtest.h>
#include <signal.h>

#include <cstdint>
#include <string>

#include "platform/qz.h"
#include "platform/qz_assert.h"
#include "tests/support/local_ap.h"
#include "tests/support/text.h"

namespace {

struct Row {
    const char* name;
    std::uint32_t bit;
};
constexpr Row kFlags[] = {{"cli", 0x1},
                          {"basic", 0x2},
                          {"alg_tftp_pkt", 0x8},
                          {"alg_dns_error", 0x40000},
                          {"all", 0xFFFFFFFFu}};

TEST(DebugFlags, SetClearAndAll) {
    static std::uint32_t word = 0;
    static std::uint32_t lib = 0;
    for (const Row& r : kFlags) ASSERT_EQ(qz_register_debug_flag("dbgt", r.name, &word, r.bit), 0);
    ASSERT_EQ(qz_register_dbg_lib_flag("dbgt", "dcdlib", &lib, 0x2), 0);

    struct Step {
        const char* name;
        bool on;
        int rc;
        std::uint32_t word;
    };
    const Step steps[] = {
        {"basic", true, 0, 0x2},
        {"cli", true, 0, 0x3},
        {"basic", false, 0, 0x1},
        {"nosuch", true, -1, 0x1},
        {"all", true, 0, 0xFFFFFFFFu},  // bit 0x4 has no name of its own, yet it is set
        {"alg_tftp_pkt", false, 0, 0xFFFFFFF7u},
        {"all", false, 0, 0},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(qz_debug_flag_set("dbgt", s.name, s.on), s.rc) << s.name;
        EXPECT_EQ(word, s.word) << s.name << " " << s.on;
    }
    EXPECT_EQ(lib, 0u);
    EXPECT_EQ(qz_debug_flag_set("dbgt", "dcdlib", true), 0);
    EXPECT_EQ(lib, 0x2u);
    EXPECT_EQ(word, 0u);
    EXPECT_EQ(qz_debug_flag_set("other", "cli", true), -1);
    EXPECT_EQ(qz_register_debug_flag("dbgt", "x", nullptr, 1), -1);
}

TEST(Assertion, TrimsLeadingDotsAndSlashes) {
    EXPECT_STREQ(qz_assert_trim_path("./fed/qz_fed_msg.cpp"), "fed/qz_fed_msg.cpp");
    EXPECT_STREQ(qz_assert_trim_path("../alg/qz_alg_main.cpp"), "alg/qz_alg_main.cpp");
    EXPECT_STREQ(qz_assert_trim_path("/abs/path.c"), "abs/path.c");
    EXPECT_STREQ(qz_assert_trim_path("qz_fed_main"), "qz_fed_main");
    EXPECT_STREQ(qz_assert_trim_path("a/./b"), "a/./b");
    EXPECT_STREQ(qz_assert_trim_path("..."), "");
}

TEST(AssertionDeathTest, WritesBothLinesThenAborts) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testap::LocalAp ap;
    EXPECT_EXIT(qz_assert_fail("p->type==QZ_CLI_IPC_STRUCT_T", "./mgt/cli/fed/qz_cli_agt_auto", 42),
                testing::KilledBySignal(SIGABRT), "");
    std::string log = ap.log();
    EXPECT_TRUE(testtext::has(
        log,
        "<15> Assertion (p->type==QZ_CLI_IPC_STRUCT_T) failed at mgt/cli/fed/qz_cli_agt_auto:42"));
    EXPECT_TRUE(testtext::has(
        log,
        "### Assertion (p->type==QZ_CLI_IPC_STRUCT_T) failed at mgt/cli/fed/qz_cli_agt_auto:42"));
    EXPECT_LT(log.find("<15> Assertion"), log.find("### Assertion"));
}

}  // namespace
