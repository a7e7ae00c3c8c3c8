// The CALL transport to apsim, the frame codec and the run directory.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/backend.h"
#include "platform/frame.h"
#include "platform/internal.h"

namespace plat {

void Fd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

namespace {

inline constexpr std::size_t kFrameHeader = 8;  // u32 length, u16 op, u16 zero

bool write_all(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool read_all(int fd, std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        ssize_t r = ::read(fd, p, n);
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) return false;
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

std::string& run_dir_storage() {
    static std::string dir = [] {
        const char* env = std::getenv(proto::kEnvRunDir);
        return std::string(env ? env : "");
    }();
    return dir;
}

struct CallConn {
    std::mutex mu;
    Fd fd;
};
CallConn& call_conn() {
    static CallConn c;
    return c;
}

// The local backend may itself make platform calls (a log line, say), so its
// lock must let the same thread in again.
struct Local {
    std::recursive_mutex mu;
    LocalFn fn = nullptr;
    void* ctx = nullptr;
};
Local& local() {
    static Local l;
    return l;
}

}  // namespace

bool write_frame(int fd, proto::Op op, std::span<const std::uint8_t> payload) {
    if (payload.size() > proto::kMaxFrame - 4) return false;
    std::vector<std::uint8_t> buf(kFrameHeader + payload.size());
    wire::store_h<std::uint32_t>(buf.data(), static_cast<std::uint32_t>(4 + payload.size()));
    wire::store_h<std::uint16_t>(buf.data() + 4, static_cast<std::uint16_t>(op));
    wire::store_h<std::uint16_t>(buf.data() + 6, 0);
    if (!payload.empty()) std::memcpy(buf.data() + kFrameHeader, payload.data(), payload.size());
    return write_all(fd, buf.data(), buf.size());
}

bool read_frame(int fd, proto::Op& op, std::vector<std::uint8_t>& payload) {
    std::uint8_t hdr[kFrameHeader];
    // Every frame has at least its op word, so the header comes in one read.
    if (!read_all(fd, hdr, kFrameHeader)) return false;
    std::uint32_t len = wire::load_h<std::uint32_t>(hdr);
    if (len < 4 || len > proto::kMaxFrame) return false;
    op = static_cast<proto::Op>(wire::load_h<std::uint16_t>(hdr + 4));
    payload.resize(len - 4);
    return payload.empty() || read_all(fd, payload.data(), payload.size());
}

Fd connect_apsim(proto::Kind kind) {
    const std::string& dir = run_dir();
    if (dir.empty()) return Fd();
    std::string path = dir + "/" + proto::kSocketName;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return Fd();
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return Fd();
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
        return Fd();
    wire::Writer hello;
    hello.h32(static_cast<std::uint32_t>(kind)).h32(static_cast<std::uint32_t>(::getpid()));
    if (!write_frame(fd.get(), proto::Op::Hello, hello.span())) return Fd();
    proto::Op op;
    std::vector<std::uint8_t> reply;
    if (!read_frame(fd.get(), op, reply) || op != proto::Op::Hello) return Fd();
    wire::Reader r(reply);
    std::int32_t rc = r.hi32();
    if (!r.ok() || rc < 0) return Fd();
    return fd;
}

const std::string& run_dir() {
    return run_dir_storage();
}

void set_run_dir(const std::string& dir) {
    run_dir_storage() = dir;
    call_reset();
    clock_reset_source();
    log_reset();
}

void call_reset() {
    CallConn& c = call_conn();
    std::lock_guard lock(c.mu);
    c.fd.reset();
}

void set_local_backend(LocalFn fn, void* ctx) {
    Local& l = local();
    std::lock_guard lock(l.mu);
    l.fn = fn;
    l.ctx = ctx;
}

bool local_backend_active() {
    Local& l = local();
    std::lock_guard lock(l.mu);
    return l.fn != nullptr;
}

bool call(proto::Op op, const wire::Writer& req, std::vector<std::uint8_t>& reply) {
    {
        Local& l = local();
        std::lock_guard lock(l.mu);
        if (l.fn) {
            wire::Writer out;
            l.fn(op, req.span(), out, l.ctx);
            reply = std::move(out.buf());
            return true;
        }
    }
    CallConn& c = call_conn();
    std::lock_guard lock(c.mu);
    // A kept connection may have gone stale (apsim restarted): one fresh try.
    // A request that was written is never repeated, so nothing runs twice.
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool fresh = false;
        if (!c.fd.valid()) {
            c.fd = connect_apsim(proto::Kind::Call);
            if (!c.fd.valid()) return false;
            fresh = true;
        }
        if (!write_frame(c.fd.get(), op, req.span())) {
            c.fd.reset();
            if (fresh) return false;
            continue;
        }
        proto::Op rop;
        if (!read_frame(c.fd.get(), rop, reply) || rop != op) {
            c.fd.reset();
            return false;
        }
        return true;
    }
    return false;
}

int call_rc(proto::Op op, const wire::Writer& req, std::vector<std::uint8_t>* rest) {
    std::vector<std::uint8_t> reply;
    if (!call(op, req, reply)) return -1;
    wire::Reader r(reply);
    std::int32_t rc = r.hi32();
    if (!r.ok()) return -1;
    if (rest) rest->assign(reply.begin() + 4, reply.end());
    return rc;
}

bool fault(const char* name, int* rc) {
    if (!name) return false;
    wire::Writer req;
    req.str(name);
    std::vector<std::uint8_t> reply;
    if (!call(proto::Op::Fault, req, reply)) return false;
    wire::Reader r(reply);
    std::int32_t frc = r.hi32();
    std::uint32_t armed = r.h32();
    if (!r.ok() || armed != 1) return false;
    if (rc) *rc = frc;
    return true;
}

}  // namespace plat
