// Kernel event 7 records of any content, size and ALG type, several per input
// so that a control session's packets can follow each other.
#include <cstdint>

#include "fed/qz_fed_event.h"
#include "fuzz/alg_dispatch/alg_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    algfuzz::init();
    if (size == 0) return 0;
    algfuzz::set_fe(data[0]);
    algfuzz::for_each_record({data + 1, size - 1}, [](std::span<const std::uint8_t> rec) {
        auto copy = algfuzz::exact(rec);
        std::uint8_t none = 0;
        qz_alg_pkt_dispatch(QZ_KEVENT_FE_ALG_PKT, static_cast<std::uint32_t>(copy.size()),
                            copy.empty() ? &none : copy.data());
    });
    algfuzz::finish();
    return 0;
}
