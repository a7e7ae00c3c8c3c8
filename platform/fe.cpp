// FE control library: scalar FE parameters through apsim's FE model.
//
// Op::Fe {u32 fn, blob args} -> {i32 rc, blob out}; records per proto::FeFn.
#include "platform/fe.h"

#include "platform/call.h"

namespace {

int fe_set(proto::FeFn fn, std::uint32_t value, std::uint32_t id, const char* text) {
    wire::Writer args;
    args.h32(value).h32(id).str(text ? text : "");
    return plat::fe_call(fn, args).rc;
}

// Writes *value only when the call succeeded and said what the value is.
int fe_get(proto::FeFn fn, std::uint32_t* value, std::uint32_t id, const char* text) {
    if (!value) return -1;
    wire::Writer args;
    args.h32(id).str(text ? text : "");
    return plat::reply_words(plat::fe_call(fn, args), {value});
}

}  // namespace

int fe_set_boolean_value(std::uint32_t value, std::uint32_t id, const char* text) {
    return fe_set(proto::FeFn::SetBoolean, value, id, text);
}

int fe_set_int_value(std::uint32_t value, std::uint32_t id, const char* text) {
    return fe_set(proto::FeFn::SetInt, value, id, text);
}

int fe_get_boolean_value(std::uint32_t* value, std::uint32_t id, const char* text) {
    return fe_get(proto::FeFn::GetBoolean, value, id, text);
}

int fe_get_int_value(std::uint32_t* value, std::uint32_t id, const char* text) {
    return fe_get(proto::FeFn::GetInt, value, id, text);
}

int fe_get_ip_gate_table(fe_ip_gate_t* buf, std::uint32_t* count, std::uint32_t index) {
    if (!buf || !count) return -1;
    namespace o = fe_gate;
    wire::Writer args;
    args.h32(index).h32(*count);
    std::vector<std::uint8_t> recs(std::size_t{*count} * o::kSize);
    std::uint32_t n = *count;
    int rc =
        plat::reply_batch(plat::fe_call(proto::FeFn::IpGateTable, args), recs.data(), &n, o::kSize);
    if (rc < 0) return rc;
    for (std::uint32_t i = 0; i < n; ++i) {
        wire::Fields f(
            std::span<const std::uint8_t>(recs).subspan(std::size_t{i} * o::kSize, o::kSize));
        fe_ip_gate_t& g = buf[i];
        g.src_ip = f.h32(o::kSrcIp);
        g.dst_ip = f.h32(o::kDstIp);
        g.src_port = f.h16(o::kSrcPort);
        g.dst_port = f.h16(o::kDstPort);
        g.protocol = f.u8(o::kProtocol);
        g.alg_type = f.u8(o::kAlgType);
        g.flags = f.h16(o::kFlags);
        g.refcnt = f.h32(o::kRefcnt);
        g.pid = f.h32(o::kPid);
        g.ageout = f.hi32(o::kAgeout);
        g.cookie = f.h32(o::kCookie);
    }
    *count = n;
    return rc;
}

int fe_set_cac_roaming_weight(std::uint32_t weight, std::uint32_t* available, const char* text) {
    (void)text;  // the FE names the call itself
    wire::Writer args;
    args.h32(weight);
    plat::Reply r = plat::fe_call(proto::FeFn::CacRoamingWeight, args);
    if (available && r.out.size() == 4) *available = wire::load_h<std::uint32_t>(r.out.data());
    return r.rc;
}
