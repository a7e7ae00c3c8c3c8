// What the access point around fed knows about SIP calls: the FE's call
// admission control (on or off, and new calls it is to refuse), and the user
// names of stations that the CLI hands to fed's display of calls.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "mgt/cli/fed/rows_sip.h"
#include "sim/records.h"
#include "sim/verbs.h"

namespace sim {

namespace {

inline constexpr std::uint16_t kCacStatus = 91;  // read number; fed asks it before command 82
// Station record of the user-name file: 6-byte MAC, user name with its NUL.
inline constexpr std::size_t kStationRecord = 135;
inline constexpr std::size_t kUserMax = kStationRecord - 6 - 1;

}  // namespace

int verb_cac(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    if (a.empty()) {
        std::uint32_t on = 0;
        fem::setting_value(s.core.fe, kCacStatus, &on);
        out(std::string("cac ") + (on ? "on" : "off") + " refuse " +
            std::to_string(s.core.fe.alg.cac_refuse) + "\n");
        return kCtlOk;
    }
    if (a.size() != 1 || (a[0] != "on" && a[0] != "off"))
        return ctl_fail(out, "Usage: platform cac [on|off]");
    fem::setting_force(s.core.fe, kCacStatus, a[0] == "on" ? 1 : 0);
    return kCtlOk;
}

int verb_cac_refuse(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    std::uint32_t n = 0;
    if (a.size() != 1 || !parse_u32(a[0], n)) return ctl_fail(out, "Usage: platform cac refuse N");
    std::lock_guard lock(s.core.mu);
    s.core.fe.alg.cac_refuse = n;
    return kCtlOk;
}

int verb_station(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    Mac mac{};
    if (!parse_mac(a[0], mac)) return ctl_fail(out, "Invalid MAC address: " + a[0]);
    if (a.size() != 2 || a[1].empty() || a[1].size() > kUserMax)
        return ctl_fail(out, "Usage: platform station MAC USER (at most 128 characters)");
    std::lock_guard lock(s.core.mu);
    s.core.station_users[mac] = a[1];
    return kCtlOk;
}

std::string sip_calls_station_file(Server& s, std::vector<std::uint8_t>& record) {
    std::string path =
        (s.core.dir.empty() ? std::string("/tmp") : s.core.dir) + "/sip-users.XXXXXX";
    if (path.size() >= cmdtbl::kSipCallsPathSize ||
        record.size() < std::size_t{cmdtbl::kSipCallsPathOffset} + cmdtbl::kSipCallsPathSize)
        return "";
    int fd = ::mkstemp(path.data());
    if (fd < 0) return "";
    std::vector<std::uint8_t> bytes;
    {
        std::lock_guard lock(s.core.mu);
        for (const auto& [mac, user] : s.core.station_users) {
            std::uint8_t r[kStationRecord] = {};
            std::copy(mac.begin(), mac.end(), r);
            std::memcpy(r + 6, user.data(), std::min(user.size(), kUserMax));
            bytes.insert(bytes.end(), r, r + kStationRecord);
        }
    }
    bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    if (!ok) {
        std::remove(path.c_str());
        return "";
    }
    std::memcpy(record.data() + cmdtbl::kSipCallsPathOffset, path.c_str(), path.size() + 1);
    return path;
}

}  // namespace sim
