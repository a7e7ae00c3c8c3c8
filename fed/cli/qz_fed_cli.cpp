// FE switches and values: FE on/off, session-sync VLAN, proxy ARP, ICSA
// logging and dropping, inter-SSID flooding, virtual wire, per-station session
// limits, notification interval, MAC session refresh times, TCP MSS threshold,
// path MTU discovery and the registered to-self ports.
#include "fed/cli/qz_fed_cli.h"

#include <cstring>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_fe.h"
#include "fed/cli/qz_fed_fe_table.h"
#include "fed/qz_fed_msg.h"
#include "platform/fe.h"
#include "platform/qz.h"
#include "platform/qz_assert.h"

using namespace fedcli;
namespace arg = qz_fed_arg;

namespace {

std::uint32_t on_value(void* ctx) {
    return is_no(ctx) ? 0 : 1;
}

int set_switch(void* ctx, const FeSetting& s) {
    return fe_set_boolean_value(on_value(ctx), s.set, s.set_text);
}

// Tells the configuration daemon whether proxy ARP answers for stations.
int tell_proxy_arp(void* ctx, std::uint32_t on) {
    std::uint8_t body[4];
    wire::store_h<std::uint32_t>(body, on);
    if (qz_event_send(kEventProxyArp, sizeof body, body) != 0) {
        qz_cli_printf(ctx, "DCD set proxy-arp bit:send event  fail!\n");
        return -1;
    }
    return 0;
}

// Proxy ARP and enhanced proxy: switching one on reports "on" only when the
// other is on too; switching either off reports "off".
int proxy_pair(void* ctx, const FeSetting& self, const FeSetting& other) {
    bool on = !is_no(ctx);
    int rc = fe_set_boolean_value(on ? 1 : 0, self.set, self.set_text);
    if (rc < 0) return rc;
    if (!on) return tell_proxy_arp(ctx, 0);
    std::uint32_t v = 0;
    if (fe_get_boolean_value(&v, other.read, other.read_text) >= 0 && v)
        return tell_proxy_arp(ctx, 1);
    return 0;
}

// ---- ICSA switches: kept in the FE and mirrored in the configuration library

struct IcsaSwitch {
    char first;        // first letter of the keyword
    std::size_t word;  // word of the ICSA record
    const FeSetting* fe;
    const char* failure;
};

constexpr IcsaSwitch kIcsaLog[] = {
    {'f', 1, &kFwDropLog, "Set firewall drop packets log failed.\n"},
    {'t', 2, &kToSelfLog, "Set to selt traffic log failed.\n"},
};
constexpr IcsaSwitch kIcsaDrop[] = {
    {'i', 3, &kFragDrop, "Set packets drop failed.\n"},
    {'t', 4, &kNonMgtDrop, "Set non-management traffic drop failed.\n"},
};

int icsa_switch(void* ctx, qz_fed_args_t args, std::span<const IcsaSwitch> table) {
    std::uint8_t rec[QZ_DCD_ICSA_SIZE] = {};
    int rc = qz_dcd_get_icsa(rec);
    if (rc < 0) {
        qz_cli_printf(ctx, "Get ICSA info failed.\n");
        return rc;
    }
    std::uint32_t value = on_value(ctx);
    std::string keyword = name(args, arg::kIcsaKeyword, arg::kIcsaKeywordWidth);
    const IcsaSwitch* sw = nullptr;
    for (const IcsaSwitch& s : table)
        if (!keyword.empty() && keyword[0] == s.first) sw = &s;
    if (!sw) {
        qz_cli_printf(ctx, "Wrong keyword %s.\n", keyword.c_str());
        return -1;
    }
    std::uint8_t* w = rec + 4 * sw->word;
    if (wire::load_h<std::uint32_t>(w) == value) return 0;
    rc = fe_set_boolean_value(value, sw->fe->set, sw->fe->set_text);
    if (rc < 0) {
        qz_cli_printf(ctx, "%s", sw->failure);
        return rc;
    }
    wire::store_h<std::uint32_t>(w, value);
    return qz_dcd_set_icsa(rec);
}

const char* enabled(std::uint32_t v) {
    return v ? "Enabled" : "Disabled";
}

// ---- per-station session limits

struct SessionLimit {
    const FeSetting* fe;
    const char* what;  // "IP" or "MAC"
};
constexpr SessionLimit kIpSessions{&kMaxIpSessions, "IP"};
constexpr SessionLimit kMacSessions{&kMaxMacSessions, "MAC"};

int session_limit(void* ctx, qz_fed_args_t args, const SessionLimit& l) {
    std::uint32_t type = QZ_CMD_TYPE(ctx);
    if (type != QZ_CMD_TYPE_SET && type != QZ_CMD_TYPE_NO) QZ_ASSERT_TEXT(false, "0");
    std::uint32_t limit = type == QZ_CMD_TYPE_NO ? 0 : word(args, arg::kValue);
    return fe_set_int_value(limit, l.fe->set, l.fe->set_text);
}

int session_limit_show(void* ctx, const SessionLimit& l) {
    std::uint32_t v = 0;
    if (fe_get_int_value(&v, l.fe->read, l.fe->read_text) < 0) {
        qz_cli_printf(ctx, "Get information fail\n");
        return 0;
    }
    if (v == 0)
        qz_cli_printf(ctx, " the maximum number of %s sessions :No limitation", l.what);
    else
        qz_cli_printf(ctx, " the maximum number of %s sessions :%d", l.what, static_cast<int>(v));
    return 0;
}

// ---- registered to-self ports

inline constexpr std::uint32_t kRegPortsMax = 40;

}  // namespace

int qz_fed_cli_fe_status(void* ctx, qz_fed_args_t) {
    return set_switch(ctx, kFeStatus);
}

int qz_fed_cli_sess_sync_vlan(void* ctx, qz_fed_args_t) {
    return set_switch(ctx, kSessSyncVlan);
}

int qz_fed_cli_proxy_arp(void* ctx, qz_fed_args_t) {
    return proxy_pair(ctx, kProxyArp, kEnhancedProxy);
}

int qz_fed_cli_enhanced_proxy(void* ctx, qz_fed_args_t) {
    return proxy_pair(ctx, kEnhancedProxy, kProxyArp);
}

int qz_fed_cli_proxy_arp_strict(void* ctx, qz_fed_args_t) {
    return set_switch(ctx, kProxyArpStrict);
}

int qz_fed_cli_icsa_log(void* ctx, qz_fed_args_t args) {
    return icsa_switch(ctx, args, kIcsaLog);
}

int qz_fed_cli_icsa_drop(void* ctx, qz_fed_args_t args) {
    return icsa_switch(ctx, args, kIcsaDrop);
}

int qz_fed_cli_icsa_show(void* ctx, qz_fed_args_t) {
    std::uint8_t rec[QZ_DCD_ICSA_SIZE] = {};
    int rc = qz_dcd_get_icsa(rec);
    if (rc < 0) {
        qz_cli_printf(ctx, "Get ICSA info failed.\n");
        return rc;
    }
    auto state = [&](std::size_t w) {
        return wire::load_h<std::uint32_t>(rec + 4 * w) ? "enabled" : "disabled";
    };
    qz_cli_printf(ctx, "ICSA info:\n");
    qz_cli_printf(ctx, "Firewall drop traffic log:     %s\n", state(1));
    qz_cli_printf(ctx, "To self sessions log:          %s\n", state(2));
    qz_cli_printf(ctx, "IP fragmented traffic drop:    %s\n", state(3));
    qz_cli_printf(ctx, "To self non-mgt traffic drop:  %s\n", state(4));
    return 0;
}

int qz_fed_cli_inter_ssid_flood(void* ctx, qz_fed_args_t) {
    return set_switch(ctx, kInterSsidFlood);
}

int qz_fed_cli_inter_ssid_flood_show(void* ctx, qz_fed_args_t) {
    std::uint32_t v = 0;
    if (fe_get_boolean_value(&v, kInterSsidFlood.read, kInterSsidFlood.read_text) < 0) {
        qz_cli_printf(ctx, "ERROR: error in get inter ssid flood status from FE\n");
        return -1;
    }
    qz_cli_printf(ctx, "Inter-SSID-Flood: %s\n", enabled(v));
    return 0;
}

int qz_fed_cli_vwire(void* ctx, qz_fed_args_t args) {
    if (!bit(args, arg::kVwireBitIf1) || !bit(args, arg::kVwireBitIf2)) return 0;
    std::string if1 = name(args, arg::kVwireIf1, arg::kVwireIfWidth);
    std::string if2 = name(args, arg::kVwireIf2, arg::kVwireIfWidth);
    std::uint32_t index1 = qz_if_nametoindex(if1.c_str());
    std::uint32_t index2 = qz_if_nametoindex(if2.c_str());
    if (index1 == index2) {
        qz_cli_printf(ctx, "invalid interfaces, cannot be the same\n");
        return -1;
    }
    std::uint8_t m[6] = {};
    if (bit(args, arg::kVwireBitMac)) mac(args, arg::kVwireMac, m);
    if (fe_set_vwire_interfaces(index1, index2, m) < 0) {
        qz_cli_printf(ctx, "error in configuring vwire interfaces\n");
        return -1;
    }
    return 0;
}

int qz_fed_cli_max_ip_sessions(void* ctx, qz_fed_args_t args) {
    return session_limit(ctx, args, kIpSessions);
}

int qz_fed_cli_max_mac_sessions(void* ctx, qz_fed_args_t args) {
    return session_limit(ctx, args, kMacSessions);
}

int qz_fed_cli_max_ip_sessions_show(void* ctx, qz_fed_args_t) {
    return session_limit_show(ctx, kIpSessions);
}

int qz_fed_cli_max_mac_sessions_show(void* ctx, qz_fed_args_t) {
    return session_limit_show(ctx, kMacSessions);
}

int qz_fed_cli_notify_interval(void* ctx, qz_fed_args_t args) {
    std::uint8_t rec[8] = {};
    std::uint32_t seconds = is_no(ctx) ? kNotifyDefault : word(args, arg::kValue) & 0xFFFFu;
    wire::store_h<std::uint32_t>(rec + 4, seconds);
    return qz_fed_kernel_request(kNotifySet, rec);
}

int qz_fed_cli_notify_interval_show(void* ctx, qz_fed_args_t) {
    std::uint8_t rec[8] = {};
    if (qz_fed_kernel_request(kNotifyRead, rec) < 0) return -1;
    qz_cli_printf(ctx, "Notification interval:%4d seconds\n",
                  static_cast<int>(wire::load_h<std::uint32_t>(rec + 4)));
    return 0;
}

int qz_fed_cli_mac_refresh(void* ctx, qz_fed_args_t args) {
    const FeSetting& s = name(args, arg::kRefreshKeyword, arg::kRefreshKeywordWidth) == "unicast"
                             ? kUcastRefresh
                             : kBcastRefresh;
    if (fe_set_int_value(word(args, arg::kRefreshValue), s.set, s.set_text) < 0) {
        qz_cli_printf(ctx, "Unable to set value for mac session age timeout\n");
        return -1;
    }
    return 0;
}

int qz_fed_cli_mac_refresh_show(void* ctx, qz_fed_args_t) {
    std::uint32_t v = 0;
    if (fe_get_int_value(&v, kUcastRefresh.read, kUcastRefresh.read_text) < 0) {
        qz_cli_printf(ctx, "Unable to get unicast mac session age timeout\n");
        return -1;
    }
    qz_cli_printf(ctx, "unicast mac session age timeout: %d seconds\n", static_cast<int>(v));
    if (fe_get_int_value(&v, kBcastRefresh.read, kBcastRefresh.read_text) < 0) {
        qz_cli_printf(ctx, "Unable to get broadcast mac session age timeout\n");
        return -1;
    }
    qz_cli_printf(ctx, "broadcast mac session age timeout: %d seconds\n", static_cast<int>(v));
    return 0;
}

int qz_fed_cli_tcp_mss(void* ctx, qz_fed_args_t) {
    if (set_switch(ctx, kTcpMss) < 0) {
        qz_cli_printf(ctx, "Unable to enable/disable TCP MSS threshold\n");
        return QZ_FED_RC_TCP_MSS_SWITCH;
    }
    return 0;
}

int qz_fed_cli_tcp_mss_size(void* ctx, qz_fed_args_t args) {
    std::uint32_t size = is_no(ctx) ? 0 : word(args, arg::kValue);
    if (fe_set_int_value(size, kTcpMssSize.set, kTcpMssSize.set_text) < 0) {
        qz_cli_printf(ctx, "Unable to set value for TCP MSS threshold size\n");
        return QZ_FED_RC_TCP_MSS_SIZE;
    }
    return 0;
}

int qz_fed_cli_tcp_mss_show(void* ctx, qz_fed_args_t) {
    std::uint32_t v = 0;
    if (fe_get_boolean_value(&v, kTcpMss.read, kTcpMss.read_text) < 0) {
        qz_cli_printf(ctx, "Unable to get TCP MSS threshold status\n");
        return QZ_FED_RC_TCP_MSS_GET;
    }
    qz_cli_printf(ctx, v ? "TCP MSS threshold: Enabled\n" : "TCP MSS threshold: Disabled\n");
    if (fe_get_int_value(&v, kTcpMssSize.read, kTcpMssSize.read_text) < 0) {
        qz_cli_printf(ctx, "Unable to get TCP MSS threshold size\n");
        return QZ_FED_RC_TCP_MSS_SIZE_GET;
    }
    if (v == 0)
        qz_cli_printf(ctx, "TCP MSS threshold size: Auto\n");
    else
        qz_cli_printf(ctx, "TCP MSS threshold size: %d bytes\n", static_cast<int>(v));
    return 0;
}

int qz_fed_cli_reg_ports_show(void* ctx, qz_fed_args_t) {
    namespace o = fe_regport;
    static constexpr FeTable kPorts{o::kSize, 0, nullptr, nullptr,
                                    "Unable to get registered port from FE!\n"};
    const char* fmt = "%-5s %-7s %-5s %-15s %-32s\n";
    int rc = show_fe_table<std::uint8_t>(
        ctx, qz_cli_printf, kPorts, known_count(kRegPortsMax),
        counted_fetch(fe_get_registered_to_self_pkt_port),
        [&](std::uint32_t) {
            qz_cli_printf(ctx,
                          "Register these ports in order to avoid FE drop these\nto-self-traffic "
                          "when enable drop non-management traffic.\n");
            qz_cli_printf(ctx, "Registered Ports Table:\n");
            qz_cli_printf(ctx, fmt, "No.", "Port", "Proto", "Port Direction", "Note");
            qz_cli_printf(ctx, fmt, "-----", "-------", "-----", "---------------",
                          "--------------------------------");
        },
        [&](std::span<const std::uint8_t> e, std::uint32_t i) {
            Fields f(e);
            qz_cli_printf(ctx, "%-5d %-7d %-5s %-15s %-32s\n", static_cast<int>(i + 1),
                          static_cast<int>(f.h16(o::kPort)), f.u8(o::kProto) == 17 ? "UDP" : "TCP",
                          f.u8(o::kDirection) == 1 ? "Source" : "Destination",
                          f.name(o::kNote, o::kNoteSize).c_str());
        });
    return rc == 0 ? 0 : -1;
}

int qz_fed_cli_pmtud(void* ctx, qz_fed_args_t) {
    if (set_switch(ctx, kPmtud) < 0) {
        qz_cli_printf(ctx, "Unable to enable/disable Path MTU Discovery\n");
        return -1;
    }
    return 0;
}

int qz_fed_cli_pmtud_show(void* ctx, qz_fed_args_t) {
    std::uint32_t v = 0;
    if (fe_get_boolean_value(&v, kPmtud.read, kPmtud.read_text) < 0) {
        qz_cli_printf(ctx, "Unable to get Path MTU Discovery status\n");
        return -1;
    }
    qz_cli_printf(ctx, "Path MTU Discovery: %s\n", enabled(v));
    return 0;
}
