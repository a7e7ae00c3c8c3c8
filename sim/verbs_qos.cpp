// Verbs about QoS profiles: the FE's classifier and marker profiles and the
// interfaces they are bound to.
#include "sim/verbs.h"

namespace sim {

// platform qos-profiles
int verb_qos_show(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    out(fem::qos_table_text(s.core.fe));
    return kCtlOk;
}

// platform qos-maps
int verb_qos_map_show(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    out(fem::qos_map_text(s.core.fe));
    return kCtlOk;
}

// platform qos-policies
int verb_qos_policy_show(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    out(fem::qos_policy_text(s.core.fe));
    return kCtlOk;
}

}  // namespace sim
