// Replay throughput through the real programs: a large made-up capture
// replayed by fedctl into apsim + fed, in packets per second. "ftp" is many
// passive FTP sessions, each with its data connection; "flows" is thousands of
// plain UDP flows between distinct station pairs, each seen again after all
// the others, so the FE's session tables are near full for most packets.
// "now" leaves the clock alone; "capture" has the driven clock follow the
// capture, so fed's timers run as it goes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/frames_pcap.h"

extern char** environ;

namespace {

using testframes::ip;
using testframes::Packet;
using testframes::TimedPacket;

inline constexpr int kSessions = 2000;
inline constexpr int kDataSegments = 8;
// Below the FE's 8191 sessions of each kind: no flow is refused.
inline constexpr int kFlows = 8000;
inline constexpr int kFlowRounds = 3;

// One passive FTP session per client address, 20 ms apart.
std::vector<TimedPacket> ftp_capture() {
    std::vector<TimedPacket> pkts;
    const std::uint32_t server = ip(192, 168, 1, 1);
    for (int i = 0; i < kSessions; ++i) {
        std::uint32_t client = ip(10, 1, static_cast<unsigned>(i / 250), 1 + i % 250);
        auto port = static_cast<std::uint16_t>(20000 + i % 40000);
        std::uint64_t t = static_cast<std::uint64_t>(i) * 20;
        auto c2s = [&](std::string s, std::uint8_t flags = testframes::kAck | testframes::kPsh) {
            Packet p{testframes::kTcp, client, 40000, server, 21, std::move(s), flags};
            pkts.push_back({t++, p});
        };
        auto s2c = [&](std::string s) {
            pkts.push_back(
                {t++, Packet{testframes::kTcp, server, 21, client, 40000, std::move(s)}});
        };
        c2s("", testframes::kSyn);
        s2c("220 ready\r\n");
        c2s("USER anonymous\r\n");
        s2c("230 ok\r\n");
        c2s("PASV\r\n");
        s2c("227 Entering Passive Mode (192,168,1,1," + std::to_string(port >> 8) + "," +
            std::to_string(port & 0xff) + ")\r\n");
        pkts.push_back(
            {t++, Packet{testframes::kTcp, client, 50000, server, port, "", testframes::kSyn}});
        for (int k = 0; k < kDataSegments; ++k)
            pkts.push_back(
                {t, Packet{testframes::kTcp, server, port, client, 50000, std::string(512, 'd')}});
        s2c("226 Transfer complete\r\n");
        c2s("QUIT\r\n");
        s2c("221 Goodbye\r\n");
    }
    return pkts;
}

// Round after round, one packet of every flow, alternately each way, 1 ms
// apart. Flow i runs between MACs ..:a and ..:b with a < b, a distinct pair
// for each flow, on a port no service claims.
std::vector<TimedPacket> flows_capture() {
    std::vector<TimedPacket> pkts;
    const std::uint32_t server = ip(192, 168, 1, 1);
    std::uint64_t t = 0;
    for (int round = 0; round < kFlowRounds; ++round) {
        for (int i = 0; i < kFlows; ++i) {
            std::uint32_t client = ip(10, 2, static_cast<unsigned>(i / 250), 1 + i % 250);
            auto port = static_cast<std::uint16_t>(30000 + i);
            auto sta = static_cast<std::uint8_t>(1 + i % 200);
            auto peer = static_cast<std::uint8_t>(201 + i / 200);
            Packet p{testframes::kUdp, client, port, server, 9000, std::string(64, 'u')};
            p.src_mac_last = sta;
            p.dst_mac_last = peer;
            if (round % 2) {
                p = Packet{testframes::kUdp, server, 9000, client, port, std::string(64, 'u')};
                p.src_mac_last = peer;
                p.dst_mac_last = sta;
            }
            pkts.push_back({t++, p});
        }
    }
    return pkts;
}

std::string bin_dir() {
    return std::filesystem::canonical("/proc/self/exe").parent_path().parent_path().string() +
           "/bin";
}

// Runs a program to its end; its exit status, or -1.
int run(const std::vector<std::string>& args, bool quiet = true) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (quiet) posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int err = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (err != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct AccessPoint {
    std::string dir;
    std::string fedctl = bin_dir() + "/fedctl";
    bool up = false;

    AccessPoint() {
        char tmpl[] = "/tmp/fedbench.XXXXXX";
        if (!mkdtemp(tmpl)) return;
        dir = tmpl;
        if (run({bin_dir() + "/apsim", "-d", dir, "--daemon", "--clock", "driven"}) != 0) return;
        for (int i = 0; i < 200 && !up; ++i) {
            up = run({fedctl, "-d", dir, "platform", "alg", "ftp", "on"}) == 0;
            if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~AccessPoint() {
        if (!dir.empty()) {
            run({fedctl, "-d", dir, "platform", "shutdown"});
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    }
};

void BM_Replay(benchmark::State& state, const char* clock,
               const std::vector<TimedPacket>& (*capture)()) {
    const std::vector<TimedPacket>& pkts = capture();
    std::string path = std::filesystem::temp_directory_path().string() + "/bench_rep." +
                       std::to_string(getpid()) + ".pcap";
    if (!testframes::write_pcap(path, pkts)) {
        state.SkipWithError("cannot write the capture");
        return;
    }
    AccessPoint ap;
    if (!ap.up) {
        state.SkipWithError("no access point (build apsim, fed and fedctl first)");
        std::filesystem::remove(path);
        return;
    }
    for (auto _ : state) {
        if (run({ap.fedctl, "-d", ap.dir, "replay", path, "--clock", clock}) != 0) {
            state.SkipWithError("replay failed");
            break;
        }
    }
    state.counters["packets"] = static_cast<double>(pkts.size());
    state.counters["packets_per_second"] = benchmark::Counter(
        static_cast<double>(pkts.size()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    std::filesystem::remove(path);
}

const std::vector<TimedPacket>& ftp() {
    static const std::vector<TimedPacket> pkts = ftp_capture();
    return pkts;
}

const std::vector<TimedPacket>& flows() {
    static const std::vector<TimedPacket> pkts = flows_capture();
    return pkts;
}

BENCHMARK_CAPTURE(BM_Replay, ftp_clock_now, "now", ftp)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Replay, ftp_clock_capture, "capture", ftp)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Replay, flows_clock_now, "now", flows)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
