// Tunnel multicast forwarding: allow-all with a block list, or block-all with
// an allow list. The FE keeps one list whose meaning follows the mode, so the
// mode changes only while the list is empty.
#include "fed/cli/qz_fed_cli.h"
#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_fe.h"
#include "fed/cli/qz_fed_fe_table.h"
#include "platform/fe.h"
#include "platform/qz.h"

using namespace fedcli;
namespace arg = qz_fed_arg;

namespace {

struct Mode {
    bool block_all;
    std::uint32_t size;
};

bool read_mode(void* ctx, Mode& m) {
    std::uint32_t status = 0;
    std::uint32_t size = 0;
    if (fe_get_tunnel_multicast_status_size(&status, &size) < 0) {
        qz_cli_printf(ctx, "Unable to get tunnel IP multicast status\n");
        return false;
    }
    m = Mode{status != 0, size};
    return true;
}

// Block (986, needs allow-all) or allow (987, needs block-all) list entry.
int list_entry(void* ctx, qz_fed_args_t args, bool allow_list) {
    Mode m{};
    if (!read_mode(ctx, m)) return QZ_FED_RC_MCAST_GET;
    if (allow_list && !m.block_all) {
        qz_cli_printf(ctx, "Currently it's allow-all state. Can't configure allow list.\n");
        return QZ_FED_RC_MCAST_LIST;
    }
    if (!allow_list && m.block_all) {
        qz_cli_printf(ctx, "Currently it's block-all state. Can't configure block list.\n");
        return QZ_FED_RC_MCAST_LIST;
    }
    std::uint32_t addr = word(args, arg::kMcastAddr);
    std::uint32_t mask = 0xFFFFFFFFu;
    if (word(args, arg::kMcastForm) != arg::kMcastFormSingle) {
        mask = word(args, arg::kMcastMask);
        addr &= mask;
    }
    // Network order: the first byte in memory holds the class bits.
    std::uint8_t first = 0;
    std::memcpy(&first, &addr, 1);
    if ((first & 0xF0) != 0xE0) {
        qz_cli_printf(ctx, "Please enter a Multicast IP address.\n");
        return QZ_FED_RC_MCAST_LIST;
    }
    int rc = fe_set_tunnel_multicast_list(is_no(ctx) ? 0 : 1, addr, mask);
    if (rc < 0) {
        qz_cli_printf(ctx, "Unable to set tunnel multicast IP list.\n");
        return QZ_FED_RC_MCAST_LIST;
    }
    return rc;
}

}  // namespace

int qz_fed_cli_mcast_block_all(void* ctx, qz_fed_args_t) {
    bool block_all = !is_no(ctx);
    Mode m{};
    if (!read_mode(ctx, m)) return QZ_FED_RC_MCAST_GET;
    if (m.size != 0 && block_all && !m.block_all) {
        qz_cli_printf(ctx, "Please unconfigure all entries in block list before block all.\n");
        return QZ_FED_RC_MCAST_MODE;
    }
    if (m.size != 0 && !block_all && m.block_all) {
        qz_cli_printf(
            ctx, "Please unconfigure all entries in allow list before unconfigure block all.\n");
        return QZ_FED_RC_MCAST_MODE;
    }
    if (fe_set_boolean_value(block_all ? 1 : 0, kMcastBlockAll.set, kMcastBlockAll.set_text) < 0) {
        qz_cli_printf(ctx, "Unable to set tunnel IP multicast forwarding mode.\n");
        return QZ_FED_RC_MCAST_MODE;
    }
    return 0;
}

int qz_fed_cli_mcast_block(void* ctx, qz_fed_args_t args) {
    return list_entry(ctx, args, false);
}

int qz_fed_cli_mcast_allow(void* ctx, qz_fed_args_t args) {
    return list_entry(ctx, args, true);
}

int qz_fed_cli_mcast_show(void* ctx, qz_fed_args_t) {
    Mode m{};
    if (!read_mode(ctx, m)) return QZ_FED_RC_MCAST_GET;
    qz_cli_printf(ctx, "Tunnel IP multicast forwarding: %s %s",
                  m.block_all ? "block-all" : "allow-all",
                  m.size == 0 ? "\n" : "except following\n");
    static constexpr FeTable kList{fe_mcast::kSize, 0, nullptr, nullptr,
                                   "Unable to get tunnel IP multicast list!\n"};
    int rc = show_fe_table<std::uint8_t>(
        ctx, qz_cli_printf, kList, known_count(std::min(m.size, kFeListReadMax)),
        counted_fetch(fe_get_tunnel_multicast_list), [](std::uint32_t) {},
        [&](std::span<const std::uint8_t> e, std::uint32_t) {
            Fields f(e);
            qz_cli_printf(ctx, "\t%s %i[%i]\n", m.block_all ? "allow" : "block",
                          f.h32(fe_mcast::kAddr), f.h32(fe_mcast::kMask));
        });
    return rc == 0 ? 0 : QZ_FED_RC_MCAST_GET;
}
