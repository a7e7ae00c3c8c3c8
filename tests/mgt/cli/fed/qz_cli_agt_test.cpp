// fed's unpackers, registrations and running-configuration generator.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli_vectors.h"
#include "fed/qz_fed_msg.h"
#include "mgt/cli/fed/cmd_table.h"
#include "mgt/cli/fed/qz_cli_agt_auto.h"
#include "platform/wire.h"
#include "tests/support/local_ap.h"
#include "tests/support/text.h"

namespace {

// What the last handler call saw.
struct Seen {
    void* ctx = nullptr;
    const std::uint8_t* data = nullptr;
    std::vector<std::uint8_t> args;
};
Seen g_seen;

int recording_handler(void* ctx, std::span<const std::uint8_t> args) {
    g_seen.ctx = ctx;
    g_seen.data = args.data();
    g_seen.args.assign(args.begin(), args.end());
    return 0x3001A;
}

std::vector<std::uint8_t> record_list(std::uint16_t type, std::vector<std::uint8_t> args) {
    std::vector<std::uint8_t> list(8 + args.size());
    wire::store_h<std::uint16_t>(list.data(), type);
    wire::store_h<std::uint32_t>(list.data() + 4, static_cast<std::uint32_t>(list.size()));
    std::copy(args.begin(), args.end(), list.begin() + 8);
    return list;
}

TEST(Unpack, HandsByte8OfTheFirstRecordToTheHandler) {
    // Two records: only the first one is the command's.
    std::vector<std::uint8_t> args(16);
    wire::store_h<std::uint32_t>(args.data(), 0x80000000u);
    wire::store_h<std::uint32_t>(args.data() + 12, 1460);
    std::vector<std::uint8_t> list = record_list(17, args);
    std::vector<std::uint8_t> second = record_list(7, {1, 2, 3, 4});
    list.insert(list.end(), second.begin(), second.end());

    qz_cli_cmd_t ctx{1, 990, QZ_CMD_TYPE_NO, nullptr};
    g_seen = {};
    int rc = qz_cli_unpack<recording_handler>(&ctx, list.data(), static_cast<int>(list.size()));
    EXPECT_EQ(rc, 0x3001A);
    EXPECT_EQ(g_seen.ctx, &ctx);
    EXPECT_EQ(g_seen.data, list.data() + 8);
    EXPECT_EQ(g_seen.args, args);
}

TEST(Unpack, ShortRecordArrivesZeroFilledToTheLayoutSize) {
    std::uint32_t id = 0;
    std::uint16_t size = 0;
    for (const cmdtbl::CmdFamily& f : cmdtbl::cmd_families())
        for (const cmdtbl::CmdRow& r : f.rows)
            if (r.size > size) {
                id = r.id;
                size = cmdtbl::cmd_record_size(r.id);
            }
    ASSERT_GT(size, 4);
    std::vector<std::uint8_t> list = record_list(17, {0xff, 0xff, 0xff, 0xff});
    qz_cli_cmd_t ctx{1, id, QZ_CMD_TYPE_SET, nullptr};
    g_seen = {};
    qz_cli_unpack<recording_handler>(&ctx, list.data(), static_cast<int>(list.size()));
    ASSERT_EQ(g_seen.args.size(), size);
    EXPECT_EQ(wire::load_h<std::uint32_t>(g_seen.args.data()), 0xFFFFFFFFu);
    EXPECT_TRUE(std::all_of(g_seen.args.begin() + 4, g_seen.args.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

TEST(UnpackDeathTest, FirstRecordNotOfType17EndsFed) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testap::LocalAp ap;
    qz_cli_cmd_t ctx{1, 989, QZ_CMD_TYPE_SET, nullptr};
    std::vector<std::uint8_t> list = record_list(7, std::vector<std::uint8_t>(12));
    EXPECT_EXIT(qz_cli_unpack<recording_handler>(&ctx, list.data(), static_cast<int>(list.size())),
                testing::KilledBySignal(SIGABRT), "");
    std::string log = ap.log();
    EXPECT_TRUE(testtext::has(
        log,
        "### Assertion (p->type==QZ_CLI_IPC_STRUCT_T) failed at mgt/cli/fed/qz_cli_agt_auto:"));
    // A list without a whole record has no first record either.
    EXPECT_EXIT(qz_cli_unpack<recording_handler>(&ctx, list.data(), 7),
                testing::KilledBySignal(SIGABRT), "");
}

TEST(Registrations, ComeFromRowsWithHandlersTwiceWhereListed) {
    std::vector<qz_cli_vector_t> regs = qz_cli_agt_registrations(qz_fed_cli_vectors());
    std::map<std::uint32_t, int> count;
    std::set<std::uint32_t> rows;
    for (const cmdtbl::CmdFamily& f : cmdtbl::cmd_families())
        for (const cmdtbl::CmdRow& r : f.rows) rows.insert(r.id);
    std::map<std::uint32_t, qz_cli_unpack_fn> first;
    for (const qz_cli_vector_t& v : regs) {
        ++count[v.id];
        EXPECT_TRUE(rows.count(v.id)) << v.id << " registered without a table row";
        EXPECT_NE(v.unpack, nullptr);
        // A second registration reaches the same handler.
        if (first.count(v.id))
            EXPECT_EQ(first[v.id], v.unpack) << v.id;
        else
            first[v.id] = v.unpack;
    }
    std::set<std::uint32_t> twice(std::begin(cmdtbl::kTwiceRegistered),
                                  std::end(cmdtbl::kTwiceRegistered));
    for (const auto& [id, n] : count) EXPECT_EQ(n, twice.count(id) ? 2 : 1) << id;
    std::size_t expected = count.size();
    for (const auto& [id, n] : count) expected += twice.count(id);
    EXPECT_EQ(regs.size(), expected);
    EXPECT_EQ(regs.size(), cmdtbl::kFullRegistrationCount);
}

}  // namespace
