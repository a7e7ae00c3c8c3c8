// IP policies through the command handlers, the store and an in-process FE:
// 1,000 rules added in order and at the front of their policy, and the
// start-up reload. A policy holds at most 64 rules, so the 1,000 rules are
// spread over 16 policies of 62 or 63; the group table has 32 slots, so a
// reload of 100 policy files takes the first 32 and skips the others.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

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

int command(const std::string& line) {
    cmdtbl::ParseResult p = cmdtbl::parse_line(line);
    if (!p.ok) return -999;
    Run r{p.cmd.record, p.cmd.id == 923 ? qz_fed_ip_policy_delete : qz_fed_ip_policy_rule};
    return plat::cli_run_local(p.cmd.id, p.cmd.type, call, &r).rc;
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

}  // namespace

BENCHMARK_MAIN();
