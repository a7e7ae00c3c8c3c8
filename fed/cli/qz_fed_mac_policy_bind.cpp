// User profiles and MAC policies: binding policies to a profile's UPID, its
// default MAC action, and the running-configuration step of the defaults.
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_mac_policy_cli.h"
#include "fed/cli/qz_fed_pol_bind.h"
#include "fed/cli/qz_fed_up.h"
#include "fed/policy/qz_fed_entry.h"
#include "mgt/cli/fed/rows_mac_policy.h"
#include "platform/fe.h"
#include "platform/fe_mac_acl.h"
#include "platform/qz.h"

namespace {

using cmdtbl::arg_flag_bit;
using cmdtbl::arg_off;
using cmdtbl::arg_width;
inline constexpr auto& kRows = cmdtbl::kRowsMacPolicy;

inline constexpr std::size_t kName = arg_off(kRows, 942, "NAME");
inline constexpr std::size_t kNameWidth = arg_width(kRows, 942, "NAME");
inline constexpr std::size_t kFrom = arg_off(kRows, 942, "FROM");
inline constexpr std::size_t kTo = arg_off(kRows, 942, "TO");
inline constexpr std::size_t kPolicyWidth = arg_width(kRows, 942, "TO");
inline constexpr unsigned kBitFrom = arg_flag_bit(kRows, 942, "FROM");
inline constexpr unsigned kBitTo = arg_flag_bit(kRows, 942, "TO");
inline constexpr std::size_t kWord = arg_off(kRows, 943, "DIR");  // 943, 929
inline constexpr std::size_t kWordWidth = arg_width(kRows, 943, "DIR");
inline constexpr std::size_t kActionSize = cmdtbl::cmd_size(kRows, 929);
inline constexpr std::uint32_t kActionFlags = cmdtbl::form_flags(kRows, 929);
static_assert(arg_off(kRows, 943, "NAME") == kName && arg_off(kRows, 929, "NAME") == kName);
static_assert(arg_off(kRows, 929, "ACTION") == kWord);


}  // namespace

namespace {
constexpr fedbind::Kind kMacBind = {
    "from-access mac-policy %s not exist!\n",
    "to_access mac-policy %s not exist!\n",
    "mac unbind error %s from-air\n",
    nullptr,
    qz_fed_mac_policy_fe_has,
    fe_mac_acl_grp_bind,
    fe_mac_acl_grp_unbind,
    fe_mac_acl_set_upid_def_action,
    FE_MAC_ACTION_DENY,
    nullptr,
};
constexpr fedbind::Places kMacPlaces = {kName,    kNameWidth, kFrom, kTo,       kPolicyWidth,
                                        kBitFrom, kBitTo,     kWord, kWordWidth};
}  // namespace

int qz_fed_mac_policy_bind(void* ctx, qz_fed_mac_args_t args) {
    return fedbind::bind(ctx, args, kMacBind, kMacPlaces);
}

int qz_fed_mac_policy_unbind(void* ctx, qz_fed_mac_args_t args) {
    return fedbind::unbind(ctx, args, kMacBind, kMacPlaces);
}

int qz_fed_mac_policy_def_action(void* ctx, qz_fed_mac_args_t args) {
    return fedbind::def_action(ctx, args, kMacBind, kMacPlaces, kWord - kName);
}

void qz_fed_mac_policy_def_action_cfg(void* out) {
    std::vector<fedup::UpListEntry> profiles;
    if (qz_fed_up_list(profiles) != 0) return;
    for (const fedup::UpListEntry& p : profiles) {
        if (p.name.empty()) continue;
        std::uint32_t action = 0;
        if (fe_mac_acl_get_upid_def_action(static_cast<std::uint32_t>(p.upid), &action) != 0) {
            qz_log(3, "error in get upid def action");
            continue;
        }
        if (action != FE_MAC_ACTION_PERMIT) continue;
        fedcli::CfgRecord<kActionSize>()
            .flags(kActionFlags)
            .text(kName, QZ_FED_NAME_MAX + 1, p.name)
            .text(kWord, kWordWidth, "permit")
            .add(out, 929);
    }
}
