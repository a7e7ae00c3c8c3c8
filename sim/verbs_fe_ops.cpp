// Verbs that put entries into the FE's operations tables: policies, fragments
// being reassembled, unroam monitoring, aggregate members and tunnels.
#include <cstring>

#include "platform/fe.h"
#include "platform/fe/model.h"
#include "platform/wire.h"
#include "sim/records.h"
#include "sim/verbs.h"

namespace sim {

namespace {

// A dotted quad as the host number the FE model keeps.
bool host_ip(const std::string& s, std::uint32_t& v) {
    std::uint32_t net = 0;
    if (!parse_ipv4(s, net)) return false;
    std::uint8_t b[4];
    wire::store_h<std::uint32_t>(b, net);
    v = wire::load_be32(b);
    return true;
}

int full(const CtlOut& out, const char* what) {
    return ctl_fail(out, std::string("The FE's ") + what + " table is full");
}

}  // namespace

int verb_fe_policy(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    fem::PolicyEntry p{};
    Mac mac{};
    if (!parse_mac(a[0], mac)) return ctl_fail(out, "Bad MAC address: " + a[0]);
    std::memcpy(p.mac, mac.data(), 6);
    if (a[1] != "in" && a[1] != "out") return ctl_fail(out, "Bad direction: " + a[1]);
    p.direction = a[1] == "in" ? 1 : 2;
    if (!parse_i32(a[2], p.tunnel)) return ctl_fail(out, "Bad tunnel id: " + a[2]);
    if (a.size() > 3 && !parse_u32(a[3], p.packets)) return ctl_fail(out, "Bad count: " + a[3]);
    std::lock_guard lock(s.core.mu);
    return fem::ops_add_policy(s.core.fe, p) ? kCtlOk : full(out, "policy");
}

int verb_fe_fragment(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    fem::Fcb key{};
    std::uint32_t id = 0, proto = 0;
    fem::FragRange r{};
    if (!host_ip(a[0], key.src_ip)) return ctl_fail(out, "Bad address: " + a[0]);
    if (!host_ip(a[1], key.dst_ip)) return ctl_fail(out, "Bad address: " + a[1]);
    if (!parse_u32(a[2], id) || id > 0xffff) return ctl_fail(out, "Bad IP id: " + a[2]);
    if (!parse_u32(a[3], proto) || proto > 255) return ctl_fail(out, "Bad protocol: " + a[3]);
    if (!parse_u32(a[4], r.start) || !parse_u32(a[5], r.end) || r.end < r.start)
        return ctl_fail(out, "Bad fragment: " + a[4] + " " + a[5]);
    key.ip_id = static_cast<std::uint16_t>(id);
    key.protocol = static_cast<std::uint8_t>(proto);
    std::lock_guard lock(s.core.mu);
    return fem::ops_add_fragment(s.core.fe, key, r) ? kCtlOk : full(out, "fragment");
}

int verb_fe_unroam(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    fem::UnroamStation u{};
    Mac mac{};
    if (!parse_mac(a[0], mac)) return ctl_fail(out, "Bad MAC address: " + a[0]);
    std::memcpy(u.mac, mac.data(), 6);
    if (!parse_u32(a[1], u.duration_s) || !parse_u32(a[2], u.threshold) ||
        !parse_u32(a[3], u.current))
        return ctl_fail(out, "Bad number");
    u.reached = a.size() > 4;
    std::lock_guard lock(s.core.mu);
    return fem::ops_set_unroam(s.core.fe, u) ? kCtlOk : full(out, "unroam");
}

int verb_fe_member(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    fem::MemberMac mm{};
    Mac mac{};
    if (!parse_mac(a[0], mac)) return ctl_fail(out, "Bad MAC address: " + a[0]);
    std::memcpy(mm.mac, mac.data(), 6);
    std::lock_guard lock(s.core.mu);
    Iface* i = iface_by_kname_locked(s.core, a[1]);
    if (!i) return ctl_fail(out, "Unknown interface: " + a[1]);
    mm.ifindex = i->ifindex;
    return fem::ops_set_member(s.core.fe, mm) ? kCtlOk : full(out, "member");
}

int verb_fe_tunnel(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    fem::Tunnel t{};
    std::uint32_t id = 0;
    if (!parse_u32(a[0], id) || id > 0xffff) return ctl_fail(out, "Bad tunnel id: " + a[0]);
    t.id = static_cast<std::uint16_t>(id);
    if (!host_ip(a[1], t.src_ip)) return ctl_fail(out, "Bad address: " + a[1]);
    if (!host_ip(a[2], t.dst_ip)) return ctl_fail(out, "Bad address: " + a[2]);
    if (!parse_u32(a[3], t.tx) || !parse_u32(a[4], t.rx))
        return ctl_fail(out, "Bad count: " + a[3] + " " + a[4]);
    t.type = a.size() > 5 && a[5] == "other" ? 1 : 0;
    t.zone = a.size() > 6 && a[6] == "access" ? 1 : 2;
    t.flags = a.size() > 7 ? FE_TUNNEL_CLIENT : 0;
    t.idle_ms = t.rx ? 0 : -1;
    std::lock_guard lock(s.core.mu);
    return fem::ops_set_tunnel(s.core.fe, t) ? kCtlOk : full(out, "tunnel");
}

}  // namespace sim
