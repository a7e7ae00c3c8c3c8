// QoS classification by service: the class and action the FE gives a
// service's flows (kernel codes 38-40), mirrored into the service's record in
// the configuration library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

using qz_fed_qos_args_t = std::span<const std::uint8_t>;

// Argument records (byte offsets from the flag word).
namespace qz_fed_qos_arg {
// 835: name (bit 0), class (bit 1), action text (bit 2)
inline constexpr std::size_t kSvcName = 12;
inline constexpr std::size_t kSvcNameWidth = 40;
inline constexpr std::size_t kSvcClass = 52;
inline constexpr std::size_t kSvcAction = 60;
inline constexpr std::size_t kSvcActionWidth = 36;
inline constexpr std::size_t kSvcSize = 96;
}  // namespace qz_fed_qos_arg

int qz_fed_qos_service_class(void* ctx, qz_fed_qos_args_t args);       // 835
int qz_fed_qos_service_class_show(void* ctx, qz_fed_qos_args_t args);  // 838

// "permit", "deny", either followed by "|log", or "log" alone; "" for none.
const char* qz_fed_qos_action_text(std::uint8_t action);
