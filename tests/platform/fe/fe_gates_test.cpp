// The FE's gates as /dev/fe requests reach it: envelopes byte by byte, return
// codes, faults, age-out, the gate count and the gate table read.
#include <gtest/gtest.h>

#include "platform/fe.h"
#include "platform/fe/model.h"
#include "platform/wire.h"
#include "tests/support/frames.h"

namespace {

using Env = std::vector<std::uint8_t>;

using Tuple = testframes::GateFlow;

constexpr Tuple kActive{0xc0a80101, 0x0a000005, 20, 1025, 6};   // server:20 -> client:1025
constexpr Tuple kPassive{0x0a000005, 0xc0a80101, 0, 51210, 6};  // client:any -> server:51210

Env open_req(const Tuple& t, std::uint32_t alg) {
    return testframes::gate_open(t, alg, 7, 9);
}
using testframes::gate_delete;

std::uint32_t word(const Env& e, std::size_t data_off) {
    return wire::load_h<std::uint32_t>(e.data() + 8 + data_off);
}

struct GateTest : ::testing::Test {
    fem::Model m;
    fem::Faults f;
    void SetUp() override { fem::model_init(m); }

    int ioctl(Env& e) { return fem::fe_ioctl(m, f, QZ_ALG_FE_IOCTL, e); }
    // Opens a gate: {ioctl rc, FE return code, gate cookie}.
    std::array<std::uint32_t, 3> open(const Tuple& t, std::uint32_t alg = 1) {
        Env e = open_req(t, alg);
        int rc = ioctl(e);
        return {static_cast<std::uint32_t>(rc), word(e, 28), word(e, 32)};
    }
    std::uint32_t count() {
        std::uint32_t v = 0xffff;
        EXPECT_EQ(fem::fe_get(m, f, proto::FeFn::GetInt, 55, "get IP gate count", &v), 0);
        return v;
    }
};

TEST_F(GateTest, OpenGivesDistinctCookiesAndCountsTheGates) {
    auto a = open(kActive);
    auto b = open(kPassive);
    EXPECT_EQ(a[0], 0u);
    EXPECT_EQ(a[1], QZ_ALG_FE_GATE_OPENED);
    EXPECT_EQ(b[1], QZ_ALG_FE_GATE_OPENED);
    EXPECT_NE(a[2], 0u);
    EXPECT_NE(a[2], b[2]);
    EXPECT_EQ(count(), 2u);
    ASSERT_EQ(m.alg.gates.size(), 2u);
    const fem::Gate& g = m.alg.gates[0];
    EXPECT_EQ(g.src_ip, kActive.src_ip);
    EXPECT_EQ(g.dst_port, kActive.dst_port);
    EXPECT_EQ(g.ctrl_id, 7u);
    EXPECT_EQ(g.ctrl_cookie, 9u);
}

struct OpenCase {
    const char* name;
    Tuple tuple;
    std::uint32_t alg;
    std::uint32_t code;
};

TEST_F(GateTest, ReturnCodes) {
    const OpenCase cases[] = {
        {"same tuple again", kActive, 1, QZ_ALG_FE_GATE_EXISTS},
        {"same tuple, other ALG", kActive, 2, QZ_ALG_FE_GATE_EXISTS},
        {"no destination address", {1, 0, 0, 80, 6}, 1, QZ_ALG_FE_GATE_INVALID},
        {"no destination port", {1, 2, 0, 0, 17}, 2, QZ_ALG_FE_GATE_INVALID},
        {"ALG type 0", {1, 2, 0, 80, 6}, 0, QZ_ALG_FE_GATE_INVALID},
        {"ALG type 7", {1, 2, 0, 80, 6}, 7, QZ_ALG_FE_GATE_INVALID},
        {"other source port", {0xc0a80101, 0x0a000005, 21, 1025, 6}, 1, QZ_ALG_FE_GATE_OPENED},
    };
    ASSERT_EQ(open(kActive)[1], QZ_ALG_FE_GATE_OPENED);
    for (const OpenCase& c : cases) {
        auto r = open(c.tuple, c.alg);
        EXPECT_EQ(r[0], 0u) << c.name;
        EXPECT_EQ(r[1], c.code) << c.name;
        if (c.code != QZ_ALG_FE_GATE_OPENED) {
            EXPECT_EQ(r[2], 0u) << c.name << ": no cookie";
        }
    }
    EXPECT_EQ(count(), 2u);
}

TEST_F(GateTest, FullTableRefuses) {
    for (std::uint32_t i = 0; i < fem::kMaxGates; ++i)
        ASSERT_EQ(open({0, 0x0a000000 + i, 0, 5000, 17}, 2)[1], QZ_ALG_FE_GATE_OPENED) << i;
    EXPECT_EQ(open({0, 0x0b000000, 0, 5000, 17}, 2)[1], QZ_ALG_FE_GATE_TABLE_FULL);
    EXPECT_EQ(count(), fem::kMaxGates);
}

TEST_F(GateTest, DeleteNeedsCookieAndTuple) {
    std::uint32_t cookie = open(kActive)[2];
    Env wrong_tuple = gate_delete(kPassive, cookie);
    EXPECT_EQ(ioctl(wrong_tuple), static_cast<int>(QZ_ALG_FE_GATE_NOT_FOUND));
    Env wrong_cookie = gate_delete(kActive, cookie + 1);
    EXPECT_EQ(ioctl(wrong_cookie), static_cast<int>(QZ_ALG_FE_GATE_NOT_FOUND));
    Env zero = gate_delete(kActive, 0);
    EXPECT_EQ(ioctl(zero), static_cast<int>(QZ_ALG_FE_GATE_NOT_FOUND));
    EXPECT_EQ(count(), 1u);
    Env right = gate_delete(kActive, cookie);
    EXPECT_EQ(ioctl(right), 0);
    EXPECT_EQ(count(), 0u);
    EXPECT_EQ(ioctl(right), static_cast<int>(QZ_ALG_FE_GATE_NOT_FOUND));
    EXPECT_EQ(m.alg.gate_deletes, 5u);
    EXPECT_EQ(m.alg.gate_opens, 1u);
}

TEST_F(GateTest, MalformedEnvelopesFailWithoutTouchingTheFe) {
    Env good = open_req(kActive, 1);
    for (std::size_t n = 0; n < good.size(); ++n) {
        Env cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_EQ(ioctl(cut), -1) << n << " bytes";
    }
    Env magic = good;
    magic[0] = 0;
    EXPECT_EQ(ioctl(magic), -1);
    Env length = good;
    wire::store_h<std::uint16_t>(length.data() + 6, 28);
    EXPECT_EQ(ioctl(length), -1);
    Env unknown = testframes::fe_request(54, 36, kActive);
    EXPECT_EQ(ioctl(unknown), -1);
    EXPECT_EQ(fem::fe_ioctl(m, f, 0x4001, good), -1) << "another request number";
    EXPECT_TRUE(m.alg.gates.empty());
    EXPECT_EQ(ioctl(good), 0) << "the untouched envelope still works";
}

TEST_F(GateTest, UnusedGatesAgeOutAfterTheAlgInactiveTimeout) {
    fem::alg_set_time(m, 1000);
    open(kActive, 1);                       // ftp: 30 s
    open({0, 0x0a000009, 0, 4000, 17}, 3);  // sip: 60 s
    fem::alg_set_time(m, 30999);
    EXPECT_EQ(count(), 2u);
    fem::alg_set_time(m, 31000);
    EXPECT_EQ(count(), 1u);
    fem::alg_set_time(m, 5000);  // FE time never goes back
    EXPECT_EQ(m.alg.now_ms, 31000u);
    fem::alg_set_time(m, 61000);
    EXPECT_EQ(count(), 0u);
}

TEST_F(GateTest, TableReadsInBatchesWithTheEntryLayout) {
    fem::alg_set_time(m, 2000);
    open(kActive, 1);
    open(kPassive, 1);
    open({0, 0x0a000009, 0, 4000, 17}, 2);
    fem::alg_set_time(m, 12000);
    std::vector<std::uint8_t> out;
    std::uint32_t n = 0;
    ASSERT_EQ(fem::gate_table_read(m, f, 1, 32, out, &n), 0);
    ASSERT_EQ(n, 2u);
    ASSERT_EQ(out.size(), 2 * fe_gate::kSize);
    const std::uint8_t* e = out.data();  // kPassive
    EXPECT_EQ(wire::load_be32(e + fe_gate::kSrcIp), kPassive.src_ip);
    EXPECT_EQ(wire::load_be32(e + fe_gate::kDstIp), kPassive.dst_ip);
    EXPECT_EQ(wire::load_be16(e + fe_gate::kSrcPort), 0);
    EXPECT_EQ(wire::load_be16(e + fe_gate::kDstPort), 51210);
    EXPECT_EQ(e[fe_gate::kProtocol], 6);
    EXPECT_EQ(e[fe_gate::kAlgType], 1);
    EXPECT_EQ(wire::load_h<std::uint16_t>(e + fe_gate::kFlags), FE_IP_GATE_ANY_SRC_PORT);
    EXPECT_EQ(wire::load_h<std::uint32_t>(e + fe_gate::kPid), 7u);
    EXPECT_EQ(wire::load_h<std::int32_t>(e + fe_gate::kAgeout), 20000);
    EXPECT_EQ(wire::load_h<std::uint32_t>(e + fe_gate::kCookie), m.alg.gates[1].cookie);
    EXPECT_EQ(wire::load_h<std::uint16_t>(out.data() + fe_gate::kSize + fe_gate::kFlags),
              FE_IP_GATE_ANY_SRC_IP | FE_IP_GATE_ANY_SRC_PORT);

    out.clear();
    ASSERT_EQ(fem::gate_table_read(m, f, 0, 1, out, &n), 0);
    EXPECT_EQ(n, 1u);
    out.clear();
    ASSERT_EQ(fem::gate_table_read(m, f, 3, 32, out, &n), 0);
    EXPECT_EQ(n, 0u);
    fem::fault_arm(f, "fe_get_ip_gate_table", -5, 1);
    EXPECT_EQ(fem::gate_table_read(m, f, 0, 32, out, &n), -5);
}

TEST(FeServices, BootWithThePredefinedTableAndEveryAlgOff) {
    fem::Model m;
    fem::model_init(m);
    ASSERT_EQ(m.alg.services.size(), 29u);
    EXPECT_EQ(m.alg.services.back().name, "any");
    struct Want {
        std::uint8_t protocol;
        std::uint16_t port;
        const char* name;
        std::uint16_t alg;
        std::uint32_t timeout;
    };
    const Want wants[] = {
        {6, 21, "ftp", 1, 1800}, {17, 69, "tftp", 2, 60}, {17, 5060, "sip", 3, 600},
        {17, 53, "dns", 4, 60},  {6, 80, "http", 6, 300}, {6, 20, "ftp-data", 0, 1800},
    };
    for (const Want& w : wants) {
        const fem::Service* s = fem::service_for(m.alg, w.protocol, w.port);
        ASSERT_NE(s, nullptr) << w.name;
        EXPECT_EQ(s->name, w.name);
        EXPECT_EQ(s->alg_type, w.alg) << w.name;
        EXPECT_EQ(s->timeout, w.timeout) << w.name;
    }
    EXPECT_EQ(fem::service_for(m.alg, 6, 69), nullptr);
    EXPECT_EQ(fem::service_for(m.alg, 0, 0), nullptr) << "\"any\" names no port";
    for (std::uint16_t t = 0; t < fem::kAlgTypes; ++t) EXPECT_FALSE(m.alg.settings.enabled[t]);
    EXPECT_EQ(m.alg.settings.inactive_timeout[1], 30u);
    EXPECT_EQ(m.alg.settings.max_duration[3], 720u);
    EXPECT_EQ(fem::alg_type_by_name("dns"), 4);
    EXPECT_EQ(fem::alg_type_by_name("-"), 0);
}

}  // namespace
