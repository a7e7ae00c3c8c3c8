// FE control library: scalar FE parameters through apsim's FE model.
//
// Op::Fe {u32 fn, blob args} -> {i32 rc, blob out}; records per proto::FeFn.
#include "platform/fe.h"

#include "platform/backend.h"

namespace {

int fe_call(proto::FeFn fn, const wire::Writer& args, std::vector<std::uint8_t>* out) {
    wire::Writer req;
    req.h32(static_cast<std::uint32_t>(fn)).blob(args.span());
    std::vector<std::uint8_t> rest;
    int rc = plat::call_rc(proto::Op::Fe, req, &rest);
    if (out) {
        wire::Reader r(rest);
        auto blob = r.blob();
        out->assign(blob.begin(), blob.end());
    }
    return rc;
}

int fe_set(proto::FeFn fn, std::uint32_t value, std::uint32_t id, const char* text) {
    wire::Writer args;
    args.h32(value).h32(id).str(text ? text : "");
    return fe_call(fn, args, nullptr);
}

// Writes *value only when the call succeeded and said what the value is.
int fe_get(proto::FeFn fn, std::uint32_t* value, std::uint32_t id, const char* text) {
    if (!value) return -1;
    wire::Writer args;
    args.h32(id).str(text ? text : "");
    std::vector<std::uint8_t> out;
    int rc = fe_call(fn, args, &out);
    if (rc < 0) return rc;
    wire::Reader r(out);
    std::uint32_t v = r.h32();
    if (!r.ok()) return -1;
    *value = v;
    return rc;
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
    wire::Writer args;
    args.h32(index).h32(*count);
    std::vector<std::uint8_t> out;
    int rc = fe_call(proto::FeFn::IpGateTable, args, &out);
    if (rc < 0) return rc;
    wire::Reader r(out);
    std::uint32_t n = r.h32();
    if (!r.ok() || n > *count || r.left() < std::size_t{n} * fe_gate::kSize) return -1;
    namespace o = fe_gate;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint8_t* p = r.view(o::kSize).data();
        fe_ip_gate_t& g = buf[i];
        g.src_ip = wire::load_h<std::uint32_t>(p + o::kSrcIp);
        g.dst_ip = wire::load_h<std::uint32_t>(p + o::kDstIp);
        g.src_port = wire::load_h<std::uint16_t>(p + o::kSrcPort);
        g.dst_port = wire::load_h<std::uint16_t>(p + o::kDstPort);
        g.protocol = p[o::kProtocol];
        g.alg_type = p[o::kAlgType];
        g.flags = wire::load_h<std::uint16_t>(p + o::kFlags);
        g.refcnt = wire::load_h<std::uint32_t>(p + o::kRefcnt);
        g.pid = wire::load_h<std::uint32_t>(p + o::kPid);
        g.ageout = wire::load_h<std::int32_t>(p + o::kAgeout);
        g.cookie = wire::load_h<std::uint32_t>(p + o::kCookie);
    }
    *count = n;
    return rc;
}
