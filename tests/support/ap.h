// Integration-test harness: a real simulated access point (apsim + fed) in a
// fresh run directory, driven through the real fedctl.
#pragma once

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
    explicit Ap(std::vector<std::string> apsim_args = {"--clock", "driven"});
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

   private:
    std::string dir_;
};

std::string bin(const char* name);  // FED_BIN_DIR/name

}  // namespace testap
