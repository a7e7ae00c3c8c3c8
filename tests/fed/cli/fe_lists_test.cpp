// Tunnel multicast lists, default-route VLAN maps and FE filters: what the FE
// and the configuration library hold after each command, what shows print,
// and the refusals.
#include <gtest/gtest.h>

#include <mutex>

#include "platform/qz.h"
#include "tests/support/cli.h"

namespace {

using namespace clitest;

std::uint32_t ipv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    std::uint8_t q[4] = {a, b, c, d};
    return wire::load_h<std::uint32_t>(q);
}

// ---- tunnel multicast

class Multicast : public ApTest {
   protected:
    std::vector<fem::McastEntry> list() {
        std::lock_guard lock(ap.core().mu);
        return ap.core().fe.mcast;
    }
};

TEST_F(Multicast, EntriesAreMaskedAndMustBeMulticast) {
    run_steps(ap, {{"ip multicast tunnel block 224.1.1.1 255.255.255.0", ""}});
    auto l = list();
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].addr, ipv4(224, 1, 1, 0));
    EXPECT_EQ(l[0].mask, ipv4(255, 255, 255, 0));

    // A single address carries an all-ones mask whatever the record holds beside it.
    EXPECT_EQ(cmd("ip multicast tunnel block 239.9.9.9",
                  [](auto& rec) { replace_word(rec, 0xFFFFFFFF, ipv4(1, 2, 3, 4)); })
                  .rc,
              0);
    EXPECT_EQ(list().at(1).mask, 0xFFFFFFFFu);

    const char* bad = "Please enter a Multicast IP address.\n";
    run_steps(ap, {{"ip multicast tunnel block 10.0.0.1", bad, 0x30080},
                   {"ip multicast tunnel block 223.255.255.255 255.255.255.255", bad, 0x30080},
                   {"ip multicast tunnel block 240.0.0.1 255.255.255.0", bad, 0x30080},
                   {"show ip multicast tunnel",
                    "Tunnel IP multicast forwarding: allow-all except following\n"
                    "\tblock 224.1.1.0[255.255.255.0]\n"
                    "\tblock 239.9.9.9[255.255.255.255]\n"},
                   {"no ip multicast tunnel block 224.1.1.77 255.255.255.0", ""}});
    EXPECT_EQ(list().size(), 1u);
}

TEST_F(Multicast, ModeAndListGoTogether) {
    run_steps(ap, {
                      {"show ip multicast tunnel", "Tunnel IP multicast forwarding: allow-all \n"},
                      {"ip multicast tunnel allow 224.0.0.5",
                       "Currently it's allow-all state. Can't configure allow list.\n", 0x30080},
                      {"ip multicast tunnel block 224.0.0.5", ""},
                      {"ip multicast tunnel block-all",
                       "Please unconfigure all entries in block list before block all.\n", 0x3007F},
                  });
    EXPECT_EQ(ap.fe_value(122), 0u);
    run_steps(ap, {{"no ip multicast tunnel block 224.0.0.5", ""},
                   {"ip multicast tunnel block-all", ""}});
    EXPECT_EQ(ap.fe_value(122), 1u);
    run_steps(ap,
              {
                  {"ip multicast tunnel block 224.0.0.5",
                   "Currently it's block-all state. Can't configure block list.\n", 0x30080},
                  {"ip multicast tunnel allow 239.1.2.3", ""},
                  {"show ip multicast tunnel",
                   "Tunnel IP multicast forwarding: block-all except following\n"
                   "\tallow 239.1.2.3[255.255.255.255]\n"},
                  {"no ip multicast tunnel block-all",
                   "Please unconfigure all entries in allow list before unconfigure block all.\n",
                   0x3007F},
                  {"no ip multicast tunnel allow 239.1.2.3", ""},
                  {"no ip multicast tunnel block-all", ""},
              });
    EXPECT_EQ(ap.fe_value(122), 0u);
}

TEST_F(Multicast, FailuresOfTheFe) {
    const char* mode = "Unable to get tunnel IP multicast status\n";
    run_steps(
        ap,
        {
            {"ip multicast tunnel block 224.0.0.9", ""},
            {"ip multicast tunnel block 224.0.0.1", mode, 0x30081,
             "fe_get_tunnel_multicast_status_size"},
            {"ip multicast tunnel block-all", mode, 0x30081, "fe_get_tunnel_multicast_status_size"},
            {"show ip multicast tunnel", mode, 0x30081, "fe_get_tunnel_multicast_status_size"},
            {"ip multicast tunnel block 224.0.0.1", "Unable to set tunnel multicast IP list.\n",
             0x30080, "fe_set_tunnel_multicast_list"},
            {"no ip multicast tunnel block-all",
             "Unable to set tunnel IP multicast forwarding mode.\n", 0x3007F,
             "fe_set_boolean_value:122"},
            {"show ip multicast tunnel",
             "Tunnel IP multicast forwarding: allow-all except following\n"
             "Unable to get tunnel IP multicast list!\n",
             0x30081, "fe_get_tunnel_multicast_list"},
        });
    EXPECT_EQ(list().size(), 1u);
    EXPECT_EQ(ap.fe_value(122), 0u);
}

// ---- default-route VLANs

class RouteVlan : public ApTest {
   protected:
    std::size_t allow_updates() {
        std::lock_guard lock(ap.core().mu);
        return ap.core().dcd_fe.allow_vlan_updates.size();
    }
};

const char* const kNoVlans = "No L2 default route VLAN is configured on eth1\n";

TEST_F(RouteVlan, SingleVlanShowsAsOneItemAndTheLastRemovalEmptiesTheMap) {
    run_steps(ap,
              {{"show interface eth1 l2-default-route", kNoVlans},
               {"interface eth1 l2-default-route vlan 100 to 100", ""},
               {"show interface eth1 l2-default-route", "L2 default route VLANs on eth1:\n100  "}});
    // The map holds VLAN 100 as bit 3 of byte 12, most significant bit first.
    std::uint32_t eth1 = qz_if_nametoindex("eth1");
    {
        std::lock_guard lock(ap.core().mu);
        ASSERT_EQ(ap.core().dcd_fe.vlans.size(), 1u);
        const sim::RouteVlan& v = ap.core().dcd_fe.vlans[0];
        EXPECT_EQ(v.empty, 0u);
        EXPECT_EQ(v.map[12], 0x08);
        EXPECT_EQ(v.ifindex, eth1);
        ASSERT_EQ(ap.core().dcd_fe.allow_vlan_updates.size(), 1u);
        EXPECT_EQ(ap.core().dcd_fe.allow_vlan_updates[0][0], v.ifindex);
        EXPECT_EQ(ap.core().dcd_fe.allow_vlan_updates[0][1], 0u);
    }
    run_steps(ap, {{"no interface eth1 l2-default-route vlan 100", ""},
                   {"show interface eth1 l2-default-route", kNoVlans}});
    EXPECT_EQ(allow_updates(), 2u);
}

TEST_F(RouteVlan, RunsAndLineBreaks) {
    // Ten singles, then a range counting as two: the line breaks after the
    // count passes nine, and no line end comes last.
    for (int v = 2; v <= 20; v += 2)
        cmd("interface eth1 l2-default-route vlan " + std::to_string(v));
    run_steps(ap, {{"interface eth1 l2-default-route vlan 100 to 110", ""},
                   {"interface eth1 l2-default-route vlan 4094", ""},
                   {"show interface eth1 l2-default-route",
                    "L2 default route VLANs on eth1:\n"
                    "2    4    6    8    10   12   14   16   18   20   \n"
                    "100-110  4094 "},
                   // Removing the middle of a run splits it.
                   {"no interface eth1 l2-default-route vlan 104 to 105", ""}});
    // Removing what is not there, or setting what is set, changes nothing.
    std::size_t updates = allow_updates();
    run_steps(ap, {{"no interface eth1 l2-default-route vlan 300 to 400", ""},
                   {"interface eth1 l2-default-route vlan 2", ""},
                   {"show interface eth1 l2-default-route",
                    "L2 default route VLANs on eth1:\n"
                    "2    4    6    8    10   12   14   16   18   20   \n"
                    "100-103  106-110  4094 "}});
    EXPECT_EQ(allow_updates(), updates);
    // The no form without a VLAN clears the whole map.
    run_steps(ap, {{"no interface eth1 l2-default-route", ""},
                   {"show interface eth1 l2-default-route", kNoVlans}});
}

TEST_F(RouteVlan, RefusalsInTheirOrder) {
    run_steps(ap, {
                      {"interface eth1 l2-default-route vlan 100 to 110", ""},
                      {"interface eth0 l2-default-route vlan 5 to 1",
                       "Error: This command is not applicable to the eth0 interface", 0x30032},
                      {"interface agg0 l2-default-route vlan 20 to 10",
                       "The end of the vlan ID range cannot be lower than the start.\n", 0x30008},
                      {"interface eth9 l2-default-route vlan 5", "", -1},
                      {"interface wifi0.1 l2-default-route vlan 5",
                       "Error: interface wifi0.1 does not in Backhaul mode!\n", -1},
                      {"interface agg0 l2-default-route vlan 90 to 100",
                       "Error: default route vlan overlapped with other interface\n", -1},
                      {"interface agg0 l2-default-route vlan 111 to 120", ""},
                      // eth1 itself is not compared with its own map.
                      {"interface eth1 l2-default-route vlan 105 to 115", ""},
                  });
    EXPECT_NE(ap.log().find("FED: get ifindex from ifname eth9 failed"), std::string::npos);
    std::uint32_t eth1 = qz_if_nametoindex("eth1"), agg0 = qz_if_nametoindex("agg0");
    {
        std::lock_guard lock(ap.core().mu);
        sim::ethx_change_locked(ap.core(), eth1)->bound = agg0;
    }
    run_steps(ap, {{"interface eth1 l2-default-route vlan 5",
                    "Error: interface eth1 has alreday bound to agg0! \n", -1}});
}

TEST_F(RouteVlan, LibraryFailures) {
    for (const Step& s : {
             Step{"interface eth1 l2-default-route vlan 5",
                  "Error: interface eth1 has alreday bound to ! \n", -1, "qz_dcd_get_ethx_binding"},
             Step{"interface eth1 l2-default-route vlan 5", "", -1, "qz_dcd_get_dev_type"},
             Step{"interface eth1 l2-default-route vlan 5",
                  "Error: get default route vlan list on ifname eth1 failed\n", -1,
                  "qz_dcd_get_default_route_vlan"},
             Step{"show interface eth1 l2-default-route",
                  "Error: get default route VLAN list on ifname eth1 failed\n", -1,
                  "qz_dcd_get_default_route_vlan"},
             Step{"interface eth1 l2-default-route vlan 5", "", -4,
                  "qz_dcd_set_default_route_vlan"},
         }) {
        SCOPED_TRACE(s.fault);
        ap.fault(s.fault, -4, 1);
        Ran r = cmd(s.line);
        EXPECT_EQ(r.out, s.out);
        EXPECT_EQ(r.rc, s.rc);
        ap.fault_clear();
    }
    EXPECT_NE(ap.log().find("FED: get type of interface eth1 error!"), std::string::npos);
    EXPECT_EQ(cmd("show interface eth9 l2-default-route").rc, -1);
}

// ---- FE filters: the FE's 52-byte record, byte by byte.

std::vector<std::uint8_t> fe_ff(testap::LocalAp& ap, std::uint32_t id) {
    std::lock_guard lock(ap.core().mu);
    for (const fem::FfRecord& r : ap.core().fe.ffs)
        if (wire::load_h<std::uint32_t>(r.data()) == id) return {r.begin(), r.end()};
    return {};
}

class FeFilter : public ApTest {};

// The record's id, flag bits and destination port; the rest zero.
std::vector<std::uint8_t> ff_record(std::uint32_t id, std::uint16_t flags, std::uint16_t dport) {
    std::vector<std::uint8_t> r(52, 0);
    wire::store_h<std::uint32_t>(r.data(), id);
    wire::store_h<std::uint16_t>(r.data() + 4, flags);
    wire::store_h<std::uint16_t>(r.data() + 32, dport);
    return r;
}

TEST_F(FeFilter, FieldsLandAtTheirOffsetsWithTheirFlags) {
    std::uint32_t eth1 = qz_if_nametoindex("eth1");
    // The destination MAC is in the record but its flag bit is cleared: ignored.
    Ran r =
        cmd("forwarding-engine filter id 5 src-mac 00:11:22:33:44:55 dst-mac 09:09:09:09:09:09 "
            "etype 0x800 incoming-interface eth1 src-ip 10.1.2.3 dst-port 80 bidirectional",
            [](auto& rec) { set_flags(rec, load32(rec, 0) & ~4u); });
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "");
    std::vector<std::uint8_t> want = ff_record(5, 0x1 | 0x4 | 0x2 | 0x200 | 0x10 | 0x100, 80);
    wire::store_h<std::uint16_t>(want.data() + 6, 0x0800);
    const std::vector<std::uint8_t> smac = {0, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::copy(smac.begin(), smac.end(), want.begin() + 8);
    want[20] = 10, want[21] = 1, want[22] = 2, want[23] = 3, want[29] = 1;
    wire::store_h<std::uint32_t>(want.data() + 36, eth1);
    EXPECT_EQ(fe_ff(ap, 5), want);
    auto calls = ap.fe_calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().text, "fe_add_ff");
    EXPECT_EQ(calls.back().args, want);

    // An update keeps the fields the filter had.
    EXPECT_EQ(cmd("forwarding-engine filter id 5 outgoing-interface agg0 protocol 6").rc, 0);
    std::vector<std::uint8_t> now = fe_ff(ap, 5);
    EXPECT_EQ(wire::load_h<std::uint16_t>(now.data() + 4),
              0x1 | 0x4 | 0x2 | 0x200 | 0x10 | 0x100 | 0x40 | 0x400);
    EXPECT_EQ(now[28], 6);
    EXPECT_EQ(wire::load_h<std::uint32_t>(now.data() + 40), qz_if_nametoindex("agg0"));
    EXPECT_EQ(std::vector<std::uint8_t>(now.begin() + 8, now.begin() + 14), smac);

    run_steps(ap, {{"show forwarding-engine filter",
                    "id 5 src-mac 00:11:22:33:44:55 etype 0x800 incoming-interface eth1 "
                    "outgoing-interface agg0 src-ip 10.1.2.3 protocol 6 dst-port 80 "
                    "bidirectional\n"}});
}

TEST_F(FeFilter, RefusalsNameWhatIsWrong) {
    const char* range = "ERROR: ID out of range, valid range is [1, 1023]\n";
    // The set handler given the "no" type.
    Ran r = cmd("forwarding-engine filter id 5 src-mac 00:00:00:00:00:00", {}, QZ_CMD_TYPE_NO);
    EXPECT_EQ(r.out, "ERROR: No FE filter ID input!\n");
    EXPECT_EQ(r.rc, -1);
    // A delete whose id flag is missing.
    EXPECT_TRUE(clitest::printed(
        cmd("no forwarding-engine filter id 5", [](auto& rec) { set_flags(rec, 0); }),
        "ERROR: No FE filter ID input!\n", -1));
    run_steps(ap,
              {
                  {"forwarding-engine filter id 5", "ERROR: can't set an empty FE filter!\n", -1},
                  {"forwarding-engine filter id 0 protocol 6", range, -1},
                  {"forwarding-engine filter id 1024 protocol 6", range, -1},
                  {"forwarding-engine filter id 5 incoming-interface nope0",
                   "ERROR: Invalid interface name nope0\n", -1},
                  {"no forwarding-engine filter id 9", "ERROR: Del FE filter 9 failed!\n", -1},
                  {"forwarding-engine filter id 2000 dhcp-client 00:00:00:00:00:00", range, -1},
              });
    std::lock_guard lock(ap.core().mu);
    EXPECT_TRUE(ap.core().fe.ffs.empty());
}

TEST_F(FeFilter, DhcpClientFiltersStayApart) {
    const char* dhcp = "forwarding-engine filter id 7 dhcp-client aa:bb:cc:00:00:01";
    EXPECT_EQ(cmd(dhcp).rc, 0);
    std::vector<std::uint8_t> want = ff_record(7, 0x1 | 0x800 | 0x40 | 0x100, 67);
    want[28] = 17, want[29] = 1;
    want[44] = 0xaa, want[45] = 0xbb, want[46] = 0xcc, want[49] = 1;
    EXPECT_EQ(fe_ff(ap, 7), want);
    EXPECT_EQ(cmd(std::string("no ") + dhcp).rc, 0);  // does nothing
    EXPECT_EQ(fe_ff(ap, 7), want);

    run_steps(ap, {
                      {"forwarding-engine filter id 7 dst-port 53",
                       "ERROR: can't update ff id 7 because dhcp-client MAC is set\n", -1},
                      {"forwarding-engine filter id 3 dst-port 53", ""},
                      {"forwarding-engine filter id 3 dhcp-client aa:bb:cc:00:00:01",
                       "ERROR: can't set dhcp-client MAC on the old ff id 3\n", -1},
                      {"show forwarding-engine filter",
                       "id 3 dst-port 53\nid 7 dhcp-client aa:bb:cc:00:00:01\n"},
                      {"no forwarding-engine filter id 3", ""},
                      {"no forwarding-engine filter id 7", ""},
                      {"show forwarding-engine filter", ""},
                  });
}

TEST_F(FeFilter, ShowFailuresAndUnknownInterfaces) {
    run_steps(
        ap, {
                {"forwarding-engine filter id 4 protocol 47", ""},
                {"show forwarding-engine filter", "show FE filter failed!\n", -1,
                 "fe_get_current_ff_cnt"},
                {"show forwarding-engine filter", "show FE filter failed!\n", -1, "fe_get_ff_list"},
                {"forwarding-engine filter id 4 src-port 1000", "ERROR: Set FE filter 4 failed!\n",
                 -1, "fe_add_ff"},
                {"forwarding-engine filter id 8 dhcp-client 00:00:00:00:00:00",
                 "ERROR: Set FE filter 8 failed!\n", -1, "fe_add_ff"},
            });
    // An interface gone since the filter was set shows as N/A.
    {
        std::lock_guard lock(ap.core().mu);
        fem::FfRecord& f = ap.core().fe.ffs.at(0);
        wire::store_h<std::uint16_t>(f.data() + 4, 0x1 | 0x40 | 0x400);
        wire::store_h<std::uint32_t>(f.data() + 40, 999);
    }
    run_steps(ap, {{"show forwarding-engine filter", "id 4 outgoing-interface N/A protocol 47\n"}});
    EXPECT_NE(ap.log().find("invalid ifindex : 999"), std::string::npos);
}

}  // namespace
