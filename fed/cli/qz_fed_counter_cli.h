// Packet counters of the forwarding engine: shown per interface and station,
// as drops by reason and as data collection (958), and cleared (960).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fed/cli/qz_fed_fe_table.h"
#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_fe_sessions.h"

// Argument records of 958 and 960: places taken from the command rows.
namespace qz_fed_cnt_arg {
using cmdtbl::arg_flag_bit;
using cmdtbl::arg_off;
using cmdtbl::arg_width;
inline constexpr auto& kSe = cmdtbl::kRowsFeSessions;

inline constexpr std::size_t kIf = arg_off(kSe, 958, "interface");
inline constexpr std::size_t kIfSize = arg_width(kSe, 958, "interface");
inline constexpr unsigned kIfBit = arg_flag_bit(kSe, 958, "interface");
inline constexpr std::size_t kSta = arg_off(kSe, 958, "station");
inline constexpr unsigned kStaBit = arg_flag_bit(kSe, 958, "station");
static_assert(arg_off(kSe, 960, "interface") == kIf &&
              arg_width(kSe, 960, "interface") == kIfSize && arg_off(kSe, 960, "station") == kSta);
static_assert(arg_flag_bit(kSe, 960, "interface") == kIfBit &&
              arg_flag_bit(kSe, 960, "station") == kStaBit);
// 958: the words that ask for the other views
inline constexpr std::size_t kShowDrop = arg_off(kSe, 958, "drop");
inline constexpr std::size_t kShowAllDrop = arg_off(kSe, 958, "all");
inline constexpr std::size_t kShowDc = arg_off(kSe, 958, "data-collection");
// 960: the words that name what to clear
inline constexpr std::size_t kClrDrop = arg_off(kSe, 960, "drop");
inline constexpr std::size_t kClrTunnel = arg_off(kSe, 960, "tunnel");
inline constexpr std::size_t kClrPolicy = arg_off(kSe, 960, "policy");
inline constexpr std::size_t kClrDc = arg_off(kSe, 960, "data-collection");
}  // namespace qz_fed_cnt_arg

// The drop counter's name as shown, padded with blanks; "unknown" past the last.
const char* qz_fed_drop_counter_name(std::size_t index);

// Reads the FE's counter list into `list`, fe_counter::kSize bytes an entry
// (empty when the FE counts nothing); *wanted is the count the FE gave. 0;
// the failed call's negative result; or QZ_FED_COUNTER_NO_MEMORY when the
// memory for *wanted entries cannot be had.
inline constexpr int QZ_FED_COUNTER_NO_MEMORY = 1;
int qz_fed_counter_list(std::vector<std::uint8_t>& list, int* wanted);

// 958: the views the record asks for, printed through `print`. 0, or the
// failing call's result, or -1 when memory runs out.
int qz_fed_show_counters(void* ctx, qz_fed_print_fn print, std::span<const std::uint8_t> args);

int qz_fed_cli_show_counters(void* ctx, std::span<const std::uint8_t> args);  // 958
// 960: every failure is printed; the handler succeeds.
int qz_fed_cli_clear_counters(void* ctx, std::span<const std::uint8_t> args);  // 960
