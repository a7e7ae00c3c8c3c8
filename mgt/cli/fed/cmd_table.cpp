#include "mgt/cli/fed/cmd_table.h"

#include "mgt/cli/fed/cmd_form.h"
#include "mgt/cli/fed/rows_fe_sessions.h"
#include "mgt/cli/fed/rows_fe_settings.h"
#include "mgt/cli/fed/rows_ip_policy.h"
#include "mgt/cli/fed/rows_mac_policy.h"
#include "mgt/cli/fed/rows_qos_bind.h"
#include "mgt/cli/fed/rows_qos_class.h"
#include "mgt/cli/fed/rows_qos_map.h"
#include "mgt/cli/fed/rows_qos_policy.h"
#include "mgt/cli/fed/rows_qos_profile.h"
#include "mgt/cli/fed/rows_rate_limit.h"
#include "mgt/cli/fed/rows_service.h"
#include "mgt/cli/fed/rows_sip.h"
#include "mgt/cli/fed/rows_user_profile.h"
#include "mgt/cli/fed/rows_vcon.h"

namespace cmdtbl {

namespace {

// A failing check names the index of the first bad row; form_check(row).why says what is wrong.
static_assert(first_bad_row(kRowsFeSettings) < 0);
static_assert(first_bad_row(kRowsFeSessions) < 0);
static_assert(first_bad_row(kRowsRateLimit) < 0);
static_assert(first_bad_row(kRowsService) < 0);
static_assert(first_bad_row(kRowsQosClass) < 0);
static_assert(first_bad_row(kRowsQosProfile) < 0);
static_assert(first_bad_row(kRowsVcon) < 0);
static_assert(first_bad_row(kRowsSip) < 0);
static_assert(first_bad_row(kRowsIpPolicy) < 0);
static_assert(first_bad_row(kRowsUserProfile) < 0);
static_assert(first_bad_row(kRowsMacPolicy) < 0);
static_assert(first_bad_row(kRowsQosMap) < 0);
static_assert(first_bad_row(kRowsQosPolicy) < 0);
static_assert(first_bad_row(kRowsQosBind) < 0);

constexpr CmdFamily kFamilies[] = {
    {"Forwarding-engine settings", kRowsFeSettings},
    {"Forwarding-engine sessions and gates", kRowsFeSessions},
    {"Interface rate limiting", kRowsRateLimit},
    {"Services and ALGs", kRowsService},
    {"QoS classification", kRowsQosClass},
    {"QoS profiles", kRowsQosProfile},
    {"Virtual connection rules", kRowsVcon},
    {"SIP calls", kRowsSip},
    {"IP policies", kRowsIpPolicy},
    {"User profiles", kRowsUserProfile},
    {"MAC policies", kRowsMacPolicy},
    {"QoS priority maps", kRowsQosMap},
    {"QoS switches, policies and airtime admission", kRowsQosPolicy},
    {"QoS profile bindings", kRowsQosBind},
};

}  // namespace

std::span<const CmdFamily> cmd_families() {
    return kFamilies;
}

std::uint16_t cmd_record_size(std::uint32_t id) {
    std::uint16_t size = 0;
    for (const CmdFamily& f : kFamilies)
        for (const CmdRow& r : f.rows)
            if (r.id == id && r.size > size) size = r.size;
    return size;
}

}  // namespace cmdtbl
