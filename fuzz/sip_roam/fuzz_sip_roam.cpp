// Roaming records from a neighbouring access point: any bytes are decoded; a
// decoded object must encode again into a record that decodes to the same.
#include <array>
#include <cstdint>
#include <span>

#include "alg/sip/qz_sip_roam_rec.h"
#include "fuzz/alg_dispatch/alg_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    algfuzz::init();
    qz_sip_call_t* obj = qz_sip_roam_decode({data, size});
    if (!obj) return 0;
    std::array<std::uint8_t, QZ_SIP_ROAM_BUF_SIZE> buf{};
    int n = qz_sip_roam_is_delete(*obj) ? qz_sip_roam_encode_delete(*obj, buf)
                                        : qz_sip_roam_encode_call(*obj, buf);
    // A record that fitted still fits without its transactions.
    if (n < 0) __builtin_trap();
    qz_sip_roam_free(obj);
    return 0;
}
