// The FE service message as the service and ALG handlers use it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/svc_msg.h"
#include "platform/wire.h"

namespace fedsvc {

namespace sm = qz_svc_msg;

struct SvcMsg {
    std::vector<std::uint8_t> b = std::vector<std::uint8_t>(sm::kSize, 0);

    explicit SvcMsg(const std::string& name = {}) {
        std::memcpy(b.data() + sm::kName, name.data(), std::min(name.size(), sm::kNameSize - 1));
    }
    std::int32_t status() const { return wire::load_h<std::int32_t>(b.data()); }
    void set_status(std::int32_t s) { wire::store_h<std::int32_t>(b.data(), s); }
    std::string name(std::size_t i) const {
        const char* p = reinterpret_cast<const char*>(b.data() + sm::kNames + i * sm::kNameSize);
        return std::string(p, strnlen(p, sm::kNameSize));
    }
    void set_name(std::size_t i, const std::string& n) {
        std::uint8_t* p = b.data() + sm::kNames + i * sm::kNameSize;
        std::memset(p, 0, sm::kNameSize);
        std::memcpy(p, n.data(), std::min(n.size(), sm::kNameSize - 1));
    }
    // Entries up to the first empty name, at most 100.
    std::size_t count() const {
        std::size_t n = 0;
        while (n < sm::kSlots && b[sm::kNames + n * sm::kNameSize] != 0) ++n;
        return n;
    }
    std::uint16_t port(std::size_t i) const { return u16(sm::kPort + i * 2); }
    std::uint8_t protocol(std::size_t i) const { return b[sm::kProtocol + i]; }
    std::uint16_t app_id(std::size_t i) const { return u16(sm::kAppId + i * 2); }
    std::uint32_t timeout(std::size_t i) const { return u32(sm::kTimeout + i * 4); }
    std::uint16_t alg_type(std::size_t i) const { return u16(sm::kAlgType + i * 2); }
    std::uint8_t alg_bind(std::size_t i) const { return b[sm::kAlgBind + i]; }
    std::uint32_t ingress(std::size_t i) const { return u32(sm::kIngress + i * 4); }
    std::uint32_t egress(std::size_t i) const { return u32(sm::kEgress + i * 4); }

    void set_port(std::uint16_t v) { wire::store_h<std::uint16_t>(b.data() + sm::kPort, v); }
    void set_protocol(std::uint8_t v) { b[sm::kProtocol] = v; }
    void set_app_id(std::uint16_t v) { wire::store_h<std::uint16_t>(b.data() + sm::kAppId, v); }
    void set_timeout(std::uint32_t v) { wire::store_h<std::uint32_t>(b.data() + sm::kTimeout, v); }
    void set_alg_type(std::uint16_t v) { wire::store_h<std::uint16_t>(b.data() + sm::kAlgType, v); }
    void set_alg_bind(std::uint8_t v) { b[sm::kAlgBind] = v; }

    std::uint16_t u16(std::size_t off) const { return wire::load_h<std::uint16_t>(b.data() + off); }
    std::uint32_t u32(std::size_t off) const { return wire::load_h<std::uint32_t>(b.data() + off); }
};

}  // namespace fedsvc
