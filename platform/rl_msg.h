// qz_rl_msg_t: the 44-byte request record of the interface rate-limit kernel
// codes, host order. fed fills it; the FE's kernel side carries it out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz_rl_msg {
inline constexpr std::size_t kResult = 0;       // i32, written by the kernel
inline constexpr std::size_t kIfName = 4;       // NUL-terminated
inline constexpr std::size_t kIfNameSize = 24;  // so at most 23 characters
inline constexpr std::size_t kMcastOn = 28;     // u8, 1 = limiting enabled
inline constexpr std::size_t kBcastOn = 29;     // u8
inline constexpr std::size_t kUcastOn = 30;     // u8
inline constexpr std::size_t kSelector = 31;    // u8, code 127: kSel* bits
inline constexpr std::size_t kMcastRate = 32;   // u32 kbit/s
inline constexpr std::size_t kBcastRate = 36;   // u32 kbit/s
inline constexpr std::size_t kUcastRate = 40;   // u32 kbit/s
inline constexpr std::size_t kSize = 44;
inline constexpr std::uint8_t kSelMcast = 1;
inline constexpr std::uint8_t kSelBcast = 2;
inline constexpr std::uint8_t kSelUcast = 4;

// Request codes.
inline constexpr std::uint16_t kEnable = 125;
inline constexpr std::uint16_t kDisable = 126;
inline constexpr std::uint16_t kSetRate = 127;
inline constexpr std::uint16_t kRead = 128;

// An interface is at its defaults when all six hold.
inline constexpr bool kDefBcastOn = true;
inline constexpr bool kDefMcastOn = true;
inline constexpr bool kDefUcastOn = false;
inline constexpr std::uint32_t kDefBcastRate = 10000;
inline constexpr std::uint32_t kDefMcastRate = 20000;
inline constexpr std::uint32_t kDefUcastRate = 1000000;
}  // namespace qz_rl_msg
static_assert(qz_rl_msg::kIfName + qz_rl_msg::kIfNameSize == qz_rl_msg::kMcastOn);
static_assert(qz_rl_msg::kSelector + 1 == qz_rl_msg::kMcastRate);
static_assert(qz_rl_msg::kUcastRate + 4 == qz_rl_msg::kSize);
