// The FE's MAC access-control groups, their rules and the IPv6 guards.
#include "platform/fe/mac_acl.h"

#include <algorithm>
#include <cstring>

#include "platform/fe/calls.h"
#include "platform/fe/model.h"
#include "platform/mac_acl_msg.h"
#include "platform/wire.h"

namespace fem {

namespace {

namespace mr = fe_mac_rule;
namespace me = fe_mac_entry;
namespace mf = fe_mac_flag;

using RuleBytes = std::array<std::uint8_t, mr::kSize>;

std::string cut_name(std::string s) {
    s = s.substr(0, s.find('\0'));
    if (s.size() >= mr::kNameSize) s.resize(mr::kNameSize - 1);
    return s;
}

bool read_rule(wire::Reader& r, RuleBytes& b) {
    r.bytes(b.data(), b.size());
    return r.ok();
}

std::string rule_group(const RuleBytes& b) {
    const char* c = reinterpret_cast<const char*>(b.data() + mr::kGroup);
    return std::string(c, strnlen(c, mr::kNameSize - 1));
}

std::uint32_t h32(const RuleBytes& b, std::size_t off) {
    return wire::load_h<std::uint32_t>(b.data() + off);
}

std::vector<MacRule>::iterator rule_of(MacGroup& g, std::uint32_t id) {
    return std::find_if(g.rules.begin(), g.rules.end(),
                        [&](const MacRule& r) { return r.id == id; });
}

bool has_rule(MacGroup& g, std::uint32_t id) {
    return rule_of(g, id) != g.rules.end();
}

bool mask_ok(std::uint32_t bytes) {
    return bytes == 0 || bytes == 3 || bytes == 6;
}

// The rule a record describes; rc 0, or why the FE refuses it.
int make_rule(const RuleBytes& b, MacRule& r) {
    r = MacRule{};
    r.id = h32(b, mr::kId);
    r.flags = wire::load_h<std::uint16_t>(b.data() + mr::kFlags);
    r.action = h32(b, mr::kAction);
    if (r.flags & mf::kSrc) {
        std::copy_n(b.data() + mr::kSrc, 6, r.src.begin());
        r.src_mask = h32(b, mr::kSrcMask);
    }
    if (r.flags & mf::kDst) {
        std::copy_n(b.data() + mr::kDst, 6, r.dst.begin());
        r.dst_mask = h32(b, mr::kDstMask);
    }
    if (!mask_ok(r.src_mask) || !mask_ok(r.dst_mask)) return FE_MAC_BAD_MASK;
    if (r.action != FE_MAC_ACTION_PERMIT && r.action != FE_MAC_ACTION_DENY) return -1;
    return 0;
}

std::uint32_t free_id(MacGroup& g) {
    std::uint32_t id = 1;
    while (has_rule(g, id)) ++id;
    return id;
}

int grp_names(Call c) {
    std::uint32_t max = c.args.h32();
    if (!c.args.ok()) return -1;
    const auto& gs = c.m.mac.groups;
    std::size_t n = std::min<std::size_t>(max, gs.size());
    c.out.assign(4 + n * fe_mac_grp::kSize, 0);
    wire::store_h<std::uint32_t>(c.out.data(), static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i)
        std::memcpy(c.out.data() + 4 + i * fe_mac_grp::kSize, gs[i].name.data(), gs[i].name.size());
    return 0;
}

int grp_add(Call c) {
    RuleBytes b;
    if (!read_rule(c.args, b)) return -1;
    std::string name = rule_group(b);
    if (name.empty() || mac_group(c.m, name)) return -1;
    if (c.m.mac.groups.size() >= fe_mac_grp::kListMax) return FE_MAC_TOO_MANY_GROUPS;
    c.m.mac.groups.push_back(MacGroup{name, {}});
    return 0;
}

// A deleted group is bound to no UPID any more.
int grp_del(Call c) {
    RuleBytes b;
    if (!read_rule(c.args, b)) return -1;
    std::string name = rule_group(b);
    auto& gs = c.m.mac.groups;
    auto it = std::find_if(gs.begin(), gs.end(), [&](const MacGroup& g) { return g.name == name; });
    if (it == gs.end()) return FE_MAC_NO_GROUP;
    gs.erase(it);
    for (UpidState& u : c.m.up.upids) {
        if (u.mac_from == name) u.mac_from.clear();
        if (u.mac_to == name) u.mac_to.clear();
    }
    return 0;
}

// A new id appends (or goes to its position); a known id is replaced in
// place, or moved to the position given.
int acl_add(Call c) {
    RuleBytes b;
    if (!read_rule(c.args, b) || c.args.left() != 0) return -1;
    MacGroup* g = mac_group(c.m, rule_group(b));
    if (!g) return FE_MAC_NO_GROUP;
    MacRule rule;
    if (int rc = make_rule(b, rule); rc != 0) return rc;
    if (rule.id == 0) rule.id = free_id(*g);
    std::uint8_t pos = b[mr::kPos];
    std::uint32_t ref = h32(b, mr::kRef);
    if (pos != mr::kPosNone && pos != mr::kPosBefore && pos != mr::kPosAfter) return -1;
    auto old = rule_of(*g, rule.id);
    if (old == g->rules.end() && g->rules.size() >= fe_mac_entry::kListMax)
        return FE_MAC_TOO_MANY_RULES;
    if (pos == mr::kPosNone) {
        if (old != g->rules.end())
            *old = rule;
        else
            g->rules.push_back(rule);
        return 0;
    }
    if (!has_rule(*g, ref)) return FE_MAC_NO_REF;
    if (ref == rule.id) return FE_MAC_BAD_MOVE;
    if (old != g->rules.end()) g->rules.erase(old);
    auto at = rule_of(*g, ref);
    if (pos == mr::kPosAfter) ++at;
    g->rules.insert(at, rule);
    return 0;
}

int acl_move(Call c) {
    std::uint32_t how = c.args.h32();
    RuleBytes b;
    read_rule(c.args, b);
    std::uint32_t id = c.args.h32();
    std::uint32_t ref = c.args.h32();
    if (!c.args.ok() || (how != FE_MAC_MOVE_BEFORE && how != FE_MAC_MOVE_AFTER)) return -1;
    MacGroup* g = mac_group(c.m, rule_group(b));
    if (!g) return FE_MAC_NO_GROUP;
    auto it = rule_of(*g, id);
    if (it == g->rules.end()) return FE_MAC_NO_RULE;
    if (!has_rule(*g, ref)) return FE_MAC_NO_REF;
    if (id == ref) return FE_MAC_BAD_MOVE;
    MacRule moved = *it;
    g->rules.erase(it);
    auto at = rule_of(*g, ref);
    if (how == FE_MAC_MOVE_AFTER) ++at;
    g->rules.insert(at, moved);
    return 0;
}

// The rule of a group; rc says why there is none.
MacRule* find_rule(Model& m, const std::string& name, std::uint32_t id, MacGroup** group, int* rc) {
    MacGroup* g = mac_group(m, name);
    *rc = FE_MAC_NO_GROUP;
    if (!g) return nullptr;
    auto it = rule_of(*g, id);
    *rc = FE_MAC_NO_RULE;
    if (it == g->rules.end()) return nullptr;
    *rc = 0;
    *group = g;
    return &*it;
}

int acl_delete(Call c) {
    RuleBytes b;
    if (!read_rule(c.args, b)) return -1;
    MacGroup* g = nullptr;
    int rc = 0;
    MacRule* r = find_rule(c.m, rule_group(b), h32(b, mr::kId), &g, &rc);
    if (r) g->rules.erase(g->rules.begin() + (r - g->rules.data()));
    return rc;
}

int acl_no_log(Call c) {
    std::string name = cut_name(c.args.str());
    std::uint32_t id = c.args.h32();
    if (!c.args.ok()) return -1;
    MacGroup* g = nullptr;
    int rc = 0;
    MacRule* r = find_rule(c.m, name, id, &g, &rc);
    if (r) r->flags &= static_cast<std::uint16_t>(~mf::kLogAll);
    return rc;
}

int acl_entries(Call c) {
    std::string name = cut_name(c.args.str());
    std::uint32_t max = c.args.h32();
    if (!c.args.ok()) return -1;
    MacGroup* g = mac_group(c.m, name);
    if (!g) return FE_MAC_NO_GROUP;
    std::size_t n = std::min<std::size_t>(max, g->rules.size());
    c.out.assign(4 + n * me::kSize, 0);
    wire::store_h<std::uint32_t>(c.out.data(), static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t* e = c.out.data() + 4 + i * me::kSize;
        const MacRule& r = g->rules[i];
        wire::store_h<std::uint32_t>(e + me::kId, r.id);
        std::copy(r.src.begin(), r.src.end(), e + me::kSrc);
        wire::store_h<std::uint32_t>(e + me::kSrcMask, r.src_mask);
        std::copy(r.dst.begin(), r.dst.end(), e + me::kDst);
        wire::store_h<std::uint32_t>(e + me::kDstMask, r.dst_mask);
        wire::store_h<std::uint16_t>(e + me::kFlags, r.flags);
        wire::store_h<std::uint32_t>(e + me::kAction, r.action);
    }
    return 0;
}

bool* guard_of(Model& m, std::uint32_t which) {
    if (which == FE_GUARD_RA) return &m.mac.ra_guard;
    if (which == FE_GUARD_DHCPV6) return &m.mac.dhcpv6_shield;
    return nullptr;
}

int guard_set(Call c) {
    std::uint32_t which = c.args.h32();
    std::uint32_t on = c.args.h32();
    bool* g = guard_of(c.m, which);
    if (!c.args.ok() || !g || on > 1) return -1;
    *g = on == 1;
    return 0;
}

int guard_get(Call c) {
    std::uint32_t which = c.args.h32();
    bool* g = guard_of(c.m, which);
    if (!c.args.ok() || !g) return -1;
    c.out.assign(4, 0);
    wire::store_h<std::uint32_t>(c.out.data(), *g ? 1u : 0u);
    return 0;
}

constexpr CallRow kMacAclCalls[] = {
    {proto::FeFn::MacAclGrpNames, "fe_mac_acl_get_acl_grp_names", grp_names},
    {proto::FeFn::MacAclGrpAdd, "fe_mac_acl_grp_add", grp_add},
    {proto::FeFn::MacAclGrpDel, "fe_mac_acl_grp_del", grp_del},
    {proto::FeFn::MacAclAdd, "fe_mac_acl_add", acl_add},
    {proto::FeFn::MacAclMove, "fe_mac_acl_move", acl_move},
    {proto::FeFn::MacAclDelete, "fe_mac_acl_delete_by_content", acl_delete},
    {proto::FeFn::MacAclNoLog, "fe_mac_acl_remove_log", acl_no_log},
    {proto::FeFn::MacAclEntries, "fe_mac_acl_get_acl_grp_entries", acl_entries},
    {proto::FeFn::Ipv6GuardSet, "fe_set_ipv6_ra_dhcpv6_guard", guard_set, true},
    {proto::FeFn::Ipv6GuardGet, "fe_get_ipv6_ra_dhcpv6_guard", guard_get, true},
};

}  // namespace

MacGroup* mac_group(Model& m, std::string_view name) {
    for (MacGroup& g : m.mac.groups)
        if (g.name == name) return &g;
    return nullptr;
}

int fe_mac_acl_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out, bool* known) {
    return fe_run_call(kMacAclCalls, m, f, fn, args, out, known);
}

}  // namespace fem
