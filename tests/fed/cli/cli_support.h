// Running FE settings and rate-limit handlers in-process against a LocalAp:
// argument records built at their offsets, what the handler printed, what it
// returned and the records it added.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli.h"
#include "fed/qz_fed_msg.h"
#include "platform/backend.h"
#include "platform/qz.h"
#include "platform/wire.h"
#include "tests/support/local_ap.h"

namespace clitest {

using Handler = int (*)(void* ctx, qz_fed_args_t args);

// An argument record of `size` bytes, zero-filled.
struct Rec {
    std::vector<std::uint8_t> b;
    explicit Rec(std::size_t size) : b(size, 0) {}
    Rec& flags(std::uint32_t v) { return word(0, v); }
    Rec& word(std::size_t off, std::uint32_t v) {
        wire::store_h<std::uint32_t>(b.data() + off, v);
        return *this;
    }
    Rec& text(std::size_t off, const std::string& s) {
        std::memcpy(b.data() + off, s.data(), s.size());
        return *this;
    }
    Rec& mac(std::size_t off, std::initializer_list<std::uint8_t> m) {
        std::copy(m.begin(), m.end(), b.begin() + static_cast<long>(off));
        return *this;
    }
    // Dotted quad stored in network order.
    Rec& ip(std::size_t off, std::uint8_t a, std::uint8_t b2, std::uint8_t c, std::uint8_t d) {
        std::uint8_t q[4] = {a, b2, c, d};
        std::memcpy(b.data() + off, q, 4);
        return *this;
    }
};

inline constexpr std::uint32_t kPlain = QZ_CMD_TYPE_SET;
inline constexpr std::uint32_t kNo = QZ_CMD_TYPE_NO;

// What one command did.
struct Ran {
    int rc;
    std::string out;
    std::vector<plat::CliLocalRecord> records;
};

namespace detail {
struct Call {
    Handler h;
    const std::vector<std::uint8_t>* rec;
};
inline int call(void* ctx, void* arg) {
    auto* c = static_cast<Call*>(arg);
    return c->h(ctx, *c->rec);
}
struct Emit {
    void (*emitter)(void* out);
};
inline int emit(void* ctx, void* arg) {
    static_cast<Emit*>(arg)->emitter(ctx);
    return 0;
}
}  // namespace detail

inline Ran run(Handler h, std::uint32_t cmd, std::uint32_t type, const Rec& rec) {
    detail::Call c{h, &rec.b};
    plat::CliLocalRun r = plat::cli_run_local(cmd, type, detail::call, &c);
    return Ran{r.rc, r.text, r.records};
}

// A command without arguments (a 12-byte record).
inline Ran run(Handler h, std::uint32_t cmd, std::uint32_t type) {
    return run(h, cmd, type, Rec(12));
}

// The records a running-configuration emitter adds.
inline std::vector<plat::CliLocalRecord> emit(void (*emitter)(void* out)) {
    detail::Emit e{emitter};
    plat::CliLocalRun r = plat::cli_run_local(0, QZ_CMD_TYPE_SET, detail::emit, &e);
    return r.records;
}

// A LocalAp with fed's kernel channel open.
class ApTest : public ::testing::Test {
   protected:
    void SetUp() override { ASSERT_EQ(qz_fed_ipc_init(), 0); }
    void TearDown() override { qz_fed_ipc_exit(); }
    testap::LocalAp ap;
};

// What fed logged (DIR/messages).
inline std::string log_text(const testap::LocalAp& ap) {
    std::ifstream in(ap.dir() + "/messages");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::uint32_t load32(const std::vector<std::uint8_t>& b, std::size_t off) {
    return wire::load_h<std::uint32_t>(b.data() + off);
}

}  // namespace clitest
