#include "sim/clock.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

#include "platform/frame.h"

namespace sim {

namespace {

inline constexpr std::size_t kPageBytes = 4096;

std::uint64_t monotonic_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

}  // namespace

bool clock_open(Clock& c, const std::string& dir, bool driven) {
    std::string path = dir + "/" + proto::kClockName;
    plat::Fd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd.valid() || ::ftruncate(fd.get(), kPageBytes) != 0) return false;
    void* p = ::mmap(nullptr, kPageBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (p == MAP_FAILED) return false;
    c.page = static_cast<proto::ClockPage*>(p);
    c.driven = driven;
    c.page->mode = driven ? 1 : 0;
    c.page->boot_ns = driven ? 0 : monotonic_ns();
    proto::split_ms_store(c.page->driven, 0);
    // The magic goes last: a reader that sees it sees the rest.
    std::atomic_ref<std::uint32_t>(c.page->magic).store(proto::kClockMagic);
    return true;
}

void clock_close(Clock& c) {
    if (c.page) ::munmap(c.page, kPageBytes);
    c.page = nullptr;
}

std::uint64_t clock_now_ms(const Clock& c) {
    if (!c.page) return 0;
    if (c.driven) return proto::split_ms_load(c.page->driven);
    return (monotonic_ns() - c.page->boot_ns) / 1000000ull;
}

void clock_set_ms(Clock& c, std::uint64_t ms) {
    if (c.page && c.driven) proto::split_ms_store(c.page->driven, ms);
}

}  // namespace sim
