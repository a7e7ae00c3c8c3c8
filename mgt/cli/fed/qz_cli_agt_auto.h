// fed's side of the command table: the unpackers and command-vector
// registrations of the CLI agent, and the running-configuration generator.
// They know no family: the owner of the families (fed/cli) hands them
//  - its handler lists, one {id, qz_cli_unpack<handler>} per command
//    identifier. An identifier is registered when the command table has a row
//    for it and a list has a handler (twice for the identifiers of
//    cmdtbl::kTwiceRegistered);
//  - its running-configuration steps, each with its family's emitter.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/qz.h"

// A command handler: the command context (QZ_CMD_TYPE gives 0 for the plain
// form, 2 for "no") and the argument record, which starts at byte 8 of the
// agent's record and is at least as long as the command's largest table row
// (a shorter record is handed over zero-filled). Returns 0 or a failure code.
using qz_cli_handler_fn = int (*)(void* ctx, std::span<const std::uint8_t> args);

// A running-configuration emitter: adds its records to `out` with
// qz_cli_agent_add_tlv (type 7) or qz_cli_agent_add_tlv_msg (type 22).
using qz_cfg_emit_fn = void (*)(void* out);

// Opens a cursor on the record list, takes the first record, asserts that it is
// of type 17 (QZ_CLI_IPC_STRUCT_T) and returns what the handler returns.
int qz_cli_agt_unpack(void* ctx, const void* list, int len, qz_cli_handler_fn handler);

// The unpacker of one handler, as the agent calls it.
template <qz_cli_handler_fn Handler>
int qz_cli_unpack(void* ctx, const void* list, int len) {
    return qz_cli_agt_unpack(ctx, list, len, Handler);
}

struct qz_cli_vector_t {
    std::uint32_t id;
    qz_cli_unpack_fn unpack;
};

// One step of the running-configuration generator; emit is null until the
// step's family is linked in.
struct qz_cfg_step_t {
    const char* what;
    qz_cfg_emit_fn emit;
};

// One family's handlers.
using qz_cli_vector_list_t = std::span<const qz_cli_vector_t>;

// The qz_reg_cmd_vector calls fed makes for these families, in order.
std::vector<qz_cli_vector_t> qz_cli_agt_registrations(
    std::span<const qz_cli_vector_list_t> families);

// CLI vector initializer: registers every command vector of the families. Returns 0.
int qz_cli_agt_reg_cmd_vectors(std::span<const qz_cli_vector_list_t> families);
// The running-configuration generator: runs the steps in order. Returns 0.
int qz_cli_agt_cfg_generator(void* out, std::span<const qz_cfg_step_t> steps);
