// What the ALG fuzz targets share: the tests' in-process access point, whose
// FE answers as the input's first byte says, the ALG start-up done once, and
// a clean-up after each input so that objects, gates and the log do not pile up.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "alg/qz_alg_main.h"
#include "fed/qz_fed_debug.h"
#include "platform/backend.h"
#include "tests/support/local_ap.h"

namespace algfuzz {

inline testap::LocalAp*& ap() {
    static testap::LocalAp* a = nullptr;
    return a;
}

// Once per process: the access point, the ALG start-up, and every debug line
// switched on so that their formatting is fuzzed too.
inline void init() {
    static const bool done = [] {
        ap() = new testap::LocalAp;
        qz_pmpt_timer_init(0);
        qz_alg_init();
        qz_fed_debug = fed_dbg::all;
        std::atexit([] { delete ap(); });
        return true;
    }();
    (void)done;
}

// FE boolean read before each admission message: call admission control on.
inline constexpr std::uint16_t kCacStatus = 91;

// The FE's answers for this input: bit 7 fails every ioctl, bit 6 turns call
// admission control on, bits 0-1 give the gate-open return code and the reply
// word (0 opened or admitted, 2 kept, 1 and 3 refused).
inline void set_fe(std::uint8_t control) {
    ap()->fault_clear();
    ap()->set_fe_value(kCacStatus, (control & 0x40) ? 1 : 0);
    if (control & 0x80) ap()->fault("qz_ioctl", -1, -1);
    if (control & 0x3) {
        ap()->fault("ioctl:52", control & 0x3, -1);
        ap()->fault("ioctl", control & 0x3, -1);
    }
}

// Forgets what the access point recorded, and now and then empties the log,
// so that a long run does not grow them.
inline void trim_logs() {
    ap()->clear_logs();
    static unsigned runs = 0;
    if (++runs % 256 == 0) {
        std::error_code ec;
        std::filesystem::resize_file(ap()->dir() + "/" + proto::kLogName, 0, ec);
    }
}

// Past every max duration: all objects of this input go. The clock jumps, so
// the platform tick does not run thousands of times.
inline void finish() {
    plat::clock_set_ms(plat::clock_ms() + 24ull * 3600 * 1000);
    qz_alg_timer_run();
    {
        std::lock_guard lock(ap()->core().mu);
        ap()->core().fe.alg.gates.clear();
    }
    trim_logs();
}

// Splits data into records, each a big-endian u16 length and that many bytes;
// the last record takes what is left.
template <typename F>
void for_each_record(std::span<const std::uint8_t> data, F&& f) {
    while (!data.empty()) {
        std::size_t n = data.size();
        if (data.size() >= 2) {
            n = std::min<std::size_t>(wire::load_be16(data.data()), data.size() - 2);
            data = data.subspan(2);
        }
        f(data.first(n));
        data = data.subspan(n);
    }
}

// A heap copy of exactly the bytes, so that a read past them is caught.
inline std::vector<std::uint8_t> exact(std::span<const std::uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

// A packet record from station 192.168.1.10 port 40000 to 10.0.0.1 carrying
// the payload, its length the payload's size.
inline qz_alg_pkt_t packet(std::uint8_t alg, std::uint8_t type, std::uint8_t protocol,
                           std::uint16_t dst_port, std::span<const std::uint8_t> payload) {
    qz_alg_pkt_t pkt{};
    pkt.alg_type = alg;
    pkt.pkt_type = type;
    pkt.protocol = protocol;
    pkt.src_ip = qz_alg_net32(0xc0a8010a);
    pkt.dst_ip = qz_alg_net32(0x0a000001);
    pkt.src_port = qz_alg_net16(40000);
    pkt.dst_port = qz_alg_net16(dst_port);
    pkt.ctrl_id = 1;
    pkt.ctrl_cookie = 2;
    pkt.pkt_length = static_cast<std::uint16_t>(payload.size());
    pkt.data = payload;
    return pkt;
}

// Inputs led by a control byte and two length bytes: with bit 7 set the record
// claims the big-endian length that follows, else the payload's own size.
inline void claim_length(qz_alg_pkt_t& pkt, const std::uint8_t* data) {
    if (data[0] & 0x80) pkt.pkt_length = wire::load_be16(data + 1);
}

}  // namespace algfuzz
