// Interface rate limits: the kernel records of codes 125-128 byte by byte,
// the defaults flag in the configuration library, the bound-interface
// refusal of every command, the show table and the assertion on a bad type.
#include <gtest/gtest.h>

#include "fed/cli/qz_fed_cli.h"
#include "fed/qz_fed_debug.h"
#include "platform/rl_msg.h"
#include "tests/fed/cli/cli_support.h"

namespace {

using namespace clitest;
namespace rl = qz_rl_msg;

Rec type_rec(const std::string& ifname, const char* type) {
    return Rec(88).flags(3).word(12, 17).text(16, ifname).text(52, type);
}
Rec rate_rec(const std::string& ifname, std::uint32_t rate) {
    return Rec(56).flags(3).word(12, 17).text(16, ifname).word(52, rate);
}
Rec show_rec(const std::string& ifname) {
    return Rec(52).flags(1).word(12, 17).text(16, ifname);
}

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
const SwitchCase kTypes[] = {
    {"broadcast", rl::kBcastOn}, {"Multicast", rl::kMcastOn}, {"unicast", rl::kUcastOn}};

TEST_F(RateLimit, SwitchSendsTheFlaggedTypeAndUpdatesTheDefaultsFlag) {
    for (const SwitchCase& c : kTypes) {
        SCOPED_TRACE(c.type);
        for (std::uint32_t type : {kPlain, kNo}) {
            ap.clear_logs();
            Ran r = run(qz_fed_rl_cli_switch, 947, type, type_rec("eth1", c.type));
            EXPECT_EQ(r.rc, 0);
            EXPECT_EQ(r.out, "");
            auto reqs = ap.kernel_requests();
            ASSERT_EQ(reqs.size(), 2u);
            std::vector<std::uint8_t> want = rl_record("eth1");
            want[c.flag_off] = 1;
            EXPECT_EQ(reqs[0].code, type == kNo ? 126 : 125);
            EXPECT_EQ(reqs[0].record, want);
            EXPECT_EQ(reqs[1].code, 128);
            EXPECT_EQ(reqs[1].record, rl_record("eth1"));
        }
        // Plain then no: unicast ends on its default (off), the others off.
        bool at_default = c.flag_off == rl::kUcastOn;
        EXPECT_EQ(dual("eth1"), at_default ? 0 : 1);
        run(qz_fed_rl_cli_switch, 947, kPlain, type_rec("eth1", c.type));
        if (c.flag_off == rl::kUcastOn)
            run(qz_fed_rl_cli_switch, 947, kNo, type_rec("eth1", c.type));
        EXPECT_EQ(dual("eth1"), 0);
    }
}

TEST_F(RateLimit, DisablingBroadcastLeavesTheDefaultsAndEnablingReturns) {
    run(qz_fed_rl_cli_switch, 947, kNo, type_rec("eth1", "broadcast"));
    EXPECT_FALSE(limits("eth1").bcast_on);
    EXPECT_EQ(dual("eth1"), 1);
    run(qz_fed_rl_cli_switch, 947, kPlain, type_rec("eth1", "broadcast"));
    EXPECT_TRUE(limits("eth1").bcast_on);
    EXPECT_EQ(dual("eth1"), 0);
}

struct RateCase {
    const char* name;
    Handler h;
    std::uint32_t cmd;
    std::size_t rate_off;
    std::uint8_t selector;
    std::uint32_t def;
};
const RateCase kRates[] = {
    {"multicast", qz_fed_rl_cli_mcast_rate, 948, rl::kMcastRate, 1, 20000},
    {"broadcast", qz_fed_rl_cli_bcast_rate, 949, rl::kBcastRate, 2, 10000},
    {"unicast", qz_fed_rl_cli_ucast_rate, 950, rl::kUcastRate, 4, 1000000},
};

TEST_F(RateLimit, RatesAndTheirDefaults) {
    for (const RateCase& c : kRates) {
        SCOPED_TRACE(c.name);
        ap.clear_logs();
        EXPECT_EQ(run(c.h, c.cmd, kPlain, rate_rec("agg0", 4321)).rc, 0);
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
        EXPECT_EQ(run(c.h, c.cmd, kNo, rate_rec("agg0", 4321)).rc, 0);
        wire::store_h<std::uint32_t>(want.data() + c.rate_off, c.def);
        EXPECT_EQ(ap.kernel_requests().at(0).record, want);
        EXPECT_EQ(dual("agg0"), 0);
    }
}

TEST_F(RateLimit, ShowTable) {
    run(qz_fed_rl_cli_bcast_rate, 949, kPlain, rate_rec("red0", 5000));
    run(qz_fed_rl_cli_switch, 947, kPlain, type_rec("red0", "unicast"));
    Ran r = run(qz_fed_rl_cli_show, 951, kPlain, show_rec("red0"));
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
    struct Case {
        Handler h;
        std::uint32_t cmd;
        std::uint32_t type;
        Rec rec;
    } cases[] = {
        {qz_fed_rl_cli_switch, 947, kPlain, type_rec("eth1", "broadcast")},
        {qz_fed_rl_cli_switch, 947, kNo, type_rec("eth1", "unicast")},
        {qz_fed_rl_cli_mcast_rate, 948, kPlain, rate_rec("eth1", 1)},
        {qz_fed_rl_cli_bcast_rate, 949, kNo, rate_rec("eth1", 1)},
        {qz_fed_rl_cli_ucast_rate, 950, kPlain, rate_rec("eth1", 1)},
        {qz_fed_rl_cli_show, 951, kPlain, show_rec("eth1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cmd);
        Ran r = run(c.h, c.cmd, c.type, c.rec);
        EXPECT_EQ(r.out, "interface eth1 has alreday bound to agg0! \n");
        EXPECT_EQ(r.rc, -1);
    }
    EXPECT_TRUE(ap.kernel_requests().empty());
    EXPECT_EQ(dual("eth1"), -1);
    // The aggregate itself is not bound.
    EXPECT_EQ(run(qz_fed_rl_cli_show, 951, kPlain, show_rec("agg0")).rc, 0);
}

TEST_F(RateLimit, LongNamesAreCutTo23Characters) {
    std::string name(24, 'x');
    Ran r = run(qz_fed_rl_cli_switch, 947, kPlain, type_rec(name, "b"));
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
        Ran r = run(qz_fed_rl_cli_switch, 947, kPlain, type_rec("eth1", "unicast"));
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.rc, -1);
        EXPECT_EQ(ap.kernel_requests().size(), c.requests);
        EXPECT_NE(log_text(ap).find(c.log), std::string::npos);
        ap.fault_clear();
    }
    qz_fed_debug = 0;
    // The change the kernel accepted stays, without the library flag.
    EXPECT_TRUE(limits("eth1").ucast_on);
    EXPECT_EQ(dual("eth1"), -1);
    ap.fault("qz_dcd_set_fed_dual_profile_table", -6, 1);
    EXPECT_EQ(run(qz_fed_rl_cli_bcast_rate, 949, kPlain, rate_rec("eth1", 7)).rc, -6);
}

TEST(RateLimitDeathTest, UnknownTrafficTypeEndsFed) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testap::LocalAp ap;
    ASSERT_EQ(qz_fed_ipc_init(), 0);
    EXPECT_DEATH(run(qz_fed_rl_cli_switch, 947, kPlain, type_rec("eth1", "xcast")), "");
    EXPECT_NE(log_text(ap).find("Assertion (0) failed at fed/cli/qz_fed_rl_cli.cpp:"),
              std::string::npos);
    qz_fed_ipc_exit();
}

}  // namespace
