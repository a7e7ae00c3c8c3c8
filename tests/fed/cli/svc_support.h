// Service and ALG handlers run in-process against a LocalAp with fed's kernel
// channel open and the service start-up done.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_service_cli.h"
#include "platform/svc_msg.h"
#include "tests/support/cli.h"

namespace svctest {

using clitest::cmd;
using clitest::emit;
using clitest::load32;
using clitest::Ran;

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
    std::string log_text() { return ap.log(); }
    testap::LocalAp ap;
};

// Service definitions as typed: a negative port or timeout is left out.
inline std::string opt(const char* word, int v) {
    return v < 0 ? "" : std::string(" ") + word + " " + std::to_string(v);
}
inline std::string def832(const std::string& name, const char* kw, int port = -1,
                          int timeout = -1) {
    return "service " + cmdtbl::quote_word(name) + " protocol " + kw + opt("port", port) +
           opt("timeout", timeout);
}
inline std::string def833(const std::string& name, int proto, int port = -1, int timeout = -1) {
    return "service " + cmdtbl::quote_word(name) + " protocol " + std::to_string(proto) +
           opt("port", port) + opt("timeout", timeout);
}
inline std::string def834(const std::string& name, int app, int timeout = -1) {
    return "service " + cmdtbl::quote_word(name) + " app-id " + std::to_string(app) +
           opt("timeout", timeout);
}

}  // namespace svctest
