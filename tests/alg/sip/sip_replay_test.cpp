// SIP calls replayed through the real apsim + fed, driven by fedctl: an
// answered call's media are admitted both ways, a call the FE refuses opens
// nothing, and the gates stand in the FE's table as SIP's (ALG type 3); then
// a table of generated call kinds and the SIP captures of the shared corpus.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/ap.h"
#include "tests/support/frames_pcap.h"
#include "tests/support/text.h"

namespace {

using testap::replay_json;

using testframes::ip;
using testframes::kUdp;
using testframes::Packet;

constexpr std::uint32_t kPhone = ip(192, 168, 1, 10);
constexpr std::uint32_t kPeer = ip(10, 0, 0, 1);

Packet sip(bool from_phone, const std::string& start, const std::string& branch,
           const std::string& cseq, const std::string& body = "") {
    std::string text = testframes::sip_text(start, branch, cseq, body);
    Packet p = from_phone ? Packet{kUdp, kPhone, 5060, kPeer, 5060, text}
                          : Packet{kUdp, kPeer, 5060, kPhone, 5060, text};
    if (!from_phone) std::swap(p.src_mac_last, p.dst_mac_last);
    return p;
}
using testframes::sdp;

// INVITE, 200 and ACK, then RTP and RTCP each way and one flow nobody announced.
std::string write_call(const std::string& dir) {
    std::string path = dir + "/call.pcap";
    const std::vector<testframes::TimedPacket> pkts = {
        {0, sip(true, "INVITE sip:b@b SIP/2.0", "b1", "1 INVITE", sdp("192.168.1.10", 40000))},
        {100, sip(false, "SIP/2.0 200 OK", "b1", "1 INVITE", sdp("10.0.0.1", 50000))},
        {200, sip(true, "ACK sip:b@b SIP/2.0", "b2", "1 ACK")},
        {300, {kUdp, kPhone, 40000, kPeer, 50000, "rtp"}},
        {310, {kUdp, kPeer, 50002, kPhone, 40000, "rtp"}},
        {320, {kUdp, kPhone, 40001, kPeer, 50001, "rtcp"}},
        {330, {kUdp, kPeer, 50003, kPhone, 40001, "rtcp"}},
        {340, {kUdp, kPhone, 40002, kPeer, 50004, "stray"}},
    };
    EXPECT_TRUE(testframes::write_pcap(path, pkts));
    return path;
}

TEST(SipReplay, AnsweredCallAdmitsItsMediaBothWaysAndShows) {
    testap::Ap ap;
    ASSERT_EQ(ap.ctl("platform alg sip on").rc, 0);
    testap::Result r = ap.ctl("replay " + write_call(ap.dir()) + " --json");
    EXPECT_EQ(
        testap::replay_head(r.out),
        replay_json(8, {0, 0, 3, 0}, 4, 0, 4, R"("udp 192.168.1.10:40002 > 10.0.0.1:50004")"));

    // The call goes on after the capture: fed shows it, with the user names
    // apsim knows, and leaves no file of them behind.
    ASSERT_EQ(ap.ctl("platform station 02:00:00:00:00:01 alice").rc, 0);
    const std::string call =
        "Total number of SIP calls : 1\n"
        "\n(user=alice, MAC=02:00:00:00:00:01) <-> (user=N/A, MAC=02:00:00:00:00:02)\n"
        "From:<sip:a@a>\nTo:<sip:b@b>\nCall-id:call-1\n"
        "Media :audio 192.168.1.10:40000 <-> 10.0.0.1:50000\n"
        "Media :audio 192.168.1.10:40001 <-> 10.0.0.1:50001\n";
    EXPECT_EQ(ap.ctl("show sip calls").out, call);
    EXPECT_EQ(ap.ctl("show sip calls call-id call-1").out, call);
    r = ap.ctl("show sip calls call-id call-2");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "");
    for (const auto& e : std::filesystem::directory_iterator(ap.dir()))
        EXPECT_NE(e.path().filename().string().rfind("sip-users", 0), 0u) << e.path();
}

// A UDP port of the loopback that nobody uses right now.
std::string free_udp_port() {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return std::to_string(ntohs(a.sin_port));
}

// Records cross between processes: ask again until the access point agrees.
std::string shows(testap::Ap& ap, const std::string& line, const std::string& head) {
    std::string out;
    for (int i = 0; i < 200 && out.rfind(head, 0) != 0; ++i) out = ap.ctl(line).out;
    return out;
}

// Two access points: the call set up on the first follows the phone to the
// second, and the first keeps it as a roaming object.
TEST(SipReplay, CallRoamsToTheNeighbour) {
    const std::string p1 = free_udp_port(), p2 = free_udp_port();
    testap::Ap ap1({"--clock", "driven", "--hc-port", p1});
    testap::Ap ap2({"--clock", "driven", "--hc-port", p2});
    ASSERT_EQ(ap1.ctl("platform neighbour add 127.0.0.1:" + p2).rc, 0);
    ASSERT_EQ(ap2.ctl("platform neighbour add 127.0.0.1:" + p1).rc, 0);
    EXPECT_EQ(ap2.ctl("platform neighbour list").out, "127.0.0.1:" + p1 + "\n");
    for (testap::Ap* ap : {&ap1, &ap2}) ASSERT_EQ(ap->ctl("platform alg sip on").rc, 0);
    ASSERT_EQ(ap1.ctl("replay " + write_call(ap1.dir()) + " --clock capture").rc, 0);

    const std::string one = "Total number of SIP roaming objects : 1\n";
    std::string kept = shows(ap2, "show sip roaming object", one);
    EXPECT_TRUE(testtext::has(kept, "Call-id:call-1\n")) << kept;
    ASSERT_EQ(ap2.ctl("event sta-join 02:00:00:00:00:01").rc, 0);
    std::string live = ap2.ctl("show sip calls").out;
    EXPECT_TRUE(testtext::has(live, "Total number of SIP calls : 1\n")) << live;
    EXPECT_TRUE(testtext::has(live, "Media :audio 192.168.1.10:40000 <-> 10.0.0.1:50000\n"));
    EXPECT_TRUE(testtext::has(ap2.ctl("platform gates").out, "10.0.0.1:50000")) << "reopened";

    // The first access point keeps the call as the second announced it.
    EXPECT_EQ(shows(ap1, "show sip roaming object", one),
              one +
                  "\n(user=N/A, MAC=02:00:00:00:00:01) <-> (user=N/A, MAC=00:00:00:00:00:00)\n"
                  "From:<sip:a@a>\nTo:<sip:b@b>\nCall-id:call-1\n"
                  "Media :audio 192.168.1.10:40000 <-> 10.0.0.1:50000\n"
                  "Media :audio 192.168.1.10:40001 <-> 10.0.0.1:50001\n");
    EXPECT_EQ(ap1.ctl("show sip calls").out, "Total number of SIP calls : 0\n");
    EXPECT_EQ(ap1.ctl("show sip roaming neighbor").out,
              "To show roaming table, please use \"show roaming neighbor\"\n");
    // The phone leaves the second: its call waits there as a roaming object.
    ASSERT_EQ(ap2.ctl("event sta-leave 02:00:00:00:00:01").rc, 0);
    EXPECT_EQ(ap2.ctl("show sip calls").out, "Total number of SIP calls : 0\n");
    EXPECT_EQ(ap2.ctl("show sip roaming object").out.rfind(one, 0), 0u);
    ASSERT_EQ(ap1.ctl("platform neighbour del 127.0.0.1:" + p2).rc, 0);
    EXPECT_EQ(ap1.ctl("platform neighbour list").out, "");
}

TEST(SipReplay, RefusedCallOpensNothingAndGatesAreSips) {
    testap::Ap ap;
    for (const char* line : {"platform alg sip on", "platform cac on", "platform cac refuse 1"})
        ASSERT_EQ(ap.ctl(line).rc, 0) << line;
    EXPECT_EQ(ap.ctl("platform cac").out, "cac on refuse 1\n");
    std::string cap = write_call(ap.dir());
    testap::Result r = ap.ctl("replay " + cap + " --json");
    EXPECT_TRUE(testtext::has(r.out, R"("gates_opened":0,"gates_deleted":0,"flows_admitted":0,)"));
    std::string gates = ap.ctl("platform gates").out;
    EXPECT_TRUE(testtext::has(gates, "message 82: udp 192.168.1.10:5060 > 10.0.0.1:5060 ctrl 1/"));
    EXPECT_NE(gates.find(" flag 1 reply 1\n"), std::string::npos) << gates;

    // The FE has stopped refusing: the same call again is admitted, its gates
    // wait in the FE's table until its media come.
    ASSERT_EQ(ap.ctl("platform cac refuse 0").rc, 0);
    ASSERT_EQ(ap.ctl("replay " + cap + " --clock now").rc, 0);
    gates = ap.ctl("platform gates").out;
    EXPECT_NE(gates.find(" flag 1 reply 0\n"), std::string::npos) << gates;
    EXPECT_EQ(ap.ctl("platform cac bogus").err, "% Usage: platform cac [on|off]\n");
}

// Generated calls of the phone (offers 192.168.1.10:40000) with the peer
// (answers 10.0.0.1:50000), replayed on capture time. Media flows come from
// fresh source ports, so each direction is a flow of its own.
struct Call {
    std::vector<testframes::TimedPacket> pkts;
    std::uint16_t src = 30000;
    Call& req(std::uint64_t ms, const std::string& method, const std::string& branch,
              const std::string& cseq, const std::string& body = "") {
        pkts.push_back({ms, sip(true, method + " sip:b@b SIP/2.0", branch, cseq, body)});
        return *this;
    }
    Call& resp(std::uint64_t ms, const std::string& status, const std::string& branch,
               const std::string& cseq, const std::string& body = "") {
        pkts.push_back({ms, sip(false, "SIP/2.0 " + status, branch, cseq, body)});
        return *this;
    }
    Call& to_peer(std::uint64_t ms, std::uint16_t port) {
        pkts.push_back({ms, {kUdp, kPhone, src++, kPeer, port, "rtp"}});
        return *this;
    }
    Call& to_phone(std::uint64_t ms, std::uint16_t port) {
        pkts.push_back({ms, {kUdp, kPeer, src++, kPhone, port, "rtp"}});
        return *this;
    }
    Call& rtp(std::uint64_t ms, std::uint16_t phone, std::uint16_t peer) {
        return to_peer(ms, peer).to_phone(ms + 5, phone);
    }
    Call& invite(const char* answer) {
        return req(0, "INVITE", "b1", "1 INVITE", sdp("192.168.1.10", 40000))
            .resp(10, "100 Trying", "b1", "1 INVITE")
            .resp(100, answer, "b1", "1 INVITE", *answer == '2' ? sdp("10.0.0.1", 50000) : "");
    }
    // INVITE with the offer, 100, 200 with the answer, ACK.
    Call& answered() { return invite("200 OK").req(200, "ACK", "b2", "1 ACK"); }
};

struct CallKind {
    const char* name;
    const char* settings;  // fedctl lines before the replay
    std::function<void(Call&)> call;
    int admitted;
    const char* unadmitted;  // the replay's JSON list
};

const CallKind kCallKinds[] = {
    {"basic, then a flow after the BYE", "",
     [](Call& c) {
         c.answered().rtp(300, 40000, 50000);
         c.req(1000, "BYE", "b3", "2 BYE")
             .resp(1010, "200 OK", "b3", "2 BYE")
             .to_phone(1100, 40001);
     },
     2, R"(["udp 10.0.0.1:30002 > 192.168.1.10:40001"])"},
    {"early media, then the 200 re-pairs the gates", "",
     [](Call& c) {
         c.req(0, "INVITE", "b1", "1 INVITE", sdp("192.168.1.10", 40000))
             .resp(100, "183 Session Progress", "b1", "1 INVITE", sdp("10.0.0.1", 50000))
             .rtp(200, 40000, 50000);
         c.resp(1000, "200 OK", "b1", "1 INVITE", sdp("10.0.0.1", 50000))
             .req(1100, "ACK", "b2", "1 ACK")
             .rtp(1200, 40000, 50000);
     },
     4, "[]"},
    {"re-INVITE moves the media", "",
     [](Call& c) {
         c.answered().rtp(300, 40000, 50000);
         c.req(1000, "INVITE", "b3", "2 INVITE", sdp("192.168.1.10", 42000))
             .resp(1100, "200 OK", "b3", "2 INVITE", sdp("10.0.0.1", 52000))
             .req(1200, "ACK", "b4", "2 ACK")
             .rtp(1300, 42000, 52000)
             .to_phone(1400, 40001);
     },
     4, R"(["udp 10.0.0.1:30004 > 192.168.1.10:40001"])"},
    {"486 and its ACK", "",
     [](Call& c) {
         c.invite("486 Busy Here").req(110, "ACK", "b1", "1 ACK").rtp(300, 40000, 50000);
     },
     0, R"(["udp 192.168.1.10:30000 > 10.0.0.1:50000","udp 10.0.0.1:30001 > 192.168.1.10:40000"])"},
    {"CANCEL before the answer", "",
     [](Call& c) {
         c.req(0, "INVITE", "b1", "1 INVITE", sdp("192.168.1.10", 40000))
             .resp(10, "180 Ringing", "b1", "1 INVITE")
             .req(100, "CANCEL", "b1", "1 CANCEL");
         c.resp(110, "200 OK", "b1", "1 CANCEL")
             .resp(120, "487 Request Terminated", "b1", "1 INVITE");
         c.req(130, "ACK", "b1", "1 ACK").rtp(300, 40000, 50000);
     },
     0, R"(["udp 192.168.1.10:30000 > 10.0.0.1:50000","udp 10.0.0.1:30001 > 192.168.1.10:40000"])"},
    // Unused gates would stand for an hour: the call's end closes them.
    {"outlives a max duration of one minute",
     "alg sip inactive-data-timeout 3600\nalg sip max-duration 1\n",
     [](Call& c) {
         c.answered().rtp(300, 40000, 50000).to_peer(50000, 50001).to_phone(70000, 40001);
     },
     3, R"(["udp 10.0.0.1:30003 > 192.168.1.10:40001"])"},
};

TEST(SipReplay, GeneratedCallsAdmitTheMediaOfAnsweredCallsOnly) {
    for (const CallKind& k : kCallKinds) {
        testap::Ap ap;
        ASSERT_EQ(ap.ctl_file(std::string("platform alg sip on\n") + k.settings).rc, 0) << k.name;
        Call c;
        k.call(c);
        const std::string cap = ap.dir() + "/call.pcap";
        ASSERT_TRUE(testframes::write_pcap(cap, c.pkts));
        testap::Result r = ap.ctl("replay " + cap + " --clock capture --json");
        EXPECT_TRUE(testtext::has(r.out, R"("flows_admitted":)" + std::to_string(k.admitted) +
                                             R"(,"flows_unadmitted":)" + k.unadmitted + ","))
            << k.name << ": " << r.out;
    }
}

// The SIP captures of the shared corpus, read where they lie.
struct CorpusCase {
    const char* file;
    const char* settings;  // fedctl lines before the replay
    std::string json;
};
const CorpusCase kCorpus[] = {
    // SIP over TCP: the SIP service is UDP 5060, so its RTP finds no gate
    {"heplify_sip_ipv4_tcp.pcap", "",
     replay_json(
         84, {0, 0, 0, 0}, 0, 0, 0,
         R"("tcp 10.33.6.100:64802 > 10.33.6.101:5060","udp 10.33.6.101:6050 > 10.33.6.100:6000","udp 10.33.6.101:6051 > 10.33.6.100:6001")")},
    // the same call with a TCP 5060 service bound to the SIP ALG: its RTP is admitted
    {"heplify_sip_ipv4_tcp.pcap",
     "service sip-tcp protocol tcp port 5060\nservice sip-tcp alg sip\n",
     replay_json(84, {0, 0, 7, 0}, 4, 4, 2)},
    // SCTP (cooked link): no SIP service
    {"heplify_sip_sctp.pcap", "", replay_json(5, {0, 0, 0, 0}, 0, 0, 0)},
    // a lone 200: no transaction
    {"pcpp_sdp.pcap", "", replay_json(1, {0, 0, 1, 0}, 0, 0, 0)},
    // not port 5060: no SIP service
    {"pcpp_sip_non_default_port.pcap", "",
     replay_json(
         2, {0, 0, 0, 0}, 0, 0, 0,
         R"("udp 192.168.20.68:53309 > 192.168.21.83:52380","udp 192.168.20.68:57586 > 192.168.21.83:52380")")},
    // unrelated requests
    {"pcpp_sip_reqs.pcap", "", replay_json(4, {0, 0, 2, 0}, 0, 0, 0)},
    // unrelated responses, one over TCP
    {"pcpp_sip_resp.pcap", "",
     replay_json(7, {0, 0, 6, 0}, 0, 0, 0, R"("tcp 10.129.34.61:5054 > 10.129.34.51:51806")")},
    // SIP over TCP 5090: no SIP service
    {"sngrep_ipip.pcap", "",
     replay_json(4, {0, 0, 0, 0}, 0, 0, 0, R"("tcp 10.15.197.103:5090 > 10.15.193.31:33093")")},
    // answered with early media, no RTP captured
    {"suricata_sip-s0_cloudshark.pcap", "", replay_json(10, {0, 0, 10, 0}, 6, 0, 0)},
    // SIP over TCP
    {"suricata_sip_body_large.pcap", "",
     replay_json(16, {0, 0, 0, 0}, 0, 0, 0, R"("tcp 127.0.0.1:59809 > 127.0.0.1:5060")")},
    // an offer only
    {"suricata_sip_compact_form.pcap", "", replay_json(1, {0, 0, 1, 0}, 0, 0, 0)},
    // an offer only
    {"suricata_sip_header_multi_val.pcap", "", replay_json(1, {0, 0, 1, 0}, 0, 0, 0)},
    // the 200's MAC pair shares no MAC with the INVITE's: no transaction
    {"suricata_sip_sdp.pcap", "", replay_json(2, {0, 0, 2, 0}, 0, 0, 0)},
    // answered without SDP
    {"zeek_sip_invalid_content_length.pcap", "", replay_json(2, {0, 0, 2, 0}, 0, 0, 0)},
    // junk before the request: refused
    {"zeek_sip_junk_before_request.pcap", "", replay_json(2, {0, 0, 2, 0}, 0, 0, 0)},
};

TEST(SipReplay, CorpusCaptures) {
    if (!std::filesystem::exists(FED_CORPUS_DIR "/sip"))
        GTEST_SKIP() << "no corpus at " << FED_CORPUS_DIR;
    for (const CorpusCase& c : kCorpus) {
        testap::Ap ap;
        ASSERT_EQ(ap.ctl_file(std::string("platform alg sip on\n") + c.settings).rc, 0) << c.file;
        testap::Result r = ap.ctl(std::string("replay " FED_CORPUS_DIR "/sip/") + c.file +
                                  " --clock capture --json");
        EXPECT_EQ(testap::replay_head(r.out), c.json) << c.file;
    }
}

// Three network namespaces joined pairwise by veth pairs; they go again
// whatever the test did. The link of APs i < j is 10.77.ij.0/24, AP k at .k.
class ThreeNamespaces {
   public:
    ThreeNamespaces() : tag_(std::to_string(::getpid() % 100000)) {
        if (::geteuid() != 0) {
            why_ = "not root";
            return;
        }
        for (int i = 1; i <= 3; ++i) {
            if (!sh("ip netns add " + ns(i)) || !sh(exec(i) + "ip link set lo up")) {
                why_ = "ip netns add failed";
                return;
            }
        }
        for (auto [i, j] : {std::pair{1, 2}, {1, 3}, {2, 3}}) {
            std::string a = veth(i, j), b = veth(j, i);
            if (!sh("ip link add " + a + " netns " + ns(i) + " type veth peer name " + b +
                    " netns " + ns(j)) ||
                !sh(exec(i) + "ip addr add " + addr(i, j) + "/24 dev " + a) ||
                !sh(exec(j) + "ip addr add " + addr(j, i) + "/24 dev " + b) ||
                !sh(exec(i) + "ip link set " + a + " up") ||
                !sh(exec(j) + "ip link set " + b + " up")) {
                why_ = "veth pair " + a + " failed";
                return;
            }
        }
    }
    ~ThreeNamespaces() {
        for (int i = 1; i <= 3; ++i) sh("ip netns del " + ns(i));
    }
    ThreeNamespaces(const ThreeNamespaces&) = delete;
    ThreeNamespaces& operator=(const ThreeNamespaces&) = delete;

    const std::string& why_not() const { return why_; }  // empty when ready
    std::vector<std::string> launcher(int i) const { return {"ip", "netns", "exec", ns(i)}; }
    // The address AP i has on its link to AP j.
    static std::string addr(int i, int j) {
        return "10.77." + std::to_string(std::min(i, j) * 10 + std::max(i, j)) + "." +
               std::to_string(i);
    }

   private:
    static bool sh(const std::string& cmd) {
        return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
    }
    std::string ns(int i) const { return "fedsip" + tag_ + "-" + std::to_string(i); }
    std::string exec(int i) const { return "ip netns exec " + ns(i) + " "; }
    std::string veth(int i, int j) const {
        return "fs" + tag_ + "v" + std::to_string(i) + std::to_string(j);
    }
    std::string tag_, why_;
};

// A call set up through the first of three access points follows the phone
// to the second and the third and ends there; a neighbour that dies on the
// way takes nothing from the others.
TEST(SipReplay, CallFollowsThePhoneAcrossThreeAccessPoints) {
    ThreeNamespaces net;
    if (!net.why_not().empty()) GTEST_SKIP() << "network namespaces unavailable: " << net.why_not();
    const std::string port = "7000";
    std::vector<std::unique_ptr<testap::Ap>> aps;
    for (int i = 1; i <= 3; ++i)
        aps.push_back(
            std::make_unique<testap::Ap>(std::vector<std::string>{"--clock", "driven", "--hc-port",
                                                                  port, "--hc-addr", "0.0.0.0"},
                                         net.launcher(i)));
    for (int i = 1; i <= 3; ++i) {
        for (int j = 1; j <= 3; ++j) {
            if (j == i) continue;
            std::string nbr = ThreeNamespaces::addr(j, i) + ":" + port;
            ASSERT_EQ(aps[i - 1]->ctl("platform neighbour add " + nbr).rc, 0);
        }
        ASSERT_EQ(aps[i - 1]->ctl("platform alg sip on").rc, 0);
    }
    testap::Ap &ap1 = *aps[0], &ap2 = *aps[1], &ap3 = *aps[2];
    const std::string phone = "02:00:00:00:00:01";
    const std::string one = "Total number of SIP roaming objects : 1\n";
    const std::string none = "Total number of SIP roaming objects : 0\n";
    const std::string live = "Total number of SIP calls : 1\n";
    const std::string gone = "Total number of SIP calls : 0\n";
    const std::string moved =
        "\n(user=N/A, MAC=02:00:00:00:00:01) <-> (user=N/A, MAC=00:00:00:00:00:00)\n"
        "From:<sip:a@a>\nTo:<sip:b@b>\nCall-id:call-1\n"
        "Media :audio 192.168.1.10:40000 <-> 10.0.0.1:50000\n"
        "Media :audio 192.168.1.10:40001 <-> 10.0.0.1:50001\n";

    ASSERT_EQ(ap1.ctl("replay " + write_call(ap1.dir()) + " --clock capture").rc, 0);
    EXPECT_EQ(ap1.ctl("show sip calls").out.rfind(live, 0), 0u);
    for (testap::Ap* ap : {&ap2, &ap3})
        EXPECT_TRUE(testtext::has(shows(*ap, "show sip roaming object", one), "Call-id:call-1\n"));

    // Each step: the phone leaves one access point and joins the next, which
    // then holds the call while the others keep it as the newcomer sent it.
    struct Step {
        testap::Ap* from;
        testap::Ap* to;
        std::vector<testap::Ap*> others;
    } steps[] = {{&ap1, &ap2, {&ap1, &ap3}}, {&ap2, &ap3, {&ap1, &ap2}}};
    for (const Step& s : steps) {
        ASSERT_EQ(s.from->ctl("event sta-leave " + phone).rc, 0);
        ASSERT_EQ(s.to->ctl("event sta-join " + phone).rc, 0);
        EXPECT_EQ(s.to->ctl("show sip calls").out.rfind(live, 0), 0u);
        EXPECT_TRUE(testtext::has(s.to->ctl("platform gates").out, "10.0.0.1:50000"));
        for (testap::Ap* o : s.others) {
            EXPECT_EQ(shows(*o, "show sip roaming object", one + moved), one + moved);
            EXPECT_EQ(o->ctl("show sip calls").out, gone);
        }
    }

    // The first access point dies; the phone leaves and comes back to the
    // third, whose news still reach the second.
    ap1.kill();
    ASSERT_EQ(ap3.ctl("event sta-leave " + phone).rc, 0);
    ASSERT_EQ(ap3.ctl("event sta-join " + phone).rc, 0);
    EXPECT_EQ(ap3.ctl("show sip calls").out.rfind(live, 0), 0u);
    EXPECT_EQ(ap3.ctl("show sip roaming object").out, none);
    EXPECT_EQ(ap2.ctl("show sip roaming object").out, one + moved);

    // The call ends where it is: its copy on the second goes with it.
    Call bye;
    bye.req(0, "BYE", "b3", "2 BYE").resp(10, "200 OK", "b3", "2 BYE");
    const std::string path = ap3.dir() + "/bye.pcap";
    ASSERT_TRUE(testframes::write_pcap(path, bye.pkts));
    ASSERT_EQ(ap3.ctl("replay " + path + " --clock capture").rc, 0);
    EXPECT_EQ(ap3.ctl("show sip calls").out, gone);
    EXPECT_EQ(shows(ap2, "show sip roaming object", none), none);
}

}  // namespace
