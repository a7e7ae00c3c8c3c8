// What the ALG fuzz targets share: an in-process FE that answers every request
// as the input's first byte says, the ALG start-up done once, and a clean-up
// after each input so that objects and the log do not pile up.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "alg/qz_alg_main.h"
#include "fed/qz_fed_debug.h"
#include "platform/backend.h"

namespace algfuzz {

struct Fe {
    int rc = 0;              // the ioctl's result
    std::uint32_t code = 0;  // gate-open return code / reply word
    std::uint32_t cookie = 1;
    std::uint32_t boolean = 0;  // every FE boolean (SIP call admission control)
};
inline Fe& fe() {
    static Fe f;
    return f;
}

inline void local_fn(proto::Op op, std::span<const std::uint8_t> req, wire::Writer& reply, void*) {
    wire::Reader r(req);
    switch (op) {
        case proto::Op::FeIoctl: {
            r.h32();
            auto env = r.blob();
            std::vector<std::uint8_t> out(env.begin(), env.end());
            if (fe().rc >= 0 && out.size() >= QZ_ALG_FE_ENV_HDR + 36) {
                wire::store_h(out.data() + QZ_ALG_FE_ENV_HDR + 28, fe().code);
                wire::store_h(out.data() + QZ_ALG_FE_ENV_HDR + 32, fe().cookie++);
            }
            reply.hi32(fe().rc).blob(out);
            return;
        }
        case proto::Op::Fault:
            reply.hi32(0).h32(0);
            return;
        case proto::Op::Fe: {
            wire::Writer out;
            out.h32(fe().boolean);
            reply.hi32(0).blob(out.span());
            return;
        }
        default:
            reply.hi32(0);
            return;
    }
}

inline std::string& run_dir() {
    static std::string dir;
    return dir;
}

// Once per process: the local FE, a run directory for the log, the ALG start-up,
// and every debug line switched on so that their formatting is fuzzed too.
inline void init() {
    static const bool done = [] {
        char tmpl[] = "/tmp/fed-alg-fuzz-XXXXXX";
        if (::mkdtemp(tmpl)) run_dir() = tmpl;
        plat::set_run_dir(run_dir());
        plat::set_local_backend(local_fn, nullptr);
        qz_pmpt_timer_init(0);
        qz_alg_init();
        qz_fed_debug = fed_dbg::all;
        std::atexit([] {
            std::error_code ec;
            if (!run_dir().empty()) std::filesystem::remove_all(run_dir(), ec);
        });
        return true;
    }();
    (void)done;
}

// The FE's answers for this input: bit 7 fails the ioctl, bit 6 turns call
// admission control on, bits 0-1 give the gate-open return code and the reply
// word (0 opened or admitted, 2 kept, 1 and 3 refused).
inline void set_fe(std::uint8_t control) {
    fe().rc = (control & 0x80) ? -1 : 0;
    fe().boolean = (control & 0x40) ? 1 : 0;
    fe().code = control & 0x3;
}

// Past every max duration: all objects of this input go. The clock jumps, so
// the platform tick does not run thousands of times.
inline void finish() {
    plat::clock_set_ms(plat::clock_ms() + 24ull * 3600 * 1000);
    qz_alg_timer_run();
    static unsigned runs = 0;
    if (++runs % 256 == 0 && !run_dir().empty()) {
        std::error_code ec;
        std::filesystem::resize_file(run_dir() + "/" + proto::kLogName, 0, ec);
    }
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

}  // namespace algfuzz
