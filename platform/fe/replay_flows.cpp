#include "platform/fe/replay_flows.h"

#include <algorithm>
#include <cstring>

#include "platform/fe/model.h"
#include "platform/fe/sessions.h"
#include "platform/wire.h"

namespace fem {

namespace {

inline constexpr std::uint8_t kTcp = 6;
// Flows of no service idle out after the "any" service's timeout.
inline constexpr std::uint32_t kAnyTimeout = 60;
// Forgotten flows are swept once the table has grown by this many.
inline constexpr std::size_t kFlowSweepEvery = 4096;

// Spreads ids over the 32 bits so that cookies and tags look unrelated.
std::uint32_t mix32(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

std::uint64_t idle_expiry(const CtrlSession& s) {
    return s.last_ms + std::uint64_t{s.timeout_s} * 1000u;
}

FlowTuple reversed(const FlowTuple& t) {
    return FlowTuple{t.protocol, t.dst_ip, t.src_ip, t.dst_port, t.src_port};
}

bool same_direction(const FlowTuple& a, const FlowTuple& b) {
    return a.src_ip == b.src_ip && a.src_port == b.src_port && a.dst_ip == b.dst_ip &&
           a.dst_port == b.dst_port;
}

// The qz_alg_pkt_t header for a packet in direction `t` of session s.
std::vector<std::uint8_t> record(const CtrlSession& s, std::uint8_t pkt_type, const FlowTuple& t,
                                 const std::uint8_t* src_mac, const std::uint8_t* dst_mac,
                                 std::uint32_t in_if, std::uint32_t out_if,
                                 std::span<const std::uint8_t> payload) {
    namespace o = qz_alg_pkt_off;
    std::size_t n = std::min(payload.size(), QZ_ALG_PKT_MAX_PAYLOAD);
    std::vector<std::uint8_t> r(QZ_ALG_PKT_HDR_SIZE + n);
    wire::store_be16(&r[o::alg_type], s.alg_type);
    r[o::pkt_type] = pkt_type;
    std::memcpy(&r[o::src_mac], src_mac, 6);
    std::memcpy(&r[o::dst_mac], dst_mac, 6);
    r[o::protocol] = t.protocol;
    wire::store_be32(&r[o::src_ip], t.src_ip);
    wire::store_be32(&r[o::dst_ip], t.dst_ip);
    wire::store_be16(&r[o::src_port], t.src_port);
    wire::store_be16(&r[o::dst_port], t.dst_port);
    wire::store_be32(&r[o::out_ifindex], out_if);
    wire::store_be32(&r[o::in_ifindex], in_if);
    wire::store_be32(&r[o::ctrl_id], s.id);
    wire::store_be32(&r[o::ctrl_cookie], s.cookie);
    wire::store_be32(&r[o::ctrl_tag], s.tag);
    wire::store_be16(&r[o::pkt_length], static_cast<std::uint16_t>(n));
    if (n) std::memcpy(&r[o::data], payload.data(), n);
    return r;
}

std::vector<std::uint8_t> timeout_record(const CtrlSession& s, const ReplayIfaces& ifs) {
    return record(s, QZ_ALG_PKT_TIMEOUT, s.client, s.client_mac, s.server_mac, ifs.client_side,
                  ifs.server_side, {});
}

void end_session(Model& m, std::unordered_map<FlowKey, CtrlSession, FlowKeyHash>::iterator it,
                 const ReplayIfaces& ifs, std::vector<std::vector<std::uint8_t>>& records) {
    AlgState& a = m.alg;
    const CtrlSession& s = it->second;
    records.push_back(timeout_record(s, ifs));
    gates_drop_session(m, s.id, s.cookie);
    a.idle_order.erase({idle_expiry(s), it->first});
    a.sessions.erase(it);
}

void sweep_flows(AlgState& a) {
    std::erase_if(a.flows, [&](const auto& kv) {
        const DataFlow& f = kv.second;
        return f.last_ms + std::uint64_t{f.timeout_s} * 1000u <= a.now_ms;
    });
}

// A new control session when the packet's service has an enabled ALG: the
// service's port on the destination side makes the sender the client.
bool open_session(Model& m, const FramePacket& p, const FlowKey& key, CtrlSession** out,
                  std::uint16_t* alg_off) {
    AlgState& a = m.alg;
    const FlowTuple& t = p.tuple;
    bool to_server = true;
    const Service* svc = service_for(a, t.protocol, t.dst_port);
    if (!svc || svc->alg_type == 0) {
        svc = service_for(a, t.protocol, t.src_port);
        to_server = false;
    }
    if (!svc || svc->alg_type == 0 || svc->alg_type >= kAlgTypes) return false;
    if (!a.settings.enabled[svc->alg_type]) {
        *alg_off = svc->alg_type;
        return false;
    }
    CtrlSession s{};
    s.client = to_server ? t : reversed(t);
    s.alg_type = svc->alg_type;
    s.id = a.next_ctrl_id++;
    s.cookie = mix32(s.id) | 1u;
    s.tag = mix32(s.id ^ 0x5a5a5a5au);
    s.timeout_s = svc->timeout;
    s.last_ms = a.now_ms;
    std::memcpy(s.client_mac, to_server ? p.src_mac : p.dst_mac, 6);
    std::memcpy(s.server_mac, to_server ? p.dst_mac : p.src_mac, 6);
    auto [it, added] = a.sessions.emplace(key, s);
    a.idle_order.insert({idle_expiry(it->second), key});
    *out = &it->second;
    return added;
}

void control_packet(Model& m, CtrlSession& s, const FlowKey& key, const FramePacket& p,
                    const ReplayIfaces& ifs, PacketStep& out) {
    AlgState& a = m.alg;
    a.idle_order.erase({idle_expiry(s), key});
    s.last_ms = a.now_ms;
    a.idle_order.insert({idle_expiry(s), key});
    // A TCP segment without data carries nothing for an ALG.
    if (p.tuple.protocol == kTcp && p.payload.empty()) {
        out.kind = PacketKind::ControlSilent;
        return;
    }
    bool from_client = same_direction(p.tuple, s.client);
    out.kind = PacketKind::Control;
    out.alg_type = s.alg_type;
    out.record = record(s, from_client ? QZ_ALG_PKT_CTRL : QZ_ALG_PKT_CTRL2, p.tuple, p.src_mac,
                        p.dst_mac, from_client ? ifs.client_side : ifs.server_side,
                        from_client ? ifs.server_side : ifs.client_side, p.payload);
}

}  // namespace

void replay_expire(Model& m, std::uint64_t now_ms, const ReplayIfaces& ifs,
                   std::vector<std::vector<std::uint8_t>>& records) {
    AlgState& a = m.alg;
    while (!a.idle_order.empty() && a.idle_order.begin()->first <= now_ms) {
        auto it = a.sessions.find(a.idle_order.begin()->second);
        if (it == a.sessions.end()) {
            a.idle_order.erase(a.idle_order.begin());
            continue;
        }
        end_session(m, it, ifs, records);
    }
}

void replay_end_all(Model& m, const ReplayIfaces& ifs,
                    std::vector<std::vector<std::uint8_t>>& records) {
    AlgState& a = m.alg;
    // Oldest first, as they would have idled out.
    while (!a.idle_order.empty()) {
        auto it = a.sessions.find(a.idle_order.begin()->second);
        if (it == a.sessions.end()) {
            a.idle_order.erase(a.idle_order.begin());
            continue;
        }
        end_session(m, it, ifs, records);
    }
    a.sessions.clear();
    a.flows.clear();
}

namespace {

void replay_step(Model& m, const FramePacket& p, const ReplayIfaces& ifs, PacketStep& out) {
    AlgState& a = m.alg;
    out.kind = PacketKind::Flow;
    out.alg_type = 0;
    out.record.clear();
    out.first = false;
    out.alg_off = 0;
    FlowKey key = flow_key(p.tuple);
    service_count_packet(a, p.tuple);

    if (auto it = a.sessions.find(key); it != a.sessions.end()) {
        control_packet(m, it->second, key, p, ifs, out);
        return;
    }
    auto fit = a.flows.find(key);
    if (fit != a.flows.end()) {
        DataFlow& f = fit->second;
        if (f.last_ms + std::uint64_t{f.timeout_s} * 1000u > a.now_ms) {
            f.last_ms = a.now_ms;
            return;
        }
        a.flows.erase(fit);  // idled out: this packet starts it anew
    }
    CtrlSession* s = nullptr;
    out.first = true;
    if (open_session(m, p, key, &s, &out.alg_off)) {
        control_packet(m, *s, key, p, ifs, out);
        return;
    }
    DataFlow f{};
    f.last_ms = a.now_ms;
    const Service* svc = service_for(a, p.tuple.protocol, p.tuple.dst_port);
    f.timeout_s = svc ? svc->timeout : kAnyTimeout;
    f.admitted = gate_admit(m, p.tuple, &out.gate);
    out.kind = f.admitted ? PacketKind::FlowAdmitted : PacketKind::FlowUnadmitted;
    if (a.flows.size() % kFlowSweepEvery == kFlowSweepEvery - 1) sweep_flows(a);
    a.flows.emplace(key, f);
}

}  // namespace

namespace {

std::string_view trim(std::string_view v) {
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r'))
        v.remove_suffix(1);
    return v;
}

bool same_word(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

}  // namespace

std::string_view sip_call_id(std::span<const std::uint8_t> payload) {
    std::string_view text(reinterpret_cast<const char*>(payload.data()), payload.size());
    while (!text.empty()) {
        std::size_t eol = text.find('\n');
        std::string_view line = trim(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (line.empty()) break;  // the body starts
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        std::string_view name = trim(line.substr(0, colon));
        if (same_word(name, "call-id") || same_word(name, "i")) return trim(line.substr(colon + 1));
    }
    return {};
}

bool replay_retry(Model& m, const FlowTuple& t) {
    auto it = m.alg.flows.find(flow_key(t));
    Gate g;
    if (it == m.alg.flows.end() || it->second.admitted || !gate_admit(m, t, &g)) return false;
    it->second.admitted = true;
    return true;
}

void replay_packet(Model& m, const FramePacket& p, const ReplayIfaces& ifs, PacketStep& out) {
    replay_step(m, p, ifs, out);
    const AlgState& a = m.alg;
    FlowKey key = flow_key(p.tuple);
    std::uint16_t alg = 0;
    std::uint32_t timeout = kAnyTimeout;
    if (auto it = a.sessions.find(key); it != a.sessions.end()) {
        alg = it->second.alg_type;
        timeout = it->second.timeout_s;
    } else if (auto fit = a.flows.find(key); fit != a.flows.end()) {
        timeout = fit->second.timeout_s;
    }
    counters_packet(m, p, ifs, sessions_packet(m, p, ifs, alg, timeout));
}

}  // namespace fem
