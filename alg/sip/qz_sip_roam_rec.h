// The roaming record: one call as neighbouring access points exchange it, in
// network byte order, at most 1024 bytes. An update record carries the call's
// state, strings, the three gate lists and its open transactions; a delete
// record (state 6) carries only the header. Decoding runs on the neighbour
// library's thread and touches no table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "alg/sip/qz_sip_call.h"
#include "alg/sip/qz_sip_trans.h"

inline constexpr std::size_t QZ_SIP_ROAM_BUF_SIZE = 1024;
inline constexpr std::uint8_t QZ_SIP_ROAM_STATE_DELETE = 6;
// Both MACs, the Call-ID length and at least the Call-ID's NUL.
inline constexpr std::size_t QZ_SIP_ROAM_MIN = 15;
static_assert(QZ_SIP_ROAM_MIN == 6 + 6 + 2 + 1);
// Gate item: ip, port, opened, media type.
inline constexpr std::size_t QZ_SIP_ROAM_GATE_SIZE = 8;
static_assert(QZ_SIP_ROAM_GATE_SIZE == 4 + 2 + 1 + 1);

// Everything of an update record before the transaction part. Bytes, or -1
// when it does not fit.
int qz_sip_roam_encode_call(const qz_sip_call_t& call, std::span<std::uint8_t> buf);

// A delete record of the call (the call itself is not changed). Bytes or -1.
int qz_sip_roam_encode_delete(const qz_sip_call_t& call, std::span<std::uint8_t> buf);

// A whole update record: the call part, then the call's transactions still in
// the transaction table. Bytes or -1.
int qz_sip_roam_encode_update(const qz_sip_call_t& call, std::span<std::uint8_t> buf);

// A fresh roaming object from a record: open gates become roamed ones, each
// transaction and the object get an unarmed timer that does nothing. Null when
// the record is refused (nothing is kept).
qz_sip_call_t* qz_sip_roam_decode(std::span<const std::uint8_t> rec);

// True for a delete record's object.
inline bool qz_sip_roam_is_delete(const qz_sip_call_t& obj) {
    return static_cast<std::uint8_t>(obj.state) == QZ_SIP_ROAM_STATE_DELETE;
}

// Frees a roaming object with its timer, its gate entries (roamed gates are
// not in the FE) and its transactions. Null is accepted.
void qz_sip_roam_free(qz_sip_call_t* obj);

// The same for a fresh object whose timers were never armed: it leaves the
// timer list alone, so the receiver's thread may call it.
void qz_sip_roam_discard(qz_sip_call_t* obj);
