// The FE's kernel side of the user-profile table (codes 120-122) and of the
// profiles' airtime shares (138, 139).
#include "platform/fe/profiles.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/fe/model.h"
#include "platform/up_msg.h"

namespace fem {

namespace {

namespace um = qz_up_msg;
namespace at = qz_up_airtime;
using Record = std::span<std::uint8_t>;
using qz_up::get;
using qz_up::get_name;
using qz_up::put;
using qz_up::put_name;

inline constexpr std::int32_t kFail = -1;
inline constexpr std::uint16_t kVlanMax = 4094;

UserProfile default_profile() {
    UserProfile p;
    p.name = um::kDefaultProfile;
    p.qos = um::kDefaultQos;
    p.ranges.push_back(UpRange{0, 0});
    return p;
}

std::size_t ranges_in_use(const Model& m) {
    std::size_t n = 0;
    for (const UserProfile& p : m.up.profiles) n += p.ranges.size();
    return n;
}

bool overlaps(UpRange a, UpRange b) {
    return a.start <= b.end && b.start <= a.end;
}

// Adds the record's first range to p: -106 when another profile maps any of
// its attributes, -105 when the FE's range table is full.
std::int32_t add_range(Model& m, UserProfile& p, Record r) {
    UpRange add{get<std::uint16_t>(r, um::kAttrStart), get<std::uint16_t>(r, um::kAttrEnd)};
    if (add.start == um::kNoAttr || add.start > add.end) return um::kAttrInUse;
    for (const UserProfile& o : m.up.profiles) {
        if (o.name == p.name) continue;
        for (UpRange x : o.ranges)
            if (overlaps(x, add)) return um::kAttrInUse;
    }
    for (UpRange x : p.ranges)
        if (x.start == add.start && x.end == add.end) return 0;
    if (ranges_in_use(m) >= kUpRangesMax) return um::kRangesFull;
    p.ranges.push_back(add);
    return 0;
}

void del_range(UserProfile& p, Record r) {
    std::uint16_t s = get<std::uint16_t>(r, um::kAttrStart);
    std::uint16_t e = get<std::uint16_t>(r, um::kAttrEnd);
    std::erase_if(p.ranges, [&](UpRange x) { return x.start == s && x.end == e; });
}

std::int32_t up_set(Model& m, Record r) {
    std::string name = get_name(r, um::kName, um::kNameSize);
    if (name.empty()) return um::kNoProfile;
    std::uint16_t mask = get<std::uint16_t>(r, um::kMask);
    UserProfile* found = up_find(m, name);
    if (!found && m.up.profiles.size() >= kUpMax) return um::kTableFull;
    // Changed on a copy: a refused set leaves the profile as it was.
    UserProfile p = found ? *found : UserProfile{};
    p.name = name;
    bool is_default = name == um::kDefaultProfile;
    if (mask & um::kMaskGroupId) {
        std::uint8_t gid = r[um::kGroupId];
        if (is_default && gid != 0) return um::kBadId;
        for (const UserProfile& o : m.up.profiles)
            if (gid != 0 && o.name != name && o.group_id == gid) return um::kBadId;
        p.group_id = gid;
        p.group_set = true;
    }
    std::uint16_t vlan = get<std::uint16_t>(r, um::kVlan);
    if (vlan == 0 || vlan > kVlanMax) return um::kBadVlan;
    p.vlan = vlan;
    std::string qos = get_name(r, um::kQosPolicy, um::kNameSize);
    if (qos.empty() || (is_default && qos != um::kDefaultQos)) return um::kBadQos;
    p.qos = qos;
    if (mask & um::kMaskMobility) p.mobility = get_name(r, um::kMobility, um::kNameSize);
    if (mask & um::kMaskTunnel) p.tunnel = get_name(r, um::kTunnel, um::kNameSize);
    if (mask & um::kMaskMarker) {
        p.marker_type = get<std::uint32_t>(r, um::kMarkerType);
        p.marker = get_name(r, um::kMarkerMap, um::kNameSize);
    }
    if (mask & um::kMaskSentinel) p.sentinel_on = get<std::uint32_t>(r, um::kSentinelOn);
    if (mask & um::kMaskAction) p.sentinel_action = get<std::uint32_t>(r, um::kSentinelAction);
    if (mask & um::kMaskBandwidth) p.bandwidth = get<std::uint32_t>(r, um::kBandwidth);
    if (mask & um::kMaskThreshold) p.threshold = get<std::uint32_t>(r, um::kThreshold);
    if (mask & um::kMaskL3Action) p.l3_action = r[um::kL3Action];
    if (mask & (um::kMaskAttr | um::kMaskAddRange))
        if (std::int32_t rc = add_range(m, p, r); rc < 0) return rc;
    if (mask & um::kMaskDelRange) del_range(p, r);
    if (found)
        *found = std::move(p);
    else
        m.up.profiles.push_back(std::move(p));
    return 0;
}

void profile_out(const Model& m, Record r, const UserProfile& p) {
    std::memset(r.data() + um::kName, 0, um::kSize - um::kName);
    qz_up::clear_ranges(r);
    put_name(r, um::kName, um::kNameSize, p.name);
    put<std::uint16_t>(r, um::kVlan, p.vlan);
    r[um::kGroupId] = p.group_id;
    put<std::uint32_t>(r, um::kFilter, m.up.upids[p.group_id].deny);
    put_name(r, um::kQosPolicy, um::kNameSize, p.qos);
    put<std::uint32_t>(r, um::kMarkerType, p.marker_type);
    put_name(r, um::kMarkerMap, um::kNameSize, p.marker);
    put_name(r, um::kMobility, um::kNameSize, p.mobility);
    put_name(r, um::kTunnel, um::kNameSize, p.tunnel);
    for (std::size_t i = 0; i < p.ranges.size() && i < um::kRangesMax; ++i) {
        put<std::uint16_t>(r, um::kAttrStart + 2 * i, p.ranges[i].start);
        put<std::uint16_t>(r, um::kAttrEnd + 2 * i, p.ranges[i].end);
    }
    put<std::uint32_t>(r, um::kSentinelOn, p.sentinel_on);
    put<std::uint32_t>(r, um::kSentinelAction, p.sentinel_action);
    put<std::uint32_t>(r, um::kBandwidth, p.bandwidth);
    r[um::kDenyAction] = p.deny_action;
    put<std::uint32_t>(r, um::kThreshold, p.threshold);
    r[um::kL3Action] = p.l3_action;
}

void list_out(const Model& m, Record r) {
    std::memset(r.data() + um::kName, 0, um::kSize - um::kName);
    qz_up::clear_ranges(r);
    for (std::size_t i = 0; i < m.up.profiles.size() && i < um::kListMax; ++i) {
        const UserProfile& p = m.up.profiles[i];
        put_name(r, um::list_name(i), um::kNameSize, p.name);
        r[um::kGroupId + i] = p.group_id;
        r[um::kGroupSet + i] = p.group_set ? 1 : 0;
        put<std::uint16_t>(r, um::list_vlan(i), p.vlan);
        put_name(r, um::list_qos(i), um::kNameSize, p.qos);
        put<std::uint32_t>(r, um::list_marker_type(i), p.marker_type);
        put_name(r, um::list_marker(i), um::kNameSize, p.marker);
        put_name(r, um::list_mobility(i), um::kNameSize, p.mobility);
        put_name(r, um::list_tunnel(i), um::kNameSize, p.tunnel);
        for (std::size_t k = 0; k < p.ranges.size() && k < um::kListRanges; ++k) {
            put<std::uint16_t>(r, um::list_start(i) + 2 * k, p.ranges[k].start);
            put<std::uint16_t>(r, um::list_end(i) + 2 * k, p.ranges[k].end);
        }
        r[um::kSentinelOn + i] = static_cast<std::uint8_t>(p.sentinel_on);
        r[um::kSentinelAction + i] = static_cast<std::uint8_t>(p.sentinel_action);
        put<std::uint32_t>(r, um::list_bandwidth(i), p.bandwidth);
        r[um::kL3Action + i] = p.l3_action;
    }
}

bool asks_for_list(Record r) {
    if (r[um::kName] != 0 || get<std::int32_t>(r, um::kStatus) != -1) return false;
    return std::all_of(r.begin() + um::kAttrStart, r.begin() + um::kAttrEnd + um::kAttrArea,
                       [](std::uint8_t b) { return b == 0xFF; });
}

std::int32_t up_get(Model& m, Record r) {
    if (asks_for_list(r)) {
        list_out(m, r);
        return 0;
    }
    const UserProfile* p = up_find(m, get_name(r, um::kName, um::kNameSize));
    if (!p) return um::kNoProfile;
    profile_out(m, r, *p);
    return 0;
}

std::int32_t up_delete(Model& m, Record r) {
    std::string name = get_name(r, um::kName, um::kNameSize);
    if (name == um::kDefaultProfile) return um::kNoProfile;
    auto& v = m.up.profiles;
    auto it =
        std::find_if(v.begin(), v.end(), [&](const UserProfile& p) { return p.name == name; });
    if (it == v.end()) return um::kNoProfile;
    std::uint8_t gid = it->group_id;
    v.erase(it);
    // Its stations are back in "default-profile".
    std::erase_if(m.up.stas, [&](const StaProfile& s) { return s.profile == name; });
    // What the FE keys by an UPID goes with the last profile of that group id.
    bool held =
        std::any_of(v.begin(), v.end(), [&](const UserProfile& p) { return p.group_id == gid; });
    if (!held) {
        m.up.upids[gid] = UpidState{};
        m.up.airtime[gid] = Airtime{};
    }
    return 0;
}

// The weight left for `upid`: what the other UPIDs do not hold.
std::uint32_t available(const Model& m, std::uint32_t upid) {
    std::uint32_t used = 0;
    for (std::size_t i = 0; i < kUpids; ++i)
        if (i != upid) used += m.up.airtime[i].percent;
    return used >= at::kWeightMax ? 0 : at::kWeightMax - used;
}

std::int32_t airtime_set(Model& m, Record r) {
    std::uint32_t upid = get<std::uint32_t>(r, at::kUpid);
    if (upid >= kUpids) return kFail;
    std::uint32_t want = get<std::uint32_t>(r, at::kPercent);
    std::uint32_t left = available(m, upid);
    put<std::uint32_t>(r, at::kAvailable, left);
    if (want > left) return kFail;
    m.up.airtime[upid] = Airtime{want, get<std::uint32_t>(r, at::kShare) ? 1u : 0u};
    return 0;
}

std::int32_t airtime_get(Model& m, Record r) {
    std::uint32_t upid = get<std::uint32_t>(r, at::kUpid);
    if (upid >= kUpids) return kFail;
    put<std::uint32_t>(r, at::kPercent, m.up.airtime[upid].percent);
    put<std::uint32_t>(r, at::kAvailable, available(m, upid));
    put<std::uint32_t>(r, at::kShare, m.up.airtime[upid].share);
    return 0;
}

struct UpCode {
    std::uint16_t code;
    UpKernelFn fn;
};

constexpr UpCode kUpCodes[] = {
    {um::kSet, up_set},      {um::kGet, up_get},      {um::kDelete, up_delete},
    {at::kSet, airtime_set}, {at::kGet, airtime_get},
};

}  // namespace

void up_init(Model& m) {
    m.up = UpTable{};
    m.up.profiles.push_back(default_profile());
}

UpKernelFn up_kernel_fn(std::uint16_t code) {
    for (const UpCode& c : kUpCodes)
        if (c.code == code) return c.fn;
    return nullptr;
}

const UserProfile* up_find(const Model& m, std::string_view name) {
    for (const UserProfile& p : m.up.profiles)
        if (p.name == name) return &p;
    return nullptr;
}

UserProfile* up_find(Model& m, std::string_view name) {
    return const_cast<UserProfile*>(up_find(std::as_const(m), name));
}

namespace {

auto sta_find(auto& stas, std::span<const std::uint8_t, 6> mac) {
    return std::find_if(stas.begin(), stas.end(), [&](const StaProfile& s) {
        return std::equal(mac.begin(), mac.end(), s.mac.begin());
    });
}

}  // namespace

StaAssign up_station_set(Model& m, std::span<const std::uint8_t, 6> mac, std::string_view profile) {
    if (!up_find(m, profile)) return StaAssign::NoProfile;
    auto& v = m.up.stas;
    auto it = sta_find(v, mac);
    if (profile == um::kDefaultProfile) {
        if (it != v.end()) v.erase(it);
        return StaAssign::Ok;
    }
    if (it == v.end()) {
        if (v.size() >= kUpStationsMax) return StaAssign::Full;
        it = v.insert(v.end(), StaProfile{});
        std::copy(mac.begin(), mac.end(), it->mac.begin());
    }
    it->profile = profile;
    return StaAssign::Ok;
}

const UserProfile* up_of_station(const Model& m, std::span<const std::uint8_t, 6> mac) {
    auto it = sta_find(m.up.stas, mac);
    const UserProfile* p = it == m.up.stas.end() ? nullptr : up_find(m, it->profile);
    return p ? p : up_find(m, um::kDefaultProfile);
}

}  // namespace fem
