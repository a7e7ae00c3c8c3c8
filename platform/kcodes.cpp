#include "platform/kcodes.h"

namespace {

struct KcodeRow {
    std::uint16_t code;
    std::uint32_t size;
};

// One row per code; every record starts with the i32 result the kernel writes.
constexpr KcodeRow kKcodes[] = {
    {7, 68},       // bind a classifier profile to an interface (qz_qos_bind_msg)
    {8, 68},       // unbind a classifier profile
    {9, 68},       // read an interface's classifier binding
    {10, 68},      // bind a marker profile to an interface
    {11, 68},      // unbind a marker profile
    {12, 68},      // read an interface's marker binding
    {20, 1024},    // classifier profile set (qz_qos_cls_msg)
    {21, 1024},    // classifier profile delete
    {22, 1024},    // read one classifier profile or all
    {23, 16},      // 802.1p class map set (qz_qos_map_msg)
    {24, 16},      // 802.1p class map reset
    {25, 16},      // read the 802.1p class map
    {26, 16},      // 802.11e class map set
    {27, 16},      // 802.11e class map reset
    {28, 16},      // read the 802.11e class map
    {29, 72},      // DSCP class map set
    {30, 72},      // DSCP class map reset
    {31, 72},      // read the DSCP class map
    {32, 3512},    // MAC OUI classification set (qz_qos_oui_msg)
    {33, 3512},    // MAC OUI classification delete
    {34, 3512},    // read the MAC OUI classification table
    {35, 1552},    // interface class set (qz_qos_ifcls_msg)
    {36, 1552},    // interface class clear
    {37, 1552},    // read an interface's class
    {38, 3640},    // service classification set (qz_svc_cls_msg)
    {39, 3640},    // service classification unset
    {40, 3640},    // service classification read
    {60, 928},     // marker profile set (qz_qos_mkr_msg)
    {61, 928},     // marker profile delete
    {62, 928},     // read one marker profile or all
    {63, 16},      // 802.1p marker map set (qz_qos_map_msg)
    {64, 16},      // 802.1p marker map reset
    {65, 16},      // read the 802.1p marker map
    {66, 16},      // 802.11e marker map set
    {67, 16},      // 802.11e marker map reset
    {68, 16},      // read the 802.11e marker map
    {69, 16},      // DSCP marker map set
    {70, 16},      // DSCP marker map reset
    {71, 16},      // read the DSCP marker map
    {72, 812},     // named marker map entry add (qz_qos_nmap_msg)
    {73, 812},     // named marker map or entry delete
    {74, 812},     // read one named marker map or all of a kind
    {110, 5440},   // service add or update (qz_svc_msg)
    {111, 5440},   // read one service or the table
    {112, 5440},   // service delete
    {113, 5440},   // clear service statistics
    {120, 14892},  // user profile set (qz_up_msg)
    {121, 14892},  // read one user profile, or the list form
    {122, 14892},  // user profile delete
    {125, 44},     // interface rate limit: enable the flagged types (qz_rl_msg_t)
    {126, 44},     // interface rate limit: disable the flagged types
    {127, 44},     // interface rate limit: set the selected rate
    {128, 44},     // interface rate limit: read an interface's record
    {130, 100},    // ALG option set (qz_alg_cfg_msg)
    {131, 100},    // read the ALG configuration table
    {135, 104},    // SSID QoS record set (qz_qos_ssid_msg)
    {136, 104},    // SSID QoS record delete
    {137, 104},    // read an SSID's QoS record
    {138, 20},     // user profile airtime share set (qz_up_airtime)
    {139, 20},     // user profile airtime share read
    // QoS switches, policies, VLAN QoS, snapshot (platform/qos_policy_msg.h)
    {1, 12},      // QoS on
    {2, 12},      // read the QoS switches
    {3, 12},      // QoS off
    {13, 12},     // airtime-based QoS set
    {14, 12},     // airtime-based QoS read
    {15, 12},     // rate preference weight set
    {16, 12},     // rate preference weight read
    {4, 1916},    // QoS policy set (one class)
    {5, 1916},    // QoS policy delete
    {6, 1916},    // read the QoS policies
    {90, 788},    // default-VLAN QoS set
    {91, 788},    // default-VLAN QoS reset
    {92, 788},    // default-VLAN QoS read
    {93, 788},    // VLAN QoS set
    {94, 788},    // VLAN QoS delete
    {95, 788},    // VLAN QoS read
    {100, 12},    // performance snapshot on
    {101, 12},    // performance snapshot off
    {102, 12},    // performance snapshot read
    {103, 140},   // read a user's QoS statistics (qz_qos_user_stats_msg)
    {105, 140},   // clear a user's or every user's QoS statistics
    {106, 140},   // read a user's performance snapshot
    {107, 24},    // read a VLAN's performance snapshot (qz_qos_vlan_snap_msg)
    {123, 1964},  // read user-profile QoS drops (qz_qos_up_stats_msg)
    {124, 1964},  // read user-profile QoS delays
    {140, 8},     // read notification interval: i32 result, u32 interval (seconds)
    {141, 8},     // set notification interval: i32 result, u32 interval (seconds)
};

}  // namespace

std::size_t kcode_record_size(std::uint16_t code) {
    for (const KcodeRow& row : kKcodes)
        if (row.code == code) return row.size;
    return 0;
}
