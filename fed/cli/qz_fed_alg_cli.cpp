// ALG settings held by the FE (kernel codes 130, 131): on or off, QoS class,
// inactive-data timeout and max duration per ALG, and the ALG type bound to
// each service. fed keeps the max durations the gateways use for new objects.
#include <strings.h>

#include <cstring>

#include "alg/qz_alg_main.h"
#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_service_cli.h"
#include "fed/cli/qz_fed_service_svc.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_default.h"
#include "fed/qz_fed_msg.h"
#include "platform/qz.h"

using namespace fedsvc;
namespace arg = qz_fed_svc_arg;
namespace am = qz_alg_cfg_msg;

namespace {

inline constexpr std::uint32_t kNoFlag = 0x80000000u;
inline constexpr std::uint32_t kHttpChanged = 193;

// What the running configuration compares against, by ALG type.
struct AlgDefault {
    std::uint8_t qos_class;
    std::uint32_t inactive;      // seconds
    std::uint32_t max_duration;  // minutes
    bool enabled;
};
constexpr AlgDefault kAlgDefaults[7] = {
    {0, 0, 0, false},   {0, 30, 60, false}, {0, 30, 60, false}, {6, 60, 720, false},
    {0, 60, 60, false}, {0, 60, 60, false}, {0, 60, 60, false},
};

// ALG types by the names the commands carry.
struct AlgKeyword {
    const char* name;
    std::uint16_t type;
};
constexpr AlgKeyword kAlgKeywords[] = {
    {"ftp", 1}, {"tftp", 2}, {"sip", 3}, {"dns", 4}, {"tv", 6}, {"http", 6},
};

using fedcli::CfgRecord;
using fedcli::word;

// The ALG type of a name among `accepted` types; 0 when it is not one.
std::uint16_t alg_type_of(const std::string& name, std::initializer_list<std::uint16_t> accepted) {
    for (const AlgKeyword& k : kAlgKeywords)
        if (strcasecmp(k.name, name.c_str()) == 0)
            for (std::uint16_t t : accepted)
                if (t == k.type) return t;
    return 0;
}

struct AlgMsg {
    std::uint8_t b[am::kSize] = {};
    explicit AlgMsg(std::uint16_t type, std::uint8_t fields = 0) {
        wire::store_h<std::uint16_t>(b + am::kType, type);
        b[am::kFields] = fields;
    }
    bool enabled(std::size_t slot) const {
        return wire::load_h<std::uint16_t>(b + am::kEnabled + slot * 2) != 0;
    }
    std::uint32_t inactive(std::size_t slot) const {
        return wire::load_h<std::uint32_t>(b + am::kInactive + slot * 4);
    }
    std::uint32_t max_duration(std::size_t slot) const {
        return wire::load_h<std::uint32_t>(b + am::kMaxDuration + slot * 4);
    }
    std::uint8_t qos(std::size_t slot) const { return b[am::kQos + slot]; }
};

// Sends a set and reads the configuration back. 0, or -1 with the debug line.
int store(AlgMsg& m) {
    if (qz_fed_kernel_request(am::kSet, m.b) < 0) return -1;
    AlgMsg back(wire::load_h<std::uint16_t>(m.b + am::kType));
    return qz_fed_kernel_request(am::kGet, back.b) < 0 ? -1 : 0;
}

// The command type must be the plain or the "no" form.
bool type_ok(void* ctx) {
    std::uint32_t t = QZ_CMD_TYPE(ctx);
    if (t == QZ_CMD_TYPE_SET || t == QZ_CMD_TYPE_NO) return true;
    FED_DBG(cli, "ERROR: para error, iCmdtype(%d)\n", static_cast<int>(t));
    return false;
}

enum class Value { Qos, Inactive, MaxDuration };

int set_value(void* ctx, qz_fed_svc_args_t args, Value v) {
    if (!type_ok(ctx)) return -1;
    std::string name = fedcli::name(args, arg::kAlgName, arg::kAlgNameWidth);
    std::uint16_t t =
        v == Value::Qos ? alg_type_of(name, {1, 2, 3, 4}) : alg_type_of(name, {1, 2, 3});
    if (t == 0) return -1;
    bool no = QZ_CMD_TYPE(ctx) == QZ_CMD_TYPE_NO;
    std::uint32_t given = word(args, arg::kAlgValue);
    const AlgDefault& d = kAlgDefaults[t];
    AlgMsg m(t);
    std::uint32_t value = 0;
    switch (v) {
        case Value::Qos:
            m.b[am::kFields] = am::kFieldQos;
            value = no ? d.qos_class : given & 0xFF;
            m.b[am::kQos] = static_cast<std::uint8_t>(value);
            break;
        case Value::Inactive:
            m.b[am::kFields] = am::kFieldInactive;
            value = no ? d.inactive : given;
            wire::store_h<std::uint32_t>(m.b + am::kInactive, value);
            break;
        case Value::MaxDuration:
            m.b[am::kFields] = am::kFieldMaxDuration;
            value = no ? d.max_duration : given;
            wire::store_h<std::uint32_t>(m.b + am::kMaxDuration, value);
            break;
    }
    if (store(m) < 0) return -1;
    if (v == Value::MaxDuration) qz_alg_set_max_duration(t, value);
    return 0;
}

const char* flag_text(bool on) {
    return on ? "enable" : "disable";
}

void show_row(void* ctx, int index, std::uint16_t t, const AlgMsg& m, std::size_t slot, bool one) {
    const char* name = qz_fed_alg_name(t);
    const char* flag = flag_text(m.enabled(slot));
    if (t <= 3)
        qz_cli_printf(ctx, "%-10d%-10s%-10s%-10d%-25d%-10d\n", index, name, flag, m.qos(slot),
                      static_cast<int>(m.inactive(slot)), static_cast<int>(m.max_duration(slot)));
    else if (t == 4 && one)
        qz_cli_printf(ctx, "%-10d%-10s%-10s%-10d%-25s%s\n", index, name, flag, m.qos(slot),
                      "          -", "     -");
    else if (t == 4)
        qz_cli_printf(ctx, "%-10d%-10s%-10s%-10d%-25s%-10s\n", index, name, flag, m.qos(slot), "-",
                      "-");
    else if (one)
        qz_cli_printf(ctx, "%-10d%-10s%-10s%-10s%-25s%s\n", index, name, flag, "-", "          -",
                      "     -");
    else
        qz_cli_printf(ctx, "%-10d%-10s%-10s%-10s%-25s%-10s\n", index, name, flag, "-", "-", "-");
}

}  // namespace

int qz_fed_alg_enable(void* ctx, qz_fed_svc_args_t args) {
    if (!type_ok(ctx)) return -1;
    std::uint16_t t =
        alg_type_of(fedcli::name(args, arg::kAlgName, arg::kAlgNameWidth), {1, 2, 3, 4, 6});
    if (t == 0) return -1;
    AlgMsg m(t, am::kFieldEnabled);
    if (QZ_CMD_TYPE(ctx) == QZ_CMD_TYPE_SET) {
        wire::store_h<std::uint16_t>(m.b + am::kEnabled, 1);
        if (t == 4) qz_tpa_set_dns_alg_by_cli();
    } else if (t == 4) {
        qz_tpa_unset_dns_alg_by_cli();
        std::uint32_t jss = 0;
        if (qz_tpa_dns_alg_enabled_by_jss(&jss) >= 0 && jss != 0) {
            FED_DBG(cli, "dns alg is used by jss, just disable it from CLI\n");
            return 0;
        }
    }
    if (store(m) < 0) return -1;
    if (t == 6) qz_event_send(kHttpChanged, am::kSize, m.b);
    return 0;
}

int qz_fed_alg_qos(void* ctx, qz_fed_svc_args_t args) {
    return set_value(ctx, args, Value::Qos);
}

int qz_fed_alg_inactive_timeout(void* ctx, qz_fed_svc_args_t args) {
    return set_value(ctx, args, Value::Inactive);
}

int qz_fed_alg_max_duration(void* ctx, qz_fed_svc_args_t args) {
    return set_value(ctx, args, Value::MaxDuration);
}

int qz_fed_alg_bind_service(void* ctx, qz_fed_svc_args_t args) {
    if (!type_ok(ctx)) return -1;
    std::string name = fedcli::name(args, arg::kName, arg::kNameWidth);
    std::uint16_t t = 0;
    if (QZ_CMD_TYPE(ctx) == QZ_CMD_TYPE_SET) {
        t = alg_type_of(fedcli::name(args, arg::kKeyword, arg::kKeywordWidth), {1, 2, 3, 4, 6});
        if (t == 0) return -1;
    }
    SvcMsg m(name);
    if (qz_fed_send_to_kernel(qz_svc_msg::kGet, m.b.data()) < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", -1);
        return -1;
    }
    if (m.status() == qz_svc_msg::kNoSuchService) {
        qz_cli_printf(ctx, "service %s not existed!\r\n", name.c_str());
        return -1;
    }
    if (m.status() < 0) {
        FED_DBG(cli, "API returns error(%d)\n", m.status());
        return -1;
    }
    m.set_alg_type(t);
    m.set_alg_bind(0);
    m.set_status(0);
    return qz_fed_kernel_request(qz_svc_msg::kSet, m.b.data()) < 0 ? -1 : 0;
}

int qz_fed_alg_show(void* ctx, qz_fed_svc_args_t args) {
    bool one = ((word(args, 0) >> arg::kAlgShowBit) & 1u) != 0;
    std::uint16_t t = 0;
    if (one) {
        t = alg_type_of(fedcli::name(args, arg::kAlgName, arg::kAlgNameWidth), {1, 2, 3, 4, 6});
        if (t == 0) return -1;
    }
    AlgMsg m(t);
    if (qz_fed_kernel_request(am::kGet, m.b) < 0) return -1;
    qz_cli_printf(ctx, "ALG configuration information:\n");
    qz_cli_printf(ctx, "%-10s%-10s%-10s%-10s%-25s%-10s\n", "index", "alg type", "flag", "qos",
                  "inactive-data-timeout", "max-duration");
    qz_cli_printf(ctx, "%s\n", std::string(68, '-').c_str());
    if (one) {
        show_row(ctx, 1, t, m, 0, true);
        return 0;
    }
    for (std::uint16_t type : {1, 2, 3, 4, 6}) show_row(ctx, type, type, m, type, false);
    return 0;
}

void qz_fed_alg_cfg(void* out) {
    AlgMsg m(0);
    if (qz_fed_kernel_request(am::kGet, m.b) == 0) {
        for (std::uint16_t t : {1, 2, 3, 4, 6}) {
            const AlgDefault& d = kAlgDefaults[t];
            std::string name = qz_fed_alg_name(t);
            if (m.enabled(t) != d.enabled)
                CfgRecord<arg::kAlgSize>()
                    .flags(m.enabled(t) ? arg::kAlgFlags : (arg::kAlgFlags | kNoFlag))
                    .text(arg::kAlgName, arg::kAlgNameWidth, name)
                    .add(out, 804);
            if (m.qos(t) != d.qos_class)
                CfgRecord<arg::kAlgValueSize>()
                    .flags(arg::kAlgValueFlags)
                    .text(arg::kAlgName, arg::kAlgNameWidth, name)
                    .put(arg::kAlgValue, m.qos(t))
                    .add(out, 1800);
            if (m.inactive(t) != d.inactive)
                CfgRecord<arg::kAlgValueSize>()
                    .flags(arg::kAlgValueFlags)
                    .text(arg::kAlgName, arg::kAlgNameWidth, name)
                    .put(arg::kAlgValue, m.inactive(t))
                    .add(out, 1801);
            if (m.max_duration(t) != d.max_duration)
                CfgRecord<arg::kAlgValueSize>()
                    .flags(arg::kAlgValueFlags)
                    .text(arg::kAlgName, arg::kAlgNameWidth, name)
                    .put(arg::kAlgValue, m.max_duration(t))
                    .add(out, 1802);
        }
    }
    SvcMsg all;
    if (qz_fed_kernel_request(qz_svc_msg::kGet, all.b.data()) < 0) return;
    for (std::size_t i = 0, n = all.count(); i < n; ++i) {
        std::uint16_t t = all.alg_type(i);
        if (t == 5 || t > 6 || all.alg_bind(i) == 1) continue;
        std::string name = all.name(i);
        std::uint16_t predefined = 0;
        bool known = qz_fed_default_service_known(name.c_str());
        if (known) predefined = qz_fed_default_service_find(name.c_str()).alg_type;
        if (t != 0 && !(known && predefined == t))
            CfgRecord<arg::k1799Size>()
                .flags(arg::k1799Flags)
                .text(arg::kName, arg::kNameWidth, name)
                .text(arg::kKeyword, arg::kKeywordWidth, qz_fed_alg_name(t))
                .add(out, 1799);
        else if (t == 0 && known && predefined != 0)
            CfgRecord<arg::k1799Size>()
                .flags(arg::k1799NoFlags)
                .text(arg::kName, arg::kNameWidth, name)
                .add(out, 1799);
    }
}
