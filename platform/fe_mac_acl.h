// FE control library: MAC access-control groups, their rules, their binding
// to UPIDs and the default MAC action, and the IPv6 router-advertisement
// guard and DHCPv6 shield. Records in platform/mac_acl_msg.h. Each call
// returns 0 on success, negative on failure (FE_MAC_* codes).
#pragma once

#include <cstdint>

#include "platform/mac_acl_msg.h"

// Group calls take a fe_mac_acl_rule_t holding the group name.
int fe_mac_acl_grp_add(const void* rule);
int fe_mac_acl_grp_del(const void* rule);
// Appends the rule, or inserts it before/after its reference.
int fe_mac_acl_add(const void* rule);
// how: FE_MAC_MOVE_BEFORE or FE_MAC_MOVE_AFTER the rule `ref`.
int fe_mac_acl_move(std::uint32_t how, const void* rule, std::uint32_t id, std::uint32_t ref);
// Deletes the rule of the record's group with the record's id.
int fe_mac_acl_delete_by_content(const void* rule);
// Clears the logging bits of one rule.
int fe_mac_acl_remove_log(const char* name, std::uint32_t id);
// Copies up to *count (in) 33-byte names; *count (out) = how many.
int fe_mac_acl_get_acl_grp_names(void* names, std::uint32_t* count);
// Copies up to *count (in) entries in FE order; *count (out) = how many.
int fe_mac_acl_get_acl_grp_entries(const char* name, void* entries, std::uint32_t* count);
// Binds the named groups to the UPID; a null name leaves that direction.
int fe_mac_acl_grp_bind(std::uint32_t upid, const char* from, const char* to);
// Removes the from-access (from 1) and/or to-access (to 1) binding.
int fe_mac_acl_grp_unbind(std::uint32_t upid, std::uint32_t from, std::uint32_t to);
// Default action of frames no bound rule matches (boot: 2 deny).
int fe_mac_acl_set_upid_def_action(std::uint32_t upid, std::uint32_t action);
// which: FE_GUARD_RA or FE_GUARD_DHCPV6; on 1 or 0.
int fe_set_ipv6_ra_dhcpv6_guard(std::uint32_t which, std::uint32_t on);
int fe_get_ipv6_ra_dhcpv6_guard(std::uint32_t which, std::uint32_t* on);
