// The TFTP handler: the input's first byte sets the FE's answers, then come
// the payloads of one control session's packets (u16 length each); an empty
// one stands for the FE's timeout packet.
#include <cstdint>

#include "alg/qz_tftp_main.h"
#include "fuzz/alg_dispatch/alg_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    algfuzz::init();
    if (size == 0) return 0;
    algfuzz::set_fe(data[0]);
    algfuzz::for_each_record({data + 1, size - 1}, [](std::span<const std::uint8_t> rec) {
        auto payload = algfuzz::exact(rec);
        qz_alg_pkt_t pkt = algfuzz::packet(QZ_ALG_TYPE_TFTP,
                                           payload.empty() ? QZ_ALG_PKT_TIMEOUT : QZ_ALG_PKT_CTRL,
                                           17, 69, payload);
        qz_alg_tftp_handler(&pkt);
    });
    algfuzz::finish();
    return 0;
}
