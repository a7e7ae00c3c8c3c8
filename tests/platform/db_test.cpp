#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/backend.h"
#include "platform/qz.h"
#include "tests/support/local_ap.h"

namespace {

class Db : public ::testing::Test {
   protected:
    void SetUp() override {
        db_ = qz_db_open_ex("/pol.db", QZ_DB_RW);
        ASSERT_NE(db_, nullptr);
    }
    void TearDown() override {
        if (db_) qz_db_close(db_);
    }
    int put(const std::string& k, const std::string& v) {
        return qz_db_store(db_, k.data(), static_cast<int>(k.size()), v.data(),
                           static_cast<int>(v.size()));
    }
    testap::LocalAp ap_;  // the run directory
    qz_db_t db_ = nullptr;
};

TEST_F(Db, StoreReplacesFetchCopiesAtMostTheBuffer) {
    EXPECT_EQ(qz_db_count(db_), 0);
    ASSERT_EQ(put("k1", "first"), 0);
    ASSERT_EQ(put("k2", "second"), 0);
    ASSERT_EQ(put("k1", "replaced"), 0);
    EXPECT_EQ(qz_db_count(db_), 2);

    char buf[16] = {};
    EXPECT_EQ(qz_db_fetch(db_, "k1", 2, buf, sizeof buf), 8);
    EXPECT_EQ(std::string(buf, 8), "replaced");
    char small[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(qz_db_fetch_bykey(db_, "k2", 2, small, 3), 6);
    EXPECT_EQ(std::string(small, 4), "sec#");
    EXPECT_EQ(qz_db_fetch(db_, "k3", 2, buf, sizeof buf), -1);

    EXPECT_EQ(qz_db_delete_ex(db_, "k1", 2, 5), 0);
    EXPECT_EQ(qz_db_delete_ex(db_, "k1", 2, 5), -1);
    EXPECT_EQ(qz_db_count(db_), 1);
    EXPECT_TRUE(std::filesystem::exists(ap_.dir() + "/pol.db"));
}

TEST_F(Db, RecordsSurviveReopen) {
    ASSERT_EQ(put("a", "1"), 0);
    qz_db_close(db_);
    db_ = qz_db_open_ex("/pol.db", QZ_DB_RW);
    ASSERT_NE(db_, nullptr);
    char c = 0;
    EXPECT_EQ(qz_db_fetch(db_, "a", 1, &c, 1), 1);
    EXPECT_EQ(c, '1');
}

int collect(const void* key, int klen, const void* val, int vlen, void* arg) {
    auto* seen = static_cast<std::map<std::string, std::string>*>(arg);
    (*seen)[std::string(static_cast<const char*>(key), klen)] =
        std::string(static_cast<const char*>(val), vlen);
    return 0;
}

int delete_all_then_stop(const void* key, int klen, const void*, int, void* arg) {
    qz_db_delete_ex(static_cast<qz_db_t>(arg), key, klen, 5);
    return 0;
}

int stop_at_first(const void*, int, const void*, int, void*) {
    return 1;
}

TEST_F(Db, ForeachVisitsEveryRecordAndToleratesDeletes) {
    std::map<std::string, std::string> want;
    for (int i = 0; i < 50; ++i) {
        std::string k = "key" + std::to_string(i), v = std::string(i, 'v');
        want[k] = v;
        ASSERT_EQ(put(k, v), 0);
    }
    std::map<std::string, std::string> seen;
    EXPECT_EQ(qz_db_foreach(db_, collect, &seen), 50);
    EXPECT_EQ(seen, want);
    EXPECT_EQ(qz_db_foreach(db_, stop_at_first, nullptr), 1);
    EXPECT_EQ(qz_db_foreach(db_, delete_all_then_stop, db_), 50);
    EXPECT_EQ(qz_db_count(db_), 0);
    EXPECT_EQ(qz_db_foreach(db_, nullptr, nullptr), -1);
}

TEST(DbArgs, NullsAreRefused) {
    EXPECT_EQ(qz_db_open_ex(nullptr, QZ_DB_RW), nullptr);
    EXPECT_EQ(qz_db_store(nullptr, "k", 1, "v", 1), -1);
    EXPECT_EQ(qz_db_count(nullptr), -1);
    EXPECT_EQ(qz_db_close(nullptr), -1);
}

}  // namespace
