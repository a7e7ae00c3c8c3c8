#include "platform/fe/counters.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "platform/fe/calls.h"
#include "platform/fe/model.h"
#include "platform/fe/replay_flows.h"
#include "platform/wire.h"

namespace fem {

namespace {

using fe_counter::Proto;
using fe_dc::Row;

inline constexpr std::uint8_t kIcmp = 1;
inline constexpr std::uint8_t kIgmp = 2;
inline constexpr std::uint8_t kTcp = 6;
inline constexpr std::uint8_t kUdp = 17;
inline constexpr std::uint8_t kGre = 47;
inline constexpr std::uint8_t kEsp = 50;
inline constexpr std::uint32_t kIpHeader = 20;

// Applications without a protocol counter of their own count under IP only.
inline constexpr Proto kNoOwnCounter = Proto::Ip;

// Well-known ports: the protocol counter and the data-collection application.
struct PortApp {
    std::uint16_t port;
    Proto proto;
    const char* app;
};
constexpr PortApp kPortApps[] = {
    {80, Proto::Http, "http"},   {443, Proto::Https, "https"},  {21, Proto::Ftp, "ftp"},
    {20, Proto::Ftp, "ftp"},     {23, Proto::Telnet, "telnet"}, {53, Proto::Dns, "dns"},
    {67, Proto::Dhcp, "dhcp"},   {68, Proto::Dhcp, "dhcp"},     {22, Proto::Ssh, "ssh"},
    {69, kNoOwnCounter, "tftp"}, {5060, kNoOwnCounter, "sip"},
};

const PortApp* port_app(const FlowTuple& t) {
    for (const PortApp& a : kPortApps)
        if (t.src_port == a.port || t.dst_port == a.port) return &a;
    return nullptr;
}

bool is_zero_mac(const std::uint8_t* m) {
    static constexpr std::uint8_t kZero[6] = {};
    return std::memcmp(m, kZero, 6) == 0;
}

// RFC 1918 addresses stay on the site.
bool is_local(std::uint32_t ip) {
    return (ip >> 24) == 10 || (ip >> 20) == 0xac1 || (ip >> 16) == 0xc0a8;
}

void count_dir(DirCounts& d, const FlowTuple& t, std::uint32_t len) {
    auto at = [&](Proto p) -> std::uint32_t& { return d.proto[static_cast<std::size_t>(p)]; };
    ++at(Proto::Ip);
    ++at(t.protocol == kTcp ? Proto::Tcp : Proto::Udp);
    if (const PortApp* a = port_app(t); a && a->proto != kNoOwnCounter) ++at(a->proto);
    d.bytes += len;
}

IfCounters& if_of(CounterState& c, std::uint32_t ifindex) {
    auto it = std::find_if(c.ifs.begin(), c.ifs.end(),
                           [&](const IfCounters& i) { return i.ifindex == ifindex; });
    if (it != c.ifs.end()) return *it;
    c.ifs.push_back(IfCounters{ifindex, {}, {}, 0});
    return c.ifs.back();
}

StaCounters* sta_of(CounterState& c, const std::uint8_t* mac) {
    if (is_zero_mac(mac)) return nullptr;  // a link without addresses
    if (StaCounters* s = counters_station(c, mac)) return s;
    if (c.stas.size() >= kCounterStationsMax) return nullptr;
    StaCounters s{};
    std::memcpy(s.mac, mac, 6);
    c.sta_at[mac_number(mac)] = static_cast<std::uint32_t>(c.stas.size());
    c.stas.push_back(s);
    return &c.stas.back();
}

void count_dc(DcCounts& row, bool from_sta, std::uint32_t len) {
    ++row[from_sta ? 0 : 2];
    row[from_sta ? 1 : 3] += len;
}

Row proto_row(std::uint8_t protocol) {
    switch (protocol) {
        case kUdp:
            return Row::Udp;
        case kTcp:
            return Row::Tcp;
        case kIcmp:
            return Row::Icmp;
        case kGre:
            return Row::Gre;
        case kEsp:
            return Row::Esp;
        case kIgmp:
            return Row::Igmp;
        default:
            return Row::Others;
    }
}

void data_collection(CounterState& c, const FlowTuple& t, bool from_sta, std::uint32_t len) {
    auto row = [&](Row r) -> DcCounts& { return c.dc[static_cast<std::size_t>(r)]; };
    count_dc(row(Row::Ipv4), from_sta, len);
    count_dc(row(is_local(from_sta ? t.dst_ip : t.src_ip) ? Row::Local : Row::Internet), from_sta,
             len);
    count_dc(row(proto_row(t.protocol)), from_sta, len);
    const PortApp* a = port_app(t);
    if (!a) return;
    auto it = std::find_if(c.apps.begin(), c.apps.end(),
                           [&](const DcApp& x) { return x.name == a->app; });
    if (it == c.apps.end()) {
        if (c.apps.size() >= fe_dc::kMaxApps) return;
        c.apps.push_back(DcApp{a->app, {}});
        it = c.apps.end() - 1;
    }
    count_dc(it->c, from_sta, len);
}

void total(CounterState& c, std::uint32_t queue_hash, std::uint32_t core_hash) {
    ++c.queue[queue_hash & 1];
    ++c.core[core_hash & 1];
}

// ---- reading --------------------------------------------------------------

void put_dir(std::uint8_t* e, std::size_t at, const DirCounts& d) {
    for (std::size_t i = 0; i < fe_counter::kProtos; ++i)
        wire::store_h<std::uint32_t>(e + at + i * 4, d.proto[i]);
}

// IP sessions per MAC session id, counted once per read rather than once per
// MAC session.
using IpsPerMac = std::unordered_map<std::uint32_t, std::uint32_t>;

IpsPerMac ips_per_mac(const Model& m) {
    IpsPerMac n;
    for (const IpSession& i : m.sess.ip) ++n[i.mac_sess];
    return n;
}

// `ips` with `mac`: a station's entry.
void put_entry(const Model& m, std::uint32_t kind, const DirCounts& in, const DirCounts& out,
               std::vector<std::uint8_t>& to, const std::uint8_t* mac, const IpsPerMac* ips,
               std::uint32_t ifindex, std::uint32_t dropped) {
    namespace o = fe_counter;
    const CounterState& c = m.cnt;
    std::uint8_t e[o::kSize] = {};
    wire::store_h<std::uint32_t>(e + o::kKind, kind);
    wire::store_h<std::uint32_t>(e + o::kIfindex, ifindex);
    wire::store_h<std::uint32_t>(e + o::kQueue0, c.queue[0]);
    wire::store_h<std::uint32_t>(e + o::kQueue1, c.queue[1]);
    wire::store_h<std::uint32_t>(e + o::kCore0, c.core[0]);
    wire::store_h<std::uint32_t>(e + o::kCore1, c.core[1]);
    wire::store_h<std::uint32_t>(e + o::kDropped, dropped);
    put_dir(e, o::kIn, in);
    put_dir(e, o::kOut, out);
    wire::store_h<std::uint32_t>(e + o::kInBytes, in.bytes);
    wire::store_h<std::uint32_t>(e + o::kOutBytes, out.bytes);
    if (mac && ips) {
        std::memcpy(e + o::kMac, mac, 6);
        // The station's sessions: MAC sessions it opened, and their IP sessions.
        std::uint32_t macs = 0, ip_count = 0;
        for (const MacSession& s : m.sess.mac) {
            if (std::memcmp(s.flow[0].src, mac, 6) != 0) continue;
            ++macs;
            if (auto it = ips->find(s.id); it != ips->end()) ip_count += it->second;
        }
        wire::store_h<std::uint32_t>(e + o::kMacSessions, macs);
        wire::store_h<std::uint32_t>(e + o::kIpSessions, ip_count);
    }
    to.insert(to.end(), e, e + o::kSize);
}

void put_if(const Model& m, const IfCounters& i, std::vector<std::uint8_t>& to) {
    put_entry(m, fe_counter::kKindIf, i.in, i.out, to, nullptr, nullptr, i.ifindex, i.dropped);
}

void put_sta(const Model& m, const StaCounters& s, const IpsPerMac& ips,
             std::vector<std::uint8_t>& to) {
    put_entry(m, fe_counter::kKindSta, s.in, s.out, to, s.mac, &ips, 0, 0);
}

std::uint32_t entry_count(const Model& m) {
    return static_cast<std::uint32_t>(m.cnt.ifs.size() + m.cnt.stas.size());
}

int count(Call c) {
    return static_cast<int>(entry_count(c.m));
}

int list(Call c) {
    std::uint32_t max = c.args.h32();
    if (!c.args.ok()) return -1;
    std::vector<std::uint8_t> recs;
    std::uint32_t n = 0;
    for (const IfCounters& i : c.m.cnt.ifs)
        if (n < max) put_if(c.m, i, recs), ++n;
    IpsPerMac ips = ips_per_mac(c.m);
    for (const StaCounters& s : c.m.cnt.stas)
        if (n < max) put_sta(c.m, s, ips, recs), ++n;
    wire::Writer w;
    w.h32(n);
    c.out = std::move(w.buf());
    c.out.insert(c.out.end(), recs.begin(), recs.end());
    return 0;
}

int dev(Call c) {
    std::uint32_t ifindex = c.args.h32();
    if (!c.args.ok()) return -1;
    // An interface that carried nothing yet reads as zeros.
    IfCounters none{ifindex, {}, {}, 0};
    auto it = std::find_if(c.m.cnt.ifs.begin(), c.m.cnt.ifs.end(),
                           [&](const IfCounters& i) { return i.ifindex == ifindex; });
    put_if(c.m, it == c.m.cnt.ifs.end() ? none : *it, c.out);
    return 0;
}

int sta(Call c) {
    std::uint8_t mac[6];
    c.args.bytes(mac, 6);
    if (!c.args.ok()) return -1;
    const StaCounters* s = counters_station(c.m.cnt, mac);
    if (!s) return 1;
    put_sta(c.m, *s, ips_per_mac(c.m), c.out);
    return 0;
}

int drops(Call c) {
    wire::Writer w;
    for (std::uint32_t v : c.m.cnt.drops) w.h32(v);
    c.out = std::move(w.buf());
    return 0;
}

int dc(Call c) {
    namespace o = fe_dc;
    const CounterState& s = c.m.cnt;
    c.out.assign(o::kSize, 0);
    std::uint8_t* e = c.out.data();
    for (std::size_t r = 0; r < o::kRows; ++r)
        for (std::size_t k = 0; k < 4; ++k)
            wire::store_h<std::uint32_t>(e + r * o::kRowSize + k * 4, s.dc[r][k]);
    wire::store_h<std::uint32_t>(e + o::kAppHeader, static_cast<std::uint32_t>(s.apps.size())
                                                        << 16);
    for (std::size_t i = 0; i < s.apps.size(); ++i) {
        std::uint8_t* a = e + o::kApps + i * o::kAppSize;
        std::memcpy(a + o::kAppName, s.apps[i].name.data(),
                    std::min(s.apps[i].name.size(), o::kAppNameSize - 1));
        for (std::size_t k = 0; k < 4; ++k)
            wire::store_be32(a + o::kAppCounters + k * 4, s.apps[i].c[k]);
    }
    return 0;
}

void zero_policies(Model& m) {
    for (PolicyEntry& p : m.ops.policies) p.packets = 0;
}

int clear_all(Call c) {
    CounterState& s = c.m.cnt;
    // Interfaces and stations keep their entries, at zero.
    for (IfCounters& i : s.ifs) i = IfCounters{i.ifindex, {}, {}, 0};
    for (StaCounters& t : s.stas) t.in = t.out = DirCounts{};
    qos_user_base_forget(c.m, nullptr);
    s.queue[0] = s.queue[1] = s.core[0] = s.core[1] = 0;
    s.drops = {};
    s.dc = {};
    s.apps.clear();
    zero_policies(c.m);
    for (Tunnel& t : c.m.ops.tunnels) t.tx = t.tx_err = t.rx = t.rx_err = 0;
    return 0;
}

int clear_dev(Call c) {
    std::uint32_t ifindex = c.args.h32();
    if (!c.args.ok()) return -1;
    for (IfCounters& i : c.m.cnt.ifs)
        if (i.ifindex == ifindex) i = IfCounters{ifindex, {}, {}, 0};
    return 0;
}

int clear_sta(Call c) {
    std::uint8_t mac[6];
    c.args.bytes(mac, 6);
    if (!c.args.ok()) return -1;
    StaCounters* s = counters_station(c.m.cnt, mac);
    if (!s) return 1;
    s->in = s->out = DirCounts{};
    qos_user_base_forget(c.m, mac);
    return 0;
}

int clear_drops(Call c) {
    c.m.cnt.drops = {};
    return 0;
}

int clear_stations(Call c) {
    for (StaCounters& s : c.m.cnt.stas) s.in = s.out = DirCounts{};
    qos_user_base_forget(c.m, nullptr);
    return 0;
}

int clear_policies(Call c) {
    zero_policies(c.m);
    return 0;
}

int clear_dc(Call c) {
    c.m.cnt.dc = {};
    c.m.cnt.apps.clear();
    return 0;
}

constexpr CallRow kCounterCalls[] = {
    {proto::FeFn::CounterCount, "fe_get_counter_entry_cnt", count},
    {proto::FeFn::CounterList, "fe_get_counter_list", list},
    {proto::FeFn::CounterDev, "fe_get_device_counter", dev, true},
    {proto::FeFn::CounterSta, "fe_get_station_counter", sta},
    {proto::FeFn::DropCounters, "fe_get_drop_counters", drops},
    {proto::FeFn::DcCounters, "fe_get_dc_counters", dc},
    {proto::FeFn::ClearAll, "fe_clear_all_counters", clear_all},
    {proto::FeFn::ClearDev, "fe_clear_counters_per_dev", clear_dev, true},
    {proto::FeFn::ClearSta, "fe_clear_counters_per_station", clear_sta},
    {proto::FeFn::ClearDrops, "fe_clear_drop_counters", clear_drops},
    {proto::FeFn::ClearStations, "fe_clear_counters_all_stations", clear_stations},
    {proto::FeFn::ClearPolicies, "fe_clear_policy_counters", clear_policies},
    {proto::FeFn::ClearDc, "fe_clear_dc_counters", clear_dc},
};

}  // namespace

void counters_init(Model& m) {
    m.cnt = CounterState{};
}

void counters_packet(Model& m, const FramePacket& p, const ReplayIfaces& ifs,
                     const SessionStep& st) {
    CounterState& c = m.cnt;
    const FlowTuple& t = p.tuple;
    std::uint32_t len =
        kIpHeader + (t.protocol == kTcp ? 20u : 8u) + static_cast<std::uint32_t>(p.payload.size());
    // Both directions of a flow take the same queue and core.
    total(c, t.src_port ^ t.dst_port, t.src_ip ^ t.dst_ip);
    bool from_sta = st.dir == 0;
    IfCounters& in = if_of(c, from_sta ? ifs.client_side : ifs.server_side);
    count_dir(in.in, t, len);
    if (st.mac_refused || st.ip_refused) {
        ++in.dropped;
        ++c.drops[st.mac_refused ? fe_drop::kExceedMaxMacSessions : fe_drop::kExceedMaxIpSessions];
        return;
    }
    count_dir(if_of(c, from_sta ? ifs.server_side : ifs.client_side).out, t, len);
    if (StaCounters* s = sta_of(c, from_sta ? p.src_mac : p.dst_mac))
        count_dir(from_sta ? s->in : s->out, t, len);
    data_collection(c, t, from_sta, len);
}

void counters_frame(Model& m, bool invalid) {
    total(m.cnt, 0, 0);
    if (invalid) ++m.cnt.drops[fe_drop::kInvalidPackets];
}

int fe_counter_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out, bool* known) {
    return fe_run_call(kCounterCalls, m, f, fn, args, out, known);
}

StaCounters* counters_station(CounterState& c, const std::uint8_t* mac) {
    std::uint64_t key = mac_number(mac);
    if (auto at = c.sta_at.find(key); at != c.sta_at.end() && at->second < c.stas.size() &&
                                      std::memcmp(c.stas[at->second].mac, mac, 6) == 0)
        return &c.stas[at->second];
    auto it = std::find_if(c.stas.begin(), c.stas.end(),
                           [&](const StaCounters& s) { return std::memcmp(s.mac, mac, 6) == 0; });
    if (it == c.stas.end()) return nullptr;
    c.sta_at[key] = static_cast<std::uint32_t>(it - c.stas.begin());
    return &*it;
}

}  // namespace fem
