#include "platform/fe/ops.h"

#include <algorithm>
#include <cstring>

#include "platform/fe.h"
#include "platform/fe/calls.h"
#include "platform/fe/model.h"
#include "platform/wire.h"

namespace fem {

namespace {

inline constexpr std::uint16_t kPolicyCountId = 5;
inline constexpr std::uint16_t kTunnelCountId = 6;

void keep_counts(Model& m) {
    setting_force(m, kPolicyCountId, static_cast<std::uint32_t>(m.ops.policies.size()));
    setting_force(m, kTunnelCountId, static_cast<std::uint32_t>(m.ops.tunnels.size()));
}

// u32 n, then the first n (at most max) entries from index on, each put by `put`.
template <typename T, typename Put>
void entries(const std::vector<T>& table, std::uint32_t index, std::uint32_t max, std::size_t size,
             std::vector<std::uint8_t>& out, Put put) {
    std::size_t n = index < table.size() ? std::min<std::size_t>(max, table.size() - index) : 0;
    out.assign(4 + n * size, 0);
    wire::store_h<std::uint32_t>(out.data(), static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i) put(table[index + i], out.data() + 4 + i * size);
}

void put_policy(const PolicyEntry& p, std::uint8_t* e) {
    namespace o = fe_policy;
    std::memcpy(e + o::kMac, p.mac, 6);
    e[o::kDirection] = p.direction;
    wire::store_h<std::int32_t>(e + o::kTunnel, p.tunnel);
    wire::store_h<std::uint32_t>(e + o::kPackets, p.packets);
    wire::store_h<std::uint32_t>(e + o::kCavc, p.cavc);
}

void put_fcb(const Fcb& f, std::uint8_t* e) {
    namespace o = fe_fcb;
    wire::store_be32(e + o::kSrcIp, f.src_ip);
    wire::store_be32(e + o::kDstIp, f.dst_ip);
    wire::store_h<std::uint16_t>(e + o::kIpId, f.ip_id);
    e[o::kProto] = f.protocol;
    std::size_t n = std::min(f.frags.size(), o::kMaxFrags);
    wire::store_h<std::uint32_t>(e + o::kFragCnt, static_cast<std::uint32_t>(n));
    wire::store_h<std::uint32_t>(e + o::kHoleCnt, fcb_holes(f));
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t* g = e + o::kFrags + i * o::kFragSize;
        wire::store_h<std::uint32_t>(g + o::kFragStart, f.frags[i].start);
        wire::store_h<std::uint32_t>(g + o::kFragEnd, f.frags[i].end);
    }
}

void put_tunnel(const Tunnel& t, std::uint8_t* e) {
    namespace o = fe_tunnel;
    wire::store_h<std::uint16_t>(e + o::kId, t.id);
    e[o::kType] = t.type;
    e[o::kZone] = t.zone;
    wire::store_h<std::uint32_t>(e + o::kFlags, t.flags);
    wire::store_h<std::uint32_t>(e + o::kPolicies, t.policies);
    wire::store_h<std::int32_t>(e + o::kIdleMs, t.idle_ms);
    wire::store_be32(e + o::kSrcIp, t.src_ip);
    wire::store_be32(e + o::kDstIp, t.dst_ip);
    wire::store_h<std::uint32_t>(e + o::kTxPkts, t.tx);
    wire::store_h<std::uint32_t>(e + o::kTxErr, t.tx_err);
    wire::store_h<std::uint32_t>(e + o::kRxPkts, t.rx);
    wire::store_h<std::uint32_t>(e + o::kRxErr, t.rx_err);
}

void put_words(std::vector<std::uint8_t>& out, std::initializer_list<std::uint32_t> words) {
    wire::Writer w;
    for (std::uint32_t v : words) w.h32(v);
    out = std::move(w.buf());
}

int policy_table(Call c) {
    std::uint32_t max = c.args.h32();
    if (!c.args.ok()) return -1;
    entries(c.m.ops.policies, 0, max, fe_policy::kSize, c.out, put_policy);
    return 0;
}

int frag_get(Call c) {
    return static_cast<int>(c.m.ops.frag_ageout_s);
}

int frag_set(Call c) {
    std::uint32_t s = c.args.h32();
    if (!c.args.ok() || s == 0 || s > 0xffff) return -1;
    c.m.ops.frag_ageout_s = s;
    return 0;
}

int fcb_count(Call c) {
    std::uint32_t frags = 0;
    for (const Fcb& f : c.m.ops.fcbs) frags += static_cast<std::uint32_t>(f.frags.size());
    put_words(c.out, {static_cast<std::uint32_t>(c.m.ops.fcbs.size()), frags});
    return 0;
}

int fcb_list(Call c) {
    std::uint32_t index = c.args.h32();
    std::uint32_t max = c.args.h32();
    if (!c.args.ok()) return -1;
    entries(c.m.ops.fcbs, index, max, fe_fcb::kSize, c.out, put_fcb);
    return 0;
}

int unroam(Call c) {
    std::uint8_t mac[6];
    c.args.bytes(mac, 6);
    if (!c.args.ok()) return -1;
    for (const UnroamStation& u : c.m.ops.unroam)
        if (std::memcmp(u.mac, mac, 6) == 0) {
            put_words(c.out, {1, u.reached ? 1u : 0u, u.duration_s, u.threshold, u.current});
            return 0;
        }
    put_words(c.out, {0, 0, 0, 0, 0});
    return 0;
}

int member_if(Call c) {
    std::uint8_t mac[6];
    c.args.bytes(mac, 6);
    if (!c.args.ok()) return -1;
    std::uint32_t ifindex = QZ_NO_MEMBER;
    for (const MemberMac& mm : c.m.ops.members)
        if (std::memcmp(mm.mac, mac, 6) == 0) ifindex = mm.ifindex;
    put_words(c.out, {ifindex});
    return 0;
}

int tunnel_table(Call c) {
    std::uint32_t max = c.args.h32();
    if (!c.args.ok()) return -1;
    entries(c.m.ops.tunnels, 0, max, fe_tunnel::kSize, c.out, put_tunnel);
    return 0;
}

int tunnel_clear(Call c) {
    for (Tunnel& t : c.m.ops.tunnels) t.tx = t.tx_err = t.rx = t.rx_err = 0;
    return 0;
}

constexpr CallRow kOpsCalls[] = {
    {proto::FeFn::PolicyTable, "fe_get_policy_table", policy_table},
    {proto::FeFn::FragAgeoutGet, "fe_get_ip_frag_ageout_time", frag_get},
    {proto::FeFn::FragAgeoutSet, "fe_set_ip_frag_ageout_time", frag_set},
    {proto::FeFn::FcbCount, "fe_get_ip_fcb_cnt", fcb_count},
    {proto::FeFn::FcbList, "fe_get_ip_fcb_list", fcb_list},
    {proto::FeFn::Unroam, "fe_get_station_unroam_threshold", unroam},
    {proto::FeFn::MemberIf, "qz_get_member_ifindex_from_src_mac", member_if},
    {proto::FeFn::TunnelTable, "fe_get_tunnel_table", tunnel_table},
    {proto::FeFn::TunnelClear, "fe_clear_tunnel_counters", tunnel_clear},
};

}  // namespace

void ops_init(Model& m) {
    m.ops = OpsTables{};
    keep_counts(m);
}

bool ops_add_policy(Model& m, const PolicyEntry& p) {
    if (m.ops.policies.size() >= kOpsTableMax) return false;
    m.ops.policies.push_back(p);
    keep_counts(m);
    return true;
}

bool ops_add_fragment(Model& m, const Fcb& key, FragRange frag) {
    auto it = std::find_if(m.ops.fcbs.begin(), m.ops.fcbs.end(), [&](const Fcb& f) {
        return f.src_ip == key.src_ip && f.dst_ip == key.dst_ip && f.ip_id == key.ip_id &&
               f.protocol == key.protocol;
    });
    if (it == m.ops.fcbs.end()) {
        if (m.ops.fcbs.size() >= kOpsTableMax) return false;
        Fcb f = key;
        f.frags.clear();
        m.ops.fcbs.push_back(f);
        it = m.ops.fcbs.end() - 1;
    }
    if (it->frags.size() >= fe_fcb::kMaxFrags) return false;
    it->frags.push_back(frag);
    return true;
}

template <typename T, typename Same>
bool set_entry(std::vector<T>& table, const T& e, Same same) {
    auto it = std::find_if(table.begin(), table.end(), [&](const T& x) { return same(x, e); });
    if (it != table.end()) {
        *it = e;
        return true;
    }
    if (table.size() >= kOpsTableMax) return false;
    table.push_back(e);
    return true;
}

bool ops_set_unroam(Model& m, const UnroamStation& u) {
    return set_entry(m.ops.unroam, u, [](const UnroamStation& a, const UnroamStation& b) {
        return std::memcmp(a.mac, b.mac, 6) == 0;
    });
}

bool ops_set_member(Model& m, const MemberMac& mm) {
    return set_entry(m.ops.members, mm, [](const MemberMac& a, const MemberMac& b) {
        return std::memcmp(a.mac, b.mac, 6) == 0;
    });
}

bool ops_set_tunnel(Model& m, const Tunnel& t) {
    bool ok =
        set_entry(m.ops.tunnels, t, [](const Tunnel& a, const Tunnel& b) { return a.id == b.id; });
    std::sort(m.ops.tunnels.begin(), m.ops.tunnels.end(),
              [](const Tunnel& a, const Tunnel& b) { return a.id < b.id; });
    keep_counts(m);
    return ok;
}

std::uint32_t fcb_holes(const Fcb& f) {
    std::vector<FragRange> r = f.frags;
    std::sort(r.begin(), r.end(),
              [](const FragRange& a, const FragRange& b) { return a.start < b.start; });
    std::uint32_t holes = 0, covered = 0;
    for (const FragRange& x : r) {
        if (x.start > covered) ++holes;
        covered = std::max(covered, x.end);
    }
    return holes;
}

int fe_ops_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                std::vector<std::uint8_t>& out, bool* known) {
    return fe_run_call(kOpsCalls, m, f, fn, args, out, known);
}

}  // namespace fem
