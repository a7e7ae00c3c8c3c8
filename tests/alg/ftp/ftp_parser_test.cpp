// The FTP command parser: one line in, one event and one gate out.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "alg/ftp/qz_ftp_parser.h"
#include "tests/alg/alg_test_support.h"
#include "tests/support/text.h"

namespace algtest {
namespace {

using enum qz_ftp_event_t;

constexpr std::uint32_t kClient = ip(192, 168, 1, 10);
constexpr std::uint32_t kServer = ip(10, 0, 0, 1);

struct ParseCase {
    const char* name;
    std::string payload;
    bool from_server;  // replies travel server -> client
    int rc;
    qz_ftp_event_t event;
    Flow gate;                   // all zero: no gate announced
    const char* flag = nullptr;  // a debug line the case must write
    std::string line = {};
    std::uint8_t pkt_type = QZ_ALG_PKT_CTRL;
    int pkt_length = -1;
};

const std::string k63(63, 'a');
const std::string k64(64, 'a');

// clang-format off
const ParseCase kCases[] = {
    {"port_lower_case", "port 10,0,0,5,4,1\r\n", false, 0, QZ_FTP_EVT_PORT,
     {kServer, ip(10, 0, 0, 5), 20, 1025, 6}, "fed_alg_ftp_pkt", "cmd=port 10,0,0,5,4,1, src-port=20, dst-port=1025"},
    {"port_numbers_not_range_checked", "PORT 300,2,3,4,256,1\r\n", false, 0, QZ_FTP_EVT_PORT,
     {kServer, ip(44, 2, 3, 4), 20, 1, 6}},
    {"port_blank_before_number", "PORT 1, 2,3,4,5,6\r\n", false, 0, QZ_FTP_EVT_PORT,
     {kServer, ip(1, 2, 3, 4), 20, 1286, 6}},
    {"port_too_few_numbers", "PORT 1,2,3\r\n", false, -1, QZ_FTP_EVT_INVALID, {},
     "fed_alg_ftp_error", "Input string invalid,parm[0]=1, parm[1]=2, parm[2]=3,parm[3]=0, parm[4]=0, parm[5]=0"},
    {"port_failure_line", "PORT a,b\r\n", false, -1, QZ_FTP_EVT_INVALID, {},
     "fed_alg_ftp_error", "qz_get_ftp_port_cmd_info fail, retcode = -1"},
    {"port_without_argument", "PORT\r\n", false, -1, QZ_FTP_EVT_INVALID, {},
     "fed_alg_ftp_error", "No <space> in string(PORT)"},
    {"port_after_leading_blank", " PORT 1,2,3,4,5,6\r\n", false, 0, QZ_FTP_EVT_OTHER, {}},
    {"reply_227", "227 Entering Passive Mode (192,168,1,2,200,10)\r\n", true, 0, QZ_FTP_EVT_PASV_227,
     {kClient, ip(192, 168, 1, 2), 0, 51210, 6},
     "fed_alg_ftp_pkt", "cmd=227 Entering Passive Mode (192,168,1,2,200,10, src-port=0, dst-port=51210"},
    {"reply_227_without_parentheses", "227 Entering Passive Mode 192,168,1,2,200,10\r\n", true, -1,
     QZ_FTP_EVT_INVALID, {}, "fed_alg_ftp_error", "No ( or ) in string(227 Entering Passive Mode 192,168,1,2,200,10)"},
    {"reply_227_close_before_open", "227 x)(1,2,3,4,5,6\r\n", true, 0, QZ_FTP_EVT_PASV_227,
     {kClient, ip(1, 2, 3, 4), 0, 1286, 6}},
    {"reply_227_too_few", "227 (1,2,3)\r\n", true, -1, QZ_FTP_EVT_INVALID, {},
     "fed_alg_ftp_error", "qz_get_ftp_pasv_cmd_info fail, retcode = -1"},
    {"eprt", "EPRT |1|10.0.0.1|5282|\r\n", false, 0, QZ_FTP_EVT_EPRT,
     {kServer, kClient, 20, 5282, 6}, "fed_alg_ftp_pkt", "cmd=EPRT |1|10.0.0.1|5282|, src-port=20, dst-port=5282"},
    {"eprt_ipv6_refused", "EPRT |2|::1|5282|\r\n", false, -1, QZ_FTP_EVT_INVALID, {},
     "fed_alg_ftp_error", "Can't support protocol=2"},
    {"eprt_failure_line", "EPRT |2|::1|5282|\r\n", false, -1, QZ_FTP_EVT_INVALID, {},
     "fed_alg_ftp_error", "qz_get_ftp_eprt_cmd_info fail, retcode = -1"},
    {"eprt_other_delimiter", "EPRT !1!10.0.0.1!5282!\r\n", false, -1, QZ_FTP_EVT_INVALID, {},
     "fed_alg_ftp_error", "No delim(|)in buffer ftpdata(EPRT !1!10.0.0.1!5282!)"},
    {"eprt_field_of_63", "EPRT |1|" + k63 + "|5282|\r\n", false, 0, QZ_FTP_EVT_EPRT,
     {kServer, kClient, 20, 5282, 6}},
    {"eprt_field_of_64", "EPRT |1|" + k64 + "|5282|\r\n", false, -1, QZ_FTP_EVT_INVALID, {},
     "fed_alg_ftp_error", "Input string invalid(EPRT |1|" + k64 + "|5282|)"},
    {"eprt_empty_address", "EPRT |1||5282|\r\n", false, -1, QZ_FTP_EVT_INVALID, {},
     "fed_alg_ftp_error", "Input str invalid(EPRT |1||5282|), protocol=1,ipddd=, port=0"},
    {"reply_229", "229 Entering Extended Passive Mode (|||6446|)\r\n", true, 0, QZ_FTP_EVT_EPSV_229,
     {kClient, kServer, 0, 6446, 6},
     "fed_alg_ftp_pkt", "cmd=229 Entering Extended Passive Mode (|||6446|), src-port=0, dst-port=6446"},
    {"reply_229_without_bar", "229 Entering Extended Passive Mode (6446)\r\n", true, -1,
     QZ_FTP_EVT_INVALID, {}, "fed_alg_ftp_error", "qz_get_ftp_epsv_cmd_info fail,retcode = -1"},
    {"reply_229_without_port", "229 (|||)\r\n", true, 0, QZ_FTP_EVT_EPSV_229, {kClient, kServer, 0, 0, 6}},
    {"pasv", "PASV\r\n", false, 0, QZ_FTP_EVT_PASV, {}},
    {"pasv_lower_case", "pasv\r\n", false, 0, QZ_FTP_EVT_PASV, {}},
    {"epsv_all", "EPSV ALL\r\n", false, 0, QZ_FTP_EVT_EPSV, {}},
    {"reply_200", "200 PORT command successful\r\n", true, 0, QZ_FTP_EVT_OK_200, {}},
    {"reply_226", "226 Transfer complete\r\n", true, 0, QZ_FTP_EVT_CLOSE, {}},
    {"reply_221", "221 Goodbye\r\n", true, 0, QZ_FTP_EVT_CLOSE, {}},
    {"reply_250", "250 OK\r\n", true, 0, QZ_FTP_EVT_CLOSE, {}},
    {"reply_550", "550 No such file\r\n", true, 0, QZ_FTP_EVT_CLOSE, {}},
    {"reply_421", "421 Timeout\r\n", true, 0, QZ_FTP_EVT_CLOSE, {}},
    {"reply_400_alone", "400\r\n", true, 0, QZ_FTP_EVT_CLOSE, {}},
    {"reply_huge_code", "99999999999999999999999 x\r\n", true, 0, QZ_FTP_EVT_CLOSE, {}},
    {"reply_399", "399 x\r\n", true, 0, QZ_FTP_EVT_OTHER, {}},
    {"reply_150", "150 Opening\r\n", true, 0, QZ_FTP_EVT_OTHER, {}},
    {"reply_331", "331 Password required\r\n", true, 0, QZ_FTP_EVT_OTHER, {}},
    {"reply_227_continued", "227-x (1,2,3,4,5,6)\r\n", true, 0, QZ_FTP_EVT_OTHER, {}},
    {"digit_then_letter", "4x\r\n", true, 0, QZ_FTP_EVT_OTHER, {}},
    {"user", "USER anonymous\r\n", false, 0, QZ_FTP_EVT_OTHER, {}},
    {"long_word", std::string(100, 'A') + "\r\n", false, 0, QZ_FTP_EVT_OTHER, {}},
    {"long_word_starting_with_port", "PORT" + std::string(70, '1') + "\r\n", false, 0, QZ_FTP_EVT_OTHER, {}},
    {"no_crlf", "PORT 1,2,3,4,5,6", false, -1, QZ_FTP_EVT_INVALID, {},
     "fed_alg_ftp_pkt", "FE send invalid paket, no CRLF sequence string(PORT 1,2,3,4,5,6)"},
    {"lf_only", "PORT 1,2,3,4,5,6\n", false, -1, QZ_FTP_EVT_INVALID, {}},
    {"nul_before_crlf", std::string("PORT 1,2,3,4,5,6\0\r\n", 19), false, -1, QZ_FTP_EVT_INVALID, {}},
    {"empty_line", "\r\n", false, -1, QZ_FTP_EVT_INVALID, {}, "fed_alg_ftp_error", "Get first <space> fail"},
    {"blank_line", "   \r\n", false, -1, QZ_FTP_EVT_INVALID, {}},
    {"only_the_first_line", "200 OK\r\n226 Done\r\n", true, 0, QZ_FTP_EVT_OK_200, {}},
    {"claimed_length_cuts_the_line", "PORT 1,2,3,4,5,6\r\n", false, -1, QZ_FTP_EVT_INVALID, {},
     nullptr, "", QZ_ALG_PKT_CTRL, 10},
    {"packet_type_2", "PASV\r\n", false, 0, QZ_FTP_EVT_PASV, {}, nullptr, "", QZ_ALG_PKT_CTRL2},
    {"timeout_packet", "", false, 0, QZ_FTP_EVT_TIMEOUT, {}, nullptr, "", QZ_ALG_PKT_TIMEOUT},
    {"unknown_packet_type", "PASV\r\n", false, -1, QZ_FTP_EVT_NONE, {},
     "fed_alg_ftp_pkt", "Unknown packet type(4)", 4},
    {"packet_type_0", "PASV\r\n", false, -1, QZ_FTP_EVT_NONE, {}, nullptr, "", 0},
    {"empty_payload", "", false, -1, QZ_FTP_EVT_NONE, {}},
    {"payload_of_2001", std::string(1999, 'x') + "\r\n", false, -1, QZ_FTP_EVT_NONE, {}},
    {"payload_of_2000", std::string(1998, 'x') + "\r\n", false, 0, QZ_FTP_EVT_OTHER, {}},
    {"header_trace", "PASV\r\n", false, 0, QZ_FTP_EVT_PASV, {}, "fed_alg_ftp_pkt",
     "pkt_length=6, src_ip=192.168.1.10, src_port=40000, dst_ip=10.0.0.1, dst_port=21,portocol=6, ctr_id=7, ctr_cookie=256"},
};
// clang-format on

Pkt packet_of(const ParseCase& c) {
    Pkt p{.pkt_type = c.pkt_type, .payload = c.payload, .pkt_length = c.pkt_length};
    if (c.from_server) {
        std::swap(p.src_ip, p.dst_ip);
        std::swap(p.src_port, p.dst_port);
    }
    return p;
}

// Decodes a record from a block of exactly its size.
struct Decoded {
    std::unique_ptr<std::uint8_t[]> block;
    qz_alg_pkt_t pkt{};
    bool ok = false;
};
Decoded decode(const std::vector<std::uint8_t>& rec) {
    Decoded d{std::make_unique<std::uint8_t[]>(rec.size())};
    std::copy(rec.begin(), rec.end(), d.block.get());
    d.ok = qz_alg_pkt_decode({d.block.get(), rec.size()}, &d.pkt);
    return d;
}

class FtpParser : public ::testing::Test {
   protected:
    void SetUp() override {
        clear();
        debug_all(true);
    }
    void TearDown() override { debug_all(false); }
};

TEST_F(FtpParser, EventGateAndTrace) {
    for (const ParseCase& c : kCases) {
        SCOPED_TRACE(c.name);
        clear();
        Pkt p = packet_of(c);
        Decoded d = decode(p.bytes());
        ASSERT_TRUE(d.ok);
        qz_ftp_event_t event = QZ_FTP_EVT_NONE;
        qz_ftp_obj_t parse{};
        EXPECT_EQ(qz_alg_ftp_parser(&d.pkt, &event, &parse), c.rc);
        EXPECT_EQ(event, c.event);
        Flow gate{qz_alg_host32(parse.src_ip), qz_alg_host32(parse.dst_ip),
                  qz_alg_host16(parse.src_port), qz_alg_host16(parse.dst_port), parse.protocol};
        EXPECT_EQ(gate, c.gate);
        bool named = c.event != QZ_FTP_EVT_NONE;
        EXPECT_EQ(parse.ctrl_id, named ? p.ctrl_id : 0u);
        EXPECT_EQ(parse.ctrl_cookie, named ? p.ctrl_cookie : 0u);
        EXPECT_EQ(parse.state, qz_ftp_state_t::QZ_FTP_STATE_INIT);
        EXPECT_EQ(parse.gate_cookie, 0u);
        if (!c.line.empty()) {
            EXPECT_TRUE(logged(c.flag, c.line)) << log();
        }
    }
}

TEST_F(FtpParser, LengthFailuresAndMissingPacket) {
    qz_ftp_event_t event = QZ_FTP_EVT_NONE;
    qz_ftp_obj_t parse{};
    EXPECT_EQ(qz_alg_ftp_parser(nullptr, &event, &parse), -1);
    EXPECT_TRUE(logged("fed_alg_ftp_error", "Input invalid, null packet encountered"));
    Pkt p{.payload = std::string(2001, 'x')};
    Decoded d = decode(p.bytes());
    EXPECT_EQ(qz_alg_ftp_parser(&d.pkt, &event, &parse), -1);
    EXPECT_TRUE(
        testtext::has(log(), "fed_alg_ftp_error Input invalid, paket lenth=2001, paket address="));
    EXPECT_EQ(event, QZ_FTP_EVT_NONE);
}

}  // namespace
}  // namespace algtest
