// The SIP message parser alone. Input: one control byte (bits 0-1 the packet
// type, bit 7: the record claims the length in the next two bytes, else the
// payload's own size), two length bytes (big-endian), then the payload.
#include <cstdint>

#include "alg/sip/qz_sip_parser.h"
#include "fuzz/alg_dispatch/alg_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    algfuzz::init();
    if (size < 3) return 0;
    auto payload = algfuzz::exact({data + 3, size - 3});
    qz_alg_pkt_t pkt = algfuzz::packet(QZ_ALG_TYPE_SIP, data[0] & 0x3, 17, 5060, payload);
    algfuzz::claim_length(pkt, data);
    qz_sip_parser_event event = qz_sip_parser_event::QZ_SIP_EV_OTHER;
    qz_sip_parse_data_t parse{};
    int rc = qz_sip_parse(&pkt, &event, &parse);
    if (rc == 0) {
        // What the transaction and call layers rely on.
        if (static_cast<std::uint32_t>(event) >= QZ_ALG_SIP_PARSER_EVENT_MAX) __builtin_trap();
        if (parse.media_num > QZ_SIP_MEDIA_MAX) __builtin_trap();
        for (const qz_sip_media_t& m : parse.media_list()) {
            if (m.port == 0 ? m.ip != 0 : (m.port < 1024 || m.port > 65535)) __builtin_trap();
            if (m.port_num != 1 && m.port_num != 2) __builtin_trap();
        }
    }
    qz_sip_parse_data_free(&parse);
    if (!parse.callid.empty() || parse.media_num != 0) __builtin_trap();
    algfuzz::finish();
    return 0;
}
