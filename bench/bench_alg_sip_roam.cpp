// SIP call roaming: encode and decode of a typical update record (two gates
// per list, two transactions), and a station joining while 400 roaming
// objects are stored, all in the MAC-index bucket it scans (the worst case).
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "alg/sip/qz_sip_roam.h"
#include "alg/sip/qz_sip_roam_rec.h"
#include "bench/bench_fe.h"
#include "fed/qz_fed_event.h"
#include "platform/backend.h"
#include "platform/wire.h"

namespace {

std::uint32_t g_last_ref = 0;  // what the receiver posted last

void fe(proto::Op op, std::span<const std::uint8_t> req, wire::Writer& reply, void* arg) {
    if (op == proto::Op::EventSend) {
        wire::Reader r(req);
        r.h32();
        auto body = r.blob();
        if (body.size() >= 8) g_last_ref = wire::load_h<std::uint32_t>(body.data() + 4);
        reply.hi32(0);
        return;
    }
    benchfe::answering_fe(op, req, reply, arg);
}

void start() {
    static const bool once = [] {
        plat::set_local_backend(fe, nullptr);
        qz_pmpt_timer_init(0);
        return qz_alg_init() == 0;
    }();
    if (!once) std::abort();
}

qz_sip_call_t typical_call(std::uint8_t last) {
    qz_sip_call_t c{};
    c.src_mac[0] = c.dst_mac[0] = 2;
    c.src_mac[5] = last;
    c.dst_mac[4] = 0xee;
    c.callid = "3848276298220188511@192.0.2." + std::to_string(last);
    c.from = "\"Alice\" <sip:alice@192.0.2.10>;tag=9fxced76sl";
    c.to = "Bob <sip:bob@192.0.2.20>;tag=8321234356";
    c.state = sip_call_state::ESTABLISH;
    c.seq_num = 4;
    for (qz_sip_gate_list* l : {&c.gates_a, &c.gates_b, &c.gates_offer})
        *l = {{0, 0x0a000001, 49170, QZ_SIP_GATE_OPEN, 1}, {0, 0x0a000001, 49171, 1, 1}};
    return c;
}

// The call's record with two transactions, as a neighbour sends it.
std::vector<std::uint8_t> typical_record(const qz_sip_call_t& c) {
    std::array<std::uint8_t, QZ_SIP_ROAM_BUF_SIZE> buf{};
    int n = qz_sip_roam_encode_call(c, buf);
    if (n < 0) std::abort();
    wire::Writer w;
    w.bytes(buf.data(), static_cast<std::size_t>(n)).be16(2);
    for (const char* branch : {"z9hG4bK74bf9a1c", "z9hG4bK74bf9a1d"})
        w.u8(0).u8(1).u8(2).be16(16).bytes(branch, 16);
    return w.buf();
}

void BM_RoamDecode(benchmark::State& state) {
    start();
    const std::vector<std::uint8_t> rec = typical_record(typical_call(1));
    for (auto _ : state) {
        qz_sip_call_t* o = qz_sip_roam_decode(rec);
        benchmark::DoNotOptimize(o);
        qz_sip_roam_free(o);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(rec.size()));
}
BENCHMARK(BM_RoamDecode);

void BM_RoamEncodeUpdate(benchmark::State& state) {
    start();
    qz_sip_call_t c = typical_call(1);
    // Its two transactions in the table, as the encoder finds them.
    qz_sip_call_t* o = qz_sip_roam_decode(typical_record(c));
    qz_sip_trans_restore(o->trans, c.src_mac);
    o->trans = nullptr;
    std::memset(c.dst_mac, 0, 6);
    std::array<std::uint8_t, QZ_SIP_ROAM_BUF_SIZE> buf{};
    for (auto _ : state) benchmark::DoNotOptimize(qz_sip_roam_encode_update(c, buf));
    qz_sip_trans_delete_call(c.callid, c.src_mac, c.dst_mac);
    qz_sip_roam_free(o);
}
BENCHMARK(BM_RoamEncodeUpdate);

void BM_RoamStationJoin400(benchmark::State& state) {
    start();
    // 400 objects whose source MACs all index into bucket 1; station 0x01 owns one.
    for (int i = 0; i < static_cast<int>(QZ_SIP_ROAM_MAX); ++i) {
        qz_sip_call_t c = typical_call(static_cast<std::uint8_t>(1 + 32 * (i % 8)));
        c.src_mac[2] = static_cast<std::uint8_t>(i >> 8);
        c.src_mac[3] = static_cast<std::uint8_t>(i);
        c.callid += "-" + std::to_string(i);
        std::vector<std::uint8_t> rec = typical_record(c);
        qz_sip_roam_recv(0, static_cast<std::uint32_t>(rec.size()), rec.data());
        qz_sip_roam_apply(g_last_ref);
    }
    if (qz_sip_roam_count() != QZ_SIP_ROAM_MAX) std::abort();
    std::uint8_t sta[6] = {2, 0, 0, 8, 0, 1};  // object 8's source
    for (auto _ : state) {
        qz_sip_roam_sta_join(sta);
        state.PauseTiming();
        if (qz_sip_call_count() != 1) std::abort();
        qz_sip_roam_sta_leave(sta);  // back into the store for the next turn
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RoamStationJoin400);

}  // namespace

BENCHMARK_MAIN();
