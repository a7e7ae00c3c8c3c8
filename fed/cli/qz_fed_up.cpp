// User profiles: the FE's whole-profile requests (codes 120-122), the mirror
// in the configuration library, the policy-routing rule of the layer-3
// tunnel action, the profile events and the lookups by name and UPID.
#include "fed/cli/qz_fed_up.h"

#include <cstdio>
#include <cstring>

#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_msg.h"
#include "platform/qz.h"

namespace fedup {

namespace {

namespace du = qz_dcd_up;
namespace ev = qz_up_event;

inline constexpr int kRoutePrioBase = 10000;

// Sends one request; false with the "cli" debug line when the send failed or
// the FE answered a negative status other than `tolerated`.
bool send(std::uint16_t code, UpRecord& p, std::int32_t tolerated = 0) {
    int rc = qz_fed_send_to_kernel(code, p.data());
    if (rc < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", rc);
        return false;
    }
    if (p.status() < 0 && p.status() != tolerated) {
        FED_DBG(cli, "API returns error(%d)\n", p.status());
        return false;
    }
    return true;
}

const char* route_table(std::uint8_t action) {
    switch (action) {
        case 1:
            return "t_all";
        case 2:
            return "t_exception";
        case 3:
            return "t_drop";
        default:
            return "n/a";
    }
}

void route_del(std::uint8_t gid) {
    char cmd[64];
    std::snprintf(cmd, sizeof cmd, "ip rule del fwmark %d", gid);
    qz_system(cmd);
}

// Traffic of a tunnelling profile leaves through its action's routing table.
void route_refresh(std::uint8_t gid, std::uint8_t action) {
    route_del(gid);
    if (action == 0) return;
    char cmd[96];
    std::snprintf(cmd, sizeof cmd, "ip rule add fwmark %d table %s prio %d", gid,
                  route_table(action), kRoutePrioBase + gid);
    qz_system(cmd);
    qz_log(6, "l3 tunnel policy routing: %s", cmd);
}

void mirror(const UpRecord& p) {
    std::string name = p.name();
    std::uint8_t e[du::kSize] = {};
    if (qz_dcd_get_profile_table(name.c_str(), e) < 0) {
        FED_DBG(cli, "user profile %s doesn't exist in DCD lib", name.c_str());
        return;
    }
    std::span<std::uint8_t> entry(e);
    qz_up::put_name(entry, du::kName, du::kNameSize, name);
    qz_up::put<std::uint32_t>(entry, du::kGroupId, p.group_id());
    qz_up::put<std::uint16_t>(entry, du::kVlan, p.vlan());
    e[du::kL3Action] = p.byte(um::kL3Action);
    for (std::size_t i = 0; i < du::kRanges; ++i) {
        qz_up::put<std::uint16_t>(entry, du::kStarts + 2 * i,
                                  p.get<std::uint16_t>(um::kAttrStart + 2 * i));
        qz_up::put<std::uint16_t>(entry, du::kEnds + 2 * i,
                                  p.get<std::uint16_t>(um::kAttrEnd + 2 * i));
    }
    qz_dcd_set_profile_table(name.c_str(), e);
}

}  // namespace

bool UpRecord::range(std::size_t i, std::uint16_t& start, std::uint16_t& end) const {
    if (i >= um::kRangesMax) return false;
    start = get<std::uint16_t>(um::kAttrStart + 2 * i);
    end = get<std::uint16_t>(um::kAttrEnd + 2 * i);
    return start != um::kNoAttr;
}

void UpRecord::set_first_range(std::uint16_t start, std::uint16_t end) {
    put<std::uint16_t>(um::kAttrStart, start);
    put<std::uint16_t>(um::kAttrEnd, end);
}

void up_defaults(UpRecord& p, std::string_view name) {
    p.set_str(um::kName, name);
    p.put<std::uint16_t>(um::kVlan, 1);
    p.set_str(um::kQosPolicy, um::kDefaultQos);
    p.put<std::uint32_t>(um::kSentinelAction, um::kSentinelLog);
    p.put<std::uint32_t>(um::kBandwidth, um::kDefBandwidth);
    p.add_mask(um::kMaskName | um::kMaskQos);
}

Got up_get(std::string_view name, UpRecord& p) {
    p = UpRecord();
    p.set_str(um::kName, name);
    if (!send(um::kGet, p, um::kNoProfile)) return Got::Failed;
    if (p.status() == um::kNoProfile) return Got::Missing;
    return Got::Found;
}

int up_set(UpRecord& p) {
    if (!send(um::kSet, p)) return -1;
    UpRecord back;
    if (up_get(p.name(), back) != Got::Found) return 0;
    mirror(back);
    route_refresh(back.group_id(), back.byte(um::kL3Action));
    return 0;
}

int up_delete(UpRecord& p) {
    std::string name = p.name();
    UpRecord del;
    del.set_str(um::kName, name);
    if (!send(um::kDelete, del)) {
        p.set_status(del.status());
        return -1;
    }
    route_del(p.group_id());
    std::uint8_t e[du::kSize] = {};
    if (qz_dcd_get_profile_table(name.c_str(), e) < 0) {
        FED_ERR("user profile %s doesn't exist in DCD lib", name.c_str());
        return -1;
    }
    for (std::size_t i = 0; i < du::kSlotCount; ++i)
        if (qz_up::get<std::uint16_t>(std::span<const std::uint8_t>(e), du::kSlots + 2 * i) != 0) {
            p.set_status(um::kHasScheduler);
            return 0;
        }
    qz_dcd_del_profile_table(name.c_str());
    if (up_send_vlan_chg(name, p.group_id(), p.vlan()) != 0) {
        FED_DBG(cli, "Send QZ_EVENT_USER_PROFILE_VLAN_CHG to auth failed");
        return -1;
    }
    return 0;
}

int up_list(UpRecord& p) {
    p = UpRecord();
    p.set_status(-1);
    return send(um::kGet, p) ? 0 : -1;
}

std::size_t up_list_count(const UpRecord& list) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < um::kListMax; ++i)
        if (list.byte(um::list_name(i)) != 0) ++n;
    return n;
}

int up_send_vlan_chg(std::string_view name, std::uint8_t gid, std::uint16_t vlan) {
    std::uint8_t b[ev::kBodySize] = {};
    qz_up::put_name(b, ev::kName, um::kNameSize, name);
    qz_up::put<std::uint16_t>(b, ev::kGroupId, gid);
    qz_up::put<std::uint16_t>(b, ev::kVlan, vlan);
    return qz_event_send(ev::kVlanChg, sizeof b, b);
}

int up_send_attr(std::string_view name, std::uint16_t start, std::uint16_t end, bool by_profile,
                 bool removed) {
    std::uint8_t b[ev::kBodySize] = {};
    qz_up::put_name(b, ev::kName, um::kNameSize, name);
    qz_up::put<std::uint16_t>(b, ev::kStart, start);
    qz_up::put<std::uint16_t>(b, ev::kEnd, end);
    qz_up::put<std::uint32_t>(b, ev::kByProfile, by_profile ? 1 : 0);
    qz_up::put<std::uint32_t>(b, ev::kRemoved, removed ? 1 : 0);
    return qz_event_send(ev::kAttr, sizeof b, b);
}

int up_send_name_event(std::uint32_t event, std::string_view name, std::size_t len) {
    std::uint8_t b[ev::kBodySize] = {};
    qz_up::put_name(b, ev::kName, um::kNameSize, name);
    return qz_event_send(event, static_cast<std::uint32_t>(len), b);
}

const char* up_status_text(std::int32_t status) {
    switch (status) {
        case um::kNoProfile:
            return "Invalid user profile name\n";
        case um::kBadId:
            return "Invalid user profile ID\n";
        case um::kBadQos:
            return "Invalid QoS policy name\n";
        case um::kBadVlan:
            return "Invalid VLAN ID\n";
        case um::kTableFull:
            return "User profile table is full\n";
        case um::kRangesFull:
            return "User profile attribute range numbers is full\n";
        case um::kAttrInUse:
            return "One or more attributes are in use. Please make sure attribute you are setting "
                   "are not used in any other user profile.\n";
        default:
            return nullptr;
    }
}

}  // namespace fedup

using namespace fedup;

int qz_fed_up_id_by_name(std::string_view name, bool create) {
    UpRecord p;
    Got got = up_get(name, p);
    std::string n(name);
    if (got == Got::Found) return p.group_id();
    if (got == Got::Missing && create) {
        UpRecord fresh;
        up_defaults(fresh, name);
        if (up_set(fresh) < 0) return -1;
        if (int rc = up_send_vlan_chg(name, fresh.group_id(), fresh.vlan()); rc != 0)
            FED_DBG(cli, "fed create def user profile send vlan chg event failed. (rc = %d)", rc);
        return fresh.group_id();
    }
    FED_DBG(cli, "get user profile %s id failed. (ret_code = %d)", n.c_str(), p.status());
    return -1;
}

namespace {

// The debug line of a failed list read.
void list_failed(std::int32_t status) {
    static constexpr const char* kText[] = {
        "invalid user profile name\n", "invalid user profile ID\n", "invalid QoS policy name\n",
        "invalid VLAN ID\n", "user profile table is full\n"};
    if (status <= um::kNoProfile && status >= um::kTableFull)
        FED_DBG(cli, "%s", kText[um::kNoProfile - status]);
}

}  // namespace

bool qz_fed_up_name_by_id(int upid, char (&name)[33]) {
    UpRecord list;
    if (up_list(list) < 0) {
        list_failed(list.status());
        return false;
    }
    for (std::size_t i = 0; i < um::kListMax; ++i) {
        if (list.byte(um::kGroupId + i) != upid) continue;
        std::string n = list.str(um::list_name(i));
        if (n.empty()) {
            qz_log(6, "fed user profile: get user profile name is NULL from UPID:%d", upid);
            return false;
        }
        std::snprintf(name, sizeof name, "%s", n.c_str());
        return true;
    }
    return false;
}

int qz_fed_up_list(std::vector<UpListEntry>& out) {
    out.clear();
    UpRecord list;
    if (up_list(list) < 0) {
        list_failed(list.status());
        return -1;
    }
    for (std::size_t i = 0; i < um::kListMax; ++i) {
        std::string n = list.str(um::list_name(i));
        if (!n.empty()) out.push_back(UpListEntry{n, list.byte(um::kGroupId + i)});
    }
    return 0;
}
