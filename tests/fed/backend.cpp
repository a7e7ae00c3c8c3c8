#include "tests/fed/backend.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

namespace fedtest {
namespace {

const char* op_name(proto::Op op) {
    switch (op) {
        case proto::Op::PmInit:
            return "PmInit";
        case proto::Op::PmSetState:
            return "PmSetState";
        case proto::Op::PmCleanup:
            return "PmCleanup";
        case proto::Op::DcdInit:
            return "DcdInit";
        case proto::Op::DcdCleanup:
            return "DcdCleanup";
        case proto::Op::EventSend:
            return "EventSend";
        case proto::Op::MpiOpen:
            return "MpiOpen";
        case proto::Op::MpiClose:
            return "MpiClose";
        case proto::Op::MpiSend:
            return "MpiSend";
        case proto::Op::Fe:
            return "Fe";
        case proto::Op::FeIoctl:
            return "FeIoctl";
        case proto::Op::System:
            return "System";
        case proto::Op::Log:
            return "Log";
        default:
            return "Other";
    }
}

// Every call is also appended to DIR/calls, so a test sees the calls of a
// forked child that ended abnormally.
struct CallLog {
    Backend& b;
    std::size_t before;
    ~CallLog() {
        std::ofstream out(b.dir + "/calls", std::ios::app);
        for (std::size_t i = before; i < b.calls.size(); ++i) out << b.calls[i] << "\n";
    }
};

void answer(proto::Op op, std::span<const std::uint8_t> req, wire::Writer& reply, void* ctx) {
    auto& b = *static_cast<Backend*>(ctx);
    std::lock_guard lock(b.mu);
    CallLog call_log{b, b.calls.size()};
    wire::Reader r(req);
    auto fault_rc = [&](const std::string& name, int* rc) {
        auto it = b.faults.find(name);
        if (it == b.faults.end()) return false;
        *rc = it->second;
        return true;
    };
    int rc = 0;
    if (op == proto::Op::Fault) {
        std::string name = r.str();
        bool armed = fault_rc(name, &rc);
        if (armed) b.calls.push_back("Fault:" + name);
        reply.hi32(armed ? rc : 0).h32(armed ? 1 : 0);
        return;
    }
    if (op == proto::Op::Log) {
        reply.hi32(0);
        return;
    }
    std::string name = op_name(op);
    switch (op) {
        case proto::Op::PmInit:
            b.calls.push_back(name);
            if (!fault_rc("qz_pm_init", &rc)) rc = 0;
            reply.hi32(rc);
            return;
        case proto::Op::DcdInit:
            b.calls.push_back(name);
            if (!fault_rc("qz_dcd_lib_init", &rc)) rc = 0;
            reply.hi32(rc);
            return;
        case proto::Op::MpiOpen:
            b.calls.push_back(name);
            if (!fault_rc("qz_mpi_open", &rc)) rc = b.next_handle;
            reply.hi32(rc);
            return;
        case proto::Op::Dcd: {
            std::string fn = r.str();
            auto args = r.blob();
            b.calls.push_back("Dcd:" + fn);
            wire::Reader a(args);
            std::string ifname = a.str();
            bool known = b.known_ifs.count(ifname) > 0;
            wire::Writer out;
            out.str(ifname);
            reply.hi32(known ? 0 : -1).blob(out.span());
            return;
        }
        case proto::Op::EventSend: {
            std::uint32_t ev = r.h32();
            auto p = r.blob();
            b.calls.push_back(name);
            b.events.push_back({ev, {p.begin(), p.end()}});
            reply.hi32(0);
            return;
        }
        case proto::Op::MpiSend: {
            r.hi32();
            auto header = r.blob();
            std::uint16_t code = r.h16();
            auto record = r.blob();
            auto area = r.blob();
            b.calls.push_back(name);
            KernelRequest k{{header.begin(), header.end()},
                            code,
                            {record.begin(), record.end()},
                            std::all_of(area.begin(), area.end(), [](auto c) { return c == 0; })};
            b.kernel.push_back(k);
            std::vector<std::uint8_t> rec(record.begin(), record.end());
            if (rec.size() >= 4) wire::store_h<std::int32_t>(rec.data(), b.kernel_result);
            if (!fault_rc("kcode:" + std::to_string(code), &rc)) rc = 0;
            reply.hi32(rc).blob(rec).blob(area);
            return;
        }
        default:
            b.calls.push_back(name);
            reply.hi32(0);
            return;
    }
}

}  // namespace

Backend::Backend() {
    char tmpl[] = "/tmp/fedtest.XXXXXX";
    dir = mkdtemp(tmpl);
    std::filesystem::create_directories(dir + "/proc/net");
    std::filesystem::create_directories(dir + "/tmp");
    plat::set_run_dir(dir);
    plat::set_local_backend(answer, this);
}

Backend::~Backend() {
    plat::set_local_backend(nullptr, nullptr);
    plat::set_run_dir("");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

std::string Backend::log() {
    std::ifstream in(dir + "/messages");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> Backend::call_file() {
    std::ifstream in(dir + "/calls");
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<std::string> Backend::take_calls() {
    std::lock_guard lock(mu);
    return std::exchange(calls, {});
}

std::vector<SentEvent> Backend::take_events() {
    std::lock_guard lock(mu);
    return std::exchange(events, {});
}

}  // namespace fedtest
