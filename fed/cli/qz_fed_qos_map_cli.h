// QoS priority maps: the class maps, the marker maps, the named marker maps
// and the MAC OUI classifications. The FE holds them (kernel codes 23-34,
// 63-74); the local QoS copy mirrors them for the running configuration.
#pragma once

#include <cstddef>

#include "fed/cli/qz_fed_cli.h"
#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_qos_map.h"

namespace qz_fed_qos_map_arg {
inline constexpr auto& kRows = cmdtbl::kRowsQosMap;
// 810, 813, 816, 850, 853, 856: the index (priority, DSCP or class) and the value
inline constexpr std::size_t kIndex = cmdtbl::arg_off(kRows, 810, "PRIORITY");
inline constexpr std::size_t kValue = cmdtbl::arg_off(kRows, 810, "CLASS");
inline constexpr unsigned kBitIndex = cmdtbl::arg_flag_bit(kRows, 810, "PRIORITY");
inline constexpr unsigned kBitValue = cmdtbl::arg_flag_bit(kRows, 810, "CLASS");
inline constexpr std::size_t kSize = cmdtbl::cmd_size(kRows, 810);
static_assert(cmdtbl::arg_off(kRows, 813, "PRIORITY") == kIndex &&
              cmdtbl::arg_off(kRows, 816, "DSCP") == kIndex &&
              cmdtbl::arg_off(kRows, 850, "CLASS") == kIndex &&
              cmdtbl::arg_off(kRows, 853, "CLASS") == kIndex &&
              cmdtbl::arg_off(kRows, 856, "CLASS") == kIndex);
static_assert(cmdtbl::arg_off(kRows, 813, "CLASS") == kValue &&
              cmdtbl::arg_off(kRows, 816, "CLASS") == kValue &&
              cmdtbl::arg_off(kRows, 850, "PRIORITY") == kValue &&
              cmdtbl::arg_off(kRows, 853, "PRIORITY") == kValue &&
              cmdtbl::arg_off(kRows, 856, "DSCP") == kValue);
static_assert(cmdtbl::cmd_size(kRows, 816) == kSize && cmdtbl::cmd_size(kRows, 856) == kSize);
// 812, 815, 818: the optional index
inline constexpr std::size_t kShowIndex = cmdtbl::arg_off(kRows, 812, "PRIORITY");
inline constexpr unsigned kBitShowIndex = cmdtbl::arg_flag_bit(kRows, 812, "PRIORITY");
static_assert(cmdtbl::arg_off(kRows, 818, "DSCP") == kShowIndex &&
              cmdtbl::arg_flag_bit(kRows, 818, "DSCP") == kBitShowIndex);
// 859, 860: name, optional class and value
inline constexpr std::size_t kMapName = cmdtbl::arg_off(kRows, 860, "NAME");
inline constexpr std::size_t kMapNameWidth = cmdtbl::arg_width(kRows, 860, "NAME");
inline constexpr std::size_t kMapClass = cmdtbl::arg_off(kRows, 860, "CLASS");
inline constexpr std::size_t kMapValue = cmdtbl::arg_off(kRows, 860, "PRIORITY");
inline constexpr unsigned kBitMapName = cmdtbl::arg_flag_bit(kRows, 860, "NAME");
inline constexpr unsigned kBitMapClass = cmdtbl::arg_flag_bit(kRows, 860, "CLASS");
inline constexpr unsigned kBitMapValue = cmdtbl::arg_flag_bit(kRows, 860, "PRIORITY");
inline constexpr std::size_t kMapSize = cmdtbl::cmd_size(kRows, 860);
static_assert(cmdtbl::arg_off(kRows, 859, "NAME") == kMapName &&
              cmdtbl::arg_off(kRows, 859, "CLASS") == kMapClass &&
              cmdtbl::arg_off(kRows, 859, "DSCP") == kMapValue &&
              cmdtbl::arg_flag_bit(kRows, 859, "DSCP") == kBitMapValue &&
              cmdtbl::cmd_size(kRows, 859) == kMapSize);
// 861: kind, name, optional class
inline constexpr std::size_t kDelKind = cmdtbl::arg_off(kRows, 861, "KIND");
inline constexpr std::size_t kDelName = cmdtbl::arg_off(kRows, 861, "NAME");
inline constexpr std::size_t kDelNameWidth = cmdtbl::arg_width(kRows, 861, "NAME");
inline constexpr std::size_t kDelClass = cmdtbl::arg_off(kRows, 861, "CLASS");
inline constexpr unsigned kBitDelClass = cmdtbl::arg_flag_bit(kRows, 861, "CLASS");
// 862: optional name
inline constexpr std::size_t kShowName = cmdtbl::arg_off(kRows, 862, "NAME");
inline constexpr std::size_t kShowNameWidth = cmdtbl::arg_width(kRows, 862, "NAME");
inline constexpr unsigned kBitShowName = cmdtbl::arg_flag_bit(kRows, 862, "NAME");
// 819: OUI, class, action text, comment
inline constexpr std::size_t kOui = cmdtbl::arg_off(kRows, 819, "OUI");
inline constexpr std::size_t kOuiClass = cmdtbl::arg_off(kRows, 819, "CLASS");
inline constexpr std::size_t kOuiAction = cmdtbl::arg_off(kRows, 819, "action");
inline constexpr std::size_t kOuiActionWidth = cmdtbl::arg_width(kRows, 819, "action");
inline constexpr std::size_t kOuiComment = cmdtbl::arg_off(kRows, 819, "COMMENT");
inline constexpr std::size_t kOuiCommentWidth = cmdtbl::arg_width(kRows, 819, "COMMENT");
inline constexpr unsigned kBitOui = cmdtbl::arg_flag_bit(kRows, 819, "OUI");
inline constexpr unsigned kBitOuiClass = cmdtbl::arg_flag_bit(kRows, 819, "CLASS");
inline constexpr unsigned kBitOuiAction = cmdtbl::arg_flag_bit(kRows, 819, "action");
inline constexpr unsigned kBitOuiComment = cmdtbl::arg_flag_bit(kRows, 819, "COMMENT");
inline constexpr std::size_t kOuiSize = cmdtbl::cmd_size(kRows, 819);
// 821, 822: interface name, optional class; 821 also the kind
inline constexpr std::size_t kIf = cmdtbl::arg_off(kRows, 821, "IF");
inline constexpr std::size_t kIfWidth = cmdtbl::arg_width(kRows, 821, "IF");
inline constexpr std::size_t kIfClass = cmdtbl::arg_off(kRows, 821, "CLASS");
inline constexpr std::size_t kIfKind = cmdtbl::const_off(kRows, 821, 17);
inline constexpr unsigned kBitIf = cmdtbl::arg_flag_bit(kRows, 821, "IF");
inline constexpr unsigned kBitIfClass = cmdtbl::arg_flag_bit(kRows, 821, "CLASS");
inline constexpr std::size_t kIfSize = cmdtbl::cmd_size(kRows, 821);
static_assert(cmdtbl::arg_off(kRows, 822, "IF") == kIf &&
              cmdtbl::arg_off(kRows, 822, "CLASS") == kIfClass &&
              cmdtbl::arg_flag_bit(kRows, 822, "CLASS") == kBitIfClass);
// 825: SSID name, optional class
inline constexpr std::size_t kSsid = cmdtbl::arg_off(kRows, 825, "SSID");
inline constexpr std::size_t kSsidWidth = cmdtbl::arg_width(kRows, 825, "SSID");
inline constexpr unsigned kBitSsid = cmdtbl::arg_flag_bit(kRows, 825, "SSID");
static_assert(cmdtbl::arg_off(kRows, 825, "CLASS") == kIfClass &&
              cmdtbl::arg_flag_bit(kRows, 825, "CLASS") == kBitIfClass &&
              cmdtbl::cmd_size(kRows, 825) == kIfSize);
}  // namespace qz_fed_qos_map_arg

// The class maps (810, 813, 816) and marker maps (850, 853, 856), one handler
// each, and their shows (812, 815, 818, 852, 855, 858).
int qz_fed_qos_map_dot1p(void* ctx, qz_fed_args_t args);
int qz_fed_qos_map_wmm(void* ctx, qz_fed_args_t args);
int qz_fed_qos_map_dscp(void* ctx, qz_fed_args_t args);
int qz_fed_qos_map_mkr_dot1p(void* ctx, qz_fed_args_t args);
int qz_fed_qos_map_mkr_wmm(void* ctx, qz_fed_args_t args);
int qz_fed_qos_map_mkr_dscp(void* ctx, qz_fed_args_t args);
int qz_fed_qos_map_dot1p_show(void* ctx, qz_fed_args_t args);
int qz_fed_qos_map_wmm_show(void* ctx, qz_fed_args_t args);
int qz_fed_qos_map_dscp_show(void* ctx, qz_fed_args_t args);
int qz_fed_qos_map_mkr_dot1p_show(void* ctx, qz_fed_args_t args);
int qz_fed_qos_map_mkr_wmm_show(void* ctx, qz_fed_args_t args);
int qz_fed_qos_map_mkr_dscp_show(void* ctx, qz_fed_args_t args);
// Named marker maps: add (860 802.1p, 859 DSCP), delete (861), show (862).
int qz_fed_qos_named_dot1p(void* ctx, qz_fed_args_t args);
int qz_fed_qos_named_dscp(void* ctx, qz_fed_args_t args);
int qz_fed_qos_named_delete(void* ctx, qz_fed_args_t args);
int qz_fed_qos_named_show(void* ctx, qz_fed_args_t args);
// MAC OUI classification (819) and its show (820).
int qz_fed_qos_oui(void* ctx, qz_fed_args_t args);
int qz_fed_qos_oui_show(void* ctx, qz_fed_args_t args);

// Interface classes: Ethernet (821), wireless sub-interface (822), shows (823, 824).
int qz_fed_qos_if_class_eth(void* ctx, qz_fed_args_t args);
int qz_fed_qos_if_class_wifi(void* ctx, qz_fed_args_t args);
int qz_fed_qos_if_class_eth_show(void* ctx, qz_fed_args_t args);
int qz_fed_qos_if_class_wifi_show(void* ctx, qz_fed_args_t args);
// Both kinds in one table (831).
int qz_fed_qos_if_class_all_show(void* ctx, qz_fed_args_t args);
// SSID class (825): kept in the SSID's QoS record and set on the
// sub-interfaces that carry the SSID; its show (826).
int qz_fed_qos_ssid_class(void* ctx, qz_fed_args_t args);
int qz_fed_qos_ssid_class_show(void* ctx, qz_fed_args_t args);

// Running configuration, at their places in the QoS step: the class maps and
// OUI classifications (after the classifier profiles), then the marker maps
// and named marker maps (after the marker profiles).
void qz_fed_qos_map_cls_cfg(void* out);
void qz_fed_qos_map_mkr_cfg(void* out);
// ... and the Ethernet interface and SSID classes, after the QoS policies.
void qz_fed_qos_map_if_cfg(void* out);
