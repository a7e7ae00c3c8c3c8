// IP-policy displays: the list of policies, a policy's stored rules, and the
// FE's own rules of a policy with an optional filter.
#include <cstring>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_ip_policy_cli.h"
#include "fed/policy/qz_fed_db.h"
#include "fed/qz_fed_debug.h"
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
static_assert(arg_off(kRows, 937, "NAME") == kName);
}  // namespace fev

inline constexpr std::size_t kNameLimit = 33;  // a longer name cannot be a policy
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
        return -65535;
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
    auto too_long = [&](const std::string& s) {
        if (s.size() < kNameLimit + 1) return false;
        qz_cli_printf(ctx, "ERROR:name  exceeds maximum length(%d)\n",
                      static_cast<int>(kNameLimit));
        return true;
    };
    std::string name = fedcli::name(args, fev::kName, fev::kNameWidth);
    if (too_long(name)) return -1;
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
        if (too_long(f.service)) return -1;
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
