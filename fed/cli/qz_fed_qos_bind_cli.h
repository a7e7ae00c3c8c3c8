// QoS classifier and marker profiles bound to Ethernet interfaces and to the
// interfaces of SSIDs (kernel codes 7-12, 135-137), and the binding displays.
#pragma once

#include <cstddef>

#include "fed/cli/qz_fed_cli.h"
#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_qos_bind.h"

namespace qz_fed_qos_bind_arg {
inline constexpr auto& kRows = cmdtbl::kRowsQosBind;
// 878 and 895
inline constexpr std::size_t kEthIf = cmdtbl::arg_off(kRows, 878, "IF");
inline constexpr std::size_t kEthIfWidth = cmdtbl::arg_width(kRows, 878, "IF");
inline constexpr std::size_t kEthProfile = cmdtbl::arg_off(kRows, 878, "PROFILE");
inline constexpr std::size_t kEthProfileWidth = cmdtbl::arg_width(kRows, 878, "PROFILE");
inline constexpr std::size_t kEthKind = cmdtbl::const_off(kRows, 878, 17);
inline constexpr std::size_t kEthSize = cmdtbl::cmd_size(kRows, 878);
static_assert(cmdtbl::arg_off(kRows, 895, "IF") == kEthIf &&
              cmdtbl::arg_off(kRows, 895, "PROFILE") == kEthProfile &&
              cmdtbl::cmd_size(kRows, 895) == kEthSize);
// 885 and 882
inline constexpr std::size_t kSsid = cmdtbl::arg_off(kRows, 885, "SSID");
inline constexpr std::size_t kSsidWidth = cmdtbl::arg_width(kRows, 885, "SSID");
inline constexpr std::size_t kSsidProfile = cmdtbl::arg_off(kRows, 885, "PROFILE");
inline constexpr std::size_t kSsidProfileWidth = cmdtbl::arg_width(kRows, 885, "PROFILE");
inline constexpr std::size_t kSsidSize = cmdtbl::cmd_size(kRows, 885);
static_assert(cmdtbl::arg_off(kRows, 882, "SSID") == kSsid &&
              cmdtbl::arg_off(kRows, 882, "PROFILE") == kSsidProfile &&
              cmdtbl::cmd_size(kRows, 882) == kSsidSize);
// 881 and 896; 886 and 884
inline constexpr std::size_t kShowIf = cmdtbl::arg_off(kRows, 881, "IF");
inline constexpr std::size_t kShowIfWidth = cmdtbl::arg_width(kRows, 881, "IF");
inline constexpr std::size_t kShowSsid = cmdtbl::arg_off(kRows, 886, "SSID");
inline constexpr std::size_t kShowSsidWidth = cmdtbl::arg_width(kRows, 886, "SSID");
inline constexpr unsigned kBitShowSsid = cmdtbl::arg_flag_bit(kRows, 886, "SSID");
static_assert(cmdtbl::arg_off(kRows, 896, "IF") == kShowIf &&
              cmdtbl::arg_off(kRows, 884, "SSID") == kShowSsid);
}  // namespace qz_fed_qos_bind_arg

int qz_fed_qos_eth_classifier(void* ctx, qz_fed_args_t args);        // 878
int qz_fed_qos_eth_marker(void* ctx, qz_fed_args_t args);            // 895
int qz_fed_qos_ssid_classifier(void* ctx, qz_fed_args_t args);       // 885
int qz_fed_qos_ssid_marker(void* ctx, qz_fed_args_t args);           // 882
int qz_fed_qos_if_classifier_show(void* ctx, qz_fed_args_t args);    // 880, 881
int qz_fed_qos_if_marker_show(void* ctx, qz_fed_args_t args);        // 894, 896
int qz_fed_qos_ssid_classifier_show(void* ctx, qz_fed_args_t args);  // 886
int qz_fed_qos_ssid_marker_show(void* ctx, qz_fed_args_t args);      // 884

// Running configuration: the classifier bindings of Ethernet interfaces and
// SSIDs (after the classifier profiles), the marker ones (after the marker
// profiles).
void qz_fed_qos_cls_bind_cfg(void* out);
void qz_fed_qos_mkr_bind_cfg(void* out);
