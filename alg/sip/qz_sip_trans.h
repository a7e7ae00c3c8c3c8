// SIP transaction layer: a simplified client-transaction machine for INVITE
// and one for every other method. It filters what reaches the call layer:
// retransmitted requests and responses, responses without a transaction and
// stray ACKs stop here; an unanswered transaction times out and the call layer
// is told. Event thread only; no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "alg/qz_alg_main.h"
#include "alg/sip/qz_sip_parser.h"

inline constexpr std::size_t QZ_SIP_TRANS_HASH_SIZE = 80;
// Transactions held at most: a station sending requests with ever new
// branches cannot grow the table past this; beyond it new requests are
// dropped (logged once each time the table fills up).
inline constexpr std::size_t QZ_SIP_TRANS_MAX = 4096;

enum class qz_sip_trans_type : std::uint8_t {
    QZ_ALG_SIP_INV_TRANS_TYPE = 1,   // INVITE
    QZ_ALG_SIP_NINV_TRANS_TYPE = 2,  // every other method
};

// States of the two machines; 0 only stands for "no transaction".
enum class qz_sip_inv_state : std::uint8_t {
    none = 0,
    calling = 1,
    proceeding = 2,
    completed = 3,
    confirmed = 4,
};
inline constexpr std::size_t QZ_ALG_SIP_INV_TRANS_STATE_MAX = 5;
enum class qz_sip_ninv_state : std::uint8_t {
    none = 0,
    trying = 1,
    proceeding = 2,
    completed = 3,
};
inline constexpr std::size_t QZ_ALG_SIP_NINV_TRANS_STATE_MAX = 4;

// What a transaction's timer stands for; the call layer is told the type.
enum class qz_sip_timer_type : std::uint32_t {
    inv_unanswered = 0,   // INVITE calling/proceeding: 182 s
    ninv_unanswered = 1,  // non-INVITE trying/proceeding: 33 s
    inv_unacked = 2,      // INVITE completed (failure not acknowledged): 33 s
    inv_confirmed = 3,    // INVITE confirmed (ACK seen): 6 s
    ninv_completed = 4,   // non-INVITE completed (final response): 6 s
};
inline constexpr std::size_t QZ_SIP_TIMER_TYPE_MAX = 5;

// Results of the transaction step.
enum class qz_sip_trans_rc : int {
    pass = 0,           // hand the message on to the call layer
    absorbed = 1,       // a retransmission
    no_transition = 2,  // nothing to do for this event in this state
    failure = 3,        // no memory, or an unusable message
};

struct qz_sip_trans_t {
    std::string branch;  // top Via branch of the creating request
    std::string callid;
    qz_alg_timer_t* timer;
    qz_sip_trans_t* next;    // next in bucket (or in a taken list)
    qz_sip_trans_t** pprev;  // the link that points here; null when not in the table
    qz_sip_method method;    // CSeq method of the creating request
    qz_sip_trans_type trans_type;
    std::uint8_t trans_state;  // qz_sip_inv_state or qz_sip_ninv_state by type
    std::uint8_t src_mac[6];
    std::uint8_t dst_mac[6];  // all zero for a transaction taken over from a neighbour
};

// Empties the table (SIP start-up, before the handler is registered).
void qz_sip_trans_init();

// The transaction step of one parsed message (parser events 0 to 10; 9 is
// passed at once). Returns a qz_sip_trans_rc value.
int qz_sip_trans_process(qz_sip_parser_event event, const qz_sip_parse_data_t* data);

// The transaction a message belongs to, or null.
qz_sip_trans_t* qz_sip_trans_lookup(const qz_sip_parse_data_t* data);

// Unlinks the transaction and frees it with its timer.
void qz_sip_trans_delete(qz_sip_trans_t* trans);

// 1 when a packet's MAC pair (p_src, p_dst) matches an object's pair in either
// direction, an all-zero MAC of the object matching any; else 0. A packet
// without any MAC matches nothing.
int qz_sip_mac_pair_match(const std::uint8_t* p_src, const std::uint8_t* p_dst,
                          const std::uint8_t* o_src, const std::uint8_t* o_dst);

// ---- hand-over of a call's transactions to and from a neighbour

// Writes a big-endian u16 count and one record per transaction of the call
// (u8 method, u8 type, u8 state, u16 branch length with NUL, branch, NUL).
// Bytes written, or -1 when the buffer is too small.
int qz_sip_trans_pack(std::string_view callid, const std::uint8_t* src_mac,
                      const std::uint8_t* dst_mac, std::span<std::uint8_t> buf);

// Removes the call's transactions from the table with their timers stopped;
// returns them linked through `next`, newest last (null when none).
qz_sip_trans_t* qz_sip_trans_take_call(std::string_view callid, const std::uint8_t* src_mac,
                                       const std::uint8_t* dst_mac);

// Puts a taken list back for the station `sta_mac` (the other MAC becomes
// "any") and re-arms each timer by its type and state.
void qz_sip_trans_restore(qz_sip_trans_t* list, const std::uint8_t* sta_mac);

// Deletes every transaction of the call.
void qz_sip_trans_delete_call(std::string_view callid, const std::uint8_t* src_mac,
                              const std::uint8_t* dst_mac);

// Transactions in the table (for displays and tests).
std::size_t qz_sip_trans_count();
