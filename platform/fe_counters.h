// FE control library: packet counters (per interface and per station, with
// the FE's totals), drop counters and data-collection counters, and the calls
// that clear them. Records are host order; the FE fills them, fed prints them.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- one entry of the counter list (180 bytes)
namespace fe_counter {
inline constexpr std::size_t kKind = 0;     // u32: kKindIf or kKindSta
inline constexpr std::size_t kIfindex = 4;  // i32, interface entries
inline constexpr std::size_t kMac = 8;      // 6 bytes, station entries; 2 pad bytes
inline constexpr std::size_t kMacSessions = 16;
inline constexpr std::size_t kIpSessions = 20;
// The FE's totals: packets per receive queue and per core. Every entry
// carries them; displays take them from the first.
inline constexpr std::size_t kQueue0 = 24;
inline constexpr std::size_t kQueue1 = 28;
inline constexpr std::size_t kCore0 = 32;
inline constexpr std::size_t kCore1 = 36;
inline constexpr std::size_t kDropped = 40;  // interface entries: dropped on the way in
inline constexpr std::size_t kIn = 44;       // kProtos u32 counters of received packets
inline constexpr std::size_t kOut = 104;     // kProtos u32 counters of sent packets
inline constexpr std::size_t kInBytes = 164;
inline constexpr std::size_t kOutBytes = 168;
inline constexpr std::size_t kSize = 180;  // 8 reserved bytes at 172

inline constexpr std::uint32_t kKindIf = 1;
inline constexpr std::uint32_t kKindSta = 2;

// The protocol counters of each direction, in this order.
enum class Proto : std::uint8_t {
    Llc,
    Arp,
    Ip,
    Icmp,
    Udp,
    Tcp,
    Gre,
    Esp,
    Http,
    Https,
    Ftp,
    Telnet,
    Dns,
    Dhcp,
    Ssh,
};
inline constexpr std::size_t kProtos = 15;
}  // namespace fe_counter
static_assert(fe_counter::kMac + 6 + 2 == fe_counter::kMacSessions);
static_assert(fe_counter::kIn + fe_counter::kProtos * 4 == fe_counter::kOut);
static_assert(fe_counter::kOut + fe_counter::kProtos * 4 == fe_counter::kInBytes);
static_assert(fe_counter::kOutBytes + 4 + 8 == fe_counter::kSize);
static_assert(static_cast<std::size_t>(fe_counter::Proto::Ssh) + 1 == fe_counter::kProtos);

// ---- drop counters: kCount u32, by reason. The reasons the FE model counts:
namespace fe_drop {
inline constexpr std::size_t kCount = 68;
inline constexpr std::size_t kShown = 52;  // shown without "all"
inline constexpr std::size_t kInvalidPackets = 0;
inline constexpr std::size_t kExceedMaxMacSessions = 12;
inline constexpr std::size_t kExceedMaxIpSessions = 14;
inline constexpr std::size_t kMemoryOverflow = 16;
}  // namespace fe_drop

// ---- data-collection counters (692 bytes)
// kRows rows of four u32 (from the station: packets, bytes; to the station:
// packets, bytes), then a u32 header whose upper 16 bits count the
// application entries that follow: a 16-byte NUL-padded name and four
// big-endian u32 in the row order.
namespace fe_dc {
enum class Row : std::uint8_t {
    Ipv4,
    Ipv6,
    Local,
    Internet,
    Udp,
    Tcp,
    Icmp,
    Gre,
    Esp,
    Igmp,
    Others
};
inline constexpr std::size_t kRows = 11;
inline constexpr std::size_t kRowSize = 16;
inline constexpr std::size_t kAppHeader = kRows * kRowSize;  // 176
inline constexpr std::size_t kApps = 180;
inline constexpr std::size_t kAppName = 0;
inline constexpr std::size_t kAppNameSize = 16;
inline constexpr std::size_t kAppCounters = 16;
inline constexpr std::size_t kAppSize = 32;
inline constexpr std::size_t kMaxApps = 16;
inline constexpr std::size_t kSize = kApps + kMaxApps * kAppSize;
}  // namespace fe_dc
static_assert(static_cast<std::size_t>(fe_dc::Row::Others) + 1 == fe_dc::kRows);
static_assert(fe_dc::kAppHeader + 4 == fe_dc::kApps);
static_assert(fe_dc::kAppCounters + 4 * 4 == fe_dc::kAppSize);
static_assert(fe_dc::kSize == 692);

// Entries in the counter list (interfaces and stations the FE counted), or negative.
int fe_get_counter_entry_cnt();
// Copies up to *count entries into buf; *count becomes how many. 0, or negative.
int fe_get_counter_list(void* buf, std::uint32_t* count);
// The counters of interface `ifname`: 0 with the entry, and *ifindex its
// index or -1 when there is no such interface (the entry untouched); negative
// on failure.
int fe_get_device_counter(const char* ifname, std::int32_t* ifindex, void* entry);
// The counters of a station: 0 with the entry, and *found 0, or -1 when the FE
// knows no such station; negative on failure.
int fe_get_station_counter(const std::uint8_t* mac, std::int32_t* found, void* entry);
// Copies fe_drop::kCount counters. 0, or negative.
int fe_get_drop_counters(std::uint32_t* counters);
// Fills an fe_dc::kSize record. 0, or negative.
int fe_get_dc_counters(void* rec);

// Clearing: 0, or negative. The per-interface and per-station calls set
// *status to -1 when the FE knows no such interface or station, else 0.
int fe_clear_all_counters();
int fe_clear_counters_per_dev(const char* ifname, std::int32_t* status);
int fe_clear_counters_per_station(const std::uint8_t* mac, std::int32_t* status);
int fe_clear_drop_counters();
int fe_clear_counters_all_stations();
int fe_clear_policy_counters();
int fe_clear_dc_counters();
