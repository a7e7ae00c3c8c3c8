#include "tests/support/local_ap.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "platform/backend.h"

namespace testap {

namespace {

constexpr const char* kOpNames[] = {"PmInit", "PmSetState", "PmCleanup", "DcdInit",  "DcdCleanup",
                                    "Dcd",    "EventSend",  "MpiOpen",   "MpiClose", "MpiSend",
                                    "Fe",     "FeIoctl",    "System",    "Tpa"};

}  // namespace

struct CallLog {
    static void call(proto::Op op, std::span<const std::uint8_t> req, wire::Writer& reply,
                     void* ctx) {
        auto& ap = *static_cast<LocalAp*>(ctx);
        if (auto it = ap.answers_.find(op); it != ap.answers_.end()) {
            wire::Reader r(req);
            it->second(r, reply);
            return;
        }
        auto n = static_cast<std::size_t>(op) - static_cast<std::size_t>(proto::Op::PmInit);
        if (n < std::size(kOpNames)) {
            std::string name = kOpNames[n];
            if (op == proto::Op::Dcd) name += ":" + wire::Reader(req).str();
            {
                std::lock_guard lock(ap.core_->mu);
                ap.calls_.push_back(name);
            }
            std::ofstream(ap.dir_ + "/calls", std::ios::app) << name << "\n";
        }
        sim::core_call(*ap.core_, op, req, reply);
    }
};

LocalAp::LocalAp() : core_(std::make_unique<sim::Core>()) {
    char tmpl[] = "/tmp/fedlocal.XXXXXX";
    if (::mkdtemp(tmpl))
        dir_ = tmpl;
    else
        std::perror("mkdtemp");
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::create_directories(dir_ + "/tmp", ec);
    sim::core_init(*core_, dir_);
    plat::set_local_backend(CallLog::call, this);
    plat::set_run_dir(dir_);
}

LocalAp::~LocalAp() {
    plat::set_local_backend(nullptr, nullptr);
    plat::set_run_dir("");
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

std::vector<sim::Event> LocalAp::events_sent() {
    std::lock_guard lock(core_->mu);
    std::vector<sim::Event> out;
    for (const sim::LoggedEvent& e : core_->events)
        if (e.origin == sim::Origin::Fed) out.push_back(e.ev);
    return out;
}

std::vector<fem::KernelRequest> LocalAp::kernel_requests() {
    std::lock_guard lock(core_->mu);
    return {core_->fe.requests.begin(), core_->fe.requests.end()};
}

std::size_t LocalAp::reply_violations() {
    std::lock_guard lock(core_->mu);
    return core_->fe.reply_violations;
}

std::vector<fem::FeCall> LocalAp::fe_calls() {
    std::lock_guard lock(core_->mu);
    return {core_->fe.fe_calls.begin(), core_->fe.fe_calls.end()};
}

std::vector<std::string> LocalAp::system_commands() {
    std::lock_guard lock(core_->mu);
    std::vector<std::string> out;
    for (const sim::SystemCmd& c : core_->system) out.push_back(c.command);
    return out;
}

std::vector<std::string> LocalAp::unknown_calls() {
    std::lock_guard lock(core_->mu);
    return core_->unknown_calls;
}

std::uint32_t LocalAp::fe_value(std::uint16_t id) {
    std::lock_guard lock(core_->mu);
    std::uint32_t v = 0;
    return fem::setting_value(core_->fe, id, &v) ? v : ~0u;
}

bool LocalAp::set_fe_value(std::uint16_t id, std::uint32_t value) {
    std::lock_guard lock(core_->mu);
    return fem::setting_force(core_->fe, id, value);
}

std::uint32_t LocalAp::notify_interval() {
    std::lock_guard lock(core_->mu);
    return core_->fe.notify_interval;
}

void LocalAp::fault(const std::string& name, int rc, int count) {
    std::lock_guard lock(core_->mu);
    fem::fault_arm(core_->faults, name, rc, count);
}

void LocalAp::fault_clear(const std::string& name) {
    std::lock_guard lock(core_->mu);
    fem::fault_clear(core_->faults, name);
}

void LocalAp::clear_logs() {
    std::lock_guard lock(core_->mu);
    core_->events.clear();
    core_->fe.requests.clear();
    core_->fe.reply_violations = 0;
    core_->fe.fe_calls.clear();
    core_->fe.ioctls.clear();
    core_->system.clear();
    core_->unknown_calls.clear();
    calls_.clear();
}

std::vector<std::string> LocalAp::take_calls() {
    std::lock_guard lock(core_->mu);
    return std::exchange(calls_, {});
}

std::vector<std::string> LocalAp::call_file() {
    std::ifstream in(dir_ + "/calls");
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<fem::IoctlRequest> LocalAp::ioctls() {
    std::lock_guard lock(core_->mu);
    return {core_->fe.ioctls.begin(), core_->fe.ioctls.end()};
}

std::string LocalAp::log() {
    std::ifstream in(dir_ + "/messages", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace testap
