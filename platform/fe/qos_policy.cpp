// The FE's kernel side of the QoS switches, QoS policies, VLAN QoS and the
// performance snapshot, and the CAC roaming weight call.
#include "platform/fe/qos_policy.h"

#include <algorithm>
#include <cstring>

#include "platform/fe/model.h"
#include "platform/qos_policy_msg.h"
#include "platform/wire.h"

namespace fem {

namespace {

namespace gm = qz_qos_global_msg;
namespace pe = qz_qos_policy_entry;
namespace pm = qz_qos_policy_msg;
namespace pd = qz_qos_policy_def;
namespace vm = qz_qos_vlan_msg;
namespace sn = qz_qos_snap_msg;
namespace cac = qz_qos_cac;
using Record = std::span<std::uint8_t>;

template <typename T>
T get(Record r, std::size_t off) {
    return wire::load_h<T>(r.data() + off);
}

template <typename T>
void put(Record r, std::size_t off, T v) {
    wire::store_h<T>(r.data() + off, v);
}

// ---- switches

void global_out(Model& m, Record r) {
    put<std::uint16_t>(r, gm::kQos, m.qpol.qos_on ? 1 : 0);
    put<std::uint16_t>(r, gm::kAirtime, m.qpol.airtime ? 1 : 0);
    put<std::uint32_t>(r, gm::kWeight, m.qpol.rate_weight);
}

std::int32_t qos_on(Model& m, Record) {
    m.qpol.qos_on = true;
    return 0;
}
std::int32_t qos_off(Model& m, Record) {
    m.qpol.qos_on = false;
    return 0;
}
std::int32_t global_get(Model& m, Record r) {
    global_out(m, r);
    return 0;
}
std::int32_t airtime_set(Model& m, Record r) {
    m.qpol.airtime = get<std::uint16_t>(r, gm::kAirtime) != 0;
    return 0;
}
std::int32_t weight_set(Model& m, Record r) {
    std::uint32_t w = get<std::uint32_t>(r, gm::kWeight);
    if (w > gm::kWeightHigh) return -1;
    m.qpol.rate_weight = w;
    return 0;
}

// ---- policies

std::string name_at(Record r, std::size_t off, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(r.data() + off);
    return std::string(p, strnlen(p, width));
}

void entry_out(Record r, std::size_t at, const QosPolicy& p) {
    std::memset(r.data() + at, 0, pe::kSize);
    std::memcpy(r.data() + at + pe::kName, p.name.data(), std::min(p.name.size(), std::size_t{32}));
    put<std::uint32_t>(r, at + pe::kUserRate, p.user_rate);
    put<std::uint16_t>(r, at + pe::kUpWeight, p.up_weight);
    put<std::uint32_t>(r, at + pe::kUpRate, p.up_rate);
    for (std::size_t c = 0; c < pe::kClassCount; ++c) {
        std::size_t o = at + pe::kClasses + c * pe::kClassSize;
        r[o + pe::kMode] = p.mode[c];
        put<std::uint16_t>(r, o + pe::kWeight, p.weight[c]);
        put<std::uint32_t>(r, o + pe::kLimit, p.limit[c]);
    }
}

auto policy_find(Model& m, const std::string& name) {
    return std::find_if(m.qpol.policies.begin(), m.qpol.policies.end(),
                        [&](const QosPolicy& p) { return p.name == name; });
}

std::int32_t policy_set(Model& m, Record r) {
    std::string name = name_at(r, pm::kEntry + pe::kName, 33);
    if (name.empty() || name.size() > 32) return pm::kBadName;
    std::uint32_t cls = get<std::uint32_t>(r, pm::kClass);
    if (cls >= pe::kClassCount) return pm::kBadClass;
    std::size_t o = pm::kEntry + pe::kClasses + cls * pe::kClassSize;
    if (r[o + pe::kMode] > pe::kStrict) return pm::kBadClass;
    auto it = policy_find(m, name);
    if (it == m.qpol.policies.end()) {
        if (m.qpol.policies.size() >= pm::kSlots) return pm::kFull;
        it = m.qpol.policies.insert(m.qpol.policies.end(), qos_policy_default(name));
    }
    std::uint32_t fields = get<std::uint32_t>(r, pm::kFields);
    if (fields & pm::kFieldUser) {
        it->user_rate = get<std::uint32_t>(r, pm::kEntry + pe::kUserRate);
        it->up_weight = get<std::uint16_t>(r, pm::kEntry + pe::kUpWeight);
    }
    if (fields & pm::kFieldUpRate) it->up_rate = get<std::uint32_t>(r, pm::kEntry + pe::kUpRate);
    it->mode[cls] = r[o + pe::kMode];
    it->weight[cls] = get<std::uint16_t>(r, o + pe::kWeight);
    it->limit[cls] = get<std::uint32_t>(r, o + pe::kLimit);
    return 0;
}

// The predefined policy and any policy a user profile refers to stay.
std::int32_t policy_delete(Model& m, Record r) {
    std::string name = name_at(r, pm::kEntry + pe::kName, 33);
    auto it = policy_find(m, name);
    if (it == m.qpol.policies.end()) return pm::kBadName;
    if (name == pd::kName) return pm::kInUse;
    for (const UserProfile& u : m.up.profiles)
        if (u.qos == name) return pm::kInUse;
    m.qpol.policies.erase(it);
    return 0;
}

std::int32_t policy_get(Model& m, Record r) {
    std::memset(r.data() + pm::kTable, 0, pm::kSize - pm::kTable);
    for (std::size_t i = 0; i < m.qpol.policies.size() && i < pm::kSlots; ++i)
        entry_out(r, pm::kTable + i * pe::kSize, m.qpol.policies[i]);
    return 0;
}

// ---- VLANs

void vlan_out(Record r, std::size_t at, const QosVlan& v) {
    put<std::uint32_t>(r, at, v.vlan);
    put<std::uint32_t>(r, at + 4, v.rate);
    put<std::uint32_t>(r, at + 8, v.weight);
}

std::int32_t def_vlan_set(Model& m, Record r) {
    m.qpol.def_vlan.rate = get<std::uint32_t>(r, vm::kRate);
    m.qpol.def_vlan.weight = get<std::uint32_t>(r, vm::kWeight);
    return 0;
}
std::int32_t def_vlan_reset(Model& m, Record) {
    m.qpol.def_vlan = QosVlan{vm::kDefaultVlan, vm::kDefRate, vm::kDefWeight};
    return 0;
}
std::int32_t def_vlan_get(Model& m, Record r) {
    vlan_out(r, vm::kVlan, m.qpol.def_vlan);
    return 0;
}

auto vlan_find(Model& m, std::uint32_t vlan) {
    return std::find_if(m.qpol.vlans.begin(), m.qpol.vlans.end(),
                        [&](const QosVlan& v) { return v.vlan == vlan; });
}

std::int32_t vlan_set(Model& m, Record r) {
    std::uint32_t id = get<std::uint32_t>(r, vm::kVlan);
    if (id <= vm::kDefaultVlan || id > 4094) return vm::kNoEntry;
    auto it = vlan_find(m, id);
    if (it == m.qpol.vlans.end()) {
        if (m.qpol.vlans.size() >= vm::kSlots) return vm::kFull;
        it = m.qpol.vlans.insert(m.qpol.vlans.end(), QosVlan{id, 0, 0});
    }
    it->rate = get<std::uint32_t>(r, vm::kRate);
    it->weight = get<std::uint32_t>(r, vm::kWeight);
    return 0;
}

// A VLAN that a user profile puts its users in stays.
std::int32_t vlan_delete(Model& m, Record r) {
    std::uint32_t id = get<std::uint32_t>(r, vm::kVlan);
    auto it = vlan_find(m, id);
    if (it == m.qpol.vlans.end()) return vm::kNoEntry;
    for (const UserProfile& u : m.up.profiles)
        if (u.vlan == id) return vm::kInUse;
    m.qpol.vlans.erase(it);
    return 0;
}

std::int32_t vlan_get(Model& m, Record r) {
    std::uint32_t id = get<std::uint32_t>(r, vm::kVlan);
    std::memset(r.data() + vm::kCount, 0, vm::kSize - vm::kCount);
    if (id != 0) {
        auto it = vlan_find(m, id);
        if (it == m.qpol.vlans.end()) return vm::kNoEntry;
        vlan_out(r, vm::kVlan, *it);
        return 0;
    }
    std::size_t n = std::min(m.qpol.vlans.size(), vm::kSlots);
    put<std::uint32_t>(r, vm::kCount, static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i)
        vlan_out(r, vm::kTable + i * vm::kEntrySize, m.qpol.vlans[i]);
    return 0;
}

// ---- snapshot

std::int32_t snap_set(Model& m, Record r) {
    std::uint32_t interval = get<std::uint32_t>(r, sn::kInterval);
    if (interval == 0) return -1;
    m.qpol.snapshot = true;
    m.qpol.snapshot_interval = interval;
    return 0;
}
std::int32_t snap_off(Model& m, Record) {
    m.qpol.snapshot = false;
    return 0;
}
std::int32_t snap_get(Model& m, Record r) {
    put<std::uint32_t>(r, sn::kInterval, m.qpol.snapshot_interval);
    put<std::uint32_t>(r, sn::kOn, m.qpol.snapshot ? 1 : 0);
    return 0;
}

// ---- statistics: a station's traffic counts in the default class (2),
// less what it had at its last clear (105). A user profile sums the traffic
// of its stations, a VLAN that of the profiles in it; both read the raw
// station counters, as 105 clears the per-user statistics only. The model
// neither polices nor queues: drops and delays read zero.

namespace us = qz_qos_user_stats_msg;
namespace vs = qz_qos_vlan_snap_msg;
namespace ps = qz_qos_up_stats_msg;
constexpr std::size_t kUserClass = 2;

struct UserTotals {
    std::uint32_t packets = 0, bytes = 0;
};

// A frame counts once at its network level; the IP protocols and the
// applications under it count the same frame again.
constexpr fe_counter::Proto kFrameLevels[] = {fe_counter::Proto::Llc, fe_counter::Proto::Arp,
                                              fe_counter::Proto::Ip};

UserTotals user_totals(const StaCounters& s) {
    UserTotals t;
    for (fe_counter::Proto p : kFrameLevels) {
        t.packets += s.in.proto[static_cast<std::size_t>(p)];
        t.packets += s.out.proto[static_cast<std::size_t>(p)];
    }
    t.bytes = s.in.bytes + s.out.bytes;
    return t;
}

QosUserBase* user_base(Model& m, const std::uint8_t* mac) {
    for (QosUserBase& b : m.qpol.user_base)
        if (std::memcmp(b.mac, mac, 6) == 0) return &b;
    return nullptr;
}

void user_clear_one(Model& m, const StaCounters& s) {
    UserTotals t = user_totals(s);
    QosUserBase* b = user_base(m, s.mac);
    if (!b) {
        m.qpol.user_base.push_back({});
        b = &m.qpol.user_base.back();
        std::memcpy(b->mac, s.mac, 6);
    }
    b->packets = t.packets;
    b->bytes = t.bytes;
}

std::int32_t user_read(Model& m, Record r) {
    const std::uint8_t* mac = r.data() + us::kMac;
    const StaCounters* s = counters_station(m.cnt, mac);
    if (!s) return us::kNoUser;
    UserTotals t = user_totals(*s);
    if (const QosUserBase* b = user_base(m, mac)) {
        t.packets -= b->packets;
        t.bytes -= b->bytes;
    }
    std::fill(r.begin() + us::kClasses, r.begin() + us::kSize, 0);
    std::size_t off = us::kClasses + kUserClass * us::kClassSize;
    put<std::uint32_t>(r, off + us::kPackets, t.packets);
    put<std::uint32_t>(r, off + us::kBytes, t.bytes);
    return 0;
}

std::int32_t user_clear(Model& m, Record r) {
    static constexpr std::uint8_t kAll[6] = {};
    const std::uint8_t* mac = r.data() + us::kMac;
    bool all = std::memcmp(mac, kAll, 6) == 0, found = false;
    for (const StaCounters& s : m.cnt.stas) {
        if (!all && std::memcmp(s.mac, mac, 6) != 0) continue;
        user_clear_one(m, s);
        found = true;
    }
    return all || found ? 0 : us::kNoUser;
}

// Each profile's traffic, by its index in the profile table.
std::vector<UserTotals> profile_totals(const Model& m) {
    std::vector<UserTotals> per(m.up.profiles.size());
    for (const StaCounters& s : m.cnt.stas) {
        const UserProfile* p = up_of_station(m, s.mac);
        if (!p) continue;
        UserTotals t = user_totals(s);
        UserTotals& into = per[static_cast<std::size_t>(p - m.up.profiles.data())];
        into.packets += t.packets;
        into.bytes += t.bytes;
    }
    return per;
}

std::int32_t vlan_snap(Model& m, Record r) {
    std::uint32_t vlan = get<std::uint32_t>(r, vs::kVlan);
    bool known = vlan == m.qpol.def_vlan.vlan ||
                 std::any_of(m.qpol.vlans.begin(), m.qpol.vlans.end(),
                             [&](const QosVlan& v) { return v.vlan == vlan; });
    if (!known) return vs::kNoVlan;
    std::vector<UserTotals> per = profile_totals(m);
    UserTotals sum;
    for (std::size_t i = 0; i < per.size(); ++i) {
        if (m.up.profiles[i].vlan != vlan) continue;
        sum.packets += per[i].packets;
        sum.bytes += per[i].bytes;
    }
    std::fill(r.begin() + vs::kDrops, r.begin() + vs::kSize, 0);
    put<std::uint32_t>(r, vs::kPackets, sum.packets);
    put<std::uint32_t>(r, vs::kBytes, sum.bytes);
    return 0;
}

std::int32_t up_stats(Model& m, Record r) {
    const char* p = reinterpret_cast<const char*>(r.data() + ps::kName);
    std::string want(p, strnlen(p, ps::kNameSize));
    std::fill(r.begin() + ps::kCount, r.begin() + ps::kSize, 0);
    std::vector<UserTotals> per = profile_totals(m);
    std::uint32_t n = 0;
    for (std::size_t i = 0; i < per.size(); ++i) {
        const UserProfile& u = m.up.profiles[i];
        if ((!want.empty() && u.name != want) || n == ps::kSlots) continue;
        std::size_t at = ps::kTable + n * ps::kEntrySize;
        std::memcpy(r.data() + at + ps::kEntryName, u.name.data(),
                    std::min(u.name.size(), ps::kNameSize - 1));
        put<std::uint32_t>(r, at + ps::kPackets, per[i].packets);
        put<std::uint32_t>(r, at + ps::kBytes, per[i].bytes);
        ++n;
    }
    if (!want.empty() && n == 0) return ps::kNoProfile;
    put<std::uint32_t>(r, ps::kCount, n);
    return 0;
}

struct Code {
    std::uint16_t code;
    QosPolicyKernelFn fn;
};
constexpr Code kCodes[] = {
    {gm::kOn, qos_on},
    {gm::kOff, qos_off},
    {gm::kGet, global_get},
    {gm::kAirtimeSet, airtime_set},
    {gm::kAirtimeGet, global_get},
    {gm::kWeightSet, weight_set},
    {gm::kWeightGet, global_get},
    {pm::kSet, policy_set},
    {pm::kDelete, policy_delete},
    {pm::kGet, policy_get},
    {vm::kDefSet, def_vlan_set},
    {vm::kDefReset, def_vlan_reset},
    {vm::kDefGet, def_vlan_get},
    {vm::kSet, vlan_set},
    {vm::kDelete, vlan_delete},
    {vm::kGet, vlan_get},
    {sn::kSet, snap_set},
    {sn::kOff, snap_off},
    {sn::kGet, snap_get},
    {us::kStats, user_read},
    {us::kSnapshot, user_read},
    {us::kClear, user_clear},
    {vs::kGet, vlan_snap},
    {ps::kDrops, up_stats},
    {ps::kDelays, up_stats},
};

}  // namespace

QosPolicy qos_policy_default(const std::string& name) {
    return pd::with_defaults<QosPolicy>(name);
}

void qos_policy_init(Model& m) {
    m.qpol = QosPolicyState{};
    m.qpol.rate_weight = gm::kWeightHigh;
    m.qpol.policies = {qos_policy_default(pd::kName)};
    m.qpol.def_vlan = QosVlan{vm::kDefaultVlan, vm::kDefRate, vm::kDefWeight};
    m.qpol.snapshot_interval = sn::kDefInterval;
}

void qos_user_base_forget(Model& m, const std::uint8_t* mac) {
    std::erase_if(m.qpol.user_base,
                  [&](const QosUserBase& b) { return !mac || std::memcmp(b.mac, mac, 6) == 0; });
}

QosPolicyKernelFn qos_policy_kernel_fn(std::uint16_t code) {
    for (const Code& c : kCodes)
        if (c.code == code) return c.fn;
    return nullptr;
}

// args: u32 weight -> out: u32 available (also when refused). A weight
// beyond what the pool has left for roaming calls is refused.
int fe_qos_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                std::vector<std::uint8_t>& out, bool* known) {
    static constexpr const char kName[] = "fe_set_cac_roaming_weight";
    *known = fn == proto::FeFn::CacRoamingWeight;
    if (!*known) return -1;
    wire::Reader r(args);
    std::uint32_t weight = r.h32();
    int rc = 0;
    if (!r.ok()) {
        rc = -1;
    } else if (!fault_take(f, kName, &rc)) {
        rc = weight > cac::kRoamPool ? -1 : 0;
        if (rc == 0) setting_force(m, cac::kGetRoamWeight, weight);
    }
    out.resize(4);
    wire::store_h<std::uint32_t>(out.data(), cac::kRoamPool);
    m.fe_calls.push_back(FeCall{fn, 0, weight, kName, rc, {args.begin(), args.end()}});
    return rc;
}

std::string qos_policy_text(const Model& m) {
    const QosPolicyState& q = m.qpol;
    static constexpr const char* kWeights[] = {"none", "moderate", "high"};
    std::string s = std::string("qos ") + (q.qos_on ? "on" : "off") + ", airtime " +
                    (q.airtime ? "on" : "off") + ", rate weight " +
                    (q.rate_weight <= 2 ? kWeights[q.rate_weight] : "?") + "\n";
    std::uint32_t cac_on = 0, max_air = 0, roam = 0;
    setting_value(m, qz_qos_cac::kGetStatus, &cac_on);
    setting_value(m, qz_qos_cac::kGetMaxAirtime, &max_air);
    setting_value(m, qz_qos_cac::kGetRoamWeight, &roam);
    s += "cac " + std::string(cac_on ? "on" : "off") + ", max airtime " + std::to_string(max_air) +
         ", roaming weight " + std::to_string(roam) + "\n";
    s += "snapshot " + std::string(q.snapshot ? "on" : "off") + " interval " +
         std::to_string(q.snapshot_interval) + "\n";
    for (const QosVlan& v : {q.def_vlan})
        s += "vlan " + std::to_string(v.vlan) + " rate " + std::to_string(v.rate) + " weight " +
             std::to_string(v.weight) + "\n";
    for (const QosVlan& v : q.vlans)
        s += "vlan " + std::to_string(v.vlan) + " rate " + std::to_string(v.rate) + " weight " +
             std::to_string(v.weight) + "\n";
    for (const QosPolicy& p : q.policies) {
        s += "policy " + p.name + " user-rate " + std::to_string(p.user_rate) + " up-weight " +
             std::to_string(p.up_weight) + " up-rate " + std::to_string(p.up_rate) + "\n";
        for (std::size_t c = 0; c < 8; ++c)
            s += "  class " + std::to_string(c) + (p.mode[c] ? " strict" : " wrr") + " weight " +
                 std::to_string(p.weight[c]) + " limit " + std::to_string(p.limit[c]) + "\n";
    }
    return s;
}

}  // namespace fem
