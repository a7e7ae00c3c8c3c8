// The DNS ALG on one packet. Input: one control byte (bits 0-1 the packet
// type, bit 2 a TCP packet, bit 7: the record claims the length in the next
// two bytes, else the payload's own size), two length bytes (big-endian),
// then the DNS message. The message also goes through the walled-garden
// parser alone, whose results are checked.
#include <cstdint>
#include <cstring>

#include "alg/dns/qz_dns_parser.h"
#include "fuzz/alg_dispatch/alg_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    algfuzz::init();
    if (size < 3) return 0;
    auto payload = algfuzz::exact({data + 3, size - 3});
    qz_alg_pkt_t pkt =
        algfuzz::packet(QZ_ALG_TYPE_DNS, data[0] & 0x3, (data[0] & 0x4) ? 6 : 17, 53, payload);
    std::memcpy(pkt.src_mac, "\x00\x11\x22\x33\x44\x55", 6);
    std::memcpy(pkt.dst_mac, "\x00\x11\x22\x33\x44\x55", 6);
    pkt.in_ifindex = pkt.out_ifindex = 1;
    algfuzz::claim_length(pkt, data);
    qz_alg_dns_handler(&pkt);

    qz_dns_walled_garden_t wg{};
    if (qz_dns_parse_walled_garden(payload, &wg) == qz_dns_wg_result::QZ_DNS_WG_OK) {
        // What the event's readers rely on.
        if (wg.count > QZ_DNS_IP_MAX) __builtin_trap();
        if (strnlen(wg.hostname, sizeof wg.hostname) > QZ_DNS_HOSTNAME_MAX) __builtin_trap();
        for (std::uint32_t i = 0; i < wg.count; ++i)
            if (wg.ip[i] == 0) __builtin_trap();
    }
    // The table stays small whatever the input: one station at most.
    if (qz_dns_pending_count() > 1) __builtin_trap();
    algfuzz::finish();
    return 0;
}
