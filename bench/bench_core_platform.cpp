// The daemon core against a real simulated access point:
//  - start-up: from `platform restart fed` to "FED module initialized" in the log;
//  - a kernel request round trip through the platform boundary (socket to apsim),
//    next to the floor of any such boundary on the same machine: a bare
//    ping-pong of one small message between two threads over a Unix socket;
//  - fed's resident memory when idle.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fed/qz_fed_msg.h"
#include "platform/backend.h"

extern char** environ;

namespace {

std::string bin_dir() {
    return std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "bin";
}

int run(const std::vector<std::string>& args, std::string* out = nullptr) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, pipefd[1], 1);
    posix_spawn_file_actions_addclose(&fa, pipefd[0]);
    pid_t pid;
    int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(pipefd[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(pipefd[0], buf, sizeof buf)) > 0;) text.append(buf, n);
    close(pipefd[0]);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One access point for the whole program.
struct AccessPoint {
    std::string dir;
    AccessPoint() {
        char tmpl[] = "/tmp/fedbench.XXXXXX";
        dir = mkdtemp(tmpl);
        run({bin_dir() + "/apsim", "-d", dir, "--daemon"});
        wait_initialized(1);
    }
    ~AccessPoint() {
        ctl({"platform", "shutdown"});
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    int ctl(std::vector<std::string> words, std::string* out = nullptr) {
        words.insert(words.begin(), {bin_dir() + "/fedctl", "-d", dir});
        return run(words, out);
    }
    int initialized_lines() {
        std::ifstream in(dir + "/messages");
        int n = 0;
        for (std::string line; std::getline(in, line);)
            n += line.find("FED module initialized") != std::string::npos;
        return n;
    }
    bool wait_initialized(int lines) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            if (initialized_lines() >= lines) return true;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return false;
    }
    long fed_pid() {
        std::string out;
        ctl({"platform", "status"}, &out);
        auto at = out.find("fed pid: ");
        return at == std::string::npos ? -1 : std::stol(out.substr(at + 9));
    }
};

AccessPoint& ap() {
    static AccessPoint a;
    return a;
}

void BM_StartupToInitialized(benchmark::State& state) {
    AccessPoint& a = ap();
    for (auto _ : state) {
        int before = a.initialized_lines();
        auto t0 = std::chrono::steady_clock::now();
        a.ctl({"platform", "restart", "fed"});
        if (!a.wait_initialized(before + 1)) {
            state.SkipWithError("fed did not come up");
            break;
        }
        auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
}
BENCHMARK(BM_StartupToInitialized)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_KernelRequestRoundTrip(benchmark::State& state) {
    AccessPoint& a = ap();
    plat::set_run_dir(a.dir);
    if (qz_fed_ipc_init() != 0) {
        state.SkipWithError("no kernel channel");
        return;
    }
    struct {
        std::int32_t result;
        std::uint32_t seconds;
    } rec{};
    for (auto _ : state) {
        rec = {};
        benchmark::DoNotOptimize(qz_fed_kernel_request(140, &rec));
    }
    if (rec.seconds == 0) state.SkipWithError("kernel did not answer");
    qz_fed_ipc_exit();
    plat::set_run_dir("");
}
BENCHMARK(BM_KernelRequestRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_UnixSocketPingPongFloor(benchmark::State& state) {
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) {
        state.SkipWithError("socketpair");
        return;
    }
    std::thread echo([fd = sv[1]] {
        char b[28];
        while (::read(fd, b, sizeof b) == static_cast<ssize_t>(sizeof b))
            if (::write(fd, b, sizeof b) != static_cast<ssize_t>(sizeof b)) break;
    });
    char b[28] = {};
    for (auto _ : state) {
        if (::write(sv[0], b, sizeof b) != static_cast<ssize_t>(sizeof b) ||
            ::read(sv[0], b, sizeof b) != static_cast<ssize_t>(sizeof b)) {
            state.SkipWithError("ping-pong broke");
            break;
        }
    }
    ::close(sv[0]);
    echo.join();
    ::close(sv[1]);
}
BENCHMARK(BM_UnixSocketPingPongFloor)->Unit(benchmark::kMicrosecond);

void BM_IdleResidentMemory(benchmark::State& state) {
    AccessPoint& a = ap();
    long pid = a.fed_pid();
    double kib = 0;
    for (auto _ : state) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(in, line);)
            if (line.rfind("VmRSS:", 0) == 0) kib = std::stod(line.substr(6));
    }
    state.counters["fed_rss_MiB"] = kib / 1024.0;
}
BENCHMARK(BM_IdleResidentMemory)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
