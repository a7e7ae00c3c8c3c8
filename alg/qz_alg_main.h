// ALG framework: the packet dispatcher of kernel event 7, the FE gate and
// message requests on /dev/fe, the shared ALG timer list and the per-type ALG
// settings. Everything here runs on fed's event thread, except the settings
// writers (CLI thread) and the tick (platform timer thread), which only posts.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/alg_msg.h"
#include "platform/qz.h"
#include "platform/wire.h"

// ---- IPv4 addresses and ports stay in network byte order in memory, as on
// ---- the big-endian target: a value's bytes are the wire bytes. A host-order
// ---- FE request then carries them unchanged and %i prints them right on any
// ---- host. Numbers read from text (PORT, 227) become such values through
// ---- qz_alg_net32/16; for %d output and arithmetic use qz_alg_host16/32.
inline std::uint32_t qz_alg_net32(std::uint32_t host) {
    std::uint8_t b[4];
    wire::store_be32(b, host);
    return wire::load_h<std::uint32_t>(b);
}
inline std::uint16_t qz_alg_net16(std::uint16_t host) {
    std::uint8_t b[2];
    wire::store_be16(b, host);
    return wire::load_h<std::uint16_t>(b);
}
inline std::uint32_t qz_alg_host32(std::uint32_t net) {
    std::uint8_t b[4];
    wire::store_h(b, net);
    return wire::load_be32(b);
}
inline std::uint16_t qz_alg_host16(std::uint16_t net) {
    std::uint8_t b[2];
    wire::store_h(b, net);
    return wire::load_be16(b);
}

// A network-order port as the number %d prints.
inline int qz_alg_port_int(std::uint16_t net) {
    return static_cast<int>(qz_alg_host16(net));
}

// Bucket of a control session (control id, cookie) in a table of `size`
// buckets, a power of two.
inline std::size_t qz_alg_ctrl_bucket(std::uint32_t ctrl_id, std::uint32_t ctrl_cookie,
                                      std::size_t size) {
    return (ctrl_id ^ ctrl_cookie) & (size - 1);
}

// The record as the gateways see it, decoded once by the dispatcher. Numbers
// are host values; addresses and ports are network-order values (see above).
// `data` holds the payload bytes that really arrived: at most pkt_length, and
// never more than the event delivered (a record claiming more is cut short).
struct qz_alg_pkt_t {
    std::uint16_t alg_type;
    std::uint8_t pkt_type;
    std::uint8_t src_mac[6];
    std::uint8_t dst_mac[6];
    std::uint8_t protocol;
    std::uint32_t src_ip;
    std::uint32_t dst_ip;
    std::uint16_t src_port;
    std::uint16_t dst_port;
    std::uint32_t out_ifindex;
    std::uint32_t in_ifindex;
    std::uint32_t ctrl_id;
    std::uint32_t ctrl_cookie;
    std::uint32_t ctrl_tag;
    std::uint16_t pkt_length;  // as the record claims it
    std::span<const std::uint8_t> data;
};

// Decodes a record; false when its 50-byte header is incomplete.
bool qz_alg_pkt_decode(std::span<const std::uint8_t> rec, qz_alg_pkt_t* pkt);

// A gateway's packet handler. The record lives only for the call.
using qz_alg_handler_fn = void (*)(const qz_alg_pkt_t* pkt);

// ---- FE requests (layouts in platform/alg_msg.h): fed's records, encoded
// ---- field by field into the /dev/fe envelope, never copied whole.

// Gate-open request (28 bytes) and its two reply words.
struct qz_alg_gate_open_req_t {
    std::uint32_t src_ip;  // 0 = any
    std::uint32_t dst_ip;
    std::uint16_t src_port;  // 0 = any
    std::uint16_t dst_port;
    std::uint8_t protocol;
    std::uint8_t pad[3];
    std::uint32_t alg_type;
    std::uint32_t ctrl_id;
    std::uint32_t ctrl_cookie;
};

// Gate-delete request (20 bytes); no reply words.
struct qz_alg_gate_del_req_t {
    std::uint32_t src_ip;
    std::uint32_t dst_ip;
    std::uint16_t src_port;
    std::uint16_t dst_port;
    std::uint8_t protocol;
    std::uint8_t pad[3];
    std::uint32_t gate_cookie;
};

// SIP admission / DNS verdict message (36 bytes, reply word included).
struct qz_alg_flow_msg_t {
    std::uint32_t src_ip;
    std::uint32_t dst_ip;
    std::uint16_t src_port;
    std::uint16_t dst_port;
    std::uint8_t protocol;
    std::uint8_t pad[3];
    std::uint32_t ctrl_id;
    std::uint32_t ctrl_cookie;
    std::uint32_t ctrl_tag;
    std::uint32_t flag;
    std::uint32_t reply;
};

// The in-memory records mirror the byte layout one to one.
static_assert(offsetof(qz_alg_gate_open_req_t, dst_ip) == qz_alg_flow_off::dst_ip &&
              offsetof(qz_alg_gate_open_req_t, src_port) == qz_alg_flow_off::src_port &&
              offsetof(qz_alg_gate_open_req_t, dst_port) == qz_alg_flow_off::dst_port &&
              offsetof(qz_alg_gate_open_req_t, protocol) == qz_alg_flow_off::protocol &&
              offsetof(qz_alg_gate_open_req_t, alg_type) == qz_alg_gate_open_off::alg_type &&
              offsetof(qz_alg_gate_open_req_t, ctrl_id) == qz_alg_gate_open_off::ctrl_id &&
              offsetof(qz_alg_gate_open_req_t, ctrl_cookie) == qz_alg_gate_open_off::ctrl_cookie &&
              sizeof(qz_alg_gate_open_req_t) == qz_alg_gate_open_off::size);
static_assert(offsetof(qz_alg_gate_del_req_t, gate_cookie) == qz_alg_gate_del_off::gate_cookie &&
              sizeof(qz_alg_gate_del_req_t) == qz_alg_gate_del_off::size);
static_assert(offsetof(qz_alg_flow_msg_t, ctrl_id) == qz_alg_flow_msg_off::ctrl_id &&
              offsetof(qz_alg_flow_msg_t, ctrl_tag) == qz_alg_flow_msg_off::ctrl_tag &&
              offsetof(qz_alg_flow_msg_t, flag) == qz_alg_flow_msg_off::flag &&
              offsetof(qz_alg_flow_msg_t, reply) == qz_alg_flow_msg_off::reply &&
              sizeof(qz_alg_flow_msg_t) == qz_alg_flow_msg_off::size);

// Gate requests for a gateway's object: any record holding the flow (src_ip,
// dst_ip, src_port, dst_port, protocol), its control session (ctrl_id,
// ctrl_cookie) and, for a delete, the gate cookie the open returned.
template <class Obj>
qz_alg_gate_open_req_t qz_alg_gate_open_req_for(const Obj& o, std::uint16_t alg_type) {
    qz_alg_gate_open_req_t req{};
    req.src_ip = o.src_ip;
    req.dst_ip = o.dst_ip;
    req.src_port = o.src_port;
    req.dst_port = o.dst_port;
    req.protocol = o.protocol;
    req.alg_type = alg_type;
    req.ctrl_id = o.ctrl_id;
    req.ctrl_cookie = o.ctrl_cookie;
    return req;
}
template <class Obj>
qz_alg_gate_del_req_t qz_alg_gate_del_req_for(const Obj& o) {
    qz_alg_gate_del_req_t req{};
    req.src_ip = o.src_ip;
    req.dst_ip = o.dst_ip;
    req.src_port = o.src_port;
    req.dst_port = o.dst_port;
    req.protocol = o.protocol;
    req.gate_cookie = o.gate_cookie;
    return req;
}

// ---- framework entry points

// Opens /dev/fe, subscribes kernel event 7, starts the 3-second tick and the
// gateways. 0, or -1 (reported) on failure.
int qz_alg_init();

// Stores `fn` in slot alg_type - 1; types 1 to 4 and a handler are required.
void qz_alg_register_handler(std::uint16_t alg_type, qz_alg_handler_fn fn);

// Kernel event 7 callback: checks the record and hands it to its gateway.
void qz_alg_pkt_dispatch(std::uint32_t event_id, std::uint32_t size, const void* data);

// FE gate open (command 52). On a working ioctl result[0] is the FE return
// code (0 = opened) and result[1] the gate cookie; a failed ioctl gives
// result[0] = 1 and leaves result[1]. Returns the ioctl's result.
int qz_alg_open_gate(const qz_alg_gate_open_req_t* req, std::uint32_t result[2]);
// FE gate delete (command 53). *result = the ioctl's result, 1 if it failed.
int qz_alg_delete_gate(const qz_alg_gate_del_req_t* req, std::uint32_t* result);
// SIP call admission (command 82) / DNS verdict (command 83). *result = the
// FE's reply word, 1 if the ioctl failed. Returns the ioctl's result.
int qz_alg_sip_invite_msg(const qz_alg_flow_msg_t* msg, std::uint32_t* result);
int qz_alg_dns_msg(const qz_alg_flow_msg_t* msg, std::uint32_t* result);

// Platform-timer callback: posts QZ_EVENT_UDPDATE_ALG_INFO sub-type 1 and
// re-arms itself for 3 seconds; the ALG timers then fire on the event thread.
void qz_alg_tick(qz_pmpt_timer_t timer, void* arg);

// ---- ALG timers: one list in ascending expiry, in seconds of system up-time.
struct qz_alg_timer_t;
// Called when the timer fires, already disarmed; may re-arm or free it.
using qz_alg_timer_fn = int (*)(qz_alg_timer_t* timer, void* arg);
struct qz_alg_timer_t {
    qz_alg_timer_t* prev;  // towards the head: earlier or equal expiry
    qz_alg_timer_t* next;  // towards the tail: later expiry
    std::uint32_t expire;
    qz_alg_timer_fn func;
    void* arg;
};

// A zeroed, unarmed timer; null when func is null or memory is short.
qz_alg_timer_t* qz_alg_timer_create(qz_alg_timer_fn func, void* arg);
// Disarms and frees; null is accepted.
void qz_alg_timer_free(qz_alg_timer_t* timer);
// (Re-)arms at now + seconds; a null timer is ignored.
void qz_alg_timer_start(qz_alg_timer_t* timer, std::uint32_t seconds);
// Disarms; an unarmed timer is left as it is.
void qz_alg_timer_stop(qz_alg_timer_t* timer);
// Disarms, replaces callback and argument, arms at now + seconds.
void qz_alg_timer_reset(qz_alg_timer_t* timer, qz_alg_timer_fn func, void* arg,
                        std::uint32_t seconds);
// Fires every timer that is due, re-reading the up-time on each turn.
void qz_alg_timer_run();
// True when the timer stands in the list.
bool qz_alg_timer_armed(const qz_alg_timer_t* timer);
// The timer that fires next (null when none is armed).
const qz_alg_timer_t* qz_alg_timer_head();

// ---- ALG settings kept in fed: max duration per ALG type, in minutes. The
// ---- ALG configuration commands (CLI thread) and the service start-up write
// ---- them; the gateways read them on the event thread when they create an
// ---- object. Each is one aligned 32-bit word: no lock.
struct qz_alg_settings_t {
    std::atomic<std::uint32_t> max_duration[QZ_ALG_TYPE_MAX + 1];  // index = ALG type
};
extern qz_alg_settings_t qz_alg_settings;

// Sets the max duration of ALG type 1 to 6 (other types are ignored).
void qz_alg_set_max_duration(std::uint16_t alg_type, std::uint32_t minutes);
// Max duration of an ALG type in minutes (0 for a type outside 1 to 6).
std::uint32_t qz_alg_max_duration(std::uint16_t alg_type);
// The same in seconds, as an object's max-duration timer is armed.
inline std::uint32_t qz_alg_max_duration_sec(std::uint16_t alg_type) {
    return qz_alg_max_duration(alg_type) * 60;
}
