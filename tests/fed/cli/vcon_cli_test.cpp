// Virtual connection rule commands: the eighteen add forms and the messages
// the FE receives, the limits and refusals, delete, show, the debug dump and
// the running configuration.
#include "tests/fed/cli/vcon_support.h"

namespace {

using namespace vcontest;
namespace vm = qz_vcon_msg;

constexpr const char* kZ = "00:00:00:00:00:00";
constexpr const char* kS = "00:11:22:33:44:55";
constexpr const char* kD = "00:aa:bb:cc:dd:ee";
constexpr const char* kT = "02:00:00:00:00:01";
constexpr const char* kR = "02:00:00:00:00:02";

// One add form and the rule message it must give the FE.
struct AddCase {
    std::uint32_t type;
    const char* line;
    const char* src;
    std::uint32_t oui;
    std::uint32_t ignored;
    const char* tx;
    const char* rx;
    bool drop;
};

const AddCase kAdds[] = {
    {1, "vcon-rule t1 in wifi0.1 src-mac 00:11:22:33:44:55 dst-mac 00:aa:bb:cc:dd:ee out wifi1.1",
     kS, 0, 0, kZ, kZ, false},
    {2,
     "vcon-rule t2 in wifi0.1 src-mac 00:11:22:33:44:55 dst-mac 00:aa:bb:cc:dd:ee out wifi1.1 "
     "rx-mac 02:00:00:00:00:02",
     kS, 0, 0, kZ, kR, false},
    {3,
     "vcon-rule t3 in wifi0.1 src-mac 00:11:22:33:44:55 dst-mac 00:aa:bb:cc:dd:ee tx-mac "
     "02:00:00:00:00:01 out wifi1.1",
     kS, 0, 0, kT, kZ, false},
    {4,
     "vcon-rule t4 in wifi0.1 src-mac 00:11:22:33:44:55 dst-mac 00:aa:bb:cc:dd:ee tx-mac "
     "02:00:00:00:00:01 out wifi1.1 rx-mac 02:00:00:00:00:02",
     kS, 0, 0, kT, kR, false},
    {5, "vcon-rule t5 in wifi0.1 src-oui 00:11:22 dst-mac 00:aa:bb:cc:dd:ee out wifi1.1",
     "00:11:22:00:00:00", 1, 0, kZ, kZ, false},
    {6,
     "vcon-rule t6 in wifi0.1 src-oui 00:11:22 dst-mac 00:aa:bb:cc:dd:ee out wifi1.1 rx-mac "
     "02:00:00:00:00:02",
     "00:11:22:00:00:00", 1, 0, kZ, kR, false},
    {7,
     "vcon-rule t7 in wifi0.1 src-oui 00:11:22 dst-mac 00:aa:bb:cc:dd:ee tx-mac 02:00:00:00:00:01 "
     "out wifi1.1",
     "00:11:22:00:00:00", 1, 0, kT, kZ, false},
    {8,
     "vcon-rule t8 in wifi0.1 src-oui 00:11:22 dst-mac 00:aa:bb:cc:dd:ee tx-mac 02:00:00:00:00:01 "
     "out wifi1.1 rx-mac 02:00:00:00:00:02",
     "00:11:22:00:00:00", 1, 0, kT, kR, false},
    {9, "vcon-rule t9 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee out wifi1.1", kZ, 0, 1, kZ, kZ,
     false},
    {10,
     "vcon-rule t10 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee out wifi1.1 rx-mac "
     "02:00:00:00:00:02",
     kZ, 0, 1, kZ, kR, false},
    {11,
     "vcon-rule t11 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee tx-mac 02:00:00:00:00:01 out "
     "wifi1.1",
     kZ, 0, 1, kT, kZ, false},
    {12,
     "vcon-rule t12 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee tx-mac 02:00:00:00:00:01 out "
     "wifi1.1 rx-mac 02:00:00:00:00:02",
     kZ, 0, 1, kT, kR, false},
    {13, "vcon-rule t13 in wifi0.1 src-mac 00:11:22:33:44:55 dst-mac 00:aa:bb:cc:dd:ee drop", kS, 0,
     0, kZ, kZ, true},
    {14,
     "vcon-rule t14 in wifi0.1 src-mac 00:11:22:33:44:55 dst-mac 00:aa:bb:cc:dd:ee tx-mac "
     "02:00:00:00:00:01 drop",
     kS, 0, 0, kT, kZ, true},
    {15, "vcon-rule t15 in wifi0.1 src-oui 00:11:22 dst-mac 00:aa:bb:cc:dd:ee drop",
     "00:11:22:00:00:00", 1, 0, kZ, kZ, true},
    {16,
     "vcon-rule t16 in wifi0.1 src-oui 00:11:22 dst-mac 00:aa:bb:cc:dd:ee tx-mac "
     "02:00:00:00:00:01 drop",
     "00:11:22:00:00:00", 1, 0, kT, kZ, true},
    {17, "vcon-rule t17 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee drop", kZ, 0, 1, kZ, kZ, true},
    {18, "vcon-rule t18 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee tx-mac 02:00:00:00:00:01 drop",
     kZ, 0, 1, kT, kZ, true},
};

TEST_F(VconTest, EachTypeGivesTheFeItsMessage) {
    for (const AddCase& c : kAdds) {
        Ran r = cmd(c.line);
        EXPECT_EQ(r.rc, 0) << c.line << r.out;
        EXPECT_EQ(r.out, "");
    }
    std::vector<Msg> fe = fe_rules();
    ASSERT_EQ(fe.size(), std::size(kAdds));
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
    struct {
        const char* line;
        const char* out;
    } cases[] = {
        {"vcon-rule z in wifi0.1 src-mac 00:00:00:00:00:00 dst-mac 00:aa:bb:cc:dd:ee out wifi1.1",
         "Source MAC or destination MAC should not be all-zero.\n"},
        {"vcon-rule z in wifi0.1 src-mac 00:11:22:33:44:55 dst-mac 00:00:00:00:00:00 tx-mac "
         "02:00:00:00:00:01 out wifi1.1 rx-mac 02:00:00:00:00:02",
         "Source MAC or destination MAC should not be all-zero.\n"},
        {"vcon-rule z in wifi0.1 src-mac 00:00:00:00:00:00 dst-mac 00:aa:bb:cc:dd:ee drop",
         "Source MAC or destination MAC should not be all-zero.\n"},
        {"vcon-rule z in wifi0.1 src-mac 00:00:00:00:00:00 dst-mac 00:aa:bb:cc:dd:ee tx-mac "
         "02:00:00:00:00:01 drop",
         "Source MAC or destination MAC should not be all-zero.\n"},
        {"vcon-rule z in wifi0.1 src-oui 00:11:22 dst-mac 00:00:00:00:00:00 out wifi1.1",
         "Destination MAC should not be all-zero.\n"},
        {"vcon-rule z in wifi0.1 src-any dst-mac 00:00:00:00:00:00 drop",
         "Destination MAC should not be all-zero.\n"},
        {"vcon-rule z in wifi0.1 src-any dst-mac 00:00:00:00:00:00 tx-mac 02:00:00:00:00:01 out "
         "wifi1.1 rx-mac 02:00:00:00:00:02",
         "Destination MAC should not be all-zero.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Ran r = cmd(c.line);
        EXPECT_EQ(r.rc, QZ_FED_RC_VCON_MAC_ZERO);
        EXPECT_EQ(r.out, c.out);
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
    Ran r = cmd("no vcon-rule");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "");
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
    Ran missing = cmd("no vcon-rule t9");
    EXPECT_EQ(missing.rc, QZ_FED_RC_VCON_NO_SUCH);
    EXPECT_EQ(missing.out, "The virtual conenction rule with the specified name doesn't exist.");
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
    Ran add = cmd(kAdds[1].line);
    EXPECT_EQ(add.rc, QZ_FED_RC_VCON_ADD);
    EXPECT_EQ(add.out, "Add a FE virtual connection rule failed.\n");
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
    ASSERT_EQ(cmd(kAdds[1].line).rc, 0);
    ASSERT_EQ(cmd("vcon-rule e1 in eth1 src-oui 0a:1b:2c dst-mac 00:aa:bb:cc:dd:ee tx-mac "
                  "02:00:00:00:00:01 out wifi1.1 rx-mac 02:00:00:00:00:02")
                  .rc,
              0);
    ASSERT_EQ(cmd("vcon-rule a1 in wifi0.1 src-any dst-mac 00:aa:bb:cc:dd:ee tx-mac "
                  "02:00:00:00:00:01 out agg0 rx-mac 02:00:00:00:00:02")
                  .rc,
              0);
    ASSERT_EQ(cmd(kAdds[17].line).rc, 0);
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

}  // namespace
