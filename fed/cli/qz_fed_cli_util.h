// Helpers the command handlers share: bounded reads of argument records and
// FE table entries, the record builder of the running configuration.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fed/cli/qz_fed_cli.h"
#include "platform/qz.h"
#include "platform/wire.h"

namespace fedcli {

// A record's fields by offset (argument records, FE table entries): a field
// that the record does not hold wholly reads as zeros, a name as empty.
class Fields : public wire::Fields {
   public:
    explicit Fields(std::span<const std::uint8_t> data) : wire::Fields(data) {}
    explicit Fields(wire::Fields f) : wire::Fields(f) {}

    // The 6-byte MAC at off, or six zeros.
    const std::uint8_t* mac(std::size_t off) const {
        static constexpr std::uint8_t kZero[6] = {};
        auto v = view(off, 6);
        return v.empty() ? kZero : v.data();
    }
    // The NUL-padded name of `width` bytes at off, cut at the record's end.
    std::string name(std::size_t off, std::size_t width) const {
        if (off >= size()) return {};
        auto v = view(off, std::min(width, size() - off));
        const char* p = reinterpret_cast<const char*>(v.data());
        return std::string(p, strnlen(p, v.size()));
    }
    Fields sub(std::size_t off, std::size_t n) const { return Fields(wire::Fields::sub(off, n)); }
};

// A word of the record; 0 past its end.
inline std::uint32_t word(qz_fed_args_t a, std::size_t off) {
    return Fields(a).h32(off);
}

inline bool bit(qz_fed_args_t a, unsigned b) {
    return (word(a, qz_fed_arg::kFlags) >> b) & 1u;
}

// A NUL-terminated name field of `width` bytes, cut at the record's end.
inline std::string name(qz_fed_args_t a, std::size_t off, std::size_t width) {
    return Fields(a).name(off, width);
}

// A 6-byte MAC of the record (zeros past its end).
inline void mac(qz_fed_args_t a, std::size_t off, std::uint8_t out[6]) {
    std::memcpy(out, Fields(a).mac(off), 6);
}

// The "no" form; any other command type counts as the plain form.
inline bool is_no(void* ctx) {
    return QZ_CMD_TYPE(ctx) == QZ_CMD_TYPE_NO;
}

// A running-configuration record of N bytes, built field by field. A field
// that would not fit leaves the record unchanged and marks it failed; a failed
// record is not added.
template <std::size_t N>
class CfgRecord {
   public:
    CfgRecord& flags(std::uint32_t v) { return put(qz_fed_arg::kFlags, v); }
    CfgRecord& put(std::size_t off, std::uint32_t v) {
        std::uint8_t w[4];
        wire::store_h<std::uint32_t>(w, v);
        return bytes(off, w, sizeof w);
    }
    // Copies at most width-1 characters, so the field stays NUL-terminated.
    CfgRecord& text(std::size_t off, std::size_t width, std::string_view s) {
        if (width == 0 || off + width > N) {
            ok_ = false;
            return *this;
        }
        return bytes(off, s.data(), std::min(s.size(), width - 1));
    }
    CfgRecord& bytes(std::size_t off, const void* p, std::size_t n) {
        wire::Span at(b_);
        at.seek(off);
        at.bytes(p, n);
        ok_ = ok_ && at.ok();
        return *this;
    }
    bool ok() const { return ok_; }
    std::span<const std::uint8_t> data() const { return b_; }
    void add(void* out, std::uint32_t cmd) const {
        if (ok_) qz_cli_agent_add_tlv(out, cmd, b_, static_cast<int>(N), 7);
    }

   private:
    std::uint8_t b_[N] = {};
    bool ok_ = true;
};

// A name as a command line writes it (quoted when it must be).
inline std::string user_str(std::string_view s) {
    std::string in(s);
    char buf[1024];
    if (qz_str_to_user_str(in.c_str(), buf, sizeof buf) < 0) return in;
    return buf;
}

// A running-configuration text line: the command id, the text and its NUL.
inline void add_text_line(void* out, std::uint32_t cmd, std::string_view text) {
    std::vector<std::uint8_t> rec(4 + text.size() + 1, 0);
    wire::store_h<std::uint32_t>(rec.data(), cmd);
    std::memcpy(rec.data() + 4, text.data(), text.size());
    qz_cli_agent_add_tlv_msg(out, rec.data(), static_cast<int>(rec.size()), 22);
}

}  // namespace fedcli
