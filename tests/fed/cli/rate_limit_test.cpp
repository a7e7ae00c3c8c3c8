// Interface rate limits: the kernel records of codes 125-128 byte by byte,
// the defaults flag in the configuration library, the bound-interface
// refusal of every command, the show table and the assertion on a bad type.
#include <gtest/gtest.h>

#include <cctype>
#include <mutex>

#include "fed/qz_fed_debug.h"
#include "platform/qz.h"
#include "platform/rl_msg.h"
#include "tests/support/cli.h"
#include "tests/support/text.h"

namespace {

using namespace clitest;
namespace rl = qz_rl_msg;

// The record fed hands the kernel, before the kernel writes into it.
std::vector<std::uint8_t> rl_record(const std::string& ifname) {
    std::vector<std::uint8_t> r(rl::kSize, 0);
    std::copy(ifname.begin(), ifname.end(), r.begin() + rl::kIfName);
    return r;
}

class RateLimit : public ApTest {
   protected:
    // The configuration library's flag for kind 4 of an interface; -1 when never set.
    int dual(const std::string& ifname) {
        std::lock_guard lock(ap.core().mu);
        for (const sim::DualProfile& d : ap.core().dcd_fe.dual)
            if (d.ifname == ifname && d.kind == 4) return static_cast<int>(d.value);
        return -1;
    }
    fem::RateLimit limits(const std::string& ifname) {
        std::lock_guard lock(ap.core().mu);
        return *fem::rate_limit_of(ap.core().fe, ifname);
    }
    void bind(const std::string& ifname, const std::string& into) {
        std::uint32_t a = qz_if_nametoindex(ifname.c_str());
        std::uint32_t b = qz_if_nametoindex(into.c_str());
        std::lock_guard lock(ap.core().mu);
        sim::ethx_change_locked(ap.core(), a)->bound = b;
    }
};

struct SwitchCase {
    const char* type;
    std::size_t flag_off;
};
// The handler takes the keyword in any case.
const SwitchCase kTypes[] = {
    {"broadcast", rl::kBcastOn}, {"Multicast", rl::kMcastOn}, {"unicast", rl::kUcastOn}};

Ran rl_switch(bool no, const std::string& ifname, const std::string& type) {
    std::string lower = type;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return cmd(std::string(no ? "no " : "") + "interface " + ifname + " rate-limit " + lower,
               [&](auto& rec) { replace_text(rec, lower, type); });
}

TEST_F(RateLimit, SwitchSendsTheFlaggedTypeAndUpdatesTheDefaultsFlag) {
    for (const SwitchCase& c : kTypes) {
        SCOPED_TRACE(c.type);
        for (bool no : {false, true}) {
            ap.clear_logs();
            Ran r = rl_switch(no, "eth1", c.type);
            EXPECT_EQ(r.rc, 0);
            EXPECT_EQ(r.out, "");
            auto reqs = ap.kernel_requests();
            ASSERT_EQ(reqs.size(), 2u);
            std::vector<std::uint8_t> want = rl_record("eth1");
            want[c.flag_off] = 1;
            EXPECT_EQ(reqs[0].code, no ? 126 : 125);
            EXPECT_EQ(reqs[0].record, want);
            EXPECT_EQ(reqs[1].code, 128);
            EXPECT_EQ(reqs[1].record, rl_record("eth1"));
        }
        // Plain then no: unicast ends on its default (off), the others off.
        bool at_default = c.flag_off == rl::kUcastOn;
        EXPECT_EQ(dual("eth1"), at_default ? 0 : 1);
        rl_switch(false, "eth1", c.type);
        if (c.flag_off == rl::kUcastOn) rl_switch(true, "eth1", c.type);
        EXPECT_EQ(dual("eth1"), 0);
    }
}

TEST_F(RateLimit, DisablingBroadcastLeavesTheDefaultsAndEnablingReturns) {
    cmd("no interface eth1 rate-limit broadcast");
    EXPECT_FALSE(limits("eth1").bcast_on);
    EXPECT_EQ(dual("eth1"), 1);
    cmd("interface eth1 rate-limit broadcast");
    EXPECT_TRUE(limits("eth1").bcast_on);
    EXPECT_EQ(dual("eth1"), 0);
}

struct RateCase {
    const char* name;
    std::size_t rate_off;
    std::uint8_t selector;
    std::uint32_t def;
};
const RateCase kRates[] = {
    {"multicast", rl::kMcastRate, 1, 20000},
    {"broadcast", rl::kBcastRate, 2, 10000},
    {"unicast", rl::kUcastRate, 4, 1000000},
};

TEST_F(RateLimit, RatesAndTheirDefaults) {
    for (const RateCase& c : kRates) {
        SCOPED_TRACE(c.name);
        ap.clear_logs();
        const std::string line = std::string("interface agg0 rate-limit ") + c.name + " 4321";
        EXPECT_EQ(cmd(line).rc, 0);
        auto reqs = ap.kernel_requests();
        ASSERT_EQ(reqs.size(), 2u);
        std::vector<std::uint8_t> want = rl_record("agg0");
        wire::store_h<std::uint32_t>(want.data() + c.rate_off, 4321);
        want[rl::kSelector] = c.selector;
        EXPECT_EQ(reqs[0].code, 127);
        EXPECT_EQ(reqs[0].record, want);
        EXPECT_EQ(dual("agg0"), 1);

        // The no form restores the default, whatever rate the record holds.
        ap.clear_logs();
        EXPECT_EQ(cmd("no " + line).rc, 0);
        wire::store_h<std::uint32_t>(want.data() + c.rate_off, c.def);
        EXPECT_EQ(ap.kernel_requests().at(0).record, want);
        EXPECT_EQ(dual("agg0"), 0);
    }
}

TEST_F(RateLimit, ShowTable) {
    cmd("interface red0 rate-limit broadcast 5000");
    cmd("interface red0 rate-limit unicast");
    Ran r = cmd("show interface red0 rate-limit");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out,
              "Interface red0 Incoming Traffic Rate Limiting Status Table:  \n"
              "                         Broadcast      Multicast      Unicast        \n"
              "-----------------------------------------------------------------\n"
              "Status                   Enabled        Enabled        Enabled        \n"
              "Limiting Rate(Kbps)      5000           20000          1000000        \n");
}

TEST_F(RateLimit, BoundInterfaceIsRefusedByEveryCommand) {
    bind("eth1", "agg0");
    const char* bound = "interface eth1 has alreday bound to agg0! \n";
    run_steps(ap, {
                      {"interface eth1 rate-limit broadcast", bound, -1},
                      {"no interface eth1 rate-limit unicast", bound, -1},
                      {"interface eth1 rate-limit multicast 1", bound, -1},
                      {"no interface eth1 rate-limit broadcast 1", bound, -1},
                      {"interface eth1 rate-limit unicast 1", bound, -1},
                      {"show interface eth1 rate-limit", bound, -1},
                  });
    EXPECT_TRUE(ap.kernel_requests().empty());
    EXPECT_EQ(dual("eth1"), -1);
    // The aggregate itself is not bound.
    EXPECT_EQ(cmd("show interface agg0 rate-limit").rc, 0);
}

TEST_F(RateLimit, LongNamesAreCutTo23Characters) {
    std::string name(24, 'x');
    Ran r = cmd("interface " + name + " rate-limit broadcast",
                [](auto& rec) { replace_text(rec, "broadcast", "b"); });
    EXPECT_EQ(r.rc, -1);  // the kernel has no such interface
    auto reqs = ap.kernel_requests();
    ASSERT_EQ(reqs.size(), 1u);
    std::vector<std::uint8_t> want = rl_record(std::string(23, 'x'));
    want[rl::kBcastOn] = 1;
    EXPECT_EQ(reqs[0].record, want);
}

TEST_F(RateLimit, FailuresGoToTheDebugLogOnly) {
    qz_fed_debug = fed_dbg::cli;
    struct Case {
        const char* name;
        const char* fault;
        int fault_count;
        std::size_t requests;  // kernel requests made
        const char* log;
    } cases[] = {
        {"binding", "qz_dcd_get_ethx_binding", 1, 0,
         "get interface eth1 bind information failed! "},
        {"send", "qz_mpi_sendto_kernel:125", 1, 0, "CLI failed (rc = -1)"},
        {"kernel", "kcode:125", 1, 1, "API returns error(-9)"},
        {"defaults read", "kcode:128", 1, 2, "API returns error(-9)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ap.clear_logs();
        ap.fault(c.fault, -9, c.fault_count);
        EXPECT_TRUE(clitest::printed(cmd("interface eth1 rate-limit unicast"), "", -1));
        EXPECT_EQ(ap.kernel_requests().size(), c.requests);
        EXPECT_NE(ap.log().find(c.log), std::string::npos);
        ap.fault_clear();
    }
    qz_fed_debug = 0;
    // The change the kernel accepted stays, without the library flag.
    EXPECT_TRUE(limits("eth1").ucast_on);
    EXPECT_EQ(dual("eth1"), -1);
    ap.fault("qz_dcd_set_fed_dual_profile_table", -6, 1);
    EXPECT_EQ(cmd("interface eth1 rate-limit broadcast 7").rc, -6);
}

TEST(RateLimitDeathTest, UnknownTrafficTypeEndsFed) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testap::LocalAp ap;
    ASSERT_EQ(qz_fed_ipc_init(), 0);
    EXPECT_DEATH(cmd("interface eth1 rate-limit broadcast",
                     [](auto& rec) { replace_text(rec, "broadcast", "xcast"); }),
                 "");
    EXPECT_TRUE(testtext::has(ap.log(), "Assertion (0) failed at fed/cli/qz_fed_rl_cli.cpp:"));
    qz_fed_ipc_exit();
}

}  // namespace
