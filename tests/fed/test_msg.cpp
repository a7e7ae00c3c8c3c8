// The kernel message channel: header, reply area, one message at a time, and
// the caller convention.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_msg.h"
#include "platform/wire.h"
#include "tests/support/local_ap.h"

namespace {

struct Interval {  // codes 140/141: i32 result, u32 seconds
    std::int32_t result;
    std::uint32_t seconds;
};
static_assert(sizeof(Interval) == 8);

class ChannelTest : public ::testing::Test {
   protected:
    void SetUp() override { ASSERT_EQ(qz_fed_ipc_init(), 0); }
    void TearDown() override {
        qz_fed_ipc_exit();
        qz_fed_debug = 0;
    }
    testap::LocalAp ap;
};

TEST_F(ChannelTest, MessageHeader) {
    Interval rec{77, 600};
    ASSERT_EQ(qz_fed_send_to_kernel(141, &rec), 0);
    auto kernel = ap.kernel_requests();
    ASSERT_EQ(kernel.size(), 1u);
    const auto& k = kernel[0];
    EXPECT_EQ(k.module, 2);
    EXPECT_EQ(k.header_code, 141);
    EXPECT_EQ(k.reply_size, 1500u);
    EXPECT_EQ(k.code, 141);
    ASSERT_EQ(k.record.size(), sizeof rec);
    EXPECT_EQ(wire::load_h<std::uint32_t>(&k.record[4]), 600u);
    EXPECT_EQ(rec.result, 0);  // the kernel's result came back into the record
}

TEST_F(ChannelTest, ReplyAreaIsClearedBeforeEverySend) {
    Interval rec{};
    ASSERT_EQ(qz_fed_send_to_kernel(140, &rec), 0);
    // Dirty the reply area as a kernel reply would, then send again.
    std::memset(const_cast<std::uint8_t*>(qz_fed_reply_area()), 0xAB, QZ_FED_REPLY_AREA_SIZE);
    ASSERT_EQ(qz_fed_send_to_kernel(140, &rec), 0);
    ASSERT_EQ(ap.kernel_requests().size(), 2u);
    EXPECT_EQ(ap.reply_violations(), 0u);
}

TEST_F(ChannelTest, TwoThreadsSendWholeMessages) {
    constexpr int kEach = 200;
    auto sender = [](std::uint16_t code, std::uint32_t tag) {
        for (int i = 0; i < kEach; ++i) {
            Interval rec{0, tag + static_cast<std::uint32_t>(i)};
            ASSERT_EQ(qz_fed_send_to_kernel(code, &rec), 0);
        }
    };
    std::thread a(sender, 140, 100000);
    std::thread b(sender, 141, 200000);
    a.join();
    b.join();
    auto kernel = ap.kernel_requests();
    ASSERT_EQ(kernel.size(), 2u * kEach);
    int seen140 = 0, seen141 = 0;
    for (const auto& k : kernel) {
        // Each message names its own code and carries its own record.
        std::uint16_t code = k.header_code;
        EXPECT_EQ(code, k.code);
        EXPECT_TRUE(k.reply_zero);
        std::uint32_t v = wire::load_h<std::uint32_t>(&k.record[4]);
        if (code == 140) {
            EXPECT_EQ(v, 100000u + seen140++);
        } else {
            EXPECT_EQ(v, 200000u + seen141++);
        }
    }
    EXPECT_EQ(seen140, kEach);
    EXPECT_EQ(seen141, kEach);
}

TEST_F(ChannelTest, CallerConvention) {
    qz_fed_debug = fed_dbg::cli;
    Interval rec{};
    EXPECT_EQ(qz_fed_kernel_request(140, &rec), 0);

    ap.fault("kcode:140", -5, 1);  // the kernel's result word
    EXPECT_EQ(qz_fed_kernel_request(140, &rec), -1);
    EXPECT_NE(ap.log().find("API returns error(-5)"), std::string::npos);

    ap.fault("qz_mpi_sendto_kernel:140", -3);  // the send itself
    EXPECT_EQ(qz_fed_send_to_kernel(140, &rec), -1);
    EXPECT_EQ(qz_fed_kernel_request(140, &rec), -1);
    EXPECT_NE(ap.log().find("CLI failed (rc = -1)"), std::string::npos);
}

TEST(ChannelSetup, FailedOpenReleasesTheChannel) {
    testap::LocalAp ap;
    ap.fault("qz_mpi_open", -1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(qz_fed_ipc_init(), -1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("MPI init FAIL!\n"), std::string::npos);
    EXPECT_NE(out.find("FED ipc exit ...\n"), std::string::npos);
    EXPECT_EQ(qz_fed_ipc_handle(), -1);
    EXPECT_EQ(qz_fed_ipc_buffer(), nullptr);
}

TEST(ChannelSetup, ExitTwiceOnlyPrints) {
    testap::LocalAp ap;
    ASSERT_EQ(qz_fed_ipc_init(), 0);
    EXPECT_GE(qz_fed_ipc_handle(), 0);
    EXPECT_EQ(qz_fed_ipc_exit(), 0);
    EXPECT_EQ(qz_fed_ipc_handle(), -1);
    EXPECT_EQ(qz_fed_ipc_buffer(), nullptr);
    ap.take_calls();
    testing::internal::CaptureStdout();
    EXPECT_EQ(qz_fed_ipc_exit(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "FED ipc exit ...\n");
    EXPECT_TRUE(ap.take_calls().empty());
}

TEST(ChannelSetupDeathTest, SendOnClosedChannelAsserts) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testap::LocalAp ap;
    Interval rec{};
    EXPECT_DEATH(qz_fed_send_to_kernel(140, &rec), "");
    EXPECT_NE(ap.log().find("Assertion (mm) failed at fed/qz_fed_msg.cpp:"), std::string::npos);
}

}  // namespace
