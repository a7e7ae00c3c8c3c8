#include "fed/cli/qz_fed_pol_bind.h"

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_up.h"
#include "fed/policy/qz_fed_entry.h"
#include "fed/qz_fed_debug.h"
#include "platform/qz.h"

namespace fedbind {

namespace {
constexpr int kFeFailed = -65535;

int profile_id(void* ctx, const std::string& name, bool create) {
    int upid = qz_fed_up_id_by_name(name, create);
    if (upid < 0) qz_cli_printf(ctx, "User profile name %s not exist!\n", name.c_str());
    return upid;
}
}  // namespace

int bind(void* ctx, std::span<const std::uint8_t> args, const Kind& k, const Places& at) {
    std::string name = fedcli::name(args, at.name, at.name_width);
    bool no = fedcli::is_no(ctx);
    int upid = profile_id(ctx, name, !no);
    if (upid < 0) return -1;
    if (no) {
        if (k.unbind(static_cast<std::uint32_t>(upid), 1, 1) != 0) {
            qz_cli_printf(ctx, "unbind error %s from-access and to-access\n", name.c_str());
            return kFeFailed;
        }
        return 0;
    }
    bool has_from = fedcli::bit(args, at.bit_from), has_to = fedcli::bit(args, at.bit_to);
    std::string from = has_from ? fedcli::name(args, at.from, at.policy_width) : "";
    std::string to = has_to ? fedcli::name(args, at.to, at.policy_width) : "";
    if (has_from && !k.fe_has(from)) {
        qz_cli_printf(ctx, k.from_missing, from.c_str());
        return -1;
    }
    if (has_to && !k.fe_has(to)) {
        qz_cli_printf(ctx, k.to_missing, to.c_str());
        return -1;
    }
    if (k.debug_bind) FED_DBG(cli, k.debug_bind, name.c_str(), from.c_str(), to.c_str());
    if (k.bind(static_cast<std::uint32_t>(upid), has_from ? from.c_str() : nullptr,
               has_to ? to.c_str() : nullptr) != 0) {
        qz_cli_printf(ctx, "bind error %s from-access %s to-access %s", name.c_str(), from.c_str(),
                      to.c_str());
        return kFeFailed;
    }
    return 0;
}

int unbind(void* ctx, std::span<const std::uint8_t> args, const Kind& k, const Places& at) {
    std::string name = fedcli::name(args, at.name, at.name_width);
    int upid = profile_id(ctx, name, false);
    if (upid < 0) return -1;
    bool from = fedcli::name(args, at.word, at.word_width) == "from-access";
    if (k.unbind(static_cast<std::uint32_t>(upid), from ? 1 : 0, from ? 0 : 1) != 0) {
        qz_cli_printf(ctx, k.unbind_error, name.c_str());
        return kFeFailed;
    }
    return 0;
}

int def_action(void* ctx, std::span<const std::uint8_t> args, const Kind& k, const Places& at,
               std::size_t name_width) {
    std::string name = fedcli::name(args, at.name, name_width);
    if (name.size() > QZ_FED_NAME_MAX) {
        qz_cli_printf(ctx, "ERROR:name  exceeds maximum length(%d)\n",
                      static_cast<int>(QZ_FED_NAME_MAX));
        return -1;
    }
    bool no = fedcli::is_no(ctx);
    int upid = qz_fed_up_id_by_name(name, !no);
    if (upid < 0) {
        qz_cli_printf(ctx, "user profile %s not exist!\n", name.c_str());
        return -1;
    }
    std::uint32_t action = no ? k.deny
                              : static_cast<std::uint32_t>(
                                    qz_fed_action_code(fedcli::name(args, at.word, at.word_width)));
    if (k.debug_default) FED_DBG(cli, k.debug_default, name.c_str(), upid);
    if (k.set_default(static_cast<std::uint32_t>(upid), action) != 0) {
        qz_cli_printf(ctx, "Error when set %s default\n", name.c_str());
        return kFeFailed;
    }
    return 0;
}

}  // namespace fedbind
