#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/clock_page.h"
#include "platform/qz.h"

namespace {

// What fired, when: "name@seconds".
std::vector<std::string> g_fired;

struct Probe {
    const char* name;
    int rearm_count;          // re-arms left
    std::uint32_t rearm_sec;  // interval of each re-arm
};

void record(qz_pmpt_timer_t t, void* arg) {
    auto* p = static_cast<Probe*>(arg);
    g_fired.push_back(std::string(p->name) + "@" + std::to_string(qz_sys_up_sec()));
    if (p->rearm_count > 0) {
        --p->rearm_count;
        qz_pmpt_timer_continue(t, p->rearm_sec);
    }
}

class Timers : public ::testing::Test {
   protected:
    void SetUp() override {
        plat::set_run_dir("");
        ASSERT_EQ(qz_pmpt_timer_init(0), 0);
        plat::clock_set_ms(0);
        g_fired.clear();
    }
    qz_pmpt_timer_t make(Probe* p) {
        qz_pmpt_timer_t t = qz_pmpt_timer_create(record, p);
        made_.push_back(t);
        return t;
    }
    void TearDown() override {
        for (qz_pmpt_timer_t t : made_) qz_pmpt_timer_stop(t);
    }
    std::vector<qz_pmpt_timer_t> made_;
};

TEST_F(Timers, FireInDueOrderWithTheClockAtEachDueTime) {
    Probe a{"a", 0, 0}, b{"b", 0, 0}, c{"c", 0, 0};
    qz_pmpt_timer_t ta = make(&a), tb = make(&b), tc = make(&c);
    ASSERT_EQ(qz_pmpt_timer_start(ta, 5), 0);
    ASSERT_EQ(qz_pmpt_timer_start(tb, 2), 0);
    ASSERT_EQ(qz_pmpt_timer_start(tc, 2), 0);  // same second as b: armed later, fires later
    plat::clock_advance_ms(1999);
    EXPECT_TRUE(g_fired.empty());
    plat::clock_advance_ms(1);
    EXPECT_EQ(g_fired, (std::vector<std::string>{"b@2", "c@2"}));
    plat::clock_advance_ms(10000);
    EXPECT_EQ(g_fired, (std::vector<std::string>{"b@2", "c@2", "a@5"}));
    EXPECT_EQ(qz_sys_up_sec(), 12u);
    std::uint32_t up = 0;
    EXPECT_EQ(qz_get_system_uptime(&up), 0);
    EXPECT_EQ(up, 12u);
}

TEST_F(Timers, CallbackReArmsLikeTheTick) {
    Probe tick{"tick", 3, 3};
    qz_pmpt_timer_t t = make(&tick);
    ASSERT_EQ(qz_pmpt_timer_start(t, 0), 0);
    plat::clock_advance_ms(10000);
    EXPECT_EQ(g_fired, (std::vector<std::string>{"tick@0", "tick@3", "tick@6", "tick@9"}));
}

TEST_F(Timers, ContinueAtZeroFiresAgainInTheSameAdvanceOnlyWhenDue) {
    Probe now{"now", 1, 0};
    Probe later{"later", 1, 5};
    qz_pmpt_timer_t tn = make(&now), tl = make(&later);
    qz_pmpt_timer_start(tn, 1);
    qz_pmpt_timer_start(tl, 1);
    plat::clock_advance_ms(3000);
    EXPECT_EQ(g_fired, (std::vector<std::string>{"now@1", "later@1", "now@1"}));
    plat::clock_advance_ms(2999);  // later is due at 6 s
    EXPECT_EQ(g_fired.size(), 3u);
    plat::clock_advance_ms(1);
    EXPECT_EQ(g_fired.back(), "later@6");
}

TEST_F(Timers, StopRestartAndBadHandles) {
    Probe p{"p", 0, 0};
    qz_pmpt_timer_t t = make(&p);
    qz_pmpt_timer_start(t, 1);
    EXPECT_EQ(qz_pmpt_timer_stop(t), 0);
    plat::clock_advance_ms(5000);
    EXPECT_TRUE(g_fired.empty());
    qz_pmpt_timer_start(t, 1);
    qz_pmpt_timer_start(t, 4);  // a restart moves it
    plat::clock_advance_ms(3000);
    EXPECT_TRUE(g_fired.empty());
    plat::clock_advance_ms(2000);
    EXPECT_EQ(g_fired, (std::vector<std::string>{"p@9"}));
    EXPECT_EQ(qz_pmpt_timer_create(nullptr, nullptr), 0u);
    EXPECT_EQ(qz_pmpt_timer_start(0, 1), -1);
    EXPECT_EQ(qz_pmpt_timer_start(t + 100000, 1), -1);
    EXPECT_EQ(qz_pmpt_timer_stop(0), -1);
    EXPECT_EQ(qz_get_system_uptime(nullptr), -1);
}

// The driven time crosses processes as two 32-bit halves: a reader must never
// return the halves of two different stores.
TEST(SplitMs, ReaderNeverSeesATornValue) {
    // A writer stopped half-way (sequence odd, one half new) holds the reader
    // until it finishes.
    proto::SplitMs w{1, 7, 0};
    std::thread finish([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::atomic_ref<std::uint32_t>(w.hi).store(7);
        std::atomic_ref<std::uint32_t>(w.seq).store(2, std::memory_order_release);
    });
    EXPECT_EQ(proto::split_ms_load(w), 7ull << 32 | 7);
    finish.join();

    // A writer running beside the reader.
    constexpr std::uint64_t kStores = 200000;
    std::jthread writer([&] {
        for (std::uint64_t k = 8; k <= kStores; ++k) proto::split_ms_store(w, k << 32 | k);
    });
    for (std::uint64_t v = 0, last = 0; (v & 0xffffffffu) < kStores; last = v) {
        v = proto::split_ms_load(w);
        ASSERT_EQ(v >> 32, v & 0xffffffffu) << "torn";
        ASSERT_GE(v, last) << "went back";
    }
}

}  // namespace
