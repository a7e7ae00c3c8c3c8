// Request records of the service, ALG-configuration and service-classification
// kernel codes, and the configuration library's service record. Host order;
// fed fills them, the FE's kernel side and the configuration library answer.
#pragma once

#include <cstddef>
#include <cstdint>

// The FE service message (codes 110 set, 111 get, 112 delete, 113 clear
// statistics). A request about one service uses slot 0 of every array.
namespace qz_svc_msg {
inline constexpr std::size_t kStatus = 0;  // i32
inline constexpr std::size_t kName = 4;    // name operated on; empty = all
inline constexpr std::size_t kNameSize = 34;
inline constexpr std::size_t kSlots = 100;
inline constexpr std::size_t kNames = 38;       // kSlots x 34
inline constexpr std::size_t kPort = 3438;      // kSlots x u16
inline constexpr std::size_t kProtocol = 3638;  // kSlots x u8
inline constexpr std::size_t kAppId = 3738;     // kSlots x u16
inline constexpr std::size_t kTimeout = 3940;   // kSlots x u32 seconds
inline constexpr std::size_t kAlgType = 4340;   // kSlots x u16
inline constexpr std::size_t kAlgBind = 4540;   // kSlots x u8
inline constexpr std::size_t kIngress = 4640;   // kSlots x u32
inline constexpr std::size_t kEgress = 5040;    // kSlots x u32
inline constexpr std::size_t kSize = 5440;

inline constexpr std::int32_t kNoSuchService = -100;
inline constexpr std::int32_t kTableFull = -102;
inline constexpr std::int32_t kInUse = -103;  // set by fed itself
inline constexpr std::uint16_t kNoAppId = 65534;
inline constexpr std::uint32_t kForever = 86400;  // what the FE holds for timeout 0

inline constexpr std::uint16_t kSet = 110;
inline constexpr std::uint16_t kGet = 111;
inline constexpr std::uint16_t kDelete = 112;
inline constexpr std::uint16_t kClearStats = 113;
}  // namespace qz_svc_msg
static_assert(qz_svc_msg::kNames + qz_svc_msg::kSlots * qz_svc_msg::kNameSize == qz_svc_msg::kPort);
static_assert(qz_svc_msg::kPort + qz_svc_msg::kSlots * 2 == qz_svc_msg::kProtocol);
static_assert(qz_svc_msg::kProtocol + qz_svc_msg::kSlots == qz_svc_msg::kAppId);
static_assert(qz_svc_msg::kAppId + qz_svc_msg::kSlots * 2 + 2 == qz_svc_msg::kTimeout);
static_assert(qz_svc_msg::kTimeout + qz_svc_msg::kSlots * 4 == qz_svc_msg::kAlgType);
static_assert(qz_svc_msg::kAlgType + qz_svc_msg::kSlots * 2 == qz_svc_msg::kAlgBind);
static_assert(qz_svc_msg::kAlgBind + qz_svc_msg::kSlots == qz_svc_msg::kIngress);
static_assert(qz_svc_msg::kEgress + qz_svc_msg::kSlots * 4 == qz_svc_msg::kSize);

// The FE ALG configuration message (codes 130 set, 131 get). A request about
// one ALG uses slot 0; a get of all (type 0) returns slot t for ALG type t.
namespace qz_alg_cfg_msg {
inline constexpr std::size_t kStatus = 0;        // i32
inline constexpr std::size_t kType = 4;          // u16, 0 = all
inline constexpr std::size_t kEnabled = 20;      // 8 x u16
inline constexpr std::size_t kInactive = 36;     // 7 x u32 seconds
inline constexpr std::size_t kMaxDuration = 64;  // 7 x u32 minutes
inline constexpr std::size_t kQos = 92;          // 7 x u8
inline constexpr std::size_t kFields = 99;       // u8, which fields a set carries
inline constexpr std::size_t kSize = 100;
inline constexpr std::uint8_t kFieldQos = 1;
inline constexpr std::uint8_t kFieldInactive = 2;
inline constexpr std::uint8_t kFieldMaxDuration = 4;
inline constexpr std::uint8_t kFieldEnabled = 8;

inline constexpr std::uint16_t kSet = 130;
inline constexpr std::uint16_t kGet = 131;
}  // namespace qz_alg_cfg_msg
static_assert(qz_alg_cfg_msg::kEnabled + 8 * 2 == qz_alg_cfg_msg::kInactive);
static_assert(qz_alg_cfg_msg::kInactive + 7 * 4 == qz_alg_cfg_msg::kMaxDuration);
static_assert(qz_alg_cfg_msg::kMaxDuration + 7 * 4 == qz_alg_cfg_msg::kQos);
static_assert(qz_alg_cfg_msg::kQos + 7 == qz_alg_cfg_msg::kFields);
static_assert(qz_alg_cfg_msg::kFields + 1 == qz_alg_cfg_msg::kSize);

// The service classification message (codes 38 set, 39 unset, 40 get).
namespace qz_svc_cls_msg {
inline constexpr std::size_t kStatus = 0;  // i32
inline constexpr std::size_t kName = 4;    // 34 bytes
inline constexpr std::size_t kNameSize = 34;
inline constexpr std::size_t kNames = 38;     // 100 x 34
inline constexpr std::size_t kClass = 3438;   // 100 x u8
inline constexpr std::size_t kAction = 3538;  // 100 x u8: bit 0 permit, 1 deny, 2 log
inline constexpr std::size_t kFields = 3638;  // u8: bit 0 class, bit 1 action
inline constexpr std::size_t kSize = 3640;
inline constexpr std::int32_t kNoEntry = -100;
inline constexpr std::int32_t kBadAction = -101;

inline constexpr std::uint16_t kSet = 38;
inline constexpr std::uint16_t kUnset = 39;
inline constexpr std::uint16_t kGet = 40;
}  // namespace qz_svc_cls_msg
static_assert(qz_svc_cls_msg::kNames + 100 * 34 == qz_svc_cls_msg::kClass);
static_assert(qz_svc_cls_msg::kAction + 100 == qz_svc_cls_msg::kFields);

// qz_service_entry_db_t: the configuration library's 48-byte service record.
namespace qz_service_entry_db {
inline constexpr std::size_t kName = 0;  // 33 bytes
inline constexpr std::size_t kNameSize = 33;
inline constexpr std::size_t kProtocol = 33;  // u8
inline constexpr std::size_t kPort = 34;      // u16
inline constexpr std::size_t kAppId = 36;     // u16
inline constexpr std::size_t kTimeout = 40;   // u32, 0 for "never"
inline constexpr std::size_t kAction = 44;    // u8
inline constexpr std::size_t kClass = 45;     // u8
inline constexpr std::size_t kSize = 48;
inline constexpr std::size_t kMaxRecords = 100;
}  // namespace qz_service_entry_db
static_assert(qz_service_entry_db::kName + qz_service_entry_db::kNameSize ==
              qz_service_entry_db::kProtocol);
static_assert(qz_service_entry_db::kClass + 3 == qz_service_entry_db::kSize);
