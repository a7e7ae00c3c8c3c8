// The platform library against the in-process Core: the client's encoding
// and the Core's decoding agree, call by call.
#include "tests/support/local_ap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/fe.h"
#include "platform/kcodes.h"
#include "platform/qz.h"

namespace {

TEST(LocalAp, FeScalarsAndTheirFaults) {
    testap::LocalAp ap;
    EXPECT_EQ(fe_set_int_value(0, 57, "set proxy arp status"), 0);
    std::uint32_t v = 9;
    EXPECT_EQ(fe_get_int_value(&v, 58, "get proxy arp status"), 0);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(ap.fe_value(57), 0u);
    EXPECT_EQ(fe_set_boolean_value(1, 126, "set tunnel TCP MSS threshold enable or disable"), 0);

    ap.fault("fe_get_int_value:58", -4, 1);
    v = 9;
    EXPECT_EQ(fe_get_int_value(&v, 58, "get proxy arp status"), -4);
    EXPECT_EQ(v, 9u);
    EXPECT_EQ(fe_get_int_value(&v, 9999, "nothing"), -1);

    auto calls = ap.fe_calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].text, "set proxy arp status");
    EXPECT_EQ(calls[2].fn, proto::FeFn::SetBoolean);
    EXPECT_EQ(calls[2].id, 126u);
}

TEST(LocalAp, KernelRequestRoundTrip) {
    testap::LocalAp ap;
    int h = qz_mpi_open(2);
    ASSERT_GE(h, 0);
    static std::uint8_t reply[1500];
    std::uint8_t record[8] = {};
    std::uint32_t interval = 120;
    std::memcpy(record + 4, &interval, 4);
    std::uint8_t msg[20] = {};
    msg[0] = 2;
    std::uint16_t code = 141;
    std::memcpy(msg + 2, &code, 2);
    std::uint32_t reply_ref = qz_mpi_ref(reply, sizeof reply);
    std::uint32_t size = sizeof reply;
    std::uint32_t record_ref = qz_mpi_ref(record, kcode_record_size(code));
    std::memcpy(msg + 8, &reply_ref, 4);
    std::memcpy(msg + 12, &size, 4);
    std::memcpy(msg + 16, &record_ref, 4);
    ASSERT_EQ(qz_mpi_sendto_kernel(h, msg, 20, 0), 0);
    std::int32_t result;
    std::memcpy(&result, record, 4);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ap.notify_interval(), 120u);

    auto reqs = ap.kernel_requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].code, 141);
    EXPECT_EQ(reqs[0].module, 2);
    EXPECT_EQ(reqs[0].reply_size, 1500u);
    EXPECT_EQ(reqs[0].record.size(), 8u);
    EXPECT_EQ(ap.reply_violations(), 0u);
    EXPECT_EQ(qz_mpi_close(h), 0);
}

TEST(LocalAp, ConfigurationLibraryEventsProcessMonitorAndShell) {
    testap::LocalAp ap;
    char name[17] = {};
    EXPECT_EQ(qz_dcd_int_ifname_to_user_ifname("tunl0", name), 0);
    EXPECT_STREQ(name, "tunnel0");
    EXPECT_NE(qz_dcd_int_ifname_to_user_ifname("lo", name), 0);
    EXPECT_EQ(qz_dcd_user_ifname_to_int_ifname("wifi1.2", name), 0);
    EXPECT_STREQ(name, "wifi1.2");

    std::uint32_t on = 1;
    EXPECT_EQ(qz_event_send(247, 4, &on), 0);
    auto events = ap.events_sent();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, 247u);
    ASSERT_EQ(events[0].payload.size(), 4u);
    std::uint32_t got;
    std::memcpy(&got, events[0].payload.data(), 4);
    EXPECT_EQ(got, 1u);

    ap.fault("qz_pm_init", -1, 1);
    EXPECT_EQ(qz_pm_init(2), -1);
    EXPECT_EQ(qz_pm_init(2), 0);
    EXPECT_EQ(qz_pm_setstate(2, 1), 0);
    EXPECT_TRUE(ap.core().pm.has_state);

    EXPECT_EQ(qz_system("ip rule add fwmark 3 table t3 prio 100"), 0);
    EXPECT_EQ(ap.system_commands(),
              std::vector<std::string>{"ip rule add fwmark 3 table t3 prio 100"});

    std::ifstream in(qz_fs_path("/proc/net/dev"));
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("wifi0.1:"), std::string::npos);
}

}  // namespace
