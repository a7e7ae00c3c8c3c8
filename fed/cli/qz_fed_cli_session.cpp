#include "fed/cli/qz_fed_cli_session.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>

#include "fed/cli/qz_fed_cli_util.h"
#include "platform/fe.h"
#include "platform/qz.h"
#include "platform/wire.h"

namespace sa = qz_fed_sess_arg;

namespace {

inline constexpr std::uint32_t kGateCountId = 55;
inline constexpr std::uint32_t kGateBatch = 32;
inline constexpr std::uint32_t kMacCountId = 3;
inline constexpr std::uint32_t kIpCountId = 41;
inline constexpr std::uint32_t kSyncVlanId = 158;
inline constexpr std::uint32_t kSessionBatch = 16;
inline constexpr std::uint32_t kNoIf = 0xFFFFFFFFu;  // flow without an outgoing interface
inline constexpr std::uint32_t kZoneAccess = 1;
inline constexpr std::uint32_t kZoneBackhaul = 2;

using fedcli::bit;
using fedcli::Fields;
using fedcli::show_fe_table;
using fedcli::word;
using Entry = std::span<const std::uint8_t>;

// An FE count read by number; the table shows nothing without it.
auto fe_count(std::uint32_t id, const char* text) {
    return [=](std::uint32_t* n) { return fe_get_int_value(n, id, text); };
}

// The interface's name, or "n/a" for none or an unknown index.
const char* if_name(std::uint32_t ifindex, char (&buf)[32]) {
    if (ifindex == kNoIf || !qz_if_indextoname(ifindex, buf)) return "n/a";
    return buf;
}

// " InPol: NAME/N;" and " OutPol: NAME/N;" for each policy the session has.
void print_policies(void* ctx, qz_fed_print_fn print, Fields r, std::size_t in_num,
                    std::size_t out_num, std::size_t in_name, std::size_t out_name,
                    std::size_t size, const char* in_fmt, const char* out_fmt) {
    if (r.hi32(in_num) != 0) print(ctx, in_fmt, r.name(in_name, size).c_str(), r.hi32(in_num));
    if (r.hi32(out_num) != 0) print(ctx, out_fmt, r.name(out_name, size).c_str(), r.hi32(out_num));
}

const char* alg_name(std::uint32_t alg) {
    static constexpr const char* kNames[] = {"n/a", "ftp", "tftp", "sip", "dns", "dhcp", "http"};
    return alg < std::size(kNames) ? kNames[alg] : "n/a";
}

char flag_letter(std::uint32_t flags, std::uint32_t bit, char letter) {
    return (flags & bit) ? letter : ' ';
}

// A port as the FE keeps it (network order) to the number it is.
unsigned port_number(std::uint16_t net) {
    std::uint8_t b[2];
    wire::store_h(b, net);
    return wire::load_be16(b);
}

}  // namespace

int qz_fed_show_ip_gate_table(void* ctx, qz_fed_print_fn print) {
    static constexpr fedcli::FeTable kGates{1, kGateBatch, "ERROR: Cannot get ip gate cnt\n",
                                            "ERROR: Cannot alloc memory for ip gate list\n",
                                            "ERROR: error code in reading ip gates..\n"};
    return show_fe_table<fe_ip_gate_t>(
        ctx, print, kGates, fe_count(kGateCountId, "get IP gate count"),
        [](fe_ip_gate_t* buf, std::uint32_t* got, std::uint32_t index) {
            return fe_get_ip_gate_table(buf, got, index);
        },
        [&](std::uint32_t count) {
            print(ctx, "IP gate table:\n");
            print(ctx, "Ageout time (in ms)\n");
            print(ctx, "Total entries: %u/%u\n\n", count, FE_IP_GATE_MAX);
        },
        [&](std::span<const fe_ip_gate_t> e, std::uint32_t) {
            const fe_ip_gate_t& g = e[0];
            print(ctx, "%i/%d -> %i/%d; Proto %d; Flg:0x%x; RefCnt:%u; Pid:%u; Ageout;%d\n",
                  g.src_ip, port_number(g.src_port), g.dst_ip, port_number(g.dst_port), g.protocol,
                  g.flags, g.refcnt, g.pid, g.ageout);
        });
}

// ---- MAC sessions ----------------------------------------------------------

namespace {

namespace ms = fe_mac_sess;

void print_mac_entry(void* ctx, qz_fed_print_fn print, Fields r) {
    std::uint32_t up = r.h32(ms::kUpSecs);
    print(ctx, "Id:%u; Ageout:%u; Up:%u min %u sec; Flag: 0x%x; UPID: %d", r.h32(ms::kId),
          r.h32(ms::kAgeout), up / 60, up % 60, r.h32(ms::kFlags), r.hi32(ms::kUpid));
    print_policies(ctx, print, r, ms::kInPolNum, ms::kOutPolNum, ms::kInPolName, ms::kOutPolName,
                   ms::kPolNameSize, " InPol: %s/%d;", " OutPol: %s/%d;");
    print(ctx, "\n");
    for (int d = 0; d < 2; ++d) {
        Fields f = r.sub(d == 0 ? ms::kFlow0 : ms::kFlow1, ms::kFlowSize);
        std::uint32_t fl = f.h32(ms::kFlFlags);
        if (fl & FE_FLOW_NOT_INSTALLED) continue;
        char ifname[32];
        print(ctx, "    %m->%m,%s; Tun:%u; Flg:%c%c%c%c (0x%x);", f.mac(ms::kFlSrcMac),
              f.mac(ms::kFlDstMac), if_name(f.h32(ms::kFlOutIf), ifname), f.h32(ms::kFlTunnel),
              flag_letter(fl, FE_FLOW_ENCAP, 'E'), flag_letter(fl, FE_FLOW_SELF, 'S'),
              flag_letter(fl, FE_FLOW_CWP, 'C'), flag_letter(fl, FE_FLOW_ROUTE_INVALID, 'R'), fl);
        if (fl & FE_FLOW_VLAN) print(ctx, " Vlan:%u;", f.h32(ms::kFlVlan));
        print(ctx, d == 0 ? " Paks:%u; Bytes: %u;" : " Paks:%u; Bytes:%u;", f.h32(ms::kFlPackets),
              f.h32(ms::kFlBytes));
        print(ctx, " Zone:%c; CAVC:%d\n", f.h32(ms::kFlZone) == kZoneAccess ? 'A' : 'B',
              r.hi32(ms::kCavc));
    }
}

const char* zone_name(std::uint32_t zone) {
    return zone == kZoneAccess ? "access" : zone == kZoneBackhaul ? "backhaul" : "unknown";
}

void print_mac_flow_detail(void* ctx, qz_fed_print_fn print, Fields r, Fields f) {
    static constexpr const char* kCwpStates[] = {"zero", "Authorized", "Rregistered", "three",
                                                 "Pending"};
    std::uint32_t fl = f.h32(ms::kFlFlags);
    char ifname[32];
    const char* out_if = if_name(f.h32(ms::kFlOutIf), ifname);
    print(ctx,
          "Vector index=0x%x; Tunnel ID=%u;\nSrc MAC=%m; Dst MAC=%m; Next Hop=%m\n"
          "Interface=%s; Zone=%s; Nhop-Metric=%u;",
          f.h32(ms::kFlVector), f.h32(ms::kFlTunnel), f.mac(ms::kFlSrcMac), f.mac(ms::kFlDstMac),
          f.mac(ms::kFlNhopMac), out_if, zone_name(f.h32(ms::kFlZone)), f.h32(ms::kFlMetric));
    if (fl & FE_FLOW_VLAN) print(ctx, " Vlan:%u;", f.h32(ms::kFlVlan));
    print(ctx, " Packets=%u; Bytes: %u\n", f.h32(ms::kFlPackets), f.h32(ms::kFlBytes));
    std::string flags;
    if (fl & FE_FLOW_ENCAP) flags += "Encapsulated; ";
    if (fl & FE_FLOW_SELF) flags += "Self; ";
    if (fl & FE_FLOW_CWP)
        flags += "Captive web portal; ";
    else if (fl & FE_FLOW_STA)
        flags += "Sta; ";
    if (flags.empty()) flags = "; ";
    print(ctx, "Flags=%sFlow_flags=0x%x; UPID=%u; ", flags.c_str(), fl, r.h32(ms::kUpid));
    if (f.h32(ms::kFlOutIf) == kNoIf)
        print(ctx, "OutIf=n/a;");
    else
        print(ctx, "OutIf=%d;", f.hi32(ms::kFlOutIf));
    print(ctx, " CAVC:%d;\n", r.hi32(ms::kCavc));
    if (std::string_view(out_if) == "agg0")
        print(ctx, "AggMemIf: %s\n", f.h32(ms::kFlMember) == 1 ? "eth1" : "eth0");
    if (fl & FE_FLOW_CWP) {
        std::uint32_t state = f.h32(ms::kFlCwpState);
        char cwp_if[32];
        print(ctx, "Captive web portal info:\n");
        print(ctx, "Station MAC=%m; Interface=%s; Flag=%s\n", f.mac(ms::kFlCwpMac),
              if_name(f.h32(ms::kFlCwpIf), cwp_if),
              state < std::size(kCwpStates) ? kCwpStates[state] : "n/a");
    }
}

int show_one_mac_session(void* ctx, qz_fed_print_fn print, std::uint32_t id) {
    std::uint8_t buf[ms::kSize] = {};
    int rc = fe_get_one_mac_session(id, buf);
    if (rc < 0) {
        print(ctx,
              "ERROR: error in get specified mac session or specified mac session not exist!\n");
        return -1;
    }
    if (rc > 0) {
        print(ctx, "ERROR: specified flow not exist!\n");
        return 0;
    }
    Fields r{std::span<const std::uint8_t>(buf)};
    std::uint32_t up = r.h32(ms::kUpSecs);
    print(ctx, "ID=%u; Ageout-Time=%u; Flag=0x%x; UPID=%u; Up:%u min %u sec;", r.h32(ms::kId),
          r.h32(ms::kAgeout), r.h32(ms::kFlags), r.h32(ms::kUpid), up / 60, up % 60);
    print_policies(ctx, print, r, ms::kInPolNum, ms::kOutPolNum, ms::kInPolName, ms::kOutPolName,
                   ms::kPolNameSize, " InPol: %s/%d;", " OutPol: %s/%d;");
    print(ctx, "\n");
    print_mac_flow_detail(ctx, print, r, r.sub(ms::kFlow0, ms::kFlowSize));
    Fields rev = r.sub(ms::kFlow1, ms::kFlowSize);
    if (rev.h32(ms::kFlFlags) & FE_FLOW_NOT_INSTALLED)
        print(ctx, "Reverse flow not installed: Flags=0x%x; Nhop-Metric=%u;\n",
              rev.h32(ms::kFlFlags), rev.h32(ms::kFlMetric));
    else
        print_mac_flow_detail(ctx, print, r, rev);
    return 0;
}

int show_mac_table(void* ctx, qz_fed_print_fn print, const std::uint8_t* src,
                   const std::uint8_t* dst, std::uint16_t filter) {
    static constexpr fedcli::FeTable kMacSessions{
        ms::kSize, kSessionBatch, "ERROR: Cannot get mac session cnt\n",
        "ERROR: Cannot alloc memory for mac session list\n",
        "ERROR: error code in reading mac sessions..\n"};
    return show_fe_table<std::uint8_t>(
        ctx, print, kMacSessions, fe_count(kMacCountId, "get MAC session count"),
        [&](std::uint8_t* buf, std::uint32_t* got, std::uint32_t index) {
            return fe_get_mac_session_table(buf, got, index, src, dst, filter);
        },
        [&](std::uint32_t count) {
            std::uint32_t sync = 0;
            if (fe_get_boolean_value(&sync, kSyncVlanId, "get FE sess sync vlan status") == 0)
                print(ctx, "MAC session sync VLAN: %s\n", sync ? "Enabled" : "Disabled");
            print(ctx, "MAC session table:\n");
            print(ctx, "Flags: E=Encapsulate; S=Self; C=Captive web portal\n");
            print(ctx, "       R=SMAC Route invalid;\n");
            print(ctx, "Zone: A=Access; B=Backhaul; Ageout: Ageout time (in ms)\n");
            print(ctx, "Total entries: %u/%u\n\n", count, FE_SESSION_MAX);
        },
        [&](Entry e, std::uint32_t) { print_mac_entry(ctx, print, Fields(e)); });
}

// ---- IP sessions -----------------------------------------------------------

namespace is = fe_ip_sess;

void print_ip_entry(void* ctx, qz_fed_print_fn print, Fields r) {
    std::uint32_t up = r.h32(is::kUpSecs);
    print(ctx, "Id:%u; Ageout:%u; Flags:0x%x; QOS:%u; L7 ID:%u; ALG=%s; Up: %u min %u sec;",
          r.h32(is::kId), r.h32(is::kAgeout), r.h32(is::kFlags), r.h32(is::kQos), r.h32(is::kL7Id),
          alg_name(r.h32(is::kAlg)), up / 60, up % 60);
    if (r.h32(is::kParent) != 0) print(ctx, " Parent-IP-Sess:%u;", r.h32(is::kParent));
    print_policies(ctx, print, r, is::kInPolNum, is::kOutPolNum, is::kInPolName, is::kOutPolName,
                   is::kPolNameSize, " InPol:%s/%d;", " OutPol:%s/%d;");
    print(ctx, "\n");
    for (int d = 0; d < 2; ++d) {
        Fields f = r.sub(d == 0 ? is::kFlow0 : is::kFlow1, is::kFlowSize);
        std::uint32_t fl = f.h32(is::kFlFlags);
        if (fl & FE_FLOW_NOT_INSTALLED) continue;
        print(ctx,
              d == 0
                  ? "    %i/%d -> %i/%d; Proto %d; Flg:0x%x; Pkts:%u Bytes:%u Parent-MAC-Sess: %d\n"
                  : "    %i/%d -> %i/%d; Proto %d; Flg:0x%x; Pkts:%u Bytes:%u\n",
              f.h32(is::kFlSrcIp), f.h16(is::kFlSrcPort), f.h32(is::kFlDstIp),
              f.h16(is::kFlDstPort), f.u8(is::kFlProto), fl, f.h32(is::kFlPackets),
              f.h32(is::kFlBytes), f.hi32(is::kFlMacSess));
    }
}

int show_one_ip_session(void* ctx, qz_fed_print_fn print, std::uint32_t id) {
    std::uint8_t buf[is::kSize] = {};
    int rc = fe_get_one_ip_session(id, buf);
    if (rc < 0) {
        print(ctx, "ERROR: error in get specified ip session or specified ip session not exist!\n");
        return -1;
    }
    if (rc > 0) {
        print(ctx, "ERROR: specified IP session does not exist!\n");
        return 0;
    }
    Fields r{std::span<const std::uint8_t>(buf)};
    std::uint32_t up = r.h32(is::kUpSecs);
    print(ctx,
          "ID=%u; Ageout-Time=%u; Flags=0x%x; Gate-Cnt=%u; Data-Session-Cnt=%u L7 ID=%u; ALG=%s; "
          "Up: %u min %u sec\n",
          r.h32(is::kId), r.h32(is::kAgeout), r.h32(is::kFlags), r.h32(is::kGateCnt),
          r.h32(is::kDataCnt), r.h32(is::kL7Id), alg_name(r.h32(is::kAlg)), up / 60, up % 60);
    for (std::size_t at : {is::kFlow0, is::kFlow1}) {
        Fields f = r.sub(at, is::kFlowSize);
        std::uint32_t fl = f.h32(is::kFlFlags);
        if (fl & FE_FLOW_NOT_INSTALLED) continue;
        print(ctx,
              "Src-IP=%i; Dst-IP=%i;\n Src-Port=%u; Dst-Port=%u; Proto=%u, Flag=0x%x; "
              "Flow_flag=0x%x Paks=%u Bytes: %u\n",
              f.h32(is::kFlSrcIp), f.h32(is::kFlDstIp), f.h16(is::kFlSrcPort),
              f.h16(is::kFlDstPort), unsigned{f.u8(is::kFlProto)}, r.h32(is::kFlags), fl,
              f.h32(is::kFlPackets), f.h32(is::kFlBytes));
    }
    return 0;
}

struct IpFilter {
    std::uint32_t src_ip = 0, dst_ip = 0;
    std::uint16_t src_port = 0, dst_port = 0;
    std::uint8_t protocol = 0;
    std::int32_t value = -1;
};

// The filter fields of 767 and 781, where they lie in the record.
IpFilter ip_filter(std::span<const std::uint8_t> a) {
    IpFilter f;
    f.src_ip = word(a, sa::kSrcIp);
    f.dst_ip = word(a, sa::kDstIp);
    f.src_port = static_cast<std::uint16_t>(word(a, sa::kSrcPort));
    f.dst_port = static_cast<std::uint16_t>(word(a, sa::kDstPort));
    f.protocol = static_cast<std::uint8_t>(word(a, sa::kProtocol));
    if (bit(a, sa::kAlgBit)) f.value = static_cast<std::uint8_t>(word(a, sa::kAlg));
    return f;
}

int show_ip_table(void* ctx, qz_fed_print_fn print, const IpFilter& flt) {
    static constexpr fedcli::FeTable kIpSessions{is::kSize, kSessionBatch,
                                                 "ERROR: Cannot get ip session cnt\n",
                                                 "ERROR: Cannot alloc memory for ip session list\n",
                                                 "ERROR: error code in reading ip sessions..\n"};
    return show_fe_table<std::uint8_t>(
        ctx, print, kIpSessions, fe_count(kIpCountId, "get IP session count"),
        [&](std::uint8_t* buf, std::uint32_t* got, std::uint32_t index) {
            return fe_get_ip_session_table(buf, got, index, flt.src_ip, flt.dst_ip, flt.src_port,
                                           flt.dst_port, flt.protocol, flt.value);
        },
        [&](std::uint32_t count) {
            print(ctx, "IP session table:\n");
            print(ctx, "Ageout time (in ms)\n");
            print(ctx, "Total entries: %u/%u\n\n", count, FE_SESSION_MAX);
        },
        [&](Entry e, std::uint32_t) { print_ip_entry(ctx, print, Fields(e)); });
}

}  // namespace

int qz_fed_show_mac_sessions(void* ctx, qz_fed_print_fn print, std::span<const std::uint8_t> args) {
    if (bit(args, sa::kIdBit)) return show_one_mac_session(ctx, print, word(args, sa::kId));
    return show_mac_table(ctx, print, nullptr, nullptr, 0);
}

int qz_fed_show_mac_sessions_filtered(void* ctx, qz_fed_print_fn print,
                                      std::span<const std::uint8_t> args) {
    return show_mac_table(
        ctx, print, bit(args, sa::kSrcMacBit) ? Fields(args).mac(sa::kSrcMac) : nullptr,
        bit(args, sa::kDstMacBit) ? Fields(args).mac(sa::kDstMac) : nullptr,
        bit(args, sa::kVlanBit) ? static_cast<std::uint16_t>(word(args, sa::kVlan)) : 0);
}

int qz_fed_show_ip_sessions(void* ctx, qz_fed_print_fn print, std::span<const std::uint8_t> args) {
    if (bit(args, sa::kIdBit)) return show_one_ip_session(ctx, print, word(args, sa::kId));
    return show_ip_table(ctx, print, IpFilter{});
}

int qz_fed_show_ip_sessions_filtered(void* ctx, qz_fed_print_fn print,
                                     std::span<const std::uint8_t> args) {
    return show_ip_table(ctx, print, ip_filter(args));
}

int qz_fed_cli_show_ip_gate(void* ctx, std::span<const std::uint8_t>) {
    return qz_fed_show_ip_gate_table(ctx, qz_cli_printf);
}

int qz_fed_cli_show_mac_session(void* ctx, std::span<const std::uint8_t> args) {
    return qz_fed_show_mac_sessions(ctx, qz_cli_printf, args);
}

int qz_fed_cli_filter_mac_session(void* ctx, std::span<const std::uint8_t> args) {
    return qz_fed_show_mac_sessions_filtered(ctx, qz_cli_printf, args);
}

int qz_fed_cli_show_ip_session(void* ctx, std::span<const std::uint8_t> args) {
    return qz_fed_show_ip_sessions(ctx, qz_cli_printf, args);
}

int qz_fed_cli_filter_ip_session(void* ctx, std::span<const std::uint8_t> args) {
    return qz_fed_show_ip_sessions_filtered(ctx, qz_cli_printf, args);
}

int qz_fed_cli_clear_mac_session_id(void*, std::span<const std::uint8_t> args) {
    fe_clr_mac_session_by_id(word(args, sa::kId));
    return 0;
}

int qz_fed_cli_clear_mac_session_params(void*, std::span<const std::uint8_t> args) {
    fe_clr_mac_session_by_params(Fields(args).mac(sa::kSrcMac), Fields(args).mac(sa::kDstMac));
    return 0;
}

int qz_fed_cli_clear_ip_session_id(void*, std::span<const std::uint8_t> args) {
    if (bit(args, sa::kIdBit)) fe_clr_ip_session_by_id(word(args, sa::kId));
    return 0;
}

int qz_fed_cli_clear_ip_session_params(void*, std::span<const std::uint8_t> args) {
    IpFilter f = ip_filter(args);
    fe_clr_ip_sess_by_params(f.src_ip, f.src_port, f.dst_ip, f.dst_port, f.protocol);
    return 0;
}

// ---- policies, fragments, unroam, members, tunnels ---------------------------

namespace {

inline constexpr std::uint32_t kPolicyCountId = 5;
inline constexpr std::uint32_t kTunnelCountId = 6;
inline constexpr std::uint32_t kFcbBatch = 16;
inline constexpr std::size_t kAddrColumn = 16;  // a tunnel address and its blanks

// The tunnel row's format: each address padded to its column, whatever its length.
std::string tunnel_row_format(std::uint32_t src, std::uint32_t dst) {
    std::string f = "%-4u %c %c %c %-3u %-8d ";
    for (std::uint32_t addr : {src, dst}) {
        std::string text = qz_format("%i", addr);
        f += "%i";
        f.append(kAddrColumn - std::min(text.size(), kAddrColumn - 1), ' ');
    }
    return f + "%-8u %-4u %-8u %-4u\n";
}

}  // namespace

int qz_fed_show_policy_table(void* ctx, qz_fed_print_fn print) {
    namespace o = fe_policy;
    static constexpr fedcli::FeTable kPolicies{o::kSize, 0, "ERROR: error in get policy cnt\n",
                                               "ERROR: can't allocate mem to policy list\n",
                                               "ERROR: error in get policy list\n"};
    return show_fe_table<std::uint8_t>(
        ctx, print, kPolicies, fe_count(kPolicyCountId, "get policy count"),
        [](std::uint8_t* buf, std::uint32_t* got, std::uint32_t) {
            return fe_get_policy_table(buf, got);
        },
        [&](std::uint32_t got) {
            print(ctx, "Policy table:\n");
            print(ctx, "TID=tunnel id;\n");
            print(ctx, "Total entries: %u\n\n", got);
            print(ctx, "No.  MAC             Direction TID      Packets      CAVC\n");
            print(ctx, "---- --------------- --------- -------- ------------------\n");
        },
        [&](Entry e, std::uint32_t i) {
            Fields r(e);
            print(ctx, "%-4u %m %-9s  %-8d   %-8u   %-8u\n", i + 1, r.mac(o::kMac),
                  r.u8(o::kDirection) == 1 ? "in" : "out", r.hi32(o::kTunnel), r.h32(o::kPackets),
                  r.h32(o::kCavc));
        });
}

int qz_fed_show_frag_ageout(void* ctx, qz_fed_print_fn print) {
    int rc = fe_get_ip_frag_ageout_time();
    if (rc < 0) {
        print(ctx, "error in getting IP Frag ageout time, return: %d\n", rc);
        return rc;
    }
    print(ctx, "IP Frag ageout time: %u sec\n", static_cast<unsigned>(rc));
    return 0;
}

int qz_fed_show_fcb_list(void* ctx, qz_fed_print_fn print) {
    namespace o = fe_fcb;
    static constexpr fedcli::FeTable kFcbs{o::kSize, kFcbBatch, "ERROR: error in get FCB cnt\n",
                                           "ERROR: can't allocate mem to fcb list\n",
                                           "ERROR: error in get fcb list\n"};
    std::uint32_t frags = 0;
    return show_fe_table<std::uint8_t>(
        ctx, print, kFcbs, [&](std::uint32_t* fcbs) { return fe_get_ip_fcb_cnt(fcbs, &frags); },
        [](std::uint8_t* buf, std::uint32_t* got, std::uint32_t index) {
            return fe_get_ip_fcb_list(buf, got, index) != 0 ? -1 : 0;
        },
        [&](std::uint32_t fcbs) {
            print(ctx, "FCB List:\n");
            print(ctx, "Total FCBs: %u, Total Frags: %u\n\n", fcbs, frags);
            print(ctx, "No.  Src-IP            Dst-IP        IP-ID Proto\n");
            print(ctx, "---- --------------- --------------- ----- -----\n");
        },
        [&](Entry e, std::uint32_t i) {
            Fields r(e);
            print(ctx, "%-4u %-15i %-15i %-5u %-5u\n", i + 1, r.h32(o::kSrcIp), r.h32(o::kDstIp),
                  unsigned{r.h16(o::kIpId)}, unsigned{r.u8(o::kProto)});
            std::uint32_t n = std::min<std::uint32_t>(r.h32(o::kFragCnt), o::kMaxFrags);
            for (std::uint32_t k = 0; k < n; ++k) {
                Fields g = r.sub(o::kFrags + k * o::kFragSize, o::kFragSize);
                print(ctx, "\tFrag:%u; Start:%u; End:%u\n", k + 1, g.h32(o::kFragStart),
                      g.h32(o::kFragEnd));
            }
            print(ctx, "\tTotal Frags: %u; Total Holes: %u\n\n", r.h32(o::kFragCnt),
                  r.h32(o::kHoleCnt));
        });
}

int qz_fed_show_unroam(void* ctx, qz_fed_print_fn print, const std::uint8_t* mac) {
    std::uint32_t monitored = 0, reached = 0, duration = 0, threshold = 0, current = 0;
    if (fe_get_station_unroam_threshold(mac, &monitored, &reached, &duration, &threshold,
                                        &current) < 0) {
        print(ctx, "Error in getting unroam station threshold\n");
        return -1;
    }
    if (!monitored)
        print(ctx, "%m: not monitored for unroaming\n", mac);
    else if (!reached)
        print(ctx, "%m: not reached monitor duration %u sec\n", mac, duration);
    else
        print(ctx,
              "%m: config-duration %u sec; config-threshold %u pkts; current-threshsold %u pkts\n",
              mac, duration, threshold, current);
    return 0;
}

int qz_fed_show_member_if(void* ctx, qz_fed_print_fn print, const std::uint8_t* mac) {
    std::uint32_t ifindex = 0;
    int rc = qz_get_member_ifindex_from_src_mac(mac, &ifindex);
    if (rc < 0) {
        print(ctx, "error in getting member interface from MAC address\n");
        return rc;
    }
    if (ifindex == QZ_NO_MEMBER) {
        print(ctx, "no member interface found\n");
        return 0;
    }
    char name[32];
    print(ctx, "%s\n", if_name(ifindex, name));
    return 0;
}

int qz_fed_show_tunnel_table(void* ctx, qz_fed_print_fn print) {
    namespace o = fe_tunnel;
    static constexpr fedcli::FeTable kTunnels{o::kSize, 0, "ERROR: error in get tunnel cnt\n",
                                              "ERROR: can't allocate mem to tunnel list\n",
                                              "ERROR: error in get tunnel list\n"};
    return show_fe_table<std::uint8_t>(
        ctx, print, kTunnels, fe_count(kTunnelCountId, "get tunnel count"),
        [](std::uint8_t* buf, std::uint32_t* got, std::uint32_t) {
            return fe_get_tunnel_table(buf, got);
        },
        [&](std::uint32_t got) {
            print(ctx, "Tunnel table:\n");
            print(ctx, "T=Type; Z=Zone; F=Flag; PN=policy numbers;\n");
            print(ctx, "Age Out=idle time of the tunnel since last receive packet\n");
            print(ctx, "TXs=TX packets; TXE=TX errors; RXs=RX packets; RXE=RX errors;\n");
            print(ctx, "Type: G=General route encapsulation; O=Other tunnel;\n");
            print(ctx, "Zone: A=Access; B=Backhaul;\n");
            print(ctx, "Total entries: %u\n\n", got);
            print(ctx,
                  "ID   T Z F PN  Age Out  Src IP          Dst IP          TXs      TXE  RXs      "
                  "RXE \n");
            print(ctx,
                  "---- - - - --- -------- --------------- --------------- -------- ---- -------- "
                  "----\n");
        },
        [&](Entry e, std::uint32_t) {
            Fields r(e);
            int idle = r.hi32(o::kIdleMs);
            std::string fmt = tunnel_row_format(r.h32(o::kSrcIp), r.h32(o::kDstIp));
            print(ctx, fmt.c_str(), unsigned{r.h16(o::kId)}, r.u8(o::kType) == 0 ? 'G' : 'O',
                  r.u8(o::kZone) == kZoneAccess ? 'A' : 'B',
                  (r.h32(o::kFlags) & FE_TUNNEL_CLIENT) ? 'C' : 'P', r.h32(o::kPolicies),
                  idle == -1 ? -1 : idle / 1000, r.h32(o::kSrcIp), r.h32(o::kDstIp),
                  r.h32(o::kTxPkts), r.h32(o::kTxErr), r.h32(o::kRxPkts), r.h32(o::kRxErr));
        });
}

int qz_fed_cli_show_policy(void* ctx, std::span<const std::uint8_t>) {
    return qz_fed_show_policy_table(ctx, qz_cli_printf);
}

int qz_fed_cli_show_frag_ageout(void* ctx, std::span<const std::uint8_t>) {
    return qz_fed_show_frag_ageout(ctx, qz_cli_printf);
}

int qz_fed_cli_show_fcb(void* ctx, std::span<const std::uint8_t>) {
    return qz_fed_show_fcb_list(ctx, qz_cli_printf);
}

int qz_fed_cli_show_unroam(void* ctx, std::span<const std::uint8_t> args) {
    return qz_fed_show_unroam(ctx, qz_cli_printf, Fields(args).mac(sa::kStation));
}

int qz_fed_cli_set_frag_ageout(void* ctx, std::span<const std::uint8_t> args) {
    if (!bit(args, sa::kAgeoutBit)) return 0;
    int rc = fe_set_ip_frag_ageout_time(word(args, sa::kAgeout));
    if (rc < 0) {
        qz_cli_printf(ctx, "error in configuring IP Frag ageout time, return: %d\n", rc);
        return rc;
    }
    return 0;
}

int qz_fed_cli_show_member_if(void* ctx, std::span<const std::uint8_t> args) {
    return qz_fed_show_member_if(ctx, qz_cli_printf, Fields(args).mac(sa::kStation));
}

int qz_fed_cli_show_tunnel(void* ctx, std::span<const std::uint8_t>) {
    return qz_fed_show_tunnel_table(ctx, qz_cli_printf);
}

int qz_fed_cli_clear_tunnel_counters(void* ctx, std::span<const std::uint8_t>) {
    if (fe_clear_tunnel_counters() < 0) qz_cli_printf(ctx, "error in cleaning tunnel counters\n");
    return 0;
}

// ---- GRE tunnel clearing -----------------------------------------------------

namespace {

enum class GreTarget { Id, Station, All };

int clear_gre(void* ctx, std::span<const std::uint8_t> args, std::uint32_t kind, GreTarget target) {
    namespace o = qz_gre_clear;
    std::uint8_t rec[o::kSize] = {};
    wire::store_h<std::uint32_t>(rec + o::kKind, kind);
    wire::store_h<std::uint32_t>(rec + o::kAll, target == GreTarget::All ? 1 : 0);
    if (target == GreTarget::Id)
        wire::store_h<std::uint32_t>(rec + o::kTunnelId, word(args, sa::kId));
    if (target == GreTarget::Station)
        std::memcpy(rec + o::kStaMac, Fields(args).mac(sa::kStation), 6);
    if (qz_event_send(o::kEvent, o::kSize, rec) != 0)
        qz_cli_printf(ctx, target == GreTarget::Station
                               ? "Clear gre-tunnel station error:send event  fail!\n"
                               : "Clear gre-tunnel error:send event  fail!\n");
    return 0;
}

}  // namespace

int qz_fed_cli_clear_gre_station(void* ctx, std::span<const std::uint8_t> args) {
    return clear_gre(ctx, args, qz_gre_clear::kServer, GreTarget::Station);
}

int qz_fed_cli_clear_gre_id(void* ctx, std::span<const std::uint8_t> args) {
    return clear_gre(ctx, args, qz_gre_clear::kServer, GreTarget::Id);
}

int qz_fed_cli_clear_gre_all(void* ctx, std::span<const std::uint8_t> args) {
    return clear_gre(ctx, args, qz_gre_clear::kServer, GreTarget::All);
}

int qz_fed_cli_clear_gre_client_station(void* ctx, std::span<const std::uint8_t> args) {
    return clear_gre(ctx, args, qz_gre_clear::kClient, GreTarget::Station);
}

int qz_fed_cli_clear_gre_client_id(void* ctx, std::span<const std::uint8_t> args) {
    return clear_gre(ctx, args, qz_gre_clear::kClient, GreTarget::Id);
}

int qz_fed_cli_clear_gre_client_all(void* ctx, std::span<const std::uint8_t> args) {
    return clear_gre(ctx, args, qz_gre_clear::kClient, GreTarget::All);
}

// ---- user-profile setting ------------------------------------------------------

namespace {

using qz_fed_sess_arg::kUpName;
using qz_fed_sess_arg::kUpNameSize;
using qz_fed_sess_arg::kUpRedir;
using qz_fed_sess_arg::kUpRedirSize;

// A NUL-terminated name of at most width - 1 characters from the record.
std::string record_name(std::span<const std::uint8_t> b, std::size_t off, std::size_t width) {
    std::string s;
    for (std::size_t i = off; i < b.size() && i < off + width - 1 && b[i]; ++i)
        s += static_cast<char>(b[i]);
    return s;
}

}  // namespace

int qz_fed_cli_up_redir(void* ctx, std::span<const std::uint8_t> args) {
    std::string up = record_name(args, kUpName, kUpNameSize);
    std::string redir =
        QZ_CMD_TYPE(ctx) == QZ_CMD_TYPE_NO ? "" : record_name(args, kUpRedir, kUpRedirSize);
    return qz_dcd_set_up_redir(up.c_str(), redir.c_str());
}
