// DNS ALG: unanswered-query counting and the DNS-issue report on the driven
// clock, the walled-garden event of responses (byte by byte), the refusal of
// bad lengths, hostile names and records, and the station-leave path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "alg/dns/qz_dns_parser.h"
#include "fed/qz_fed_event.h"
#include "fed/qz_fed_hooks.h"
#include "tests/alg/alg_test_support.h"
#include "tests/support/text.h"

namespace {

using namespace algtest;

inline constexpr std::uint32_t kStaSide = 7;  // the station's interface: "wifi0"
inline constexpr std::uint32_t kReportIf = 4;

// ---- a small DNS message builder
std::string be16(std::uint16_t v) {
    return {static_cast<char>(v >> 8), static_cast<char>(v & 0xff)};
}
std::string name(const std::string& dotted) {
    std::string out;
    std::size_t at = 0;
    while (at < dotted.size()) {
        std::size_t dot = std::min(dotted.find('.', at), dotted.size());
        out += static_cast<char>(dot - at);
        out += dotted.substr(at, dot - at);
        at = dot + 1;
    }
    return out + '\0';
}
std::string ptr(std::uint16_t off) {
    return be16(static_cast<std::uint16_t>(0xC000 | off));
}
std::string header(bool response, std::uint16_t qd, std::uint16_t an) {
    return be16(0x1234) + be16(response ? 0x8180 : 0x0100) + be16(qd) + be16(an) + be16(0) +
           be16(0);
}
std::string question(const std::string& host, std::uint16_t qtype = 1) {
    return name(host) + be16(qtype) + be16(1);
}
std::string rr(const std::string& owner, std::uint16_t type, const std::string& rdata) {
    return owner + be16(type) + be16(1) + be16(0) + be16(300) +
           be16(static_cast<std::uint16_t>(rdata.size())) + rdata;
}
std::string a(std::uint8_t x, std::uint8_t y, std::uint8_t z, std::uint8_t w) {
    return rr(ptr(12), 1,
              std::string{static_cast<char>(x), static_cast<char>(y), static_cast<char>(z),
                          static_cast<char>(w)});
}
std::string response(const std::string& host, const std::vector<std::string>& answers,
                     std::uint16_t qtype = 1) {
    std::string m =
        header(true, 1, static_cast<std::uint16_t>(answers.size())) + question(host, qtype);
    for (const std::string& r : answers) m += r;
    return m;
}

const std::array<std::uint8_t, 6> kSta{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const std::array<std::uint8_t, 6> kSta2{0x00, 0x99, 0x88, 0x77, 0x66, 0x55};  // same last byte

Pkt dns(const std::string& payload, const std::array<std::uint8_t, 6>& sta = kSta) {
    Pkt p{.alg_type = QZ_ALG_TYPE_DNS,
          .protocol = 17,
          .src_port = 5353,
          .dst_port = 53,
          .out_ifindex = kStaSide,
          .in_ifindex = kReportIf,
          .payload = payload};
    bool resp = payload.size() > 2 && (static_cast<std::uint8_t>(payload[2]) & 0x80);
    (resp ? p.dst_mac : p.src_mac) = sta;
    return p;
}
void query(const std::array<std::uint8_t, 6>& sta = kSta) {
    dispatch(dns(header(false, 1, 0) + question("example.com"), sta));
}

std::vector<SentEvent> sent(std::uint32_t event) {
    std::vector<SentEvent> out;
    for (const SentEvent& e : events())
        if (e.event == event) out.push_back(e);
    return out;
}

class DnsAlg : public ::testing::Test {
   protected:
    void SetUp() override {
        qz_dns_pending_clear();
        clear();
        debug_all(true);
    }
    void TearDown() override { debug_all(false); }
};

TEST_F(DnsAlg, TenUnansweredQueriesOverAMinuteRaiseOneReport) {
    query();
    advance(61);
    for (int i = 0; i < 9; ++i) query();
    auto reports = sent(QZ_EVENT_ITK_NOTIFY);
    ASSERT_EQ(reports.size(), 1u);
    const std::vector<std::uint8_t> want = {
        0x00, 0x03, 0x00, 0x25, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0x11, 0x22, 0x33, 0x44,
        0x55, 0x00, 0x00, 0x00, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,
        0x05, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01};
    EXPECT_EQ(reports[0].payload, want);
    EXPECT_TRUE(logged("fed_alg_dns_info",
                       "Report the DNS issue for STA 00:11:22:33:44:55, 10 requests didn't get "
                       "response in passed 60 seconds"));
    // The count starts again and the clock is now: the eleventh is quiet.
    query();
    EXPECT_EQ(sent(QZ_EVENT_ITK_NOTIFY).size(), 1u);
    EXPECT_EQ(qz_dns_pending_find(kSta.data())->pending, 1u);
}

TEST_F(DnsAlg, QuietCases) {
    // Twenty within a minute of the first: no report.
    query();
    advance(60);
    for (int i = 0; i < 19; ++i) query();
    EXPECT_TRUE(sent(QZ_EVENT_ITK_NOTIFY).empty());
    EXPECT_EQ(qz_dns_pending_find(kSta.data())->pending, 20u);

    // A response restarts the minute.
    qz_dns_pending_clear();
    query();
    advance(61);
    dispatch(dns(response("example.com", {})));
    for (int i = 0; i < 10; ++i) query();
    EXPECT_TRUE(sent(QZ_EVENT_ITK_NOTIFY).empty());
    advance(61);
    query();
    EXPECT_EQ(sent(QZ_EVENT_ITK_NOTIFY).size(), 1u);
}

TEST_F(DnsAlg, ReportWithoutInterfaceMacIsDroppedButCountRestarts) {
    Pkt q = dns(header(false, 1, 0) + question("example.com"));
    q.in_ifindex = 99;
    dispatch(q);
    advance(61);
    for (int i = 0; i < 9; ++i) dispatch(q);
    EXPECT_TRUE(sent(QZ_EVENT_ITK_NOTIFY).empty());
    EXPECT_NE(log().find("<4> get mac addr of ifindex 99 failed!"), std::string::npos);
    EXPECT_EQ(qz_dns_pending_find(kSta.data())->pending, 0u);
}

TEST_F(DnsAlg, ResponsesNeverCountBelowZero) {
    dispatch(dns(response("example.com", {})));  // unknown station
    EXPECT_TRUE(testtext::has(
        log(),
        "<4> Unexcepted DNS response from 192.168.1.10: STA 00:11:22:33:44:55 is not found"));
    query();
    dispatch(dns(response("example.com", {})));
    dispatch(dns(response("example.com", {})));
    EXPECT_TRUE(testtext::has(
        log(),
        "<4> Unexcepted DNS response from 192.168.1.10: no pending request for 00:11:22:33:44:55"));
    EXPECT_EQ(qz_dns_pending_find(kSta.data())->pending, 0u);
    // Either way the walled garden heard of all three.
    EXPECT_EQ(sent(QZ_EVENT_DNS_WALLED_GARDEN).size(), 3u);
}

TEST_F(DnsAlg, LeavingStationLosesOnlyItsEntry) {
    query(kSta);
    query(kSta2);
    qz_fed_hooks.dns_forget_sta = qz_dns_sta_delete;
    std::vector<std::uint8_t> leave(QZ_AUTH_EVENT_SIZE, 0);
    std::memcpy(&leave[QZ_AUTH_EVENT_MAC], kSta.data(), 6);
    qz_fed_sta_ssid_handler(QZ_EVENT_AUTH_LEAVE, QZ_AUTH_EVENT_SIZE, leave.data());
    qz_fed_hooks.dns_forget_sta = nullptr;
    EXPECT_EQ(qz_dns_pending_find(kSta.data()), nullptr);
    ASSERT_NE(qz_dns_pending_find(kSta2.data()), nullptr);
    EXPECT_EQ(qz_dns_pending_count(), 1u);
    EXPECT_TRUE(logged("fed_alg_dns_info", "Delete the STA 00:11:22:33:44:55"));
    qz_dns_sta_delete(kSta.data());  // twice: nothing left to free
    EXPECT_EQ(qz_dns_pending_count(), 1u);
}

// The event payload fed must send, byte by byte on every host.
std::vector<std::uint8_t> wg_bytes(const std::string& host, const std::vector<std::string>& ips,
                                   std::uint32_t count) {
    std::vector<std::uint8_t> b(qz_dns_wg_off::size, 0);
    wire::store_h<std::uint32_t>(&b[0], kStaSide);
    std::memcpy(&b[4], host.data(), host.size());
    for (std::size_t i = 0; i < ips.size(); ++i) std::memcpy(&b[72 + 4 * i], ips[i].data(), 4);
    wire::store_h<std::uint32_t>(&b[104], count);
    return b;
}
std::string ip4(std::uint8_t x, std::uint8_t y, std::uint8_t z, std::uint8_t w) {
    return {static_cast<char>(x), static_cast<char>(y), static_cast<char>(z), static_cast<char>(w)};
}

TEST_F(DnsAlg, WalledGardenEvents) {
    const std::string h64(64, 'h'), h65(65, 'h');
    std::vector<std::string> ten;
    std::vector<std::string> eight;
    for (std::uint8_t i = 1; i <= 10; ++i) {
        ten.push_back(a(10, 0, 0, i));
        if (i <= 8) eight.push_back(ip4(10, 0, 0, i));
    }
    std::string cname = rr(ptr(12), 5, name("edge.cdn.net"));
    // Forward pointer: the question's name lies after the header and question.
    std::string fwd = header(true, 1, 0) + ptr(18) + be16(1) + be16(1) + name("fwd.example");
    std::string loop = header(true, 1, 0) + ptr(12) + be16(1) + be16(1);
    // The answer starts at 29 and its owner points at itself.
    std::string loop2 = response("example.com", {rr(ptr(29), 1, ip4(1, 2, 3, 4))});
    std::string past = response("example.com", {a(1, 2, 3, 4)});
    past[past.size() - 5] = 9;  // RDLENGTH 9 with 4 bytes left
    struct Case {
        const char* what;
        std::string msg;
        bool published;
        std::vector<std::uint8_t> payload;
    };
    // clang-format off
    const Case cases[] = {
        {"one A", response("www.example.com", {a(93, 184, 216, 34)}), true,
         wg_bytes("www.example.com", {ip4(93, 184, 216, 34)}, 1)},
        {"no answers", response("nx.example.com", {}), true, wg_bytes("nx.example.com", {}, 0)},
        {"ten A: first eight", response("many.example", ten), true,
         wg_bytes("many.example", eight, 8)},
        {"CNAME skipped", response("www.example", {cname, a(1, 2, 3, 4), a(5, 6, 7, 8)}), true,
         wg_bytes("www.example", {ip4(1, 2, 3, 4), ip4(5, 6, 7, 8)}, 2)},
        {"zero address ends the count", response("z.example", {a(0, 0, 0, 0), a(1, 2, 3, 4)}), true,
         wg_bytes("z.example", {ip4(0, 0, 0, 0), ip4(1, 2, 3, 4)}, 0)},
        {"A with RDLENGTH 5 skipped", response("r.example", {rr(ptr(12), 1, "12345")}), true,
         wg_bytes("r.example", {}, 0)},
        {"64-character name", response(h64, {a(1, 1, 1, 1)}), true,
         wg_bytes(h64, {ip4(1, 1, 1, 1)}, 1)},
        {"forward pointer", fwd, true, wg_bytes("fwd.example", {}, 0)},
        {"65-character name", response(h65, {a(1, 1, 1, 1)}), false, {}},
        {"AAAA question", response("v6.example", {}, 28), false, {}},
        {"two questions", header(true, 2, 0) + question("a.example") + question("b.example"), false, {}},
        {"question name loops", loop, false, {}},
        {"answer owner loops", loop2, false, {}},
        {"pointer past the end", header(true, 1, 0) + ptr(0x3fff) + be16(1) + be16(1), false, {}},
        {"RDATA past the end", past, false, {}},
        {"answer count beyond the records", header(true, 1, 2) + question("c.example") + a(1, 2, 3, 4), false, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clear();
        dispatch(dns(c.msg));
        auto events = sent(QZ_EVENT_DNS_WALLED_GARDEN);
        ASSERT_EQ(events.size(), c.published ? 1u : 0u);
        if (c.published) {
            EXPECT_EQ(events[0].payload, c.payload);
        }
        EXPECT_TRUE(fe().empty());  // no verdict for a well-sized packet
    }
    clear();
    dispatch(dns(response(h65, {})));
    EXPECT_TRUE(testtext::has(
        log(), "<6> walled garden supports 64 chars hostname. But length of " + h65 + " is 65"));
}

TEST_F(DnsAlg, EveryTruncationOfAResponseIsRefused) {
    std::string m = response("www.example.com",
                             {rr(ptr(12), 5, name("cdn.example")), a(1, 2, 3, 4), a(5, 6, 7, 8)});
    for (std::size_t n = 0; n < m.size(); ++n) {
        std::vector<std::uint8_t> exact(m.begin(), m.begin() + static_cast<std::ptrdiff_t>(n));
        qz_dns_walled_garden_t wg{};
        EXPECT_NE(qz_dns_parse_walled_garden(exact, &wg), qz_dns_wg_result::QZ_DNS_WG_OK) << n;
    }
}

TEST_F(DnsAlg, NameDecoderLimits) {
    auto decode = [](const std::string& wire, std::string* out) {
        std::vector<std::uint8_t> m(wire.begin(), wire.end());
        char buf[QZ_DNS_NAME_BUF];
        std::size_t next = 0;
        int rc = qz_dns_decode_name(m, 0, buf, &next);
        if (rc == 0) *out = buf;
        return rc == 0 ? static_cast<int>(next) : -1;
    };
    // 255 characters fill the buffer; one more does not fit.
    std::string l63(63, 'x'), name255 = l63 + "." + l63 + "." + l63 + "." + std::string(63, 'y');
    std::string got;
    EXPECT_EQ(decode(name(name255), &got), 257);
    EXPECT_EQ(got, name255);
    EXPECT_EQ(decode(name(name255 + "z"), &got), -1);
    EXPECT_EQ(decode(std::string(1, '\0'), &got), 1);  // the root
    EXPECT_EQ(got, "");
    EXPECT_EQ(decode(name("a.b") + ptr(0), &got), 5);  // ends at its zero, pointer unread
    EXPECT_EQ(decode(std::string("\x03"
                                 "ab"),
                     &got),
              -1);                                     // label past the end
    EXPECT_EQ(decode(std::string("\xc0"), &got), -1);  // half a pointer
    // A chain of pointers ending in a name: the position is after the first.
    EXPECT_EQ(decode(ptr(2) + ptr(4) + name("c.d"), &got), 2);
    EXPECT_EQ(got, "c.d");
    EXPECT_EQ(decode(ptr(2) + ptr(0), &got), -1);  // two pointers in a loop
}

TEST_F(DnsAlg, BadLengthsGetTheRefusalVerdict) {
    const std::string ok12 = header(false, 1, 0);
    struct Case {
        std::size_t size;
        int claimed;  // -1: the payload's size
        bool refused;
    };
    const Case cases[] = {
        {12, -1, true}, {13, -1, false}, {512, -1, false}, {513, -1, true}, {20, 30, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        qz_dns_pending_clear();
        clear();
        Pkt p = dns(ok12 + std::string(c.size - 12, 'x'));
        p.pkt_length = c.claimed;
        p.ctrl_tag = 0x77;
        dispatch(p);
        ASSERT_EQ(fe().size(), c.refused ? 1u : 0u);
        EXPECT_EQ(qz_dns_pending_count(), c.refused ? 0u : 1u);
        if (!c.refused) continue;
        FeReq r = fe()[0];
        EXPECT_EQ(r.command(), QZ_ALG_FE_CMD_DNS);
        EXPECT_EQ(flow_of(r), (Flow{ip(192, 168, 1, 10), ip(10, 0, 0, 1), 5353, 53, 17}));
        std::vector<std::uint8_t> d = r.data();
        EXPECT_EQ(wire::load_h<std::uint32_t>(&d[16]), 7u);
        EXPECT_EQ(wire::load_h<std::uint32_t>(&d[20]), 0x100u);
        EXPECT_EQ(wire::load_h<std::uint32_t>(&d[24]), 0x77u);
        EXPECT_EQ(wire::load_h<std::uint32_t>(&d[28]), 0u);  // flag: refused
        EXPECT_TRUE(logged("fed_alg_dns_info", "DNS ALG send msg to FE flag :0"));
    }
    clear();
    fail_next_ioctl();
    dispatch(dns(ok12));
    EXPECT_TRUE(logged("fed_alg_dns_error", "DNS ALG send msg to FE error. return value is -1"));
    EXPECT_TRUE(logged("fed_alg_dns_error", "Received invalied DNS packet, packet length is 12"));
}

TEST_F(DnsAlg, OtherPacketsAreIgnored) {
    Pkt timeout = dns("");
    timeout.pkt_type = QZ_ALG_PKT_TIMEOUT;
    Pkt tcp = dns(header(false, 1, 0) + question("example.com"));
    tcp.protocol = 6;
    Pkt unknown_if = dns(response("example.com", {}));
    unknown_if.out_ifindex = 77;
    for (const Pkt& p : {timeout, tcp}) dispatch(p);
    EXPECT_EQ(qz_dns_pending_count(), 0u);
    EXPECT_TRUE(fe().empty());
    dispatch(unknown_if);
    EXPECT_TRUE(sent(QZ_EVENT_DNS_WALLED_GARDEN).empty());
    EXPECT_TRUE(logged_err("qz_dns_update_walled_garden: get if 77"));
}

TEST_F(DnsAlg, PacketTrace) {
    query();
    std::string blanks(25, ' ');
    EXPECT_TRUE(logged("fed_alg_dns_pkt", "Received packet, ctrl_id:7, ctrl cookie:256," + blanks +
                                              "pkt len:29, src ip:192.168.1.10, src port:5353," +
                                              blanks +
                                              "dst ip:10.0.0.1, dst port:53, protocol:17"));
    EXPECT_NE(log().find("HEX 0000: 12 34 01 00 00 01"), std::string::npos);
}

}  // namespace
