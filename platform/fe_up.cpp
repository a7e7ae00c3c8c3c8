// FE control library: what the FE keys by UPID (policy bindings, default
// actions, protocol drop).
//
// Op::Fe {u32 fn, blob args} -> {i32 rc, blob out}; records per proto::FeFn.
#include <cstring>

#include "platform/call.h"
#include "platform/fe.h"

namespace {

using plat::fe_call;

wire::Writer& opt_name(wire::Writer& w, const char* name, std::size_t width) {
    w.h32(name ? 1 : 0);
    return w.str(name ? std::string_view(name, strnlen(name, width - 1)) : std::string_view());
}

int bindings(proto::FeFn fn, void* out, std::uint32_t* count, std::size_t size) {
    if (!out || !count) return -1;
    wire::Writer args;
    args.h32(*count);
    int n = plat::reply_entries(fe_call(fn, args), out, *count, size);
    if (n < 0) return n;
    *count = static_cast<std::uint32_t>(n);
    return 0;
}

int upid_word(proto::FeFn fn, std::uint32_t upid, std::uint32_t* value) {
    if (!value) return -1;
    wire::Writer args;
    args.h32(upid);
    return plat::reply_words(fe_call(fn, args), {value});
}

}  // namespace

int fe_fw_acl_grp_bind(std::uint32_t upid, const char* from, const char* to) {
    wire::Writer args;
    args.h32(upid);
    opt_name(args, from, fe_fw_acl_binding::kNameSize);
    opt_name(args, to, fe_fw_acl_binding::kNameSize);
    return fe_call(proto::FeFn::AclGrpBind, args).rc;
}

int fe_fw_acl_grp_unbind(std::uint32_t upid, std::uint32_t from, std::uint32_t to) {
    wire::Writer args;
    args.h32(upid).h32(from).h32(to);
    return fe_call(proto::FeFn::AclGrpUnbind, args).rc;
}

int fe_fw_get_acl_grp_binding(void* out, std::uint32_t* count) {
    return bindings(proto::FeFn::AclGrpBinding, out, count, fe_fw_acl_binding::kSize);
}

int fe_fw_acl_set_upid_def_action(std::uint32_t upid, std::uint32_t action) {
    wire::Writer args;
    args.h32(upid).h32(action);
    return fe_call(proto::FeFn::AclSetDefAction, args).rc;
}

int fe_fw_acl_get_upid_def_action(std::uint32_t upid, std::uint32_t* action) {
    return upid_word(proto::FeFn::AclGetDefAction, upid, action);
}

int fe_up_deny_ipv4_or_v6(std::uint32_t upid, std::uint32_t kind) {
    wire::Writer args;
    args.h32(upid).h32(kind);
    return fe_call(proto::FeFn::UpDeny, args).rc;
}

int fe_mac_acl_get_acl_grp_binding(void* out, std::uint32_t* count) {
    return bindings(proto::FeFn::MacAclBinding, out, count, fe_mac_acl_binding::kSize);
}

int fe_mac_acl_get_upid_def_action(std::uint32_t upid, std::uint32_t* action) {
    return upid_word(proto::FeFn::MacGetDefAction, upid, action);
}
