// Forwarding-engine settings and interface rate-limit commands: handlers,
// running-configuration emitters, and the argument records they read.
//
// A handler gets the command context (QZ_CMD_TYPE: 0 plain, 2 "no") and the
// argument record, which starts with the flag word (bit N = optional argument
// N given). Fields are read at the offsets below, never by a struct cast;
// each offset, width and bit comes from the command's row, so the two cannot differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_fe_settings.h"
#include "mgt/cli/fed/rows_rate_limit.h"

// ---- argument records: places taken from the command rows ---------------------
namespace qz_fed_arg {
using cmdtbl::arg_flag_bit;
using cmdtbl::arg_off;
using cmdtbl::arg_width;
using cmdtbl::cmd_size;
using cmdtbl::const_off;
inline constexpr auto& kFe = cmdtbl::kRowsFeSettings;
inline constexpr auto& kRl = cmdtbl::kRowsRateLimit;

inline constexpr std::size_t kFlags = 0;
inline constexpr std::uint32_t kNoFlag = cmdtbl::kNoFormBit;  // records fed writes in the "no" form
inline constexpr std::size_t kSwitchSize = cmd_size(kFe, 788);  // commands without arguments
static_assert(cmd_size(kFe, 789) == kSwitchSize && cmd_size(kFe, 790) == kSwitchSize &&
              cmd_size(kFe, 791) == kSwitchSize && cmd_size(kFe, 792) == kSwitchSize &&
              cmd_size(kFe, 797) == kSwitchSize && cmd_size(kFe, 985) == kSwitchSize &&
              cmd_size(kFe, 989) == kSwitchSize && cmd_size(kFe, 997) == kSwitchSize);

// 963, 964, 979, 990: one word
inline constexpr std::size_t kValue = arg_off(kFe, 963, "N");
inline constexpr std::size_t kValueSize = cmd_size(kFe, 963);
static_assert(arg_off(kFe, 964, "N") == kValue && arg_off(kFe, 979, "SECONDS") == kValue &&
              arg_off(kFe, 990, "SIZE") == kValue);
static_assert(cmd_size(kFe, 964) == kValueSize && cmd_size(kFe, 979) == kValueSize &&
              cmd_size(kFe, 990) == kValueSize);

// 794, 795: the logging or dropping keyword
inline constexpr std::size_t kIcsaKeyword = arg_off(kFe, 794, "log");
inline constexpr std::size_t kIcsaKeywordWidth = arg_width(kFe, 794, "log");
inline constexpr std::size_t kIcsaSize = cmd_size(kFe, 794);
inline constexpr unsigned kIcsaBit = arg_flag_bit(kFe, 794, "log");
static_assert(arg_off(kFe, 795, "drop") == kIcsaKeyword &&
              arg_width(kFe, 795, "drop") == kIcsaKeywordWidth && cmd_size(kFe, 795) == kIcsaSize &&
              arg_flag_bit(kFe, 795, "drop") == kIcsaBit);

// 798: two interface names and a MAC
inline constexpr std::size_t kVwireIf1 = arg_off(kFe, 798, "IF#1");
inline constexpr std::size_t kVwireIf2 = arg_off(kFe, 798, "IF#2");
inline constexpr std::size_t kVwireIfWidth = arg_width(kFe, 798, "IF#1");
inline constexpr std::size_t kVwireMac = arg_off(kFe, 798, "mac");
inline constexpr std::size_t kVwireSize = cmd_size(kFe, 798);
inline constexpr unsigned kVwireBitIf1 = arg_flag_bit(kFe, 798, "IF#1");
inline constexpr unsigned kVwireBitIf2 = arg_flag_bit(kFe, 798, "IF#2");
inline constexpr unsigned kVwireBitMac = arg_flag_bit(kFe, 798, "mac");
static_assert(arg_width(kFe, 798, "IF#2") == kVwireIfWidth);

// 983: "unicast" or another keyword, then seconds
inline constexpr std::size_t kRefreshKeyword = arg_off(kFe, 983, "mac-session-refresh-time");
inline constexpr std::size_t kRefreshKeywordWidth = arg_width(kFe, 983, "mac-session-refresh-time");
inline constexpr std::size_t kRefreshValue = arg_off(kFe, 983, "SECONDS");
inline constexpr std::size_t kRefreshSize = cmd_size(kFe, 983);

// 986, 987: address form (a constant of the alternative taken), address, mask
inline constexpr std::uint32_t kMcastFormSingle = 6;   // one address
inline constexpr std::uint32_t kMcastFormMasked = 23;  // address and mask
inline constexpr std::size_t kMcastForm = const_off(kFe, 986, kMcastFormSingle);
inline constexpr std::size_t kMcastAddr = arg_off(kFe, 986, "A.B.C.D");
inline constexpr std::size_t kMcastMask = arg_off(kFe, 986, "MASK");
inline constexpr std::size_t kMcastSize = cmd_size(kFe, 986);
inline constexpr unsigned kMcastBit = arg_flag_bit(kFe, 986, "A.B.C.D");
static_assert(const_off(kFe, 986, kMcastFormMasked) == kMcastForm &&
              const_off(kFe, 987, kMcastFormSingle) == kMcastForm &&
              const_off(kFe, 987, kMcastFormMasked) == kMcastForm &&
              arg_off(kFe, 987, "A.B.C.D") == kMcastAddr &&
              arg_off(kFe, 987, "MASK") == kMcastMask && cmd_size(kFe, 987) == kMcastSize &&
              arg_flag_bit(kFe, 987, "A.B.C.D") == kMcastBit);

// 995, 996: interface, start VLAN, end VLAN
inline constexpr std::size_t kVlanIf = arg_off(kFe, 995, "IF");
inline constexpr std::size_t kVlanIfWidth = arg_width(kFe, 995, "IF");
inline constexpr std::size_t kVlanStart = arg_off(kFe, 995, "vlan");
inline constexpr std::size_t kVlanEnd = arg_off(kFe, 995, "to");
inline constexpr std::size_t kVlanSize = cmd_size(kFe, 995);
inline constexpr std::size_t kVlanShowSize = cmd_size(kFe, 996);
inline constexpr unsigned kVlanBitIf = arg_flag_bit(kFe, 995, "IF");
inline constexpr unsigned kVlanBitStart = arg_flag_bit(kFe, 995, "vlan");
inline constexpr unsigned kVlanBitEnd = arg_flag_bit(kFe, 995, "to");
static_assert(arg_off(kFe, 996, "IF") == kVlanIf && arg_width(kFe, 996, "IF") == kVlanIfWidth);

// 1020: FE filter fields; the bit of each is its kFfBit*
inline constexpr std::size_t kFfId = arg_off(kFe, 1020, "ID");
inline constexpr std::size_t kFfSrcMac = arg_off(kFe, 1020, "src-mac");
inline constexpr std::size_t kFfDstMac = arg_off(kFe, 1020, "dst-mac");
inline constexpr std::size_t kFfEthertype = arg_off(kFe, 1020, "etype");
// "incoming-interface" or "outgoing-interface"
inline constexpr std::size_t kFfDirection = arg_off(kFe, 1020, "DIRECTION");
inline constexpr std::size_t kFfDirectionWidth = arg_width(kFe, 1020, "DIRECTION");
inline constexpr std::size_t kFfIf = arg_off(kFe, 1020, "IF");
inline constexpr std::size_t kFfIfWidth = arg_width(kFe, 1020, "IF");
inline constexpr std::size_t kFfSrcIp = arg_off(kFe, 1020, "src-ip");
inline constexpr std::size_t kFfDstIp = arg_off(kFe, 1020, "dst-ip");
inline constexpr std::size_t kFfProtocol = arg_off(kFe, 1020, "protocol");
inline constexpr std::size_t kFfSrcPort = arg_off(kFe, 1020, "src-port");
inline constexpr std::size_t kFfDstPort = arg_off(kFe, 1020, "dst-port");
inline constexpr std::size_t kFfBidir = arg_off(kFe, 1020, "bidirectional");  // non-zero: both ways
inline constexpr std::size_t kFfSize = cmd_size(kFe, 1020);
inline constexpr unsigned kFfBitId = arg_flag_bit(kFe, 1020, "ID");
inline constexpr unsigned kFfBitSrcMac = arg_flag_bit(kFe, 1020, "src-mac");
inline constexpr unsigned kFfBitDstMac = arg_flag_bit(kFe, 1020, "dst-mac");
inline constexpr unsigned kFfBitEthertype = arg_flag_bit(kFe, 1020, "etype");
inline constexpr unsigned kFfBitIf = arg_flag_bit(kFe, 1020, "IF");
inline constexpr unsigned kFfBitSrcIp = arg_flag_bit(kFe, 1020, "src-ip");
inline constexpr unsigned kFfBitDstIp = arg_flag_bit(kFe, 1020, "dst-ip");
inline constexpr unsigned kFfBitProtocol = arg_flag_bit(kFe, 1020, "protocol");
inline constexpr unsigned kFfBitSrcPort = arg_flag_bit(kFe, 1020, "src-port");
inline constexpr unsigned kFfBitDstPort = arg_flag_bit(kFe, 1020, "dst-port");
static_assert(arg_flag_bit(kFe, 1020, "DIRECTION") == kFfBitIf);
// 1021: id
inline constexpr std::size_t kFfDelId = arg_off(kFe, 1021, "ID");
inline constexpr std::size_t kFfDelSize = cmd_size(kFe, 1021);
inline constexpr unsigned kFfDelBitId = arg_flag_bit(kFe, 1021, "ID");
// 1022: id, client MAC
inline constexpr std::size_t kFfDhcpId = arg_off(kFe, 1022, "ID");
inline constexpr std::size_t kFfDhcpMac = arg_off(kFe, 1022, "dhcp-client");
inline constexpr std::size_t kFfDhcpSize = cmd_size(kFe, 1022);
inline constexpr unsigned kFfDhcpBitId = arg_flag_bit(kFe, 1022, "ID");
inline constexpr unsigned kFfDhcpBitMac = arg_flag_bit(kFe, 1022, "dhcp-client");

// 947-951: interface; 947: traffic keyword; 948-950: rate (the same place)
inline constexpr std::uint32_t kRlIfKindValue = 17;  // the argument is an interface
inline constexpr std::size_t kRlIfKind = const_off(kRl, 947, kRlIfKindValue);
inline constexpr std::size_t kRlIf = arg_off(kRl, 947, "IF");
inline constexpr std::size_t kRlIfWidth = arg_width(kRl, 947, "IF");
inline constexpr std::size_t kRlArg = arg_off(kRl, 947, "rate-limit");
inline constexpr std::size_t kRlTypeWidth = arg_width(kRl, 947, "rate-limit");
inline constexpr std::size_t kRlSwitchSize = cmd_size(kRl, 947);
inline constexpr std::size_t kRlRateSize = cmd_size(kRl, 948);
inline constexpr std::size_t kRlShowSize = cmd_size(kRl, 951);
inline constexpr std::uint32_t kRlFlags =
    1u << arg_flag_bit(kRl, 947, "IF") | 1u << arg_flag_bit(kRl, 947, "rate-limit");
static_assert(arg_off(kRl, 948, "KBPS") == kRlArg && arg_off(kRl, 949, "KBPS") == kRlArg &&
              arg_off(kRl, 950, "KBPS") == kRlArg);
static_assert(cmd_size(kRl, 949) == kRlRateSize && cmd_size(kRl, 950) == kRlRateSize);
static_assert(const_off(kRl, 948, kRlIfKindValue) == kRlIfKind &&
              const_off(kRl, 949, kRlIfKindValue) == kRlIfKind &&
              const_off(kRl, 950, kRlIfKindValue) == kRlIfKind &&
              const_off(kRl, 951, kRlIfKindValue) == kRlIfKind);
static_assert(arg_off(kRl, 948, "IF") == kRlIf && arg_off(kRl, 949, "IF") == kRlIf &&
              arg_off(kRl, 950, "IF") == kRlIf && arg_off(kRl, 951, "IF") == kRlIf);
static_assert(kRlFlags ==
              (1u << arg_flag_bit(kRl, 948, "IF") | 1u << arg_flag_bit(kRl, 948, "KBPS")));
}  // namespace qz_fed_arg

// ---- CLI result codes ----------------------------------------------------------
inline constexpr int QZ_FED_RC_VLAN_RANGE = 0x30008;
inline constexpr int QZ_FED_RC_TCP_MSS_SWITCH = 0x3001A;
inline constexpr int QZ_FED_RC_TCP_MSS_SIZE = 0x3001B;
inline constexpr int QZ_FED_RC_TCP_MSS_SIZE_GET = 0x3001C;
inline constexpr int QZ_FED_RC_TCP_MSS_GET = 0x3001D;
inline constexpr int QZ_FED_RC_NOT_APPLICABLE = 0x30032;
inline constexpr int QZ_FED_RC_MCAST_MODE = 0x3007F;
inline constexpr int QZ_FED_RC_MCAST_LIST = 0x30080;
inline constexpr int QZ_FED_RC_MCAST_GET = 0x30081;

// The argument record as the CLI agent hands it over (mgt/cli/fed/qz_cli_agt_auto.h).
using qz_fed_args_t = std::span<const std::uint8_t>;

// ---- FE switches and values (qz_fed_cli.cpp); each returns 0 or a failure code
int qz_fed_cli_fe_status(void* ctx, qz_fed_args_t args);              // 788
int qz_fed_cli_sess_sync_vlan(void* ctx, qz_fed_args_t args);         // 789
int qz_fed_cli_proxy_arp(void* ctx, qz_fed_args_t args);              // 790
int qz_fed_cli_enhanced_proxy(void* ctx, qz_fed_args_t args);         // 791
int qz_fed_cli_proxy_arp_strict(void* ctx, qz_fed_args_t args);       // 792
int qz_fed_cli_icsa_log(void* ctx, qz_fed_args_t args);               // 794
int qz_fed_cli_icsa_drop(void* ctx, qz_fed_args_t args);              // 795
int qz_fed_cli_icsa_show(void* ctx, qz_fed_args_t args);              // 796
int qz_fed_cli_inter_ssid_flood(void* ctx, qz_fed_args_t args);       // 797
int qz_fed_cli_inter_ssid_flood_show(void* ctx, qz_fed_args_t args);  // 768
int qz_fed_cli_vwire(void* ctx, qz_fed_args_t args);                  // 798
int qz_fed_cli_max_ip_sessions(void* ctx, qz_fed_args_t args);        // 963
int qz_fed_cli_max_mac_sessions(void* ctx, qz_fed_args_t args);       // 964
int qz_fed_cli_max_ip_sessions_show(void* ctx, qz_fed_args_t args);   // 965
int qz_fed_cli_max_mac_sessions_show(void* ctx, qz_fed_args_t args);  // 966
int qz_fed_cli_notify_interval(void* ctx, qz_fed_args_t args);        // 979
int qz_fed_cli_notify_interval_show(void* ctx, qz_fed_args_t args);   // 980
int qz_fed_cli_mac_refresh(void* ctx, qz_fed_args_t args);            // 983
int qz_fed_cli_mac_refresh_show(void* ctx, qz_fed_args_t args);       // 984
int qz_fed_cli_tcp_mss(void* ctx, qz_fed_args_t args);                // 989
int qz_fed_cli_tcp_mss_size(void* ctx, qz_fed_args_t args);           // 990
int qz_fed_cli_tcp_mss_show(void* ctx, qz_fed_args_t args);           // 991
int qz_fed_cli_reg_ports_show(void* ctx, qz_fed_args_t args);         // 992
int qz_fed_cli_pmtud(void* ctx, qz_fed_args_t args);                  // 997
int qz_fed_cli_pmtud_show(void* ctx, qz_fed_args_t args);             // 998

// ---- tunnel multicast lists (qz_fed_mcast_cli.cpp)
int qz_fed_cli_mcast_block_all(void* ctx, qz_fed_args_t args);  // 985
int qz_fed_cli_mcast_block(void* ctx, qz_fed_args_t args);      // 986
int qz_fed_cli_mcast_allow(void* ctx, qz_fed_args_t args);      // 987
int qz_fed_cli_mcast_show(void* ctx, qz_fed_args_t args);       // 988

// ---- layer-2 default-route VLANs (qz_fed_vlan_cli.cpp)
int qz_fed_cli_route_vlan(void* ctx, qz_fed_args_t args);       // 995
int qz_fed_cli_route_vlan_show(void* ctx, qz_fed_args_t args);  // 996

// ---- FE filters (qz_fed_ff_cli.cpp)
int qz_fed_cli_ff_set(void* ctx, qz_fed_args_t args);     // 1020
int qz_fed_cli_ff_delete(void* ctx, qz_fed_args_t args);  // 1021
int qz_fed_cli_ff_dhcp(void* ctx, qz_fed_args_t args);    // 1022
int qz_fed_cli_ff_show(void* ctx, qz_fed_args_t args);    // 1023

// ---- interface rate limits (qz_fed_rl_cli.cpp)
int qz_fed_rl_cli_switch(void* ctx, qz_fed_args_t args);      // 947
int qz_fed_rl_cli_mcast_rate(void* ctx, qz_fed_args_t args);  // 948
int qz_fed_rl_cli_bcast_rate(void* ctx, qz_fed_args_t args);  // 949
int qz_fed_rl_cli_ucast_rate(void* ctx, qz_fed_args_t args);  // 950
int qz_fed_rl_cli_show(void* ctx, qz_fed_args_t args);        // 951

// ---- running-configuration emitters: add type-7 records to `out`
void qz_fed_rl_cli_cfg(void* out);           // interface rate limits
void qz_fed_cli_cfg_fe_settings(void* out);  // forwarding-engine settings
void qz_fed_cli_cfg_route_vlan(void* out);   // default-route VLANs
