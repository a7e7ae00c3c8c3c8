// Live mode's decision for one forwarded IPv4 packet: the FE model's own
// per-packet path (control sessions copied up to fed, first packets checked
// against the gates), plus what the FE then does with a flow no gate admits.
// Pure: no sockets, no threads; the caller holds the model's lock.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/fe/alg.h"
#include "platform/fe/replay_flows.h"

namespace sim {

enum class LiveVerdict { Accept, Drop };

struct LiveCounters {
    std::uint64_t packets = 0;
    std::uint64_t unread = 0;  // not TCP/UDP over IPv4, or unreadable: passed unchecked
    std::array<std::uint64_t, fem::kAlgTypes> control{};  // records passed up, by ALG
    std::uint64_t timeouts = 0;                           // timeout records passed up
    std::uint64_t flows_gate = 0;                         // new flows a gate admitted
    std::uint64_t flows_retried = 0;  // refused flows a gate admitted later (SYN sent again)
    std::uint64_t flows_service = 0;  // new flows to a port of the service table
    std::uint64_t flows_refused = 0;  // new flows neither admits
    std::uint64_t dropped = 0;        // packets dropped (enforcement on)
    std::uint64_t would_drop = 0;     // packets passed only because enforcement is off
    std::array<std::uint64_t, fem::kAlgTypes> alg_off{};  // new flows on an off ALG's port
};

struct LiveState {
    bool enforce = true;
    LiveCounters c;
    // Flows whose first packet found neither a gate nor a service. Only keys
    // the FE still tracks are kept: the model forgets idle flows.
    std::unordered_set<fem::FlowKey, fem::FlowKeyHash> refused;
    std::size_t refused_added = 0;
    // Link address each IPv4 sender was last seen with: the FE of a bridging
    // access point sees both ends' MACs, the queue only the sender's.
    std::unordered_map<std::uint32_t, std::array<std::uint8_t, 6>> macs;
};

// Decides one IPv4 packet (from its header on) at FE time now_ms. src_mac:
// the sender's link address, or null; the receiver's is the one its address
// was last seen with. Records for fed (kernel event 7: idle
// control sessions' timeouts, then this packet's copy) are appended in order.
LiveVerdict live_decide(fem::Model& m, LiveState& st, std::uint64_t now_ms,
                        std::span<const std::uint8_t> ip, const std::uint8_t* src_mac,
                        const fem::ReplayIfaces& ifs,
                        std::vector<std::vector<std::uint8_t>>& records);

}  // namespace sim
