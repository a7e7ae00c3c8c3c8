// Session and counter displays of the forwarding engine: the handlers read
// the FE's tables through the fe_ calls and print them on the CLI session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "fed/cli/qz_fed_fe_table.h"
#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_fe_sessions.h"

// Argument records of the session, gate and tunnel commands: places taken
// from the command rows.
namespace qz_fed_sess_arg {
using cmdtbl::arg_flag_bit;
using cmdtbl::arg_off;
using cmdtbl::arg_width;
inline constexpr auto& kSe = cmdtbl::kRowsFeSessions;

// 764, 766, 778, 780, 953, 956: a session or tunnel id (optional in 764, 766, 780)
inline constexpr std::size_t kId = arg_off(kSe, 764, "ID");
inline constexpr unsigned kIdBit = arg_flag_bit(kSe, 764, "ID");
static_assert(arg_off(kSe, 766, "ID") == kId && arg_off(kSe, 778, "ID") == kId &&
              arg_off(kSe, 780, "ID") == kId && arg_off(kSe, 953, "ID") == kId &&
              arg_off(kSe, 956, "ID") == kId);
static_assert(arg_flag_bit(kSe, 766, "ID") == kIdBit && arg_flag_bit(kSe, 780, "ID") == kIdBit);
// 765, 779: MAC session filter
inline constexpr std::size_t kSrcMac = arg_off(kSe, 765, "src-mac");
inline constexpr std::size_t kDstMac = arg_off(kSe, 765, "dst-mac");
inline constexpr std::size_t kVlan = arg_off(kSe, 765, "vlan");
inline constexpr unsigned kSrcMacBit = arg_flag_bit(kSe, 765, "src-mac");
inline constexpr unsigned kDstMacBit = arg_flag_bit(kSe, 765, "dst-mac");
inline constexpr unsigned kVlanBit = arg_flag_bit(kSe, 765, "vlan");
static_assert(arg_off(kSe, 779, "src-mac") == kSrcMac && arg_off(kSe, 779, "dst-mac") == kDstMac);
// 767, 781: IP session filter (the ALG type only in 767)
inline constexpr std::size_t kSrcIp = arg_off(kSe, 767, "src-ip");
inline constexpr std::size_t kDstIp = arg_off(kSe, 767, "dst-ip");
inline constexpr std::size_t kSrcPort = arg_off(kSe, 767, "src-port");
inline constexpr std::size_t kDstPort = arg_off(kSe, 767, "dst-port");
inline constexpr std::size_t kProtocol = arg_off(kSe, 767, "protocol");
inline constexpr std::size_t kAlg = arg_off(kSe, 767, "alg");
inline constexpr unsigned kAlgBit = arg_flag_bit(kSe, 767, "alg");
static_assert(arg_off(kSe, 781, "src-ip") == kSrcIp && arg_off(kSe, 781, "dst-ip") == kDstIp &&
              arg_off(kSe, 781, "src-port") == kSrcPort &&
              arg_off(kSe, 781, "dst-port") == kDstPort &&
              arg_off(kSe, 781, "protocol") == kProtocol);
// 772, 774, 952, 955: a station's MAC
inline constexpr std::size_t kStation = arg_off(kSe, 772, "station");
static_assert(arg_off(kSe, 774, "src-mac") == kStation &&
              arg_off(kSe, 952, "station") == kStation && arg_off(kSe, 955, "station") == kStation);
// 773: fragment ageout seconds
inline constexpr std::size_t kAgeout = arg_off(kSe, 773, "SECONDS");
inline constexpr unsigned kAgeoutBit = arg_flag_bit(kSe, 773, "SECONDS");
// 994: user profile and redirect name
inline constexpr std::size_t kUpName = arg_off(kSe, 994, "UP");
inline constexpr std::size_t kUpRedir = arg_off(kSe, 994, "redirect");
inline constexpr std::size_t kUpNameSize = arg_width(kSe, 994, "UP");
inline constexpr std::size_t kUpRedirSize = arg_width(kSe, 994, "redirect");
}  // namespace qz_fed_sess_arg

// The IP gate table (command 763), printed through `print` on `ctx`. 0, or
// the FE's failure code, or -1 when the list cannot be allocated.
int qz_fed_show_ip_gate_table(void* ctx, qz_fed_print_fn print);

// Each display below takes the command's argument record (flag word at 0)
// and prints through `print`: 0, or the failing call's result, or -1.
int qz_fed_show_mac_sessions(void* ctx, qz_fed_print_fn print,
                             std::span<const std::uint8_t> args);  // 764
int qz_fed_show_mac_sessions_filtered(void* ctx, qz_fed_print_fn print,
                                      std::span<const std::uint8_t> args);  // 765
int qz_fed_show_ip_sessions(void* ctx, qz_fed_print_fn print,
                            std::span<const std::uint8_t> args);  // 766
int qz_fed_show_ip_sessions_filtered(void* ctx, qz_fed_print_fn print,
                                     std::span<const std::uint8_t> args);  // 767

// Command handlers as the CLI agent calls them.
int qz_fed_cli_show_ip_gate(void* ctx, std::span<const std::uint8_t> args);        // 763
int qz_fed_cli_show_mac_session(void* ctx, std::span<const std::uint8_t> args);    // 764
int qz_fed_cli_filter_mac_session(void* ctx, std::span<const std::uint8_t> args);  // 765
int qz_fed_cli_show_ip_session(void* ctx, std::span<const std::uint8_t> args);     // 766
int qz_fed_cli_filter_ip_session(void* ctx, std::span<const std::uint8_t> args);   // 767
// Clearing sessions: the FE's answer is not the operator's concern, 0 always.
int qz_fed_cli_clear_mac_session_id(void* ctx, std::span<const std::uint8_t> args);      // 778
int qz_fed_cli_clear_mac_session_params(void* ctx, std::span<const std::uint8_t> args);  // 779
// 780 clears the one session whose id it carries (bit 0); without an id, none.
int qz_fed_cli_clear_ip_session_id(void* ctx, std::span<const std::uint8_t> args);      // 780
int qz_fed_cli_clear_ip_session_params(void* ctx, std::span<const std::uint8_t> args);  // 781

// FE operations tables, each printed through `print` like the displays above.
int qz_fed_show_policy_table(void* ctx, qz_fed_print_fn print);                        // 769
int qz_fed_show_frag_ageout(void* ctx, qz_fed_print_fn print);                         // 770
int qz_fed_show_fcb_list(void* ctx, qz_fed_print_fn print);                            // 771
int qz_fed_show_tunnel_table(void* ctx, qz_fed_print_fn print);                        // 775, 776
int qz_fed_show_unroam(void* ctx, qz_fed_print_fn print, const std::uint8_t* mac);     // 772
int qz_fed_show_member_if(void* ctx, qz_fed_print_fn print, const std::uint8_t* mac);  // 774

int qz_fed_cli_show_policy(void* ctx, std::span<const std::uint8_t> args);            // 769
int qz_fed_cli_show_frag_ageout(void* ctx, std::span<const std::uint8_t> args);       // 770
int qz_fed_cli_show_fcb(void* ctx, std::span<const std::uint8_t> args);               // 771
int qz_fed_cli_show_unroam(void* ctx, std::span<const std::uint8_t> args);            // 772
int qz_fed_cli_set_frag_ageout(void* ctx, std::span<const std::uint8_t> args);        // 773
int qz_fed_cli_show_member_if(void* ctx, std::span<const std::uint8_t> args);         // 774
int qz_fed_cli_show_tunnel(void* ctx, std::span<const std::uint8_t> args);            // 775, 776
int qz_fed_cli_clear_tunnel_counters(void* ctx, std::span<const std::uint8_t> args);  // 962

// Clearing GRE tunnels: platform event 113 with this 20-byte record (host
// order words, the station MAC as on the wire, 2 zero bytes).
namespace qz_gre_clear {
inline constexpr std::uint32_t kEvent = 113;
inline constexpr std::size_t kKind = 0;  // 1 client tunnels, 2 server tunnels
inline constexpr std::size_t kAll = 4;
inline constexpr std::size_t kTunnelId = 8;
inline constexpr std::size_t kStaMac = 12;
inline constexpr std::size_t kSize = 20;
inline constexpr std::uint32_t kClient = 1;
inline constexpr std::uint32_t kServer = 2;
}  // namespace qz_gre_clear
static_assert(qz_gre_clear::kStaMac + 6 + 2 == qz_gre_clear::kSize);

int qz_fed_cli_clear_gre_station(void* ctx, std::span<const std::uint8_t> args);         // 952
int qz_fed_cli_clear_gre_id(void* ctx, std::span<const std::uint8_t> args);              // 953
int qz_fed_cli_clear_gre_all(void* ctx, std::span<const std::uint8_t> args);             // 954
int qz_fed_cli_clear_gre_client_station(void* ctx, std::span<const std::uint8_t> args);  // 955
int qz_fed_cli_clear_gre_client_id(void* ctx, std::span<const std::uint8_t> args);       // 956
int qz_fed_cli_clear_gre_client_all(void* ctx, std::span<const std::uint8_t> args);      // 957

// A user profile's redirect setting in the configuration library: the plain
// form sets the name at 45, "no" clears it. The library's result.
int qz_fed_cli_up_redir(void* ctx, std::span<const std::uint8_t> args);  // 994
