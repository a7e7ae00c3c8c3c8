// TFTP ALG: a read or write request opens a gate from the server (any port)
// back to the client's port; the object of the FE control session removes it
// when the transfer ends or times out. Event thread only; no lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "alg/qz_alg_main.h"

enum class qz_tftp_state_t : std::uint32_t {
    QZ_TFTP_STATE_INIT = 0,       // no object
    QZ_TFTP_STATE_PORT_OPEN = 1,  // gate opened
    QZ_TFTP_STATE_RELEASE = 2,    // waiting for the release delay
};
inline constexpr std::size_t QZ_TFTP_STATE_FSM = 2;  // states with a column in the table

enum class qz_tftp_event_t : std::uint32_t {
    QZ_TFTP_EVT_IGNORE = 0,  // ERROR 5, or a request in another mode
    QZ_TFTP_EVT_RRQ = 1,
    QZ_TFTP_EVT_WRQ = 2,
    QZ_TFTP_EVT_ACK = 3,
    QZ_TFTP_EVT_ERROR = 4,    // any error code but 5
    QZ_TFTP_EVT_TIMEOUT = 5,  // the FE's control session timed out
    QZ_TFTP_EVT_UNKNOWN = 6,  // other opcodes, unterminated file names
};
inline constexpr std::size_t QZ_TFTP_EVT_COUNT = 7;

// The object of one control session. Addresses and ports are network-order values.
struct qz_tftp_obj_t {
    qz_alg_timer_t* timer;  // max duration, then the release delay
    std::uint32_t ctrl_id;
    std::uint32_t ctrl_cookie;
    std::uint32_t gate_cookie;
    std::uint32_t src_ip;    // gate source: the server
    std::uint32_t dst_ip;    // gate destination: the client
    std::uint16_t src_port;  // always 0: any
    std::uint16_t dst_port;  // the client's port
    std::uint8_t protocol;
    qz_tftp_state_t state;
    qz_tftp_obj_t* next;
    qz_tftp_obj_t* prev;
};

// What the request parser fills: the object's fields, then the event.
struct qz_tftp_parse_t {
    qz_tftp_obj_t obj;
    qz_tftp_event_t event;
};

inline constexpr std::size_t QZ_TFTP_HASH_SIZE = 16;
inline constexpr std::uint32_t QZ_TFTP_RELEASE_SECONDS = 5;

// Empties the object table and registers the TFTP packet handler (type 2). 0.
int qz_tftp_init();

// The packet handler of ALG type 2.
void qz_alg_tftp_handler(const qz_alg_pkt_t* pkt);

// Turns one packet into an event and the gate fields of the zeroed *parse.
// Always succeeds (0).
int qz_alg_tftp_parser(const qz_alg_pkt_t* pkt, qz_tftp_parse_t* parse);

// The object of a control session, or null.
qz_tftp_obj_t* qz_tftp_lookup(std::uint32_t ctrl_id, std::uint32_t ctrl_cookie);

// Objects in bucket b (0 to 15).
std::uint32_t qz_tftp_bucket_count(std::size_t b);
