// apsim's socket side and the platform library's threads, both real, in one
// process: a driven clock step fires each timer at its due time, on the
// library's timer thread, and returns only after the event thread handled
// every event those timers posted; apsim's commands, running-configuration
// requests and debug flags reach the library's CLI agent and come back whole.
#include "sim/server.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/qz.h"
#include "sim/ctl.h"
#include "sim/fedcli.h"

namespace {

struct Fire {
    std::uint32_t up;  // qz_sys_up_sec() in the callback
    bool on_test_thread;
};
const std::uint8_t* rec_pol() {
    static const std::uint8_t r[12] = {1, 0, 0, 0, 'p', 'o', 'l'};
    return r;
}

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

// A listening apsim in a fresh directory, and the library pointed at it. The
// accept thread runs until the process ends, so the server is never freed.
sim::Server* start_server() {
    char tmpl[] = "/tmp/simsrv.XXXXXX";
    EXPECT_NE(::mkdtemp(tmpl), nullptr);
    auto* s = new sim::Server;
    sim::Options o;
    o.dir = tmpl;
    o.driven = true;
    EXPECT_TRUE(sim::server_prepare(*s, o));
    EXPECT_TRUE(sim::server_listen(*s));
    std::thread(sim::server_run, std::ref(*s)).detach();
    plat::set_run_dir(s->dir);
    return s;
}

// Waits until fed's link of this kind is up.
bool linked(sim::Server* s, std::shared_ptr<sim::Link> sim::Server::*link) {
    for (int i = 0; i < 500; ++i) {
        {
            std::lock_guard lock(s->links_mu);
            if (s->*link) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

TEST(ApsimServer, ClockAdvanceFiresTimersInOrderAndDrainsTheirEvents) {
    sim::Server* s = start_server();

    g_test_thread = std::this_thread::get_id();
    ASSERT_EQ(qz_event_subscribe(131, on_event), 0);
    pthread_t th;
    ASSERT_EQ(qz_event_init(2, &th), 0);
    ASSERT_EQ(qz_pmpt_timer_init(0), 0);
    ASSERT_TRUE(linked(s, &sim::Server::timer));
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

// ---- the CLI agent

std::vector<std::string> g_cli_order;
std::uint32_t g_sockdbg = 0;

int unpack_first(void*, const void*, int) {
    return -100;
}  // replaced by a later registration

int unpack_show(void* ctx, const void* list, int len) {
    qz_cli_ipc_cursor_t cur;
    qz_cli_ipc_cursor_init(&cur, list, len);
    const std::uint8_t* rec = qz_cli_ipc_next(&cur);
    if (!rec || qz_cli_ipc_type(rec) != QZ_CLI_IPC_STRUCT_T) return -50;
    auto* cmd = static_cast<qz_cli_cmd_t*>(ctx);
    qz_cli_printf(ctx, "id %u type %u len %d total %u\n", cmd->cmd_id, QZ_CMD_TYPE(ctx), len,
                  wire::load_h<std::uint32_t>(rec + 4));
    qz_cli_printf(ctx, "addr %i\n", wire::load_h<std::uint32_t>(rec + 8));
    return 5;
}

int unpack_big(void* ctx, const void*, int) {
    for (int i = 0; i < 5000; ++i) qz_cli_printf(ctx, "line %05d of a long table\n", i);
    return 0;
}

int generate(void* out, void* arg) {
    g_cli_order.push_back("generate " + std::to_string(reinterpret_cast<std::uintptr_t>(arg)));
    std::uint8_t rec[12] = {1, 0, 0, 0, 'p', 'o', 'l'};
    qz_cli_agent_add_tlv(out, 919, rec, sizeof rec, 7);
    std::uint8_t msg[4 + 6];
    wire::store_h<std::uint32_t>(msg, 937);
    std::memcpy(msg + 4, "hello", 6);
    qz_cli_agent_add_tlv_msg(out, msg, sizeof msg, 22);
    qz_cli_agent_add_delay_cmd(out, 0, "load ?user-profile-attribute vlan");
    return 0;
}

int init_flags() {
    g_cli_order.push_back("flags");
    return qz_register_debug_flag("sockt", "cli", &g_sockdbg, 0x1);
}
int init_vectors() {
    g_cli_order.push_back("vectors");
    qz_reg_cmd_vector(0, 900, unpack_first);
    qz_reg_cmd_vector(0, 901, unpack_big);
    qz_reg_cmd_vector(0, 900, unpack_show);
    return 0;
}
int init_generator() {
    g_cli_order.push_back("generator");
    return qz_reg_cfg_generator(generate, reinterpret_cast<void*>(std::uintptr_t{3}));
}

TEST(ApsimServer, CommandsReachTheCliAgentAndComeBackWhole) {
    sim::Server* s = start_server();
    qz_add_cli_vector_initializer(init_flags);
    qz_add_cli_vector_initializer(init_generator);
    qz_add_cli_vector_initializer(init_vectors);
    pthread_t th;
    ASSERT_EQ(qz_start_cli_agent(2, 1, &th), 0);
    ASSERT_TRUE(linked(s, &sim::Server::cli));
    EXPECT_EQ(g_cli_order, (std::vector<std::string>{"flags", "generator", "vectors"}));
    for (int i = 0; i < 500 && s->cli_flags.empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    {
        std::lock_guard lock(s->links_mu);
        EXPECT_EQ(s->cli_vectors, (std::vector<std::uint32_t>{900, 901, 900}));
        ASSERT_EQ(s->cli_flags.size(), 1u);
        EXPECT_EQ(s->cli_flags[0].module, "sockt");
        EXPECT_EQ(s->cli_flags[0].name, "cli");
        EXPECT_EQ(s->cli_flags[0].bit, 1u);
    }
    std::string out;
    auto collect = [&](std::string_view t) { out += t; };

    // The last registration of an id handles it; the record arrives at byte 8.
    std::uint8_t rec[12] = {10, 1, 2, 3};
    sim::CliReply r = sim::fed_cli_command(*s, 900, QZ_CMD_TYPE_NO, rec, collect);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.rc, 5);
    EXPECT_EQ(out, "id 900 type 2 len 20 total 20\naddr 10.1.2.3\n");
    EXPECT_TRUE(r.records.empty());
    // Long output streams in pieces whose bytes add up exactly.
    out.clear();
    ASSERT_TRUE(sim::fed_cli_command(*s, 901, QZ_CMD_TYPE_SET, {}, collect).ok);
    std::string big;
    for (int i = 0; i < 5000; ++i) big += qz_format("line %05d of a long table\n", i);
    EXPECT_EQ(out, big);
    out.clear();
    r = sim::fed_cli_command(*s, 777, 0, rec, collect);
    EXPECT_EQ(r.rc, -1);
    EXPECT_EQ(out, "");

    r = sim::fed_cli_running_config(*s, collect);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.rc, 0);
    ASSERT_EQ(r.records.size(), 3u);
    EXPECT_EQ(r.records[0].type, 7u);
    EXPECT_EQ(r.records[0].cmd, 919u);
    EXPECT_EQ(r.records[0].data, std::vector<std::uint8_t>(rec_pol(), rec_pol() + 12));
    EXPECT_EQ(r.records[1].type, 22u);
    EXPECT_EQ(r.records[1].cmd, 937u);
    EXPECT_EQ(std::string(r.records[1].data.begin() + 4, r.records[1].data.end()),
              std::string("hello\0", 6));
    EXPECT_EQ(r.records[2].type, proto::kTlvDelay);
    EXPECT_EQ(std::string(r.records[2].data.begin(), r.records[2].data.end()),
              "load ?user-profile-attribute vlan");

    EXPECT_EQ(sim::fed_cli_debug(*s, true, "sockt", "cli", collect).rc, 0);
    EXPECT_EQ(g_sockdbg, 1u);
    EXPECT_EQ(sim::fed_cli_debug(*s, true, "sockt", "nosuch", collect).rc, -1);

    // apsim shutting fed down ends the agent.
    {
        std::lock_guard lock(s->links_mu);
        ::shutdown(s->cli->fd, SHUT_RDWR);
    }
    EXPECT_EQ(pthread_join(th, nullptr), 0);
}

}  // namespace
