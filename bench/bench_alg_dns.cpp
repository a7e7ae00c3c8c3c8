// Per-packet cost of the DNS ALG's walled-garden parse on a typical response:
// one question, a CNAME and four A records with compressed names; and of the
// name decoder alone on that question. Debug lines off.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "alg/dns/qz_dns_parser.h"

namespace {

std::vector<std::uint8_t> response() {
    std::string m("\x12\x34\x81\x80\x00\x01\x00\x05\x00\x00\x00\x00", 12);
    m += std::string(
        "\x03www\x07"
        "example\x03"
        "com\x00\x00\x01\x00\x01",
        21);
    // CNAME www.example.com -> edge.example.net, then four A records of the alias.
    m += std::string("\xc0\x0c\x00\x05\x00\x01\x00\x00\x0e\x10\x00\x12", 12);
    m += std::string(
        "\x04"
        "edge\x07"
        "example\x03"
        "net\x00",
        18);
    for (int i = 1; i <= 4; ++i) {
        m += std::string("\xc0\x2d\x00\x01\x00\x01\x00\x00\x00\x3c\x00\x04\x5d\xb8\xd8", 15);
        m += static_cast<char>(i);
    }
    return {m.begin(), m.end()};
}

void BM_DnsWalledGardenParse(benchmark::State& state) {
    std::vector<std::uint8_t> msg = response();
    qz_dns_walled_garden_t check{};
    if (qz_dns_parse_walled_garden(msg, &check) != qz_dns_wg_result::QZ_DNS_WG_OK ||
        check.count != 4) {
        state.SkipWithError("the response does not parse to four addresses");
        return;
    }
    for (auto _ : state) {
        qz_dns_walled_garden_t wg{};
        auto rc = qz_dns_parse_walled_garden(msg, &wg);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(wg.count);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * msg.size()));
}
BENCHMARK(BM_DnsWalledGardenParse);

void BM_DnsDecodeName(benchmark::State& state) {
    std::vector<std::uint8_t> msg = response();
    char name[QZ_DNS_NAME_BUF];
    for (auto _ : state) {
        std::size_t next = 0;
        int rc = qz_dns_decode_name(msg, QZ_DNS_HDR_SIZE, name, &next);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(name[0]);
    }
}
BENCHMARK(BM_DnsDecodeName);

}  // namespace

BENCHMARK_MAIN();
