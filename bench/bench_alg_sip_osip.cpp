// The SIP gateway beside libosip2 on the same messages (an INVITE with SDP, a
// 200 with SDP, a BYE and the BYE's 200): our parse; our whole path per message
// (parse, transaction, call step, gates into an in-process FE); libosip2's
// parse; libosip2's parse plus reading what the gateway uses (Call-ID, top Via
// branch, CSeq, SDP c= and m=). The "call" rows run the four messages of one
// call, so our whole path and the parses compare per call.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <osipparser2/osip_parser.h>
#include <osipparser2/sdp_message.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "alg/sip/qz_sip_call.h"
#include "bench/bench_fe.h"
#include "platform/backend.h"

namespace {

const std::string kHeaders =
    "Via: SIP/2.0/UDP 192.0.2.10:5060;branch=z9hG4bK74bf9a1c;rport\r\n"
    "Max-Forwards: 70\r\n"
    "From: \"Alice\" <sip:alice@192.0.2.10>;tag=9fxced76sl\r\n"
    "To: Bob <sip:bob@192.0.2.20>;tag=8321234356\r\n"
    "Call-ID: 3848276298220188511@192.0.2.10\r\n";

std::string with_sdp(const std::string& head, const char* addr, int port) {
    std::string a = addr;
    std::string sdp = "v=0\r\no=- 2890844526 2890844526 IN IP4 " + a + "\r\ns=-\r\nc=IN IP4 " + a +
                      "\r\nt=0 0\r\nm=audio " + std::to_string(port) +
                      " RTP/AVP 0 8 101\r\na=rtpmap:0 PCMU/8000\r\na=rtpmap:8 PCMA/8000\r\n"
                      "a=rtpmap:101 telephone-event/8000\r\n";
    return head + "Content-Type: application/sdp\r\nContent-Length: " + std::to_string(sdp.size()) +
           "\r\n\r\n" + sdp;
}

const std::string kInvite = with_sdp("INVITE sip:bob@192.0.2.20 SIP/2.0\r\n" + kHeaders +
                                         "CSeq: 1 INVITE\r\nContact: <sip:alice@192.0.2.10>\r\n",
                                     "192.0.2.10", 49170);
const std::string kOk = with_sdp(
    "SIP/2.0 200 OK\r\n" + kHeaders + "CSeq: 1 INVITE\r\nContact: <sip:bob@192.0.2.20>\r\n",
    "192.0.2.20", 3456);
const std::string kBye = "BYE sip:bob@192.0.2.20 SIP/2.0\r\n" +
                         std::string(kHeaders).replace(kHeaders.find("74bf9a1c"), 8, "51e0c7d2") +
                         "CSeq: 2 BYE\r\nContent-Length: 0\r\n\r\n";
const std::string kByeOk = "SIP/2.0 200 OK\r\n" +
                           std::string(kHeaders).replace(kHeaders.find("74bf9a1c"), 8, "51e0c7d2") +
                           "CSeq: 2 BYE\r\nContent-Length: 0\r\n\r\n";

// One message as the FE passes it up; `back` ones travel from the callee.
struct Msg {
    std::vector<std::uint8_t> bytes;
    qz_alg_pkt_t pkt{};
    Msg(const std::string& text, bool back) : bytes(text.begin(), text.end()) {
        pkt.alg_type = QZ_ALG_TYPE_SIP;
        pkt.pkt_type = QZ_ALG_PKT_CTRL;
        pkt.protocol = 17;
        pkt.src_mac[0] = pkt.dst_mac[0] = 0x02;
        pkt.src_mac[5] = 1;
        pkt.dst_mac[5] = 2;
        pkt.src_ip = qz_alg_net32(0xc000020a);
        pkt.dst_ip = qz_alg_net32(0xc0000214);
        pkt.src_port = pkt.dst_port = qz_alg_net16(5060);
        if (back) {
            std::swap(pkt.src_ip, pkt.dst_ip);
            std::swap(pkt.src_mac[5], pkt.dst_mac[5]);
        }
        pkt.ctrl_id = 1;
        pkt.ctrl_cookie = 2;
        pkt.pkt_length = static_cast<std::uint16_t>(bytes.size());
        pkt.data = bytes;
    }
};

const std::vector<Msg>& call() {
    static const std::vector<Msg> c = [] {
        std::vector<Msg> v = {{kInvite, false}, {kOk, true}, {kBye, false}, {kByeOk, true}};
        for (Msg& m : v) m.pkt.data = m.bytes;  // the copies' own bytes
        return v;
    }();
    return c;
}

void start() {
    static const bool once = [] {
        plat::set_local_backend(benchfe::answering_fe, nullptr);
        qz_pmpt_timer_init(0);
        return qz_alg_init() == 0 && parser_init() == 0;
    }();
    if (!once) std::abort();
}

[[gnu::noinline]] int ours_parse(const Msg& m) {
    qz_sip_parser_event event = qz_sip_parser_event::QZ_SIP_EV_OTHER;
    qz_sip_parse_data_t data{};
    int rc = qz_sip_parse(&m.pkt, &event, &data);
    benchmark::DoNotOptimize(data.media_num);
    qz_sip_parse_data_free(&data);
    return rc;
}

[[gnu::noinline]] int osip_parse(const std::string& text, bool extract) {
    osip_message_t* sip = nullptr;
    if (osip_message_init(&sip) != 0) return -1;
    int rc = osip_message_parse(sip, text.data(), text.size());
    if (rc == 0 && extract) {
        osip_via_t* via = nullptr;
        osip_generic_param_t* branch = nullptr;
        osip_call_id_t* callid = osip_message_get_call_id(sip);
        osip_cseq_t* cseq = osip_message_get_cseq(sip);
        if (!callid || !cseq || osip_message_get_via(sip, 0, &via) < 0 ||
            osip_via_param_get_byname(via, const_cast<char*>("branch"), &branch) != 0)
            rc = -1;
        if (rc == 0) {
            benchmark::DoNotOptimize(osip_call_id_get_number(callid));
            benchmark::DoNotOptimize(osip_generic_param_get_value(branch));
            benchmark::DoNotOptimize(std::strtoul(osip_cseq_get_number(cseq), nullptr, 10));
            benchmark::DoNotOptimize(osip_cseq_get_method(cseq));
        }
        osip_body_t* body = nullptr;
        sdp_message_t* sdp = nullptr;
        if (rc == 0 && osip_message_get_body(sip, 0, &body) >= 0 && body && body->body &&
            sdp_message_init(&sdp) == 0) {
            if (sdp_message_parse(sdp, body->body) == 0) {
                in_addr a{};
                const char* addr = sdp_message_c_addr_get(sdp, -1, 0);
                for (int i = 0; sdp_message_m_media_get(sdp, i); ++i) {
                    if (const char* c = sdp_message_c_addr_get(sdp, i, 0)) addr = c;
                    if (addr) benchmark::DoNotOptimize(inet_pton(AF_INET, addr, &a));
                    benchmark::DoNotOptimize(std::atoi(sdp_message_m_port_get(sdp, i)));
                    benchmark::DoNotOptimize(sdp_message_m_proto_get(sdp, i));
                }
            }
            sdp_message_free(sdp);
        }
    }
    osip_message_free(sip);
    return rc;
}

void BM_OursParse(benchmark::State& state, std::size_t i) {
    start();
    const Msg& m = call()[i];
    for (auto _ : state)
        if (ours_parse(m) != 0) state.SkipWithError("parse failed");
}

void BM_OsipParse(benchmark::State& state, std::size_t i, bool extract) {
    start();
    const std::string& text = i == 0 ? kInvite : i == 1 ? kOk : i == 2 ? kBye : kByeOk;
    for (auto _ : state)
        if (osip_parse(text, extract) != 0) state.SkipWithError("osip parse failed");
}

BENCHMARK_CAPTURE(BM_OursParse, invite_sdp, 0);
BENCHMARK_CAPTURE(BM_OursParse, ok_sdp, 1);
BENCHMARK_CAPTURE(BM_OursParse, bye, 2);
BENCHMARK_CAPTURE(BM_OsipParse, invite_sdp, 0, false);
BENCHMARK_CAPTURE(BM_OsipParse, ok_sdp, 1, false);
BENCHMARK_CAPTURE(BM_OsipParse, bye, 2, false);
BENCHMARK_CAPTURE(BM_OsipParse, invite_sdp_extract, 0, true);
BENCHMARK_CAPTURE(BM_OsipParse, ok_sdp_extract, 1, true);
BENCHMARK_CAPTURE(BM_OsipParse, bye_extract, 2, true);

// One whole call per iteration: INVITE, 200, BYE, 200 through the SIP handler
// (the call is created, its gates opened, closed and the call deleted), then
// 7 s on the clock so the BYE's transaction goes too.
void BM_OursAlgCall(benchmark::State& state) {
    start();
    for (auto _ : state) {
        for (const Msg& m : call()) qz_alg_sip_handler(&m.pkt);
        plat::clock_set_ms(plat::clock_ms() + 7000);
        qz_alg_timer_run();
    }
    if (qz_sip_call_count() != 0 || qz_sip_trans_count() != 0) state.SkipWithError("call left");
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(BM_OursAlgCall);

void BM_OursParseCall(benchmark::State& state) {
    start();
    for (auto _ : state)
        for (const Msg& m : call()) benchmark::DoNotOptimize(ours_parse(m));
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(BM_OursParseCall);

void BM_OsipParseCall(benchmark::State& state, bool extract) {
    start();
    for (auto _ : state)
        for (const std::string* t : {&kInvite, &kOk, &kBye, &kByeOk})
            benchmark::DoNotOptimize(osip_parse(*t, extract));
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK_CAPTURE(BM_OsipParseCall, parse, false);
BENCHMARK_CAPTURE(BM_OsipParseCall, parse_extract, true);

}  // namespace

BENCHMARK_MAIN();
