// A hand-played apsim for tests of the client side of the socket: listens on
// DIR/apsim.sock and answers each HELLO with `hello_rc`; then either hands the
// connection and its kind to `serve` on the listening thread, or, without one,
// files it by kind for take().
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/frame.h"

namespace testap {

class FakeApsim {
   public:
    using Serve = std::function<void(int fd, proto::Kind kind)>;
    explicit FakeApsim(const std::string& dir, std::int32_t hello_rc = 0, Serve serve = {})
        : hello_rc_(hello_rc), serve_(std::move(serve)) {
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
    plat::Fd take(proto::Kind kind) {
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
            proto::Op op;
            std::vector<std::uint8_t> hello;
            if (!plat::read_frame(fd.get(), op, hello) || op != proto::Op::Hello) continue;
            wire::Reader r(hello);
            auto kind = static_cast<proto::Kind>(r.h32());
            wire::Writer rc;
            rc.hi32(hello_rc_);
            plat::write_frame(fd.get(), proto::Op::Hello, rc.span());
            if (serve_) {
                serve_(fd.get(), kind);
                continue;
            }
            std::lock_guard lock(mu_);
            conns_[kind].push_back(std::move(fd));
            cv_.notify_all();
        }
    }

    std::int32_t hello_rc_;
    Serve serve_;
    plat::Fd listen_;
    bool ok_ = false;
    std::thread thread_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::map<proto::Kind, std::deque<plat::Fd>> conns_;
};

}  // namespace testap
