// QoS classifier and marker profiles and their binding to wireless
// interfaces: the FE holds them (kernel codes 7-12, 20-22, 60-62), the local
// QoS copy mirrors them for the running configuration.
#pragma once

#include <cstddef>

#include "fed/cli/qz_fed_cli.h"
#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_qos_profile.h"

namespace qz_fed_qos_profile_arg {
inline constexpr auto& kRows = cmdtbl::kRowsQosProfile;
// 902 and 848: name, optional method keyword
inline constexpr std::size_t kName = cmdtbl::arg_off(kRows, 902, "NAME");
inline constexpr std::size_t kNameWidth = cmdtbl::arg_width(kRows, 902, "NAME");
inline constexpr std::size_t kMethod = cmdtbl::arg_off(kRows, 902, "METHOD");
inline constexpr std::size_t kMethodWidth = cmdtbl::arg_width(kRows, 902, "METHOD");
inline constexpr unsigned kBitName = cmdtbl::arg_flag_bit(kRows, 902, "NAME");
inline constexpr unsigned kBitMethod = cmdtbl::arg_flag_bit(kRows, 902, "METHOD");
inline constexpr std::size_t kSize = cmdtbl::cmd_size(kRows, 902);
static_assert(cmdtbl::arg_off(kRows, 848, "NAME") == kName &&
              cmdtbl::arg_off(kRows, 848, "METHOD") == kMethod &&
              cmdtbl::arg_flag_bit(kRows, 848, "METHOD") == kBitMethod &&
              cmdtbl::cmd_size(kRows, 848) == kSize);
// 879 and 883: user interface name, optional profile
inline constexpr std::size_t kIf = cmdtbl::arg_off(kRows, 879, "IF");
inline constexpr std::size_t kIfWidth = cmdtbl::arg_width(kRows, 879, "IF");
inline constexpr std::size_t kProfile = cmdtbl::arg_off(kRows, 879, "PROFILE");
inline constexpr std::size_t kProfileWidth = cmdtbl::arg_width(kRows, 879, "PROFILE");
inline constexpr unsigned kBitProfile = cmdtbl::arg_flag_bit(kRows, 879, "PROFILE");
static_assert(cmdtbl::arg_off(kRows, 883, "IF") == kIf &&
              cmdtbl::arg_off(kRows, 883, "PROFILE") == kProfile &&
              cmdtbl::arg_flag_bit(kRows, 883, "PROFILE") == kBitProfile);
}  // namespace qz_fed_qos_profile_arg

int qz_fed_qos_classifier(void* ctx, qz_fed_args_t args);       // 902
int qz_fed_qos_classifier_show(void* ctx, qz_fed_args_t args);  // 903
int qz_fed_qos_marker(void* ctx, qz_fed_args_t args);           // 848
int qz_fed_qos_marker_show(void* ctx, qz_fed_args_t args);      // 849
int qz_fed_qos_wifi_classifier(void* ctx, qz_fed_args_t args);  // 879
int qz_fed_qos_wifi_marker(void* ctx, qz_fed_args_t args);      // 883

// Running configuration: the classifier profiles, then the marker profiles.
void qz_fed_qos_profile_cfg(void* out);
