// IP policies: the commands that create and delete policies and add,
// replace, move and delete their rules, and the running-configuration step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

using qz_fed_pol_args_t = std::span<const std::uint8_t>;

// The policy whose rules follow the PPSK server that DHCP gives.
#define QZ_FED_PPSK_POLICY "ip-policy4ppsk-server-from-dhcp"

// Adds the four FE rules of the PPSK-server policy for the server DHCP gave.
// Called when the policy is created (no body) and with the body of the
// PPSK-server event, which counts only when bit 0 of its first byte is set.
void qz_fed_set_ippolicy4ppsk_chg_by_dhcp(std::uint32_t len, const void* body);
// The PPSK-server event's handler: the builder for a body of at least one byte.
void qz_fed_ip_policy_ppsk_event(std::uint32_t len, const void* body);

// True when the FE lists an access-control group of that name.
bool qz_fed_ip_policy_fe_has(const std::string& name);

int qz_fed_ip_policy_rule(void* ctx, qz_fed_pol_args_t args);        // 919
int qz_fed_ip_policy_local(void* ctx, qz_fed_pol_args_t args);       // 925
int qz_fed_ip_policy_permit_log(void* ctx, qz_fed_pol_args_t args);  // 921
int qz_fed_ip_policy_deny_log(void* ctx, qz_fed_pol_args_t args);    // 920
int qz_fed_ip_policy_sta_log(void* ctx, qz_fed_pol_args_t args);     // 922
int qz_fed_ip_policy_delete(void* ctx, qz_fed_pol_args_t args);      // 923

int qz_fed_ip_policy_list(void* ctx, qz_fed_pol_args_t args);     // 939
int qz_fed_ip_policy_show(void* ctx, qz_fed_pol_args_t args);     // 937: stored rules
int qz_fed_ip_policy_show_fe(void* ctx, qz_fed_pol_args_t args);  // 940: FE rules, filtered
// 938: a profile's default IP action and its bound policies' FE rules, filtered
int qz_fed_ip_policy_show_profile(void* ctx, qz_fed_pol_args_t args);
int qz_fed_ip_policy_dump(void* ctx, qz_fed_pol_args_t args);  // 941: policy table and entries

// Bindings to user profiles, default IP action, protocol drop.
int qz_fed_ip_policy_bind(void* ctx, qz_fed_pol_args_t args);        // 933
int qz_fed_ip_policy_unbind(void* ctx, qz_fed_pol_args_t args);      // 934
int qz_fed_ip_policy_def_action(void* ctx, qz_fed_pol_args_t args);  // 936
int qz_fed_ip_policy_deny_proto(void* ctx, qz_fed_pol_args_t args);  // 944

// Running configuration: every policy, then its rules in stored order, then
// the bindings of user profiles to policies.
void qz_fed_ip_policy_cfg(void* out);
// The default IP action of every user profile that does not deny.
void qz_fed_ip_policy_def_action_cfg(void* out);
// The bindings alone (the last part of qz_fed_ip_policy_cfg).
void qz_fed_ip_policy_binding_cfg(void* out);
