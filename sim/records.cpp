#include "sim/records.h"

#include <charconv>
#include <cstring>

#include "platform/qz.h"
#include "platform/wire.h"

namespace sim {

namespace {

void put_name(std::vector<std::uint8_t>& v, std::size_t off, std::string_view s, std::size_t max) {
    std::memcpy(v.data() + off, s.data(), std::min(s.size(), max));
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct KernelEventName {
    std::uint32_t id;
    const char* name;
};
constexpr KernelEventName kKernelEvents[] = {
    {7, "KEVT_ALG_PKT"},
    {17, "KEVT_IF_CHG"},
};

}  // namespace

std::vector<std::uint8_t> sta_event(const Mac& mac, bool ignored) {
    std::vector<std::uint8_t> v(kStaSize, 0);
    std::memcpy(v.data() + kStaMacOff, mac.data(), mac.size());
    v[kStaIgnoredOff] = ignored ? 1 : 0;
    return v;
}

std::vector<std::uint8_t> ssid_bind_event(std::string_view ssid, std::string_view ifname,
                                          bool bound) {
    std::vector<std::uint8_t> v(kSsidBindSize, 0);
    put_name(v, 0, ssid, kSsidField - 1);
    put_name(v, kSsidBindIfOff, ifname, kIfNameMax);
    wire::store_h<std::uint32_t>(v.data() + kSsidBindFlagsOff, bound ? kSsidBound : 0);
    return v;
}

std::vector<std::uint8_t> ssid_remove_event(std::string_view ssid) {
    std::vector<std::uint8_t> v(kSsidChangeSize, 0);
    put_name(v, 0, ssid, kSsidField - 1);
    wire::store_h<std::uint32_t>(v.data() + kSsidChangeFlagsOff, kSsidRemoved);
    return v;
}

std::vector<std::uint8_t> if_change_event(IfChange kind, std::uint32_t ifindex,
                                          std::string_view name) {
    std::vector<std::uint8_t> v(kIfChangeSize, 0);
    wire::store_h<std::uint32_t>(v.data(), static_cast<std::uint32_t>(kind));
    wire::store_h<std::uint32_t>(v.data() + kIfChangeIndexOff, ifindex);
    // The name field has no room for a terminator at its full 16 characters.
    put_name(v, kIfChangeNameOff, name, kIfNameMax - 1);
    return v;
}

std::vector<std::uint8_t> ppsk_server_event(std::uint32_t addr) {
    std::vector<std::uint8_t> v(kPpskEventSize, 0);
    v[0] = kPpskChanged;
    wire::store_h<std::uint32_t>(v.data() + kPpskEventAddrOff, addr);
    return v;
}

bool parse_mac(std::string_view s, Mac& mac) {
    if (s.size() != 17) return false;
    for (std::size_t i = 0; i < 6; ++i) {
        int hi = hex_digit(s[3 * i]);
        int lo = hex_digit(s[3 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        if (i < 5 && s[3 * i + 2] != ':' && s[3 * i + 2] != '-') return false;
        mac[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return true;
}

bool parse_hex(std::string_view s, std::vector<std::uint8_t>& out) {
    out.clear();
    if (s.size() % 2 != 0) return false;
    out.reserve(s.size() / 2);
    for (std::size_t i = 0; i < s.size(); i += 2) {
        int hi = hex_digit(s[i]);
        int lo = hex_digit(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return true;
}

bool parse_u32(std::string_view s, std::uint32_t& v) {
    if (s.empty()) return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size();
}

bool parse_i32(std::string_view s, std::int32_t& v) {
    if (s.empty()) return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size();
}

bool parse_ipv4(std::string_view s, std::uint32_t& addr) {
    std::uint8_t b[4];
    for (int i = 0; i < 4; ++i) {
        std::size_t dot = i < 3 ? s.find('.') : s.size();
        if (dot == std::string_view::npos || dot == 0 || dot > 3) return false;
        std::uint32_t v = 0;
        if (!parse_u32(s.substr(0, dot), v) || v > 255) return false;
        b[i] = static_cast<std::uint8_t>(v);
        s.remove_prefix(i < 3 ? dot + 1 : dot);
    }
    std::memcpy(&addr, b, 4);
    return true;
}

std::string to_hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        s += kDigits[b >> 4];
        s += kDigits[b & 0xf];
    }
    return s;
}

const char* event_name(std::uint32_t kernel, std::uint32_t event) {
    if (kernel == 0) return qz_eventid_to_name(event);
    for (const KernelEventName& k : kKernelEvents)
        if (k.id == event) return k.name;
    return "n/a";
}

}  // namespace sim
