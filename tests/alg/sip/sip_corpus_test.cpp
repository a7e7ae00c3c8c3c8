// Third-party SIP traffic through the parser: the torture messages, single
// messages of another SIP stack, and the UDP IPv4 payloads of the captures.
// Every message must parse or be refused cleanly; a few are checked in full.
#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "alg/sip/qz_sip_parser.h"
#include "fed/qz_fed_debug.h"
#include "platform/fe/replay_frame.h"

namespace {

namespace fs = std::filesystem;
using enum qz_sip_parser_event;
using enum qz_sip_method;

std::string corpus(const std::string& rel) {
    return std::string(FED_CORPUS_DIR) + "/sip/" + rel;
}
bool have_corpus() {
    return fs::exists(corpus("rfc4475"));
}

std::vector<std::uint8_t> read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Message {
    fem::FlowTuple tuple{};  // host numbers
    std::vector<std::uint8_t> payload;
};

// The UDP payloads over IPv4 of a capture, in capture order.
std::vector<Message> udp_messages(const std::string& file) {
    std::vector<Message> out;
    char err[PCAP_ERRBUF_SIZE] = {};
    std::unique_ptr<pcap_t, void (*)(pcap_t*)> pc(pcap_open_offline(file.c_str(), err), pcap_close);
    if (!pc) {
        ADD_FAILURE() << file << ": " << err;
        return out;
    }
    auto link = static_cast<std::uint32_t>(pcap_datalink(pc.get()));
    pcap_pkthdr* h = nullptr;
    const u_char* data = nullptr;
    while (pcap_next_ex(pc.get(), &h, &data) == 1) {
        fem::FramePacket p;
        if (fem::frame_parse(link, {data, h->caplen}, p) != fem::FrameResult::Ok) continue;
        if (p.tuple.protocol != 17 || p.payload.empty()) continue;
        out.push_back({p.tuple, {p.payload.begin(), p.payload.end()}});
    }
    return out;
}

struct Parsed {
    int rc = 0;
    qz_sip_parser_event event = QZ_SIP_EV_OTHER;
    qz_sip_parse_data_t data{};
    ~Parsed() { qz_sip_parse_data_free(&data); }
};

// The record the FE would raise for the message; the payload is handed over in
// a block of exactly its size, and a length over 2000 is claimed as it is.
std::unique_ptr<Parsed> parse(const Message& m) {
    auto block = std::make_unique<std::uint8_t[]>(m.payload.size() + 1);
    std::copy(m.payload.begin(), m.payload.end(), block.get());
    qz_alg_pkt_t pkt{};
    pkt.alg_type = QZ_ALG_TYPE_SIP;
    pkt.pkt_type = QZ_ALG_PKT_CTRL;
    pkt.protocol = m.tuple.protocol;
    pkt.src_ip = qz_alg_net32(m.tuple.src_ip);
    pkt.dst_ip = qz_alg_net32(m.tuple.dst_ip);
    pkt.src_port = qz_alg_net16(m.tuple.src_port);
    pkt.dst_port = qz_alg_net16(m.tuple.dst_port);
    pkt.ctrl_id = 1;
    pkt.ctrl_cookie = 2;
    pkt.pkt_length = static_cast<std::uint16_t>(std::min<std::size_t>(m.payload.size(), 0xffff));
    pkt.data = {block.get(), m.payload.size()};
    auto r = std::make_unique<Parsed>();
    r->rc = qz_sip_parse(&pkt, &r->event, &r->data);
    return r;
}

Message file_message(const fs::path& p) {
    return {{17, 0x0a000001, 0x0a000002, 5060, 5060}, read_file(p)};
}

// port, port_num, dotted address, for comparison.
std::vector<std::string> streams(const qz_sip_parse_data_t& d) {
    std::vector<std::string> out;
    for (const qz_sip_media_t& m : d.media_list()) {
        std::uint32_t a = qz_alg_host32(m.ip);
        char buf[64];
        std::snprintf(buf, sizeof buf, "%u/%u %u.%u.%u.%u t%u", m.port, m.port_num, a >> 24,
                      (a >> 16) & 255, (a >> 8) & 255, a & 255, unsigned{m.media_type});
        out.emplace_back(buf);
    }
    return out;
}
using S = std::vector<std::string>;

class SipCorpus : public ::testing::Test {
   protected:
    void SetUp() override {
        if (!have_corpus()) GTEST_SKIP() << "no corpus at " << FED_CORPUS_DIR;
        // Every trace formatted too, so the debug lines meet the real text.
        qz_fed_debug = fed_dbg::all;
    }
    void TearDown() override { qz_fed_debug = 0; }
};

// One line per message: "rc event status streams".
std::string outcome(const Parsed& r) {
    std::string s = std::to_string(r.rc) + " ev" + std::to_string(static_cast<int>(r.event)) + " " +
                    std::to_string(r.data.status_code);
    for (const std::string& m : streams(r.data)) s += " " + m;
    return s;
}

std::vector<fs::path> files_in(const std::string& dir, const std::string& ext) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(corpus(dir)))
        if (e.path().extension() == ext) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

// The torture messages that parse to the end. The others are refused: From or
// To without "<...>" (most of them), an unknown or escaped method, a bad
// status code, a Via without branch, a CSeq of more than ten digits, a
// multipart body read as headers, more than 2000 bytes.
TEST_F(SipCorpus, RfcTortureMessages) {
    const std::map<std::string, std::string> parsed = {
        {"badaspec.dat", "0 ev10 0"},
        {"baddn.dat", "0 ev10 0"},
        {"badvers.dat", "0 ev10 0"},
        {"trws.dat", "0 ev10 0"},
    };
    auto files = files_in("rfc4475", ".dat");
    ASSERT_GT(files.size(), 40u);
    for (const fs::path& f : files) {
        auto r = parse(file_message(f));
        std::string name = f.filename().string();
        auto it = parsed.find(name);
        EXPECT_EQ(r->rc, it == parsed.end() ? -1 : 0) << name;
        if (it != parsed.end()) {
            EXPECT_EQ(outcome(*r), it->second) << name;
            EXPECT_FALSE(r->data.callid.empty() || r->data.branch.empty()) << name;
        }
    }
    auto trws = parse(file_message(corpus("rfc4475/trws.dat")));
    EXPECT_EQ(trws->data.branch, "z9hG4bK299342093");
    EXPECT_EQ(trws->data.callid, "trws.oicu34958239neffasdhr2345r");
    EXPECT_EQ(trws->data.cseq_num, 238923u);
    EXPECT_EQ(trws->data.cseq_method, QZ_SIP_METHOD_OPTIONS);
    // Refused after the start line: the event still tells what it was.
    auto bigcode = parse(file_message(corpus("rfc4475/bigcode.dat")));
    EXPECT_EQ(bigcode->event, QZ_SIP_EV_OTHER);
    auto scalarlg = parse(file_message(corpus("rfc4475/scalarlg.dat")));
    EXPECT_EQ(outcome(*scalarlg), "-1 ev8 503");
    auto intmeth = parse(file_message(corpus("rfc4475/intmeth.dat")));
    EXPECT_EQ(outcome(*intmeth), "-1 ev10 0");
}

// Mostly LF-terminated: each is read or refused, never more.
TEST_F(SipCorpus, SingleMessagesOfAnotherStack) {
    auto files = files_in("kamailio-msgs", ".sip");
    ASSERT_GT(files.size(), 40u);
    for (const fs::path& f : files) {
        auto r = parse(file_message(f));
        EXPECT_TRUE(r->rc == 0 || r->rc == -1) << f;
        if (r->rc == 0) {
            EXPECT_FALSE(r->data.callid.empty() && r->data.branch.empty()) << f;
        }
    }
}

// Each SDP body behind a fixed INVITE head.
TEST_F(SipCorpus, SdpBodies) {
    const std::string head =
        "INVITE sip:b@example.com SIP/2.0\r\nVia: SIP/2.0/UDP 10.0.0.1;branch=z9hG4bKx\r\n"
        "Call-ID: sdp@10.0.0.1\r\nCSeq: 1 INVITE\r\n\r\n";
    const std::map<std::string, std::string> expected = {
        {"sdptransform_normal.sdp", "0 ev0 0 55400/2 203.0.113.1 t1 54400/2 203.0.113.1 t0"},
    };
    for (const fs::path& f : files_in("sdp-examples", ".sdp")) {
        auto body = read_file(f);
        Message m = file_message(f);
        m.payload.assign(head.begin(), head.end());
        m.payload.insert(m.payload.end(), body.begin(), body.end());
        auto r = parse(m);
        std::string name = f.filename().string();
        if (auto it = expected.find(name); it != expected.end()) {
            EXPECT_EQ(outcome(*r), it->second) << name;
        }
        EXPECT_LE(r->data.media_num, QZ_SIP_MEDIA_MAX) << name;
    }
}

// The UDP IPv4 SIP payloads of the captures; the calls below in full.
TEST_F(SipCorpus, CapturePayloads) {
    const std::map<std::string, std::vector<std::string>> expected = {
        // The INVITE's body holds one stream, the 200 OK's two.
        {"suricata_sip_sdp.pcap",
         {"0 ev0 0 30000/2 192.168.1.2 t0",
          "0 ev7 200 20000/2 192.168.1.2 t0 30000/2 192.168.1.2 t0"}},
        {"suricata_sip-s0_cloudshark.pcap",
         {"0 ev0 0 40376/2 200.57.7.196 t0", "0 ev6 100", "0 ev6 180",
          "0 ev7 200 8000/2 200.57.7.204 t0", "0 ev1 0", "0 ev10 0", "0 ev7 200",
          "0 ev0 0 40360/2 200.57.7.196 t0", "0 ev6 100", "0 ev6 180"}},
        {"pcpp_sdp.pcap", {"0 ev7 200 6012/1 10.33.6.100 t3 6010/2 10.33.6.100 t0"}},
        {"pcpp_sip_resp.pcap",
         {"0 ev6 100", "0 ev6 180", "0 ev7 200 8000/2 200.57.7.204 t0", "0 ev8 401", "0 ev8 504",
          "0 ev8 503"}},
    };
    std::size_t total = 0;
    for (const fs::path& f : files_in("", ".pcap")) {
        std::vector<std::string> got;
        for (const Message& m : udp_messages(f.string())) got.push_back(outcome(*parse(m)));
        total += got.size();
        if (auto it = expected.find(f.filename().string()); it != expected.end()) {
            EXPECT_EQ(got, it->second) << f;
        }
    }
    EXPECT_GT(total, 25u);
    // Where the cloudshark call was sent, the record names both ends.
    auto msgs = udp_messages(corpus("suricata_sip-s0_cloudshark.pcap"));
    ASSERT_FALSE(msgs.empty());
    auto invite = parse(msgs.front());
    ASSERT_EQ(invite->rc, 0);
    EXPECT_EQ(qz_alg_host32(invite->data.src_ip), msgs.front().tuple.src_ip);
    EXPECT_EQ(qz_alg_host16(invite->data.dst_port), msgs.front().tuple.dst_port);
    EXPECT_EQ(invite->data.cseq_method, QZ_SIP_METHOD_INVITE);
    EXPECT_EQ(invite->data.to.back(), '>');
}

}  // namespace
