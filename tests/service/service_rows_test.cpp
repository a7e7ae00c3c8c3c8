// The service and ALG rows of the command table: which command and form each
// line reaches, and that generated records read back as the same line.
#include <gtest/gtest.h>

#include "mgt/cli/fed/cmd_text.h"
#include "platform/wire.h"

namespace {

struct RowCase {
    const char* line;
    std::uint32_t id;
    std::uint32_t type;
    std::uint32_t flags;
};

const RowCase kRows[] = {
    {"service web protocol tcp port 8080 timeout 0", 832, 0, 0xF},
    {"service gre protocol 47 port 5", 833, 0, 0x7},
    {"service web ip-protocol udp", 872, 0, 0x3},
    {"service ph svp timeout 9", 873, 0, 0x3},
    {"service a app-id 19000", 834, 0, 0x3},
    {"no service web", 832, 2, 0x80000001},
    {"no service  ftp", 832, 2, 0x80000001},
    {"service web alg tv", 1799, 0, 0x3},
    {"no service web alg", 1799, 2, 0x80000001},
    {"show service", 875, 0, 0},
    {"show service statistics", 897, 0, 0},
    {"show service statistics dns", 897, 0, 1},
    {"clear service statistics", 898, 0, 0},
    {"alg ftp enable", 804, 0, 1},
    {"no alg dns enable", 804, 2, 0x80000001},
    {"alg sip qos 4", 1800, 0, 3},
    {"no alg sip max-duration", 1802, 2, 0x80000001},
    {"alg tftp inactive-data-timeout 45", 1801, 0, 3},
    {"show alg http", 1803, 0, 1},
};

TEST(ServiceRows, LinesReachTheirCommandAndReadBack) {
    for (const RowCase& c : kRows) {
        SCOPED_TRACE(c.line);
        cmdtbl::ParseResult r = cmdtbl::parse_line(c.line);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.cmd.id, c.id);
        EXPECT_EQ(r.cmd.type, c.type);
        EXPECT_EQ(wire::load_h<std::uint32_t>(r.cmd.record.data()), c.flags);
        if (c.id == 875 || c.id == 897 || c.id == 898 || c.id == 1803) continue;
        std::optional<std::string> back = cmdtbl::render_record(c.id, r.cmd.record);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(cmdtbl::parse_line(*back).cmd.record, r.cmd.record) << *back;
    }
}

TEST(ServiceRows, ValuesOutsideTheirRangeAreRefused) {
    for (const char* line :
         {"alg sip qos 8", "alg dns max-duration 5", "alg http qos 1", "service x protocol 256",
          "service x protocol tcp port 0", "service x alg dhcp"}) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(cmdtbl::parse_line(line).ok);
    }
}

}  // namespace
