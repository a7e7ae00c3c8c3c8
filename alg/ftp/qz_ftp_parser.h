// FTP command parser: one control packet -> one FTP event, plus the gate that
// an announced data connection needs. Stateless; no platform calls besides
// debug lines, so it can be fed anything.
#pragma once

#include <cstddef>
#include <cstdint>

#include "alg/qz_alg_main.h"

enum class qz_ftp_event_t : std::uint32_t {
    QZ_FTP_EVT_PORT = 0,
    QZ_FTP_EVT_PASV = 1,
    QZ_FTP_EVT_EPRT = 2,
    QZ_FTP_EVT_EPSV = 3,
    QZ_FTP_EVT_OK_200 = 4,
    QZ_FTP_EVT_EPSV_229 = 5,
    QZ_FTP_EVT_PASV_227 = 6,
    QZ_FTP_EVT_CLOSE = 7,
    QZ_FTP_EVT_OTHER = 8,
    QZ_FTP_EVT_TIMEOUT = 9,
    QZ_FTP_EVT_INVALID = 10,
    QZ_FTP_EVT_NONE = 11,  // the caller's initial value: nothing was parsed
};
inline constexpr std::size_t QZ_FTP_EVT_COUNT = 11;  // events the state machine takes

enum class qz_ftp_state_t : std::uint32_t {
    QZ_FTP_STATE_INIT = 0,  // no object
    QZ_FTP_STATE_PORT = 1,
    QZ_FTP_STATE_PASV = 2,
    QZ_FTP_STATE_EPRT = 3,
    QZ_FTP_STATE_EPSV = 4,
    QZ_FTP_STATE_GATE_OPEN = 5,
};
inline constexpr std::size_t QZ_FTP_STATE_COUNT = 6;

// The FTP object of one control session; the parse record has the same layout.
// Addresses and ports are network-order values (see qz_alg_net32).
struct qz_ftp_obj_t {
    qz_alg_timer_t* timer;  // max duration, owned by the object
    std::uint32_t ctrl_id;
    std::uint32_t ctrl_cookie;
    qz_ftp_state_t state;
    std::uint8_t protocol;
    std::uint32_t src_ip;    // gate source
    std::uint32_t dst_ip;    // gate destination
    std::uint16_t src_port;  // 0 = any
    std::uint16_t dst_port;
    std::uint32_t gate_cookie;  // 0 until a gate is opened
    qz_ftp_obj_t* next;
    qz_ftp_obj_t** pprev;  // the previous element's next link (or the bucket's first)
};

inline constexpr std::size_t QZ_FTP_PAYLOAD_MAX = 2000;
inline constexpr std::size_t QZ_FTP_WORD_SIZE = 64;

// Parses one packet into *event and the zeroed *parse. 0 on success, -1 on
// failure; *event stays as the caller set it when the packet is missing, its
// length is out of range or its type unknown.
int qz_alg_ftp_parser(const qz_alg_pkt_t* pkt, qz_ftp_event_t* event, qz_ftp_obj_t* parse);

// Argument parsers, given the command line without its CR LF. Each fills the
// gate destination and ports of *parse and returns 0, or -1.
int qz_get_ftp_port_cmd_info(const char* line, qz_ftp_obj_t* parse);  // PORT h1,..,h4,p1,p2
int qz_get_ftp_pasv_cmd_info(const char* line, qz_ftp_obj_t* parse);  // 227 (h1,..,p2)
int qz_get_ftp_eprt_cmd_info(const char* line, qz_ftp_obj_t* parse);  // EPRT |1|addr|port|
int qz_get_ftp_epsv_cmd_info(const char* line, qz_ftp_obj_t* parse);  // 229 (|||port|)
