// The FE's kernel side of the service table (codes 110-113), the ALG
// configuration table (130, 131) and the service classification table (38-40).
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "platform/fe/alg.h"
#include "platform/svc_msg.h"
#include "platform/wire.h"

namespace fem {

namespace {

namespace sm = qz_svc_msg;
namespace am = qz_alg_cfg_msg;
namespace cm = qz_svc_cls_msg;
using Record = std::span<std::uint8_t>;

inline constexpr std::int32_t kFail = -1;

std::string field_name(Record r, std::size_t off, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(r.data() + off);
    return std::string(p, strnlen(p, width));
}

void put_name(Record r, std::size_t off, std::size_t width, const std::string& name) {
    std::memset(r.data() + off, 0, width);
    std::memcpy(r.data() + off, name.data(), std::min(name.size(), width - 1));
}

template <typename T>
T load(Record r, std::size_t off) {
    return wire::load_h<T>(r.data() + off);
}
template <typename T>
void store(Record r, std::size_t off, T v) {
    wire::store_h<T>(r.data() + off, v);
}

// Service names are matched without regard to case, as the configuration is.
bool same_name(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

template <typename V>
auto find_named(V& v, const std::string& name) {
    return std::find_if(v.begin(), v.end(), [&](const auto& e) { return same_name(e.name, name); });
}

// ---- services

void service_out(Record r, std::size_t slot, const Service& s) {
    put_name(r, sm::kNames + slot * sm::kNameSize, sm::kNameSize, s.name);
    store<std::uint16_t>(r, sm::kPort + slot * 2, s.port);
    r[sm::kProtocol + slot] = s.protocol;
    store<std::uint16_t>(r, sm::kAppId + slot * 2, s.app_id);
    store<std::uint32_t>(r, sm::kTimeout + slot * 4, s.timeout);
    store<std::uint16_t>(r, sm::kAlgType + slot * 2, s.alg_type);
    r[sm::kAlgBind + slot] = s.alg_bind_flag;
    store<std::uint32_t>(r, sm::kIngress + slot * 4, s.ingress);
    store<std::uint32_t>(r, sm::kEgress + slot * 4, s.egress);
}

std::int32_t service_set(AlgState& a, Record r) {
    std::string name = field_name(r, sm::kName, sm::kNameSize);
    if (name.empty()) return sm::kNoSuchService;
    auto it = find_named(a.services, name);
    if (it == a.services.end()) {
        if (a.services.size() >= kMaxServices) return sm::kTableFull;
        a.services.push_back(Service{name, 0, 0, kNoAppId, 0, 0, 0, 0, 0});
        it = a.services.end() - 1;
    }
    it->protocol = r[sm::kProtocol];
    it->port = load<std::uint16_t>(r, sm::kPort);
    it->app_id = load<std::uint16_t>(r, sm::kAppId);
    it->timeout = load<std::uint32_t>(r, sm::kTimeout);
    it->alg_type = load<std::uint16_t>(r, sm::kAlgType);
    it->alg_bind_flag = r[sm::kAlgBind];
    return 0;
}

std::int32_t service_get(AlgState& a, Record r) {
    std::string name = field_name(r, sm::kName, sm::kNameSize);
    std::memset(r.data() + sm::kNames, 0, sm::kSize - sm::kNames);
    if (!name.empty()) {
        auto it = find_named(a.services, name);
        if (it == a.services.end()) return sm::kNoSuchService;
        service_out(r, 0, *it);
        return 0;
    }
    for (std::size_t i = 0; i < a.services.size() && i < sm::kSlots; ++i)
        service_out(r, i, a.services[i]);
    return 0;
}

std::int32_t service_delete(AlgState& a, Record r) {
    auto it = find_named(a.services, field_name(r, sm::kName, sm::kNameSize));
    if (it == a.services.end()) return sm::kNoSuchService;
    // The classification belongs to the service and goes with it.
    if (auto c = find_named(a.service_classes, it->name); c != a.service_classes.end())
        a.service_classes.erase(c);
    a.services.erase(it);
    return 0;
}

std::int32_t service_clear_stats(AlgState& a, Record r) {
    std::string name = field_name(r, sm::kName, sm::kNameSize);
    for (Service& s : a.services)
        if (name.empty() || same_name(s.name, name)) s.ingress = s.egress = 0;
    if (!name.empty() && find_named(a.services, name) == a.services.end())
        return sm::kNoSuchService;
    return 0;
}

// ---- ALG configuration

void alg_slot_out(Record r, std::size_t slot, const AlgSettings& s, std::uint16_t t) {
    store<std::uint16_t>(r, am::kEnabled + slot * 2, s.enabled[t] ? 1 : 0);
    store<std::uint32_t>(r, am::kInactive + slot * 4, s.inactive_timeout[t]);
    store<std::uint32_t>(r, am::kMaxDuration + slot * 4, s.max_duration[t]);
    r[am::kQos + slot] = s.qos_class[t];
}

std::int32_t alg_cfg_set(AlgState& a, Record r) {
    std::uint16_t t = load<std::uint16_t>(r, am::kType);
    if (t == 0 || t >= kAlgTypes) return kFail;
    std::uint8_t fields = r[am::kFields];
    AlgSettings& s = a.settings;
    if (fields & am::kFieldQos) s.qos_class[t] = r[am::kQos];
    if (fields & am::kFieldInactive) s.inactive_timeout[t] = load<std::uint32_t>(r, am::kInactive);
    if (fields & am::kFieldMaxDuration)
        s.max_duration[t] = load<std::uint32_t>(r, am::kMaxDuration);
    if (fields & am::kFieldEnabled) s.enabled[t] = load<std::uint16_t>(r, am::kEnabled) != 0;
    return 0;
}

std::int32_t alg_cfg_get(AlgState& a, Record r) {
    std::uint16_t t = load<std::uint16_t>(r, am::kType);
    if (t >= kAlgTypes) return kFail;
    if (t != 0) {
        alg_slot_out(r, 0, a.settings, t);
        return 0;
    }
    for (std::uint16_t i = 0; i < kAlgTypes; ++i) alg_slot_out(r, i, a.settings, i);
    return 0;
}

// ---- service classification

void class_out(Record r, std::size_t slot, const ServiceClass& c) {
    put_name(r, cm::kNames + slot * cm::kNameSize, cm::kNameSize, c.name);
    r[cm::kClass + slot] = c.qos_class;
    r[cm::kAction + slot] = c.action;
}

std::int32_t class_set(AlgState& a, Record r) {
    std::string name = field_name(r, cm::kName, cm::kNameSize);
    if (name.empty() || find_named(a.services, name) == a.services.end()) return cm::kNoEntry;
    std::uint8_t fields = r[cm::kFields];
    std::uint8_t action = r[cm::kAction];
    if ((fields & 2) && (action == 0 || (action & 3) == 3 || action > 7)) return cm::kBadAction;
    auto it = find_named(a.service_classes, name);
    if (it == a.service_classes.end()) {
        if (a.service_classes.size() >= kMaxServices) return kFail;
        a.service_classes.push_back(ServiceClass{name, 2, 1});
        it = a.service_classes.end() - 1;
    }
    if (fields & 1) it->qos_class = r[cm::kClass] & 7;
    if (fields & 2) it->action = action;
    return 0;
}

// Back to the boot classification: a predefined service's own class with
// permit; other services lose their entry.
std::int32_t class_unset(AlgState& a, Record r) {
    std::string name = field_name(r, cm::kName, cm::kNameSize);
    if (name.empty() || find_named(a.services, name) == a.services.end()) return cm::kNoEntry;
    auto it = find_named(a.service_classes, name);
    for (const ServiceDef& d : kPredefinedServices) {
        if (!same_name(d.name, name)) continue;
        if (it == a.service_classes.end()) {
            a.service_classes.push_back(ServiceClass{d.name, d.qos_class, 1});
        } else {
            it->qos_class = d.qos_class;
            it->action = 1;
        }
        return 0;
    }
    if (it != a.service_classes.end()) a.service_classes.erase(it);
    return 0;
}

std::int32_t class_get(AlgState& a, Record r) {
    std::string name = field_name(r, cm::kName, cm::kNameSize);
    std::memset(r.data() + cm::kNames, 0, cm::kFields - cm::kNames);
    if (!name.empty()) {
        auto it = find_named(a.service_classes, name);
        if (it == a.service_classes.end()) return cm::kNoEntry;
        class_out(r, 0, *it);
        return 0;
    }
    for (std::size_t i = 0; i < a.service_classes.size() && i < 100; ++i)
        class_out(r, i, a.service_classes[i]);
    return 0;
}

struct SvcCode {
    std::uint16_t code;
    SvcKernelFn fn;
};

constexpr SvcCode kSvcCodes[] = {
    {cm::kSet, class_set},
    {cm::kUnset, class_unset},
    {cm::kGet, class_get},
    {sm::kSet, service_set},
    {sm::kGet, service_get},
    {sm::kDelete, service_delete},
    {sm::kClearStats, service_clear_stats},
    {am::kSet, alg_cfg_set},
    {am::kGet, alg_cfg_get},
};

}  // namespace

void service_count_packet(AlgState& a, const FlowTuple& t) {
    auto on_port = [&](std::uint16_t port) -> Service* {
        for (Service& s : a.services)
            if (s.protocol == t.protocol && s.port == port && s.app_id == kNoAppId && port != 0)
                return &s;
        return nullptr;
    };
    if (Service* s = on_port(t.dst_port))
        ++s->ingress;
    else if (Service* s2 = on_port(t.src_port))
        ++s2->egress;
}

SvcKernelFn service_kernel_fn(std::uint16_t code) {
    for (const SvcCode& c : kSvcCodes)
        if (c.code == code) return c.fn;
    return nullptr;
}

}  // namespace fem
