// Configuration library calls of the service commands, and the platform
// queries of the DNS ALG hand-over.
//
// Each travels as Op::Dcd or Op::Tpa {str fn, blob args} -> {i32 rc, blob out}.
// Records (host order):
//   qz_dcd_is_service_in_use         args: str name         (rc 0 = in use)
//   qz_dcd_get_service_table         args: str name          -> out: 48-byte record
//   qz_dcd_set_service_table         args: str name, 48-byte record
//   qz_dcd_del_service_table         args: str name
//   qz_dcd_get_all_service_table     args: -                 -> out: n x 48-byte record
//   qz_dcd_get_fed_run_first_flag    args: -                 -> out: u32 flag
//   qz_dcd_set_fed_run_first_flag    args: u32 flag
//   qz_tpa_set_dns_alg_by_cli        args: -
//   qz_tpa_unset_dns_alg_by_cli      args: -
//   qz_tpa_dns_alg_enabled_by_jss    args: -                 -> out: u32 flag
//   qz_tpa_get_delta_flag            args: -                 -> out: u32 flag
//   qz_tpa_get_ppsksrv               args: -                 -> out: u32 address
//   read_interface                   args: str name          -> out: u32 address
#include <cstring>

#include "platform/call.h"
#include "platform/qz.h"
#include "platform/svc_msg.h"

namespace {

namespace db = qz_service_entry_db;

using plat::named_call;

wire::Writer name_args(const char* name) {
    wire::Writer args;
    args.str(std::string_view(name ? name : "", name ? strnlen(name, db::kNameSize) : 0));
    return args;
}

int u32_out(proto::Op op, std::string_view fn, std::uint32_t* value) {
    if (!value) return -1;
    return plat::reply_words(named_call(op, fn), {value});
}

}  // namespace

int qz_dcd_is_service_in_use(const char* name) {
    return named_call(proto::Op::Dcd, "qz_dcd_is_service_in_use", name_args(name)).rc;
}

int qz_dcd_get_service_table(const char* name, void* record) {
    if (!record) return -1;
    return plat::reply_record(
        named_call(proto::Op::Dcd, "qz_dcd_get_service_table", name_args(name)), record, db::kSize);
}

int qz_dcd_set_service_table(const char* name, const void* record) {
    if (!record) return -1;
    wire::Writer args = name_args(name);
    args.bytes(record, db::kSize);
    return named_call(proto::Op::Dcd, "qz_dcd_set_service_table", args).rc;
}

int qz_dcd_del_service_table(const char* name) {
    return named_call(proto::Op::Dcd, "qz_dcd_del_service_table", name_args(name)).rc;
}

int qz_dcd_get_all_service_table(void* records) {
    if (!records) return -1;
    plat::Reply reply = named_call(proto::Op::Dcd, "qz_dcd_get_all_service_table");
    if (reply.rc < 0) return reply.rc;
    const std::vector<std::uint8_t>& out = reply.out;
    if (out.size() % db::kSize != 0 || out.size() > db::kSize * db::kMaxRecords) return -1;
    std::memset(records, 0, db::kSize * db::kMaxRecords);
    if (!out.empty()) std::memcpy(records, out.data(), out.size());
    return static_cast<int>(out.size() / db::kSize);
}

int qz_dcd_get_fed_run_first_flag(std::uint32_t* flag) {
    return u32_out(proto::Op::Dcd, "qz_dcd_get_fed_run_first_flag", flag);
}

int qz_dcd_set_fed_run_first_flag(std::uint32_t flag) {
    wire::Writer args;
    args.h32(flag);
    return named_call(proto::Op::Dcd, "qz_dcd_set_fed_run_first_flag", args).rc;
}

int qz_tpa_set_dns_alg_by_cli() {
    return named_call(proto::Op::Tpa, "qz_tpa_set_dns_alg_by_cli").rc;
}

int qz_tpa_unset_dns_alg_by_cli() {
    return named_call(proto::Op::Tpa, "qz_tpa_unset_dns_alg_by_cli").rc;
}

int qz_tpa_get_delta_flag(std::uint32_t* flag) {
    return u32_out(proto::Op::Tpa, "qz_tpa_get_delta_flag", flag);
}

int qz_tpa_get_ppsksrv(std::uint32_t* addr) {
    return u32_out(proto::Op::Tpa, "qz_tpa_get_ppsksrv", addr);
}

int read_interface(const char* ifname, int*, std::uint32_t* addr, std::uint8_t*, int*) {
    if (!ifname || !addr) return -1;
    wire::Writer args;
    args.str(ifname);
    return plat::reply_words(named_call(proto::Op::Tpa, "read_interface", args), {addr});
}

int qz_tpa_dns_alg_enabled_by_jss(std::uint32_t* flag) {
    return u32_out(proto::Op::Tpa, "qz_tpa_dns_alg_enabled_by_jss", flag);
}
