// The FE's IP access-control groups: named, ordered lists of rules, reached
// through the fe_fw_ group and rule calls (records: platform/acl_msg.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/fe/faults.h"
#include "platform/proto.h"

namespace fem {

struct Model;

struct AclRule {
    std::uint32_t id;
    std::uint32_t src, src_mask, dst, dst_mask;  // network order
    std::string service;
    std::uint8_t flags;  // fe_acl_flag
    std::uint32_t action;
};

struct AclGroup {
    std::string name;
    std::uint8_t flags;
    std::vector<AclRule> rules;  // FE order
};

inline constexpr std::size_t kAclGroupsMax = 64;
inline constexpr std::size_t kAclRulesMax = 1016;  // rules one group holds

struct AclState {
    std::vector<AclGroup> groups;  // in creation order
};

// The group named so, or nullptr.
AclGroup* acl_group(Model& m, std::string_view name);

// Answers an ACL call (proto::FeFn 401-408); *known is false for any other
// function. Faults: "NAME" (the fe_ function name).
int fe_acl_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                std::vector<std::uint8_t>& out, bool* known);

}  // namespace fem
