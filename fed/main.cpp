// fed: the forwarding-engine daemon. No options, no configuration file: all
// configuration arrives later as CLI commands and platform events.
#include "alg/dns/qz_dns_parser.h"
#include "alg/qz_alg_main.h"
#include "alg/sip/qz_sip_roam.h"
#include "fed/cli/qz_fed_cli_vectors.h"
#include "fed/cli/qz_fed_ip_policy_cli.h"
#include "fed/cli/qz_fed_service_cli.h"
#include "fed/cli/qz_fed_vcon_cli.h"
#include "fed/cli/qz_qos_db.h"
#include "fed/policy/qz_fed_db.h"
#include "fed/qz_fed_hooks.h"
#include "fed/qz_fed_main.h"

int main(int, char**) {
    // Families linked into this daemon hand their entry points to the core here.
    qz_fed_hooks.alg_init = qz_alg_init;
    qz_fed_hooks.alg_timer_run = qz_alg_timer_run;
    qz_fed_hooks.sip_roam_apply = qz_sip_roam_apply;
    qz_fed_hooks.sta_join = qz_sip_roam_sta_join;
    qz_fed_hooks.sta_leave = qz_sip_roam_sta_leave;
    qz_fed_hooks.dns_forget_sta = qz_dns_sta_delete;
    qz_fed_hooks.qos_startup = qz_qos_db_startup;
    qz_fed_hooks.qos_ssid_bind = qz_qos_ssid_bind;
    qz_fed_hooks.qos_ssid_remove = qz_qos_ssid_remove;
    qz_fed_hooks.service_startup = qz_fed_service_startup;
    qz_fed_hooks.db_load = qz_fed_db_reload;
    qz_fed_hooks.vc_if_change = qz_fed_vcon_if_change;
    qz_fed_hooks.ppsk_server = qz_fed_ip_policy_ppsk_event;
    qz_fed_hooks.reg_cmd_vectors = qz_fed_cli_reg_cmd_vectors;
    qz_fed_hooks.cfg_generator = qz_fed_cli_cfg_generator;
    return qz_fed_main();
}
