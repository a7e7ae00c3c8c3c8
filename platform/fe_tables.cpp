// FE control library: the tables behind the FE settings commands (virtual
// wire, tunnel multicast list, registered to-self ports, FE filters).
//
// Op::Fe {u32 fn, blob args} -> {i32 rc, blob out}; records per proto::FeFn.
#include "platform/call.h"
#include "platform/fe.h"

namespace {

using plat::fe_call;

// A list of fixed-size entries whose count is the result: no more than `max`.
int read_entries(proto::FeFn fn, void* entries, std::uint32_t max, std::size_t entry_size) {
    if (!entries && max) return -1;
    wire::Writer args;
    args.h32(max);
    return plat::reply_entries(fe_call(fn, args), entries, max, entry_size);
}

}  // namespace

int fe_set_vwire_interfaces(std::uint32_t ifindex1, std::uint32_t ifindex2,
                            const std::uint8_t* mac) {
    static constexpr std::uint8_t kZero[6] = {};
    wire::Writer args;
    args.h32(ifindex1).h32(ifindex2).bytes(mac ? mac : kZero, 6);
    return fe_call(proto::FeFn::SetVwire, args).rc;
}

int fe_get_tunnel_multicast_status_size(std::uint32_t* status, std::uint32_t* size) {
    if (!status || !size) return -1;
    return plat::reply_words(fe_call(proto::FeFn::McastStatus), {status, size});
}

int fe_set_tunnel_multicast_list(std::uint32_t add, std::uint32_t addr, std::uint32_t mask) {
    wire::Writer args;
    args.h32(add).h32(addr).h32(mask);
    return fe_call(proto::FeFn::McastSet, args).rc;
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
    return fe_call(proto::FeFn::FfAdd, args).rc;
}

int fe_delete_ff(std::uint32_t id) {
    wire::Writer args;
    args.h32(id);
    return fe_call(proto::FeFn::FfDelete, args).rc;
}

int fe_get_one_ff(std::uint32_t id, void* ff) {
    if (!ff) return -1;
    wire::Writer args;
    args.h32(id);
    return plat::reply_record(fe_call(proto::FeFn::FfGetOne, args), ff, fe_ff::kSize);
}

int fe_get_ff_list(void* ffs, std::uint32_t max) {
    return read_entries(proto::FeFn::FfList, ffs, max, fe_ff::kSize);
}

int fe_get_current_ff_cnt() {
    return fe_call(proto::FeFn::FfCount).rc;
}
