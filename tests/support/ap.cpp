// The integration harness: apsim --daemon in a fresh directory, driven by the
// real fedctl, shut down and cleaned up by the destructor.
#include "tests/support/ap.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "mgt/cli/fed/cmd_text.h"

extern char** environ;

namespace testap {

namespace {

inline constexpr int kCtlTimeoutMs = 60000;

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs argv with stdout and stderr captured. A program that outlives
// timeout_ms is killed and reported with rc -1.
Result run(const std::vector<std::string>& args, int timeout_ms) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return {-1, "pipe failed"};
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return {-1, "pipe failed"};
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        ::close(out[0]);
        ::close(err[0]);
        return {-1, std::string("cannot run ") + args[0] + ": " + std::strerror(rc)};
    }
    Result res{0, {}, {}};
    pollfd p[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* text[2] = {&res.out, &res.err};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool timed_out = false;
    int open_fds = 2;
    while (open_fds > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timed_out = true;
            break;
        }
        int n = ::poll(p, 2, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (p[i].fd < 0 || !(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            ssize_t r = ::read(p[i].fd, buf, sizeof buf);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) {
                ::close(p[i].fd);
                p[i].fd = -1;
                --open_fds;
                continue;
            }
            text[i]->append(buf, static_cast<std::size_t>(r));
        }
    }
    for (pollfd& x : p)
        if (x.fd >= 0) ::close(x.fd);
    if (timed_out) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timed_out) {
        res.rc = -1;
        res.out += "\n[timed out: " + args[0] + "]\n";
        return res;
    }
    res.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return res;
}

// A process that is gone or only waits to be reaped.
bool gone(pid_t pid) {
    if (pid <= 0 || ::kill(pid, 0) != 0) return true;
    std::string stat = read_file(std::string("/proc/") + std::to_string(pid) + "/stat");
    std::size_t paren = stat.rfind(')');
    return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] == 'Z';
}

bool wait_gone(pid_t pid, int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!gone(pid)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

pid_t status_pid(const std::string& status) {
    std::size_t at = status.find("fed pid: ");
    return at == std::string::npos ? 0 : static_cast<pid_t>(std::atoi(status.c_str() + at + 9));
}

}  // namespace

std::string bin(const char* name) {
    return std::string(FED_BIN_DIR) + "/" + name;
}

Ap::Ap(std::vector<std::string> apsim_args, std::vector<std::string> launcher)
    : launcher_(std::move(launcher)) {
    char tmpl[] = "/tmp/fedap.XXXXXX";
    if (!::mkdtemp(tmpl)) {
        ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
        return;
    }
    dir_ = tmpl;
    std::vector<std::string> args = launcher_;
    args.insert(args.end(), {bin("apsim"), "-d", dir_, "--daemon"});
    args.insert(args.end(), apsim_args.begin(), apsim_args.end());
    Result r = run(args, 20000);
    if (r.rc != 0) {
        ADD_FAILURE() << "apsim did not start (rc " << r.rc << "):\n"
                      << read_file(dir_ + "/apsim.log");
        return;
    }
    if (!wait_running())
        ADD_FAILURE() << "fed did not come up in " << dir_ << ":\n"
                      << ctl("platform status").out << "--- fed.out\n"
                      << read_file(dir_ + "/fed.out") << "--- messages\n"
                      << log();
}

Ap::~Ap() {
    if (dir_.empty()) return;
    pid_t apsim = static_cast<pid_t>(std::atoi(read_file(dir_ + "/apsim.pid").c_str()));
    // A test may have shut the access point down itself.
    if (apsim > 0 && !gone(apsim)) {
        pid_t fed = status_pid(ctl("platform status").out);
        Result r = ctl("platform shutdown");
        if (r.rc != 0 || !wait_gone(apsim, 10000)) {
            ADD_FAILURE() << "apsim did not shut down: " << r.out;
            ::kill(apsim, SIGKILL);
        }
        if (!wait_gone(fed, 5000)) ::kill(fed, SIGKILL);
    }
    if (::testing::Test::HasFailure()) {
        std::fprintf(stderr, "[ap] run directory kept: %s\n", dir_.c_str());
        return;
    }
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

Result Ap::start() {
    std::vector<std::string> args = launcher_;
    args.insert(args.end(), {bin("apsim"), "-d", dir_, "--daemon", "--clock", "driven"});
    return run(args, 20000);
}

void Ap::kill() {
    pid_t fed = status_pid(ctl("platform status").out);
    pid_t apsim = static_cast<pid_t>(std::atoi(read_file(dir_ + "/apsim.pid").c_str()));
    for (pid_t p : {apsim, fed})
        if (p > 0) ::kill(p, SIGKILL);
    if (!wait_gone(apsim, 5000) || !wait_gone(fed, 5000)) ADD_FAILURE() << "still running";
}

Result Ap::ctl(const std::string& line) {
    // The words as fedctl quotes them ("My SSID" is one word), so that fedctl,
    // which joins its arguments, sends the line unchanged.
    std::vector<std::string> args = {bin("fedctl"), "-d", dir_}, words;
    cmdtbl::split_line(line, words);
    args.insert(args.end(), words.begin(), words.end());
    return run(args, kCtlTimeoutMs);
}

Result Ap::ctl_file(const std::string& text) {
    static int serial = 0;
    std::string path = dir_ + std::string("/ctl-") + std::to_string(++serial) + ".txt";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    return run({bin("fedctl"), "-d", dir_, "-f", path}, kCtlTimeoutMs);
}

bool Ap::wait_running(int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        Result r = ctl("platform status");
        if (r.rc == 0 && r.out.find("fed state: running\n") != std::string::npos &&
            r.out.find("initialized: yes\n") != std::string::npos)
            return true;
        if (r.out.find("gave up") != std::string::npos) return false;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string Ap::log() {
    return read_file(dir_ + "/messages");
}

}  // namespace testap
