// The policy mapping store against a LocalAp's run directory: the entry's
// stored bytes, record operations, refused names, and the reload that
// rebuilds the group table, corrupt files included.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fed/policy/qz_fed_db.h"
#include "fed/policy/qz_fed_grp.h"
#include "fed/qz_fed_main.h"
#include "platform/qz.h"
#include "platform/wire.h"
#include "tests/support/local_ap.h"

namespace {

namespace eo = qz_fed_entry_off;

qz_fed_entry_t entry(const char* policy, std::uint32_t id, std::uint32_t key, int fe_rules = 0) {
    qz_fed_entry_t e;
    e.type_fed_cli = 1;
    e.fed_id = id;
    e.order_key = key;
    e.set_policy(policy);
    for (int i = 0; i < fe_rules; ++i)
        e.fe[static_cast<std::size_t>(i)] = {1, 0x0A000001u, 0, id * 10 + static_cast<unsigned>(i)};
    e.rules_num = static_cast<std::uint8_t>(fe_rules);
    return e;
}

class StoreTest : public ::testing::Test {
   protected:
    void SetUp() override {
        mkdir(qz_fs_path(QZ_FED_DB_ROOT).c_str(), 0777);
        mkdir(qz_fs_path(QZ_FED_DB_DIR).c_str(), 0777);
        qz_fed_grp_clear();
    }
    void TearDown() override { qz_fed_grp_clear(); }
    std::string file(const std::string& name) { return qz_fs_path(qz_fed_db_path(name)); }
    testap::LocalAp ap;
};

TEST(StoreEntry, BytesInHostOrderAtTheirPlaces) {
    qz_fed_entry_t e = entry("guest", 7, 0x01020304u, 2);
    e.need_resolve = 1;
    qz_fed_entry_bytes b;
    qz_fed_entry_encode(e, b);
    auto h32 = [&](std::size_t off) { return wire::load_h<std::uint32_t>(b.data() + off); };
    EXPECT_EQ(h32(eo::kOrderKey), 0x01020304u);
    EXPECT_EQ(h32(eo::kFedId), 7u);
    EXPECT_EQ(h32(eo::kKey), 7u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + eo::kName)), "guest");
    EXPECT_EQ(h32(eo::kNeedResolve), 1u);
    EXPECT_EQ(b[eo::kRulesNum], 2);
    EXPECT_EQ(h32(eo::kSlots + eo::kSlotSize + 12), 71u);  // fe_id of the second slot
    qz_fed_key_t k = qz_fed_entry_key(7, "guest");
    EXPECT_TRUE(std::equal(k.begin(), k.end(), b.begin() + eo::kKey));
    qz_fed_entry_t back;
    ASSERT_TRUE(qz_fed_entry_decode(b, back));
    qz_fed_entry_bytes again;
    qz_fed_entry_encode(back, again);
    EXPECT_EQ(again, b);
}

TEST(StoreEntry, DecodeRefusesWhatNoStoreWrote) {
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> spoil;
    };
    auto put = [](std::size_t off, std::uint32_t v) {
        return
            [=](std::vector<std::uint8_t>& b) { wire::store_h<std::uint32_t>(b.data() + off, v); };
    };
    const Case cases[] = {
        {"short", [](auto& b) { b.pop_back(); }},
        {"long", [](auto& b) { b.push_back(0); }},
        {"ids disagree", put(eo::kKey, 8)},
        {"id 0", [&](auto& b) { put(eo::kFedId, 0)(b), put(eo::kKey, 0)(b); }},
        {"id 1024", [&](auto& b) { put(eo::kFedId, 1024)(b), put(eo::kKey, 1024)(b); }},
        {"kind 5", put(eo::kType, 5)},
        {"65 FE rules", [](auto& b) { b[eo::kRulesNum] = 65; }},
        {"empty name", [](auto& b) { b[eo::kName] = 0; }},
        {"unterminated name",
         [](auto& b) { std::fill_n(b.begin() + eo::kName, eo::kNameSize, 'a'); }},
        {"FE rule id 0 in use", put(eo::kSlots + 12, 0)},
    };
    qz_fed_entry_bytes good;
    qz_fed_entry_encode(entry("guest", 7, 1, 1), good);
    for (const Case& c : cases) {
        std::vector<std::uint8_t> b(good.begin(), good.end());
        c.spoil(b);
        qz_fed_entry_t e;
        EXPECT_FALSE(qz_fed_entry_decode(b, e)) << c.what;
    }
}

TEST_F(StoreTest, StoreFetchReplaceDeleteReadSorted) {
    ASSERT_EQ(qz_fed_db_create_file("p"), 0);
    EXPECT_EQ(qz_fed_db_count("p"), 0);
    for (auto [id, key] : {std::pair{1u, 30u}, {2u, 10u}, {3u, 20u}})
        ASSERT_EQ(qz_fed_db_store(entry("p", id, key)), 0);
    ASSERT_EQ(qz_fed_db_store(entry("p", 3, 5, 2)), 0);  // same key: replaced
    EXPECT_EQ(qz_fed_db_count("p"), 3);
    qz_fed_entry_t e = entry("p", 3, 0);
    ASSERT_EQ(qz_fed_db_fetch(e), 0);
    EXPECT_EQ(e.order_key, 5u);
    EXPECT_EQ(e.rules_num, 2);
    EXPECT_EQ(qz_fed_db_delete(2, "p"), 0);
    EXPECT_EQ(qz_fed_db_delete(2, "p"), -1);
    qz_fed_entry_t gone = entry("p", 2, 0);
    EXPECT_LT(qz_fed_db_fetch(gone), 0);
    std::vector<qz_fed_entry_t> v;
    ASSERT_EQ(qz_fed_db_read_all("p", v), 0);
    qz_fed_db_sort(v);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].fed_id, 3u);
    EXPECT_EQ(v[1].fed_id, 1u);
    EXPECT_EQ(qz_fed_db_remove_file("p"), 0);
    EXPECT_NE(access(file("p").c_str(), F_OK), 0);
}

TEST_F(StoreTest, UnsafeNamesNeverReachTheFileSystem) {
    const char* bad[] = {"",    ".",         "..",      "../x",
                         "a/b", "tab\tname", "del\x7f", "123456789012345678901234567890123"};
    for (const char* n : bad) {
        SCOPED_TRACE(n);
        EXPECT_FALSE(qz_fed_db_name_ok(n));
        EXPECT_EQ(qz_fed_db_create_file(n), -1);
        if (std::string_view(n).size() <= QZ_FED_NAME_MAX) {  // an entry holds no more
            EXPECT_EQ(qz_fed_db_store(entry(n, 1, 1)), -1);
        }
        EXPECT_EQ(qz_fed_db_remove_file(n), -1);
    }
    EXPECT_TRUE(qz_fed_db_name_ok("a..b"));
    EXPECT_TRUE(qz_fed_db_name_ok("guest net"));
    EXPECT_EQ(access(qz_fs_path("/tmp/db/x").c_str(), F_OK), -1);
}

TEST_F(StoreTest, ReloadRebuildsTheGroupTableAndSkipsWhatIsBroken) {
    ASSERT_EQ(qz_fed_db_store(entry("p1", 3, 40, 3)), 0);
    qz_fed_entry_t stale = entry("p1", 5, 12);
    stale.rules_num = 3;  // slots beyond the third are not looked at
    stale.fe[0] = {1, 0, 0, 100};
    stale.fe[1] = {1, 0, 0, 101};
    stale.fe[2] = {1, 0, 0, 102};
    stale.fe[3] = {1, 0, 0, 103};
    ASSERT_EQ(qz_fed_db_store(stale), 0);
    ASSERT_EQ(qz_fed_db_create_file("empty"), 0);
    std::ofstream(file("garbage")) << std::string(4096, '\xA5');
    std::ofstream(file("truncated")) << "GDBM";
    // A record the store did not write: decoded as broken, skipped.
    {
        qz_db_t db = qz_db_open_ex(qz_fed_db_path("p2").c_str(), QZ_DB_RW);
        ASSERT_NE(db, nullptr);
        qz_fed_key_t k = qz_fed_entry_key(9, "p2");
        std::uint8_t junk[100] = {};
        qz_db_store(db, k.data(), static_cast<int>(k.size()), junk, sizeof junk);
        qz_db_close(db);
    }
    ASSERT_EQ(qz_fed_db_store(entry("p2", 1, 7)), 0);

    ASSERT_EQ(qz_fed_db_reload(), 0);
    EXPECT_EQ(qz_fed_grp_count(), 5);
    auto slot = [](const char* n) { return qz_fed_grp_slot(qz_fed_grp_find(n)); };
    EXPECT_EQ(slot("p1").mapping_cnt, 2);
    EXPECT_EQ(slot("p1").rules_cnt, 6);
    EXPECT_EQ(slot("p2").mapping_cnt, 1);
    EXPECT_EQ(slot("empty").mapping_cnt, 0);
    EXPECT_EQ(slot("garbage").mapping_cnt, 0);
    EXPECT_EQ(qz_fed_grp_alloc_fed_id("p1"), 1u);
    EXPECT_EQ(qz_fed_grp_alloc_fed_id("p2"), 2u);
    EXPECT_EQ(qz_fed_next_order_key(), 41u) << "new rules sort after every stored one";
}

TEST_F(StoreTest, IdsAreLowestFreeAndLimited) {
    bool added = false;
    ASSERT_GE(qz_fed_grp_add("p", &added), 0);
    ASSERT_TRUE(added);
    for (std::uint32_t id = 1; id <= 3; ++id) qz_fed_grp_mark_fed_id("p", id);
    qz_fed_grp_mark_fed_id("p", 3);  // marking twice counts once
    qz_fed_grp_unmark_fed_id("p", 2);
    EXPECT_EQ(qz_fed_grp_mapping_cnt("p"), 2);
    EXPECT_EQ(qz_fed_grp_alloc_fed_id("p"), 2u);
    for (std::uint32_t id = 10; id < 72; ++id) qz_fed_grp_mark_fed_id("p", id);
    EXPECT_EQ(qz_fed_grp_mapping_cnt("p"), 64);
    EXPECT_EQ(qz_fed_grp_alloc_fed_id("p"), 0u);
    EXPECT_EQ(qz_fed_grp_alloc_fed_id("none"), 0u);
    for (int i = 1; i < QZ_FED_GRP_MAX; ++i)
        ASSERT_GE(qz_fed_grp_add("g" + std::to_string(i), nullptr), 0);
    EXPECT_EQ(qz_fed_grp_add("one-too-many", nullptr), -1);
}

}  // namespace
