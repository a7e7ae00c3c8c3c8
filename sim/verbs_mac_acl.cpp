// The FE's MAC access-control groups, what it binds to UPIDs and its IPv6
// guards, as fed programmed them.
#include <cstdio>

#include "platform/fe/model.h"
#include "sim/verbs.h"

namespace sim {

namespace {

std::string mac_text(const std::array<std::uint8_t, 6>& m, std::uint32_t mask) {
    char t[32];
    std::snprintf(t, sizeof t, "%02x:%02x:%02x:%02x:%02x:%02x/%u", m[0], m[1], m[2], m[3], m[4],
                  m[5], mask);
    return t;
}

std::string or_dash(const std::string& s) {
    return s.empty() ? "-" : s;
}

}  // namespace

// platform mac-acl: one block a group with a line a rule in FE order; then the
// UPIDs with a MAC binding, a protocol drop or a default other than deny; then
// the guards.
int verb_mac_acl(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::string text;
    {
        std::lock_guard lock(s.core.mu);
        const fem::Model& m = s.core.fe;
        for (const fem::MacGroup& g : m.mac.groups) {
            text += "group " + g.name + " rules " + std::to_string(g.rules.size()) + "\n";
            for (const fem::MacRule& r : g.rules) {
                char flags[8];
                std::snprintf(flags, sizeof flags, "0x%03x", r.flags);
                text += "  " + std::to_string(r.id) + " " + mac_text(r.src, r.src_mask) + " " +
                        mac_text(r.dst, r.dst_mask) + " action " + std::to_string(r.action) +
                        " flags " + flags + "\n";
            }
        }
        for (std::size_t i = 0; i < m.up.upids.size(); ++i) {
            const fem::UpidState& u = m.up.upids[i];
            if (u.mac_from.empty() && u.mac_to.empty() && u.deny == 0 && u.mac_def_action == 2)
                continue;
            text += "upid " + std::to_string(i) + " from " + or_dash(u.mac_from) + " to " +
                    or_dash(u.mac_to) + " default " + std::to_string(u.mac_def_action) + " drop " +
                    std::to_string(u.deny) + "\n";
        }
        text += std::string("ra-guard ") + (m.mac.ra_guard ? "on" : "off") + " dhcpv6-shield " +
                (m.mac.dhcpv6_shield ? "on" : "off") + "\n";
    }
    out(text);
    return kCtlOk;
}

}  // namespace sim
