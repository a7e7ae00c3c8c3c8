// The forwarding-engine settings step of the running configuration: one
// record for each setting that differs from the booted FE, in a fixed order.
#include "fed/cli/qz_fed_cli.h"
#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_fe.h"
#include "fed/cli/qz_fed_fe_table.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_msg.h"
#include "platform/fe.h"
#include "platform/qz.h"

using namespace fedcli;
namespace arg = qz_fed_arg;

namespace {

bool read_bool(const FeSetting& s, std::uint32_t* v) {
    return fe_get_boolean_value(v, s.read, s.read_text) >= 0;
}

bool read_int(const FeSetting& s, std::uint32_t* v) {
    return fe_get_int_value(v, s.read, s.read_text) >= 0;
}

// A switch without arguments, written when the FE reads `when`.
struct SwitchRecord {
    const FeSetting* fe;
    std::uint32_t when;
    std::uint32_t cmd;
    bool negated;
};

constexpr SwitchRecord kSwitchesFirst[] = {
    {&kProxyArp, 0, 790, true},        {&kEnhancedProxy, 1, 791, false},
    {&kProxyArpStrict, 1, 792, false}, {&kSessSyncVlan, 1, 789, false},
    {&kInterSsidFlood, 0, 797, true},
};

void emit_switch(void* out, const SwitchRecord& s) {
    std::uint32_t v = 0;
    if (!read_bool(*s.fe, &v) || v != s.when) return;
    CfgRecord<arg::kSwitchSize> r;
    r.flags(s.negated ? arg::kNoFlag : 0).add(out, s.cmd);
}

struct IcsaRecord {
    std::size_t word;
    std::uint32_t cmd;
    const char* keyword;
};

constexpr IcsaRecord kIcsa[] = {
    {1, 794, "firewall-dropped-packets"},
    {2, 794, "to-self-sessions"},
    {3, 795, "ip-fragmented-packets"},
    {4, 795, "to-self-non-management-traffic"},
};

void emit_icsa(void* out) {
    std::uint8_t rec[QZ_DCD_ICSA_SIZE] = {};
    if (qz_dcd_get_icsa(rec) < 0) {
        FED_ERR("Get ICSA info failed.\n");
        return;
    }
    for (const IcsaRecord& i : kIcsa) {
        if (wire::load_h<std::uint32_t>(rec + 4 * i.word) != 1) continue;
        CfgRecord<arg::kIcsaSize> r;
        r.flags(1u << arg::kIcsaBit)
            .text(arg::kIcsaKeyword, arg::kIcsaKeywordWidth, i.keyword)
            .add(out, i.cmd);
    }
}

// A one-word setting, written when the FE reads non-zero.
void emit_value(void* out, const FeSetting& s, std::uint32_t cmd) {
    std::uint32_t v = 0;
    if (!read_int(s, &v) || v == 0) return;
    CfgRecord<arg::kValueSize> r;
    r.put(arg::kValue, v).add(out, cmd);
}

void emit_mcast(void* out) {
    std::uint32_t status = 0;
    std::uint32_t size = 0;
    if (fe_get_tunnel_multicast_status_size(&status, &size) < 0) return;
    if (status) CfgRecord<arg::kSwitchSize>().add(out, 985);
    static constexpr FeTable kList{fe_mcast::kSize, 0, nullptr, nullptr, nullptr};
    show_fe_table<std::uint8_t>(
        nullptr, nullptr, kList, known_count(std::min(size, kFeListReadMax)),
        counted_fetch(fe_get_tunnel_multicast_list), [](std::uint32_t) {},
        [&](std::span<const std::uint8_t> e, std::uint32_t) {
            Fields f(e);
            std::uint32_t mask = f.h32(fe_mcast::kMask);
            CfgRecord<arg::kMcastSize>()
                .flags(1u << arg::kMcastBit)
                .put(arg::kMcastForm,
                     mask == 0xFFFFFFFFu ? arg::kMcastFormSingle : arg::kMcastFormMasked)
                .put(arg::kMcastAddr, f.h32(fe_mcast::kAddr))
                .put(arg::kMcastMask, mask)
                .add(out, status ? 987 : 986);
        });
}

void emit_notify_interval(void* out) {
    std::uint8_t rec[8] = {};
    if (qz_fed_kernel_request(kNotifyRead, rec) < 0) return;
    std::uint32_t v = wire::load_h<std::uint32_t>(rec + 4);
    if (v == kNotifyDefault) return;
    CfgRecord<arg::kValueSize> r;
    r.put(arg::kValue, v).add(out, 979);
}

}  // namespace

void qz_fed_cli_cfg_fe_settings(void* out) {
    for (const SwitchRecord& s : kSwitchesFirst) emit_switch(out, s);
    emit_icsa(out);
    emit_value(out, kMaxIpSessions, 963);
    emit_value(out, kMaxMacSessions, 964);
    emit_switch(out, SwitchRecord{&kTcpMss, 0, 989, true});
    emit_value(out, kTcpMssSize, 990);
    emit_mcast(out);
    emit_notify_interval(out);
    emit_switch(out, SwitchRecord{&kPmtud, 0, 997, true});
}
