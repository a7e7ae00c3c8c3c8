// The FE's kernel side of the QoS classifier and marker profiles and of their
// bindings to interfaces.
#include "platform/fe/qos.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/fe/model.h"
#include "platform/qos_msg.h"
#include "platform/wire.h"

namespace fem {

namespace {

namespace st = qz_qos_status;
namespace cm = qz_qos_cls_msg;
namespace mm = qz_qos_mkr_msg;
namespace bm = qz_qos_bind_msg;
namespace om = qz_qos_oui_msg;
namespace im = qz_qos_ifcls_msg;
namespace sm = qz_qos_ssid_msg;
using Record = std::span<std::uint8_t>;

std::string get_name(Record r, std::size_t off, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(r.data() + off);
    return std::string(p, strnlen(p, width));
}

void put_name(Record r, std::size_t off, std::size_t width, const std::string& name) {
    std::memset(r.data() + off, 0, width);
    std::memcpy(r.data() + off, name.data(), std::min(name.size(), width - 1));
}

// Both profile kinds share one message shape; only the record size, the
// method count and the table differ.
static_assert(cm::kNames == mm::kNames && cm::kFlags == mm::kFlags && cm::kSlots == mm::kSlots);

std::size_t flag(std::size_t method, std::size_t slot) {
    return cm::kFlags + method * cm::kSlots + slot;
}

template <typename P>
struct Profiles {
    static constexpr std::size_t kMethods = std::tuple_size_v<decltype(P::on)>;

    static void out(Record r, std::size_t slot, const P& p) {
        put_name(r, cm::kNames + slot * cm::kNameSize, cm::kNameSize, p.name);
        for (std::size_t i = 0; i < kMethods; ++i) r[flag(i, slot)] = p.on[i] ? 1 : 0;
    }
    static auto find(std::vector<P>& v, const std::string& name) {
        return std::find_if(v.begin(), v.end(), [&](const P& p) { return p.name == name; });
    }
    static std::int32_t set(std::vector<P>& v, Record r) {
        std::string name = get_name(r, cm::kName, cm::kNameSize);
        if (name.empty()) return st::kNoEntry;
        auto it = find(v, name);
        if (it == v.end()) {
            if (v.size() >= cm::kSlots) return st::kFull;
            it = v.insert(v.end(), P{name, {}});
        }
        for (std::size_t i = 0; i < kMethods; ++i)
            if (r[flag(i, 0)]) it->on[i] = true;
        return 0;
    }
    // All methods flagged removes the profile, unless an interface uses it.
    static std::int32_t del(std::vector<P>& v, const std::vector<QosBinding>& binds, Record r) {
        auto it = find(v, get_name(r, cm::kName, cm::kNameSize));
        if (it == v.end()) return st::kNoEntry;
        bool all = true;
        for (std::size_t i = 0; i < kMethods; ++i) all = all && r[flag(i, 0)] != 0;
        if (!all) {
            for (std::size_t i = 0; i < kMethods; ++i)
                if (r[flag(i, 0)]) it->on[i] = false;
            return 0;
        }
        for (const QosBinding& b : binds)
            if (b.profile == it->name) return st::kInUse;
        v.erase(it);
        return 0;
    }
    static std::int32_t get(std::vector<P>& v, Record r, std::size_t size) {
        std::string name = get_name(r, cm::kName, cm::kNameSize);
        std::memset(r.data() + cm::kNames, 0, size - cm::kNames);
        if (name.empty()) {
            for (std::size_t i = 0; i < v.size() && i < cm::kSlots; ++i) out(r, i, v[i]);
            return 0;
        }
        auto it = find(v, name);
        if (it == v.end()) return st::kNoEntry;
        out(r, 0, *it);
        return 0;
    }
};
using Cls = Profiles<QosClassifier>;
using Mkr = Profiles<QosMarker>;

std::int32_t cls_set(Model& m, Record r) {
    return Cls::set(m.qos.classifiers, r);
}
std::int32_t cls_delete(Model& m, Record r) {
    return Cls::del(m.qos.classifiers, m.qos.cls_binds, r);
}
std::int32_t cls_get(Model& m, Record r) {
    return Cls::get(m.qos.classifiers, r, cm::kSize);
}
std::int32_t mkr_set(Model& m, Record r) {
    return Mkr::set(m.qos.markers, r);
}
std::int32_t mkr_delete(Model& m, Record r) {
    return Mkr::del(m.qos.markers, m.qos.mkr_binds, r);
}
std::int32_t mkr_get(Model& m, Record r) {
    return Mkr::get(m.qos.markers, r, mm::kSize);
}

// ---- bindings: one profile of each kind per interface

template <typename P>
std::int32_t bind(std::vector<QosBinding>& binds, std::vector<P>& profiles, Record r) {
    std::string ifname = get_name(r, bm::kIfName, bm::kIfNameSize);
    std::uint8_t kind = r[bm::kKind];
    if (ifname.empty() ||
        (kind != bm::kKindEthernet && kind != bm::kKindSubIf && kind != bm::kKindRadio))
        return st::kNoEntry;
    std::string profile = get_name(r, bm::kProfile, bm::kProfileSize);
    if (Profiles<P>::find(profiles, profile) == profiles.end()) return st::kFull;
    auto it = std::find_if(binds.begin(), binds.end(),
                           [&](const QosBinding& b) { return b.ifname == ifname; });
    if (it == binds.end())
        binds.push_back(QosBinding{ifname, profile, kind});
    else
        *it = QosBinding{ifname, profile, kind};
    return 0;
}

std::int32_t unbind(std::vector<QosBinding>& binds, Record r) {
    std::string ifname = get_name(r, bm::kIfName, bm::kIfNameSize);
    auto it = std::find_if(binds.begin(), binds.end(),
                           [&](const QosBinding& b) { return b.ifname == ifname; });
    if (it == binds.end()) return st::kNoEntry;
    if (it->profile != get_name(r, bm::kProfile, bm::kProfileSize)) return st::kFull;
    binds.erase(it);
    return 0;
}

std::int32_t bound(std::vector<QosBinding>& binds, Record r) {
    std::string ifname = get_name(r, bm::kIfName, bm::kIfNameSize);
    for (const QosBinding& b : binds)
        if (b.ifname == ifname) {
            put_name(r, bm::kProfile, bm::kProfileSize, b.profile);
            r[bm::kKind] = b.kind;
            return 0;
        }
    return st::kNoEntry;
}

std::int32_t cls_bind(Model& m, Record r) {
    return bind(m.qos.cls_binds, m.qos.classifiers, r);
}
std::int32_t cls_unbind(Model& m, Record r) {
    return unbind(m.qos.cls_binds, r);
}
std::int32_t cls_bound(Model& m, Record r) {
    return bound(m.qos.cls_binds, r);
}
std::int32_t mkr_bind(Model& m, Record r) {
    return bind(m.qos.mkr_binds, m.qos.markers, r);
}
std::int32_t mkr_unbind(Model& m, Record r) {
    return unbind(m.qos.mkr_binds, r);
}
std::int32_t mkr_bound(Model& m, Record r) {
    return bound(m.qos.mkr_binds, r);
}

// ---- MAC OUI classifications: a set changes the fields it flags

std::uint32_t oui_of(Record r) {
    return wire::load_h<std::uint32_t>(r.data() + om::kOuis) & 0xFFFFFFu;
}

auto oui_find(Model& m, std::uint32_t oui) {
    return std::find_if(m.qos.ouis.begin(), m.qos.ouis.end(),
                        [&](const QosOui& o) { return o.oui == oui; });
}

std::int32_t oui_set(Model& m, Record r) {
    std::uint32_t oui = oui_of(r);
    if (oui == 0) return om::kBadOui;
    auto it = oui_find(m, oui);
    if (it == m.qos.ouis.end()) {
        if (m.qos.ouis.size() >= om::kSlots) return om::kFull;
        it = m.qos.ouis.insert(m.qos.ouis.end(), QosOui{oui, 2, om::kPermit, ""});
    }
    std::uint8_t fields = r[om::kFields];
    if (fields & 1) it->qos_class = r[om::kClasses];
    if (fields & 2) it->action = r[om::kActions];
    if (fields & 4) it->comment = get_name(r, om::kComments, om::kCommentSize);
    return 0;
}

std::int32_t oui_delete(Model& m, Record r) {
    auto it = oui_find(m, oui_of(r));
    if (it == m.qos.ouis.end()) return om::kBadOui;
    m.qos.ouis.erase(it);
    return 0;
}

std::int32_t oui_get(Model& m, Record r) {
    std::memset(r.data() + om::kOuis, 0, om::kSize - om::kOuis);
    for (std::size_t i = 0; i < m.qos.ouis.size() && i < om::kSlots; ++i) {
        const QosOui& o = m.qos.ouis[i];
        wire::store_h<std::uint32_t>(r.data() + om::kOuis + 4 * i, o.oui);
        r[om::kClasses + i] = o.qos_class;
        r[om::kActions + i] = o.action;
        put_name(r, om::kComments + i * om::kCommentSize, om::kCommentSize, o.comment);
    }
    return 0;
}

// ---- interface classes and SSID records

template <typename V, typename F>
auto find_by(V& v, F key, const std::string& name) {
    return std::find_if(v.begin(), v.end(), [&](const auto& e) { return key(e) == name; });
}

std::int32_t ifcls_set(Model& m, Record r) {
    std::string ifname = get_name(r, im::kIfName, im::kIfNameSize);
    if (ifname.empty() || r[im::kClass] > 7) return st::kNoEntry;
    auto it = find_by(
        m.qos.if_classes, [](const QosIfClass& c) { return c.ifname; }, ifname);
    if (it == m.qos.if_classes.end()) it = m.qos.if_classes.insert(it, QosIfClass{ifname, 0, 0});
    it->qos_class = r[im::kClass];
    it->kind = r[im::kKind];
    return 0;
}

std::int32_t ifcls_clear(Model& m, Record r) {
    auto it = find_by(
        m.qos.if_classes, [](const QosIfClass& c) { return c.ifname; },
        get_name(r, im::kIfName, im::kIfNameSize));
    if (it == m.qos.if_classes.end()) return st::kNoEntry;
    m.qos.if_classes.erase(it);
    return 0;
}

std::int32_t ifcls_get(Model& m, Record r) {
    if (get_name(r, im::kIfName, im::kIfNameSize).empty()) return qos_ifcls_list(m, r);
    auto it = find_by(
        m.qos.if_classes, [](const QosIfClass& c) { return c.ifname; },
        get_name(r, im::kIfName, im::kIfNameSize));
    if (it == m.qos.if_classes.end()) return st::kNoEntry;
    r[im::kClass] = it->qos_class;
    r[im::kKind] = it->kind;
    return 0;
}

auto ssid_find(Model& m, Record r) {
    return find_by(
        m.qos.ssids, [](const QosSsid& s) { return s.ssid; },
        get_name(r, sm::kSsid, sm::kNameSize));
}

std::int32_t ssid_set(Model& m, Record r) {
    std::string ssid = get_name(r, sm::kSsid, sm::kNameSize);
    if (ssid.empty()) return st::kNoEntry;
    auto it = ssid_find(m, r);
    if (it == m.qos.ssids.end()) it = m.qos.ssids.insert(it, QosSsid{ssid, "", "", 2});
    it->classifier = get_name(r, sm::kClassifier, sm::kNameSize);
    it->marker = get_name(r, sm::kMarker, sm::kNameSize);
    it->qos_class = r[sm::kClass];
    return 0;
}

std::int32_t ssid_delete(Model& m, Record r) {
    auto it = ssid_find(m, r);
    if (it == m.qos.ssids.end()) return st::kNoEntry;
    m.qos.ssids.erase(it);
    return 0;
}

std::int32_t ssid_get(Model& m, Record r) {
    // No SSID: the record at the index in the class byte, with its SSID.
    if (get_name(r, sm::kSsid, sm::kNameSize).empty()) {
        std::size_t i = r[sm::kClass];
        if (i >= m.qos.ssids.size()) return st::kNoEntry;
        put_name(r, sm::kSsid, sm::kNameSize, m.qos.ssids[i].ssid);
        put_name(r, sm::kClassifier, sm::kNameSize, m.qos.ssids[i].classifier);
        put_name(r, sm::kMarker, sm::kNameSize, m.qos.ssids[i].marker);
        r[sm::kClass] = m.qos.ssids[i].qos_class;
        return 0;
    }
    auto it = ssid_find(m, r);
    if (it == m.qos.ssids.end()) return st::kNoEntry;
    put_name(r, sm::kClassifier, sm::kNameSize, it->classifier);
    put_name(r, sm::kMarker, sm::kNameSize, it->marker);
    r[sm::kClass] = it->qos_class;
    return 0;
}

struct QosCode {
    std::uint16_t code;
    QosKernelFn fn;
};
constexpr QosCode kQosCodes[] = {
    {bm::kClsBind, cls_bind}, {bm::kClsUnbind, cls_unbind}, {bm::kClsGet, cls_bound},
    {bm::kMkrBind, mkr_bind}, {bm::kMkrUnbind, mkr_unbind}, {bm::kMkrGet, mkr_bound},
    {cm::kSet, cls_set},      {cm::kDelete, cls_delete},    {cm::kGet, cls_get},
    {mm::kSet, mkr_set},      {mm::kDelete, mkr_delete},    {mm::kGet, mkr_get},
    {om::kSet, oui_set},      {om::kDelete, oui_delete},    {om::kGet, oui_get},
    {im::kSet, ifcls_set},    {im::kClear, ifcls_clear},    {im::kGet, ifcls_get},
    {sm::kSet, ssid_set},     {sm::kDelete, ssid_delete},   {sm::kGet, ssid_get},
};

constexpr const char* kClsWords[] = {"8021p", "80211e",  "diffserv",           "interface/ssid",
                                     "mac",   "service", "interface/ssid-only"};

template <std::size_t N>
std::string methods(const std::array<bool, N>& on) {
    std::string s;
    for (std::size_t i = 0; i < N; ++i)
        if (on[i]) s += std::string(s.empty() ? "" : ",") + kClsWords[i];
    return s.empty() ? "-" : s;
}

}  // namespace

void qos_init(Model& m) {
    // Methods: 802.1p, 802.11e, DSCP, interface/SSID, OUI, service, interface/SSID only.
    m.qos.classifiers = {
        {"def-null-cls", {}},
        {"def-land-cls", {true, false, false, false, false, true, false}},
        {"def-ap-cls", {false, false, true, false, false, true, false}},
        {"def-mesh-cls", {false, true, false, false, false, false, false}},
    };
    m.qos.markers = {
        {"def-null-mkr", {}},
        {"def-land-mkr", {}},
        {"def-ap-mkr", {false, false, true}},
        {"def-mesh-mkr", {false, true, false}},
    };
    m.qos.cls_binds.clear();
    m.qos.mkr_binds.clear();
    m.qos.ouis.clear();
    m.qos.ssids.clear();
    m.qos.if_classes.clear();
    qos_map_init(m);
}

QosKernelFn qos_kernel_fn(std::uint16_t code) {
    for (const QosCode& c : kQosCodes)
        if (c.code == code) return c.fn;
    return qos_map_kernel_fn(code);
}

std::string qos_table_text(const Model& m) {
    std::string s;
    for (const QosClassifier& p : m.qos.classifiers)
        s += "classifier " + p.name + " " + methods(p.on) + "\n";
    for (const QosMarker& p : m.qos.markers) s += "marker " + p.name + " " + methods(p.on) + "\n";
    for (const QosBinding& b : m.qos.cls_binds)
        s += "classifier-binding " + b.ifname + " " + b.profile + " kind " +
             std::to_string(b.kind) + "\n";
    for (const QosBinding& b : m.qos.mkr_binds)
        s += "marker-binding " + b.ifname + " " + b.profile + " kind " + std::to_string(b.kind) +
             "\n";
    for (const QosIfClass& c : m.qos.if_classes)
        s += "interface-class " + c.ifname + " " + std::to_string(c.qos_class) + " kind " +
             std::to_string(c.kind) + "\n";
    for (const QosSsid& q : m.qos.ssids)
        s += "ssid " + q.ssid + " class " + std::to_string(q.qos_class) + " " + q.classifier + " " +
             q.marker + "\n";
    char oui[16];
    for (const QosOui& o : m.qos.ouis) {
        std::snprintf(oui, sizeof oui, "%02x:%02x:%02x", (o.oui >> 16) & 0xFF, (o.oui >> 8) & 0xFF,
                      o.oui & 0xFF);
        s += std::string("oui ") + oui + " class " + std::to_string(o.qos_class) + " action " +
             std::to_string(o.action) + " \"" + o.comment + "\"\n";
    }
    return s;
}

}  // namespace fem
