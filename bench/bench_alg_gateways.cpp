// Per-packet cost of the FTP and TFTP gateways: record decode, parse and state
// machine, with the FE request answered by a backend that does nothing
// ("no_fe") or by one that answers the envelope as the FE does ("fe").
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "alg/ftp/qz_ftp_parser.h"
#include "alg/qz_alg_main.h"
#include "bench/bench_fe.h"
#include "fed/qz_fed_event.h"
#include "platform/backend.h"

namespace {

void no_fe(proto::Op, std::span<const std::uint8_t>, wire::Writer& reply, void*) {
    reply.hi32(0);
}

void start(plat::LocalFn fe) {
    static const bool once = [] {
        plat::set_local_backend(no_fe, nullptr);
        qz_pmpt_timer_init(0);
        return qz_alg_init() == 0;
    }();
    if (!once) std::abort();
    plat::set_local_backend(fe, nullptr);
}

std::vector<std::uint8_t> record(std::uint16_t alg, std::uint8_t type, const std::string& payload,
                                 bool from_server, std::uint8_t protocol, std::uint16_t port) {
    wire::Writer w;
    std::uint32_t client = 0xc0a8010a, server = 0x0a000001;
    std::uint16_t cport = 40000;
    w.be16(alg).u8(type);
    for (int i = 0; i < 12; ++i) w.u8(static_cast<std::uint8_t>(i));
    w.u8(protocol);
    w.be32(from_server ? server : client).be32(from_server ? client : server);
    w.be16(from_server ? port : cport).be16(from_server ? cport : port);
    w.be32(3).be32(4).be32(7).be32(0x100).be32(0x55);
    w.be16(static_cast<std::uint16_t>(payload.size()));
    w.bytes(payload.data(), payload.size());
    return w.buf();
}

void run(benchmark::State& state, const std::vector<std::vector<std::uint8_t>>& session) {
    for (auto _ : state)
        for (const auto& rec : session)
            qz_alg_pkt_dispatch(QZ_KEVENT_FE_ALG_PKT, static_cast<std::uint32_t>(rec.size()),
                                rec.data());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(session.size()));
    // Seconds per packet ("131n" reads 131 ns).
    state.counters["per_packet"] = benchmark::Counter(
        static_cast<double>(state.iterations() * static_cast<std::int64_t>(session.size())),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// PORT, 200 (gate opened), 226 (object dropped): three packets, one FE request.
std::vector<std::vector<std::uint8_t>> ftp_session() {
    return {record(1, 1, "PORT 192,168,1,10,195,80\r\n", false, 6, 21),
            record(1, 1, "200 PORT command successful\r\n", true, 6, 21),
            record(1, 1, "226 Transfer complete\r\n", true, 6, 21)};
}

// RRQ (gate opened), DATA (gate and object deleted): two packets, two FE requests.
std::vector<std::vector<std::uint8_t>> tftp_session() {
    return {record(2, 1, std::string("\0\1boot.cfg\0octet\0", 17), false, 17, 69),
            record(2, 1, std::string("\0\3\0\1data", 8), true, 17, 69)};
}

void BM_FtpPacket(benchmark::State& state, plat::LocalFn fe) {
    start(fe);
    run(state, ftp_session());
}
void BM_TftpPacket(benchmark::State& state, plat::LocalFn fe) {
    start(fe);
    run(state, tftp_session());
}
BENCHMARK_CAPTURE(BM_FtpPacket, no_fe, no_fe);
BENCHMARK_CAPTURE(BM_FtpPacket, fe, benchfe::answering_fe);
BENCHMARK_CAPTURE(BM_TftpPacket, no_fe, no_fe);
BENCHMARK_CAPTURE(BM_TftpPacket, fe, benchfe::answering_fe);

// The parser alone on the longest common line, the 227 reply.
void BM_FtpParse227(benchmark::State& state) {
    auto rec = record(1, 1, "227 Entering Passive Mode (192,168,1,2,200,10)\r\n", true, 6, 21);
    qz_alg_pkt_t pkt;
    qz_alg_pkt_decode(rec, &pkt);
    for (auto _ : state) {
        qz_ftp_event_t event = qz_ftp_event_t::QZ_FTP_EVT_NONE;
        qz_ftp_obj_t parse{};
        benchmark::DoNotOptimize(qz_alg_ftp_parser(&pkt, &event, &parse));
        benchmark::DoNotOptimize(parse);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FtpParse227);

}  // namespace

BENCHMARK_MAIN();
