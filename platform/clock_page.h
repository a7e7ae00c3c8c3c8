// The shared clock page DIR/clock: apsim writes it, fed maps it read-only.
//
// Everything another process reads while it changes is made of 32-bit words:
// on the 32-bit target a 64-bit atomic is a lock inside one process, which
// another process neither sees nor takes, so it could read half a store. The
// driven time is therefore a sequence counter and two 32-bit halves.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace proto {

// A millisecond count of 64 bits held in 32-bit words (a seqlock). A writer
// makes `seq` odd, writes the halves, then makes it even again; a reader
// retries while `seq` is odd or has changed under it. Writers claim the odd
// value by compare-and-swap, so several writers take turns.
struct SplitMs {
    std::uint32_t seq;
    std::uint32_t lo;
    std::uint32_t hi;
};

static_assert(std::atomic<std::uint32_t>::is_always_lock_free,
              "words shared across processes must be lock-free");
static_assert(alignof(SplitMs) >= std::atomic_ref<std::uint32_t>::required_alignment);

// No standalone fences (ThreadSanitizer does not model them): the halves are
// stored with release, so the odd sequence is visible before either half, and
// loaded with acquire, so the second sequence read cannot move before them.
inline void split_ms_store(SplitMs& w, std::uint64_t ms) {
    std::atomic_ref<std::uint32_t> seq(w.seq);
    std::uint32_t s = seq.load(std::memory_order_relaxed) & ~1u;
    while (!seq.compare_exchange_weak(s, s + 1, std::memory_order_relaxed)) s &= ~1u;
    std::atomic_ref<std::uint32_t>(w.lo).store(static_cast<std::uint32_t>(ms),
                                               std::memory_order_release);
    std::atomic_ref<std::uint32_t>(w.hi).store(static_cast<std::uint32_t>(ms >> 32),
                                               std::memory_order_release);
    seq.store(s + 2, std::memory_order_release);
}

// Only loads: the word may sit in a read-only mapping.
inline std::uint64_t split_ms_load(const SplitMs& cw) {
    auto& w = const_cast<SplitMs&>(cw);
    std::atomic_ref<std::uint32_t> seq(w.seq);
    for (;;) {
        std::uint32_t s = seq.load(std::memory_order_acquire);
        if (s & 1u) continue;
        std::uint32_t lo = std::atomic_ref<std::uint32_t>(w.lo).load(std::memory_order_acquire);
        std::uint32_t hi = std::atomic_ref<std::uint32_t>(w.hi).load(std::memory_order_acquire);
        if (seq.load(std::memory_order_relaxed) == s) return (std::uint64_t{hi} << 32) | lo;
    }
}

// mode 0: real: uptime = CLOCK_MONOTONIC - boot_ns. mode 1: driven: uptime =
// driven. apsim fills mode and boot_ns, then publishes magic (release); a
// reader that sees magic (acquire) sees them. Only `driven` changes later.
struct ClockPage {
    std::uint32_t magic;  // kClockMagic once initialised
    std::uint32_t mode;
    std::uint64_t boot_ns;
    SplitMs driven;
    std::uint32_t reserved;
};
inline constexpr std::uint32_t kClockMagic = 0x71636c6bu;
static_assert(offsetof(ClockPage, driven) == 16 && sizeof(ClockPage) == 32);

}  // namespace proto
