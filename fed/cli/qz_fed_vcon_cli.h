// Virtual connection rules: named static layer-2 forwarding rules that fed
// keeps in a list (at most 64, in insertion order) and installs in the FE
// through the configuration library once every interface of a rule exists.
// Interface changes uninstall and reinstall them; the list is what the
// running configuration writes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fed/cli/qz_fed_cli.h"
#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_vcon.h"

// ---- argument records of commands 999-1019: places taken from the command rows
namespace qz_vcon_arg {
inline constexpr auto& kVc = cmdtbl::kRowsVcon;
inline constexpr std::size_t kName = cmdtbl::arg_off(kVc, 999, "NAME");
inline constexpr std::size_t kNameWidth =
    cmdtbl::arg_width(kVc, 999, "NAME");  // at most 32 characters
inline constexpr std::size_t kIfWidth = cmdtbl::arg_width(kVc, 999, "in");
inline constexpr std::size_t kMaxRecord = 140;
inline constexpr std::size_t kDeleteSize = cmdtbl::cmd_size(kVc, 1017);  // 1017: name, optional
inline constexpr unsigned kDeleteBitName = cmdtbl::arg_flag_bit(kVc, 1017, "NAME");
static_assert(cmdtbl::arg_off(kVc, 1017, "NAME") == kName &&
              cmdtbl::arg_width(kVc, 1017, "NAME") == kNameWidth);
inline constexpr std::uint32_t kCmdBase = 998;  // command = kCmdBase + rule type
inline constexpr std::uint32_t kTypes = 18;
inline constexpr std::uint16_t kAbsent = 0;  // no field of an add record sits at 0

enum class Src : std::uint8_t { Mac, Oui, Any };

// Where the fields of one rule type's record lie.
struct Layout {
    Src src;
    bool drop;
    std::uint16_t size;  // record length, stored and written back as it came
    std::uint16_t iif;
    std::uint16_t oif;  // kAbsent for drop rules
    std::uint16_t src_mac;
    std::uint16_t dst_mac;
    std::uint16_t tx_mac;
    std::uint16_t rx_mac;
};

namespace detail {
// Reached only when a rule's row breaks the layout handlers assume.
void vcon_rule_row_does_not_fit_its_layout();

// The offset of the argument after `keyword`, or kAbsent when the rule type has none.
consteval std::uint16_t field(std::uint32_t id, std::string_view keyword) {
    cmdtbl::ArgPlace p = cmdtbl::arg_find(kVc, id, keyword);
    if (p.found == cmdtbl::Found::Missing) return kAbsent;
    cmdtbl::lookup_detail::require(p);
    return static_cast<std::uint16_t>(p.off);
}

consteval Layout layout_of(std::uint32_t type) {
    std::uint32_t id = kCmdBase + type;
    Layout l{};
    l.src_mac = field(id, "src-mac");
    std::uint16_t oui = field(id, "src-oui");
    l.src = l.src_mac != kAbsent ? Src::Mac : oui != kAbsent ? Src::Oui : Src::Any;
    if (oui != kAbsent) l.src_mac = oui;
    l.size = cmdtbl::cmd_size(kVc, id);
    l.iif = field(id, "in");
    l.oif = field(id, "out");
    l.drop = l.oif == kAbsent;
    l.dst_mac = field(id, "dst-mac");
    l.tx_mac = field(id, "tx-mac");
    l.rx_mac = field(id, "rx-mac");
    if (cmdtbl::arg_off(kVc, id, "NAME") != kName ||
        cmdtbl::arg_width(kVc, id, "NAME") != kNameWidth ||
        cmdtbl::arg_width(kVc, id, "in") != kIfWidth ||
        (!l.drop && cmdtbl::arg_width(kVc, id, "out") != kIfWidth))
        vcon_rule_row_does_not_fit_its_layout();
    return l;
}
}  // namespace detail

// Indexed by rule type - 1. One lookup per type keeps each compile-time
// evaluation small.
inline constexpr std::array<Layout, kTypes> kLayouts = {
    detail::layout_of(1),  detail::layout_of(2),  detail::layout_of(3),  detail::layout_of(4),
    detail::layout_of(5),  detail::layout_of(6),  detail::layout_of(7),  detail::layout_of(8),
    detail::layout_of(9),  detail::layout_of(10), detail::layout_of(11), detail::layout_of(12),
    detail::layout_of(13), detail::layout_of(14), detail::layout_of(15), detail::layout_of(16),
    detail::layout_of(17), detail::layout_of(18),
};

// Every field of a layout lies inside its record, after the rule name.
constexpr bool layout_fits(const Layout& l) {
    auto inside = [&](std::uint16_t off, std::size_t width) {
        return off == kAbsent || (off >= kName + kNameWidth && off + width <= l.size);
    };
    return l.size <= kMaxRecord && l.iif != kAbsent && l.dst_mac != kAbsent &&
           inside(l.iif, kIfWidth) && inside(l.oif, kIfWidth) &&
           inside(l.src_mac, l.src == Src::Oui ? 3 : 6) && inside(l.dst_mac, 6) &&
           inside(l.tx_mac, 6) && inside(l.rx_mac, 6) && (l.oif == kAbsent) == l.drop &&
           (l.src_mac == kAbsent) == (l.src == Src::Any) && (!l.drop || l.rx_mac == kAbsent);
}
constexpr bool layouts_fit() {
    for (const Layout& l : kLayouts)
        if (!layout_fits(l)) return false;
    return true;
}
static_assert(layouts_fit());
}  // namespace qz_vcon_arg

// ---- result codes
inline constexpr int QZ_FED_RC_VCON_MAC_ZERO = 0x31002;
inline constexpr int QZ_FED_RC_VCON_ADD = 0x30059;  // too many rules, or the FE refused
inline constexpr int QZ_FED_RC_VCON_EXISTS = 0x31003;
inline constexpr int QZ_FED_RC_VCON_NO_SUCH = 0x31004;
inline constexpr int QZ_FED_RC_VCON_DELETE = 0x3005A;

inline constexpr std::size_t QZ_VCON_MAX_RULES = 64;

// Adds a rule of `type` (1-18) from its argument record. 0 or a result code.
int qz_fed_vcon_add(void* ctx, qz_fed_args_t args, std::uint32_t type);
// The handler of command kCmdBase + Type.
template <std::uint32_t Type>
int qz_fed_vcon_add_type(void* ctx, qz_fed_args_t args) {
    static_assert(Type >= 1 && Type <= qz_vcon_arg::kTypes);
    return qz_fed_vcon_add(ctx, args, Type);
}
int qz_fed_vcon_delete(void* ctx, qz_fed_args_t args);      // 1017
int qz_fed_vcon_show(void* ctx, qz_fed_args_t args);        // 1018
int qz_fed_vcon_debug_dump(void* ctx, qz_fed_args_t args);  // 1019

// Kernel event KEVT_IF_CHG: change kind (u32) at 0, interface index (u32) at 4,
// interface name at 12. Runs on the event thread.
void qz_fed_vcon_if_change(std::uint32_t kevent, std::uint32_t len, const void* payload);

// Running-configuration step: one record per rule, in list order.
void qz_fed_vcon_cfg(void* out);

// Empties the list and restarts the serial numbers (a fresh process).
void qz_fed_vcon_reset();
