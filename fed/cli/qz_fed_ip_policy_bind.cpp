// User profiles and IP policies: binding policies to a profile's UPID, its
// default IP action and protocol drop, and their running-configuration steps.
#include <cstring>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_ip_policy_cli.h"
#include "fed/cli/qz_fed_pol_bind.h"
#include "fed/cli/qz_fed_up.h"
#include "fed/policy/qz_fed_entry.h"
#include "fed/qz_fed_debug.h"
#include "platform/fe.h"
#include "platform/fe_acl.h"
#include "platform/qz.h"

namespace {

namespace fb = fe_fw_acl_binding;
using cmdtbl::arg_flag_bit;
using cmdtbl::arg_off;
using cmdtbl::arg_width;
inline constexpr auto& kRows = cmdtbl::kRowsIpPolicy;

inline constexpr std::size_t kName = arg_off(kRows, 933, "NAME");
inline constexpr std::size_t kNameWidth = arg_width(kRows, 933, "NAME");
inline constexpr std::size_t kFrom = arg_off(kRows, 933, "FROM");
inline constexpr std::size_t kTo = arg_off(kRows, 933, "TO");
inline constexpr std::size_t kPolicyWidth = arg_width(kRows, 933, "TO");
inline constexpr unsigned kBitFrom = arg_flag_bit(kRows, 933, "FROM");
inline constexpr unsigned kBitTo = arg_flag_bit(kRows, 933, "TO");
inline constexpr std::size_t kBindSize = cmdtbl::cmd_size(kRows, 933);
inline constexpr std::size_t kWord = arg_off(kRows, 934, "DIR");  // 934, 936, 944
inline constexpr std::size_t kWordWidth = arg_width(kRows, 934, "DIR");
inline constexpr std::size_t kActionSize = cmdtbl::cmd_size(kRows, 936);
inline constexpr std::uint32_t kActionFlags = cmdtbl::form_flags(kRows, 936);
inline constexpr std::uint32_t kBindFlags = cmdtbl::form_flags(kRows, 933);
static_assert(arg_off(kRows, 934, "NAME") == kName && arg_off(kRows, 936, "NAME") == kName &&
              arg_off(kRows, 944, "NAME") == kName);
static_assert(arg_off(kRows, 936, "ACTION") == kWord && arg_off(kRows, 944, "deny") == kWord);
static_assert(arg_width(kRows, 933, "FROM") == kPolicyWidth && kPolicyWidth == fb::kNameSize);

inline constexpr std::uint32_t kDeny = 2;

// The running configuration's word for a default action.
const char* action_text(std::uint32_t code) {
    switch (code) {
        case 1:
            return "permit";
        case 2:
            return "deny";
        case 3:
            return "inter-station-traffic-drop";
        case 4:
            return "nat";
        case 5:
            return "teacher view";
        case 9:
            return "redirect";
        default:
            return "n/a";
    }
}

}  // namespace

namespace {
constexpr fedbind::Kind kIpBind = {
    "from-access ip-policy %s not exist!\n",
    "to-access ip-policy %s not exist!\n",
    "unbind error %s from-air\n",
    "user-profile  bind %s from-access %s to-access %s\n",
    qz_fed_ip_policy_fe_has,
    fe_fw_acl_grp_bind,
    fe_fw_acl_grp_unbind,
    fe_fw_acl_set_upid_def_action,
    kDeny,
    "User Profile Name is %s, and UGID id is %d",
};
constexpr fedbind::Places kIpPlaces = {kName,    kNameWidth, kFrom, kTo,       kPolicyWidth,
                                       kBitFrom, kBitTo,     kWord, kWordWidth};
}  // namespace

int qz_fed_ip_policy_bind(void* ctx, qz_fed_pol_args_t args) {
    return fedbind::bind(ctx, args, kIpBind, kIpPlaces);
}

int qz_fed_ip_policy_unbind(void* ctx, qz_fed_pol_args_t args) {
    return fedbind::unbind(ctx, args, kIpBind, kIpPlaces);
}

int qz_fed_ip_policy_def_action(void* ctx, qz_fed_pol_args_t args) {
    return fedbind::def_action(ctx, args, kIpBind, kIpPlaces, kNameWidth);
}

int qz_fed_ip_policy_deny_proto(void* ctx, qz_fed_pol_args_t args) {
    std::string name = fedcli::name(args, kName, kNameWidth);
    bool no = fedcli::is_no(ctx);
    int upid = qz_fed_up_id_by_name(name, !no);
    if (upid < 0) {
        qz_cli_printf(ctx, "User profile name %s not exist!\n", name.c_str());
        return -1;
    }
    std::uint32_t kind = 0;
    if (!no) {
        std::string w = fedcli::name(args, kWord, kWordWidth);
        // Compared with the NUL, as the five bytes of the field.
        if (w == "ipv4")
            kind = 1;
        else if (w == "ipv6")
            kind = 2;
        else {
            qz_cli_printf(ctx, "deny traffic type %s not supported\n", w.c_str());
            return -1;
        }
    }
    fe_up_deny_ipv4_or_v6(static_cast<std::uint32_t>(upid), kind);
    return 0;
}

void qz_fed_ip_policy_binding_cfg(void* out) {
    std::vector<std::uint8_t> buf(std::size_t{fb::kMax} * fb::kSize, 0);
    std::uint32_t n = fb::kMax;
    if (fe_fw_get_acl_grp_binding(buf.data(), &n) != 0) {
        FED_DBG(cli, "error in get acl-grup binddings\n");
        return;
    }
    for (std::uint32_t i = 0; i < n && i < fb::kMax; ++i) {
        fedcli::Fields b(std::span<const std::uint8_t>(buf).subspan(i * fb::kSize, fb::kSize));
        std::string from = b.name(fb::kFrom, fb::kNameSize), to = b.name(fb::kTo, fb::kNameSize);
        char profile[33] = {};
        if ((from.empty() && to.empty()) ||
            !qz_fed_up_name_by_id(static_cast<int>(b.h32(fb::kUpid)), profile))
            continue;
        fedcli::CfgRecord<kBindSize> rec;
        std::uint32_t flags = kBindFlags;
        rec.text(kName, kNameWidth, profile);
        if (!from.empty()) {
            flags |= 1u << kBitFrom;
            rec.put(kFrom - 4, 1).text(kFrom, kPolicyWidth, from);
        }
        if (!to.empty()) {
            flags |= 1u << kBitTo;
            rec.put(kTo - 4, 1).text(kTo, kPolicyWidth, to);
        }
        rec.flags(flags).add(out, 933);
    }
}

void qz_fed_ip_policy_def_action_cfg(void* out) {
    std::vector<fedup::UpListEntry> profiles;
    if (qz_fed_up_list(profiles) != 0) return;
    for (const fedup::UpListEntry& p : profiles) {
        if (p.name.empty()) continue;
        std::uint32_t action = 0;
        if (fe_fw_acl_get_upid_def_action(static_cast<std::uint32_t>(p.upid), &action) != 0) {
            qz_log(3, "error in get upid def action");
            continue;
        }
        if (action == kDeny) continue;
        fedcli::CfgRecord<kActionSize> rec;
        rec.flags(kActionFlags)
            .text(kName, QZ_FED_NAME_MAX + 1, p.name)
            .text(kWord, kWordWidth, action_text(action))
            .add(out, 936);
    }
}
