// What the ALG tests share: the in-process access point, a builder of ALG
// packet records, the FE request bytes each host must produce, and the driven
// clock with the 3-second tick.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "alg/qz_alg_main.h"
#include "tests/support/local_ap.h"

namespace algtest {

// IPv4 address as a number: ip(10, 0, 0, 5) == 0x0a000005.
constexpr std::uint32_t ip(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return (a << 24) | (b << 16) | (c << 8) | d;
}

// One ioctl on /dev/fe as fed sent it.
struct FeReq {
    std::uint32_t request;
    std::vector<std::uint8_t> env;  // the envelope before the FE answered
    std::int32_t magic() const;
    std::uint16_t command() const;
    std::uint16_t length() const;
    std::vector<std::uint8_t> data() const;  // the data area
};

struct SentEvent {
    std::uint32_t event;
    std::vector<std::uint8_t> payload;
};

// The one access point of the test binary (fed's ALGs initialised, the
// driven clock installed), and what it saw since the last clear().
testap::LocalAp& ap();
std::vector<FeReq> fe();
std::vector<SentEvent> events();
std::uint32_t last_cookie();  // the cookie of the gate the FE opened last
// Forgets the records, the armed faults and the log so far.
void clear();

// How the FE answers: the next ioctl fails with `rc`; the next gate open or
// flow message (command 52, 82, 83) answers `code`.
void fail_next_ioctl(int rc = -1);
void fe_code_next(std::uint16_t command, std::uint32_t code);
struct FeAnswer {
    int rc = 0;              // the next ioctl's result (not 0: fails without reaching the FE)
    std::uint32_t code = 0;  // else the next gate open's return code
};
void answer(const FeAnswer& a);

// The log lines written since the last clear(): DIR/messages.
std::string log();
// True when a debug line "FLAG TEXT" (TEXT without its final newline) was written.
bool logged(const std::string& flag, const std::string& text);
// True when an error line with TEXT was written.
bool logged_err(const std::string& text);
void debug_all(bool on);

// ---- ALG packet records
struct Pkt {
    std::uint16_t alg_type = QZ_ALG_TYPE_FTP;
    std::uint8_t pkt_type = QZ_ALG_PKT_CTRL;
    std::array<std::uint8_t, 6> src_mac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::array<std::uint8_t, 6> dst_mac{0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb};
    std::uint8_t protocol = 6;
    std::uint32_t src_ip = ip(192, 168, 1, 10);
    std::uint32_t dst_ip = ip(10, 0, 0, 1);
    std::uint16_t src_port = 40000;
    std::uint16_t dst_port = 21;
    std::uint32_t out_ifindex = 3;
    std::uint32_t in_ifindex = 4;
    std::uint32_t ctrl_id = 7;
    std::uint32_t ctrl_cookie = 0x100;
    std::uint32_t ctrl_tag = 0x55;
    std::string payload = {};
    int pkt_length = -1;  // -1: the payload's size

    std::vector<std::uint8_t> bytes() const;
};

// Hands the record to the dispatcher from a heap block of exactly its size,
// so that a read past it is caught by ASan.
void dispatch(const std::vector<std::uint8_t>& rec);
void dispatch(const Pkt& p);

// ---- FE requests as they must read on every host: addresses and ports in
// ---- network byte order, the other words host order.
struct Flow {
    std::uint32_t src_ip;  // numbers, as ip() gives them
    std::uint32_t dst_ip;
    std::uint16_t src_port;
    std::uint16_t dst_port;
    std::uint8_t protocol;
    bool operator==(const Flow&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Flow& f);

std::vector<std::uint8_t> open_gate_bytes(const Flow& f, std::uint32_t alg_type,
                                          std::uint32_t ctrl_id, std::uint32_t ctrl_cookie);
std::vector<std::uint8_t> delete_gate_bytes(const Flow& f, std::uint32_t gate_cookie);
// The flow of a gate request, read back from its bytes.
Flow flow_of(const FeReq& r);

// Checks one request completely: envelope, fields, and every byte.
void expect_open_gate(const FeReq& r, const Flow& f, std::uint32_t alg_type, std::uint32_t ctrl_id,
                      std::uint32_t ctrl_cookie);
void expect_delete_gate(const FeReq& r, const Flow& f, std::uint32_t gate_cookie);

// ---- time: whole seconds on the driven clock, handing every tick the
// ---- platform timer posted to the timer list as the event thread would.
void advance(std::uint32_t seconds);
// Removes every ALG object by running all timers far in the future, empties
// the FE's gate table, then clears.
void drain();

// A gateway test: starts and ends with nothing pending and every debug flag on
// while it runs.
class Drained : public ::testing::Test {
   protected:
    void SetUp() override {
        drain();
        debug_all(true);
    }
    void TearDown() override {
        debug_all(false);
        drain();
    }
};

}  // namespace algtest
