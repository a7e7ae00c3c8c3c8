#include "tests/support/local_ap.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>

#include "platform/backend.h"

namespace testap {

namespace {

void local_call(proto::Op op, std::span<const std::uint8_t> req, wire::Writer& reply, void* ctx) {
    sim::core_call(*static_cast<sim::Core*>(ctx), op, req, reply);
}

}  // namespace

LocalAp::LocalAp() : core_(std::make_unique<sim::Core>()) {
    char tmpl[] = "/tmp/fedlocal.XXXXXX";
    if (::mkdtemp(tmpl))
        dir_ = tmpl;
    else
        std::perror("mkdtemp");
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::create_directories(dir_ + "/tmp", ec);
    sim::core_init(*core_, dir_);
    plat::set_local_backend(local_call, core_.get());
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
}

}  // namespace testap
