// The library's connections to apsim, against a stand-in that listens on
// DIR/apsim.sock in a temporary directory and plays apsim's side by hand.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/frame.h"
#include "platform/qz.h"
#include "tests/support/local_ap.h"

namespace {

using proto::Kind;
using proto::Op;

// Listens on DIR/apsim.sock; answers each HELLO and files the connection by kind.
class FakeApsim {
   public:
    explicit FakeApsim(const std::string& dir) {
        listen_ = plat::Fd(::socket(AF_UNIX, SOCK_STREAM, 0));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::string path = dir + "/" + proto::kSocketName;
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        ok_ = ::bind(listen_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
              ::listen(listen_.get(), 8) == 0;
        if (ok_) thread_ = std::thread([this] { accept_loop(); });
    }
    ~FakeApsim() {
        ::shutdown(listen_.get(), SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
    }
    bool ok() const { return ok_; }

    // The next connection of this kind (an invalid Fd after 5 s without one).
    plat::Fd take(Kind kind) {
        std::unique_lock lock(mu_);
        auto& q = conns_[kind];
        if (!cv_.wait_for(lock, std::chrono::seconds(5), [&] { return !q.empty(); }))
            return plat::Fd();
        plat::Fd fd = std::move(q.front());
        q.pop_front();
        return fd;
    }

   private:
    void accept_loop() {
        for (;;) {
            plat::Fd fd(::accept(listen_.get(), nullptr, nullptr));
            if (!fd.valid()) return;
            timeval tv{5, 0};  // a missing frame fails the test instead of hanging it
            ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            Op op;
            std::vector<std::uint8_t> hello;
            if (!plat::read_frame(fd.get(), op, hello) || op != Op::Hello) continue;
            wire::Reader r(hello);
            auto kind = static_cast<Kind>(r.h32());
            wire::Writer rc;
            rc.hi32(0);
            plat::write_frame(fd.get(), Op::Hello, rc.span());
            std::lock_guard lock(mu_);
            conns_[kind].push_back(std::move(fd));
            cv_.notify_all();
        }
    }

    plat::Fd listen_;
    bool ok_ = false;
    std::thread thread_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::map<Kind, std::deque<plat::Fd>> conns_;
};

struct Frame {
    Op op{};
    std::vector<std::uint8_t> body;
};

Frame next(const plat::Fd& fd) {
    Frame f;
    if (!plat::read_frame(fd.get(), f.op, f.body)) f.op = Op{};
    return f;
}

void send(const plat::Fd& fd, Op op, const wire::Writer& w) {
    ASSERT_TRUE(plat::write_frame(fd.get(), op, w.span()));
}

// A run directory without an in-process backend: every call goes to the socket.
struct TempDir {
    std::string p = [] {
        char t[] = "/tmp/plattest.XXXXXX";
        return std::string(::mkdtemp(t) ? t : "");
    }();
    ~TempDir() { std::filesystem::remove_all(p); }
    const std::string& path() const { return p; }
};

// ---- frame codec

TEST(Frames, RoundTripAndUntrustedLengths) {
    int sv[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    plat::Fd a(sv[0]), b(sv[1]);
    wire::Writer w;
    w.h32(7).str("payload");
    ASSERT_TRUE(plat::write_frame(a.get(), Op::CliOutput, w.span()));
    ASSERT_TRUE(plat::write_frame(a.get(), Op::EventAck, {}));
    Frame f = next(b);
    EXPECT_EQ(f.op, Op::CliOutput);
    EXPECT_EQ(f.body, w.buf());
    f = next(b);
    EXPECT_EQ(f.op, Op::EventAck);
    EXPECT_TRUE(f.body.empty());

    // Length words that no frame can have: below the op word, above the cap.
    for (std::uint32_t bad : {0u, 3u, proto::kMaxFrame + 1, 0xFFFFFFFFu}) {
        int p[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, p), 0);
        plat::Fd x(p[0]), y(p[1]);
        std::uint8_t hdr[8] = {};
        wire::store_h<std::uint32_t>(hdr, bad);
        ASSERT_EQ(::write(x.get(), hdr, sizeof hdr), 8);
        Op op;
        std::vector<std::uint8_t> body;
        EXPECT_FALSE(plat::read_frame(y.get(), op, body)) << bad;
    }
    // A frame cut short by the peer going away.
    std::uint8_t hdr[8] = {};
    wire::store_h<std::uint32_t>(hdr, 100);
    ASSERT_EQ(::write(a.get(), hdr, sizeof hdr), 8);
    a.reset();
    Op op;
    std::vector<std::uint8_t> body;
    EXPECT_FALSE(plat::read_frame(b.get(), op, body));
    std::vector<std::uint8_t> huge(proto::kMaxFrame);
    EXPECT_FALSE(plat::write_frame(b.get(), Op::CliOutput, huge));
}

// ---- CALL connection

TEST(Call, ReconnectsOnceAfterApsimDroppedTheConnection) {
    TempDir dir;
    plat::set_run_dir(dir.path());
    FakeApsim ap(dir.path());
    ASSERT_TRUE(ap.ok());
    auto serve_open = [&](plat::Fd& c, std::int32_t handle) {
        Frame f = next(c);
        ASSERT_EQ(f.op, Op::MpiOpen);
        wire::Reader r(f.body);
        EXPECT_EQ(r.h32(), 2u);
        wire::Writer w;
        w.hi32(handle);
        send(c, Op::MpiOpen, w);
    };
    auto first = std::async(std::launch::async, [] { return qz_mpi_open(2); });
    plat::Fd c = ap.take(Kind::Call);
    ASSERT_TRUE(c.valid());
    serve_open(c, 9);
    EXPECT_EQ(first.get(), 9);
    c.reset();  // apsim went away between two requests

    auto second = std::async(std::launch::async, [] { return qz_mpi_open(2); });
    c = ap.take(Kind::Call);
    ASSERT_TRUE(c.valid());
    serve_open(c, 10);
    EXPECT_EQ(second.get(), 10);

    // A request that reached apsim is never sent twice: no answer means failure.
    auto third = std::async(std::launch::async, [] { return qz_mpi_open(2); });
    EXPECT_EQ(next(c).op, Op::MpiOpen);
    c.reset();
    EXPECT_EQ(third.get(), -1);
    plat::set_run_dir("");
}

// ---- CLI agent

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
    std::uint32_t total = wire::load_h<std::uint32_t>(rec + 4);
    std::uint32_t addr = wire::load_h<std::uint32_t>(rec + 8);
    qz_cli_printf(ctx, "id %u type %u len %d total %u reserved %u\n", cmd->cmd_id, QZ_CMD_TYPE(ctx),
                  len, total, wire::load_h<std::uint16_t>(rec + 2));
    qz_cli_printf(ctx, "addr %i\n", addr);
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

// Reads a command's output frames and its CliDone.
struct Done {
    std::string text;
    int outputs = 0;
    std::int32_t rc = 0;
    std::vector<std::tuple<std::uint32_t, std::uint32_t, std::string>> tlvs;
    bool ok = false;
};
Done read_done(const plat::Fd& c) {
    Done d;
    for (;;) {
        Frame f = next(c);
        wire::Reader r(f.body);
        if (f.op == Op::CliOutput) {
            d.text += r.str();
            ++d.outputs;
            continue;
        }
        if (f.op != Op::CliDone) return d;
        d.rc = r.hi32();
        std::uint32_t n = r.h32();
        for (std::uint32_t i = 0; i < n && r.ok(); ++i) {
            std::uint32_t type = r.h32(), cmd = r.h32();
            d.tlvs.emplace_back(type, cmd, r.str());
        }
        d.ok = r.ok() && r.left() == 0;
        return d;
    }
}

TEST(CliAgent, RunsInitializersThenServesCommandsUntilEndOfStream) {
    testap::LocalAp backend;  // fault queries and other CALLs stay in-process
    const std::string& dir = backend.dir();
    FakeApsim ap(dir);
    ASSERT_TRUE(ap.ok());
    qz_add_cli_vector_initializer(init_flags);
    qz_add_cli_vector_initializer(init_generator);
    qz_add_cli_vector_initializer(init_vectors);
    pthread_t th;
    ASSERT_EQ(qz_start_cli_agent(2, 1, &th), 0);
    plat::Fd c = ap.take(Kind::Cli);
    ASSERT_TRUE(c.valid());
    EXPECT_EQ(g_cli_order, (std::vector<std::string>{"flags", "generator", "vectors"}));

    Frame f = next(c);
    ASSERT_EQ(f.op, Op::CliVectors);
    wire::Writer want;
    want.h32(3).h32(900).h32(901).h32(900);
    EXPECT_EQ(f.body, want.buf());
    f = next(c);
    ASSERT_EQ(f.op, Op::CliFlags);
    wire::Writer flags;
    flags.h32(1).str("sockt").str("cli").h32(1).h32(0);
    EXPECT_EQ(f.body, flags.buf());

    // The last registration of an id handles it; the record arrives at byte 8.
    wire::Writer cmd;
    std::uint8_t rec[12] = {10, 1, 2, 3};
    cmd.h32(900).h32(QZ_CMD_TYPE_NO).blob(rec);
    send(c, Op::CliCommand, cmd);
    Done d = read_done(c);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.rc, 5);
    EXPECT_EQ(d.text, "id 900 type 2 len 20 total 20 reserved 0\naddr 10.1.2.3\n");
    EXPECT_TRUE(d.tlvs.empty());

    // Long output streams in pieces whose bytes add up exactly.
    cmd = wire::Writer();
    cmd.h32(901).h32(QZ_CMD_TYPE_SET).blob({});
    send(c, Op::CliCommand, cmd);
    d = read_done(c);
    ASSERT_TRUE(d.ok);
    std::string big;
    for (int i = 0; i < 5000; ++i) big += qz_format("line %05d of a long table\n", i);
    EXPECT_EQ(d.text, big);
    EXPECT_GT(d.outputs, 1);

    cmd = wire::Writer();
    cmd.h32(777).h32(0).blob(rec);
    send(c, Op::CliCommand, cmd);
    d = read_done(c);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.rc, -1);
    EXPECT_EQ(d.outputs, 0);

    send(c, Op::CliRunCfg, wire::Writer());
    d = read_done(c);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.rc, 0);
    ASSERT_EQ(d.tlvs.size(), 3u);
    EXPECT_EQ(d.tlvs[0], std::make_tuple(7u, 919u, std::string("\1\0\0\0pol\0\0\0\0\0", 12)));
    std::string msg(4, '\0');
    wire::store_h<std::uint32_t>(reinterpret_cast<std::uint8_t*>(msg.data()), 937);
    EXPECT_EQ(d.tlvs[1], std::make_tuple(22u, 937u, msg + std::string("hello\0", 6)));
    EXPECT_EQ(d.tlvs[2], std::make_tuple(proto::kTlvDelay, 0u,
                                         std::string("load ?user-profile-attribute vlan")));

    wire::Writer dbg;
    dbg.h32(1).str("sockt").str("cli");
    send(c, Op::CliDebug, dbg);
    d = read_done(c);
    EXPECT_EQ(d.rc, 0);
    EXPECT_EQ(g_sockdbg, 1u);
    dbg = wire::Writer();
    dbg.h32(1).str("sockt").str("nosuch");
    send(c, Op::CliDebug, dbg);
    EXPECT_EQ(read_done(c).rc, -1);

    c.reset();  // apsim shutting fed down
    EXPECT_EQ(pthread_join(th, nullptr), 0);
    plat::set_run_dir("");
}

// ---- event bus

std::atomic<bool> g_in_handler{false};
std::vector<std::string> g_events;
std::mutex g_events_mu;

void on_event(std::uint32_t event, std::uint32_t len, const void* payload) {
    g_in_handler = true;
    std::lock_guard lock(g_events_mu);
    g_events.push_back(std::to_string(event) + ":" +
                       std::string(static_cast<const char*>(payload), len));
    // Posting from a handler only queues (apsim answers the CALL).
    qz_event_send(131, 0, nullptr);
    g_in_handler = false;
}

TEST(EventBus, HandlersRunBeforeTheAckAndEndOfStreamEndsTheThread) {
    testap::LocalAp backend;
    std::atomic<int> posted{0};
    backend.answer(Op::EventSend, [&](wire::Reader&, wire::Writer& w) {
        ++posted;
        w.hi32(0);
    });
    const std::string& dir = backend.dir();
    FakeApsim ap(dir);
    ASSERT_TRUE(ap.ok());
    ASSERT_EQ(qz_event_subscribe(300, on_event), 0);  // before the bus exists
    pthread_t th;
    ASSERT_EQ(qz_event_init(2, &th), 0);
    plat::Fd c = ap.take(Kind::Event);
    ASSERT_TRUE(c.valid());
    auto expect_sub = [&](Op op, std::uint32_t kernel, std::uint32_t event) {
        Frame f = next(c);
        wire::Writer w;
        w.h32(kernel).h32(event);
        EXPECT_EQ(f.op, op);
        EXPECT_EQ(f.body, w.buf());
    };
    expect_sub(Op::Subscribe, 0, 300);
    ASSERT_EQ(qz_kevent_subscribe(17, on_event), 0);
    expect_sub(Op::Subscribe, 1, 17);

    struct Ev {
        std::uint32_t kernel, event;
        std::string body;
    };
    const Ev evs[] = {{0, 300, "join"}, {1, 17, std::string("if\0up", 5)}, {0, 555, "none"}};
    for (const Ev& e : evs) {
        wire::Writer w;
        w.h32(e.kernel).h32(e.event).str(e.body);
        send(c, Op::Event, w);
        Frame ack = next(c);
        EXPECT_FALSE(g_in_handler);  // the ack comes after the handler returned
        wire::Writer echo;
        echo.h32(e.kernel).h32(e.event);
        EXPECT_EQ(ack.op, Op::EventAck);
        EXPECT_EQ(ack.body, echo.buf());
    }
    {
        std::lock_guard lock(g_events_mu);
        EXPECT_EQ(g_events, (std::vector<std::string>{"300:join", std::string("17:if\0up", 8)}));
    }
    EXPECT_EQ(posted, 2);
    ASSERT_EQ(qz_event_unsubscribe(300), 0);
    expect_sub(Op::Unsubscribe, 0, 300);
    EXPECT_EQ(qz_event_unsubscribe(300), -1);

    c.reset();
    EXPECT_EQ(pthread_join(th, nullptr), 0);
    EXPECT_EQ(qz_event_cleanup(), 0);
    plat::set_run_dir("");
}

}  // namespace

// ---- neighbour link: UDP on loopback

std::mutex g_hc_mu;
std::condition_variable g_hc_cv;
std::vector<std::string> g_hc_got;

void on_neighbour(std::uint32_t, std::uint32_t len, const void* data) {
    std::lock_guard lock(g_hc_mu);
    g_hc_got.emplace_back(static_cast<const char*>(data), len);
    g_hc_cv.notify_all();
}

// A loopback UDP port that was free a moment ago.
std::uint16_t free_port() {
    plat::Fd s(::socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    return ntohs(a.sin_port);
}

TEST(Neighbours, BroadcastReachesEveryListedNeighbourWhole) {
    TempDir dir;
    plat::set_run_dir(dir.path());
    std::uint16_t port = free_port();
    ASSERT_NE(port, 0);
    std::ofstream(dir.path() + "/hc_port") << port << "\n";
    // Twice this access point itself, once a line that is no neighbour.
    std::ofstream(dir.path() + "/neighbours")
        << "127.0.0.1 " << port << "\nlocalhost " << port << "\nbroken line\n";
    qz_hc_reg_t reg{2, 4, 0, on_neighbour, 0};
    ASSERT_EQ(qz_hc_register(&reg), 0);
    std::string record(3000, 'r');
    record[0] = '\0';
    ASSERT_EQ(qz_hc3u_broadcast_nbr(record.data(), static_cast<int>(record.size())), 0);
    std::unique_lock lock(g_hc_mu);
    ASSERT_TRUE(
        g_hc_cv.wait_for(lock, std::chrono::seconds(5), [] { return g_hc_got.size() == 2; }));
    EXPECT_EQ(g_hc_got[0], record);
    EXPECT_EQ(g_hc_got[1], record);
    EXPECT_EQ(qz_hc3u_broadcast_nbr(nullptr, 4), -1);
    plat::set_run_dir("");
    EXPECT_EQ(qz_hc3u_broadcast_nbr("x", 1), 0);  // no neighbours: nothing to do
}
