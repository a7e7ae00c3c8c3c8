#include "sim/verbs_svc.h"

namespace sim {

// platform dns-alg-user [on|off]
int verb_dns_alg_user(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    DcdSvc& d = s.core.dcd_svc;
    if (a.empty()) {
        out(std::string("other user ") + (d.dns_alg_by_jss ? "on" : "off") + ", fed " +
            (d.dns_alg_by_cli ? "on" : "off") + "\n");
        return kCtlOk;
    }
    if (a.size() != 1 || (a[0] != "on" && a[0] != "off"))
        return ctl_fail(out, "Usage: platform dns-alg-user [on|off]");
    d.dns_alg_by_jss = a[0] == "on";
    return kCtlOk;
}

// platform service-in-use NAME on|off
int verb_service_in_use(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    if (a.size() != 2 || (a[1] != "on" && a[1] != "off"))
        return ctl_fail(out, "Usage: platform service-in-use NAME on|off");
    std::lock_guard lock(s.core.mu);
    if (a[1] == "on")
        s.core.dcd_svc.in_use.insert(a[0]);
    else
        s.core.dcd_svc.in_use.erase(a[0]);
    return kCtlOk;
}

}  // namespace sim
