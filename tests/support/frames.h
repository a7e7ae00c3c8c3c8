// Builders of captured frames (Ethernet, IPv4, TCP or UDP) for replay tests,
// fuzz seeds and benchmarks. Header only; pcap files: frames_pcap.h.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wire.h"

namespace testframes {

inline constexpr std::uint8_t kTcp = 6;
inline constexpr std::uint8_t kUdp = 17;
inline constexpr std::uint8_t kSyn = 0x02;
inline constexpr std::uint8_t kAck = 0x10;
inline constexpr std::uint8_t kPsh = 0x08;

// Addresses as host numbers: ip(10, 0, 0, 1).
constexpr std::uint32_t ip(unsigned a, unsigned b, unsigned c, unsigned d) {
    return (a << 24) | (b << 16) | (c << 8) | d;
}

struct Packet {
    std::uint8_t protocol;
    std::uint32_t src_ip;
    std::uint16_t src_port;
    std::uint32_t dst_ip;
    std::uint16_t dst_port;
    std::string payload;
    std::uint8_t tcp_flags = kAck | kPsh;
    std::uint8_t src_mac_last = 0x01;  // MACs 02:00:00:00:00:xx
    std::uint8_t dst_mac_last = 0x02;
};

// Ethernet II + IPv4 (20 bytes) + TCP (20 bytes) or UDP (8 bytes) + payload.
inline std::vector<std::uint8_t> ether_frame(const Packet& p) {
    std::size_t l4 = p.protocol == kTcp ? 20 : 8;
    std::size_t ip_len = 20 + l4 + p.payload.size();
    std::vector<std::uint8_t> f(14 + ip_len);
    std::uint8_t* e = f.data();
    e[0] = 0x02, e[5] = p.dst_mac_last;
    e[6] = 0x02, e[11] = p.src_mac_last;
    wire::store_be16(e + 12, 0x0800);
    std::uint8_t* h = e + 14;
    h[0] = 0x45;
    wire::store_be16(h + 2, static_cast<std::uint16_t>(ip_len));
    wire::store_be16(h + 6, 0x4000);  // don't fragment
    h[8] = 64;
    h[9] = p.protocol;
    wire::store_be32(h + 12, p.src_ip);
    wire::store_be32(h + 16, p.dst_ip);
    std::uint8_t* t = h + 20;
    wire::store_be16(t, p.src_port);
    wire::store_be16(t + 2, p.dst_port);
    if (p.protocol == kTcp) {
        t[12] = 0x50;
        t[13] = p.tcp_flags;
    } else {
        wire::store_be16(t + 4, static_cast<std::uint16_t>(8 + p.payload.size()));
    }
    if (!p.payload.empty()) std::copy(p.payload.begin(), p.payload.end(), t + l4);
    return f;
}

// A SIP message of one call: start line, the five headers the gateway reads
// (top Via with `branch`, From, To, Call-ID, CSeq) and an optional body.
inline std::string sip_text(std::string_view start, std::string_view branch, std::string_view cseq,
                            std::string_view body = {}, std::string_view callid = "call-1") {
    std::string t;
    for (std::string_view s :
         {start, std::string_view("\r\nVia: SIP/2.0/UDP h;branch="), branch,
          std::string_view("\r\nFrom: <sip:a@a>;tag=1\r\nTo: <sip:b@b>\r\nCall-ID: "), callid,
          std::string_view("\r\nCSeq: "), cseq, std::string_view("\r\n\r\n"), body})
        t += s;
    return t;
}

// An SDP body offering or answering one RTP audio stream at addr:port.
inline std::string sdp(std::string_view addr, unsigned port) {
    std::string a(addr);
    return "v=0\r\no=- 1 1 IN IP4 " + a + "\r\ns=-\r\nc=IN IP4 " + a + "\r\nt=0 0\r\nm=audio " +
           std::to_string(port) + " RTP/AVP 0\r\n";
}

// A /dev/fe request as fed's ALGs send it: the envelope (magic -1, command,
// data length), the flow with addresses and ports in network order, then
// host-order words from data offset 16 (alg type, ctrl id, ctrl cookie of a
// gate open; the cookie of a gate delete); the reply words after them zero.
struct GateFlow {
    std::uint32_t src_ip, dst_ip;
    std::uint16_t src_port, dst_port;
    std::uint8_t protocol;
};
inline std::vector<std::uint8_t> fe_request(std::uint16_t command, std::uint16_t length,
                                            const GateFlow& f,
                                            std::initializer_list<std::uint32_t> words = {}) {
    std::vector<std::uint8_t> e(8 + length);
    wire::store_h<std::int32_t>(e.data(), -1);
    wire::store_h<std::uint16_t>(e.data() + 4, command);
    wire::store_h<std::uint16_t>(e.data() + 6, length);
    wire::store_be32(&e[8], f.src_ip), wire::store_be32(&e[12], f.dst_ip);
    wire::store_be16(&e[16], f.src_port), wire::store_be16(&e[18], f.dst_port);
    e[20] = f.protocol;
    std::size_t at = 24;
    for (std::uint32_t w : words) wire::store_h<std::uint32_t>(&e[at], w), at += 4;
    return e;
}
inline std::vector<std::uint8_t> gate_open(const GateFlow& f, std::uint32_t alg,
                                           std::uint32_t ctrl_id = 0, std::uint32_t cookie = 0) {
    return fe_request(52, 36, f, {alg, ctrl_id, cookie});
}
inline std::vector<std::uint8_t> gate_delete(const GateFlow& f, std::uint32_t gate_cookie) {
    return fe_request(53, 20, f, {gate_cookie});
}

}  // namespace testframes
