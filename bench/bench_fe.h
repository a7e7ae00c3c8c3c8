// The in-process FE the gateway benchmarks answer through: every FE value
// reads 0 (call admission off), every gate opens with a fresh cookie, every
// other request succeeds. The envelope comes back with the answer written in.
#pragma once

#include <cstdint>
#include <span>

#include "platform/alg_msg.h"
#include "platform/backend.h"
#include "platform/wire.h"

namespace benchfe {

inline void answering_fe(proto::Op op, std::span<const std::uint8_t> req, wire::Writer& reply,
                         void*) {
    static std::uint32_t cookie = 1;
    if (op == proto::Op::Fe) {
        reply.hi32(0).h32(4).h32(0);
        return;
    }
    if (op != proto::Op::FeIoctl) {
        reply.hi32(0);
        return;
    }
    wire::Reader r(req);
    r.h32();
    auto env = r.blob();
    reply.buf().reserve(8 + env.size());
    reply.hi32(0).blob(env);
    if (env.size() >= QZ_ALG_FE_ENV_HDR + qz_alg_gate_open_off::reply_cookie + 4) {
        std::uint8_t* d = reply.buf().data() + reply.buf().size() - env.size() + QZ_ALG_FE_ENV_HDR;
        wire::store_h<std::uint32_t>(d + qz_alg_gate_open_off::reply_code, QZ_ALG_FE_GATE_OPENED);
        wire::store_h<std::uint32_t>(d + qz_alg_gate_open_off::reply_cookie, cookie++);
    }
}

}  // namespace benchfe
