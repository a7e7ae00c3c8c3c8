// Configuration library tables behind the FE settings and rate-limit
// commands: interface indexes, Ethernet bindings and device types, the ICSA
// record, layer-2 default-route VLAN maps, and the dual-profile flags.
#include <algorithm>

#include "platform/qz.h"
#include "platform/up_msg.h"
#include "sim/core.h"

namespace sim {

namespace {

using Args = std::span<const std::uint8_t>;
using Out = std::vector<std::uint8_t>;

// The library's own word of the ICSA record: the record's version.
inline constexpr std::uint32_t kIcsaVersion = 1;

bool starts_with(std::string_view s, std::string_view p) {
    return s.substr(0, p.size()) == p;
}

// Ethernet-side ports (eth*, agg*, red* without a sub-interface) boot in
// backhaul mode; everything else is an access interface.
std::uint32_t booted_type(const Iface& i) {
    std::string_view n = i.kname;
    bool wired = starts_with(n, "eth") || starts_with(n, "agg") || starts_with(n, "red");
    return wired && n.find('.') == std::string_view::npos ? QZ_DEV_TYPE_BACKHAUL
                                                          : QZ_DEV_TYPE_ACCESS;
}

const Iface* iface_by_index(const Core& c, std::uint32_t ifindex) {
    for (const Iface& i : c.ifaces)
        if (i.ifindex == ifindex) return &i;
    return nullptr;
}

void out_u32(Out& out, std::uint32_t v) {
    wire::Writer w;
    w.h32(v);
    out = std::move(w.buf());
}

// args: str name -> out: u32 index (kernel name first, then user name)
int nametoindex(Core& c, Args args, Out& out) {
    wire::Reader r(args);
    std::string name = r.str();
    if (!r.ok()) return -1;
    name = name.substr(0, name.find('\0'));
    const Iface* i = iface_by_kname_locked(c, name);
    if (!i) i = iface_by_uname_locked(c, name);
    if (!i) return -1;
    out_u32(out, i->ifindex);
    return 0;
}

// The management interface's address: the one interface with an IPv4
// address here (192.168.1.10/24).
inline constexpr std::uint8_t kMgt0Addr[4] = {192, 168, 1, 10};
inline constexpr std::uint8_t kMgt0Mask[4] = {255, 255, 255, 0};

// args: str name -> out: u32 address, u32 mask (network order)
int addr_byname(Core&, Args args, Out& out) {
    wire::Reader r(args);
    std::string name = r.str();
    if (!r.ok() || name.substr(0, name.find('\0')) != "mgt0") return -1;
    out.assign(kMgt0Addr, kMgt0Addr + 4);
    out.insert(out.end(), kMgt0Mask, kMgt0Mask + 4);
    return 0;
}

// args: u32 index -> out: str kernel name
int indextoname(Core& c, Args args, Out& out) {
    wire::Reader r(args);
    std::uint32_t index = r.h32();
    const Iface* i = r.ok() ? iface_by_index(c, index) : nullptr;
    if (!i) return -1;
    wire::Writer w;
    w.str(i->kname);
    out = std::move(w.buf());
    return 0;
}

// args: u32 index -> out: 6-byte MAC. The simulated interfaces carry a
// locally administered address made of their index: 02:00:ii:ii:ii:ii.
int get_macaddr(Core& c, Args args, Out& out) {
    wire::Reader r(args);
    std::uint32_t index = r.h32();
    const Iface* i = r.ok() ? iface_by_index(c, index) : nullptr;
    if (!i) return -1;
    out.assign(6, 0);
    out[0] = 0x02;
    wire::store_be32(out.data() + 2, index);
    return 0;
}

// args: u32 index -> out: u32 bound index
int get_ethx_binding(Core& c, Args args, Out& out) {
    wire::Reader r(args);
    std::uint32_t index = r.h32();
    if (!r.ok()) return -1;
    out_u32(out, ethx_state_locked(c, index).bound);
    return 0;
}

// args: u32 index -> out: u32 type; an interface the library does not know fails
int get_dev_type(Core& c, Args args, Out& out) {
    wire::Reader r(args);
    std::uint32_t index = r.h32();
    const Iface* i = r.ok() ? iface_by_index(c, index) : nullptr;
    if (!i || i->uname.empty()) return -1;
    out_u32(out, ethx_state_locked(c, index).dev_type);
    return 0;
}

int get_icsa(Core& c, Args, Out& out) {
    out.assign(QZ_DCD_ICSA_SIZE, 0);
    for (std::size_t i = 0; i < c.dcd_fe.icsa.size(); ++i)
        wire::store_h<std::uint32_t>(out.data() + 4 * i, c.dcd_fe.icsa[i]);
    return 0;
}

// The library keeps its own word 0; the four switches are stored as given.
int set_icsa(Core& c, Args args, Out&) {
    wire::Reader r(args);
    std::array<std::uint32_t, 5> v{};
    for (std::uint32_t& x : v) x = r.h32();
    if (!r.ok() || r.left() != 0) return -1;
    for (std::size_t i = 1; i < v.size(); ++i) c.dcd_fe.icsa[i] = v[i];
    return 0;
}

RouteVlan* vlan_of(Core& c, std::uint32_t index) {
    for (RouteVlan& v : c.dcd_fe.vlans)
        if (v.ifindex == index) return &v;
    return nullptr;
}

// args: u32 index -> out: u32 empty, map; an interface without a map reads empty
int get_route_vlan(Core& c, Args args, Out& out) {
    wire::Reader r(args);
    std::uint32_t index = r.h32();
    const Iface* i = r.ok() ? iface_by_index(c, index) : nullptr;
    if (!i || i->uname.empty()) return -1;
    wire::Writer w;
    if (const RouteVlan* v = vlan_of(c, index)) {
        w.h32(v->empty).bytes(v->map.data(), v->map.size());
    } else {
        std::array<std::uint8_t, QZ_VLAN_MAP_SIZE> zero{};
        w.h32(1).bytes(zero.data(), zero.size());
    }
    out = std::move(w.buf());
    return 0;
}

// args: u32 index, u32 empty, map
int set_route_vlan(Core& c, Args args, Out&) {
    wire::Reader r(args);
    RouteVlan v{};
    v.ifindex = r.h32();
    v.empty = r.h32();
    r.bytes(v.map.data(), v.map.size());
    const Iface* i = r.ok() && r.left() == 0 ? iface_by_index(c, v.ifindex) : nullptr;
    if (!i || i->uname.empty()) return -1;
    if (RouteVlan* old = vlan_of(c, v.ifindex))
        *old = v;
    else
        c.dcd_fe.vlans.push_back(v);
    return 0;
}

// args: u32 index, u32 flag
int update_allow_vlan(Core& c, Args args, Out&) {
    wire::Reader r(args);
    std::uint32_t index = r.h32();
    std::uint32_t flag = r.h32();
    if (!r.ok()) return -1;
    // Bounded: a log of what was asked, not a table.
    if (c.dcd_fe.allow_vlan_updates.size() < 10000)
        c.dcd_fe.allow_vlan_updates.push_back({index, flag});
    return 0;
}

// args: str ifname, u32 kind, u32 value
int set_dual_profile(Core& c, Args args, Out&) {
    wire::Reader r(args);
    std::string name = r.str();
    std::uint32_t kind = r.h32();
    std::uint32_t value = r.h32();
    if (!r.ok() || name.empty() || name.size() > 64) return -1;
    for (DualProfile& d : c.dcd_fe.dual) {
        if (d.ifname == name && d.kind == kind) {
            d.value = value;
            return 0;
        }
    }
    if (c.dcd_fe.dual.size() >= 1000) return -1;
    c.dcd_fe.dual.push_back(DualProfile{name, kind, value});
    return 0;
}

// args: str user profile, str setting (empty: cleared)
int set_up_redir(Core& c, Args args, Out&) {
    wire::Reader r(args);
    std::string up = r.str();
    std::string redir = r.str();
    if (!r.ok() || up.empty() || up.size() > 32 || redir.size() >= qz_dcd_up::kScheduleSize)
        return -1;
    // The setting is the schedule name of the profile's entry.
    if (auto* e = dcd_up_entry_locked(c, up))
        qz_up::put_name(*e, qz_dcd_up::kSchedule, qz_dcd_up::kScheduleSize, redir);
    auto& list = c.dcd_fe.up_redir;
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& e) { return e[0] == up; });
    if (redir.empty()) {
        if (it != list.end()) list.erase(it);
        return 0;
    }
    if (it != list.end()) {
        (*it)[1] = redir;
        return 0;
    }
    if (list.size() >= 1000) return -1;
    list.push_back({up, redir});
    return 0;
}

using Fn = int (*)(Core& c, Args args, Out& out);

struct Row {
    std::string_view name;
    Fn fn;
};

constexpr Row kCalls[] = {
    {"qz_if_nametoindex", nametoindex},
    {"qz_if_indextoname", indextoname},
    {"qz_dcd_get_macaddr", get_macaddr},
    {"qz_dcd_get_addr_byname", addr_byname},
    {"qz_dcd_get_ethx_binding", get_ethx_binding},
    {"qz_dcd_get_dev_type", get_dev_type},
    {"qz_dcd_get_icsa", get_icsa},
    {"qz_dcd_set_icsa", set_icsa},
    {"qz_dcd_get_default_route_vlan", get_route_vlan},
    {"qz_dcd_set_default_route_vlan", set_route_vlan},
    {"qz_dcd_update_eth_allow_vlan", update_allow_vlan},
    {"qz_dcd_set_fed_dual_profile_table", set_dual_profile},
    {"qz_dcd_set_up_redir", set_up_redir},
};

}  // namespace

void dcd_fe_init_locked(Core& c) {
    c.dcd_fe = DcdFe{};
    c.dcd_fe.icsa[0] = kIcsaVersion;
}

int dcd_fe_call_locked(Core& c, std::string_view fn, Args args, Out& out) {
    for (const Row& row : kCalls)
        if (row.name == fn) return row.fn(c, args, out);
    return kNoSuchCall;
}

EthxState ethx_state_locked(const Core& c, std::uint32_t ifindex) {
    for (const EthxState& e : c.dcd_fe.ethx)
        if (e.ifindex == ifindex) return e;
    const Iface* i = iface_by_index(c, ifindex);
    return EthxState{ifindex, QZ_ETHX_UNBOUND, i ? booted_type(*i) : 0};
}

EthxState* ethx_change_locked(Core& c, std::uint32_t ifindex) {
    for (EthxState& e : c.dcd_fe.ethx)
        if (e.ifindex == ifindex) return &e;
    if (!iface_by_index(c, ifindex)) return nullptr;
    c.dcd_fe.ethx.push_back(ethx_state_locked(c, ifindex));
    return &c.dcd_fe.ethx.back();
}

}  // namespace sim
