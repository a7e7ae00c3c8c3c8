// Event injection and interface changes: each verb returns once fed has
// handled the event and everything it queued meanwhile.
#include "sim/fedcli.h"
#include "sim/records.h"
#include "sim/verbs.h"

namespace sim {

namespace {

// The frame carrying an event keeps room for its own fields.
inline constexpr std::size_t kMaxInjected = proto::kMaxFrame - 64;
inline constexpr std::size_t kKernelNameMax = 15;

int check_ssid(const std::string& ssid, const CtlOut& out) {
    if (ssid.size() > kSsidMax)
        return ctl_fail(
            out, std::string("SSID longer than ") + std::to_string(kSsidMax) + " characters");
    return kCtlOk;
}

int check_ifname(const std::string& name, const CtlOut& out) {
    if (name.empty() || name.size() > kIfNameMax)
        return ctl_fail(out, std::string("Interface name must have 1 to ") +
                                 std::to_string(kIfNameMax) + " characters");
    return kCtlOk;
}

int sta(Server& s, VerbArgs a, const CtlOut& out, std::uint32_t event) {
    Mac mac{};
    if (!parse_mac(a[0], mac)) return ctl_fail(out, "Invalid MAC address: " + a[0]);
    bool ignored = false;
    if (a.size() > 1) {
        if (a[1] != "ignored") return ctl_fail(out, "Unexpected word: " + a[1]);
        ignored = true;
    }
    return inject(s, Event{0, event, sta_event(mac, ignored)}, out);
}

// The configuration library learns which interfaces carry an SSID before fed
// hears of the change; an empty interface name drops all of the SSID's.
void ssid_iface(Core& c, const std::string& ssid, const std::string& ifname, bool bound) {
    std::lock_guard lock(c.mu);
    auto& v = c.dcd_fe.ssid_ifaces;
    std::erase_if(
        v, [&](const auto& e) { return e[0] == ssid && (ifname.empty() || e[1] == ifname); });
    if (bound && v.size() < 1024) v.push_back({ssid, ifname});
}

int ssid_bind(Server& s, VerbArgs a, const CtlOut& out, bool bound) {
    if (check_ssid(a[0], out) != kCtlOk || check_ifname(a[1], out) != kCtlOk) return kCtlFail;
    ssid_iface(s.core, a[0], a[1], bound);
    return inject(s, Event{0, kEvSsidBind, ssid_bind_event(a[0], a[1], bound)}, out);
}

int raw(Server& s, VerbArgs a, const CtlOut& out, std::uint32_t kernel) {
    std::uint32_t event = 0;
    if (!parse_u32(a[0], event)) return ctl_fail(out, "Invalid event number: " + a[0]);
    std::vector<std::uint8_t> payload;
    if (a.size() > 1 && !parse_hex(a[1], payload))
        return ctl_fail(out, "Invalid HEX payload (an even number of hex digits)");
    if (payload.size() > kMaxInjected) return ctl_fail(out, "Payload too large");
    return inject(s, Event{kernel, event, std::move(payload)}, out);
}

bool valid_kname(std::string_view n) {
    return !n.empty() && n.size() <= kKernelNameMax &&
           n.find_first_of(": \t\n/") == std::string_view::npos;
}

int debug(Server& s, VerbArgs a, const CtlOut& out, bool on) {
    const std::string module = "fed";
    CliReply r = fed_cli_debug(s, on, module, a[0], out);
    if (!r.ok) return ctl_fail(out, "fed's CLI is not connected");
    if (r.rc < 0) return ctl_fail(out, "Unknown debug flag: fed " + a[0]);
    return kCtlOk;
}

}  // namespace

int inject(Server& s, Event ev, const CtlOut& out) {
    bus_publish(s.core, Origin::Injected, std::move(ev));
    if (!bus_drain(s.core, kFedAnswerMs)) return ctl_fail(out, "fed did not acknowledge the event");
    return kCtlOk;
}

int verb_sta_join(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    return sta(s, a, out, kEvAuthJoin);
}

int verb_sta_leave(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    return sta(s, a, out, kEvAuthLeave);
}

int verb_ssid_bind(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    return ssid_bind(s, a, out, true);
}

int verb_ssid_unbind(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    return ssid_bind(s, a, out, false);
}

int verb_ssid_remove(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    if (check_ssid(a[0], out) != kCtlOk) return kCtlFail;
    ssid_iface(s.core, a[0], "", false);
    return inject(s, Event{0, kEvSsidChange, ssid_remove_event(a[0])}, out);
}

int verb_ppsk_server(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::uint32_t addr = 0;
    if (!a.empty() && !parse_ipv4(a[0], addr))
        return ctl_fail(out, "Invalid IPv4 address: " + a[0]);
    {
        std::lock_guard lock(s.core.mu);
        if (!a.empty()) s.core.ppsk_server = addr;
        addr = s.core.ppsk_server;
    }
    return inject(s, Event{0, kEvPpskServer, ppsk_server_event(addr)}, out);
}

int verb_event_raw(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    return raw(s, a, out, 0);
}

int verb_event_kernel(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    return raw(s, a, out, 1);
}

int verb_link(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    const std::string& action = a[1];
    IfChange kind;
    if (action == "up")
        kind = IfChange::Up;
    else if (action == "down")
        kind = IfChange::Down;
    else if (action == "going-down")
        kind = IfChange::GoingDown;
    else if (action == "rename")
        kind = IfChange::Rename;
    else
        return ctl_fail(out, "Unknown link action: " + action + " (up, down, going-down, rename)");
    if ((kind == IfChange::Rename) != (a.size() == 3))
        return ctl_fail(out, kind == IfChange::Rename ? "Usage: link IF rename NEWNAME"
                                                      : "Usage: link IF up|down|going-down");
    std::vector<std::uint8_t> payload;
    {
        std::lock_guard lock(s.core.mu);
        Iface* i = iface_by_kname_locked(s.core, a[0]);
        if (!i) i = iface_by_uname_locked(s.core, a[0]);
        if (!i) return ctl_fail(out, "Unknown interface: " + a[0]);
        if (kind == IfChange::Rename) {
            const std::string& to = a[2];
            if (!valid_kname(to)) return ctl_fail(out, "Invalid interface name: " + to);
            Iface* other = iface_by_kname_locked(s.core, to);
            Iface* other_user = iface_by_uname_locked(s.core, to);
            if ((other && other != i) || (other_user && other_user != i))
                return ctl_fail(out, "Interface exists: " + to);
            // An interface known by its kernel name keeps being known by it.
            if (i->uname == i->kname) i->uname = to;
            i->kname = to;
        } else {
            i->up = kind == IfChange::Up;
        }
        payload = if_change_event(kind, i->ifindex, i->kname);
        proc_net_dev_write_locked(s.core);
    }
    return inject(s, Event{1, kKevIfChange, std::move(payload)}, out);
}

int verb_link_add(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::string uname = a.size() > 1 ? a[1] : a[0];
    if (uname == "-") uname.clear();
    if (!valid_kname(a[0])) return ctl_fail(out, "Invalid interface name: " + a[0]);
    if (uname.size() > kIfNameMax) return ctl_fail(out, "Invalid user name: " + uname);
    std::lock_guard lock(s.core.mu);
    if (!iface_add_locked(s.core, a[0], uname)) return ctl_fail(out, "Interface exists: " + a[0]);
    proc_net_dev_write_locked(s.core);
    return kCtlOk;
}

int verb_link_del(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    if (!iface_remove_locked(s.core, a[0])) return ctl_fail(out, "Unknown interface: " + a[0]);
    proc_net_dev_write_locked(s.core);
    return kCtlOk;
}

int verb_debug(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    return debug(s, a, out, true);
}

int verb_no_debug(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    return debug(s, a, out, false);
}

}  // namespace sim
