// core_call answers, byte for byte as the platform library encodes them, and
// the files and tables the Core keeps.
#include "sim/core.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using proto::Op;

struct CoreTest : ::testing::Test {
    sim::Core c;
    std::string dir;

    void SetUp() override {
        char tmpl[] = "/tmp/simcore.XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        sim::core_init(c, dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::vector<std::uint8_t> call(Op op, const wire::Writer& req) {
        wire::Writer reply;
        sim::core_call(c, op, req.span(), reply);
        return reply.buf();
    }
    static std::int32_t rc_of(const std::vector<std::uint8_t>& reply) {
        wire::Reader r(reply);
        std::int32_t rc = r.hi32();
        return r.ok() ? rc : 999;
    }
    // Op::Dcd by name with a str argument; returns rc and the str out.
    std::int32_t dcd_name(const char* fn, const std::string& name, std::string* out) {
        wire::Writer args;
        args.str(name);
        wire::Writer req;
        req.str(fn).blob(args.span());
        auto reply = call(Op::Dcd, req);
        wire::Reader r(reply);
        std::int32_t rc = r.hi32();
        wire::Reader o(r.blob());
        std::string s = o.str();
        if (out) *out = o.ok() ? s : "";
        return rc;
    }
    std::string read(const std::string& path) {
        std::ifstream in(path);
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
};

TEST_F(CoreTest, ProcNetDevListsEveryKernelInterfaceAfterTwoHeaderLines) {
    std::istringstream in(read(dir + "/proc/net/dev"));
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_TRUE(line.starts_with("Inter-|"));
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_TRUE(line.starts_with(" face |"));
    std::vector<std::string> names;
    while (std::getline(in, line)) {
        std::size_t start = line.find_first_not_of(' ');
        std::size_t colon = line.find(':');
        ASSERT_NE(colon, std::string::npos) << line;
        names.push_back(line.substr(start, colon - start));
        std::istringstream counters(line.substr(colon + 1));
        unsigned long long v;
        int n = 0;
        while (counters >> v) ++n;
        EXPECT_EQ(n, 16) << line;
    }
    ASSERT_EQ(names.size(), c.ifaces.size());
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], c.ifaces[i].kname);
    for (const char* want : {"eth0", "eth1", "agg0", "red0", "wifi0", "wifi1", "mgt0", "wifi0.1",
                             "wifi0.4", "wifi1.1", "wifi1.4", "lo", "bond0"})
        EXPECT_NE(std::find(names.begin(), names.end(), want), names.end()) << want;
}

TEST_F(CoreTest, InterfaceNameTranslation) {
    // Kernel to user name, then back; an empty answer: no such interface (rc -1).
    using Names = std::span<const std::pair<const char*, const char*>>;
    const std::pair<const char*, const char*> to_user[] = {
        {"wifi0.1", "wifi0.1"}, {"eth1", "eth1"}, {"tunl0", "tunnel0"}, {"lo", ""}, {"bond0", ""},
        {"tunnel0", ""},        {"", ""}};
    const std::pair<const char*, const char*> to_kernel[] = {
        {"tunnel1", "l2tp0"}, {"mgt0", "mgt0"}, {"l2tp0", ""}, {"", ""}};
    for (bool user : {true, false})
        for (auto [in, want] : user ? Names(to_user) : Names(to_kernel)) {
            std::string out;
            const char* fn =
                user ? "qz_dcd_int_ifname_to_user_ifname" : "qz_dcd_user_ifname_to_int_ifname";
            EXPECT_EQ(dcd_name(fn, in, &out), *want ? 0 : -1) << fn << " " << in;
            EXPECT_EQ(out, want) << fn << " " << in;
        }
}

TEST_F(CoreTest, KernelRequestNeedsAnOpenHandleAndHonoursSendFaults) {
    auto send = [&](std::int32_t handle, std::uint32_t interval,
                    std::vector<std::uint8_t>* rec_out) {
        std::vector<std::uint8_t> header(20, 0), record(8, 0), reply_area(1500, 0);
        header[0] = 2;
        wire::store_h<std::uint16_t>(header.data() + 2, 141);
        wire::store_h<std::uint32_t>(record.data() + 4, interval);
        wire::Writer req;
        req.hi32(handle).blob(header).h16(141).blob(record).blob(reply_area);
        auto reply = call(Op::MpiSend, req);
        wire::Reader r(reply);
        std::int32_t rc = r.hi32();
        auto rec = r.blob();
        auto area = r.blob();
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(area.size(), 1500u);
        if (rec_out) rec_out->assign(rec.begin(), rec.end());
        return rc;
    };
    EXPECT_EQ(send(3, 30, nullptr), -1);  // not open
    EXPECT_TRUE(c.fe.requests.empty());

    wire::Writer open;
    open.h32(2);
    std::int32_t h = rc_of(call(Op::MpiOpen, open));
    ASSERT_GE(h, 0);
    std::vector<std::uint8_t> rec;
    EXPECT_EQ(send(h, 30, &rec), 0);
    EXPECT_EQ(wire::load_h<std::int32_t>(rec.data()), 0);
    EXPECT_EQ(c.fe.notify_interval, 30u);

    fem::fault_arm(c.faults, "qz_mpi_sendto_kernel:141", -5, 1);
    EXPECT_EQ(send(h, 40, &rec), -5);
    EXPECT_EQ(c.fe.notify_interval, 30u);
    EXPECT_EQ(c.fe.requests.size(), 1u);  // the failed send never reached the kernel

    wire::Writer close;
    close.hi32(h);
    EXPECT_EQ(rc_of(call(Op::MpiClose, close)), 0);
    EXPECT_EQ(rc_of(call(Op::MpiClose, close)), -1);
    EXPECT_EQ(send(h, 50, nullptr), -1);
}

TEST_F(CoreTest, ProcessMonitorAndItsFaults) {
    wire::Writer mod;
    mod.h32(2);
    fem::fault_arm(c.faults, "qz_pm_init", -1, 1);
    EXPECT_EQ(rc_of(call(Op::PmInit, mod)), -1);
    EXPECT_FALSE(c.pm.registered);
    EXPECT_EQ(rc_of(call(Op::PmInit, mod)), 0);
    EXPECT_TRUE(c.pm.registered);
    wire::Writer st;
    st.h32(2).h32(1);
    EXPECT_EQ(rc_of(call(Op::PmSetState, st)), 0);
    EXPECT_TRUE(c.pm.has_state);
    EXPECT_EQ(c.pm.state, 1u);
    sim::core_fed_started(c);
    EXPECT_FALSE(c.pm.registered);
    EXPECT_FALSE(c.pm.has_state);
}

TEST_F(CoreTest, EventsGoToEverySubscriberOneAtATimeInOrder) {
    int a = sim::bus_attach(c);
    int b = sim::bus_attach(c);
    sim::bus_subscribe(c, a, 0, 131, true);
    sim::bus_subscribe(c, a, 1, 17, true);
    sim::bus_subscribe(c, a, 0, 131, true);  // twice is once
    sim::bus_subscribe(c, a, 0, 259, true);
    sim::bus_subscribe(c, a, 0, 131, false);
    ASSERT_EQ(c.subscribers[0]->subscribed.size(), 2u);
    EXPECT_EQ(c.subscribers[0]->subscribed[0], (sim::EventId{1, 17}));
    EXPECT_EQ(c.subscribers[0]->subscribed[1], (sim::EventId{0, 259}));

    for (std::uint32_t ev : {131u, 247u}) {
        std::uint8_t body[4] = {1, 2, 3, static_cast<std::uint8_t>(ev)};
        wire::Writer req;
        req.h32(ev).blob(body);
        EXPECT_EQ(rc_of(call(Op::EventSend, req)), 0);
    }
    ASSERT_EQ(c.events.size(), 2u);
    EXPECT_EQ(c.events[1].ev.event, 247u);
    EXPECT_EQ(c.events[1].origin, sim::Origin::Fed);

    sim::Event got;
    ASSERT_TRUE(sim::bus_next(c, a, got));
    EXPECT_EQ(got.event, 131u);
    EXPECT_EQ(got.payload, (std::vector<std::uint8_t>{1, 2, 3, 131}));
    EXPECT_FALSE(sim::bus_drain(c, 1));  // in flight until acked
    sim::bus_ack(c, a);
    ASSERT_TRUE(sim::bus_next(c, a, got));
    EXPECT_EQ(got.event, 247u);
    sim::bus_ack(c, a);
    EXPECT_FALSE(sim::bus_drain(c, 1));  // b has not taken its two yet

    ASSERT_TRUE(sim::bus_next(c, b, got));
    EXPECT_EQ(got.event, 131u);
    sim::bus_detach(c, b);  // the connection went: its queue goes with it
    EXPECT_TRUE(sim::bus_drain(c, 1));
    EXPECT_FALSE(sim::bus_next(c, b, got));
}

TEST_F(CoreTest, ShellCommandsAreRecordedAndRunOnlyWhenEnabled) {
    wire::Writer req;
    req.str("exit 3");
    EXPECT_EQ(rc_of(call(Op::System, req)), 0);
    c.system_run = true;
    EXPECT_EQ(rc_of(call(Op::System, req)), 3);
    ASSERT_EQ(c.system.size(), 2u);
    EXPECT_FALSE(c.system[0].ran);
    EXPECT_TRUE(c.system[1].ran);
    EXPECT_EQ(c.system[1].command, "exit 3");
}

TEST_F(CoreTest, MalformedAndUnknownRequestsAnswerMinusOne) {
    for (Op op : {Op::Fault, Op::PmInit, Op::PmSetState, Op::PmCleanup, Op::Dcd, Op::EventSend,
                  Op::MpiOpen, Op::MpiClose, Op::MpiSend, Op::Fe, Op::FeIoctl, Op::System, Op::Tpa,
                  Op::Log, Op::CliVectors, Op::Hello, static_cast<Op>(999)}) {
        wire::Writer empty;
        EXPECT_EQ(rc_of(call(op, empty)), op == Op::Fault ? 0 : -1) << static_cast<unsigned>(op);
    }
    EXPECT_TRUE(c.events.empty());
    EXPECT_TRUE(c.fe.requests.empty());

    // A kernel request cut at every length never reaches the kernel.
    wire::Writer open;
    open.h32(2);
    std::int32_t h = rc_of(call(Op::MpiOpen, open));
    std::vector<std::uint8_t> header(20, 0), record(8, 0), area(16, 0);
    wire::Writer full;
    full.hi32(h).blob(header).h16(140).blob(record).blob(area);
    for (std::size_t n = 0; n < full.buf().size(); ++n) {
        wire::Writer reply;
        sim::core_call(c, Op::MpiSend, std::span(full.buf()).first(n), reply);
        EXPECT_EQ(rc_of(reply.buf()), -1) << n;
    }
    EXPECT_TRUE(c.fe.requests.empty());

    wire::Writer named;
    named.str("qz_dcd_no_such_call").blob({});
    EXPECT_EQ(rc_of(call(Op::Dcd, named)), -1);
    ASSERT_FALSE(c.unknown_calls.empty());
    EXPECT_EQ(c.unknown_calls.back(), "Dcd:qz_dcd_no_such_call");
}

TEST_F(CoreTest, InterfaceTableEdits) {
    std::lock_guard lock(c.mu);
    EXPECT_TRUE(sim::iface_add_locked(c, "eth2", "eth2"));
    EXPECT_FALSE(sim::iface_add_locked(c, "eth2", "other"));  // kernel name taken
    EXPECT_FALSE(sim::iface_add_locked(c, "eth3", "eth2"));   // user name taken
    EXPECT_FALSE(sim::iface_add_locked(c, "a:b", ""));        // breaks /proc/net/dev
    EXPECT_FALSE(sim::iface_add_locked(c, "sixteen-chars-xx", ""));
    EXPECT_TRUE(sim::iface_add_locked(c, "kernonly0", ""));
    EXPECT_EQ(sim::iface_by_uname_locked(c, ""), nullptr);
    EXPECT_TRUE(sim::iface_remove_locked(c, "eth2"));
    EXPECT_FALSE(sim::iface_remove_locked(c, "eth2"));
    ASSERT_TRUE(sim::proc_net_dev_write_locked(c));
    std::string text = read(dir + "/proc/net/dev");
    EXPECT_NE(text.find("\nkernonly0:"), std::string::npos);  // longer than the name column
    EXPECT_EQ(text.find("eth2:"), std::string::npos);
}

}  // namespace

namespace {

// Any bytes a misbehaving client sends get an answer that starts with a
// result word, and never a crash (ASan and UBSan builds run this too).
TEST_F(CoreTest, RandomRequestsAreAnsweredSafely) {
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    const Op ops[] = {Op::Fault, Op::PmInit,    Op::PmSetState, Op::PmCleanup, Op::DcdInit,
                      Op::Dcd,   Op::EventSend, Op::MpiOpen,    Op::MpiClose,  Op::MpiSend,
                      Op::Fe,    Op::FeIoctl,   Op::System,     Op::Tpa,       Op::Log};
    for (int i = 0; i < 20000; ++i) {
        std::vector<std::uint8_t> req(next() % 48);
        for (auto& b : req) b = static_cast<std::uint8_t>(next() % 4 == 0 ? next() : next() % 3);
        wire::Writer reply;
        sim::core_call(c, ops[next() % std::size(ops)], req, reply);
        ASSERT_GE(reply.buf().size(), 4u);
    }
}

}  // namespace
