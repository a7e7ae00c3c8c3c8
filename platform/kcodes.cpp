#include "platform/kcodes.h"

#include "platform/qos_map_msg.h"
#include "platform/qos_msg.h"
#include "platform/qos_policy_msg.h"
#include "platform/rl_msg.h"
#include "platform/svc_msg.h"
#include "platform/up_msg.h"

namespace {

struct KcodeRow {
    std::uint16_t code;
    std::size_t size;
};

// One row per code; every record starts with the i32 result the kernel writes.
constexpr KcodeRow kKcodes[] = {
    {7, qz_qos_bind_msg::kSize},      // bind a classifier profile to an interface
    {8, qz_qos_bind_msg::kSize},      // unbind a classifier profile
    {9, qz_qos_bind_msg::kSize},      // read an interface's classifier binding
    {10, qz_qos_bind_msg::kSize},     // bind a marker profile to an interface
    {11, qz_qos_bind_msg::kSize},     // unbind a marker profile
    {12, qz_qos_bind_msg::kSize},     // read an interface's marker binding
    {20, qz_qos_cls_msg::kSize},      // classifier profile set
    {21, qz_qos_cls_msg::kSize},      // classifier profile delete
    {22, qz_qos_cls_msg::kSize},      // read one classifier profile or all
    {23, qz_qos_map_msg::kSize},      // 802.1p class map set
    {24, qz_qos_map_msg::kSize},      // 802.1p class map reset
    {25, qz_qos_map_msg::kSize},      // read the 802.1p class map
    {26, qz_qos_map_msg::kSize},      // 802.11e class map set
    {27, qz_qos_map_msg::kSize},      // 802.11e class map reset
    {28, qz_qos_map_msg::kSize},      // read the 802.11e class map
    {29, qz_qos_map_msg::kDscpSize},  // DSCP class map set
    {30, qz_qos_map_msg::kDscpSize},  // DSCP class map reset
    {31, qz_qos_map_msg::kDscpSize},  // read the DSCP class map
    {32, qz_qos_oui_msg::kSize},      // MAC OUI classification set
    {33, qz_qos_oui_msg::kSize},      // MAC OUI classification delete
    {34, qz_qos_oui_msg::kSize},      // read the MAC OUI classification table
    {35, qz_qos_ifcls_msg::kSize},    // interface class set
    {36, qz_qos_ifcls_msg::kSize},    // interface class clear
    {37, qz_qos_ifcls_msg::kSize},    // read an interface's class
    {38, qz_svc_cls_msg::kSize},      // service classification set
    {39, qz_svc_cls_msg::kSize},      // service classification unset
    {40, qz_svc_cls_msg::kSize},      // service classification read
    {60, qz_qos_mkr_msg::kSize},      // marker profile set
    {61, qz_qos_mkr_msg::kSize},      // marker profile delete
    {62, qz_qos_mkr_msg::kSize},      // read one marker profile or all
    {63, qz_qos_map_msg::kSize},      // 802.1p marker map set
    {64, qz_qos_map_msg::kSize},      // 802.1p marker map reset
    {65, qz_qos_map_msg::kSize},      // read the 802.1p marker map
    {66, qz_qos_map_msg::kSize},      // 802.11e marker map set
    {67, qz_qos_map_msg::kSize},      // 802.11e marker map reset
    {68, qz_qos_map_msg::kSize},      // read the 802.11e marker map
    {69, qz_qos_map_msg::kSize},      // DSCP marker map set
    {70, qz_qos_map_msg::kSize},      // DSCP marker map reset
    {71, qz_qos_map_msg::kSize},      // read the DSCP marker map
    {72, qz_qos_nmap_msg::kSize},     // named marker map entry add
    {73, qz_qos_nmap_msg::kSize},     // named marker map or entry delete
    {74, qz_qos_nmap_msg::kSize},     // read one named marker map or all of a kind
    {110, qz_svc_msg::kSize},         // service add or update
    {111, qz_svc_msg::kSize},         // read one service or the table
    {112, qz_svc_msg::kSize},         // service delete
    {113, qz_svc_msg::kSize},         // clear service statistics
    {120, qz_up_msg::kSize},          // user profile set
    {121, qz_up_msg::kSize},          // read one user profile, or the list form
    {122, qz_up_msg::kSize},          // user profile delete
    {125, qz_rl_msg::kSize},          // interface rate limit: enable the flagged types
    {126, qz_rl_msg::kSize},          // interface rate limit: disable the flagged types
    {127, qz_rl_msg::kSize},          // interface rate limit: set the selected rate
    {128, qz_rl_msg::kSize},          // interface rate limit: read an interface's record
    {130, qz_alg_cfg_msg::kSize},     // ALG option set
    {131, qz_alg_cfg_msg::kSize},     // read the ALG configuration table
    {135, qz_qos_ssid_msg::kSize},    // SSID QoS record set
    {136, qz_qos_ssid_msg::kSize},    // SSID QoS record delete
    {137, qz_qos_ssid_msg::kSize},    // read an SSID's QoS record
    {138, qz_up_airtime::kSize},      // user profile airtime share set
    {139, qz_up_airtime::kSize},      // user profile airtime share read
    // QoS switches, policies, VLAN QoS, snapshot, statistics
    {1, qz_qos_global_msg::kSize},        // QoS on
    {2, qz_qos_global_msg::kSize},        // read the QoS switches
    {3, qz_qos_global_msg::kSize},        // QoS off
    {13, qz_qos_global_msg::kSize},       // airtime-based QoS set
    {14, qz_qos_global_msg::kSize},       // airtime-based QoS read
    {15, qz_qos_global_msg::kSize},       // rate preference weight set
    {16, qz_qos_global_msg::kSize},       // rate preference weight read
    {4, qz_qos_policy_msg::kSize},        // QoS policy set (one class)
    {5, qz_qos_policy_msg::kSize},        // QoS policy delete
    {6, qz_qos_policy_msg::kSize},        // read the QoS policies
    {90, qz_qos_vlan_msg::kSize},         // default-VLAN QoS set
    {91, qz_qos_vlan_msg::kSize},         // default-VLAN QoS reset
    {92, qz_qos_vlan_msg::kSize},         // default-VLAN QoS read
    {93, qz_qos_vlan_msg::kSize},         // VLAN QoS set
    {94, qz_qos_vlan_msg::kSize},         // VLAN QoS delete
    {95, qz_qos_vlan_msg::kSize},         // VLAN QoS read
    {100, qz_qos_snap_msg::kSize},        // performance snapshot on
    {101, qz_qos_snap_msg::kSize},        // performance snapshot off
    {102, qz_qos_snap_msg::kSize},        // performance snapshot read
    {103, qz_qos_user_stats_msg::kSize},  // read a user's QoS statistics
    {105, qz_qos_user_stats_msg::kSize},  // clear a user's or every user's QoS statistics
    {106, qz_qos_user_stats_msg::kSize},  // read a user's performance snapshot
    {107, qz_qos_vlan_snap_msg::kSize},   // read a VLAN's performance snapshot
    {123, qz_qos_up_stats_msg::kSize},    // read user-profile QoS drops
    {124, qz_qos_up_stats_msg::kSize},    // read user-profile QoS delays
    {140, 8},  // read notification interval: i32 result, u32 interval (seconds)
    {141, 8},  // set notification interval: i32 result, u32 interval (seconds)
};

}  // namespace

std::size_t kcode_record_size(std::uint16_t code) {
    for (const KcodeRow& row : kKcodes)
        if (row.code == code) return row.size;
    return 0;
}
