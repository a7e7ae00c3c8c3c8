// Event bodies apsim injects, and the text forms (MAC, hex, IPv4) of CTL
// arguments. Pure functions, tested alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

inline constexpr std::uint32_t kEvAlgInfo = 131;
inline constexpr std::uint32_t kEvAuthJoin = 259;
inline constexpr std::uint32_t kEvAuthLeave = 260;
inline constexpr std::uint32_t kEvSsidBind = 287;
inline constexpr std::uint32_t kEvSsidChange = 288;
inline constexpr std::uint32_t kEvPpskServer = 319;
inline constexpr std::uint32_t kKevIfChange = 17;

using Mac = std::array<std::uint8_t, 6>;

// Station join / leave (259, 260): 904 bytes, MAC at 8, "ignored" byte at 28.
inline constexpr std::size_t kStaSize = 904;
inline constexpr std::size_t kStaMacOff = 8;
inline constexpr std::size_t kStaIgnoredOff = 28;
static_assert(kStaMacOff + 6 <= kStaIgnoredOff && kStaIgnoredOff < kStaSize);
std::vector<std::uint8_t> sta_event(const Mac& mac, bool ignored);

// SSID binding (287): SSID at 0 (33 bytes), interface at 33, u32 flags at 52 (bit 0 bound).
inline constexpr std::size_t kSsidField = 33;
inline constexpr std::size_t kSsidBindSize = 56;
inline constexpr std::size_t kSsidBindIfOff = 33;
inline constexpr std::size_t kSsidBindFlagsOff = 52;
inline constexpr std::uint32_t kSsidBound = 0x1;
inline constexpr std::size_t kIfNameMax = 16;  // characters of an interface name field
static_assert(kSsidBindIfOff == kSsidField && kSsidBindIfOff + kIfNameMax + 1 <= kSsidBindFlagsOff);
static_assert(kSsidBindFlagsOff + 4 == kSsidBindSize);
std::vector<std::uint8_t> ssid_bind_event(std::string_view ssid, std::string_view ifname,
                                          bool bound);

// SSID change (288): SSID at 0, u32 flags at 36 (bit 1 removed).
inline constexpr std::size_t kSsidChangeSize = 40;
inline constexpr std::size_t kSsidChangeFlagsOff = 36;
inline constexpr std::uint32_t kSsidRemoved = 0x2;
static_assert(kSsidField <= kSsidChangeFlagsOff && kSsidChangeFlagsOff + 4 == kSsidChangeSize);
std::vector<std::uint8_t> ssid_remove_event(std::string_view ssid);

// Interface change (kernel event 17): u32 kind at 0, u32 ifindex at 4, name at 12.
inline constexpr std::size_t kIfChangeSize = 28;
inline constexpr std::size_t kIfChangeIndexOff = 4;
inline constexpr std::size_t kIfChangeNameOff = 12;
static_assert(kIfChangeNameOff + kIfNameMax == kIfChangeSize);
enum class IfChange : std::uint32_t { Up = 1, Down = 2, Rename = 6, GoingDown = 7 };
std::vector<std::uint8_t> if_change_event(IfChange kind, std::uint32_t ifindex,
                                          std::string_view name);

// PPSK server (319): a flags byte (bit 0: the server DHCP gave changed),
// three zero bytes, then the u32 address, network order.
inline constexpr std::size_t kPpskEventSize = 8;
inline constexpr std::size_t kPpskEventAddrOff = 4;
inline constexpr std::uint8_t kPpskChanged = 0x01;
std::vector<std::uint8_t> ppsk_server_event(std::uint32_t addr);

inline constexpr std::size_t kSsidMax = 32;

// "aa:bb:cc:dd:ee:ff" (or with '-').
bool parse_mac(std::string_view s, Mac& mac);
// Even number of hex digits; an empty string is an empty payload.
bool parse_hex(std::string_view s, std::vector<std::uint8_t>& out);
// Dotted quad into a network-order u32 (the bytes in address order).
bool parse_ipv4(std::string_view s, std::uint32_t& addr);
// Decimal u32 / i32 without sign tricks or trailing text.
bool parse_u32(std::string_view s, std::uint32_t& v);
bool parse_i32(std::string_view s, std::int32_t& v);
std::string to_hex(std::span<const std::uint8_t> bytes);

// Name of an event for apsim's displays.
const char* event_name(std::uint32_t kernel, std::uint32_t event);

}  // namespace sim
