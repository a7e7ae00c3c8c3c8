// Services and ALG settings: command handlers, the service start-up, the
// service-classification lookup and the running-configuration emitters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_qos_class.h"
#include "mgt/cli/fed/rows_service.h"

using qz_fed_svc_args_t = std::span<const std::uint8_t>;

// Argument records: places taken from the command rows.
namespace qz_fed_svc_arg {
using cmdtbl::arg_flag_bit;
using cmdtbl::arg_off;
using cmdtbl::arg_width;
using cmdtbl::cmd_size;
inline constexpr auto& kSv = cmdtbl::kRowsService;
inline constexpr auto& kQos = cmdtbl::kRowsQosClass;

// The service name, first in every service command
inline constexpr std::size_t kName = arg_off(kSv, 832, "NAME");
inline constexpr std::size_t kNameWidth = arg_width(kSv, 832, "NAME");
inline constexpr unsigned kNameBit = arg_flag_bit(kSv, 875, "NAME");  // 875, 897, 898
static_assert(arg_off(kSv, 833, "NAME") == kName && arg_off(kSv, 834, "NAME") == kName &&
              arg_off(kSv, 872, "NAME") == kName && arg_off(kSv, 873, "NAME") == kName &&
              arg_off(kSv, 875, "NAME") == kName && arg_off(kSv, 897, "NAME") == kName &&
              arg_off(kSv, 898, "NAME") == kName && arg_off(kSv, 1799, "NAME") == kName &&
              arg_off(kQos, 835, "NAME") == kName);
static_assert(arg_width(kSv, 833, "NAME") == kNameWidth &&
              arg_width(kSv, 834, "NAME") == kNameWidth &&
              arg_width(kSv, 872, "NAME") == kNameWidth &&
              arg_width(kSv, 873, "NAME") == kNameWidth &&
              arg_width(kSv, 875, "NAME") == kNameWidth &&
              arg_width(kSv, 1799, "NAME") == kNameWidth);
static_assert(arg_flag_bit(kSv, 897, "NAME") == kNameBit &&
              arg_flag_bit(kSv, 898, "NAME") == kNameBit);
// 832, 872: "tcp", "udp", "svp"; 1799: ALG keyword
inline constexpr std::size_t kKeyword = arg_off(kSv, 832, "protocol");
inline constexpr std::size_t kKeywordWidth = arg_width(kSv, 832, "protocol");
static_assert(arg_off(kSv, 872, "ip-protocol") == kKeyword &&
              arg_width(kSv, 872, "ip-protocol") == kKeywordWidth &&
              arg_off(kSv, 1799, "alg") == kKeyword &&
              arg_width(kSv, 1799, "alg") == kKeywordWidth);
// 832 and 872 give their port and timeout the same flag bits
inline constexpr unsigned kBitPort = arg_flag_bit(kSv, 832, "port");
inline constexpr unsigned kBitTimeout = arg_flag_bit(kSv, 832, "timeout");
static_assert(arg_flag_bit(kSv, 872, "port") == kBitPort &&
              arg_flag_bit(kSv, 872, "timeout") == kBitTimeout);
// 832
inline constexpr std::size_t k832Port = arg_off(kSv, 832, "port");
inline constexpr std::size_t k832Timeout = arg_off(kSv, 832, "timeout");
inline constexpr std::size_t k832Size = cmd_size(kSv, 832);
// 872
inline constexpr std::size_t k872Port = arg_off(kSv, 872, "port");
inline constexpr std::size_t k872Timeout = arg_off(kSv, 872, "timeout");
inline constexpr std::size_t k872Size = cmd_size(kSv, 872);
// 833
inline constexpr std::size_t k833Protocol = arg_off(kSv, 833, "PROTOCOL");
inline constexpr std::size_t k833Port = arg_off(kSv, 833, "port");
inline constexpr std::size_t k833Timeout = arg_off(kSv, 833, "timeout");
inline constexpr std::size_t k833Size = cmd_size(kSv, 833);
inline constexpr unsigned k833BitPort = arg_flag_bit(kSv, 833, "port");
inline constexpr unsigned k833BitTimeout = arg_flag_bit(kSv, 833, "timeout");
// 873
inline constexpr std::size_t k873Timeout = arg_off(kSv, 873, "timeout");
inline constexpr std::size_t k873Size = cmd_size(kSv, 873);
inline constexpr unsigned k873BitTimeout = arg_flag_bit(kSv, 873, "timeout");
// 834
inline constexpr std::size_t k834AppId = arg_off(kSv, 834, "app-id");
inline constexpr std::size_t k834Timeout = arg_off(kSv, 834, "timeout");
inline constexpr std::size_t k834Size = cmd_size(kSv, 834);
inline constexpr unsigned k834BitTimeout = arg_flag_bit(kSv, 834, "timeout");
// 875, 897, 898
inline constexpr std::size_t kShowSize = cmd_size(kSv, 875);
static_assert(cmd_size(kSv, 897) == kShowSize && cmd_size(kSv, 898) == kShowSize);
// 835 (QoS option of a service)
inline constexpr std::size_t k835Class = arg_off(kQos, 835, "CLASS");
inline constexpr std::size_t k835Action = arg_off(kQos, 835, "action");
inline constexpr std::size_t k835ActionWidth = arg_width(kQos, 835, "action");
inline constexpr std::size_t k835Size = cmd_size(kQos, 835);
// ALG commands: ALG name, then the value of 1800-1802
inline constexpr std::size_t kAlgName = arg_off(kSv, 804, "alg");
inline constexpr std::size_t kAlgNameWidth = arg_width(kSv, 804, "alg");
inline constexpr std::size_t kAlgValue = arg_off(kSv, 1800, "qos");
inline constexpr std::size_t kAlgSize = cmd_size(kSv, 804);
inline constexpr std::size_t kAlgValueSize = cmd_size(kSv, 1800);
inline constexpr std::size_t k1799Size = cmd_size(kSv, 1799);
inline constexpr unsigned kAlgShowBit = arg_flag_bit(kSv, 1803, "alg");
// Flag words the running-configuration records start from.
inline constexpr std::uint32_t k832Flags = cmdtbl::form_flags(kSv, 832);
inline constexpr std::uint32_t k833Flags = cmdtbl::form_flags(kSv, 833);
inline constexpr std::uint32_t k834Flags = cmdtbl::form_flags(kSv, 834);
inline constexpr std::uint32_t k835Flags = cmdtbl::form_flags(kQos, 835) |
                                           1u << arg_flag_bit(kQos, 835, "CLASS") |
                                           1u << arg_flag_bit(kQos, 835, "action");
inline constexpr std::uint32_t kAlgFlags = cmdtbl::form_flags(kSv, 804);
inline constexpr std::uint32_t kAlgValueFlags = cmdtbl::form_flags(kSv, 1800);
inline constexpr std::uint32_t k1799Flags = cmdtbl::form_flags(kSv, 1799);
inline constexpr std::uint32_t k1799NoFlags = cmdtbl::form_flags(kSv, 1799, true);
static_assert(cmdtbl::form_flags(kSv, 1801) == kAlgValueFlags &&
              cmdtbl::form_flags(kSv, 1802) == kAlgValueFlags);
static_assert(arg_off(kSv, 1800, "alg") == kAlgName && arg_off(kSv, 1801, "alg") == kAlgName &&
              arg_off(kSv, 1802, "alg") == kAlgName && arg_off(kSv, 1803, "alg") == kAlgName);
static_assert(arg_width(kSv, 1800, "alg") == kAlgNameWidth &&
              arg_width(kSv, 1801, "alg") == kAlgNameWidth &&
              arg_width(kSv, 1802, "alg") == kAlgNameWidth &&
              arg_width(kSv, 1803, "alg") == kAlgNameWidth);
static_assert(arg_off(kSv, 1801, "inactive-data-timeout") == kAlgValue &&
              arg_off(kSv, 1802, "max-duration") == kAlgValue);
static_assert(cmd_size(kSv, 1801) == kAlgValueSize && cmd_size(kSv, 1802) == kAlgValueSize &&
              cmd_size(kSv, 1803) == kAlgSize);
}  // namespace qz_fed_svc_arg

int qz_fed_service_define_keyword(void* ctx, qz_fed_svc_args_t args);  // 832
int qz_fed_service_define_tcp_udp(void* ctx, qz_fed_svc_args_t args);  // 872
int qz_fed_service_define_number(void* ctx, qz_fed_svc_args_t args);   // 833
int qz_fed_service_define_svp(void* ctx, qz_fed_svc_args_t args);      // 873
int qz_fed_service_define_app_id(void* ctx, qz_fed_svc_args_t args);   // 834
int qz_fed_service_show(void* ctx, qz_fed_svc_args_t args);            // 875
int qz_fed_service_stats_show(void* ctx, qz_fed_svc_args_t args);      // 897
int qz_fed_service_stats_clear(void* ctx, qz_fed_svc_args_t args);     // 898

int qz_fed_alg_enable(void* ctx, qz_fed_svc_args_t args);            // 804
int qz_fed_alg_bind_service(void* ctx, qz_fed_svc_args_t args);      // 1799
int qz_fed_alg_qos(void* ctx, qz_fed_svc_args_t args);               // 1800
int qz_fed_alg_inactive_timeout(void* ctx, qz_fed_svc_args_t args);  // 1801
int qz_fed_alg_max_duration(void* ctx, qz_fed_svc_args_t args);      // 1802
int qz_fed_alg_show(void* ctx, qz_fed_svc_args_t args);              // 1803

// Service-classification lookup: the FE's QoS action and class of a service,
// permit (1) and class 2 when the FE has none. 0, or -1 (outputs then hold
// permit and 2) for a name over 32 characters or a failed request.
int qz_fed_service_qos_lookup(const char* name, std::uint8_t* action, std::uint8_t* qos_class);

// Start-up: services into the configuration library, the ALGs' max durations
// from the FE, and on the first run the ALG binding of ftp, tftp, sip and dns.
// 0, or -1 when reading the services or the ALG configuration failed.
int qz_fed_service_startup();

// Running-configuration steps: services (1) and ALG configuration (10).
void qz_fed_service_cfg(void* out);
void qz_fed_alg_cfg(void* out);

// ALG names by type: "-", "ftp", "tftp", "sip", "dns", "dhcp", "http".
const char* qz_fed_alg_name(std::uint32_t alg_type);
