#include "fed/cli/qz_fed_cli_session.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <string_view>

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

// The argument record as the handler reads it: words and fields at their offsets.
struct Args {
    std::span<const std::uint8_t> b;
    bool bit(unsigned n) const { return (u32(0) >> n) & 1u; }
    std::uint32_t u32(std::size_t off) const {
        return off + 4 <= b.size() ? wire::load_h<std::uint32_t>(b.data() + off) : 0;
    }
    const std::uint8_t* mac(std::size_t off) const {
        static constexpr std::uint8_t kZero[6] = {};
        return off + 6 <= b.size() ? b.data() + off : kZero;
    }
};

// A record's fields: host-order words, MACs and names at their offsets.
struct Rec {
    const std::uint8_t* p;
    std::uint32_t u32(std::size_t off) const { return wire::load_h<std::uint32_t>(p + off); }
    int i32(std::size_t off) const { return wire::load_h<std::int32_t>(p + off); }
    unsigned u16(std::size_t off) const { return wire::load_h<std::uint16_t>(p + off); }
    const std::uint8_t* mac(std::size_t off) const { return p + off; }
    Rec at(std::size_t off) const { return Rec{p + off}; }
    // A NUL-padded name of `size` bytes, NUL-terminated into `out`.
    const char* name(std::size_t off, std::size_t size, char (&out)[32]) const {
        std::size_t n = std::min(size, sizeof out - 1);
        std::memcpy(out, p + off, n);
        out[n] = '\0';
        return out;
    }
};

// The interface's name, or "n/a" for none or an unknown index.
const char* if_name(std::uint32_t ifindex, char (&buf)[32]) {
    if (ifindex == kNoIf || !qz_if_indextoname(ifindex, buf)) return "n/a";
    return buf;
}

// " InPol: NAME/N;" and " OutPol: NAME/N;" for each policy the session has.
void print_policies(void* ctx, qz_fed_print_fn print, Rec r, std::size_t in_num,
                    std::size_t out_num, std::size_t in_name, std::size_t out_name,
                    std::size_t size, const char* in_fmt, const char* out_fmt) {
    char name[32];
    if (r.i32(in_num) != 0) print(ctx, in_fmt, r.name(in_name, size, name), r.i32(in_num));
    if (r.i32(out_num) != 0) print(ctx, out_fmt, r.name(out_name, size, name), r.i32(out_num));
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
    std::uint32_t count = 0;
    int rc = fe_get_int_value(&count, kGateCountId, "get IP gate count");
    if (rc != 0) {
        print(ctx, "ERROR: Cannot get ip gate cnt\n");
        return rc;
    }
    if (count == 0) return 0;
    std::unique_ptr<fe_ip_gate_t[]> gates(new (std::nothrow) fe_ip_gate_t[kGateBatch]);
    if (!gates) {
        print(ctx, "ERROR: Cannot alloc memory for ip gate list\n");
        return -1;
    }
    print(ctx, "IP gate table:\n");
    print(ctx, "Ageout time (in ms)\n");
    print(ctx, "Total entries: %u/%u\n\n", count, FE_IP_GATE_MAX);
    std::uint32_t got = kGateBatch;
    for (std::uint32_t index = 0; index < count && got == kGateBatch; index += got) {
        got = kGateBatch;
        rc = fe_get_ip_gate_table(gates.get(), &got, index);
        if (rc != 0) {
            print(ctx, "ERROR: error code in reading ip gates..\n");
            return rc;
        }
        for (std::uint32_t i = 0; i < got; ++i) {
            const fe_ip_gate_t& g = gates[i];
            print(ctx, "%i/%d -> %i/%d; Proto %d; Flg:0x%x; RefCnt:%u; Pid:%u; Ageout;%d\n",
                  g.src_ip, port_number(g.src_port), g.dst_ip, port_number(g.dst_port), g.protocol,
                  g.flags, g.refcnt, g.pid, g.ageout);
        }
    }
    return 0;
}

// ---- MAC sessions ----------------------------------------------------------

namespace {

namespace ms = fe_mac_sess;

void print_mac_entry(void* ctx, qz_fed_print_fn print, Rec r) {
    std::uint32_t up = r.u32(ms::kUpSecs);
    print(ctx, "Id:%u; Ageout:%u; Up:%u min %u sec; Flag: 0x%x; UPID: %d", r.u32(ms::kId),
          r.u32(ms::kAgeout), up / 60, up % 60, r.u32(ms::kFlags), r.i32(ms::kUpid));
    print_policies(ctx, print, r, ms::kInPolNum, ms::kOutPolNum, ms::kInPolName, ms::kOutPolName,
                   ms::kPolNameSize, " InPol: %s/%d;", " OutPol: %s/%d;");
    print(ctx, "\n");
    for (int d = 0; d < 2; ++d) {
        Rec f = r.at(d == 0 ? ms::kFlow0 : ms::kFlow1);
        std::uint32_t fl = f.u32(ms::kFlFlags);
        if (fl & FE_FLOW_NOT_INSTALLED) continue;
        char ifname[32];
        print(ctx, "    %m->%m,%s; Tun:%u; Flg:%c%c%c%c (0x%x);", f.mac(ms::kFlSrcMac),
              f.mac(ms::kFlDstMac), if_name(f.u32(ms::kFlOutIf), ifname), f.u32(ms::kFlTunnel),
              flag_letter(fl, FE_FLOW_ENCAP, 'E'), flag_letter(fl, FE_FLOW_SELF, 'S'),
              flag_letter(fl, FE_FLOW_CWP, 'C'), flag_letter(fl, FE_FLOW_ROUTE_INVALID, 'R'), fl);
        if (fl & FE_FLOW_VLAN) print(ctx, " Vlan:%u;", f.u32(ms::kFlVlan));
        print(ctx, d == 0 ? " Paks:%u; Bytes: %u;" : " Paks:%u; Bytes:%u;", f.u32(ms::kFlPackets),
              f.u32(ms::kFlBytes));
        print(ctx, " Zone:%c; CAVC:%d\n", f.u32(ms::kFlZone) == kZoneAccess ? 'A' : 'B',
              r.i32(ms::kCavc));
    }
}

const char* zone_name(std::uint32_t zone) {
    return zone == kZoneAccess ? "access" : zone == kZoneBackhaul ? "backhaul" : "unknown";
}

void print_mac_flow_detail(void* ctx, qz_fed_print_fn print, Rec r, Rec f) {
    static constexpr const char* kCwpStates[] = {"zero", "Authorized", "Rregistered", "three",
                                                 "Pending"};
    std::uint32_t fl = f.u32(ms::kFlFlags);
    char ifname[32];
    const char* out_if = if_name(f.u32(ms::kFlOutIf), ifname);
    print(ctx,
          "Vector index=0x%x; Tunnel ID=%u;\nSrc MAC=%m; Dst MAC=%m; Next Hop=%m\n"
          "Interface=%s; Zone=%s; Nhop-Metric=%u;",
          f.u32(ms::kFlVector), f.u32(ms::kFlTunnel), f.mac(ms::kFlSrcMac), f.mac(ms::kFlDstMac),
          f.mac(ms::kFlNhopMac), out_if, zone_name(f.u32(ms::kFlZone)), f.u32(ms::kFlMetric));
    if (fl & FE_FLOW_VLAN) print(ctx, " Vlan:%u;", f.u32(ms::kFlVlan));
    print(ctx, " Packets=%u; Bytes: %u\n", f.u32(ms::kFlPackets), f.u32(ms::kFlBytes));
    std::string flags;
    if (fl & FE_FLOW_ENCAP) flags += "Encapsulated; ";
    if (fl & FE_FLOW_SELF) flags += "Self; ";
    if (fl & FE_FLOW_CWP)
        flags += "Captive web portal; ";
    else if (fl & FE_FLOW_STA)
        flags += "Sta; ";
    if (flags.empty()) flags = "; ";
    print(ctx, "Flags=%sFlow_flags=0x%x; UPID=%u; ", flags.c_str(), fl, r.u32(ms::kUpid));
    if (f.u32(ms::kFlOutIf) == kNoIf)
        print(ctx, "OutIf=n/a;");
    else
        print(ctx, "OutIf=%d;", f.i32(ms::kFlOutIf));
    print(ctx, " CAVC:%d;\n", r.i32(ms::kCavc));
    if (std::string_view(out_if) == "agg0")
        print(ctx, "AggMemIf: %s\n", f.u32(ms::kFlMember) == 1 ? "eth1" : "eth0");
    if (fl & FE_FLOW_CWP) {
        std::uint32_t state = f.u32(ms::kFlCwpState);
        char cwp_if[32];
        print(ctx, "Captive web portal info:\n");
        print(ctx, "Station MAC=%m; Interface=%s; Flag=%s\n", f.mac(ms::kFlCwpMac),
              if_name(f.u32(ms::kFlCwpIf), cwp_if),
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
    Rec r{buf};
    std::uint32_t up = r.u32(ms::kUpSecs);
    print(ctx, "ID=%u; Ageout-Time=%u; Flag=0x%x; UPID=%u; Up:%u min %u sec;", r.u32(ms::kId),
          r.u32(ms::kAgeout), r.u32(ms::kFlags), r.u32(ms::kUpid), up / 60, up % 60);
    print_policies(ctx, print, r, ms::kInPolNum, ms::kOutPolNum, ms::kInPolName, ms::kOutPolName,
                   ms::kPolNameSize, " InPol: %s/%d;", " OutPol: %s/%d;");
    print(ctx, "\n");
    print_mac_flow_detail(ctx, print, r, r.at(ms::kFlow0));
    Rec rev = r.at(ms::kFlow1);
    if (rev.u32(ms::kFlFlags) & FE_FLOW_NOT_INSTALLED)
        print(ctx, "Reverse flow not installed: Flags=0x%x; Nhop-Metric=%u;\n",
              rev.u32(ms::kFlFlags), rev.u32(ms::kFlMetric));
    else
        print_mac_flow_detail(ctx, print, r, rev);
    return 0;
}

int show_mac_table(void* ctx, qz_fed_print_fn print, const std::uint8_t* src,
                   const std::uint8_t* dst, std::uint16_t filter) {
    std::uint32_t count = 0;
    int rc = fe_get_int_value(&count, kMacCountId, "get MAC session count");
    if (rc != 0) {
        print(ctx, "ERROR: Cannot get mac session cnt\n");
        return rc;
    }
    if (count == 0) return 0;
    std::unique_ptr<std::uint8_t[]> buf(new (std::nothrow) std::uint8_t[kSessionBatch * ms::kSize]);
    if (!buf) {
        print(ctx, "ERROR: Cannot alloc memory for mac session list\n");
        return -1;
    }
    std::uint32_t sync = 0;
    if (fe_get_boolean_value(&sync, kSyncVlanId, "get FE sess sync vlan status") == 0)
        print(ctx, "MAC session sync VLAN: %s\n", sync ? "Enabled" : "Disabled");
    print(ctx, "MAC session table:\n");
    print(ctx, "Flags: E=Encapsulate; S=Self; C=Captive web portal\n");
    print(ctx, "       R=SMAC Route invalid;\n");
    print(ctx, "Zone: A=Access; B=Backhaul; Ageout: Ageout time (in ms)\n");
    print(ctx, "Total entries: %u/%u\n\n", count, FE_SESSION_MAX);
    std::uint32_t got = kSessionBatch;
    for (std::uint32_t index = 0; index < count && got == kSessionBatch; index += got) {
        got = kSessionBatch;
        rc = fe_get_mac_session_table(buf.get(), &got, index, src, dst, filter);
        if (rc != 0) {
            print(ctx, "ERROR: error code in reading mac sessions..\n");
            return rc;
        }
        for (std::uint32_t i = 0; i < got; ++i)
            print_mac_entry(ctx, print, Rec{&buf[i * ms::kSize]});
    }
    return 0;
}

// ---- IP sessions -----------------------------------------------------------

namespace is = fe_ip_sess;

void print_ip_entry(void* ctx, qz_fed_print_fn print, Rec r) {
    std::uint32_t up = r.u32(is::kUpSecs);
    print(ctx, "Id:%u; Ageout:%u; Flags:0x%x; QOS:%u; L7 ID:%u; ALG=%s; Up: %u min %u sec;",
          r.u32(is::kId), r.u32(is::kAgeout), r.u32(is::kFlags), r.u32(is::kQos), r.u32(is::kL7Id),
          alg_name(r.u32(is::kAlg)), up / 60, up % 60);
    if (r.u32(is::kParent) != 0) print(ctx, " Parent-IP-Sess:%u;", r.u32(is::kParent));
    print_policies(ctx, print, r, is::kInPolNum, is::kOutPolNum, is::kInPolName, is::kOutPolName,
                   is::kPolNameSize, " InPol:%s/%d;", " OutPol:%s/%d;");
    print(ctx, "\n");
    for (int d = 0; d < 2; ++d) {
        Rec f = r.at(d == 0 ? is::kFlow0 : is::kFlow1);
        std::uint32_t fl = f.u32(is::kFlFlags);
        if (fl & FE_FLOW_NOT_INSTALLED) continue;
        print(ctx,
              d == 0
                  ? "    %i/%d -> %i/%d; Proto %d; Flg:0x%x; Pkts:%u Bytes:%u Parent-MAC-Sess: %d\n"
                  : "    %i/%d -> %i/%d; Proto %d; Flg:0x%x; Pkts:%u Bytes:%u\n",
              f.u32(is::kFlSrcIp), f.u16(is::kFlSrcPort), f.u32(is::kFlDstIp),
              f.u16(is::kFlDstPort), f.p[is::kFlProto], fl, f.u32(is::kFlPackets),
              f.u32(is::kFlBytes), f.i32(is::kFlMacSess));
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
    Rec r{buf};
    std::uint32_t up = r.u32(is::kUpSecs);
    print(ctx,
          "ID=%u; Ageout-Time=%u; Flags=0x%x; Gate-Cnt=%u; Data-Session-Cnt=%u L7 ID=%u; ALG=%s; "
          "Up: %u min %u sec\n",
          r.u32(is::kId), r.u32(is::kAgeout), r.u32(is::kFlags), r.u32(is::kGateCnt),
          r.u32(is::kDataCnt), r.u32(is::kL7Id), alg_name(r.u32(is::kAlg)), up / 60, up % 60);
    for (std::size_t at : {is::kFlow0, is::kFlow1}) {
        Rec f = r.at(at);
        std::uint32_t fl = f.u32(is::kFlFlags);
        if (fl & FE_FLOW_NOT_INSTALLED) continue;
        print(ctx,
              "Src-IP=%i; Dst-IP=%i;\n Src-Port=%u; Dst-Port=%u; Proto=%u, Flag=0x%x; "
              "Flow_flag=0x%x Paks=%u Bytes: %u\n",
              f.u32(is::kFlSrcIp), f.u32(is::kFlDstIp), f.u16(is::kFlSrcPort),
              f.u16(is::kFlDstPort), unsigned{f.p[is::kFlProto]}, r.u32(is::kFlags), fl,
              f.u32(is::kFlPackets), f.u32(is::kFlBytes));
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
IpFilter ip_filter(const Args& a) {
    IpFilter f;
    f.src_ip = a.u32(sa::kSrcIp);
    f.dst_ip = a.u32(sa::kDstIp);
    f.src_port = static_cast<std::uint16_t>(a.u32(sa::kSrcPort));
    f.dst_port = static_cast<std::uint16_t>(a.u32(sa::kDstPort));
    f.protocol = static_cast<std::uint8_t>(a.u32(sa::kProtocol));
    if (a.bit(sa::kAlgBit)) f.value = static_cast<std::uint8_t>(a.u32(sa::kAlg));
    return f;
}

int show_ip_table(void* ctx, qz_fed_print_fn print, const IpFilter& flt) {
    std::uint32_t count = 0;
    int rc = fe_get_int_value(&count, kIpCountId, "get IP session count");
    if (rc != 0) {
        print(ctx, "ERROR: Cannot get ip session cnt\n");
        return rc;
    }
    if (count == 0) return 0;
    std::unique_ptr<std::uint8_t[]> buf(new (std::nothrow) std::uint8_t[kSessionBatch * is::kSize]);
    if (!buf) {
        print(ctx, "ERROR: Cannot alloc memory for ip session list\n");
        return -1;
    }
    print(ctx, "IP session table:\n");
    print(ctx, "Ageout time (in ms)\n");
    print(ctx, "Total entries: %u/%u\n\n", count, FE_SESSION_MAX);
    std::uint32_t got = kSessionBatch;
    for (std::uint32_t index = 0; index < count && got == kSessionBatch; index += got) {
        got = kSessionBatch;
        rc = fe_get_ip_session_table(buf.get(), &got, index, flt.src_ip, flt.dst_ip, flt.src_port,
                                     flt.dst_port, flt.protocol, flt.value);
        if (rc != 0) {
            print(ctx, "ERROR: error code in reading ip sessions..\n");
            return rc;
        }
        for (std::uint32_t i = 0; i < got; ++i)
            print_ip_entry(ctx, print, Rec{&buf[i * is::kSize]});
    }
    return 0;
}

}  // namespace

int qz_fed_show_mac_sessions(void* ctx, qz_fed_print_fn print, std::span<const std::uint8_t> args) {
    Args a{args};
    if (a.bit(sa::kIdBit)) return show_one_mac_session(ctx, print, a.u32(sa::kId));
    return show_mac_table(ctx, print, nullptr, nullptr, 0);
}

int qz_fed_show_mac_sessions_filtered(void* ctx, qz_fed_print_fn print,
                                      std::span<const std::uint8_t> args) {
    Args a{args};
    return show_mac_table(ctx, print, a.bit(sa::kSrcMacBit) ? a.mac(sa::kSrcMac) : nullptr,
                          a.bit(sa::kDstMacBit) ? a.mac(sa::kDstMac) : nullptr,
                          a.bit(sa::kVlanBit) ? static_cast<std::uint16_t>(a.u32(sa::kVlan)) : 0);
}

int qz_fed_show_ip_sessions(void* ctx, qz_fed_print_fn print, std::span<const std::uint8_t> args) {
    Args a{args};
    if (a.bit(sa::kIdBit)) return show_one_ip_session(ctx, print, a.u32(sa::kId));
    return show_ip_table(ctx, print, IpFilter{});
}

int qz_fed_show_ip_sessions_filtered(void* ctx, qz_fed_print_fn print,
                                     std::span<const std::uint8_t> args) {
    return show_ip_table(ctx, print, ip_filter(Args{args}));
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
    fe_clr_mac_session_by_id(Args{args}.u32(sa::kId));
    return 0;
}

int qz_fed_cli_clear_mac_session_params(void*, std::span<const std::uint8_t> args) {
    Args a{args};
    fe_clr_mac_session_by_params(a.mac(sa::kSrcMac), a.mac(sa::kDstMac));
    return 0;
}

int qz_fed_cli_clear_ip_session_id(void*, std::span<const std::uint8_t> args) {
    Args a{args};
    if (a.bit(sa::kIdBit))
        fe_clr_ip_session_by_id(a.u32(sa::kId));
    else
        fe_clr_ip_sess_by_params(0, 0, 0, 0, 0);  // every session
    return 0;
}

int qz_fed_cli_clear_ip_session_params(void*, std::span<const std::uint8_t> args) {
    IpFilter f = ip_filter(Args{args});
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
    std::uint32_t count = 0;
    int rc = fe_get_int_value(&count, kPolicyCountId, "get policy count");
    if (rc != 0) {
        print(ctx, "ERROR: error in get policy cnt\n");
        return rc;
    }
    if (count == 0) return 0;
    std::unique_ptr<std::uint8_t[]> buf(new (std::nothrow) std::uint8_t[count * o::kSize]);
    if (!buf) {
        print(ctx, "ERROR: can't allocate mem to policy list\n");
        return -1;
    }
    std::uint32_t got = count;
    rc = fe_get_policy_table(buf.get(), &got);
    if (rc != 0) {
        print(ctx, "ERROR: error in get policy list\n");
        return rc;
    }
    print(ctx, "Policy table:\n");
    print(ctx, "TID=tunnel id;\n");
    print(ctx, "Total entries: %u\n\n", got);
    print(ctx, "No.  MAC             Direction TID      Packets      CAVC\n");
    print(ctx, "---- --------------- --------- -------- ------------------\n");
    for (std::uint32_t i = 0; i < got; ++i) {
        Rec r{&buf[i * o::kSize]};
        print(ctx, "%-4u %m %-9s  %-8d   %-8u   %-8u\n", i + 1, r.mac(o::kMac),
              r.p[o::kDirection] == 1 ? "in" : "out", r.i32(o::kTunnel), r.u32(o::kPackets),
              r.u32(o::kCavc));
    }
    return 0;
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
    std::uint32_t fcbs = 0, frags = 0;
    int rc = fe_get_ip_fcb_cnt(&fcbs, &frags);
    if (rc != 0) {
        print(ctx, "ERROR: error in get FCB cnt\n");
        return rc;
    }
    if (fcbs == 0) return 0;
    std::unique_ptr<std::uint8_t[]> buf(new (std::nothrow) std::uint8_t[kFcbBatch * o::kSize]);
    if (!buf) {
        print(ctx, "ERROR: can't allocate mem to fcb list\n");
        return -1;
    }
    print(ctx, "FCB List:\n");
    print(ctx, "Total FCBs: %u, Total Frags: %u\n\n", fcbs, frags);
    print(ctx, "No.  Src-IP            Dst-IP        IP-ID Proto\n");
    print(ctx, "---- --------------- --------------- ----- -----\n");
    std::uint32_t got = kFcbBatch;
    for (std::uint32_t index = 0; index < fcbs && got == kFcbBatch; index += got) {
        std::memset(buf.get(), 0, kFcbBatch * o::kSize);
        got = kFcbBatch;
        if (fe_get_ip_fcb_list(buf.get(), &got, index) != 0) {
            print(ctx, "ERROR: error in get fcb list\n");
            return -1;
        }
        for (std::uint32_t i = 0; i < got; ++i) {
            Rec r{&buf[i * o::kSize]};
            print(ctx, "%-4u %-15i %-15i %-5u %-5u\n", index + i + 1, r.u32(o::kSrcIp),
                  r.u32(o::kDstIp), r.u16(o::kIpId), unsigned{r.p[o::kProto]});
            std::uint32_t n = std::min<std::uint32_t>(r.u32(o::kFragCnt), o::kMaxFrags);
            for (std::uint32_t k = 0; k < n; ++k) {
                Rec g = r.at(o::kFrags + k * o::kFragSize);
                print(ctx, "\tFrag:%u; Start:%u; End:%u\n", k + 1, g.u32(o::kFragStart),
                      g.u32(o::kFragEnd));
            }
            print(ctx, "\tTotal Frags: %u; Total Holes: %u\n\n", r.u32(o::kFragCnt),
                  r.u32(o::kHoleCnt));
        }
    }
    return 0;
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
    std::uint32_t count = 0;
    int rc = fe_get_int_value(&count, kTunnelCountId, "get tunnel count");
    if (rc != 0) {
        print(ctx, "ERROR: error in get tunnel cnt\n");
        return rc;
    }
    if (count == 0) return 0;
    std::unique_ptr<std::uint8_t[]> buf(new (std::nothrow) std::uint8_t[count * o::kSize]);
    if (!buf) {
        print(ctx, "ERROR: can't allocate mem to tunnel list\n");
        return -1;
    }
    std::uint32_t got = count;
    rc = fe_get_tunnel_table(buf.get(), &got);
    if (rc != 0) {
        print(ctx, "ERROR: error in get tunnel list\n");
        return rc;
    }
    print(ctx, "Tunnel table:\n");
    print(ctx, "T=Type; Z=Zone; F=Flag; PN=policy numbers;\n");
    print(ctx, "Age Out=idle time of the tunnel since last receive packet\n");
    print(ctx, "TXs=TX packets; TXE=TX errors; RXs=RX packets; RXE=RX errors;\n");
    print(ctx, "Type: G=General route encapsulation; O=Other tunnel;\n");
    print(ctx, "Zone: A=Access; B=Backhaul;\n");
    print(ctx, "Total entries: %u\n\n", got);
    print(ctx,
          "ID   T Z F PN  Age Out  Src IP          Dst IP          TXs      TXE  RXs      RXE \n");
    print(ctx,
          "---- - - - --- -------- --------------- --------------- -------- ---- -------- ----\n");
    for (std::uint32_t i = 0; i < got; ++i) {
        Rec r{&buf[i * o::kSize]};
        int idle = r.i32(o::kIdleMs);
        std::string fmt = tunnel_row_format(r.u32(o::kSrcIp), r.u32(o::kDstIp));
        print(ctx, fmt.c_str(), r.u16(o::kId), r.p[o::kType] == 0 ? 'G' : 'O',
              r.p[o::kZone] == kZoneAccess ? 'A' : 'B',
              (r.u32(o::kFlags) & FE_TUNNEL_CLIENT) ? 'C' : 'P', r.u32(o::kPolicies),
              idle == -1 ? -1 : idle / 1000, r.u32(o::kSrcIp), r.u32(o::kDstIp), r.u32(o::kTxPkts),
              r.u32(o::kTxErr), r.u32(o::kRxPkts), r.u32(o::kRxErr));
    }
    return 0;
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
    return qz_fed_show_unroam(ctx, qz_cli_printf, Args{args}.mac(sa::kStation));
}

int qz_fed_cli_set_frag_ageout(void* ctx, std::span<const std::uint8_t> args) {
    Args a{args};
    if (!a.bit(sa::kAgeoutBit)) return 0;
    int rc = fe_set_ip_frag_ageout_time(a.u32(sa::kAgeout));
    if (rc < 0) {
        qz_cli_printf(ctx, "error in configuring IP Frag ageout time, return: %d\n", rc);
        return rc;
    }
    return 0;
}

int qz_fed_cli_show_member_if(void* ctx, std::span<const std::uint8_t> args) {
    return qz_fed_show_member_if(ctx, qz_cli_printf, Args{args}.mac(sa::kStation));
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
    Args a{args};
    std::uint8_t rec[o::kSize] = {};
    wire::store_h<std::uint32_t>(rec + o::kKind, kind);
    wire::store_h<std::uint32_t>(rec + o::kAll, target == GreTarget::All ? 1 : 0);
    if (target == GreTarget::Id) wire::store_h<std::uint32_t>(rec + o::kTunnelId, a.u32(sa::kId));
    if (target == GreTarget::Station) std::memcpy(rec + o::kStaMac, a.mac(sa::kStation), 6);
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

// A NUL-terminated name of at most kUpNameSize - 1 characters from the record.
std::string record_name(std::span<const std::uint8_t> b, std::size_t off) {
    std::string s;
    for (std::size_t i = off; i < b.size() && i < off + kUpNameSize - 1 && b[i]; ++i)
        s += static_cast<char>(b[i]);
    return s;
}

}  // namespace

int qz_fed_cli_up_redir(void* ctx, std::span<const std::uint8_t> args) {
    std::string up = record_name(args, kUpName);
    std::string redir = QZ_CMD_TYPE(ctx) == QZ_CMD_TYPE_NO ? "" : record_name(args, kUpRedir);
    return qz_dcd_set_up_redir(up.c_str(), redir.c_str());
}
