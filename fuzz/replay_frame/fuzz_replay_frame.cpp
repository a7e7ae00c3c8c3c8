// A captured frame through the FE model as a replay takes it: the frame parser,
// then control-session tracking and the gate check with every ALG on. The
// first byte picks the link type; the rest is the frame.
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "platform/fe/model.h"
#include "platform/fe/replay_flows.h"
#include "platform/wire.h"

namespace {

constexpr std::uint32_t kLinks[] = {
    fem::kLinkEthernet, fem::kLinkSll, fem::kLinkSll2, fem::kLinkNull,
    fem::kLinkLoop,     fem::kLinkRaw, fem::kLinkIpv4, 12,
};

void check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::uint32_t link = kLinks[data[0] % std::size(kLinks)];
    // An exact-size copy: a read past the frame is a read past the allocation.
    std::vector<std::uint8_t> frame(data + 1, data + size);
    fem::FramePacket p;
    if (fem::frame_parse(link, frame, p) != fem::FrameResult::Ok) return 0;
    check(p.payload.empty() ||
          (p.payload.data() >= frame.data() &&
           p.payload.data() + p.payload.size() <= frame.data() + frame.size()));

    std::string_view id = fem::sip_call_id(p.payload);
    check(id.empty() ||
          (id.data() >= reinterpret_cast<const char*>(frame.data()) &&
           id.data() + id.size() <= reinterpret_cast<const char*>(frame.data()) + frame.size()));

    static fem::Model m;
    fem::model_init(m);
    for (bool& on : m.alg.settings.enabled) on = true;
    const fem::ReplayIfaces ifs{3, 2};
    // Twice, far apart: a known flow, then one that idled out.
    for (std::uint64_t now : {std::uint64_t{1000}, std::uint64_t{10'000'000}}) {
        fem::alg_set_time(m, now);
        std::vector<std::vector<std::uint8_t>> timeouts;
        fem::replay_expire(m, now, ifs, timeouts);
        for (const auto& r : timeouts) check(r.size() == QZ_ALG_PKT_HDR_SIZE);
        fem::PacketStep step;
        fem::replay_packet(m, p, ifs, step);
        if (step.kind == fem::PacketKind::FlowUnadmitted) fem::replay_retry(m, p.tuple);
        if (step.kind != fem::PacketKind::Control) continue;
        const auto& r = step.record;
        check(r.size() >= QZ_ALG_PKT_HDR_SIZE && r.size() <= QZ_ALG_PKT_MAX_SIZE);
        check(wire::load_be16(&r[qz_alg_pkt_off::pkt_length]) == r.size() - QZ_ALG_PKT_HDR_SIZE);
        check(std::memcmp(r.data() + QZ_ALG_PKT_HDR_SIZE, p.payload.data(),
                          r.size() - QZ_ALG_PKT_HDR_SIZE) == 0);
    }
    return 0;
}
