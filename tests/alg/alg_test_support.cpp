#include "tests/alg/alg_test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_event.h"
#include "platform/backend.h"

namespace algtest {

namespace {

std::size_t file_size(const std::string& path) {
    std::error_code ec;
    auto n = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<std::size_t>(n);
}

std::string messages_path() {
    return be().dir + "/" + proto::kLogName;
}

void answer_ioctl(Backend& b, wire::Reader& r, wire::Writer& reply) {
    std::uint32_t request = r.h32();
    auto env = r.blob();
    b.fe.push_back({request, {env.begin(), env.end()}});
    FeAnswer a;
    if (!b.script.empty()) {
        a = b.script.front();
        b.script.pop_front();
    }
    std::vector<std::uint8_t> out(env.begin(), env.end());
    if (a.rc >= 0 && out.size() >= QZ_ALG_FE_ENV_HDR + 36) {
        std::uint8_t* d = out.data() + QZ_ALG_FE_ENV_HDR;
        auto cmd = wire::load_h<std::uint16_t>(out.data() + 4);
        if (cmd == QZ_ALG_FE_CMD_OPEN_GATE) {
            std::uint32_t cookie = a.cookie ? a.cookie : b.next_cookie++;
            wire::store_h(d + 28, a.code);
            wire::store_h(d + 32, cookie);
            if (a.code == 0) b.last_cookie = cookie;
        } else if (cmd == QZ_ALG_FE_CMD_SIP_INVITE || cmd == QZ_ALG_FE_CMD_DNS) {
            wire::store_h(d + 32, a.code);
        }
    }
    reply.hi32(a.rc).blob(out);
}

void local_fn(proto::Op op, std::span<const std::uint8_t> req, wire::Writer& reply, void* ctx) {
    auto& b = *static_cast<Backend*>(ctx);
    wire::Reader r(req);
    switch (op) {
        case proto::Op::FeIoctl:
            answer_ioctl(b, r, reply);
            return;
        case proto::Op::EventSend: {
            std::uint32_t event = r.h32();
            auto payload = r.blob();
            b.events.push_back({event, {payload.begin(), payload.end()}});
            if (event == QZ_EVENT_UDPDATE_ALG_INFO && payload.size() == QZ_ALG_INFO_SIZE &&
                wire::load_h<std::uint32_t>(payload.data()) == QZ_ALG_INFO_TIMER)
                ++b.ticks_posted;
            reply.hi32(0);
            return;
        }
        case proto::Op::Fault: {
            auto it = b.faults.find(r.str());
            if (it == b.faults.end())
                reply.hi32(0).h32(0);
            else
                reply.hi32(it->second).h32(1);
            return;
        }
        case proto::Op::Fe: {
            auto fn = static_cast<proto::FeFn>(r.h32());
            wire::Reader args(r.blob());
            auto it = b.fe_bool.find(args.h32());
            if (fn != proto::FeFn::GetBoolean || it == b.fe_bool.end()) {
                reply.hi32(-1);
                return;
            }
            wire::Writer out;
            out.h32(it->second);
            reply.hi32(0).blob(out.span());
            return;
        }
        case proto::Op::Dcd: {
            if (!b.dcd) {
                reply.hi32(0);
                return;
            }
            std::string fn = r.str();
            wire::Reader args(r.blob());
            wire::Writer out;
            int rc = b.dcd(fn, args, out);
            reply.hi32(rc).blob(out.span());
            return;
        }
        default:
            reply.hi32(0);
            return;
    }
}

class Env : public ::testing::Environment {
   public:
    void SetUp() override {
        char tmpl[] = "/tmp/fed-alg-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        be().dir = tmpl;
        plat::set_run_dir(be().dir);
        plat::set_local_backend(local_fn, &be());
        ASSERT_EQ(qz_pmpt_timer_init(0), 0);
        ASSERT_EQ(qz_alg_init(), 0);
        be().clear();
    }
    void TearDown() override {
        drain();
        plat::set_local_backend(nullptr, nullptr);
        std::error_code ec;
        std::filesystem::remove_all(be().dir, ec);
    }
};
[[maybe_unused]] auto* const g_env = ::testing::AddGlobalTestEnvironment(new Env);

}  // namespace

std::int32_t FeReq::magic() const {
    return env.size() >= 4 ? wire::load_h<std::int32_t>(&env[0]) : 0;
}
std::uint16_t FeReq::command() const {
    return env.size() >= 6 ? wire::load_h<std::uint16_t>(&env[4]) : 0;
}
std::uint16_t FeReq::length() const {
    return env.size() >= 8 ? wire::load_h<std::uint16_t>(&env[6]) : 0;
}
std::vector<std::uint8_t> FeReq::data() const {
    if (env.size() < QZ_ALG_FE_ENV_HDR) return {};
    return {env.begin() + QZ_ALG_FE_ENV_HDR, env.end()};
}

void Backend::clear() {
    fe.clear();
    events.clear();
    script.clear();
    faults.clear();
    fe_bool.clear();
    ticks_posted = 0;
    ticks_seen = 0;
    log_mark = file_size(messages_path());
}

Backend& be() {
    static Backend b;
    return b;
}

std::string log() {
    std::ifstream in(messages_path(), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(be().log_mark));
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool logged(const std::string& flag, const std::string& text) {
    std::string t = text;
    if (!t.empty() && t.back() == '\n') t.pop_back();
    return log().find(" " + flag + " " + t + "\n") != std::string::npos;
}

bool logged_err(const std::string& text) {
    std::string l = log();
    std::istringstream lines(l);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("ERR ", 0) == 0 && line.find(text) != std::string::npos) return true;
    return false;
}

void debug_all(bool on) {
    qz_fed_debug = on ? fed_dbg::all : 0;
}

std::vector<std::uint8_t> Pkt::bytes() const {
    std::vector<std::uint8_t> out(QZ_ALG_PKT_HDR_SIZE + payload.size());
    wire::Span w(out);
    w.be16(alg_type).u8(pkt_type).bytes(src_mac.data(), 6).bytes(dst_mac.data(), 6).u8(protocol);
    w.be32(src_ip).be32(dst_ip).be16(src_port).be16(dst_port);
    w.be32(out_ifindex).be32(in_ifindex).be32(ctrl_id).be32(ctrl_cookie).be32(ctrl_tag);
    w.be16(static_cast<std::uint16_t>(pkt_length < 0 ? payload.size() : pkt_length));
    w.bytes(payload.data(), payload.size());
    return out;
}

void dispatch(const std::vector<std::uint8_t>& rec) {
    auto block = std::make_unique<std::uint8_t[]>(rec.size() ? rec.size() : 1);
    std::copy(rec.begin(), rec.end(), block.get());
    qz_alg_pkt_dispatch(QZ_KEVENT_FE_ALG_PKT, static_cast<std::uint32_t>(rec.size()), block.get());
}

void dispatch(const Pkt& p) {
    dispatch(p.bytes());
}

std::ostream& operator<<(std::ostream& os, const Flow& f) {
    auto dotted = [&](std::uint32_t a) {
        os << (a >> 24) << '.' << ((a >> 16) & 255) << '.' << ((a >> 8) & 255) << '.' << (a & 255);
    };
    dotted(f.src_ip);
    os << ':' << f.src_port << " -> ";
    dotted(f.dst_ip);
    return os << ':' << f.dst_port << " proto " << int{f.protocol};
}

namespace {
std::vector<std::uint8_t> flow_bytes(const Flow& f, std::size_t size) {
    std::vector<std::uint8_t> d(size, 0);
    wire::store_be32(&d[0], f.src_ip);
    wire::store_be32(&d[4], f.dst_ip);
    wire::store_be16(&d[8], f.src_port);
    wire::store_be16(&d[10], f.dst_port);
    d[12] = f.protocol;
    return d;
}
}  // namespace

std::vector<std::uint8_t> open_gate_bytes(const Flow& f, std::uint32_t alg_type,
                                          std::uint32_t ctrl_id, std::uint32_t ctrl_cookie) {
    auto d = flow_bytes(f, 36);  // 28-byte request, then the two reply words, zero when sent
    wire::store_h(&d[16], alg_type);
    wire::store_h(&d[20], ctrl_id);
    wire::store_h(&d[24], ctrl_cookie);
    return d;
}

std::vector<std::uint8_t> delete_gate_bytes(const Flow& f, std::uint32_t gate_cookie) {
    auto d = flow_bytes(f, 20);
    wire::store_h(&d[16], gate_cookie);
    return d;
}

Flow flow_of(const FeReq& r) {
    auto d = r.data();
    if (d.size() < 13) return {};
    return {wire::load_be32(&d[0]), wire::load_be32(&d[4]), wire::load_be16(&d[8]),
            wire::load_be16(&d[10]), d[12]};
}

void expect_open_gate(const FeReq& r, const Flow& f, std::uint32_t alg_type, std::uint32_t ctrl_id,
                      std::uint32_t ctrl_cookie) {
    EXPECT_EQ(r.request, QZ_ALG_FE_IOCTL);
    EXPECT_EQ(r.magic(), -1);
    EXPECT_EQ(r.command(), QZ_ALG_FE_CMD_OPEN_GATE);
    EXPECT_EQ(r.length(), 36);
    ASSERT_EQ(r.env.size(), 8u + 36u);
    EXPECT_EQ(flow_of(r), f);
    auto d = r.data();
    EXPECT_EQ(wire::load_h<std::uint32_t>(&d[16]), alg_type);
    EXPECT_EQ(wire::load_h<std::uint32_t>(&d[20]), ctrl_id);
    EXPECT_EQ(wire::load_h<std::uint32_t>(&d[24]), ctrl_cookie);
    EXPECT_EQ(d, open_gate_bytes(f, alg_type, ctrl_id, ctrl_cookie));
}

void expect_delete_gate(const FeReq& r, const Flow& f, std::uint32_t gate_cookie) {
    EXPECT_EQ(r.request, QZ_ALG_FE_IOCTL);
    EXPECT_EQ(r.magic(), -1);
    EXPECT_EQ(r.command(), QZ_ALG_FE_CMD_DELETE_GATE);
    EXPECT_EQ(r.length(), 20);
    ASSERT_EQ(r.env.size(), 8u + 20u);
    EXPECT_EQ(flow_of(r), f);
    EXPECT_EQ(wire::load_h<std::uint32_t>(&r.data()[16]), gate_cookie);
    EXPECT_EQ(r.data(), delete_gate_bytes(f, gate_cookie));
}

void advance(std::uint32_t seconds) {
    Backend& b = be();
    for (std::uint32_t i = 0; i < seconds; ++i) {
        plat::clock_advance_ms(1000);
        for (; b.ticks_seen < b.ticks_posted; ++b.ticks_seen) qz_alg_timer_run();
    }
}

void drain() {
    // Past every FTP and TFTP max duration the tests use. The jump skips the
    // platform tick (it fires once, late, at the next advance).
    plat::clock_set_ms(plat::clock_ms() + 2ull * 3600 * 1000);
    qz_alg_timer_run();
    be().clear();
}

}  // namespace algtest
