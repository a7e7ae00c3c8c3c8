// MAC policies: the commands that create and delete policies and add, move
// and delete their rules, bind them to user profiles, set the default MAC
// action and the IPv6 guards; their displays and running-configuration
// steps. Nothing is kept in fed: every command is one FE call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

using qz_fed_mac_args_t = std::span<const std::uint8_t>;

// True when the FE lists a MAC policy of that name.
bool qz_fed_mac_policy_fe_has(const std::string& name);

int qz_fed_mac_policy_rule(void* ctx, qz_fed_mac_args_t args);        // 924
int qz_fed_mac_policy_deny_log(void* ctx, qz_fed_mac_args_t args);    // 926
int qz_fed_mac_policy_permit_log(void* ctx, qz_fed_mac_args_t args);  // 927
int qz_fed_mac_policy_delete(void* ctx, qz_fed_mac_args_t args);      // 928
int qz_fed_mac_ra_guard(void* ctx, qz_fed_mac_args_t args);           // 945
int qz_fed_mac_dhcpv6_shield(void* ctx, qz_fed_mac_args_t args);      // 946

int qz_fed_mac_policy_bind(void* ctx, qz_fed_mac_args_t args);        // 942
int qz_fed_mac_policy_unbind(void* ctx, qz_fed_mac_args_t args);      // 943
int qz_fed_mac_policy_def_action(void* ctx, qz_fed_mac_args_t args);  // 929

int qz_fed_mac_policy_list(void* ctx, qz_fed_mac_args_t args);          // 932
int qz_fed_mac_policy_show(void* ctx, qz_fed_mac_args_t args);          // 930
int qz_fed_mac_policy_show_profile(void* ctx, qz_fed_mac_args_t args);  // 931

// Running configuration: every MAC policy and its rules in FE order, the
// MAC bindings and protocol drops of user profiles, the guards switched off.
void qz_fed_mac_policy_cfg(void* out);
// The default MAC action of every user profile that permits.
void qz_fed_mac_policy_def_action_cfg(void* out);

namespace fedmac {

// The MAC policy names the FE lists (at most 32); false when it cannot list them.
bool fe_names(std::vector<std::string>& names);

}  // namespace fedmac
