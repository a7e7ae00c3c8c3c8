// The FE's MAC and IP session tables: filled by replayed traffic (each flow
// an IP session, each station pair a MAC session), read and cleared through
// the fe_ session calls.
#pragma once

#include <cstdint>
#include <span>
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

struct SessionTables {
    std::vector<MacSession> mac;  // in creation order
    std::vector<IpSession> ip;
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

// Answers a session call (proto::FeFn 302-309): the rc, with `out` filled.
// *known is false for any other function. Faults: "NAME" (the fe_ name).
int fe_session_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out, bool* known);

}  // namespace fem
