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

// Airtime admission control: the share of airtime kept for roaming calls.
// *available is what the FE can give, written also when it refuses the weight.
int fe_set_cac_roaming_weight(std::uint32_t weight, std::uint32_t* available, const char* text);

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

// ---- MAC and IP sessions (counts: fe_get_int_value read numbers 3 and 41).
inline constexpr std::uint32_t FE_SESSION_MAX = 8191;  // sessions of each kind the FE holds

// MAC session as the FE delivers it (252 bytes): words host order, MACs as
// they are on the wire; two flows (forward, reverse) follow the header.
namespace fe_mac_sess {
inline constexpr std::size_t kId = 0;
inline constexpr std::size_t kAgeout = 4;  // ms left before it ages out
inline constexpr std::size_t kUpSecs = 8;
inline constexpr std::size_t kFlags = 12;
inline constexpr std::size_t kUpid = 16;      // i32 user-profile id
inline constexpr std::size_t kInPolNum = 20;  // i32, 0 = no inbound policy
inline constexpr std::size_t kOutPolNum = 24;
inline constexpr std::size_t kInPolName = 28;
inline constexpr std::size_t kOutPolName = 52;
inline constexpr std::size_t kPolNameSize = 24;  // NUL-padded
inline constexpr std::size_t kCavc = 76;         // i32
inline constexpr std::size_t kFlow0 = 80;
inline constexpr std::size_t kFlowSize = 86;
inline constexpr std::size_t kFlow1 = kFlow0 + kFlowSize;
inline constexpr std::size_t kSize = 252;
// Offsets inside a flow.
inline constexpr std::size_t kFlFlags = 0;  // FE_FLOW_*
inline constexpr std::size_t kFlVector = 4;
inline constexpr std::size_t kFlTunnel = 8;
inline constexpr std::size_t kFlOutIf = 12;  // i32 interface index, -1 = none
inline constexpr std::size_t kFlZone = 16;   // 1 access, 2 backhaul
inline constexpr std::size_t kFlMetric = 20;
inline constexpr std::size_t kFlVlan = 24;
inline constexpr std::size_t kFlPackets = 28;
inline constexpr std::size_t kFlBytes = 32;
inline constexpr std::size_t kFlMember = 36;    // aggregate member: 1 = eth1, else eth0
inline constexpr std::size_t kFlCwpIf = 40;     // captive portal: station's interface index
inline constexpr std::size_t kFlCwpState = 44;  // captive portal: 0-4
inline constexpr std::size_t kFlSrcMac = 48;
inline constexpr std::size_t kFlDstMac = 54;
inline constexpr std::size_t kFlNhopMac = 60;
inline constexpr std::size_t kFlCwpMac = 66;
inline constexpr std::size_t kFlReserved = 72;  // up to the flow's end
}  // namespace fe_mac_sess
static_assert(fe_mac_sess::kInPolName + fe_mac_sess::kPolNameSize == fe_mac_sess::kOutPolName);
static_assert(fe_mac_sess::kOutPolName + fe_mac_sess::kPolNameSize == fe_mac_sess::kCavc);
static_assert(fe_mac_sess::kCavc + 4 == fe_mac_sess::kFlow0);
static_assert(fe_mac_sess::kFlow1 + fe_mac_sess::kFlowSize == fe_mac_sess::kSize);
static_assert(fe_mac_sess::kFlCwpMac + 6 == fe_mac_sess::kFlReserved &&
              fe_mac_sess::kFlReserved < fe_mac_sess::kFlowSize);

// Flow flags of both session kinds.
inline constexpr std::uint32_t FE_FLOW_ENCAP = 0x1;
inline constexpr std::uint32_t FE_FLOW_SELF = 0x2;
inline constexpr std::uint32_t FE_FLOW_CWP = 0x4;
inline constexpr std::uint32_t FE_FLOW_NOT_INSTALLED = 0x8;
inline constexpr std::uint32_t FE_FLOW_ROUTE_INVALID = 0x10;
inline constexpr std::uint32_t FE_FLOW_VLAN = 0x20;
inline constexpr std::uint32_t FE_FLOW_STA = 0x40;

// IP session as the FE delivers it (204 bytes): words host order, addresses
// in network order; two flows (forward, reverse) follow the header.
namespace fe_ip_sess {
inline constexpr std::size_t kId = 0;
inline constexpr std::size_t kAgeout = 4;  // ms left before it ages out
inline constexpr std::size_t kFlags = 8;
inline constexpr std::size_t kQos = 12;
inline constexpr std::size_t kL7Id = 16;
inline constexpr std::size_t kAlg = 20;  // 1 ftp .. 6 http, 0 none
inline constexpr std::size_t kUpSecs = 24;
inline constexpr std::size_t kParent = 28;  // parent IP session id, 0 = none
inline constexpr std::size_t kGateCnt = 32;
inline constexpr std::size_t kDataCnt = 36;
inline constexpr std::size_t kInPolNum = 40;  // i32
inline constexpr std::size_t kOutPolNum = 44;
inline constexpr std::size_t kInPolName = 48;
inline constexpr std::size_t kOutPolName = 72;
inline constexpr std::size_t kPolNameSize = 24;
inline constexpr std::size_t kFlow0 = 96;
inline constexpr std::size_t kFlowSize = 54;
inline constexpr std::size_t kFlow1 = kFlow0 + kFlowSize;
inline constexpr std::size_t kSize = 204;
// Offsets inside a flow.
inline constexpr std::size_t kFlSrcIp = 0;
inline constexpr std::size_t kFlDstIp = 4;
inline constexpr std::size_t kFlSrcPort = 8;  // u16 port number
inline constexpr std::size_t kFlDstPort = 10;
inline constexpr std::size_t kFlProto = 12;  // u8
inline constexpr std::size_t kFlFlags = 16;  // FE_FLOW_*
inline constexpr std::size_t kFlPackets = 20;
inline constexpr std::size_t kFlBytes = 24;
inline constexpr std::size_t kFlMacSess = 28;   // i32 parent MAC session id
inline constexpr std::size_t kFlReserved = 32;  // up to the flow's end
}  // namespace fe_ip_sess
static_assert(fe_ip_sess::kInPolName + fe_ip_sess::kPolNameSize == fe_ip_sess::kOutPolName);
static_assert(fe_ip_sess::kOutPolName + fe_ip_sess::kPolNameSize == fe_ip_sess::kFlow0);
static_assert(fe_ip_sess::kFlow1 + fe_ip_sess::kFlowSize == fe_ip_sess::kSize);
static_assert(fe_ip_sess::kFlMacSess + 4 == fe_ip_sess::kFlReserved);

// Reads up to *count sessions, from the index-th of those that pass the
// filters, into buf (*count records of the kSize above); *count becomes how
// many it read. A zero MAC, address, port or protocol, a filter of 0 (MAC:
// VLAN) or -1 (IP: ALG type) matches any. 0, or negative on failure.
int fe_get_mac_session_table(void* buf, std::uint32_t* count, std::uint32_t index,
                             const std::uint8_t* src_mac, const std::uint8_t* dst_mac,
                             std::uint16_t filter);
int fe_get_ip_session_table(void* buf, std::uint32_t* count, std::uint32_t index,
                            std::uint32_t src_ip, std::uint32_t dst_ip, std::uint16_t src_port,
                            std::uint16_t dst_port, std::uint8_t protocol, std::int32_t filter);
// One session by id into buf: 0, 1 when the FE has no session with that id,
// negative on failure.
int fe_get_one_mac_session(std::uint32_t id, void* buf);
int fe_get_one_ip_session(std::uint32_t id, void* buf);
// Removes sessions: 0, or negative when none matched (by id) or on failure;
// the by-params calls return how many they removed. IP addresses in network
// order; zero fields match any.
int fe_clr_mac_session_by_id(std::uint32_t id);
int fe_clr_mac_session_by_params(const std::uint8_t* src_mac, const std::uint8_t* dst_mac);
int fe_clr_ip_session_by_id(std::uint32_t id);
int fe_clr_ip_sess_by_params(std::uint32_t src_ip, std::uint16_t src_port, std::uint32_t dst_ip,
                             std::uint16_t dst_port, std::uint8_t protocol);

// ---- policies (count: fe_get_int_value read number 5).
// Entry as the FE delivers it (24 bytes): words host order.
namespace fe_policy {
inline constexpr std::size_t kMac = 0;
inline constexpr std::size_t kDirection = 6;  // u8: 1 inbound, else outbound
inline constexpr std::size_t kTunnel = 8;     // i32 tunnel id
inline constexpr std::size_t kPackets = 12;
inline constexpr std::size_t kCavc = 16;
inline constexpr std::size_t kSize = 24;  // 4 reserved bytes at 20
}  // namespace fe_policy
static_assert(fe_policy::kCavc + 4 + 4 == fe_policy::kSize);
// Reads up to *count policies into buf; *count becomes how many. 0, or negative.
int fe_get_policy_table(void* buf, std::uint32_t* count);

// ---- IP fragments: age-out time and the fragment control blocks (FCBs).
// The age-out time in seconds, or negative.
int fe_get_ip_frag_ageout_time();
int fe_set_ip_frag_ageout_time(std::uint32_t seconds);
// FCB as the FE delivers it (276 bytes): words host order, addresses network
// order, then up to kMaxFrags fragments (u32 start, u32 end offsets).
namespace fe_fcb {
inline constexpr std::size_t kSrcIp = 0;
inline constexpr std::size_t kDstIp = 4;
inline constexpr std::size_t kIpId = 8;    // u16
inline constexpr std::size_t kProto = 10;  // u8
inline constexpr std::size_t kFragCnt = 12;
inline constexpr std::size_t kHoleCnt = 16;
inline constexpr std::size_t kFrags = 20;
inline constexpr std::size_t kFragSize = 8;
inline constexpr std::size_t kFragStart = 0;
inline constexpr std::size_t kFragEnd = 4;
inline constexpr std::size_t kMaxFrags = 32;
inline constexpr std::size_t kSize = 276;
}  // namespace fe_fcb
static_assert(fe_fcb::kFrags + fe_fcb::kMaxFrags * fe_fcb::kFragSize == fe_fcb::kSize);
// 0 with the number of FCBs and of the fragments they hold, or negative.
int fe_get_ip_fcb_cnt(std::uint32_t* fcbs, std::uint32_t* frags);
// Reads up to *count FCBs, from the index-th on; *count becomes how many. 0, or negative.
int fe_get_ip_fcb_list(void* buf, std::uint32_t* count, std::uint32_t index);

// ---- unroam monitoring of a station: 0 with the state (a station the FE does
// not monitor has *monitored 0), or negative.
int fe_get_station_unroam_threshold(const std::uint8_t* mac, std::uint32_t* monitored,
                                    std::uint32_t* reached, std::uint32_t* duration,
                                    std::uint32_t* threshold, std::uint32_t* current);

// ---- the aggregate member interface that carries traffic from a source MAC:
// 0 with *ifindex (QZ_NO_MEMBER when none carries it), or negative.
inline constexpr std::uint32_t QZ_NO_MEMBER = 0xFFFFFFFFu;
int qz_get_member_ifindex_from_src_mac(const std::uint8_t* mac, std::uint32_t* ifindex);

// ---- tunnels (count: fe_get_int_value read number 6).
// Entry as the FE delivers it (44 bytes): words host order, addresses network order.
namespace fe_tunnel {
inline constexpr std::size_t kId = 0;      // u16
inline constexpr std::size_t kType = 2;    // u8: 0 GRE, else other
inline constexpr std::size_t kZone = 3;    // u8: 1 access, else backhaul
inline constexpr std::size_t kFlags = 4;   // FE_TUNNEL_*
inline constexpr std::size_t kPolicies = 8;
inline constexpr std::size_t kIdleMs = 12;  // i32, -1 = never received
inline constexpr std::size_t kSrcIp = 16;
inline constexpr std::size_t kDstIp = 20;
inline constexpr std::size_t kTxPkts = 24;
inline constexpr std::size_t kTxErr = 28;
inline constexpr std::size_t kRxPkts = 32;
inline constexpr std::size_t kRxErr = 36;
inline constexpr std::size_t kSize = 44;  // 4 reserved bytes at 40
}  // namespace fe_tunnel
static_assert(fe_tunnel::kRxErr + 4 + 4 == fe_tunnel::kSize);
inline constexpr std::uint32_t FE_TUNNEL_CLIENT = 0x1000;  // set up by this side
// Reads up to *count tunnels into buf; *count becomes how many. 0, or negative.
int fe_get_tunnel_table(void* buf, std::uint32_t* count);
// Zeroes every tunnel's packet and error counters. 0, or negative.
int fe_clear_tunnel_counters();

// ---- user-profile bindings and default actions, keyed by UPID (0-255)
// fe_fw_acl_binding_t (72 bytes): u32 UPID, from-access and to-access IP
// policy names (33 bytes each; empty: no binding in that direction).
namespace fe_fw_acl_binding {
inline constexpr std::size_t kUpid = 0;
inline constexpr std::size_t kFrom = 4;
inline constexpr std::size_t kTo = 37;
inline constexpr std::size_t kNameSize = 33;
inline constexpr std::size_t kSize = 72;
inline constexpr std::uint32_t kMax = 64;
}  // namespace fe_fw_acl_binding
static_assert(fe_fw_acl_binding::kTo + fe_fw_acl_binding::kNameSize + 2 ==
              fe_fw_acl_binding::kSize);
// fe_mac_acl_binding_t (76 bytes): u32 UPID, u32 protocol drop (bit 0 all
// IPv4, bit 1 all IPv6), from-access and to-access MAC policy names.
namespace fe_mac_acl_binding {
inline constexpr std::size_t kUpid = 0;
inline constexpr std::size_t kDrop = 4;
inline constexpr std::size_t kFrom = 8;
inline constexpr std::size_t kTo = 41;
inline constexpr std::size_t kNameSize = 33;
inline constexpr std::size_t kSize = 76;
inline constexpr std::uint32_t kMax = 64;
}  // namespace fe_mac_acl_binding
static_assert(fe_mac_acl_binding::kTo + fe_mac_acl_binding::kNameSize + 2 ==
              fe_mac_acl_binding::kSize);
inline constexpr std::uint32_t FE_ACL_ACTION_PERMIT = 1;
inline constexpr std::uint32_t FE_ACL_ACTION_DENY = 2;

// Binds the named IP policy groups to a UPID; a null name leaves that
// direction as it is.
int fe_fw_acl_grp_bind(std::uint32_t upid, const char* from, const char* to);
// Removes the from-access (from 1) and/or to-access (to 1) binding.
int fe_fw_acl_grp_unbind(std::uint32_t upid, std::uint32_t from, std::uint32_t to);
// Copies up to *count (in) bindings into `bindings`; *count (out) is how many.
int fe_fw_get_acl_grp_binding(void* bindings, std::uint32_t* count);
// Default action of traffic no bound rule matches (1-9; boot: 2 deny).
int fe_fw_acl_set_upid_def_action(std::uint32_t upid, std::uint32_t action);
int fe_fw_acl_get_upid_def_action(std::uint32_t upid, std::uint32_t* action);
// Drops all IPv4 (1) or all IPv6 (2) traffic of the UPID, or none (0).
int fe_up_deny_ipv4_or_v6(std::uint32_t upid, std::uint32_t kind);
int fe_mac_acl_get_acl_grp_binding(void* bindings, std::uint32_t* count);
int fe_mac_acl_get_upid_def_action(std::uint32_t upid, std::uint32_t* action);
