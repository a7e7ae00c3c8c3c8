// IP-policy commands. A rule command only stores the rule as a pending
// mapping entry and starts the resolution timer; the timer's pass makes the
// FE rules. Every command holds the policy guard, so it never interleaves
// with the pass's identifier allocation.
#include "fed/cli/qz_fed_ip_policy_cli.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/policy/qz_fed_db.h"
#include "fed/policy/qz_fed_grp.h"
#include "fed/policy/qz_fed_resolve.h"
#include "fed/qz_fed_debug.h"
#include "platform/fe_acl.h"
#include "platform/qz.h"
#include "platform/svc_msg.h"
#include "platform/wire.h"

namespace {

namespace ru = qz_fed_rule;
using cmdtbl::arg_flag_bit;
using cmdtbl::arg_off;
using Kind = qz_fed_kind;

// Command 925's record, turned into a 919 rule block.
namespace local {
inline constexpr auto& kRows = cmdtbl::kRowsIpPolicy;
inline constexpr std::size_t kService = arg_off(kRows, 925, "SERVICE");
inline constexpr std::size_t kAction = arg_off(kRows, 925, "ACTION");
inline constexpr std::size_t kActionWidth = cmdtbl::arg_width(kRows, 925, "ACTION");
inline constexpr std::uint32_t kFlagService = 1u << arg_flag_bit(kRows, 925, "SERVICE");
inline constexpr std::uint32_t kFlagAction = 1u << arg_flag_bit(kRows, 925, "ACTION");
// Everything up to the from mask lies where the 919 block has it.
inline constexpr std::size_t kSharedEnd = ru::kFromMask + 4;
inline constexpr std::uint32_t kSharedFlags = 0x3F | 0x80000000u;
static_assert(arg_off(kRows, 925, "FROM-MASK") == ru::kFromMask &&
              arg_off(kRows, 925, "NAME") == ru::kName &&
              arg_off(kRows, 925, "WHERE") == ru::kWhere && kSharedEnd <= kService);
static_assert((kSharedFlags & (ru::kFlagTo | ru::kFlagToMask | kFlagService | kFlagAction)) == 0);
}  // namespace local

inline constexpr std::uint32_t kAllOnes = 0xFFFFFFFFu;
inline constexpr std::uint32_t kRuleFields =
    ru::kFlagFrom | ru::kFlagTo | ru::kFlagService | ru::kFlagAction;

// The FE's group names; false when they cannot be listed.
bool fe_groups(std::vector<std::uint8_t>& names, std::uint32_t& n) {
    names.assign(std::size_t{fe_acl_grp::kListMax} * fe_acl_grp::kSize, 0);
    n = fe_acl_grp::kListMax;
    if (fe_fw_get_acl_grp_names(names.data(), &n) != 0) return false;
    n = std::min(n, fe_acl_grp::kListMax);
    return true;
}

std::string group_name(const std::vector<std::uint8_t>& names, std::uint32_t i) {
    const char* p = reinterpret_cast<const char*>(names.data() + i * fe_acl_grp::kSize);
    return std::string(p, strnlen(p, fe_acl_rule::kNameSize));
}

std::string entry_name(const qz_fed_entry_t& e) {
    return std::string(e.rule_text(ru::kName, ru::kNameWidth));
}

bool fetch(std::string_view policy, std::uint32_t id, qz_fed_entry_t& e) {
    e = qz_fed_entry_t{};
    e.fed_id = id;
    e.set_policy(policy);
    return qz_fed_db_fetch(e) == 0;
}

// Deletes the FE rules of a stored entry, in stored order, unmarking each.
// On a failure the entry is stored again with the FE rules still in place,
// so that a later delete can go on from there. 0, or the FE's result.
int delete_fe_rules(qz_fed_entry_t& e) {
    std::string name(e.policy());
    std::size_t done = 0;
    int rc = 0;
    for (; done < e.rules_num && e.fe[done].used; ++done) {
        rc = fe_fw_acl_delete_by_id(name.c_str(), e.fe[done].fe_id);
        if (rc != 0) {
            FED_ERR("FED: delete policy group %s fed_id %d fe_id %d error!\n error code is [%d]\n",
                    name.c_str(), e.fed_id, e.fe[done].fe_id, rc);
            break;
        }
        qz_fed_grp_unmark_fe_id(name, e.fe[done].fe_id);
    }
    if (done > 0 && done < e.rules_num) {
        std::copy(e.fe.begin() + static_cast<long>(done), e.fe.begin() + e.rules_num, e.fe.begin());
        e.rules_num = static_cast<std::uint8_t>(e.rules_num - done);
        std::fill(e.fe.begin() + e.rules_num, e.fe.end(), qz_fed_fe_rule_t{});
        qz_fed_db_store(e);
    }
    if (rc == 0 && done < e.rules_num) rc = -1;  // a slot not in use before rules_num
    return rc;
}

// Delete one rule: its FE rules, its record, its fed_id. 0, FE_ACL_NO_RULE
// when there is none, or the failing result.
int delete_rule(std::string_view policy, std::uint32_t id) {
    qz_fed_entry_t e;
    if (!fetch(policy, id, e)) return FE_ACL_NO_RULE;
    int rc = delete_fe_rules(e);
    if (rc != 0) return rc;
    if (qz_fed_db_delete(id, policy) != 0) {
        FED_ERR("ERROR when delete mapping \n");
        return -1;
    }
    qz_fed_grp_unmark_fed_id(policy, id);
    return 0;
}

// The old rule of a replacement goes; its record even when not every FE rule
// could be deleted. 0, or -1.
int replace_delete(qz_fed_entry_t& old) {
    std::string name(old.policy());
    FED_DBG(cli, "delete mapping from dbm with id %d\n", old.fed_id);
    if (delete_fe_rules(old) != 0) return -1;
    if (qz_fed_db_delete(old.fed_id, name) != 0) {
        FED_DBG(cli, "delete mapping from dbm with id %d error!\n", old.fed_id);
        return 0;
    }
    qz_fed_grp_unmark_fed_id(name, old.fed_id);
    return 0;
}

int create_policy(void* ctx, const std::string& name) {
    if (qz_fed_grp_count() > QZ_FED_GRP_MAX - 1) {
        qz_cli_printf(ctx, "exceed max groups, can't add any more!\n");
        return 0;
    }
    if (!qz_fed_db_name_ok(name)) {
        qz_cli_printf(ctx, "ip-policy name %s is not allowed\n", name.c_str());
        return -1;
    }
    if (qz_fed_ip_policy_fe_has(name)) {
        qz_cli_printf(ctx, "group %s already exist!\n", name.c_str());
        return -1;
    }
    int rc = fe_fw_grp_add_flag(name.c_str(), 0);
    if (rc != 0) return rc;
    bool added = false;
    qz_fed_grp_add(name, &added);
    // Without its file the policy could not keep rules: take it back out.
    if (added && qz_fed_db_create_file(name) != 0) {
        qz_fed_grp_remove(name);
        fe_fw_grp_del(name.c_str());
        return -1;
    }
    if (name == QZ_FED_PPSK_POLICY) qz_fed_set_ippolicy4ppsk_chg_by_dhcp(0, nullptr);
    return 0;
}

int pure_move(void* ctx, const std::string& name, std::uint32_t id, bool after,
              const qz_fed_entry_t& target) {
    qz_fed_entry_t moved;
    if (!fetch(name, id, moved)) {
        qz_cli_printf(ctx, "The id assigned does not exist!\n");
        return -1;
    }
    if (qz_fed_entry_move(name, moved.order_key, after, target.order_key) != 0) {
        FED_DBG(cli, "move error!");
        return 0;
    }
    if (!moved.need_resolve && !target.need_resolve) qz_fed_fe_move(moved, after, target);
    return 0;
}

// Add, replace or move a rule of an existing policy.
int add_rule(void* ctx, qz_fed_entry_t e) {
    std::string name = entry_name(e);
    if (!qz_fed_db_name_ok(name) || !qz_fed_ip_policy_fe_has(name)) {
        qz_cli_printf(ctx, "group %s not exist!\n", name.c_str());
        return -1;
    }
    std::uint32_t f = e.flags();
    if (f & ru::kFlagService) {
        std::string svc(e.rule_text(ru::kService, ru::kServiceWidth));
        std::uint8_t rec[qz_service_entry_db::kSize] = {};
        if (qz_dcd_get_service_table(svc.c_str(), rec) < 0) {
            qz_cli_printf(ctx, "service %s not existed!\r\n", svc.c_str());
            return -1;
        }
    }
    for (auto [given, kind, off] : {std::tuple{ru::kFlagFrom, ru::kFromKind, ru::kFrom},
                                    std::tuple{ru::kFlagTo, ru::kToKind, ru::kTo}}) {
        if (!(f & given) || e.rule_word(kind) == ru::kKindAddr) continue;
        std::string host(e.rule_text(off, ru::kHostWidth));
        switch (qz_fed_host_name_check(host)) {
            case qz_fed_host_check::too_long:
                qz_cli_printf(ctx, "ERROR:name  exceeds maximum length(%d)\n",
                              static_cast<int>(QZ_FED_HOST_MAX));
                return -1;
            case qz_fed_host_check::invalid:
                qz_cli_printf(ctx, "host name %s is not valid\n", host.c_str());
                return -1;
            case qz_fed_host_check::ok:
                break;
        }
    }
    if ((f & ru::kFlagFrom) && !(f & ru::kFlagFromMask)) {
        f |= ru::kFlagFromMask;
        e.set_rule_word(ru::kFromMask, kAllOnes);
    }
    if ((f & ru::kFlagTo) && !(f & ru::kFlagToMask)) {
        f |= ru::kFlagToMask;
        e.set_rule_word(ru::kToMask, kAllOnes);
    }
    e.set_rule_word(0, f);
    e.log_flag = e.type_fed_cli != static_cast<std::uint32_t>(Kind::normal);

    bool has_id = f & ru::kFlagId;
    std::uint32_t id = has_id ? e.rule_word(ru::kId) : 0;
    qz_fed_entry_t old;
    bool exists = has_id && fetch(name, id, old);
    bool has_pos = f & ru::kFlagPos;
    bool after = e.rule_text(ru::kWhere, ru::kWhereWidth) == "after";
    qz_fed_entry_t target;
    // Every check comes before the first change.
    if (has_pos) {
        std::uint32_t ref = e.rule_word(ru::kRef);
        if (!fetch(name, ref, target)) {
            qz_cli_printf(ctx, "The move_id does not exist!\n");
            return -1;
        }
        if (has_id && id == ref) {
            qz_cli_printf(ctx, "The two id are the same!\n");
            return -1;
        }
        if (e.type_fed_cli == static_cast<std::uint32_t>(Kind::normal) && has_id &&
            !(f & kRuleFields))
            return pure_move(ctx, name, id, after, target);
    }
    if (!has_id) {
        FED_DBG(cli, "policy has no id, set default id\n");
        id = qz_fed_grp_alloc_fed_id(name);
        if (id == 0) {
            FED_ERR("get default id error\n");
            qz_cli_printf(ctx, "can't get default id\n");
            return -1;
        }
    }
    int count = qz_fed_grp_mapping_cnt(name);
    if (!exists && count >= QZ_FED_RULES_MAX) {
        FED_ERR("The number of ip-policy rules %d for group %s exceed max %d!\n", count,
                name.c_str(), QZ_FED_RULES_MAX);
        return -1;
    }
    if (exists && replace_delete(old) != 0) {
        qz_cli_printf(ctx, "can't delete exist rule!\n");
        return -2;
    }

    e.fed_id = id;
    e.set_policy(name);
    e.order_key = exists ? old.order_key : qz_fed_next_order_key();
    e.need_resolve = 1;
    e.rules_num = 0;
    if (qz_fed_db_store(e) != 0) return 0;
    qz_fed_grp_mark_fed_id(name, id);
    // The rule lands next to the one named; the others keep their order.
    if (has_pos && qz_fed_entry_move(name, e.order_key, after, target.order_key) != 0)
        FED_DBG(cli, "move error!");
    qz_fed_resolve_timer_start(1);
    return 0;
}

qz_fed_entry_t new_entry(Kind kind, qz_fed_pol_args_t args, std::size_t size) {
    qz_fed_entry_t e;
    e.type_fed_cli = static_cast<std::uint32_t>(kind);
    std::copy_n(args.begin(), std::min(args.size(), size), e.rule.begin());
    return e;
}

int rule_command(void* ctx, Kind kind, qz_fed_pol_args_t args) {
    std::lock_guard guard(qz_fed_pol_guard());
    qz_fed_entry_t e = new_entry(kind, args, kind == Kind::normal ? ru::kSize : ru::kLogSize);
    std::uint32_t f = e.flags();
    if (kind == Kind::normal && (f & ru::kFlagSet) &&
        !(f & (kRuleFields | ru::kFlagId | ru::kFlagPos)))
        return create_policy(ctx, entry_name(e));
    return add_rule(ctx, e);
}

using fedcli::user_str;

std::string addr_pair(std::uint32_t a, std::uint32_t m) {
    char buf[40];
    qz_snprintf(buf, sizeof buf, "%i %i ", a, m);
    return buf;
}

// One end of a rule as the running configuration writes it.
std::string end_text(const qz_fed_entry_t& e, const char* word, std::size_t kind_off,
                     std::size_t addr_off, std::size_t mask_off, bool local_subnet) {
    std::uint32_t a = e.rule_word(addr_off), m = e.rule_word(mask_off);
    std::string s = std::string(word) + " ";
    if (e.rule_word(kind_off) != ru::kKindAddr)
        return s + user_str(e.rule_text(addr_off, ru::kHostWidth)) + " ";
    if (local_subnet && a == 0 && m == kAllOnes) return s + "local-subnet ";
    return s + addr_pair(a, m);
}

void add_line(void* out, const qz_fed_entry_t& e) {
    std::uint32_t f = e.flags();
    auto kind = static_cast<Kind>(e.type_fed_cli);
    std::string s = "ip-policy " + user_str(e.policy()) + " id " + std::to_string(e.fed_id) + " ";
    if (f & ru::kFlagFrom) s += end_text(e, "from", ru::kFromKind, ru::kFrom, ru::kFromMask, false);
    if (f & ru::kFlagTo)
        s += end_text(e, "to", ru::kToKind, ru::kTo, ru::kToMask, kind == Kind::normal);
    if (f & ru::kFlagService)
        s += "service " + user_str(e.rule_text(ru::kService, ru::kServiceWidth)) + " ";
    std::string option =
        (f & ru::kFlagOption) ? std::string(e.rule_text(ru::kOption, ru::kOptionWidth)) : "";
    std::uint32_t cmd = 919;
    switch (kind) {
        case Kind::normal:
            if (f & ru::kFlagAction)
                s += "action " + user_str(e.rule_text(ru::kAction, ru::kActionWidth));
            break;
        case Kind::permit_log:
            s += e.log_flag ? "action permit log " + option : "action permit";
            if (e.log_flag) cmd = 921;
            break;
        case Kind::deny_log:
            s += e.log_flag ? "action deny log packet-drop" : "action deny";
            if (e.log_flag) cmd = 920;
            break;
        case Kind::sta_log:
            s += e.log_flag ? "action inter-station-traffic-drop log " + option
                            : "action inter-station-traffic-drop";
            if (e.log_flag) cmd = 922;
            break;
    }
    fedcli::add_text_line(out, cmd, s);
}

}  // namespace

bool qz_fed_ip_policy_fe_has(const std::string& name) {
    std::vector<std::uint8_t> names;
    std::uint32_t n = 0;
    if (!fe_groups(names, n)) return false;
    for (std::uint32_t i = 0; i < n; ++i)
        if (group_name(names, i) == name) return true;
    return false;
}

int qz_fed_ip_policy_rule(void* ctx, qz_fed_pol_args_t args) {
    return rule_command(ctx, Kind::normal, args);
}

int qz_fed_ip_policy_permit_log(void* ctx, qz_fed_pol_args_t args) {
    return rule_command(ctx, Kind::permit_log, args);
}

int qz_fed_ip_policy_deny_log(void* ctx, qz_fed_pol_args_t args) {
    return rule_command(ctx, Kind::deny_log, args);
}

int qz_fed_ip_policy_sta_log(void* ctx, qz_fed_pol_args_t args) {
    return rule_command(ctx, Kind::sta_log, args);
}

int qz_fed_ip_policy_local(void* ctx, qz_fed_pol_args_t args) {
    std::lock_guard guard(qz_fed_pol_guard());
    fedcli::Fields in(args);
    qz_fed_entry_t e;
    e.type_fed_cli = static_cast<std::uint32_t>(Kind::normal);
    std::copy_n(args.begin(), std::min(args.size(), local::kSharedEnd), e.rule.begin());
    std::uint32_t f = in.h32(0);
    std::uint32_t out = (f & local::kSharedFlags) | ru::kFlagTo | ru::kFlagToMask;
    if (f & local::kFlagService) {
        out |= ru::kFlagService;
        e.set_rule_word(ru::kService - 4, 1);
        std::string svc = in.name(local::kService, ru::kServiceWidth);
        std::memcpy(e.rule.data() + ru::kService, svc.data(), svc.size());
    }
    if (f & local::kFlagAction) {
        out |= ru::kFlagAction;
        e.set_rule_word(ru::kAction - 4, 1);
        std::string act = in.name(local::kAction, local::kActionWidth);
        std::memcpy(e.rule.data() + ru::kAction, act.data(), act.size());
    }
    e.set_rule_word(ru::kToGiven, 1);
    e.set_rule_word(ru::kToKind, ru::kKindAddr);
    e.set_rule_word(ru::kTo, 0);
    e.set_rule_word(ru::kToMask, kAllOnes);
    e.set_rule_word(0, out);
    return add_rule(ctx, e);
}

int qz_fed_ip_policy_delete(void* ctx, qz_fed_pol_args_t args) {
    std::lock_guard guard(qz_fed_pol_guard());
    std::string name = fedcli::name(args, ru::kName, ru::kNameWidth);
    std::uint32_t f = fedcli::word(args, 0);
    std::uint32_t id = fedcli::word(args, ru::kId);
    int rc = 0;
    if (!(f & ru::kFlagId)) {
        rc = fe_fw_grp_del(name.c_str());
        if (rc == 0) {
            if (qz_fed_db_remove_file(name) == 0)
                qz_fed_grp_remove(name);
            else
                FED_ERR("ERROR: delete file %s failed\n", name.c_str());
        }
    } else if (!(f & ru::kFlagLog)) {
        rc = delete_rule(name, id);
    } else {
        qz_fed_entry_t e;
        if (!fetch(name, id, e)) {
            rc = FE_ACL_NO_RULE;
        } else {
            for (std::size_t i = 0; i < e.rules_num; ++i)
                rc = fe_fw_acl_remove_log(name.c_str(), e.fe[i].fe_id);
            e.log_flag = 0;
            // A later rebuild adds the FE rules again from the template.
            e.tmpl[fe_acl_rule::kFlags] &= static_cast<std::uint8_t>(~fe_acl_flag::kLogAll);
            qz_fed_db_store(e);
        }
    }
    switch (rc) {
        case FE_ACL_NO_GROUP:
            qz_cli_printf(ctx, "IP policy %s not exist,use ip-policy to create\n", name.c_str());
            return -1;
        case FE_ACL_GROUP_FULL:
            qz_cli_printf(ctx, "exceed the maximum number of rules in one IP policy");
            return -1;
        case FE_ACL_NO_RULE:
            qz_cli_printf(ctx, "In IP policy %s id %d not exist\n", name.c_str(), id);
            return -1;
        default:
            return rc;
    }
}

void qz_fed_ip_policy_cfg(void* out) {
    std::vector<std::uint8_t> names;
    std::uint32_t n = 0;
    if (!fe_groups(names, n)) return;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (names[i * fe_acl_grp::kSize + fe_acl_grp::kFlags] & fe_acl_grp::kFlagHidden) continue;
        std::string name = group_name(names, i);
        fedcli::CfgRecord<ru::kSize> rec;
        rec.flags(ru::kFlagSet).text(ru::kName, ru::kNameWidth, name).add(out, 919);
        if (!qz_fed_db_name_ok(name)) continue;
        std::vector<qz_fed_entry_t> v;
        qz_fed_db_read_all(name, v);
        if (v.empty()) FED_DBG(cli, "file %s has no entry", name.c_str());
        qz_fed_db_sort(v);
        for (const qz_fed_entry_t& e : v) add_line(out, e);
    }
    qz_fed_ip_policy_binding_cfg(out);
}
