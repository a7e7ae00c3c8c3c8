// One captured frame read down to its IPv4 TCP or UDP payload: what the FE
// looks at when a capture is replayed through it. Pure; every length is
// checked against what was captured, so any bytes are safe input.
#pragma once

#include <cstdint>
#include <span>

#include "platform/fe/alg.h"

namespace fem {

// Link types of pcap and pcapng files that the replay reads.
inline constexpr std::uint32_t kLinkNull = 0;      // BSD loopback: 4-byte family, sender's order
inline constexpr std::uint32_t kLinkEthernet = 1;  // with up to two VLAN tags
inline constexpr std::uint32_t kLinkRaw = 101;     // bare IP (also 12 and 14 on some systems)
inline constexpr std::uint32_t kLinkLoop = 108;    // OpenBSD loopback: family in network order
inline constexpr std::uint32_t kLinkSll = 113;     // Linux cooked
inline constexpr std::uint32_t kLinkIpv4 = 228;    // bare IPv4
inline constexpr std::uint32_t kLinkSll2 = 276;    // Linux cooked, version 2

enum class FrameResult {
    Ok,
    UnknownLink,  // a link type the replay does not read
    NotIpv4,      // IPv6, ARP and anything else that is no IPv4
    NotTcpUdp,    // IPv4 of another protocol (ICMP, SCTP, tunnels)
    Fragment,     // an IPv4 fragment: its transport header is not (all) there
    Truncated,    // the capture holds less than the packet (snap length)
    Malformed,    // lengths that contradict each other
};

struct FramePacket {
    FlowTuple tuple;  // host numbers
    std::uint8_t src_mac[6];
    std::uint8_t dst_mac[6];  // zero where the link has none
    std::uint8_t tcp_flags;
    std::span<const std::uint8_t> payload;  // inside the frame
};

// Reads one frame of the given link type; `out` is valid only for Ok.
FrameResult frame_parse(std::uint32_t linktype, std::span<const std::uint8_t> frame,
                        FramePacket& out);

// Short name of a result ("ipv6/other", "truncated", ...) for the summary.
const char* frame_result_name(FrameResult r);

}  // namespace fem
