// User-profile displays (the table, one profile, its airtime share) and the
// running-configuration step of user profiles.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli_session.h"
#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_up.h"
#include "fed/cli/qz_fed_up_cli.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_msg.h"
#include "platform/fe.h"
#include "platform/qz.h"

using namespace fedup;
namespace arg = qz_fed_up_arg;
namespace du = qz_dcd_up;
namespace at = qz_up_airtime;

namespace {

using fedcli::CfgRecord;

inline constexpr std::size_t kMaxName = 32;
inline constexpr std::size_t kAttrField = 38;  // the table's attribute column, NUL included

// FE action names by code; codes of 10 or more have none.
constexpr const char* kActionNames[] = {"",    "permit",       "deny", "inter-station-traffic-drop",
                                        "nat", "teacher view", "n/a",  "n/a",
                                        "n/a", "redirect"};
constexpr const char* kL3Words[] = {"split", "all", "with-exception", "drop-tunnel-traffic"};
constexpr const char* kFilterWords[] = {"None", "IPv4", "IPv6"};

struct Range {
    std::uint16_t start, end;
};

// The attribute ranges of list slot i (at most ten).
std::vector<Range> list_ranges(const UpRecord& list, std::size_t i) {
    std::vector<Range> v;
    for (std::size_t k = 0; k < um::kListRanges; ++k) {
        std::uint16_t s = list.get<std::uint16_t>(um::list_start(i) + 2 * k);
        if (s == um::kNoAttr) continue;
        v.push_back(Range{s, list.get<std::uint16_t>(um::list_end(i) + 2 * k)});
    }
    return v;
}

int list_slot(const UpRecord& list, const std::string& name) {
    for (std::size_t i = 0; i < um::kListMax; ++i)
        if (list.byte(um::list_name(i)) != 0 && list.str(um::list_name(i)) == name)
            return static_cast<int>(i);
    return -1;
}

// The library's entries in its order.
std::vector<std::array<std::uint8_t, du::kSize>> library_entries() {
    std::vector<std::array<std::uint8_t, du::kSize>> v(du::kMaxEntries);
    std::uint32_t n = du::kMaxEntries;
    if (qz_dcd_get_all_valid_profile_table(v.data(), &n) < 0) n = 0;
    v.resize(n);
    return v;
}

std::string entry_name(const std::array<std::uint8_t, du::kSize>& e) {
    return qz_up::get_name(e, du::kName, du::kNameSize);
}

// The attribute column: cut after the last comma that leaves room for "...".
std::string attr_column(const std::vector<Range>& rs) {
    if (rs.empty()) return "-";
    std::string s;
    for (const Range& r : rs) {
        s += (s.empty() ? "" : ",") + std::to_string(r.start);
        if (r.end != r.start) s += "-" + std::to_string(r.end);
    }
    if (s.size() < kAttrField) return s;
    std::size_t comma = s.rfind(',', kAttrField - 1 - 4);
    return (comma == std::string::npos ? std::string() : s.substr(0, comma + 1)) + "...";
}

int show_table(void* ctx) {
    UpRecord list;
    if (up_list(list) < 0) {
        if (const char* t = up_status_text(list.status())) qz_cli_printf(ctx, "%s", t);
        return -1;
    }
    qz_cli_printf(ctx, "User Profile Table\n");
    qz_cli_printf(ctx, "Total Entries = %d\n\n", static_cast<int>(up_list_count(list)));
    qz_cli_printf(ctx, "%-4s%-32s %-4s %s\n", "No.", "User Profile Name", "VLAN", "Attribute");
    qz_cli_printf(ctx, "%s\n", std::string(80, '-').c_str());
    int no = 1;
    for (const auto& e : library_entries()) {
        std::string name = entry_name(e);
        int i = list_slot(list, name);
        if (i < 0) {
            qz_cli_printf(ctx, "Wrong user profile table\n");
            return -1;
        }
        qz_cli_printf(ctx, "%-4d%-32s %-4d %s\n", no++, name.c_str(),
                      list.get<std::uint16_t>(um::list_vlan(static_cast<std::size_t>(i))),
                      attr_column(list_ranges(list, static_cast<std::size_t>(i))).c_str());
    }
    return 0;
}

const char* or_not_defined(const std::string& s) {
    return s.empty() ? "Not defined" : s.c_str();
}

// The airtime record of an UPID; false when it cannot be read.
bool airtime(std::uint32_t upid, std::uint32_t* pct, std::uint32_t* share) {
    std::uint8_t r[at::kSize] = {};
    std::span<std::uint8_t> rec(r);
    qz_up::put<std::uint32_t>(rec, at::kUpid, upid);
    if (qz_fed_send_to_kernel(at::kGet, r) < 0 || qz_up::get<std::int32_t>(rec, at::kStatus) != 0)
        return false;
    *pct = qz_up::get<std::uint32_t>(rec, at::kPercent);
    *share = qz_up::get<std::uint32_t>(rec, at::kShare);
    return true;
}

struct Bindings {
    std::string from, to;
};

// The IP bindings of upid: false when they cannot be read.
bool ip_bindings(std::uint32_t upid, Bindings& b) {
    namespace fb = fe_fw_acl_binding;
    std::vector<std::uint8_t> buf(fb::kMax * fb::kSize);
    std::uint32_t n = fb::kMax;
    if (fe_fw_get_acl_grp_binding(buf.data(), &n) != 0) return false;
    for (std::uint32_t i = 0; i < n && i < fb::kMax; ++i) {
        std::span<const std::uint8_t> rec(buf.data() + i * fb::kSize, fb::kSize);
        if (qz_up::get<std::uint32_t>(rec, fb::kUpid) != upid) continue;
        b.from = qz_up::get_name(rec, fb::kFrom, fb::kNameSize);
        b.to = qz_up::get_name(rec, fb::kTo, fb::kNameSize);
    }
    return true;
}

bool mac_bindings(std::uint32_t upid, Bindings& b) {
    namespace mb = fe_mac_acl_binding;
    std::vector<std::uint8_t> buf(mb::kMax * mb::kSize);
    std::uint32_t n = mb::kMax;
    if (fe_mac_acl_get_acl_grp_binding(buf.data(), &n) != 0) return false;
    for (std::uint32_t i = 0; i < n && i < mb::kMax; ++i) {
        std::span<const std::uint8_t> rec(buf.data() + i * mb::kSize, mb::kSize);
        if (qz_up::get<std::uint32_t>(rec, mb::kUpid) != upid) continue;
        b.from = qz_up::get_name(rec, mb::kFrom, mb::kNameSize);
        b.to = qz_up::get_name(rec, mb::kTo, mb::kNameSize);
    }
    return true;
}

int show_one(void* ctx, const std::string& name) {
    if (name.size() > kMaxName) {
        qz_cli_printf(ctx, "ERROR:The name of user profile exceeds maximum length(%d)\n",
                      static_cast<int>(kMaxName));
        return -1;
    }
    UpRecord p;
    if (up_get(name, p) != Got::Found) {
        if (const char* t = up_status_text(p.status())) qz_cli_printf(ctx, "%s", t);
        return -1;
    }
    std::uint32_t gid = p.group_id();
    Bindings ip, mac;
    std::uint32_t ip_def = 0, mac_def = 0;
    if (!ip_bindings(gid, ip)) {
        qz_cli_printf(ctx, "error in get group binding\n");
        return -1;
    }
    if (!mac_bindings(gid, mac)) {
        qz_cli_printf(ctx, "error in get mac group binding\n");
        return -1;
    }
    if (fe_fw_acl_get_upid_def_action(gid, &ip_def) != 0) {
        qz_cli_printf(ctx, "error in get ip policy default action\n");
        return -1;
    }
    if (fe_mac_acl_get_upid_def_action(gid, &mac_def) != 0) {
        qz_cli_printf(ctx, "error in get mac policy default action\n");
        return -1;
    }
    if (qz_fed_up_id_by_name(name, false) < 0) {
        qz_cli_printf(ctx, "User-profile(%s) doesn't exist\n", name.c_str());
        return -1;
    }
    std::string marker = p.str(um::kMarkerMap);
    std::uint8_t l3 = p.byte(um::kL3Action);
    std::uint32_t filter = p.get<std::uint32_t>(um::kFilter);
    qz_cli_printf(ctx, "Name:                 %s\n", name.c_str());
    qz_cli_printf(ctx, "Group ID:             %d\n", static_cast<int>(gid));
    qz_cli_printf(ctx, "Policy name:          %s\n", p.str(um::kQosPolicy).c_str());
    qz_cli_printf(ctx, "QoS Marker type:      %s\n",
                  marker.empty()                               ? "-"
                  : p.get<std::uint32_t>(um::kMarkerType) == 0 ? "diffserv"
                                                               : "802.1p");
    qz_cli_printf(ctx, "QoS Marker name:      %s\n", marker.empty() ? "-" : marker.c_str());
    qz_cli_printf(ctx, "VLAN:                 %d\n", p.vlan());
    qz_cli_printf(ctx, "Mobility policy name: %s\n", or_not_defined(p.str(um::kMobility)));
    qz_cli_printf(ctx, "Tunnel policy name:   %s\n", or_not_defined(p.str(um::kTunnel)));
    qz_cli_printf(ctx, "Layer-3 tunnel action:%s\n", l3 < 4 ? kL3Words[l3] : "n/a");
    qz_cli_printf(ctx, "IPv4 or v6 filtering: %s\n", filter < 3 ? kFilterWords[filter] : "n/a");
    qz_cli_printf(ctx, "Default IP policy:    %s\n", ip_def < 10 ? kActionNames[ip_def] : "");
    qz_cli_printf(ctx, "From access IP policy: %s\nTo access IP policy:   %s\n",
                  or_not_defined(ip.from), or_not_defined(ip.to));
    qz_cli_printf(ctx, "Default MAC policy:    %s\n", mac_def == 1 ? "permit" : "deny");
    qz_cli_printf(ctx, "From access MAC policy:%s\nTo access MAC policy:  %s\n",
                  or_not_defined(mac.from), or_not_defined(mac.to));
    std::string attrs;
    for (std::size_t i = 0; i < um::kListRanges; ++i) {
        std::uint16_t s = 0, e = 0;
        if (!p.range(i, s, e)) continue;
        attrs += std::to_string(s);
        if (e != s) attrs += "-" + std::to_string(e);
        attrs += "; ";
    }
    qz_cli_printf(ctx, "Mapping Attributes:    %s\n", attrs.empty() ? "-" : attrs.c_str());
    std::uint8_t entry[du::kSize] = {};
    int slots = 0;
    if (qz_dcd_get_profile_table(name.c_str(), entry) == 0)
        for (std::size_t i = 0; i < du::kSlotCount; ++i)
            if (qz_up::get<std::uint16_t>(std::span<const std::uint8_t>(entry), du::kSlots + 2 * i))
                ++slots;
    qz_cli_printf(ctx, "Scheduler Entry(s):    %d\n", slots);
    qz_cli_printf(ctx, "Schedule deny action:  %s\n",
                  p.byte(um::kDenyAction) ? "quarantine" : "ban");
    std::uint32_t pct = 0, share = 0;
    if (airtime(gid, &pct, &share)) qz_cli_printf(ctx, "%-20s%u\n", "CAC airtime-percentage:", pct);
    std::uint32_t action = p.get<std::uint32_t>(um::kSentinelAction);
    qz_cli_printf(ctx, "performance-sentinel enable: %s\n",
                  p.get<std::uint32_t>(um::kSentinelOn) ? "yes" : "no");
    qz_cli_printf(ctx, "performance-sentinel action: %s %s\n",
                  action & um::kSentinelLog ? "log" : "",
                  action & um::kSentinelBoost ? "boost" : "");
    qz_cli_printf(ctx, "performance-sentinel guaranteed-bandwidth: %d Kbps\n",
                  static_cast<int>(p.get<std::uint32_t>(um::kBandwidth)));
    qz_cli_printf(ctx, "performance-sentinel congestion-threshold: %d Bytes\n",
                  static_cast<int>(p.get<std::uint32_t>(um::kThreshold)));
    return 0;
}

using fedcli::user_str;

// The profile lines of list slot i (sent as command 904, and 935 for the
// default profile without its attribute 0).
void profile_lines(void* out, const UpRecord& list, std::size_t i, const std::string& name) {
    std::string line = "user-profile " + user_str(name);
    if (list.byte(um::kGroupSet + i))
        line += " group-id " + std::to_string(list.byte(um::kGroupId + i));
    line += " qos-policy " + user_str(list.str(um::list_qos(i)));
    std::uint16_t vlan = list.get<std::uint16_t>(um::list_vlan(i));
    line += " vlan-id " + std::to_string(vlan);
    std::string mobility = list.str(um::list_mobility(i));
    if (!mobility.empty()) line += " mobility-policy " + user_str(mobility);
    line.resize(std::min<std::size_t>(line.size(), 1023));
    std::vector<Range> rs = list_ranges(list, i);
    bool is_default = name == um::kDefaultProfile;
    bool unchanged = is_default && vlan == 1 && mobility.empty();
    if (is_default && (rs.empty() || rs[0].start != 0))
        fedcli::add_text_line(out, 935, "no user-profile default-profile attribute 0");
    if (rs.empty()) {
        if (!unchanged) fedcli::add_text_line(out, 904, line);
        return;
    }
    for (const Range& r : rs) {
        if (r.start == r.end) {
            if (unchanged && r.start == 0) continue;
            fedcli::add_text_line(out, 904, line + " attribute " + std::to_string(r.start));
        } else {
            fedcli::add_text_line(
                out, 904,
                line + " attribute " + std::to_string(r.start) + " - " + std::to_string(r.end));
        }
    }
}

}  // namespace

int qz_fed_up_show(void* ctx, qz_fed_up_args_t args) {
    if (!fedcli::bit(args, arg::k906BitName)) return show_table(ctx);
    return show_one(ctx, fedcli::name(args, arg::kName, arg::k906NameWidth));
}

int qz_fed_up_airtime_show(void* ctx, qz_fed_up_args_t args) {
    std::string name = fedcli::name(args, arg::kName, arg::kNameWidth);
    int upid = qz_fed_up_id_by_name(name, false);
    if (upid < 0) {
        qz_cli_printf(ctx, "User-profile(%s) doesn't exist\n", name.c_str());
        return -1;
    }
    std::uint32_t pct = 0, share = 0;
    if (!airtime(static_cast<std::uint32_t>(upid), &pct, &share)) return -1;
    qz_cli_printf(ctx, "%-30s%s\n", "Share-airtime:", share ? "enabled" : "disabled");
    qz_cli_printf(ctx, "%-30s%s\n", "User-profile name:", name.c_str());
    qz_cli_printf(ctx, "%-30s%u\n", "Airtime-percentage:", pct);
    return 0;
}

void qz_fed_up_cfg(void* out) {
    UpRecord list;
    if (up_list(list) < 0) {
        qz_log(3, "failed to get user-profile from kernel.");
        return;
    }
    for (const auto& e : library_entries()) {
        std::string name = entry_name(e);
        int slot = list_slot(list, name);
        if (slot < 0) continue;
        auto i = static_cast<std::size_t>(slot);
        profile_lines(out, list, i, name);
        std::string marker = list.str(um::list_marker(i));
        if (!marker.empty())
            CfgRecord<arg::k869Size>()
                .flags(arg::k869Flags)
                .text(arg::kName, arg::kNameWidth, name)
                .text(arg::k869Type, arg::k869TypeWidth,
                      list.get<std::uint32_t>(um::list_marker_type(i)) == 0 ? "diffserv" : "8021p")
                .text(arg::k869Map, arg::kNameWidth, marker)
                .add(out, 869);
        std::uint32_t pct = 0, share = 0;
        if (airtime(list.byte(um::kGroupId + i), &pct, &share) && (pct || share))
            CfgRecord<arg::k968Size>()
                .flags(arg::k968Flags)
                .text(arg::kName, arg::kNameWidth, name)
                .put(arg::k968Percent, pct)
                .put(arg::k968Share, share)
                .add(out, 968);
        std::string sched = qz_up::get_name(e, du::kSchedule, du::kScheduleSize);
        if (!sched.empty()) {
            namespace sa = qz_fed_sess_arg;
            CfgRecord<cmdtbl::cmd_size(sa::kSe, 994)>()
                .flags(cmdtbl::form_flags(sa::kSe, 994))
                .text(sa::kUpName, sa::kUpNameSize, name)
                .text(sa::kUpRedir, sa::kUpRedirSize, sched)
                .add(out, 994);
        }
        auto sentinel = [&](auto rec, std::uint32_t flags, std::size_t width) {
            rec.flags(flags)
                .text(arg::kName, arg::kNameWidth, name)
                .text(arg::kSentinelWord, width, "performance-sentinel");
            return rec;
        };
        if (list.byte(um::kSentinelOn + i))
            sentinel(CfgRecord<arg::k974Size>(), arg::k974Flags, arg::k974SentinelWidth)
                .add(out, 974);
        std::uint8_t action = list.byte(um::kSentinelAction + i);
        if (!(action & um::kSentinelLog))
            sentinel(CfgRecord<arg::k975Size>(), arg::k975Flags | cmdtbl::kNoFormBit,
                     arg::k975SentinelWidth)
                .text(arg::k975Action, arg::k975ActionWidth, "log")
                .add(out, 975);
        if (action & um::kSentinelBoost)
            sentinel(CfgRecord<arg::k975Size>(), arg::k975Flags, arg::k975SentinelWidth)
                .text(arg::k975Action, arg::k975ActionWidth, "boost")
                .add(out, 975);
        std::uint32_t kbps = list.get<std::uint32_t>(um::list_bandwidth(i));
        if (kbps != um::kDefBandwidth)
            sentinel(CfgRecord<arg::k976Size>(), arg::k976Flags, arg::k976SentinelWidth)
                .put(arg::k976Kbps, kbps)
                .add(out, 976);
        std::string tunnel = list.str(um::list_tunnel(i));
        if (!tunnel.empty())
            CfgRecord<arg::k982Size>()
                .flags(arg::k982Flags)
                .text(arg::kName, arg::kNameWidth, name)
                .text(arg::k982Policy, arg::kNameWidth, tunnel)
                .add(out, 982);
        std::uint8_t l3 = list.byte(um::kL3Action + i);
        if (l3 != 0 && l3 < 4)
            CfgRecord<arg::k993Size>()
                .flags(arg::k993Flags)
                .text(arg::kName, arg::kNameWidth, name)
                .text(arg::k993Action, arg::k993ActionWidth, kL3Words[l3])
                .add(out, 993);
    }
}
