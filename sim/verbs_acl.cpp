// The FE's IP access-control groups and their rules, as fed programmed them.
#include <cstdio>

#include "platform/fe/model.h"
#include "sim/verbs.h"

namespace sim {

namespace {

std::string ip(std::uint32_t a) {
    const auto* b = reinterpret_cast<const unsigned char*>(&a);  // network order in memory
    char t[20];
    std::snprintf(t, sizeof t, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return t;
}

}  // namespace

// platform acl: one block a group, one line a rule in FE order.
int verb_acl(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::string text;
    {
        std::lock_guard lock(s.core.mu);
        for (const fem::AclGroup& g : s.core.fe.acl.groups) {
            text += "group " + g.name + " flags " + std::to_string(g.flags) + " rules " +
                    std::to_string(g.rules.size()) + "\n";
            for (const fem::AclRule& r : g.rules) {
                char flags[8];
                std::snprintf(flags, sizeof flags, "0x%02x", r.flags);
                text += "  " + std::to_string(r.id) + " " + ip(r.src) + "/" + ip(r.src_mask) + " " +
                        ip(r.dst) + "/" + ip(r.dst_mask) + " service " +
                        (r.service.empty() ? "-" : r.service) + " action " +
                        std::to_string(r.action) + " flags " + flags + "\n";
            }
        }
    }
    out(text);
    return kCtlOk;
}

}  // namespace sim
