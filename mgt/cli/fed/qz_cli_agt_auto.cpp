#include "mgt/cli/fed/qz_cli_agt_auto.h"

#include <algorithm>
#include <cstring>

#include "mgt/cli/fed/cmd_table.h"
#include "platform/qz_assert.h"
#include "platform/wire.h"

namespace {

constexpr std::size_t kRecordHeader = 8;

const qz_cli_vector_t* find_vector(std::span<const qz_cli_vector_list_t> families,
                                   std::uint32_t id) {
    for (qz_cli_vector_list_t fam : families)
        for (const qz_cli_vector_t& v : fam)
            if (v.id == id) return &v;
    return nullptr;
}

}  // namespace

int qz_cli_agt_unpack(void* ctx, const void* list, int len, qz_cli_handler_fn handler) {
    qz_cli_ipc_cursor_t cur;
    qz_cli_ipc_cursor_init(&cur, list, len);
    const std::uint8_t* p = qz_cli_ipc_next(&cur);
    if (!p || qz_cli_ipc_type(p) != QZ_CLI_IPC_STRUCT_T)
        qz_assert_fail("p->type==QZ_CLI_IPC_STRUCT_T", "mgt/cli/fed/qz_cli_agt_auto", __LINE__);
    std::uint32_t rec_len = wire::load_h<std::uint32_t>(p + 4);
    std::span<const std::uint8_t> args(p + kRecordHeader, rec_len - kRecordHeader);
    // Handlers read their fields at fixed offsets: a record shorter than the
    // command's layout is handed over in a zero-filled copy of full size.
    std::uint16_t need = cmdtbl::cmd_record_size(static_cast<qz_cli_cmd_t*>(ctx)->cmd_id);
    if (args.size() < need) {
        std::vector<std::uint8_t> padded(need, 0);
        if (!args.empty()) std::memcpy(padded.data(), args.data(), args.size());
        return handler(ctx, padded);
    }
    return handler(ctx, args);
}

std::vector<qz_cli_vector_t> qz_cli_agt_registrations(
    std::span<const qz_cli_vector_list_t> families) {
    std::vector<qz_cli_vector_t> regs;
    std::vector<std::uint32_t> seen;
    for (const cmdtbl::CmdFamily& f : cmdtbl::cmd_families())
        for (const cmdtbl::CmdRow& r : f.rows) {
            if (std::find(seen.begin(), seen.end(), r.id) != seen.end()) continue;
            seen.push_back(r.id);
            if (const qz_cli_vector_t* v = find_vector(families, r.id)) regs.push_back(*v);
        }
    // The second registration reaches the same handler: it changes nothing.
    for (std::uint32_t id : cmdtbl::kTwiceRegistered)
        if (std::find(seen.begin(), seen.end(), id) != seen.end())
            if (const qz_cli_vector_t* v = find_vector(families, id)) regs.push_back(*v);
    return regs;
}

int qz_cli_agt_reg_cmd_vectors(std::span<const qz_cli_vector_list_t> families) {
    for (const qz_cli_vector_t& v : qz_cli_agt_registrations(families))
        qz_reg_cmd_vector(0, v.id, v.unpack);
    return 0;
}

int qz_cli_agt_cfg_generator(void* out, std::span<const qz_cfg_step_t> steps) {
    for (const qz_cfg_step_t& s : steps) s.emit(out);
    return 0;
}
