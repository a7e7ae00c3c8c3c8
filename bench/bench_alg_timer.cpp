// The ALG timer list with 100,000 armed timers: arming with one duration (the
// common case: each insert lands at the tail), stopping, and firing.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "alg/qz_alg_main.h"
#include "platform/backend.h"

namespace {

constexpr int kTimers = 100000;
constexpr std::uint32_t kSeconds = 3600;

int nothing(qz_alg_timer_t*, void*) {
    return 0;
}

struct Timers {
    std::vector<qz_alg_timer_t*> all;
    Timers() {
        for (int i = 0; i < kTimers; ++i) all.push_back(qz_alg_timer_create(nothing, nullptr));
    }
    ~Timers() {
        for (qz_alg_timer_t* t : all) qz_alg_timer_free(t);
    }
    void arm() {
        for (qz_alg_timer_t* t : all) qz_alg_timer_start(t, kSeconds);
    }
    void stop() {
        for (qz_alg_timer_t* t : all) qz_alg_timer_stop(t);
    }
};

void per_op(benchmark::State& state) {
    double ops = static_cast<double>(state.iterations()) * kTimers;
    state.SetItemsProcessed(static_cast<std::int64_t>(ops));
    // Seconds per timer operation ("5.5n" reads 5.5 ns).
    state.counters["per_op"] =
        benchmark::Counter(ops, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_TimerArmSameDuration(benchmark::State& state) {
    Timers t;
    for (auto _ : state) {
        t.arm();
        state.PauseTiming();
        t.stop();
        state.ResumeTiming();
    }
    per_op(state);
}
BENCHMARK(BM_TimerArmSameDuration)->Unit(benchmark::kMillisecond);

void BM_TimerStop(benchmark::State& state) {
    Timers t;
    for (auto _ : state) {
        state.PauseTiming();
        t.arm();
        state.ResumeTiming();
        t.stop();
    }
    per_op(state);
}
BENCHMARK(BM_TimerStop)->Unit(benchmark::kMillisecond);

void BM_TimerFire(benchmark::State& state) {
    Timers t;
    for (auto _ : state) {
        state.PauseTiming();
        t.arm();
        plat::clock_set_ms(plat::clock_ms() + (kSeconds + 1) * 1000ull);
        state.ResumeTiming();
        qz_alg_timer_run();
    }
    per_op(state);
}
BENCHMARK(BM_TimerFire)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
