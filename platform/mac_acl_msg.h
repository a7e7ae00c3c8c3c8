// Records of the FE's MAC access-control groups, as fed hands them to the FE
// control library and the FE lists them back. Host order; MACs as 6 bytes.
// The per-UPID binding record is fe_mac_acl_binding in platform/fe.h.
#pragma once

#include <cstddef>
#include <cstdint>

// fe_mac_acl_rule_t: one rule as the group and rule calls take it.
namespace fe_mac_rule {
inline constexpr std::size_t kGroup = 0;  // 33-byte name, 3 bytes padding
inline constexpr std::size_t kNameSize = 33;
inline constexpr std::size_t kId = 36;       // u32
inline constexpr std::size_t kPos = 40;      // u8, kPos* below
inline constexpr std::size_t kRef = 44;      // u32 rule id the position refers to
inline constexpr std::size_t kFlags = 48;    // u16, fe_mac_flag
inline constexpr std::size_t kSrc = 50;      // 6 bytes
inline constexpr std::size_t kSrcMask = 56;  // u32 mask length in bytes
inline constexpr std::size_t kDst = 60;      // 6 bytes, 2 bytes padding
inline constexpr std::size_t kDstMask = 68;  // u32 mask length in bytes
inline constexpr std::size_t kAction = 72;   // u32 FE_MAC_ACTION_*
inline constexpr std::size_t kSize = 76;

inline constexpr std::uint8_t kPosNone = 0;
inline constexpr std::uint8_t kPosBefore = 1;
inline constexpr std::uint8_t kPosAfter = 2;
}  // namespace fe_mac_rule
static_assert(fe_mac_rule::kGroup + fe_mac_rule::kNameSize + 3 == fe_mac_rule::kId);
static_assert(fe_mac_rule::kId + 4 == fe_mac_rule::kPos &&
              fe_mac_rule::kPos + 4 == fe_mac_rule::kRef);
static_assert(fe_mac_rule::kRef + 4 == fe_mac_rule::kFlags &&
              fe_mac_rule::kFlags + 2 == fe_mac_rule::kSrc);
static_assert(fe_mac_rule::kSrc + 6 == fe_mac_rule::kSrcMask &&
              fe_mac_rule::kSrcMask + 4 == fe_mac_rule::kDst);
static_assert(fe_mac_rule::kDst + 6 + 2 == fe_mac_rule::kDstMask &&
              fe_mac_rule::kDstMask + 4 == fe_mac_rule::kAction);
static_assert(fe_mac_rule::kAction + 4 == fe_mac_rule::kSize);

// Flag word of a rule and of a listed entry.
namespace fe_mac_flag {
inline constexpr std::uint16_t kSrc = 0x004;
inline constexpr std::uint16_t kDst = 0x008;
inline constexpr std::uint16_t kAction = 0x010;
inline constexpr std::uint16_t kLog = 0x020;
inline constexpr std::uint16_t kLogDeny = 0x040;       // D
inline constexpr std::uint16_t kLogInitiate = 0x080;   // I
inline constexpr std::uint16_t kLogTerminate = 0x100;  // T
inline constexpr std::uint16_t kLogLetters = kLogDeny | kLogInitiate | kLogTerminate;
inline constexpr std::uint16_t kLogAll = kLog | kLogLetters;
}  // namespace fe_mac_flag

// fe_mac_acl_entry_t: one rule as fe_mac_acl_get_acl_grp_entries lists it.
namespace fe_mac_entry {
inline constexpr std::size_t kId = 0;        // u32
inline constexpr std::size_t kSrc = 4;       // 6 bytes, 2 bytes padding
inline constexpr std::size_t kSrcMask = 12;  // u32 bytes
inline constexpr std::size_t kDst = 16;      // 6 bytes, 2 bytes padding
inline constexpr std::size_t kDstMask = 24;  // u32 bytes
inline constexpr std::size_t kFlags = 28;    // u16, 2 bytes padding
inline constexpr std::size_t kAction = 32;   // u32
inline constexpr std::size_t kSize = 36;
inline constexpr std::uint32_t kListMax = 32;  // rules one group holds
}  // namespace fe_mac_entry
static_assert(fe_mac_entry::kSrc + 6 + 2 == fe_mac_entry::kSrcMask &&
              fe_mac_entry::kSrcMask + 4 == fe_mac_entry::kDst);
static_assert(fe_mac_entry::kDst + 6 + 2 == fe_mac_entry::kDstMask &&
              fe_mac_entry::kDstMask + 4 == fe_mac_entry::kFlags);
static_assert(fe_mac_entry::kFlags + 4 == fe_mac_entry::kAction &&
              fe_mac_entry::kAction + 4 == fe_mac_entry::kSize);

// One group name as fe_mac_acl_get_acl_grp_names lists it.
namespace fe_mac_grp {
inline constexpr std::size_t kSize = fe_mac_rule::kNameSize;
inline constexpr std::uint32_t kListMax = 32;  // groups the FE holds
}  // namespace fe_mac_grp

inline constexpr std::uint32_t FE_MAC_ACTION_PERMIT = 1;
inline constexpr std::uint32_t FE_MAC_ACTION_DENY = 2;

// fe_mac_acl_move: where the moved rule goes.
inline constexpr std::uint32_t FE_MAC_MOVE_BEFORE = 12;
inline constexpr std::uint32_t FE_MAC_MOVE_AFTER = 13;

// Results of the MAC calls besides 0 and -1.
inline constexpr int FE_MAC_NO_PROFILE = -4;
inline constexpr int FE_MAC_NO_RULE = -9;
inline constexpr int FE_MAC_NO_REF = -10;
inline constexpr int FE_MAC_NO_GROUP = -11;
inline constexpr int FE_MAC_TOO_MANY_GROUPS = -13;
inline constexpr int FE_MAC_TOO_MANY_RULES = -14;
inline constexpr int FE_MAC_BAD_MOVE = -15;
inline constexpr int FE_MAC_BAD_MASK = -19;

// fe_set_ipv6_ra_dhcpv6_guard: which switch.
inline constexpr std::uint32_t FE_GUARD_RA = 0;
inline constexpr std::uint32_t FE_GUARD_DHCPV6 = 1;
