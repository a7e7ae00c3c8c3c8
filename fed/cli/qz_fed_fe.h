// The FE settings the commands switch and tune: set and read numbers, with
// the description text each fe_ call carries.
#pragma once

#include <cstdint>

namespace fedcli {

struct FeSetting {
    std::uint32_t set;
    std::uint32_t read;  // 0: set only
    const char* set_text;
    const char* read_text;
};

inline constexpr FeSetting kFeStatus{56, 0, "set FE status", nullptr};
inline constexpr FeSetting kProxyArp{57, 58, "set proxy arp status", "get proxy arp status"};
inline constexpr FeSetting kEnhancedProxy{59, 60, "set enhanced proxy status",
                                          "get enhanced proxy status"};
inline constexpr FeSetting kProxyArpStrict{61, 62, "set proxy arp status", "get proxy arp status"};
inline constexpr FeSetting kInterSsidFlood{65, 66, "set inter-ssid flood status",
                                           "get inter-ssid flood status"};
inline constexpr FeSetting kUcastRefresh{16, 17, "set unicast MAC session refresh time",
                                         "get unicast MAC session refresh time"};
inline constexpr FeSetting kBcastRefresh{18, 19, "set broadcast MAC session refresh time",
                                         "get broadcast MAC session refresh time"};
inline constexpr FeSetting kMaxMacSessions{76, 77, "set max session per station",
                                           "get max session per station"};
inline constexpr FeSetting kMaxIpSessions{78, 79, "set max session per station",
                                          "get max session per station"};
inline constexpr FeSetting kFwDropLog{101, 0, "set firewall log deny", nullptr};
inline constexpr FeSetting kToSelfLog{103, 0, "set to-self traffic log", nullptr};
inline constexpr FeSetting kNonMgtDrop{105, 0, "set non mgt traffic drop", nullptr};
inline constexpr FeSetting kFragDrop{107, 0, "set ip fragment drop", nullptr};
inline constexpr FeSetting kMcastBlockAll{122, 0, "set tunnel selective_multicast_forward",
                                          nullptr};
inline constexpr FeSetting kTcpMss{126, 127, "set tunnel TCP MSS threshold enable or disable",
                                   "get tunnel TCP MSS threshold status"};
inline constexpr FeSetting kTcpMssSize{128, 129, "set tunnel TCP MSS threshold size",
                                       "get tunnel TCP MSS threshold size"};
inline constexpr FeSetting kPmtud{130, 131, "set ip PMTUD enable or disable",
                                  "get ip PMTUD status"};
inline constexpr FeSetting kSessSyncVlan{157, 158, "set FE sess sync vlan status",
                                         "get FE sess sync vlan status"};

// Kernel channel codes of the notification interval: 8-byte record, i32 result, u32 seconds.
inline constexpr std::uint16_t kNotifyRead = 140;
inline constexpr std::uint16_t kNotifySet = 141;
inline constexpr std::uint32_t kNotifyDefault = 600;

// Event that tells the configuration daemon whether proxy ARP is on (u32 0 or 1).
inline constexpr std::uint32_t kEventProxyArp = 247;

}  // namespace fedcli
