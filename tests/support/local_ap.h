// A simulated access point inside a unit test: the platform library answers
// from an in-process Core (FE model, tables, event log) instead of apsim, with
// a fresh temporary run directory. One at a time per process.
#pragma once

#include <cstdint>
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

    // Forgets the logs (events, kernel requests, FE calls, shell commands).
    void clear_logs();

   private:
    std::string dir_;
    std::unique_ptr<sim::Core> core_;
};

}  // namespace testap
