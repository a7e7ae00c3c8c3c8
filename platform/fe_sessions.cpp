// FE control library: the FE's MAC and IP session tables (read and clear).
//
// Op::Fe {u32 fn, blob args} -> {i32 rc, blob out}; records per proto::FeFn.
#include "platform/call.h"
#include "platform/fe.h"

namespace {

constexpr std::uint8_t kNoMac[6] = {};

int read_one(proto::FeFn fn, std::uint32_t id, void* buf, std::size_t size) {
    if (!buf) return -1;
    wire::Writer args;
    args.h32(id);
    return plat::reply_record(plat::fe_call(fn, args), buf, size);
}

int by_id(proto::FeFn fn, std::uint32_t id) {
    wire::Writer args;
    args.h32(id);
    return plat::fe_call(fn, args).rc;
}

}  // namespace

int fe_get_mac_session_table(void* buf, std::uint32_t* count, std::uint32_t index,
                             const std::uint8_t* src_mac, const std::uint8_t* dst_mac,
                             std::uint16_t filter) {
    if (!buf || !count) return -1;
    wire::Writer args;
    args.h32(index).h32(*count);
    args.bytes(src_mac ? src_mac : kNoMac, 6).bytes(dst_mac ? dst_mac : kNoMac, 6).h16(filter);
    return plat::reply_batch(plat::fe_call(proto::FeFn::MacSessTable, args), buf, count,
                             fe_mac_sess::kSize);
}

int fe_get_ip_session_table(void* buf, std::uint32_t* count, std::uint32_t index,
                            std::uint32_t src_ip, std::uint32_t dst_ip, std::uint16_t src_port,
                            std::uint16_t dst_port, std::uint8_t protocol, std::int32_t filter) {
    if (!buf || !count) return -1;
    wire::Writer args;
    args.h32(index).h32(*count).h32(src_ip).h32(dst_ip).h16(src_port).h16(dst_port);
    args.u8(protocol).hi32(filter);
    return plat::reply_batch(plat::fe_call(proto::FeFn::IpSessTable, args), buf, count,
                             fe_ip_sess::kSize);
}

int fe_get_one_mac_session(std::uint32_t id, void* buf) {
    return read_one(proto::FeFn::MacSessOne, id, buf, fe_mac_sess::kSize);
}

int fe_get_one_ip_session(std::uint32_t id, void* buf) {
    return read_one(proto::FeFn::IpSessOne, id, buf, fe_ip_sess::kSize);
}

int fe_clr_mac_session_by_id(std::uint32_t id) {
    return by_id(proto::FeFn::MacSessClrId, id);
}

int fe_clr_mac_session_by_params(const std::uint8_t* src_mac, const std::uint8_t* dst_mac) {
    wire::Writer args;
    args.bytes(src_mac ? src_mac : kNoMac, 6).bytes(dst_mac ? dst_mac : kNoMac, 6);
    return plat::fe_call(proto::FeFn::MacSessClrParam, args).rc;
}

int fe_clr_ip_session_by_id(std::uint32_t id) {
    return by_id(proto::FeFn::IpSessClrId, id);
}

int fe_clr_ip_sess_by_params(std::uint32_t src_ip, std::uint16_t src_port, std::uint32_t dst_ip,
                             std::uint16_t dst_port, std::uint8_t protocol) {
    wire::Writer args;
    args.h32(src_ip).h16(src_port).h32(dst_ip).h16(dst_port).u8(protocol);
    return plat::fe_call(proto::FeFn::IpSessClrParam, args).rc;
}
