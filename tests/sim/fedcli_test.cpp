// fed's CliDone answer as apsim reads it: records whole, or refused.
#include "sim/fedcli.h"

#include <gtest/gtest.h>

#include "platform/proto.h"
#include "platform/wire.h"

namespace {

TEST(CliDone, ReadsResultAndRecordsAndRefusesEveryTruncation) {
    std::uint8_t rec[12] = {1, 0, 0, 0, 2};
    wire::Writer w;
    w.hi32(0x3001a).h32(2);
    w.h32(proto::kTlvRecord).h32(790).blob(rec);
    w.h32(proto::kTlvDelay).h32(0).str("load ?user-profile-attribute vlan");
    sim::CliReply r;
    ASSERT_TRUE(sim::parse_cli_done(w.buf(), r));
    EXPECT_EQ(r.rc, 0x3001a);
    ASSERT_EQ(r.records.size(), 2u);
    EXPECT_EQ(r.records[0].cmd, 790u);
    EXPECT_EQ(r.records[0].data.size(), 12u);
    EXPECT_EQ(r.records[1].type, proto::kTlvDelay);
    EXPECT_EQ(std::string(r.records[1].data.begin(), r.records[1].data.end()),
              "load ?user-profile-attribute vlan");
    for (std::size_t n = 0; n < w.buf().size(); ++n)
        EXPECT_FALSE(sim::parse_cli_done(std::span(w.buf()).first(n), r)) << n;

    wire::Writer huge;
    huge.hi32(0).h32(0xffffffff);
    EXPECT_FALSE(sim::parse_cli_done(huge.buf(), r));
    wire::Writer none;
    none.hi32(-1).h32(0);
    ASSERT_TRUE(sim::parse_cli_done(none.buf(), r));
    EXPECT_EQ(r.rc, -1);
    EXPECT_TRUE(r.records.empty());
}

}  // namespace
