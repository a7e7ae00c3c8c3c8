// Request records of the QoS priority maps: the class maps (codes 23-31), the
// marker maps (63-71) and the named marker maps (72-74). Host order; fed
// fills them, the FE's kernel side answers in place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A class map (priority/DSCP -> class) or a marker map (class -> marked
// value): status, the index (255 = all) and the values from offset 5. A
// request about one index uses the first value.
namespace qz_qos_map_msg {
inline constexpr std::size_t kStatus = 0;  // i32
inline constexpr std::size_t kIndex = 4;   // u8
inline constexpr std::size_t kValues = 5;  // kEntries (or kDscpEntries) x u8
inline constexpr std::uint8_t kAll = 255;
inline constexpr std::size_t kEntries = 8;
inline constexpr std::size_t kDscpEntries = 64;
inline constexpr std::size_t kSize = 16;
inline constexpr std::size_t kDscpSize = 72;

// Class maps: -100 the index is no priority / DSCP value.
inline constexpr std::int32_t kBadIndex = -100;
// Marker maps: -100 the index is no class, -101 the value is out of range.
inline constexpr std::int32_t kBadValue = -101;

enum class Map : std::uint8_t { Dot1p, Wmm, Dscp, MkrDot1p, MkrWmm, MkrDscp };
inline constexpr std::size_t kMaps = 6;

// Per map: its codes, how many entries it has, record size, largest value.
struct MapInfo {
    std::uint16_t set, reset, get;
    std::uint8_t entries;
    std::uint8_t size;
    std::uint8_t max_value;
};
inline constexpr MapInfo kInfo[kMaps] = {
    {23, 24, 25, kEntries, kSize, 7},         {26, 27, 28, kEntries, kSize, 7},
    {29, 30, 31, kDscpEntries, kDscpSize, 7}, {63, 64, 65, kEntries, kSize, 7},
    {66, 67, 68, kEntries, kSize, 7},         {69, 70, 71, kEntries, kSize, 63},
};
inline constexpr const MapInfo& info(Map m) {
    return kInfo[static_cast<std::size_t>(m)];
}

// The maps of a fresh access point.
inline constexpr std::array<std::uint8_t, kEntries> kDot1pDefault = {2, 0, 1, 3, 4, 5, 6, 7};
inline constexpr std::array<std::uint8_t, kEntries> kMkrDot1pDefault = {1, 2, 0, 3, 4, 5, 6, 7};
inline constexpr std::array<std::uint8_t, kEntries> kMkrDscpDefault = {8,  16, 0,  24,
                                                                       32, 40, 48, 56};
// The default of entry i of map m.
inline constexpr std::uint8_t default_of(Map m, std::size_t i) {
    switch (m) {
        case Map::Dot1p:
        case Map::Wmm:
            return kDot1pDefault[i];
        case Map::Dscp:
            return kDot1pDefault[i / 8];
        case Map::MkrDot1p:
        case Map::MkrWmm:
            return kMkrDot1pDefault[i];
        case Map::MkrDscp:
            return kMkrDscpDefault[i];
    }
    return 0;
}
}  // namespace qz_qos_map_msg
static_assert(qz_qos_map_msg::kValues + qz_qos_map_msg::kEntries + 3 == qz_qos_map_msg::kSize);
static_assert(qz_qos_map_msg::kValues + qz_qos_map_msg::kDscpEntries + 3 ==
              qz_qos_map_msg::kDscpSize);

// Named marker maps (codes 72 add an entry, 73 delete, 74 get): up to 16 maps
// of the 802.1p kind and 16 of the DSCP kind, each a value per class. An add
// without a class (255) makes the map with its kind's defaults; a delete
// without a class removes the map, with one puts that class back to the
// default. A get with a name returns that map in slot 0, with an empty name
// every map of the kind.
namespace qz_qos_nmap_msg {
inline constexpr std::size_t kStatus = 0;  // i32
inline constexpr std::size_t kKind = 4;    // u8
inline constexpr std::size_t kClass = 5;   // u8, 255 none
inline constexpr std::size_t kValue = 6;   // u8
inline constexpr std::size_t kName = 8;
inline constexpr std::size_t kNameSize = 34;
inline constexpr std::size_t kSlots = 16;
inline constexpr std::size_t kNames = 44;    // kSlots x kNameSize
inline constexpr std::size_t kValues = 588;  // kSlots x 8, one value per class
inline constexpr std::size_t kSize = 812;
inline constexpr std::uint8_t kNoClass = 255;

inline constexpr std::uint8_t kKindDot1p = 1;
inline constexpr std::uint8_t kKindDscp = 2;

inline constexpr std::int32_t kNoName = -100;    // no such map, or an empty name
inline constexpr std::int32_t kTooMany = -101;   // all maps of the kind are taken
inline constexpr std::int32_t kInUse = -102;     // a user profile marks with it
inline constexpr std::int32_t kBadValue = -103;  // class or value out of range

inline constexpr std::uint16_t kAdd = 72;
inline constexpr std::uint16_t kDelete = 73;
inline constexpr std::uint16_t kGet = 74;
}  // namespace qz_qos_nmap_msg
static_assert(qz_qos_nmap_msg::kName + qz_qos_nmap_msg::kNameSize + 2 == qz_qos_nmap_msg::kNames);
static_assert(qz_qos_nmap_msg::kNames + qz_qos_nmap_msg::kSlots * qz_qos_nmap_msg::kNameSize ==
              qz_qos_nmap_msg::kValues);
static_assert(qz_qos_nmap_msg::kValues + qz_qos_nmap_msg::kSlots * 8 <= qz_qos_nmap_msg::kSize);
