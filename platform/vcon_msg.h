// qz_vcon_msg_t: the 84-byte virtual connection rule message that fed passes
// to qz_dcd_fe_vcon_set_rule and qz_dcd_fe_vcon_unset_rule, host order.
// The FE keys its rules by name.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz_vcon_msg {
inline constexpr std::size_t kRuleName = 0;  // NUL-terminated
inline constexpr std::size_t kRuleNameSize = 36;
inline constexpr std::size_t kIifIndex = 36;       // u32, 0 while the interface is absent
inline constexpr std::size_t kSrcMac = 40;         // 6 bytes; an OUI uses the first 3
inline constexpr std::size_t kSrcOuiEnabled = 48;  // u32, 1: the source is an OUI
inline constexpr std::size_t kSrcIgnored = 52;     // u32, 1: any source matches
inline constexpr std::size_t kDstMac = 56;
inline constexpr std::size_t kPrehop = 62;    // transmit-side MAC
inline constexpr std::size_t kOifIndex = 68;  // u32, 0 for drop rules and while absent
inline constexpr std::size_t kNexthop = 72;   // receive-side MAC
inline constexpr std::size_t kFlag = 80;      // u32
inline constexpr std::size_t kSize = 84;
inline constexpr std::size_t kMacSize = 6;

// Flag bit of an unset request: remove every rule.
inline constexpr std::uint32_t kFlagAll = 0x1;
}  // namespace qz_vcon_msg
static_assert(qz_vcon_msg::kRuleName + qz_vcon_msg::kRuleNameSize == qz_vcon_msg::kIifIndex);
static_assert(qz_vcon_msg::kIifIndex + 4 == qz_vcon_msg::kSrcMac);
static_assert(qz_vcon_msg::kSrcMac + qz_vcon_msg::kMacSize + 2 == qz_vcon_msg::kSrcOuiEnabled);
static_assert(qz_vcon_msg::kSrcIgnored + 4 == qz_vcon_msg::kDstMac);
static_assert(qz_vcon_msg::kDstMac + qz_vcon_msg::kMacSize == qz_vcon_msg::kPrehop);
static_assert(qz_vcon_msg::kPrehop + qz_vcon_msg::kMacSize == qz_vcon_msg::kOifIndex);
static_assert(qz_vcon_msg::kNexthop + qz_vcon_msg::kMacSize + 2 == qz_vcon_msg::kFlag);
static_assert(qz_vcon_msg::kFlag + 4 == qz_vcon_msg::kSize);
