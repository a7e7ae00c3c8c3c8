// Airtime admission control data of the platform: each station's airtime
// (qz_get_sta_cac_airtime_list, qz_clear_sta_cac_airtime_list) and the
// airtime token bucket (qz_get_tb_list). Host order.
#pragma once

#include <cstddef>
#include <cstdint>

// One station's airtime record.
namespace qz_cac_sta {
inline constexpr std::size_t kMac = 0;  // 6 bytes
inline constexpr std::size_t kTx = 8;   // u32 ms
inline constexpr std::size_t kRx = 12;  // u32 ms
inline constexpr std::size_t kSize = 16;
inline constexpr std::uint32_t kMax = 64;
}  // namespace qz_cac_sta
static_assert(qz_cac_sta::kRx + 4 == qz_cac_sta::kSize);

// The token bucket: u32 words, airtime in ms per second.
namespace qz_cac_tb {
inline constexpr std::size_t kAvailable = 0;
inline constexpr std::size_t kGuaranteed = 4;
inline constexpr std::size_t kAllocated = 8;
inline constexpr std::size_t kAllocatedUsed = 12;
inline constexpr std::size_t kUsed = 16;
inline constexpr std::size_t kRoamReserved = 20;
inline constexpr std::size_t kShared = 24;
inline constexpr std::size_t kSharedUsed = 28;
inline constexpr std::size_t kSize = 32;
inline constexpr std::size_t kWords = kSize / 4;
}  // namespace qz_cac_tb
static_assert(qz_cac_tb::kSharedUsed + 4 == qz_cac_tb::kSize);
