// Verbs for the configuration library's interface bindings and device types,
// and displays of the FE settings tables and the library tables behind them.
#include <cstdarg>
#include <cstdio>

#include "platform/fe.h"
#include "platform/qz.h"
#include "sim/records.h"
#include "sim/verbs.h"

namespace sim {

namespace {

Iface* find_iface(Core& c, const std::string& name) {
    Iface* i = iface_by_kname_locked(c, name);
    return i ? i : iface_by_uname_locked(c, name);
}

std::string ipv4_text(std::uint32_t addr) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(&addr);
    char t[16];
    std::snprintf(t, sizeof t, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return t;
}

std::string mac_text(const std::uint8_t* m) {
    char t[18];
    std::snprintf(t, sizeof t, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    return t;
}

std::string index_name(const Core& c, std::uint32_t ifindex) {
    for (const Iface& i : c.ifaces)
        if (i.ifindex == ifindex) return i.kname;
    return std::to_string(ifindex);
}

// printf onto a string (GCC 12 warns falsely on chains of string additions).
void addf(std::string& s, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void addf(std::string& s, const char* fmt, ...) {
    char line[256];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    s += line;
}

// VLAN runs of a map: "100-110 200".
std::string vlan_runs(const std::array<std::uint8_t, 512>& map) {
    auto has = [&](unsigned v) { return (map[v / 8] >> (7 - v % 8)) & 1; };
    std::string s;
    for (unsigned v = 1; v <= 4094; ++v) {
        if (!has(v)) continue;
        unsigned end = v;
        while (end < 4094 && has(end + 1)) ++end;
        addf(s, s.empty() ? "%u" : " %u", v);
        if (end > v) addf(s, "-%u", end);
        v = end;
    }
    return s.empty() ? "-" : s;
}

}  // namespace

int verb_link_bind(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    Iface* i = find_iface(s.core, a[0]);
    Iface* into = find_iface(s.core, a[1]);
    if (!i) return ctl_fail(out, "Unknown interface: " + a[0]);
    if (!into) return ctl_fail(out, "Unknown interface: " + a[1]);
    if (i == into) return ctl_fail(out, "An interface cannot be bound into itself");
    ethx_change_locked(s.core, i->ifindex)->bound = into->ifindex;
    return kCtlOk;
}

int verb_link_unbind(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    Iface* i = find_iface(s.core, a[0]);
    if (!i) return ctl_fail(out, "Unknown interface: " + a[0]);
    ethx_change_locked(s.core, i->ifindex)->bound = QZ_ETHX_UNBOUND;
    return kCtlOk;
}

int verb_link_mode(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::uint32_t type = 0;
    if (a[1] == "access")
        type = QZ_DEV_TYPE_ACCESS;
    else if (a[1] == "backhaul")
        type = QZ_DEV_TYPE_BACKHAUL;
    else
        return ctl_fail(out, "Unknown mode: " + a[1] + " (access, backhaul)");
    std::lock_guard lock(s.core.mu);
    Iface* i = find_iface(s.core, a[0]);
    if (!i) return ctl_fail(out, "Unknown interface: " + a[0]);
    ethx_change_locked(s.core, i->ifindex)->dev_type = type;
    return kCtlOk;
}

int verb_dcd(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    const DcdFe& d = s.core.dcd_fe;
    std::string text = "icsa:";
    for (std::uint32_t w : d.icsa) addf(text, " %u", w);
    text += "\n";
    for (const Iface& i : s.core.ifaces) {
        if (i.uname.empty()) continue;
        EthxState e = ethx_state_locked(s.core, i.ifindex);
        if (e.bound == QZ_ETHX_UNBOUND && e.dev_type != QZ_DEV_TYPE_BACKHAUL) continue;
        addf(text, "interface %s: %s", i.kname.c_str(),
             e.dev_type == QZ_DEV_TYPE_BACKHAUL ? "backhaul" : "access");
        if (e.bound != QZ_ETHX_UNBOUND)
            addf(text, ", bound to %s", index_name(s.core, e.bound).c_str());
        text += "\n";
    }
    for (const RouteVlan& v : d.vlans)
        addf(text, "default-route vlans %s: %s\n", index_name(s.core, v.ifindex).c_str(),
             v.empty ? "empty" : vlan_runs(v.map).c_str());
    for (const auto& u : d.allow_vlan_updates)
        addf(text, "allow-vlan update %s %u\n", index_name(s.core, u[0]).c_str(), u[1]);
    for (const DualProfile& p : d.dual)
        addf(text, "dual-profile %s %u %u\n", p.ifname.c_str(), p.kind, p.value);
    for (const auto& u : d.up_redir)
        addf(text, "user-profile %s redirect %s\n", u[0].c_str(), u[1].c_str());
    out(text);
    return kCtlOk;
}

int verb_fe_tables(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    const fem::Model& m = s.core.fe;
    std::string text;
    for (const fem::RateLimit& r : m.rate_limits)
        addf(text, "rate-limit %-5s broadcast %s %u, multicast %s %u, unicast %s %u\n",
             r.ifname.c_str(), r.bcast_on ? "on" : "off", r.bcast_rate, r.mcast_on ? "on" : "off",
             r.mcast_rate, r.ucast_on ? "on" : "off", r.ucast_rate);
    if (m.vwire.set)
        addf(text, "vwire %s %s %s\n", index_name(s.core, m.vwire.ifindex1).c_str(),
             index_name(s.core, m.vwire.ifindex2).c_str(), mac_text(m.vwire.mac.data()).c_str());
    for (const fem::McastEntry& e : m.mcast)
        addf(text, "tunnel multicast %s %s\n", ipv4_text(e.addr).c_str(),
             ipv4_text(e.mask).c_str());
    for (const fem::FfRecord& f : m.ffs) addf(text, "ff %s\n", to_hex(f).c_str());
    out(text);
    return kCtlOk;
}

}  // namespace sim
