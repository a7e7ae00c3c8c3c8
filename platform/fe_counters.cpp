// FE control library: packet, drop and data-collection counters.
//
// Op::Fe {u32 fn, blob args} -> {i32 rc, blob out}; records per proto::FeFn.
#include "platform/fe_counters.h"

#include "platform/call.h"
#include "platform/qz.h"

using plat::fe_call;

namespace {

// rc 1 is the FE's "no such interface or station": 0 with *status -1.
int lookup(const plat::Reply& r, std::int32_t* status, void* entry) {
    if (r.rc == 1) {
        *status = -1;
        return 0;
    }
    int rc = entry ? plat::reply_record(r, entry, fe_counter::kSize) : (r.rc < 0 ? r.rc : 0);
    if (rc == 0) *status = 0;
    return rc;
}

wire::Writer mac_args(const std::uint8_t* mac) {
    wire::Writer args;
    args.bytes(mac, 6);
    return args;
}

wire::Writer index_args(std::uint32_t ifindex) {
    wire::Writer args;
    args.h32(ifindex);
    return args;
}

}  // namespace

int fe_get_counter_entry_cnt() {
    return fe_call(proto::FeFn::CounterCount).rc;
}

int fe_get_counter_list(void* buf, std::uint32_t* count) {
    if (!buf || !count) return -1;
    return plat::reply_batch(fe_call(proto::FeFn::CounterList, index_args(*count)), buf, count,
                             fe_counter::kSize);
}

int fe_get_device_counter(const char* ifname, std::int32_t* ifindex, void* entry) {
    if (!ifname || !ifindex || !entry) return -1;
    std::uint32_t index = qz_if_nametoindex(ifname);
    if (index == 0) {
        *ifindex = -1;
        return 0;
    }
    std::int32_t found = 0;
    int rc = lookup(fe_call(proto::FeFn::CounterDev, index_args(index)), &found, entry);
    if (rc == 0) *ifindex = found < 0 ? -1 : static_cast<std::int32_t>(index);
    return rc;
}

int fe_get_station_counter(const std::uint8_t* mac, std::int32_t* found, void* entry) {
    if (!mac || !found || !entry) return -1;
    return lookup(fe_call(proto::FeFn::CounterSta, mac_args(mac)), found, entry);
}

int fe_get_drop_counters(std::uint32_t* counters) {
    if (!counters) return -1;
    plat::Reply r = fe_call(proto::FeFn::DropCounters);
    if (r.rc < 0) return r.rc;
    if (r.out.size() != fe_drop::kCount * 4) return -1;
    for (std::size_t i = 0; i < fe_drop::kCount; ++i)
        counters[i] = wire::load_h<std::uint32_t>(r.out.data() + i * 4);
    return 0;
}

int fe_get_dc_counters(void* rec) {
    if (!rec) return -1;
    return plat::reply_record(fe_call(proto::FeFn::DcCounters), rec, fe_dc::kSize);
}

int fe_clear_all_counters() {
    return fe_call(proto::FeFn::ClearAll).rc;
}

int fe_clear_counters_per_dev(const char* ifname, std::int32_t* status) {
    if (!ifname || !status) return -1;
    std::uint32_t index = qz_if_nametoindex(ifname);
    if (index == 0) {
        *status = -1;
        return 0;
    }
    return lookup(fe_call(proto::FeFn::ClearDev, index_args(index)), status, nullptr);
}

int fe_clear_counters_per_station(const std::uint8_t* mac, std::int32_t* status) {
    if (!mac || !status) return -1;
    return lookup(fe_call(proto::FeFn::ClearSta, mac_args(mac)), status, nullptr);
}

int fe_clear_drop_counters() {
    return fe_call(proto::FeFn::ClearDrops).rc;
}

int fe_clear_counters_all_stations() {
    return fe_call(proto::FeFn::ClearStations).rc;
}

int fe_clear_policy_counters() {
    return fe_call(proto::FeFn::ClearPolicies).rc;
}

int fe_clear_dc_counters() {
    return fe_call(proto::FeFn::ClearDc).rc;
}
