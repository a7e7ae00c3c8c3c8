// Kernel message service: fed's 20-byte kernel request messages, carried to
// the FE model in apsim together with the memory their address words name.
//
// A message names fed memory by 32-bit address words. A pointer does not fit
// 32 bits on a 64-bit host, so fed registers the memory first (qz_mpi_ref) and
// writes the returned token; the send resolves the tokens, ships the bytes,
// and copies what the kernel wrote back into the same memory.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/backend.h"
#include "platform/qz.h"

namespace {

// The 20-byte message, host order.
namespace msg {
inline constexpr std::size_t kModule = 0;      // u8
inline constexpr std::size_t kFlags = 1;       // u8
inline constexpr std::size_t kCode = 2;        // u16
inline constexpr std::size_t kReplyRef = 8;    // u32
inline constexpr std::size_t kReplySize = 12;  // u32
inline constexpr std::size_t kRecordRef = 16;  // u32
inline constexpr std::size_t kSize = 20;
static_assert(kModule + 1 == kFlags && kFlags + 1 == kCode && kCode + 2 + 4 == kReplyRef);
static_assert(kReplyRef + 4 == kReplySize && kReplySize + 4 == kRecordRef);
static_assert(kRecordRef + 4 == kSize);
static_assert(kSize < MPI_MSG_SIZE_MAX);
}  // namespace msg

struct Ref {
    std::uint32_t token = 0;  // 0: free
    std::uint8_t* p = nullptr;
    std::size_t size = 0;
};

// References live only from qz_mpi_ref to the send that uses them; a small
// ring is plenty (fed makes two per request under its channel lock).
inline constexpr std::size_t kRefSlots = 64;

struct Refs {
    std::mutex mu;
    Ref slots[kRefSlots];
    std::uint32_t next = 0;
};
Refs& refs() {
    static Refs r;
    return r;
}

// Resolves a token; token 0 names no memory. False for a stale or unknown token.
bool resolve(std::uint32_t token, Ref& out) {
    out = Ref{};
    if (token == 0) return true;
    Refs& r = refs();
    std::lock_guard lock(r.mu);
    const Ref& s = r.slots[token % kRefSlots];
    if (s.token != token) return false;
    out = s;
    return true;
}

void release(std::uint32_t token) {
    if (token == 0) return;
    Refs& r = refs();
    std::lock_guard lock(r.mu);
    Ref& s = r.slots[token % kRefSlots];
    if (s.token == token) s = Ref{};
}

// Copies returned bytes into registered memory, never past it.
void copy_back(const Ref& ref, std::span<const std::uint8_t> data) {
    std::size_t n = std::min(ref.size, data.size());
    if (n) std::memcpy(ref.p, data.data(), n);
}

}  // namespace

std::uint32_t qz_mpi_ref(void* p, std::size_t size) {
    if (!p) return 0;
    Refs& r = refs();
    std::lock_guard lock(r.mu);
    if (++r.next == 0) ++r.next;
    r.slots[r.next % kRefSlots] = Ref{r.next, static_cast<std::uint8_t*>(p), size};
    return r.next;
}

int qz_mpi_open(int module) {
    wire::Writer req;
    req.h32(static_cast<std::uint32_t>(module));
    return plat::call_rc(proto::Op::MpiOpen, req);
}

int qz_mpi_close(int handle) {
    wire::Writer req;
    req.hi32(handle);
    return plat::call_rc(proto::Op::MpiClose, req);
}

void* qz_mpi_malloc(std::size_t size) {
    int rc;
    if (plat::fault("qz_mpi_malloc", &rc)) return nullptr;
    return std::calloc(1, size ? size : 1);
}

void qz_mpi_free(void* buf) {
    std::free(buf);
}

int qz_mpi_sendto_kernel(int handle, void* m, int len, int flags) {
    (void)flags;
    if (!m || len < static_cast<int>(msg::kSize) || len >= MPI_MSG_SIZE_MAX) return -1;
    const auto* b = static_cast<const std::uint8_t*>(m);
    std::uint16_t code = wire::load_h<std::uint16_t>(b + msg::kCode);
    std::uint32_t reply_token = wire::load_h<std::uint32_t>(b + msg::kReplyRef);
    std::uint32_t reply_size = wire::load_h<std::uint32_t>(b + msg::kReplySize);
    std::uint32_t record_token = wire::load_h<std::uint32_t>(b + msg::kRecordRef);
    Ref reply, record;
    int rc = -1;
    if (resolve(reply_token, reply) && resolve(record_token, record)) {
        reply.size = std::min<std::size_t>(reply.size, reply_size);
        wire::Writer req;
        req.hi32(handle)
            .blob({b, static_cast<std::size_t>(len)})
            .h16(code)
            .blob({record.p, record.size})
            .blob({reply.p, reply.size});
        std::vector<std::uint8_t> rest;
        rc = plat::call_rc(proto::Op::MpiSend, req, &rest);
        wire::Reader r(rest);
        auto rec_out = r.blob();
        auto reply_out = r.blob();
        if (r.ok()) {
            copy_back(record, rec_out);
            copy_back(reply, reply_out);
        }
    }
    release(reply_token);
    release(record_token);
    return rc;
}
