// FE control library: the tables behind the FE settings commands (virtual
// wire, tunnel multicast list, registered to-self ports, FE filters).
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

// A counted read of fixed-size entries: copies no more than `max` entries,
// whatever the reply says, and fails when the reply disagrees with its count.
int read_entries(proto::FeFn fn, void* entries, std::uint32_t max, std::size_t entry_size) {
    if (!entries && max) return -1;
    wire::Writer args;
    args.h32(max);
    std::vector<std::uint8_t> out;
    int rc = fe_call(fn, args, &out);
    if (rc < 0) return rc;
    auto n = static_cast<std::uint32_t>(rc);
    if (n > max || out.size() != n * entry_size) return -1;
    if (n) std::memcpy(entries, out.data(), out.size());
    return rc;
}

}  // namespace

int fe_set_vwire_interfaces(std::uint32_t ifindex1, std::uint32_t ifindex2,
                            const std::uint8_t* mac) {
    static constexpr std::uint8_t kZero[6] = {};
    wire::Writer args;
    args.h32(ifindex1).h32(ifindex2).bytes(mac ? mac : kZero, 6);
    return fe_call(proto::FeFn::SetVwire, args, nullptr);
}

int fe_get_tunnel_multicast_status_size(std::uint32_t* status, std::uint32_t* size) {
    if (!status || !size) return -1;
    std::vector<std::uint8_t> out;
    int rc = fe_call(proto::FeFn::McastStatus, wire::Writer(), &out);
    if (rc < 0) return rc;
    wire::Reader r(out);
    std::uint32_t st = r.h32();
    std::uint32_t n = r.h32();
    if (!r.ok()) return -1;
    *status = st;
    *size = n;
    return rc;
}

int fe_set_tunnel_multicast_list(std::uint32_t add, std::uint32_t addr, std::uint32_t mask) {
    wire::Writer args;
    args.h32(add).h32(addr).h32(mask);
    return fe_call(proto::FeFn::McastSet, args, nullptr);
}

int fe_get_tunnel_multicast_list(void* entries, std::uint32_t max) {
    return read_entries(proto::FeFn::McastList, entries, max, fe_mcast::kSize);
}

int fe_get_registered_to_self_pkt_port(void* entries, std::uint32_t max) {
    return read_entries(proto::FeFn::RegPorts, entries, max, fe_regport::kSize);
}

int fe_add_ff(const void* ff) {
    if (!ff) return -1;
    wire::Writer args;
    args.bytes(ff, fe_ff::kSize);
    return fe_call(proto::FeFn::FfAdd, args, nullptr);
}

int fe_delete_ff(std::uint32_t id) {
    wire::Writer args;
    args.h32(id);
    return fe_call(proto::FeFn::FfDelete, args, nullptr);
}

int fe_get_one_ff(std::uint32_t id, void* ff) {
    if (!ff) return -1;
    wire::Writer args;
    args.h32(id);
    std::vector<std::uint8_t> out;
    int rc = fe_call(proto::FeFn::FfGetOne, args, &out);
    if (rc < 0) return rc;
    if (out.size() != fe_ff::kSize) return -1;
    std::memcpy(ff, out.data(), fe_ff::kSize);
    return rc;
}

int fe_get_ff_list(void* ffs, std::uint32_t max) {
    return read_entries(proto::FeFn::FfList, ffs, max, fe_ff::kSize);
}

int fe_get_current_ff_cnt() {
    return fe_call(proto::FeFn::FfCount, wire::Writer(), nullptr);
}
