#include "platform/fe/sessions.h"

#include <algorithm>
#include <cstring>

#include "platform/fe.h"
#include "platform/fe/calls.h"
#include "platform/fe/model.h"
#include "platform/fe/replay_flows.h"
#include "platform/wire.h"

namespace fem {

namespace {

inline constexpr std::uint16_t kMacCountId = 3;
inline constexpr std::uint16_t kIpCountId = 41;
inline constexpr std::uint32_t kZoneAccess = 1;
inline constexpr std::uint32_t kZoneBackhaul = 2;
inline constexpr std::uint32_t kIpHeader = 20;

// An address as the caller's network-order word holds it.
std::uint32_t net_word(std::uint32_t host) {
    std::uint8_t b[4];
    wire::store_be32(b, host);
    return wire::load_h<std::uint32_t>(b);
}

bool mac_zero(const std::uint8_t* m) {
    static constexpr std::uint8_t kZero[6] = {};
    return std::memcmp(m, kZero, 6) == 0;
}

std::uint32_t ageout_ms(const Model& m, std::uint64_t last_ms, std::uint32_t timeout_s) {
    std::uint64_t due = last_ms + std::uint64_t{timeout_s} * 1000u;
    return due > m.alg.now_ms ? static_cast<std::uint32_t>(due - m.alg.now_ms) : 0;
}

std::uint32_t up_secs(const Model& m, std::uint64_t created_ms) {
    return static_cast<std::uint32_t>((m.alg.now_ms - std::min(m.alg.now_ms, created_ms)) / 1000u);
}

void keep_counts(Model& m) {
    setting_force(m, kMacCountId, static_cast<std::uint32_t>(m.sess.mac.size()));
    setting_force(m, kIpCountId, static_cast<std::uint32_t>(m.sess.ip.size()));
}

MacPairKey key_of(const MacSession& s) {
    return mac_pair_key(s.flow[0].src, s.flow[0].dst);
}

FlowKey key_of(const IpSession& s) {
    return flow_key(s.flow[0].t);
}

// Points the map at every session from position `from` on, after the ones
// before it were erased.
template <typename Session, typename Index>
void reindex(const std::vector<Session>& table, Index& at, std::size_t from) {
    for (std::size_t i = from; i < table.size(); ++i)
        at[key_of(table[i])] = static_cast<std::uint32_t>(i);
}

template <typename Session, typename Index>
void erase_at(std::vector<Session>& table, Index& at, typename std::vector<Session>::iterator it) {
    at.erase(key_of(*it));
    std::size_t from = static_cast<std::size_t>(it - table.begin());
    table.erase(it);
    reindex(table, at, from);
}

// Erases the sessions that pass; how many.
template <typename Session, typename Index, typename Pass>
std::size_t erase_passing(std::vector<Session>& table, Index& at, Pass pass) {
    auto first = std::find_if(table.begin(), table.end(), pass);
    std::size_t from = static_cast<std::size_t>(first - table.begin());
    for (auto it = first; it != table.end(); ++it)
        if (pass(*it)) at.erase(key_of(*it));
    std::size_t n = std::erase_if(table, pass);
    reindex(table, at, from);
    return n;
}

template <typename Session, typename Index>
bool indexed(const std::vector<Session>& table, const Index& at) {
    if (at.size() != table.size()) return false;
    for (std::size_t i = 0; i < table.size(); ++i) {
        auto it = at.find(key_of(table[i]));
        if (it == at.end() || it->second != i) return false;
    }
    return true;
}

void put_mac_session(const Model& m, const MacSession& s, std::vector<std::uint8_t>& out) {
    namespace o = fe_mac_sess;
    std::uint8_t e[o::kSize] = {};
    wire::store_h<std::uint32_t>(e + o::kId, s.id);
    wire::store_h<std::uint32_t>(e + o::kAgeout, ageout_ms(m, s.last_ms, s.timeout_s));
    wire::store_h<std::uint32_t>(e + o::kUpSecs, up_secs(m, s.created_ms));
    wire::store_h<std::int32_t>(e + o::kUpid, 0);
    for (int d = 0; d < 2; ++d) {
        const MacFlow& f = s.flow[d];
        std::uint8_t* p = e + (d == 0 ? o::kFlow0 : o::kFlow1);
        std::uint32_t flags = f.flags | (f.installed ? 0 : FE_FLOW_NOT_INSTALLED);
        wire::store_h<std::uint32_t>(p + o::kFlFlags, flags);
        wire::store_h<std::uint32_t>(p + o::kFlVector, s.id * 2 + static_cast<std::uint32_t>(d));
        wire::store_h<std::int32_t>(p + o::kFlOutIf, f.out_if);
        wire::store_h<std::uint32_t>(p + o::kFlZone, f.zone);
        wire::store_h<std::uint32_t>(p + o::kFlPackets, f.packets);
        wire::store_h<std::uint32_t>(p + o::kFlBytes, f.bytes);
        std::memcpy(p + o::kFlSrcMac, f.src, 6);
        std::memcpy(p + o::kFlDstMac, f.dst, 6);
        std::memcpy(p + o::kFlNhopMac, f.dst, 6);
    }
    out.insert(out.end(), e, e + o::kSize);
}

void put_ip_session(const Model& m, const IpSession& s, std::vector<std::uint8_t>& out) {
    namespace o = fe_ip_sess;
    std::uint8_t e[o::kSize] = {};
    wire::store_h<std::uint32_t>(e + o::kId, s.id);
    wire::store_h<std::uint32_t>(e + o::kAgeout, ageout_ms(m, s.last_ms, s.timeout_s));
    wire::store_h<std::uint32_t>(e + o::kAlg, s.alg);
    wire::store_h<std::uint32_t>(e + o::kUpSecs, up_secs(m, s.created_ms));
    for (int d = 0; d < 2; ++d) {
        const IpFlow& f = s.flow[d];
        std::uint8_t* p = e + (d == 0 ? o::kFlow0 : o::kFlow1);
        wire::store_be32(p + o::kFlSrcIp, f.t.src_ip);
        wire::store_be32(p + o::kFlDstIp, f.t.dst_ip);
        wire::store_h<std::uint16_t>(p + o::kFlSrcPort, f.t.src_port);
        wire::store_h<std::uint16_t>(p + o::kFlDstPort, f.t.dst_port);
        p[o::kFlProto] = f.t.protocol;
        std::uint32_t flags = f.flags | (f.installed ? 0 : FE_FLOW_NOT_INSTALLED);
        wire::store_h<std::uint32_t>(p + o::kFlFlags, flags);
        wire::store_h<std::uint32_t>(p + o::kFlPackets, f.packets);
        wire::store_h<std::uint32_t>(p + o::kFlBytes, f.bytes);
        wire::store_h<std::int32_t>(p + o::kFlMacSess, static_cast<std::int32_t>(s.mac_sess));
    }
    out.insert(out.end(), e, e + o::kSize);
}

struct MacFilter {
    std::uint8_t src[6], dst[6];
    std::uint16_t vlan;  // 0 = any; replayed sessions carry none
    bool pass(const MacSession& s) const {
        const MacFlow& f = s.flow[0];
        return (mac_zero(src) || std::memcmp(src, f.src, 6) == 0) &&
               (mac_zero(dst) || std::memcmp(dst, f.dst, 6) == 0) && vlan == 0;
    }
};

struct IpFilter {
    std::uint32_t src_ip, dst_ip;  // network order
    std::uint16_t src_port, dst_port;
    std::uint8_t protocol;
    std::int32_t alg;  // -1 = any
    bool pass(const IpSession& s) const {
        const FlowTuple& t = s.flow[0].t;
        return (src_ip == 0 || src_ip == net_word(t.src_ip)) &&
               (dst_ip == 0 || dst_ip == net_word(t.dst_ip)) &&
               (src_port == 0 || src_port == t.src_port) &&
               (dst_port == 0 || dst_port == t.dst_port) &&
               (protocol == 0 || protocol == t.protocol) &&
               (alg < 0 || static_cast<std::uint32_t>(alg) == s.alg);
    }
};

template <typename Session, typename Filter, typename Put>
void read_batch(const Model& m, const std::vector<Session>& table, const Filter& filter,
                std::uint32_t index, std::uint32_t max, std::vector<std::uint8_t>& out, Put put) {
    wire::Writer w;
    std::uint32_t seen = 0, n = 0;
    std::vector<std::uint8_t> recs;
    for (const Session& s : table) {
        if (n == max) break;
        if (!filter.pass(s)) continue;
        if (seen++ < index) continue;
        put(m, s, recs);
        ++n;
    }
    w.h32(n);
    out = std::move(w.buf());
    out.insert(out.end(), recs.begin(), recs.end());
}

int mac_table(Call c) {
    std::uint32_t index = c.args.h32();
    std::uint32_t max = c.args.h32();
    MacFilter f{};
    c.args.bytes(f.src, 6);
    c.args.bytes(f.dst, 6);
    f.vlan = c.args.h16();
    if (!c.args.ok()) return -1;
    read_batch(c.m, c.m.sess.mac, f, index, max, c.out, put_mac_session);
    return 0;
}

int ip_table(Call c) {
    std::uint32_t index = c.args.h32();
    std::uint32_t max = c.args.h32();
    IpFilter f{};
    f.src_ip = c.args.h32();
    f.dst_ip = c.args.h32();
    f.src_port = c.args.h16();
    f.dst_port = c.args.h16();
    f.protocol = c.args.u8();
    f.alg = c.args.hi32();
    if (!c.args.ok()) return -1;
    read_batch(c.m, c.m.sess.ip, f, index, max, c.out, put_ip_session);
    return 0;
}

template <typename Session>
auto find_id(std::vector<Session>& table, std::uint32_t id) {
    return std::find_if(table.begin(), table.end(), [&](const Session& s) { return s.id == id; });
}

int mac_one(Call c) {
    std::uint32_t id = c.args.h32();
    if (!c.args.ok()) return -1;
    auto it = find_id(c.m.sess.mac, id);
    if (it == c.m.sess.mac.end()) return 1;
    put_mac_session(c.m, *it, c.out);
    return 0;
}

int ip_one(Call c) {
    std::uint32_t id = c.args.h32();
    if (!c.args.ok()) return -1;
    auto it = find_id(c.m.sess.ip, id);
    if (it == c.m.sess.ip.end()) return 1;
    put_ip_session(c.m, *it, c.out);
    return 0;
}

int mac_clr_id(Call c) {
    std::uint32_t id = c.args.h32();
    auto it = c.args.ok() ? find_id(c.m.sess.mac, id) : c.m.sess.mac.end();
    if (it == c.m.sess.mac.end()) return -1;
    erase_at(c.m.sess.mac, c.m.sess.mac_at, it);
    return 0;
}

int mac_clr_params(Call c) {
    MacFilter f{};
    c.args.bytes(f.src, 6);
    c.args.bytes(f.dst, 6);
    if (!c.args.ok()) return -1;
    return static_cast<int>(erase_passing(c.m.sess.mac, c.m.sess.mac_at,
                                          [&](const MacSession& s) { return f.pass(s); }));
}

int ip_clr_id(Call c) {
    std::uint32_t id = c.args.h32();
    auto it = c.args.ok() ? find_id(c.m.sess.ip, id) : c.m.sess.ip.end();
    if (it == c.m.sess.ip.end()) return -1;
    erase_at(c.m.sess.ip, c.m.sess.ip_at, it);
    return 0;
}

int ip_clr_params(Call c) {
    IpFilter f{};
    f.src_ip = c.args.h32();
    f.src_port = c.args.h16();
    f.dst_ip = c.args.h32();
    f.dst_port = c.args.h16();
    f.protocol = c.args.u8();
    f.alg = -1;
    if (!c.args.ok()) return -1;
    return static_cast<int>(
        erase_passing(c.m.sess.ip, c.m.sess.ip_at, [&](const IpSession& s) { return f.pass(s); }));
}

constexpr CallRow kSessionCalls[] = {
    {proto::FeFn::MacSessTable, "fe_get_mac_session_table", mac_table},
    {proto::FeFn::MacSessOne, "fe_get_one_mac_session", mac_one},
    {proto::FeFn::IpSessTable, "fe_get_ip_session_table", ip_table},
    {proto::FeFn::IpSessOne, "fe_get_one_ip_session", ip_one},
    {proto::FeFn::MacSessClrId, "fe_clr_mac_session_by_id", mac_clr_id},
    {proto::FeFn::MacSessClrParam, "fe_clr_mac_session_by_params", mac_clr_params},
    {proto::FeFn::IpSessClrId, "fe_clr_ip_session_by_id", ip_clr_id},
    {proto::FeFn::IpSessClrParam, "fe_clr_ip_sess_by_params", ip_clr_params},
};

bool same_pair(const MacFlow& f, const std::uint8_t* src, const std::uint8_t* dst) {
    return std::memcmp(f.src, src, 6) == 0 && std::memcmp(f.dst, dst, 6) == 0;
}

void count(bool* installed, std::uint32_t* packets, std::uint32_t* bytes, std::uint32_t len) {
    *installed = true;
    ++*packets;
    *bytes += len;
}

// The MAC session of the packet's station pair (created when new), and in *dir
// the direction the packet took; 0 when the table is full.
std::uint32_t mac_packet(Model& m, const FramePacket& p, const ReplayIfaces& ifs, std::uint32_t len,
                         std::uint32_t timeout_s, int* dir) {
    SessionTables& t = m.sess;
    const AlgState& a = m.alg;
    MacPairKey key = mac_pair_key(p.src_mac, p.dst_mac);
    if (auto at = t.mac_at.find(key); at != t.mac_at.end()) {
        MacSession& s = t.mac[at->second];
        int d = same_pair(s.flow[0], p.src_mac, p.dst_mac) ? 0 : 1;
        *dir = d;
        MacFlow& f = s.flow[d];
        count(&f.installed, &f.packets, &f.bytes, len);
        s.last_ms = a.now_ms;
        s.timeout_s = std::max(s.timeout_s, timeout_s);
        return s.id;
    }
    if (t.mac.size() >= FE_SESSION_MAX) return 0;
    MacSession s{};
    s.id = t.next_mac_id++;
    s.created_ms = s.last_ms = a.now_ms;
    s.timeout_s = timeout_s;
    // The first sender is the station: its traffic leaves by the backhaul.
    MacFlow& fwd = s.flow[0];
    std::memcpy(fwd.src, p.src_mac, 6);
    std::memcpy(fwd.dst, p.dst_mac, 6);
    fwd.out_if = static_cast<std::int32_t>(ifs.server_side);
    fwd.zone = kZoneBackhaul;
    fwd.flags = FE_FLOW_STA;
    MacFlow& rev = s.flow[1];
    std::memcpy(rev.src, p.dst_mac, 6);
    std::memcpy(rev.dst, p.src_mac, 6);
    rev.out_if = static_cast<std::int32_t>(ifs.client_side);
    rev.zone = kZoneAccess;
    count(&fwd.installed, &fwd.packets, &fwd.bytes, len);
    t.mac_at.emplace(key, static_cast<std::uint32_t>(t.mac.size()));
    t.mac.push_back(s);
    return s.id;
}

}  // namespace

std::uint64_t mac_number(const std::uint8_t* mac) {
    return (std::uint64_t{wire::load_be16(mac)} << 32) | wire::load_be32(mac + 2);
}

MacPairKey mac_pair_key(const std::uint8_t* a, const std::uint8_t* b) {
    std::uint64_t x = mac_number(a), y = mac_number(b);
    return x < y ? MacPairKey{x, y} : MacPairKey{y, x};
}

bool sessions_indexed(const SessionTables& t) {
    return indexed(t.mac, t.mac_at) && indexed(t.ip, t.ip_at);
}

void sessions_init(Model& m) {
    m.sess = SessionTables{};
    keep_counts(m);
}

SessionStep sessions_packet(Model& m, const FramePacket& p, const ReplayIfaces& ifs,
                            std::uint16_t alg, std::uint32_t timeout_s) {
    SessionTables& t = m.sess;
    const AlgState& a = m.alg;
    std::uint32_t len = kIpHeader + (p.tuple.protocol == 6 ? 20u : 8u) +
                        static_cast<std::uint32_t>(p.payload.size());
    SessionStep st{0, false, false};
    std::uint32_t mac_id = mac_packet(m, p, ifs, len, timeout_s, &st.dir);
    st.mac_refused = mac_id == 0;
    FlowKey key = flow_key(p.tuple);
    auto at = t.ip_at.find(key);
    auto it = at == t.ip_at.end() ? t.ip.end() : t.ip.begin() + at->second;
    if (it == t.ip.end()) {
        if (t.ip.size() < FE_SESSION_MAX) {
            IpSession s{};
            s.id = t.next_ip_id++;
            s.created_ms = a.now_ms;
            s.alg = alg;
            s.mac_sess = mac_id;
            s.flow[0].t = p.tuple;
            s.flow[1].t = FlowTuple{p.tuple.protocol, p.tuple.dst_ip, p.tuple.src_ip,
                                    p.tuple.dst_port, p.tuple.src_port};
            t.ip_at.emplace(key, static_cast<std::uint32_t>(t.ip.size()));
            t.ip.push_back(s);
            it = t.ip.end() - 1;
        } else {
            st.ip_refused = true;
        }
    }
    if (it != t.ip.end()) {
        IpSession& s = *it;
        IpFlow& f =
            s.flow[s.flow[0].t.src_ip == p.tuple.src_ip && s.flow[0].t.src_port == p.tuple.src_port
                       ? 0
                       : 1];
        count(&f.installed, &f.packets, &f.bytes, len);
        s.last_ms = a.now_ms;
        s.timeout_s = timeout_s;
        if (alg) s.alg = alg;
    }
    keep_counts(m);
    return st;
}

int fe_session_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out, bool* known) {
    return fe_run_call(kSessionCalls, m, f, fn, args, out, known, keep_counts);
}

}  // namespace fem
