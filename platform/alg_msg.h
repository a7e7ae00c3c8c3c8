// The ALG side of the seam between fed and the FE: the packet record the FE
// raises to fed as kernel event 7, and the /dev/fe requests fed sends back
// (gate open and delete, the SIP call-admission and DNS messages). fed's ALG
// framework writes and reads them, and so does the FE model behind apsim,
// both from the offsets here.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- ALG types: the packet record's alg_type, the handler slot + 1, and the
// ---- type written into a gate-open request.
inline constexpr std::uint16_t QZ_ALG_TYPE_FTP = 1;
inline constexpr std::uint16_t QZ_ALG_TYPE_TFTP = 2;
inline constexpr std::uint16_t QZ_ALG_TYPE_SIP = 3;
inline constexpr std::uint16_t QZ_ALG_TYPE_DNS = 4;
inline constexpr std::uint16_t QZ_ALG_TYPE_MAX = 6;      // 5 dhcp and 6 http have no gateway
inline constexpr std::uint16_t QZ_ALG_TYPE_REG_MAX = 4;  // types a gateway may register

// ---- qz_alg_pkt_t: the body of kernel event QZ_KEVENT_FE_ALG_PKT, big-endian
// ---- on the wire: a 50-byte header, then pkt_length payload bytes.
inline constexpr std::uint32_t QZ_KEVENT_FE_ALG_PKT = 7;
namespace qz_alg_pkt_off {
inline constexpr std::size_t alg_type = 0;      // u16
inline constexpr std::size_t pkt_type = 2;      // u8
inline constexpr std::size_t src_mac = 3;       // 6 bytes
inline constexpr std::size_t dst_mac = 9;       // 6 bytes
inline constexpr std::size_t protocol = 15;     // u8
inline constexpr std::size_t src_ip = 16;       // u32
inline constexpr std::size_t dst_ip = 20;       // u32
inline constexpr std::size_t src_port = 24;     // u16
inline constexpr std::size_t dst_port = 26;     // u16
inline constexpr std::size_t out_ifindex = 28;  // u32
inline constexpr std::size_t in_ifindex = 32;   // u32
inline constexpr std::size_t ctrl_id = 36;      // u32
inline constexpr std::size_t ctrl_cookie = 40;  // u32
inline constexpr std::size_t ctrl_tag = 44;     // u32
inline constexpr std::size_t pkt_length = 48;   // u16
inline constexpr std::size_t data = 50;         // pkt_length bytes
}  // namespace qz_alg_pkt_off
inline constexpr std::size_t QZ_ALG_PKT_HDR_SIZE = qz_alg_pkt_off::data;
inline constexpr std::size_t QZ_ALG_PKT_MAX_SIZE = 2052;  // whole event
inline constexpr std::size_t QZ_ALG_PKT_MAX_PAYLOAD = QZ_ALG_PKT_MAX_SIZE - QZ_ALG_PKT_HDR_SIZE;

// Each field follows the one before it, so reading them in order walks the record.
namespace qz_alg_pkt_chain {
namespace o = qz_alg_pkt_off;
static_assert(o::pkt_type == o::alg_type + 2 && o::src_mac == o::pkt_type + 1 &&
              o::dst_mac == o::src_mac + 6 && o::protocol == o::dst_mac + 6 &&
              o::src_ip == o::protocol + 1 && o::dst_ip == o::src_ip + 4 &&
              o::src_port == o::dst_ip + 4 && o::dst_port == o::src_port + 2 &&
              o::out_ifindex == o::dst_port + 2 && o::in_ifindex == o::out_ifindex + 4 &&
              o::ctrl_id == o::in_ifindex + 4 && o::ctrl_cookie == o::ctrl_id + 4 &&
              o::ctrl_tag == o::ctrl_cookie + 4 && o::pkt_length == o::ctrl_tag + 4 &&
              o::data == o::pkt_length + 2 && QZ_ALG_PKT_HDR_SIZE == 50);
}  // namespace qz_alg_pkt_chain

// Packet types. The gateways treat 1 and 2 alike; the FE model sends 1 for a
// packet from the control session's client and 2 for one from its server.
inline constexpr std::uint8_t QZ_ALG_PKT_CTRL = 1;     // copied control packet
inline constexpr std::uint8_t QZ_ALG_PKT_CTRL2 = 2;    // treated exactly as 1
inline constexpr std::uint8_t QZ_ALG_PKT_TIMEOUT = 3;  // the FE's control session ended

// ---- FE requests: ioctl(fd of /dev/fe, 0x4000, envelope). The envelope and
// ---- the records in it are host order; the addresses and ports in them are
// ---- network-order values, so their bytes are big-endian on every host.
inline constexpr const char* QZ_ALG_FE_DEV = "/dev/fe";
inline constexpr unsigned long QZ_ALG_FE_IOCTL = 0x4000;
inline constexpr std::uint16_t QZ_ALG_FE_CMD_OPEN_GATE = 52;
inline constexpr std::uint16_t QZ_ALG_FE_CMD_DELETE_GATE = 53;
inline constexpr std::uint16_t QZ_ALG_FE_CMD_SIP_INVITE = 82;
inline constexpr std::uint16_t QZ_ALG_FE_CMD_DNS = 83;

// qz_alg_fe_request: i32 -1 | u16 command | u16 data length | data area.
namespace qz_alg_fe_env_off {
inline constexpr std::size_t magic = 0;    // i32, always -1
inline constexpr std::size_t command = 4;  // u16
inline constexpr std::size_t length = 6;   // u16: data area, reply words included
inline constexpr std::size_t data = 8;
}  // namespace qz_alg_fe_env_off
inline constexpr std::size_t QZ_ALG_FE_ENV_HDR = qz_alg_fe_env_off::data;
// Data-area length of each command; the FE accepts no other.
inline constexpr std::uint16_t QZ_ALG_FE_LEN_OPEN_GATE = 36;
inline constexpr std::uint16_t QZ_ALG_FE_LEN_DELETE_GATE = 20;
inline constexpr std::uint16_t QZ_ALG_FE_LEN_FLOW_MSG = 36;  // commands 82 and 83
inline constexpr std::size_t QZ_ALG_FE_ENV_MAX = QZ_ALG_FE_ENV_HDR + 36;

// The flow every request opens with: addresses, ports, protocol, 3 bytes padding.
namespace qz_alg_flow_off {
inline constexpr std::size_t src_ip = 0;  // 0 = any (gate open)
inline constexpr std::size_t dst_ip = 4;
inline constexpr std::size_t src_port = 8;  // 0 = any (gate open)
inline constexpr std::size_t dst_port = 10;
inline constexpr std::size_t protocol = 12;  // u8
inline constexpr std::size_t size = 16;
}  // namespace qz_alg_flow_off

// qz_alg_gate_open_req_t (28 bytes) and the two reply words the FE writes.
namespace qz_alg_gate_open_off {
inline constexpr std::size_t alg_type = 16;
inline constexpr std::size_t ctrl_id = 20;
inline constexpr std::size_t ctrl_cookie = 24;
inline constexpr std::size_t size = 28;
inline constexpr std::size_t reply_code = 28;    // u32 FE return code (QZ_ALG_FE_GATE_*)
inline constexpr std::size_t reply_cookie = 32;  // u32 gate cookie, never 0
}  // namespace qz_alg_gate_open_off

// qz_alg_gate_del_req_t (20 bytes); the result is the ioctl's own.
namespace qz_alg_gate_del_off {
inline constexpr std::size_t gate_cookie = 16;
inline constexpr std::size_t size = 20;
}  // namespace qz_alg_gate_del_off

// qz_alg_flow_msg_t: SIP admission (82) / DNS verdict (83), reply word included.
namespace qz_alg_flow_msg_off {
inline constexpr std::size_t ctrl_id = 16;
inline constexpr std::size_t ctrl_cookie = 20;
inline constexpr std::size_t ctrl_tag = 24;
inline constexpr std::size_t flag = 28;
inline constexpr std::size_t reply = 32;
inline constexpr std::size_t size = 36;
}  // namespace qz_alg_flow_msg_off

static_assert(qz_alg_flow_off::size == qz_alg_gate_open_off::alg_type &&
              qz_alg_flow_off::size == qz_alg_gate_del_off::gate_cookie &&
              qz_alg_flow_off::size == qz_alg_flow_msg_off::ctrl_id);
static_assert(qz_alg_gate_open_off::reply_cookie + 4 == QZ_ALG_FE_LEN_OPEN_GATE);
static_assert(qz_alg_gate_del_off::size == QZ_ALG_FE_LEN_DELETE_GATE);
static_assert(qz_alg_flow_msg_off::size == QZ_ALG_FE_LEN_FLOW_MSG);
static_assert(QZ_ALG_FE_ENV_MAX == QZ_ALG_FE_ENV_HDR + QZ_ALG_FE_LEN_OPEN_GATE &&
              QZ_ALG_FE_LEN_FLOW_MSG <= QZ_ALG_FE_LEN_OPEN_GATE);

// FE return codes of a gate open (reply_code) and results of a gate delete.
// The FTP gateway takes "exists" on open and "not found" on delete as no error.
inline constexpr std::uint32_t QZ_ALG_FE_GATE_OPENED = 0;
inline constexpr std::uint32_t QZ_ALG_FE_GATE_INVALID =
    1;                                                     // no destination, or an unknown ALG type
inline constexpr std::uint32_t QZ_ALG_FE_GATE_EXISTS = 2;  // a gate with this flow is already open
inline constexpr std::uint32_t QZ_ALG_FE_GATE_NOT_FOUND = 3;  // delete: no such gate (gone or used)
inline constexpr std::uint32_t QZ_ALG_FE_GATE_TABLE_FULL = 4;
