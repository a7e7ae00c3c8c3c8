// Forwarding-engine settings and interface rate-limit commands: handlers,
// running-configuration emitters, and the argument records they read.
//
// A handler gets the command context (QZ_CMD_TYPE: 0 plain, 2 "no") and the
// argument record, which starts with the flag word (bit N = optional argument
// N given). Fields are read at the offsets below, never by a struct cast.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// ---- argument records (byte offsets from the flag word) ------------------------
namespace qz_fed_arg {
inline constexpr std::size_t kFlags = 0;
inline constexpr std::uint32_t kNoFlag = 0x80000000u;  // records fed writes in the "no" form
inline constexpr std::size_t kSwitchSize = 12;         // commands without arguments

// 963, 964, 979, 990: one word
inline constexpr std::size_t kValue = 12;
inline constexpr std::size_t kValueSize = 16;

// 794, 795: keyword at 12 (bit 0)
inline constexpr std::size_t kIcsaKeyword = 12;
inline constexpr std::size_t kIcsaKeywordWidth = 36;
inline constexpr std::size_t kIcsaSize = 48;

// 798: two interface names (bits 0, 1) and a MAC (bit 2)
inline constexpr std::size_t kVwireIf1 = 16;
inline constexpr std::size_t kVwireIf2 = 56;
inline constexpr std::size_t kVwireIfWidth = 40;
inline constexpr std::size_t kVwireMac = 96;
inline constexpr std::size_t kVwireSize = 104;

// 983: "unicast" or another keyword at 12, seconds at 48
inline constexpr std::size_t kRefreshKeyword = 12;
inline constexpr std::size_t kRefreshKeywordWidth = 36;
inline constexpr std::size_t kRefreshValue = 48;
inline constexpr std::size_t kRefreshSize = 52;

// 986, 987: address form at 12, address at 16, mask at 20 (bit 0)
inline constexpr std::size_t kMcastForm = 12;
inline constexpr std::size_t kMcastAddr = 16;
inline constexpr std::size_t kMcastMask = 20;
inline constexpr std::size_t kMcastSize = 24;
inline constexpr std::uint32_t kMcastFormSingle = 6;   // one address
inline constexpr std::uint32_t kMcastFormMasked = 23;  // address and mask

// 995, 996: interface at 12 (bit 0), start VLAN at 48 (bit 1), end VLAN at 56 (bit 2)
inline constexpr std::size_t kVlanIf = 12;
inline constexpr std::size_t kVlanIfWidth = 36;
inline constexpr std::size_t kVlanStart = 48;
inline constexpr std::size_t kVlanEnd = 56;
inline constexpr std::size_t kVlanSize = 60;
inline constexpr std::size_t kVlanShowSize = 48;

// 1020: FE filter fields; the bit of each is its kFfBit*
inline constexpr std::size_t kFfId = 16;
inline constexpr std::size_t kFfSrcMac = 24;
inline constexpr std::size_t kFfDstMac = 36;
inline constexpr std::size_t kFfEthertype = 48;
inline constexpr std::size_t kFfDirection = 52;  // "incoming-interface" or "outgoing-interface"
inline constexpr std::size_t kFfDirectionWidth = 40;
inline constexpr std::size_t kFfIf = 92;
inline constexpr std::size_t kFfIfWidth = 40;
inline constexpr std::size_t kFfSrcIp = 132;
inline constexpr std::size_t kFfDstIp = 140;
inline constexpr std::size_t kFfProtocol = 148;
inline constexpr std::size_t kFfSrcPort = 156;
inline constexpr std::size_t kFfDstPort = 164;
inline constexpr std::size_t kFfBidir = 168;  // non-zero word: both directions
inline constexpr std::size_t kFfSize = 172;
inline constexpr unsigned kFfBitId = 0;
inline constexpr unsigned kFfBitSrcMac = 1;
inline constexpr unsigned kFfBitDstMac = 2;
inline constexpr unsigned kFfBitEthertype = 3;
inline constexpr unsigned kFfBitIf = 4;
inline constexpr unsigned kFfBitSrcIp = 6;
inline constexpr unsigned kFfBitDstIp = 7;
inline constexpr unsigned kFfBitProtocol = 8;
inline constexpr unsigned kFfBitSrcPort = 9;
inline constexpr unsigned kFfBitDstPort = 10;
// 1021: id at 12 (bit 0)
inline constexpr std::size_t kFfDelId = 12;
inline constexpr std::size_t kFfDelSize = 16;
// 1022: id at 16 (bit 0), client MAC at 20 (bit 1)
inline constexpr std::size_t kFfDhcpId = 16;
inline constexpr std::size_t kFfDhcpMac = 20;
inline constexpr std::size_t kFfDhcpSize = 28;

// 947-951: interface at 16 (bit 0); 947: traffic keyword at 52 (bit 1); 948-950: rate at 52 (bit 1)
inline constexpr std::size_t kRlIfKind = 12;  // 17: the argument is an interface
inline constexpr std::uint32_t kRlIfKindValue = 17;
inline constexpr std::size_t kRlIf = 16;
inline constexpr std::size_t kRlIfWidth = 36;
inline constexpr std::size_t kRlArg = 52;
inline constexpr std::size_t kRlTypeWidth = 36;
inline constexpr std::size_t kRlSwitchSize = 88;
inline constexpr std::size_t kRlRateSize = 56;
inline constexpr std::size_t kRlShowSize = 52;
}  // namespace qz_fed_arg
static_assert(qz_fed_arg::kIcsaKeyword + qz_fed_arg::kIcsaKeywordWidth == qz_fed_arg::kIcsaSize);
static_assert(qz_fed_arg::kVwireIf1 + qz_fed_arg::kVwireIfWidth == qz_fed_arg::kVwireIf2);
static_assert(qz_fed_arg::kVwireIf2 + qz_fed_arg::kVwireIfWidth == qz_fed_arg::kVwireMac);
static_assert(qz_fed_arg::kVwireMac + 6 <= qz_fed_arg::kVwireSize);
static_assert(qz_fed_arg::kRefreshKeyword + qz_fed_arg::kRefreshKeywordWidth ==
              qz_fed_arg::kRefreshValue);
static_assert(qz_fed_arg::kMcastMask + 4 == qz_fed_arg::kMcastSize);
static_assert(qz_fed_arg::kVlanIf + qz_fed_arg::kVlanIfWidth == qz_fed_arg::kVlanStart);
static_assert(qz_fed_arg::kVlanEnd + 4 == qz_fed_arg::kVlanSize);
static_assert(qz_fed_arg::kFfDirection + qz_fed_arg::kFfDirectionWidth == qz_fed_arg::kFfIf);
static_assert(qz_fed_arg::kFfIf + qz_fed_arg::kFfIfWidth == qz_fed_arg::kFfSrcIp);
static_assert(qz_fed_arg::kFfBidir + 4 == qz_fed_arg::kFfSize);
static_assert(qz_fed_arg::kFfDhcpMac + 6 <= qz_fed_arg::kFfDhcpSize);
static_assert(qz_fed_arg::kRlIf + qz_fed_arg::kRlIfWidth == qz_fed_arg::kRlArg);
static_assert(qz_fed_arg::kRlArg + qz_fed_arg::kRlTypeWidth == qz_fed_arg::kRlSwitchSize);
static_assert(qz_fed_arg::kRlArg + 4 == qz_fed_arg::kRlRateSize);

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
