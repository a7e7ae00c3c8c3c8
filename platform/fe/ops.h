// The FE's operations tables: policies, IP fragment control blocks, unroam
// monitoring, aggregate members and tunnels, read (and some cleared) through
// the fe_ calls; apsim's `fe` verbs put entries in.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/fe/faults.h"
#include "platform/proto.h"

namespace fem {

struct Model;

struct PolicyEntry {
    std::uint8_t mac[6];
    std::uint8_t direction;  // 1 inbound, 2 outbound
    std::int32_t tunnel;
    std::uint32_t packets;
    std::uint32_t cavc;
};

struct FragRange {
    std::uint32_t start, end;  // byte offsets in the datagram
};

// A datagram the FE is reassembling.
struct Fcb {
    std::uint32_t src_ip, dst_ip;  // host numbers
    std::uint16_t ip_id;
    std::uint8_t protocol;
    std::vector<FragRange> frags;  // in arrival order
};

struct UnroamStation {
    std::uint8_t mac[6];
    std::uint32_t duration_s, threshold, current;
    bool reached;  // the monitor duration has passed
};

struct MemberMac {
    std::uint8_t mac[6];
    std::uint32_t ifindex;
};

struct Tunnel {
    std::uint16_t id;
    std::uint8_t type;  // 0 GRE, 1 other
    std::uint8_t zone;  // 1 access, 2 backhaul
    std::uint32_t flags;
    std::uint32_t policies;
    std::int32_t idle_ms;          // -1: nothing received yet
    std::uint32_t src_ip, dst_ip;  // host numbers
    std::uint32_t tx, tx_err, rx, rx_err;
};

inline constexpr std::uint32_t kFragAgeoutBoot = 30;  // seconds
inline constexpr std::size_t kOpsTableMax = 1024;     // entries of each table

struct OpsTables {
    std::vector<PolicyEntry> policies;
    std::uint32_t frag_ageout_s = kFragAgeoutBoot;
    std::vector<Fcb> fcbs;
    std::vector<UnroamStation> unroam;
    std::vector<MemberMac> members;
    std::vector<Tunnel> tunnels;  // in id order
};

// Booted state: every table empty, the age-out time at its default.
void ops_init(Model& m);

// Entries as apsim's verbs add them; false when the table is full.
bool ops_add_policy(Model& m, const PolicyEntry& p);
// Adds the fragment to the FCB of (src, dst, id, protocol), opening one as needed.
bool ops_add_fragment(Model& m, const Fcb& key, FragRange frag);
// Adds or replaces (by MAC / by id).
bool ops_set_unroam(Model& m, const UnroamStation& u);
bool ops_set_member(Model& m, const MemberMac& mm);
bool ops_set_tunnel(Model& m, const Tunnel& t);

// Gaps before and between a datagram's fragments.
std::uint32_t fcb_holes(const Fcb& f);

// Answers an operations call (proto::FeFn 310-318): the rc, with `out`
// filled. *known is false for any other function. Faults: "NAME" (the call's name).
int fe_ops_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                std::vector<std::uint8_t>& out, bool* known);

}  // namespace fem
