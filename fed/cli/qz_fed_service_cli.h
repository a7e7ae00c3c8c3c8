// Services and ALG settings: command handlers, the service start-up, the
// service-classification lookup and the running-configuration emitters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

using qz_fed_svc_args_t = std::span<const std::uint8_t>;

// Argument records (byte offsets from the flag word).
namespace qz_fed_svc_arg {
inline constexpr std::size_t kName = 12;  // service name, 33 bytes
inline constexpr std::size_t kNameWidth = 33;
inline constexpr std::size_t kKeyword = 45;  // 832, 872: "tcp", "udp", "svp"; 1799: ALG keyword
inline constexpr std::size_t kKeywordWidth = 35;
// 832
inline constexpr std::size_t k832Port = 84;
inline constexpr std::size_t k832Timeout = 92;
inline constexpr std::size_t k832Size = 96;
// 872
inline constexpr std::size_t k872Port = 80;
inline constexpr std::size_t k872Timeout = 88;
inline constexpr std::size_t k872Size = 92;
// 833
inline constexpr std::size_t k833Protocol = 48;
inline constexpr std::size_t k833Port = 56;
inline constexpr std::size_t k833Timeout = 64;
inline constexpr std::size_t k833Size = 68;
// 873
inline constexpr std::size_t k873Timeout = 52;
inline constexpr std::size_t k873Size = 56;
// 834
inline constexpr std::size_t k834AppId = 48;
inline constexpr std::size_t k834Timeout = 56;
inline constexpr std::size_t k834Size = 60;
// 875, 897, 898
inline constexpr std::size_t kShowSize = 48;
// 835 (QoS option of a service)
inline constexpr std::size_t k835Class = 52;
inline constexpr std::size_t k835Action = 60;
inline constexpr std::size_t k835ActionWidth = 36;
inline constexpr std::size_t k835Size = 96;
// ALG commands: ALG name at 12, value at 48
inline constexpr std::size_t kAlgName = 12;
inline constexpr std::size_t kAlgNameWidth = 36;
inline constexpr std::size_t kAlgValue = 48;
inline constexpr std::size_t kAlgSize = 48;
inline constexpr std::size_t kAlgValueSize = 52;
inline constexpr std::size_t k1799Size = 80;
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
