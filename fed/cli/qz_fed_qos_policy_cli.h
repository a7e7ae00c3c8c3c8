// QoS switches, QoS policies, VLAN QoS, the performance snapshot and airtime
// admission control: the FE holds them (kernel codes 1-6, 13-16, 90-95,
// 100-102 and the CAC values of the FE control library); the local QoS copy
// mirrors the policies for the running configuration.
#pragma once

#include <cstddef>

#include "fed/cli/qz_fed_cli.h"
#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_qos_policy.h"

namespace qz_fed_qos_policy_arg {
inline constexpr auto& kRows = cmdtbl::kRowsQosPolicy;
inline constexpr std::size_t kWeightWord = cmdtbl::arg_off(kRows, 808, "WEIGHT");
inline constexpr std::size_t kWeightWidth = cmdtbl::arg_width(kRows, 808, "WEIGHT");
inline constexpr std::size_t kSize808 = cmdtbl::cmd_size(kRows, 808);
// 876
inline constexpr std::size_t kName = cmdtbl::arg_off(kRows, 876, "NAME");
inline constexpr std::size_t kNameWidth = cmdtbl::arg_width(kRows, 876, "NAME");
inline constexpr std::size_t kUserRate = cmdtbl::arg_off(kRows, 876, "USER_RATE");
inline constexpr std::size_t kUpWeight = cmdtbl::arg_off(kRows, 876, "UP_WEIGHT");
inline constexpr std::size_t kUpRate = cmdtbl::arg_off(kRows, 876, "UP_RATE");
inline constexpr std::size_t kClass = cmdtbl::arg_off(kRows, 876, "CLASS");
inline constexpr std::size_t kMode = cmdtbl::arg_off(kRows, 876, "MODE");
inline constexpr std::size_t kModeWidth = cmdtbl::arg_width(kRows, 876, "MODE");
inline constexpr std::size_t kLimit = cmdtbl::arg_off(kRows, 876, "LIMIT");
inline constexpr std::size_t kWeight = cmdtbl::arg_off(kRows, 876, "WEIGHT");
inline constexpr unsigned kBitName = cmdtbl::arg_flag_bit(kRows, 876, "NAME");
inline constexpr unsigned kBitUserRate = cmdtbl::arg_flag_bit(kRows, 876, "USER_RATE");
inline constexpr unsigned kBitUpWeight = cmdtbl::arg_flag_bit(kRows, 876, "UP_WEIGHT");
inline constexpr unsigned kBitUpRate = cmdtbl::arg_flag_bit(kRows, 876, "UP_RATE");
inline constexpr unsigned kBitClass = cmdtbl::arg_flag_bit(kRows, 876, "CLASS");
inline constexpr unsigned kBitMode = cmdtbl::arg_flag_bit(kRows, 876, "MODE");
inline constexpr unsigned kBitLimit = cmdtbl::arg_flag_bit(kRows, 876, "LIMIT");
inline constexpr unsigned kBitWeight = cmdtbl::arg_flag_bit(kRows, 876, "WEIGHT");
inline constexpr std::size_t kSize876 = cmdtbl::cmd_size(kRows, 876);
// 877
inline constexpr std::size_t kShowName = cmdtbl::arg_off(kRows, 877, "NAME");
inline constexpr std::size_t kShowNameWidth = cmdtbl::arg_width(kRows, 877, "NAME");
inline constexpr unsigned kBitShowName = cmdtbl::arg_flag_bit(kRows, 877, "NAME");
// 867, 870, 871
inline constexpr std::size_t kDefRate = cmdtbl::arg_off(kRows, 867, "RATE");
inline constexpr std::size_t kDefWeight = cmdtbl::arg_off(kRows, 867, "WEIGHT");
inline constexpr std::size_t kVlan = cmdtbl::arg_off(kRows, 870, "VLAN");
inline constexpr std::size_t kVlanRate = cmdtbl::arg_off(kRows, 870, "RATE");
inline constexpr std::size_t kVlanWeight = cmdtbl::arg_off(kRows, 870, "WEIGHT");
inline constexpr std::size_t kShowVlan = cmdtbl::arg_off(kRows, 871, "VLAN");
inline constexpr unsigned kBitShowVlan = cmdtbl::arg_flag_bit(kRows, 871, "VLAN");
// 842
inline constexpr std::size_t kInterval = cmdtbl::arg_off(kRows, 842, "SECONDS");
inline constexpr unsigned kBitInterval = cmdtbl::arg_flag_bit(kRows, 842, "SECONDS");
// 846, 847, 899, 901: the user's MAC or the VLAN
inline constexpr std::size_t kUserMac = cmdtbl::arg_off(kRows, 846, "MAC");
inline constexpr unsigned kBitClearMac = cmdtbl::arg_flag_bit(kRows, 901, "MAC");
static_assert(cmdtbl::arg_off(kRows, 899, "MAC") == kUserMac &&
              cmdtbl::arg_off(kRows, 901, "MAC") == kUserMac);
inline constexpr std::size_t kSnapVlan = cmdtbl::arg_off(kRows, 847, "VLAN");
// 908, 909: the optional profile name
inline constexpr std::size_t kUpName = cmdtbl::arg_off(kRows, 908, "NAME");
inline constexpr std::size_t kUpNameWidth = cmdtbl::arg_width(kRows, 908, "NAME");
inline constexpr unsigned kBitUpName = cmdtbl::arg_flag_bit(kRows, 908, "NAME");
static_assert(cmdtbl::arg_off(kRows, 909, "NAME") == kUpName &&
              cmdtbl::arg_flag_bit(kRows, 909, "NAME") == kBitUpName);
// 972: the optional station MAC
inline constexpr std::size_t kCacMac = cmdtbl::arg_off(kRows, 972, "MAC");
inline constexpr unsigned kBitCacMac = cmdtbl::arg_flag_bit(kRows, 972, "MAC");
// 969, 970
inline constexpr std::size_t kAirtime = cmdtbl::arg_off(kRows, 969, "AIRTIME");
inline constexpr std::size_t kSize969 = cmdtbl::cmd_size(kRows, 969);
inline constexpr std::size_t kRoamWeight = cmdtbl::arg_off(kRows, 970, "WEIGHT");
inline constexpr std::size_t kSize970 = cmdtbl::cmd_size(kRows, 970);
}  // namespace qz_fed_qos_policy_arg

int qz_fed_qos_enable(void* ctx, qz_fed_args_t args);            // 805
int qz_fed_qos_airtime(void* ctx, qz_fed_args_t args);           // 807
int qz_fed_qos_rate_weight(void* ctx, qz_fed_args_t args);       // 808
int qz_fed_qos_show(void* ctx, qz_fed_args_t args);              // 809
int qz_fed_qos_policy(void* ctx, qz_fed_args_t args);            // 876
int qz_fed_qos_policy_show(void* ctx, qz_fed_args_t args);       // 877
int qz_fed_qos_def_vlan(void* ctx, qz_fed_args_t args);          // 867
int qz_fed_qos_def_vlan_show(void* ctx, qz_fed_args_t args);     // 868
int qz_fed_qos_vlan(void* ctx, qz_fed_args_t args);              // 870
int qz_fed_qos_vlan_show(void* ctx, qz_fed_args_t args);         // 871
int qz_fed_qos_snapshot(void* ctx, qz_fed_args_t args);          // 842
int qz_fed_qos_snapshot_show(void* ctx, qz_fed_args_t args);     // 843
int qz_fed_qos_user_snapshot(void* ctx, qz_fed_args_t args);     // 846
int qz_fed_qos_vlan_snapshot(void* ctx, qz_fed_args_t args);     // 847
int qz_fed_qos_user_stats(void* ctx, qz_fed_args_t args);        // 899
int qz_fed_qos_users_stats(void* ctx, qz_fed_args_t args);       // 900
int qz_fed_qos_user_stats_clear(void* ctx, qz_fed_args_t args);  // 901
int qz_fed_qos_up_stats(void* ctx, qz_fed_args_t args);          // 908
int qz_fed_qos_up_stats_delay(void* ctx, qz_fed_args_t args);    // 909
int qz_fed_qos_cac(void* ctx, qz_fed_args_t args);               // 967
int qz_fed_qos_cac_airtime(void* ctx, qz_fed_args_t args);       // 969
int qz_fed_qos_cac_roam_weight(void* ctx, qz_fed_args_t args);   // 970

int qz_fed_qos_cac_clear(void* ctx, qz_fed_args_t args);  // 972
int qz_fed_qos_cac_show(void* ctx, qz_fed_args_t args);   // 973

// Running configuration, first records of the QoS step: QoS off, CAC,
// airtime-based QoS and the rate preference weight.
void qz_fed_qos_switch_cfg(void* out);
// Later in the QoS step: every policy other than an unchanged "def-user-qos".
void qz_fed_qos_policy_cfg(void* out);
