// Service-based QoS classification. The FE keeps the table; a change is read
// back and copied into the configuration library, whose records the
// running configuration writes out (service step).
#include "fed/cli/qz_fed_qos_cli.h"

#include <strings.h>

#include <cstring>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli.h"
#include "fed/cli/qz_fed_cli_util.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_default.h"
#include "fed/qz_fed_msg.h"
#include "platform/qz.h"
#include "platform/svc_msg.h"

namespace arg = qz_fed_qos_arg;
namespace cm = qz_svc_cls_msg;
namespace db = qz_service_entry_db;

namespace {

inline constexpr std::size_t kMaxName = 32;
inline constexpr std::uint8_t kPermit = 1, kDeny = 2, kLog = 4;
inline constexpr std::uint8_t kFieldClass = 1, kFieldAction = 2;

// A classification message about one service (slot 0 holds its values).
struct ClsMsg {
    std::vector<std::uint8_t> b = std::vector<std::uint8_t>(cm::kSize, 0);
    explicit ClsMsg(const std::string& name = {}) {
        std::memcpy(b.data() + cm::kName, name.data(), std::min(name.size(), kMaxName));
    }
    std::int32_t status() const { return wire::load_h<std::int32_t>(b.data()); }
    std::string name(std::size_t i) const {
        const char* p = reinterpret_cast<const char*>(b.data() + cm::kNames + i * cm::kNameSize);
        return std::string(p, strnlen(p, cm::kNameSize));
    }
    std::uint8_t& qos_class(std::size_t i = 0) { return b[cm::kClass + i]; }
    std::uint8_t& action(std::size_t i = 0) { return b[cm::kAction + i]; }
};

// Applies an action word to the current action bits: permit and deny replace
// each other, log is added to either.
std::uint8_t apply_action(std::uint8_t current, const std::string& word) {
    if (strcasecmp(word.c_str(), "permit") == 0) return (current & ~kDeny) | kPermit;
    if (strcasecmp(word.c_str(), "deny") == 0) return (current & ~kPermit) | kDeny;
    if (strcasecmp(word.c_str(), "log") == 0) return current | kLog;
    return current;
}

// Tells the user what the FE's status means; 0 on success.
int judge(void* ctx, std::int32_t status) {
    if (status == cm::kNoEntry) {
        qz_cli_printf(ctx, "Invalid service name\n");
        return -1;
    }
    if (status == cm::kBadAction) {
        qz_cli_printf(ctx, "Invalid action value\n");
        return -1;
    }
    if (status < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status);
        return -1;
    }
    return 0;
}

bool send(std::uint16_t code, ClsMsg& m) {
    if (qz_fed_send_to_kernel(code, m.b.data()) < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", -1);
        return false;
    }
    return true;
}

// Copies a class and action into the service's configuration-library record.
void mirror(const std::string& name, std::uint8_t qos_class, std::uint8_t action) {
    std::uint8_t rec[db::kSize] = {};
    if (qz_dcd_get_service_table(name.c_str(), rec) < 0) {
        FED_ERR("could not find service %s in shared memory\n", name.c_str());
        return;
    }
    rec[db::kClass] = qos_class;
    rec[db::kAction] = action;
    qz_dcd_set_service_table(name.c_str(), rec);
}

int set_class(void* ctx, qz_fed_qos_args_t a, const std::string& name) {
    ClsMsg m(name);
    bool has_class = fedcli::bit(a, arg::kSvcBitClass),
         has_action = fedcli::bit(a, arg::kSvcBitAction);
    std::uint8_t fields = 0;
    if (!has_class && !has_action) {
        m.qos_class() = 2;
        m.action() = kPermit;
        fields = kFieldClass | kFieldAction;
    }
    if (has_action) {
        ClsMsg cur(name);
        if (!send(cm::kGet, cur)) return -1;
        std::uint8_t action = 0;
        if (cur.status() == 0)
            action = cur.action();
        else if (cur.status() != cm::kNoEntry)
            return judge(ctx, cur.status());
        m.action() = apply_action(action, fedcli::name(a, arg::kSvcAction, arg::kSvcActionWidth));
        fields |= kFieldAction;
    }
    if (has_class) {
        m.qos_class() = static_cast<std::uint8_t>(fedcli::word(a, arg::kSvcClass));
        fields |= kFieldClass;
    }
    m.b[cm::kFields] = fields;
    if (!send(cm::kSet, m) || judge(ctx, m.status()) < 0) return -1;

    // The FE merges what was given into what it had: copy its result.
    ClsMsg back(name);
    if (!send(cm::kGet, back) || judge(ctx, back.status()) < 0) return -1;
    FED_DBG(cli, "update qos option of the service %s\n", name.c_str());
    mirror(name, back.qos_class(), back.action());
    return 0;
}

int unset_class(void* ctx, const std::string& name) {
    ClsMsg m(name);
    m.b[cm::kFields] = kFieldClass | kFieldAction;
    if (!send(cm::kUnset, m) || judge(ctx, m.status()) < 0) return -1;
    const qz_fed_default_service_t& d = qz_fed_default_service_find(name.c_str());
    FED_DBG(cli, "unset qos option of the service %s\n", name.c_str());
    mirror(name, d.qos_class, d.qos_action);
    return 0;
}

}  // namespace

const char* qz_fed_qos_action_text(std::uint8_t action) {
    if (action & kPermit) return action & kLog ? "permit|log" : "permit";
    if (action & kDeny) return action & kLog ? "deny|log" : "deny";
    return action & kLog ? "log" : "";
}

int qz_fed_qos_service_class(void* ctx, qz_fed_qos_args_t args) {
    std::string name = fedcli::name(args, arg::kSvcName, arg::kSvcNameWidth);
    if (name.size() > kMaxName) {
        qz_cli_printf(ctx, "ERROR:The name of service exceeds maximum length(%d)\n",
                      static_cast<int>(kMaxName));
        return -1;
    }
    switch (QZ_CMD_TYPE(ctx)) {
        case QZ_CMD_TYPE_SET:
            return set_class(ctx, args, name);
        case QZ_CMD_TYPE_NO:
            return unset_class(ctx, name);
        default:
            FED_DBG(cli, "the unsupport comman type = %d \n", static_cast<int>(QZ_CMD_TYPE(ctx)));
            return -1;
    }
}

int qz_fed_qos_service_class_show(void* ctx, qz_fed_qos_args_t) {
    ClsMsg all;
    if (!send(cm::kGet, all) || judge(ctx, all.status()) < 0) return -1;
    std::size_t n = 0;
    while (n < 100 && !all.name(n).empty()) ++n;
    qz_cli_printf(ctx, "Service-based classification table \n");
    qz_cli_printf(ctx, "Total entries = %d\n", static_cast<int>(n));
    qz_cli_printf(ctx, "No. Service  Name                     Quorvane QoS Class    Action\n");
    qz_cli_printf(ctx, "%s\n", std::string(66, '-').c_str());
    for (std::size_t i = 0; i < n; ++i)
        qz_cli_printf(ctx, "%-4d%-32s        %6d          %-16s\n", static_cast<int>(i + 1),
                      all.name(i).c_str(), all.qos_class(i), qz_fed_qos_action_text(all.action(i)));
    return 0;
}
