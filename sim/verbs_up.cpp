// Verbs about user profiles: the FE's table and what it keys by UPID, the
// configuration library's entries, and the settings of other daemons there
// (scheduler slots, schedule name, SSIDs using a profile); and the profile
// the FE counts a station's traffic in.
#include <algorithm>
#include <charconv>
#include <string>

#include "platform/up_msg.h"
#include "sim/records.h"
#include "sim/verbs.h"

namespace sim {

namespace du = qz_dcd_up;

// platform user-profiles
int verb_up_show(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    out(fem::up_table_text(s.core.fe) + dcd_up_text_locked(s.core));
    return kCtlOk;
}

// platform station-profile MAC NAME: the FE counts the station's traffic in
// that profile (and so its VLAN); "default-profile" takes it back.
int verb_station_profile(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    Mac mac{};
    if (!parse_mac(a[0], mac)) return ctl_fail(out, "Invalid MAC address: " + a[0]);
    std::lock_guard lock(s.core.mu);
    switch (fem::up_station_set(s.core.fe, mac, a[1])) {
        case fem::StaAssign::Ok:
            return kCtlOk;
        case fem::StaAssign::NoProfile:
            return ctl_fail(out, "No such user profile in the FE: " + a[1]);
        case fem::StaAssign::Full:
            break;
    }
    return ctl_fail(out, "Too many stations in user profiles (at most " +
                             std::to_string(fem::kUpStationsMax) + ")");
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

// A station's CAC airtime, tx and rx in ms (added or replaced).
int verb_cac_station(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    Mac mac;
    std::uint32_t tx = 0, rx = 0;
    if (a.size() != 3 || !parse_mac(a[0], mac) || !parse_u32(a[1], tx) || !parse_u32(a[2], rx))
        return ctl_fail(out, "Usage: platform cac station MAC TX_MS RX_MS");
    std::lock_guard lock(s.core.mu);
    auto& v = s.core.cac_stas;
    auto it = std::find_if(v.begin(), v.end(), [&](const auto& r) {
        return std::equal(mac.begin(), mac.end(), r.begin());
    });
    if (it == v.end()) {
        if (v.size() >= 64) return ctl_fail(out, "Too many stations");
        it = v.insert(v.end(), std::array<std::uint8_t, 16>{});
        std::copy(mac.begin(), mac.end(), it->begin());
    }
    wire::store_h<std::uint32_t>(it->data() + 8, tx);
    wire::store_h<std::uint32_t>(it->data() + 12, rx);
    return kCtlOk;
}

// The token bucket's eight words, in the order of the platform's record.
int verb_cac_bucket(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::array<std::uint32_t, 8> w{};
    bool ok = a.size() == w.size();
    for (std::size_t i = 0; ok && i < w.size(); ++i) ok = parse_u32(a[i], w[i]);
    if (!ok) return ctl_fail(out, "Usage: platform cac bucket W1 W2 W3 W4 W5 W6 W7 W8");
    std::lock_guard lock(s.core.mu);
    s.core.cac_tb = w;
    return kCtlOk;
}

}  // namespace sim
