// MAC-policy commands: each becomes one FE call on a fe_mac_acl_rule_t built
// from the command block, and the FE's answer is translated for the user.
#include "fed/cli/qz_fed_mac_policy_cli.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_up.h"
#include "fed/qz_fed_debug.h"
#include "mgt/cli/fed/rows_ip_policy.h"
#include "mgt/cli/fed/rows_mac_policy.h"
#include "platform/fe.h"
#include "platform/fe_mac_acl.h"
#include "platform/qz.h"
#include "platform/wire.h"

namespace {

namespace mr = fe_mac_rule;
namespace mf = fe_mac_flag;
namespace me = fe_mac_entry;
namespace mb = fe_mac_acl_binding;
using cmdtbl::arg_flag_bit;
using cmdtbl::arg_off;
using cmdtbl::arg_width;
inline constexpr auto& kRows = cmdtbl::kRowsMacPolicy;

// The rule block of 924, 926 and 927.
namespace rb {
inline constexpr std::size_t kName = arg_off(kRows, 924, "NAME");
inline constexpr std::size_t kId = arg_off(kRows, 924, "ID");
inline constexpr std::size_t kWhere = arg_off(kRows, 924, "WHERE");
inline constexpr std::size_t kWhereWidth = arg_width(kRows, 924, "WHERE");
inline constexpr std::size_t kRef = arg_off(kRows, 924, "REF");
inline constexpr std::size_t kFrom = arg_off(kRows, 924, "FROM");
inline constexpr std::size_t kFromMask = arg_off(kRows, 924, "FROM-MASK");
inline constexpr std::size_t kTo = arg_off(kRows, 924, "TO");
inline constexpr std::size_t kToMask = arg_off(kRows, 924, "TO-MASK");
inline constexpr std::size_t kAction = arg_off(kRows, 924, "ACTION");
inline constexpr std::size_t kActionWidth = arg_width(kRows, 924, "ACTION");
inline constexpr std::size_t kOption = arg_off(kRows, 927, "OPTION");
inline constexpr std::size_t kOptionWidth = arg_width(kRows, 927, "OPTION");
inline constexpr std::size_t kSize = cmdtbl::cmd_size(kRows, 924);
inline constexpr std::uint32_t kFlagId = 1u << arg_flag_bit(kRows, 924, "ID");
inline constexpr std::uint32_t kFlagPos = 1u << arg_flag_bit(kRows, 924, "WHERE");
inline constexpr std::uint32_t kFlagFrom = 1u << arg_flag_bit(kRows, 924, "FROM");
inline constexpr std::uint32_t kFlagFromMask = 1u << arg_flag_bit(kRows, 924, "FROM-MASK");
inline constexpr std::uint32_t kFlagTo = 1u << arg_flag_bit(kRows, 924, "TO");
inline constexpr std::uint32_t kFlagToMask = 1u << arg_flag_bit(kRows, 924, "TO-MASK");
inline constexpr std::uint32_t kFlagAction = 1u << arg_flag_bit(kRows, 924, "ACTION");
inline constexpr std::uint32_t kFlagOption = 1u << arg_flag_bit(kRows, 927, "OPTION");
inline constexpr std::uint32_t kFlags = cmdtbl::form_flags(kRows, 924);
// No syntax of ours sets bit 3; a record carrying it still counts as a rule change.
inline constexpr std::uint32_t kFlagSpare = 0x008;
// Room for an over-long name of a record that did not come from the table.
inline constexpr std::size_t kNameRoom = kId - kName;
static_assert(kFlagAction == kFlagOption);
static_assert(arg_off(kRows, 926, "NAME") == kName && arg_off(kRows, 927, "NAME") == kName);
static_assert(arg_off(kRows, 926, "TO-MASK") == kToMask &&
              arg_off(kRows, 927, "TO-MASK") == kToMask);
static_assert(arg_off(kRows, 926, "REF") == kRef && arg_off(kRows, 927, "REF") == kRef);
static_assert(cmdtbl::cmd_size(kRows, 926) == kSize && cmdtbl::cmd_size(kRows, 927) == kSize);
static_assert((kFlagSpare & (kFlagId | kFlagPos | kFlagFrom | kFlagFromMask | kFlagTo |
                             kFlagToMask | kFlagAction)) == 0);
}  // namespace rb

// The delete block of 928.
namespace db {
inline constexpr std::size_t kName = arg_off(kRows, 928, "NAME");
inline constexpr std::size_t kIdGiven = arg_off(kRows, 928, "id");
inline constexpr std::size_t kId = arg_off(kRows, 928, "ID");
inline constexpr unsigned kBitLog = arg_flag_bit(kRows, 928, "log");
}  // namespace db

// The 942 record of the running configuration.
namespace bb {
inline constexpr std::size_t kName = arg_off(kRows, 942, "NAME");
inline constexpr std::size_t kNameWidth = arg_width(kRows, 942, "NAME");
inline constexpr std::size_t kFrom = arg_off(kRows, 942, "FROM");
inline constexpr std::size_t kTo = arg_off(kRows, 942, "TO");
inline constexpr std::size_t kWidth = arg_width(kRows, 942, "TO");
inline constexpr std::size_t kFromGiven = arg_off(kRows, 942, "from-access");
inline constexpr std::size_t kToGiven = arg_off(kRows, 942, "to-access");
inline constexpr unsigned kBitFrom = arg_flag_bit(kRows, 942, "FROM");
inline constexpr unsigned kBitTo = arg_flag_bit(kRows, 942, "TO");
inline constexpr std::uint32_t kFlags = cmdtbl::form_flags(kRows, 942);
inline constexpr std::size_t kSize = cmdtbl::cmd_size(kRows, 942);
static_assert(kWidth == mb::kNameSize && arg_width(kRows, 942, "FROM") == kWidth);
}  // namespace bb

// The 944 record (protocol drop) of the running configuration.
namespace pd {
inline constexpr auto& kIpRows = cmdtbl::kRowsIpPolicy;
inline constexpr std::size_t kName = arg_off(kIpRows, 944, "NAME");
inline constexpr std::size_t kNameWidth = arg_width(kIpRows, 944, "NAME");
inline constexpr std::size_t kWord = arg_off(kIpRows, 944, "deny");
inline constexpr std::size_t kWordWidth = arg_width(kIpRows, 944, "deny");
inline constexpr std::uint32_t kFlags = cmdtbl::form_flags(kIpRows, 944);
inline constexpr std::size_t kSize = cmdtbl::cmd_size(kIpRows, 944);
}  // namespace pd

inline constexpr std::size_t kSwitchSize = cmdtbl::cmd_size(kRows, 945);
static_assert(cmdtbl::cmd_size(kRows, 946) == kSwitchSize);

inline constexpr int kFeFailed = -65535;
inline constexpr std::uint32_t kBitsPerByte = 8;

enum class Kind { rule, deny_log, permit_log };

// One rule command as the FE will see it.
struct RuleCmd {
    std::string name;
    std::uint8_t rec[mr::kSize] = {};
    std::uint32_t block_flags = 0;
    std::uint8_t pos = mr::kPosNone;
    std::uint32_t id = 0, ref = 0;
    bool new_policy = false;

    void put32(std::size_t off, std::uint32_t v) { wire::store_h<std::uint32_t>(rec + off, v); }
    void add_flags(std::uint16_t f) {
        std::uint16_t now = wire::load_h<std::uint16_t>(rec + mr::kFlags);
        wire::store_h<std::uint16_t>(rec + mr::kFlags, static_cast<std::uint16_t>(now | f));
    }
};

// A mask in bits, as the FE takes it in bytes; false when it is not 0, 24 or 48.
bool mask_bytes(std::uint32_t bits, std::uint32_t& bytes) {
    if (bits != 0 && bits != 24 && bits != 48) return false;
    bytes = bits / kBitsPerByte;
    return true;
}

// One end of a rule: its MAC, and its mask (6 bytes when none is given).
bool rule_end(void* ctx, qz_fed_mac_args_t args, RuleCmd& c, std::size_t mac_off,
              std::size_t mask_off, std::uint32_t mask_flag, std::size_t rec_mac,
              std::size_t rec_mask, std::uint16_t fe_flag, const char* refusal) {
    fedcli::mac(args, mac_off, c.rec + rec_mac);
    std::uint32_t bytes = 6;
    if ((c.block_flags & mask_flag) && !mask_bytes(fedcli::word(args, mask_off), bytes)) {
        qz_cli_printf(ctx, "%s", refusal);
        return false;
    }
    c.put32(rec_mask, bytes);
    c.add_flags(fe_flag);
    return true;
}

// Name, id, position, from and to of a rule command; false (after the
// message) when the command is refused.
bool parse_rule(void* ctx, qz_fed_mac_args_t args, std::uint32_t new_mask, RuleCmd& c) {
    c.name = fedcli::name(args, rb::kName, rb::kNameRoom);
    if (c.name.size() > mr::kNameSize) {
        FED_DBG(cli, "ERROR:name  exceeds maximum length(%d)\n",
                static_cast<int>(mr::kNameSize - 1));
        return false;
    }
    std::memcpy(c.rec + mr::kGroup, c.name.data(), c.name.size());
    c.block_flags = fedcli::word(args, qz_fed_arg::kFlags);
    c.new_policy = (c.block_flags & new_mask) == 0;
    if (c.block_flags & rb::kFlagId) {
        c.id = fedcli::word(args, rb::kId);
        c.put32(mr::kId, c.id);
    }
    if (c.block_flags & rb::kFlagPos) {
        c.ref = fedcli::word(args, rb::kRef);
        c.put32(mr::kRef, c.ref);
        std::string where = fedcli::name(args, rb::kWhere, rb::kWhereWidth);
        if (where == "before") {
            c.pos = mr::kPosBefore;
        } else if (where == "after") {
            c.pos = mr::kPosAfter;
        } else {
            qz_cli_printf(ctx, "Unknown position!");
            return false;
        }
        c.rec[mr::kPos] = c.pos;
        if ((c.block_flags & rb::kFlagId) && c.id == c.ref) {
            qz_cli_printf(ctx, "The two id are the same!\n");
            return false;
        }
    }
    if ((c.block_flags & rb::kFlagFrom) &&
        !rule_end(ctx, args, c, rb::kFrom, rb::kFromMask, rb::kFlagFromMask, mr::kSrc, mr::kSrcMask,
                  mf::kSrc, "Invalid source MAC mask length!\n"))
        return false;
    if ((c.block_flags & rb::kFlagTo) &&
        !rule_end(ctx, args, c, rb::kTo, rb::kToMask, rb::kFlagToMask, mr::kDst, mr::kDstMask,
                  mf::kDst, "Invalid destination MAC mask length!\n"))
        return false;
    return true;
}

// The user's view of the FE's answer to a rule command.
int rule_result(void* ctx, const RuleCmd& c, int rc) {
    const char* name = c.name.c_str();
    switch (rc) {
        case 0:
            if (c.new_policy)
                qz_log_flash(5, "A new MAC policy, \"<%s>\", was added", name);
            else
                qz_log_flash(5, "The MAC policy \"<%s>\" was modified", name);
            return 0;
        case FE_MAC_BAD_MASK:
            qz_cli_printf(ctx, "Invalid mask length");
            return -1;
        case FE_MAC_BAD_MOVE:
            qz_cli_printf(ctx, "Invalid move id\n");
            return -1;
        case FE_MAC_TOO_MANY_RULES:
            qz_cli_printf(ctx, "exceed the maximum number of rules in one mac policy");
            return -1;
        case FE_MAC_TOO_MANY_GROUPS:
            qz_cli_printf(ctx, "exceed the maximum number of policies in the device");
            return -1;
        case FE_MAC_NO_GROUP:
            qz_cli_printf(ctx, "Mac policy %s not exist,use mac-policy to create\n", name);
            return -1;
        case FE_MAC_NO_REF:
            qz_cli_printf(ctx, "In mac policy %s the %s id %d not exist\n", name,
                          c.pos == mr::kPosBefore ? "before" : "after", static_cast<int>(c.ref));
            return -1;
        case FE_MAC_NO_RULE:
            qz_cli_printf(ctx, "In MAC policy %s id %d not exist\n", name, static_cast<int>(c.id));
            return -1;
        case FE_MAC_NO_PROFILE:
            qz_cli_printf(ctx, "user profile not exist!\n");
            return -1;
        default:
            return kFeFailed;
    }
}

// Flags that make a rule command more than the creation of its policy.
inline constexpr std::uint32_t kChangeDenyLog =
    rb::kFlagId | rb::kFlagPos | rb::kFlagSpare | rb::kFlagFrom | rb::kFlagTo;
inline constexpr std::uint32_t kChange = kChangeDenyLog | rb::kFlagAction;

// 924 with none of id, position, from, to and action.
int create_policy(void* ctx, const RuleCmd& c) {
    if (qz_fed_mac_policy_fe_has(c.name)) {
        qz_cli_printf(ctx, "MAC Policy already exist\n");
        return -1;
    }
    return rule_result(ctx, c, fe_mac_acl_grp_add(c.rec));
}

// The log rules: action and flags set by the command, then one add.
int log_rule(void* ctx, qz_fed_mac_args_t args, Kind kind) {
    if (fedcli::is_no(ctx)) {
        qz_cli_printf(ctx, "use no mac-policy <string> id <numbers> log to unset log.\n");
        return -1;
    }
    RuleCmd c;
    if (!parse_rule(ctx, args, kind == Kind::deny_log ? kChangeDenyLog : kChange, c)) return -1;
    if (kind == Kind::deny_log) {
        c.put32(mr::kAction, FE_MAC_ACTION_DENY);
        c.add_flags(mf::kAction | mf::kLog | mf::kLogDeny);
    } else {
        c.put32(mr::kAction, FE_MAC_ACTION_PERMIT);
        c.add_flags(mf::kAction);
        std::uint16_t log = mf::kLog | mf::kLogInitiate | mf::kLogTerminate;
        if (c.block_flags & rb::kFlagOption) {
            std::string w = fedcli::name(args, rb::kOption, rb::kOptionWidth);
            if (strcasecmp(w.c_str(), "initiate-session") == 0)
                log = mf::kLog | mf::kLogInitiate;
            else if (strcasecmp(w.c_str(), "terminate-session") == 0)
                log = mf::kLog | mf::kLogTerminate;
            else
                log = 0;
        }
        c.add_flags(log);
    }
    int rc = fe_mac_acl_add(c.rec);
    FED_DBG(cli, "do mac-policy\n");
    return rule_result(ctx, c, rc);
}

}  // namespace

namespace fedmac {

bool fe_names(std::vector<std::string>& names) {
    std::vector<std::uint8_t> buf(std::size_t{fe_mac_grp::kListMax} * fe_mac_grp::kSize, 0);
    std::uint32_t n = fe_mac_grp::kListMax;
    names.clear();
    if (fe_mac_acl_get_acl_grp_names(buf.data(), &n) != 0) return false;
    fedcli::Fields f(buf);
    for (std::uint32_t i = 0; i < n && i < fe_mac_grp::kListMax; ++i)
        names.push_back(f.name(i * fe_mac_grp::kSize, fe_mac_grp::kSize));
    return true;
}

}  // namespace fedmac

bool qz_fed_mac_policy_fe_has(const std::string& name) {
    std::vector<std::string> names;
    if (!fedmac::fe_names(names)) return false;
    return std::find(names.begin(), names.end(), name.substr(0, mr::kNameSize)) != names.end();
}

int qz_fed_mac_policy_rule(void* ctx, qz_fed_mac_args_t args) {
    if (fedcli::is_no(ctx)) return -1;
    RuleCmd c;
    if (!parse_rule(ctx, args, kChange, c)) return -1;
    if (c.block_flags & rb::kFlagAction) {
        std::string a = fedcli::name(args, rb::kAction, rb::kActionWidth);
        if (a == "permit") {
            c.put32(mr::kAction, FE_MAC_ACTION_PERMIT);
        } else if (a == "deny") {
            c.put32(mr::kAction, FE_MAC_ACTION_DENY);
        } else {
            qz_cli_printf(ctx, "Unknown action!");
            return -1;
        }
    } else {
        c.put32(mr::kAction, FE_MAC_ACTION_DENY);
    }
    c.add_flags(mf::kAction);
    std::uint32_t f = c.block_flags;
    if ((f & (rb::kFlagId | rb::kFlagPos | rb::kFlagFrom | rb::kFlagTo | rb::kFlagAction)) == 0)
        return create_policy(ctx, c);
    int rc = 0;
    if (!(f & rb::kFlagPos)) {
        rc = fe_mac_acl_add(c.rec);
    } else if ((f & (rb::kFlagFrom | rb::kFlagTo | rb::kFlagAction)) == 0) {
        if (!(f & rb::kFlagId)) {
            qz_cli_printf(ctx, "move policy must assign two id!\n");
            return -1;
        }
        std::uint32_t how = c.pos == mr::kPosAfter ? FE_MAC_MOVE_AFTER : FE_MAC_MOVE_BEFORE;
        rc = fe_mac_acl_move(how, c.rec, c.id, c.ref);
    } else {
        rc = fe_mac_acl_add(c.rec);
    }
    FED_DBG(cli, "do mac-policy\n");
    return rule_result(ctx, c, rc);
}

int qz_fed_mac_policy_deny_log(void* ctx, qz_fed_mac_args_t args) {
    return log_rule(ctx, args, Kind::deny_log);
}

int qz_fed_mac_policy_permit_log(void* ctx, qz_fed_mac_args_t args) {
    return log_rule(ctx, args, Kind::permit_log);
}

int qz_fed_mac_policy_delete(void* ctx, qz_fed_mac_args_t args) {
    std::string name = fedcli::name(args, db::kName, db::kIdGiven - db::kName);
    if (name.size() > mr::kNameSize) {
        FED_DBG(cli, "ERROR:name  exceeds maximum length(%d)\n",
                static_cast<int>(mr::kNameSize - 1));
        return -1;
    }
    std::uint8_t rec[mr::kSize] = {};
    std::memcpy(rec + mr::kGroup, name.data(), name.size());
    bool has_id = fedcli::word(args, db::kIdGiven) != 0;
    std::uint32_t id = fedcli::word(args, db::kId);
    int rc = 0;
    if (has_id && !fedcli::bit(args, db::kBitLog)) {
        wire::store_h<std::uint32_t>(rec + mr::kId, id);
        rc = fe_mac_acl_delete_by_content(rec);
    } else if (has_id) {
        rc = fe_mac_acl_remove_log(name.c_str(), id);
    } else {
        rc = fe_mac_acl_grp_del(rec);
    }
    switch (rc) {
        case 0:
            qz_log_flash(5, "The MAC policy \"<%s>\" was %s", name.c_str(),
                         has_id ? "modified" : "removed");
            return 0;
        case FE_MAC_NO_GROUP:
            qz_cli_printf(ctx, "Mac policy %s not exist,use mac-policy to create\n", name.c_str());
            return -1;
        case FE_MAC_NO_RULE:
            qz_cli_printf(ctx, "In MAC policy %s id %d not exist\n", name.c_str(),
                          static_cast<int>(id));
            return -1;
        case FE_MAC_TOO_MANY_RULES:
            qz_cli_printf(ctx, "exceed the maximum number of rules in one mac policy");
            return -1;
        default:
            return kFeFailed;
    }
}

namespace {

int guard(void* ctx, std::uint32_t which, const char* failure) {
    if (fe_set_ipv6_ra_dhcpv6_guard(which, fedcli::is_no(ctx) ? 0 : 1) != 0) {
        qz_cli_printf(ctx, "%s", failure);
        return kFeFailed;
    }
    return 0;
}

// A rule end of the running configuration: MAC and mask in bits.
struct End {
    const std::uint8_t* mac;
    std::uint32_t bits;
};

void rule_cfg(void* out, const std::string& name, fedcli::Fields e) {
    std::uint16_t flags = static_cast<std::uint16_t>(e.h16(me::kFlags));
    std::uint32_t id = e.h32(me::kId);
    End src{e.mac(me::kSrc), e.h32(me::kSrcMask) * kBitsPerByte};
    End dst{e.mac(me::kDst), e.h32(me::kDstMask) * kBitsPerByte};
    if ((flags & mf::kLogLetters) == 0) {
        fedcli::CfgRecord<rb::kSize> rec;
        std::uint32_t f = rb::kFlags | rb::kFlagId;
        rec.text(rb::kName, mr::kNameSize, name).put(rb::kId, id);
        if (src.bits != 0) {
            f |= rb::kFlagFrom | rb::kFlagFromMask;
            rec.bytes(rb::kFrom, src.mac, 6).put(rb::kFromMask, src.bits);
        }
        if (dst.bits != 0) {
            f |= rb::kFlagTo | rb::kFlagToMask;
            rec.bytes(rb::kTo, dst.mac, 6).put(rb::kToMask, dst.bits);
        }
        if (e.h32(me::kAction) == FE_MAC_ACTION_PERMIT) {
            f |= rb::kFlagAction;
            rec.text(rb::kAction, rb::kActionWidth, "permit");
        }
        rec.flags(f).add(out, 924);
        return;
    }
    char cmd_mac_pol_log[256];
    std::string s = "mac-policy " + fedcli::user_str(name) + " id " + std::to_string(id) + " ";
    for (auto [word, end] : {std::pair{"from", src}, std::pair{"to", dst}}) {
        if (end.bits == 0) continue;
        qz_snprintf(cmd_mac_pol_log, sizeof cmd_mac_pol_log, "%s %m %d ", word, end.mac,
                    static_cast<int>(end.bits));
        s += cmd_mac_pol_log;
    }
    std::uint32_t cmd = 926;
    if (!(flags & mf::kLogDeny)) {
        s += "action permit log ";
        // Both I and T: the option word is left out.
        if (!(flags & mf::kLogInitiate))
            s += "terminate-session";
        else if (!(flags & mf::kLogTerminate))
            s += "initiate-session";
        cmd = 927;
    } else {
        s += "action deny log packet-drop";
    }
    fedcli::add_text_line(out, cmd, s);
}

void policies_cfg(void* out) {
    std::vector<std::string> names;
    if (!fedmac::fe_names(names)) return;
    std::vector<std::uint8_t> buf(std::size_t{me::kListMax} * me::kSize);
    for (const std::string& name : names) {
        fedcli::CfgRecord<rb::kSize>()
            .flags(rb::kFlags)
            .text(rb::kName, mr::kNameSize, name)
            .add(out, 924);
        std::uint32_t n = me::kListMax;
        if (fe_mac_acl_get_acl_grp_entries(name.c_str(), buf.data(), &n) != 0) continue;
        fedcli::Fields all(buf);
        for (std::uint32_t i = 0; i < n && i < me::kListMax; ++i)
            rule_cfg(out, name, all.sub(i * me::kSize, me::kSize));
    }
}

void bindings_cfg(void* out) {
    std::vector<std::uint8_t> buf(std::size_t{mb::kMax} * mb::kSize, 0);
    std::uint32_t n = mb::kMax;
    if (fe_mac_acl_get_acl_grp_binding(buf.data(), &n) != 0) return;
    n = std::min(n, mb::kMax);
    fedcli::Fields all(buf);
    for (std::uint32_t i = 0; i < n; ++i) {
        fedcli::Fields b = all.sub(i * mb::kSize, mb::kSize);
        std::string from = b.name(mb::kFrom, mb::kNameSize), to = b.name(mb::kTo, mb::kNameSize);
        char profile[33] = {};
        if ((from.empty() && to.empty()) ||
            !qz_fed_up_name_by_id(static_cast<int>(b.h32(mb::kUpid)), profile))
            continue;
        fedcli::CfgRecord<bb::kSize> rec;
        std::uint32_t f = bb::kFlags;
        rec.text(bb::kName, bb::kNameWidth, profile);
        if (!from.empty()) {
            f |= 1u << bb::kBitFrom;
            rec.put(bb::kFromGiven, 1).text(bb::kFrom, bb::kWidth, from);
        }
        if (!to.empty()) {
            f |= 1u << bb::kBitTo;
            rec.put(bb::kToGiven, 1).text(bb::kTo, bb::kWidth, to);
        }
        rec.flags(f).add(out, 942);
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        fedcli::Fields b = all.sub(i * mb::kSize, mb::kSize);
        std::uint32_t drop = b.h32(mb::kDrop);
        char profile[33] = {};
        if (drop == 0 || !qz_fed_up_name_by_id(static_cast<int>(b.h32(mb::kUpid)), profile))
            continue;
        fedcli::CfgRecord<pd::kSize>()
            .flags(pd::kFlags)
            .text(pd::kName, pd::kNameWidth, profile)
            .text(pd::kWord, pd::kWordWidth, (drop & 1u) ? "ipv4" : "ipv6")
            .add(out, 944);
    }
}

void guards_cfg(void* out) {
    for (auto [which, cmd] : {std::pair{FE_GUARD_RA, 945u}, std::pair{FE_GUARD_DHCPV6, 946u}}) {
        std::uint32_t on = 1;
        if (fe_get_ipv6_ra_dhcpv6_guard(which, &on) == 0 && on == 0)
            fedcli::CfgRecord<kSwitchSize>().flags(cmdtbl::kNoFormBit).add(out, cmd);
    }
}

}  // namespace

int qz_fed_mac_ra_guard(void* ctx, qz_fed_mac_args_t) {
    return guard(ctx, FE_GUARD_RA, "set ra guard error");
}

int qz_fed_mac_dhcpv6_shield(void* ctx, qz_fed_mac_args_t) {
    return guard(ctx, FE_GUARD_DHCPV6, "set dhcpv6 shield error");
}

void qz_fed_mac_policy_cfg(void* out) {
    policies_cfg(out);
    bindings_cfg(out);
    guards_cfg(out);
}
