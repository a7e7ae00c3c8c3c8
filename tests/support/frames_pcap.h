// pcap files made of built frames (frames.h), written with libpcap.
#pragma once

#include <pcap/pcap.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/frames.h"

namespace testframes {

// Writes an Ethernet pcap file; each packet carries its time in ms.
struct TimedPacket {
    std::uint64_t ms;
    Packet packet;
};
inline bool write_pcap(const std::string& path, const std::vector<TimedPacket>& packets) {
    pcap_t* dead = pcap_open_dead(DLT_EN10MB, 65535);
    if (!dead) return false;
    pcap_dumper_t* d = pcap_dump_open(dead, path.c_str());
    if (!d) {
        pcap_close(dead);
        return false;
    }
    for (const TimedPacket& tp : packets) {
        std::vector<std::uint8_t> f = ether_frame(tp.packet);
        pcap_pkthdr h{};
        h.ts.tv_sec = static_cast<time_t>(1700000000 + tp.ms / 1000);
        h.ts.tv_usec = static_cast<suseconds_t>((tp.ms % 1000) * 1000);
        h.caplen = h.len = static_cast<bpf_u_int32>(f.size());
        pcap_dump(reinterpret_cast<u_char*>(d), &h, f.data());
    }
    pcap_dump_close(d);
    pcap_close(dead);
    return true;
}

}  // namespace testframes
