// apsim's socket and connections. One thread per connection; all shared
// state is in the Core (its mutex) or behind Server::links_mu.
#include "sim/server.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/frame.h"
#include "sim/ctl.h"
#include "sim/live.h"

namespace sim {

namespace {

inline constexpr std::size_t kOutputChunk = 64 * 1024;

std::string socket_path(const Server& s) {
    return s.dir + "/" + proto::kSocketName;
}

bool write_text_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

void reply_hello(int fd, std::int32_t rc) {
    wire::Writer w;
    w.hi32(rc);
    plat::write_frame(fd, proto::Op::Hello, w.span());
}

// ---- CALL ----

void serve_call(Server& s, int fd) {
    proto::Op op;
    std::vector<std::uint8_t> req;
    while (plat::read_frame(fd, op, req)) {
        wire::Writer reply;
        core_call(s.core, op, req, reply);
        if (!plat::write_frame(fd, op, reply.span())) break;
    }
}

// ---- CLI and TIMER: apsim asks, fed answers ----

void store_registrations(Server& s, proto::Op op, std::span<const std::uint8_t> payload) {
    wire::Reader r(payload);
    std::uint32_t n = r.h32();
    if (op == proto::Op::CliVectors) {
        std::vector<std::uint32_t> ids;
        for (std::uint32_t i = 0; i < n && r.ok(); ++i) ids.push_back(r.h32());
        if (!r.ok()) return;
        std::lock_guard lock(s.links_mu);
        s.cli_vectors = std::move(ids);
        return;
    }
    std::vector<DebugFlagReg> flags;
    for (std::uint32_t i = 0; i < n && r.ok(); ++i) {
        DebugFlagReg f;
        f.module = r.str();
        f.name = r.str();
        f.bit = r.h32();
        f.lib = r.h32();
        flags.push_back(std::move(f));
    }
    if (!r.ok()) return;
    std::lock_guard lock(s.links_mu);
    s.cli_flags = std::move(flags);
}

void serve_link(Server& s, int fd, std::uint32_t pid, proto::Kind kind) {
    auto link = std::make_shared<Link>();
    link->fd = fd;
    link->pid = pid;
    {
        std::lock_guard lock(s.links_mu);
        if (kind == proto::Kind::Cli) {
            s.cli = link;
            s.cli_vectors.clear();
            s.cli_flags.clear();
            s.fed_fds.insert(fd);
        } else {
            s.timer = link;
        }
    }
    proto::Op op;
    std::vector<std::uint8_t> payload;
    while (plat::read_frame(fd, op, payload)) {
        if (op == proto::Op::CliVectors || op == proto::Op::CliFlags) {
            store_registrations(s, op, payload);
            continue;
        }
        std::lock_guard lock(link->mu);
        // Bounded: fed cannot pile up answers nobody asked for.
        if (link->replies.size() < 4096) link->replies.push_back(Frame{op, std::move(payload)});
        link->cv.notify_all();
    }
    {
        std::lock_guard lock(s.links_mu);
        if (s.cli == link) s.cli.reset();
        if (s.timer == link) s.timer.reset();
        s.fed_fds.erase(fd);
    }
    std::lock_guard lock(link->mu);
    link->closed = true;
    link->cv.notify_all();
}

// ---- EVENT: one event at a time, the next after fed's ack ----

void send_events(Server& s, int fd, int id) {
    Event ev;
    while (bus_next(s.core, id, ev)) {
        wire::Writer w;
        w.h32(ev.kernel).h32(ev.event).blob(ev.payload);
        if (!plat::write_frame(fd, proto::Op::Event, w.span())) break;
    }
}

void serve_event(Server& s, int fd) {
    int id = bus_attach(s.core);
    {
        std::lock_guard lock(s.links_mu);
        s.fed_fds.insert(fd);
    }
    std::thread sender(send_events, std::ref(s), fd, id);
    proto::Op op;
    std::vector<std::uint8_t> payload;
    while (plat::read_frame(fd, op, payload)) {
        wire::Reader r(payload);
        std::uint32_t kernel = r.h32();
        std::uint32_t event = r.h32();
        if (!r.ok()) continue;
        if (op == proto::Op::Subscribe)
            bus_subscribe(s.core, id, kernel, event, true);
        else if (op == proto::Op::Unsubscribe)
            bus_subscribe(s.core, id, kernel, event, false);
        else if (op == proto::Op::EventAck)
            bus_ack(s.core, id);
    }
    {
        std::lock_guard lock(s.links_mu);
        s.fed_fds.erase(fd);
    }
    ::shutdown(fd, SHUT_RDWR);  // a sender blocked in a write gets out
    bus_detach(s.core, id);
    sender.join();
}

// ---- CTL: fedctl ----

bool send_output(int fd, std::string_view text) {
    bool ok = true;
    for (std::size_t off = 0; off < text.size(); off += kOutputChunk) {
        wire::Writer w;
        w.str(text.substr(off, kOutputChunk));
        ok = ok && plat::write_frame(fd, proto::Op::CtlOutput, w.span());
    }
    return ok;
}

bool send_text(int fd, proto::Op op, std::string_view text) {
    wire::Writer w;
    w.str(text.substr(0, kOutputChunk));
    return plat::write_frame(fd, op, w.span());
}

// Whether fedctl asked to stop the running line, or went away. Reads only
// when something came: fedctl sends nothing else while a line runs.
bool ctl_cancelled(int fd, bool& stopped) {
    if (stopped) return true;
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    if (::poll(&p, 1, 0) <= 0) return false;
    if (p.revents & (POLLHUP | POLLRDHUP | POLLERR)) return stopped = true;
    proto::Op op{};
    std::vector<std::uint8_t> payload;
    if (!plat::read_frame(fd, op, payload) || op == proto::Op::CtlCancel) stopped = true;
    return stopped;
}

void serve_ctl(Server& s, int fd) {
    proto::Op op;
    std::vector<std::uint8_t> payload;
    while (plat::read_frame(fd, op, payload)) {
        wire::Reader r(payload);
        std::string line = r.str();
        if (op == proto::Op::CtlComplete) {
            std::vector<std::string> words =
                r.ok() ? ctl_complete(s, line) : std::vector<std::string>{};
            wire::Writer w;
            w.h32(static_cast<std::uint32_t>(words.size()));
            for (const std::string& word : words) w.str(word);
            if (!plat::write_frame(fd, proto::Op::CtlComplete, w.span())) break;
            continue;
        }
        if (op != proto::Op::CtlLine) continue;
        CtlResult res;
        bool stopped = false;
        CtlOut out([&](std::string_view text) { send_output(fd, text); });
        out.error = [&](std::string_view text) { send_text(fd, proto::Op::CtlError, text); };
        out.progress = [&](std::string_view text) { send_text(fd, proto::Op::CtlProgress, text); };
        out.cancelled = [&] { return ctl_cancelled(fd, stopped); };
        if (!r.ok()) {
            out.err("% Malformed command line\n");
            res.rc = 1;
        } else {
            res = ctl_line(s, line, out);
        }
        wire::Writer end;
        end.hi32(res.rc);
        if (res.has_fed_rc || !res.note.empty()) end.hi32(res.fed_rc).str(res.note);
        plat::write_frame(fd, proto::Op::CtlEnd, end.span());
        if (res.exit) {
            ::close(fd);
            server_exit(s, 0);
        }
    }
}

void serve(Server& s, int fd) {
    proto::Op op;
    std::vector<std::uint8_t> payload;
    if (!plat::read_frame(fd, op, payload) || op != proto::Op::Hello) {
        ::close(fd);
        return;
    }
    wire::Reader r(payload);
    auto kind = static_cast<proto::Kind>(r.h32());
    std::uint32_t pid = r.h32();
    bool known = kind == proto::Kind::Call || kind == proto::Kind::Cli ||
                 kind == proto::Kind::Event || kind == proto::Kind::Timer ||
                 kind == proto::Kind::Ctl;
    if (!r.ok() || !known) {
        reply_hello(fd, -1);
        ::close(fd);
        return;
    }
    reply_hello(fd, 0);
    switch (kind) {
        case proto::Kind::Call:
            serve_call(s, fd);
            break;
        case proto::Kind::Cli:
        case proto::Kind::Timer:
            serve_link(s, fd, pid, kind);
            break;
        case proto::Kind::Event:
            serve_event(s, fd);
            break;
        case proto::Kind::Ctl:
            serve_ctl(s, fd);
            break;
    }
    ::close(fd);
}

std::string self_dir() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    buf[n] = '\0';
    return std::filesystem::path(buf).parent_path().string();
}

}  // namespace

bool server_prepare(Server& s, const Options& o) {
    std::error_code ec;
    std::filesystem::create_directories(o.dir, ec);
    if (ec) {
        std::fprintf(stderr, "apsim: cannot create %s: %s\n", o.dir.c_str(), ec.message().c_str());
        return false;
    }
    ::chmod(o.dir.c_str(), 0700);
    s.dir = std::filesystem::canonical(o.dir, ec).string();
    if (ec) {
        std::fprintf(stderr, "apsim: %s: %s\n", o.dir.c_str(), ec.message().c_str());
        return false;
    }
    s.fed_path = self_dir() + "/fed";
    // The device's /tmp, where fed keeps its policy store.
    std::filesystem::create_directories(s.dir + "/tmp", ec);
    core_init(s.core, s.dir);
    if (!clock_open(s.clock, s.dir, o.driven)) {
        std::fprintf(stderr, "apsim: cannot create %s/%s\n", s.dir.c_str(), proto::kClockName);
        return false;
    }
    s.core.clock_ms = [&s] { return clock_now_ms(s.clock); };
    std::string nbrs;
    for (const std::string& n : o.nbrs) nbrs += n + "\n";
    if (!write_text_file(s.dir + "/neighbours", nbrs) ||
        !write_text_file(s.dir + "/hc_port", std::to_string(o.hc_port) + "\n") ||
        !write_text_file(s.dir + "/hc_addr", o.hc_addr + "\n")) {
        std::fprintf(stderr, "apsim: cannot write in %s\n", s.dir.c_str());
        return false;
    }
    return true;
}

bool server_listen(Server& s) {
    std::string path = socket_path(s);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        std::fprintf(stderr, "apsim: socket path too long: %s\n", path.c_str());
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    // A socket left by an apsim that is gone is removed; a live one is not taken over.
    if (plat::Fd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)); probe.valid()) {
        if (::connect(probe.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
            std::fprintf(stderr, "apsim: another apsim serves %s\n", s.dir.c_str());
            return false;
        }
    }
    ::unlink(path.c_str());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    mode_t old = ::umask(077);  // owner-only from the first moment
    int rc = ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    ::umask(old);
    if (rc != 0 || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 64) != 0) {
        std::fprintf(stderr, "apsim: cannot listen on %s: %s\n", path.c_str(),
                     std::strerror(errno));
        ::close(fd);
        return false;
    }
    s.listen_fd = fd;
    write_text_file(s.dir + "/apsim.pid", std::to_string(::getpid()) + "\n");
    return true;
}

void server_run(Server& s) {
    for (;;) {
        int fd = ::accept4(s.listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE) {
                if (errno == EMFILE || errno == ENFILE) ::usleep(10000);
                continue;
            }
            std::fprintf(stderr, "apsim: accept: %s\n", std::strerror(errno));
            server_exit(s, 1);
        }
        std::thread(serve, std::ref(s), fd).detach();
    }
}

void server_exit(Server& s, int status) {
    // Forwarding must not depend on an apsim that is gone.
    live_stop();
    {
        std::lock_guard lock(s.sup.mu);
        s.sup.wanted = false;
        s.sup.quit = true;
        if (s.sup.pid > 0) ::kill(s.sup.pid, SIGKILL);
    }
    ::unlink(socket_path(s).c_str());
    std::fflush(nullptr);
    ::_exit(status);
}

bool link_request(Server& s, proto::Kind kind, proto::Op op, std::span<const std::uint8_t> payload,
                  proto::Op end, const std::function<void(const Frame&)>& each, Frame& answer,
                  int timeout_ms) {
    std::shared_ptr<Link> link;
    {
        std::lock_guard lock(s.links_mu);
        link = kind == proto::Kind::Cli ? s.cli : s.timer;
    }
    if (!link) return false;
    std::lock_guard one(link->request_mu);
    std::unique_lock lock(link->mu);
    if (link->closed) return false;
    link->replies.clear();  // late answers of a request that timed out
    if (!plat::write_frame(link->fd, op, payload)) return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (!link->cv.wait_until(lock, deadline,
                                 [&] { return link->closed || !link->replies.empty(); }))
            return false;
        if (link->replies.empty()) return false;  // closed
        Frame f = std::move(link->replies.front());
        link->replies.pop_front();
        if (f.op == end) {
            answer = std::move(f);
            return true;
        }
        lock.unlock();
        each(f);
        lock.lock();
    }
}

}  // namespace sim
