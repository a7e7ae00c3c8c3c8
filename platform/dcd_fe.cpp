// Configuration library calls of the FE settings and rate-limit commands:
// interface indexes, Ethernet bindings, device types, the ICSA record,
// default-route VLAN maps and the dual-profile flags.
//
// Each travels as Op::Dcd {str fn, blob args} -> {i32 rc, blob out}. Records (host order):
//   qz_if_nametoindex                  args: str name            -> out: u32 index
//   qz_if_indextoname                  args: u32 index           -> out: str kernel name
//   qz_dcd_get_macaddr                 args: u32 index           -> out: 6-byte MAC
//   qz_dcd_get_addr_byname             args: str name            -> out: u32 address, u32 mask
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

#include "platform/call.h"
#include "platform/qz.h"

namespace {

inline constexpr std::size_t kIfNameSize = 17;
inline constexpr std::size_t kMacSize = 6;

plat::Reply dcd(std::string_view fn, const wire::Writer& args = wire::Writer()) {
    return plat::named_call(proto::Op::Dcd, fn, args);
}

// A call that answers one u32; writes *value only on success.
int dcd_u32(std::string_view fn, std::uint32_t arg, std::uint32_t* value) {
    if (!value) return -1;
    wire::Writer args;
    args.h32(arg);
    return plat::reply_words(dcd(fn, args), {value});
}

}  // namespace

std::uint32_t qz_if_nametoindex(const char* name) {
    if (!name) return 0;
    wire::Writer args;
    args.str(std::string_view(name, strnlen(name, 64)));
    std::uint32_t index = 0;
    return plat::reply_words(dcd("qz_if_nametoindex", args), {&index}) == 0 ? index : 0;
}

char* qz_if_indextoname(std::uint32_t ifindex, char* name) {
    if (!name) return nullptr;
    wire::Writer args;
    args.h32(ifindex);
    if (plat::reply_name(dcd("qz_if_indextoname", args), name, kIfNameSize) != 0 || !name[0])
        return nullptr;
    return name;
}

int qz_dcd_get_addr_byname(const char* name, std::uint32_t* addr, std::uint32_t* mask) {
    if (!name || !addr || !mask) return -1;
    wire::Writer args;
    args.str(name);
    return plat::reply_words(dcd("qz_dcd_get_addr_byname", args), {addr, mask});
}

int qz_dcd_get_macaddr(std::uint32_t ifindex, std::uint8_t* mac) {
    if (!mac) return -1;
    wire::Writer args;
    args.h32(ifindex);
    return plat::reply_record(dcd("qz_dcd_get_macaddr", args), mac, kMacSize);
}

int qz_dcd_get_ethx_binding(std::uint32_t ifindex, std::uint32_t* bound) {
    return dcd_u32("qz_dcd_get_ethx_binding", ifindex, bound);
}

int qz_dcd_get_dev_type(std::uint32_t ifindex, std::uint32_t* type) {
    return dcd_u32("qz_dcd_get_dev_type", ifindex, type);
}

int qz_dcd_get_icsa(void* record) {
    if (!record) return -1;
    return plat::reply_record(dcd("qz_dcd_get_icsa"), record, QZ_DCD_ICSA_SIZE);
}

int qz_dcd_set_icsa(const void* record) {
    if (!record) return -1;
    wire::Writer args;
    args.bytes(record, QZ_DCD_ICSA_SIZE);
    return dcd("qz_dcd_set_icsa", args).rc;
}

int qz_dcd_get_default_route_vlan(std::uint32_t ifindex, std::uint32_t* empty, std::uint8_t* map) {
    if (!empty || !map) return -1;
    wire::Writer args;
    args.h32(ifindex);
    plat::Reply reply = dcd("qz_dcd_get_default_route_vlan", args);
    if (reply.rc < 0) return reply.rc;
    wire::Reader r(reply.out);
    std::uint32_t e = r.h32();
    std::array<std::uint8_t, QZ_VLAN_MAP_SIZE> m;
    r.bytes(m.data(), m.size());
    if (!r.ok() || r.left() != 0) return -1;
    *empty = e;
    std::memcpy(map, m.data(), m.size());
    return reply.rc;
}

int qz_dcd_set_default_route_vlan(std::uint32_t ifindex, std::uint32_t empty,
                                  const std::uint8_t* map) {
    if (!map) return -1;
    wire::Writer args;
    args.h32(ifindex).h32(empty).bytes(map, QZ_VLAN_MAP_SIZE);
    return dcd("qz_dcd_set_default_route_vlan", args).rc;
}

int qz_dcd_update_eth_allow_vlan(std::uint32_t ifindex, std::uint32_t flag) {
    wire::Writer args;
    args.h32(ifindex).h32(flag);
    return dcd("qz_dcd_update_eth_allow_vlan", args).rc;
}

int qz_dcd_set_fed_dual_profile_table(const char* ifname, std::uint32_t kind, std::uint32_t value) {
    if (!ifname) return -1;
    wire::Writer args;
    args.str(std::string_view(ifname, strnlen(ifname, 64))).h32(kind).h32(value);
    return dcd("qz_dcd_set_fed_dual_profile_table", args).rc;
}

int qz_dcd_set_up_redir(const char* up_name, const char* redir) {
    if (!up_name) return -1;
    wire::Writer args;
    args.str(std::string_view(up_name, strnlen(up_name, 33)))
        .str(redir ? std::string_view(redir, strnlen(redir, 257)) : std::string_view());
    return dcd("qz_dcd_set_up_redir", args).rc;
}
