// Configuration library calls of the FE settings and rate-limit commands:
// interface indexes, Ethernet bindings, device types, the ICSA record,
// default-route VLAN maps and the dual-profile flags.
//
// Each travels as Op::Dcd {str fn, blob args} -> {i32 rc, blob out}. Records (host order):
//   qz_if_nametoindex                  args: str name            -> out: u32 index
//   qz_if_indextoname                  args: u32 index           -> out: str kernel name
//   qz_dcd_get_macaddr                 args: u32 index           -> out: 6-byte MAC
//   qz_dcd_get_ethx_binding            args: u32 index           -> out: u32 bound index
//   qz_dcd_get_dev_type                args: u32 index           -> out: u32 type
//   qz_dcd_get_icsa                    args: -                   -> out: 20-byte record
//   qz_dcd_set_icsa                    args: 20-byte record
//   qz_dcd_get_default_route_vlan      args: u32 index           -> out: u32 empty, 512-byte map
//   qz_dcd_set_default_route_vlan      args: u32 index, u32 empty, 512-byte map
//   qz_dcd_update_eth_allow_vlan       args: u32 index, u32 flag
//   qz_dcd_set_fed_dual_profile_table  args: str ifname, u32 kind, u32 value
//   qz_dcd_set_up_redir                args: str user profile, str setting (empty: cleared)
#include <array>
#include <cstring>

#include "platform/backend.h"
#include "platform/qz.h"

namespace {

inline constexpr std::size_t kIfNameSize = 17;
inline constexpr std::size_t kMacSize = 6;

int dcd(std::string_view fn, const wire::Writer& args, std::vector<std::uint8_t>* out = nullptr) {
    return plat::call_named(proto::Op::Dcd, fn, args.span(), out);
}

// A call that answers one u32; writes *value only on success.
int dcd_u32(std::string_view fn, std::uint32_t arg, std::uint32_t* value) {
    if (!value) return -1;
    wire::Writer args;
    args.h32(arg);
    std::vector<std::uint8_t> out;
    int rc = dcd(fn, args, &out);
    if (rc < 0) return rc;
    wire::Reader r(out);
    std::uint32_t v = r.h32();
    if (!r.ok()) return -1;
    *value = v;
    return rc;
}

}  // namespace

std::uint32_t qz_if_nametoindex(const char* name) {
    if (!name) return 0;
    wire::Writer args;
    args.str(std::string_view(name, strnlen(name, 64)));
    std::vector<std::uint8_t> out;
    if (dcd("qz_if_nametoindex", args, &out) != 0) return 0;
    wire::Reader r(out);
    std::uint32_t index = r.h32();
    return r.ok() ? index : 0;
}

char* qz_if_indextoname(std::uint32_t ifindex, char* name) {
    if (!name) return nullptr;
    wire::Writer args;
    args.h32(ifindex);
    std::vector<std::uint8_t> out;
    if (dcd("qz_if_indextoname", args, &out) != 0) return nullptr;
    wire::Reader r(out);
    std::string s = r.str();
    if (!r.ok() || s.empty()) return nullptr;
    std::size_t n = std::min(s.size(), kIfNameSize - 1);
    std::memcpy(name, s.data(), n);
    name[n] = '\0';
    return name;
}

int qz_dcd_get_macaddr(std::uint32_t ifindex, std::uint8_t* mac) {
    if (!mac) return -1;
    wire::Writer args;
    args.h32(ifindex);
    std::vector<std::uint8_t> out;
    int rc = dcd("qz_dcd_get_macaddr", args, &out);
    if (rc != 0) return rc;
    if (out.size() != kMacSize) return -1;
    std::memcpy(mac, out.data(), kMacSize);
    return 0;
}

int qz_dcd_get_ethx_binding(std::uint32_t ifindex, std::uint32_t* bound) {
    return dcd_u32("qz_dcd_get_ethx_binding", ifindex, bound);
}

int qz_dcd_get_dev_type(std::uint32_t ifindex, std::uint32_t* type) {
    return dcd_u32("qz_dcd_get_dev_type", ifindex, type);
}

int qz_dcd_get_icsa(void* record) {
    if (!record) return -1;
    std::vector<std::uint8_t> out;
    int rc = dcd("qz_dcd_get_icsa", wire::Writer(), &out);
    if (rc < 0) return rc;
    if (out.size() != QZ_DCD_ICSA_SIZE) return -1;
    std::memcpy(record, out.data(), QZ_DCD_ICSA_SIZE);
    return rc;
}

int qz_dcd_set_icsa(const void* record) {
    if (!record) return -1;
    wire::Writer args;
    args.bytes(record, QZ_DCD_ICSA_SIZE);
    return dcd("qz_dcd_set_icsa", args);
}

int qz_dcd_get_default_route_vlan(std::uint32_t ifindex, std::uint32_t* empty, std::uint8_t* map) {
    if (!empty || !map) return -1;
    wire::Writer args;
    args.h32(ifindex);
    std::vector<std::uint8_t> out;
    int rc = dcd("qz_dcd_get_default_route_vlan", args, &out);
    if (rc < 0) return rc;
    wire::Reader r(out);
    std::uint32_t e = r.h32();
    std::array<std::uint8_t, QZ_VLAN_MAP_SIZE> m;
    r.bytes(m.data(), m.size());
    if (!r.ok() || r.left() != 0) return -1;
    *empty = e;
    std::memcpy(map, m.data(), m.size());
    return rc;
}

int qz_dcd_set_default_route_vlan(std::uint32_t ifindex, std::uint32_t empty,
                                  const std::uint8_t* map) {
    if (!map) return -1;
    wire::Writer args;
    args.h32(ifindex).h32(empty).bytes(map, QZ_VLAN_MAP_SIZE);
    return dcd("qz_dcd_set_default_route_vlan", args);
}

int qz_dcd_update_eth_allow_vlan(std::uint32_t ifindex, std::uint32_t flag) {
    wire::Writer args;
    args.h32(ifindex).h32(flag);
    return dcd("qz_dcd_update_eth_allow_vlan", args);
}

int qz_dcd_set_fed_dual_profile_table(const char* ifname, std::uint32_t kind, std::uint32_t value) {
    if (!ifname) return -1;
    wire::Writer args;
    args.str(std::string_view(ifname, strnlen(ifname, 64))).h32(kind).h32(value);
    return dcd("qz_dcd_set_fed_dual_profile_table", args);
}

int qz_dcd_set_up_redir(const char* up_name, const char* redir) {
    if (!up_name) return -1;
    wire::Writer args;
    args.str(up_name).str(redir ? redir : "");
    return dcd("qz_dcd_set_up_redir", args);
}
