// Frame codec and connections of the apsim socket protocol (platform/proto.h).
//
// Shared by the platform library's own threads (CALL, CLI, EVENT, TIMER) and
// usable by anything else that speaks the protocol over a stream socket.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/proto.h"

namespace plat {

// Owns one descriptor; closes it when it goes.
class Fd {
   public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& o) noexcept : fd_(o.release()) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);

   private:
    int fd_ = -1;
};

// Writes one frame (length, op, zero, payload) in one piece; false when the
// payload is too large for a frame or the peer is gone.
bool write_frame(int fd, proto::Op op, std::span<const std::uint8_t> payload);

// Reads one frame. False on end of stream, on an error, and on a length word
// outside 4..kMaxFrame (the stream cannot be trusted after that).
bool read_frame(int fd, proto::Op& op, std::vector<std::uint8_t>& payload);

// Connects to DIR/apsim.sock and says HELLO with this kind; an invalid Fd when
// there is no run directory, no apsim, or apsim refused the hello.
Fd connect_apsim(proto::Kind kind);

}  // namespace plat
