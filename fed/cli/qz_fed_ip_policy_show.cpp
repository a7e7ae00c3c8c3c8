// IP-policy displays: the list of policies, a policy's stored rules, the
// FE's own rules of a policy with an optional filter, a user profile's
// bound policies, and the dump of the policy table.
#include <cstring>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_ip_policy_cli.h"
#include "fed/cli/qz_fed_up.h"
#include "fed/policy/qz_fed_db.h"
#include "fed/policy/qz_fed_grp.h"
#include "fed/qz_fed_debug.h"
#include "platform/fe.h"
#include "platform/fe_acl.h"
#include "platform/qz.h"

namespace {

namespace ru = qz_fed_rule;
namespace ae = fe_acl_entry;
using cmdtbl::arg_flag_bit;
using cmdtbl::arg_off;
using cmdtbl::arg_width;
using Kind = qz_fed_kind;

// Command 940's record.
namespace fev {
inline constexpr auto& kRows = cmdtbl::kRowsIpPolicy;
inline constexpr std::size_t kName = arg_off(kRows, 940, "NAME");
inline constexpr std::size_t kNameWidth = arg_width(kRows, 940, "NAME");
inline constexpr std::size_t kSrc = arg_off(kRows, 940, "SRC");
inline constexpr std::size_t kSrcMask = arg_off(kRows, 940, "SRC-MASK");
inline constexpr std::size_t kDst = arg_off(kRows, 940, "DST");
inline constexpr std::size_t kDstMask = arg_off(kRows, 940, "DST-MASK");
inline constexpr std::size_t kService = arg_off(kRows, 940, "SERVICE");
inline constexpr std::size_t kServiceWidth = arg_width(kRows, 940, "SERVICE");
inline constexpr std::size_t kAction = arg_off(kRows, 940, "ACTION");
inline constexpr std::size_t kActionWidth = arg_width(kRows, 940, "ACTION");
inline constexpr std::size_t kLimit = arg_off(kRows, 940, "N");
inline constexpr unsigned kBitSrc = arg_flag_bit(kRows, 940, "SRC");
inline constexpr unsigned kBitDst = arg_flag_bit(kRows, 940, "DST");
inline constexpr unsigned kBitService = arg_flag_bit(kRows, 940, "SERVICE");
inline constexpr unsigned kBitAction = arg_flag_bit(kRows, 940, "ACTION");
inline constexpr unsigned kBitLimit = arg_flag_bit(kRows, 940, "N");
static_assert(arg_off(kRows, 937, "NAME") == kName && arg_off(kRows, 941, "NAME") == kName);
}  // namespace fev

// Command 938's record. Each filter value follows its "given" word at a
// distance of its own.
namespace upv {
inline constexpr auto& kRows = cmdtbl::kRowsIpPolicy;
inline constexpr std::size_t kSelector = arg_off(kRows, 938, "ID") - 4;
inline constexpr std::size_t kId = arg_off(kRows, 938, "ID");
inline constexpr std::size_t kName = arg_off(kRows, 938, "NAME");
inline constexpr std::size_t kDir = arg_off(kRows, 938, "DIR");
inline constexpr std::size_t kDirWidth = arg_width(kRows, 938, "DIR");
inline constexpr std::size_t kNameWidth = kDir - kName;  // room to see a name too long
inline constexpr unsigned kBitDir = arg_flag_bit(kRows, 938, "DIR");
inline constexpr std::size_t kSrcGiven = 88, kSrc = arg_off(kRows, 938, "SRC");
inline constexpr std::size_t kSrcMask = arg_off(kRows, 938, "SRC-MASK");
inline constexpr std::size_t kDstGiven = 136, kDst = arg_off(kRows, 938, "DST");
inline constexpr std::size_t kDstMask = arg_off(kRows, 938, "DST-MASK");
inline constexpr std::size_t kServiceGiven = 184, kService = arg_off(kRows, 938, "SERVICE");
inline constexpr std::size_t kServiceWidth = arg_width(kRows, 938, "SERVICE");
inline constexpr std::size_t kActionGiven = 224, kAction = arg_off(kRows, 938, "ACTION");
inline constexpr std::size_t kActionWidth = arg_width(kRows, 938, "ACTION");
inline constexpr std::size_t kLimitGiven = 264, kLimit = arg_off(kRows, 938, "N");
inline constexpr std::uint32_t kById = 2;
static_assert(kSrc == kSrcGiven + 8 && kDst == kDstGiven + 8 && kService == kServiceGiven + 4 &&
              kAction == kActionGiven + 4 && kLimit == kLimitGiven + 4);
static_assert(arg_off(kRows, 938, "NAME") == kId && kDirWidth >= sizeof("from-access"));
}  // namespace upv

inline constexpr std::size_t kNameLimit = 33;  // a longer name cannot be a policy
inline constexpr int kFeFailed = -65535;
inline constexpr std::uint32_t kAllOnes = 0xFFFFFFFFu;

// qz_fed_ip_filter_t
struct Filter {
    std::uint32_t src = 0, src_mask = 0, dst = 0, dst_mask = 0;
    std::string service;
    std::uint32_t action = 0;
    std::uint32_t limit = 0;
    unsigned flags = 0;  // 1 source, 2 destination, 4 service, 8 action, 16 limit
};

// A service name of more than 18 characters: its first 15 and "...".
std::string cut(std::string s) {
    if (s.size() > 18) s = s.substr(0, 15) + "...";
    return s;
}

std::string net(std::uint32_t a, std::uint32_t m) {
    char buf[40];
    qz_snprintf(buf, sizeof buf, "%i/%i", a, m);
    return buf;
}

// 0.0.0.0/255.255.255.255 stands for the subnet of mgt0.
std::string local_subnet() {
    std::uint32_t a = 0, m = 0;
    if (qz_dcd_get_addr_byname("mgt0", &a, &m) != 0) {
        qz_log(4, "get ip and netmask of mgt0 failed!");
        return "local-subnet";
    }
    return net(a & m, m);
}

std::string flag_letters(std::uint8_t f) {
    std::string s;
    if (f & fe_acl_flag::kLogDeny) s += 'D';
    if (f & fe_acl_flag::kLogInitiate) s += 'I';
    if (f & fe_acl_flag::kLogTerminate) s += 'T';
    return s;
}

std::string stored_end(const qz_fed_entry_t& e, std::uint32_t flag, std::size_t kind_off,
                       std::size_t off, std::size_t mask_off, bool local) {
    if (!(e.flags() & flag)) return "0.0.0.0/0.0.0.0";
    if (e.rule_word(kind_off) != ru::kKindAddr)
        return std::string(e.rule_text(off, ru::kHostWidth));
    std::uint32_t a = e.rule_word(off), m = e.rule_word(mask_off);
    if (local && a == 0 && m == kAllOnes) return local_subnet();
    return net(a, m);
}

void stored_line(void* ctx, const qz_fed_entry_t& e) {
    auto kind = static_cast<Kind>(e.type_fed_cli);
    std::uint32_t f = e.flags();
    bool normal = kind == Kind::normal;
    std::string from = stored_end(e, ru::kFlagFrom, ru::kFromKind, ru::kFrom, ru::kFromMask, false);
    std::string to = stored_end(e, ru::kFlagTo, ru::kToKind, ru::kTo, ru::kToMask, normal);
    std::string svc = std::string(e.rule_text(ru::kService, ru::kServiceWidth));
    if (kind != Kind::deny_log && !(f & ru::kFlagService)) svc = "any";
    std::string action = kind == Kind::permit_log ? "permit"
                         : kind == Kind::deny_log ? "deny"
                         : kind == Kind::sta_log  ? "inter-station-traffic-drop"
                         : (f & ru::kFlagAction)
                             ? std::string(e.rule_text(ru::kAction, ru::kActionWidth))
                             : "deny";
    std::string flags =
        normal || e.log_flag ? flag_letters(e.tmpl[fe_acl_rule::kFlags]) : std::string();
    qz_cli_printf(ctx, "%-6d %-31s %-31s %-19s %-7s %-7s %c\n", e.fed_id, from.c_str(), to.c_str(),
                  cut(svc).c_str(), action.c_str(), flags.c_str(), e.need_resolve ? 'Y' : 'N');
}

bool matches(fedcli::Fields e, const Filter& f) {
    auto same_net = [&](std::size_t a_off, std::size_t m_off, std::uint32_t a, std::uint32_t m) {
        return (e.h32(a_off) & e.h32(m_off)) == (a & m) && e.h32(m_off) == m;
    };
    if ((f.flags & 1) && !same_net(ae::kSrc, ae::kSrcMask, f.src, f.src_mask)) return false;
    if ((f.flags & 2) && !same_net(ae::kDst, ae::kDstMask, f.dst, f.dst_mask)) return false;
    if ((f.flags & 4) && e.name(ae::kService, fe_acl_rule::kNameSize) != f.service) return false;
    if ((f.flags & 8) && e.h32(ae::kAction) != f.action) return false;
    return true;
}

fedcli::Fields entry_at(const std::vector<std::uint8_t>& buf, std::uint32_t i) {
    return fedcli::Fields(std::span<const std::uint8_t>(buf).subspan(i * ae::kSize, ae::kSize));
}

// The FE's rules of one policy, as command 940 and the profile view show them.
int fe_view(void* ctx, const std::string& name, const Filter& f) {
    std::vector<std::uint8_t> buf(std::size_t{ae::kListMax} * ae::kSize, 0);
    std::uint32_t n = ae::kListMax;
    if (fe_fw_get_acl_grp_entries(name.c_str(), buf.data(), &n) != 0) {
        qz_cli_printf(ctx, "Error when show IP policy %s\n", name.c_str());
        return kFeFailed;
    }
    n = std::min(n, ae::kListMax);
    std::uint32_t looked = (f.flags & 16) ? std::min(n, f.limit) : n;
    std::vector<std::uint32_t> hits;
    for (std::uint32_t i = 0; i < looked; ++i)
        if (matches(entry_at(buf, i), f)) hits.push_back(i);
    qz_cli_printf(ctx, "IP policy=%s\nTotal policies=%d\n", name.c_str(), n);
    if (f.flags) qz_cli_printf(ctx, "Match policies=%d\n", static_cast<int>(hits.size()));
    if (n == 0 || hits.empty()) return 0;
    qz_cli_printf(ctx, "D=Log Deny; I=Log Session Initiation; T=Log Session Termination\n");
    qz_cli_printf(ctx, "\"to local-subnet\" will be converted to display actual subnet of mgt0\n");
    qz_cli_printf(ctx, "\n");
    qz_cli_printf(ctx,
                  "IID     From                            To                              "
                  "Service             Action  Flag\n");
    qz_cli_printf(ctx,
                  "------ ------------------------------- ------------------------------- "
                  "------------------- ------- ----\n");
    for (std::uint32_t i : hits) {
        fedcli::Fields e = entry_at(buf, i);
        std::uint32_t d = e.h32(ae::kDst), dm = e.h32(ae::kDstMask);
        std::string to = d == 0 && dm == kAllOnes ? local_subnet() : net(d, dm);
        qz_cli_printf(ctx, "%-6d %-31s %-31s %-19s %-7s %s\n", e.h32(ae::kId),
                      net(e.h32(ae::kSrc), e.h32(ae::kSrcMask)).c_str(), to.c_str(),
                      cut(e.name(ae::kService, fe_acl_rule::kNameSize)).c_str(),
                      qz_fed_action_name(e.h32(ae::kAction)),
                      flag_letters(e.u8(ae::kFlags)).c_str());
    }
    return 0;
}

bool too_long(void* ctx, const std::string& s, std::size_t limit) {
    if (s.size() < limit + 1) return false;
    qz_cli_printf(ctx, "ERROR:name  exceeds maximum length(%d)\n", static_cast<int>(limit));
    return true;
}

// The filter of command 938; false (after the message) for a service name
// that is too long.
bool profile_filter(void* ctx, fedcli::Fields a, Filter& f) {
    if (a.h32(upv::kSrcGiven)) {
        f.flags |= 1;
        f.src = a.h32(upv::kSrc);
        f.src_mask = a.h32(upv::kSrcMask);
    }
    if (a.h32(upv::kDstGiven)) {
        f.flags |= 2;
        f.dst = a.h32(upv::kDst);
        f.dst_mask = a.h32(upv::kDstMask);
    }
    if (a.h32(upv::kServiceGiven)) {
        f.flags |= 4;
        f.service = a.name(upv::kService, upv::kServiceWidth);
        if (too_long(ctx, f.service, kNameLimit)) return false;
    }
    if (a.h32(upv::kActionGiven)) {
        f.flags |= 8;
        f.action =
            static_cast<std::uint32_t>(qz_fed_action_code(a.name(upv::kAction, upv::kActionWidth)));
    }
    if (a.h32(upv::kLimitGiven)) {
        f.flags |= 16;
        f.limit = a.h32(upv::kLimit);
    }
    return true;
}

// "%6d" for every id whose bit is set, ten a line.
void id_bits(void* ctx, const std::array<std::uint8_t, 128>& bits) {
    int shown = 0;
    for (std::uint32_t id = 1; id <= QZ_FED_ID_MAX; ++id) {
        if (!(bits[(id - 1) / 8] & (1u << ((id - 1) % 8)))) continue;
        qz_cli_printf(ctx, "%6d", id);
        if (++shown % 10 == 0) qz_cli_printf(ctx, "\n");
    }
    qz_cli_printf(ctx, "\n");
}

}  // namespace

int qz_fed_ip_policy_list(void* ctx, qz_fed_pol_args_t) {
    std::vector<std::uint8_t> names(std::size_t{fe_acl_grp::kListMax} * fe_acl_grp::kSize, 0);
    std::uint32_t n = fe_acl_grp::kListMax;
    if (fe_fw_get_acl_grp_names(names.data(), &n) != 0) {
        qz_cli_printf(ctx, "error in show ip policy\n");
        return -1;
    }
    n = std::min(n, fe_acl_grp::kListMax);
    qz_cli_printf(ctx, "IP Policy Table\n");
    qz_cli_printf(ctx, "Total policies=%d\n\n", n);
    qz_cli_printf(ctx, "No.     IP Policy name\n");
    qz_cli_printf(ctx, "---     --------------\n");
    for (std::uint32_t i = 0; i < n; ++i)
        qz_cli_printf(
            ctx, "%-2d      %s\n", i + 1,
            fedcli::Fields(names).name(i * fe_acl_grp::kSize, fe_acl_rule::kNameSize).c_str());
    return 0;
}

int qz_fed_ip_policy_show(void* ctx, qz_fed_pol_args_t args) {
    std::string name = fedcli::name(args, fev::kName, fev::kNameWidth);
    if (!qz_fed_ip_policy_fe_has(name)) {
        qz_cli_printf(ctx, "IP policy %s not exist!\n", name.c_str());
        return -1;
    }
    std::vector<qz_fed_entry_t> v;
    if (qz_fed_db_read_all(name, v) < 0) {
        FED_ERR("ERROR: database is null or not exist\n");
        return -1;
    }
    qz_cli_printf(ctx,
                  "ID     From                            To                              "
                  "Service             Action  Flag  Resolve\n");
    qz_cli_printf(ctx,
                  "------ ------------------------------- ------------------------------- "
                  "------------------- ------- ----  -------\n");
    if (v.empty()) FED_DBG(cli, "no file or no record\n");
    qz_fed_db_sort(v);
    for (const qz_fed_entry_t& e : v) stored_line(ctx, e);
    return 0;
}

int qz_fed_ip_policy_show_fe(void* ctx, qz_fed_pol_args_t args) {
    std::string name = fedcli::name(args, fev::kName, fev::kNameWidth);
    if (too_long(ctx, name, kNameLimit)) return -1;
    if (!qz_fed_ip_policy_fe_has(name)) {
        qz_cli_printf(ctx, "IP policy %s not exist!\n", name.c_str());
        return -1;
    }
    Filter f;
    fedcli::Fields a(args);
    if (fedcli::bit(args, fev::kBitSrc)) {
        f.flags |= 1;
        f.src = a.h32(fev::kSrc);
        f.src_mask = a.h32(fev::kSrcMask);
    }
    if (fedcli::bit(args, fev::kBitDst)) {
        f.flags |= 2;
        f.dst = a.h32(fev::kDst);
        f.dst_mask = a.h32(fev::kDstMask);
    }
    if (fedcli::bit(args, fev::kBitService)) {
        f.flags |= 4;
        f.service = a.name(fev::kService, fev::kServiceWidth);
        if (too_long(ctx, f.service, kNameLimit)) return -1;
    }
    if (fedcli::bit(args, fev::kBitAction)) {
        f.flags |= 8;
        f.action =
            static_cast<std::uint32_t>(qz_fed_action_code(a.name(fev::kAction, fev::kActionWidth)));
    }
    if (fedcli::bit(args, fev::kBitLimit)) {
        f.flags |= 16;
        f.limit = a.h32(fev::kLimit);
    }
    return fe_view(ctx, name, f);
}

int qz_fed_ip_policy_show_profile(void* ctx, qz_fed_pol_args_t args) {
    fedcli::Fields a(args);
    int upid = 0;
    if (a.h32(upv::kSelector) == upv::kById) {
        upid = static_cast<std::int32_t>(a.h32(upv::kId));
        if (upid < 0) {
            qz_cli_printf(ctx, "Wrong user profile id");
            return -1;
        }
    } else {
        std::string name = a.name(upv::kName, upv::kNameWidth);
        if (too_long(ctx, name, QZ_FED_NAME_MAX)) return -1;
        upid = qz_fed_up_id_by_name(name, false);
        if (upid < 0) {
            qz_cli_printf(ctx, "User profile name %s not exist!\n", name.c_str());
            return -1;
        }
    }
    // 1 from-access, 2 to-access, 0 both
    int dir = 0;
    if (fedcli::bit(args, upv::kBitDir)) {
        std::string w = a.name(upv::kDir, upv::kDirWidth);
        dir = w == "from-access" ? 1 : w == "to-access" ? 2 : 0;
    }
    Filter f;
    if (!profile_filter(ctx, a, f)) return -1;

    auto id = static_cast<std::uint32_t>(upid);
    std::uint32_t action = 0;
    if (fe_fw_acl_get_upid_def_action(id, &action) != 0) {
        qz_cli_printf(ctx, "error in get user profile default ip policy.\n");
        return kFeFailed;
    }
    namespace fb = fe_fw_acl_binding;
    std::vector<std::uint8_t> buf(std::size_t{fb::kMax} * fb::kSize, 0);
    std::uint32_t n = fb::kMax;
    if (fe_fw_get_acl_grp_binding(buf.data(), &n) != 0) {
        qz_cli_printf(ctx, "error in get user profile  binddings\n");
        return kFeFailed;
    }
    qz_cli_printf(ctx, "User profile ID=%d\n", upid);
    qz_cli_printf(ctx, "Default IP policy=%s\n", qz_fed_action_name(action));
    bool bound = false;
    std::string from, to;
    for (std::uint32_t i = 0; i < std::min(n, fb::kMax) && !bound; ++i) {
        fedcli::Fields b(std::span<const std::uint8_t>(buf).subspan(i * fb::kSize, fb::kSize));
        if (b.h32(fb::kUpid) != id) continue;
        bound = true;
        from = b.name(fb::kFrom, fb::kNameSize);
        to = b.name(fb::kTo, fb::kNameSize);
    }
    auto shown = [](const std::string& p) { return p.empty() ? "Not defined" : p.c_str(); };
    if (!bound) {
        if (dir != 2) qz_cli_printf(ctx, "Direction from access=%s\n", shown(from));
        if (dir != 1) qz_cli_printf(ctx, "Direction to access=%s\n", shown(to));
        return 0;
    }
    int rc = 0;
    if (dir != 2) {
        qz_cli_printf(ctx, "Direction from access=%s\n", shown(from));
        if (!from.empty()) rc = fe_view(ctx, from, f);
        if (dir == 1 || rc < 0) return rc;
        qz_cli_printf(ctx, "\n");
    }
    qz_cli_printf(ctx, "Direction to access=%s\n", shown(to));
    if (to.empty()) return rc;
    if (dir == 0 && to == from) {
        qz_cli_printf(ctx, "The info is the same as above\n");
        return rc;
    }
    return fe_view(ctx, to, f);
}

int qz_fed_ip_policy_dump(void* ctx, qz_fed_pol_args_t args) {
    std::string name = fedcli::name(args, fev::kName, fev::kNameWidth);
    std::vector<qz_fed_entry_t> v;
    if (qz_fed_db_name_ok(name)) qz_fed_db_read_all(name, v);
    if (v.empty()) {
        FED_DBG(cli, "no file or no record\n");
        qz_cli_printf(ctx, "%s\n", std::string(87, '-').c_str());
        return 0;
    }
    std::lock_guard guard(qz_fed_pol_guard());
    for (int i = 0; i < QZ_FED_GRP_MAX; ++i) {
        qz_fed_grp_t g = qz_fed_grp_slot(i);
        if (g.in_use) qz_cli_printf(ctx, "index:%-2d name:%s\n", i, g.name.data());
    }
    qz_cli_printf(ctx, "There are %d group in FED\n", qz_fed_grp_count());
    int slot = qz_fed_grp_find(name);
    if (slot < 0) {
        qz_cli_printf(ctx, "group %s not exist\n", name.c_str());
        return -1;
    }
    qz_fed_grp_t g = qz_fed_grp_slot(slot);
    qz_cli_printf(ctx, "in group %s\n", name.c_str());
    qz_cli_printf(ctx, "mapping_cnt is %d\nrules_cnt is %d\n", g.mapping_cnt, g.rules_cnt);
    qz_cli_printf(ctx, "fed_id already used:\n");
    id_bits(ctx, g.fed_ids);
    qz_cli_printf(ctx, "fe_id already used:\n");
    id_bits(ctx, g.fe_ids);
    const std::string line = std::string(68, '-');
    qz_fed_db_sort(v);
    for (const qz_fed_entry_t& e : v) {
        qz_cli_printf(ctx, "%s\n", line.c_str());
        qz_cli_printf(ctx, "fed_id:%-6d Need_resolve:%c rulenum:%-6d \n", e.fed_id,
                      e.need_resolve ? 'Y' : 'N', e.rules_num);
        for (std::size_t i = 0; i < e.rules_num; ++i)
            qz_cli_printf(ctx, "fe_id: %-6d from %i to %i\n", e.fe[i].fe_id, e.fe[i].src,
                          e.fe[i].dst);
    }
    qz_cli_printf(ctx, "%s\n", line.c_str());
    return 0;
}
