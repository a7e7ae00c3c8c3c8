#include "fed/cli/qz_fed_cli_vectors.h"

#include <iterator>

#include "alg/sip/qz_sip_call.h"
#include "alg/sip/qz_sip_roam.h"
#include "fed/cli/qz_fed_cli.h"
#include "fed/cli/qz_fed_cli_session.h"
#include "fed/cli/qz_fed_counter_cli.h"
#include "fed/cli/qz_fed_ip_policy_cli.h"
#include "fed/cli/qz_fed_mac_policy_cli.h"
#include "fed/cli/qz_fed_qos_bind_cli.h"
#include "fed/cli/qz_fed_qos_cli.h"
#include "fed/cli/qz_fed_qos_map_cli.h"
#include "fed/cli/qz_fed_qos_policy_cli.h"
#include "fed/cli/qz_fed_qos_profile_cli.h"
#include "fed/cli/qz_fed_service_cli.h"
#include "fed/cli/qz_fed_up_cli.h"
#include "fed/cli/qz_fed_vcon_cli.h"
#include "fed/qz_fed_debug.h"

namespace {

// ---- handlers of the families linked into fed, one list per family
//
// e.g. constexpr qz_cli_vector_t kFeSettingsVectors[] = {
//          {989, qz_cli_unpack<qz_fed_cli_tcp_mss_threshold>}, ...};
// and the list's name in kVectorFamilies.

constexpr qz_cli_vector_t kFeSettingsVectors[] = {
    {788, qz_cli_unpack<qz_fed_cli_fe_status>},
    {789, qz_cli_unpack<qz_fed_cli_sess_sync_vlan>},
    {790, qz_cli_unpack<qz_fed_cli_proxy_arp>},
    {791, qz_cli_unpack<qz_fed_cli_enhanced_proxy>},
    {792, qz_cli_unpack<qz_fed_cli_proxy_arp_strict>},
    {794, qz_cli_unpack<qz_fed_cli_icsa_log>},
    {795, qz_cli_unpack<qz_fed_cli_icsa_drop>},
    {796, qz_cli_unpack<qz_fed_cli_icsa_show>},
    {797, qz_cli_unpack<qz_fed_cli_inter_ssid_flood>},
    {768, qz_cli_unpack<qz_fed_cli_inter_ssid_flood_show>},
    {798, qz_cli_unpack<qz_fed_cli_vwire>},
    {963, qz_cli_unpack<qz_fed_cli_max_ip_sessions>},
    {964, qz_cli_unpack<qz_fed_cli_max_mac_sessions>},
    {965, qz_cli_unpack<qz_fed_cli_max_ip_sessions_show>},
    {966, qz_cli_unpack<qz_fed_cli_max_mac_sessions_show>},
    {979, qz_cli_unpack<qz_fed_cli_notify_interval>},
    {980, qz_cli_unpack<qz_fed_cli_notify_interval_show>},
    {983, qz_cli_unpack<qz_fed_cli_mac_refresh>},
    {984, qz_cli_unpack<qz_fed_cli_mac_refresh_show>},
    {985, qz_cli_unpack<qz_fed_cli_mcast_block_all>},
    {986, qz_cli_unpack<qz_fed_cli_mcast_block>},
    {987, qz_cli_unpack<qz_fed_cli_mcast_allow>},
    {988, qz_cli_unpack<qz_fed_cli_mcast_show>},
    {989, qz_cli_unpack<qz_fed_cli_tcp_mss>},
    {990, qz_cli_unpack<qz_fed_cli_tcp_mss_size>},
    {991, qz_cli_unpack<qz_fed_cli_tcp_mss_show>},
    {992, qz_cli_unpack<qz_fed_cli_reg_ports_show>},
    {995, qz_cli_unpack<qz_fed_cli_route_vlan>},
    {996, qz_cli_unpack<qz_fed_cli_route_vlan_show>},
    {997, qz_cli_unpack<qz_fed_cli_pmtud>},
    {998, qz_cli_unpack<qz_fed_cli_pmtud_show>},
    {1020, qz_cli_unpack<qz_fed_cli_ff_set>},
    {1021, qz_cli_unpack<qz_fed_cli_ff_delete>},
    {1022, qz_cli_unpack<qz_fed_cli_ff_dhcp>},
    {1023, qz_cli_unpack<qz_fed_cli_ff_show>},
};

constexpr qz_cli_vector_t kRateLimitVectors[] = {
    {947, qz_cli_unpack<qz_fed_rl_cli_switch>},     {948, qz_cli_unpack<qz_fed_rl_cli_mcast_rate>},
    {949, qz_cli_unpack<qz_fed_rl_cli_bcast_rate>}, {950, qz_cli_unpack<qz_fed_rl_cli_ucast_rate>},
    {951, qz_cli_unpack<qz_fed_rl_cli_show>},
};

constexpr qz_cli_vector_t kServiceVectors[] = {
    {832, qz_cli_unpack<qz_fed_service_define_keyword>},
    {833, qz_cli_unpack<qz_fed_service_define_number>},
    {834, qz_cli_unpack<qz_fed_service_define_app_id>},
    {872, qz_cli_unpack<qz_fed_service_define_tcp_udp>},
    {873, qz_cli_unpack<qz_fed_service_define_svp>},
    {875, qz_cli_unpack<qz_fed_service_show>},
    {897, qz_cli_unpack<qz_fed_service_stats_show>},
    {898, qz_cli_unpack<qz_fed_service_stats_clear>},
    {804, qz_cli_unpack<qz_fed_alg_enable>},
    {1799, qz_cli_unpack<qz_fed_alg_bind_service>},
    {1800, qz_cli_unpack<qz_fed_alg_qos>},
    {1801, qz_cli_unpack<qz_fed_alg_inactive_timeout>},
    {1802, qz_cli_unpack<qz_fed_alg_max_duration>},
    {1803, qz_cli_unpack<qz_fed_alg_show>},
};

constexpr qz_cli_vector_t kQosClassVectors[] = {
    {835, qz_cli_unpack<qz_fed_qos_service_class>},
    {838, qz_cli_unpack<qz_fed_qos_service_class_show>},
};

constexpr qz_cli_vector_t kQosProfileVectors[] = {
    {902, qz_cli_unpack<qz_fed_qos_classifier>},
    {903, qz_cli_unpack<qz_fed_qos_classifier_show>},
    {848, qz_cli_unpack<qz_fed_qos_marker>},
    {849, qz_cli_unpack<qz_fed_qos_marker_show>},
    {879, qz_cli_unpack<qz_fed_qos_wifi_classifier>},
    {883, qz_cli_unpack<qz_fed_qos_wifi_marker>},
};

constexpr qz_cli_vector_t kQosMapVectors[] = {
    {810, qz_cli_unpack<qz_fed_qos_map_dot1p>},
    {812, qz_cli_unpack<qz_fed_qos_map_dot1p_show>},
    {813, qz_cli_unpack<qz_fed_qos_map_wmm>},
    {815, qz_cli_unpack<qz_fed_qos_map_wmm_show>},
    {816, qz_cli_unpack<qz_fed_qos_map_dscp>},
    {818, qz_cli_unpack<qz_fed_qos_map_dscp_show>},
    {850, qz_cli_unpack<qz_fed_qos_map_mkr_dot1p>},
    {852, qz_cli_unpack<qz_fed_qos_map_mkr_dot1p_show>},
    {853, qz_cli_unpack<qz_fed_qos_map_mkr_wmm>},
    {855, qz_cli_unpack<qz_fed_qos_map_mkr_wmm_show>},
    {856, qz_cli_unpack<qz_fed_qos_map_mkr_dscp>},
    {858, qz_cli_unpack<qz_fed_qos_map_mkr_dscp_show>},
    {859, qz_cli_unpack<qz_fed_qos_named_dscp>},
    {860, qz_cli_unpack<qz_fed_qos_named_dot1p>},
    {861, qz_cli_unpack<qz_fed_qos_named_delete>},
    {862, qz_cli_unpack<qz_fed_qos_named_show>},
    {819, qz_cli_unpack<qz_fed_qos_oui>},
    {820, qz_cli_unpack<qz_fed_qos_oui_show>},
    {821, qz_cli_unpack<qz_fed_qos_if_class_eth>},
    {822, qz_cli_unpack<qz_fed_qos_if_class_wifi>},
    {823, qz_cli_unpack<qz_fed_qos_if_class_eth_show>},
    {824, qz_cli_unpack<qz_fed_qos_if_class_wifi_show>},
    {825, qz_cli_unpack<qz_fed_qos_ssid_class>},
    {826, qz_cli_unpack<qz_fed_qos_ssid_class_show>},
    {831, qz_cli_unpack<qz_fed_qos_if_class_all_show>},
};

constexpr qz_cli_vector_t kQosPolicyVectors[] = {
    {805, qz_cli_unpack<qz_fed_qos_enable>},
    {807, qz_cli_unpack<qz_fed_qos_airtime>},
    {808, qz_cli_unpack<qz_fed_qos_rate_weight>},
    {809, qz_cli_unpack<qz_fed_qos_show>},
    {876, qz_cli_unpack<qz_fed_qos_policy>},
    {877, qz_cli_unpack<qz_fed_qos_policy_show>},
    {867, qz_cli_unpack<qz_fed_qos_def_vlan>},
    {868, qz_cli_unpack<qz_fed_qos_def_vlan_show>},
    {870, qz_cli_unpack<qz_fed_qos_vlan>},
    {871, qz_cli_unpack<qz_fed_qos_vlan_show>},
    {842, qz_cli_unpack<qz_fed_qos_snapshot>},
    {843, qz_cli_unpack<qz_fed_qos_snapshot_show>},
    {846, qz_cli_unpack<qz_fed_qos_user_snapshot>},
    {847, qz_cli_unpack<qz_fed_qos_vlan_snapshot>},
    {899, qz_cli_unpack<qz_fed_qos_user_stats>},
    {900, qz_cli_unpack<qz_fed_qos_users_stats>},
    {901, qz_cli_unpack<qz_fed_qos_user_stats_clear>},
    {908, qz_cli_unpack<qz_fed_qos_up_stats>},
    {909, qz_cli_unpack<qz_fed_qos_up_stats_delay>},
    {967, qz_cli_unpack<qz_fed_qos_cac>},
    {969, qz_cli_unpack<qz_fed_qos_cac_airtime>},
    {970, qz_cli_unpack<qz_fed_qos_cac_roam_weight>},
    {972, qz_cli_unpack<qz_fed_qos_cac_clear>},
    {973, qz_cli_unpack<qz_fed_qos_cac_show>},
};

constexpr qz_cli_vector_t kQosBindVectors[] = {
    {878, qz_cli_unpack<qz_fed_qos_eth_classifier>},
    {895, qz_cli_unpack<qz_fed_qos_eth_marker>},
    {885, qz_cli_unpack<qz_fed_qos_ssid_classifier>},
    {882, qz_cli_unpack<qz_fed_qos_ssid_marker>},
    {880, qz_cli_unpack<qz_fed_qos_if_classifier_show>},
    {881, qz_cli_unpack<qz_fed_qos_if_classifier_show>},
    {894, qz_cli_unpack<qz_fed_qos_if_marker_show>},
    {896, qz_cli_unpack<qz_fed_qos_if_marker_show>},
    {886, qz_cli_unpack<qz_fed_qos_ssid_classifier_show>},
    {884, qz_cli_unpack<qz_fed_qos_ssid_marker_show>},
};

constexpr qz_cli_vector_t kFeSessionVectors[] = {
    {763, qz_cli_unpack<qz_fed_cli_show_ip_gate>},
    {764, qz_cli_unpack<qz_fed_cli_show_mac_session>},
    {765, qz_cli_unpack<qz_fed_cli_filter_mac_session>},
    {766, qz_cli_unpack<qz_fed_cli_show_ip_session>},
    {767, qz_cli_unpack<qz_fed_cli_filter_ip_session>},
    {778, qz_cli_unpack<qz_fed_cli_clear_mac_session_id>},
    {779, qz_cli_unpack<qz_fed_cli_clear_mac_session_params>},
    {780, qz_cli_unpack<qz_fed_cli_clear_ip_session_id>},
    {781, qz_cli_unpack<qz_fed_cli_clear_ip_session_params>},
    {769, qz_cli_unpack<qz_fed_cli_show_policy>},
    {770, qz_cli_unpack<qz_fed_cli_show_frag_ageout>},
    {771, qz_cli_unpack<qz_fed_cli_show_fcb>},
    {772, qz_cli_unpack<qz_fed_cli_show_unroam>},
    {773, qz_cli_unpack<qz_fed_cli_set_frag_ageout>},
    {774, qz_cli_unpack<qz_fed_cli_show_member_if>},
    {775, qz_cli_unpack<qz_fed_cli_show_tunnel>},
    {776, qz_cli_unpack<qz_fed_cli_show_tunnel>},
    {962, qz_cli_unpack<qz_fed_cli_clear_tunnel_counters>},
    {958, qz_cli_unpack<qz_fed_cli_show_counters>},
    {960, qz_cli_unpack<qz_fed_cli_clear_counters>},
    {952, qz_cli_unpack<qz_fed_cli_clear_gre_station>},
    {953, qz_cli_unpack<qz_fed_cli_clear_gre_id>},
    {954, qz_cli_unpack<qz_fed_cli_clear_gre_all>},
    {955, qz_cli_unpack<qz_fed_cli_clear_gre_client_station>},
    {956, qz_cli_unpack<qz_fed_cli_clear_gre_client_id>},
    {957, qz_cli_unpack<qz_fed_cli_clear_gre_client_all>},
    {994, qz_cli_unpack<qz_fed_cli_up_redir>},
};

constexpr qz_cli_vector_t kVconVectors[] = {
    {999, qz_cli_unpack<qz_fed_vcon_add_type<1>>},
    {1000, qz_cli_unpack<qz_fed_vcon_add_type<2>>},
    {1001, qz_cli_unpack<qz_fed_vcon_add_type<3>>},
    {1002, qz_cli_unpack<qz_fed_vcon_add_type<4>>},
    {1003, qz_cli_unpack<qz_fed_vcon_add_type<5>>},
    {1004, qz_cli_unpack<qz_fed_vcon_add_type<6>>},
    {1005, qz_cli_unpack<qz_fed_vcon_add_type<7>>},
    {1006, qz_cli_unpack<qz_fed_vcon_add_type<8>>},
    {1007, qz_cli_unpack<qz_fed_vcon_add_type<9>>},
    {1008, qz_cli_unpack<qz_fed_vcon_add_type<10>>},
    {1009, qz_cli_unpack<qz_fed_vcon_add_type<11>>},
    {1010, qz_cli_unpack<qz_fed_vcon_add_type<12>>},
    {1011, qz_cli_unpack<qz_fed_vcon_add_type<13>>},
    {1012, qz_cli_unpack<qz_fed_vcon_add_type<14>>},
    {1013, qz_cli_unpack<qz_fed_vcon_add_type<15>>},
    {1014, qz_cli_unpack<qz_fed_vcon_add_type<16>>},
    {1015, qz_cli_unpack<qz_fed_vcon_add_type<17>>},
    {1016, qz_cli_unpack<qz_fed_vcon_add_type<18>>},
    {1017, qz_cli_unpack<qz_fed_vcon_delete>},
    {1018, qz_cli_unpack<qz_fed_vcon_show>},
    {1019, qz_cli_unpack<qz_fed_vcon_debug_dump>},
};

constexpr qz_cli_vector_t kSipVectors[] = {
    {981, qz_cli_unpack<qz_sip_show_calls>},
    {1804, qz_cli_unpack<qz_sip_show_roaming>},
};

constexpr qz_cli_vector_t kIpPolicyVectors[] = {
    {919, qz_cli_unpack<qz_fed_ip_policy_rule>},
    {925, qz_cli_unpack<qz_fed_ip_policy_local>},
    {921, qz_cli_unpack<qz_fed_ip_policy_permit_log>},
    {920, qz_cli_unpack<qz_fed_ip_policy_deny_log>},
    {922, qz_cli_unpack<qz_fed_ip_policy_sta_log>},
    {923, qz_cli_unpack<qz_fed_ip_policy_delete>},
    {939, qz_cli_unpack<qz_fed_ip_policy_list>},
    {937, qz_cli_unpack<qz_fed_ip_policy_show>},
    {940, qz_cli_unpack<qz_fed_ip_policy_show_fe>},
    {938, qz_cli_unpack<qz_fed_ip_policy_show_profile>},
    {941, qz_cli_unpack<qz_fed_ip_policy_dump>},
    {933, qz_cli_unpack<qz_fed_ip_policy_bind>},
    {934, qz_cli_unpack<qz_fed_ip_policy_unbind>},
    {936, qz_cli_unpack<qz_fed_ip_policy_def_action>},
    {944, qz_cli_unpack<qz_fed_ip_policy_deny_proto>},
};

constexpr qz_cli_vector_t kMacPolicyVectors[] = {
    {924, qz_cli_unpack<qz_fed_mac_policy_rule>},
    {926, qz_cli_unpack<qz_fed_mac_policy_deny_log>},
    {927, qz_cli_unpack<qz_fed_mac_policy_permit_log>},
    {928, qz_cli_unpack<qz_fed_mac_policy_delete>},
    {932, qz_cli_unpack<qz_fed_mac_policy_list>},
    {930, qz_cli_unpack<qz_fed_mac_policy_show>},
    {931, qz_cli_unpack<qz_fed_mac_policy_show_profile>},
    {942, qz_cli_unpack<qz_fed_mac_policy_bind>},
    {943, qz_cli_unpack<qz_fed_mac_policy_unbind>},
    {929, qz_cli_unpack<qz_fed_mac_policy_def_action>},
    {945, qz_cli_unpack<qz_fed_mac_ra_guard>},
    {946, qz_cli_unpack<qz_fed_mac_dhcpv6_shield>},
};

constexpr qz_cli_vector_t kUserProfileVectors[] = {
    {904, qz_cli_unpack<qz_fed_up_define>},    {935, qz_cli_unpack<qz_fed_up_attribute>},
    {869, qz_cli_unpack<qz_fed_up_marker>},    {905, qz_cli_unpack<qz_fed_up_mobility>},
    {866, qz_cli_unpack<qz_fed_up_qos>},       {907, qz_cli_unpack<qz_fed_up_move>},
    {974, qz_cli_unpack<qz_fed_up_sentinel>},  {975, qz_cli_unpack<qz_fed_up_action>},
    {976, qz_cli_unpack<qz_fed_up_bandwidth>}, {977, qz_cli_unpack<qz_fed_up_threshold>},
    {982, qz_cli_unpack<qz_fed_up_tunnel>},    {993, qz_cli_unpack<qz_fed_up_l3_action>},
    {968, qz_cli_unpack<qz_fed_up_airtime>},   {971, qz_cli_unpack<qz_fed_up_airtime_show>},
    {906, qz_cli_unpack<qz_fed_up_show>},
};

constexpr qz_cli_vector_list_t kVectorFamilies[] = {
    kFeSettingsVectors, kFeSessionVectors,  kRateLimitVectors, kServiceVectors,
    kQosClassVectors,   kVconVectors,       kSipVectors,       kUserProfileVectors,
    kIpPolicyVectors,   kQosProfileVectors, kMacPolicyVectors, kQosMapVectors,
    kQosPolicyVectors,  kQosBindVectors,
};

// ---- running-configuration steps, in the order the configuration is written

constexpr qz_cfg_step_t kCfgSteps[] = {
    {"services", qz_fed_service_cfg},
    {"QoS configuration", qz_fed_qos_profile_cfg},
    {"user profiles", qz_fed_up_cfg},
    {"IP policies", qz_fed_ip_policy_cfg},
    {"default IP-policy actions", qz_fed_ip_policy_def_action_cfg},
    {"MAC policies", qz_fed_mac_policy_cfg},
    {"default MAC-policy actions", qz_fed_mac_policy_def_action_cfg},
    {"virtual connection rules", qz_fed_vcon_cfg},
    {"interface rate limits", qz_fed_rl_cli_cfg},
    {"ALG configuration", qz_fed_alg_cfg},
    {"forwarding-engine settings", qz_fed_cli_cfg_fe_settings},
    {"default-route VLANs", qz_fed_cli_cfg_route_vlan},
};
static_assert(std::size(kCfgSteps) == 12);

}  // namespace

std::span<const qz_cli_vector_list_t> qz_fed_cli_vectors() {
    return kVectorFamilies;
}

std::span<const qz_cfg_step_t> qz_fed_cli_cfg_steps() {
    return kCfgSteps;
}

int qz_fed_cli_reg_cmd_vectors() {
    return qz_cli_agt_reg_cmd_vectors(qz_fed_cli_vectors());
}

int qz_fed_cli_cfg_generator(void* out, void*) {
    return qz_cli_agt_cfg_generator(out, qz_fed_cli_cfg_steps());
}
