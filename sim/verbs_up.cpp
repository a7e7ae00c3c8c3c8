// Verbs about user profiles: the FE's table and what it keys by UPID, the
// configuration library's entries, and the settings of other daemons there
// (scheduler slots, schedule name, SSIDs using a profile).
#include <charconv>

#include "platform/up_msg.h"
#include "sim/verbs.h"

namespace sim {

namespace du = qz_dcd_up;

// platform user-profiles
int verb_up_show(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    out(fem::up_table_text(s.core.fe) + dcd_up_text_locked(s.core));
    return kCtlOk;
}

// platform user-profile scheduler NAME COUNT: the first COUNT slots in use
int verb_up_scheduler(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    unsigned n = 0;
    auto [p, ec] = std::from_chars(a[1].data(), a[1].data() + a[1].size(), n);
    if (ec != std::errc() || p != a[1].data() + a[1].size() || n > du::kSlotCount)
        return ctl_fail(out, "Usage: platform user-profile scheduler NAME 0-8");
    std::lock_guard lock(s.core.mu);
    auto* e = dcd_up_entry_locked(s.core, a[0]);
    if (!e) return ctl_fail(out, "no such user profile in the configuration library");
    for (std::size_t i = 0; i < du::kSlotCount; ++i)
        qz_up::put<std::uint16_t>(*e, du::kSlots + 2 * i,
                                  i < n ? static_cast<std::uint16_t>(i + 1) : 0);
    return kCtlOk;
}

// platform user-profile schedule NAME SCHEDULE|-
int verb_up_schedule(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    auto* e = dcd_up_entry_locked(s.core, a[0]);
    if (!e) return ctl_fail(out, "no such user profile in the configuration library");
    qz_up::put_name(*e, du::kSchedule, du::kScheduleSize, a[1] == "-" ? "" : a[1]);
    return kCtlOk;
}

// platform user-profile ssid NAME on|off
int verb_up_ssid(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    if (a[1] != "on" && a[1] != "off")
        return ctl_fail(out, "Usage: platform user-profile ssid NAME on|off");
    std::lock_guard lock(s.core.mu);
    if (a[1] == "on")
        s.core.dcd_up.ssid_bound.insert(a[0]);
    else
        s.core.dcd_up.ssid_bound.erase(a[0]);
    return kCtlOk;
}

}  // namespace sim
