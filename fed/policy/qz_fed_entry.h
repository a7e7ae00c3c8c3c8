// The mapping entry of an IP-policy rule (qz_fed_entry_t): the rule as the
// operator gave it, the FE rule template made from it and the FE rules that
// stand for it. Stored whole, 1528 bytes, in the policy's key-value file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_ip_policy.h"
#include "platform/acl_msg.h"

// The rule parameter block (qz_fed_ip_rule_cli_t) of the rule commands:
// places from the command rows.
namespace qz_fed_rule {
using cmdtbl::arg_flag_bit;
using cmdtbl::arg_off;
using cmdtbl::arg_width;
inline constexpr auto& kRows = cmdtbl::kRowsIpPolicy;

inline constexpr std::size_t kSize = cmdtbl::cmd_size(kRows, 919);
inline constexpr std::size_t kLogSize = cmdtbl::cmd_size(kRows, 921);
inline constexpr std::size_t kName = arg_off(kRows, 919, "NAME");
inline constexpr std::size_t kNameWidth = arg_width(kRows, 919, "NAME");
inline constexpr std::size_t kId = arg_off(kRows, 919, "ID");
inline constexpr std::size_t kWhere = arg_off(kRows, 919, "WHERE");
inline constexpr std::size_t kWhereWidth = arg_width(kRows, 919, "WHERE");
inline constexpr std::size_t kRef = arg_off(kRows, 919, "REF");
inline constexpr std::size_t kFrom = arg_off(kRows, 919, "FROM");
inline constexpr std::size_t kFromMask = arg_off(kRows, 919, "FROM-MASK");
inline constexpr std::size_t kTo = arg_off(kRows, 919, "TO");
inline constexpr std::size_t kToMask = arg_off(kRows, 919, "TO-MASK");
inline constexpr std::size_t kHostWidth = arg_width(kRows, 919, "FROM-HOST");
inline constexpr std::size_t kService = arg_off(kRows, 919, "SERVICE");
inline constexpr std::size_t kServiceWidth = arg_width(kRows, 919, "SERVICE");
inline constexpr std::size_t kAction = arg_off(kRows, 919, "ACTION");
inline constexpr std::size_t kActionWidth = arg_width(kRows, 919, "ACTION");
inline constexpr std::size_t kOption = arg_off(kRows, 921, "OPTION");
inline constexpr std::size_t kOptionWidth = arg_width(kRows, 921, "OPTION");
// Each "given" word and each kind word sits right before its value.
inline constexpr std::size_t kFromKind = kFrom - 4;
inline constexpr std::size_t kFromGiven = kFrom - 8;
inline constexpr std::size_t kToKind = kTo - 4;
inline constexpr std::size_t kToGiven = kTo - 8;
inline constexpr std::uint32_t kKindAddr = 6;
static_assert(arg_off(kRows, 919, "FROM-HOST") == kFrom && arg_off(kRows, 919, "TO-HOST") == kTo);
static_assert(arg_width(kRows, 919, "TO-HOST") == kHostWidth);
static_assert(kFromMask == kFrom + 68 && kToMask == kTo + 68);
static_assert(kOption + kOptionWidth <= kLogSize && kLogSize <= kSize);
static_assert(arg_off(kRows, 921, "SERVICE") == kService && arg_off(kRows, 920, "FROM") == kFrom &&
              arg_off(kRows, 922, "OPTION") == kOption && arg_off(kRows, 922, "TO") == kTo &&
              arg_off(kRows, 923, "ID") == kId && arg_off(kRows, 925, "REF") == kRef);

inline constexpr std::uint32_t kFlagSet = cmdtbl::form_flags(kRows, 919);
inline constexpr std::uint32_t kFlagId = 1u << arg_flag_bit(kRows, 919, "ID");
inline constexpr std::uint32_t kFlagPos = 1u << arg_flag_bit(kRows, 919, "WHERE");
inline constexpr std::uint32_t kFlagFrom = 1u << arg_flag_bit(kRows, 919, "FROM");
inline constexpr std::uint32_t kFlagFromMask = 1u << arg_flag_bit(kRows, 919, "FROM-MASK");
inline constexpr std::uint32_t kFlagTo = 1u << arg_flag_bit(kRows, 919, "TO");
inline constexpr std::uint32_t kFlagToMask = 1u << arg_flag_bit(kRows, 919, "TO-MASK");
inline constexpr std::uint32_t kFlagService = 1u << arg_flag_bit(kRows, 919, "SERVICE");
inline constexpr std::uint32_t kFlagAction = 1u << arg_flag_bit(kRows, 919, "ACTION");
inline constexpr std::uint32_t kFlagOption = 1u << arg_flag_bit(kRows, 921, "OPTION");
inline constexpr std::uint32_t kFlagLog = 1u << arg_flag_bit(kRows, 923, "log");  // 923
static_assert(arg_flag_bit(kRows, 919, "FROM-HOST") == arg_flag_bit(kRows, 919, "FROM"));
}  // namespace qz_fed_rule

// Kinds of rule (type_fed_cli).
enum class qz_fed_kind : std::uint32_t { normal = 1, permit_log = 2, deny_log = 3, sta_log = 4 };

// Byte places of the stored entry.
namespace qz_fed_entry_off {
inline constexpr std::size_t kType = 0;
inline constexpr std::size_t kRule = 4;
inline constexpr std::size_t kLogFlag = 340;
inline constexpr std::size_t kTemplate = 344;
inline constexpr std::size_t kOrderKey = 448;
inline constexpr std::size_t kFedId = 452;
inline constexpr std::size_t kKey = 456;  // fed_id copy, then the policy name
inline constexpr std::size_t kKeySize = 40;
inline constexpr std::size_t kName = 460;
inline constexpr std::size_t kNameSize = 36;
inline constexpr std::size_t kNeedResolve = 496;
inline constexpr std::size_t kRulesNum = 500;
inline constexpr std::size_t kSlots = 504;
inline constexpr std::size_t kSlotSize = 16;  // used, source, destination, fe_id
inline constexpr std::size_t kSlotCount = 64;
inline constexpr std::size_t kSize = 1528;
}  // namespace qz_fed_entry_off
static_assert(qz_fed_entry_off::kRule + qz_fed_rule::kSize == qz_fed_entry_off::kLogFlag);
static_assert(qz_fed_entry_off::kLogFlag + 4 == qz_fed_entry_off::kTemplate);
static_assert(qz_fed_entry_off::kTemplate + fe_acl_rule::kSize == qz_fed_entry_off::kOrderKey);
static_assert(qz_fed_entry_off::kOrderKey + 4 == qz_fed_entry_off::kFedId &&
              qz_fed_entry_off::kFedId + 4 == qz_fed_entry_off::kKey);
static_assert(qz_fed_entry_off::kKey + 4 == qz_fed_entry_off::kName &&
              qz_fed_entry_off::kName + qz_fed_entry_off::kNameSize ==
                  qz_fed_entry_off::kNeedResolve);
static_assert(qz_fed_entry_off::kKey + qz_fed_entry_off::kKeySize ==
              qz_fed_entry_off::kNeedResolve);
static_assert(qz_fed_entry_off::kNeedResolve + 4 == qz_fed_entry_off::kRulesNum &&
              qz_fed_entry_off::kRulesNum + 4 == qz_fed_entry_off::kSlots);
static_assert(qz_fed_entry_off::kSlots +
                  qz_fed_entry_off::kSlotCount * qz_fed_entry_off::kSlotSize ==
              qz_fed_entry_off::kSize);

// One FE rule made from an entry (qz_fed_fe_rule_t).
struct qz_fed_fe_rule_t {
    std::uint32_t used = 0;
    std::uint32_t src = 0;  // network order
    std::uint32_t dst = 0;
    std::uint32_t fe_id = 0;
};

inline constexpr std::size_t QZ_FED_NAME_MAX = 32;  // characters of a policy name

struct qz_fed_entry_t {
    std::uint32_t type_fed_cli = 0;                       // qz_fed_kind
    std::array<std::uint8_t, qz_fed_rule::kSize> rule{};  // host order, as the command gave it
    std::uint32_t log_flag = 0;
    std::array<std::uint8_t, fe_acl_rule::kSize> tmpl{};  // fe_fw_acl_rule_t
    std::uint32_t order_key = 0;
    std::uint32_t fed_id = 0;
    std::array<char, qz_fed_entry_off::kNameSize> name{};  // NUL-terminated
    std::uint32_t need_resolve = 0;
    std::uint8_t rules_num = 0;
    std::array<qz_fed_fe_rule_t, qz_fed_entry_off::kSlotCount> fe{};

    std::string_view policy() const;
    void set_policy(std::string_view n);
    // Words and names of the rule block.
    std::uint32_t rule_word(std::size_t off) const;
    void set_rule_word(std::size_t off, std::uint32_t v);
    std::string_view rule_text(std::size_t off, std::size_t width) const;
    std::uint32_t flags() const { return rule_word(0); }
};

using qz_fed_entry_bytes = std::array<std::uint8_t, qz_fed_entry_off::kSize>;
using qz_fed_key_t = std::array<std::uint8_t, qz_fed_entry_off::kKeySize>;

void qz_fed_entry_encode(const qz_fed_entry_t& e, qz_fed_entry_bytes& out);
// Decodes a stored record; false for one that is not a whole, sane entry
// (wrong size, ids that disagree or are out of range, an unterminated or
// empty name, more FE rules than slots, an unknown kind).
bool qz_fed_entry_decode(std::span<const std::uint8_t> in, qz_fed_entry_t& e);
// The 40-byte key of (fed_id, policy): zero-padded, so equal keys compare equal.
qz_fed_key_t qz_fed_entry_key(std::uint32_t fed_id, std::string_view policy);

// Host names of rules: at most 64 characters.
inline constexpr std::size_t QZ_FED_HOST_MAX = 64;
enum class qz_fed_host_check { ok, too_long, invalid };
// Whether a host name may stand in a rule: dot-separated labels of 1 to 63
// letters, digits and inner hyphens, at most 64 characters in all, the last
// label not all digits (a mistyped address is no host name).
qz_fed_host_check qz_fed_host_name_check(std::string_view host);

// Action codes by name (case-insensitive; codes 1..9 tried in order), -1
// for none; names by code, "" for 10 or more.
int qz_fed_action_code(std::string_view name);
const char* qz_fed_action_name(std::uint32_t code);
