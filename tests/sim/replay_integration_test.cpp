// Captures replayed through the real apsim + fed, driven by fedctl: the
// third-party FTP and TFTP captures of the shared corpus, and made-up ones
// whose gaps let timers and idle timeouts run out in capture time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/ap.h"
#include "tests/support/frames_pcap.h"
#include "tests/support/text.h"

extern char** environ;

namespace {

using testap::replay_json;

using testframes::ip;
using testframes::Packet;
using testframes::TimedPacket;

std::string corpus(const std::string& rel) {
    return std::string(FED_CORPUS_DIR) + "/" + rel;
}

// What the replay of one corpus capture reports, both ALGs on.
struct CorpusCase {
    const char* file;
    std::string json;
};

// Where an announced data connection finds no gate, the reason is the design's:
// - zeek_ftp_ipv4: the NetBSD server opens its active-mode data connections
//   from ports 61920 and 61918, while a PORT gate admits only source port 20.
// - pcpp_ftp_partial: the data connection from port 20 was announced by a PORT
//   that the capture does not hold.
// - suricata_ftp_epsv_ipv4, suricata_ftp_bounce: the announced connections are
//   not in the captures; the gates open and age out unused.
// - suricata_ftp_eprt_v6_over_v4: EPRT with network protocol 2 is refused.
// - zeek_ftp_fake_long_commands: "PORT 114,115" and a 227 without "(...)" parse
//   to nothing.
// - zeek_ftp_ipv6*, tcpdump_tftp_heapoverflow: IPv6, and a frame cut short by
//   the snap length, are skipped.
const CorpusCase kCorpus[] = {
    {"ftp/suricata_ftp_download_active.pcap", replay_json(63, {28, 0, 0, 0}, 3, 0, 3)},
    {"ftp/suricata_ftp_download_passive.pcap", replay_json(63, {28, 0, 0, 0}, 3, 0, 3)},
    {"ftp/zeek_ftp_ipv4.pcap",
     replay_json(
         95, {38, 0, 0, 0}, 4, 0, 2,
         R"("tcp 199.233.217.249:61920 > 141.142.220.235:33582","tcp 199.233.217.249:61918 > 141.142.220.235:37835")")},
    {"ftp/suricata_ftp_epsv_ipv4.pcap", replay_json(112, {58, 0, 0, 0}, 4, 0, 0)},
    {"ftp/suricata_ftp_bounce.pcap", replay_json(34, {14, 0, 0, 0}, 2, 0, 0)},
    {"ftp/suricata_ftp_eprt_v6_over_v4.pcap", replay_json(21, {9, 0, 0, 0}, 0, 0, 0)},
    {"ftp/pcpp_ftp_partial.pcap",
     replay_json(10, {7, 0, 0, 0}, 0, 0, 0, R"("tcp 192.168.0.193:20 > 192.168.0.114:1140")")},
    {"ftp/suricata_ftp_quit.pcap", replay_json(7, {1, 0, 0, 0}, 0, 0, 0)},
    {"ftp/zeek_ftp_fake_long_commands.pcap", replay_json(40, {19, 0, 0, 0}, 0, 0, 0)},
    {"ftp/zeek_ftp_invalid_reply_code.pcap", replay_json(23, {9, 0, 0, 0}, 0, 0, 0)},
    {"ftp/zeek_ftp_missing_space_after_reply_code.pcap", replay_json(23, {9, 0, 0, 0}, 0, 0, 0)},
    {"ftp/zeek_ftp_ipv6.pcap", replay_json(136, {0, 0, 0, 0}, 0, 0, 0)},
    {"ftp/zeek_ftp_ipv6_multiline_reply.pcap", replay_json(50, {0, 0, 0, 0}, 0, 0, 0)},
    {"tftp/suricata_tftp_rrq.pcap", replay_json(99, {0, 1, 0, 0}, 1, 0, 1)},
    {"tftp/tcpdump_tftp_rrq_small.pcap", replay_json(7, {0, 1, 0, 0}, 1, 0, 1)},
    {"tftp/tcpdump_tftp_heapoverflow.pcap", replay_json(1, {0, 0, 0, 0}, 0, 0, 0)},
};

bool have_corpus() {
    return std::filesystem::exists(corpus("ftp"));
}

TEST(ReplayCorpus, EveryFtpAndTftpCaptureWithTheAlgsOn) {
    if (!have_corpus()) GTEST_SKIP() << "no corpus at " << FED_CORPUS_DIR;
    for (const CorpusCase& c : kCorpus) {
        testap::Ap ap;
        ASSERT_EQ(ap.ctl("platform alg ftp on").rc, 0);
        ASSERT_EQ(ap.ctl("platform alg tftp on").rc, 0);
        testap::Result r = ap.ctl("replay " + corpus(c.file) + " --json");
        EXPECT_EQ(r.rc, 0) << c.file;
        EXPECT_EQ(testap::replay_head(r.out), c.json) << c.file;
    }
}

TEST(ReplayCorpus, WithTheAlgsOffNothingOpens) {
    if (!have_corpus()) GTEST_SKIP() << "no corpus at " << FED_CORPUS_DIR;
    testap::Ap ap;
    for (const CorpusCase& c : kCorpus) {
        testap::Result r = ap.ctl("replay " + corpus(c.file) + " --json");
        EXPECT_EQ(r.rc, 0) << c.file;
        EXPECT_TRUE(testtext::has(
            r.out, R"("control":{"ftp":0,"tftp":0,"sip":0,"dns":0},"gates_opened":0,)"))
            << c.file << ": " << r.out;
        EXPECT_NE(r.out.find(R"("flows_admitted":0,)"), std::string::npos) << c.file;
    }
    // The control connections themselves are plain flows then.
    testap::Result r = ap.ctl("replay " + corpus("tftp/tcpdump_tftp_rrq_small.pcap") + " --json");
    EXPECT_TRUE(testtext::has(
        r.out,
        R"(["udp 192.168.1.2:44935 > 192.168.1.1:69","udp 192.168.1.1:59557 > 192.168.1.2:44935"])"));
}

// What a replay leaves in the FE, as command 763 shows it: of the four EPSV
// gates (never used, the capture holds no data connections) only the last has
// not aged out (30 s) by the capture's end, FE time following the capture.
TEST(ReplayCorpus, GateTableAfterwards) {
    if (!have_corpus()) GTEST_SKIP() << "no corpus at " << FED_CORPUS_DIR;
    testap::Ap ap;
    EXPECT_EQ(ap.ctl("show forwarding-engine ip-gate").out, "");
    ASSERT_EQ(ap.ctl("platform alg ftp on").rc, 0);
    ASSERT_EQ(ap.ctl("replay " + corpus("ftp/suricata_ftp_epsv_ipv4.pcap") + " --clock now").rc, 0);
    testap::Result r = ap.ctl("show forwarding-engine ip-gate");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out,
              "IP gate table:\n"
              "Ageout time (in ms)\n"
              "Total entries: 1/1024\n"
              "\n"
              "192.168.1.182/0 -> 192.168.1.231/35656; Proto 6; Flg:0x2; RefCnt:0; Pid:1; "
              "Ageout;20668\n");
}

struct TempFile {
    std::string path;
    explicit TempFile(const char* name)
        : path(std::filesystem::temp_directory_path().string() + "/" + name + "." +
               std::to_string(::getpid()) + ".pcap") {}
    ~TempFile() { std::filesystem::remove(path); }
};

constexpr std::uint32_t kClient = ip(10, 0, 0, 5);
constexpr std::uint32_t kServer = ip(192, 168, 1, 1);

Packet ftp_line(bool from_client, std::string line) {
    return from_client ? Packet{testframes::kTcp, kClient, 40000, kServer, 21, std::move(line)}
                       : Packet{testframes::kTcp, kServer, 21, kClient, 40000, std::move(line)};
}

std::string uptime_line(testap::Ap& ap) {
    std::string out = ap.ctl("platform clock").out;
    std::size_t at = out.find("uptime: ");
    return at == std::string::npos ? out : out.substr(at, out.find('\n', at) - at);
}

// A PORT whose transfer never ends: with the clock following the capture,
// fed's FTP max duration (60 minutes) runs out and fed deletes the gate; with
// the clock left alone it never does.
TEST(ReplayClock, MaxDurationRunsOutInCaptureTime) {
    TempFile cap("ftp_long");
    std::vector<TimedPacket> pkts = {
        {0, ftp_line(true, "PORT 10,0,0,5,4,1\r\n")},
        {100, ftp_line(false, "200 PORT command successful\r\n")},
    };
    for (std::uint64_t s = 1000; s <= 3700; s += 900)
        pkts.push_back({s * 1000, ftp_line(true, "NOOP\r\n")});
    ASSERT_TRUE(testframes::write_pcap(cap.path, pkts));

    testap::Ap ap;
    ASSERT_EQ(ap.ctl("platform alg ftp on").rc, 0);
    testap::Result r = ap.ctl("replay " + cap.path + " --clock capture --json");
    EXPECT_EQ(testap::replay_head(r.out), replay_json(6, {6, 0, 0, 0}, 1, 1, 0));
    EXPECT_EQ(uptime_line(ap), "uptime: 3700.000 s");

    testap::Ap still;
    ASSERT_EQ(still.ctl("platform alg ftp on").rc, 0);
    r = still.ctl("replay " + cap.path + " --clock now --json");
    EXPECT_NE(r.out.find(R"("gates_opened":1,"gates_deleted":0,)"), std::string::npos) << r.out;
    EXPECT_EQ(uptime_line(still), "uptime: 0.000 s");
}

// A TFTP read: the server's first DATA is admitted; the request flow then idles
// past the tftp service's 60 seconds and the FE says so with a timeout packet.
TEST(ReplayClock, IdleControlSessionTimesOut) {
    TempFile cap("tftp_idle");
    std::string rrq("\0\1boot.cfg\0octet\0", 17);
    ASSERT_TRUE(testframes::write_pcap(
        cap.path,
        {
            {0, {testframes::kUdp, kClient, 4000, kServer, 69, rrq}},
            {50, {testframes::kUdp, kServer, 3001, kClient, 4000, "\0\3\0\1data"}},
            {60, {testframes::kUdp, kClient, 4000, kServer, 3001, std::string("\0\4\0\1", 4)}},
            {100000, {testframes::kUdp, kClient, 5000, ip(1, 1, 1, 1), 9999, "x"}},
        }));
    testap::Ap ap;
    ASSERT_EQ(ap.ctl("platform alg tftp on").rc, 0);
    ASSERT_EQ(ap.ctl("debug fed alg_tftp_pkt").rc, 0);
    ASSERT_EQ(ap.ctl("debug fed alg_tftp_fsm").rc, 0);
    testap::Result r = ap.ctl("replay " + cap.path);
    EXPECT_EQ(r.rc, 0);
    EXPECT_NE(r.out.find("timeout packets: 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("flows admitted by a gate: 1\n"), std::string::npos) << r.out;
    EXPECT_TRUE(
        testtext::has(r.out, "flows without a gate: 1\n  udp 10.0.0.5:5000 > 1.1.1.1:9999\n"));
    std::string log = ap.log();
    EXPECT_NE(log.find("receive a TFTP ALG timeout packet"), std::string::npos) << log;
    EXPECT_NE(log.find("TFTP timeout/unknown event delete object!!"), std::string::npos) << log;
}

// A station put in a profile with its own VLAN: the VLAN snapshot and both
// profile tables show what its own statistics show, also after fed restarts.
TEST(ReplayCounters, ProfileAndVlanSumTheirStations) {
    TempFile cap("qos_sums");
    Packet up{testframes::kUdp, kClient, 5000, kServer, 9999, "request"};
    Packet down{testframes::kUdp, kServer, 9999, kClient, 5000, "a longer answer", 0, 2, 1};
    ASSERT_TRUE(testframes::write_pcap(cap.path, {{0, up}, {10, down}, {20, up}}));
    testap::Ap ap;
    const std::string kSta = "02:00:00:00:00:01";
    const std::string kSteps[] = {"qos vlan 30 rate-limit 1000 weight 5",
                                  "user-profile staff vlan-id 30", "replay " + cap.path,
                                  "platform station-profile " + kSta + " staff",
                                  "platform restart fed"};
    for (const std::string& line : kSteps) ASSERT_EQ(ap.ctl(line).rc, 0) << line;
    ASSERT_TRUE(ap.wait_running());
    // 3 packets, 113 bytes: the station's class-2 row, then its VLAN's and its profile's.
    const std::pair<std::string, const char*> kShows[] = {
        {"show qos statistics user " + kSta,
         "3     2    3             113                  0              0.0  \n"},
        {"show qos performance-snapshot vlan 30",
         "1     30               0               3             113               0\n"},
        {"show qos statistics user-profile staff",
         "1 staff                         3        113          0          0          0\n"},
        {"show qos statistics user-profile-delay staff",
         "1   staff                            3             113        0              0.0  \n"},
    };
    for (const auto& [line, row] : kShows)
        EXPECT_TRUE(testtext::has(ap.ctl(line).out, row)) << line;
}

TEST(ReplayErrors, BadFilesAndOptions) {
    testap::Ap ap;
    TempFile junk("junk");
    {
        FILE* f = std::fopen(junk.path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("not a capture at all", f);
        std::fclose(f);
    }
    testap::Result r = ap.ctl("replay " + junk.path);
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err.rfind("% Cannot read " + junk.path + ": ", 0), 0u) << r.err;
    EXPECT_EQ(ap.ctl("replay /nonexistent.pcap").rc, 1);
    r = ap.ctl("replay " + junk.path + " --clock sideways");
    EXPECT_EQ(r.err, "% Usage: replay FILE [--clock capture|now] [--json] [--all] [--progress]\n");
    testap::Ap real({"--clock", "real"});
    r = real.ctl("replay " + junk.path + " --clock capture");
    EXPECT_EQ(r.err, "% The clock is real; --clock capture needs apsim --clock driven\n");
}

}  // namespace

namespace {

// Some FTP servers connect for an active-mode transfer before they send the
// 200 that opens the gate: the first SYN finds none, the one sent again 1 s
// (then 3 s) after it may.
TEST(ReplayRetry, DataConnectionBeforeThe200) {
    struct Case {
        std::uint64_t reply_ms;  // the SYN goes at 1000
        const char* counts;
    } cases[] = {
        {500, R"("flows_admitted":1,"flows_unadmitted":[],"flows_admitted_on_retry":0,)"},
        {1500, R"("flows_admitted":0,"flows_unadmitted":[],"flows_admitted_on_retry":1,)"},
        {3900, R"("flows_admitted":0,"flows_unadmitted":[],"flows_admitted_on_retry":1,)"},
        {4100,
         R"("flows_admitted":0,"flows_unadmitted":["tcp 192.168.1.1:20 > 10.0.0.5:1025"],"flows_admitted_on_retry":0,)"},
    };
    testap::Ap ap;
    ASSERT_EQ(ap.ctl("platform alg ftp on").rc, 0);
    for (const Case& c : cases) {
        TempFile cap("ftp_early");
        Packet syn{testframes::kTcp, kServer, 20, kClient, 1025, "", testframes::kSyn};
        std::vector<TimedPacket> pkts = {{0, ftp_line(true, "PORT 10,0,0,5,4,1\r\n")},
                                         {1000, syn},
                                         {c.reply_ms, ftp_line(false, "200 PORT ok\r\n")},
                                         {6000, ftp_line(true, "NOOP\r\n")}};
        std::sort(pkts.begin(), pkts.end(), [](auto& a, auto& b) { return a.ms < b.ms; });
        ASSERT_TRUE(testframes::write_pcap(cap.path, pkts));
        testap::Result r = ap.ctl("replay " + cap.path + " --json");
        EXPECT_NE(r.out.find(c.counts), std::string::npos) << c.reply_ms << ": " << r.out;
    }
}

// Many flows without a gate: the text lists the first 20 and counts the rest,
// --all and --json list every one, and an ALG that is off is named.
TEST(ReplaySummary, StaysShortAtScale) {
    TempFile cap("many_flows");
    std::vector<TimedPacket> pkts = {{0, ftp_line(true, "USER x\r\n")}};
    for (std::uint16_t i = 0; i < 25; ++i)
        pkts.push_back(
            {10u + i, {testframes::kUdp, kClient, std::uint16_t(5000 + i), kServer, 9999, "x"}});
    ASSERT_TRUE(testframes::write_pcap(cap.path, pkts));
    testap::Ap ap;
    testap::Result text = ap.ctl("replay " + cap.path);
    EXPECT_TRUE(testtext::has(text.out,
                              "flows without a gate: 26\n  tcp 10.0.0.5:40000 > 192.168.1.1:21\n"));
    EXPECT_TRUE(testtext::has(text.out,
                              "  udp 10.0.0.5:5018 > 192.168.1.1:9999\n"
                              "  ... 6 more (replay --all lists them)\n"));
    EXPECT_TRUE(testtext::has(text.out, "note: the ftp ALG is off (platform alg ftp on)"));
    EXPECT_LE(std::count(text.out.begin(), text.out.end(), '\n'), 40);
    testap::Result all = ap.ctl("replay " + cap.path + " --all");
    EXPECT_TRUE(testtext::has(all.out, "  udp 10.0.0.5:5024 > 192.168.1.1:9999\n"));
    EXPECT_EQ(all.out.find("more (replay --all"), std::string::npos);
    testap::Result json = ap.ctl("replay " + cap.path + " --json");
    EXPECT_TRUE(testtext::has(json.out, R"("udp 10.0.0.5:5024 > 192.168.1.1:9999"])"));
}

// Ctrl-C while fed sits on an ALG packet (stopped here) ends the replay at once,
// and the next replay counts only its own packets.
TEST(ReplayInterrupt, CtrlCStopsTheReplayInApsim) {
    TempFile cap("ftp_ctrl");
    ASSERT_TRUE(testframes::write_pcap(cap.path, {{0, ftp_line(true, "PORT 10,0,0,5,4,1\r\n")}}));
    testap::Ap ap;
    ASSERT_EQ(ap.ctl("platform alg ftp on").rc, 0);
    std::string status = ap.ctl("platform status").out;
    pid_t fed = std::atoi(status.c_str() + status.find("fed pid: ") + 9);
    ASSERT_GT(fed, 0);
    ASSERT_EQ(::kill(fed, SIGSTOP), 0);

    std::string err = ap.dir() + "/replay.err";
    std::string fedctl = testap::bin("fedctl");
    const char* argv[] = {fedctl.c_str(),   "-d",   ap.dir().c_str(), "replay",
                          cap.path.c_str(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT, 0600);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    for (int i = 0; i < 1000 && ap.ctl("platform replay").out == "replay: none\n"; ++i)
        std::this_thread::yield();
    ::kill(pid, SIGINT);
    int st = 0;
    ::waitpid(pid, &st, 0);
    ::kill(fed, SIGCONT);
    EXPECT_EQ(WEXITSTATUS(st), 1);
    std::ifstream in(err);
    std::string said((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(said, "% Replay stopped after 1 packets\n");
    testap::Result again = ap.ctl("replay " + cap.path + " --json");
    EXPECT_EQ(again.out.substr(0, 47), R"({"packets":1,"control":{"ftp":1,"tftp":0,"sip":)");
}

}  // namespace
