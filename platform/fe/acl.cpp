// The FE's IP access-control groups and their rules.
#include "platform/fe/acl.h"

#include <algorithm>
#include <cstring>

#include "platform/acl_msg.h"
#include "platform/fe/calls.h"
#include "platform/fe/model.h"
#include "platform/wire.h"

namespace fem {

namespace {

namespace ar = fe_acl_rule;
namespace ae = fe_acl_entry;

// A name argument, cut as the FE's 33-byte fields cut it.
std::string name_arg(wire::Reader& r) {
    std::string s = r.str();
    s = s.substr(0, s.find('\0'));
    if (s.size() >= ar::kNameSize) s.resize(ar::kNameSize - 1);
    return s;
}

std::string field_name(const std::uint8_t* p) {
    const char* c = reinterpret_cast<const char*>(p);
    return std::string(c, strnlen(c, ar::kNameSize - 1));
}

std::vector<AclRule>::iterator rule_of(AclGroup& g, std::uint32_t id) {
    return std::find_if(g.rules.begin(), g.rules.end(),
                        [&](const AclRule& r) { return r.id == id; });
}

int grp_names(Call c) {
    std::uint32_t max = c.args.h32();
    if (!c.args.ok()) return -1;
    std::size_t n = std::min<std::size_t>(max, c.m.acl.groups.size());
    c.out.assign(4 + n * fe_acl_grp::kSize, 0);
    wire::store_h<std::uint32_t>(c.out.data(), static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t* e = c.out.data() + 4 + i * fe_acl_grp::kSize;
        const AclGroup& g = c.m.acl.groups[i];
        std::memcpy(e + fe_acl_grp::kName, g.name.data(), g.name.size());
        e[fe_acl_grp::kFlags] = g.flags;
    }
    return 0;
}

int grp_add(Call c) {
    std::string name = name_arg(c.args);
    std::uint32_t flag = c.args.h32();
    if (!c.args.ok() || name.empty() || acl_group(c.m, name)) return -1;
    if (c.m.acl.groups.size() >= kAclGroupsMax) return -1;
    c.m.acl.groups.push_back(AclGroup{name, static_cast<std::uint8_t>(flag), {}});
    return 0;
}

int grp_del(Call c) {
    std::string name = name_arg(c.args);
    if (!c.args.ok()) return -1;
    auto& gs = c.m.acl.groups;
    auto it = std::find_if(gs.begin(), gs.end(), [&](const AclGroup& g) { return g.name == name; });
    if (it == gs.end()) return FE_ACL_NO_GROUP;
    gs.erase(it);
    return 0;
}

int acl_add(Call c) {
    std::uint8_t r[ar::kSize];
    c.args.bytes(r, sizeof r);
    if (!c.args.ok() || c.args.left() != 0) return -1;
    AclGroup* g = acl_group(c.m, field_name(r + ar::kGroup));
    if (!g) return FE_ACL_NO_GROUP;
    auto h = [&](std::size_t off) { return wire::load_h<std::uint32_t>(r + off); };
    std::uint32_t id = h(ar::kId);
    if (id == 0) return -1;
    AclRule rule{id,
                 h(ar::kSrc),
                 h(ar::kSrcMask),
                 h(ar::kDst),
                 h(ar::kDstMask),
                 field_name(r + ar::kService),
                 r[ar::kFlags],
                 h(ar::kAction)};
    // An id the group holds already is that rule, given anew where it stands.
    if (auto same = rule_of(*g, id); same != g->rules.end()) {
        *same = rule;
        return 0;
    }
    if (g->rules.size() >= kAclRulesMax) return FE_ACL_GROUP_FULL;
    auto at = g->rules.end();
    std::uint8_t pos = r[ar::kPos];
    if (pos == ar::kPosBefore || pos == ar::kPosAfter) {
        at = rule_of(*g, h(ar::kRef));
        if (at == g->rules.end()) return FE_ACL_NO_RULE;
        if (pos == ar::kPosAfter) ++at;
    } else if (pos != ar::kPosAppend) {
        return -1;
    }
    g->rules.insert(at, rule);
    return 0;
}

// The rule named by a {group name, rule id} argument pair; rc says why none.
AclRule* named_rule(Call c, AclGroup** group, int* rc) {
    std::string name = name_arg(c.args);
    std::uint32_t id = c.args.h32();
    *rc = -1;
    if (!c.args.ok()) return nullptr;
    AclGroup* g = acl_group(c.m, name);
    *rc = FE_ACL_NO_GROUP;
    if (!g) return nullptr;
    auto it = rule_of(*g, id);
    *rc = FE_ACL_NO_RULE;
    if (it == g->rules.end()) return nullptr;
    *group = g;
    *rc = 0;
    return &*it;
}

int acl_delete(Call c) {
    AclGroup* g = nullptr;
    int rc = 0;
    AclRule* r = named_rule(c, &g, &rc);
    if (r) g->rules.erase(g->rules.begin() + (r - g->rules.data()));
    return rc;
}

int acl_move(Call c) {
    std::uint32_t how = c.args.h32();
    std::string name = name_arg(c.args);
    std::uint32_t id = c.args.h32();
    std::uint32_t ref = c.args.h32();
    if (!c.args.ok() || (how != FE_ACL_MOVE_BEFORE && how != FE_ACL_MOVE_AFTER)) return -1;
    AclGroup* g = acl_group(c.m, name);
    if (!g) return FE_ACL_NO_GROUP;
    auto it = rule_of(*g, id);
    if (it == g->rules.end() || rule_of(*g, ref) == g->rules.end()) return FE_ACL_NO_RULE;
    if (id == ref) return 0;
    AclRule moved = *it;
    g->rules.erase(it);
    auto at = rule_of(*g, ref);
    if (how == FE_ACL_MOVE_AFTER) ++at;
    g->rules.insert(at, moved);
    return 0;
}

int acl_no_log(Call c) {
    AclGroup* g = nullptr;
    int rc = 0;
    AclRule* it = named_rule(c, &g, &rc);
    if (!it) return rc;
    it->flags &= static_cast<std::uint8_t>(~fe_acl_flag::kLogAll);
    return 0;
}

int acl_entries(Call c) {
    std::string name = name_arg(c.args);
    std::uint32_t max = c.args.h32();
    if (!c.args.ok()) return -1;
    AclGroup* g = acl_group(c.m, name);
    if (!g) return FE_ACL_NO_GROUP;
    std::size_t n = std::min<std::size_t>(max, g->rules.size());
    c.out.assign(4 + n * ae::kSize, 0);
    wire::store_h<std::uint32_t>(c.out.data(), static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t* e = c.out.data() + 4 + i * ae::kSize;
        const AclRule& r = g->rules[i];
        wire::store_h<std::uint32_t>(e + ae::kId, r.id);
        wire::store_h<std::uint32_t>(e + ae::kSrc, r.src);
        wire::store_h<std::uint32_t>(e + ae::kSrcMask, r.src_mask);
        wire::store_h<std::uint32_t>(e + ae::kDst, r.dst);
        wire::store_h<std::uint32_t>(e + ae::kDstMask, r.dst_mask);
        std::memcpy(e + ae::kService, r.service.data(), r.service.size());
        e[ae::kFlags] = r.flags;
        wire::store_h<std::uint32_t>(e + ae::kAction, r.action);
    }
    return 0;
}

constexpr CallRow kAclCalls[] = {
    {proto::FeFn::AclGrpNames, "fe_fw_get_acl_grp_names", grp_names},
    {proto::FeFn::AclGrpAdd, "fe_fw_grp_add_flag", grp_add},
    {proto::FeFn::AclGrpDel, "fe_fw_grp_del", grp_del},
    {proto::FeFn::AclAdd, "fe_fw_acl_add", acl_add},
    {proto::FeFn::AclDelete, "fe_fw_acl_delete_by_id", acl_delete},
    {proto::FeFn::AclMove, "fe_fw_acl_move", acl_move},
    {proto::FeFn::AclNoLog, "fe_fw_acl_remove_log", acl_no_log},
    {proto::FeFn::AclEntries, "fe_fw_get_acl_grp_entries", acl_entries},
};

}  // namespace

AclGroup* acl_group(Model& m, std::string_view name) {
    for (AclGroup& g : m.acl.groups)
        if (g.name == name) return &g;
    return nullptr;
}

int fe_acl_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                std::vector<std::uint8_t>& out, bool* known) {
    return fe_run_call(kAclCalls, m, f, fn, args, out, known);
}

}  // namespace fem
