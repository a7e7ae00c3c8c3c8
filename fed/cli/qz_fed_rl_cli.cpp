// Incoming broadcast, multicast and unicast rate limits of the Ethernet-side
// interfaces, kept in the kernel (codes 125-128). After each change the
// configuration library learns whether the interface still has the defaults.
#include <cstring>

#include "fed/cli/qz_fed_cli.h"
#include "fed/cli/qz_fed_cli_util.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_msg.h"
#include "platform/qz.h"
#include "platform/qz_assert.h"
#include "platform/rl_msg.h"

using namespace fedcli;
namespace arg = qz_fed_arg;
namespace rl = qz_rl_msg;

namespace {

// The configuration library's flag for "rate limits differ from the defaults".
inline constexpr std::uint32_t kDualProfileRateLimit = 4;

// Interfaces whose limits the running configuration writes, in order.
constexpr const char* kCfgIfaces[] = {"eth0", "eth1", "agg0", "red0"};

struct RlRecord {
    std::uint8_t b[rl::kSize] = {};

    // The kernel's name field holds at most 23 characters.
    explicit RlRecord(const std::string& ifname) {
        std::memcpy(b + rl::kIfName, ifname.data(), std::min(ifname.size(), rl::kIfNameSize - 1));
    }
    const char* ifname() const { return reinterpret_cast<const char*>(b + rl::kIfName); }
    std::uint32_t u32(std::size_t off) const { return wire::load_h<std::uint32_t>(b + off); }
};

// An interface bound into another (an aggregate member) has no limits of its own.
bool interface_free(void* ctx, const std::string& ifname) {
    std::uint32_t index = qz_if_nametoindex(ifname.c_str());
    std::uint32_t bound = QZ_ETHX_UNBOUND;
    if (qz_dcd_get_ethx_binding(index, &bound) < 0) {
        FED_DBG(cli, "get interface %s bind information failed! \n", ifname.c_str());
        return false;
    }
    if (bound != QZ_ETHX_UNBOUND) {
        char bound_name[17] = "";
        qz_if_indextoname(bound, bound_name);
        qz_cli_printf(ctx, "interface %s has alreday bound to %s! \n", ifname.c_str(), bound_name);
        return false;
    }
    return true;
}

bool at_defaults(const RlRecord& r) {
    return (r.b[rl::kBcastOn] == 1) == rl::kDefBcastOn &&
           (r.b[rl::kMcastOn] == 1) == rl::kDefMcastOn &&
           (r.b[rl::kUcastOn] == 1) == rl::kDefUcastOn &&
           r.u32(rl::kBcastRate) == rl::kDefBcastRate &&
           r.u32(rl::kMcastRate) == rl::kDefMcastRate && r.u32(rl::kUcastRate) == rl::kDefUcastRate;
}

// Reads the interface's record back and records in the configuration library
// whether it differs from the defaults.
int update_dual_profile(const RlRecord& changed) {
    RlRecord now(changed.ifname());
    if (qz_fed_kernel_request(rl::kRead, now.b) < 0) return -1;
    return qz_dcd_set_fed_dual_profile_table(now.ifname(), kDualProfileRateLimit,
                                             at_defaults(now) ? 0 : 1);
}

struct RateKind {
    std::size_t rate_off;
    std::uint8_t selector;
    std::uint32_t def;
};
constexpr RateKind kMcastRate{rl::kMcastRate, rl::kSelMcast, rl::kDefMcastRate};
constexpr RateKind kBcastRate{rl::kBcastRate, rl::kSelBcast, rl::kDefBcastRate};
constexpr RateKind kUcastRate{rl::kUcastRate, rl::kSelUcast, rl::kDefUcastRate};

int set_rate(void* ctx, qz_fed_args_t args, const RateKind& k) {
    std::string ifname = name(args, arg::kRlIf, arg::kRlIfWidth);
    if (!interface_free(ctx, ifname)) return -1;
    RlRecord r(ifname);
    wire::store_h<std::uint32_t>(r.b + k.rate_off, is_no(ctx) ? k.def : word(args, arg::kRlArg));
    r.b[rl::kSelector] = k.selector;
    if (qz_fed_kernel_request(rl::kSetRate, r.b) < 0) return -1;
    return update_dual_profile(r);
}

struct CfgSwitch {
    std::size_t on_off;
    bool def;
    const char* keyword;
};
constexpr CfgSwitch kCfgSwitches[] = {
    {rl::kBcastOn, rl::kDefBcastOn, "broadcast"},
    {rl::kMcastOn, rl::kDefMcastOn, "multicast"},
    {rl::kUcastOn, rl::kDefUcastOn, "unicast"},
};

struct CfgRate {
    std::size_t rate_off;
    std::uint32_t def;
    std::uint32_t cmd;
};
constexpr CfgRate kCfgRates[] = {
    {rl::kBcastRate, rl::kDefBcastRate, 949},
    {rl::kMcastRate, rl::kDefMcastRate, 948},
    {rl::kUcastRate, rl::kDefUcastRate, 950},
};

}  // namespace

int qz_fed_rl_cli_switch(void* ctx, qz_fed_args_t args) {
    std::string ifname = name(args, arg::kRlIf, arg::kRlIfWidth);
    if (!interface_free(ctx, ifname)) return -1;
    RlRecord r(ifname);
    char type = args.size() > arg::kRlArg ? static_cast<char>(args[arg::kRlArg]) : '\0';
    switch (type) {
        case 'B':
        case 'b':
            r.b[rl::kBcastOn] = 1;
            break;
        case 'M':
        case 'm':
            r.b[rl::kMcastOn] = 1;
            break;
        case 'U':
        case 'u':
            r.b[rl::kUcastOn] = 1;
            break;
        default:
            QZ_ASSERT_TEXT(false, "0");
    }
    if (qz_fed_kernel_request(is_no(ctx) ? rl::kDisable : rl::kEnable, r.b) < 0) return -1;
    return update_dual_profile(r);
}

int qz_fed_rl_cli_mcast_rate(void* ctx, qz_fed_args_t args) {
    return set_rate(ctx, args, kMcastRate);
}

int qz_fed_rl_cli_bcast_rate(void* ctx, qz_fed_args_t args) {
    return set_rate(ctx, args, kBcastRate);
}

int qz_fed_rl_cli_ucast_rate(void* ctx, qz_fed_args_t args) {
    return set_rate(ctx, args, kUcastRate);
}

int qz_fed_rl_cli_show(void* ctx, qz_fed_args_t args) {
    std::string ifname = name(args, arg::kRlIf, arg::kRlIfWidth);
    if (!interface_free(ctx, ifname)) return -1;
    RlRecord r(ifname);
    if (qz_fed_kernel_request(rl::kRead, r.b) < 0) return -1;
    auto state = [&](std::size_t off) { return r.b[off] == 1 ? "Enabled" : "Disabled"; };
    qz_cli_printf(ctx, "Interface %s Incoming Traffic Rate Limiting Status Table:  \n",
                  ifname.c_str());
    qz_cli_printf(ctx, "%-25s%-15s%-15s%-15s\n", " ", "Broadcast", "Multicast", "Unicast");
    qz_cli_printf(ctx, "-----------------------------------------------------------------\n");
    qz_cli_printf(ctx, "%-25s%-15s%-15s%-15s\n", "Status", state(rl::kBcastOn), state(rl::kMcastOn),
                  state(rl::kUcastOn));
    qz_cli_printf(ctx, "%-25s%-15d%-15d%-15d\n", "Limiting Rate(Kbps)",
                  static_cast<int>(r.u32(rl::kBcastRate)), static_cast<int>(r.u32(rl::kMcastRate)),
                  static_cast<int>(r.u32(rl::kUcastRate)));
    return 0;
}

void qz_fed_rl_cli_cfg(void* out) {
    for (const char* ifname : kCfgIfaces) {
        RlRecord r(ifname);
        if (qz_fed_kernel_request(rl::kRead, r.b) < 0) continue;
        for (const CfgSwitch& s : kCfgSwitches) {
            bool on = r.b[s.on_off] == 1;
            if (on == s.def) continue;
            CfgRecord<arg::kRlSwitchSize> c;
            c.flags(arg::kRlFlags | (on ? 0 : arg::kNoFlag))
                .put(arg::kRlIfKind, arg::kRlIfKindValue)
                .text(arg::kRlIf, arg::kRlIfWidth, ifname)
                .text(arg::kRlArg, arg::kRlTypeWidth, s.keyword)
                .add(out, 947);
        }
        for (const CfgRate& k : kCfgRates) {
            std::uint32_t rate = r.u32(k.rate_off);
            if (rate == k.def) continue;
            CfgRecord<arg::kRlRateSize> c;
            c.flags(arg::kRlFlags)
                .put(arg::kRlIfKind, arg::kRlIfKindValue)
                .text(arg::kRlIf, arg::kRlIfWidth, ifname)
                .put(arg::kRlArg, rate)
                .add(out, k.cmd);
        }
    }
}
