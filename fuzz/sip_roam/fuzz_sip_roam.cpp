// Roaming records from neighbouring access points, and the stations they
// follow. Input: one byte for the FE's answers (alg_fuzz.h), then records,
// each a big-endian u16 length, one byte of facts and the record's bytes.
// Facts: bit 0 the station of the record's source MAC leaves first, bit 1 it
// joins afterwards, bits 2-4 how far the clock moves before (expiry). Every
// decoded record is applied as the event thread does; a decoded object must
// encode again within the buffer.
#include <array>
#include <cstdint>
#include <span>

#include "alg/sip/qz_sip_roam.h"
#include "alg/sip/qz_sip_roam_rec.h"
#include "fed/qz_fed_event.h"
#include "fuzz/alg_dispatch/alg_fuzz.h"

namespace {

constexpr std::uint64_t kStepSec[8] = {0, 1, 6, 33, 60, 182, 3600, 13 * 3600};

void check_reencodes(std::span<const std::uint8_t> rec) {
    qz_sip_call_t* obj = qz_sip_roam_decode(rec);
    if (!obj) return;
    std::array<std::uint8_t, QZ_SIP_ROAM_BUF_SIZE> buf{};
    int n = qz_sip_roam_is_delete(*obj) ? qz_sip_roam_encode_delete(*obj, buf)
                                        : qz_sip_roam_encode_call(*obj, buf);
    if (n < 0) __builtin_trap();  // a record that fitted still fits without its transactions
    qz_sip_roam_free(obj);
}

void one_record(std::span<const std::uint8_t> in) {
    if (in.empty()) return;
    const std::uint8_t facts = in[0];
    auto rec = algfuzz::exact(in.subspan(1));
    if (std::uint64_t step = kStepSec[(facts >> 2) & 0x7]) {
        plat::clock_set_ms(plat::clock_ms() + step * 1000);
        qz_alg_timer_run();
    }
    std::uint8_t mac[6] = {};
    if (rec.size() >= 6) std::copy(rec.begin(), rec.begin() + 6, mac);
    if (facts & 0x1) qz_sip_roam_sta_leave(mac);
    check_reencodes(rec);
    algfuzz::ap()->clear_logs();
    qz_sip_roam_recv(0, static_cast<std::uint32_t>(rec.size()), rec.data());
    for (const sim::Event& e : algfuzz::ap()->events_sent())
        if (e.event == QZ_EVENT_UDPDATE_ALG_INFO && e.payload.size() == QZ_ALG_INFO_SIZE &&
            wire::load_h<std::uint32_t>(e.payload.data()) == QZ_ALG_INFO_SIP_ROAM)
            qz_sip_roam_apply(wire::load_h<std::uint32_t>(e.payload.data() + 4));
    if (facts & 0x2) qz_sip_roam_sta_join(mac);
    if (qz_sip_roam_count() > QZ_SIP_ROAM_MAX) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    algfuzz::init();
    if (size == 0) return 0;
    algfuzz::set_fe(data[0]);
    algfuzz::for_each_record({data + 1, size - 1}, one_record);
    algfuzz::finish();
    return 0;
}
