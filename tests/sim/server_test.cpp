// apsim's socket side in-process: a stand-in for fed's TIMER, EVENT and CALL
// connections checks that a driven clock step fires each timer at its due
// time and returns only after fed acknowledged every event those timers posted.
#include "sim/server.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/backend.h"
#include "platform/frame.h"
#include "sim/ctl.h"

namespace {

struct Fire {
    std::uint64_t due;
    std::uint64_t now;      // what TimerFire said
    std::uint64_t page_ms;  // what the clock page said meanwhile
};

struct FakeFed {
    sim::Server* s = nullptr;
    std::vector<std::uint64_t> timers{3000, 6000, 9000};
    std::vector<Fire> fires;
    std::vector<std::uint64_t> fire_calls;
    std::atomic<int> events_acked{0};

    void timer_loop(int fd) {
        proto::Op op;
        std::vector<std::uint8_t> req;
        while (plat::read_frame(fd, op, req)) {
            wire::Writer reply;
            if (op == proto::Op::TimerNext) {
                reply.h32(timers.empty() ? 0 : 1).h64(timers.empty() ? 0 : timers.front());
            } else if (op == proto::Op::TimerFire) {
                wire::Reader r(req);
                std::uint64_t now = r.h64();
                fire_calls.push_back(now);
                while (!timers.empty() && timers.front() <= now) {
                    fires.push_back({timers.front(), now, sim::clock_now_ms(s->clock)});
                    timers.erase(timers.begin());
                    // The 3-second tick only posts an event, as fed's does.
                    std::uint8_t info[16] = {1};
                    wire::Writer ev;
                    ev.h32(131).blob(info);
                    std::vector<std::uint8_t> rc;
                    plat::call(proto::Op::EventSend, ev, rc);
                }
                reply.hi32(0);
            }
            if (!plat::write_frame(fd, op, reply.span())) return;
        }
    }

    void event_loop(int fd) {
        proto::Op op;
        std::vector<std::uint8_t> req;
        while (plat::read_frame(fd, op, req)) {
            if (op != proto::Op::Event) continue;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a slow handler
            ++events_acked;
            wire::Writer ack;
            ack.h32(0).h32(131);
            plat::write_frame(fd, proto::Op::EventAck, ack.span());
        }
    }
};

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

    FakeFed fed;
    fed.s = s;
    plat::Fd timer = plat::connect_apsim(proto::Kind::Timer);
    plat::Fd events = plat::connect_apsim(proto::Kind::Event);
    ASSERT_TRUE(timer.valid() && events.valid());
    std::thread t(&FakeFed::timer_loop, &fed, timer.get());
    std::thread e(&FakeFed::event_loop, &fed, events.get());
    for (int i = 0; i < 500; ++i) {
        {
            std::lock_guard lock(s->links_mu);
            if (s->timer) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

    std::string out;
    sim::CtlResult r =
        sim::ctl_line(*s, "platform clock advance 10", [&](std::string_view x) { out += x; });
    EXPECT_EQ(r.rc, 0) << out;
    EXPECT_EQ(fed.events_acked.load(), 3);  // every posted event was handled first
    ASSERT_EQ(fed.fires.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(fed.fires[i].now, fed.fires[i].due);
        EXPECT_EQ(fed.fires[i].page_ms, fed.fires[i].due);
    }
    EXPECT_EQ(fed.fire_calls, (std::vector<std::uint64_t>{3000, 6000, 9000, 10000}));
    EXPECT_EQ(sim::clock_now_ms(s->clock), 10000u);

    ::shutdown(timer.get(), SHUT_RDWR);
    ::shutdown(events.get(), SHUT_RDWR);
    t.join();
    e.join();
    plat::set_run_dir("");
    std::filesystem::remove_all(s->dir);
}

}  // namespace
