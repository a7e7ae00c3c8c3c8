// Event payloads of any size and content, through every handler fed subscribes.
// Input: u8 selector (which event), then the payload.
#include <cstdint>
#include <vector>

#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_event.h"
#include "platform/backend.h"

namespace {

// Answers every platform call with success, as apsim would.
void answer(proto::Op, std::span<const std::uint8_t>, wire::Writer& reply, void*) {
    reply.hi32(0).h32(0);
}

constexpr std::uint32_t kEvents[] = {QZ_EVENT_AUTH_JOIN,
                                     QZ_EVENT_AUTH_LEAVE,
                                     QZ_EVENT_SSID_BINDING,
                                     QZ_EVENT_SSID_CHANGE,
                                     QZ_EVENT_UDPDATE_ALG_INFO,
                                     QZ_EVENT_PPSK_SERVER,
                                     12345};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool ready = [] {
        plat::set_local_backend(answer, nullptr);
        qz_fed_debug = 0xFFFFFFFFu;  // every debug line formats its fields too
        return true;
    }();
    (void)ready;
    if (size == 0) return 0;
    std::uint8_t sel = data[0];
    // An exact-size heap copy: a read past the payload is a read past an allocation.
    std::vector<std::uint8_t> payload(data + 1, data + size);
    auto len = static_cast<std::uint32_t>(payload.size());
    const void* p = payload.empty() ? nullptr : payload.data();
    std::uint32_t event = kEvents[sel % std::size(kEvents)];
    switch ((sel / std::size(kEvents)) % 3) {
        case 0:
            qz_fed_sta_ssid_handler(event, len, p);
            break;
        case 1:
            qz_fed_alg_info_handler(event, len, p);
            break;
        default:
            qz_fed_kevent_handler(sel, len, p);
            break;
    }
    return 0;
}
