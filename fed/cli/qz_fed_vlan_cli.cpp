// Layer-2 default-route VLANs of the backhaul Ethernet interfaces, kept only in
// the configuration library as a 4096-bit map per interface.
#include <array>

#include "fed/cli/qz_fed_cli.h"
#include "fed/cli/qz_fed_cli_util.h"
#include "fed/qz_fed_debug.h"
#include "platform/qz.h"

using namespace fedcli;
namespace arg = qz_fed_arg;

namespace {

using VlanMap = std::array<std::uint8_t, QZ_VLAN_MAP_SIZE>;

inline constexpr std::uint32_t kVlanFirst = 1;
inline constexpr std::uint32_t kVlanLast = 4094;
inline constexpr const char* kNoVlanIf = "eth0";  // never carries default-route VLANs
inline constexpr const char* kSharedIf = "eth1";  // the interface others must not overlap
inline constexpr int kItemsPerLine = 9;

// VLAN v is bit 7 - v % 8 of byte v / 8, most significant bit first.
bool has(const VlanMap& m, std::uint32_t v) {
    return v / 8 < m.size() && ((m[v / 8] >> (7 - v % 8)) & 1u);
}

void put(VlanMap& m, std::uint32_t v, bool on) {
    if (v / 8 >= m.size()) return;
    auto b = static_cast<std::uint8_t>(1u << (7 - v % 8));
    m[v / 8] = static_cast<std::uint8_t>(on ? m[v / 8] | b : m[v / 8] & ~b);
}

bool any_in(const VlanMap& m, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t v = std::max(from, kVlanFirst); v <= std::min(to, kVlanLast); ++v)
        if (has(m, v)) return true;
    return false;
}

// Calls f(start, end) for each maximal run of set VLANs, in order.
template <typename F>
void for_each_run(const VlanMap& m, F f) {
    for (std::uint32_t v = kVlanFirst; v <= kVlanLast; ++v) {
        if (!has(m, v)) continue;
        std::uint32_t end = v;
        while (end < kVlanLast && has(m, end + 1)) ++end;
        f(v, end);
        v = end;
    }
}

// Another interface's VLANs may not overlap eth1's. A map that cannot be read
// and reads as empty is not examined.
bool overlaps_shared(std::uint32_t from, std::uint32_t to) {
    std::uint32_t index = qz_if_nametoindex(kSharedIf);
    std::uint32_t empty = 1;
    VlanMap map{};
    if (qz_dcd_get_default_route_vlan(index, &empty, map.data()) < 0) return false;
    return any_in(map, from, to);
}

}  // namespace

int qz_fed_cli_route_vlan(void* ctx, qz_fed_args_t args) {
    std::string ifname = name(args, arg::kVlanIf, arg::kVlanIfWidth);
    bool has_start = bit(args, arg::kVlanBitStart);
    bool has_end = bit(args, arg::kVlanBitEnd);
    std::uint32_t start = has_start ? word(args, arg::kVlanStart) : 0;
    if (ifname == kNoVlanIf) {
        qz_cli_printf(ctx, "Error: This command is not applicable to the eth0 interface");
        return QZ_FED_RC_NOT_APPLICABLE;
    }
    if (has_end && word(args, arg::kVlanEnd) < start) {
        qz_cli_printf(ctx, "The end of the vlan ID range cannot be lower than the start.\n");
        return QZ_FED_RC_VLAN_RANGE;
    }
    std::uint32_t index = qz_if_nametoindex(ifname.c_str());
    if (index == 0) {
        FED_ERR("FED: get ifindex from ifname %s failed", ifname.c_str());
        return -1;
    }
    std::uint32_t bound = QZ_ETHX_UNBOUND;
    if (qz_dcd_get_ethx_binding(index, &bound) < 0 || bound != QZ_ETHX_UNBOUND) {
        char bound_name[17] = "";
        qz_if_indextoname(bound, bound_name);
        qz_cli_printf(ctx, "Error: interface %s has alreday bound to %s! \n", ifname.c_str(),
                      bound_name);
        return -1;
    }
    std::uint32_t type = 0;
    if (qz_dcd_get_dev_type(index, &type) < 0) {
        FED_ERR("FED: get type of interface %s error!\n", ifname.c_str());
        return -1;
    }
    if (!(type & QZ_DEV_TYPE_BACKHAUL)) {
        qz_cli_printf(ctx, "Error: interface %s does not in Backhaul mode!\n", ifname.c_str());
        return -1;
    }
    std::uint32_t empty = 1;
    VlanMap map{};
    if (qz_dcd_get_default_route_vlan(index, &empty, map.data()) < 0) {
        qz_cli_printf(ctx, "Error: get default route vlan list on ifname %s failed\n",
                      ifname.c_str());
        return -1;
    }
    std::uint32_t end = has_end ? word(args, arg::kVlanEnd) : start;
    VlanMap before = map;

    if (is_no(ctx)) {
        if (empty == 1) return 0;
        if (has_start) {
            if (!any_in(map, start, end)) return 0;
            for (std::uint32_t v = std::max(start, kVlanFirst); v <= end && v <= kVlanLast; ++v)
                put(map, v, false);
            empty = any_in(map, kVlanFirst, kVlanLast) ? 0 : 1;
        } else {
            map.fill(0);
            empty = 1;
        }
    } else {
        if (ifname != kSharedIf && overlaps_shared(start, end)) {
            qz_cli_printf(ctx, "Error: default route vlan overlapped with other interface\n");
            return -1;
        }
        for (std::uint32_t v = std::max(start, kVlanFirst); v <= end && v <= kVlanLast; ++v)
            put(map, v, true);
        empty = 0;
    }
    if (map == before) return 0;
    int rc = qz_dcd_set_default_route_vlan(index, empty, map.data());
    qz_dcd_update_eth_allow_vlan(index, 0);
    return rc;
}

int qz_fed_cli_route_vlan_show(void* ctx, qz_fed_args_t args) {
    std::string ifname = name(args, arg::kVlanIf, arg::kVlanIfWidth);
    std::uint32_t index = qz_if_nametoindex(ifname.c_str());
    if (index == 0) {
        FED_ERR("FED: get ifindex from ifname %s failed", ifname.c_str());
        return -1;
    }
    std::uint32_t empty = 1;
    VlanMap map{};
    if (qz_dcd_get_default_route_vlan(index, &empty, map.data()) < 0) {
        qz_cli_printf(ctx, "Error: get default route VLAN list on ifname %s failed\n",
                      ifname.c_str());
        return -1;
    }
    if (empty == 1) {
        qz_cli_printf(ctx, "No L2 default route VLAN is configured on %s\n", ifname.c_str());
        return 0;
    }
    qz_cli_printf(ctx, "L2 default route VLANs on %s:\n", ifname.c_str());
    int items = 0;
    for_each_run(map, [&](std::uint32_t from, std::uint32_t to) {
        if (from == to) {
            qz_cli_printf(ctx, "%-4d ", static_cast<int>(from));
            items += 1;
        } else {
            qz_cli_printf(ctx, "%d-%-4d ", static_cast<int>(from), static_cast<int>(to));
            items += 2;
        }
        if (items > kItemsPerLine) {
            qz_cli_printf(ctx, "\n");
            items = 0;
        }
    });
    return 0;
}

// One 995 record per run of eth1's map: a single VLAN as a start, a longer run
// as start and end.
void qz_fed_cli_cfg_route_vlan(void* out) {
    std::uint32_t index = qz_if_nametoindex(kSharedIf);
    if (index == 0) {
        FED_ERR("FED: could not get index by ifname %s", kSharedIf);
        return;
    }
    std::uint32_t empty = 1;
    VlanMap map{};
    if (qz_dcd_get_default_route_vlan(index, &empty, map.data()) < 0 && empty == 1) return;
    for_each_run(map, [&](std::uint32_t from, std::uint32_t to) {
        CfgRecord<arg::kVlanSize> r;
        std::uint32_t flags = 1u << arg::kVlanBitIf | 1u << arg::kVlanBitStart;
        r.text(arg::kVlanIf, arg::kVlanIfWidth, kSharedIf).put(arg::kVlanStart, from);
        if (to > from) {
            flags |= 1u << arg::kVlanBitEnd;
            r.put(arg::kVlanEnd, to);
        }
        r.flags(flags).add(out, 995);
    });
}
