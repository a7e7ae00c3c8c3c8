// FE control library: policies, IP fragments, unroam monitoring, aggregate
// members and tunnels, as the FE operations commands read them.
//
// Op::Fe {u32 fn, blob args} -> {i32 rc, blob out}; records per proto::FeFn.
#include <cstring>

#include "platform/backend.h"
#include "platform/fe.h"

namespace {

int fe_call(proto::FeFn fn, const wire::Writer& args, std::vector<std::uint8_t>* out) {
    wire::Writer req;
    req.h32(static_cast<std::uint32_t>(fn)).blob(args.span());
    std::vector<std::uint8_t> rest;
    int rc = plat::call_rc(proto::Op::Fe, req, &rest);
    if (out) {
        wire::Reader r(rest);
        auto blob = r.blob();
        if (!r.ok()) return -1;
        out->assign(blob.begin(), blob.end());
    }
    return rc;
}

// A counted read: the reply's count must fit the caller's buffer and its records.
int read_batch(proto::FeFn fn, const wire::Writer& args, void* buf, std::uint32_t* count,
               std::size_t size) {
    std::vector<std::uint8_t> out;
    int rc = fe_call(fn, args, &out);
    if (rc < 0) return rc;
    wire::Reader r(out);
    std::uint32_t n = r.h32();
    if (!r.ok() || n > *count || r.left() != std::size_t{n} * size) return -1;
    if (n) std::memcpy(buf, r.view(r.left()).data(), std::size_t{n} * size);
    *count = n;
    return rc;
}

// Reads the reply's words into the outputs, all of them or none.
int read_words(proto::FeFn fn, const wire::Writer& args, std::initializer_list<std::uint32_t*> to) {
    std::vector<std::uint8_t> out;
    int rc = fe_call(fn, args, &out);
    if (rc < 0) return rc;
    if (out.size() != to.size() * 4) return -1;
    wire::Reader r(out);
    for (std::uint32_t* p : to) *p = r.h32();
    return rc;
}

}  // namespace

int fe_get_policy_table(void* buf, std::uint32_t* count) {
    if (!buf || !count) return -1;
    wire::Writer args;
    args.h32(*count);
    return read_batch(proto::FeFn::PolicyTable, args, buf, count, fe_policy::kSize);
}

int fe_get_ip_frag_ageout_time() {
    return fe_call(proto::FeFn::FragAgeoutGet, wire::Writer(), nullptr);
}

int fe_set_ip_frag_ageout_time(std::uint32_t seconds) {
    wire::Writer args;
    args.h32(seconds);
    return fe_call(proto::FeFn::FragAgeoutSet, args, nullptr);
}

int fe_get_ip_fcb_cnt(std::uint32_t* fcbs, std::uint32_t* frags) {
    if (!fcbs || !frags) return -1;
    return read_words(proto::FeFn::FcbCount, wire::Writer(), {fcbs, frags});
}

int fe_get_ip_fcb_list(void* buf, std::uint32_t* count, std::uint32_t index) {
    if (!buf || !count) return -1;
    wire::Writer args;
    args.h32(index).h32(*count);
    return read_batch(proto::FeFn::FcbList, args, buf, count, fe_fcb::kSize);
}

int fe_get_station_unroam_threshold(const std::uint8_t* mac, std::uint32_t* monitored,
                                    std::uint32_t* reached, std::uint32_t* duration,
                                    std::uint32_t* threshold, std::uint32_t* current) {
    if (!mac || !monitored || !reached || !duration || !threshold || !current) return -1;
    wire::Writer args;
    args.bytes(mac, 6);
    return read_words(proto::FeFn::Unroam, args,
                      {monitored, reached, duration, threshold, current});
}

int qz_get_member_ifindex_from_src_mac(const std::uint8_t* mac, std::uint32_t* ifindex) {
    if (!mac || !ifindex) return -1;
    wire::Writer args;
    args.bytes(mac, 6);
    return read_words(proto::FeFn::MemberIf, args, {ifindex});
}

int fe_get_tunnel_table(void* buf, std::uint32_t* count) {
    if (!buf || !count) return -1;
    wire::Writer args;
    args.h32(*count);
    return read_batch(proto::FeFn::TunnelTable, args, buf, count, fe_tunnel::kSize);
}

int fe_clear_tunnel_counters() {
    return fe_call(proto::FeFn::TunnelClear, wire::Writer(), nullptr);
}
