// Virtual connection rules in-process against a LocalAp, commands typed as
// text: the eighteen add forms and the messages the FE receives, the limits
// and refusals, delete, show, the debug dump, the running configuration; and
// rules following interface changes (the kernel event's payload).
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
#include "tests/support/text.h"

namespace {

using clitest::Ran;
using sim::IfChange;
namespace vm = qz_vcon_msg;
using Msg = std::array<std::uint8_t, qz_vcon_msg::kSize>;

class VconTest : public ::testing::Test {
   protected:
    void SetUp() override { TearDown(); }
    void TearDown() override { qz_fed_vcon_reset(), qz_fed_debug = 0; }

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

std::string msg_name(const Msg& m) {
    const char* p = reinterpret_cast<const char*>(m.data());
    return std::string(p, strnlen(p, qz_vcon_msg::kRuleNameSize));
}
std::uint32_t msg_u32(const Msg& m, std::size_t off) {
    return wire::load_h<std::uint32_t>(m.data() + off);
}
std::string msg_mac(const Msg& m, std::size_t off) {
    char t[18];
    std::snprintf(t, sizeof t, "%02x:%02x:%02x:%02x:%02x:%02x", m[off], m[off + 1], m[off + 2],
                  m[off + 3], m[off + 4], m[off + 5]);
    return t;
}

constexpr const char* kZ = "00:00:00:00:00:00";
constexpr const char* kS = "00:11:22:33:44:55";
constexpr const char* kD = "00:aa:bb:cc:dd:ee";
constexpr const char* kT = "02:00:00:00:00:01";
constexpr const char* kR = "02:00:00:00:00:02";

// One add form and the rule message it must give the FE.
struct AddCase {
    std::uint32_t type;
    std::string line;
    const char* src;
    std::uint32_t oui;
    std::uint32_t ignored;
    const char* tx;
    const char* rx;
    bool drop;
};

// The eighteen forms in type order: source mac, oui, any; each forwarding
// without and with rx-mac, tx-mac, both; then each dropping without and with tx-mac.
std::vector<AddCase> all_adds() {
    struct Src {
        const char* words;
        const char* mac;
        std::uint32_t oui, ignored;
    };
    const Src srcs[] = {{"src-mac 00:11:22:33:44:55", kS, 0, 0},
                        {"src-oui 00:11:22", "00:11:22:00:00:00", 1, 0},
                        {"src-any", kZ, 0, 1}};
    std::vector<AddCase> v;
    auto add = [&](const Src& s, bool tx, bool rx, bool drop) {
        std::uint32_t type = static_cast<std::uint32_t>(v.size() + 1);
        std::string line = "vcon-rule t" + std::to_string(type) + " in wifi0.1 " + s.words +
                           " dst-mac 00:aa:bb:cc:dd:ee" + (tx ? " tx-mac " + std::string(kT) : "") +
                           (drop ? " drop" : " out wifi1.1") +
                           (rx ? " rx-mac " + std::string(kR) : "");
        v.push_back({type, line, s.mac, s.oui, s.ignored, tx ? kT : kZ, rx ? kR : kZ, drop});
    };
    for (const Src& s : srcs)
        for (int f = 0; f < 4; ++f) add(s, f >= 2, f % 2 == 1, false);
    for (const Src& s : srcs)
        for (bool tx : {false, true}) add(s, tx, false, true);
    return v;
}
const std::vector<AddCase> kAdds = all_adds();

TEST_F(VconTest, EachTypeGivesTheFeItsMessage) {
    ASSERT_EQ(kAdds.size(), 18u);
    for (const AddCase& c : kAdds) {
        Ran r = cmd(c.line);
        EXPECT_EQ(r.rc, 0) << c.line << r.out;
        EXPECT_EQ(r.out, "");
    }
    std::vector<Msg> fe = fe_rules();
    ASSERT_EQ(fe.size(), kAdds.size());
    for (std::size_t i = 0; i < fe.size(); ++i) {
        const AddCase& c = kAdds[i];
        const Msg& m = fe[i];
        SCOPED_TRACE(c.line);
        EXPECT_EQ(msg_name(m), "t" + std::to_string(c.type));
        EXPECT_EQ(msg_u32(m, vm::kIifIndex), ifindex("wifi0.1"));
        EXPECT_EQ(msg_u32(m, vm::kOifIndex), c.drop ? 0u : ifindex("wifi1.1"));
        EXPECT_EQ(msg_mac(m, vm::kSrcMac), c.src);
        EXPECT_EQ(msg_u32(m, vm::kSrcOuiEnabled), c.oui);
        EXPECT_EQ(msg_u32(m, vm::kSrcIgnored), c.ignored);
        EXPECT_EQ(msg_mac(m, vm::kDstMac), kD);
        EXPECT_EQ(msg_mac(m, vm::kPrehop), c.tx);
        EXPECT_EQ(msg_mac(m, vm::kNexthop), c.rx);
        EXPECT_EQ(msg_u32(m, vm::kFlag), 0u);
        EXPECT_EQ(m[46], 0);
        EXPECT_EQ(m[78], 0);
    }
}

TEST_F(VconTest, ZeroMacsAreRefusedByTheFormsThatNeedThem) {
    // After "vcon-rule z in wifi0.1 ": a source MAC form names both MACs, the others only one.
    const std::pair<const char*, bool> cases[] = {
        {"src-mac 00:00:00:00:00:00 dst-mac 00:aa:bb:cc:dd:ee out wifi1.1", true},
        {"src-mac 00:11:22:33:44:55 dst-mac 00:00:00:00:00:00 tx-mac 02:00:00:00:00:01 out "
         "wifi1.1 rx-mac 02:00:00:00:00:02",
         true},
        {"src-mac 00:00:00:00:00:00 dst-mac 00:aa:bb:cc:dd:ee drop", true},
        {"src-mac 00:00:00:00:00:00 dst-mac 00:aa:bb:cc:dd:ee tx-mac 02:00:00:00:00:01 drop", true},
        {"src-oui 00:11:22 dst-mac 00:00:00:00:00:00 out wifi1.1", false},
        {"src-any dst-mac 00:00:00:00:00:00 drop", false},
        {"src-any dst-mac 00:00:00:00:00:00 tx-mac 02:00:00:00:00:01 out wifi1.1 rx-mac "
         "02:00:00:00:00:02",
         false}};
    for (const auto& [words, both] : cases) {
        SCOPED_TRACE(words);
        Ran r = cmd(std::string("vcon-rule z in wifi0.1 ") + words);
        EXPECT_EQ(r.rc, QZ_FED_RC_VCON_MAC_ZERO);
        EXPECT_EQ(r.out, both ? "Source MAC or destination MAC should not be all-zero.\n"
                              : "Destination MAC should not be all-zero.\n");
    }
    EXPECT_TRUE(fe_requests().empty());
    // A zero OUI is a source like any other.
    EXPECT_EQ(cmd("vcon-rule z in wifi0.1 src-oui 00:00:00 dst-mac 00:aa:bb:cc:dd:ee drop").rc, 0);
    EXPECT_EQ(fe_rules().size(), 1u);
}

std::string rule_line(int i) {
    return "vcon-rule r" + std::to_string(i) +
           " in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:" + (i < 16 ? "0" : "") +
           [&] {
               char t[4];
               std::snprintf(t, sizeof t, "%x", i);
               return std::string(t);
           }() +
           " drop";
}

TEST_F(VconTest, SixtyFifthRuleIsRefusedUntilOneIsDeleted) {
    for (int i = 1; i <= 64; ++i) ASSERT_EQ(cmd(rule_line(i)).rc, 0) << i;
    Ran r = cmd(rule_line(65));
    EXPECT_EQ(r.rc, QZ_FED_RC_VCON_ADD);
    EXPECT_EQ(r.out, "Exceed the maximum number limit on static packet-forwarding rules.\n");
    EXPECT_EQ(fe_rules().size(), 64u);
    // The limit comes before the name check.
    EXPECT_EQ(cmd(rule_line(1)).rc, QZ_FED_RC_VCON_ADD);
    EXPECT_EQ(cmd("no vcon-rule r7").rc, 0);
    EXPECT_EQ(cmd(rule_line(65)).rc, 0);
    EXPECT_EQ(cmd(rule_line(66)).rc, QZ_FED_RC_VCON_ADD);
    std::vector<Msg> fe = fe_rules();
    ASSERT_EQ(fe.size(), 64u);
    EXPECT_EQ(msg_name(fe.back()), "r65");
}

TEST_F(VconTest, NamesAreUniqueEvenWhenTheFirstIsNotInstalled) {
    ASSERT_EQ(cmd("vcon-rule same in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee out vap9").rc, 0);
    EXPECT_TRUE(fe_rules().empty());
    for (const char* line :
         {"vcon-rule same in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee out vap9",
          "vcon-rule same in wifi1.1 src-mac 00:11:22:33:44:55 dst-mac 00:aa:bb:cc:dd:ee drop"}) {
        Ran r = cmd(line);
        EXPECT_EQ(r.rc, QZ_FED_RC_VCON_EXISTS);
        EXPECT_EQ(r.out, "The virtual conenction rule with the same name already exists.\n");
    }
    EXPECT_TRUE(fe_requests().empty());
    EXPECT_EQ(cmd("vcon-rule Same in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee drop").rc, 0);
}

TEST_F(VconTest, DeleteWithoutNameSendsOneUnsetAll) {
    ASSERT_EQ(cmd(kAdds[0].line).rc, 0);
    ASSERT_EQ(cmd(kAdds[12].line).rc, 0);
    ASSERT_EQ(cmd("vcon-rule absent in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee out vap9").rc, 0);
    forget_requests();
    EXPECT_TRUE(clitest::printed(cmd("no vcon-rule"), ""));
    std::vector<sim::VconRequest> reqs = fe_requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_FALSE(reqs[0].set);
    EXPECT_EQ(msg_u32(reqs[0].msg, vm::kFlag) & vm::kFlagAll, 1u);
    EXPECT_TRUE(fe_rules().empty());
    EXPECT_EQ(dump(), "");
    // Names are free again.
    EXPECT_EQ(cmd(kAdds[0].line).rc, 0);
}

TEST_F(VconTest, DeleteByNameRemovesThatRuleOnly) {
    ASSERT_EQ(cmd(kAdds[0].line).rc, 0);
    ASSERT_EQ(cmd(kAdds[1].line).rc, 0);
    ASSERT_EQ(cmd("vcon-rule absent in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee out vap9").rc, 0);
    forget_requests();
    EXPECT_TRUE(
        clitest::printed(cmd("no vcon-rule t9"),
                         "The virtual conenction rule with the specified name doesn't exist.",
                         QZ_FED_RC_VCON_NO_SUCH));
    EXPECT_TRUE(fe_requests().empty());

    EXPECT_EQ(cmd("no vcon-rule t1").rc, 0);
    std::vector<sim::VconRequest> reqs = fe_requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(msg_name(reqs[0].msg), "t1");
    EXPECT_EQ(msg_u32(reqs[0].msg, vm::kFlag), 0u);
    EXPECT_EQ(msg_u32(reqs[0].msg, vm::kIifIndex), 0u);
    std::vector<Msg> fe = fe_rules();
    ASSERT_EQ(fe.size(), 1u);
    EXPECT_EQ(msg_name(fe[0]), "t2");
    // A rule the FE never held is deleted all the same.
    EXPECT_EQ(cmd("no vcon-rule absent").rc, 0);
    EXPECT_EQ(show().find("absent"), std::string::npos);
}

TEST_F(VconTest, FeFailureLeavesTheListUnchanged) {
    ASSERT_EQ(cmd(kAdds[0].line).rc, 0);
    std::string before_show = show();
    std::string before_dump = dump();

    ap.fault("qz_dcd_fe_vcon_set_rule", -1, 1);
    EXPECT_TRUE(clitest::printed(cmd(kAdds[1].line), "Add a FE virtual connection rule failed.\n",
                                 QZ_FED_RC_VCON_ADD));
    EXPECT_EQ(show(), before_show);
    EXPECT_EQ(dump(), before_dump);

    ap.fault("qz_dcd_fe_vcon_unset_rule", -1, 2);
    for (const char* line : {"no vcon-rule t1", "no vcon-rule"}) {
        Ran del = cmd(line);
        EXPECT_EQ(del.rc, QZ_FED_RC_VCON_DELETE) << line;
        EXPECT_EQ(del.out, "Delete a FE virtual connection rule failed.\n");
    }
    EXPECT_EQ(show(), before_show);
    EXPECT_EQ(fe_rules().size(), 1u);
    // The failed add did not use up a serial number.
    ASSERT_EQ(cmd(kAdds[1].line).rc, 0);
    EXPECT_NE(dump().find("vcc_cmd->serial_num = 1\nvmsg->rulename = t2\n"), std::string::npos);
}

TEST_F(VconTest, ShowPrintsOneRowPerRule) {
    // TX-MAC follows the incoming interface's kind, RX-MAC the outgoing one's.
    for (const std::string& line :
         {kAdds[1].line,
          std::string("vcon-rule e1 in eth1 src-oui 0a:1b:2c dst-mac 00:aa:bb:cc:dd:ee tx-mac "
                      "02:00:00:00:00:01 out wifi1.1 rx-mac 02:00:00:00:00:02"),
          std::string("vcon-rule a1 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee tx-mac "
                      "02:00:00:00:00:01 out agg0 rx-mac 02:00:00:00:00:02"),
          kAdds[17].line})
        ASSERT_EQ(cmd(line).rc, 0) << line;
    EXPECT_EQ(show(),
              "Name         Type   InIF   SrcMac             SrcFlag   DstMac             "
              "TX-MAC             RX-MAC             OutIF \n"
              "------------ ------ ------ ------------------ --------- ------------------ "
              "------------------ ------------------ ---------\n"
              "t2           pass   wifi0.1 00:11:22:33:44:55  no        00:aa:bb:cc:dd:ee "
              "00:00:00:00:00:00  02:00:00:00:00:02  wifi1.1\n"
              "e1           pass   eth1   0A-1B-2C           OUI       00:aa:bb:cc:dd:ee "
              "N/A                02:00:00:00:00:02  wifi1.1\n"
              "a1           pass   wifi0.1 N/A                Ignore    00:aa:bb:cc:dd:ee "
              "02:00:00:00:00:01  N/A                agg0  \n"
              "t18          drop   wifi0.1 N/A                Ignore    00:aa:bb:cc:dd:ee "
              "02:00:00:00:00:01  N/A                N/A   \n");
}

TEST_F(VconTest, DebugDumpListsEveryField) {
    EXPECT_EQ(dump(), "");
    ASSERT_EQ(cmd(kAdds[3].line).rc, 0);
    ASSERT_EQ(cmd("vcon-rule late in wifi0.1 src-oui 00:11:22 dst-mac 00:aa:bb:cc:dd:ee drop").rc,
              0);
    const std::string rule =
        "vcc_cmd->serial_num = 0\nvmsg->rulename = t4\nvmsg->src_mac = 00:11:22:33:44:55\n"
        "vmsg->dst_mac = 00:aa:bb:cc:dd:ee\nvmsg->prehop = 02:00:00:00:00:01\n"
        "vmsg->nexthop = 02:00:00:00:00:02\nvmsg->srcouienabled = 0\nvmsg->srcignored = 0\n"
        "vmsg->iifindex = " +
        std::to_string(ifindex("wifi0.1")) +
        "\nvmsg->oifindex = " + std::to_string(ifindex("wifi1.1")) +
        "\nvmsg->flag = 0\nvcc_cmd->iifname = wifi0.1\nvcc_cmd->oifname = wifi1.1\n"
        "vcc_cmd->isdrop = 0\nvcc_cmd->cmdtype = 4\n";
    std::string d = dump();
    EXPECT_EQ(d.rfind("=========================\n" + rule + "=========================\n", 0), 0u)
        << d;
    for (const char* part :
         {"vmsg->srcouienabled = 1\n", "vmsg->oifindex = 0\n", "vcc_cmd->oifname = \n",
          "vcc_cmd->isdrop = 1\n", "vcc_cmd->cmdtype = 15\n=========================\n"})
        EXPECT_NE(d.find(part, rule.size()), std::string::npos) << part;
}

TEST_F(VconTest, RunningConfigWritesEachRuleAsItCame) {
    for (const AddCase& c : kAdds) ASSERT_EQ(cmd(c.line).rc, 0);
    ASSERT_EQ(cmd("vcon-rule \"two words\" in vap9 src-any dst-mac 00:aa:bb:cc:dd:ee drop").rc, 0);
    ASSERT_EQ(cmd("no vcon-rule t5").rc, 0);
    std::vector<plat::CliLocalRecord> recs = clitest::emit(qz_fed_vcon_cfg);
    std::vector<std::string> expect;
    for (const AddCase& c : kAdds)
        if (c.type != 5) expect.push_back(c.line);
    expect.push_back("vcon-rule \"two words\" in vap9 src-any dst-mac 00:aa:bb:cc:dd:ee drop");
    ASSERT_EQ(recs.size(), expect.size());
    for (std::size_t i = 0; i < recs.size(); ++i) {
        SCOPED_TRACE(expect[i]);
        cmdtbl::ParseResult p = cmdtbl::parse_line(expect[i]);
        EXPECT_EQ(recs[i].type, 7u);
        EXPECT_EQ(recs[i].cmd, p.cmd.id);
        EXPECT_EQ(recs[i].data, p.cmd.record);
        EXPECT_EQ(cmdtbl::render_record(recs[i].cmd, recs[i].data), expect[i]);
    }
}

constexpr const char* kFwd = "vcon-rule fwd in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee out vap9";
constexpr const char* kDrop =
    "vcon-rule blk in vap9 src-mac 00:11:22:33:44:55 dst-mac 00:aa:bb:cc:dd:ee drop";

std::vector<std::string> names(const std::vector<Msg>& v) {
    std::vector<std::string> out;
    for (const Msg& m : v) out.push_back(msg_name(m));
    return out;
}

TEST_F(VconTest, MissingOutgoingInterfaceWaitsForItsUpEvent) {
    ASSERT_EQ(cmd(kFwd).rc, 0);
    EXPECT_TRUE(fe_rules().empty());
    EXPECT_TRUE(testtext::has(dump(), "vmsg->iifindex = " + std::to_string(ifindex("wifi0.1")) +
                                          "\nvmsg->oifindex = 0\n"));

    std::uint32_t vap = add_iface("vap9");
    ifchg(IfChange::Up, "vap9");
    std::vector<Msg> fe = fe_rules();
    ASSERT_EQ(fe.size(), 1u);
    EXPECT_EQ(msg_u32(fe[0], vm::kIifIndex), ifindex("wifi0.1"));
    EXPECT_EQ(msg_u32(fe[0], vm::kOifIndex), vap);

    // The incoming interface going down takes the rule out of the FE.
    forget_requests();
    ifchg(IfChange::Down, "wifi0.1");
    EXPECT_TRUE(fe_rules().empty());
    std::vector<sim::VconRequest> reqs = fe_requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_FALSE(reqs[0].set);
    EXPECT_EQ(msg_name(reqs[0].msg), "fwd");
    EXPECT_EQ(msg_u32(reqs[0].msg, vm::kIifIndex), 0u);
    EXPECT_EQ(msg_u32(reqs[0].msg, vm::kOifIndex), vap);
    EXPECT_NE(dump().find("vmsg->iifindex = 0\n"), std::string::npos);

    // A second down changes nothing; the up brings it back.
    ifchg(IfChange::GoingDown, "wifi0.1");
    EXPECT_EQ(fe_requests().size(), 1u);
    ifchg(IfChange::Up, "wifi0.1");
    ASSERT_EQ(fe_rules().size(), 1u);
    EXPECT_EQ(msg_u32(fe_rules()[0], vm::kIifIndex), ifindex("wifi0.1"));
    // The list and its running configuration never changed.
    EXPECT_EQ(clitest::emit(qz_fed_vcon_cfg).size(), 1u);
}

TEST_F(VconTest, DownKindsAndTheInterfacesTheyTouch) {
    struct Case {
        const char* what;
        IfChange kind;
        const char* ifname;
        std::vector<std::string> left;  // rules still in the FE
    } cases[] = {
        {"outgoing down", IfChange::Down, "wifi1.1", {"drop1"}},
        {"outgoing going down", IfChange::GoingDown, "wifi1.1", {"drop1"}},
        {"incoming of both", IfChange::Down, "wifi0.1", {}},
        {"drop rule's name as outgoing of none", IfChange::Down, "eth1", {"fwd1", "drop1"}},
        {"rename", IfChange::Rename, "wifi0.1", {"fwd1", "drop1"}},
        {"unknown kind", static_cast<IfChange>(3), "wifi0.1", {"fwd1", "drop1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qz_fed_vcon_reset();
        ASSERT_EQ(cmd("no vcon-rule").rc, 0);
        ASSERT_EQ(cmd("vcon-rule fwd1 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee out wifi1.1").rc,
                  0);
        ASSERT_EQ(cmd("vcon-rule drop1 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee drop").rc, 0);
        ifchg(c.kind, c.ifname);
        EXPECT_EQ(names(fe_rules()), c.left);
    }
}

TEST_F(VconTest, UpInstallsDropRulesOfTheIncomingInterface) {
    ASSERT_EQ(cmd(kDrop).rc, 0);
    ASSERT_EQ(cmd(kFwd).rc, 0);
    EXPECT_TRUE(fe_rules().empty());
    add_iface("vap9");
    ifchg(IfChange::Up, "vap9");
    EXPECT_EQ(names(fe_rules()), (std::vector<std::string>{"blk", "fwd"}));
    ifchg(IfChange::Down, "vap9");
    EXPECT_TRUE(fe_rules().empty());
    // An index that moved is taken from the event.
    ifchg(IfChange::Up, "vap9", 77);
    std::vector<Msg> fe = fe_rules();
    ASSERT_EQ(fe.size(), 2u);
    EXPECT_EQ(msg_u32(fe[0], vm::kIifIndex), 77u);
    EXPECT_EQ(msg_u32(fe[1], vm::kOifIndex), 77u);
}

TEST_F(VconTest, FailedSyncIsLoggedAndRetriedOnTheNextUp) {
    ASSERT_EQ(cmd(kDrop).rc, 0);
    add_iface("vap9");
    ap.fault("qz_dcd_fe_vcon_set_rule", -1, 1);
    ifchg(IfChange::Up, "vap9");
    EXPECT_TRUE(fe_rules().empty());
    EXPECT_TRUE(testtext::has(log(), "<3> VCC: failed to sync drop rule to FE about vap9\n"));
    ifchg(IfChange::Up, "vap9");
    EXPECT_EQ(fe_rules().size(), 1u);
}

TEST_F(VconTest, EventDebugLinesNameTheKernelEvent) {
    qz_fed_debug = fed_dbg::cli;
    for (IfChange kind : {IfChange::Up, IfChange::Down, IfChange::GoingDown, IfChange::Rename,
                          static_cast<IfChange>(9)})
        ifchg(kind, "wifi0.1");
    std::string l = log();
    EXPECT_TRUE(testtext::has(l, "fed_cli vcc handle if kevent: KEVT_IF_CHG - if_up\n"));
    std::size_t down = l.find("vcc handle if kevent: KEVT_IF_CHG - if_down / going down\n");
    ASSERT_NE(down, std::string::npos);
    EXPECT_NE(l.find("if_down / going down\n", down + 1), std::string::npos);
    EXPECT_NE(l.find("vcc handle if kevent: KEVT_IF_CHG - if_changname\n"), std::string::npos);
    std::size_t lines = 0;
    for (std::size_t p = l.find("vcc handle"); p != std::string::npos;
         p = l.find("vcc handle", p + 1))
        ++lines;
    EXPECT_EQ(lines, 4u);
}

TEST_F(VconTest, ShortOrMissingPayloadIsDropped) {
    ASSERT_EQ(cmd(kDrop).rc, 0);
    add_iface("vap9");
    std::vector<std::uint8_t> p = sim::if_change_event(IfChange::Up, ifindex("vap9"), "vap9");
    for (std::uint32_t len = 0; len < 12; ++len) qz_fed_vcon_if_change(17, len, p.data());
    qz_fed_vcon_if_change(17, 28, nullptr);
    EXPECT_TRUE(fe_rules().empty());
    // A name that fills its field without a terminator is read within it.
    std::vector<std::uint8_t> cut(p.begin(), p.begin() + 16);
    qz_fed_vcon_if_change(17, static_cast<std::uint32_t>(cut.size()), cut.data());
    EXPECT_EQ(fe_rules().size(), 1u);
}

}  // namespace
