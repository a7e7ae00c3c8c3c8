// Request records of the QoS switches, QoS policies, VLAN QoS and the
// performance snapshot (kernel codes 1-6, 13-16, 90-95, 100-102). Host order;
// fed fills them, the FE's kernel side answers in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The global QoS record: codes 1 on, 3 off and 2 read use the QoS word; 13
// sets and 14 reads the airtime switch; 15 sets and 16 reads the rate
// preference weight.
namespace qz_qos_global_msg {
inline constexpr std::size_t kStatus = 0;   // i32
inline constexpr std::size_t kQos = 4;      // u16: 1 on, 0 off
inline constexpr std::size_t kAirtime = 6;  // u16: 1 on, 0 off
inline constexpr std::size_t kWeight = 8;   // u32: 0 none, 1 moderate, 2 high
inline constexpr std::size_t kSize = 12;

inline constexpr std::uint32_t kWeightHigh = 2;  // the booted weight

inline constexpr std::uint16_t kOn = 1;
inline constexpr std::uint16_t kGet = 2;
inline constexpr std::uint16_t kOff = 3;
inline constexpr std::uint16_t kAirtimeSet = 13;
inline constexpr std::uint16_t kAirtimeGet = 14;
inline constexpr std::uint16_t kWeightSet = 15;
inline constexpr std::uint16_t kWeightGet = 16;
}  // namespace qz_qos_global_msg
static_assert(qz_qos_global_msg::kWeight + 4 == qz_qos_global_msg::kSize);

// One QoS policy as the FE and fed's local copy hold it: 112 bytes.
namespace qz_qos_policy_entry {
inline constexpr std::size_t kName = 0;  // 32 characters and a zero byte
inline constexpr std::size_t kNameSize = 36;
inline constexpr std::size_t kUserRate = 36;  // u32 kbps
inline constexpr std::size_t kUpWeight = 40;  // u16
inline constexpr std::size_t kUpRate = 44;    // u32 kbps
inline constexpr std::size_t kClasses = 48;   // 8 x kClassSize
inline constexpr std::size_t kClassSize = 8;
// Within one class: mode u8 (1 strict, 0 weighted round robin), a pad byte,
// weight u16, rate limit u32 kbps.
inline constexpr std::size_t kMode = 0;
inline constexpr std::size_t kWeight = 2;
inline constexpr std::size_t kLimit = 4;
inline constexpr std::size_t kClassCount = 8;
inline constexpr std::size_t kSize = 112;

inline constexpr std::uint8_t kStrict = 1;
inline constexpr std::uint8_t kWrr = 0;
}  // namespace qz_qos_policy_entry
static_assert(qz_qos_policy_entry::kUpWeight + 4 == qz_qos_policy_entry::kUpRate);
static_assert(qz_qos_policy_entry::kClasses +
                  qz_qos_policy_entry::kClassCount * qz_qos_policy_entry::kClassSize ==
              qz_qos_policy_entry::kSize);

// The policy message (codes 4 set, 5 delete, 6 read). A set carries one
// policy at kEntry and updates the user fields when kFields says so, and the
// class kClass; a delete needs the name; a read fills the table.
namespace qz_qos_policy_msg {
inline constexpr std::size_t kStatus = 0;    // i32, see below
inline constexpr std::size_t kEntry = 4;     // qz_qos_policy_entry
inline constexpr std::size_t kClass = 116;   // u32: the class a set changes
inline constexpr std::size_t kFields = 120;  // u32: bit 0 user rate and weight, bit 1 up rate
inline constexpr std::size_t kTable = 124;   // kSlots x qz_qos_policy_entry (read)
inline constexpr std::size_t kSlots = 16;
inline constexpr std::size_t kSize = 1916;

inline constexpr std::uint32_t kFieldUser = 1;
inline constexpr std::uint32_t kFieldUpRate = 2;

inline constexpr std::int32_t kFull = -100;
inline constexpr std::int32_t kBadName = -101;
inline constexpr std::int32_t kBadClass = -102;
inline constexpr std::int32_t kInUse = -103;

inline constexpr std::uint16_t kSet = 4;
inline constexpr std::uint16_t kDelete = 5;
inline constexpr std::uint16_t kGet = 6;
}  // namespace qz_qos_policy_msg
static_assert(qz_qos_policy_msg::kEntry + qz_qos_policy_entry::kSize == qz_qos_policy_msg::kClass);
static_assert(qz_qos_policy_msg::kTable + qz_qos_policy_msg::kSlots * qz_qos_policy_entry::kSize ==
              qz_qos_policy_msg::kSize);

// Values of a new policy, which are those of "def-user-qos" too.
namespace qz_qos_policy_def {
inline constexpr std::uint32_t kUserRate = 1000000;  // the system maximum, kbps
inline constexpr std::uint16_t kUpWeight = 10;
inline constexpr std::uint32_t kUpRate = 1000000;
inline constexpr std::uint8_t kMode[8] = {0, 0, 0, 0, 0, 0, 1, 1};
inline constexpr std::uint16_t kWeight[8] = {10, 20, 30, 40, 50, 60, 0, 0};
inline constexpr std::uint32_t kLimit[8] = {1000000, 1000000, 1000000, 1000000,
                                            1000000, 1000000, 20000,   20000};
inline constexpr const char kName[] = "def-user-qos";

// A policy record (fed's local copy or the FE's) with the default values.
template <typename Policy>
Policy with_defaults(const std::string& name) {
    Policy p;
    p.name = name;
    p.user_rate = kUserRate;
    p.up_weight = kUpWeight;
    p.up_rate = kUpRate;
    for (std::size_t c = 0; c < qz_qos_policy_entry::kClassCount; ++c) {
        p.mode[c] = kMode[c];
        p.weight[c] = kWeight[c];
        p.limit[c] = kLimit[c];
    }
    return p;
}
}  // namespace qz_qos_policy_def

// The VLAN QoS message: codes 90 set, 91 reset, 92 read the default VLAN (1);
// 93 set, 94 delete, 95 read other VLANs. A read with VLAN id 0 fills the table.
namespace qz_qos_vlan_msg {
inline constexpr std::size_t kStatus = 0;   // i32; -100 no such VLAN, -103 in use
inline constexpr std::size_t kVlan = 4;     // u32
inline constexpr std::size_t kRate = 8;     // u32 kbps
inline constexpr std::size_t kWeight = 12;  // u32
inline constexpr std::size_t kCount = 16;   // u32 entries in the table (read)
inline constexpr std::size_t kTable = 20;   // kSlots x (vlan, rate, weight) u32
inline constexpr std::size_t kEntrySize = 12;
inline constexpr std::size_t kSlots = 64;
inline constexpr std::size_t kSize = 788;

inline constexpr std::uint32_t kDefaultVlan = 1;
inline constexpr std::uint32_t kDefRate = 1000000;
inline constexpr std::uint32_t kDefWeight = 10;
inline constexpr std::int32_t kNoEntry = -100;
inline constexpr std::int32_t kFull = -101;
inline constexpr std::int32_t kInUse = -103;

inline constexpr std::uint16_t kDefSet = 90;
inline constexpr std::uint16_t kDefReset = 91;
inline constexpr std::uint16_t kDefGet = 92;
inline constexpr std::uint16_t kSet = 93;
inline constexpr std::uint16_t kDelete = 94;
inline constexpr std::uint16_t kGet = 95;
}  // namespace qz_qos_vlan_msg
static_assert(qz_qos_vlan_msg::kTable + qz_qos_vlan_msg::kSlots * qz_qos_vlan_msg::kEntrySize ==
              qz_qos_vlan_msg::kSize);

// The performance snapshot switch: codes 100 on (with its interval), 101 off,
// 102 read.
namespace qz_qos_snap_msg {
inline constexpr std::size_t kStatus = 0;    // i32
inline constexpr std::size_t kInterval = 4;  // u32 seconds
inline constexpr std::size_t kOn = 8;        // u32 (read)
inline constexpr std::size_t kSize = 12;
inline constexpr std::uint32_t kDefInterval = 10;

inline constexpr std::uint16_t kSet = 100;
inline constexpr std::uint16_t kOff = 101;
inline constexpr std::uint16_t kGet = 102;
}  // namespace qz_qos_snap_msg
static_assert(qz_qos_snap_msg::kOn + 4 == qz_qos_snap_msg::kSize);

// A user's QoS counters per class: codes 106 (snapshot) and 103 (statistics)
// read them for one station MAC; 105 clears them for one station, or for all
// when the MAC is zero. -100: no such user.
namespace qz_qos_user_stats_msg {
inline constexpr std::size_t kStatus = 0;  // i32
inline constexpr std::size_t kMac = 4;     // 6 bytes
inline constexpr std::size_t kClasses = 12;
inline constexpr std::size_t kClassSize = 16;  // packets, bytes, drops, delay (us): u32 each
inline constexpr std::size_t kPackets = 0, kBytes = 4, kDrops = 8, kDelay = 12;
inline constexpr std::size_t kClassCount = 8;
inline constexpr std::size_t kSize = kClasses + kClassCount * kClassSize;
inline constexpr std::int32_t kNoUser = -100;

inline constexpr std::uint16_t kStats = 103;
inline constexpr std::uint16_t kClear = 105;
inline constexpr std::uint16_t kSnapshot = 106;
}  // namespace qz_qos_user_stats_msg
static_assert(qz_qos_user_stats_msg::kSize == 140);

// A VLAN's QoS snapshot (code 107). -100: no such VLAN.
namespace qz_qos_vlan_snap_msg {
inline constexpr std::size_t kStatus = 0;                                          // i32
inline constexpr std::size_t kVlan = 4;                                            // u32
inline constexpr std::size_t kDrops = 8, kPackets = 12, kBytes = 16, kDelay = 20;  // u32
inline constexpr std::size_t kSize = 24;
inline constexpr std::int32_t kNoVlan = -100;
inline constexpr std::uint16_t kGet = 107;
}  // namespace qz_qos_vlan_snap_msg
static_assert(qz_qos_vlan_snap_msg::kDelay + 4 == qz_qos_vlan_snap_msg::kSize);

// User-profile QoS statistics: code 123 (drops by stage), 124 (with the
// average delay). An empty name reads every profile; -100 no such profile.
namespace qz_qos_up_stats_msg {
inline constexpr std::size_t kStatus = 0;  // i32
inline constexpr std::size_t kName = 4;    // 32 characters and a zero byte
inline constexpr std::size_t kNameSize = 33;
inline constexpr std::size_t kCount = 40;  // u32
inline constexpr std::size_t kTable = 44;
inline constexpr std::size_t kSlots = 32;
// Entry: name, then packets, bytes, classifier, policer and scheduler drops,
// delay (us), u32 each.
inline constexpr std::size_t kEntryName = 0;
inline constexpr std::size_t kPackets = 36, kBytes = 40, kClsDrops = 44, kPlcDrops = 48,
                             kSchDrops = 52, kDelay = 56;
inline constexpr std::size_t kEntrySize = 60;
inline constexpr std::size_t kSize = kTable + kSlots * kEntrySize;
inline constexpr std::int32_t kNoProfile = -100;

inline constexpr std::uint16_t kDrops = 123;
inline constexpr std::uint16_t kDelays = 124;
}  // namespace qz_qos_up_stats_msg
static_assert(qz_qos_up_stats_msg::kName + qz_qos_up_stats_msg::kNameSize + 3 ==
              qz_qos_up_stats_msg::kCount);
static_assert(qz_qos_up_stats_msg::kDelay + 4 == qz_qos_up_stats_msg::kEntrySize);

// Airtime admission control through the FE control library: the value ids of
// fe_set_/fe_get_ calls and the booted values.
namespace qz_qos_cac {
inline constexpr std::uint32_t kSetStatus = 90;
inline constexpr std::uint32_t kGetStatus = 91;
inline constexpr std::uint32_t kGetRoamWeight = 98;
inline constexpr std::uint32_t kSetMaxAirtime = 99;
inline constexpr std::uint32_t kGetMaxAirtime = 100;
inline constexpr std::uint32_t kDefMaxAirtime = 500;
inline constexpr std::uint32_t kDefRoamWeight = 20;
// What the FE can give roaming calls in all.
inline constexpr std::uint32_t kRoamPool = 100;
}  // namespace qz_qos_cac
