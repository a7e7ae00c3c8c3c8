// The FE's view of replayed traffic: control sessions of the ALGs, recognised
// from the service table and the ALG enable flags, each copied up as a
// qz_alg_pkt_t record; every other flow checked against the gates on its
// first packet. Times are FE time in milliseconds (AlgState::now_ms).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/fe/alg.h"
#include "platform/fe/replay_frame.h"

namespace fem {

struct Model;

// Interfaces a replayed packet is said to cross: clients sit behind the
// access side, servers behind the other.
struct ReplayIfaces {
    std::uint32_t client_side;
    std::uint32_t server_side;
};

enum class PacketKind {
    Control,         // a control packet: `record` goes up to fed
    ControlSilent,   // on a control session, but nothing to copy (a bare TCP segment)
    FlowAdmitted,    // first packet of a flow, admitted by a gate
    FlowUnadmitted,  // first packet of a flow that no gate expected
    Flow,            // a later packet of a known flow
};

struct PacketStep {
    PacketKind kind;
    std::uint16_t alg_type;            // Control: the ALG
    std::vector<std::uint8_t> record;  // Control: the qz_alg_pkt_t (platform/alg_msg.h)
    Gate gate;                         // FlowAdmitted: the gate it used
    bool first;                        // the first packet of a flow or control session
    std::uint16_t alg_off;  // a new flow on the port of an ALG whose enable flag is off: its type
};

// Ends every control session idle past its service's timeout at FE time
// now_ms, oldest first: appends a timeout record (packet type 3) for each,
// and drops the session's gates.
void replay_expire(Model& m, std::uint64_t now_ms, const ReplayIfaces& ifs,
                   std::vector<std::vector<std::uint8_t>>& records);

// One packet at the current FE time (alg_set_time first).
void replay_packet(Model& m, const FramePacket& p, const ReplayIfaces& ifs, PacketStep& out);

// A flow whose first packet found no gate tries again, as a peer's retransmitted
// SYN would: true when a gate admits it now (the gate is used up and the flow
// counts as admitted).
bool replay_retry(Model& m, const FlowTuple& t);

// The Call-ID of a SIP message (also in its compact form "i:"), trimmed; empty
// when it has none in its headers. Points into payload.
std::string_view sip_call_id(std::span<const std::uint8_t> payload);

// Ends every control session (as replay_expire does, whatever its idle time)
// and forgets every flow: each replay is traffic of its own.
void replay_end_all(Model& m, const ReplayIfaces& ifs,
                    std::vector<std::vector<std::uint8_t>>& records);

}  // namespace fem
