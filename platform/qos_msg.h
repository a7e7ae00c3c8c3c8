// Request records of the QoS profile and binding kernel codes. Host order;
// fed fills them, the FE's kernel side answers in place.
#pragma once

#include <cstddef>
#include <cstdint>

// Results every QoS profile and binding code shares.
namespace qz_qos_status {
inline constexpr std::int32_t kNoEntry = -100;  // no such profile / invalid interface
inline constexpr std::int32_t kFull = -101;     // table full / invalid profile name (bindings)
inline constexpr std::int32_t kInUse = -102;
}  // namespace qz_qos_status

// The classifier profile message (codes 20 set, 21 delete, 22 get). A request
// about one profile uses slot 0; a get with an empty name returns all.
namespace qz_qos_cls_msg {
inline constexpr std::size_t kStatus = 0;  // i32
inline constexpr std::size_t kName = 4;
inline constexpr std::size_t kNameSize = 34;
inline constexpr std::size_t kSlots = 24;
inline constexpr std::size_t kNames = 38;  // kSlots x 34
// One flag byte per slot for each method, in this order.
enum class Method : std::uint8_t { Dot1p, Wmm, Dscp, IfSsid, Oui, Service, IfSsidOnly };
inline constexpr std::size_t kMethods = 7;
inline constexpr std::size_t kFlags = 854;  // kMethods x kSlots
inline constexpr std::size_t flag_off(Method m, std::size_t slot) {
    return kFlags + static_cast<std::size_t>(m) * kSlots + slot;
}
inline constexpr std::size_t kSize = 1024;

inline constexpr std::uint16_t kSet = 20;
inline constexpr std::uint16_t kDelete = 21;
inline constexpr std::uint16_t kGet = 22;
}  // namespace qz_qos_cls_msg
static_assert(qz_qos_cls_msg::kNames + qz_qos_cls_msg::kSlots * qz_qos_cls_msg::kNameSize ==
              qz_qos_cls_msg::kFlags);
static_assert(qz_qos_cls_msg::flag_off(qz_qos_cls_msg::Method::IfSsidOnly, 0) == 998);
static_assert(qz_qos_cls_msg::kFlags + 7 * 24 + 2 == qz_qos_cls_msg::kSize);

// The marker profile message (codes 60 set, 61 delete, 62 get): the classifier
// layout with three methods.
namespace qz_qos_mkr_msg {
inline constexpr std::size_t kStatus = 0;
inline constexpr std::size_t kName = 4;
inline constexpr std::size_t kNameSize = 34;
inline constexpr std::size_t kSlots = 24;
inline constexpr std::size_t kNames = 38;
enum class Method : std::uint8_t { Dot1p, Wmm, Dscp };
inline constexpr std::size_t kMethods = 3;
inline constexpr std::size_t kFlags = 854;
inline constexpr std::size_t flag_off(Method m, std::size_t slot) {
    return kFlags + static_cast<std::size_t>(m) * kSlots + slot;
}
inline constexpr std::size_t kSize = 928;

inline constexpr std::uint16_t kSet = 60;
inline constexpr std::uint16_t kDelete = 61;
inline constexpr std::uint16_t kGet = 62;
}  // namespace qz_qos_mkr_msg
static_assert(qz_qos_mkr_msg::flag_off(qz_qos_mkr_msg::Method::Dscp, 0) == 902);
static_assert(qz_qos_mkr_msg::kFlags + 3 * 24 + 2 == qz_qos_mkr_msg::kSize);

// The interface binding message (codes 7 bind, 8 unbind, 9 get a classifier
// profile; 10, 11, 12 the same for a marker profile).
namespace qz_qos_bind_msg {
inline constexpr std::size_t kStatus = 0;  // i32
inline constexpr std::size_t kIfName = 4;  // internal name
inline constexpr std::size_t kIfNameSize = 24;
inline constexpr std::size_t kProfile = 28;  // 32 characters and a zero byte
inline constexpr std::size_t kProfileSize = 33;
inline constexpr std::size_t kKind = 63;  // u8
inline constexpr std::size_t kSize = 68;

inline constexpr std::uint8_t kKindEthernet = 17;
inline constexpr std::uint8_t kKindSubIf = 13;  // wireless sub-interface or SSID
inline constexpr std::uint8_t kKindRadio = 12;

inline constexpr std::uint16_t kClsBind = 7;
inline constexpr std::uint16_t kClsUnbind = 8;
inline constexpr std::uint16_t kClsGet = 9;
inline constexpr std::uint16_t kMkrBind = 10;
inline constexpr std::uint16_t kMkrUnbind = 11;
inline constexpr std::uint16_t kMkrGet = 12;
}  // namespace qz_qos_bind_msg
static_assert(qz_qos_bind_msg::kIfName + qz_qos_bind_msg::kIfNameSize == qz_qos_bind_msg::kProfile);
static_assert(qz_qos_bind_msg::kProfile + qz_qos_bind_msg::kProfileSize + 2 ==
              qz_qos_bind_msg::kKind);
static_assert(qz_qos_bind_msg::kKind + 5 == qz_qos_bind_msg::kSize);

// The MAC OUI classification message (codes 32 set, 33 delete, 34 get). One
// OUI uses slot 0; a get returns the whole table.
namespace qz_qos_oui_msg {
inline constexpr std::size_t kStatus = 0;  // i32
inline constexpr std::size_t kSlots = 50;
inline constexpr std::size_t kOuis = 4;        // kSlots x u32, the OUI in the low 24 bits
inline constexpr std::size_t kClasses = 208;   // kSlots x u8
inline constexpr std::size_t kActions = 258;   // kSlots x u8: bit 0 permit, 1 deny, 2 log
inline constexpr std::size_t kComments = 308;  // kSlots x 64
inline constexpr std::size_t kCommentSize = 64;
inline constexpr std::size_t kFields = 3508;  // u8: bit 0 class, bit 1 action, bit 2 comment
inline constexpr std::size_t kSize = 3512;
inline constexpr std::uint8_t kFieldAll = 7;
inline constexpr std::uint8_t kPermit = 1;
inline constexpr std::int32_t kBadOui = -100;
inline constexpr std::int32_t kFull = -101;

inline constexpr std::uint16_t kSet = 32;
inline constexpr std::uint16_t kDelete = 33;
inline constexpr std::uint16_t kGet = 34;
}  // namespace qz_qos_oui_msg
static_assert(qz_qos_oui_msg::kOuis + qz_qos_oui_msg::kSlots * 4 + 4 == qz_qos_oui_msg::kClasses);
static_assert(qz_qos_oui_msg::kClasses + qz_qos_oui_msg::kSlots == qz_qos_oui_msg::kActions);
static_assert(qz_qos_oui_msg::kActions + qz_qos_oui_msg::kSlots == qz_qos_oui_msg::kComments);
static_assert(qz_qos_oui_msg::kComments + qz_qos_oui_msg::kSlots * 64 == qz_qos_oui_msg::kFields);

// The interface class message (codes 35 set, 36 clear, 37 get).
namespace qz_qos_ifcls_msg {
inline constexpr std::size_t kStatus = 0;  // i32; -100 invalid interface
inline constexpr std::size_t kIfName = 4;  // internal name
inline constexpr std::size_t kIfNameSize = 24;
inline constexpr std::size_t kClass = 28;  // u8, 0-7
inline constexpr std::size_t kKind = 29;   // u8, as in qz_qos_bind_msg
inline constexpr std::size_t kSize = 1552;
inline constexpr std::uint8_t kDefaultClass = 2;

inline constexpr std::uint16_t kSet = 35;
inline constexpr std::uint16_t kClear = 36;
inline constexpr std::uint16_t kGet = 37;
}  // namespace qz_qos_ifcls_msg
static_assert(qz_qos_ifcls_msg::kIfName + qz_qos_ifcls_msg::kIfNameSize ==
              qz_qos_ifcls_msg::kClass);

// An SSID's QoS record (codes 135 set, 136 delete, 137 get): the class and
// profiles its sub-interfaces get when the SSID is attached to an interface.
// An empty profile stands for the AP default. A get without an SSID reads the
// record at the index held in the class byte, SSID included (-100 past the end).
namespace qz_qos_ssid_msg {
inline constexpr std::size_t kStatus = 0;  // i32; -100 no record
inline constexpr std::size_t kSsid = 4;
inline constexpr std::size_t kNameSize = 33;
inline constexpr std::size_t kClassifier = 37;
inline constexpr std::size_t kMarker = 70;
inline constexpr std::size_t kClass = 103;  // u8
inline constexpr std::size_t kSize = 104;

inline constexpr std::uint16_t kSet = 135;
inline constexpr std::uint16_t kDelete = 136;
inline constexpr std::uint16_t kGet = 137;
}  // namespace qz_qos_ssid_msg
static_assert(qz_qos_ssid_msg::kSsid + qz_qos_ssid_msg::kNameSize == qz_qos_ssid_msg::kClassifier);
static_assert(qz_qos_ssid_msg::kClassifier + qz_qos_ssid_msg::kNameSize ==
              qz_qos_ssid_msg::kMarker);
static_assert(qz_qos_ssid_msg::kMarker + qz_qos_ssid_msg::kNameSize == qz_qos_ssid_msg::kClass);
static_assert(qz_qos_ssid_msg::kClass + 1 == qz_qos_ssid_msg::kSize);

// The interface class message read with an empty interface name: every
// interface that has a class, in the order set.
namespace qz_qos_ifcls_list {
inline constexpr std::size_t kSlots = 32;
inline constexpr std::size_t kNames = 32;  // kSlots x qz_qos_ifcls_msg::kIfNameSize, internal names
inline constexpr std::size_t kClasses = 800;  // kSlots x u8
inline constexpr std::size_t kKinds = 832;    // kSlots x u8
}  // namespace qz_qos_ifcls_list
static_assert(qz_qos_ifcls_list::kNames +
                  qz_qos_ifcls_list::kSlots * qz_qos_ifcls_msg::kIfNameSize ==
              qz_qos_ifcls_list::kClasses);
static_assert(qz_qos_ifcls_list::kKinds + qz_qos_ifcls_list::kSlots <= qz_qos_ifcls_msg::kSize);
