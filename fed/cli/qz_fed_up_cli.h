// User-profile commands: handlers, displays and the running-configuration
// step, with the argument places they read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_user_profile.h"

using qz_fed_up_args_t = std::span<const std::uint8_t>;

// Argument records: places taken from the command rows.
namespace qz_fed_up_arg {
using cmdtbl::arg_flag_bit;
using cmdtbl::arg_off;
using cmdtbl::arg_width;
using cmdtbl::cmd_size;
using cmdtbl::form_flags;
inline constexpr auto& kUp = cmdtbl::kRowsUserProfile;

// The profile name, first in every command
inline constexpr std::size_t kName = arg_off(kUp, 904, "NAME");
inline constexpr std::size_t kNameWidth = arg_width(kUp, 904, "NAME");
static_assert(arg_off(kUp, 935, "NAME") == kName && arg_off(kUp, 869, "NAME") == kName &&
              arg_off(kUp, 905, "NAME") == kName && arg_off(kUp, 866, "NAME") == kName &&
              arg_off(kUp, 907, "NAME") == kName && arg_off(kUp, 974, "NAME") == kName &&
              arg_off(kUp, 975, "NAME") == kName && arg_off(kUp, 976, "NAME") == kName &&
              arg_off(kUp, 977, "NAME") == kName && arg_off(kUp, 982, "NAME") == kName &&
              arg_off(kUp, 993, "NAME") == kName && arg_off(kUp, 968, "NAME") == kName &&
              arg_off(kUp, 971, "NAME") == kName && arg_off(kUp, 906, "NAME") == kName);
static_assert(arg_width(kUp, 935, "NAME") == kNameWidth &&
              arg_width(kUp, 869, "NAME") == kNameWidth &&
              arg_width(kUp, 974, "NAME") == kNameWidth &&
              arg_width(kUp, 982, "NAME") == kNameWidth &&
              arg_width(kUp, 993, "NAME") == kNameWidth &&
              arg_width(kUp, 968, "NAME") == kNameWidth);
// 904
inline constexpr std::size_t k904Group = arg_off(kUp, 904, "group-id");
inline constexpr std::size_t k904Qos = arg_off(kUp, 904, "qos-policy");
inline constexpr std::size_t k904Vlan = arg_off(kUp, 904, "vlan-id");
inline constexpr std::size_t k904Mobility = arg_off(kUp, 904, "mobility-policy");
inline constexpr std::size_t k904Start = arg_off(kUp, 904, "attribute");
inline constexpr std::size_t k904End = arg_off(kUp, 904, "ATTR#2");
inline constexpr unsigned k904BitGroup = arg_flag_bit(kUp, 904, "group-id");
inline constexpr unsigned k904BitQos = arg_flag_bit(kUp, 904, "qos-policy");
inline constexpr unsigned k904BitVlan = arg_flag_bit(kUp, 904, "vlan-id");
inline constexpr unsigned k904BitMobility = arg_flag_bit(kUp, 904, "mobility-policy");
inline constexpr unsigned k904BitStart = arg_flag_bit(kUp, 904, "attribute");
inline constexpr unsigned k904BitEnd = arg_flag_bit(kUp, 904, "ATTR#2");
// 935
inline constexpr std::size_t k935Start = arg_off(kUp, 935, "attribute");
inline constexpr std::size_t k935End = arg_off(kUp, 935, "ATTR#2");
inline constexpr unsigned k935BitStart = arg_flag_bit(kUp, 935, "attribute");
inline constexpr unsigned k935BitEnd = arg_flag_bit(kUp, 935, "ATTR#2");
inline constexpr std::size_t k935Size = cmd_size(kUp, 935);
// 869: marker type word and map
inline constexpr std::size_t k869Type = arg_off(kUp, 869, "qos-marker-map");
inline constexpr std::size_t k869TypeWidth = arg_width(kUp, 869, "qos-marker-map");
inline constexpr std::size_t k869Map = arg_off(kUp, 869, "MAP");
inline constexpr std::size_t k869Size = cmd_size(kUp, 869);
inline constexpr std::uint32_t k869Flags = form_flags(kUp, 869);
// 907: position word and the reference profile
inline constexpr std::size_t k907Pos = arg_off(kUp, 907, "POS");
inline constexpr std::size_t k907PosWidth = arg_width(kUp, 907, "POS");
inline constexpr std::size_t k907Other = arg_off(kUp, 907, "OTHER");
// 974-976: the sentinel keyword, then 975's action word and 976's bandwidth
inline constexpr std::size_t kSentinelWord = arg_off(kUp, 974, "SENTINEL");
inline constexpr std::size_t k974SentinelWidth = arg_width(kUp, 974, "SENTINEL");
inline constexpr std::size_t k975SentinelWidth = arg_width(kUp, 975, "SENTINEL");
inline constexpr std::size_t k976SentinelWidth = arg_width(kUp, 976, "SENTINEL");
static_assert(arg_off(kUp, 975, "SENTINEL") == kSentinelWord &&
              arg_off(kUp, 976, "SENTINEL") == kSentinelWord);
inline constexpr std::size_t k975Action = arg_off(kUp, 975, "action");
inline constexpr std::size_t k975ActionWidth = arg_width(kUp, 975, "action");
inline constexpr unsigned k975BitAction = arg_flag_bit(kUp, 975, "action");
inline constexpr std::size_t k976Kbps = arg_off(kUp, 976, "guaranteed-bandwidth");
inline constexpr std::size_t k977Bytes = arg_off(kUp, 977, "congestion-threshold");
inline constexpr std::size_t k974Size = cmd_size(kUp, 974);
inline constexpr std::size_t k975Size = cmd_size(kUp, 975);
inline constexpr std::size_t k976Size = cmd_size(kUp, 976);
inline constexpr std::uint32_t k974Flags = form_flags(kUp, 974);
inline constexpr std::uint32_t k975Flags = form_flags(kUp, 975) | 1u << k975BitAction;
inline constexpr std::uint32_t k976Flags =
    form_flags(kUp, 976) | 1u << arg_flag_bit(kUp, 976, "guaranteed-bandwidth");
// 982, 993: tunnel policy, layer-3 tunnel action word
inline constexpr std::size_t k982Policy = arg_off(kUp, 982, "tunnel-policy");
inline constexpr std::size_t k993Action = arg_off(kUp, 993, "l3-tunnel-action");
inline constexpr std::size_t k993ActionWidth = arg_width(kUp, 993, "l3-tunnel-action");
inline constexpr std::size_t k982Size = cmd_size(kUp, 982);
inline constexpr std::size_t k993Size = cmd_size(kUp, 993);
inline constexpr std::uint32_t k982Flags = form_flags(kUp, 982);
inline constexpr std::uint32_t k993Flags = form_flags(kUp, 993);
// 968: percentage and share flag
inline constexpr std::size_t k968Percent = arg_off(kUp, 968, "airtime-percentage");
inline constexpr std::size_t k968Share = cmdtbl::const_off(kUp, 968, 1);
inline constexpr std::size_t k968Size = cmd_size(kUp, 968);
inline constexpr std::uint32_t k968Flags = form_flags(kUp, 968);
// 906: the name is wider than a profile's, so that a long one gets its message
inline constexpr std::size_t k906NameWidth = arg_width(kUp, 906, "NAME");
inline constexpr unsigned k906BitName = arg_flag_bit(kUp, 906, "NAME");
}  // namespace qz_fed_up_arg

int qz_fed_up_define(void* ctx, qz_fed_up_args_t args);        // 904
int qz_fed_up_attribute(void* ctx, qz_fed_up_args_t args);     // 935
int qz_fed_up_marker(void* ctx, qz_fed_up_args_t args);        // 869
int qz_fed_up_mobility(void* ctx, qz_fed_up_args_t args);      // 905
int qz_fed_up_qos(void* ctx, qz_fed_up_args_t args);           // 866
int qz_fed_up_move(void* ctx, qz_fed_up_args_t args);          // 907
int qz_fed_up_sentinel(void* ctx, qz_fed_up_args_t args);      // 974
int qz_fed_up_action(void* ctx, qz_fed_up_args_t args);        // 975
int qz_fed_up_bandwidth(void* ctx, qz_fed_up_args_t args);     // 976
int qz_fed_up_threshold(void* ctx, qz_fed_up_args_t args);     // 977
int qz_fed_up_tunnel(void* ctx, qz_fed_up_args_t args);        // 982
int qz_fed_up_l3_action(void* ctx, qz_fed_up_args_t args);     // 993
int qz_fed_up_airtime(void* ctx, qz_fed_up_args_t args);       // 968
int qz_fed_up_airtime_show(void* ctx, qz_fed_up_args_t args);  // 971
int qz_fed_up_show(void* ctx, qz_fed_up_args_t args);          // 906

// Running-configuration step 3: every profile of the configuration library.
void qz_fed_up_cfg(void* out);
