// Helpers the FE settings and rate-limit handlers share: bounded reads of
// argument records, record writers for the running configuration.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "fed/cli/qz_fed_cli.h"
#include "platform/qz.h"
#include "platform/wire.h"

namespace fedcli {

// A word of the record; 0 past its end.
inline std::uint32_t word(qz_fed_args_t a, std::size_t off) {
    return off <= a.size() && a.size() - off >= 4 ? wire::load_h<std::uint32_t>(a.data() + off) : 0;
}

inline bool bit(qz_fed_args_t a, unsigned b) {
    return (word(a, qz_fed_arg::kFlags) >> b) & 1u;
}

// A NUL-terminated name field of `width` bytes, cut at the record's end.
inline std::string name(qz_fed_args_t a, std::size_t off, std::size_t width) {
    if (off >= a.size()) return {};
    std::size_t room = std::min(width, a.size() - off);
    const char* p = reinterpret_cast<const char*>(a.data() + off);
    return std::string(p, strnlen(p, room));
}

// A 6-byte MAC of the record (zeros past its end).
inline void mac(qz_fed_args_t a, std::size_t off, std::uint8_t out[6]) {
    std::memset(out, 0, 6);
    if (off <= a.size() && a.size() - off >= 6) std::memcpy(out, a.data() + off, 6);
}

// The "no" form; any other command type counts as the plain form.
inline bool is_no(void* ctx) {
    return QZ_CMD_TYPE(ctx) == QZ_CMD_TYPE_NO;
}

// A generated running-configuration record of N bytes.
template <std::size_t N>
struct CfgRecord {
    std::uint8_t b[N] = {};
    CfgRecord& flags(std::uint32_t v) { return put(qz_fed_arg::kFlags, v); }
    CfgRecord& put(std::size_t off, std::uint32_t v) {
        if (off + 4 <= N) wire::store_h<std::uint32_t>(b + off, v);
        return *this;
    }
    // Copies at most width-1 characters, so the field stays NUL-terminated.
    CfgRecord& text(std::size_t off, std::size_t width, const char* s) {
        if (off < N && width) {
            std::size_t n = std::min({std::strlen(s), width - 1, N - off - 1});
            std::memcpy(b + off, s, n);
        }
        return *this;
    }
    void add(void* out, std::uint32_t cmd) const {
        qz_cli_agent_add_tlv(out, cmd, b, static_cast<int>(N), 7);
    }
};

}  // namespace fedcli
