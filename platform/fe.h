// Forwarding-engine control library: the fe_ calls through which fed reads and
// programs the FE. 0 or a non-negative count on success, negative on failure.
#pragma once

#include <cstddef>
#include <cstdint>

// Scalar FE parameters by number; set and read use separate numbers. The get
// calls write *value only on success.
int fe_set_boolean_value(std::uint32_t value, std::uint32_t id, const char* text);
int fe_set_int_value(std::uint32_t value, std::uint32_t id, const char* text);
int fe_get_boolean_value(std::uint32_t* value, std::uint32_t id, const char* text);
int fe_get_int_value(std::uint32_t* value, std::uint32_t id, const char* text);

// ---- virtual wire: two interfaces joined into one wire, with an optional MAC
// (6 bytes, nullptr = all zeros).
int fe_set_vwire_interfaces(std::uint32_t ifindex1, std::uint32_t ifindex2,
                            const std::uint8_t* mac);

// ---- tunnel multicast forwarding: one list whose meaning follows the mode
// (block list in allow-all mode, allow list in block-all mode).
// Entry: u32 address, u32 mask, both network order.
namespace fe_mcast {
inline constexpr std::size_t kAddr = 0;
inline constexpr std::size_t kMask = 4;
inline constexpr std::size_t kSize = 8;
}  // namespace fe_mcast
static_assert(fe_mcast::kMask + 4 == fe_mcast::kSize);
// *status: non-zero = block-all; *size: entries in the list.
int fe_get_tunnel_multicast_status_size(std::uint32_t* status, std::uint32_t* size);
// Adds (add 1) or removes (add 0) one entry; negative when the list is full or
// the entry to remove is not there.
int fe_set_tunnel_multicast_list(std::uint32_t add, std::uint32_t addr, std::uint32_t mask);
// Copies up to `max` entries into `entries`; the count, or negative.
int fe_get_tunnel_multicast_list(void* entries, std::uint32_t max);

// ---- ports of to-self traffic the FE lets through when it drops non-management traffic.
// Entry (36 bytes): u16 port, u8 protocol (17 UDP, else TCP), u8 direction
// (1 source, else destination), 32-byte NUL-padded note.
namespace fe_regport {
inline constexpr std::size_t kPort = 0;
inline constexpr std::size_t kProto = 2;
inline constexpr std::size_t kDirection = 3;
inline constexpr std::size_t kNote = 4;
inline constexpr std::size_t kNoteSize = 32;
inline constexpr std::size_t kSize = 36;
}  // namespace fe_regport
static_assert(fe_regport::kNote + fe_regport::kNoteSize == fe_regport::kSize);
// Copies up to `max` entries; the count, or negative.
int fe_get_registered_to_self_pkt_port(void* entries, std::uint32_t max);

// ---- FE filters: 52-byte records, host order, addresses in network order.
namespace fe_ff {
inline constexpr std::size_t kId = 0;         // u32 1-1023
inline constexpr std::size_t kFlags = 4;      // u16, kFlag* below
inline constexpr std::size_t kEthertype = 6;  // u16
inline constexpr std::size_t kSrcMac = 8;
inline constexpr std::size_t kDstMac = 14;
inline constexpr std::size_t kSrcIp = 20;
inline constexpr std::size_t kDstIp = 24;
inline constexpr std::size_t kProtocol = 28;  // u8
inline constexpr std::size_t kBidir = 29;     // u8, 1 = both directions
inline constexpr std::size_t kSrcPort = 30;   // u16
inline constexpr std::size_t kDstPort = 32;   // u16
inline constexpr std::size_t kReserved = 34;  // u16
inline constexpr std::size_t kInIf = 36;      // u32 interface index
inline constexpr std::size_t kOutIf = 40;     // u32 interface index
inline constexpr std::size_t kDhcpMac = 44;
inline constexpr std::size_t kSize = 52;  // 2 reserved bytes at 50
inline constexpr std::uint16_t kFlagId = 0x1;
inline constexpr std::uint16_t kFlagEthertype = 0x2;
inline constexpr std::uint16_t kFlagSrcMac = 0x4;
inline constexpr std::uint16_t kFlagDstMac = 0x8;
inline constexpr std::uint16_t kFlagSrcIp = 0x10;
inline constexpr std::uint16_t kFlagDstIp = 0x20;
inline constexpr std::uint16_t kFlagProtocol = 0x40;
inline constexpr std::uint16_t kFlagSrcPort = 0x80;
inline constexpr std::uint16_t kFlagDstPort = 0x100;
inline constexpr std::uint16_t kFlagInIf = 0x200;
inline constexpr std::uint16_t kFlagOutIf = 0x400;
inline constexpr std::uint16_t kFlagDhcpClient = 0x800;
inline constexpr std::uint32_t kIdMin = 1;
inline constexpr std::uint32_t kIdMax = 1023;
}  // namespace fe_ff
static_assert(fe_ff::kSrcMac + 6 == fe_ff::kDstMac && fe_ff::kDstMac + 6 == fe_ff::kSrcIp);
static_assert(fe_ff::kReserved + 2 == fe_ff::kInIf && fe_ff::kDhcpMac + 6 + 2 == fe_ff::kSize);
// Adds the filter, or replaces the one with the same id.
int fe_add_ff(const void* ff);
// 0, or non-zero when no filter has that id.
int fe_delete_ff(std::uint32_t id);
// 0 with the filter copied into ff, or negative when no filter has that id.
int fe_get_one_ff(std::uint32_t id, void* ff);
// Copies up to `max` filters in id order; the count, or negative.
int fe_get_ff_list(void* ffs, std::uint32_t max);
// Number of filters, or negative.
int fe_get_current_ff_cnt();

// ---- IP gates (IP gate count: fe_get_int_value read number 55).
// Entry as the FE delivers it (32 bytes): host order, except that addresses
// and ports keep their network byte order.
struct fe_ip_gate_t {
    std::uint32_t src_ip;  // network order; 0 = any
    std::uint32_t dst_ip;
    std::uint16_t src_port;  // network order; 0 = any
    std::uint16_t dst_port;
    std::uint8_t protocol;
    std::uint8_t alg_type;
    std::uint16_t flags;  // FE_IP_GATE_ANY_*
    std::uint32_t refcnt;
    std::uint32_t pid;     // FE id of the control session that opened the gate
    std::int32_t ageout;   // ms before the gate ages out unused
    std::uint32_t cookie;  // what the gate-open request returned
};
namespace fe_gate {
inline constexpr std::size_t kSrcIp = 0;
inline constexpr std::size_t kDstIp = 4;
inline constexpr std::size_t kSrcPort = 8;
inline constexpr std::size_t kDstPort = 10;
inline constexpr std::size_t kProtocol = 12;
inline constexpr std::size_t kAlgType = 13;
inline constexpr std::size_t kFlags = 14;
inline constexpr std::size_t kRefcnt = 16;
inline constexpr std::size_t kPid = 20;
inline constexpr std::size_t kAgeout = 24;
inline constexpr std::size_t kCookie = 28;
inline constexpr std::size_t kSize = 32;
}  // namespace fe_gate
static_assert(sizeof(fe_ip_gate_t) == fe_gate::kSize);
static_assert(offsetof(fe_ip_gate_t, dst_port) == fe_gate::kDstPort);
static_assert(offsetof(fe_ip_gate_t, flags) == fe_gate::kFlags);
static_assert(offsetof(fe_ip_gate_t, pid) == fe_gate::kPid);
static_assert(offsetof(fe_ip_gate_t, cookie) == fe_gate::kCookie);
inline constexpr std::uint16_t FE_IP_GATE_ANY_SRC_IP = 0x1;
inline constexpr std::uint16_t FE_IP_GATE_ANY_SRC_PORT = 0x2;
inline constexpr std::uint32_t FE_IP_GATE_MAX = 1024;  // gates the FE holds

// Copies up to *count gates, from the index-th on, into buf; *count becomes
// how many it copied. 0, or negative on failure.
int fe_get_ip_gate_table(fe_ip_gate_t* buf, std::uint32_t* count, std::uint32_t index);
