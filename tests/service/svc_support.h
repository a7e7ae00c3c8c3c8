// Service and ALG handlers run in-process against a LocalAp with fed's kernel
// channel open and the service start-up done.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_service_cli.h"
#include "fed/qz_fed_msg.h"
#include "platform/backend.h"
#include "platform/qz.h"
#include "platform/svc_msg.h"
#include "platform/wire.h"
#include "tests/support/local_ap.h"

namespace svctest {

using Handler = int (*)(void* ctx, qz_fed_svc_args_t args);
inline constexpr std::uint32_t kPlain = QZ_CMD_TYPE_SET;
inline constexpr std::uint32_t kNo = QZ_CMD_TYPE_NO;

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
};

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
inline int emit(void* ctx, void* arg) {
    reinterpret_cast<void (*)(void*)>(arg)(ctx);
    return 0;
}
}  // namespace detail

inline Ran run(Handler h, std::uint32_t cmd, std::uint32_t type, const Rec& rec) {
    detail::Call c{h, &rec.b};
    plat::CliLocalRun r = plat::cli_run_local(cmd, type, detail::call, &c);
    return Ran{r.rc, r.text, r.records};
}

inline std::vector<plat::CliLocalRecord> emit(void (*emitter)(void* out)) {
    plat::CliLocalRun r =
        plat::cli_run_local(0, kPlain, detail::emit, reinterpret_cast<void*>(emitter));
    return r.records;
}

class SvcTest : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_EQ(qz_fed_ipc_init(), 0);
        ASSERT_EQ(qz_fed_service_startup(), 0);
    }
    void TearDown() override { qz_fed_ipc_exit(); }

    // The FE's row of a service, or nullptr.
    const fem::Service* fe_service(const std::string& name) {
        std::lock_guard lock(ap.core().mu);
        for (const fem::Service& s : ap.core().fe.alg.services)
            if (s.name == name) return &s;
        return nullptr;
    }
    // The configuration library's record of a service (empty when none).
    std::vector<std::uint8_t> dcd_record(const std::string& name) {
        std::vector<std::uint8_t> r(qz_service_entry_db::kSize);
        if (qz_dcd_get_service_table(name.c_str(), r.data()) < 0) return {};
        return r;
    }
    std::string log_text() {
        std::ifstream in(ap.dir() + "/messages");
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    testap::LocalAp ap;
};

inline std::uint32_t load32(const std::vector<std::uint8_t>& b, std::size_t off) {
    return wire::load_h<std::uint32_t>(b.data() + off);
}

// Define records.
namespace arg = qz_fed_svc_arg;
inline Rec def832(const std::string& name, const char* kw, int port = -1, int timeout = -1) {
    Rec r(arg::k832Size);
    std::uint32_t flags = 3;
    r.text(arg::kName, name).text(arg::kKeyword, kw);
    if (port >= 0) flags |= 4, r.word(arg::k832Port, static_cast<std::uint32_t>(port));
    if (timeout >= 0) flags |= 8, r.word(arg::k832Timeout, static_cast<std::uint32_t>(timeout));
    return r.flags(flags);
}
inline Rec def833(const std::string& name, int proto, int port = -1, int timeout = -1) {
    Rec r(arg::k833Size);
    std::uint32_t flags = 3;
    r.text(arg::kName, name).word(arg::k833Protocol, static_cast<std::uint32_t>(proto));
    if (port >= 0) flags |= 4, r.word(arg::k833Port, static_cast<std::uint32_t>(port));
    if (timeout >= 0) flags |= 8, r.word(arg::k833Timeout, static_cast<std::uint32_t>(timeout));
    return r.flags(flags);
}
inline Rec def834(const std::string& name, int app, int timeout = -1) {
    Rec r(arg::k834Size);
    std::uint32_t flags = 3;
    r.text(arg::kName, name).word(arg::k834AppId, static_cast<std::uint32_t>(app));
    if (timeout >= 0) flags |= 4, r.word(arg::k834Timeout, static_cast<std::uint32_t>(timeout));
    return r.flags(flags);
}
inline Rec named(std::size_t size, const std::string& name, std::size_t off = arg::kName) {
    Rec r(size);
    if (!name.empty()) r.flags(1).text(off, name);
    return r;
}

}  // namespace svctest
