// DNS ALG: watches the DNS traffic of wireless stations (ALG type 4). It counts
// each station's unanswered queries and reports a station whose queries keep
// going unanswered (QZ_EVENT_ITK_NOTIFY), and publishes the host name and IPv4
// addresses of every response for the walled garden (event 352). It never
// changes or holds a packet and opens no gates. Event thread only; no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "alg/qz_alg_main.h"

inline constexpr std::uint32_t QZ_EVENT_DNS_WALLED_GARDEN = 352;

inline constexpr std::size_t QZ_DNS_HASH_SIZE = 256;        // by the last byte of the MAC
inline constexpr std::uint32_t QZ_DNS_REPORT_PENDING = 9;   // report above this many
inline constexpr std::uint32_t QZ_DNS_REPORT_SECONDS = 60;  // and above this age
inline constexpr std::size_t QZ_DNS_HOSTNAME_MAX = 64;
inline constexpr std::size_t QZ_DNS_IP_MAX = 8;
inline constexpr std::size_t QZ_DNS_PKT_MIN = 13;
inline constexpr std::size_t QZ_DNS_PKT_MAX = 512;
inline constexpr std::size_t QZ_DNS_NAME_BUF = 256;  // decoded name, terminator included
inline constexpr std::size_t QZ_DNS_HDR_SIZE = 12;
inline constexpr std::uint16_t QZ_DNS_QTYPE_A = 1;

// DNS header fields used here (big-endian, offsets into the message).
namespace qz_dns_hdr_off {
inline constexpr std::size_t flags = 2;
inline constexpr std::size_t qdcount = 4;
inline constexpr std::size_t ancount = 6;
}  // namespace qz_dns_hdr_off
inline constexpr std::uint16_t QZ_DNS_FLAG_QR = 0x8000;

// One station of the pending table.
struct qz_dns_pending_t {
    std::uint8_t mac[6];
    std::uint32_t pending;    // queries seen minus responses seen, never below 0
    std::uint32_t timestamp;  // up-time: made, last response, last report
    qz_dns_pending_t* next;
    qz_dns_pending_t* prev;
};

// Walled-garden event payload (event 352): host order; the addresses are
// network-order values, so their bytes are the wire bytes on every host.
inline constexpr std::size_t QZ_DNS_WG_NAME_SIZE = 68;
struct qz_dns_walled_garden_t {
    std::uint32_t ifindex;
    char hostname[QZ_DNS_WG_NAME_SIZE];
    std::uint32_t ip[QZ_DNS_IP_MAX];
    std::uint32_t count;  // leading non-zero addresses
};
namespace qz_dns_wg_off {
inline constexpr std::size_t ifindex = 0;
inline constexpr std::size_t hostname = 4;
inline constexpr std::size_t ip = 72;
inline constexpr std::size_t count = 104;
inline constexpr std::size_t size = 108;
}  // namespace qz_dns_wg_off
static_assert(sizeof(qz_dns_walled_garden_t) == qz_dns_wg_off::size);
static_assert(offsetof(qz_dns_walled_garden_t, hostname) == qz_dns_wg_off::hostname);
static_assert(offsetof(qz_dns_walled_garden_t, ip) == qz_dns_wg_off::ip);
static_assert(offsetof(qz_dns_walled_garden_t, count) == qz_dns_wg_off::count);

// DNS-issue report (QZ_EVENT_ITK_NOTIFY): 41 bytes, big-endian.
namespace qz_dns_report_off {
inline constexpr std::size_t type = 0;     // u16 3
inline constexpr std::size_t length = 2;   // u16 37: what follows
inline constexpr std::size_t one = 4;      // u8 1
inline constexpr std::size_t ifindex = 5;  // u32
inline constexpr std::size_t sta_mac = 9;  // 6 bytes
inline constexpr std::size_t four = 15;    // u32 4
inline constexpr std::size_t if_mac = 19;  // 6 bytes
inline constexpr std::size_t five = 25;    // u32 5
inline constexpr std::size_t one_b = 29;   // u32 1
inline constexpr std::size_t zero = 33;    // u32 0
inline constexpr std::size_t code = 37;    // u32 0x00020001
inline constexpr std::size_t size = 41;
}  // namespace qz_dns_report_off
static_assert(qz_dns_report_off::code + 4 == qz_dns_report_off::size);
static_assert(qz_dns_report_off::size - qz_dns_report_off::one == 37);

// Why a response published nothing.
enum class qz_dns_wg_result : std::uint32_t {
    QZ_DNS_WG_OK = 0,
    QZ_DNS_WG_QDCOUNT = 1,    // not exactly one question
    QZ_DNS_WG_QTYPE = 2,      // the question does not ask for A
    QZ_DNS_WG_TOO_LONG = 3,   // host name over 64 characters
    QZ_DNS_WG_MALFORMED = 4,  // a name, the question or an answer record runs out of bounds
};

// Empties the pending table and registers the DNS packet handler (type 4). 0.
int qz_dns_init();

// The packet handler of ALG type 4: packet types 1 and 2, UDP only.
void qz_alg_dns_handler(const qz_alg_pkt_t* pkt);

// A query of station `mac`: counts it, and reports the station (interface
// `ifindex`) when enough queries stayed unanswered for long enough. Returns
// the pending count after the query, or -1 when no entry could be made.
int qz_dns_pending_increase(const std::uint8_t* mac, std::uint32_t ifindex);

// A response to station `mac` from `src_ip` (network order): uncounts one
// query and restarts the station's clock. Returns the pending count, -1 when
// the station is unknown.
int qz_dns_pending_decrease(const std::uint8_t* mac, std::uint32_t src_ip);

// The station left: its entry goes.
void qz_dns_sta_delete(const std::uint8_t* mac);

// The entry of a station, or null.
const qz_dns_pending_t* qz_dns_pending_find(const std::uint8_t* mac);
// Stations in the table.
std::size_t qz_dns_pending_count();
// Frees every entry.
void qz_dns_pending_clear();

// Decodes the name at `pos` of `msg` into out (labels joined by '.', at most
// 255 characters and a terminator). *next is the position after the name in
// its record. 0, or -1 when the name leaves the message, loops or overflows.
int qz_dns_decode_name(std::span<const std::uint8_t> msg, std::size_t pos,
                       char out[QZ_DNS_NAME_BUF], std::size_t* next);

// Reads the question and the A records of a response into *wg (ifindex left
// alone), with the walk's debug lines. Platform-free besides logging.
qz_dns_wg_result qz_dns_parse_walled_garden(std::span<const std::uint8_t> msg,
                                            qz_dns_walled_garden_t* wg);

// Encodes the 108-byte event payload.
void qz_dns_walled_garden_encode(const qz_dns_walled_garden_t& wg,
                                 std::uint8_t out[qz_dns_wg_off::size]);

// Publishes the name and addresses of a response for interface `ifindex`.
// 0 when event 352 was sent, -1 otherwise.
int qz_dns_update_walled_garden(std::uint32_t ifindex, const std::uint8_t* msg, std::uint32_t len);

// Sends the DNS-issue report of station `sta_mac` on interface `ifindex`
// (QZ_EVENT_ITK_NOTIFY, 41 bytes). 0, or -1 when it could not be sent.
int qz_cm_exception_report(std::uint32_t ifindex, const std::uint8_t* sta_mac);
