// Integration-test harness: a real simulated access point (apsim + fed) in a
// fresh run directory, driven through the real fedctl.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace testap {

struct Result {
    int rc;                // fedctl's exit status
    std::string out;       // what fedctl printed on stdout, byte for byte
    std::string err = {};  // what it printed on stderr
};

class Ap {
   public:
    // Starts `apsim -d DIR --daemon` with extra arguments (default: driven clock)
    // and waits until fed reports running with "FED module initialized" logged.
    // `launcher` comes before apsim's command (e.g. ip netns exec NS).
    explicit Ap(std::vector<std::string> apsim_args = {"--clock", "driven"},
                std::vector<std::string> launcher = {});
    ~Ap();  // platform shutdown, then removes the run directory
    Ap(const Ap&) = delete;
    Ap& operator=(const Ap&) = delete;

    const std::string& dir() const { return dir_; }
    // Another `apsim -d DIR --daemon` (driven clock) on the same directory.
    Result start();
    Result ctl(const std::string& line);        // fedctl -d DIR LINE (one shot)
    Result ctl_file(const std::string& text);   // fedctl -d DIR -f FILE with these lines
    bool wait_running(int timeout_ms = 10000);  // fed running and initialized
    std::string log();                          // DIR/messages
    // Kills apsim and fed at once, as a power cut would; the destructor then
    // only removes the directory.
    void kill();

   private:
    std::string dir_;
    std::vector<std::string> launcher_;
};

std::string bin(const char* name);  // FED_BIN_DIR/name

// The line `replay --json` prints: packets, control packets per ALG (ftp,
// tftp, sip, dns), gates opened and deleted, flows admitted, and the inside
// of the list of flows without a gate.
inline std::string replay_json(int packets, std::array<int, 4> control, int opened, int deleted,
                               int admitted, const std::string& unadmitted = "") {
    auto n = [](int v) { return std::to_string(v); };
    return R"({"packets":)" + n(packets) + R"(,"control":{"ftp":)" + n(control[0]) + R"(,"tftp":)" +
           n(control[1]) + R"(,"sip":)" + n(control[2]) + R"(,"dns":)" + n(control[3]) +
           R"(},"gates_opened":)" + n(opened) + R"(,"gates_deleted":)" + n(deleted) +
           R"(,"flows_admitted":)" + n(admitted) + R"(,"flows_unadmitted":[)" + unadmitted + "]}\n";
}

// The counts replay has always given, cut before the ones added since.
inline std::string replay_head(const std::string& out) {
    std::size_t end = out.find(R"(,"flows_admitted_on_retry")");
    return end == std::string::npos ? out : out.substr(0, end) + "}\n";
}

}  // namespace testap
