// TFTP ALG: requests open a gate back to the client, the end of the transfer
// or a timeout removes it, checked at the FE byte by byte.
#include <gtest/gtest.h>

#include <string>

#include "alg/qz_tftp_main.h"
#include "tests/alg/alg_test_support.h"

namespace algtest {
namespace {

using enum qz_tftp_state_t;

constexpr std::uint32_t kClient = ip(192, 168, 1, 10);
constexpr std::uint32_t kServer = ip(10, 0, 0, 1);
constexpr std::uint32_t kId = 0x5;
constexpr std::uint32_t kCookie = 0x77;
// The server answers from its own port: any source port, to the client's port.
constexpr Flow kGate{kServer, kClient, 0, 40000, 17};

std::string op(std::uint16_t code) {
    return {static_cast<char>(code >> 8), static_cast<char>(code)};
}
std::string request(std::uint16_t code, const std::string& file, const std::string& mode) {
    return op(code) + file + '\0' + mode + '\0';
}
std::string ack(std::uint16_t block) {
    return op(4) + op(block);
}
std::string error(std::uint16_t code) {
    return op(5) + op(code) + "oops" + '\0';
}

Pkt tftp(const std::string& payload, std::uint8_t pkt_type = QZ_ALG_PKT_CTRL) {
    return Pkt{.alg_type = QZ_ALG_TYPE_TFTP,
               .pkt_type = pkt_type,
               .protocol = 17,
               .dst_port = 69,
               .ctrl_id = kId,
               .ctrl_cookie = kCookie,
               .payload = payload};
}
Pkt fe_timeout() {
    return tftp("", QZ_ALG_PKT_TIMEOUT);
}

qz_tftp_state_t state() {
    const qz_tftp_obj_t* o = qz_tftp_lookup(kId, kCookie);
    return o ? o->state : QZ_TFTP_STATE_INIT;
}

class Tftp : public Drained {
   protected:
    // A read request that opened its gate; returns the gate cookie.
    std::uint32_t open_session() {
        dispatch(tftp(request(1, "boot.cfg", "octet")));
        EXPECT_EQ(state(), QZ_TFTP_STATE_PORT_OPEN);
        std::uint32_t cookie = last_cookie();
        clear();
        return cookie;
    }
};

struct RequestCase {
    std::uint16_t opcode;
    std::string mode;
    bool opens;
};

TEST_F(Tftp, SupportedModesOpenTheGateOthersNothing) {
    const RequestCase cases[] = {{1, "octet", true},    {1, "OCTET", true},
                                 {1, "netascii", true}, {1, "NetAscii", true},
                                 {2, "octet", true},    {2, "NETASCII", true},
                                 {2, "mail", false},    {1, "octets", false},
                                 {1, "", false},        {1, "octet" + std::string(70, ' '), false}};
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.mode);
        drain();
        dispatch(tftp(request(c.opcode, "boot.cfg", c.mode)));
        if (!c.opens) {
            EXPECT_TRUE(fe().empty());
            EXPECT_EQ(qz_tftp_lookup(kId, kCookie), nullptr);
            continue;
        }
        ASSERT_EQ(fe().size(), 1u);
        expect_open_gate(fe()[0], kGate, QZ_ALG_TYPE_TFTP, kId, kCookie);
        const qz_tftp_obj_t* o = qz_tftp_lookup(kId, kCookie);
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->state, QZ_TFTP_STATE_PORT_OPEN);
        EXPECT_EQ(o->gate_cookie, last_cookie());
        EXPECT_TRUE(logged("fed_alg_tftp_gate",
                           "TFTP ALG open gate src_ip:10.0.0.1,src_port:0,dst_ip:192.168.1.10,"
                           "dst_port:40000 protocol:17 "));
        EXPECT_TRUE(logged("fed_alg_tftp_gate", "FE create TFTP ALG gate successfully."));
        EXPECT_TRUE(logged("fed_alg_tftp_fsm", "Object state change to: Port-Open."));
    }
}

TEST_F(Tftp, TraceLinesOfARequest) {
    dispatch(tftp(request(1, "a", "octet")));
    EXPECT_TRUE(
        logged("fed_alg_tftp_pkt",
               "TFTP ALG receive packet control ID :5,control Cookie:119 packet length:10 "
               "src_ip:192.168.1.10,src_port:40000,dst_ip:10.0.0.1,dst_port:69 protocol:17"));
    EXPECT_TRUE(logged("fed_alg_tftp_fsm", "TFTP ALG current event=1 state=0"));
}

TEST_F(Tftp, SecondRequestAndErrorFiveAreIgnored) {
    for (const std::string& p : {request(2, "other", "octet"), error(5)}) {
        drain();
        open_session();
        dispatch(tftp(p));
        EXPECT_TRUE(fe().empty());
        EXPECT_EQ(state(), QZ_TFTP_STATE_PORT_OPEN);
    }
}

TEST_F(Tftp, AckOrErrorReleasesTheGateFiveSecondsLater) {
    for (const std::string& ending : {ack(1), error(1), error(0)}) {
        drain();
        std::uint32_t cookie = open_session();
        std::uint32_t at = qz_sys_up_sec();
        dispatch(tftp(ending));
        EXPECT_EQ(state(), QZ_TFTP_STATE_RELEASE);
        EXPECT_TRUE(logged("fed_alg_tftp_fsm", "Change Object state to: Release."));
        // Nothing more is taken in the release state.
        dispatch(tftp(ack(2)));
        EXPECT_TRUE(logged("fed_alg_tftp_error", "invalid event or state, event:3 state:2"));
        advance(4);
        EXPECT_TRUE(fe().empty());
        advance(4);
        ASSERT_EQ(fe().size(), 1u);
        expect_delete_gate(fe()[0], kGate, cookie);
        EXPECT_GE(qz_sys_up_sec(), at + 5);
        EXPECT_EQ(qz_tftp_lookup(kId, kCookie), nullptr);
        EXPECT_TRUE(
            logged("fed_alg_tftp_fsm", "tftp object release timer expire,go to delete object."));
        EXPECT_TRUE(logged("fed_alg_tftp_gate",
                           "TFTP ALG delete gate src_ip:10.0.0.1,src_port:0,dst_ip:192.168.1.10,"
                           "dst_port:40000,protocol:17,cookie:" +
                               std::to_string(cookie) + ",return code=0"));
    }
}

TEST_F(Tftp, DataUnknownOpcodesAndShortPayloadsCloseAtOnce) {
    const std::string closers[] = {op(3) + op(1) + "data", op(6), op(0), op(99), "",
                                   std::string(1, '\0')};
    for (const std::string& c : closers) {
        drain();
        std::uint32_t cookie = open_session();
        dispatch(tftp(c));
        EXPECT_EQ(qz_tftp_lookup(kId, kCookie), nullptr);
        ASSERT_EQ(fe().size(), 1u);
        expect_delete_gate(fe()[0], kGate, cookie);
    }
    EXPECT_TRUE(logged("fed_alg_tftp_error", "unknown TFTP ALG packet ,packet type : 0"));
}

TEST_F(Tftp, FeTimeoutForgetsTheObjectWithoutDelete) {
    open_session();
    dispatch(fe_timeout());
    EXPECT_EQ(qz_tftp_lookup(kId, kCookie), nullptr);
    EXPECT_TRUE(fe().empty());
    EXPECT_TRUE(logged("fed_alg_tftp_pkt", "receive a TFTP ALG timeout packet"));
    EXPECT_TRUE(logged("fed_alg_tftp_fsm", "TFTP timeout/unknown event delete object!!"));
    advance(3700);  // its timer went with it
    EXPECT_TRUE(fe().empty());
}

TEST_F(Tftp, FileNameMustEndBeforeOffset1999) {
    struct Case {
        const char* name;
        std::string payload;
        bool opens;
    } cases[] = {
        // No zero at all before offset 2000: unknown, nothing to do in INIT.
        {"unterminated", op(1) + std::string(1998, 'f'), false},
        {"unterminated_beyond_2000", op(1) + std::string(2000, 'f'), false},
        {"zero_at_1999_leaves_no_mode", op(1) + std::string(1997, 'f') + '\0', false},
        {"mode_ends_at_1998", op(1) + std::string(1990, 'f') + '\0' + "octet" + '\0', true},
        {"mode_cut_at_2000", op(1) + std::string(1993, 'f') + '\0' + "octet" + '\0', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        drain();
        dispatch(tftp(c.payload));
        EXPECT_EQ(fe().size(), c.opens ? 1u : 0u);
        EXPECT_EQ(qz_tftp_lookup(kId, kCookie) != nullptr, c.opens);
    }
    drain();
    dispatch(tftp(op(2) + std::string(1998, 'f')));
    EXPECT_TRUE(logged("fed_alg_tftp_error", "unknown TFTP ALG packet ,packet type : 2"));
    // In PORT_OPEN the same packet deletes gate and object.
    open_session();
    dispatch(tftp(op(1) + std::string(1998, 'f')));
    EXPECT_EQ(fe().size(), 1u);
    EXPECT_EQ(qz_tftp_lookup(kId, kCookie), nullptr);
}

TEST_F(Tftp, MaxDurationDeletesGateAndObject) {
    std::uint32_t cookie = open_session();
    advance(3599);
    EXPECT_TRUE(fe().empty());
    advance(4);
    ASSERT_EQ(fe().size(), 1u);
    expect_delete_gate(fe()[0], kGate, cookie);
    EXPECT_TRUE(logged("fed_alg_tftp_fsm", "tftp max duration timer timeout."));
    EXPECT_EQ(qz_tftp_lookup(kId, kCookie), nullptr);
}

TEST_F(Tftp, RefusedGateKeepsNothing) {
    for (FeAnswer answer : {FeAnswer{0, 1}, FeAnswer{-1, 0}}) {
        clear();
        algtest::answer(answer);
        dispatch(tftp(request(1, "x", "octet")));
        EXPECT_EQ(qz_tftp_lookup(kId, kCookie), nullptr);
        EXPECT_TRUE(logged("fed_alg_tftp_gate", "FE create  gate return code =1 ."));
        EXPECT_FALSE(
            logged("fed_alg_tftp_error", "TFTP ALG handler return error,event=1, state=0"));
    }
}

TEST_F(Tftp, FailedDeleteStillRemovesTheObject) {
    open_session();
    fail_next_ioctl();
    dispatch(tftp(op(3)));
    EXPECT_EQ(qz_tftp_lookup(kId, kCookie), nullptr);
    EXPECT_NE(log().find(",return code=1\n"), std::string::npos);
}

}  // namespace
}  // namespace algtest
