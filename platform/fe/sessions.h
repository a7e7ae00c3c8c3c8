// The FE's MAC and IP session tables: filled by replayed traffic (each flow
// an IP session, each station pair a MAC session), read and cleared through
// the fe_ session calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "platform/fe/alg.h"
#include "platform/fe/counters.h"
#include "platform/fe/faults.h"
#include "platform/proto.h"

namespace fem {

struct Model;
struct FramePacket;
struct ReplayIfaces;

// One direction of a session; not installed until a packet went that way.
struct MacFlow {
    bool installed;
    std::uint8_t src[6], dst[6];
    std::int32_t out_if;  // interface index
    std::uint32_t zone;   // 1 access, 2 backhaul
    std::uint32_t flags;
    std::uint32_t packets, bytes;
};

struct MacSession {
    std::uint32_t id;
    std::uint64_t created_ms, last_ms;
    std::uint32_t timeout_s;
    MacFlow flow[2];  // [0] the first packet's direction
};

struct IpFlow {
    bool installed;
    FlowTuple t;  // host numbers
    std::uint32_t flags;
    std::uint32_t packets, bytes;
};

struct IpSession {
    std::uint32_t id;
    std::uint64_t created_ms, last_ms;
    std::uint32_t timeout_s;
    std::uint32_t alg;       // ALG type of its control session, 0 none
    std::uint32_t mac_sess;  // the MAC session of its station pair
    IpFlow flow[2];
};

// A MAC address as a 48-bit number, first byte highest.
std::uint64_t mac_number(const std::uint8_t* mac);

// A station pair, either way round: each MAC as a 48-bit number, lower first.
struct MacPairKey {
    std::uint64_t lo, hi;
    bool operator==(const MacPairKey&) const = default;
};
struct MacPairHash {
    std::size_t operator()(const MacPairKey& k) const {
        std::uint64_t h = (k.lo * 0x9e3779b97f4a7c15ull) ^ (k.hi + (k.lo >> 29));
        h *= 0xbf58476d1ce4e5b9ull;
        return static_cast<std::size_t>(h ^ (h >> 32));
    }
};
MacPairKey mac_pair_key(const std::uint8_t* a, const std::uint8_t* b);

// The vectors keep creation order (ids grow along them) for the displays; the
// maps find a packet's session without a walk through the table: the
// position in the vector by station pair, and by flow (either direction).
// Every change to a vector goes through sessions.cpp, which keeps its map in
// step.
struct SessionTables {
    std::vector<MacSession> mac;  // in creation order
    std::vector<IpSession> ip;
    std::unordered_map<MacPairKey, std::uint32_t, MacPairHash> mac_at;
    std::unordered_map<FlowKey, std::uint32_t, FlowKeyHash> ip_at;
    std::uint32_t next_mac_id = 1;
    std::uint32_t next_ip_id = 1;
};

// Empties both tables and keeps the counts (read numbers 3 and 41) at 0.
void sessions_init(Model& m);

// Counts one replayed packet (its IP length) into its IP session and its
// station pair's MAC session, creating them (and installing a direction) as
// needed; `alg` is the ALG type of the flow's control session, 0 for none.
// Both tables stop growing at FE_SESSION_MAX. Says which way the packet went
// and whether a full table refused it.
SessionStep sessions_packet(Model& m, const FramePacket& p, const ReplayIfaces& ifs,
                            std::uint16_t alg, std::uint32_t timeout_s);

// True when both maps hold exactly the sessions of their vectors, each at
// its position.
bool sessions_indexed(const SessionTables& t);

// Answers a session call (proto::FeFn 302-309): the rc, with `out` filled.
// *known is false for any other function. Faults: "NAME" (the fe_ name).
int fe_session_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out, bool* known);

}  // namespace fem
