// CALL requests of the platform library, answered from the Core.
#include "sim/core.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace sim {

namespace {

using OpFn = void (*)(Core& c, wire::Reader& r, wire::Writer& w);

bool faulted(Core& c, std::string_view name, int* rc) {
    return fem::fault_take(c.faults, name, rc);
}

void unknown_call(Core& c, std::string what) {
    // Bounded: a misbehaving client cannot grow it without end.
    if (c.unknown_calls.size() < 1000) c.unknown_calls.push_back(std::move(what));
}

// str name -> i32 rc, u32 armed
void op_fault(Core& c, wire::Reader& r, wire::Writer& w) {
    std::string name = r.str();
    int rc = 0;
    bool armed = r.ok() && faulted(c, name, &rc);
    w.hi32(armed ? rc : 0).h32(armed ? 1 : 0);
}

// u32 module -> i32 rc
void op_pm_init(Core& c, wire::Reader& r, wire::Writer& w) {
    std::uint32_t module = r.h32();
    int rc = 0;
    if (!r.ok())
        rc = -1;
    else if (!faulted(c, "qz_pm_init", &rc)) {
        c.pm.registered = true;
        c.pm.module = module;
    }
    w.hi32(rc);
}

// u32 module, u32 state -> i32 rc
void op_pm_setstate(Core& c, wire::Reader& r, wire::Writer& w) {
    std::uint32_t module = r.h32();
    std::uint32_t state = r.h32();
    int rc = 0;
    if (!r.ok())
        rc = -1;
    else if (!faulted(c, "qz_pm_setstate", &rc)) {
        c.pm.module = module;
        c.pm.has_state = true;
        c.pm.state = state;
    }
    w.hi32(rc);
}

// u32 module -> i32 rc
void op_pm_cleanup(Core& c, wire::Reader& r, wire::Writer& w) {
    r.h32();
    int rc = 0;
    if (!r.ok())
        rc = -1;
    else if (!faulted(c, "qz_pm_cleanup", &rc)) {
        c.pm.registered = false;
        c.pm.cleaned = true;
    }
    w.hi32(rc);
}

void op_dcd_init(Core& c, wire::Reader&, wire::Writer& w) {
    int rc = 0;
    if (!faulted(c, "qz_dcd_lib_init", &rc)) c.dcd_attached = true;
    w.hi32(rc);
}

void op_dcd_cleanup(Core& c, wire::Reader&, wire::Writer& w) {
    int rc = 0;
    if (!faulted(c, "qz_dcd_lib_cleanup", &rc)) c.dcd_attached = false;
    w.hi32(rc);
}

using NamedFn = int (*)(Core& c, std::string_view fn, std::span<const std::uint8_t> args,
                        std::vector<std::uint8_t>& out);

// str fn, blob args -> i32 rc, blob out
void named_call(Core& c, wire::Reader& r, wire::Writer& w, const char* family, NamedFn call) {
    std::string fn = r.str();
    auto args = r.blob();
    std::vector<std::uint8_t> out;
    int rc = -1;
    if (r.ok() && !faulted(c, fn, &rc)) {
        rc = call(c, fn, args, out);
        if (rc == kNoSuchCall) {
            unknown_call(c, std::string(family) + ":" + fn);
            rc = -1;
            out.clear();
        }
    }
    w.hi32(rc).blob(out);
}

void op_dcd(Core& c, wire::Reader& r, wire::Writer& w) {
    named_call(c, r, w, "Dcd", dcd_call_locked);
}
void op_tpa(Core& c, wire::Reader& r, wire::Writer& w) {
    named_call(c, r, w, "Tpa", tpa_call_locked);
}

// u32 event, blob payload -> i32 rc
void op_event_send(Core& c, wire::Reader& r, wire::Writer& w) {
    std::uint32_t event = r.h32();
    auto payload = r.blob();
    int rc = 0;
    if (!r.ok())
        rc = -1;
    else if (!fem::fault_take_id(c.faults, "qz_event_send", event, &rc))
        bus_publish_locked(
            c, Origin::Fed,
            Event{0, event, std::vector<std::uint8_t>(payload.begin(), payload.end())});
    w.hi32(rc);
}

// u32 module -> i32 handle
void op_mpi_open(Core& c, wire::Reader& r, wire::Writer& w) {
    r.h32();
    int rc = -1;
    if (r.ok() && !faulted(c, "qz_mpi_open", &rc)) {
        rc = c.next_mpi_handle++;
        c.mpi_handles.insert(rc);
    }
    w.hi32(rc);
}

// i32 handle -> i32 rc
void op_mpi_close(Core& c, wire::Reader& r, wire::Writer& w) {
    std::int32_t handle = r.hi32();
    int rc = -1;
    if (r.ok() && !faulted(c, "qz_mpi_close", &rc)) rc = c.mpi_handles.erase(handle) ? 0 : -1;
    w.hi32(rc);
}

// i32 handle, blob header, u16 code, blob record, blob reply area
//   -> i32 rc, blob record, blob reply area
void op_mpi_send(Core& c, wire::Reader& r, wire::Writer& w) {
    std::int32_t handle = r.hi32();
    auto header = r.blob();
    std::uint16_t code = r.h16();
    auto record_in = r.blob();
    auto reply = r.blob();
    std::vector<std::uint8_t> record(record_in.begin(), record_in.end());
    int rc = -1;
    if (r.ok() && !fem::fault_take_id(c.faults, "qz_mpi_sendto_kernel", code, &rc) &&
        c.mpi_handles.count(handle)) {
        fem::kernel_request(c.fe, c.faults, code, header, record, reply);
        dcd_up_after_kernel_locked(c, code, record);
        rc = 0;
    }
    w.hi32(rc).blob(record).blob(reply);
}

// Gates age out in FE time, which follows the access point's clock.
void fe_time(Core& c) {
    if (c.clock_ms) fem::alg_set_time(c.fe, c.clock_ms());
}

// u32 fn, blob args -> i32 rc, blob out
void op_fe(Core& c, wire::Reader& r, wire::Writer& w) {
    auto fn = static_cast<proto::FeFn>(r.h32());
    auto args = r.blob();
    wire::Reader a(args);
    int rc = -1;
    std::vector<std::uint8_t> out;
    if (fn == proto::FeFn::SetBoolean || fn == proto::FeFn::SetInt) {
        std::uint32_t value = a.h32();
        std::uint32_t id = a.h32();
        std::string text = a.str();
        if (r.ok() && a.ok()) rc = fem::fe_set(c.fe, c.faults, fn, id, value, text);
    } else if (fn == proto::FeFn::GetBoolean || fn == proto::FeFn::GetInt) {
        std::uint32_t id = a.h32();
        std::string text = a.str();
        std::uint32_t value = 0;
        fe_time(c);
        if (r.ok() && a.ok()) rc = fem::fe_get(c.fe, c.faults, fn, id, text, &value);
        if (rc >= 0) {
            out.resize(4);
            wire::store_h<std::uint32_t>(out.data(), value);
        }
    } else if (fn == proto::FeFn::IpGateTable) {
        std::uint32_t index = a.h32();
        std::uint32_t max = a.h32();
        std::vector<std::uint8_t> entries;
        std::uint32_t n = 0;
        if (r.ok() && a.ok()) {
            fe_time(c);
            rc = fem::gate_table_read(c.fe, c.faults, index, max, entries, &n);
        }
        if (rc >= 0) {
            out.resize(4);
            wire::store_h<std::uint32_t>(out.data(), n);
            out.insert(out.end(), entries.begin(), entries.end());
        }
    } else if (r.ok()) {
        bool known = false;
        fe_time(c);
        rc = fem::fe_session_call(c.fe, c.faults, fn, args, out, &known);
        if (!known) rc = fem::fe_ops_call(c.fe, c.faults, fn, args, out, &known);
        if (!known) rc = fem::fe_table_call(c.fe, c.faults, fn, args, out, &known);
        if (!known) rc = fem::fe_acl_call(c.fe, c.faults, fn, args, out, &known);
        if (!known) rc = fem::fe_mac_acl_call(c.fe, c.faults, fn, args, out, &known);
        if (!known) rc = fem::fe_binding_call(c.fe, c.faults, fn, args, out, &known);
        if (!known) rc = fem::fe_counter_call(c.fe, c.faults, fn, args, out, &known);
        if (!known) rc = fem::fe_qos_call(c.fe, c.faults, fn, args, out, &known);
        if (!known)
            unknown_call(c, std::string("Fe:") + std::to_string(static_cast<std::uint32_t>(fn)));
    }
    w.hi32(rc).blob(out);
}

// u32 request, blob envelope -> i32 rc, blob envelope
void op_fe_ioctl(Core& c, wire::Reader& r, wire::Writer& w) {
    std::uint32_t request = r.h32();
    auto in = r.blob();
    std::vector<std::uint8_t> env(in.begin(), in.end());
    fe_time(c);
    int rc = r.ok() ? fem::fe_ioctl(c.fe, c.faults, request, env) : -1;
    w.hi32(rc).blob(env);
}

// u32 level, str line -> i32 rc
void op_log(Core& c, wire::Reader& r, wire::Writer& w) {
    std::uint32_t level = r.h32();
    std::string line = r.str();
    if (r.ok()) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "<%u> ", static_cast<unsigned>(level));
        c.log.push_back(prefix + line);
    }
    w.hi32(r.ok() ? 0 : -1);
}

struct OpEntry {
    proto::Op op;
    OpFn fn;
};

constexpr OpEntry kOps[] = {
    {proto::Op::Fault, op_fault},
    {proto::Op::PmInit, op_pm_init},
    {proto::Op::PmSetState, op_pm_setstate},
    {proto::Op::PmCleanup, op_pm_cleanup},
    {proto::Op::DcdInit, op_dcd_init},
    {proto::Op::DcdCleanup, op_dcd_cleanup},
    {proto::Op::Dcd, op_dcd},
    {proto::Op::EventSend, op_event_send},
    {proto::Op::MpiOpen, op_mpi_open},
    {proto::Op::MpiClose, op_mpi_close},
    {proto::Op::MpiSend, op_mpi_send},
    {proto::Op::Fe, op_fe},
    {proto::Op::FeIoctl, op_fe_ioctl},
    {proto::Op::Tpa, op_tpa},
    {proto::Op::Log, op_log},
};

// Runs a shell command as the platform's system() does; the exit status, or -1.
int run_shell(const std::string& dir, const std::string& command) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    std::string out = dir.empty() ? "/dev/null" : dir + "/system.out";
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    int err = posix_spawn(&pid, "/bin/sh", &fa, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (err != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// str command -> i32 rc. The command runs outside the core lock.
void call_system(Core& c, std::span<const std::uint8_t> req, wire::Writer& w) {
    wire::Reader r(req);
    std::string command = r.str();
    if (!r.ok()) {
        w.hi32(-1);
        return;
    }
    bool run = false;
    std::string dir;
    std::size_t index = 0;
    int rc = 0;
    {
        std::lock_guard lock(c.mu);
        if (!faulted(c, "qz_system", &rc)) run = c.system_run;
        index = c.system.total();
        c.system.push_back(SystemCmd{command, run, rc});
        dir = c.dir;
    }
    if (run) {
        rc = run_shell(dir, command);
        std::lock_guard lock(c.mu);
        if (SystemCmd* cmd = c.system.at_total(index)) cmd->rc = rc;
    }
    w.hi32(rc);
}

}  // namespace

void core_init(Core& c, std::string dir) {
    std::lock_guard lock(c.mu);
    c.dir = std::move(dir);
    fem::model_init(c.fe);
    c.faults = fem::Faults{};
    iface_boot_locked(c);
    c.pm = Pm{};
    c.dcd_attached = false;
    c.mpi_handles.clear();
    c.events.clear();
    c.system.clear();
    c.log.clear();
    c.unknown_calls.clear();
    c.ppsk_server = 0;
    dcd_fe_init_locked(c);
    c.dcd_svc = DcdSvc{};
    c.dcd_vcon = DcdVcon{};
    dcd_up_init_locked(c);
    proc_net_dev_write_locked(c);
}

void core_fed_started(Core& c) {
    std::lock_guard lock(c.mu);
    c.pm = Pm{};
    c.dcd_attached = false;
    c.mpi_handles.clear();
}

void core_call(Core& c, proto::Op op, std::span<const std::uint8_t> req, wire::Writer& reply) {
    if (op == proto::Op::System) {
        call_system(c, req, reply);
        return;
    }
    std::lock_guard lock(c.mu);
    for (const OpEntry& e : kOps) {
        if (e.op != op) continue;
        wire::Reader r(req);
        e.fn(c, r, reply);
        return;
    }
    unknown_call(c, std::string("op:") + std::to_string(static_cast<unsigned>(op)));
    reply.hi32(-1);
}

}  // namespace sim
