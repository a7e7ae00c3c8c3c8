// User-profile, IP-policy, QoS (profiles, maps, switches and policies,
// bindings) and MAC-policy command records of any size and content through
// fed's unpacker and handlers, against an in-process FE model, configuration
// library and policy store in a scratch run directory. Input: u8 selector
// (which command), u8 command type (bit 0: the "no" form; bits 1-3: the row
// set: 0 policies, 1 QoS profiles, 2 QoS maps, 3 MAC policies, 4 QoS switches
// and policies, 5 QoS profile bindings), then the argument record.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <vector>

#include "fed/cli/qz_fed_cli_vectors.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_msg.h"
#include "mgt/cli/fed/qz_cli_agt_auto.h"
#include "mgt/cli/fed/rows_ip_policy.h"
#include "mgt/cli/fed/rows_mac_policy.h"
#include "mgt/cli/fed/rows_qos_bind.h"
#include "mgt/cli/fed/rows_qos_map.h"
#include "mgt/cli/fed/rows_qos_policy.h"
#include "mgt/cli/fed/rows_qos_profile.h"
#include "mgt/cli/fed/rows_user_profile.h"
#include "platform/backend.h"
#include "sim/core.h"

namespace {

void answer(proto::Op op, std::span<const std::uint8_t> req, wire::Writer& reply, void* ctx) {
    sim::core_call(*static_cast<sim::Core*>(ctx), op, req, reply);
}

struct Run {
    qz_cli_unpack_fn unpack;
    std::vector<std::uint8_t> list;
};

int run(void* ctx, void* arg) {
    auto* r = static_cast<Run*>(arg);
    return r->unpack(ctx, r->list.data(), static_cast<int>(r->list.size()));
}

// The families' commands in row order, each once, with the unpacker fed registered.
std::vector<qz_cli_vector_t> family_vectors(std::vector<std::span<const cmdtbl::CmdRow>> families) {
    std::vector<qz_cli_vector_t> v;
    auto regs = qz_cli_agt_registrations(qz_fed_cli_vectors());
    std::vector<cmdtbl::CmdRow> rows;
    for (auto f : families) rows.insert(rows.end(), f.begin(), f.end());
    for (const cmdtbl::CmdRow& row : rows) {
        bool seen = false;
        for (const qz_cli_vector_t& x : v) seen = seen || x.id == row.id;
        for (const qz_cli_vector_t& reg : regs)
            if (!seen && reg.id == row.id) {
                v.push_back(reg);
                seen = true;
            }
    }
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static sim::Core core;
    static const std::vector<qz_cli_vector_t> families[6] = {
        [] {
            // The policy store writes under the run directory's /tmp/db/fed.
            static char dir[] = "/tmp/fuzz_policy_XXXXXX";
            if (!mkdtemp(dir)) std::abort();
            std::filesystem::create_directories(std::string(dir) + "/tmp/db/fed");
            std::atexit([] {
                std::error_code ec;
                std::filesystem::remove_all(dir, ec);
            });
            plat::set_run_dir(dir);
            sim::core_init(core, "");
            plat::set_local_backend(answer, &core);
            qz_fed_debug = 0xFFFFFFFFu;  // every debug line formats its fields too
            qz_fed_ipc_init();
            return family_vectors({cmdtbl::kRowsUserProfile, cmdtbl::kRowsIpPolicy});
        }(),
        family_vectors({cmdtbl::kRowsQosProfile}), family_vectors({cmdtbl::kRowsQosMap}),
        family_vectors({cmdtbl::kRowsMacPolicy}), family_vectors({cmdtbl::kRowsQosPolicy}),
        family_vectors({cmdtbl::kRowsQosBind})};
    if (size < 2 || ((data[1] >> 1) & 7) >= 6) return 0;
    const std::vector<qz_cli_vector_t>& vectors = families[(data[1] >> 1) & 7];
    if (vectors.empty()) return 0;
    const qz_cli_vector_t& v = vectors[data[0] % vectors.size()];
    // One record of type 17: u16 type, u16 0, u32 length with the header, the arguments.
    Run r{v.unpack, std::vector<std::uint8_t>(size - 2 + 8)};
    wire::store_h<std::uint16_t>(r.list.data(), QZ_CLI_IPC_STRUCT_T);
    wire::store_h<std::uint32_t>(r.list.data() + 4, static_cast<std::uint32_t>(r.list.size()));
    std::copy(data + 2, data + size, r.list.begin() + 8);
    plat::cli_run_local(v.id, (data[1] & 1) ? QZ_CMD_TYPE_NO : QZ_CMD_TYPE_SET, run, &r);
    return 0;
}
