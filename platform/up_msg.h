// User profiles: the whole-profile record of kernel codes 120-122, the airtime
// record of codes 138 and 139, the configuration library's profile entry and
// the bodies of the profile events. Host order; fed fills the requests, the
// FE's kernel side and the configuration library answer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "platform/wire.h"

// qz_fed_user_profile_t (14892 bytes). A request about one profile uses slot 0
// of every array; a get with an empty name, status -1 and both attribute
// areas 0xFF answers the list form: slot i for the i-th profile.
namespace qz_up_msg {
inline constexpr std::size_t kStatus = 0;  // i32
inline constexpr std::size_t kName = 4;    // 33 bytes, the profile operated on
inline constexpr std::size_t kNameSize = 33;
inline constexpr std::size_t kListNames = 38;  // list form: 64 x 34
inline constexpr std::size_t kListNameStride = 34;
inline constexpr std::size_t kVlan = 2214;        // u16 (list: 64 x u16)
inline constexpr std::size_t kGroupId = 2342;     // u8 (list: 64 x u8)
inline constexpr std::size_t kGroupSet = 2406;    // u8 (list only): group id given by a command
inline constexpr std::size_t kFilter = 2472;      // u32: 0 none, 1 IPv4, 2 IPv6
inline constexpr std::size_t kQosPolicy = 2728;   // 33 bytes (list: 64 x 34)
inline constexpr std::size_t kMarkerType = 4904;  // u32: 0 diffserv, else 802.1p (list: 64 x u32)
inline constexpr std::size_t kMarkerMap = 5160;   // 33 bytes (list: 64 x 33)
inline constexpr std::size_t kMobility = 7272;    // 33 bytes (list: 64 x 34)
inline constexpr std::size_t kTunnel = 9448;      // 33 bytes (list: 64 x 34)
inline constexpr std::size_t kAttrStart = 11624;  // 640 x u16, 0xFFFF unused (list: 10 per profile)
inline constexpr std::size_t kAttrEnd = 12904;    // 640 x u16
inline constexpr std::size_t kAttrArea = 1280;
inline constexpr std::size_t kSentinelOn = 14184;      // u32 (list: 64 x u8)
inline constexpr std::size_t kSentinelAction = 14248;  // u32 bits (list: 64 x u8)
inline constexpr std::size_t kBandwidth = 14312;       // u32 kbit/s (list: 64 x u32)
inline constexpr std::size_t kDenyAction = 14490;      // u8: 0 ban, else quarantine
inline constexpr std::size_t kThreshold = 14568;       // u32 bytes
inline constexpr std::size_t kL3Action = 14826;        // u8 (list: 64 x u8)
inline constexpr std::size_t kMask = 14890;            // u16 change mask of a set
inline constexpr std::size_t kSize = 14892;

inline constexpr std::size_t kListMax = 64;
inline constexpr std::size_t kListRanges = 10;  // ranges per profile in the list form
inline constexpr std::size_t kRangesMax = kAttrArea / 2;
inline constexpr std::uint16_t kNoAttr = 0xFFFF;

// Change mask bits.
inline constexpr std::uint16_t kMaskName = 0x0001;
inline constexpr std::uint16_t kMaskGroupId = 0x0002;
inline constexpr std::uint16_t kMaskQos = 0x0004;
inline constexpr std::uint16_t kMaskMobility = 0x0008;
inline constexpr std::uint16_t kMaskAttr = 0x0010;
inline constexpr std::uint16_t kMaskTunnel = 0x0020;
inline constexpr std::uint16_t kMaskAddRange = 0x0040;
inline constexpr std::uint16_t kMaskDelRange = 0x0080;
inline constexpr std::uint16_t kMaskSentinel = 0x0100;
inline constexpr std::uint16_t kMaskAction = 0x0200;
inline constexpr std::uint16_t kMaskBandwidth = 0x0400;
inline constexpr std::uint16_t kMaskThreshold = 0x0800;
inline constexpr std::uint16_t kMaskL3Action = 0x2000;
inline constexpr std::uint16_t kMaskMarker = 0x4000;

// Statuses.
inline constexpr std::int32_t kNoProfile = -100;
inline constexpr std::int32_t kBadId = -101;
inline constexpr std::int32_t kBadQos = -102;
inline constexpr std::int32_t kBadVlan = -103;
inline constexpr std::int32_t kTableFull = -104;
inline constexpr std::int32_t kRangesFull = -105;
inline constexpr std::int32_t kAttrInUse = -106;
inline constexpr std::int32_t kHasScheduler = -107;  // set by fed's delete

inline constexpr std::uint16_t kSentinelLog = 1;
inline constexpr std::uint16_t kSentinelBoost = 2;
inline constexpr std::uint32_t kDefBandwidth = 500;
inline constexpr const char* kDefaultProfile = "default-profile";
inline constexpr const char* kDefaultQos = "def-user-qos";

inline constexpr std::uint16_t kSet = 120;
inline constexpr std::uint16_t kGet = 121;
inline constexpr std::uint16_t kDelete = 122;

// List-form places of profile i.
inline constexpr std::size_t list_name(std::size_t i) {
    return kListNames + i * kListNameStride;
}
inline constexpr std::size_t list_vlan(std::size_t i) {
    return kVlan + 2 * i;
}
inline constexpr std::size_t list_qos(std::size_t i) {
    return kQosPolicy + 34 * i;
}
inline constexpr std::size_t list_marker_type(std::size_t i) {
    return kMarkerType + 4 * i;
}
inline constexpr std::size_t list_marker(std::size_t i) {
    return kMarkerMap + 33 * i;
}
inline constexpr std::size_t list_mobility(std::size_t i) {
    return kMobility + 34 * i;
}
inline constexpr std::size_t list_tunnel(std::size_t i) {
    return kTunnel + 34 * i;
}
inline constexpr std::size_t list_start(std::size_t i) {
    return kAttrStart + 20 * i;
}
inline constexpr std::size_t list_end(std::size_t i) {
    return kAttrEnd + 20 * i;
}
inline constexpr std::size_t list_bandwidth(std::size_t i) {
    return kBandwidth + 4 * i;
}
}  // namespace qz_up_msg
static_assert(qz_up_msg::list_name(qz_up_msg::kListMax) <= qz_up_msg::kVlan);
static_assert(qz_up_msg::list_vlan(qz_up_msg::kListMax) <= qz_up_msg::kGroupId);
static_assert(qz_up_msg::kGroupId + qz_up_msg::kListMax == qz_up_msg::kGroupSet);
static_assert(qz_up_msg::kGroupSet + qz_up_msg::kListMax <= qz_up_msg::kFilter);
static_assert(qz_up_msg::list_qos(qz_up_msg::kListMax) <= qz_up_msg::kMarkerType);
static_assert(qz_up_msg::list_marker_type(qz_up_msg::kListMax) <= qz_up_msg::kMarkerMap);
static_assert(qz_up_msg::list_marker(qz_up_msg::kListMax) <= qz_up_msg::kMobility);
static_assert(qz_up_msg::list_mobility(qz_up_msg::kListMax) <= qz_up_msg::kTunnel);
static_assert(qz_up_msg::list_tunnel(qz_up_msg::kListMax) <= qz_up_msg::kAttrStart);
static_assert(qz_up_msg::kAttrStart + qz_up_msg::kAttrArea == qz_up_msg::kAttrEnd);
static_assert(qz_up_msg::kAttrEnd + qz_up_msg::kAttrArea <= qz_up_msg::kSentinelOn);
static_assert(qz_up_msg::kSentinelOn + qz_up_msg::kListMax == qz_up_msg::kSentinelAction);
static_assert(qz_up_msg::kSentinelAction + qz_up_msg::kListMax == qz_up_msg::kBandwidth);
static_assert(qz_up_msg::list_bandwidth(qz_up_msg::kListMax) <= qz_up_msg::kThreshold);
static_assert(qz_up_msg::kThreshold + 4 <= qz_up_msg::kL3Action);
static_assert(qz_up_msg::kL3Action + qz_up_msg::kListMax == qz_up_msg::kMask);
static_assert(qz_up_msg::kMask + 2 == qz_up_msg::kSize);

// The airtime record of codes 138 (set) and 139 (get): 20 bytes.
namespace qz_up_airtime {
inline constexpr std::size_t kStatus = 0;      // i32
inline constexpr std::size_t kUpid = 4;        // u32
inline constexpr std::size_t kPercent = 8;     // u32
inline constexpr std::size_t kAvailable = 12;  // u32, written by the FE
inline constexpr std::size_t kShare = 16;      // u32 0/1
inline constexpr std::size_t kSize = 20;
inline constexpr std::uint16_t kSet = 138;
inline constexpr std::uint16_t kGet = 139;
inline constexpr std::uint32_t kWeightMax = 100;  // percent the FE hands out in all
}  // namespace qz_up_airtime
static_assert(qz_up_airtime::kShare + 4 == qz_up_airtime::kSize);

// The configuration library's profile entry (360 bytes).
namespace qz_dcd_up {
inline constexpr std::size_t kName = 0;  // 33 bytes
inline constexpr std::size_t kNameSize = 33;
inline constexpr std::size_t kGroupId = 36;   // u32
inline constexpr std::size_t kVlan = 40;      // u16
inline constexpr std::size_t kL3Action = 42;  // u8
inline constexpr std::size_t kStarts = 44;    // 10 x u16
inline constexpr std::size_t kEnds = 64;      // 10 x u16
inline constexpr std::size_t kRanges = 10;
inline constexpr std::size_t kSlots = 84;  // 8 x u16 scheduler slots
inline constexpr std::size_t kSlotCount = 8;
inline constexpr std::size_t kSchedule = 103;  // schedule name, 257 bytes
inline constexpr std::size_t kScheduleSize = 257;
inline constexpr std::size_t kSize = 360;
inline constexpr std::size_t kMaxEntries = 64;
}  // namespace qz_dcd_up
static_assert(qz_dcd_up::kName + qz_dcd_up::kNameSize <= qz_dcd_up::kGroupId);
static_assert(qz_dcd_up::kStarts + 2 * qz_dcd_up::kRanges == qz_dcd_up::kEnds);
static_assert(qz_dcd_up::kEnds + 2 * qz_dcd_up::kRanges == qz_dcd_up::kSlots);
static_assert(qz_dcd_up::kSlots + 2 * qz_dcd_up::kSlotCount <= qz_dcd_up::kSchedule);
static_assert(qz_dcd_up::kSchedule + qz_dcd_up::kScheduleSize == qz_dcd_up::kSize);

// Event bodies.
namespace qz_up_event {
inline constexpr std::uint32_t kVlanChg = 108;  // QZ_EVENT_USER_PROFILE_VLAN_CHG
inline constexpr std::uint32_t kDeleted = 404;
inline constexpr std::uint32_t kAttr = 405;
inline constexpr std::uint32_t kTunnel = 372;
inline constexpr std::uint32_t kL3Action = 200;
inline constexpr std::size_t kBodySize = 52;    // 108, 404, 405
inline constexpr std::size_t kTunnelSize = 33;  // 372: the name
inline constexpr std::size_t kName = 0;         // 33 bytes
inline constexpr std::size_t kGroupId = 34;     // 108: u16
inline constexpr std::size_t kVlan = 36;        // 108: u16
inline constexpr std::size_t kStart = 38;       // 405: u16
inline constexpr std::size_t kEnd = 40;         // 405: u16
inline constexpr std::size_t kByProfile = 44;   // 405: u32, 1 from the profile command
inline constexpr std::size_t kRemoved = 48;     // 405: u32, 1 = range removed
}  // namespace qz_up_event
static_assert(qz_up_event::kRemoved + 4 == qz_up_event::kBodySize);

// Reading and writing the fields of these records by offset.
namespace qz_up {

inline std::string get_name(std::span<const std::uint8_t> r, std::size_t off, std::size_t width) {
    if (off >= r.size()) return {};
    width = std::min(width, r.size() - off);
    const char* p = reinterpret_cast<const char*>(r.data() + off);
    return std::string(p, strnlen(p, width));
}

// Writes at most width-1 characters and NUL-fills the rest of the field.
inline void put_name(std::span<std::uint8_t> r, std::size_t off, std::size_t width,
                     std::string_view s) {
    if (off + width > r.size()) return;
    std::memset(r.data() + off, 0, width);
    std::memcpy(r.data() + off, s.data(), std::min(s.size(), width - 1));
}

template <typename T>
T get(std::span<const std::uint8_t> r, std::size_t off) {
    return off + sizeof(T) <= r.size() ? wire::load_h<T>(r.data() + off) : T{};
}

template <typename T>
void put(std::span<std::uint8_t> r, std::size_t off, T v) {
    if (off + sizeof(T) <= r.size()) wire::store_h<T>(r.data() + off, v);
}

// Both attribute areas unused (0xFFFF), as a cleared request carries them.
inline void clear_ranges(std::span<std::uint8_t> r) {
    if (r.size() < qz_up_msg::kAttrEnd + qz_up_msg::kAttrArea) return;
    std::memset(r.data() + qz_up_msg::kAttrStart, 0xFF, 2 * qz_up_msg::kAttrArea);
}

}  // namespace qz_up
