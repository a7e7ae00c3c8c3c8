// The seam between the platform library and what stands behind it.
//
// By default every request goes over DIR/apsim.sock to apsim. A unit test can
// install a local backend instead: an in-process function that answers CALL
// requests (usually the FE model and tables of sim/ linked into the test), so
// tests run without processes and under qemu.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/proto.h"
#include "platform/wire.h"

namespace plat {

// Answers one CALL request; writes the reply payload (i32 rc first) into reply.
using LocalFn = void (*)(proto::Op op, std::span<const std::uint8_t> req, wire::Writer& reply,
                         void* ctx);

// Routes CALL requests to fn (nullptr restores the socket transport).
void set_local_backend(LocalFn fn, void* ctx);

// True while a local backend is installed. Without an apsim socket the CLI
// agent and event threads then end at once instead of failing.
bool local_backend_active();

// Sends one CALL request and waits for its reply payload. Returns false when
// the transport failed (no apsim); callers then fail with -1.
bool call(proto::Op op, const wire::Writer& req, std::vector<std::uint8_t>& reply);

// Sends one CALL request whose reply starts with an i32 rc. Returns that rc, or
// -1 when the transport failed or the reply is too short; `rest` (optional)
// receives the reply bytes after the rc.
int call_rc(proto::Op op, const wire::Writer& req, std::vector<std::uint8_t>* rest = nullptr);

// A CLI command run in-process (unit tests of handlers and running-configuration
// emitters): fn gets a command context of command `cmd` and command type
// `type` (0 plain, 2 "no"); what it prints and the records it adds are kept.
struct CliLocalRecord {
    std::uint32_t type;  // 7 command record, 22 text record, proto::kTlvDelay
    std::uint32_t cmd;
    std::vector<std::uint8_t> data;
};
struct CliLocalRun {
    int rc = 0;
    std::string text;
    std::vector<CliLocalRecord> records;
};
using CliLocalFn = int (*)(void* ctx, void* arg);
CliLocalRun cli_run_local(std::uint32_t cmd, std::uint32_t type, CliLocalFn fn, void* arg);

// Run directory of this access point ("" when none: device paths are used as they are).
const std::string& run_dir();
void set_run_dir(const std::string& dir);

// Local (unit-test) clock, in use when the run directory has no clock page:
// driven, starts at 0 ms. advance fires due platform timers synchronously on
// the caller's thread, each with the clock at its due time (a timer re-armed
// due within the step fires in the same call). clock_ms reads whichever clock
// is in use (the page's real or driven time under apsim).
void clock_set_ms(std::uint64_t ms);
void clock_advance_ms(std::uint64_t ms);
std::uint64_t clock_ms();

// Fault check for calls the library carries out itself: true (and *rc set)
// when apsim has a fault armed for `name`.
bool fault(const char* name, int* rc);

}  // namespace plat
