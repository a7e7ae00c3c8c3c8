// The FE's MAC access-control groups: named, ordered lists of layer-2 rules,
// reached through the fe_mac_acl_ group and rule calls, and the two IPv6
// guard switches (records: platform/mac_acl_msg.h). Bindings to UPIDs and
// the default MAC action live with the other UPID state (profiles.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fe/faults.h"
#include "platform/proto.h"

namespace fem {

struct Model;

struct MacRule {
    std::uint32_t id;
    std::array<std::uint8_t, 6> src, dst;
    std::uint32_t src_mask, dst_mask;  // bytes: 0, 3 or 6
    std::uint16_t flags;               // fe_mac_flag
    std::uint32_t action;
};

struct MacGroup {
    std::string name;
    std::vector<MacRule> rules;  // FE order
};

struct MacAclState {
    std::vector<MacGroup> groups;  // in creation order
    bool ra_guard = true;          // the booted FE guards against rogue RAs
    bool dhcpv6_shield = true;
};

// The group named so, or nullptr.
MacGroup* mac_group(Model& m, std::string_view name);

// Answers a MAC group, rule or guard call (proto::FeFn 420-429); *known is
// false for any other function. Faults: "NAME" (the fe_ function name).
int fe_mac_acl_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out, bool* known);

}  // namespace fem
