// The platform's airtime admission control data.
//
// Each travels as Op::Tpa {str fn, blob args} -> {i32 rc, blob out}:
//   qz_get_sta_cac_airtime_list    args: u32 max     -> out: u32 n, n x qz_cac_sta
//   qz_clear_sta_cac_airtime_list  args: 6-byte MAC (all zero: every station)
//   qz_get_tb_list                 args: -           -> out: qz_cac_tb record
#include <cstring>

#include "platform/cac_msg.h"
#include "platform/call.h"
#include "platform/qz.h"

int qz_get_sta_cac_airtime_list(void* records, std::uint32_t* count) {
    if (!records || !count) return -1;
    wire::Writer args;
    args.h32(*count);
    return plat::reply_batch(plat::named_call(proto::Op::Tpa, "qz_get_sta_cac_airtime_list", args),
                             records, count, qz_cac_sta::kSize);
}

int qz_clear_sta_cac_airtime_list(const std::uint8_t* mac) {
    std::uint8_t all[6] = {};
    wire::Writer args;
    args.bytes(mac ? mac : all, 6);
    return plat::named_call(proto::Op::Tpa, "qz_clear_sta_cac_airtime_list", args).rc;
}

int qz_get_tb_list(void* record) {
    if (!record) return -1;
    return plat::reply_record(plat::named_call(proto::Op::Tpa, "qz_get_tb_list"), record,
                              qz_cac_tb::kSize);
}
