// The one stand-in for apsim in unit tests: the platform library answers from
// an in-process Core (FE model, tables, event log) instead of apsim, with a
// fresh temporary run directory. One at a time per process.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/core.h"

namespace testap {

class LocalAp {
   public:
    LocalAp();   // installs the local backend and the run directory
    ~LocalAp();  // restores the socket transport and removes the directory
    LocalAp(const LocalAp&) = delete;
    LocalAp& operator=(const LocalAp&) = delete;

    sim::Core& core() { return *core_; }
    const std::string& dir() const { return dir_; }

    // Snapshots taken under the core lock.
    std::vector<sim::Event> events_sent();  // what fed published, in order
    std::vector<fem::KernelRequest> kernel_requests();
    std::size_t reply_violations();
    std::vector<fem::FeCall> fe_calls();
    std::vector<std::string> system_commands();
    std::vector<std::string> unknown_calls();

    // An FE scalar by set or read number; -1u for a number the FE does not have.
    std::uint32_t fe_value(std::uint16_t id);
    bool set_fe_value(std::uint16_t id, std::uint32_t value);
    std::uint32_t notify_interval();

    // Makes platform call `name` ("qz_pm_init", "fe_get_int_value:58", "kcode:141") fail.
    void fault(const std::string& name, int rc, int count = -1);
    void fault_clear(const std::string& name = "");

    // Forgets the logs (events, kernel requests, FE calls, ioctls, shell commands, calls).
    void clear_logs();

    // The platform calls in their order ("PmInit", "MpiOpen", "Dcd:NAME", ...;
    // not fault queries and log copies). Also kept in DIR/calls, so that the
    // calls of a forked child that died can be read back with call_file().
    std::vector<std::string> take_calls();
    std::vector<std::string> call_file();
    std::vector<fem::IoctlRequest> ioctls();
    std::string log();  // DIR/messages

    // Answers `op` with `fn` instead of the core, for a test of the library's
    // edge (an answer longer than asked, a scripted kernel). Call before use.
    using Answer = std::function<void(wire::Reader& req, wire::Writer& reply)>;
    void answer(proto::Op op, Answer fn) { answers_[op] = std::move(fn); }

   private:
    friend struct CallLog;
    std::string dir_;
    std::vector<std::string> calls_;
    std::map<proto::Op, Answer> answers_;
    std::unique_ptr<sim::Core> core_;
};

}  // namespace testap
