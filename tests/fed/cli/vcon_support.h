// Virtual connection rule handlers run in-process against a LocalAp, commands
// typed as text; interface changes are delivered as the kernel event's payload.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <mutex>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_vcon_cli.h"
#include "fed/qz_fed_debug.h"
#include "platform/vcon_msg.h"
#include "sim/records.h"
#include "tests/support/cli.h"

namespace vcontest {

using clitest::Ran;
using Msg = std::array<std::uint8_t, qz_vcon_msg::kSize>;

class VconTest : public ::testing::Test {
   protected:
    void SetUp() override {
        qz_fed_vcon_reset();
        qz_fed_debug = 0;
    }
    void TearDown() override {
        qz_fed_vcon_reset();
        qz_fed_debug = 0;
    }

    Ran cmd(const std::string& line) { return clitest::cmd(line); }
    std::string show() { return cmd("show vcon-rule").out; }
    std::string dump() { return cmd("show vcon-rule debug").out; }

    // The FE's rules, in the order it holds them.
    std::vector<Msg> fe_rules() {
        std::lock_guard lock(ap.core().mu);
        std::vector<Msg> v(ap.core().dcd_vcon.rules.begin(), ap.core().dcd_vcon.rules.end());
        return v;
    }
    std::vector<sim::VconRequest> fe_requests() {
        std::lock_guard lock(ap.core().mu);
        return {ap.core().dcd_vcon.requests.begin(), ap.core().dcd_vcon.requests.end()};
    }
    void forget_requests() {
        std::lock_guard lock(ap.core().mu);
        ap.core().dcd_vcon.requests.clear();
    }
    std::uint32_t ifindex(const std::string& kname) {
        std::lock_guard lock(ap.core().mu);
        sim::Iface* i = sim::iface_by_kname_locked(ap.core(), kname);
        return i ? i->ifindex : 0;
    }
    std::uint32_t add_iface(const std::string& kname) {
        {
            std::lock_guard lock(ap.core().mu);
            EXPECT_TRUE(sim::iface_add_locked(ap.core(), kname, kname));
        }
        return ifindex(kname);
    }
    // The interface-change event as the kernel raises it.
    void ifchg(sim::IfChange kind, const std::string& kname, std::uint32_t index = 0) {
        if (index == 0) index = ifindex(kname);
        std::vector<std::uint8_t> p = sim::if_change_event(kind, index, kname);
        qz_fed_vcon_if_change(17, static_cast<std::uint32_t>(p.size()), p.data());
    }
    std::string log() { return ap.log(); }

    testap::LocalAp ap;
};

inline std::string msg_name(const Msg& m) {
    const char* p = reinterpret_cast<const char*>(m.data());
    return std::string(p, strnlen(p, qz_vcon_msg::kRuleNameSize));
}
inline std::uint32_t msg_u32(const Msg& m, std::size_t off) {
    return wire::load_h<std::uint32_t>(m.data() + off);
}
inline std::string msg_mac(const Msg& m, std::size_t off) {
    char t[18];
    std::snprintf(t, sizeof t, "%02x:%02x:%02x:%02x:%02x:%02x", m[off], m[off + 1], m[off + 2],
                  m[off + 3], m[off + 4], m[off + 5]);
    return t;
}

}  // namespace vcontest
