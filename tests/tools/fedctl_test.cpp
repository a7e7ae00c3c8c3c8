// fedctl against a fake apsim: command text, the control connection, and the program's own
// behaviour (bytes printed, exit status) as scripts and operators see it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>

#include "mgt/cli/fed/cmd_text.h"
#include "platform/wire.h"
#include "tests/support/fake_apsim.h"
#include "tools/ctl.h"

namespace {

struct WordsCase {
    std::vector<std::string> words;
    std::string line;
};

TEST(FedctlText, JoinQuotesOnlyWhatNeedsItAndSplitUndoesIt) {
    const WordsCase cases[] = {
        {{"service", "my svc", "protocol", "tcp"}, R"(service "my svc" protocol tcp)"},
        {{"show", "service"}, "show service"},
        {{"a\"b"}, R"("a\"b")"},
        {{"back\\slash"}, R"("back\\slash")"},
        {{"it's"}, R"("it's")"},
        {{"tab\there"}, "\"tab\there\""},
        {{"two\nlines"}, "\"two\nlines\""},
        {{"x", ""}, R"(x "")"},
        {{"ip-policy", "p", "from", "10.0.0.1/24"}, "ip-policy p from 10.0.0.1/24"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fedctl::join_words(c.words), c.line);
        std::vector<std::string> back;
        ASSERT_TRUE(cmdtbl::split_line(c.line, back)) << c.line;
        EXPECT_EQ(back, c.words) << c.line;
    }
}

TEST(FedctlText, ReplayFileBecomesAbsolute) {
    const std::pair<const char*, const char*> cases[] = {
        {"replay a.pcap", "replay /w/a.pcap"},
        {"replay sub/a.pcap --clock now --json", "replay /w/sub/a.pcap --clock now --json"},
        {R"(replay "my cap.pcap")", R"(replay "/w/my cap.pcap")"},
        {"replay /abs/a.pcap", "replay /abs/a.pcap"},
        {"replay --help", "replay --help"},
        {"replay", "replay"},
        {"show replay x", "show replay x"},
        {R"(service "open)", R"(service "open)"},
    };
    for (const auto& [in, want] : cases) EXPECT_EQ(fedctl::resolve_line(in, "/w"), want) << in;
}

// A stand-in apsim: answers HELLO, then each CtlLine from a table of replies
// and each CtlComplete with a word list; records every line it was sent.
struct Reply {
    std::vector<std::string> out;
    std::int32_t rc = 0;
    bool hang_up = false;                               // close the connection instead of answering
    std::optional<std::int32_t> fed_rc = std::nullopt;  // the line ran a command in fed
};

class FakeAp {
   public:
    explicit FakeAp(std::int32_t hello_rc = 0)
        : dir_(make_dir()), apsim_(dir_, hello_rc, [this](int fd, proto::Kind kind) {
              EXPECT_EQ(kind, proto::Kind::Ctl);
              session(fd);
          }) {
        EXPECT_TRUE(apsim_.ok());
    }
    ~FakeAp() { std::filesystem::remove_all(dir_); }
    const std::string& dir() const { return dir_; }
    void on(const std::string& line, Reply r) { replies_[line] = std::move(r); }
    std::vector<std::string> completions;
    std::vector<std::string> lines() {
        std::lock_guard lk(m_);
        return lines_;
    }

   private:
    static std::string make_dir() {
        char tmpl[] = "/tmp/fedctl-test-XXXXXX";
        return ::mkdtemp(tmpl);
    }
    void session(int fd) {
        proto::Op op{};
        std::vector<std::uint8_t> payload;
        while (plat::read_frame(fd, op, payload)) {
            wire::Reader r(payload);
            wire::Writer w;
            if (op == proto::Op::CtlComplete) {
                w.h32(static_cast<std::uint32_t>(completions.size()));
                for (const auto& c : completions) w.str(c);
                plat::write_frame(fd, proto::Op::CtlComplete, w.span());
            } else if (op == proto::Op::CtlLine) {
                std::string line = r.str();
                {
                    std::lock_guard lk(m_);
                    lines_.push_back(line);
                }
                Reply rep = replies_.count(line) ? replies_[line] : Reply{};
                if (rep.hang_up) return;
                for (const auto& o : rep.out) {
                    wire::Writer ow;
                    ow.str(o);
                    plat::write_frame(fd, proto::Op::CtlOutput, ow.span());
                }
                w.hi32(rep.rc);
                if (rep.fed_rc) w.hi32(*rep.fed_rc);
                plat::write_frame(fd, proto::Op::CtlEnd, w.span());
            }
        }
    }

    std::string dir_;
    std::map<std::string, Reply> replies_;
    std::mutex m_;
    std::vector<std::string> lines_;
    testap::FakeApsim apsim_;  // last: its thread stops before the rest goes
};

struct Outcome {
    int status;
    std::string out;
};

// Runs the fedctl program with its stdin closed; 2>&1 when want_err.
Outcome fedctl_run(const std::string& args, bool want_err = false) {
    std::string cmd =
        std::string(FEDCTL_BIN) + " " + args + " </dev/null" + (want_err ? " 2>&1" : "");
    FILE* p = ::popen(cmd.c_str(), "r");
    Outcome r{-1, {}};
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

TEST(FedctlProgram, OneCommandPrintsOutputByteForByte) {
    FakeAp ap;
    ap.on(R"(service "my svc" protocol tcp)", {{"line one\n", "  no newline", ""}, 0});
    ap.on("show bad", {{"% Invalid input\n"}, -2});
    Outcome ok = fedctl_run("-d " + ap.dir() + " service 'my svc' protocol tcp");
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "line one\n  no newline");
    Outcome bad = fedctl_run("-d " + ap.dir() + " show bad");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "% Invalid input\n");
    EXPECT_EQ(ap.lines(),
              (std::vector<std::string>{R"(service "my svc" protocol tcp)", "show bad"}));
}

TEST(FedctlProgram, HandlerResultGoesToStandardErrorOnly) {
    FakeAp ap;
    ap.on("ip tcp-mss-threshold",
          {{"Unable to enable/disable TCP MSS threshold\n"}, 1, false, 0x3001A});
    ap.on("no ip tcp-mss-threshold", {{"fails\n"}, 1, false, -1});
    ap.on("show it", {{"fine\n"}, 0, false, 0});
    const char* dir = ap.dir().c_str();
    Outcome out = fedctl_run(std::string("-d ") + dir + " ip tcp-mss-threshold");
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(out.out, "Unable to enable/disable TCP MSS threshold\n");
    Outcome both = fedctl_run(std::string("-d ") + dir + " ip tcp-mss-threshold", true);
    EXPECT_EQ(both.out,
              "Unable to enable/disable TCP MSS threshold\n% rc 0x3001a\n"
              "fedctl: failed: ip tcp-mss-threshold\n");
    EXPECT_EQ(fedctl_run(std::string("-d ") + dir + " no ip tcp-mss-threshold", true).out,
              "fails\n% rc -1\nfedctl: failed: no ip tcp-mss-threshold\n");
    Outcome ok = fedctl_run(std::string("-d ") + dir + " show it", true);
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "fine\n");
}

TEST(FedctlProgram, FileRunsEveryCommandAndReportsAnyFailure) {
    FakeAp ap;
    ap.on("two", {{"2\n"}, -1});
    ap.on("three", {{"3\n"}, 0});
    std::string file = ap.dir() + "/cmds";
    std::ofstream(file) << "! running config\n\n   \n# note\none\r\ntwo\n  !x\nthree";
    Outcome r = fedctl_run("-d " + ap.dir() + " -f " + file);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "2\n3\n");
    EXPECT_EQ(ap.lines(), (std::vector<std::string>{"one", "two", "three"}));

    std::ofstream(file) << "three\n";
    EXPECT_EQ(fedctl_run("-d " + ap.dir() + " -f " + file).status, 0);
}

TEST(FedctlProgram, TroubleIsSaidAndExitsTwo) {
    FakeAp refused(-1);
    FakeAp hangs;
    hangs.on("show x", {{}, 0, true});
    const std::pair<std::string, std::string> cases[] = {
        {"-d /nonexistent/ap show x",
         "fedctl: no access point at /nonexistent/ap\nfedctl: start one with '" +
             std::filesystem::path(FEDCTL_BIN).parent_path().string() +
             "/apsim -d /nonexistent/ap --daemon'"},
        {"-d " + hangs.dir() + " -x", "fedctl: unknown option -x\n"},
        {"-d " + refused.dir() + " show x",
         "fedctl: the access point at " + refused.dir() + " refused the connection\n"},
        {"-d " + hangs.dir() + " show x", "fedctl: connection to apsim lost\n"},
        {"-d " + hangs.dir() + " -f /nonexistent/file",
         "fedctl: cannot read /nonexistent/file: No such file or directory\n"},
    };
    for (const auto& [args, msg] : cases) {
        Outcome r = fedctl_run(args, true);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out.substr(0, msg.size()), msg) << args;
    }
}

TEST(FedctlProgram, DirComesFromFedDirAndReplayPathIsAbsolute) {
    FakeAp ap;
    std::string cmd = "cd /tmp && FED_DIR=" + ap.dir() + " " FEDCTL_BIN " replay cap.pcap --json";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(ap.lines(), (std::vector<std::string>{"replay /tmp/cap.pcap --json"}));
}

TEST(FedctlConn, CompleteReturnsWordsAndRefusesALyingCount) {
    FakeAp ap;
    ap.completions = {"service", "ip-policy", "NAME"};
    plat::Fd c;
    ASSERT_EQ(fedctl::connect_ap(ap.dir(), c), fedctl::ConnectResult::Ok);
    auto words = fedctl::complete(c.get(), "show ");
    ASSERT_TRUE(words);
    EXPECT_EQ(*words, ap.completions);

    int sv[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    plat::Fd peer(sv[0]);
    wire::Writer w;
    w.h32(1000).str("only");
    ASSERT_TRUE(plat::write_frame(sv[1], proto::Op::CtlComplete, w.span()));
    EXPECT_FALSE(fedctl::complete(peer.get(), "x"));
    ::close(sv[1]);
}

}  // namespace
