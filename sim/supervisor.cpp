// The process monitor: starts fed, reaps it, and starts it again after a
// crash, giving up after kMaxEarlyDeaths deaths in a row before it ran.
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "sim/server.h"

extern char** environ;

namespace sim {

namespace {

inline constexpr auto kRestartDelay = std::chrono::milliseconds(200);

long long file_size(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
}

bool reached_running(Core& c) {
    std::lock_guard lock(c.mu);
    return c.pm.has_state && c.pm.state == kPmRunning;
}

// Starts fed with QZ_RUN_DIR; its output goes to DIR/fed.out. Holds sup.mu.
pid_t spawn_fed(Server& s) {
    core_fed_started(s.core);
    s.sup.log_offset = file_size(s.dir + "/" + proto::kLogName);
    {
        std::lock_guard lock(s.core.mu);
        s.sup.log_lines = s.core.log.total();
    }
    std::vector<std::string> env;
    std::string prefix = std::string(proto::kEnvRunDir) + "=";
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, prefix.c_str(), prefix.size()) != 0) env.emplace_back(*e);
    env.push_back(prefix + s.dir);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>("fed"), nullptr};

    std::string out = s.dir + "/fed.out";
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    // fed gets a clean signal state: nothing blocked, SIGPIPE as the system sets it.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, def;
    sigemptyset(&none);
    sigemptyset(&def);
    sigaddset(&def, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &def);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    int err = posix_spawn(&pid, s.fed_path.c_str(), &fa, &attr, argv, envp.data());
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    if (err != 0) {
        std::fprintf(stderr, "apsim: cannot start %s: %s\n", s.fed_path.c_str(),
                     std::strerror(err));
        return 0;
    }
    ++s.sup.starts;
    return pid;
}

void supervise(Server& s) {
    Supervisor& v = s.sup;
    std::unique_lock lock(v.mu);
    while (!v.quit) {
        if (!v.wanted) {
            v.cv.wait(lock);
            continue;
        }
        if (std::chrono::steady_clock::now() < v.start_at) {
            v.cv.wait_until(lock, v.start_at);
            continue;
        }
        v.crashed = false;
        v.pid = spawn_fed(s);
        v.cv.notify_all();
        if (v.pid == 0) {
            v.wanted = false;
            v.gave_up = true;
            continue;
        }
        pid_t pid = v.pid;
        lock.unlock();
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        bool ran = reached_running(s.core);
        lock.lock();
        v.pid = 0;
        v.has_exit = true;
        v.exit_status = status;
        if (v.restart) {
            v.restart = false;
            v.deaths = 0;
            v.start_at = std::chrono::steady_clock::now();
        } else if (v.wanted) {
            v.deaths = ran ? 0 : v.deaths + 1;
            if (v.deaths >= kMaxEarlyDeaths) {
                v.wanted = false;
                v.gave_up = true;
            } else {
                v.crashed = true;
                v.start_at = std::chrono::steady_clock::now() + kRestartDelay;
            }
            std::fprintf(stderr, "apsim: fed %d ended (%s)%s\n", static_cast<int>(pid),
                         exit_text(status).c_str(), v.gave_up ? ", giving up" : "");
        }
        v.cv.notify_all();
    }
}

}  // namespace

std::string exit_text(int status) {
    if (WIFEXITED(status)) return std::string("exit ") + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return std::string("signal ") + std::to_string(WTERMSIG(status));
    return std::string("status ") + std::to_string(status);
}

void supervisor_start(Server& s) {
    {
        std::lock_guard lock(s.sup.mu);
        s.sup.wanted = true;
        s.sup.start_at = std::chrono::steady_clock::now();
    }
    s.sup.thread = std::thread(supervise, std::ref(s));
}

pid_t supervisor_restart(Server& s, int timeout_ms) {
    Supervisor& v = s.sup;
    std::unique_lock lock(v.mu);
    int starts = v.starts;
    if (v.pid > 0) {
        v.restart = true;
        ::kill(v.pid, SIGKILL);
    } else {
        v.wanted = true;
        v.gave_up = false;
        v.deaths = 0;
        v.start_at = std::chrono::steady_clock::now();
    }
    v.cv.notify_all();
    v.cv.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                  [&] { return v.quit || v.gave_up || (v.starts > starts && v.pid > 0); });
    return v.starts > starts ? v.pid : 0;
}

std::string supervisor_stop(Server& s, int timeout_ms) {
    Supervisor& v = s.sup;
    std::unique_lock lock(v.mu);
    v.wanted = false;
    v.crashed = false;
    v.cv.notify_all();
    if (v.pid == 0) return "not running";
    {
        // fed's CLI agent and event threads end at end of stream; fed then shuts down.
        std::lock_guard links(s.links_mu);
        for (int fd : s.fed_fds) ::shutdown(fd, SHUT_RDWR);
    }
    auto gone = [&] { return v.pid == 0; };
    if (!v.cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), gone)) {
        ::kill(v.pid, SIGKILL);
        v.cv.wait_for(lock, std::chrono::seconds(5), gone);
        if (v.pid != 0) return "did not end";
        return exit_text(v.exit_status) + std::string(", killed after ") +
               std::to_string(timeout_ms) + " ms";
    }
    return exit_text(v.exit_status);
}

FedState fed_state(Server& s, pid_t* pid) {
    bool crashed;
    bool wanted;
    {
        std::lock_guard lock(s.sup.mu);
        *pid = s.sup.pid;
        crashed = s.sup.gave_up || s.sup.crashed;
        wanted = s.sup.wanted;
    }
    if (*pid > 0) return reached_running(s.core) ? FedState::Running : FedState::Starting;
    if (crashed) return FedState::Crashed;
    return wanted ? FedState::Starting : FedState::Stopped;
}

}  // namespace sim
