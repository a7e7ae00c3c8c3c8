// Virtual connection rules: the list, the add, delete, show and debug-dump
// commands, the interface-change handler and the running-configuration step.
// One mutex guards the list and the serial counter; the configuration
// library is called under it, so the FE sees rule changes in list order.
#include "fed/cli/qz_fed_vcon_cli.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_event.h"
#include "platform/qz.h"
#include "platform/vcon_msg.h"
#include "platform/wire.h"

namespace {

namespace arg = qz_vcon_arg;
namespace vm = qz_vcon_msg;

// Interface-change kinds of KEVT_IF_CHG.
inline constexpr std::uint32_t kIfUp = 1;
inline constexpr std::uint32_t kIfDown = 2;
inline constexpr std::uint32_t kIfRename = 6;
inline constexpr std::uint32_t kIfGoingDown = 7;
inline constexpr std::size_t kEvKind = 0;
inline constexpr std::size_t kEvIndex = 4;
inline constexpr std::size_t kEvName = 12;

// qz_vcon_cmd_t
struct Rule {
    std::uint32_t serial_num;
    std::array<std::uint8_t, vm::kSize> msg;
    std::string iifname;
    std::string oifname;  // empty for drop rules
    std::uint32_t isdrop;
    std::uint32_t installed;
    std::uint32_t cmdtype;
    std::vector<std::uint8_t> args;  // the record as it came, its type's length
};

std::mutex g_mu;
std::vector<Rule> g_rules;  // insertion order
std::uint32_t g_serial = 0;

std::uint32_t msg_u32(const Rule& r, std::size_t off) {
    return wire::load_h<std::uint32_t>(r.msg.data() + off);
}
void msg_put(Rule& r, std::size_t off, std::uint32_t v) {
    wire::store_h<std::uint32_t>(r.msg.data() + off, v);
}

std::string msg_name(const std::array<std::uint8_t, vm::kSize>& m) {
    const char* p = reinterpret_cast<const char*>(m.data() + vm::kRuleName);
    return std::string(p, strnlen(p, vm::kRuleNameSize));
}

Rule* find_rule(const std::string& name) {
    for (Rule& r : g_rules)
        if (msg_name(r.msg) == name) return &r;
    return nullptr;
}

bool all_zero(const std::uint8_t* p, std::size_t n) {
    return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0; });
}

// A MAC of the record as %m prints it, for the padded columns of show.
std::string mac_text(const std::uint8_t* m) {
    char t[24];
    qz_snprintf(t, sizeof t, "%m", m);
    return t;
}

// Installs a rule whose interfaces all have indexes; false when the FE refused.
bool try_install(Rule& r) {
    bool ready = msg_u32(r, vm::kIifIndex) != 0 && (r.isdrop || msg_u32(r, vm::kOifIndex) != 0);
    if (!ready) return true;
    if (qz_dcd_fe_vcon_set_rule(r.msg.data()) != 0) return false;
    r.installed = 1;
    return true;
}

void if_up(const std::string& ifname, std::uint32_t ifindex) {
    for (Rule& r : g_rules) {
        if (r.installed) continue;
        bool hit = false;
        if (r.iifname == ifname) {
            msg_put(r, vm::kIifIndex, ifindex);
            hit = true;
        }
        if (!r.isdrop && r.oifname == ifname) {
            msg_put(r, vm::kOifIndex, ifindex);
            hit = true;
        }
        if (hit && !try_install(r))
            qz_log(3, "VCC: failed to sync drop rule to FE about %s\n", ifname.c_str());
    }
}

void if_down(const std::string& ifname) {
    for (Rule& r : g_rules) {
        if (!r.installed) continue;
        bool hit = false;
        if (r.iifname == ifname) {
            msg_put(r, vm::kIifIndex, 0);
            hit = true;
        }
        if (!r.isdrop && r.oifname == ifname) {
            msg_put(r, vm::kOifIndex, 0);
            hit = true;
        }
        if (!hit) continue;
        r.installed = 0;
        qz_dcd_fe_vcon_unset_rule(r.msg.data());
    }
}

}  // namespace

int qz_fed_vcon_add(void* ctx, qz_fed_args_t args, std::uint32_t type) {
    if (type < 1 || type > arg::kTypes) return -1;
    const arg::Layout& l = arg::kLayouts[type - 1];
    // Fields are read at fixed offsets: a short record reads as zeros.
    std::vector<std::uint8_t> rec(l.size, 0);
    std::copy_n(args.begin(), std::min<std::size_t>(args.size(), l.size), rec.begin());
    const std::uint8_t* src = l.src_mac != arg::kAbsent ? rec.data() + l.src_mac : nullptr;
    const std::uint8_t* dst = rec.data() + l.dst_mac;

    std::lock_guard lock(g_mu);
    if (l.src == arg::Src::Mac) {
        if (all_zero(src, 6) || all_zero(dst, 6)) {
            qz_cli_printf(ctx, "Source MAC or destination MAC should not be all-zero.\n");
            return QZ_FED_RC_VCON_MAC_ZERO;
        }
    } else if (all_zero(dst, 6)) {
        qz_cli_printf(ctx, "Destination MAC should not be all-zero.\n");
        return QZ_FED_RC_VCON_MAC_ZERO;
    }
    if (g_rules.size() >= QZ_VCON_MAX_RULES) {
        qz_cli_printf(ctx, "Exceed the maximum number limit on static packet-forwarding rules.\n");
        return QZ_FED_RC_VCON_ADD;
    }
    std::string name = fedcli::name(rec, arg::kName, arg::kNameWidth);
    if (find_rule(name)) {
        qz_cli_printf(ctx, "The virtual conenction rule with the same name already exists.\n");
        return QZ_FED_RC_VCON_EXISTS;
    }

    Rule r{};
    r.iifname = fedcli::name(rec, l.iif, arg::kIfWidth);
    if (!l.drop) r.oifname = fedcli::name(rec, l.oif, arg::kIfWidth);
    r.isdrop = l.drop ? 1 : 0;
    r.cmdtype = type;
    std::memcpy(r.msg.data() + vm::kRuleName, name.data(),
                std::min(name.size(), vm::kRuleNameSize - 1));
    msg_put(r, vm::kIifIndex, qz_if_nametoindex(r.iifname.c_str()));
    if (l.src == arg::Src::Mac) std::memcpy(r.msg.data() + vm::kSrcMac, src, 6);
    if (l.src == arg::Src::Oui) {
        std::memcpy(r.msg.data() + vm::kSrcMac, src, 3);
        msg_put(r, vm::kSrcOuiEnabled, 1);
    }
    if (l.src == arg::Src::Any) msg_put(r, vm::kSrcIgnored, 1);
    std::memcpy(r.msg.data() + vm::kDstMac, dst, 6);
    if (l.tx_mac != arg::kAbsent) std::memcpy(r.msg.data() + vm::kPrehop, rec.data() + l.tx_mac, 6);
    if (l.rx_mac != arg::kAbsent)
        std::memcpy(r.msg.data() + vm::kNexthop, rec.data() + l.rx_mac, 6);
    if (!l.drop) msg_put(r, vm::kOifIndex, qz_if_nametoindex(r.oifname.c_str()));

    if (!try_install(r)) {
        qz_cli_printf(ctx, "Add a FE virtual connection rule failed.\n");
        return QZ_FED_RC_VCON_ADD;
    }
    r.serial_num = g_serial++;
    r.args = std::move(rec);
    g_rules.push_back(std::move(r));
    return 0;
}

int qz_fed_vcon_delete(void* ctx, qz_fed_args_t args) {
    bool named = fedcli::bit(args, arg::kDeleteBitName);
    std::string name = fedcli::name(args, arg::kName, arg::kNameWidth);
    std::lock_guard lock(g_mu);
    if (named && !find_rule(name)) {
        qz_cli_printf(ctx, "The virtual conenction rule with the specified name doesn't exist.");
        return QZ_FED_RC_VCON_NO_SUCH;
    }
    std::array<std::uint8_t, vm::kSize> msg{};
    if (named)
        std::memcpy(msg.data() + vm::kRuleName, name.data(),
                    std::min(name.size(), vm::kRuleNameSize - 1));
    else
        wire::store_h<std::uint32_t>(msg.data() + vm::kFlag, vm::kFlagAll);
    if (qz_dcd_fe_vcon_unset_rule(msg.data()) != 0) {
        qz_cli_printf(ctx, "Delete a FE virtual connection rule failed.\n");
        return QZ_FED_RC_VCON_DELETE;
    }
    if (named)
        std::erase_if(g_rules, [&](const Rule& r) { return msg_name(r.msg) == name; });
    else
        g_rules.clear();
    return 0;
}

int qz_fed_vcon_show(void* ctx, qz_fed_args_t) {
    static constexpr const char* kHead = "%-12s %-6s %-6s %-18s %-9s %-18s %-18s %-18s %-6s\n";
    std::lock_guard lock(g_mu);
    qz_cli_printf(ctx, kHead, "Name", "Type", "InIF", "SrcMac", "SrcFlag", "DstMac", "TX-MAC",
                  "RX-MAC", "OutIF");
    qz_cli_printf(ctx, kHead, "------------", "------", "------", "------------------", "---------",
                  "------------------", "------------------", "------------------", "---------");
    for (const Rule& r : g_rules) {
        const std::uint8_t* m = r.msg.data();
        std::string src = mac_text(m + vm::kSrcMac);
        const char* src_flag = "no";
        if (msg_u32(r, vm::kSrcOuiEnabled)) {
            char oui[16];
            qz_snprintf(oui, sizeof oui, "%02X-%02X-%02X", m[vm::kSrcMac], m[vm::kSrcMac + 1],
                        m[vm::kSrcMac + 2]);
            src = oui;
            src_flag = "OUI";
        } else if (msg_u32(r, vm::kSrcIgnored)) {
            src = "N/A";
            src_flag = "Ignore";
        }
        std::string tx =
            qz_is_ethernet_ifname(r.iifname.c_str()) ? "N/A" : mac_text(m + vm::kPrehop);
        std::string rx = r.isdrop || qz_is_ethernet_ifname(r.oifname.c_str())
                             ? "N/A"
                             : mac_text(m + vm::kNexthop);
        qz_cli_printf(ctx, "%-12s %-6s %-6s %-18s %-9s %m %-18s %-18s %-6s\n",
                      msg_name(r.msg).c_str(), r.isdrop ? "drop" : "pass", r.iifname.c_str(),
                      src.c_str(), src_flag, m + vm::kDstMac, tx.c_str(), rx.c_str(),
                      r.isdrop ? "N/A" : r.oifname.c_str());
    }
    return 0;
}

int qz_fed_vcon_debug_dump(void* ctx, qz_fed_args_t) {
    static constexpr const char* kBar = "=========================\n";
    std::lock_guard lock(g_mu);
    for (const Rule& r : g_rules) {
        const std::uint8_t* m = r.msg.data();
        auto i = [&](std::size_t off) { return static_cast<int>(msg_u32(r, off)); };
        qz_cli_printf(ctx, kBar);
        qz_cli_printf(ctx, "vcc_cmd->serial_num = %d\n", static_cast<int>(r.serial_num));
        qz_cli_printf(ctx, "vmsg->rulename = %s\n", msg_name(r.msg).c_str());
        qz_cli_printf(ctx, "vmsg->src_mac = %m\n", m + vm::kSrcMac);
        qz_cli_printf(ctx, "vmsg->dst_mac = %m\n", m + vm::kDstMac);
        qz_cli_printf(ctx, "vmsg->prehop = %m\n", m + vm::kPrehop);
        qz_cli_printf(ctx, "vmsg->nexthop = %m\n", m + vm::kNexthop);
        qz_cli_printf(ctx, "vmsg->srcouienabled = %d\n", i(vm::kSrcOuiEnabled));
        qz_cli_printf(ctx, "vmsg->srcignored = %d\n", i(vm::kSrcIgnored));
        qz_cli_printf(ctx, "vmsg->iifindex = %d\n", i(vm::kIifIndex));
        qz_cli_printf(ctx, "vmsg->oifindex = %d\n", i(vm::kOifIndex));
        qz_cli_printf(ctx, "vmsg->flag = %d\n", i(vm::kFlag));
        qz_cli_printf(ctx, "vcc_cmd->iifname = %s\n", r.iifname.c_str());
        qz_cli_printf(ctx, "vcc_cmd->oifname = %s\n", r.oifname.c_str());
        qz_cli_printf(ctx, "vcc_cmd->isdrop = %d\n", static_cast<int>(r.isdrop));
        qz_cli_printf(ctx, "vcc_cmd->cmdtype = %d\n", static_cast<int>(r.cmdtype));
    }
    if (!g_rules.empty()) qz_cli_printf(ctx, kBar);
    return 0;
}

void qz_fed_vcon_if_change(std::uint32_t kevent, std::uint32_t len, const void* payload) {
    if (!payload || len < kEvName) return;
    const auto* p = static_cast<const std::uint8_t*>(payload);
    std::uint32_t kind = wire::load_h<std::uint32_t>(p + kEvKind);
    std::uint32_t ifindex = wire::load_h<std::uint32_t>(p + kEvIndex);
    std::string ifname = fedcli::name(std::span(p, len), kEvName, arg::kIfWidth);
    std::lock_guard lock(g_mu);
    switch (kind) {
        case kIfUp:
            FED_DBG(cli, "vcc handle if kevent: %s - if_up\n", qz_fed_kevent_name(kevent));
            if_up(ifname, ifindex);
            return;
        case kIfDown:
        case kIfGoingDown:
            FED_DBG(cli, "vcc handle if kevent: %s - if_down / going down\n",
                    qz_fed_kevent_name(kevent));
            if_down(ifname);
            return;
        case kIfRename:
            FED_DBG(cli, "vcc handle if kevent: %s - if_changname\n", qz_fed_kevent_name(kevent));
            return;
        default:
            return;
    }
}

void qz_fed_vcon_cfg(void* out) {
    std::lock_guard lock(g_mu);
    for (const Rule& r : g_rules)
        qz_cli_agent_add_tlv(out, arg::kCmdBase + r.cmdtype, r.args.data(),
                             static_cast<int>(r.args.size()), 7);
}

void qz_fed_vcon_reset() {
    std::lock_guard lock(g_mu);
    g_rules.clear();
    g_serial = 0;
}
