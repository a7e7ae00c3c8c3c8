// FE control library: MAC access-control groups, rules, UPID bindings and
// default action, IPv6 guards.
//
// Op::Fe {u32 fn, blob args} -> {i32 rc, blob out}; records per proto::FeFn.
#include "platform/fe_mac_acl.h"

#include <cstring>
#include <string_view>

#include "platform/call.h"

namespace {

using plat::fe_call;

std::string_view name_of(const char* name) {
    return name ? std::string_view(name, strnlen(name, fe_mac_rule::kNameSize)) : "";
}

int rule_call(proto::FeFn fn, const void* rule) {
    if (!rule) return -1;
    wire::Writer args;
    args.bytes(rule, fe_mac_rule::kSize);
    return fe_call(fn, args).rc;
}

wire::Writer& opt_name(wire::Writer& w, const char* name) {
    w.h32(name ? 1 : 0);
    return w.str(name_of(name));
}

}  // namespace

int fe_mac_acl_grp_add(const void* rule) {
    return rule_call(proto::FeFn::MacAclGrpAdd, rule);
}

int fe_mac_acl_grp_del(const void* rule) {
    return rule_call(proto::FeFn::MacAclGrpDel, rule);
}

int fe_mac_acl_add(const void* rule) {
    return rule_call(proto::FeFn::MacAclAdd, rule);
}

int fe_mac_acl_move(std::uint32_t how, const void* rule, std::uint32_t id, std::uint32_t ref) {
    if (!rule) return -1;
    wire::Writer args;
    args.h32(how).bytes(rule, fe_mac_rule::kSize).h32(id).h32(ref);
    return fe_call(proto::FeFn::MacAclMove, args).rc;
}

int fe_mac_acl_delete_by_content(const void* rule) {
    return rule_call(proto::FeFn::MacAclDelete, rule);
}

int fe_mac_acl_remove_log(const char* name, std::uint32_t id) {
    wire::Writer args;
    args.str(name_of(name)).h32(id);
    return fe_call(proto::FeFn::MacAclNoLog, args).rc;
}

int fe_mac_acl_get_acl_grp_names(void* names, std::uint32_t* count) {
    if (!names || !count) return -1;
    wire::Writer args;
    args.h32(*count);
    return plat::reply_batch(fe_call(proto::FeFn::MacAclGrpNames, args), names, count,
                             fe_mac_grp::kSize);
}

int fe_mac_acl_get_acl_grp_entries(const char* name, void* entries, std::uint32_t* count) {
    if (!entries || !count) return -1;
    wire::Writer args;
    args.str(name_of(name)).h32(*count);
    return plat::reply_batch(fe_call(proto::FeFn::MacAclEntries, args), entries, count,
                             fe_mac_entry::kSize);
}

int fe_mac_acl_grp_bind(std::uint32_t upid, const char* from, const char* to) {
    wire::Writer args;
    args.h32(upid);
    opt_name(args, from);
    opt_name(args, to);
    return fe_call(proto::FeFn::MacAclGrpBind, args).rc;
}

int fe_mac_acl_grp_unbind(std::uint32_t upid, std::uint32_t from, std::uint32_t to) {
    wire::Writer args;
    args.h32(upid).h32(from).h32(to);
    return fe_call(proto::FeFn::MacAclGrpUnbind, args).rc;
}

int fe_mac_acl_set_upid_def_action(std::uint32_t upid, std::uint32_t action) {
    wire::Writer args;
    args.h32(upid).h32(action);
    return fe_call(proto::FeFn::MacSetDefAction, args).rc;
}

int fe_set_ipv6_ra_dhcpv6_guard(std::uint32_t which, std::uint32_t on) {
    wire::Writer args;
    args.h32(which).h32(on);
    return fe_call(proto::FeFn::Ipv6GuardSet, args).rc;
}

int fe_get_ipv6_ra_dhcpv6_guard(std::uint32_t which, std::uint32_t* on) {
    if (!on) return -1;
    wire::Writer args;
    args.h32(which);
    return plat::reply_words(fe_call(proto::FeFn::Ipv6GuardGet, args), {on});
}
