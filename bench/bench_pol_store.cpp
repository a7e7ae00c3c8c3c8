// IP policies through the command handlers, the store and an in-process FE:
// 1,000 rules added in order and at the front of their policy, and the
// start-up reload. A policy holds at most 64 rules, so the 1,000 rules are
// spread over 16 policies of 62 or 63; the group table has 32 slots, so a
// reload of 100 policy files takes the first 32 and skips the others.
// Host-name rules: one timer run resolving a batch of 100 pending rules
// against an instant resolver, and the displays of one policy whose 16 rules
// name hosts of 8 addresses on both ends, 1,000 FE rules in all (each rule
// makes up to 64; the FE lists at most 1,016 of a group).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "fed/cli/qz_fed_ip_policy_cli.h"
#include "fed/policy/qz_fed_db.h"
#include "fed/policy/qz_fed_grp.h"
#include "fed/policy/qz_fed_resolve.h"
#include "fed/qz_fed_main.h"
#include "mgt/cli/fed/cmd_text.h"
#include "platform/backend.h"
#include "platform/qz.h"
#include "tests/support/local_ap.h"

namespace {

inline constexpr int kRules = 1000;
inline constexpr int kPolicies = 16;

struct Run {
    std::vector<std::uint8_t> record;
    int (*handler)(void*, qz_fed_pol_args_t);
};

int call(void* ctx, void* arg) {
    auto* r = static_cast<Run*>(arg);
    return r->handler(ctx, r->record);
}

struct Handler {
    std::uint32_t id;
    int (*fn)(void*, qz_fed_pol_args_t);
};
constexpr Handler kHandlers[] = {{919, qz_fed_ip_policy_rule},
                                 {923, qz_fed_ip_policy_delete},
                                 {937, qz_fed_ip_policy_show},
                                 {940, qz_fed_ip_policy_show_fe},
                                 {941, qz_fed_ip_policy_dump}};

// Runs one command; what it printed goes to *out when given.
int command(const std::string& line, std::string* out = nullptr) {
    cmdtbl::ParseResult p = cmdtbl::parse_line(line);
    if (!p.ok) return -999;
    Run r{p.cmd.record, nullptr};
    for (const Handler& h : kHandlers)
        if (h.id == p.cmd.id) r.handler = h.fn;
    if (!r.handler) return -999;
    plat::CliLocalRun run = plat::cli_run_local(p.cmd.id, p.cmd.type, call, &r);
    if (out) *out = std::move(run.text);
    return run.rc;
}

// Every host has as many addresses as the digit after its "h" says (at most 8).
int bench_resolver(const char* name, std::uint32_t* addrs, int max) {
    int n = name[0] == 'h' && name[1] >= '0' && name[1] <= '9' ? std::min(name[1] - '0', max) : 0;
    for (int i = 0; i < n; ++i) addrs[i] = htonl(0x0A000001u + static_cast<std::uint32_t>(i));
    return n;
}

// The store on a RAM file system, as /tmp is on the access point: the key-value
// library syncs its mapping at every close, which a disk would measure instead.
class RamStore {
   public:
    RamStore() : old_(plat::run_dir()) {
        char tmpl[] = "/dev/shm/fedbench.XXXXXX";
        if (::mkdtemp(tmpl)) dir_ = tmpl;
        plat::set_run_dir(dir_.empty() ? old_ : dir_);
        mkdir(qz_fs_path("/tmp").c_str(), 0777);
        mkdir(qz_fs_path(QZ_FED_DB_ROOT).c_str(), 0777);
        mkdir(qz_fs_path(QZ_FED_DB_DIR).c_str(), 0777);
        qz_fed_grp_clear();
    }
    ~RamStore() {
        plat::set_run_dir(old_);
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }

   private:
    std::string old_, dir_;
};

std::string policy(int i) {
    return "p" + std::to_string(i);
}

// Adds the rules (at the front: each before the previous one), then lets the
// resolution passes make every FE rule and rebuild the policies.
void add_rules(benchmark::State& state, bool front) {
    for (auto _ : state) {
        state.PauseTiming();
        testap::LocalAp ap;
        RamStore store;
        for (int p = 0; p < kPolicies; ++p) command("ip-policy " + policy(p));
        state.ResumeTiming();
        for (int n = 0; n < kRules; ++n) {
            int p = n % kPolicies, id = n / kPolicies + 1;
            std::string line = "ip-policy " + policy(p) + " id " + std::to_string(id) +
                               " from 10.0." + std::to_string(p) + "." + std::to_string(id) +
                               " action permit";
            if (front && id > 1) line += " before id " + std::to_string(id - 1);
            if (command(line) != 0) state.SkipWithError("rule refused");
        }
        for (int pass = 0; pass < kRules / QZ_FED_RESOLVE_BATCH + 1; ++pass) qz_fed_resolve_run();
    }
    state.SetItemsProcessed(state.iterations() * kRules);
}

void BM_AddRulesInOrder(benchmark::State& state) {
    add_rules(state, false);
}
BENCHMARK(BM_AddRulesInOrder)->Unit(benchmark::kMillisecond);

void BM_AddRulesAtFront(benchmark::State& state) {
    add_rules(state, true);
}
BENCHMARK(BM_AddRulesAtFront)->Unit(benchmark::kMillisecond);

// Start-up reload of state.range(0) policy files holding 1,000 entries in all.
void BM_Reload(benchmark::State& state) {
    testap::LocalAp ap;
    RamStore store;
    int files = static_cast<int>(state.range(0));
    for (int n = 0; n < kRules; ++n) {
        qz_fed_entry_t e;
        e.type_fed_cli = 1;
        e.fed_id = static_cast<std::uint32_t>(n / files + 1);
        e.order_key = static_cast<std::uint32_t>(n + 1);
        e.set_policy(policy(n % files));
        e.rules_num = 1;
        e.fe[0] = {1, 0, 0, e.fed_id};
        qz_fed_db_store(e);
    }
    for (auto _ : state) benchmark::DoNotOptimize(qz_fed_db_reload());
    state.counters["policies"] = qz_fed_grp_count();
}
BENCHMARK(BM_Reload)->Arg(32)->Arg(100)->Unit(benchmark::kMillisecond);

// One timer run: 100 pending host-name rules (two policies of 50) resolved,
// their FE rules added and both policies rebuilt.
void BM_ResolveBatch(benchmark::State& state) {
    qz_fed_set_host_resolver(bench_resolver);
    for (auto _ : state) {
        state.PauseTiming();
        testap::LocalAp ap;
        RamStore store;
        for (const char* p : {"a", "b"}) {
            command(std::string("ip-policy ") + p);
            for (int i = 0; i < 50; ++i)
                command(std::string("ip-policy ") + p + " from h1-" + std::to_string(i) + ".bench");
        }
        state.ResumeTiming();
        qz_fed_resolve_run();
        state.PauseTiming();
        if (qz_fed_resolve_cursor() != 0) state.SkipWithError("entries left pending");
        state.ResumeTiming();
    }
    qz_fed_set_host_resolver(nullptr);
    state.SetItemsProcessed(state.iterations() * QZ_FED_RESOLVE_BATCH);
}
BENCHMARK(BM_ResolveBatch)->Unit(benchmark::kMillisecond);

// The displays of a policy of 1,000 FE rules: 15 rules of 8 x 8 addresses and
// one of 5 x 8. Arg: the command (940 FE view, 937 stored view, 941 dump).
void BM_ShowBigPolicy(benchmark::State& state) {
    qz_fed_set_host_resolver(bench_resolver);
    testap::LocalAp ap;
    RamStore store;
    command("ip-policy big");
    for (int i = 1; i <= 16; ++i)
        command("ip-policy big id " + std::to_string(i) + " from h" + (i == 16 ? "5" : "8") + "-" +
                std::to_string(i) + ".bench to h8.bench");
    qz_fed_resolve_run();
    const std::string lines[] = {"show ip-policy big fe", "show ip-policy big",
                                 "show ip-policy big mapping"};
    const std::string& line = lines[state.range(0)];
    std::string out;
    for (auto _ : state) {
        if (command(line, &out) != 0) state.SkipWithError("show failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(out.size());
    std::string fe;
    command("show ip-policy big fe", &fe);
    std::size_t total = fe.find("Total policies=");
    state.counters["fe_rules"] =
        total == std::string::npos ? 0 : std::atoi(fe.c_str() + total + 15);
    qz_fed_set_host_resolver(nullptr);
}
BENCHMARK(BM_ShowBigPolicy)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
