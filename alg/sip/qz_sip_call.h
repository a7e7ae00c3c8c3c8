// SIP calls: the SIP packet handler of ALG type 3, one call object per dialog,
// the call state machine, the media gates opened from SDP offers and answers,
// call admission by the FE, the maximum call duration, and the display of
// calls. Packets and timers run on the event thread; the call table has a
// mutex of its own because the CLI thread displays it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "alg/qz_alg_main.h"
#include "alg/sip/qz_sip_parser.h"
#include "alg/sip/qz_sip_trans.h"

inline constexpr std::size_t QZ_SIP_CALL_HASH_SIZE = 32;
// Calls held at most: beyond it a new INVITE gets no call (admission flag 0),
// logged once each time the table fills up.
inline constexpr std::size_t QZ_SIP_CALL_MAX = 1024;

enum class sip_call_state : std::int32_t {
    SIP_CALL_STATE_NULL = -1,  // no call object
    INIT = 0,
    PROCEED = 1,
    ANSWER = 2,
    ESTABLISH = 3,
    FAILURE = 4,
    DISCONNECT = 5,
};
inline constexpr std::size_t SIP_CALL_STATE_MAX = 6;  // 6 itself marks a deleted call when roaming

// state_flag bits
inline constexpr std::uint16_t SIP_STATE_INVITE_1XX = 0x1;  // last INVITE answer was provisional
inline constexpr std::uint16_t SIP_STATE_ROAMING_TO_OTHER = 0x2;

// Gate states
inline constexpr std::uint8_t QZ_SIP_GATE_CLOSED = 0;
inline constexpr std::uint8_t QZ_SIP_GATE_OPEN = 1;
inline constexpr std::uint8_t QZ_SIP_GATE_ROAMED = 2;  // closed: the call left for a neighbour

// One media gate: admits UDP to ip:port from anywhere once opened.
struct qz_sip_gate_t {
    std::uint32_t cookie;  // the FE's, while open
    std::uint32_t ip;      // network-order value
    std::uint16_t port;    // host number
    std::uint8_t opened;
    std::uint8_t media_type;
};
using qz_sip_gate_list = std::vector<qz_sip_gate_t>;

struct qz_sip_call_t {
    qz_sip_call_t* next;
    qz_sip_call_t** pprev;
    qz_sip_gate_list gates_a;      // the accepted offer: the offering side's media
    qz_sip_gate_list gates_b;      // the accepted answer
    qz_sip_gate_list gates_offer;  // an offer not answered yet
    std::string callid;
    std::string from;       // latest From value
    std::string to;         // latest To value
    qz_alg_timer_t* timer;  // maximum duration, armed once answered
    std::uint32_t ctrl_id;
    std::uint32_t ctrl_cookie;
    sip_call_state state;
    std::uint8_t src_mac[6];  // MACs of the latest message
    std::uint8_t dst_mac[6];
    std::uint16_t seq_num;  // 1 at creation, +1 per change: orders the neighbours' copies
    std::uint16_t state_flag;
    qz_sip_trans_t* trans;  // roaming object only: its transactions, out of the table
};

// Clears the transaction table and registers the SIP handler (type 3). 0.
int qz_sip_init();

// The packet handler of ALG type 3: parse, admission, transaction step, call step.
void qz_alg_sip_handler(const qz_alg_pkt_t* pkt);

// The call step of a message the transaction layer let through. The record's
// From and To strings are swapped with the call's.
void qz_sip_call_process(qz_sip_parser_event event, qz_sip_parse_data_t* data);

// A transaction of the call timed out (the transaction layer's notice).
void qz_sip_call_trans_timeout(qz_sip_method method, qz_sip_timer_type type,
                               std::string_view callid, const std::uint8_t* src_mac,
                               const std::uint8_t* dst_mac);

// Asks the FE to admit (flag 1) or forget (flag 0) a call, when call admission
// control is on. *result = 0 admitted (also when admission control is off).
int qz_sip_cac_msg(const qz_sip_parse_data_t* data, std::uint32_t flag, std::uint32_t* result);
int qz_sip_cac_msg(const qz_alg_pkt_t* pkt, std::uint32_t flag, std::uint32_t* result);

// Prints the calls on a CLI session. The request holds a u32 flag word (bit 0:
// a Call-ID is given), the Call-ID at offset 12 and the path of a file of
// station records (6-byte MAC, user name; 135 bytes each) at offset 141; the
// file is removed afterwards. 0.
int qz_sip_show_calls(void* out, std::span<const std::uint8_t> req);

// ---- the call table, for displays and tests: hold the mutex while looking
std::mutex& qz_sip_call_mutex();
// The first call of the Call-ID whose MACs match the pair, or null.
qz_sip_call_t* qz_sip_call_lookup(std::string_view callid, const std::uint8_t* src_mac,
                                  const std::uint8_t* dst_mac);
// Calls in the table.
std::size_t qz_sip_call_count();

// ---- calls moving to and from roaming objects (event thread; hold the mutex
// ---- for the table operations)
// Bucket of a Call-ID, as the call table and the roaming store key it.
std::size_t qz_sip_call_hash(std::string_view callid);
// The first call of bucket i.
qz_sip_call_t* qz_sip_call_bucket(std::size_t i);
// Puts a call at the front of its bucket and counts it.
void qz_sip_call_insert(qz_sip_call_t* call);
// Takes a call out of the table without freeing it.
void qz_sip_call_unlink(qz_sip_call_t* call);
// Takes a call out of the table and frees it; its open gates are deleted in the FE.
void qz_sip_call_delete(qz_sip_call_t* call);
// Opens one gate for the call's control session; deletes one open gate.
void qz_sip_gate_open(const qz_sip_call_t* call, qz_sip_gate_t& gate);
void qz_sip_gate_delete(qz_sip_gate_t& gate);
// (Re-)arms the call's timer as its maximum-duration timer.
void qz_sip_call_arm_max_duration(qz_sip_call_t* call);
// One call in the format of the call display, both user names "N/A".
void qz_sip_call_print(void* out, const qz_sip_call_t* call);

// ---- notices to the neighbouring access points (call roaming)
// The call changed: send its update record.
void qz_sip_roam_send_update(const qz_sip_call_t* call);
// The call is being deleted: send its delete record.
void qz_sip_roam_send_delete(const qz_sip_call_t* call);
