// The FE's QoS switches, QoS policies, VLAN QoS and performance snapshot
// and statistics (kernel codes 1-6, 13-16, 90-95, 100-107, 123, 124) and its
// airtime admission
// control roaming weight (fe_set_cac_roaming_weight).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/fe/faults.h"
#include "platform/proto.h"

namespace fem {

struct Model;

struct QosPolicy {
    std::string name;
    std::uint32_t user_rate = 0, up_rate = 0;  // kbps
    std::uint16_t up_weight = 0;
    std::array<std::uint8_t, 8> mode{};  // 1 strict, 0 weighted round robin
    std::array<std::uint16_t, 8> weight{};
    std::array<std::uint32_t, 8> limit{};  // kbps
};

struct QosVlan {
    std::uint32_t vlan, rate, weight;
};

// What a station's QoS counters read as zero from (set by a clear).
struct QosUserBase {
    std::uint8_t mac[6];
    std::uint32_t packets, bytes;
};

struct QosPolicyState {
    bool qos_on = true;
    bool airtime = false;
    std::uint32_t rate_weight = 2;    // high
    std::vector<QosPolicy> policies;  // "def-user-qos" first
    QosVlan def_vlan{};
    std::vector<QosVlan> vlans;  // in the order set
    bool snapshot = false;
    std::uint32_t snapshot_interval = 10;
    std::vector<QosUserBase> user_base;
};

// Booted state: QoS on, airtime-based QoS off, weight high, "def-user-qos"
// only, the default VLAN at its defaults, the snapshot off.
void qos_policy_init(Model& m);

// A station's counters went back to zero (mac nullptr: every station's):
// its QoS statistics count from zero again instead of from the last clear.
void qos_user_base_forget(Model& m, const std::uint8_t* mac);

// A policy with the values of a new one.
QosPolicy qos_policy_default(const std::string& name);

using QosPolicyKernelFn = std::int32_t (*)(Model& m, std::span<std::uint8_t> record);
// The handler of a code of this family, or nullptr.
QosPolicyKernelFn qos_policy_kernel_fn(std::uint16_t code);

// fe_set_cac_roaming_weight (proto::FeFn::CacRoamingWeight): the rc, with
// `out` holding the available weight. *known is false for any other function.
int fe_qos_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                std::vector<std::uint8_t>& out, bool* known);

// apsim's view: the switches, the CAC values, the VLANs and the policies.
std::string qos_policy_text(const Model& m);

}  // namespace fem
