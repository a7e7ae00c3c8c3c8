// apsim's side of fed's CLI connection: a command, the running configuration
// or a debug flag goes to fed's CLI agent, what fed prints comes back as it
// runs, and the answer carries the result and any records.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "sim/ctl.h"

namespace sim {

struct Server;

struct CliRecord {
    std::uint32_t type;  // proto::kTlvRecord, kTlvText, kTlvDelay
    std::uint32_t cmd;   // command identifier
    std::vector<std::uint8_t> data;
};

struct CliReply {
    bool ok = false;  // false: fed's CLI is not connected, went away, or answered nothing
    std::int32_t rc = -1;
    std::vector<CliRecord> records;
};

// Runs command `cmd` of `type` (0 plain, 2 "no") with its argument record
// (without the 8-byte record header) in fed's CLI agent.
CliReply fed_cli_command(Server& s, std::uint32_t cmd, std::uint32_t type,
                         std::span<const std::uint8_t> record, const CtlOut& out);
// Has fed build its running configuration.
CliReply fed_cli_running_config(Server& s, const CtlOut& out);
// Sets (on) or clears a debug flag registered by fed.
CliReply fed_cli_debug(Server& s, bool on, std::string_view module, std::string_view flag,
                       const CtlOut& out);

// The CliDone payload: i32 rc, u32 n, n x (u32 type, u32 cmd, blob data).
bool parse_cli_done(std::span<const std::uint8_t> payload, CliReply& reply);

}  // namespace sim
