// The FE model alone: set/read pairing, kernel codes, faults.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/fe/model.h"
#include "platform/qos_policy_msg.h"
#include "platform/up_msg.h"
#include "platform/wire.h"

namespace {

using proto::FeFn;

struct FeModelTest : ::testing::Test {
    fem::Model m;
    fem::Faults f;
    void SetUp() override { fem::model_init(m); }

    int get(std::uint32_t id, std::uint32_t* v, FeFn fn = FeFn::GetInt) {
        return fem::fe_get(m, f, fn, id, "test read", v);
    }
    int set(std::uint32_t id, std::uint32_t v, FeFn fn = FeFn::SetInt) {
        return fem::fe_set(m, f, fn, id, v, "test set");
    }
    std::int32_t kernel(std::uint16_t code, std::vector<std::uint8_t>& record,
                        std::vector<std::uint8_t> reply = std::vector<std::uint8_t>(1500)) {
        std::vector<std::uint8_t> header(20);
        header[0] = 2;
        wire::store_h<std::uint16_t>(header.data() + 2, code);
        wire::store_h<std::uint32_t>(header.data() + 12, 1500);
        return fem::kernel_request(m, f, code, header, record, reply);
    }
};

TEST_F(FeModelTest, EverySetNumberChangesItsReadNumber) {
    for (const fem::SettingDef& d : fem::kSettings) {
        if (d.set == fem::kNoId) continue;
        ASSERT_EQ(set(d.set, 4321), 0) << "set " << d.set;
        std::uint32_t v = 0;
        ASSERT_TRUE(fem::setting_value(m, d.set, &v));
        EXPECT_EQ(v, 4321u) << "set " << d.set;
        if (d.read == fem::kNoId) continue;
        EXPECT_EQ(get(d.read, &v), 0);
        EXPECT_EQ(v, 4321u) << "set " << d.set << " read " << d.read;
    }
}

TEST_F(FeModelTest, WrongDirectionAndUnknownNumbersFail) {
    std::uint32_t v = 77;
    EXPECT_EQ(get(57, &v), -1);  // a set number is not readable
    EXPECT_EQ(get(56, &v), -1);  // set-only
    EXPECT_EQ(get(9999, &v), -1);
    EXPECT_EQ(v, 77u);          // untouched on failure
    EXPECT_EQ(set(58, 0), -1);  // a read number is not settable
    EXPECT_EQ(set(3, 5), -1);   // read-only count
    EXPECT_EQ(set(0, 5), -1);
    EXPECT_EQ(get(58, &v, FeFn::SetInt), -1);  // a set function on the get path
}

TEST_F(FeModelTest, BooleanCallsNormaliseAndAreLogged) {
    ASSERT_EQ(set(57, 7, FeFn::SetBoolean), 0);
    std::uint32_t v = 0;
    EXPECT_EQ(get(58, &v, FeFn::GetInt), 0);
    EXPECT_EQ(v, 1u);
    ASSERT_EQ(set(16, 7, FeFn::SetInt), 0);
    EXPECT_EQ(get(17, &v, FeFn::GetBoolean), 0);
    EXPECT_EQ(v, 1u);
    ASSERT_EQ(m.fe_calls.size(), 4u);
    EXPECT_EQ(m.fe_calls[0].fn, FeFn::SetBoolean);
    EXPECT_EQ(m.fe_calls[0].id, 57u);
    EXPECT_EQ(m.fe_calls[0].text, "test set");
    EXPECT_EQ(m.fe_calls[3].value, 1u);
}

TEST_F(FeModelTest, UnhandledCodesShortRecordsAndDirtyReplyAreas) {
    struct Case {
        std::uint16_t code;
        std::size_t size;
    } cases[] = {{104, 40}, {125, 44}, {200, 8}, {140, 4}, {141, 7}};
    for (const Case& c : cases) {
        std::vector<std::uint8_t> rec(c.size, 0);
        EXPECT_EQ(kernel(c.code, rec), -1) << c.code;
        EXPECT_EQ(wire::load_h<std::int32_t>(rec.data()), -1) << c.code;
    }
    EXPECT_EQ(m.notify_interval, 600u);  // the short 141 changed nothing

    std::vector<std::uint8_t> tiny(2, 0xaa);
    EXPECT_EQ(kernel(140, tiny), -1);
    EXPECT_EQ(tiny[0], 0xaa);  // no room for a result word: left alone

    std::vector<std::uint8_t> rec(8, 0), dirty(1500, 0);
    dirty[1499] = 1;
    kernel(140, rec, dirty);
    EXPECT_EQ(m.reply_violations, 1u);
    EXPECT_FALSE(m.requests.back().reply_zero);
}

// Stations of 3 and 4 packets move between profiles, "staff" and "guest" in
// VLAN 30: the packets of VLAN 30 (code 107) and of each profile (123) follow.
TEST_F(FeModelTest, VlanAndProfileCountersSumTheirStations) {
    namespace vs = qz_qos_vlan_snap_msg;
    namespace ps = qz_qos_up_stats_msg;
    for (std::uint8_t n : {3, 4}) m.cnt.stas.push_back({{2, 0, 0, 0, 0, n}, {{{n}}, 0}, {}});
    for (const char* name : {"staff", "guest"}) {
        m.up.profiles.emplace_back().name = name;
        m.up.profiles.back().vlan = 30;
    }
    m.qpol.vlans.push_back({30, 0, 0});
    std::vector<std::uint8_t> del(qz_up_msg::kSize);
    std::memcpy(del.data() + qz_up_msg::kName, "guest", 5);
    const struct {
        std::size_t sta;
        const char* profile;  // nullptr: "guest" is deleted
        fem::StaAssign rc;
        const char* sums;  // VLAN 30, then each profile
    } kSteps[] = {
        {0, "nobody", fem::StaAssign::NoProfile, "0|7|0|0"},
        {0, "staff", fem::StaAssign::Ok, "3|4|3|0"},
        {1, "guest", fem::StaAssign::Ok, "7|0|3|4"},
        {0, "default-profile", fem::StaAssign::Ok, "4|3|0|4"},
        {1, nullptr, fem::StaAssign::Ok, "0|7|0"},
    };
    for (const auto& st : kSteps) {
        if (st.profile) {
            EXPECT_EQ(fem::up_station_set(m, m.cnt.stas[st.sta].mac, st.profile), st.rc);
        } else {
            EXPECT_EQ(kernel(qz_up_msg::kDelete, del), 0);
        }
        std::vector<std::uint8_t> v(vs::kSize), p(ps::kSize);
        wire::store_h<std::uint32_t>(v.data() + vs::kVlan, 30);
        kernel(vs::kGet, v), kernel(ps::kDrops, p);
        std::string sums = std::to_string(wire::load_h<std::uint32_t>(v.data() + vs::kPackets));
        for (std::size_t i = 0; i < m.up.profiles.size(); ++i)
            sums += "|" + std::to_string(wire::load_h<std::uint32_t>(
                              p.data() + ps::kTable + i * ps::kEntrySize + ps::kPackets));
        EXPECT_EQ(sums, st.sums) << (st.profile ? st.profile : "delete");
    }
    m.up.stas.resize(fem::kUpStationsMax);  // the table full of other stations
    EXPECT_EQ(fem::up_station_set(m, m.cnt.stas[0].mac, "staff"), fem::StaAssign::Full);
}

}  // namespace
