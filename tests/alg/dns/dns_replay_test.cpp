// The DNS ALG end to end: the DNS captures of the shared corpus replayed
// through apsim's FE into fed, with what fed published read back through
// `platform events decoded`; hostile captures run clean; a made-up capture of
// unanswered queries raises the DNS-issue report; a leaving station is forgotten.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ap.h"
#include "tests/support/frames_pcap.h"
#include "tests/support/text.h"

namespace {

using testap::Ap;

std::string corpus(const std::string& rel) {
    return std::string(FED_CORPUS_DIR) + "/dns/" + rel;
}

bool have_corpus() {
    return std::filesystem::exists(corpus(""));
}

std::vector<std::string> walled_garden_lines(Ap& ap) {
    std::vector<std::string> out;
    std::string text = ap.ctl("platform events decoded").out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t nl = text.find('\n', at);
        std::string line = text.substr(at, nl - at);
        if (line.starts_with("352 ")) out.push_back(line);
        at = nl == std::string::npos ? text.size() : nl + 1;
    }
    return out;
}

struct Capture {
    const char* file;
    std::uint64_t dns_packets;           // control packets passed up
    std::vector<std::string> published;  // after "352 QZ_EVENT_DNS_WALLED_GARDEN ifindex N "
};

// pcpp_dns_over_tcp.pcapng is left out: libpcap stops at its second
// interface block, whose snapshot length differs from the first.
const std::vector<Capture>& captures() {
    // clang-format off
    static const std::vector<Capture> c = {
        {"ndpi_dns_ambiguous_names.pcap", 20,
         {"host 41-courier.push.apple.com count 8 addresses 17.57.146.139 17.57.146.138 "
          "17.57.146.135 17.57.146.136 17.57.146.137 17.57.146.132 17.57.146.134 17.57.146.133",
          "host teams.skype.com count 1 addresses 13.107.3.128",
          "host api.teams.skype.com count 1 addresses 52.113.194.131",
          "host alt2-mtalk.google.com count 1 addresses 173.194.202.188",
          "host android.clients.google.com count 8 addresses 108.177.14.101 108.177.14.113 "
          "74.125.131.101 74.125.131.113 74.125.131.102 74.125.131.100 74.125.131.138 "
          "74.125.131.139",
          "host *.teams.microsoft.com count 0 addresses -",
          "host wide-youtube.l.google.com count 1 addresses 64.233.164.198",
          "host guzzoni.apple.com count 1 addresses 17.130.21.5",
          "host short.weixin.qq.com count 2 addresses 203.205.254.77 203.205.254.220",
          "host instagram.faae1-1.fna.fbcdn.net count 1 addresses 41.220.158.96"}},
        {"ndpi_dns_fragmented.pcap", 4, {}},
        {"ndpi_dns_google_nsid.pcapng", 6,
         {"host www.ntop.org count 1 addresses 178.62.197.130",
          "host www.wikipedia.it count 4 addresses 108.157.194.28 108.157.194.62 108.157.194.11 "
          "108.157.194.27",
          "host www.wireshark.org count 3 addresses 104.26.10.240 104.26.11.240 172.67.75.39"}},
        // CNAME and 16 A records: the first eight.
        {"pcpp_dns_cname_16a.pcap", 1,
         {"host www.google-analytics.com count 8 addresses 212.199.219.237 212.199.219.227 "
          "212.199.219.246 212.199.219.241 212.199.219.222 212.199.219.251 212.199.219.212 "
          "212.199.219.247"}},
        {"pcpp_dns_mixed_mdns.pcap", 5, {"host assets.pinterest.com count 2 addresses 151.249.90.217 151.249.90.238"}},
        {"pcpp_dns_mx_additional_a_aaaa.pcap", 1, {}},  // asks for MX
        {"pcpp_dns_nxdomain.pcap", 1, {"host htb.local count 0 addresses -"}},
        {"pcpp_dns_stack_overflow.pcap", 1, {}},
        {"suricata_dns_cname_dig.pcap", 2, {"host www.suricata-ids.org count 2 addresses 192.0.78.24 192.0.78.25"}},
        {"suricata_dns_double_req_resp.pcap", 4, {"host www.google.com count 8 addresses 24.244.4.56 24.244.4.57 24.244.4.52 24.244.4.53 "
          "24.244.4.54 24.244.4.59 24.244.4.55 24.244.4.58"}},
        {"suricata_dns_tcp_google.pcap", 0, {}},
        {"tcpdump_dns_fwdptr.pcap", 1, {}},
        {"tcpdump_dns_tcp.pcap", 0, {}},
        {"tcpdump_dns_udp.pcap", 2, {"host www.tcpdump.org count 2 addresses 192.139.46.66 198.199.88.104"}},
        {"tcpdump_dns_zlip_1.pcap", 1, {}},
        {"tcpdump_dns_zlip_3.pcap", 1, {}},
        {"zeek_dns_long_connection.pcap", 22, {"host www.netbsd.org count 1 addresses 204.152.190.12"}},
        {"zeek_dns_txt_multiple.pcap", 2, {}},
        {"zeek_ipv6_fragmented_dns.pcap", 0, {}},
    };
    // clang-format on
    return c;
}

TEST(DnsReplay, CorpusPublishesNamesAndAddresses) {
    if (!have_corpus()) GTEST_SKIP() << "no corpus at " << FED_CORPUS_DIR;
    // One access point for all: each capture's events follow the earlier ones.
    Ap ap;
    ASSERT_EQ(ap.ctl("platform alg dns on").rc, 0);
    std::size_t before = 0;
    for (const Capture& c : captures()) {
        SCOPED_TRACE(c.file);
        testap::Result r = ap.ctl("replay " + corpus(c.file) + " --json");
        ASSERT_EQ(r.rc, 0) << r.out;
        EXPECT_TRUE(testtext::has(r.out, "\"dns\":" + std::to_string(c.dns_packets) + "}"));
        std::vector<std::string> got = walled_garden_lines(ap);
        ASSERT_EQ(got.size() - before, c.published.size());
        for (std::size_t i = 0; i < c.published.size(); ++i) {
            const std::string& line = got[before + i];
            EXPECT_EQ(line.substr(line.find(" host ") + 1), c.published[i]);
        }
        before = got.size();
        // Hostile or not, fed is still there and answers.
        ASSERT_TRUE(ap.wait_running(2000));
    }
    // fed never died on the way.
    EXPECT_NE(ap.ctl("platform status").out.find("fed starts: 1\n"), std::string::npos);
}

TEST(DnsReplay, WithTheAlgOffNothingIsPublished) {
    if (!have_corpus()) GTEST_SKIP() << "no corpus at " << FED_CORPUS_DIR;
    Ap ap;
    for (const Capture& c : captures()) {
        testap::Result r = ap.ctl("replay " + corpus(c.file) + " --json");
        ASSERT_EQ(r.rc, 0) << c.file << r.out;
        EXPECT_NE(r.out.find("\"dns\":0}"), std::string::npos) << c.file << r.out;
    }
    EXPECT_EQ(ap.ctl("platform events").out.find("352 "), std::string::npos);
}

TEST(DnsReplay, OversizedResponseIsRefusedToTheFe) {
    if (!have_corpus()) GTEST_SKIP() << "no corpus at " << FED_CORPUS_DIR;
    Ap ap;
    ASSERT_EQ(ap.ctl("alg dns enable").rc, 0);
    ASSERT_EQ(ap.ctl("debug fed alg_dns_error").rc, 0);
    ASSERT_EQ(ap.ctl("replay " + corpus("tcpdump_dns_fwdptr.pcap")).rc, 0);
    // The FE cuts the copy at 2002 bytes; fed refuses it with flag 0.
    EXPECT_NE(ap.ctl("platform gates").out.find(" flag 0 "), std::string::npos);
    EXPECT_TRUE(testtext::has(ap.log(), "Received invalied DNS packet, packet length is 2002"));
    EXPECT_TRUE(walled_garden_lines(ap).empty());
}

// Ten queries of one station over 70 seconds of capture time, never answered,
// then one answer after the station left.
TEST(DnsReplay, UnansweredQueriesAreReportedAndLeavingForgets) {
    using namespace testframes;
    std::string q = std::string("\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00", 12) +
                    std::string(
                        "\x07"
                        "example\x03"
                        "com\x00\x00\x01\x00\x01",
                        17);
    std::string resp = q;
    resp[2] = '\x81';
    resp[3] = '\x80';
    std::vector<TimedPacket> pkts;
    for (std::uint16_t i = 0; i < 10; ++i)
        pkts.push_back({i == 0 ? 0u : 61000u + i * 1000u,
                        Packet{kUdp, ip(192, 168, 1, 10), static_cast<std::uint16_t>(40000 + i),
                               ip(10, 0, 0, 53), 53, q, 0, 0x01, 0x02}});
    std::string path = "/tmp/fed-dns-replay-" + std::to_string(::getpid()) + ".pcap";
    ASSERT_TRUE(write_pcap(path, pkts));
    Ap ap;
    ASSERT_EQ(ap.ctl("platform alg dns on").rc, 0);
    ASSERT_EQ(ap.ctl("debug fed alg_dns_info").rc, 0);
    testap::Result r = ap.ctl("replay " + path + " --clock capture --json");
    ASSERT_EQ(r.rc, 0) << r.out;
    std::string events = ap.ctl("platform events decoded").out;
    EXPECT_TRUE(testtext::has(events, "172 QZ_EVENT_ITK_NOTIFY dns-issue ifindex "));
    EXPECT_TRUE(testtext::has(events, " sta 02:00:00:00:00:01 if-mac 02:00:00:00:00:"));
    EXPECT_TRUE(
        testtext::has(ap.log(), "Report the DNS issue for STA 02:00:00:00:00:01, 10 requests"));

    ASSERT_EQ(ap.ctl("event sta-leave 02:00:00:00:00:01").rc, 0);
    EXPECT_NE(ap.log().find("Delete the STA 02:00:00:00:00:01"), std::string::npos);
    pkts = {
        {0, Packet{kUdp, ip(10, 0, 0, 53), 53, ip(192, 168, 1, 10), 40000, resp, 0, 0x02, 0x01}}};
    ASSERT_TRUE(write_pcap(path, pkts));
    ASSERT_EQ(ap.ctl("replay " + path).rc, 0);
    EXPECT_TRUE(testtext::has(
        ap.log(), "Unexcepted DNS response from 10.0.0.53: STA 02:00:00:00:00:01 is not found"));
    EXPECT_TRUE(testtext::has(ap.ctl("platform events decoded").out,
                              "host example.com count 0 addresses -"));
    std::filesystem::remove(path);
}

}  // namespace
