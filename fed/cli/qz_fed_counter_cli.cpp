#include "fed/cli/qz_fed_counter_cli.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <string>

#include "fed/cli/qz_fed_cli_util.h"
#include "platform/fe.h"
#include "platform/fe_counters.h"
#include "platform/qz.h"

namespace ca = qz_fed_cnt_arg;

namespace {

using fedcli::bit;
using fedcli::Fields;
using fedcli::word;

inline constexpr std::uint32_t kDcStatusId = 154;

// Drop counter names by index, each printed padded to its width.
struct DropName {
    const char* name;
    int width;
};
constexpr DropName kDropNames[] = {
    {"invalid-packets", 33},
    {"decap-errors", 33},
    {"device-swap-errors", 33},
    {"no-matching-vlan-interface", 33},
    {"no-route", 33},
    {"cwp-errors", 33},
    {"qos-policer-drops", 33},
    {"arp-req-drops", 33},
    {"ttl-zero", 33},
    {"access console pkt not from self", 33},
    {"invalid-device-DHCP", 33},
    {"DHCP-req-on-portal-interface", 33},
    {"exceed-max-mac-sessions", 33},
    {"max-mac-sess-per-station-exceeded", 33},
    {"exceed-max-IP-sessions", 33},
    {"max-ip-sess-per-station-exceeded", 33},
    {"memory-overflow", 33},
    {"screen-check-failure", 33},
    {"IP-firewall-policy-check-failure", 33},
    {"mac-firewall-policy-check-failure", 33},
    {"invalid-probe-packet", 33},
    {"invalid-dst-IP-for-self-packet", 33},
    {"invalid-protocol-for-self-packet", 33},
    {"invalid-mgt-traffic", 33},
    {"encap-packet-loop", 33},
    {"error-in-encap", 33},
    {"error-in-queue-encap-packet", 33},
    {"decap-packet-loop", 33},
    {"error-in-decap", 33},
    {"error-in-queue-decap-packet", 33},
    {"error-in-queue-self-packet", 33},
    {"self-packet-exceed-mtu", 33},
    {"queue-overrun", 33},
    {"invalid-alg-control-pkt", 33},
    {"nat-failed", 33},
    {"ethernet-loop-packet", 33},
    {"packets with self MAC", 33},
    {"invalid-l7-pkt", 33},
    {"deny-ipv4", 33},
    {"deny-ipv6", 33},
    {"drop-ipv6-RA", 33},
    {"drop-ipv6-DHCPv6", 33},
    {"drop-ipv6-ext-header-too-long", 33},
    {"limited-access", 33},
    {"esp-traffic-limit", 33},
    {"drop-DHCP", 33},
    {"incorrect-incoming-dev", 33},
    {"self-pkt-to-self", 33},
    {"sync-null-dev", 33},
    {"invalid-outgoing-dev", 33},
    {"sess-sync-kevent-error", 33},
    {"drop-bonjour-ttl-1", 29},
    {"no-policy-to-tunnel", 33},
    {"no-tunnel", 33},
    {"session-tunnel-convert-errors", 33},
    {"flow-cwp-convert-errors", 33},
    {"no-mif-device", 33},
    {"packet-from-self-loop", 33},
    {"device-not-found", 33},
    {"invalid-zone", 33},
    {"mismtach-in-zones", 33},
    {"parent-interface-not-found", 33},
    {"broadcast-on-non-primary-ifp", 33},
    {"error-in-queue-sip-invite-pkt", 33},
    {"error-in-queue-dns-alg-pkt", 33},
    {"error-in-queue-http-alg-pkt", 33},
    {"http-alg-pkt-denied", 33},
    {"mgt-pkt-queue-failed", 33},
};
static_assert(std::size(kDropNames) == fe_drop::kCount);

// Names padded once, so that a display hands out stable strings.
struct PaddedDropNames {
    std::string names[fe_drop::kCount];
    PaddedDropNames() {
        for (std::size_t i = 0; i < fe_drop::kCount; ++i) {
            names[i] = kDropNames[i].name;
            names[i].resize(std::max<std::size_t>(names[i].size(),
                                                  static_cast<std::size_t>(kDropNames[i].width)),
                            ' ');
        }
    }
};

// The 15 protocol counters of one direction.
void print_block(void* ctx, qz_fed_print_fn print, Fields e, std::size_t at) {
    auto c = [&](fe_counter::Proto p) { return e.h32(at + static_cast<std::size_t>(p) * 4); };
    using P = fe_counter::Proto;
    print(ctx,
          "LLC: %u; ARP: %u; IP %u\nICMP: %u; UDP: %u; TCP: %u; GRE: %u; ESP: %u\n"
          "HTTP: %u; HTTPS: %u; FTP: %u; TELNET: %u; DNS: %u; DHCP: %u; SSH: %u\n",
          c(P::Llc), c(P::Arp), c(P::Ip), c(P::Icmp), c(P::Udp), c(P::Tcp), c(P::Gre), c(P::Esp),
          c(P::Http), c(P::Https), c(P::Ftp), c(P::Telnet), c(P::Dns), c(P::Dhcp), c(P::Ssh));
}

int show_list(void* ctx, qz_fed_print_fn print) {
    namespace o = fe_counter;
    std::vector<std::uint8_t> list;
    int n = 0;
    int rc = qz_fed_counter_list(list, &n);
    if (n < 1) return 0;
    if (rc == QZ_FED_COUNTER_NO_MEMORY) {
        print(ctx, "cannot alloc %d counts mem\n", n);
        return -1;
    }
    if (rc < 0) {
        print(ctx, "error in get fe counter list\n");
        return rc;
    }
    std::span<const std::uint8_t> all(list);
    auto got = static_cast<std::uint32_t>(list.size() / o::kSize);
    Fields first(all);
    print(ctx, "\nPacket Counters\n===============\n");
    print(ctx, "Total Pkts processed:  Queue0 [%u], Queue1 [%u]\n", first.h32(o::kQueue0),
          first.h32(o::kQueue1));
    print(ctx, "Total Pkts processed:  Core0 [%u], Core1 [%u]\n", first.h32(o::kCore0),
          first.h32(o::kCore1));
    for (std::uint32_t i = 0; i < got; ++i) {
        Fields e(all.subspan(std::size_t{i} * o::kSize, o::kSize));
        std::uint32_t kind = e.h32(o::kKind);
        if (kind == o::kKindIf) {
            char name[32];
            if (!qz_if_indextoname(e.h32(o::kIfindex), name)) {
                print(ctx, "invalid index %d\n", e.hi32(o::kIfindex));
                return 0;
            }
            print(ctx, "Interface [%s]\n-----------------\n", name);
        } else if (kind == o::kKindSta) {
            print(ctx, "Station [%m]\n--------------------------\n", e.mac(o::kMac));
            print(ctx, "MAC-Sessions: %u; IP-Sessions: %u\n", e.h32(o::kMacSessions),
                  e.h32(o::kIpSessions));
        } else {
            print(ctx, "invalid flag 0x%x\n", kind);
            return 0;
        }
        print(ctx, "Incoming:\n");
        print_block(ctx, print, e, o::kIn);
        if (kind == o::kKindIf) print(ctx, "Dropped: %u\n", e.h32(o::kDropped));
        print(ctx, "\n");
        print(ctx, "Outgoing:\n");
        print_block(ctx, print, e, o::kOut);
        print(ctx, "\n\n");
    }
    return 0;
}

// One interface's or station's counters, under the heading given.
void print_one(void* ctx, qz_fed_print_fn print, Fields e, bool dropped) {
    print(ctx, "Inocming Counters\n------------------------------\n");
    print_block(ctx, print, e, fe_counter::kIn);
    if (dropped) print(ctx, "Dropped: %u\n", e.h32(fe_counter::kDropped));
    print(ctx, "\n");
    print(ctx, "Outgoing Counters\n------------------------------\n");
    print_block(ctx, print, e, fe_counter::kOut);
}

int show_interface(void* ctx, qz_fed_print_fn print, const std::string& name) {
    std::uint8_t e[fe_counter::kSize] = {};
    std::int32_t index = -1;
    int rc = fe_get_device_counter(name.c_str(), &index, e);
    if (rc < 0) {
        print(ctx, "can't get counters for device [%s]\n", name.c_str());
        return rc;
    }
    if (index < 0) {
        print(ctx, "device with name %s doesn't exist\n", name.c_str());
        return 0;
    }
    print(ctx, "Interface [%s]\n-----------------\n", name.c_str());
    print_one(ctx, print, Fields(std::span<const std::uint8_t>(e)), true);
    return 0;
}

int show_station(void* ctx, qz_fed_print_fn print, const std::uint8_t* mac) {
    std::uint8_t e[fe_counter::kSize] = {};
    std::int32_t found = -1;
    int rc = fe_get_station_counter(mac, &found, e);
    if (rc < 0) {
        print(ctx, "can't get counter for mac %m\n", mac);
        return rc;
    }
    if (found < 0) {
        print(ctx, "station with mac %m doesn't exist\n", mac);
        return 0;
    }
    print(ctx, "Station [%m]\n--------------------------\n", mac);
    print_one(ctx, print, Fields(std::span<const std::uint8_t>(e)), false);
    return 0;
}

int show_drops(void* ctx, qz_fed_print_fn print, bool all) {
    std::uint32_t c[fe_drop::kCount] = {};
    int rc = fe_get_drop_counters(c);
    if (rc < 0) {
        print(ctx, "error in getting drop counters\n");
        return rc;
    }
    print(ctx, "Packet Drop Counters\n--------------------\n");
    std::size_t n = all ? fe_drop::kCount : fe_drop::kShown;
    for (std::size_t i = 0; i < n; ++i) print(ctx, "%s: %u\n", qz_fed_drop_counter_name(i), c[i]);
    return 0;
}

int show_dc(void* ctx, qz_fed_print_fn print) {
    namespace o = fe_dc;
    static constexpr const char* kRowNames[] = {"IPv4", "IPv6", "local", "internet", "udp",   "tcp",
                                                "icmp", "gre",  "esp",   "igmp",     "others"};
    static_assert(std::size(kRowNames) == o::kRows);
    std::uint8_t rec[o::kSize] = {};
    int rc = fe_get_dc_counters(rec);
    if (rc < 0) {
        print(ctx, "Error: get data collection FE counters failed\n");
        return rc;
    }
    Fields r(std::span<const std::uint8_t>{rec});
    std::uint32_t on = 0;
    fe_get_boolean_value(&on, kDcStatusId, "get FE DC status");
    print(ctx, "\nData collection is %s in FE\n", on ? "enabled" : "disabled");
    print(ctx, "--------------- From station ------ To station ----------\n");
    auto row = [&](const char* name, std::size_t at, bool be) {
        auto v = [&](std::size_t k) {
            std::uint32_t x = be ? wire::load_be32(rec + at + k * 4) : r.h32(at + k * 4);
            return static_cast<int>(x);
        };
        print(ctx, "%-14s: %-8d %-8d   %-8d %-8d\n", name, v(0), v(1), v(2), v(3));
    };
    for (std::size_t i = 0; i < o::kRows; ++i) {
        if (i == static_cast<std::size_t>(o::Row::Udp)) print(ctx, "\n");
        row(kRowNames[i], i * o::kRowSize, false);
    }
    print(ctx, "\n");
    std::size_t apps = std::min<std::size_t>(r.h32(o::kAppHeader) >> 16, o::kMaxApps);
    for (std::size_t i = 0; i < apps; ++i) {
        std::size_t at = o::kApps + i * o::kAppSize;
        std::string name = r.name(at + o::kAppName, o::kAppNameSize);
        row(name.c_str(), at + o::kAppCounters, true);
    }
    print(ctx, "\n");
    return 0;
}

}  // namespace

const char* qz_fed_drop_counter_name(std::size_t index) {
    static const PaddedDropNames padded;
    return index < fe_drop::kCount ? padded.names[index].c_str() : "unknown";
}

int qz_fed_show_counters(void* ctx, qz_fed_print_fn print, std::span<const std::uint8_t> args) {
    bool by_if = bit(args, ca::kIfBit), by_sta = bit(args, ca::kStaBit);
    bool drop = word(args, ca::kShowDrop) != 0, all = word(args, ca::kShowAllDrop) != 0;
    bool dc = word(args, ca::kShowDc) != 0;
    if (!by_if && !by_sta && !drop && !all && !dc) return show_list(ctx, print);
    int rc = 0;
    if (by_if) rc = show_interface(ctx, print, fedcli::name(args, ca::kIf, ca::kIfSize));
    if (rc == 0 && by_sta) rc = show_station(ctx, print, Fields(args).mac(ca::kSta));
    if (rc == 0 && (drop || all)) rc = show_drops(ctx, print, all);
    if (rc == 0 && dc) rc = show_dc(ctx, print);
    return rc;
}

int qz_fed_cli_show_counters(void* ctx, std::span<const std::uint8_t> args) {
    return qz_fed_show_counters(ctx, qz_cli_printf, args);
}

int qz_fed_cli_clear_counters(void* ctx, std::span<const std::uint8_t> args) {
    bool by_if = bit(args, ca::kIfBit), by_sta = bit(args, ca::kStaBit);
    bool drop = word(args, ca::kClrDrop) != 0, tunnel = word(args, ca::kClrTunnel) != 0;
    bool policy = word(args, ca::kClrPolicy) != 0, dc = word(args, ca::kClrDc) != 0;
    if (!by_if && !by_sta && !drop && !tunnel && !policy && !dc) {
        qz_cli_printf(ctx, "clear all counters");
        if (fe_clear_all_counters() < 0) qz_cli_printf(ctx, "error in clearing all counters\n");
        return 0;
    }
    std::int32_t status = 0;
    if (by_if) {
        std::string name = fedcli::name(args, ca::kIf, ca::kIfSize);
        if (fe_clear_counters_per_dev(name.c_str(), &status) < 0) {
            qz_cli_printf(ctx, "error in clear counters per device (%s)\n", name.c_str());
            return 0;
        }
        if (status < 0) {
            qz_cli_printf(ctx, "device with name %s not found\n", name.c_str());
            return 0;
        }
    }
    if (by_sta) {
        const std::uint8_t* mac = Fields(args).mac(ca::kSta);
        qz_cli_printf(ctx, "\tstation MAC = %m\n", mac);
        if (fe_clear_counters_per_station(mac, &status) < 0) {
            qz_cli_printf(ctx, "error in clear counter per mac (%m)\n", mac);
            return 0;
        }
        if (status < 0) {
            qz_cli_printf(ctx, "station with mac %m not found\n", mac);
            return 0;
        }
    }
    if (drop) {
        if (fe_clear_drop_counters() < 0) {
            qz_cli_printf(ctx, "error in clearing drop counters\n");
            return 0;
        }
        if (fe_clear_counters_all_stations() < 0) {
            qz_cli_printf(ctx, "error in clear counter fo all stations\n");
            return 0;
        }
    }
    if (tunnel && fe_clear_tunnel_counters() < 0) {
        qz_cli_printf(ctx, "error in cleaning tunnel counters\n");
        return 0;
    }
    if (policy && fe_clear_policy_counters() < 0) {
        qz_cli_printf(ctx, "error in cleaning policy counters\n");
        return 0;
    }
    if (dc && fe_clear_dc_counters() < 0)
        qz_cli_printf(ctx, "Error: clear data collection counters failed\n");
    return 0;
}

int qz_fed_counter_list(std::vector<std::uint8_t>& list, int* wanted) {
    list.clear();
    int n = fe_get_counter_entry_cnt();
    *wanted = n;
    if (n < 1) return n < 0 ? n : 0;
    try {
        list.resize(static_cast<std::size_t>(n) * fe_counter::kSize);
    } catch (const std::bad_alloc&) {
        return QZ_FED_COUNTER_NO_MEMORY;
    }
    auto got = static_cast<std::uint32_t>(n);
    int rc = fe_get_counter_list(list.data(), &got);
    if (rc < 0) {
        list.clear();
        return rc;
    }
    // Never more than asked for, whatever the FE says it copied.
    list.resize(std::size_t{std::min(got, static_cast<std::uint32_t>(n))} * fe_counter::kSize);
    return 0;
}
