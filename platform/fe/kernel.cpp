// Kernel request codes of the simulated FE, dispatched by table. A code
// without a handler answers result -1, as a kernel without that feature does.
#include <algorithm>
#include <cstring>

#include "platform/fe/model.h"
#include "platform/kcodes.h"
#include "platform/rl_msg.h"
#include "platform/wire.h"

namespace fem {

namespace {

inline constexpr std::size_t kHeaderSize = 20;
inline constexpr std::int32_t kFail = -1;

// A handler reads and writes the record after its result word; it returns the result.
using KernelFn = std::int32_t (*)(Model& m, std::span<std::uint8_t> record);

std::int32_t notify_interval_read(Model& m, std::span<std::uint8_t> record) {
    wire::store_h<std::uint32_t>(record.data() + 4, m.notify_interval);
    return 0;
}

std::int32_t notify_interval_set(Model& m, std::span<std::uint8_t> record) {
    m.notify_interval = wire::load_h<std::uint32_t>(record.data() + 4);
    return 0;
}

// ---- interface rate limits: qz_rl_msg_t records

namespace rl = qz_rl_msg;

RateLimit* rl_target(Model& m, std::span<std::uint8_t> record) {
    const char* p = reinterpret_cast<const char*>(record.data() + rl::kIfName);
    std::string_view name(p, strnlen(p, rl::kIfNameSize));
    return rate_limit_of(m, name);
}

// 125 and 126: switch the types whose flag byte is 1.
std::int32_t rl_switch(Model& m, std::span<std::uint8_t> record, bool on) {
    RateLimit* r = rl_target(m, record);
    if (!r) return kFail;
    if (record[rl::kBcastOn] == 1) r->bcast_on = on;
    if (record[rl::kMcastOn] == 1) r->mcast_on = on;
    if (record[rl::kUcastOn] == 1) r->ucast_on = on;
    return 0;
}

std::int32_t rl_enable(Model& m, std::span<std::uint8_t> record) {
    return rl_switch(m, record, true);
}

std::int32_t rl_disable(Model& m, std::span<std::uint8_t> record) {
    return rl_switch(m, record, false);
}

std::int32_t rl_set_rate(Model& m, std::span<std::uint8_t> record) {
    RateLimit* r = rl_target(m, record);
    std::uint8_t sel = record[rl::kSelector];
    if (!r || sel == 0 || (sel & ~(rl::kSelMcast | rl::kSelBcast | rl::kSelUcast))) return kFail;
    if (sel & rl::kSelMcast) r->mcast_rate = wire::load_h<std::uint32_t>(&record[rl::kMcastRate]);
    if (sel & rl::kSelBcast) r->bcast_rate = wire::load_h<std::uint32_t>(&record[rl::kBcastRate]);
    if (sel & rl::kSelUcast) r->ucast_rate = wire::load_h<std::uint32_t>(&record[rl::kUcastRate]);
    return 0;
}

std::int32_t rl_read(Model& m, std::span<std::uint8_t> record) {
    RateLimit* r = rl_target(m, record);
    if (!r) return kFail;
    record[rl::kMcastOn] = r->mcast_on;
    record[rl::kBcastOn] = r->bcast_on;
    record[rl::kUcastOn] = r->ucast_on;
    wire::store_h<std::uint32_t>(&record[rl::kMcastRate], r->mcast_rate);
    wire::store_h<std::uint32_t>(&record[rl::kBcastRate], r->bcast_rate);
    wire::store_h<std::uint32_t>(&record[rl::kUcastRate], r->ucast_rate);
    return 0;
}

struct KernelCode {
    std::uint16_t code;
    std::uint16_t size;  // bytes the handler touches, result word included
    KernelFn fn;
};

constexpr KernelCode kCodes[] = {
    {rl::kEnable, rl::kSize, rl_enable},    {rl::kDisable, rl::kSize, rl_disable},
    {rl::kSetRate, rl::kSize, rl_set_rate}, {rl::kRead, rl::kSize, rl_read},
    {140, 8, notify_interval_read},         {141, 8, notify_interval_set},
};

const KernelCode* handler_of(std::uint16_t code) {
    auto it = std::find_if(std::begin(kCodes), std::end(kCodes),
                           [&](const KernelCode& k) { return k.code == code; });
    return it == std::end(kCodes) ? nullptr : it;
}

}  // namespace

bool kernel_code_known(std::uint16_t code) {
    return handler_of(code) != nullptr || service_kernel_fn(code) != nullptr ||
           up_kernel_fn(code) != nullptr || qos_kernel_fn(code) != nullptr ||
           qos_policy_kernel_fn(code) != nullptr;
}

RateLimit* rate_limit_of(Model& m, std::string_view ifname) {
    for (RateLimit& r : m.rate_limits)
        if (r.ifname == ifname) return &r;
    return nullptr;
}

bool rate_limit_at_defaults(const RateLimit& r) {
    return r.bcast_on == rl::kDefBcastOn && r.mcast_on == rl::kDefMcastOn &&
           r.ucast_on == rl::kDefUcastOn && r.bcast_rate == rl::kDefBcastRate &&
           r.mcast_rate == rl::kDefMcastRate && r.ucast_rate == rl::kDefUcastRate;
}

std::int32_t kernel_request(Model& m, Faults& f, std::uint16_t code,
                            std::span<const std::uint8_t> header, std::span<std::uint8_t> record,
                            std::span<const std::uint8_t> reply) {
    KernelRequest req{};
    req.code = code;
    if (header.size() >= kHeaderSize) {
        req.module = header[0];
        req.header_code = wire::load_h<std::uint16_t>(header.data() + 2);
        req.reply_size = wire::load_h<std::uint32_t>(header.data() + 12);
    }
    req.reply_zero = std::all_of(reply.begin(), reply.end(), [](std::uint8_t b) { return b == 0; });
    if (!req.reply_zero) ++m.reply_violations;
    req.record.assign(record.begin(), record.end());

    std::int32_t result = kFail;
    int rc = 0;
    const KernelCode* k = handler_of(code);
    SvcKernelFn svc = service_kernel_fn(code);
    UpKernelFn up = up_kernel_fn(code);
    QosKernelFn qos = qos_kernel_fn(code);
    QosPolicyKernelFn qpol = qos_policy_kernel_fn(code);
    if (fault_take(f, std::string("kcode:") + std::to_string(code), &rc)) {
        result = rc;
    } else if (k && record.size() >= std::max<std::size_t>(k->size, kcode_record_size(code))) {
        result = k->fn(m, record);
    } else if (svc && record.size() >= kcode_record_size(code)) {
        result = svc(m.alg, record);
    } else if (up && record.size() >= kcode_record_size(code)) {
        result = up(m, record);
    } else if (qos && record.size() >= kcode_record_size(code)) {
        result = qos(m, record);
    } else if (qpol && record.size() >= kcode_record_size(code)) {
        result = qpol(m, record);
    }
    // The result word is the record's first field; a record too short for it gets nothing.
    if (record.size() >= 4) wire::store_h<std::int32_t>(record.data(), result);
    req.result = result;
    m.requests.push_back(std::move(req));
    return result;
}

}  // namespace fem
