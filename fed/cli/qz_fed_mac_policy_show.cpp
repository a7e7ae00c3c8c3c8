// MAC-policy displays: the policy list, one policy's FE rules through a
// filter, and a user profile's default MAC action and bound policies.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_mac_policy_cli.h"
#include "fed/cli/qz_fed_up.h"
#include "mgt/cli/fed/rows_mac_policy.h"
#include "platform/fe.h"
#include "platform/fe_mac_acl.h"
#include "platform/qz.h"

namespace {

namespace me = fe_mac_entry;
namespace mf = fe_mac_flag;
namespace mb = fe_mac_acl_binding;
using cmdtbl::arg_flag_bit;
using cmdtbl::arg_off;
using cmdtbl::arg_width;
inline constexpr auto& kRows = cmdtbl::kRowsMacPolicy;

inline constexpr int kFeFailed = -65535;
inline constexpr std::uint32_t kBitsPerByte = 8;

// qz_fed_mac_filter_t
struct qz_fed_mac_filter_t {
    std::uint8_t src[6] = {}, dst[6] = {};
    std::uint32_t src_mask = 0, dst_mask = 0;  // bytes
    std::uint32_t action = 0;
    std::uint32_t limit = 0;
    std::uint32_t flags = 0;  // kFilter*
};
inline constexpr std::uint32_t kFilterSrc = 1;
inline constexpr std::uint32_t kFilterDst = 2;
inline constexpr std::uint32_t kFilterAction = 4;
inline constexpr std::uint32_t kFilterLimit = 8;

// Where a show block keeps its filter (930 and 931 differ only in places).
struct FilterBlock {
    std::size_t src, src_mask, dst, dst_mask, action, action_width, limit;
    unsigned bit_src, bit_src_mask, bit_dst, bit_dst_mask, bit_action, bit_limit;
};

template <std::uint32_t Id>
consteval FilterBlock filter_block() {
    return {arg_off(kRows, Id, "SRC"),
            arg_off(kRows, Id, "SRC-MASK"),
            arg_off(kRows, Id, "DST"),
            arg_off(kRows, Id, "DST-MASK"),
            arg_off(kRows, Id, "ACTION"),
            arg_width(kRows, Id, "ACTION"),
            arg_off(kRows, Id, "N"),
            arg_flag_bit(kRows, Id, "SRC"),
            arg_flag_bit(kRows, Id, "SRC-MASK"),
            arg_flag_bit(kRows, Id, "DST"),
            arg_flag_bit(kRows, Id, "DST-MASK"),
            arg_flag_bit(kRows, Id, "ACTION"),
            arg_flag_bit(kRows, Id, "N")};
}
inline constexpr FilterBlock kPolicyFilter = filter_block<930>();
inline constexpr FilterBlock kProfileFilter = filter_block<931>();

inline constexpr std::size_t kShowName = arg_off(kRows, 930, "NAME");
inline constexpr std::size_t kShowNameWidth = arg_width(kRows, 930, "NAME");
inline constexpr std::size_t kNameField = fe_mac_rule::kNameSize;  // a group name with its NUL

inline constexpr std::size_t kSelector = cmdtbl::const_off(kRows, 931, 2);
inline constexpr std::uint32_t kById = 2;
inline constexpr std::size_t kUpId = arg_off(kRows, 931, "ID");
inline constexpr std::size_t kUpName = arg_off(kRows, 931, "NAME");
inline constexpr std::size_t kUpNameWidth = arg_width(kRows, 931, "NAME");
inline constexpr std::size_t kDir = arg_off(kRows, 931, "DIR");
inline constexpr std::size_t kDirWidth = arg_width(kRows, 931, "DIR");
inline constexpr unsigned kBitDir = arg_flag_bit(kRows, 931, "DIR");
static_assert(kUpId == kUpName && cmdtbl::const_off(kRows, 931, 1) == kSelector);

// Reads the filter of a show block; false (after the message) on a bad mask.
bool read_filter(void* ctx, qz_fed_mac_args_t args, const FilterBlock& b, qz_fed_mac_filter_t& f) {
    struct End {
        unsigned bit, mask_bit;
        std::size_t mac, mask;
        std::uint8_t* to;
        std::uint32_t* to_mask;
        std::uint32_t flag;
        const char* refusal;
    };
    const End ends[] = {
        {b.bit_src, b.bit_src_mask, b.src, b.src_mask, f.src, &f.src_mask, kFilterSrc,
         "Invalid source MAC mask length!\n"},
        {b.bit_dst, b.bit_dst_mask, b.dst, b.dst_mask, f.dst, &f.dst_mask, kFilterDst,
         "Invalid destination MAC mask length!\n"},
    };
    for (const End& e : ends) {
        if (!fedcli::bit(args, e.bit)) continue;
        fedcli::mac(args, e.mac, e.to);
        *e.to_mask = 6;
        f.flags |= e.flag;
        if (!fedcli::bit(args, e.mask_bit)) continue;
        std::uint32_t bits = fedcli::word(args, e.mask);
        if (bits != 0 && bits != 24 && bits != 48) {
            qz_cli_printf(ctx, "%s", e.refusal);
            return false;
        }
        *e.to_mask = bits / kBitsPerByte;
    }
    if (fedcli::bit(args, b.bit_action)) {
        std::string a = fedcli::name(args, b.action, b.action_width);
        f.action = a == "permit" ? FE_MAC_ACTION_PERMIT : a == "deny" ? FE_MAC_ACTION_DENY : 0;
        f.flags |= kFilterAction;
    }
    if (fedcli::bit(args, b.bit_limit)) {
        f.limit = fedcli::word(args, b.limit);
        f.flags |= kFilterLimit;
    }
    return true;
}

bool end_matches(const std::uint8_t* mac, std::uint32_t mask, const std::uint8_t* want,
                 std::uint32_t want_mask) {
    return mask == want_mask && mask <= 6 && std::equal(mac, mac + mask, want);
}

std::string end_text(const std::uint8_t* m, std::uint32_t mask) {
    if (mask == 0) return "any";
    char t[32];
    std::snprintf(t, sizeof t, "%02x%02x:%02x%02x:%02x%02x/%d", m[0], m[1], m[2], m[3], m[4], m[5],
                  static_cast<int>(mask * kBitsPerByte));
    return t;
}

// The FE's rules of one policy through the filter.
int fe_view(void* ctx, const std::string& name, const qz_fed_mac_filter_t& f) {
    std::vector<std::uint8_t> buf(std::size_t{me::kListMax} * me::kSize, 0);
    std::uint32_t n = me::kListMax;
    if (fe_mac_acl_get_acl_grp_entries(name.c_str(), buf.data(), &n) != 0) {
        qz_cli_printf(ctx, "Error when show mac policy %s\n", name.c_str());
        return kFeFailed;
    }
    n = std::min(n, me::kListMax);
    std::uint32_t looked = (f.flags & kFilterLimit) ? std::min(n, f.limit) : n;
    std::vector<fedcli::Fields> matches;
    fedcli::Fields all(buf);
    for (std::uint32_t i = 0; i < looked; ++i) {
        fedcli::Fields e = all.sub(i * me::kSize, me::kSize);
        if ((f.flags & kFilterSrc) &&
            !end_matches(e.mac(me::kSrc), e.h32(me::kSrcMask), f.src, f.src_mask))
            continue;
        if ((f.flags & kFilterDst) &&
            !end_matches(e.mac(me::kDst), e.h32(me::kDstMask), f.dst, f.dst_mask))
            continue;
        if ((f.flags & kFilterAction) && e.h32(me::kAction) != f.action) continue;
        matches.push_back(e);
    }
    qz_cli_printf(ctx, "MAC policy=%s\nTotal policies=%d\n", name.c_str(), static_cast<int>(n));
    if (f.flags != 0) qz_cli_printf(ctx, "Match policies=%d\n", static_cast<int>(matches.size()));
    if (n == 0 || matches.empty()) return 0;
    qz_cli_printf(ctx, "D=Log Deny; I=Log Session Initiation; T=Log Session Termination\n");
    qz_cli_printf(ctx, "\n");
    qz_cli_printf(ctx, "ID    From               To                 Action  Flag\n");
    qz_cli_printf(ctx, "----- ------------------ ------------------ ------- ----\n");
    for (const fedcli::Fields& e : matches) {
        std::uint16_t fl = e.h16(me::kFlags);
        std::string letters;
        if (fl & mf::kLogDeny) letters += 'D';
        if (fl & mf::kLogInitiate) letters += 'I';
        if (fl & mf::kLogTerminate) letters += 'T';
        qz_cli_printf(ctx, "%-5d %-18s %-18s %-7s %s\n", static_cast<int>(e.h32(me::kId)),
                      end_text(e.mac(me::kSrc), e.h32(me::kSrcMask)).c_str(),
                      end_text(e.mac(me::kDst), e.h32(me::kDstMask)).c_str(),
                      e.h32(me::kAction) == FE_MAC_ACTION_PERMIT ? "permit" : "deny",
                      letters.c_str());
    }
    return 0;
}

// One direction of the profile view: its line and, with a policy, its rules.
int direction(void* ctx, const char* line, const std::string& policy,
              const qz_fed_mac_filter_t& f) {
    qz_cli_printf(ctx, line, policy.empty() ? "Not defined" : policy.c_str());
    return policy.empty() ? 0 : fe_view(ctx, policy, f);
}

}  // namespace

int qz_fed_mac_policy_list(void* ctx, qz_fed_mac_args_t) {
    std::vector<std::string> names;
    if (!fedmac::fe_names(names)) {
        qz_cli_printf(ctx, "error in show mac policy\n");
        return -1;
    }
    qz_cli_printf(ctx, "MAC Policy Table\n");
    qz_cli_printf(ctx, "Total policies=%d\n\n", static_cast<int>(names.size()));
    qz_cli_printf(ctx, "No.     MAC Policy name\n");
    qz_cli_printf(ctx, "---     ---------------\n");
    for (std::size_t i = 0; i < names.size(); ++i)
        qz_cli_printf(ctx, "%-2d      %s\n", static_cast<int>(i + 1), names[i].c_str());
    return 0;
}

int qz_fed_mac_policy_show(void* ctx, qz_fed_mac_args_t args) {
    std::string name = fedcli::name(args, kShowName, kShowNameWidth);
    if (name.size() > kNameField) {
        qz_cli_printf(ctx, "ERROR:name  exceeds maximum length(%d)\n",
                      static_cast<int>(kNameField));
        return -1;
    }
    if (!qz_fed_mac_policy_fe_has(name)) {
        qz_cli_printf(ctx, "mac policy %s not exist!\n", name.c_str());
        return -1;
    }
    qz_fed_mac_filter_t f;
    if (!read_filter(ctx, args, kPolicyFilter, f)) return -1;
    return fe_view(ctx, name, f);
}

int qz_fed_mac_policy_show_profile(void* ctx, qz_fed_mac_args_t args) {
    int upid = 0;
    if (fedcli::word(args, kSelector) == kById) {
        upid = static_cast<int>(fedcli::word(args, kUpId));
        if (upid < 0) {
            qz_cli_printf(ctx, "Wrong user profile id");
            return -1;
        }
    } else {
        std::string name = fedcli::name(args, kUpName, kUpNameWidth);
        if (name.size() > kNameField - 1) {
            qz_cli_printf(ctx, "ERROR:name  exceeds maximum length(%d)\n",
                          static_cast<int>(kNameField - 1));
            return -1;
        }
        upid = qz_fed_up_id_by_name(name, false);
        if (upid < 0) {
            qz_cli_printf(ctx, "User profile name %s not exist!\n", name.c_str());
            return -1;
        }
    }
    int dir = 0;  // 1 from-access, 2 to-access, 0 both
    if (fedcli::bit(args, kBitDir)) {
        std::string w = fedcli::name(args, kDir, kDirWidth);
        dir = w == "from-access" ? 1 : w == "to-access" ? 2 : 0;
    }
    qz_fed_mac_filter_t f;
    if (!read_filter(ctx, args, kProfileFilter, f)) return -1;
    std::uint32_t def = 0;
    if (fe_mac_acl_get_upid_def_action(static_cast<std::uint32_t>(upid), &def) != 0) {
        qz_cli_printf(ctx, "error in get user profile default mac policy.\n");
        return kFeFailed;
    }
    std::vector<std::uint8_t> buf(std::size_t{mb::kMax} * mb::kSize, 0);
    std::uint32_t n = mb::kMax;
    if (fe_mac_acl_get_acl_grp_binding(buf.data(), &n) != 0) {
        qz_cli_printf(ctx, "error in get user profile  binddings\n");
        return kFeFailed;
    }
    qz_cli_printf(ctx, "User profile ID=%d\n", upid);
    qz_cli_printf(ctx, "Default MAC policy=%s\n", def == FE_MAC_ACTION_PERMIT ? "permit" : "deny");
    std::string from, to;
    bool bound = false;
    fedcli::Fields all(buf);
    for (std::uint32_t i = 0; i < std::min(n, mb::kMax) && !bound; ++i) {
        fedcli::Fields b = all.sub(i * mb::kSize, mb::kSize);
        if (b.h32(mb::kUpid) != static_cast<std::uint32_t>(upid)) continue;
        from = b.name(mb::kFrom, mb::kNameSize);
        to = b.name(mb::kTo, mb::kNameSize);
        bound = true;
    }
    if (!bound && dir == 0) {
        qz_cli_printf(ctx, "Direction from access=%s\nDirection to access=%s\n", "Not defined",
                      "Not defined");
        return 0;
    }
    if (dir == 1) return direction(ctx, "Direction from access=%s\n", from, f);
    if (dir == 2) return direction(ctx, "Direction to access=%s\n", to, f);
    int rc = direction(ctx, "Direction from access=%s\n", from, f);
    if (rc < 0) return rc;
    qz_cli_printf(ctx, "\n");
    if (!to.empty() && to == from) {
        qz_cli_printf(ctx, "Direction to access=%s\n", to.c_str());
        qz_cli_printf(ctx, "The info is the same as above\n");
        return 0;
    }
    return direction(ctx, "Direction to access=%s\n", to, f);
}
