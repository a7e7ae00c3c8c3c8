#include "alg/sip/qz_sip_parser.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "fed/qz_fed_debug.h"

namespace {

using enum qz_sip_parser_event;
using enum qz_sip_method;
using sv = std::string_view;

// Longest runs of non-space characters each step accepts: the start line's
// URI field holds 512 bytes, every other word field 64. Longer runs are
// refused before any split, so no word can outgrow its field.
inline constexpr std::size_t kStartRunMax = 512;
inline constexpr std::size_t kWordField = 64;
inline constexpr std::size_t kCseqDigitsMax = 10;
inline constexpr std::size_t kPortDigitsMax = 6;
inline constexpr std::uint32_t kStatusMin = 100;
inline constexpr std::uint32_t kStatusMax = 699;
inline constexpr std::uint32_t kMediaPortMin = 1024;
inline constexpr std::uint32_t kMediaPortMax = 65535;

constexpr sv kMethodNames[QZ_SIP_METHOD_MAX] = {
    "INVITE", "ACK",    "CANCEL",  "BYE",       "OPTIONS", "REGISTER", "INFO",
    "PRACK",  "UPDATE", "MESSAGE", "SUBSCRIBE", "NOTIFY",  "REFER",    "PUBLISH",
};

// The event of each request method, indexed by method code.
constexpr qz_sip_parser_event kMethodEvent[QZ_SIP_METHOD_MAX] = {
    QZ_SIP_EV_INVITE, QZ_SIP_EV_ACK,   QZ_SIP_EV_CANCEL, QZ_SIP_EV_BYE,   QZ_SIP_EV_OTHER,
    QZ_SIP_EV_OTHER,  QZ_SIP_EV_INFO,  QZ_SIP_EV_PRACK,  QZ_SIP_EV_OTHER, QZ_SIP_EV_OTHER,
    QZ_SIP_EV_OTHER,  QZ_SIP_EV_OTHER, QZ_SIP_EV_OTHER,  QZ_SIP_EV_OTHER,
};
static_assert(std::size(kMethodEvent) == std::size(kMethodNames));

bool is_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool all_digits(sv s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), is_digit);
}

// A NUL-terminated copy for %s; only built when a debug line is written.
std::string z(sv s) {
    return std::string(s);
}

sv trim(sv s) {
    std::size_t b = 0;
    while (b < s.size() && is_space(s[b])) ++b;
    std::size_t e = s.size();
    while (e > b && is_space(s[e - 1])) --e;
    return s.substr(b, e - b);
}

sv skip_space(sv s) {
    std::size_t b = 0;
    while (b < s.size() && is_space(s[b])) ++b;
    return s.substr(b);
}

// The first N white-space separated words of s, how many there are (at
// most N), and the length of the longest run of non-space characters over
// the whole of s, found in one pass.
template <std::size_t N>
struct Words {
    sv w[N];
    std::size_t num = 0;
    std::size_t longest = 0;
};
template <std::size_t N>
Words<N> split(sv s) {
    Words<N> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && is_space(s[i])) ++i;
        if (i >= s.size()) break;
        std::size_t b = i;
        while (i < s.size() && !is_space(s[i])) ++i;
        out.longest = std::max(out.longest, i - b);
        if (out.num < N) out.w[out.num++] = s.substr(b, i - b);
    }
    return out;
}

// Decimal value of an all-digit word, held at `cap` once it passes it.
std::uint64_t number(sv digits, std::uint64_t cap) {
    std::uint64_t v = 0;
    for (char c : digits) {
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (v > cap) return cap;
    }
    return v;
}

// Index of the CR of the first CR LF at or after `from` that is not followed
// by SP or HTAB (a folded header goes on); npos when the text has none.
std::size_t line_end(sv s, std::size_t from) {
    // One memchr per line: each LF found is checked for the CR before it.
    for (std::size_t lf = from + 1; lf < s.size(); ++lf) {
        const void* at = std::memchr(s.data() + lf, '\n', s.size() - lf);
        if (!at) break;
        lf = static_cast<std::size_t>(static_cast<const char*>(at) - s.data());
        if (s[lf - 1] != '\r') continue;
        if (lf + 1 >= s.size() || (s[lf + 1] != ' ' && s[lf + 1] != '\t')) return lf - 1;
    }
    return sv::npos;
}

// Calls fn on each trimmed, non-empty line of the section; the first failure
// stops. Text after the last line end is an unterminated line and fails.
template <typename Fn>
int for_each_line(sv section, Fn&& fn) {
    std::size_t pos = 0;
    while (pos < section.size()) {
        std::size_t end = line_end(section, pos);
        if (end == sv::npos) {
            FED_DBG(alg_sip_error, "No line whitespace in string");
            return -1;
        }
        sv line = trim(section.substr(pos, end - pos));
        pos = end + 2;
        if (line.empty()) continue;
        if (fn(line) < 0) return -1;
    }
    return 0;
}

// Dotted-quad IPv4 text to a host number.
bool dotted_ipv4(sv s, std::uint32_t& out) {
    std::uint32_t v = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (s.empty() || s[0] != '.') return false;
            s.remove_prefix(1);
        }
        std::size_t n = 0;
        while (n < s.size() && n < 4 && is_digit(s[n])) ++n;
        if (n == 0 || n > 3) return false;
        auto octet = static_cast<std::uint32_t>(number(s.substr(0, n), 1000));
        if (octet > 255) return false;
        v = (v << 8) | octet;
        s.remove_prefix(n);
    }
    if (!s.empty()) return false;
    out = v;
    return true;
}

// ---- start line

int parse_start_line(sv line, qz_sip_parser_event* event, qz_sip_parse_data_t* data) {
    auto [w, num, longest] = split<3>(line);
    if (longest >= kStartRunMax) {
        FED_DBG(alg_sip_error, "Invalid string(%s)", z(line).c_str());
        return -1;
    }
    if (num < 3) {
        FED_DBG(alg_sip_error, "Invalid string(%s), num = %d", z(line).c_str(),
                static_cast<int>(num));
        return -1;
    }
    // The method and version fields hold 64 bytes: a longer word cannot be read.
    if (w[0].size() >= kWordField || w[2].size() >= kWordField) {
        FED_DBG(alg_sip_error, "Invalid string(%s)", z(line).c_str());
        return -1;
    }
    qz_sip_method method = qz_sip_method_code(w[0]);
    if (method != QZ_SIP_METHOD_UNKNOWN) {
        *event = kMethodEvent[static_cast<std::size_t>(method)];
        FED_DBG(alg_sip_parser, "Input:%s, method=%s, statuscode=%d", z(line).c_str(),
                z(w[0]).c_str(), 0);
        return 0;
    }
    if (w[0] != "SIP/2.0") {
        FED_DBG(alg_sip_error, "No SIP/2.0 string in string(%s)", z(line).c_str());
        return -1;
    }
    if (!all_digits(w[1])) {
        FED_DBG(alg_sip_error, "Invalid status code string(%s)", z(w[1]).c_str());
        return -1;
    }
    auto code = static_cast<std::uint32_t>(number(w[1], kStatusMax + 1));
    if (code < kStatusMin || code > kStatusMax) {
        FED_DBG(alg_sip_error, "Invalid status code(%s)", z(w[1]).c_str());
        return -1;
    }
    data->status_code = code;
    *event = code < 200 ? QZ_SIP_EV_1XX : code < 300 ? QZ_SIP_EV_2XX : QZ_SIP_EV_3XX_6XX;
    FED_DBG(alg_sip_parser, "Input:%s, output:method=%s, statuscode=%d", z(line).c_str(),
            z(w[0]).c_str(), static_cast<int>(code));
    return 0;
}

// ---- header values

enum class Header { Via, CallId, CSeq, From, To, Ignored };

struct HeaderName {
    sv name;
    Header kind;
};
constexpr HeaderName kHeaders[] = {
    {"Via", Header::Via},  {"v", Header::Via},     {"Call-ID", Header::CallId},
    {"i", Header::CallId}, {"CSeq", Header::CSeq}, {"From", Header::From},
    {"f", Header::From},   {"To", Header::To},     {"t", Header::To},
};

// The kind of a header by its name with all white space removed. Most names
// hold none and are compared where they lie; only the first letter and the
// length of a candidate are looked at before the whole word.
Header header_kind(sv raw) {
    sv name = trim(raw);
    char joined[kWordField];
    if (std::any_of(name.begin(), name.end(), is_space)) {
        std::size_t n = 0;
        for (char c : name) {
            if (is_space(c)) continue;
            if (n == sizeof joined) return Header::Ignored;  // longer than any known name
            joined[n++] = c;
        }
        name = sv(joined, n);
    }
    if (name.empty()) return Header::Ignored;
    for (const HeaderName& h : kHeaders)
        if (h.name.size() == name.size() && h.name[0] == name[0] && h.name == name) return h.kind;
    return Header::Ignored;
}

int parse_via(sv line, qz_sip_parse_data_t* data) {
    constexpr sv kBranch = "branch=";
    std::size_t at = line.find(kBranch);
    if (at == sv::npos) {
        FED_DBG(alg_sip_error, "No branch param in via head(%s)", z(line).c_str());
        return -1;
    }
    sv value = line.substr(at + kBranch.size());
    std::size_t end = 0;
    while (end < value.size() && !qz_sip_is_separator(value[end])) ++end;
    value = value.substr(0, end);
    while (!value.empty() && is_space(value.back())) value.remove_suffix(1);
    data->branch.assign(value);
    FED_DBG(alg_sip_parser, "Input:%s, output:branch=%s", z(line).c_str(), data->branch.c_str());
    return 0;
}

int parse_callid(sv line, qz_sip_parse_data_t* data) {
    std::size_t colon = line.find(':');
    if (colon == sv::npos) {
        FED_DBG(alg_sip_error, "No char : in  string(%s)", z(line).c_str());
        return -1;
    }
    data->callid.assign(skip_space(line.substr(colon + 1)));
    FED_DBG(alg_sip_parser, "Input:%s, output:callid=%s", z(line).c_str(), data->callid.c_str());
    return 0;
}

int parse_cseq(sv line, qz_sip_parse_data_t* data) {
    std::size_t colon = line.find(':');
    sv rest = colon == sv::npos ? sv{} : skip_space(line.substr(colon + 1));
    if (rest.empty()) {
        FED_DBG(alg_sip_error, "No digit in string(%s)", z(line).c_str());
        return -1;
    }
    auto [w, num, longest] = split<2>(rest);
    if (longest >= kWordField) {
        FED_DBG(alg_sip_error, "Invalid string(%s)", z(line).c_str());
        return -1;
    }
    if (num < 2) {
        FED_DBG(alg_sip_error, "No parameter(:) string(%s)", z(line).c_str());
        return -1;
    }
    if (w[0].size() > kCseqDigitsMax || !all_digits(w[0])) {
        FED_DBG(alg_sip_error, "Invalid cseq string(%s)", z(line).c_str());
        return -1;
    }
    // Ten digits may pass 32 bits: the number is held at the largest value.
    data->cseq_num = static_cast<std::uint32_t>(number(w[0], UINT32_MAX));
    data->cseq_method = qz_sip_method_code(w[1]);
    FED_DBG(alg_sip_parser, "Input:%s, output:num=%s, method=%s", z(line).c_str(), z(w[0]).c_str(),
            z(w[1]).c_str());
    return 0;
}

// From and To: the value up to the first '>', so tags are not kept.
int parse_fromto(sv line, std::string& out) {
    std::size_t colon = line.find(':');
    if (colon == sv::npos) {
        FED_DBG(alg_sip_error, "No char : in  string(%s)", z(line).c_str());
        return -1;
    }
    std::size_t gt = line.find('>');
    if (gt == sv::npos) {
        FED_DBG(alg_sip_error, "No char > in  string(%s)", z(line).c_str());
        return -1;
    }
    if (gt < colon) {
        FED_DBG(alg_sip_error, " char (>) is before char(:) in string(%s)", z(line).c_str());
        return -1;
    }
    std::size_t b = colon + 1;
    while (b < gt && is_space(line[b])) ++b;
    out.assign(line.substr(b, gt + 1 - b));
    FED_DBG(alg_sip_parser, "Input:%s, output:fromto=%s", z(line).c_str(), out.c_str());
    return 0;
}

struct Seen {
    bool via = false;
    bool callid = false;
    bool cseq = false;
};

int parse_header(sv line, qz_sip_parse_data_t* data, Seen& seen) {
    std::size_t colon = line.find(':');
    if (colon == sv::npos) {
        FED_DBG(alg_sip_error, "No : in input string(=%s)\n", z(line).c_str());
        return -1;
    }
    Header kind = header_kind(line.substr(0, colon));

    int rc = 0;
    switch (kind) {
        case Header::Via:
            // Only the top Via names the transaction.
            if (seen.via) return 0;
            seen.via = true;
            if ((rc = parse_via(line, data)) < 0)
                FED_DBG(alg_sip_error, "Via head parser fail,rc=%d ", rc);
            return rc;
        case Header::CallId:
            seen.callid = true;
            if ((rc = parse_callid(line, data)) < 0)
                FED_DBG(alg_sip_error, "Call-id head parser fail,rc=%d ", rc);
            return rc;
        case Header::CSeq:
            seen.cseq = true;
            if ((rc = parse_cseq(line, data)) < 0)
                FED_DBG(alg_sip_error, "Cseq head parser fail,rc=%d ", rc);
            return rc;
        case Header::From:
            if ((rc = parse_fromto(line, data->from)) < 0)
                FED_DBG(alg_sip_error, "From head parser fail,rc=%d ", rc);
            return rc;
        case Header::To:
            if ((rc = parse_fromto(line, data->to)) < 0)
                FED_DBG(alg_sip_error, "To head parser fail,rc=%d ", rc);
            return rc;
        case Header::Ignored:
            return 0;
    }
    return 0;
}

// ---- SDP body

struct Sdp {
    std::uint32_t session_ip = 0;  // network order
    bool seen_c = false;
    bool seen_m = false;
};

int parse_connection(sv line, qz_sip_parse_data_t* data, Sdp& sdp) {
    std::size_t eq = line.find('=');
    if (eq == sv::npos) {
        FED_DBG(alg_sip_error, "Invalid connection string:%s, no '='\n", z(line).c_str());
        return -1;
    }
    sv rest = line.substr(eq + 1);
    auto [w, num, longest] = split<3>(rest);
    if (longest >= kWordField) {
        FED_DBG(alg_sip_error, "Invalid string(%s)", z(line).c_str());
        return -1;
    }
    if (num < 3) {
        FED_DBG(alg_sip_error, "Invalid connection string:%s\n", z(line).c_str());
        return -1;
    }
    if (w[0] != "IN") {
        FED_DBG(alg_sip_error, "Unsupport network type=%s\n", z(w[0]).c_str());
        return -1;
    }
    if (w[1] != "IP4") {
        FED_DBG(alg_sip_error, "Unsupport address type=%s\n", z(w[1]).c_str());
        return -1;
    }
    // A multicast address carries a TTL and a count after '/'.
    sv addr = w[2].substr(0, w[2].find('/'));
    std::uint32_t host = 0;
    if (!dotted_ipv4(addr, host)) {
        FED_DBG(alg_sip_error, "Invalid ip addr=%s\n", z(addr).c_str());
        return -1;
    }
    FED_DBG(alg_sip_parser, "Input:%s, ipadr=%s", z(line).c_str(), z(addr).c_str());
    std::uint32_t ip = qz_alg_net32(host);
    if (!sdp.seen_m) {
        sdp.session_ip = ip;
    } else if (data->media_num > 0 && data->media[0].port != 0) {
        // A disabled stream keeps no address.
        data->media[0].ip = ip;
    }
    return 0;
}

int parse_media(sv line, qz_sip_parse_data_t* data, const Sdp& sdp) {
    if (data->media_num >= QZ_SIP_MEDIA_MAX) return 0;
    std::size_t eq = line.find('=');
    if (eq == sv::npos) {
        FED_DBG(alg_sip_error, "No keyword(=) in media string(%s)", z(line).c_str());
        return -1;
    }
    sv rest = line.substr(eq + 1);
    auto [w, num, longest] = split<4>(rest);
    if (longest >= kWordField) {
        FED_DBG(alg_sip_error, "Invalid string(%s)", z(line).c_str());
        return -1;
    }
    if (num < 4) {
        FED_DBG(alg_sip_error, "Invalid media string(%s)", z(line).c_str());
        return -1;
    }
    qz_sip_media_t m{};
    m.ip = sdp.session_ip;
    m.media_type = w[0] == "audio"         ? QZ_SIP_MEDIA_AUDIO
                   : w[0] == "video"       ? QZ_SIP_MEDIA_VIDEO
                   : w[0] == "application" ? QZ_SIP_MEDIA_APPLICATION
                                           : QZ_SIP_MEDIA_OTHER;
    // A port with a "/count" suffix is not all digits and is refused.
    std::uint64_t port = all_digits(w[1]) && w[1].size() <= kPortDigitsMax
                             ? number(w[1], kMediaPortMax + 1)
                             : kMediaPortMax + 1;
    if (port != 0 && (port < kMediaPortMin || port > kMediaPortMax)) {
        FED_DBG(alg_sip_error, "Invalid media port string(%s)", z(w[1]).c_str());
        return -1;
    }
    m.port = static_cast<std::uint32_t>(port);
    m.port_num = w[2].substr(0, 3) == "RTP" ? 2 : 1;
    if (m.port == 0) m.ip = 0;
    // The newest stream goes first; at most three are kept.
    std::copy_backward(data->media.begin(), data->media.begin() + data->media_num,
                       data->media.begin() + data->media_num + 1);
    data->media[0] = m;
    ++data->media_num;
    FED_DBG(alg_sip_parser, "Input:%s, mediatype=%d, port=%d, portnum=%d, protocol=%s, ipadd=%i",
            z(line).c_str(), static_cast<int>(m.media_type), static_cast<int>(m.port),
            static_cast<int>(m.port_num), z(w[2]).c_str(), m.ip);
    return 0;
}

int parse_sdp(sv body, qz_sip_parse_data_t* data) {
    Sdp sdp;
    int rc = for_each_line(body, [&](sv line) {
        if (line.size() < 2 || line[1] != '=') {
            FED_DBG(alg_sip_error, "No = in input string(%s)\n", z(line).c_str());
            return -1;
        }
        if (line[0] == 'c') {
            sdp.seen_c = true;
            return parse_connection(line, data, sdp);
        }
        if (line[0] == 'm') {
            sdp.seen_m = true;
            int r = parse_media(line, data, sdp);
            if (r < 0) FED_DBG(alg_sip_error, "SDP body media parser fail,rc=%d ", r);
            return r;
        }
        return 0;
    });
    if (rc < 0) return rc;
    return sdp.seen_c && sdp.seen_m ? 0 : -1;
}

// ---- the message

int parse_payload(const qz_alg_pkt_t* pkt, qz_sip_parser_event* event, qz_sip_parse_data_t* data) {
    if (pkt->pkt_length == 0 || pkt->pkt_length > QZ_SIP_PAYLOAD_MAX) {
        FED_DBG(alg_sip_error, "Except packet, pkt length=%d", static_cast<int>(pkt->pkt_length));
        return -1;
    }
    // A private terminated copy on the stack (the length is at most 2000):
    // the text ends at its first NUL, and never reaches past the bytes that
    // really arrived, whatever the length claims.
    char buf[QZ_SIP_PAYLOAD_MAX + 1];
    std::size_t n = std::min<std::size_t>(pkt->pkt_length, pkt->data.size());
    if (n) std::memcpy(buf, pkt->data.data(), n);
    const void* nul = std::memchr(buf, '\0', n);
    sv text(buf, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buf) : n);

    // The header section keeps the CR LF of its last line; the body starts at "v=0".
    // The header section ends at the first "\r\n\r\nv=0", where the SDP body
    // starts. That CR LF always ends a line (a CR follows it), so the walk
    // over the lines finds it without a search of its own.
    auto body_at = [&](std::size_t end) { return text.substr(end + 2, 5) == "\r\nv=0"; };
    std::size_t first = line_end(text, 0);
    if (first == sv::npos) {
        FED_DBG(alg_sip_error, "No correct CRCF sequence in string");
        return -1;
    }
    if (parse_start_line(trim(text.substr(0, first)), event, data) < 0) return -1;

    Seen seen;
    bool has_body = body_at(first);
    std::size_t pos = first + 2;
    while (!has_body && pos < text.size()) {
        std::size_t end = line_end(text, pos);
        if (end == sv::npos) {
            FED_DBG(alg_sip_error, "No line whitespace in string");
            return -1;
        }
        sv line = trim(text.substr(pos, end - pos));
        if (!line.empty() && parse_header(line, data, seen) < 0) return -1;
        has_body = body_at(end);
        pos = end + 2;
    }
    sv body = has_body ? text.substr(pos + 2) : sv{};
    if (!seen.cseq || !seen.callid || !seen.via) return -1;
    if (has_body && parse_sdp(body, data) < 0) return -1;

    data->ctrl_id = pkt->ctrl_id;
    data->ctrl_cookie = pkt->ctrl_cookie;
    std::memcpy(data->src_mac, pkt->src_mac, sizeof data->src_mac);
    std::memcpy(data->dst_mac, pkt->dst_mac, sizeof data->dst_mac);
    data->src_ip = pkt->src_ip;
    data->src_port = pkt->src_port;
    data->dst_ip = pkt->dst_ip;
    data->dst_port = pkt->dst_port;
    data->protocol = pkt->protocol;
    data->ctrl_tag = pkt->ctrl_tag;
    FED_DBG(alg_sip_parser,
            "Parser event=%d,Ctrl_id=%d,Ctrl_cookie=%d,Callid=%s,Branch=%s,Cseqnum=%d,"
            "Cseqmethod=%d, Smac=%m, Dmac=%m",
            static_cast<int>(*event), static_cast<int>(data->ctrl_id),
            static_cast<int>(data->ctrl_cookie), data->callid.c_str(), data->branch.c_str(),
            static_cast<int>(data->cseq_num), static_cast<int>(data->cseq_method), data->src_mac,
            data->dst_mac);
    for (const qz_sip_media_t& m : data->media_list())
        FED_DBG(alg_sip_parser, "Start port=%d,Num of port=%d,Ipadress=%i",
                static_cast<int>(m.port), static_cast<int>(m.port_num), m.ip);
    return 0;
}

}  // namespace

int qz_sip_parse(const qz_alg_pkt_t* pkt, qz_sip_parser_event* event, qz_sip_parse_data_t* data) {
    if (!pkt || !event || !data) return -1;
    switch (pkt->pkt_type) {
        case QZ_ALG_PKT_CTRL:
        case QZ_ALG_PKT_CTRL2:
            return parse_payload(pkt, event, data);
        case QZ_ALG_PKT_TIMEOUT:
            data->ctrl_id = pkt->ctrl_id;
            data->ctrl_cookie = pkt->ctrl_cookie;
            *event = QZ_SIP_EV_TIMEOUT;
            return 0;
        default:
            FED_DBG(alg_sip_error, "Unknown packet type(%d)", static_cast<int>(pkt->pkt_type));
            return -1;
    }
}

void qz_sip_parse_data_free(qz_sip_parse_data_t* data) {
    if (!data) return;
    std::string().swap(data->branch);
    std::string().swap(data->callid);
    std::string().swap(data->from);
    std::string().swap(data->to);
    data->media = {};
    data->media_num = 0;
}

qz_sip_method qz_sip_method_code(std::string_view word) {
    // Every method name starts with a capital from A to U.
    if (word.empty() || word[0] < 'A' || word[0] > 'U') return QZ_SIP_METHOD_UNKNOWN;
    for (std::size_t i = 0; i < QZ_SIP_METHOD_MAX; ++i)
        if (kMethodNames[i][0] == word[0] && kMethodNames[i] == word)
            return static_cast<qz_sip_method>(i);
    return QZ_SIP_METHOD_UNKNOWN;
}

qz_sip_parser_event qz_sip_method_event(qz_sip_method method) {
    auto i = static_cast<std::size_t>(method);
    return i < QZ_SIP_METHOD_MAX ? kMethodEvent[i] : QZ_SIP_EV_OTHER;
}

bool qz_sip_is_separator(char c) {
    constexpr sv kSeparators = "\t \"(),/:;<>=?@[]\\{}";
    return kSeparators.find(c) != sv::npos;
}
