// Service and ALG handlers run in-process against a LocalAp with fed's kernel
// channel open and the service start-up done.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_service_cli.h"
#include "platform/svc_msg.h"
#include "tests/fed/cli/cli_support.h"
#include "tests/support/local_ap.h"

namespace svctest {

using clitest::emit;
using clitest::Handler;
using clitest::kNo;
using clitest::kPlain;
using clitest::load32;
using clitest::Ran;
using clitest::Rec;
using clitest::run;

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
    std::string log_text() { return clitest::log_text(ap); }
    testap::LocalAp ap;
};

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
