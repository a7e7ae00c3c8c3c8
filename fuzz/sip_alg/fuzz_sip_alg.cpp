// The whole SIP gateway: handler, transactions, calls, gates and timers. Calls
// and transactions carry over from one input to the next, so a long run grows
// the tables up to their caps (1024 calls, 4096 transactions) and keeps them
// there. Input: one byte for the FE's answers (alg_fuzz.h), then records, each
// a big-endian u16 length, one byte of packet facts and the SIP payload.
// Packet facts: bits 0-1 the packet type (0 is an unknown one, 3 the FE's
// timeout), bit 2 the callee sends, bits 3-4 which station pair (3: no
// destination MAC), bits 5-7 how far the clock moves first.
#include <cstdint>
#include <span>

#include "alg/sip/qz_sip_call.h"
#include "fuzz/alg_dispatch/alg_fuzz.h"

namespace {

// Enough to reach every transaction and call timer, and the max duration.
constexpr std::uint64_t kStepSec[8] = {0, 1, 6, 33, 182, 600, 3600, 13 * 3600};

void one_packet(std::span<const std::uint8_t> rec) {
    if (rec.empty()) return;
    const std::uint8_t facts = rec[0];
    if (std::uint64_t step = kStepSec[facts >> 5]) {
        plat::clock_set_ms(plat::clock_ms() + step * 1000);
        qz_alg_timer_run();
    }
    qz_alg_pkt_t pkt{};
    pkt.alg_type = QZ_ALG_TYPE_SIP;
    pkt.pkt_type = facts & 0x3;
    pkt.protocol = 17;
    std::uint8_t pair = (facts >> 3) & 0x3;
    pkt.src_mac[0] = pkt.dst_mac[0] = 0x02;
    pkt.src_mac[5] = static_cast<std::uint8_t>(1 + pair);
    pkt.dst_mac[5] = 0x10;
    if (pair == 3) pkt.dst_mac[0] = pkt.dst_mac[5] = 0;
    pkt.src_ip = qz_alg_net32(0xc0a8010a);
    pkt.dst_ip = qz_alg_net32(0x0a000001);
    pkt.src_port = pkt.dst_port = qz_alg_net16(5060);
    if (facts & 0x4) {
        std::swap(pkt.src_ip, pkt.dst_ip);
        for (int i = 0; i < 6; ++i) std::swap(pkt.src_mac[i], pkt.dst_mac[i]);
    }
    pkt.ctrl_id = 1;
    pkt.ctrl_cookie = 2;
    auto payload = algfuzz::exact(rec.subspan(1));
    pkt.pkt_length = static_cast<std::uint16_t>(payload.size());
    pkt.data = payload;
    qz_alg_sip_handler(&pkt);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    algfuzz::init();
    if (size == 0) return 0;
    algfuzz::set_fe(data[0]);
    algfuzz::for_each_record({data + 1, size - 1}, one_packet);
    // The caps hold whatever came before.
    if (qz_sip_call_count() > QZ_SIP_CALL_MAX || qz_sip_trans_count() > QZ_SIP_TRANS_MAX)
        __builtin_trap();
    algfuzz::trim_logs();
    return 0;
}
