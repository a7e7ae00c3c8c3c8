// User-profile commands: every change reads the profile from the FE, changes
// the given fields and writes it back whole (the set procedure).
#include "fed/cli/qz_fed_up_cli.h"

#include <strings.h>

#include <cstring>
#include <string>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_up.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_msg.h"
#include "platform/qz.h"

using namespace fedup;
namespace arg = qz_fed_up_arg;
namespace ev = qz_up_event;
namespace at = qz_up_airtime;

namespace {

using fedcli::bit;
using fedcli::is_no;
using fedcli::word;

inline constexpr const char* kReload = "load ?user-profile-attribute vlan";

std::string up_name(qz_fed_up_args_t a) {
    return fedcli::name(a, arg::kName, arg::kNameWidth);
}

bool is_default(const std::string& name) {
    return name == um::kDefaultProfile;
}

// Step 6 of the profile commands: the FE's status as the user reads it, else
// the reload of the attribute mapping. `ranges_full` words -105.
int report(void* ctx, const UpRecord& p, int rc, const char* ranges_full, bool unbind) {
    if (const char* text = up_status_text(p.status())) {
        if (p.status() == um::kRangesFull && ranges_full) text = ranges_full;
        qz_cli_printf(ctx, "%s", text);
        return -1;
    }
    if (rc < 0) return -1;
    if (unbind && p.status() == um::kHasScheduler) {
        std::string cmd = std::string(kReload) + " unbind_up " + p.name();
        qz_cli_agent_add_delay_cmd(ctx, 0, cmd.c_str());
    } else {
        qz_cli_agent_add_delay_cmd(ctx, 0, kReload);
    }
    return 0;
}

void vlan_event(const std::string& name, std::uint8_t gid, std::uint16_t vlan) {
    if (int rc = up_send_vlan_chg(name, gid, vlan); rc != 0)
        FED_DBG(cli, "send vlan change event fail,ret(%d)\n", rc);
}

int remove(void* ctx, const std::string& name) {
    if (is_default(name)) {
        qz_cli_printf(ctx, "Can't delete the default user profile.\n");
        return -1;
    }
    UpRecord p;
    if (up_get(name, p) != Got::Found) {
        FED_DBG(cli, "the function qz_db_user_profile_cli_get_profile failed");
        return -1;
    }
    if (qz_dcd_shm_check_ssid_bind_up(name.c_str()) != 0) {
        qz_cli_printf(ctx,
                      "User profile can't be removed because it has been bound to SSID,please "
                      "unbind them\n");
        return -1;
    }
    if (up_delete(p) < 0) {
        FED_DBG(cli, "the function  qz_db_user_profile_cli_del_profile failed");
        return -1;
    }
    up_send_name_event(ev::kDeleted, name, ev::kBodySize);
    return report(ctx, p, 0, nullptr, true);
}

// One-field commands: the profile (a missing one filled with the defaults
// when `create`), or Failed / Missing.
Got read_for_change(const std::string& name, UpRecord& p, bool create) {
    Got got = up_get(name, p);
    if (got == Got::Missing && create) {
        p = UpRecord();
        up_defaults(p, name);
    }
    return got;
}

// The end of a one-field command: the set procedure, then event 108 for a
// profile the command created.
int finish(UpRecord& p, Got got, bool announce_new) {
    int rc = up_set(p);
    if (rc == 0 && got == Got::Missing && announce_new)
        vlan_event(p.name(), p.group_id(), p.vlan());
    return rc;
}

struct OneField {
    bool announce_new;        // event 108 for a profile the command created
    const char* missing_no;   // the "no" form's message for a missing profile
    bool missing_no_fails;    // ... after which the command fails
    const char* read_failed;  // a failed first read prints this (with the status)
};

constexpr OneField kField{true, "User-profile(%s) doesn't exist\n", false, nullptr};
constexpr OneField kField974{true, "User-profile(%s) doesn't exist\n", true, nullptr};
constexpr OneField kFieldTunnel{true, "user profile(%s) doesn't exist\n", false,
                                "get user profile parameters fail,rc(%d)\n"};

// Reads the profile for a one-field command: false ends the command with *rc.
bool start_field(void* ctx, const OneField& k, const std::string& name, UpRecord& p, Got& got,
                 int* rc) {
    got = read_for_change(name, p, true);
    if (got == Got::Failed) {
        if (k.read_failed) qz_cli_printf(ctx, k.read_failed, p.status());
        *rc = -1;
        return false;
    }
    if (got == Got::Missing && is_no(ctx)) {
        qz_cli_printf(ctx, k.missing_no, name.c_str());
        if (k.missing_no_fails) {
            *rc = -1;
            return false;
        }
    }
    return true;
}

// The one-field commands: read the profile (made with its defaults when
// missing), let `set` change the field, and write it back under `mask`.
template <class Set>
int change_field(void* ctx, qz_fed_up_args_t args, const OneField& k, std::uint16_t mask, Set set) {
    std::string name = up_name(args);
    UpRecord p;
    Got got;
    int rc = 0;
    if (!start_field(ctx, k, name, p, got, &rc)) return rc;
    p.put<std::uint16_t>(um::kMask, um::kMaskName | um::kMaskQos | mask);
    set(p);
    return finish(p, got, true);
}

}  // namespace

int qz_fed_up_define(void* ctx, qz_fed_up_args_t args) {
    std::string name = up_name(args);
    bool has_start = bit(args, arg::k904BitStart);
    std::uint32_t start = word(args, arg::k904Start);
    std::uint32_t end = bit(args, arg::k904BitEnd) ? word(args, arg::k904End) : start;
    if (has_start && start > end) {
        qz_cli_printf(
            ctx, "Error:The starting attribute value is bigger than ending attribute value.\n");
        return -1;
    }
    if (strcasecmp(name.c_str(), "a") == 0 || strcasecmp(name.c_str(), "al") == 0 ||
        strcasecmp(name.c_str(), "all") == 0) {
        qz_cli_printf(ctx, "Please don't use 'a' or 'al' or 'all' as a user profile name.\n");
        return -1;
    }
    if (is_no(ctx)) return remove(ctx, name);

    UpRecord p;
    Got got = up_get(name, p);
    if (got == Got::Failed) {
        FED_DBG(cli, "the function qz_db_user_profile_cli_get_profile failed.");
        return -1;
    }
    std::uint16_t prev_vlan = got == Got::Found ? p.vlan() : 0;
    if (got == Got::Missing) {
        p = UpRecord();
        up_defaults(p, name);
    }
    p.put<std::uint16_t>(um::kMask, um::kMaskName | um::kMaskQos);
    bool any = false;
    if (bit(args, arg::k904BitGroup)) {
        std::uint32_t gid = word(args, arg::k904Group);
        if (is_default(name) && gid != 0) {
            qz_cli_printf(
                ctx, "The default user profile's group ID must be zero,it can't be changed \n");
            return -1;
        }
        p.set_byte(um::kGroupId, static_cast<std::uint8_t>(gid));
        p.add_mask(um::kMaskGroupId);
        any = true;
    }
    if (bit(args, arg::k904BitQos)) {
        std::string qos = fedcli::name(args, arg::k904Qos, arg::kNameWidth);
        if (is_default(name) && qos != um::kDefaultQos) {
            qz_cli_printf(ctx, "The default user profile's policy name can't be changed \n");
            return -1;
        }
        p.set_str(um::kQosPolicy, qos);
        any = true;
    }
    if (bit(args, arg::k904BitVlan)) {
        p.put<std::uint16_t>(um::kVlan, static_cast<std::uint16_t>(word(args, arg::k904Vlan)));
        any = true;
    }
    if (bit(args, arg::k904BitMobility)) {
        p.set_str(um::kMobility, fedcli::name(args, arg::k904Mobility, arg::kNameWidth));
        p.add_mask(um::kMaskMobility);
        any = true;
    }
    if (has_start) {
        p.set_first_range(static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(end));
        p.add_mask(um::kMaskAttr);
        any = true;
    }
    if (!any) p.put<std::uint16_t>(um::kVlan, 1);

    int rc = up_set(p);
    if (rc == 0 && p.vlan() != prev_vlan) vlan_event(name, p.group_id(), p.vlan());
    if (has_start)
        up_send_attr(name, static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(end), true,
                     false);
    return report(ctx, p, rc, nullptr, false);
}

int qz_fed_up_attribute(void* ctx, qz_fed_up_args_t args) {
    std::string name = up_name(args);
    std::uint32_t start = word(args, arg::k935Start);
    std::uint32_t end = bit(args, arg::k935BitEnd) ? word(args, arg::k935End) : start;
    if (bit(args, arg::k935BitStart) && bit(args, arg::k935BitEnd) && start > end) {
        qz_cli_printf(ctx, "Error:The starting value is bigger than ending value !\n");
        return -1;
    }
    UpRecord p;
    if (up_get(name, p) != Got::Found) {
        qz_cli_printf(ctx, "ERROR:get user profile parameters fail \n");
        FED_DBG(cli, "the function qz_db_user_profile_cli_get_profile failure !\n");
        return -1;
    }
    p.put<std::uint16_t>(um::kMask, um::kMaskName | um::kMaskQos);
    p.set_first_range(static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(end));
    p.add_mask(is_no(ctx) ? um::kMaskDelRange : um::kMaskAddRange);
    int rc = up_set(p);
    up_send_attr(name, static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(end), false,
                 is_no(ctx));
    return report(ctx, p, rc, "User profile attribute range mapping table is full\n", false);
}

int qz_fed_up_marker(void* ctx, qz_fed_up_args_t args) {
    std::string name = up_name(args);
    UpRecord p;
    Got got;
    int rc = 0;
    if (!start_field(ctx, kField, name, p, got, &rc)) return rc;
    p.put<std::uint16_t>(um::kMask, um::kMaskName | um::kMaskQos | um::kMaskMarker);
    if (is_no(ctx)) {
        p.set_str(um::kMarkerMap, "");
    } else {
        std::string type = fedcli::name(args, arg::k869Type, arg::k869TypeWidth);
        p.put<std::uint32_t>(um::kMarkerType, type == "diffserv" ? 0 : 1);
        p.set_str(um::kMarkerMap, fedcli::name(args, arg::k869Map, arg::kNameWidth));
    }
    rc = finish(p, got, false);
    if (p.status() == um::kBadId) {
        qz_cli_printf(ctx, "Invalid QoS marker name\n");
        return -1;
    }
    return rc;
}

int qz_fed_up_mobility(void* ctx, qz_fed_up_args_t args) {
    std::string name = up_name(args);
    UpRecord p;
    if (up_get(name, p) != Got::Found) {
        qz_cli_printf(ctx, "ERROR:get user profile parameters fail \n");
        return -1;
    }
    if (p.str(um::kMobility).empty()) {
        qz_cli_printf(ctx, "the user profile have unbind mobility policy\n");
        return -1;
    }
    p.put<std::uint16_t>(um::kMask, um::kMaskName | um::kMaskQos | um::kMaskMobility);
    p.set_str(um::kMobility, "");
    if (up_set(p) < 0) {
        qz_cli_printf(ctx, "fail to unbind user profile mobility policy\n");
        return -1;
    }
    return 0;
}

int qz_fed_up_qos(void* ctx, qz_fed_up_args_t args) {
    std::string name = up_name(args);
    UpRecord p;
    if (up_get(name, p) != Got::Found) {
        qz_cli_printf(ctx, "Invalid user profile name(%s)\n", name.c_str());
        return -1;
    }
    p.put<std::uint16_t>(um::kMask, um::kMaskName | um::kMaskQos);
    p.set_str(um::kQosPolicy, um::kDefaultQos);
    int rc = up_set(p);
    if (p.status() == um::kNoProfile || p.status() == um::kBadQos) {
        qz_cli_printf(ctx, "%s", up_status_text(p.status()));
        return -1;
    }
    return rc;
}

int qz_fed_up_move(void* ctx, qz_fed_up_args_t args) {
    std::string name = up_name(args);
    std::string other = fedcli::name(args, arg::k907Other, arg::kNameWidth);
    int ref = qz_dcd_get_profile_table_id(other.c_str());
    if (ref < 0) {
        qz_cli_printf(ctx, "The user profile '%s' does not exist.\n", other.c_str());
        return 0x30064;
    }
    int index = qz_dcd_get_profile_table_id(name.c_str());
    if (index < 0) {
        qz_cli_printf(ctx, "The user profile '%s' does not exist.\n", name.c_str());
        return 0x30064;
    }
    bool after = fedcli::name(args, arg::k907Pos, arg::k907PosWidth) == "after";
    if (qz_dcd_move_profile_table_id(index, ref, after ? 1 : 0) < 0) {
        qz_log(3, "move user profile failed!");
        return -1;
    }
    return 0;
}

int qz_fed_up_sentinel(void* ctx, qz_fed_up_args_t args) {
    return change_field(ctx, args, kField974, um::kMaskSentinel, [&](UpRecord& p) {
        p.put<std::uint32_t>(um::kSentinelOn, is_no(ctx) ? 0 : 1);
    });
}

int qz_fed_up_action(void* ctx, qz_fed_up_args_t args) {
    return change_field(ctx, args, kField, um::kMaskAction, [&](UpRecord& p) {
        std::string w = fedcli::name(args, arg::k975Action, arg::k975ActionWidth);
        std::uint32_t v = w == "log" ? um::kSentinelLog : um::kSentinelBoost;
        std::uint32_t now = p.get<std::uint32_t>(um::kSentinelAction);
        if (!is_no(ctx))
            now |= v;
        else if (bit(args, arg::k975BitAction))
            now &= ~v;
        else
            now = um::kSentinelLog;
        p.put<std::uint32_t>(um::kSentinelAction, now);
    });
}

int qz_fed_up_bandwidth(void* ctx, qz_fed_up_args_t args) {
    return change_field(ctx, args, kField, um::kMaskBandwidth, [&](UpRecord& p) {
        p.put<std::uint32_t>(um::kBandwidth,
                             is_no(ctx) ? um::kDefBandwidth : word(args, arg::k976Kbps));
    });
}

int qz_fed_up_threshold(void* ctx, qz_fed_up_args_t args) {
    if (is_no(ctx)) return -1;
    return change_field(ctx, args, kField, um::kMaskThreshold, [&](UpRecord& p) {
        p.put<std::uint32_t>(um::kThreshold, word(args, arg::k977Bytes));
    });
}

int qz_fed_up_tunnel(void* ctx, qz_fed_up_args_t args) {
    int rc = change_field(ctx, args, kFieldTunnel, um::kMaskTunnel, [&](UpRecord& p) {
        p.set_str(um::kTunnel,
                  is_no(ctx) ? "" : fedcli::name(args, arg::k982Policy, arg::kNameWidth));
    });
    if (rc == 0)
        if (int e = up_send_name_event(ev::kTunnel, up_name(args), ev::kTunnelSize); e != 0)
            FED_DBG(cli, "send tunnel policy change event fail,ret(%d)\n", e);
    return rc;
}

// Layer-3 tunnel actions by their word; the index is the FE's value.
constexpr const char* kL3Actions[] = {"split", "all", "with-exception", "drop-tunnel-traffic"};

int qz_fed_up_l3_action(void* ctx, qz_fed_up_args_t args) {
    int action = 0;
    if (!is_no(ctx)) {
        std::string w = fedcli::name(args, arg::k993Action, arg::k993ActionWidth);
        action = -1;
        for (int i = 0; i < 4; ++i)
            if (w == kL3Actions[i]) action = i;
    }
    int rc = change_field(ctx, args, kFieldTunnel, um::kMaskL3Action, [&](UpRecord& p) {
        p.set_byte(um::kL3Action, static_cast<std::uint8_t>(action));
    });
    if (rc == 0) qz_event_send(ev::kL3Action, 0, nullptr);
    return action < 0 ? -1 : rc;
}

int qz_fed_up_airtime(void* ctx, qz_fed_up_args_t args) {
    std::string name = up_name(args);
    int upid = qz_fed_up_id_by_name(name, !is_no(ctx));
    if (upid < 0) {
        qz_cli_printf(ctx, "User-profile(%s) doesn't exist\n", name.c_str());
        return -1;
    }
    std::uint8_t r[at::kSize] = {};
    std::span<std::uint8_t> rec(r);
    std::uint32_t pct = is_no(ctx) ? 0 : word(args, arg::k968Percent);
    std::uint32_t share = !is_no(ctx) && word(args, arg::k968Share) ? 1 : 0;
    if (share && pct == 0) {
        qz_cli_printf(ctx, "Current airtime percentage is zero, we cannot share the airtime\n");
        return -1;
    }
    qz_up::put<std::uint32_t>(rec, at::kUpid, static_cast<std::uint32_t>(upid));
    qz_up::put<std::uint32_t>(rec, at::kPercent, pct);
    qz_up::put<std::uint32_t>(rec, at::kShare, share);
    if (qz_fed_send_to_kernel(at::kSet, r) < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", -1);
        return -1;
    }
    std::int32_t status = qz_up::get<std::int32_t>(rec, at::kStatus);
    if (status == -1) {
        qz_cli_printf(ctx, "Available weight is %d, cannot alloc %d weight\n",
                      qz_up::get<std::uint32_t>(rec, at::kAvailable), pct);
        return -1;
    }
    if (status < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status);
        return -1;
    }
    return 0;
}
