// Configuration library (qz_dcd_) and platform query (qz_tpa_) calls that
// reach apsim by name. Args and out are the host-order records of each call.
#include "sim/core.h"

namespace sim {

namespace {

using NamedFn = int (*)(Core& c, std::span<const std::uint8_t> args,
                        std::vector<std::uint8_t>& out);

struct NamedCall {
    std::string_view name;
    NamedFn fn;
};

// A name argument: a str, cut at a NUL inside it.
bool name_arg(std::span<const std::uint8_t> args, std::string& name) {
    wire::Reader r(args);
    name = r.str();
    if (!r.ok()) return false;
    name = name.substr(0, name.find('\0'));
    return true;
}

void name_out(std::string_view name, std::vector<std::uint8_t>& out) {
    wire::Writer w;
    w.str(name);
    out = std::move(w.buf());
}

// args: str kernel name -> out: str user name
int int_ifname_to_user(Core& c, std::span<const std::uint8_t> args,
                       std::vector<std::uint8_t>& out) {
    std::string name;
    const Iface* i = name_arg(args, name) ? iface_by_kname_locked(c, name) : nullptr;
    if (!i || i->uname.empty()) return -1;
    name_out(i->uname, out);
    return 0;
}

// args: str user name -> out: str kernel name
int user_ifname_to_int(Core& c, std::span<const std::uint8_t> args,
                       std::vector<std::uint8_t>& out) {
    std::string name;
    const Iface* i = name_arg(args, name) ? iface_by_uname_locked(c, name) : nullptr;
    if (!i) return -1;
    name_out(i->kname, out);
    return 0;
}

// args: str SSID, u32 max -> out: u32 n, n x 17-byte kernel names of the
// interfaces the SSID is bound to (none: n = 0)
int vwifi_byssid(Core& c, std::span<const std::uint8_t> args, std::vector<std::uint8_t>& out) {
    wire::Reader r(args);
    std::string ssid = r.str();
    std::uint32_t max = r.h32();
    if (!r.ok() || ssid.empty() || ssid.size() > 32) return -1;
    std::vector<std::uint8_t> names;
    std::uint32_t n = 0;
    for (const auto& [s, ifname] : c.dcd_fe.ssid_ifaces) {
        if (s != ssid || n == max) continue;
        std::size_t at = names.size();
        names.resize(at + 17, 0);
        std::copy_n(ifname.begin(), std::min<std::size_t>(ifname.size(), 16), names.begin() + at);
        ++n;
    }
    out.resize(4);
    wire::store_h<std::uint32_t>(out.data(), n);
    out.insert(out.end(), names.begin(), names.end());
    return 0;
}

constexpr NamedCall kDcdCalls[] = {
    {"qz_dcd_int_ifname_to_user_ifname", int_ifname_to_user},
    {"qz_dcd_user_ifname_to_int_ifname", user_ifname_to_int},
    {"qz_dcd_forfed_vwifi_byssid", vwifi_byssid},
};

void u32_out(std::uint32_t v, std::vector<std::uint8_t>& out) {
    out.resize(4);
    wire::store_h<std::uint32_t>(out.data(), v);
}

// -> out: u32 address, network order
int tpa_get_ppsksrv(Core& c, std::span<const std::uint8_t>, std::vector<std::uint8_t>& out) {
    u32_out(c.ppsk_server, out);
    return 0;
}

// -> out: u32 flag (no configuration delta is ever being pushed here)
int tpa_get_delta_flag(Core&, std::span<const std::uint8_t>, std::vector<std::uint8_t>& out) {
    u32_out(0, out);
    return 0;
}

// args: str name -> out: u32 address (network order), as the
// configuration library knows the interface
int tpa_read_interface(Core& c, std::span<const std::uint8_t> args,
                       std::vector<std::uint8_t>& out) {
    int rc = dcd_call_locked(c, "qz_dcd_get_addr_byname", args, out);
    if (rc == 0) out.resize(4);
    return rc;
}

// args: u32 max -> out: u32 n, n x 16-byte station airtime records
int tpa_cac_list(Core& c, std::span<const std::uint8_t> args, std::vector<std::uint8_t>& out) {
    wire::Reader r(args);
    std::uint32_t max = r.h32();
    if (!r.ok()) return -1;
    std::uint32_t n = std::min<std::uint32_t>(max, static_cast<std::uint32_t>(c.cac_stas.size()));
    u32_out(n, out);
    for (std::uint32_t i = 0; i < n; ++i)
        out.insert(out.end(), c.cac_stas[i].begin(), c.cac_stas[i].end());
    return 0;
}

// args: 6-byte MAC (all zero: every station); -1 for a station without a record
int tpa_cac_clear(Core& c, std::span<const std::uint8_t> args, std::vector<std::uint8_t>&) {
    if (args.size() != 6) return -1;
    static constexpr std::uint8_t kAll[6] = {};
    bool all = std::equal(args.begin(), args.end(), kAll), found = false;
    for (auto& sta : c.cac_stas) {
        if (!all && !std::equal(args.begin(), args.end(), sta.begin())) continue;
        std::fill(sta.begin() + 8, sta.end(), 0);
        found = true;
    }
    return all || found ? 0 : -1;
}

// -> out: the token bucket words
int tpa_tb_list(Core& c, std::span<const std::uint8_t>, std::vector<std::uint8_t>& out) {
    out.resize(c.cac_tb.size() * 4);
    for (std::size_t i = 0; i < c.cac_tb.size(); ++i)
        wire::store_h<std::uint32_t>(out.data() + 4 * i, c.cac_tb[i]);
    return 0;
}

constexpr NamedCall kTpaCalls[] = {
    {"qz_get_sta_cac_airtime_list", tpa_cac_list},
    {"qz_clear_sta_cac_airtime_list", tpa_cac_clear},
    {"qz_get_tb_list", tpa_tb_list},
    {"qz_tpa_get_ppsksrv", tpa_get_ppsksrv},
    {"read_interface", tpa_read_interface},
    {"qz_tpa_get_delta_flag", tpa_get_delta_flag},
};

template <std::size_t N>
int dispatch(const NamedCall (&table)[N], Core& c, std::string_view fn,
             std::span<const std::uint8_t> args, std::vector<std::uint8_t>& out) {
    for (const NamedCall& n : table)
        if (n.name == fn) return n.fn(c, args, out);
    return kNoSuchCall;
}

}  // namespace

int dcd_call_locked(Core& c, std::string_view fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out) {
    int rc = dispatch(kDcdCalls, c, fn, args, out);
    if (rc == kNoSuchCall) rc = dcd_fe_call_locked(c, fn, args, out);
    if (rc == kNoSuchCall) rc = dcd_vcon_call_locked(c, fn, args, out);
    if (rc == kNoSuchCall) rc = dcd_up_call_locked(c, fn, args, out);
    return rc == kNoSuchCall ? dcd_svc_call_locked(c, fn, args, out) : rc;
}

int tpa_call_locked(Core& c, std::string_view fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out) {
    int rc = dispatch(kTpaCalls, c, fn, args, out);
    return rc == kNoSuchCall ? tpa_svc_call_locked(c, fn, args, out) : rc;
}

}  // namespace sim
