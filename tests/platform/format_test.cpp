#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/qz.h"

namespace {

// An IPv4 address as fed holds it: its memory bytes are the dotted quad in order.
std::uint32_t ip(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::uint8_t bytes[4] = {a, b, c, d};
    std::uint32_t v;
    std::memcpy(&v, bytes, 4);
    return v;
}

template <typename... A>
std::string qz(const char* fmt, A... args) {
    char buf[512];
    int n = qz_snprintf(buf, sizeof buf, fmt, args...);
    EXPECT_EQ(n, static_cast<int>(std::strlen(buf)));
    return buf;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
// The C library's output for a format without %i or %m: the oracle.
template <typename... A>
std::string libc(const char* fmt, A... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}
#pragma GCC diagnostic pop

TEST(Format, IpAndMacPrintTheirBytesInOrderOnAnyHost) {
    const std::uint8_t mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xfe};
    EXPECT_EQ(qz("%i", ip(192, 168, 1, 2)), "192.168.1.2");
    EXPECT_EQ(qz("%i", ip(0, 0, 0, 0)), "0.0.0.0");
    EXPECT_EQ(qz("%i", ip(255, 255, 255, 255)), "255.255.255.255");
    EXPECT_EQ(qz("%m", mac), "00:1a:2b:3c:4d:fe");
    EXPECT_EQ(qz("[%-15i]", ip(10, 0, 0, 1)), "[10.0.0.1       ]");
    EXPECT_EQ(qz("[%12i]", ip(10, 0, 0, 1)), "[    10.0.0.1]");
    EXPECT_EQ(qz("[%-20m]", mac), "[00:1a:2b:3c:4d:fe   ]");
    EXPECT_EQ(
        qz("from %i:%u to %i:%u mac %m rc %d", ip(1, 2, 3, 4), 21u, ip(5, 6, 7, 8), 2021u, mac, -3),
        "from 1.2.3.4:21 to 5.6.7.8:2021 mac 00:1a:2b:3c:4d:fe rc -3");
}

TEST(Format, StandardConversionsMatchTheCLibrary) {
    const char* s = "policy";
    void* p = &s;
    EXPECT_EQ(qz("%d|%5d|%-5d|%05d|%+d", 42, 42, 42, 42, 42),
              libc("%d|%5d|%-5d|%05d|%+d", 42, 42, 42, 42, 42));
    EXPECT_EQ(qz("%u %x %X %#x %o", 4000000000u, 0xbeefu, 0xbeefu, 255u, 8u),
              libc("%u %x %X %#x %o", 4000000000u, 0xbeefu, 0xbeefu, 255u, 8u));
    EXPECT_EQ(qz("%ld %lu %lld %llu %zu", -5L, 7UL, -9LL, 18446744073709551615ULL, sizeof(int)),
              libc("%ld %lu %lld %llu %zu", -5L, 7UL, -9LL, 18446744073709551615ULL, sizeof(int)));
    EXPECT_EQ(qz("%hd %hhu", 70000, 300), libc("%hd %hhu", 70000, 300));
    EXPECT_EQ(qz("%s|%10s|%-10s|%.3s|%c", s, s, s, s, 'x'),
              libc("%s|%10s|%-10s|%.3s|%c", s, s, s, s, 'x'));
    EXPECT_EQ(qz("%*d|%-*d|%.*s", 6, 1, 6, 1, 2, s), libc("%*d|%-*d|%.*s", 6, 1, 6, 1, 2, s));
    EXPECT_EQ(qz("%*d", -4, 7), libc("%*d", -4, 7));
    EXPECT_EQ(qz("%p", p), libc("%p", p));
    EXPECT_EQ(qz("%.2f %e %g", 3.14159, 1e10, 0.5), libc("%.2f %e %g", 3.14159, 1e10, 0.5));
    EXPECT_EQ(qz("100%% done"), "100% done");
    EXPECT_EQ(qz("no conversion"), "no conversion");
    EXPECT_EQ(qz("trailing %"), "trailing %");
}

TEST(Format, TruncatesLikeSnprintfAndReturnsTheWholeLength) {
    const std::uint32_t a = ip(192, 168, 100, 200);  // 15 characters
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(qz_snprintf(buf, sizeof buf, "%i", a), 15);
    EXPECT_STREQ(buf, "192.168");
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(qz_snprintf(buf, sizeof buf, "ab%dcdefgh", 12345), 13);
    EXPECT_STREQ(buf, "ab12345");
    EXPECT_EQ(qz_snprintf(nullptr, 0, "%s-%i", "x", a), 17);
    buf[0] = '#';
    EXPECT_EQ(qz_snprintf(buf, 1, "%m", "\1\2\3\4\5\6"), 17);
    EXPECT_EQ(buf[0], '\0');
}

TEST(Format, StringFormsGrowAsNeeded) {
    std::string big(1000, 'z');
    EXPECT_EQ(qz_format("<%s>", big.c_str()), "<" + big + ">");
    char out[64];
    EXPECT_EQ(qz_sprintf(out, "%i/%d", ip(1, 1, 1, 1), 24), 10);
    EXPECT_STREQ(out, "1.1.1.1/24");
}

}  // namespace
