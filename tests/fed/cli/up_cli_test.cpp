// User-profile commands in-process against a LocalAp: what the FE receives
// (kernel code 120 records, field by field), the FE's statuses as the user
// reads them, the refusals that change nothing, the events and delayed
// commands, the displays and the running-configuration lines.
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_up.h"
#include "fed/cli/qz_fed_up_cli.h"
#include "platform/fe.h"
#include "platform/fe/profiles.h"
#include "platform/up_msg.h"
#include "tests/support/cli.h"

namespace {

namespace um = qz_up_msg;
namespace ev = qz_up_event;
using clitest::cmd;
using clitest::Ran;

class UpTest : public clitest::ApTest {
   protected:
    // The last record fed sent with `code`.
    std::vector<std::uint8_t> last_sent(std::uint16_t code) {
        std::vector<std::uint8_t> r;
        for (const fem::KernelRequest& k : ap.kernel_requests())
            if (k.code == code) r = k.record;
        return r;
    }
    std::string fe_table() {
        std::lock_guard lock(ap.core().mu);
        return fem::up_table_text(ap.core().fe);
    }
    std::vector<std::uint32_t> event_ids() {
        std::vector<std::uint32_t> v;
        for (const sim::Event& e : ap.events_sent()) v.push_back(e.event);
        return v;
    }
    void run_all(std::initializer_list<const char*> lines) {
        for (const char* l : lines) ASSERT_EQ(cmd(l).rc, 0) << l;
    }
};

template <typename T>
T at(const std::vector<std::uint8_t>& b, std::size_t off) {
    return qz_up::get<T>(b, off);
}

// Each command's set request: the change mask and the field it changed.
struct SetCase {
    const char* line;
    std::uint16_t mask;
    std::size_t off;  // a u32 field to check, or 0
    std::uint32_t value;
    const char* text = nullptr;  // or a name field at text_off: its expected text
    std::size_t text_off = 0;
    std::size_t end_off = 0;  // or the first range's end
    std::uint16_t end = 0;
};

TEST_F(UpTest, EachCommandSendsTheWholeProfileWithItsChangeMask) {
    constexpr std::uint16_t kBase = um::kMaskName | um::kMaskQos;
    const SetCase cases[] = {
        {"user-profile p group-id 9 vlan-id 44", kBase | um::kMaskGroupId, 0, 0},
        {"user-profile p mobility-policy m1", kBase | um::kMaskMobility, 0, 0, "m1", um::kMobility},
        {"user-profile p vlan-id 44 attribute 3 - 8", kBase | um::kMaskAttr, 0, 0, nullptr, 0,
         um::kAttrEnd, 8},
        {"user-profile p attribute 20", kBase | um::kMaskAddRange, 0, 0, nullptr, 0, um::kAttrEnd,
         20},
        {"no user-profile p attribute 20", kBase | um::kMaskDelRange, 0, 0, nullptr, 0,
         um::kAttrEnd, 20},
        {"user-profile p qos-marker-map 8021p mm", kBase | um::kMaskMarker, um::kMarkerType, 1,
         "mm", um::kMarkerMap},
        {"no user-profile p qos-marker-map", kBase | um::kMaskMarker, 0, 0, "", um::kMarkerMap},
        {"no user-profile p mobility-policy", kBase | um::kMaskMobility, 0, 0, "", um::kMobility},
        {"no user-profile p qos-policy", kBase, 0, 0, "def-user-qos", um::kQosPolicy},
        {"user-profile p performance-sentinel enable", kBase | um::kMaskSentinel, um::kSentinelOn,
         1},
        {"user-profile p performance-sentinel action boost", kBase | um::kMaskAction,
         um::kSentinelAction, 3},
        {"no user-profile p performance-sentinel action log", kBase | um::kMaskAction,
         um::kSentinelAction, 2},
        {"no user-profile p performance-sentinel action", kBase | um::kMaskAction,
         um::kSentinelAction, 1},
        {"user-profile p performance-sentinel guaranteed-bandwidth 900", kBase | um::kMaskBandwidth,
         um::kBandwidth, 900},
        {"no user-profile p performance-sentinel guaranteed-bandwidth", kBase | um::kMaskBandwidth,
         um::kBandwidth, 500},
        {"user-profile p performance-sentinel congestion-threshold 7000",
         kBase | um::kMaskThreshold, um::kThreshold, 7000},
        {"user-profile p tunnel-policy t1", kBase | um::kMaskTunnel, 0, 0, "t1", um::kTunnel},
        {"user-profile p l3-tunnel-action drop-tunnel-traffic", kBase | um::kMaskL3Action, 0, 0},
    };
    for (const SetCase& c : cases) {
        SCOPED_TRACE(c.line);
        Ran r = cmd(c.line);
        EXPECT_EQ(r.rc, 0) << r.out;
        auto rec = last_sent(um::kSet);
        ASSERT_EQ(rec.size(), um::kSize);
        EXPECT_EQ(at<std::uint16_t>(rec, um::kMask), c.mask);
        EXPECT_EQ(qz_up::get_name(rec, um::kName, um::kNameSize), "p");
        if (c.off) {
            EXPECT_EQ(at<std::uint32_t>(rec, c.off), c.value);
        }
        if (c.text) {
            EXPECT_EQ(qz_up::get_name(rec, c.text_off, um::kNameSize), c.text);
        }
        if (c.end_off) {
            EXPECT_EQ(at<std::uint16_t>(rec, c.end_off), c.end);
        }
    }
    // What the profile commands left, as the FE holds it.
    EXPECT_NE(
        fe_table().find("profile p group 9 (set) vlan 44 qos def-user-qos marker - mobility - "
                        "tunnel t1 attributes 3-8 sentinel 1 action 1 bandwidth 500 "
                        "threshold 7000 l3 3\n"),
        std::string::npos)
        << fe_table();
}

TEST_F(UpTest, RefusalsGetTheirMessageAndChangeNothing) {
    run_all({"user-profile keep vlan-id 5 attribute 1 - 2"});
    std::string before = fe_table();
    ap.clear_logs();
    clitest::run_steps(
        ap,
        {
            {"user-profile aL", "Please don't use 'a' or 'al' or 'all' as a user profile name.\n",
             -1},
            {"user-profile keep vlan-id 5 attribute 9 - 3",
             "Error:The starting attribute value is bigger than ending attribute value.\n", -1},
            {"user-profile keep attribute 9 - 3",
             "Error:The starting value is bigger than ending value !\n", -1},
            {"no user-profile default-profile", "Can't delete the default user profile.\n", -1},
            {"user-profile default-profile group-id 4",
             "The default user profile's group ID must be zero,it can't be changed \n", -1},
            {"user-profile default-profile qos-policy gold",
             "The default user profile's policy name can't be changed \n", -1},
            {"user-profile keep vlan-id 4095", "Invalid VLAN ID\n", -1},
            {"user-profile other vlan-id 9 attribute 2",
             "One or more attributes are in use. Please "
             "make sure attribute you are setting are not used in any other user profile.\n",
             -1},
            {"user-profile gone attribute 4", "ERROR:get user profile parameters fail \n", -1},
            {"no user-profile gone qos-policy", "Invalid user profile name(gone)\n", -1},
            {"no user-profile gone mobility-policy", "ERROR:get user profile parameters fail \n",
             -1},
            {"no user-profile keep mobility-policy",
             "the user profile have unbind mobility policy\n", -1},
            {"no user-profile gone performance-sentinel enable",
             "User-profile(gone) doesn't exist\n", -1},
            {"user-profile gone before keep", "The user profile 'gone' does not exist.\n", 0x30064},
            {"user-profile keep after gone", "The user profile 'gone' does not exist.\n", 0x30064},
            {"user-profile keep airtime-percentage 0 share-airtime",
             "Current airtime percentage is zero, we cannot share the airtime\n", -1},
            {"show user-profile nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn",
             "ERROR:The name of user profile exceeds maximum length(32)\n", -1},
        });
    EXPECT_EQ(fe_table(), before);
    for (std::uint32_t e : event_ids()) EXPECT_NE(e, ev::kVlanChg) << "no profile was made";
}

TEST_F(UpTest, TheFesStatusesReadAsTheirMessages) {
    struct Case {
        const char* line;
        int status;
        const char* out;
    };
    const Case cases[] = {
        {"user-profile p vlan-id 3", um::kBadId, "Invalid user profile ID\n"},
        {"user-profile p vlan-id 3", um::kBadQos, "Invalid QoS policy name\n"},
        {"user-profile p vlan-id 3", um::kTableFull, "User profile table is full\n"},
        {"user-profile p vlan-id 3 attribute 7", um::kRangesFull,
         "User profile attribute range numbers is full\n"},
        {"user-profile default-profile attribute 7", um::kRangesFull,
         "User profile attribute range mapping table is full\n"},
        {"user-profile default-profile qos-marker-map diffserv m", um::kBadId,
         "Invalid QoS marker name\n"},
        {"user-profile p vlan-id 3", -9, ""},  // an unlisted status: debug only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ap.fault("kcode:120", c.status, 1);
        Ran r = cmd(c.line);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.rc, -1);
        EXPECT_TRUE(r.records.empty()) << "no reload is queued";
    }
}

TEST_F(UpTest, EventsAndDelayedCommandsFollowEachChange) {
    struct Case {
        const char* line;
        std::vector<std::uint32_t> events;
        const char* delayed;  // the queued reload, or nullptr
    };
    const Case cases[] = {
        {"user-profile p vlan-id 7 attribute 4",
         {ev::kVlanChg, ev::kAttr},
         "load ?user-profile-attribute vlan"},
        {"user-profile p vlan-id 7", {}, "load ?user-profile-attribute vlan"},
        {"user-profile p", {ev::kVlanChg}, "load ?user-profile-attribute vlan"},  // back to VLAN 1
        {"user-profile p attribute 9", {ev::kAttr}, "load ?user-profile-attribute vlan"},
        {"user-profile q performance-sentinel enable", {ev::kVlanChg}, nullptr},
        {"user-profile q tunnel-policy t", {ev::kTunnel}, nullptr},
        {"user-profile q l3-tunnel-action all", {ev::kL3Action}, nullptr},
        {"no user-profile q", {ev::kVlanChg, ev::kDeleted}, "load ?user-profile-attribute vlan"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ap.clear_logs();
        Ran r = cmd(c.line);
        EXPECT_EQ(r.rc, 0) << r.out;
        EXPECT_EQ(event_ids(), c.events);
        std::string delayed;
        for (const auto& rec : r.records)
            if (rec.type == proto::kTlvDelay) delayed.assign(rec.data.begin(), rec.data.end());
        EXPECT_EQ(delayed, c.delayed ? c.delayed : "");
    }
    // The bodies: a new profile's VLAN, a range set by the attribute command.
    ap.clear_logs();
    run_all({"user-profile r group-id 3 vlan-id 300", "no user-profile r attribute 5 - 6"});
    auto events = ap.events_sent();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].payload.size(), ev::kBodySize);
    EXPECT_EQ(qz_up::get_name(events[0].payload, ev::kName, 33), "r");
    EXPECT_EQ(at<std::uint16_t>(events[0].payload, ev::kGroupId), 3);
    EXPECT_EQ(at<std::uint16_t>(events[0].payload, ev::kVlan), 300);
    EXPECT_EQ(at<std::uint16_t>(events[1].payload, ev::kStart), 5);
    EXPECT_EQ(at<std::uint16_t>(events[1].payload, ev::kEnd), 6);
    EXPECT_EQ(at<std::uint32_t>(events[1].payload, ev::kByProfile), 0u);
    EXPECT_EQ(at<std::uint32_t>(events[1].payload, ev::kRemoved), 1u);
}

TEST_F(UpTest, ADeleteWithSchedulerEntriesKeepsTheLibraryEntry) {
    run_all({"user-profile s group-id 5 vlan-id 9", "user-profile s l3-tunnel-action all"});
    {
        std::lock_guard lock(ap.core().mu);
        auto* e = sim::dcd_up_entry_locked(ap.core(), "s");
        ASSERT_NE(e, nullptr);
        qz_up::put<std::uint16_t>(*e, qz_dcd_up::kSlots + 2, 4);
    }
    Ran r = cmd("no user-profile s");
    EXPECT_EQ(r.rc, 0);
    ASSERT_FALSE(r.records.empty());
    EXPECT_EQ(std::string(r.records.back().data.begin(), r.records.back().data.end()),
              "load ?user-profile-attribute vlan unbind_up s");
    EXPECT_EQ(fe_table().find("profile s "), std::string::npos);
    EXPECT_NE(cmd("show user-profile").out.find("Wrong user profile table\n"), std::string::npos);
    auto sys = ap.system_commands();
    ASSERT_GE(sys.size(), 3u);
    EXPECT_EQ(sys[sys.size() - 3], "ip rule del fwmark 5");
    EXPECT_EQ(sys[sys.size() - 2], "ip rule add fwmark 5 table t_all prio 10005");
    EXPECT_EQ(sys.back(), "ip rule del fwmark 5");
}

TEST_F(UpTest, TheTableCutsLongAttributeListsAtAComma) {
    run_all({"user-profile long vlan-id 12 attribute 1000 - 1001"});
    for (int a = 2000; a < 2009; ++a)
        run_all({("user-profile long attribute " + std::to_string(a)).c_str()});
    run_all({"user-profile long before default-profile"});
    EXPECT_EQ(cmd("show user-profile").out,
              "User Profile Table\nTotal Entries = 2\n\n"
              "No. User Profile Name                VLAN Attribute\n" +
                  std::string(80, '-') +
                  "\n"
                  "1   long                             12   1000-1001,2000,2001,2002,2003,...\n"
                  "2   default-profile                  1    0\n");
}

TEST_F(UpTest, RunningConfigurationWritesWhatDiffersFromBoot) {
    EXPECT_EQ(clitest::lines(clitest::emit(qz_fed_up_cfg)), "") << "a booted profile table";
    run_all({"no user-profile default-profile attribute 0",
             "user-profile \"a b\" group-id 2 qos-policy q1 vlan-id 8",
             "user-profile \"a b\" attribute 3", "user-profile \"a b\" attribute 10 - 12",
             "user-profile \"a b\" airtime-percentage 20",
             "no user-profile \"a b\" performance-sentinel action log",
             "user-profile \"a b\" l3-tunnel-action split", "user-profile \"a b\" redirect s1"});
    EXPECT_EQ(clitest::lines(clitest::emit(qz_fed_up_cfg)),
              "no user-profile default-profile attribute 0\n"
              "user-profile \"a b\" group-id 2 qos-policy q1 vlan-id 8 attribute 3\n"
              "user-profile \"a b\" group-id 2 qos-policy q1 vlan-id 8 attribute 10 - 12\n"
              "user-profile \"a b\" airtime-percentage 20\n"
              "user-profile \"a b\" redirect s1\n"
              "no user-profile \"a b\" performance-sentinel action log\n");
}

TEST_F(UpTest, LookupsByNameCreateAndByUpidFindTheFirst) {
    EXPECT_EQ(qz_fed_up_id_by_name("made", false), -1);
    EXPECT_TRUE(event_ids().empty());
    EXPECT_EQ(qz_fed_up_id_by_name("made", true), 0);
    EXPECT_EQ(event_ids(), std::vector<std::uint32_t>{ev::kVlanChg});
    run_all({"user-profile g9 group-id 9"});
    char name[33];
    ASSERT_TRUE(qz_fed_up_name_by_id(9, name));
    EXPECT_STREQ(name, "g9");
    ASSERT_TRUE(qz_fed_up_name_by_id(0, name));
    EXPECT_STREQ(name, "default-profile");
    EXPECT_FALSE(qz_fed_up_name_by_id(10, name));
    std::vector<fedup::UpListEntry> list;
    ASSERT_EQ(qz_fed_up_list(list), 0);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].name, "g9");
    EXPECT_EQ(list[2].upid, 9);
}

TEST_F(UpTest, TheFeKeysBindingsAndActionsByUpidAndTheProfileShowsThem) {
    run_all({"user-profile b group-id 4 vlan-id 40"});
    const std::pair<std::function<int()>, int> calls[] = {
        {[] { return fe_fw_acl_grp_bind(4, "in", nullptr); }, 0},
        {[] { return fe_fw_acl_grp_bind(4, nullptr, "out"); }, 0},
        {[] { return fe_fw_acl_grp_bind(99, "x", "y"); }, -4},  // no profile has UPID 99
        {[] { return fe_fw_acl_set_upid_def_action(4, 1); }, 0},
        {[] { return fe_fw_acl_set_upid_def_action(4, 10); }, -1},
        {[] { return fe_up_deny_ipv4_or_v6(4, 2); }, 0},
    };
    for (const auto& [call, rc] : calls) EXPECT_EQ(call(), rc);
    std::string show = cmd("show user-profile b").out;
    EXPECT_NE(show.find("IPv4 or v6 filtering: IPv6\n"
                        "Default IP policy:    permit\n"
                        "From access IP policy: in\n"
                        "To access IP policy:   out\n"
                        "Default MAC policy:    deny\n"
                        "From access MAC policy:Not defined\n"),
              std::string::npos)
        << show;
    std::uint8_t mac[fe_mac_acl_binding::kSize * 64];
    std::uint32_t n = 64;
    ASSERT_EQ(fe_mac_acl_get_acl_grp_binding(mac, &n), 0);
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(qz_up::get<std::uint32_t>(mac, fe_mac_acl_binding::kDrop), 2u);
    ASSERT_EQ(fe_fw_acl_grp_unbind(4, 1, 0), 0);
    EXPECT_NE(cmd("show user-profile b")
                  .out.find("From access IP policy: Not defined\nTo access IP policy:   out\n"),
              std::string::npos);
    run_all({"no user-profile b", "user-profile b group-id 4 vlan-id 40"});
    std::uint32_t action = 0;
    ASSERT_EQ(fe_fw_acl_get_upid_def_action(4, &action), 0);
    EXPECT_EQ(action, 2u) << "a deleted group id starts again from deny";
}

}  // namespace
