// The FE's settings tables: virtual wire, tunnel multicast list, registered
// to-self ports and FE filters, reached through the fe_ table calls.
#include <algorithm>
#include <cstring>

#include "platform/fe.h"
#include "platform/fe/calls.h"
#include "platform/fe/model.h"
#include "platform/rl_msg.h"
#include "platform/wire.h"

namespace fem {

namespace {

static_assert(std::tuple_size_v<FfRecord> == fe_ff::kSize);

std::uint32_t ff_id(const FfRecord& r) {
    return wire::load_h<std::uint32_t>(r.data() + fe_ff::kId);
}

std::vector<FfRecord>::iterator ff_find(Model& m, std::uint32_t id) {
    return std::find_if(m.ffs.begin(), m.ffs.end(),
                        [&](const FfRecord& r) { return ff_id(r) == id; });
}

int set_vwire(Call c) {
    std::uint32_t a = c.args.h32();
    std::uint32_t b = c.args.h32();
    std::array<std::uint8_t, 6> mac{};
    c.args.bytes(mac.data(), mac.size());
    if (!c.args.ok() || a == 0 || b == 0) return -1;  // an unknown interface has no index
    c.m.vwire = Vwire{true, a, b, mac};
    return 0;
}

int mcast_status(Call c) {
    std::uint32_t status = 0;
    setting_value(c.m, 122, &status);
    wire::Writer w;
    w.h32(status).h32(static_cast<std::uint32_t>(c.m.mcast.size()));
    c.out = std::move(w.buf());
    return 0;
}

int mcast_set(Call c) {
    std::uint32_t add = c.args.h32();
    std::uint32_t addr = c.args.h32();
    std::uint32_t mask = c.args.h32();
    if (!c.args.ok()) return -1;
    auto it = std::find_if(c.m.mcast.begin(), c.m.mcast.end(),
                           [&](const McastEntry& e) { return e.addr == addr && e.mask == mask; });
    if (!add) {
        if (it == c.m.mcast.end()) return -1;
        c.m.mcast.erase(it);
        return 0;
    }
    if (it != c.m.mcast.end()) return 0;
    if (c.m.mcast.size() >= kMcastMax) return -1;
    c.m.mcast.push_back(McastEntry{addr, mask});
    return 0;
}

int mcast_list(Call c) {
    std::uint32_t max = c.args.h32();
    if (!c.args.ok()) return -1;
    std::size_t n = std::min<std::size_t>(max, c.m.mcast.size());
    wire::Writer w;
    for (std::size_t i = 0; i < n; ++i) w.h32(c.m.mcast[i].addr).h32(c.m.mcast[i].mask);
    c.out = std::move(w.buf());
    return static_cast<int>(n);
}

int reg_ports(Call c) {
    std::uint32_t max = c.args.h32();
    if (!c.args.ok()) return -1;
    std::size_t n = std::min<std::size_t>(max, std::size(kRegPorts));
    c.out.assign(n * fe_regport::kSize, 0);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t* e = c.out.data() + i * fe_regport::kSize;
        wire::store_h<std::uint16_t>(e + fe_regport::kPort, kRegPorts[i].port);
        e[fe_regport::kProto] = kRegPorts[i].proto;
        e[fe_regport::kDirection] = kRegPorts[i].direction;
        std::memcpy(e + fe_regport::kNote, kRegPorts[i].note,
                    std::min(std::strlen(kRegPorts[i].note), fe_regport::kNoteSize - 1));
    }
    return static_cast<int>(n);
}

int ff_add(Call c) {
    FfRecord r{};
    c.args.bytes(r.data(), r.size());
    if (!c.args.ok() || c.args.left() != 0) return -1;
    std::uint32_t id = ff_id(r);
    if (id < fe_ff::kIdMin || id > fe_ff::kIdMax) return -1;
    auto it = ff_find(c.m, id);
    if (it != c.m.ffs.end()) {
        *it = r;
        return 0;
    }
    if (c.m.ffs.size() >= kFfMax) return -1;
    auto at = std::find_if(c.m.ffs.begin(), c.m.ffs.end(),
                           [&](const FfRecord& x) { return ff_id(x) > id; });
    c.m.ffs.insert(at, r);
    return 0;
}

int ff_delete(Call c) {
    std::uint32_t id = c.args.h32();
    auto it = c.args.ok() ? ff_find(c.m, id) : c.m.ffs.end();
    if (it == c.m.ffs.end()) return -1;
    c.m.ffs.erase(it);
    return 0;
}

int ff_get_one(Call c) {
    std::uint32_t id = c.args.h32();
    auto it = c.args.ok() ? ff_find(c.m, id) : c.m.ffs.end();
    if (it == c.m.ffs.end()) return -1;
    c.out.assign(it->begin(), it->end());
    return 0;
}

int ff_list(Call c) {
    std::uint32_t max = c.args.h32();
    if (!c.args.ok()) return -1;
    std::size_t n = std::min<std::size_t>(max, c.m.ffs.size());
    c.out.clear();
    for (std::size_t i = 0; i < n; ++i)
        c.out.insert(c.out.end(), c.m.ffs[i].begin(), c.m.ffs[i].end());
    return static_cast<int>(n);
}

int ff_count(Call c) {
    return static_cast<int>(c.m.ffs.size());
}

constexpr CallRow kTableCalls[] = {
    {proto::FeFn::SetVwire, "fe_set_vwire_interfaces", set_vwire},
    {proto::FeFn::McastStatus, "fe_get_tunnel_multicast_status_size", mcast_status},
    {proto::FeFn::McastSet, "fe_set_tunnel_multicast_list", mcast_set},
    {proto::FeFn::McastList, "fe_get_tunnel_multicast_list", mcast_list},
    {proto::FeFn::RegPorts, "fe_get_registered_to_self_pkt_port", reg_ports},
    {proto::FeFn::FfAdd, "fe_add_ff", ff_add, true},
    {proto::FeFn::FfDelete, "fe_delete_ff", ff_delete, true},
    {proto::FeFn::FfGetOne, "fe_get_one_ff", ff_get_one, true},
    {proto::FeFn::FfList, "fe_get_ff_list", ff_list},
    {proto::FeFn::FfCount, "fe_get_current_ff_cnt", ff_count},
};

}  // namespace

void tables_init(Model& m) {
    m.rate_limits.clear();
    for (const char* name : kRateLimitIfaces)
        m.rate_limits.push_back(RateLimit{name, qz_rl_msg::kDefBcastOn, qz_rl_msg::kDefMcastOn,
                                          qz_rl_msg::kDefUcastOn, qz_rl_msg::kDefBcastRate,
                                          qz_rl_msg::kDefMcastRate, qz_rl_msg::kDefUcastRate});
    m.vwire = Vwire{};
    m.mcast.clear();
    m.ffs.clear();
}

int fe_table_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                  std::vector<std::uint8_t>& out, bool* known) {
    return fe_run_call(kTableCalls, m, f, fn, args, out, known);
}

}  // namespace fem
