// Records of the FE's IP access-control groups, as fed hands them to the FE
// control library and the FE lists them back. Host order; addresses and masks
// in network order.
#pragma once

#include <cstddef>
#include <cstdint>

// fe_fw_acl_rule_t: one FE rule as fe_fw_acl_add takes it.
namespace fe_acl_rule {
inline constexpr std::size_t kGroup = 0;  // 33-byte name, 3 bytes padding
inline constexpr std::size_t kNameSize = 33;
inline constexpr std::size_t kId = 36;       // u32 fe_id
inline constexpr std::size_t kPos = 40;      // u8, kPos* below
inline constexpr std::size_t kFlags = 41;    // u8, kFlag* below
inline constexpr std::size_t kRef = 44;      // u32 fe_id the position refers to
inline constexpr std::size_t kSrc = 48;      // u32
inline constexpr std::size_t kSrcMask = 52;  // u32
inline constexpr std::size_t kDst = 56;      // u32
inline constexpr std::size_t kDstMask = 60;  // u32
inline constexpr std::size_t kService = 64;  // 33-byte name, 3 bytes padding
inline constexpr std::size_t kAction = 100;  // u32 action code
inline constexpr std::size_t kSize = 104;

inline constexpr std::uint8_t kPosAppend = 0;
inline constexpr std::uint8_t kPosBefore = 1;
inline constexpr std::uint8_t kPosAfter = 2;
}  // namespace fe_acl_rule
static_assert(fe_acl_rule::kGroup + fe_acl_rule::kNameSize + 3 == fe_acl_rule::kId);
static_assert(fe_acl_rule::kId + 4 == fe_acl_rule::kPos &&
              fe_acl_rule::kPos + 1 == fe_acl_rule::kFlags);
static_assert(fe_acl_rule::kFlags + 3 == fe_acl_rule::kRef &&
              fe_acl_rule::kRef + 4 == fe_acl_rule::kSrc);
static_assert(fe_acl_rule::kSrc + 16 == fe_acl_rule::kService);
static_assert(fe_acl_rule::kService + fe_acl_rule::kNameSize + 3 == fe_acl_rule::kAction);
static_assert(fe_acl_rule::kAction + 4 == fe_acl_rule::kSize);

// Flag byte of a rule and of a listed entry.
namespace fe_acl_flag {
inline constexpr std::uint8_t kSrc = 0x01;
inline constexpr std::uint8_t kDst = 0x02;
inline constexpr std::uint8_t kService = 0x04;
inline constexpr std::uint8_t kAction = 0x08;
inline constexpr std::uint8_t kLog = 0x10;
inline constexpr std::uint8_t kLogDeny = 0x20;       // D
inline constexpr std::uint8_t kLogInitiate = 0x40;   // I
inline constexpr std::uint8_t kLogTerminate = 0x80;  // T
inline constexpr std::uint8_t kLogAll = kLog | kLogDeny | kLogInitiate | kLogTerminate;
}  // namespace fe_acl_flag

// fe_fw_acl_entry_t: one FE rule as fe_fw_get_acl_grp_entries lists it.
namespace fe_acl_entry {
inline constexpr std::size_t kId = 0;
inline constexpr std::size_t kSrc = 4;
inline constexpr std::size_t kSrcMask = 8;
inline constexpr std::size_t kDst = 12;
inline constexpr std::size_t kDstMask = 16;
inline constexpr std::size_t kService = 20;  // 33 bytes
inline constexpr std::size_t kFlags = 53;    // u8
inline constexpr std::size_t kAction = 56;   // u32
inline constexpr std::size_t kSize = 60;
inline constexpr std::uint32_t kListMax = 1016;  // entries one listing asks for
}  // namespace fe_acl_entry
static_assert(fe_acl_entry::kDstMask + 4 == fe_acl_entry::kService);
static_assert(fe_acl_entry::kService + fe_acl_rule::kNameSize == fe_acl_entry::kFlags);
static_assert(fe_acl_entry::kFlags + 3 == fe_acl_entry::kAction);
static_assert(fe_acl_entry::kAction + 4 == fe_acl_entry::kSize);

// One group name as fe_fw_get_acl_grp_names lists it.
namespace fe_acl_grp {
inline constexpr std::size_t kName = 0;  // 33 bytes
inline constexpr std::size_t kFlags = 33;
inline constexpr std::size_t kSize = 34;
inline constexpr std::uint32_t kListMax = 64;      // names one listing asks for
inline constexpr std::uint8_t kFlagHidden = 0x01;  // not written to the running configuration
}  // namespace fe_acl_grp
static_assert(fe_acl_grp::kName + fe_acl_rule::kNameSize == fe_acl_grp::kFlags);
static_assert(fe_acl_grp::kFlags + 1 == fe_acl_grp::kSize);

// fe_fw_acl_move: where the moved rule goes.
inline constexpr std::uint32_t FE_ACL_MOVE_BEFORE = 12;
inline constexpr std::uint32_t FE_ACL_MOVE_AFTER = 13;

// Results of the ACL calls besides 0 and -1.
inline constexpr int FE_ACL_NO_GROUP = -11;
inline constexpr int FE_ACL_NO_RULE = -9;
inline constexpr int FE_ACL_GROUP_FULL = -14;
