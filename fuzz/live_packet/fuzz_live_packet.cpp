// A forwarded packet as live mode reads it from the queue: bare IPv4, any
// bytes, through the verdict with every ALG on, enforcement on and off.
#include <cstdint>
#include <vector>

#include "platform/fe/model.h"
#include "sim/live_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy: a read past the packet is a read past the allocation.
    std::vector<std::uint8_t> pkt(data, data + size);
    static fem::Model m;
    fem::model_init(m);
    for (bool& on : m.alg.settings.enabled) on = true;
    sim::LiveState st;
    const std::uint8_t mac[6] = {2, 0, 0, 0, 0, 1};
    // Twice, far apart: a known flow, then one that idled out.
    for (std::uint64_t now : {std::uint64_t{1000}, std::uint64_t{10'000'000}}) {
        std::vector<std::vector<std::uint8_t>> records;
        sim::live_decide(m, st, now, pkt, mac, {3, 2}, records);
        for (const auto& r : records)
            if (r.size() < QZ_ALG_PKT_HDR_SIZE || r.size() > QZ_ALG_PKT_MAX_SIZE) __builtin_trap();
        st.enforce = !st.enforce;
    }
    return 0;
}
