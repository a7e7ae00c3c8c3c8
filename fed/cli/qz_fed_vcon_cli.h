// Virtual connection rules: named static layer-2 forwarding rules that fed
// keeps in a list (at most 64, in insertion order) and installs in the FE
// through the configuration library once every interface of a rule exists.
// Interface changes uninstall and reinstall them; the list is what the
// running configuration writes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fed/cli/qz_fed_cli.h"

// ---- argument records of commands 999-1019 (byte offsets from the flag word)
namespace qz_vcon_arg {
inline constexpr std::size_t kName = 12;
inline constexpr std::size_t kNameWidth = 33;  // at most 32 characters
inline constexpr std::size_t kIfWidth = 16;
inline constexpr std::size_t kMaxRecord = 140;
inline constexpr std::size_t kDeleteSize = 48;  // 1017: name at 12 (bit 0)
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

// Indexed by rule type - 1.
inline constexpr Layout kLayouts[kTypes] = {
    {Src::Mac, false, 140, 52, 104, 88, 94, kAbsent, kAbsent},
    {Src::Mac, false, 140, 52, 100, 88, 94, kAbsent, 133},
    {Src::Mac, false, 136, 45, 100, 78, 84, 90, kAbsent},
    {Src::Mac, false, 136, 45, 96, 78, 84, 90, 129},
    {Src::Oui, false, 140, 52, 104, 88, 91, kAbsent, kAbsent},
    {Src::Oui, false, 136, 52, 97, 88, 91, kAbsent, 130},
    {Src::Oui, false, 136, 45, 100, 78, 81, 87, kAbsent},
    {Src::Oui, false, 132, 45, 93, 78, 81, 87, 126},
    {Src::Any, false, 136, 52, 100, kAbsent, 88, kAbsent, kAbsent},
    {Src::Any, false, 136, 52, 94, kAbsent, 88, kAbsent, 127},
    {Src::Any, false, 132, 45, 96, kAbsent, 78, 84, kAbsent},
    {Src::Any, false, 132, 45, 90, kAbsent, 78, 84, 123},
    {Src::Mac, true, 100, 52, kAbsent, 88, 94, kAbsent, kAbsent},
    {Src::Mac, true, 96, 45, kAbsent, 78, 84, 90, kAbsent},
    {Src::Oui, true, 100, 52, kAbsent, 88, 91, kAbsent, kAbsent},
    {Src::Oui, true, 96, 45, kAbsent, 78, 81, 87, kAbsent},
    {Src::Any, true, 96, 52, kAbsent, kAbsent, 88, kAbsent, kAbsent},
    {Src::Any, true, 92, 45, kAbsent, kAbsent, 78, 84, kAbsent},
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
