// The SIP message parser: one packet record in, one event and one parse
// record out; every refusal is the debug line fed writes for it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "alg/sip/qz_sip_parser.h"
#include "tests/alg/alg_test_support.h"

namespace algtest {
namespace {

using enum qz_sip_parser_event;
using enum qz_sip_method;

constexpr const char* kErr = "fed_alg_sip_error";
constexpr const char* kTrace = "fed_alg_sip_parser";

const std::string kVia = "Via: SIP/2.0/UDP 10.0.0.1:5060;branch=z9hG4bK776asdhds\r\n";
const std::string kFrom = "From: Alice <sip:alice@a.com>;tag=1928301774\r\n";
const std::string kTo = "To: Bob <sip:bob@b.com>\r\n";
const std::string kCallId = "Call-ID: a84b4c76e66710@pc33\r\n";
const std::string kCseq = "CSeq: 314159 INVITE\r\n";
const std::string kHeaders = kVia + kFrom + kTo + kCallId + kCseq;
const std::string kInvite = "INVITE sip:bob@b.com SIP/2.0";

std::string message(const std::string& start, const std::string& headers = kHeaders,
                    const std::string& body = "") {
    return start + "\r\n" + headers + "\r\n" + body;
}

// An SDP body: the fixed session lines, then the given ones.
std::string sdp(const std::string& lines) {
    return "v=0\r\no=- 1 1 IN IP4 10.9.9.9\r\ns=-\r\nt=0 0\r\n" + lines;
}

// The record decoded from a block of exactly the bytes that arrived, so that a
// read past them is caught by ASan.
struct Parsed {
    int rc = 0;
    qz_sip_parser_event event = QZ_SIP_EV_OTHER;
    qz_sip_parse_data_t data{};
    ~Parsed() { qz_sip_parse_data_free(&data); }
};

std::unique_ptr<Parsed> parse_bytes(const std::vector<std::uint8_t>& rec, std::size_t n) {
    auto block = std::make_unique<std::uint8_t[]>(n ? n : 1);
    std::copy(rec.begin(), rec.begin() + static_cast<std::ptrdiff_t>(n), block.get());
    qz_alg_pkt_t pkt{};
    auto r = std::make_unique<Parsed>();
    if (!qz_alg_pkt_decode({block.get(), n}, &pkt)) return r;
    r->rc = qz_sip_parse(&pkt, &r->event, &r->data);
    return r;
}

Pkt sip_packet(const std::string& payload) {
    return Pkt{.alg_type = QZ_ALG_TYPE_SIP,
               .protocol = 17,
               .src_port = 5060,
               .dst_port = 5060,
               .payload = payload};
}

std::unique_ptr<Parsed> parse(const Pkt& p) {
    auto rec = p.bytes();
    return parse_bytes(rec, rec.size());
}
std::unique_ptr<Parsed> parse(const std::string& payload) {
    return parse(sip_packet(payload));
}

class SipParserTest : public ::testing::Test {
   protected:
    void SetUp() override {
        clear();
        debug_all(true);
    }
    void TearDown() override { debug_all(false); }
};

// ---- start line

struct StartCase {
    std::string line;
    int rc;
    qz_sip_parser_event event;
    std::uint32_t status = 0;
    std::string text = {};  // the trace line, or the error line of a refusal
};

const std::string kUri511 = "sip:" + std::string(507, 'u');
const std::string kUri512 = "sip:" + std::string(508, 'u');

// clang-format off
const StartCase kStartLines[] = {
    {kInvite, 0, QZ_SIP_EV_INVITE, 0,
     "Input:INVITE sip:bob@b.com SIP/2.0, method=INVITE, statuscode=0"},
    {"ACK sip:b SIP/2.0", 0, QZ_SIP_EV_ACK},
    {"CANCEL sip:b SIP/2.0", 0, QZ_SIP_EV_CANCEL},
    {"BYE sip:b SIP/2.0", 0, QZ_SIP_EV_BYE},
    {"INFO sip:b SIP/2.0", 0, QZ_SIP_EV_INFO},
    {"PRACK sip:b SIP/2.0", 0, QZ_SIP_EV_PRACK},
    {"OPTIONS sip:b SIP/2.0", 0, QZ_SIP_EV_OTHER},
    {"PUBLISH sip:b SIP/2.0", 0, QZ_SIP_EV_OTHER},
    {"REGISTER sip:b SIP/2.0", 0, QZ_SIP_EV_OTHER},
    {"UPDATE sip:b SIP/2.0", 0, QZ_SIP_EV_OTHER},
    {"MESSAGE sip:b SIP/2.0", 0, QZ_SIP_EV_OTHER},
    {"SUBSCRIBE sip:b SIP/2.0", 0, QZ_SIP_EV_OTHER},
    {"NOTIFY sip:b SIP/2.0", 0, QZ_SIP_EV_OTHER},
    {"REFER sip:b SIP/2.0", 0, QZ_SIP_EV_OTHER},
    {"INVITE sip:b SIP/7.0", 0, QZ_SIP_EV_INVITE},
    {"BYE sip:b SIP/2.0 more words", 0, QZ_SIP_EV_BYE},
    {" \t INVITE sip:b SIP/2.0 \t", 0, QZ_SIP_EV_INVITE},
    {"INVITE sip:b\r\n SIP/2.0", 0, QZ_SIP_EV_INVITE},
    {"INVITE " + kUri511 + " SIP/2.0", 0, QZ_SIP_EV_INVITE},
    {"INVITE " + kUri512 + " SIP/2.0", -1, QZ_SIP_EV_OTHER, 0,
     "Invalid string(INVITE " + kUri512 + " SIP/2.0)"},
    {std::string(64, 'I') + " sip:b SIP/2.0", -1, QZ_SIP_EV_OTHER, 0,
     "Invalid string(" + std::string(64, 'I') + " sip:b SIP/2.0)"},
    {"INVITE sip:b " + std::string(64, 'S'), -1, QZ_SIP_EV_OTHER},
    {"FOO sip:b SIP/2.0", -1, QZ_SIP_EV_OTHER, 0, "No SIP/2.0 string in string(FOO sip:b SIP/2.0)"},
    {"invite sip:b SIP/2.0", -1, QZ_SIP_EV_OTHER, 0,
     "No SIP/2.0 string in string(invite sip:b SIP/2.0)"},
    {"INVITE sip:b", -1, QZ_SIP_EV_OTHER, 0, "Invalid string(INVITE sip:b), num = 2"},
    {"", -1, QZ_SIP_EV_OTHER, 0, "Invalid string(), num = 0"},
    {"SIP/2.0 180 Ringing", 0, QZ_SIP_EV_1XX, 180,
     "Input:SIP/2.0 180 Ringing, output:method=SIP/2.0, statuscode=180"},
    {"SIP/2.0 100 Trying", 0, QZ_SIP_EV_1XX, 100},
    {"SIP/2.0 199 x", 0, QZ_SIP_EV_1XX, 199},
    {"SIP/2.0 200 OK", 0, QZ_SIP_EV_2XX, 200},
    {"SIP/2.0 299 x", 0, QZ_SIP_EV_2XX, 299},
    {"SIP/2.0 300 x", 0, QZ_SIP_EV_3XX_6XX, 300},
    {"SIP/2.0 486 Busy Here", 0, QZ_SIP_EV_3XX_6XX, 486},
    {"SIP/2.0 699 x", 0, QZ_SIP_EV_3XX_6XX, 699},
    {"SIP/2.0 0200 OK", 0, QZ_SIP_EV_2XX, 200},
    {"SIP/2.0 99 x", -1, QZ_SIP_EV_OTHER, 0, "Invalid status code(99)"},
    {"SIP/2.0 700 x", -1, QZ_SIP_EV_OTHER, 0, "Invalid status code(700)"},
    {"SIP/2.0 4294967496 x", -1, QZ_SIP_EV_OTHER, 0, "Invalid status code(4294967496)"},
    {"SIP/2.0 18a Ringing", -1, QZ_SIP_EV_OTHER, 0, "Invalid status code string(18a)"},
    {"SIP/2.0 200", -1, QZ_SIP_EV_OTHER, 0, "Invalid string(SIP/2.0 200), num = 2"},
    {"SIP/3.0 200 OK", -1, QZ_SIP_EV_OTHER, 0, "No SIP/2.0 string in string(SIP/3.0 200 OK)"},
};
// clang-format on

TEST_F(SipParserTest, SipStartLineEventAndStatus) {
    for (const StartCase& c : kStartLines) {
        SCOPED_TRACE(c.line);
        clear();
        auto r = parse(message(c.line));
        EXPECT_EQ(r->rc, c.rc);
        EXPECT_EQ(r->event, c.event);
        EXPECT_EQ(r->data.status_code, c.status);
        if (!c.text.empty()) {
            EXPECT_TRUE(logged(c.rc ? kErr : kTrace, c.text)) << log();
        }
    }
}

// ---- headers

const std::string kBranch = "z9hG4bK776asdhds";
const std::string kCall = "a84b4c76e66710@pc33";
const std::string kFromV = "Alice <sip:alice@a.com>";
const std::string kToV = "Bob <sip:bob@b.com>";

// A refusal checks no field; a success checks every one, the usual ones by default.
struct HeaderCase {
    const char* name;
    std::string headers;  // the header lines, each with its CR LF
    int rc;
    std::string text = {};  // the trace line, or the error line of a refusal
    std::string branch = kBranch;
    std::string callid = kCall;
    std::uint32_t cseq_num = 314159;
    qz_sip_method cseq_method = QZ_SIP_METHOD_INVITE;
    std::string from = {};
    std::string to = {};
};

// clang-format off
const HeaderCase kHeaderCases[] = {
    {"long_forms", kHeaders, 0, "Input:CSeq: 314159 INVITE, output:num=314159, method=INVITE",
     kBranch, kCall, 314159, QZ_SIP_METHOD_INVITE, kFromV, kToV},
    {"compact_forms",
     "v: SIP/2.0/UDP h;branch=z9hG4bKc\r\ni: cid@h\r\nf: <sip:a@x>;tag=1\r\nt: <sip:b@y>\r\nCSeq: 2 ACK\r\n",
     0, "", "z9hG4bKc", "cid@h", 2, QZ_SIP_METHOD_ACK, "<sip:a@x>", "<sip:b@y>"},
    {"blanks_in_header_names",
     "V ia :SIP/2.0/UDP h;branch=b1\r\nCall-ID   : c1\r\nC Seq: 7 BYE\r\n", 0, "", "b1", "c1", 7,
     QZ_SIP_METHOD_BYE},
    {"lower_case_call_id_is_ignored", kVia + kFrom + kTo + "call-id: x\r\n" + kCseq, -1},
    {"upper_case_via_is_ignored", "VIA: SIP/2.0/UDP h;branch=b\r\n" + kFrom + kTo + kCallId + kCseq,
     -1},
    {"compact_cseq_does_not_exist", kVia + kCallId + "cseq: 1 INVITE\r\n", -1},
    {"missing_cseq", kVia + kFrom + kTo + kCallId, -1},
    {"missing_call_id", kVia + kFrom + kTo + kCseq, -1},
    {"missing_via", kFrom + kTo + kCallId + kCseq, -1},
    {"from_and_to_optional", kVia + kCallId + kCseq, 0},
    {"second_via_keeps_first_branch",
     "Via: SIP/2.0/UDP a;branch=first\r\nVia: SIP/2.0/UDP b;branch=second\r\n" + kCallId + kCseq, 0,
     "", "first"},
    {"second_via_without_branch", kVia + "Via: SIP/2.0/UDP b\r\n" + kCallId + kCseq, 0},
    {"first_via_without_branch", "Via: SIP/2.0/UDP h;rport\r\n" + kVia + kCallId + kCseq, -1,
     "No branch param in via head(Via: SIP/2.0/UDP h;rport)"},
    {"via_failure_line", "Via: SIP/2.0/UDP h\r\n" + kCallId + kCseq, -1,
     "Via head parser fail,rc=-1 "},
    {"branch_name_is_case_sensitive", "Via: SIP/2.0/UDP h;Branch=x\r\n" + kCallId + kCseq, -1},
    {"branch_to_end_of_line", "Via: SIP/2.0/UDP h;rport;branch=z9hG4bKend\r\n" + kCallId + kCseq, 0,
     "Input:Via: SIP/2.0/UDP h;rport;branch=z9hG4bKend, output:branch=z9hG4bKend", "z9hG4bKend"},
    {"branch_before_folded_line",
     "Via: SIP/2.0/UDP h;branch=z9f\r\n\t;received=1.2.3.4\r\n" + kCallId + kCseq, 0, "", "z9f"},
    {"branch_empty", "Via: SIP/2.0/UDP h;branch=;rport\r\n" + kCallId + kCseq, 0, "", ""},
    {"branch_keeps_token_characters",
     "Via: SIP/2.0/UDP h;branch=a-b.c!d%e*f_g+h`i'j~k\r\n" + kCallId + kCseq, 0, "",
     "a-b.c!d%e*f_g+h`i'j~k"},
    {"call_id_to_end_of_line", kVia + "i:   abc def \t\r\n" + kCseq, 0,
     "Input:i:   abc def, output:callid=abc def", kBranch, "abc def"},
    {"call_id_empty", kVia + "Call-ID:\r\n" + kCseq, 0, "", kBranch, ""},
    {"last_call_id_counts", kVia + kCallId + "Call-ID: later\r\n" + kCseq, 0, "", kBranch, "later"},
    {"cseq_ten_digits", kVia + kCallId + "CSeq: 4294967295 CANCEL\r\n", 0, "", kBranch, kCall,
     4294967295u, QZ_SIP_METHOD_CANCEL},
    {"cseq_ten_digits_past_32_bits", kVia + kCallId + "CSeq: 9999999999 BYE\r\n", 0, "", kBranch,
     kCall, 4294967295u, QZ_SIP_METHOD_BYE},
    {"cseq_leading_zeros", kVia + kCallId + "CSeq: 0000000001 PRACK\r\n", 0, "", kBranch, kCall, 1,
     QZ_SIP_METHOD_PRACK},
    {"cseq_eleven_digits", kVia + kCallId + "CSeq: 12345678901 INVITE\r\n", -1,
     "Invalid cseq string(CSeq: 12345678901 INVITE)"},
    {"cseq_not_digits", kVia + kCallId + "CSeq: 12a INVITE\r\n", -1,
     "Invalid cseq string(CSeq: 12a INVITE)"},
    {"cseq_without_method", kVia + kCallId + "CSeq: 1\r\n", -1, "No parameter(:) string(CSeq: 1)"},
    {"cseq_empty", kVia + kCallId + "CSeq:   \r\n", -1, "No digit in string(CSeq:)"},
    {"cseq_failure_line", kVia + kCallId + "CSeq:\r\n", -1, "Cseq head parser fail,rc=-1 "},
    {"cseq_method_of_63", kVia + kCallId + "CSeq: 5 " + std::string(63, 'M') + "\r\n", 0, "",
     kBranch, kCall, 5, QZ_SIP_METHOD_UNKNOWN},
    {"cseq_run_of_64", kVia + kCallId + "CSeq: 5 " + std::string(64, 'M') + "\r\n", -1,
     "Invalid string(CSeq: 5 " + std::string(64, 'M') + ")"},
    {"cseq_method_lower_case", kVia + kCallId + "CSeq: 5 invite\r\n", 0, "", kBranch, kCall, 5,
     QZ_SIP_METHOD_UNKNOWN},
    {"from_keeps_up_to_angle", kVia + kCallId + kCseq + "From:   \"A, B\" <sip:a@x>;tag=9\r\n", 0,
     "Input:From:   \"A, B\" <sip:a@x>;tag=9, output:fromto=\"A, B\" <sip:a@x>", kBranch, kCall,
     314159, QZ_SIP_METHOD_INVITE, "\"A, B\" <sip:a@x>"},
    {"from_folded", kVia + kCallId + kCseq + "From: Alice\r\n <sip:a@x>;tag=1\r\n", 0, "", kBranch,
     kCall, 314159, QZ_SIP_METHOD_INVITE, "Alice\r\n <sip:a@x>"},
    {"from_without_angle", kVia + kCallId + kCseq + "From: sip:a@x;tag=1\r\n", -1,
     "No char > in  string(From: sip:a@x;tag=1)"},
    {"from_failure_line", kVia + kCallId + kCseq + "f: sip:a@x\r\n", -1,
     "From head parser fail,rc=-1 "},
    {"to_without_angle", kVia + kCallId + kCseq + "t: sip:b@y\r\n", -1,
     "To head parser fail,rc=-1 "},
    {"line_without_colon", kHeaders + "Garbage line\r\n", -1,
     "No : in input string(=Garbage line)"},
    {"other_headers_ignored", kHeaders + "Contact: <sip:x>\r\nMax-Forwards: 70\r\n", 0, "", kBranch,
     kCall, 314159, QZ_SIP_METHOD_INVITE, kFromV, kToV},
    {"blank_lines_skipped", kVia + "\r\n   \r\n" + kCallId + kCseq, 0},
    {"non_sdp_body_read_as_headers", kHeaders + "\r\nhello: world\r\n", 0, "", kBranch, kCall,
     314159, QZ_SIP_METHOD_INVITE, kFromV, kToV},
    {"non_sdp_body_without_colon", kHeaders + "\r\nhello world\r\n", -1,
     "No : in input string(=hello world)"},
};
// clang-format on

TEST_F(SipParserTest, SipHeadersFieldsOfTheRecord) {
    for (const HeaderCase& c : kHeaderCases) {
        SCOPED_TRACE(c.name);
        clear();
        auto r = parse(message(kInvite, c.headers));
        EXPECT_EQ(r->rc, c.rc);
        // The start line was read before any header: the event stands either way.
        EXPECT_EQ(r->event, QZ_SIP_EV_INVITE);
        if (c.rc == 0) {
            EXPECT_EQ(r->data.branch, c.branch);
            EXPECT_EQ(r->data.callid, c.callid);
            EXPECT_EQ(r->data.from, c.from);
            EXPECT_EQ(r->data.to, c.to);
            EXPECT_EQ(r->data.cseq_num, c.cseq_num);
            EXPECT_EQ(r->data.cseq_method, c.cseq_method);
            EXPECT_EQ(r->data.media_num, 0u);
        }
        if (!c.text.empty()) {
            EXPECT_TRUE(logged(c.rc ? kErr : kTrace, c.text)) << log();
        }
    }
}

// ---- SDP body

struct Media {
    std::uint32_t port;
    std::uint32_t port_num;
    std::uint32_t ip;  // a number, as ip() gives it
    std::uint8_t type;
    bool operator==(const Media&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Media& m) {
    return os << "{" << m.port << "," << m.port_num << "," << std::hex << m.ip << std::dec << ","
              << int{m.type} << "}";
}

struct SdpCase {
    const char* name;
    std::string body;
    int rc;
    std::string text = {};          // the trace line, or the error line of a refusal
    std::vector<Media> media = {};  // the list as kept: last parsed first
};

const std::string kAudio = "m=audio 40000 RTP/AVP 0\r\n";
const std::string kSessC = "c=IN IP4 192.168.1.2\r\n";
constexpr std::uint32_t kSessIp = ip(192, 168, 1, 2);

// clang-format off
const SdpCase kSdpCases[] = {
    {"audio_rtp", sdp(kSessC + kAudio), 0,
     "Input:m=audio 40000 RTP/AVP 0, mediatype=0, port=40000, portnum=2, protocol=RTP/AVP, ipadd=192.168.1.2",
     {{40000, 2, kSessIp, 0}}},
    {"connection_trace", sdp(kSessC + kAudio), 0, "Input:c=IN IP4 192.168.1.2, ipadr=192.168.1.2",
     {{40000, 2, kSessIp, 0}}},
    {"address_with_ttl", sdp("c=IN IP4 10.0.0.1/127\r\n" + kAudio), 0, "",
     {{40000, 2, ip(10, 0, 0, 1), 0}}},
    {"address_with_ttl_and_count", sdp("c=IN IP4 224.2.1.1/127/3\r\n" + kAudio), 0, "",
     {{40000, 2, ip(224, 2, 1, 1), 0}}},
    {"ipv6_fails", sdp("c=IN IP6 ::1\r\n" + kAudio), -1, "Unsupport address type=IP6"},
    {"network_type", sdp("c=ATM IP4 1.2.3.4\r\n" + kAudio), -1, "Unsupport network type=ATM"},
    {"connection_two_words", sdp("c=IN IP4\r\n" + kAudio), -1,
     "Invalid connection string:c=IN IP4"},
    {"connection_bad_octet", sdp("c=IN IP4 300.1.1.1\r\n" + kAudio), -1,
     "Invalid ip addr=300.1.1.1"},
    {"connection_host_name", sdp("c=IN IP4 host.example\r\n" + kAudio), -1,
     "Invalid ip addr=host.example"},
    {"connection_three_octets", sdp("c=IN IP4 10.1.1\r\n" + kAudio), -1},
    {"connection_run_of_64", sdp("c=IN IP4 " + std::string(64, '1') + "\r\n" + kAudio), -1,
     "Invalid string(c=IN IP4 " + std::string(64, '1') + ")"},
    {"video_port_0_disabled", sdp(kSessC + "m=video 0 RTP/AVP 31\r\n" + kAudio), 0, "",
     {{40000, 2, kSessIp, 0}, {0, 2, 0, 1}}},
    {"disabled_stream_keeps_no_address",
     sdp(kSessC + "m=video 0 RTP/AVP 31\r\nc=IN IP4 5.5.5.5\r\n"), 0, "", {{0, 2, 0, 1}}},
    {"port_80", sdp(kSessC + "m=audio 80 RTP/AVP 0\r\n"), -1, "Invalid media port string(80)"},
    {"media_failure_line", sdp(kSessC + "m=audio 80 RTP/AVP 0\r\n"), -1,
     "SDP body media parser fail,rc=-1 "},
    {"port_1023", sdp(kSessC + "m=audio 1023 RTP/AVP 0\r\n"), -1},
    {"port_1024", sdp(kSessC + "m=audio 1024 udp 0\r\n"), 0, "", {{1024, 1, kSessIp, 0}}},
    {"port_65535", sdp(kSessC + "m=audio 65535 RTP/AVP 0\r\n"), 0, "", {{65535, 2, kSessIp, 0}}},
    {"port_65536", sdp(kSessC + "m=audio 65536 RTP/AVP 0\r\n"), -1},
    {"port_six_digits", sdp(kSessC + "m=audio 040000 RTP/AVP 0\r\n"), 0, "",
     {{40000, 2, kSessIp, 0}}},
    {"port_seven_digits", sdp(kSessC + "m=audio 0040000 RTP/AVP 0\r\n"), -1},
    {"port_with_count", sdp(kSessC + "m=audio 49170/2 RTP/AVP 0\r\n"), -1,
     "Invalid media port string(49170/2)"},
    {"transport_rtp_savp", sdp(kSessC + "m=video 5000 RTP/SAVP 96\r\n"), 0, "",
     {{5000, 2, kSessIp, 1}}},
    {"transport_lower_case_rtp", sdp(kSessC + "m=video 5000 rtp/avp 96\r\n"), 0, "",
     {{5000, 1, kSessIp, 1}}},
    {"transport_udptl", sdp(kSessC + "m=image 6012 udptl t38\r\n"), 0, "", {{6012, 1, kSessIp, 3}}},
    {"application", sdp(kSessC + "m=application 5004 UDP/BFCP *\r\n"), 0, "",
     {{5004, 1, kSessIp, 2}}},
    {"media_three_words", sdp(kSessC + "m=audio 4000 RTP/AVP\r\n"), -1,
     "Invalid media string(m=audio 4000 RTP/AVP)"},
    {"media_run_of_64", sdp(kSessC + "m=audio 4000 RTP/AVP " + std::string(64, '9') + "\r\n"), -1,
     "Invalid string(m=audio 4000 RTP/AVP " + std::string(64, '9') + ")"},
    {"four_streams_three_kept",
     sdp(kSessC + "m=audio 2000 RTP/AVP 0\r\nm=video 3000 RTP/AVP 0\r\nm=audio 4000 RTP/AVP 0\r\n" "m=audio 5000 RTP/AVP 0\r\n"),
     0, "", {{4000, 2, kSessIp, 0}, {3000, 2, kSessIp, 1}, {2000, 2, kSessIp, 0}}},
    {"fourth_stream_not_checked",
     sdp(kSessC + "m=audio 2000 RTP/AVP 0\r\nm=audio 3000 RTP/AVP 0\r\nm=audio 4000 RTP/AVP 0\r\n" "m=audio 80 x\r\n"),
     0, "", {{4000, 2, kSessIp, 0}, {3000, 2, kSessIp, 0}, {2000, 2, kSessIp, 0}}},
    {"media_c_after_second_stream",
     sdp(kSessC + "m=audio 2000 RTP/AVP 0\r\nm=audio 3000 RTP/AVP 0\r\nc=IN IP4 10.0.0.9\r\n" "m=audio 4000 RTP/AVP 0\r\n"),
     0, "", {{4000, 2, kSessIp, 0}, {3000, 2, ip(10, 0, 0, 9), 0}, {2000, 2, kSessIp, 0}}},
    {"media_c_without_session_c", sdp(kAudio + "c=IN IP4 1.2.3.4\r\n"), 0, "",
     {{40000, 2, ip(1, 2, 3, 4), 0}}},
    {"media_c_after_fourth_stream_hits_the_newest",
     sdp(kSessC + "m=audio 2000 RTP/AVP 0\r\nm=audio 3000 RTP/AVP 0\r\nm=audio 4000 RTP/AVP 0\r\n" "m=audio 5000 RTP/AVP 0\r\nc=IN IP4 7.7.7.7\r\n"),
     0, "", {{4000, 2, ip(7, 7, 7, 7), 0}, {3000, 2, kSessIp, 0}, {2000, 2, kSessIp, 0}}},
    {"media_without_connection", sdp(kAudio), -1},
    {"connection_without_media", sdp(kSessC), -1},
    {"line_of_one_character", sdp(kSessC + kAudio + "x\r\n"), -1, "No = in input string(x)"},
    {"line_without_equals", sdp(kSessC + "a:rtpmap\r\n" + kAudio), -1,
     "No = in input string(a:rtpmap)"},
    {"blank_lines_and_other_lines", sdp(kSessC + "\r\n  \r\na=sendrecv\r\nb=AS:64\r\n" + kAudio), 0,
     "", {{40000, 2, kSessIp, 0}}},
    {"unterminated_last_line", sdp(kSessC + kAudio + "a=x"), -1, "No line whitespace in string"},
    {"body_not_starting_with_v0", "s=-\r\n" + kSessC + kAudio, -1, "No : in input string(=s=-)"},
};
// clang-format on

TEST_F(SipParserTest, SipSdpMediaStreams) {
    for (const SdpCase& c : kSdpCases) {
        SCOPED_TRACE(c.name);
        clear();
        auto r = parse(message(kInvite, kHeaders, c.body));
        EXPECT_EQ(r->rc, c.rc);
        if (c.rc == 0) {
            std::vector<Media> got;
            for (const qz_sip_media_t& m : r->data.media_list())
                got.push_back({m.port, m.port_num, qz_alg_host32(m.ip), m.media_type});
            EXPECT_EQ(got, c.media);
        }
        if (!c.text.empty()) {
            EXPECT_TRUE(logged(c.rc ? kErr : kTrace, c.text)) << log();
        }
    }
}

// ---- the record as a whole, packet types and lengths

TEST_F(SipParserTest, SuccessCopiesThePacketIdentityAndTracesTheSummary) {
    Pkt p = sip_packet(message(kInvite, kHeaders, sdp(kSessC + kAudio)));
    auto r = parse(p);
    ASSERT_EQ(r->rc, 0);
    const qz_sip_parse_data_t& d = r->data;
    EXPECT_EQ(d.ctrl_id, p.ctrl_id);
    EXPECT_EQ(d.ctrl_cookie, p.ctrl_cookie);
    EXPECT_EQ(d.ctrl_tag, p.ctrl_tag);
    EXPECT_EQ(d.protocol, 17);
    EXPECT_EQ(qz_alg_host32(d.src_ip), p.src_ip);
    EXPECT_EQ(qz_alg_host32(d.dst_ip), p.dst_ip);
    EXPECT_EQ(qz_alg_host16(d.src_port), p.src_port);
    EXPECT_EQ(qz_alg_host16(d.dst_port), p.dst_port);
    EXPECT_TRUE(std::equal(p.src_mac.begin(), p.src_mac.end(), d.src_mac));
    EXPECT_TRUE(std::equal(p.dst_mac.begin(), p.dst_mac.end(), d.dst_mac));
    EXPECT_TRUE(logged(kTrace,
                       "Parser event=0,Ctrl_id=7,Ctrl_cookie=256,Callid=a84b4c76e66710@pc33,"
                       "Branch=z9hG4bK776asdhds,Cseqnum=314159,Cseqmethod=0, "
                       "Smac=00:11:22:33:44:55, Dmac=66:77:88:99:aa:bb"))
        << log();
    EXPECT_TRUE(logged(kTrace, "Start port=40000,Num of port=2,Ipadress=192.168.1.2")) << log();
}

TEST_F(SipParserTest, FailureLeavesThePacketIdentityOut) {
    auto r = parse(message(kInvite, kVia + kCallId));
    EXPECT_EQ(r->rc, -1);
    EXPECT_EQ(r->data.ctrl_id, 0u);
    EXPECT_EQ(r->data.src_ip, 0u);
    // What was read before the failure is still owned by the record.
    EXPECT_EQ(r->data.callid, kCall);
}

struct PacketCase {
    const char* name;
    std::uint8_t pkt_type;
    std::string payload;
    int pkt_length;  // -1: the payload's size
    int rc;
    qz_sip_parser_event event;
    const char* text = nullptr;  // error line
};

std::string padded_to(std::size_t size) {
    std::string m = message(kInvite);
    std::string pad = "X-Pad: ";
    std::size_t fill = size - m.size() - pad.size() - 2;
    return message(kInvite, kHeaders + pad + std::string(fill, 'p') + "\r\n");
}

// clang-format off
const PacketCase kPackets[] = {
    {"length_2000", QZ_ALG_PKT_CTRL, padded_to(2000), -1, 0, QZ_SIP_EV_INVITE},
    {"length_2001", QZ_ALG_PKT_CTRL, padded_to(2001), -1, -1, QZ_SIP_EV_OTHER, "Except packet, pkt length=2001"},
    {"length_0", QZ_ALG_PKT_CTRL, "", -1, -1, QZ_SIP_EV_OTHER, "Except packet, pkt length=0"},
    {"claimed_length_past_the_data", QZ_ALG_PKT_CTRL, message(kInvite), 1500, 0, QZ_SIP_EV_INVITE},
    {"claimed_length_cuts_the_message", QZ_ALG_PKT_CTRL, message(kInvite), 40, -1, QZ_SIP_EV_INVITE},
    {"nul_ends_the_text", QZ_ALG_PKT_CTRL, message(kInvite, kVia + kCallId + std::string(1, '\0') + kCseq),
     -1, -1, QZ_SIP_EV_INVITE},
    {"type_2", QZ_ALG_PKT_CTRL2, message("SIP/2.0 200 OK"), -1, 0, QZ_SIP_EV_2XX},
    {"timeout", QZ_ALG_PKT_TIMEOUT, "", -1, 0, QZ_SIP_EV_TIMEOUT},
    {"timeout_ignores_payload", QZ_ALG_PKT_TIMEOUT, "garbage", -1, 0, QZ_SIP_EV_TIMEOUT},
    {"type_0", 0, message(kInvite), -1, -1, QZ_SIP_EV_OTHER, "Unknown packet type(0)"},
    {"type_4", 4, message(kInvite), -1, -1, QZ_SIP_EV_OTHER, "Unknown packet type(4)"},
    {"unterminated_last_line", QZ_ALG_PKT_CTRL, kInvite + "\r\n" + kHeaders + "trailing", -1, -1,
     QZ_SIP_EV_INVITE, "No line whitespace in string"},
    {"no_crlf", QZ_ALG_PKT_CTRL, kInvite, -1, -1, QZ_SIP_EV_OTHER, "No correct CRCF sequence in string"},
    {"lf_only", QZ_ALG_PKT_CTRL, "INVITE sip:b SIP/2.0\nVia: x\n", -1, -1, QZ_SIP_EV_OTHER,
     "No correct CRCF sequence in string"},
};
// clang-format on

TEST_F(SipParserTest, SipPacketsTypeAndLength) {
    for (const PacketCase& c : kPackets) {
        SCOPED_TRACE(c.name);
        clear();
        Pkt p = sip_packet(c.payload);
        p.pkt_type = c.pkt_type;
        p.pkt_length = c.pkt_length;
        auto r = parse(p);
        EXPECT_EQ(r->rc, c.rc);
        EXPECT_EQ(r->event, c.event);
        if (c.text) {
            EXPECT_TRUE(logged(kErr, c.text)) << log();
        }
        if (c.pkt_type == QZ_ALG_PKT_TIMEOUT) {
            EXPECT_EQ(r->data.ctrl_id, p.ctrl_id);
            EXPECT_EQ(r->data.ctrl_cookie, p.ctrl_cookie);
            EXPECT_EQ(r->data.src_ip, 0u);
            EXPECT_TRUE(r->data.callid.empty());
        }
    }
}

TEST_F(SipParserTest, FreeReleasesEverythingAndTheRecordCanBeReused) {
    qz_sip_parse_data_t d{};
    qz_sip_parser_event ev = QZ_SIP_EV_OTHER;
    auto rec = sip_packet(message(kInvite, kHeaders, sdp(kSessC + kAudio + kAudio))).bytes();
    qz_alg_pkt_t pkt{};
    ASSERT_TRUE(qz_alg_pkt_decode(rec, &pkt));
    ASSERT_EQ(qz_sip_parse(&pkt, &ev, &d), 0);
    ASSERT_EQ(d.media_num, 2u);
    qz_sip_parse_data_free(&d);
    EXPECT_TRUE(d.branch.empty() && d.callid.empty() && d.from.empty() && d.to.empty());
    EXPECT_EQ(d.branch.capacity(), std::string().capacity());
    EXPECT_EQ(d.media_num, 0u);
    EXPECT_EQ(d.media[0].port, 0u);
    EXPECT_TRUE(d.media_list().empty());
    qz_sip_parse_data_free(&d);  // twice is harmless
    qz_sip_parse_data_free(nullptr);
    ASSERT_EQ(qz_sip_parse(&pkt, &ev, &d), 0);
    EXPECT_EQ(d.media_num, 2u);
    qz_sip_parse_data_free(&d);
}

TEST_F(SipParserTest, MissingArgumentsFail) {
    qz_sip_parse_data_t d{};
    qz_sip_parser_event ev = QZ_SIP_EV_OTHER;
    qz_alg_pkt_t pkt{};
    pkt.pkt_type = QZ_ALG_PKT_TIMEOUT;
    EXPECT_EQ(qz_sip_parse(nullptr, &ev, &d), -1);
    EXPECT_EQ(qz_sip_parse(&pkt, nullptr, &d), -1);
    EXPECT_EQ(qz_sip_parse(&pkt, &ev, nullptr), -1);
}

TEST_F(SipParserTest, BranchEndsAtEachSeparator) {
    for (char sep : std::string("\t \"(),/:;<>=?@[]\\{}")) {
        std::string via = "Via: SIP/2.0/UDP h;branch=ab" + std::string(1, sep) + "cd\r\n";
        auto r = parse(message(kInvite, via + kCallId + kCseq));
        EXPECT_EQ(r->rc, 0) << int{sep};
        EXPECT_EQ(r->data.branch, "ab") << int{sep};
    }
}

}  // namespace
}  // namespace algtest
