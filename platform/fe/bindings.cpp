// What the FE keys by UPID: IP and MAC policy bindings, default actions and
// the protocol drop, reached through the fe_ calls; and apsim's view of the
// profile table.
#include <cstdio>
#include <string>
#include <utility>

#include "platform/fe.h"
#include "platform/fe/calls.h"
#include "platform/fe/model.h"
#include "platform/fe/profiles.h"
#include "platform/mac_acl_msg.h"

namespace fem {

namespace {

namespace fb = fe_fw_acl_binding;
namespace mb = fe_mac_acl_binding;

inline constexpr std::uint32_t kActionMax = 9;
inline constexpr std::uint32_t kNoSuchProfile = static_cast<std::uint32_t>(-4);

// The state of an UPID the FE knows (some profile has that group id), else nullptr.
UpidState* upid_of(Model& m, std::uint32_t upid) {
    if (upid >= kUpids) return nullptr;
    for (const UserProfile& p : m.up.profiles)
        if (p.group_id == upid) return &m.up.upids[upid];
    return nullptr;
}

void put_name(std::vector<std::uint8_t>& out, std::size_t at, const std::string& s) {
    std::copy_n(s.begin(), std::min(s.size(), fb::kNameSize - 1), out.begin() + at);
}

// The from-access and to-access names of one binding family.
using Pair = std::pair<std::string UpidState::*, std::string UpidState::*>;
constexpr Pair kIpPair{&UpidState::from, &UpidState::to};
constexpr Pair kMacPair{&UpidState::mac_from, &UpidState::mac_to};

// A MAC group must exist to be bound; IP groups are not checked.
int bind_pair(Call c, Pair p, bool mac) {
    std::uint32_t upid = c.args.h32();
    bool has_from = c.args.h32() != 0;
    std::string from = c.args.str().substr(0, fb::kNameSize - 1);
    bool has_to = c.args.h32() != 0;
    std::string to = c.args.str().substr(0, fb::kNameSize - 1);
    UpidState* u = upid_of(c.m, upid);
    if (!c.args.ok()) return -1;
    if (!u) return static_cast<int>(kNoSuchProfile);
    if (mac && ((has_from && !mac_group(c.m, from)) || (has_to && !mac_group(c.m, to))))
        return FE_MAC_NO_GROUP;
    if (has_from) u->*p.first = from;
    if (has_to) u->*p.second = to;
    return 0;
}

int unbind_pair(Call c, Pair p) {
    std::uint32_t upid = c.args.h32();
    std::uint32_t from = c.args.h32();
    std::uint32_t to = c.args.h32();
    UpidState* u = upid_of(c.m, upid);
    if (!c.args.ok()) return -1;
    if (!u) return static_cast<int>(kNoSuchProfile);
    if (from) (u->*p.first).clear();
    if (to) (u->*p.second).clear();
    return 0;
}

int bind(Call c) {
    return bind_pair(c, kIpPair, false);
}
int unbind(Call c) {
    return unbind_pair(c, kIpPair);
}
int mac_bind(Call c) {
    return bind_pair(c, kMacPair, true);
}
int mac_unbind(Call c) {
    return unbind_pair(c, kMacPair);
}

// Records of the UPIDs that `want` selects, at most `max`; rc = count.
template <typename Want, typename Fill>
int list(Call c, std::size_t size, Want want, Fill fill) {
    std::uint32_t max = c.args.h32();
    if (!c.args.ok()) return -1;
    std::uint32_t n = 0;
    for (std::uint32_t i = 0; i < kUpids && n < max; ++i) {
        const UpidState& u = c.m.up.upids[i];
        if (!want(u)) continue;
        std::size_t at = c.out.size();
        c.out.resize(at + size, 0);
        wire::store_h<std::uint32_t>(c.out.data() + at, i);
        fill(u, at);
        ++n;
    }
    return static_cast<int>(n);
}

int ip_bindings(Call c) {
    return list(
        c, fb::kSize, [](const UpidState& u) { return !u.from.empty() || !u.to.empty(); },
        [&](const UpidState& u, std::size_t at) {
            put_name(c.out, at + fb::kFrom, u.from);
            put_name(c.out, at + fb::kTo, u.to);
        });
}

// A MAC binding record also carries the UPID's protocol drop.
int mac_bindings(Call c) {
    return list(
        c, mb::kSize,
        [](const UpidState& u) { return u.deny != 0 || !u.mac_from.empty() || !u.mac_to.empty(); },
        [&](const UpidState& u, std::size_t at) {
            wire::store_h<std::uint32_t>(c.out.data() + at + mb::kDrop, u.deny);
            put_name(c.out, at + mb::kFrom, u.mac_from);
            put_name(c.out, at + mb::kTo, u.mac_to);
        });
}

int set_action_of(Call c, std::uint32_t UpidState::*field) {
    std::uint32_t upid = c.args.h32();
    std::uint32_t action = c.args.h32();
    UpidState* u = upid_of(c.m, upid);
    if (!c.args.ok() || action == 0 || action > kActionMax) return -1;
    if (!u) return static_cast<int>(kNoSuchProfile);
    u->*field = action;
    return 0;
}

int set_def_action(Call c) {
    return set_action_of(c, &UpidState::def_action);
}

int mac_set_def_action(Call c) {
    return set_action_of(c, &UpidState::mac_def_action);
}

int word_out(Call c, std::uint32_t v) {
    wire::Writer w;
    w.h32(v);
    c.out = std::move(w.buf());
    return 0;
}

int get_def_action(Call c) {
    std::uint32_t upid = c.args.h32();
    if (!c.args.ok() || upid >= kUpids) return -1;
    return word_out(c, c.m.up.upids[upid].def_action);
}

int mac_def_action(Call c) {
    std::uint32_t upid = c.args.h32();
    if (!c.args.ok() || upid >= kUpids) return -1;
    return word_out(c, c.m.up.upids[upid].mac_def_action);
}

int deny(Call c) {
    std::uint32_t upid = c.args.h32();
    std::uint32_t kind = c.args.h32();
    UpidState* u = upid_of(c.m, upid);
    if (!c.args.ok() || kind > 2) return -1;
    if (!u) return static_cast<int>(kNoSuchProfile);
    u->deny = kind;
    return 0;
}

constexpr CallRow kBindingCalls[] = {
    {proto::FeFn::AclGrpBind, "fe_fw_acl_grp_bind", bind, true},
    {proto::FeFn::AclGrpUnbind, "fe_fw_acl_grp_unbind", unbind, true},
    {proto::FeFn::AclGrpBinding, "fe_fw_get_acl_grp_binding", ip_bindings},
    {proto::FeFn::AclSetDefAction, "fe_fw_acl_set_upid_def_action", set_def_action, true},
    {proto::FeFn::AclGetDefAction, "fe_fw_acl_get_upid_def_action", get_def_action, true},
    {proto::FeFn::UpDeny, "fe_up_deny_ipv4_or_v6", deny, true},
    {proto::FeFn::MacAclBinding, "fe_mac_acl_get_acl_grp_binding", mac_bindings},
    {proto::FeFn::MacGetDefAction, "fe_mac_acl_get_upid_def_action", mac_def_action, true},
    {proto::FeFn::MacAclGrpBind, "fe_mac_acl_grp_bind", mac_bind, true},
    {proto::FeFn::MacAclGrpUnbind, "fe_mac_acl_grp_unbind", mac_unbind, true},
    {proto::FeFn::MacSetDefAction, "fe_mac_acl_set_upid_def_action", mac_set_def_action, true},
};

std::string ranges_text(const std::vector<UpRange>& rs) {
    std::string s;
    for (const UpRange& r : rs) {
        if (!s.empty()) s += ",";
        s += std::to_string(r.start);
        if (r.end != r.start) s += "-" + std::to_string(r.end);
    }
    return s.empty() ? "-" : s;
}

std::string or_dash(const std::string& s) {
    return s.empty() ? "-" : s;
}

}  // namespace

int fe_binding_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out, bool* known) {
    return fe_run_call(kBindingCalls, m, f, fn, args, out, known);
}

std::string up_table_text(const Model& m) {
    std::string text;
    char line[512];
    for (const UserProfile& p : m.up.profiles) {
        std::snprintf(line, sizeof line,
                      "profile %s group %u%s vlan %u qos %s marker %s%s mobility %s tunnel %s "
                      "attributes %s sentinel %u action %u bandwidth %u threshold %u l3 %u\n",
                      p.name.c_str(), p.group_id, p.group_set ? " (set)" : "", p.vlan,
                      p.qos.c_str(),
                      p.marker.empty() ? "" : (p.marker_type ? "802.1p:" : "diffserv:"),
                      or_dash(p.marker).c_str(), or_dash(p.mobility).c_str(),
                      or_dash(p.tunnel).c_str(), ranges_text(p.ranges).c_str(), p.sentinel_on,
                      p.sentinel_action, p.bandwidth, p.threshold, p.l3_action);
        text += line;
    }
    for (std::uint32_t i = 0; i < kUpids; ++i) {
        const UpidState& u = m.up.upids[i];
        const Airtime& a = m.up.airtime[i];
        if (u.from.empty() && u.to.empty() && u.def_action == FE_ACL_ACTION_DENY && u.deny == 0 &&
            a.percent == 0 && a.share == 0)
            continue;
        std::snprintf(line, sizeof line,
                      "upid %u from %s to %s default %u deny %u airtime %u share %u\n", i,
                      or_dash(u.from).c_str(), or_dash(u.to).c_str(), u.def_action, u.deny,
                      a.percent, a.share);
        text += line;
    }
    for (const StaProfile& st : m.up.stas) {
        const std::uint8_t* a = st.mac.data();
        std::snprintf(line, sizeof line, "station %02x:%02x:%02x:%02x:%02x:%02x profile %s\n", a[0],
                      a[1], a[2], a[3], a[4], a[5], st.profile.c_str());
        text += line;
    }
    return text;
}

}  // namespace fem
