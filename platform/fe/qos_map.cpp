// The FE's kernel side of the QoS priority maps: the class maps, the marker
// maps and the named marker maps.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/fe/model.h"
#include "platform/fe/qos.h"
#include "platform/qos_map_msg.h"
#include "platform/qos_msg.h"

namespace fem {

namespace {

namespace pm = qz_qos_map_msg;
namespace nm = qz_qos_nmap_msg;
using Record = std::span<std::uint8_t>;
using pm::Map;

bool is_marker(Map m) {
    return m == Map::MkrDot1p || m == Map::MkrWmm || m == Map::MkrDscp;
}

std::vector<std::uint8_t>& table(Model& m, Map map) {
    return m.qos.maps.maps[static_cast<std::size_t>(map)];
}

// Which map a code belongs to, and whether it sets (0), resets (1) or gets (2).
bool map_of(std::uint16_t code, Map* map, int* op) {
    for (std::size_t i = 0; i < pm::kMaps; ++i) {
        const pm::MapInfo& in = pm::kInfo[i];
        if (code != in.set && code != in.reset && code != in.get) continue;
        *map = static_cast<Map>(i);
        *op = code == in.set ? 0 : code == in.reset ? 1 : 2;
        return true;
    }
    return false;
}

std::int32_t map_request(Model& m, Map map, int op, Record r) {
    const pm::MapInfo& in = pm::info(map);
    std::vector<std::uint8_t>& t = table(m, map);
    std::uint8_t index = r[pm::kIndex];
    bool all = index == pm::kAll;
    if (!all && index >= in.entries) return pm::kBadIndex;
    switch (op) {
        case 0:
            if (all) return pm::kBadIndex;
            if (r[pm::kValues] > in.max_value)
                return is_marker(map) ? pm::kBadValue : pm::kBadIndex;
            t[index] = r[pm::kValues];
            return 0;
        case 1:
            for (std::size_t i = 0; i < in.entries; ++i)
                if (all || i == index) t[i] = pm::default_of(map, i);
            return 0;
        default:
            std::memset(r.data() + pm::kValues, 0, r.size() - pm::kValues);
            if (all)
                std::copy(t.begin(), t.end(), r.begin() + pm::kValues);
            else
                r[pm::kValues] = t[index];
            return 0;
    }
}

// ---- named marker maps

std::string get_name(Record r, std::size_t off, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(r.data() + off);
    return std::string(p, strnlen(p, width));
}

std::vector<QosNamedMap>* named_of(Model& m, std::uint8_t kind) {
    if (kind == nm::kKindDot1p) return &m.qos.maps.named_dot1p;
    if (kind == nm::kKindDscp) return &m.qos.maps.named_dscp;
    return nullptr;
}

Map marker_of(std::uint8_t kind) {
    return kind == nm::kKindDscp ? Map::MkrDscp : Map::MkrDot1p;
}

auto named_find(std::vector<QosNamedMap>& v, const std::string& name) {
    return std::find_if(v.begin(), v.end(), [&](const QosNamedMap& n) { return n.name == name; });
}

std::int32_t named_add(Model& m, Record r) {
    std::vector<QosNamedMap>* v = named_of(m, r[nm::kKind]);
    std::string name = get_name(r, nm::kName, nm::kNameSize);
    if (!v || name.empty() || name.size() > 32) return nm::kNoName;
    Map mkr = marker_of(r[nm::kKind]);
    std::uint8_t cls = r[nm::kClass];
    if (cls != nm::kNoClass && (cls > 7 || r[nm::kValue] > pm::info(mkr).max_value))
        return nm::kBadValue;
    auto it = named_find(*v, name);
    if (it == v->end()) {
        if (v->size() >= nm::kSlots) return nm::kTooMany;
        QosNamedMap n{name, {}};
        for (std::size_t i = 0; i < n.values.size(); ++i) n.values[i] = pm::default_of(mkr, i);
        it = v->insert(v->end(), n);
    }
    if (cls != nm::kNoClass) it->values[cls] = r[nm::kValue];
    return 0;
}

// A user profile marks with the map: marker type 0 names a DSCP map.
bool named_in_use(const Model& m, std::uint8_t kind, const std::string& name) {
    for (const UserProfile& p : m.up.profiles)
        if (p.marker == name && (p.marker_type == 0) == (kind == nm::kKindDscp)) return true;
    return false;
}

std::int32_t named_delete(Model& m, Record r) {
    std::vector<QosNamedMap>* v = named_of(m, r[nm::kKind]);
    if (!v) return nm::kNoName;
    auto it = named_find(*v, get_name(r, nm::kName, nm::kNameSize));
    if (it == v->end()) return nm::kNoName;
    std::uint8_t cls = r[nm::kClass];
    if (cls == nm::kNoClass) {
        if (named_in_use(m, r[nm::kKind], it->name)) return nm::kInUse;
        v->erase(it);
        return 0;
    }
    if (cls > 7) return nm::kBadValue;
    it->values[cls] = pm::default_of(marker_of(r[nm::kKind]), cls);
    return 0;
}

void named_out(Record r, std::size_t slot, const QosNamedMap& n) {
    std::size_t at = nm::kNames + slot * nm::kNameSize;
    std::memcpy(r.data() + at, n.name.data(), std::min(n.name.size(), nm::kNameSize - 1));
    std::copy(n.values.begin(), n.values.end(), r.begin() + nm::kValues + 8 * slot);
}

std::int32_t named_get(Model& m, Record r) {
    std::vector<QosNamedMap>* v = named_of(m, r[nm::kKind]);
    if (!v) return nm::kNoName;
    std::string name = get_name(r, nm::kName, nm::kNameSize);
    std::memset(r.data() + nm::kNames, 0, nm::kSize - nm::kNames);
    if (name.empty()) {
        for (std::size_t i = 0; i < v->size() && i < nm::kSlots; ++i) named_out(r, i, (*v)[i]);
        return 0;
    }
    auto it = named_find(*v, name);
    if (it == v->end()) return nm::kNoName;
    named_out(r, 0, *it);
    return 0;
}

template <Map M, int Op>
std::int32_t map_fn(Model& m, Record r) {
    return map_request(m, M, Op, r);
}

template <Map M>
constexpr QosKernelFn kOps[3] = {map_fn<M, 0>, map_fn<M, 1>, map_fn<M, 2>};

QosKernelFn map_fn_of(Map map, int op) {
    switch (map) {
        case Map::Dot1p:
            return kOps<Map::Dot1p>[op];
        case Map::Wmm:
            return kOps<Map::Wmm>[op];
        case Map::Dscp:
            return kOps<Map::Dscp>[op];
        case Map::MkrDot1p:
            return kOps<Map::MkrDot1p>[op];
        case Map::MkrWmm:
            return kOps<Map::MkrWmm>[op];
        case Map::MkrDscp:
            return kOps<Map::MkrDscp>[op];
    }
    return nullptr;
}

constexpr const char* kMapNames[pm::kMaps] = {"8021p",        "80211e",        "diffserv",
                                              "marker-8021p", "marker-80211e", "marker-diffserv"};

std::string values_text(const std::uint8_t* v, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += (i ? " " : "") + std::to_string(v[i]);
    return s;
}

}  // namespace

void qos_map_init(Model& m) {
    for (std::size_t i = 0; i < pm::kMaps; ++i) {
        Map map = static_cast<Map>(i);
        std::vector<std::uint8_t>& t = table(m, map);
        t.assign(pm::info(map).entries, 0);
        for (std::size_t k = 0; k < t.size(); ++k) t[k] = pm::default_of(map, k);
    }
    m.qos.maps.named_dot1p.clear();
    m.qos.maps.named_dscp.clear();
}

QosKernelFn qos_map_kernel_fn(std::uint16_t code) {
    if (code == nm::kAdd) return named_add;
    if (code == nm::kDelete) return named_delete;
    if (code == nm::kGet) return named_get;
    Map map;
    int op;
    return map_of(code, &map, &op) ? map_fn_of(map, op) : nullptr;
}

std::int32_t qos_ifcls_list(Model& m, std::span<std::uint8_t> r) {
    namespace il = qz_qos_ifcls_list;
    namespace im = qz_qos_ifcls_msg;
    std::memset(r.data() + il::kNames, 0, il::kKinds + il::kSlots - il::kNames);
    for (std::size_t i = 0; i < m.qos.if_classes.size() && i < il::kSlots; ++i) {
        const QosIfClass& c = m.qos.if_classes[i];
        std::memcpy(r.data() + il::kNames + i * im::kIfNameSize, c.ifname.data(),
                    std::min(c.ifname.size(), im::kIfNameSize - 1));
        r[il::kClasses + i] = c.qos_class;
        r[il::kKinds + i] = c.kind;
    }
    return 0;
}

std::string qos_map_text(const Model& m) {
    std::string s;
    for (std::size_t i = 0; i < pm::kMaps; ++i) {
        const std::vector<std::uint8_t>& t = m.qos.maps.maps[i];
        s += std::string("map ") + kMapNames[i] + ": " + values_text(t.data(), t.size()) + "\n";
    }
    for (const QosNamedMap& n : m.qos.maps.named_dot1p)
        s += "named 8021p " + n.name + ": " + values_text(n.values.data(), 8) + "\n";
    for (const QosNamedMap& n : m.qos.maps.named_dscp)
        s += "named diffserv " + n.name + ": " + values_text(n.values.data(), 8) + "\n";
    return s;
}

}  // namespace fem
