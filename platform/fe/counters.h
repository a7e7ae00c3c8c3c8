// The FE's packet counters: totals per queue and core, per interface and per
// station by protocol, drops by reason and the data-collection counters, fed
// by replayed traffic and read and cleared through the fe_ counter calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/fe/faults.h"
#include "platform/fe_counters.h"
#include "platform/proto.h"

namespace fem {

struct Model;
struct FramePacket;
struct ReplayIfaces;

using ProtoCounts = std::array<std::uint32_t, fe_counter::kProtos>;

struct DirCounts {
    ProtoCounts proto{};
    std::uint32_t bytes = 0;
};

struct IfCounters {
    std::uint32_t ifindex;
    DirCounts in, out;
    std::uint32_t dropped;
};

struct StaCounters {
    std::uint8_t mac[6];
    DirCounts in, out;  // in: sent by the station; out: sent to it
};

// From the station: packets, bytes; to the station: packets, bytes.
using DcCounts = std::array<std::uint32_t, 4>;

struct DcApp {
    std::string name;
    DcCounts c;
};

inline constexpr std::size_t kCounterStationsMax = 1024;

struct CounterState {
    std::uint32_t queue[2] = {}, core[2] = {};
    std::vector<IfCounters> ifs;    // in the order first seen
    std::vector<StaCounters> stas;  // likewise
    // Where a station's entry was last found (MAC as a 48-bit number); checked
    // before use, so an entry added by other means is still found by a walk.
    std::unordered_map<std::uint64_t, std::uint32_t> sta_at;
    std::array<std::uint32_t, fe_drop::kCount> drops{};
    std::array<DcCounts, fe_dc::kRows> dc{};
    std::vector<DcApp> apps;  // at most fe_dc::kMaxApps
};

// What the session tables made of one packet (sessions_packet).
struct SessionStep {
    int dir;           // 0: sent by the station (the pair's first sender), 1: sent to it
    bool mac_refused;  // the MAC session table was full
    bool ip_refused;   // a new flow found the IP session table full
};

// Zeroes every counter and forgets interfaces and stations.
void counters_init(Model& m);

// Counts one replayed packet: received on the station's side or the other,
// forwarded, or dropped when the session tables refused it.
void counters_packet(Model& m, const FramePacket& p, const ReplayIfaces& ifs,
                     const SessionStep& st);

// Counts a frame the FE did not forward as IPv4 TCP or UDP: malformed and
// truncated frames are dropped as invalid, the rest only counted.
void counters_frame(Model& m, bool invalid);

// A station's counters, or nullptr when the FE has not counted it.
StaCounters* counters_station(CounterState& c, const std::uint8_t* mac);

// Answers a counter call (proto::FeFn 600-612): the rc, with `out` filled.
// *known is false for any other function. Faults: "NAME" (the fe_ name).
int fe_counter_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out, bool* known);

}  // namespace fem
