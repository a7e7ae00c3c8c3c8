// QoS classifier and marker profiles: the kernel records byte by byte, the
// refusals and the FE's statuses as texts, the show tables, wireless
// bindings, fault consistency and the running configuration with its reload.
#include <gtest/gtest.h>

#include <functional>
#include <mutex>

#include "fed/cli/qz_fed_qos_profile_cli.h"
#include "fed/cli/qz_qos_db.h"
#include "platform/qos_msg.h"
#include "tests/support/cli.h"

namespace {

using namespace clitest;
namespace cm = qz_qos_cls_msg;
namespace mm = qz_qos_mkr_msg;
namespace bm = qz_qos_bind_msg;
namespace om = qz_qos_oui_msg;

std::vector<std::uint8_t> record(std::size_t size, std::size_t name_off, const std::string& name) {
    std::vector<std::uint8_t> r(size, 0);
    std::copy(name.begin(), name.end(), r.begin() + static_cast<long>(name_off));
    return r;
}

class QosProfile : public ApTest {
   protected:
    // Each test starts from the FE's booted profiles, as fed after a restart.
    void SetUp() override {
        ApTest::SetUp();
        ASSERT_EQ(qz_qos_db_startup(), 0);
        ap.clear_logs();
    }
    std::string cfg() { return lines(emit(qz_fed_qos_profile_cfg)); }
    fem::QosTable fe() {
        std::lock_guard lock(ap.core().mu);
        return ap.core().fe.qos;
    }
};

TEST_F(QosProfile, RequestsCarryTheNameAndOneFlagPerMethod) {
    struct Case {
        const char* line;
        std::uint16_t get, code;
        std::size_t size;
        std::vector<std::size_t> flags;  // offsets set to 1 in the request
        const char* stored = nullptr;    // the method as another client stores it
    };
    const Case kCases[] = {
        {"qos classifier-profile voice 8021p", cm::kGet, cm::kSet, cm::kSize, {854}},
        {"qos classifier-profile voice service", cm::kGet, cm::kSet, cm::kSize, {974}},
        {"qos classifier-profile voice", cm::kGet, cm::kSet, cm::kSize, {}},
        {"no qos classifier-profile voice mac", 0, cm::kDelete, cm::kSize, {950}, "MAC"},
        {"no qos classifier-profile voice",
         0,
         cm::kDelete,
         cm::kSize,
         {854, 878, 902, 926, 950, 974, 998}},
        {"qos marker-profile mk diffserv", mm::kGet, mm::kSet, mm::kSize, {902}},
        {"no qos marker-profile mk 8021p", 0, mm::kDelete, mm::kSize, {854}},
        {"no qos marker-profile mk", 0, mm::kDelete, mm::kSize, {854, 878, 902}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.line);
        ap.clear_logs();
        std::string name = std::string(c.line).find("marker") != std::string::npos ? "mk" : "voice";
        Ran r = cmd(c.line, [&](auto& rec) {
            if (c.stored) replace_text(rec, "mac", c.stored);
        });
        EXPECT_TRUE(printed(r, ""));
        auto reqs = ap.kernel_requests();
        ASSERT_EQ(reqs.size(), c.get ? 2u : 1u);
        if (c.get) {
            EXPECT_EQ(reqs[0].code, c.get);
            EXPECT_EQ(reqs[0].record, record(c.size, 4, name));
        }
        std::vector<std::uint8_t> want = record(c.size, 4, name);
        for (std::size_t off : c.flags) want[off] = 1;
        EXPECT_EQ(reqs.back().code, c.code);
        EXPECT_EQ(reqs.back().record, want);
    }
}

const char kCombine[] =
    "The interface/ssid-only option cannot be combined with any other classification method in "
    "the same classification profile.\n";

TEST_F(QosProfile, RefusalsAndStatusesPrintTheirTextsAndChangeNothing) {
    run_steps(
        ap,
        {
            {"qos classifier-profile p1 8021p", ""},
            {"qos classifier-profile p1 80211e", "8021p,80211e and dscp can't set together !\n",
             -1},
            {"qos classifier-profile p1 8021p", ""},
            {"qos classifier-profile p1 interface/ssid-only", kCombine, -1},
            {"qos classifier-profile p2 interface/ssid-only", ""},
            {"qos classifier-profile p2 mac", kCombine, -1},
            {"qos classifier-profile p3 interface/ssid-only",
             "The interface/ssid-only option has already been applied to another classification "
             "profile, and it can be used only once in the entire configuration.\n",
             -1},
            {"no qos classifier-profile nosuch", "Invalid classifier profile!\n", -1},
            {"qos classifier-profile p4 mac", "", -1, "kcode:20"},
            {"qos marker-profile m1 diffserv", ""},
            {"qos marker-profile m1 diffserv", "8021p,80211e and dscp can't set together!\n", -1},
            {"no qos marker-profile nosuch", "Invalid marker profile name\n", -1},
            {"interface wifi0.1 qos-classifier p1", ""},
            {"interface wifi0.1 qos-marker m1", ""},
            {"no qos classifier-profile p1", "Classifier profile is in use!\n", -1},
            {"no qos marker-profile m1", "Marker profile is in use\n", -1},
            {"interface wifi0.2 qos-classifier nosuch", "Invalid QoS classifier profile name\n",
             -1},
            {"interface wifi0.2 qos-marker nosuch", "Invalid QoS marker profile name\n", -1},
            {"no interface wifi0.1 qos-classifier def-null-cls",
             "Can't delete the interface default configuration !\n", -1},
            {"interface wifi9.9 qos-classifier p1", "", -1},
            {"no qos classifier-profile p2 interface/ssid-only", ""},
            {"qos classifier-profile p3 interface/ssid-only", ""},
        });
    fem::QosTable t = fe();
    ASSERT_EQ(t.classifiers.size(), 7u) << "p4 was refused by the kernel";
    EXPECT_EQ(t.classifiers[4].on, (std::array<bool, 7>{true}));
    ASSERT_EQ(t.cls_binds.size(), 1u);
    EXPECT_EQ(t.cls_binds[0].kind, bm::kKindSubIf);
    EXPECT_EQ(cfg(),
              "qos classifier-profile p1 8021p\n"
              "qos classifier-profile p2\n"
              "qos classifier-profile p3 interface/ssid-only\n"
              "qos marker-profile m1 diffserv\n");
}

TEST_F(QosProfile, AFullTableIsRefused) {
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(cmd("qos classifier-profile c" + std::to_string(i)).rc, 0);
    EXPECT_TRUE(printed(cmd("qos classifier-profile extra"), "Classifier table is full!\n", -1));
    for (int i = 0; i < 20; ++i) ASSERT_EQ(cmd("qos marker-profile m" + std::to_string(i)).rc, 0);
    EXPECT_TRUE(printed(cmd("qos marker-profile extra"), "Marker profile table is full\n", -1));
}

TEST_F(QosProfile, ShowsMarkMethodsInTheirColumns) {
    cmd("qos classifier-profile oui mac");
    cmd("qos classifier-profile ifs interface/ssid");
    cmd("qos marker-profile wmm 80211e");
    std::string dash86(86, '-');
    EXPECT_TRUE(printed(
        cmd("show qos classifier-profile"),
        "OUI=Organizationally Unique Identifier; IF/SSID=Eth0 interface or SSID; Serv=Service;\n"
        "DS=Differentiated Services Code Point; SSID=Service Set Identifier;\n\n"
        "QoS classifier profile table\nTotal profiles = 6\n\n"
        "No. Profile Name                      802.1p 802.11e DS OUI IF/SSID Serv IF/SSID-Only\n" +
            dash86 +
            "\n"
            "1   def-null-cls                         -     -      -  -      -      -     -\n"
            "2   def-land-cls                         X     -      -  -      -      X     -\n"
            "3   def-ap-cls                           -     -      X  -      -      X     -\n"
            "4   def-mesh-cls                         -     X      -  -      -      -     -\n"
            "5   oui                                  -     -      -  X      -      -     -\n"
            "6   ifs                                  -     -      -  -      X      -     -\n"));
    EXPECT_TRUE(printed(
        cmd("show qos marker-profile"),
        "DSCP=Differentiated Services Code Point;\nQoS marker profile table\nTotal profiles = 5\n"
        "No. Profile Name                      802.1p   802.11e   DSCP \n" +
            std::string(62, '-') +
            "\n"
            "1   def-null-mkr                         -        -       -\n"
            "2   def-land-mkr                         -        -       -\n"
            "3   def-ap-mkr                           -        -       X\n"
            "4   def-mesh-mkr                         -        X       -\n"
            "5   wmm                                  -        X       -\n"));
}

TEST_F(QosProfile, RunningConfigWritesChangedDefaultsAndSurvivesARestart) {
    EXPECT_EQ(cfg(), "") << "booted profiles";
    for (const char* line :
         {"no qos classifier-profile def-land-cls service",
          "qos classifier-profile def-land-cls mac", "qos classifier-profile \"a b\" diffserv",
          "qos classifier-profile \"a b\" service", "no qos marker-profile def-ap-mkr diffserv",
          "qos marker-profile def-ap-mkr 8021p"})
        ASSERT_EQ(cmd(line).rc, 0) << line;
    const std::string want =
        "no qos classifier-profile def-land-cls service\n"
        "qos classifier-profile def-land-cls mac\n"
        "qos classifier-profile \"a b\" diffserv\n"
        "qos classifier-profile \"a b\" service\n"
        "no qos marker-profile def-ap-mkr diffserv\n"
        "qos marker-profile def-ap-mkr 8021p\n";
    EXPECT_EQ(cfg(), want);
    ASSERT_EQ(qz_qos_db_startup(), 0);
    EXPECT_EQ(cfg(), want) << "read back from the FE";
    ap.fault("kcode:62", -1, 1);
    EXPECT_EQ(qz_qos_db_startup(), -1);
}

TEST_F(QosProfile, OnlyTheFirstRunWritesTheDefaultOuis) {
    struct Case {
        std::uint32_t run_first;
        const char* fault;
        std::size_t sets, held;  // code-32 requests; OUIs in the local copy after
    };
    const Case kCases[] = {{0, nullptr, 7, 7}, {1, nullptr, 0, 0}, {0, "kcode:32", 7, 6}};
    std::vector<std::uint8_t> first(om::kSize, 0);
    wire::store_h<std::uint32_t>(first.data() + om::kOuis, 0x001570);
    first[om::kClasses] = 6;
    first[om::kActions] = 1;
    first[om::kFields] = 7;
    const std::string comment = "Symbol Wi-Fi device";
    std::copy(comment.begin(), comment.end(), first.begin() + om::kComments);
    for (const Case& c : kCases) {
        {
            std::lock_guard lock(ap.core().mu);
            ap.core().dcd_svc.fed_run_first = c.run_first;
            ap.core().fe.qos.ouis.clear();
        }
        if (c.fault) ap.fault(c.fault, -1, 1);
        ap.clear_logs();
        ASSERT_EQ(qz_qos_db_startup(), 0);
        std::vector<fem::KernelRequest> sets;
        for (const fem::KernelRequest& r : ap.kernel_requests())
            if (r.code == om::kSet) sets.push_back(r);
        ASSERT_EQ(sets.size(), c.sets);
        if (!sets.empty()) {
            EXPECT_EQ(sets[0].record, first);
        }
        std::lock_guard lock(qz_qos_db().mu);
        EXPECT_EQ(qz_qos_db().ouis.size(), c.held);
    }
}

TEST_F(QosProfile, SsidEventsBindTheSsidsProfilesOrTheApDefaults) {
    ASSERT_EQ(cmd("qos classifier-profile voice 8021p").rc, 0);
    {
        std::lock_guard lock(ap.core().mu);
        ap.core().fe.qos.ssids.push_back({"corp", "voice", "def-mesh-mkr", 5});
    }
    // The FE's bindings and class of each sub-interface (all kind 13).
    auto held = [&] {
        fem::QosTable t = fe();
        std::string s;
        for (const fem::QosBinding& b : t.cls_binds) s += b.ifname + " cls " + b.profile + "\n";
        for (const fem::QosBinding& b : t.mkr_binds) s += b.ifname + " mkr " + b.profile + "\n";
        for (const fem::QosIfClass& c : t.if_classes)
            s += c.ifname + " class " + std::to_string(c.qos_class) + "\n";
        return s;
    };
    const char* corp = "wifi1.2 cls voice\nwifi1.2 mkr def-mesh-mkr\nwifi1.2 class 5\n";
    struct Step {
        std::function<void()> event;
        std::vector<std::uint16_t> codes;
        const char* held;
    };
    const Step kSteps[] = {
        {[] { qz_qos_ssid_bind("guest", "wifi0.1", 1); },
         {137, 35, 7, 10},
         "wifi0.1 cls def-ap-cls\nwifi0.1 mkr def-ap-mkr\nwifi0.1 class 2\n"},
        {[] { qz_qos_ssid_bind("guest", "wifi0.1", 0); }, {137, 36, 8, 11}, ""},
        {[] { qz_qos_ssid_bind("corp", "wifi1.2", 1); }, {137, 35, 7, 10}, corp},
        {[] { qz_qos_ssid_remove("corp"); }, {136}, corp},
    };
    for (const Step& s : kSteps) {
        ap.clear_logs();
        s.event();
        std::vector<std::uint16_t> codes;
        for (const fem::KernelRequest& r : ap.kernel_requests()) codes.push_back(r.code);
        EXPECT_EQ(codes, s.codes);
        EXPECT_EQ(held(), s.held);
    }
    EXPECT_TRUE(fe().ssids.empty());
    for (const fem::QosBinding& b : fe().cls_binds) EXPECT_EQ(b.kind, bm::kKindSubIf);
}

}  // namespace
