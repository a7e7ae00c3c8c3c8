// FTP ALG sessions: objects, the state machine, gates and the max duration,
// driven through real packet records and checked at the FE.
#include <gtest/gtest.h>

#include <string>

#include "alg/ftp/qz_ftp_hash.h"
#include "tests/alg/alg_test_support.h"

namespace algtest {
namespace {

using enum qz_ftp_state_t;

constexpr std::uint32_t kClient = ip(192, 168, 1, 10);
constexpr std::uint32_t kServer = ip(10, 0, 0, 1);
constexpr std::uint32_t kId = 0x21;
constexpr std::uint32_t kCookie = 0x4000;
constexpr Flow kNoFlow{0, 0, 0, 0, 0};
constexpr Flow kActive{kServer, ip(10, 0, 0, 5), 20, 1025, 6};

Pkt cmd(const std::string& line, std::uint32_t id = kId, std::uint32_t cookie = kCookie) {
    return Pkt{.ctrl_id = id, .ctrl_cookie = cookie, .payload = line + "\r\n"};
}
Pkt reply(const std::string& line, std::uint32_t id = kId, std::uint32_t cookie = kCookie) {
    Pkt p = cmd(line, id, cookie);
    std::swap(p.src_ip, p.dst_ip);
    std::swap(p.src_port, p.dst_port);
    return p;
}
Pkt fe_timeout(std::uint32_t id = kId, std::uint32_t cookie = kCookie) {
    return Pkt{.pkt_type = QZ_ALG_PKT_TIMEOUT, .ctrl_id = id, .ctrl_cookie = cookie};
}

qz_ftp_state_t state(std::uint32_t id = kId, std::uint32_t cookie = kCookie) {
    const qz_ftp_obj_t* o = qz_ftp_lookup(id, cookie);
    return o ? o->state : QZ_FTP_STATE_INIT;
}

using FtpAlg = Drained;

// The packets that bring a session into each state, and the tuple it then holds.
struct StateCase {
    const char* name;
    std::vector<Pkt> packets;
    qz_ftp_state_t state;
    Flow tuple;
    bool gate;  // a gate was opened (the cookie is the FE's)
};
std::vector<StateCase> state_cases() {
    // clang-format off
    return {
        {"port", {cmd("PORT 10,0,0,5,4,1")}, QZ_FTP_STATE_PORT, kActive, false},
        {"pasv", {cmd("PASV")}, QZ_FTP_STATE_PASV, kNoFlow, false},
        {"eprt", {cmd("EPRT |1|192.168.1.10|5282|")}, QZ_FTP_STATE_EPRT, {kServer, kClient, 20, 5282, 6}, false},
        {"epsv", {cmd("EPSV")}, QZ_FTP_STATE_EPSV, kNoFlow, false},
        {"gate_open", {cmd("PORT 10,0,0,5,4,1"), reply("200 OK")}, QZ_FTP_STATE_GATE_OPEN, kActive, true},
    };
    // clang-format on
}

struct ModeCase {
    const char* name;
    std::string command;
    qz_ftp_state_t waiting;
    std::string answer;
    Flow gate;
};

TEST_F(FtpAlg, AnswerOpensTheGateAndCloseDropsWithoutDelete) {
    // clang-format off
  const ModeCase modes[] = {
      {"active", "PORT 10,0,0,5,4,1", QZ_FTP_STATE_PORT, "200 PORT command successful", kActive},
      {"passive", "PASV", QZ_FTP_STATE_PASV, "227 Entering Passive Mode (192,168,1,2,200,10)",
       {kClient, ip(192, 168, 1, 2), 0, 51210, 6}},
      {"extended_active", "EPRT |1|192.168.1.10|5282|", QZ_FTP_STATE_EPRT, "200 EPRT ok",
       {kServer, kClient, 20, 5282, 6}},
      {"extended_passive", "EPSV", QZ_FTP_STATE_EPSV, "229 Entering Extended Passive Mode (|||6446|)",
       {kClient, kServer, 0, 6446, 6}},
  };
    // clang-format on
    for (const ModeCase& m : modes) {
        SCOPED_TRACE(m.name);
        drain();
        dispatch(cmd(m.command));
        EXPECT_EQ(state(), m.waiting);
        EXPECT_TRUE(fe().empty());
        dispatch(reply(m.answer));
        ASSERT_EQ(fe().size(), 1u);
        expect_open_gate(fe()[0], m.gate, QZ_ALG_TYPE_FTP, kId, kCookie);
        EXPECT_EQ(state(), QZ_FTP_STATE_GATE_OPEN);
        EXPECT_EQ(qz_ftp_lookup(kId, kCookie)->gate_cookie, last_cookie());
        EXPECT_TRUE(logged("fed_alg_ftp_fsm", "Ftp Gate max duration time is 3600 seconds."));

        dispatch(reply("226 Transfer complete"));
        EXPECT_EQ(qz_ftp_lookup(kId, kCookie), nullptr);
        EXPECT_EQ(fe().size(), 1u);
    }
}

TEST_F(FtpAlg, OpenGateTraceShowsTheTupleAndStateBeforeTheOpen) {
    dispatch(cmd("PORT 10,0,0,5,4,1"));
    dispatch(reply("200 OK"));
    EXPECT_TRUE(
        logged("fed_alg_ftp_gate",
               "FTP ALG open gate src_ip:10.0.0.1,src_port:20,dst_ip:10.0.0.5,dst_port:1025,"
               "protocol:6,state=1,cookie=0 "));
}

TEST_F(FtpAlg, OneDataConnectionAtATime) {
    dispatch(cmd("PORT 10,0,0,5,4,1"));
    dispatch(cmd("PORT 10,0,0,9,0,99"));  // ignored: the first PORT is still pending
    dispatch(cmd("PASV"));
    dispatch(reply("227 Entering Passive Mode (1,1,1,1,1,1)"));  // not the awaited answer
    EXPECT_EQ(state(), QZ_FTP_STATE_PORT);
    EXPECT_TRUE(fe().empty());
    dispatch(reply("200 OK"));
    ASSERT_EQ(fe().size(), 1u);
    expect_open_gate(fe()[0], kActive, QZ_ALG_TYPE_FTP, kId, kCookie);

    dispatch(cmd("PASV"));  // in GATE_OPEN until the transfer closes
    dispatch(reply("200 OK"));
    EXPECT_EQ(state(), QZ_FTP_STATE_GATE_OPEN);
    EXPECT_EQ(fe().size(), 1u);
    dispatch(reply("226 Done"));
    dispatch(cmd("PASV"));
    EXPECT_EQ(state(), QZ_FTP_STATE_PASV);
}

TEST_F(FtpAlg, AnswersWithoutAnObjectAreIgnored) {
    for (const char* line : {"200 OK", "227 Entering Passive Mode (1,2,3,4,5,6)",
                             "229 Entering Extended Passive Mode (|||6446|)", "226 Done"})
        dispatch(reply(line));
    dispatch(fe_timeout());
    EXPECT_EQ(qz_ftp_lookup(kId, kCookie), nullptr);
    EXPECT_TRUE(fe().empty());
    EXPECT_FALSE(logged("fed_alg_ftp_error", "fsm_handler fail"));
}

TEST_F(FtpAlg, ClosingRepliesAndFeTimeoutDropInEveryStateWithoutDelete) {
    const Pkt closers[] = {reply("226 Done"),  reply("221 Bye"), reply("250 OK"),
                           reply("530 Login"), reply("400"),     fe_timeout()};
    for (const StateCase& s : state_cases()) {
        for (const Pkt& closer : closers) {
            SCOPED_TRACE(std::string(s.name) + " / " + closer.payload);
            for (const Pkt& p : s.packets) dispatch(p);
            ASSERT_EQ(state(), s.state);
            std::size_t requests = fe().size();
            dispatch(closer);
            EXPECT_EQ(qz_ftp_lookup(kId, kCookie), nullptr);
            EXPECT_EQ(fe().size(), requests);
        }
    }
}

TEST_F(FtpAlg, OtherAndInvalidLinesChangeNothing) {
    for (const StateCase& s : state_cases()) {
        SCOPED_TRACE(s.name);
        drain();
        for (const Pkt& p : s.packets) dispatch(p);
        std::size_t requests = fe().size();
        for (const char* line : {"USER x", "150 Opening", "PORT 1,2", "EPRT |2|::1|5|", "x"})
            dispatch(cmd(line));
        dispatch(cmd("no line end"));
        EXPECT_EQ(state(), s.state);
        EXPECT_EQ(fe().size(), requests);
    }
}

TEST_F(FtpAlg, MaxDurationDeletesTheGateInEveryState) {
    for (const StateCase& s : state_cases()) {
        SCOPED_TRACE(s.name);
        drain();
        std::uint32_t created = qz_sys_up_sec();
        for (const Pkt& p : s.packets) dispatch(p);
        std::uint32_t cookie = s.gate ? last_cookie() : 0;
        std::size_t requests = fe().size();
        advance(3599);
        ASSERT_EQ(state(), s.state);
        EXPECT_EQ(fe().size(), requests);
        advance(4);  // the expiry, then at most one tick period
        EXPECT_EQ(qz_ftp_lookup(kId, kCookie), nullptr);
        ASSERT_EQ(fe().size(), requests + 1);
        expect_delete_gate(fe().back(), s.tuple, cookie);
        EXPECT_GE(qz_sys_up_sec(), created + 3600);
        EXPECT_TRUE(logged("fed_alg_ftp_fsm", "Ftp max duration timeout."));
    }
}

TEST_F(FtpAlg, DeleteTraceAndFailure) {
    dispatch(cmd("PORT 10,0,0,5,4,1"));
    dispatch(reply("200 OK"));
    std::uint32_t cookie = last_cookie();
    answer({5, 0});  // the delete fails
    advance(3603);
    EXPECT_TRUE(logged("fed_alg_ftp_gate",
                       "FTP ALG delete gate src_ip:10.0.0.1,src_port:20,dst_ip:10.0.0.5,"
                       "dst_port:1025,protocol:6,state=5,cookie=" +
                           std::to_string(cookie) + " "));
    EXPECT_TRUE(logged("fed_alg_ftp_error",
                       "FE delete gate(src_ip = 10.0.0.1, src_port = 20, dst_ip = 10.0.0.5, "
                       "dst_port = 1025) fail"));
    EXPECT_EQ(qz_ftp_lookup(kId, kCookie), nullptr);

    drain();
    dispatch(cmd("PORT 10,0,0,5,4,1"));
    answer({3, 0});  // "already gone" counts as done
    advance(3603);
    EXPECT_FALSE(logged("fed_alg_ftp_error", "FE delete gate"));
}

TEST_F(FtpAlg, FeStatusTwoKeepsTheObjectWithoutCookie) {
    dispatch(cmd("PORT 10,0,0,5,4,1"));
    answer({0, 2});
    dispatch(reply("200 OK"));
    EXPECT_EQ(state(), QZ_FTP_STATE_GATE_OPEN);
    EXPECT_EQ(qz_ftp_lookup(kId, kCookie)->gate_cookie, 0u);
    advance(3603);
    expect_delete_gate(fe().back(), kActive, 0);
}

TEST_F(FtpAlg, RefusedGateLosesTheObject) {
    struct Case {
        FeAnswer answer;
        const char* status;
    } cases[] = {{{0, 1}, "1"}, {{0, 9}, "9"}, {{-1, 0}, "1"}};
    for (const Case& c : cases) {
        drain();
        dispatch(cmd("PORT 10,0,0,5,4,1"));
        answer(c.answer);
        dispatch(reply("200 OK"));
        EXPECT_EQ(qz_ftp_lookup(kId, kCookie), nullptr);
        EXPECT_TRUE(
            logged("fed_alg_ftp_gate", std::string("FE open gate fail, retcode = ") + c.status));
        EXPECT_TRUE(logged("fed_alg_ftp_gate", "Creat gate fail, retcode = -1"));
        EXPECT_TRUE(
            logged("fed_alg_ftp_error", "fsm_handler fail, state = 1, event = 4, retcode = -1"));
        dispatch(cmd("PASV"));  // the next command starts afresh
        EXPECT_EQ(state(), QZ_FTP_STATE_PASV);
    }
}

TEST_F(FtpAlg, SessionsSharingABucketAreToldApartByTheWholeKey) {
    // 0x01 ^ 0x10 and 0x11 ^ 0x00 and 0x10 ^ 0x01 all land in bucket 1.
    dispatch(cmd("PORT 10,0,0,5,4,1", 0x01, 0x10));
    dispatch(cmd("PORT 10,0,0,6,4,2", 0x11, 0x00));
    dispatch(cmd("PASV", 0x10, 0x01));
    EXPECT_EQ(qz_ftp_bucket_count(1), 3u);
    dispatch(reply("200 OK", 0x11, 0x00));
    ASSERT_EQ(fe().size(), 1u);
    expect_open_gate(fe()[0], {kServer, ip(10, 0, 0, 6), 20, 1026, 6}, 1, 0x11, 0x00);
    EXPECT_EQ(state(0x01, 0x10), QZ_FTP_STATE_PORT);
    EXPECT_EQ(state(0x10, 0x01), QZ_FTP_STATE_PASV);
    dispatch(reply("226 Done", 0x01, 0x10));  // the head of the bucket goes
    EXPECT_EQ(qz_ftp_bucket_count(1), 2u);
    EXPECT_EQ(state(0x11, 0x00), QZ_FTP_STATE_GATE_OPEN);
    dispatch(reply("226 Done", 0x10, 0x01));  // and the tail
    dispatch(cmd("EPSV", 0x21, 0x00));        // a new tail after the remaining one
    EXPECT_EQ(qz_ftp_bucket_count(1), 2u);
    EXPECT_EQ(state(0x21, 0x00), QZ_FTP_STATE_EPSV);
}

TEST_F(FtpAlg, MaxDurationSettingAppliesToNewObjectsOnly) {
    dispatch(cmd("PASV", 1, 1));
    qz_alg_set_max_duration(QZ_ALG_TYPE_FTP, 5);
    dispatch(cmd("PASV", 2, 2));
    EXPECT_TRUE(logged("fed_alg_ftp_fsm", "Ftp Gate max duration time is 300 seconds."));
    qz_alg_set_max_duration(QZ_ALG_TYPE_FTP, 60);
    advance(303);
    EXPECT_EQ(qz_ftp_lookup(2, 2), nullptr);
    EXPECT_NE(qz_ftp_lookup(1, 1), nullptr);
}

TEST_F(FtpAlg, UnparsablePacketIsReportedAndIgnored) {
    Pkt p = cmd("PASV");
    p.pkt_type = 9;
    dispatch(p);
    EXPECT_TRUE(logged("fed_alg_ftp_pkt", "qz_alg_ftp_parser fail, retcode = -1"));
    EXPECT_TRUE(logged("fed_alg_ftp_error",
                       "func qz_alg_ftp_hash_table_process fail,                                "
                       "event = 11, state = 0"));
    EXPECT_EQ(qz_ftp_lookup(kId, kCookie), nullptr);
}

TEST_F(FtpAlg, DeleteByElementChecksItsInput) {
    EXPECT_EQ(qz_ftp_delete_hashbyelem(nullptr), -1);
    EXPECT_TRUE(logged("fed_alg_ftp_error", "input is invalid, param is NULL"));
    dispatch(cmd("PASV"));
    qz_ftp_obj_t stranger = *qz_ftp_lookup(kId, kCookie);  // same key, not in the table
    EXPECT_EQ(qz_ftp_delete_hashbyelem(&stranger), 0);
    EXPECT_EQ(state(), QZ_FTP_STATE_PASV);
}

}  // namespace
}  // namespace algtest
