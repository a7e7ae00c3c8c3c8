// Threads, the up-time clock and the platform timer service.
//
// One clock serves every up-time read and every timer:
//   - DIR/clock present, mode 0: real time, CLOCK_MONOTONIC minus apsim's boot time;
//     the timer thread sleeps until the earliest due timer;
//   - DIR/clock present, mode 1: driven by apsim; the timer thread serves apsim's
//     TimerNext/TimerFire requests on a TIMER connection;
//   - no clock page (unit tests): a local driven clock; clock_advance_ms fires
//     the due timers on the caller's thread.
#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/backend.h"
#include "platform/frame.h"
#include "platform/internal.h"
#include "platform/qz.h"

namespace {

enum class Source : int { unknown, local, real, driven };

struct Clock {
    std::mutex mu;
    std::atomic<Source> source{Source::unknown};
    std::atomic<const proto::ClockPage*> page{nullptr};
    std::uint64_t boot_ns = 0;  // set before `source` is published
    proto::SplitMs local_ms{};  // 32-bit words: no libatomic on the target
};
// Never destroyed: detached threads may read it while the process exits.
Clock& clock_state() {
    static Clock& c = *new Clock;
    return c;
}

// Maps DIR/clock read-only; nullptr when it is missing or not initialised.
const proto::ClockPage* map_page(std::uint32_t& mode, std::uint64_t& boot_ns) {
    const std::string& dir = plat::run_dir();
    if (dir.empty()) return nullptr;
    std::string path = dir + "/" + proto::kClockName;
    plat::Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return nullptr;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || st.st_size < static_cast<off_t>(sizeof(proto::ClockPage)))
        return nullptr;
    void* m = ::mmap(nullptr, sizeof(proto::ClockPage), PROT_READ, MAP_SHARED, fd.get(), 0);
    if (m == MAP_FAILED) return nullptr;
    // A shared mapping of the page apsim created as a ClockPage.
    auto* p = static_cast<proto::ClockPage*>(m);
    std::uint32_t magic = std::atomic_ref<std::uint32_t>(p->magic).load(std::memory_order_acquire);
    mode = p->mode;
    boot_ns = p->boot_ns;
    if (magic != proto::kClockMagic || mode > 1) {
        ::munmap(m, sizeof(proto::ClockPage));
        return nullptr;
    }
    return p;
}

Source source() {
    Clock& c = clock_state();
    Source s = c.source.load(std::memory_order_acquire);
    if (s != Source::unknown) return s;
    std::lock_guard lock(c.mu);
    s = c.source.load(std::memory_order_acquire);
    if (s != Source::unknown) return s;
    std::uint32_t mode = 0;
    std::uint64_t boot = 0;
    const proto::ClockPage* page = map_page(mode, boot);
    if (!page) {
        s = Source::local;
    } else {
        c.page.store(page, std::memory_order_relaxed);
        c.boot_ns = boot;
        s = mode == 1 ? Source::driven : Source::real;
    }
    c.source.store(s, std::memory_order_release);
    return s;
}

std::uint64_t driven_ms() {
    return proto::split_ms_load(clock_state().page.load(std::memory_order_relaxed)->driven);
}

std::uint64_t real_ms() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    std::uint64_t ns = static_cast<std::uint64_t>(ts.tv_sec) * 1000000000u +
                       static_cast<std::uint64_t>(ts.tv_nsec);
    std::uint64_t boot = clock_state().boot_ns;
    return ns > boot ? (ns - boot) / 1000000u : 0;
}

// ---- timers

struct Timer {
    qz_pmpt_timer_fn fn = nullptr;
    void* arg = nullptr;
    bool armed = false;
    std::uint64_t due_ms = 0;
    std::uint64_t seq = 0;  // arming order: equal due times fire in it
};

struct Timers {
    std::mutex mu;
    std::condition_variable cv;
    std::deque<Timer> all;  // handle = index + 1; timers are never freed
    std::uint64_t seq = 0;
    bool started = false;
};
Timers& timers() {
    static Timers& t = *new Timers;
    return t;
}

// Earliest armed timer (index), or -1. Caller holds the mutex.
long earliest(const Timers& t) {
    long best = -1;
    for (std::size_t i = 0; i < t.all.size(); ++i) {
        const Timer& x = t.all[i];
        if (!x.armed) continue;
        if (best < 0) {
            best = static_cast<long>(i);
            continue;
        }
        const Timer& b = t.all[static_cast<std::size_t>(best)];
        if (x.due_ms < b.due_ms || (x.due_ms == b.due_ms && x.seq < b.seq))
            best = static_cast<long>(i);
    }
    return best;
}

Timer* lookup(Timers& t, qz_pmpt_timer_t h) {
    if (h == 0 || h > t.all.size()) return nullptr;
    return &t.all[h - 1];
}

// A callback that keeps re-arming itself for 0 seconds would hold the clock
// still for ever; a run stops after this many callbacks.
inline constexpr int kMaxFiresPerRun = 100000;

// Takes the earliest timer due at or before `limit` off the list; 0 if none.
qz_pmpt_timer_t take_due(std::uint64_t limit, std::uint64_t* due, qz_pmpt_timer_fn* fn,
                         void** arg) {
    Timers& t = timers();
    std::lock_guard lock(t.mu);
    long i = earliest(t);
    if (i < 0) return 0;
    Timer& x = t.all[static_cast<std::size_t>(i)];
    if (x.due_ms > limit) return 0;
    x.armed = false;
    *due = x.due_ms;
    *fn = x.fn;
    *arg = x.arg;
    return static_cast<qz_pmpt_timer_t>(i + 1);
}

// Runs every callback due at or before now, in due order, including timers
// that callbacks re-arm due at or before now.
void fire_due(std::uint64_t now) {
    for (int n = 0; n < kMaxFiresPerRun; ++n) {
        std::uint64_t due;
        qz_pmpt_timer_fn fn;
        void* arg;
        qz_pmpt_timer_t h = take_due(now, &due, &fn, &arg);
        if (!h) return;
        fn(h, arg);
    }
}

void real_loop() {
    Timers& t = timers();
    std::unique_lock lock(t.mu);
    for (;;) {
        long i = earliest(t);
        if (i < 0) {
            t.cv.wait(lock);
            continue;
        }
        Timer& x = t.all[static_cast<std::size_t>(i)];
        std::uint64_t now = real_ms();
        if (x.due_ms > now) {
            t.cv.wait_for(lock, std::chrono::milliseconds(x.due_ms - now));
            continue;
        }
        x.armed = false;
        qz_pmpt_timer_fn fn = x.fn;
        void* arg = x.arg;
        lock.unlock();
        fn(static_cast<qz_pmpt_timer_t>(i + 1), arg);
        lock.lock();
    }
}

void driven_loop() {
    plat::Fd fd = plat::connect_apsim(proto::Kind::Timer);
    if (!fd.valid()) {
        __qz_err(" ", __LINE__, "platform timer: no TIMER connection to apsim");
        return;
    }
    proto::Op op;
    std::vector<std::uint8_t> req;
    while (plat::read_frame(fd.get(), op, req)) {
        wire::Writer reply;
        if (op == proto::Op::TimerNext) {
            Timers& t = timers();
            std::lock_guard lock(t.mu);
            long i = earliest(t);
            reply.h32(i >= 0 ? 1 : 0);
            reply.h64(i >= 0 ? t.all[static_cast<std::size_t>(i)].due_ms : 0);
        } else if (op == proto::Op::TimerFire) {
            wire::Reader r(req);
            std::uint64_t now = r.h64();
            if (r.ok()) fire_due(now);
            reply.hi32(r.ok() ? 0 : -1);
        } else {
            continue;
        }
        if (!plat::write_frame(fd.get(), op, reply.span())) return;
    }
}

void* timer_thread(void* arg) {
    if (arg)
        driven_loop();
    else
        real_loop();
    return nullptr;
}

}  // namespace

namespace plat {

void clock_reset_source() {
    Clock& c = clock_state();
    std::lock_guard lock(c.mu);
    c.source.store(Source::unknown, std::memory_order_release);
}

bool clock_is_page_driven() {
    return source() == Source::driven;
}
bool clock_is_local() {
    return source() == Source::local;
}

std::uint64_t clock_ms() {
    switch (source()) {
        case Source::real:
            return real_ms();
        case Source::driven:
            return driven_ms();
        default:
            return proto::split_ms_load(clock_state().local_ms);
    }
}

void clock_set_ms(std::uint64_t ms) {
    proto::split_ms_store(clock_state().local_ms, ms);
}

void clock_advance_ms(std::uint64_t ms) {
    // apsim steps a clock page itself; only the local clock moves from here.
    if (!clock_is_local()) return;
    Clock& c = clock_state();
    std::uint64_t target = proto::split_ms_load(c.local_ms) + ms;
    for (int n = 0; n < kMaxFiresPerRun; ++n) {
        std::uint64_t due;
        qz_pmpt_timer_fn fn;
        void* arg;
        qz_pmpt_timer_t h = take_due(target, &due, &fn, &arg);
        if (!h) break;
        if (due > proto::split_ms_load(c.local_ms)) proto::split_ms_store(c.local_ms, due);
        fn(h, arg);
    }
    proto::split_ms_store(c.local_ms, target);
}

}  // namespace plat

int qz_pthread_create(pthread_t* thread, void* (*start)(void*), void* arg, int priority,
                      int stack_size, int detached) {
    (void)priority;  // threads run at the default priority off the device
    int rc;
    if (plat::fault("qz_pthread_create", &rc)) return rc;
    if (!start) return -1;
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return -1;
    if (stack_size > 0) {
        std::size_t size = static_cast<std::size_t>(stack_size);
        std::size_t min = static_cast<std::size_t>(PTHREAD_STACK_MIN);
        pthread_attr_setstacksize(&attr, size < min ? min : size);
    }
    if (detached) pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t tmp;
    rc = pthread_create(thread ? thread : &tmp, &attr, start, arg);
    pthread_attr_destroy(&attr);
    return rc == 0 ? 0 : -1;
}

int qz_pmpt_timer_init(int flags) {
    (void)flags;
    int rc;
    if (plat::fault("qz_pmpt_timer_init", &rc)) return rc;
    Timers& t = timers();
    {
        std::lock_guard lock(t.mu);
        if (t.started) return 0;
        t.started = true;
    }
    if (plat::clock_is_local()) return 0;
    // The argument only selects the loop; any non-null pointer means driven.
    void* driven = plat::clock_is_page_driven() ? &t : nullptr;
    pthread_t th;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    rc = pthread_create(&th, &attr, timer_thread, driven);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        std::lock_guard lock(t.mu);
        t.started = false;
        return -1;
    }
    return 0;
}

qz_pmpt_timer_t qz_pmpt_timer_create(qz_pmpt_timer_fn fn, void* arg) {
    if (!fn) return 0;
    Timers& t = timers();
    std::lock_guard lock(t.mu);
    Timer x;
    x.fn = fn;
    x.arg = arg;
    t.all.push_back(x);
    return static_cast<qz_pmpt_timer_t>(t.all.size());
}

int qz_pmpt_timer_start(qz_pmpt_timer_t timer, std::uint32_t seconds) {
    std::uint64_t now = plat::clock_ms();
    Timers& t = timers();
    std::lock_guard lock(t.mu);
    Timer* x = lookup(t, timer);
    if (!x) return -1;
    x->armed = true;
    x->due_ms = now + std::uint64_t{seconds} * 1000u;
    x->seq = ++t.seq;
    t.cv.notify_all();
    return 0;
}

int qz_pmpt_timer_continue(qz_pmpt_timer_t timer, std::uint32_t seconds) {
    return qz_pmpt_timer_start(timer, seconds);
}

int qz_pmpt_timer_stop(qz_pmpt_timer_t timer) {
    Timers& t = timers();
    std::lock_guard lock(t.mu);
    Timer* x = lookup(t, timer);
    if (!x) return -1;
    x->armed = false;
    t.cv.notify_all();
    return 0;
}

std::uint32_t qz_sys_up_sec() {
    return static_cast<std::uint32_t>(plat::clock_ms() / 1000u);
}

int qz_get_system_uptime(std::uint32_t* seconds) {
    if (!seconds) return -1;
    *seconds = qz_sys_up_sec();
    return 0;
}

int qz_sys_ready() {
    return 1;
}
