// apsim, the process: the socket, the connections of fed and fedctl, the
// supervision of fed, and the links on which apsim asks fed (CLI, TIMER).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sim/clock.h"
#include "sim/core.h"

namespace sim {

struct Frame {
    proto::Op op;
    std::vector<std::uint8_t> payload;
};

// A connection on which apsim sends requests to fed and fed answers (CLI, TIMER).
struct Link {
    int fd = -1;
    std::uint32_t pid = 0;
    std::mutex request_mu;  // one request at a time
    std::mutex mu;          // guards replies and closed
    std::condition_variable cv;
    std::deque<Frame> replies;
    bool closed = false;
};

struct DebugFlagReg {
    std::string module;
    std::string name;
    std::uint32_t bit;
    std::uint32_t lib;
};

enum class FedState { Stopped, Starting, Running, Crashed };

// The process monitor's view of fed.
struct Supervisor {
    std::mutex mu;
    std::condition_variable cv;
    pid_t pid = 0;
    bool wanted = false;   // fed should be running
    bool restart = false;  // the running fed is being killed to be started again
    bool quit = false;
    bool gave_up = false;  // too many deaths before reaching running
    bool crashed = false;  // died on its own; a restart is pending
    int deaths = 0;        // consecutive deaths before reaching running
    int starts = 0;
    bool has_exit = false;
    int exit_status = 0;  // waitpid status of the last fed that ended
    std::chrono::steady_clock::time_point start_at{};
    long long log_offset = 0;   // size of DIR/messages when the current fed started
    std::size_t log_lines = 0;  // Core::log lines when the current fed started
    std::thread thread;
};

inline constexpr int kMaxEarlyDeaths = 5;

struct Options {
    std::string dir;
    bool daemon = false;
    bool driven = false;
    int hc_port = 0;
    std::string hc_addr = "127.0.0.1";  // where the neighbour link listens
    std::vector<std::string> nbrs;      // "host port"
};

struct Server {
    std::string dir;
    std::string fed_path;  // fed beside the apsim binary
    Core core;
    Clock clock;
    int listen_fd = -1;
    Supervisor sup;
    std::timed_mutex replay_mu;  // one replay at a time: they share the FE's flows and counters
    std::mutex config_mu;        // guards the two below
    std::string saved_config;    // the running configuration as last saved or applied
    bool saved_known = false;    // set once the startup configuration was handled
    struct ReplayNow {           // what the running replay has done, for "platform replay"
        std::mutex mu;
        std::string file;  // "" when none runs
        std::uint64_t packets = 0;
    } replay_now;

    std::mutex links_mu;  // guards everything below
    std::shared_ptr<Link> cli;
    std::shared_ptr<Link> timer;
    std::vector<std::uint32_t> cli_vectors;
    std::vector<DebugFlagReg> cli_flags;
    std::set<int> fed_fds;  // CLI and EVENT connections, shut down to stop fed
};

// Prepares DIR and its files (socket not yet). False with a message on stderr.
bool server_prepare(Server& s, const Options& o);
// Creates DIR/apsim.sock (mode 0600) and listens.
bool server_listen(Server& s);
// Accepts connections until the process ends.
void server_run(Server& s);
// Ends apsim: removes the socket and exits the process.
[[noreturn]] void server_exit(Server& s, int status);

// ---- requests to fed (link.cpp) ----

// Sends a request on fed's CLI or TIMER link and waits for the frame with op
// `end`; frames before it go to `each`. False when there is no link, it
// closed, or no answer came within timeout_ms.
bool link_request(Server& s, proto::Kind kind, proto::Op op, std::span<const std::uint8_t> payload,
                  proto::Op end, const std::function<void(const Frame&)>& each, Frame& answer,
                  int timeout_ms);

// ---- supervision (supervisor.cpp) ----

void supervisor_start(Server& s);
// Kills fed (SIGKILL) and starts it again; also starts a stopped or given-up fed.
// Waits until the new process exists; returns its pid (0 when none could start).
pid_t supervisor_restart(Server& s, int timeout_ms);
// Stops fed cleanly (its CLI and EVENT connections are shut down), killing it
// after timeout_ms. Returns the waitpid status text ("exit 0", "signal 9").
std::string supervisor_stop(Server& s, int timeout_ms);
FedState fed_state(Server& s, pid_t* pid);
std::string exit_text(int status);

}  // namespace sim
