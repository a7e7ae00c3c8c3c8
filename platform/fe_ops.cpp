// FE control library: policies, IP fragments, unroam monitoring, aggregate
// members and tunnels, as the FE operations commands read them.
//
// Op::Fe {u32 fn, blob args} -> {i32 rc, blob out}; records per proto::FeFn.
#include "platform/call.h"
#include "platform/fe.h"

using plat::fe_call;

int fe_get_policy_table(void* buf, std::uint32_t* count) {
    if (!buf || !count) return -1;
    wire::Writer args;
    args.h32(*count);
    return plat::reply_batch(fe_call(proto::FeFn::PolicyTable, args), buf, count, fe_policy::kSize);
}

int fe_get_ip_frag_ageout_time() {
    return fe_call(proto::FeFn::FragAgeoutGet).rc;
}

int fe_set_ip_frag_ageout_time(std::uint32_t seconds) {
    wire::Writer args;
    args.h32(seconds);
    return fe_call(proto::FeFn::FragAgeoutSet, args).rc;
}

int fe_get_ip_fcb_cnt(std::uint32_t* fcbs, std::uint32_t* frags) {
    if (!fcbs || !frags) return -1;
    return plat::reply_words(fe_call(proto::FeFn::FcbCount), {fcbs, frags});
}

int fe_get_ip_fcb_list(void* buf, std::uint32_t* count, std::uint32_t index) {
    if (!buf || !count) return -1;
    wire::Writer args;
    args.h32(index).h32(*count);
    return plat::reply_batch(fe_call(proto::FeFn::FcbList, args), buf, count, fe_fcb::kSize);
}

int fe_get_station_unroam_threshold(const std::uint8_t* mac, std::uint32_t* monitored,
                                    std::uint32_t* reached, std::uint32_t* duration,
                                    std::uint32_t* threshold, std::uint32_t* current) {
    if (!mac || !monitored || !reached || !duration || !threshold || !current) return -1;
    wire::Writer args;
    args.bytes(mac, 6);
    return plat::reply_words(fe_call(proto::FeFn::Unroam, args),
                             {monitored, reached, duration, threshold, current});
}

int qz_get_member_ifindex_from_src_mac(const std::uint8_t* mac, std::uint32_t* ifindex) {
    if (!mac || !ifindex) return -1;
    wire::Writer args;
    args.bytes(mac, 6);
    return plat::reply_words(fe_call(proto::FeFn::MemberIf, args), {ifindex});
}

int fe_get_tunnel_table(void* buf, std::uint32_t* count) {
    if (!buf || !count) return -1;
    wire::Writer args;
    args.h32(*count);
    return plat::reply_batch(fe_call(proto::FeFn::TunnelTable, args), buf, count, fe_tunnel::kSize);
}

int fe_clear_tunnel_counters() {
    return fe_call(proto::FeFn::TunnelClear).rc;
}
