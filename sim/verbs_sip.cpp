// What the access point around fed knows about SIP calls: the FE's call
// admission control (on or off, and new calls it is to refuse), and the user
// names of stations that the CLI hands to fed's display of calls, and the
// neighbouring access points that fed's roaming records go to.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mgt/cli/fed/rows_sip.h"
#include "sim/records.h"
#include "sim/verbs.h"

namespace sim {

namespace {

inline constexpr std::uint16_t kCacStatus = 91;  // read number; fed asks it before command 82
// Station record of the user-name file: 6-byte MAC, user name with its NUL.
inline constexpr std::size_t kStationRecord = 135;
inline constexpr std::size_t kUserMax = kStationRecord - 6 - 1;

// The neighbour link's peers: DIR/neighbours, one "HOST PORT" line each, read
// by fed's neighbour library at every send.
std::string nbr_path(const Server& s) {
    return s.core.dir + "/neighbours";
}

std::vector<std::string> read_nbrs(const Server& s) {
    std::vector<std::string> out;
    std::ifstream in(nbr_path(s));
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

bool write_nbrs(const Server& s, const std::vector<std::string>& lines) {
    std::ofstream out(nbr_path(s), std::ios::trunc);
    for (const std::string& l : lines) out << l << '\n';
    return static_cast<bool>(out);
}

// "HOST:PORT" as its file line "HOST PORT"; empty when it is not one.
std::string nbr_line(const std::string& arg) {
    std::size_t colon = arg.rfind(':');
    std::uint32_t port = 0;
    if (colon == 0 || colon == std::string::npos || !parse_u32(arg.substr(colon + 1), port) ||
        port == 0 || port > 0xFFFF || arg.find(' ') != std::string::npos)
        return "";
    return arg.substr(0, colon) + " " + std::to_string(port);
}

int nbr_edit(Server& s, VerbArgs a, const CtlOut& out, bool add) {
    const char* usage =
        add ? "Usage: platform neighbour add HOST:PORT" : "Usage: platform neighbour del HOST:PORT";
    if (a.size() != 1) return ctl_fail(out, usage);
    std::string line = nbr_line(a[0]);
    if (line.empty()) return ctl_fail(out, "Invalid neighbour: " + a[0]);
    std::lock_guard lock(s.core.mu);
    std::vector<std::string> nbrs = read_nbrs(s);
    auto it = std::find(nbrs.begin(), nbrs.end(), line);
    if (add && it == nbrs.end()) nbrs.push_back(line);
    if (!add) {
        if (it == nbrs.end()) return ctl_fail(out, "No such neighbour: " + a[0]);
        nbrs.erase(it);
    }
    if (!write_nbrs(s, nbrs)) return ctl_fail(out, "cannot write " + nbr_path(s));
    return kCtlOk;
}

}  // namespace

int verb_nbr_add(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    return nbr_edit(s, a, out, true);
}

int verb_nbr_del(Server& s, VerbArgs a, const CtlOut& out, CtlResult&) {
    return nbr_edit(s, a, out, false);
}

int verb_nbr_list(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::lock_guard lock(s.core.mu);
    for (const std::string& l : read_nbrs(s)) {
        std::size_t sp = l.rfind(' ');
        out(sp == std::string::npos ? l + "\n" : l.substr(0, sp) + ":" + l.substr(sp + 1) + "\n");
    }
    return kCtlOk;
}

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
