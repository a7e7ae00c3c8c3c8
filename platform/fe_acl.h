// FE control library: IP access-control groups and their rules. Records in
// platform/acl_msg.h. Each call returns 0 on success, negative on failure
// (FE_ACL_NO_GROUP for a group the FE does not have).
#pragma once

#include <cstdint>

#include "platform/acl_msg.h"

// Copies up to *count (in) name records into names; *count (out) = how many.
int fe_fw_get_acl_grp_names(void* names, std::uint32_t* count);
// Creates an empty group with the flag byte given.
int fe_fw_grp_add_flag(const char* name, std::uint32_t flag);
int fe_fw_grp_del(const char* name);
// Adds one rule (a fe_fw_acl_rule_t) with its id at its position.
int fe_fw_acl_add(const void* rule);
int fe_fw_acl_delete_by_id(const char* name, std::uint32_t id);
// how: FE_ACL_MOVE_BEFORE or FE_ACL_MOVE_AFTER the rule `ref`.
int fe_fw_acl_move(std::uint32_t how, const char* name, std::uint32_t id, std::uint32_t ref);
// Clears the logging bits of one rule.
int fe_fw_acl_remove_log(const char* name, std::uint32_t id);
// Copies up to *count (in) rules in FE order; *count (out) = how many.
int fe_fw_get_acl_grp_entries(const char* name, void* entries, std::uint32_t* count);
