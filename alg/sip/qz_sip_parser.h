// SIP message parser: one SIP packet record -> one parser event and one parse
// record holding the transaction keys, the From/To values, the status code and
// the media streams of an SDP body. Read-only over a private copy of the
// payload; no platform calls besides debug lines, so it can be fed anything.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "alg/qz_alg_main.h"

enum class qz_sip_parser_event : std::uint32_t {
    QZ_SIP_EV_INVITE = 0,
    QZ_SIP_EV_ACK = 1,
    QZ_SIP_EV_CANCEL = 2,
    QZ_SIP_EV_BYE = 3,
    QZ_SIP_EV_INFO = 4,
    QZ_SIP_EV_PRACK = 5,
    QZ_SIP_EV_1XX = 6,
    QZ_SIP_EV_2XX = 7,
    QZ_SIP_EV_3XX_6XX = 8,
    QZ_SIP_EV_TIMEOUT = 9,
    QZ_SIP_EV_OTHER = 10,  // also the caller's value before parsing
};
inline constexpr std::uint32_t QZ_ALG_SIP_PARSER_EVENT_MAX = 11;

// Method codes, from the method word compared exactly (case-sensitive).
enum class qz_sip_method : std::uint32_t {
    QZ_SIP_METHOD_INVITE = 0,
    QZ_SIP_METHOD_ACK = 1,
    QZ_SIP_METHOD_CANCEL = 2,
    QZ_SIP_METHOD_BYE = 3,
    QZ_SIP_METHOD_OPTIONS = 4,
    QZ_SIP_METHOD_REGISTER = 5,
    QZ_SIP_METHOD_INFO = 6,
    QZ_SIP_METHOD_PRACK = 7,
    QZ_SIP_METHOD_UPDATE = 8,
    QZ_SIP_METHOD_MESSAGE = 9,
    QZ_SIP_METHOD_SUBSCRIBE = 10,
    QZ_SIP_METHOD_NOTIFY = 11,
    QZ_SIP_METHOD_REFER = 12,
    QZ_SIP_METHOD_PUBLISH = 13,
    QZ_SIP_METHOD_UNKNOWN = 14,
};
inline constexpr std::size_t QZ_SIP_METHOD_MAX = 14;  // known methods

// Media words of an m= line.
inline constexpr std::uint8_t QZ_SIP_MEDIA_AUDIO = 0;
inline constexpr std::uint8_t QZ_SIP_MEDIA_VIDEO = 1;
inline constexpr std::uint8_t QZ_SIP_MEDIA_APPLICATION = 2;
inline constexpr std::uint8_t QZ_SIP_MEDIA_OTHER = 3;

inline constexpr std::size_t QZ_SIP_PAYLOAD_MAX = 2000;
inline constexpr std::size_t QZ_SIP_MEDIA_MAX = 3;

// One SDP media stream.
struct qz_sip_media_t {
    std::uint32_t port;      // first media port, a host number; 0 = stream disabled
    std::uint32_t port_num;  // consecutive ports: 2 for RTP (RTP + RTCP), else 1
    std::uint32_t ip;        // network-order IPv4 address; always 0 when port is 0
    std::uint8_t media_type;
};

// The parse record: value-initialise it before parsing, release its strings
// with qz_sip_parse_data_free after each packet. Addresses and ports taken
// from the packet record are network-order values, as there.
struct qz_sip_parse_data_t {
    std::uint32_t ctrl_id;
    std::uint32_t ctrl_cookie;
    std::uint32_t cseq_num;
    qz_sip_method cseq_method;
    std::uint8_t src_mac[6];
    std::uint8_t dst_mac[6];
    std::uint8_t protocol;
    std::uint32_t src_ip;
    std::uint32_t dst_ip;
    std::uint16_t src_port;
    std::uint16_t dst_port;
    std::uint32_t ctrl_tag;
    std::string branch;  // branch parameter of the first Via header
    std::string callid;
    std::string from;  // up to and including the first '>'
    std::string to;
    // The streams of the SDP body, the last parsed first.
    std::array<qz_sip_media_t, QZ_SIP_MEDIA_MAX> media;
    std::uint32_t media_num;
    std::uint32_t status_code;  // 0 for a request

    std::span<const qz_sip_media_t> media_list() const { return {media.data(), media_num}; }
};

// Parses one packet record into *event and *data. Types 1 and 2 parse the
// payload; type 3 (timeout) names the session and gives QZ_SIP_EV_TIMEOUT.
// 0 on success, -1 on failure; *event is set as soon as the start line has
// been read, so a later failure still tells a request's method.
int qz_sip_parse(const qz_alg_pkt_t* pkt, qz_sip_parser_event* event, qz_sip_parse_data_t* data);

// Releases the strings and the media streams of the record (not the record).
void qz_sip_parse_data_free(qz_sip_parse_data_t* data);

// Method code of a method word; QZ_SIP_METHOD_UNKNOWN for any other word.
qz_sip_method qz_sip_method_code(std::string_view word);

// The parser event of a request method; QZ_SIP_EV_OTHER for UNKNOWN (which
// the parser itself never maps: an unknown request fails).
qz_sip_parser_event qz_sip_method_event(qz_sip_method method);

// True for the characters that end a token value (a Via branch, a tag):
// TAB, space and " ( ) , / : ; < > = ? @ [ ] \ { }.
bool qz_sip_is_separator(char c);
