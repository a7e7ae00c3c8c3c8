// The library's connections to apsim where only a hand-played apsim can
// misbehave (untrusted frame lengths, a dropped connection, the event bus
// frame by frame), against a stand-in that listens on DIR/apsim.sock; the
// CLI agent and the timer thread meet the real apsim in tests/sim.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/frame.h"
#include "platform/qz.h"
#include "tests/support/fake_apsim.h"
#include "tests/support/local_ap.h"

namespace {

using proto::Kind;
using proto::Op;

using testap::FakeApsim;

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
