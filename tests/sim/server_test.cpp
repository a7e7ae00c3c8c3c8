// apsim's socket side and the platform library's TIMER and EVENT threads, both
// real, in one process: a driven clock step fires each timer at its due time,
// on the library's timer thread, and returns only after the event thread
// handled every event those timers posted.
#include "sim/server.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/qz.h"
#include "sim/ctl.h"

namespace {

struct Fire {
    std::uint32_t up;  // qz_sys_up_sec() in the callback
    bool on_test_thread;
};
std::mutex g_mu;
std::vector<Fire> g_fires;
std::atomic<int> g_handled{0};
std::thread::id g_test_thread;

void on_timer(qz_pmpt_timer_t t, void*) {
    {
        std::lock_guard lock(g_mu);
        g_fires.push_back({qz_sys_up_sec(), std::this_thread::get_id() == g_test_thread});
    }
    // As fed's 3-second tick: post an event, handled when it comes back.
    std::uint8_t info[16] = {1};
    qz_event_send(131, sizeof info, info);
    if (g_fires.size() < 3) qz_pmpt_timer_continue(t, 3);
}

void on_event(std::uint32_t, std::uint32_t, const void*) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a slow handler
    ++g_handled;
}

TEST(ApsimServer, ClockAdvanceFiresTimersInOrderAndDrainsTheirEvents) {
    char tmpl[] = "/tmp/simsrv.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    // The accept thread runs until the process ends, so the server is never freed.
    auto* s = new sim::Server;
    sim::Options o;
    o.dir = tmpl;
    o.driven = true;
    ASSERT_TRUE(sim::server_prepare(*s, o));
    ASSERT_TRUE(sim::server_listen(*s));
    std::thread(sim::server_run, std::ref(*s)).detach();
    plat::set_run_dir(s->dir);

    g_test_thread = std::this_thread::get_id();
    ASSERT_EQ(qz_event_subscribe(131, on_event), 0);
    pthread_t th;
    ASSERT_EQ(qz_event_init(2, &th), 0);
    ASSERT_EQ(qz_pmpt_timer_init(0), 0);
    for (int i = 0; i < 500; ++i) {
        {
            std::lock_guard lock(s->links_mu);
            if (s->timer) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    qz_pmpt_timer_t t = qz_pmpt_timer_create(on_timer, nullptr);
    ASSERT_EQ(qz_pmpt_timer_start(t, 3), 0);

    std::string out;
    sim::CtlResult r =
        sim::ctl_line(*s, "platform clock advance 10", [&](std::string_view x) { out += x; });
    EXPECT_EQ(r.rc, 0) << out;
    EXPECT_EQ(g_handled.load(), 3);  // every posted event was handled first
    std::lock_guard lock(g_mu);
    ASSERT_EQ(g_fires.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(g_fires[i].up, 3 * (i + 1));
        EXPECT_FALSE(g_fires[i].on_test_thread);
    }
    EXPECT_EQ(sim::clock_now_ms(s->clock), 10000u);
    EXPECT_EQ(qz_sys_up_sec(), 10u);
}

}  // namespace
