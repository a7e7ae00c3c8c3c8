#include "alg/ftp/qz_ftp_parser.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "fed/qz_fed_debug.h"

namespace {

using enum qz_ftp_event_t;

inline constexpr std::uint16_t kFtpDataPort = 20;  // active mode: the server sends from port 20
inline constexpr int kCloseCodeMin = 400;          // 4xx and 5xx replies end the transfer
inline constexpr std::size_t kEprtFieldMax = 63;   // the address field's buffer holds 64 bytes

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equal_any_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

// Index of the first decimal digit at or after `from` (the size when none).
std::size_t first_digit(std::string_view s, std::size_t from) {
    while (from < s.size() && !is_digit(s[from])) ++from;
    return from;
}

// Reads the way sscanf does for the few formats of FTP arguments. Numbers wrap
// like the 32-bit word they fill: the protocol does not range-check them.
class Scan {
   public:
    explicit Scan(std::string_view s) : s_(s) {}

    // %d: white space, an optional sign, at least one digit.
    bool d(int& out) {
        std::size_t p = pos_;
        while (p < s_.size() && is_space(s_[p])) ++p;
        bool neg = false;
        if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) neg = s_[p++] == '-';
        if (p >= s_.size() || !is_digit(s_[p])) return false;
        std::uint32_t v = 0;
        while (p < s_.size() && is_digit(s_[p]))
            v = v * 10 + static_cast<std::uint32_t>(s_[p++] - '0');
        pos_ = p;
        out = static_cast<int>(neg ? 0u - v : v);
        return true;
    }
    // A literal character of the format.
    bool lit(char c) {
        if (pos_ >= s_.size() || s_[pos_] != c) return false;
        ++pos_;
        return true;
    }
    // %[^|]: one or more characters other than '|'; keeps what fits in cap - 1.
    bool not_pipe(char* out, std::size_t cap) {
        std::size_t n = 0;
        while (pos_ < s_.size() && s_[pos_] != '|') {
            if (n + 1 < cap) out[n++] = s_[pos_];
            ++pos_;
        }
        out[n] = '\0';
        return n > 0;
    }

   private:
    std::string_view s_;
    std::size_t pos_ = 0;
};

// "%d,%d,%d,%d,%d,%d": how many numbers were read.
int scan_six(std::string_view s, int v[6]) {
    Scan sc(s);
    int n = 0;
    while (n < 6 && (n == 0 || sc.lit(',')) && sc.d(v[n])) ++n;
    return n;
}

// h1..h4 and p1, p2 as the PORT command and the 227 reply write them.
void set_gate_destination(qz_ftp_obj_t* parse, const int v[6]) {
    auto u = [&](int i) { return static_cast<std::uint32_t>(v[i]); };
    parse->dst_ip = qz_alg_net32((u(0) << 24) + (u(1) << 16) + (u(2) << 8) + u(3));
    parse->dst_port = qz_alg_net16(static_cast<std::uint16_t>((u(4) << 8) + u(5)));
}

void report_six(const int v[6]) {
    FED_DBG(alg_ftp_error,
            "Input string invalid,parm[0]=%d, parm[1]=%d, parm[2]=%d,parm[3]=%d, parm[4]=%d, "
            "parm[5]=%d",
            v[0], v[1], v[2], v[3], v[4], v[5]);
}

void report_ports(const char* line, const qz_ftp_obj_t* parse) {
    FED_DBG(alg_ftp_pkt, "cmd=%s, src-port=%d, dst-port=%d", line, qz_alg_port_int(parse->src_port),
            qz_alg_port_int(parse->dst_port));
}

using ArgParser = int (*)(const char* line, qz_ftp_obj_t* parse);

// Command words and reply codes, in the order they are tried. Commands match
// in any case, reply codes exactly; both only as the whole first word.
struct FtpWord {
    std::string_view text;
    bool any_case;
    qz_ftp_event_t event;
    ArgParser parse;       // the argument parser, or none
    const char* fail_fmt;  // its failure line
};
constexpr FtpWord kFtpWords[] = {
    {"PORT", true, QZ_FTP_EVT_PORT, qz_get_ftp_port_cmd_info,
     "qz_get_ftp_port_cmd_info fail, retcode = %d"},
    {"PASV", true, QZ_FTP_EVT_PASV, nullptr, nullptr},
    {"227", false, QZ_FTP_EVT_PASV_227, qz_get_ftp_pasv_cmd_info,
     "qz_get_ftp_pasv_cmd_info fail, retcode = %d"},
    {"EPRT", true, QZ_FTP_EVT_EPRT, qz_get_ftp_eprt_cmd_info,
     "qz_get_ftp_eprt_cmd_info fail, retcode = %d"},
    {"EPSV", true, QZ_FTP_EVT_EPSV, nullptr, nullptr},
    {"229", false, QZ_FTP_EVT_EPSV_229, qz_get_ftp_epsv_cmd_info,
     "qz_get_ftp_epsv_cmd_info fail,retcode = %d"},
    {"226", false, QZ_FTP_EVT_CLOSE, nullptr, nullptr},
    {"221", false, QZ_FTP_EVT_CLOSE, nullptr, nullptr},
    {"250", false, QZ_FTP_EVT_CLOSE, nullptr, nullptr},
    {"200", false, QZ_FTP_EVT_OK_200, nullptr, nullptr},
};

// A word that matches nothing above: any reply of 400 or more closes.
qz_ftp_event_t classify_code(std::string_view word) {
    if (word.empty() || !is_digit(word[0])) return QZ_FTP_EVT_OTHER;
    int v = 0;
    for (std::size_t i = 0; i < word.size() && is_digit(word[i]) && v < kCloseCodeMin; ++i)
        v = v * 10 + (word[i] - '0');
    return v >= kCloseCodeMin ? QZ_FTP_EVT_CLOSE : QZ_FTP_EVT_OTHER;
}

// Every event but NONE names the session, so the state machine finds it.
int raise(qz_ftp_event_t ev, int rc, const qz_alg_pkt_t* pkt, qz_ftp_event_t* event,
          qz_ftp_obj_t* parse) {
    *event = ev;
    parse->ctrl_id = pkt->ctrl_id;
    parse->ctrl_cookie = pkt->ctrl_cookie;
    return rc;
}

int parse_line(const qz_alg_pkt_t* pkt, qz_ftp_event_t* event, qz_ftp_obj_t* parse) {
    if (pkt->pkt_length == 0 || pkt->pkt_length > QZ_FTP_PAYLOAD_MAX) {
        FED_DBG(alg_ftp_error, "Input invalid, paket lenth=%d, paket address=%d",
                static_cast<int>(pkt->pkt_length),
                static_cast<int>(reinterpret_cast<std::uintptr_t>(pkt->data.data())));
        return -1;
    }
    FED_DBG(alg_ftp_pkt,
            "pkt_length=%d, src_ip=%i, src_port=%d, dst_ip=%i, dst_port=%d,portocol=%d, "
            "ctr_id=%d, ctr_cookie=%d\n",
            static_cast<int>(pkt->pkt_length), pkt->src_ip, qz_alg_port_int(pkt->src_port),
            pkt->dst_ip, qz_alg_port_int(pkt->dst_port), static_cast<int>(pkt->protocol),
            static_cast<int>(pkt->ctrl_id), static_cast<int>(pkt->ctrl_cookie));
    if (qz_fed_debug_on(fed_dbg::alg_ftp_pkt))
        qz_hexdump(pkt->data.data(), static_cast<int>(pkt->data.size()));

    // The payload as a terminated string: it ends at its first NUL, if any.
    char buf[QZ_FTP_PAYLOAD_MAX + 1] = {};
    std::memcpy(buf, pkt->data.data(), std::min(pkt->data.size(), QZ_FTP_PAYLOAD_MAX));
    std::string_view text(buf);
    std::size_t crlf = text.find("\r\n");
    if (crlf == std::string_view::npos) {
        FED_DBG(alg_ftp_pkt, "FE send invalid paket, no CRLF sequence string(%s)", buf);
        return raise(QZ_FTP_EVT_INVALID, -1, pkt, event, parse);
    }
    // Only the first line counts.
    buf[crlf] = '\0';
    std::string_view line(buf, crlf);
    std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        FED_DBG(alg_ftp_error, "Get first <space> fail");
        return raise(QZ_FTP_EVT_INVALID, -1, pkt, event, parse);
    }
    // The word runs from the start of the line, so leading blanks match nothing;
    // a word longer than its 64-byte buffer is cut, which also matches nothing.
    std::size_t end = std::min(line.find(' ', start), line.size());
    char word_buf[QZ_FTP_WORD_SIZE] = {};
    std::memcpy(word_buf, buf, std::min(end, QZ_FTP_WORD_SIZE - 1));
    std::string_view word(word_buf);

    for (const FtpWord& w : kFtpWords) {
        if (w.any_case ? !equal_any_case(word, w.text) : word != w.text) continue;
        if (!w.parse) return raise(w.event, 0, pkt, event, parse);
        int rc = w.parse(buf, parse);
        if (rc < 0) {
            FED_DBG(alg_ftp_error, w.fail_fmt, rc);
            return raise(QZ_FTP_EVT_INVALID, rc, pkt, event, parse);
        }
        // The data connection runs between the packet's two ends as each event says.
        parse->src_ip = pkt->dst_ip;
        if (w.event == QZ_FTP_EVT_EPRT || w.event == QZ_FTP_EVT_EPSV_229)
            parse->dst_ip = pkt->src_ip;
        parse->protocol = pkt->protocol;
        return raise(w.event, 0, pkt, event, parse);
    }
    return raise(classify_code(word), 0, pkt, event, parse);
}

}  // namespace

int qz_alg_ftp_parser(const qz_alg_pkt_t* pkt, qz_ftp_event_t* event, qz_ftp_obj_t* parse) {
    if (!pkt) {
        FED_DBG(alg_ftp_error, "Input invalid, null packet encountered");
        return -1;
    }
    switch (pkt->pkt_type) {
        case QZ_ALG_PKT_CTRL:
        case QZ_ALG_PKT_CTRL2:
            return parse_line(pkt, event, parse);
        case QZ_ALG_PKT_TIMEOUT:
            return raise(QZ_FTP_EVT_TIMEOUT, 0, pkt, event, parse);
        default:
            FED_DBG(alg_ftp_pkt, "Unknown packet type(%d)", static_cast<int>(pkt->pkt_type));
            return -1;
    }
}

int qz_get_ftp_port_cmd_info(const char* line, qz_ftp_obj_t* parse) {
    std::string_view s(line);
    std::size_t blank = s.find(' ');
    if (blank == std::string_view::npos) {
        FED_DBG(alg_ftp_error, "No <space> in string(%s)", line);
        return -1;
    }
    int v[6] = {};
    if (scan_six(s.substr(first_digit(s, blank)), v) < 6) {
        report_six(v);
        return -1;
    }
    set_gate_destination(parse, v);
    parse->src_port = qz_alg_net16(kFtpDataPort);
    report_ports(line, parse);
    return 0;
}

int qz_get_ftp_pasv_cmd_info(const char* line, qz_ftp_obj_t* parse) {
    std::string_view s(line);
    std::size_t open = s.find('(');
    std::size_t close = s.find(')');
    if (open == std::string_view::npos || close == std::string_view::npos) {
        FED_DBG(alg_ftp_error, "No ( or ) in string(%s)", line);
        return -1;
    }
    // The line ends at ')'; when ')' comes first the numbers run on to the end.
    std::string_view cut = s.substr(0, close);
    std::string_view args = close > open ? cut.substr(open) : s.substr(open);
    int v[6] = {};
    if (scan_six(args.substr(first_digit(args, 0)), v) < 6) {
        report_six(v);
        return -1;
    }
    set_gate_destination(parse, v);
    parse->src_port = 0;
    FED_DBG(alg_ftp_pkt, "cmd=%s, src-port=%d, dst-port=%d", std::string(cut).c_str(),
            qz_alg_port_int(parse->src_port), qz_alg_port_int(parse->dst_port));
    return 0;
}

int qz_get_ftp_eprt_cmd_info(const char* line, qz_ftp_obj_t* parse) {
    std::string_view s(line);
    std::size_t bar = s.find('|');
    if (bar == std::string_view::npos) {
        FED_DBG(alg_ftp_error, "No delim(|)in buffer ftpdata(%s)", line);
        return -1;
    }
    std::string_view args = s.substr(first_digit(s, bar));
    // No field between two '|' may outgrow the address buffer.
    for (std::size_t from = args.find('|'); from != std::string_view::npos;) {
        std::size_t to = args.find('|', from + 1);
        if (to == std::string_view::npos) break;
        if (to - from - 1 > kEprtFieldMax) {
            FED_DBG(alg_ftp_error, "Input string invalid(%s)", line);
            return -1;
        }
        from = to;
    }
    // "%d|%[^|]|%d": network protocol, address text (not used), port.
    Scan sc(args);
    int protocol = 0;
    int port = 0;
    char addr[kEprtFieldMax + 1] = {};
    int fields = 0;
    if (sc.d(protocol)) {
        ++fields;
        if (sc.lit('|') && sc.not_pipe(addr, sizeof addr)) {
            ++fields;
            if (sc.lit('|') && sc.d(port)) ++fields;
        }
    }
    if (fields < 3) {
        FED_DBG(alg_ftp_error, "Input str invalid(%s), protocol=%d,ipddd=%s, port=%d", line,
                protocol, addr, port);
        return -1;
    }
    if (protocol != 1) {
        FED_DBG(alg_ftp_error, "Can't support protocol=%d", protocol);
        return -1;
    }
    parse->dst_port = qz_alg_net16(static_cast<std::uint16_t>(port));
    parse->src_port = qz_alg_net16(kFtpDataPort);
    report_ports(line, parse);
    return 0;
}

int qz_get_ftp_epsv_cmd_info(const char* line, qz_ftp_obj_t* parse) {
    std::string_view s(line);
    std::size_t bar = s.find('|');
    if (bar == std::string_view::npos) {
        FED_DBG(alg_ftp_error, "No delim(|) from str(%s)", line);
        return -1;
    }
    std::uint32_t port = 0;
    for (std::size_t i = first_digit(s, bar); i < s.size() && is_digit(s[i]); ++i)
        port = port * 10 + static_cast<std::uint32_t>(s[i] - '0');
    parse->dst_port = qz_alg_net16(static_cast<std::uint16_t>(port));
    parse->src_port = 0;
    report_ports(line, parse);
    return 0;
}
