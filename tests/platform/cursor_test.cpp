#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/history.h"
#include "platform/qz.h"
#include "platform/wire.h"

namespace {

// A record list built from (type, declared length, data bytes) rows.
struct Rec {
    std::uint16_t type;
    std::uint32_t declared;  // 0: the true length
    std::size_t data;
};
std::vector<std::uint8_t> list_of(std::initializer_list<Rec> recs) {
    wire::Writer w;
    for (const Rec& r : recs) {
        w.h16(r.type).h16(0).h32(r.declared ? r.declared : static_cast<std::uint32_t>(8 + r.data));
        for (std::size_t i = 0; i < r.data; ++i) w.u8(static_cast<std::uint8_t>(i));
    }
    return w.buf();
}

struct Case {
    const char* what;
    std::vector<std::uint8_t> list;
    int cut;                          // list length handed over; -1: whole
    std::vector<std::size_t> starts;  // offsets of the records the cursor yields
    std::vector<std::uint16_t> types;
};

TEST(CliCursor, WalksOnlyWellFormedRecords) {
    const Case cases[] = {
        {"one record", list_of({{17, 0, 12}}), -1, {0}, {17}},
        {"two records", list_of({{17, 0, 4}, {7, 0, 0}}), -1, {0, 12}, {17, 7}},
        {"empty list", {}, -1, {}, {}},
        {"header cut short", list_of({{17, 0, 4}}), 7, {}, {}},
        {"length past the end", list_of({{17, 0, 4}}), 11, {}, {}},
        {"length below the header", list_of({{17, 4, 4}}), -1, {}, {}},
        {"bad second record", list_of({{17, 0, 0}, {17, 1000, 0}}), -1, {0}, {17}},
        {"huge length", list_of({{17, 0xFFFFFFFFu, 4}}), -1, {}, {}},
        {"negative length", list_of({{17, 0, 4}}), -5, {}, {}},
    };
    for (const Case& c : cases) {
        int len = c.cut == -1 ? static_cast<int>(c.list.size()) : c.cut;
        qz_cli_ipc_cursor_t cur;
        qz_cli_ipc_cursor_init(&cur, c.list.data(), len);
        EXPECT_EQ(cur.count, static_cast<int>(c.starts.size())) << c.what;
        for (std::size_t i = 0; i < c.starts.size(); ++i) {
            const std::uint8_t* rec = qz_cli_ipc_next(&cur);
            ASSERT_EQ(rec, c.list.data() + c.starts[i]) << c.what;
            EXPECT_EQ(qz_cli_ipc_type(rec), c.types[i]) << c.what;
        }
        EXPECT_EQ(qz_cli_ipc_next(&cur), nullptr) << c.what;
        EXPECT_EQ(qz_cli_ipc_next(&cur), nullptr) << c.what;
    }
}

TEST(CliCursor, NullListYieldsNothing) {
    qz_cli_ipc_cursor_t cur;
    qz_cli_ipc_cursor_init(&cur, nullptr, 100);
    EXPECT_EQ(qz_cli_ipc_next(&cur), nullptr);
    EXPECT_EQ(qz_cli_ipc_next(nullptr), nullptr);
    EXPECT_EQ(qz_cli_ipc_type(nullptr), 0);
}

}  // namespace

namespace {

TEST(History, KeepsTheNewestAndNumbersEntriesForever) {
    plat::History<int, 3> h;
    for (int i = 0; i < 5; ++i) h.push_back(i);
    ASSERT_EQ(h.size(), 3u);
    EXPECT_EQ(h[0], 2);
    EXPECT_EQ(h.back(), 4);
    EXPECT_EQ(h.total(), 5u);
    EXPECT_EQ(h.at_total(1), nullptr);  // dropped
    ASSERT_NE(h.at_total(2), nullptr);
    EXPECT_EQ(*h.at_total(4), 4);
    EXPECT_EQ(h.at_total(5), nullptr);  // not there yet
    h.clear();
    EXPECT_EQ(h.total(), 0u);
    h.push_back(9);
    EXPECT_EQ(*h.at_total(0), 9);
}

}  // namespace
