// The build is for the CPU it claims: on the cross build that is 32-bit
// big-endian PowerPC, which is what makes the unit tests there worth running.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/wire.h"

namespace {

// Byte order as the running CPU stores it, not as the compiler says it would.
bool stores_big_endian() {
    const std::uint32_t v = 0x01020304;
    std::uint8_t b[4];
    std::memcpy(b, &v, sizeof v);
    return b[0] == 0x01 && b[3] == 0x04;
}

TEST(PlatformTarget, CompilerAndCpuAgreeOnByteOrder) {
    EXPECT_EQ(stores_big_endian(), std::endian::native == std::endian::big);
    // Host order equals network order exactly on a big-endian CPU.
    const std::uint8_t bytes[] = {0xde, 0xad, 0xbe, 0xef};
    EXPECT_EQ(wire::load_h<std::uint32_t>(bytes) == wire::load_be32(bytes), stores_big_endian());
}

#ifdef FED_TARGET_BE32
TEST(PlatformTarget, CrossBuildIsThirtyTwoBitBigEndian) {
    EXPECT_EQ(sizeof(void*), 4u);
    EXPECT_EQ(sizeof(long), 4u);
    EXPECT_TRUE(stores_big_endian());
}
#endif

}  // namespace
