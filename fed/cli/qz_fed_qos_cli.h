// QoS classification by service: the class and action the FE gives a
// service's flows (kernel codes 38-40), mirrored into the service's record in
// the configuration library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_qos_class.h"

using qz_fed_qos_args_t = std::span<const std::uint8_t>;

// Argument records: places taken from the command rows.
namespace qz_fed_qos_arg {
inline constexpr auto& kQos = cmdtbl::kRowsQosClass;
// 835: name, class, action text
inline constexpr std::size_t kSvcName = cmdtbl::arg_off(kQos, 835, "NAME");
inline constexpr std::size_t kSvcNameWidth = cmdtbl::arg_width(kQos, 835, "NAME");
inline constexpr std::size_t kSvcClass = cmdtbl::arg_off(kQos, 835, "CLASS");
inline constexpr std::size_t kSvcAction = cmdtbl::arg_off(kQos, 835, "action");
inline constexpr std::size_t kSvcActionWidth = cmdtbl::arg_width(kQos, 835, "action");
inline constexpr std::size_t kSvcSize = cmdtbl::cmd_size(kQos, 835);
inline constexpr unsigned kSvcBitClass = cmdtbl::arg_flag_bit(kQos, 835, "CLASS");
inline constexpr unsigned kSvcBitAction = cmdtbl::arg_flag_bit(kQos, 835, "action");
}  // namespace qz_fed_qos_arg

int qz_fed_qos_service_class(void* ctx, qz_fed_qos_args_t args);       // 835
int qz_fed_qos_service_class_show(void* ctx, qz_fed_qos_args_t args);  // 838

// "permit", "deny", either followed by "|log", or "log" alone; "" for none.
const char* qz_fed_qos_action_text(std::uint8_t action);
