// The FTP command parser alone: the input is the payload of one control
// packet; its first byte picks the packet type.
#include <cstdint>

#include "alg/ftp/qz_ftp_parser.h"
#include "fuzz/alg_dispatch/alg_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    algfuzz::init();
    if (size == 0) return 0;
    qz_alg_pkt_t pkt{};
    pkt.alg_type = QZ_ALG_TYPE_FTP;
    pkt.pkt_type = static_cast<std::uint8_t>(data[0] % 4);
    pkt.protocol = 6;
    pkt.src_ip = qz_alg_net32(0xc0a8010a);
    pkt.dst_ip = qz_alg_net32(0x0a000001);
    pkt.src_port = qz_alg_net16(40000);
    pkt.dst_port = qz_alg_net16(21);
    pkt.ctrl_id = 1;
    pkt.ctrl_cookie = 2;
    auto payload = algfuzz::exact({data + 1, size - 1});
    pkt.pkt_length = static_cast<std::uint16_t>(payload.size());
    pkt.data = payload;
    qz_ftp_event_t event = qz_ftp_event_t::QZ_FTP_EVT_NONE;
    qz_ftp_obj_t parse{};
    int rc = qz_alg_ftp_parser(&pkt, &event, &parse);
    // A parser that succeeds always names an event the state machine takes.
    if (rc == 0 && static_cast<std::size_t>(event) >= QZ_FTP_EVT_COUNT) __builtin_trap();
    algfuzz::finish();
    return 0;
}
