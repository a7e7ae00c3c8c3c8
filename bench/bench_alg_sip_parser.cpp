// Per-packet cost of the SIP message parser on a typical INVITE with an SDP
// offer of two streams, and on a short provisional response; debug lines off.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "alg/sip/qz_sip_parser.h"

namespace {

const std::string kInvite =
    "INVITE sip:bob@192.0.2.20 SIP/2.0\r\n"
    "Via: SIP/2.0/UDP 192.0.2.10:5060;branch=z9hG4bK74bf9a1c;rport\r\n"
    "Max-Forwards: 70\r\n"
    "From: \"Alice\" <sip:alice@192.0.2.10>;tag=9fxced76sl\r\n"
    "To: Bob <sip:bob@192.0.2.20>\r\n"
    "Call-ID: 3848276298220188511@192.0.2.10\r\n"
    "CSeq: 1 INVITE\r\n"
    "Contact: <sip:alice@192.0.2.10:5060>\r\n"
    "Allow: INVITE, ACK, CANCEL, BYE, OPTIONS, INFO, PRACK, UPDATE\r\n"
    "User-Agent: bench-phone/1.0\r\n"
    "Content-Type: application/sdp\r\n"
    "Content-Length: 232\r\n"
    "\r\n"
    "v=0\r\n"
    "o=alice 2890844526 2890844526 IN IP4 192.0.2.10\r\n"
    "s=-\r\n"
    "c=IN IP4 192.0.2.10\r\n"
    "t=0 0\r\n"
    "m=audio 49170 RTP/AVP 0 8 101\r\n"
    "a=rtpmap:0 PCMU/8000\r\n"
    "a=rtpmap:8 PCMA/8000\r\n"
    "a=rtpmap:101 telephone-event/8000\r\n"
    "m=video 51372 RTP/AVP 31\r\n"
    "a=rtpmap:31 H261/90000\r\n";

const std::string kRinging =
    "SIP/2.0 180 Ringing\r\n"
    "Via: SIP/2.0/UDP 192.0.2.10:5060;branch=z9hG4bK74bf9a1c;rport\r\n"
    "From: \"Alice\" <sip:alice@192.0.2.10>;tag=9fxced76sl\r\n"
    "To: Bob <sip:bob@192.0.2.20>;tag=8321234356\r\n"
    "Call-ID: 3848276298220188511@192.0.2.10\r\n"
    "CSeq: 1 INVITE\r\n"
    "Content-Length: 0\r\n"
    "\r\n";

void BM_SipParse(benchmark::State& state, const std::string& text) {
    std::vector<std::uint8_t> payload(text.begin(), text.end());
    qz_alg_pkt_t pkt{};
    pkt.alg_type = QZ_ALG_TYPE_SIP;
    pkt.pkt_type = QZ_ALG_PKT_CTRL;
    pkt.protocol = 17;
    pkt.pkt_length = static_cast<std::uint16_t>(payload.size());
    pkt.data = payload;
    for (auto _ : state) {
        qz_sip_parser_event event = qz_sip_parser_event::QZ_SIP_EV_OTHER;
        qz_sip_parse_data_t data{};
        int rc = qz_sip_parse(&pkt, &event, &data);
        if (rc != 0) state.SkipWithError("the message did not parse");
        benchmark::DoNotOptimize(data);
        qz_sip_parse_data_free(&data);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(payload.size()));
}
BENCHMARK_CAPTURE(BM_SipParse, invite_sdp, kInvite);
BENCHMARK_CAPTURE(BM_SipParse, ringing, kRinging);

}  // namespace

BENCHMARK_MAIN();
