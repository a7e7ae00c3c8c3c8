#include "sim/live_verdict.h"

#include <cstring>

#include "platform/fe/model.h"

namespace sim {

namespace {

// The refused set is pruned of flows the FE forgot once it grew by this many.
inline constexpr std::size_t kRefusedSweepEvery = 4096;
// Senders whose link address is kept; past that the table starts afresh.
inline constexpr std::size_t kMaxMacs = 4096;

void remember_refused(fem::Model& m, LiveState& st, const fem::FlowKey& key) {
    st.refused.insert(key);
    if (++st.refused_added % kRefusedSweepEvery != 0) return;
    std::erase_if(st.refused, [&](const fem::FlowKey& k) { return !m.alg.flows.contains(k); });
}

LiveVerdict refuse(LiveState& st) {
    if (st.enforce) {
        ++st.c.dropped;
        return LiveVerdict::Drop;
    }
    ++st.c.would_drop;
    return LiveVerdict::Accept;
}

}  // namespace

LiveVerdict live_decide(fem::Model& m, LiveState& st, std::uint64_t now_ms,
                        std::span<const std::uint8_t> ip, const std::uint8_t* src_mac,
                        const fem::ReplayIfaces& ifs,
                        std::vector<std::vector<std::uint8_t>>& records) {
    ++st.c.packets;
    fem::FramePacket p;
    if (fem::frame_parse(fem::kLinkRaw, ip, p) != fem::FrameResult::Ok) {
        ++st.c.unread;
        return LiveVerdict::Accept;
    }
    if (src_mac) {
        if (st.macs.size() >= kMaxMacs) st.macs.clear();
        std::memcpy(st.macs[p.tuple.src_ip].data(), src_mac, 6);
        std::memcpy(p.src_mac, src_mac, 6);
    }
    if (auto it = st.macs.find(p.tuple.dst_ip); it != st.macs.end())
        std::memcpy(p.dst_mac, it->second.data(), 6);

    std::size_t before = records.size();
    fem::alg_set_time(m, now_ms);
    fem::replay_expire(m, m.alg.now_ms, ifs, records);
    st.c.timeouts += records.size() - before;

    fem::PacketStep step;
    fem::replay_packet(m, p, ifs, step);
    if (step.alg_off) ++st.c.alg_off[step.alg_off];
    fem::FlowKey key = fem::flow_key(p.tuple);
    switch (step.kind) {
        case fem::PacketKind::Control:
            ++st.c.control[step.alg_type];
            records.push_back(std::move(step.record));
            return LiveVerdict::Accept;
        case fem::PacketKind::ControlSilent:
            return LiveVerdict::Accept;
        case fem::PacketKind::FlowAdmitted:
            ++st.c.flows_gate;
            st.refused.erase(key);
            return LiveVerdict::Accept;
        case fem::PacketKind::FlowUnadmitted:
            // Traffic to a port of the service table is the policy's business;
            // what the FE holds back is the dynamic flows only a gate may admit.
            if (fem::service_for(m.alg, p.tuple.protocol, p.tuple.dst_port)) {
                ++st.c.flows_service;
                st.refused.erase(key);
                return LiveVerdict::Accept;
            }
            ++st.c.flows_refused;
            remember_refused(m, st, key);
            return refuse(st);
        case fem::PacketKind::Flow:
            if (!st.refused.contains(key)) return LiveVerdict::Accept;
            // The gate may have opened since the first try: a SYN sent again finds it.
            if (fem::replay_retry(m, p.tuple)) {
                ++st.c.flows_retried;
                st.refused.erase(key);
                return LiveVerdict::Accept;
            }
            return refuse(st);
    }
    return LiveVerdict::Accept;
}

}  // namespace sim
