// Scalar FE settings: one value per table row, reached by its set number or
// its read number, so a set is visible through the paired read.
#include <cstddef>

#include "platform/fe/model.h"

namespace fem {

namespace {

constexpr bool numbers_unique() {
    std::uint16_t all[2 * kSettingCount]{};
    std::size_t n = 0;
    for (const SettingDef& s : kSettings) {
        if (s.set != kNoId) all[n++] = s.set;
        if (s.read != kNoId) all[n++] = s.read;
    }
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (all[i] == all[j]) return false;
    return true;
}
static_assert(numbers_unique(), "an FE setting number appears in two rows");

enum class Via { Set, Read, Any };

// Row index of `id`, or kSettingCount.
std::size_t row_of(std::uint32_t id, Via via) {
    if (id == kNoId) return kSettingCount;
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        if (via != Via::Read && kSettings[i].set == id) return i;
        if (via != Via::Set && kSettings[i].read == id) return i;
    }
    return kSettingCount;
}

bool is_set_fn(proto::FeFn fn) {
    return fn == proto::FeFn::SetBoolean || fn == proto::FeFn::SetInt;
}

}  // namespace

void model_init(Model& m) {
    for (std::size_t i = 0; i < kSettingCount; ++i) m.values[i] = kSettings[i].boot;
    m.notify_interval = kNotifyIntervalBoot;
    m.fe_calls.clear();
    m.requests.clear();
    m.reply_violations = 0;
    m.ioctls.clear();
    tables_init(m);
    alg_boot(m.alg);
    sessions_init(m);
    ops_init(m);
    m.acl = AclState{};
    m.mac = MacAclState{};
    up_init(m);
    qos_init(m);
    counters_init(m);
    qos_policy_init(m);
}

const char* fe_fn_name(proto::FeFn fn) {
    switch (fn) {
        case proto::FeFn::SetBoolean:
            return "fe_set_boolean_value";
        case proto::FeFn::SetInt:
            return "fe_set_int_value";
        case proto::FeFn::GetBoolean:
            return "fe_get_boolean_value";
        case proto::FeFn::GetInt:
            return "fe_get_int_value";
        default:  // table calls name themselves
            break;
    }
    return "fe_unknown";
}

int fe_set(Model& m, Faults& f, proto::FeFn fn, std::uint32_t id, std::uint32_t value,
           std::string_view text) {
    int rc = 0;
    if (!is_set_fn(fn)) {
        rc = -1;
    } else if (!fault_take_id(f, fe_fn_name(fn), id, &rc)) {
        std::size_t row = row_of(id, Via::Set);
        if (row == kSettingCount) {
            rc = -1;
        } else {
            m.values[row] = fn == proto::FeFn::SetBoolean ? (value != 0) : value;
        }
    }
    m.fe_calls.push_back(FeCall{fn, id, value, std::string(text), rc, {}});
    return rc;
}

int fe_get(Model& m, Faults& f, proto::FeFn fn, std::uint32_t id, std::string_view text,
           std::uint32_t* value) {
    int rc = 0;
    std::uint32_t v = 0;
    if (is_set_fn(fn)) {
        rc = -1;
    } else if (!fault_take_id(f, fe_fn_name(fn), id, &rc)) {
        std::size_t row = row_of(id, Via::Read);
        if (row == kSettingCount) {
            rc = -1;
        } else {
            v = m.values[row];
            if (fn == proto::FeFn::GetBoolean) v = v != 0;
            if (value) *value = v;
        }
    }
    m.fe_calls.push_back(FeCall{fn, id, v, std::string(text), rc, {}});
    return rc;
}

bool setting_value(const Model& m, std::uint16_t id, std::uint32_t* value) {
    std::size_t row = row_of(id, Via::Any);
    if (row == kSettingCount) return false;
    if (value) *value = m.values[row];
    return true;
}

bool setting_force(Model& m, std::uint16_t id, std::uint32_t value) {
    std::size_t row = row_of(id, Via::Any);
    if (row == kSettingCount) return false;
    m.values[row] = value;
    return true;
}

}  // namespace fem
