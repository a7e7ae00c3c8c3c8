#include "platform/fe/replay_frame.h"

#include <cstring>

#include "platform/wire.h"

namespace fem {

namespace {

inline constexpr std::uint16_t kEtherIpv4 = 0x0800;
inline constexpr std::uint16_t kEtherVlan = 0x8100;
inline constexpr std::uint16_t kEtherQinQ = 0x88a8;
inline constexpr std::uint16_t kEtherQinQOld = 0x9100;
inline constexpr std::size_t kMaxVlanTags = 2;
inline constexpr std::uint32_t kAfInet = 2;
inline constexpr std::uint8_t kTcp = 6;
inline constexpr std::uint8_t kUdp = 17;
inline constexpr std::size_t kSllSize = 16;
inline constexpr std::size_t kSll2Size = 20;

// Where the IPv4 header starts, or a result that ends the frame here.
struct Link {
    FrameResult result;
    std::size_t ip_at;
};

Link ethernet(std::span<const std::uint8_t> f, FramePacket& out) {
    if (f.size() < 14) return {FrameResult::Truncated, 0};
    std::memcpy(out.dst_mac, f.data(), 6);
    std::memcpy(out.src_mac, f.data() + 6, 6);
    std::size_t at = 12;
    std::uint16_t type = wire::load_be16(f.data() + at);
    for (std::size_t tags = 0;
         tags < kMaxVlanTags && (type == kEtherVlan || type == kEtherQinQ || type == kEtherQinQOld);
         ++tags) {
        at += 4;
        if (f.size() < at + 2) return {FrameResult::Truncated, 0};
        type = wire::load_be16(f.data() + at);
    }
    if (type != kEtherIpv4) return {FrameResult::NotIpv4, 0};
    return {FrameResult::Ok, at + 2};
}

// Linux cooked: the sender's link address is in the header, the receiver's is not.
Link sll(std::span<const std::uint8_t> f, FramePacket& out) {
    if (f.size() < kSllSize) return {FrameResult::Truncated, 0};
    if (wire::load_be16(f.data() + 4) == 6) std::memcpy(out.src_mac, f.data() + 6, 6);
    if (wire::load_be16(f.data() + 14) != kEtherIpv4) return {FrameResult::NotIpv4, 0};
    return {FrameResult::Ok, kSllSize};
}

Link sll2(std::span<const std::uint8_t> f, FramePacket& out) {
    if (f.size() < kSll2Size) return {FrameResult::Truncated, 0};
    if (f[11] == 6) std::memcpy(out.src_mac, f.data() + 12, 6);
    if (wire::load_be16(f.data()) != kEtherIpv4) return {FrameResult::NotIpv4, 0};
    return {FrameResult::Ok, kSll2Size};
}

// The family word is in the capturing host's order: accept AF_INET either way.
Link null_link(std::span<const std::uint8_t> f, bool network_order) {
    if (f.size() < 4) return {FrameResult::Truncated, 0};
    std::uint32_t be = wire::load_be32(f.data());
    std::uint32_t le = (std::uint32_t{f[3]} << 24) | (std::uint32_t{f[2]} << 16) |
                       (std::uint32_t{f[1]} << 8) | f[0];
    bool inet = be == kAfInet || (!network_order && le == kAfInet);
    return {inet ? FrameResult::Ok : FrameResult::NotIpv4, 4};
}

Link raw(std::span<const std::uint8_t> f) {
    if (f.empty()) return {FrameResult::Truncated, 0};
    return {(f[0] >> 4) == 4 ? FrameResult::Ok : FrameResult::NotIpv4, 0};
}

Link link_of(std::uint32_t linktype, std::span<const std::uint8_t> f, FramePacket& out) {
    switch (linktype) {
        case kLinkEthernet:
            return ethernet(f, out);
        case kLinkSll:
            return sll(f, out);
        case kLinkSll2:
            return sll2(f, out);
        case kLinkNull:
            return null_link(f, false);
        case kLinkLoop:
            return null_link(f, true);
        case kLinkRaw:
        case 12:
        case 14:
        case kLinkIpv4:
            return raw(f);
        default:
            return {FrameResult::UnknownLink, 0};
    }
}

FrameResult ipv4(std::span<const std::uint8_t> ip, FramePacket& out) {
    if (ip.size() < 20) return FrameResult::Truncated;
    if ((ip[0] >> 4) != 4) return FrameResult::NotIpv4;
    std::size_t ihl = std::size_t{ip[0] & 0x0fu} * 4;
    std::size_t total = wire::load_be16(ip.data() + 2);
    if (ihl < 20 || total < ihl) return FrameResult::Malformed;
    std::uint16_t frag = wire::load_be16(ip.data() + 6);
    std::uint8_t proto = ip[9];
    if (proto != kTcp && proto != kUdp) return FrameResult::NotTcpUdp;
    if ((frag & 0x3fffu) != 0) return FrameResult::Fragment;  // more fragments, or an offset
    // Link padding may follow the packet; a capture cut short holds less than it.
    if (ip.size() < total) return FrameResult::Truncated;
    std::span<const std::uint8_t> l4 = ip.subspan(ihl, total - ihl);
    out.tuple.protocol = proto;
    out.tuple.src_ip = wire::load_be32(ip.data() + 12);
    out.tuple.dst_ip = wire::load_be32(ip.data() + 16);
    if (proto == kTcp) {
        if (l4.size() < 20) return FrameResult::Malformed;
        std::size_t hl = static_cast<std::size_t>(l4[12] >> 4) * 4;
        if (hl < 20 || hl > l4.size()) return FrameResult::Malformed;
        out.tcp_flags = l4[13];
        out.payload = l4.subspan(hl);
    } else {
        if (l4.size() < 8) return FrameResult::Malformed;
        std::size_t len = wire::load_be16(l4.data() + 4);
        if (len < 8 || len > l4.size()) return FrameResult::Malformed;
        out.tcp_flags = 0;
        out.payload = l4.subspan(8, len - 8);
    }
    out.tuple.src_port = wire::load_be16(l4.data());
    out.tuple.dst_port = wire::load_be16(l4.data() + 2);
    return FrameResult::Ok;
}

}  // namespace

FrameResult frame_parse(std::uint32_t linktype, std::span<const std::uint8_t> frame,
                        FramePacket& out) {
    out = FramePacket{};
    Link l = link_of(linktype, frame, out);
    if (l.result != FrameResult::Ok) return l.result;
    return ipv4(frame.subspan(l.ip_at), out);
}

const char* frame_result_name(FrameResult r) {
    switch (r) {
        case FrameResult::Ok:
            return "ok";
        case FrameResult::UnknownLink:
            return "unknown link type";
        case FrameResult::NotIpv4:
            return "not IPv4";
        case FrameResult::NotTcpUdp:
            return "not TCP or UDP";
        case FrameResult::Fragment:
            return "IPv4 fragment";
        case FrameResult::Truncated:
            return "truncated";
        case FrameResult::Malformed:
            return "malformed";
    }
    return "?";
}

}  // namespace fem
