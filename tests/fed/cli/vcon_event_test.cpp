// Virtual connection rules following interface changes: rules wait for their
// interfaces, leave the FE when one goes down and return when it comes up.
#include "tests/fed/cli/vcon_support.h"

namespace {

using namespace vcontest;
using sim::IfChange;
namespace vm = qz_vcon_msg;

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
    EXPECT_NE(dump().find("vmsg->iifindex = " + std::to_string(ifindex("wifi0.1")) +
                          "\nvmsg->oifindex = 0\n"),
              std::string::npos);

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
    EXPECT_NE(log().find("<3> VCC: failed to sync drop rule to FE about vap9\n"), std::string::npos)
        << log();
    ifchg(IfChange::Up, "vap9");
    EXPECT_EQ(fe_rules().size(), 1u);
}

TEST_F(VconTest, EventDebugLinesNameTheKernelEvent) {
    qz_fed_debug = fed_dbg::cli;
    ifchg(IfChange::Up, "wifi0.1");
    ifchg(IfChange::Down, "wifi0.1");
    ifchg(IfChange::GoingDown, "wifi0.1");
    ifchg(IfChange::Rename, "wifi0.1");
    ifchg(static_cast<IfChange>(9), "wifi0.1");
    std::string l = log();
    EXPECT_NE(l.find("fed_cli vcc handle if kevent: KEVT_IF_CHG - if_up\n"), std::string::npos)
        << l;
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
