// Configuration library calls of the user-profile commands: the profile table
// (360-byte qz_dcd_up entries, in the user's order) and the SSID bindings.
//
// Each travels as Op::Dcd {str fn, blob args} -> {i32 rc, blob out}. Records (host order):
//   qz_dcd_get_profile_table            args: str name      -> out: 360-byte entry
//   qz_dcd_set_profile_table            args: str name, 360-byte entry
//   qz_dcd_del_profile_table            args: str name
//   qz_dcd_get_all_valid_profile_table  args: u32 max       -> out: n x entry (rc = n)
//   qz_dcd_get_profile_table_id         args: str name      (rc = index)
//   qz_dcd_move_profile_table_id        args: u32 index, u32 reference, u32 after
//   qz_dcd_shm_check_ssid_bind_up       args: str name      (rc non-zero: bound)
//   qz_dcd_forfed_vwifi_byssid          args: str SSID, u32 max -> out: u32 n, n x 17-byte name
#include <cstring>

#include "platform/call.h"
#include "platform/qz.h"
#include "platform/up_msg.h"

namespace {

namespace du = qz_dcd_up;
using plat::named_call;

wire::Writer name_args(const char* name) {
    wire::Writer args;
    args.str(std::string_view(name ? name : "", name ? strnlen(name, du::kNameSize) : 0));
    return args;
}

plat::Reply dcd(std::string_view fn, const wire::Writer& args) {
    return named_call(proto::Op::Dcd, fn, args);
}

}  // namespace

int qz_dcd_get_profile_table(const char* name, void* entry) {
    if (!entry) return -1;
    return plat::reply_record(dcd("qz_dcd_get_profile_table", name_args(name)), entry, du::kSize);
}

int qz_dcd_set_profile_table(const char* name, const void* entry) {
    if (!entry) return -1;
    wire::Writer args = name_args(name);
    args.bytes(entry, du::kSize);
    return dcd("qz_dcd_set_profile_table", args).rc;
}

int qz_dcd_del_profile_table(const char* name) {
    return dcd("qz_dcd_del_profile_table", name_args(name)).rc;
}

int qz_dcd_get_all_valid_profile_table(void* entries, std::uint32_t* count) {
    if (!entries || !count) return -1;
    wire::Writer args;
    args.h32(*count);
    int n = plat::reply_entries(dcd("qz_dcd_get_all_valid_profile_table", args), entries, *count,
                                du::kSize);
    if (n < 0) return n;
    *count = static_cast<std::uint32_t>(n);
    return 0;
}

int qz_dcd_get_profile_table_id(const char* name) {
    return dcd("qz_dcd_get_profile_table_id", name_args(name)).rc;
}

int qz_dcd_move_profile_table_id(int index, int reference, int after) {
    wire::Writer args;
    args.h32(static_cast<std::uint32_t>(index))
        .h32(static_cast<std::uint32_t>(reference))
        .h32(static_cast<std::uint32_t>(after));
    return dcd("qz_dcd_move_profile_table_id", args).rc;
}

int qz_dcd_shm_check_ssid_bind_up(const char* name) {
    return dcd("qz_dcd_shm_check_ssid_bind_up", name_args(name)).rc;
}

int qz_dcd_forfed_vwifi_byssid(const char* ssid, std::uint32_t* count, char* names) {
    if (!ssid || !count || !names) return -1;
    wire::Writer args;
    args.str(std::string_view(ssid, strnlen(ssid, 33))).h32(*count);
    std::uint32_t max = *count;
    plat::Reply reply = plat::named_call(proto::Op::Dcd, "qz_dcd_forfed_vwifi_byssid", args);
    if (reply.rc < 0) return reply.rc;
    wire::Reader r(reply.out);
    std::uint32_t n = r.h32();
    if (!r.ok() || n > max || r.left() != n * QZ_VWIFI_NAME_SIZE) return -1;
    r.bytes(names, n * QZ_VWIFI_NAME_SIZE);
    for (std::uint32_t i = 0; i < n; ++i)
        names[i * QZ_VWIFI_NAME_SIZE + QZ_VWIFI_NAME_SIZE - 1] = 0;
    *count = n;
    return reply.rc;
}
