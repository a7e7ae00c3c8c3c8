// FE control library: IP access-control groups and rules.
//
// Op::Fe {u32 fn, blob args} -> {i32 rc, blob out}; records per proto::FeFn.
#include "platform/fe_acl.h"

#include <cstring>
#include <string_view>

#include "platform/call.h"

namespace {

using plat::fe_call;

std::string_view name_of(const char* name) {
    return name ? std::string_view(name, strnlen(name, fe_acl_rule::kNameSize)) : "";
}

int name_id(proto::FeFn fn, const char* name, std::uint32_t id) {
    wire::Writer args;
    args.str(name_of(name)).h32(id);
    return fe_call(fn, args).rc;
}

}  // namespace

int fe_fw_get_acl_grp_names(void* names, std::uint32_t* count) {
    if (!names || !count) return -1;
    wire::Writer args;
    args.h32(*count);
    return plat::reply_batch(fe_call(proto::FeFn::AclGrpNames, args), names, count,
                             fe_acl_grp::kSize);
}

int fe_fw_grp_add_flag(const char* name, std::uint32_t flag) {
    wire::Writer args;
    args.str(name_of(name)).h32(flag);
    return fe_call(proto::FeFn::AclGrpAdd, args).rc;
}

int fe_fw_grp_del(const char* name) {
    wire::Writer args;
    args.str(name_of(name));
    return fe_call(proto::FeFn::AclGrpDel, args).rc;
}

int fe_fw_acl_add(const void* rule) {
    if (!rule) return -1;
    wire::Writer args;
    args.bytes(rule, fe_acl_rule::kSize);
    return fe_call(proto::FeFn::AclAdd, args).rc;
}

int fe_fw_acl_delete_by_id(const char* name, std::uint32_t id) {
    return name_id(proto::FeFn::AclDelete, name, id);
}

int fe_fw_acl_move(std::uint32_t how, const char* name, std::uint32_t id, std::uint32_t ref) {
    wire::Writer args;
    args.h32(how).str(name_of(name)).h32(id).h32(ref);
    return fe_call(proto::FeFn::AclMove, args).rc;
}

int fe_fw_acl_remove_log(const char* name, std::uint32_t id) {
    return name_id(proto::FeFn::AclNoLog, name, id);
}

int fe_fw_get_acl_grp_entries(const char* name, void* entries, std::uint32_t* count) {
    if (!entries || !count) return -1;
    wire::Writer args;
    args.str(name_of(name)).h32(*count);
    return plat::reply_batch(fe_call(proto::FeFn::AclEntries, args), entries, count,
                             fe_acl_entry::kSize);
}
