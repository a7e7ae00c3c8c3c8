// The FTP command parser alone: the input is the payload of one control
// packet; its first byte picks the packet type.
#include <cstdint>

#include "alg/ftp/qz_ftp_parser.h"
#include "fuzz/alg_dispatch/alg_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    algfuzz::init();
    if (size == 0) return 0;
    auto payload = algfuzz::exact({data + 1, size - 1});
    qz_alg_pkt_t pkt = algfuzz::packet(QZ_ALG_TYPE_FTP, data[0] % 4, 6, 21, payload);
    qz_ftp_event_t event = qz_ftp_event_t::QZ_FTP_EVT_NONE;
    qz_ftp_obj_t parse{};
    int rc = qz_alg_ftp_parser(&pkt, &event, &parse);
    // A parser that succeeds always names an event the state machine takes.
    if (rc == 0 && static_cast<std::size_t>(event) >= QZ_FTP_EVT_COUNT) __builtin_trap();
    algfuzz::finish();
    return 0;
}
