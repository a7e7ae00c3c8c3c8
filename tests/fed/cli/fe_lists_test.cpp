// Tunnel multicast lists, default-route VLAN maps and FE filters: what the FE
// and the configuration library hold after each command, what shows print,
// and the refusals.
#include <gtest/gtest.h>

#include "fed/cli/qz_fed_cli.h"
#include "platform/fe.h"
#include "tests/fed/cli/cli_support.h"

namespace {

using namespace clitest;

// ---- tunnel multicast

Rec single(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return Rec(24).flags(1).word(12, 6).ip(16, a, b, c, d);
}
Rec masked(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d, std::uint8_t m3) {
    return Rec(24).flags(1).word(12, 23).ip(16, a, b, c, d).ip(20, 255, 255, 255, m3);
}

std::uint32_t ipv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    std::uint8_t q[4] = {a, b, c, d};
    return wire::load_h<std::uint32_t>(q);
}

class Multicast : public ApTest {
   protected:
    std::vector<fem::McastEntry> list() {
        std::lock_guard lock(ap.core().mu);
        return ap.core().fe.mcast;
    }
};

TEST_F(Multicast, EntriesAreMaskedAndMustBeMulticast) {
    Ran r = run(qz_fed_cli_mcast_block, 986, kPlain, masked(224, 1, 1, 1, 0));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "");
    auto l = list();
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].addr, ipv4(224, 1, 1, 0));
    EXPECT_EQ(l[0].mask, ipv4(255, 255, 255, 0));

    // A single address carries an all-ones mask whatever the record holds at 20.
    EXPECT_EQ(run(qz_fed_cli_mcast_block, 986, kPlain, single(239, 9, 9, 9).ip(20, 1, 2, 3, 4)).rc,
              0);
    EXPECT_EQ(list().at(1).mask, 0xFFFFFFFFu);

    for (const Rec& bad :
         {single(10, 0, 0, 1), masked(223, 255, 255, 255, 255), masked(240, 0, 0, 1, 0)}) {
        r = run(qz_fed_cli_mcast_block, 986, kPlain, bad);
        EXPECT_EQ(r.out, "Please enter a Multicast IP address.\n");
        EXPECT_EQ(r.rc, 0x30080);
    }
    EXPECT_EQ(list().size(), 2u);

    EXPECT_EQ(run(qz_fed_cli_mcast_show, 988, kPlain).out,
              "Tunnel IP multicast forwarding: allow-all except following\n"
              "\tblock 224.1.1.0[255.255.255.0]\n"
              "\tblock 239.9.9.9[255.255.255.255]\n");

    EXPECT_EQ(run(qz_fed_cli_mcast_block, 986, kNo, masked(224, 1, 1, 77, 0)).rc, 0);
    EXPECT_EQ(list().size(), 1u);
}

TEST_F(Multicast, ModeAndListGoTogether) {
    EXPECT_EQ(run(qz_fed_cli_mcast_show, 988, kPlain).out,
              "Tunnel IP multicast forwarding: allow-all \n");
    Ran r = run(qz_fed_cli_mcast_allow, 987, kPlain, single(224, 0, 0, 5));
    EXPECT_EQ(r.out, "Currently it's allow-all state. Can't configure allow list.\n");
    EXPECT_EQ(r.rc, 0x30080);

    run(qz_fed_cli_mcast_block, 986, kPlain, single(224, 0, 0, 5));
    r = run(qz_fed_cli_mcast_block_all, 985, kPlain);
    EXPECT_EQ(r.out, "Please unconfigure all entries in block list before block all.\n");
    EXPECT_EQ(r.rc, 0x3007F);
    EXPECT_EQ(ap.fe_value(122), 0u);

    run(qz_fed_cli_mcast_block, 986, kNo, single(224, 0, 0, 5));
    EXPECT_EQ(run(qz_fed_cli_mcast_block_all, 985, kPlain).rc, 0);
    EXPECT_EQ(ap.fe_value(122), 1u);
    r = run(qz_fed_cli_mcast_block, 986, kPlain, single(224, 0, 0, 5));
    EXPECT_EQ(r.out, "Currently it's block-all state. Can't configure block list.\n");
    EXPECT_EQ(run(qz_fed_cli_mcast_allow, 987, kPlain, single(239, 1, 2, 3)).rc, 0);
    EXPECT_EQ(run(qz_fed_cli_mcast_show, 988, kPlain).out,
              "Tunnel IP multicast forwarding: block-all except following\n"
              "\tallow 239.1.2.3[255.255.255.255]\n");

    r = run(qz_fed_cli_mcast_block_all, 985, kNo);
    EXPECT_EQ(r.out,
              "Please unconfigure all entries in allow list before unconfigure block all.\n");
    EXPECT_EQ(r.rc, 0x3007F);
    run(qz_fed_cli_mcast_allow, 987, kNo, single(239, 1, 2, 3));
    EXPECT_EQ(run(qz_fed_cli_mcast_block_all, 985, kNo).rc, 0);
    EXPECT_EQ(ap.fe_value(122), 0u);
}

TEST_F(Multicast, FailuresOfTheFe) {
    struct Case {
        const char* name;
        Handler h;
        std::uint32_t cmd;
        std::uint32_t type;
        Rec rec;
        const char* fault;
        const char* out;
        int rc;
    } cases[] = {
        {"mode read", qz_fed_cli_mcast_block, 986, kPlain, single(224, 0, 0, 1),
         "fe_get_tunnel_multicast_status_size", "Unable to get tunnel IP multicast status\n",
         0x30081},
        {"mode read, block-all", qz_fed_cli_mcast_block_all, 985, kPlain, Rec(12),
         "fe_get_tunnel_multicast_status_size", "Unable to get tunnel IP multicast status\n",
         0x30081},
        {"mode read, show", qz_fed_cli_mcast_show, 988, kPlain, Rec(12),
         "fe_get_tunnel_multicast_status_size", "Unable to get tunnel IP multicast status\n",
         0x30081},
        {"list write", qz_fed_cli_mcast_block, 986, kPlain, single(224, 0, 0, 1),
         "fe_set_tunnel_multicast_list", "Unable to set tunnel multicast IP list.\n", 0x30080},
        {"mode write", qz_fed_cli_mcast_block_all, 985, kNo, Rec(12), "fe_set_boolean_value:122",
         "Unable to set tunnel IP multicast forwarding mode.\n", 0x3007F},
        {"list read", qz_fed_cli_mcast_show, 988, kPlain, Rec(12), "fe_get_tunnel_multicast_list",
         "Tunnel IP multicast forwarding: allow-all except following\n"
         "Unable to get tunnel IP multicast list!\n",
         0x30081},
    };
    run(qz_fed_cli_mcast_block, 986, kPlain, single(224, 0, 0, 9));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ap.fault(c.fault, -1, 1);
        Ran r = run(c.h, c.cmd, c.type, c.rec);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.rc, c.rc);
        ap.fault_clear();
    }
    EXPECT_EQ(list().size(), 1u);
    EXPECT_EQ(ap.fe_value(122), 0u);
}

// ---- default-route VLANs

Rec vlan(const char* ifname, std::uint32_t start = 0, std::uint32_t end = 0) {
    Rec r = Rec(60).text(12, ifname);
    std::uint32_t flags = 1;
    if (start) {
        flags |= 2;
        r.word(48, start);
    }
    if (end) {
        flags |= 4;
        r.word(56, end);
    }
    return r.flags(flags);
}

Ran show_vlans(const char* ifname) {
    return run(qz_fed_cli_route_vlan_show, 996, kPlain, Rec(48).flags(1).text(12, ifname));
}

class RouteVlan : public ApTest {
   protected:
    std::size_t allow_updates() {
        std::lock_guard lock(ap.core().mu);
        return ap.core().dcd_fe.allow_vlan_updates.size();
    }
};

TEST_F(RouteVlan, SingleVlanShowsAsOneItemAndTheLastRemovalEmptiesTheMap) {
    EXPECT_EQ(show_vlans("eth1").out, "No L2 default route VLAN is configured on eth1\n");
    Ran r = run(qz_fed_cli_route_vlan, 995, kPlain, vlan("eth1", 100, 100));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "");
    r = show_vlans("eth1");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "L2 default route VLANs on eth1:\n100  ");

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

    EXPECT_EQ(run(qz_fed_cli_route_vlan, 995, kNo, vlan("eth1", 100)).rc, 0);
    EXPECT_EQ(show_vlans("eth1").out, "No L2 default route VLAN is configured on eth1\n");
    EXPECT_EQ(allow_updates(), 2u);
}

TEST_F(RouteVlan, RunsAndLineBreaks) {
    // Ten singles, then a range counting as two: the line breaks after the
    // count passes nine, and no line end comes last.
    for (std::uint32_t v = 2; v <= 20; v += 2)
        run(qz_fed_cli_route_vlan, 995, kPlain, vlan("eth1", v));
    run(qz_fed_cli_route_vlan, 995, kPlain, vlan("eth1", 100, 110));
    run(qz_fed_cli_route_vlan, 995, kPlain, vlan("eth1", 4094));
    EXPECT_EQ(show_vlans("eth1").out,
              "L2 default route VLANs on eth1:\n"
              "2    4    6    8    10   12   14   16   18   20   \n"
              "100-110  4094 ");

    // Removing the middle of a run splits it; removing what is not there changes nothing.
    run(qz_fed_cli_route_vlan, 995, kNo, vlan("eth1", 104, 105));
    std::size_t updates = allow_updates();
    EXPECT_EQ(run(qz_fed_cli_route_vlan, 995, kNo, vlan("eth1", 300, 400)).rc, 0);
    EXPECT_EQ(allow_updates(), updates);
    EXPECT_EQ(show_vlans("eth1").out,
              "L2 default route VLANs on eth1:\n"
              "2    4    6    8    10   12   14   16   18   20   \n"
              "100-103  106-110  4094 ");
    // Setting what is set changes nothing either.
    EXPECT_EQ(run(qz_fed_cli_route_vlan, 995, kPlain, vlan("eth1", 2)).rc, 0);
    EXPECT_EQ(allow_updates(), updates);

    // The no form without a VLAN clears the whole map.
    EXPECT_EQ(run(qz_fed_cli_route_vlan, 995, kNo, vlan("eth1")).rc, 0);
    EXPECT_EQ(show_vlans("eth1").out, "No L2 default route VLAN is configured on eth1\n");
}

TEST_F(RouteVlan, RefusalsInTheirOrder) {
    std::uint32_t eth1 = qz_if_nametoindex("eth1");
    std::uint32_t agg0 = qz_if_nametoindex("agg0");
    ASSERT_EQ(run(qz_fed_cli_route_vlan, 995, kPlain, vlan("eth1", 100, 110)).rc, 0);
    struct Case {
        const char* name;
        Rec rec;
        const char* out;
        int rc;
    } cases[] = {
        {"eth0", vlan("eth0", 5, 1), "Error: This command is not applicable to the eth0 interface",
         0x30032},
        {"end below start", vlan("agg0", 20, 10),
         "The end of the vlan ID range cannot be lower than the start.\n", 0x30008},
        {"unknown", vlan("eth9", 5), "", -1},
        {"access interface", vlan("wifi0.1", 5),
         "Error: interface wifi0.1 does not in Backhaul mode!\n", -1},
        {"overlap with eth1", vlan("agg0", 90, 100),
         "Error: default route vlan overlapped with other interface\n", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Ran r = run(qz_fed_cli_route_vlan, 995, kPlain, c.rec);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.rc, c.rc);
    }
    EXPECT_NE(log_text(ap).find("FED: get ifindex from ifname eth9 failed"), std::string::npos);
    EXPECT_EQ(run(qz_fed_cli_route_vlan, 995, kPlain, vlan("agg0", 111, 120)).rc, 0);
    // eth1 itself is not compared with its own map.
    EXPECT_EQ(run(qz_fed_cli_route_vlan, 995, kPlain, vlan("eth1", 105, 115)).rc, 0);

    {
        std::lock_guard lock(ap.core().mu);
        sim::ethx_change_locked(ap.core(), eth1)->bound = agg0;
    }
    Ran r = run(qz_fed_cli_route_vlan, 995, kPlain, vlan("eth1", 5));
    EXPECT_EQ(r.out, "Error: interface eth1 has alreday bound to agg0! \n");
    EXPECT_EQ(r.rc, -1);
}

TEST_F(RouteVlan, LibraryFailures) {
    struct Case {
        const char* name;
        const char* fault;
        Handler h;
        std::uint32_t cmd;
        Rec rec;
        const char* out;
        int rc;
    } cases[] = {
        {"binding", "qz_dcd_get_ethx_binding", qz_fed_cli_route_vlan, 995, vlan("eth1", 5),
         "Error: interface eth1 has alreday bound to ! \n", -1},
        {"type", "qz_dcd_get_dev_type", qz_fed_cli_route_vlan, 995, vlan("eth1", 5), "", -1},
        {"map", "qz_dcd_get_default_route_vlan", qz_fed_cli_route_vlan, 995, vlan("eth1", 5),
         "Error: get default route vlan list on ifname eth1 failed\n", -1},
        {"show map", "qz_dcd_get_default_route_vlan", qz_fed_cli_route_vlan_show, 996,
         Rec(48).flags(1).text(12, "eth1"),
         "Error: get default route VLAN list on ifname eth1 failed\n", -1},
        {"map write", "qz_dcd_set_default_route_vlan", qz_fed_cli_route_vlan, 995, vlan("eth1", 5),
         "", -4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ap.fault(c.fault, -4, 1);
        Ran r = run(c.h, c.cmd, kPlain, c.rec);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.rc, c.rc);
        ap.fault_clear();
    }
    EXPECT_NE(log_text(ap).find("FED: get type of interface eth1 error!"), std::string::npos);
    EXPECT_EQ(show_vlans("eth9").rc, -1);
}

// ---- FE filters

Rec ff(std::uint32_t id) {
    return Rec(172).flags(1).word(16, id);
}

std::vector<std::uint8_t> fe_ff(testap::LocalAp& ap, std::uint32_t id) {
    std::lock_guard lock(ap.core().mu);
    for (const fem::FfRecord& r : ap.core().fe.ffs)
        if (wire::load_h<std::uint32_t>(r.data()) == id) return {r.begin(), r.end()};
    return {};
}

class FeFilter : public ApTest {};

TEST_F(FeFilter, FieldsLandAtTheirOffsetsWithTheirFlags) {
    std::uint32_t eth1 = qz_if_nametoindex("eth1");
    Rec rec = ff(5)
                  .flags(1 | 2 | 8 | 16 | 64 | 1024)
                  .mac(24, {0, 0x11, 0x22, 0x33, 0x44, 0x55})
                  .word(48, 0x0800)
                  .text(52, "incoming-interface")
                  .text(92, "eth1")
                  .ip(132, 10, 1, 2, 3)
                  .word(164, 80)
                  .word(168, 1)
                  .mac(36, {9, 9, 9, 9, 9, 9});  // bit 2 not set: ignored
    Ran r = run(qz_fed_cli_ff_set, 1020, kPlain, rec);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "");
    std::vector<std::uint8_t> want(52, 0);
    wire::store_h<std::uint32_t>(want.data(), 5);
    wire::store_h<std::uint16_t>(want.data() + 4, 0x1 | 0x4 | 0x2 | 0x200 | 0x10 | 0x100);
    wire::store_h<std::uint16_t>(want.data() + 6, 0x0800);
    std::vector<std::uint8_t> smac = {0, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::copy(smac.begin(), smac.end(), want.begin() + 8);
    want[20] = 10;
    want[21] = 1;
    want[22] = 2;
    want[23] = 3;
    want[29] = 1;
    wire::store_h<std::uint16_t>(want.data() + 32, 80);
    wire::store_h<std::uint32_t>(want.data() + 36, eth1);
    EXPECT_EQ(fe_ff(ap, 5), want);
    auto calls = ap.fe_calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().text, "fe_add_ff");
    EXPECT_EQ(calls.back().args, want);

    // An update keeps the fields the filter had.
    EXPECT_EQ(
        run(qz_fed_cli_ff_set, 1020, kPlain,
            ff(5).flags(1 | 256 | 16).word(148, 6).text(52, "outgoing-interface").text(92, "agg0"))
            .rc,
        0);
    std::vector<std::uint8_t> now = fe_ff(ap, 5);
    EXPECT_EQ(wire::load_h<std::uint16_t>(now.data() + 4),
              0x1 | 0x4 | 0x2 | 0x200 | 0x10 | 0x100 | 0x40 | 0x400);
    EXPECT_EQ(now[28], 6);
    EXPECT_EQ(wire::load_h<std::uint32_t>(now.data() + 40), qz_if_nametoindex("agg0"));
    EXPECT_EQ(std::vector<std::uint8_t>(now.begin() + 8, now.begin() + 14), smac);

    EXPECT_EQ(run(qz_fed_cli_ff_show, 1023, kPlain).out,
              "id 5 src-mac 00:11:22:33:44:55 etype 0x800 incoming-interface eth1 "
              "outgoing-interface agg0 src-ip 10.1.2.3 protocol 6 dst-port 80 bidirectional\n");
}

TEST_F(FeFilter, RefusalsNameWhatIsWrong) {
    struct Case {
        const char* name;
        Handler h;
        std::uint32_t cmd;
        std::uint32_t type;
        Rec rec;
        const char* out;
    } cases[] = {
        {"no form", qz_fed_cli_ff_set, 1020, kNo, ff(5).flags(3),
         "ERROR: No FE filter ID input!\n"},
        {"id only", qz_fed_cli_ff_set, 1020, kPlain, ff(5),
         "ERROR: can't set an empty FE filter!\n"},
        {"id 0", qz_fed_cli_ff_set, 1020, kPlain, ff(0).flags(0x101).word(148, 6),
         "ERROR: ID out of range, valid range is [1, 1023]\n"},
        {"id 1024", qz_fed_cli_ff_set, 1020, kPlain, ff(1024).flags(0x101).word(148, 6),
         "ERROR: ID out of range, valid range is [1, 1023]\n"},
        {"interface", qz_fed_cli_ff_set, 1020, kPlain,
         ff(5).flags(0x11).text(52, "incoming-interface").text(92, "nope0"),
         "ERROR: Invalid interface name nope0\n"},
        {"delete without id", qz_fed_cli_ff_delete, 1021, kNo, Rec(16).word(12, 5),
         "ERROR: No FE filter ID input!\n"},
        {"delete missing", qz_fed_cli_ff_delete, 1021, kNo, Rec(16).flags(1).word(12, 9),
         "ERROR: Del FE filter 9 failed!\n"},
        {"dhcp id range", qz_fed_cli_ff_dhcp, 1022, kPlain, Rec(28).flags(3).word(16, 2000),
         "ERROR: ID out of range, valid range is [1, 1023]\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Ran r = run(c.h, c.cmd, c.type, c.rec);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.rc, -1);
    }
    std::lock_guard lock(ap.core().mu);
    EXPECT_TRUE(ap.core().fe.ffs.empty());
}

TEST_F(FeFilter, DhcpClientFiltersStayApart) {
    Rec dhcp = Rec(28).flags(3).word(16, 7).mac(20, {0xaa, 0xbb, 0xcc, 0, 0, 1});
    EXPECT_EQ(run(qz_fed_cli_ff_dhcp, 1022, kPlain, dhcp).rc, 0);
    std::vector<std::uint8_t> want(52, 0);
    wire::store_h<std::uint32_t>(want.data(), 7);
    wire::store_h<std::uint16_t>(want.data() + 4, 0x1 | 0x800 | 0x40 | 0x100);
    want[28] = 17;
    want[29] = 1;
    wire::store_h<std::uint16_t>(want.data() + 32, 67);
    want[44] = 0xaa;
    want[45] = 0xbb;
    want[46] = 0xcc;
    want[49] = 1;
    EXPECT_EQ(fe_ff(ap, 7), want);

    EXPECT_EQ(run(qz_fed_cli_ff_dhcp, 1022, kNo, dhcp).rc, 0);  // does nothing
    EXPECT_EQ(fe_ff(ap, 7), want);

    Ran r = run(qz_fed_cli_ff_set, 1020, kPlain, ff(7).flags(0x401).word(164, 53));
    EXPECT_EQ(r.out, "ERROR: can't update ff id 7 because dhcp-client MAC is set\n");
    EXPECT_EQ(r.rc, -1);
    run(qz_fed_cli_ff_set, 1020, kPlain, ff(3).flags(0x401).word(164, 53));
    r = run(qz_fed_cli_ff_dhcp, 1022, kPlain, Rec(dhcp).word(16, 3));
    EXPECT_EQ(r.out, "ERROR: can't set dhcp-client MAC on the old ff id 3\n");
    EXPECT_EQ(r.rc, -1);

    EXPECT_EQ(run(qz_fed_cli_ff_show, 1023, kPlain).out,
              "id 3 dst-port 53\n"
              "id 7 dhcp-client aa:bb:cc:00:00:01\n");
    EXPECT_EQ(run(qz_fed_cli_ff_delete, 1021, kNo, Rec(16).flags(1).word(12, 3)).rc, 0);
    EXPECT_EQ(run(qz_fed_cli_ff_delete, 1021, kNo, Rec(16).flags(1).word(12, 7)).rc, 0);
    r = run(qz_fed_cli_ff_show, 1023, kPlain);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.rc, 0);
}

TEST_F(FeFilter, ShowFailuresAndUnknownInterfaces) {
    run(qz_fed_cli_ff_set, 1020, kPlain, ff(4).flags(0x101).word(148, 47));
    for (const char* fault : {"fe_get_current_ff_cnt", "fe_get_ff_list"}) {
        SCOPED_TRACE(fault);
        ap.fault(fault, -1, 1);
        Ran r = run(qz_fed_cli_ff_show, 1023, kPlain);
        EXPECT_EQ(r.out, "show FE filter failed!\n");
        EXPECT_EQ(r.rc, -1);
    }
    ap.fault("fe_add_ff", -1, 1);
    Ran r = run(qz_fed_cli_ff_set, 1020, kPlain, ff(4).flags(0x201).word(156, 1000));
    EXPECT_EQ(r.out, "ERROR: Set FE filter 4 failed!\n");
    EXPECT_EQ(r.rc, -1);
    ap.fault("fe_add_ff", -1, 1);
    r = run(qz_fed_cli_ff_dhcp, 1022, kPlain, Rec(28).flags(3).word(16, 8));
    EXPECT_EQ(r.out, "ERROR: Set FE filter 8 failed!\n");

    // An interface gone since the filter was set shows as N/A.
    {
        std::lock_guard lock(ap.core().mu);
        fem::FfRecord& f = ap.core().fe.ffs.at(0);
        wire::store_h<std::uint16_t>(f.data() + 4, 0x1 | 0x40 | 0x400);
        wire::store_h<std::uint32_t>(f.data() + 40, 999);
    }
    EXPECT_EQ(run(qz_fed_cli_ff_show, 1023, kPlain).out,
              "id 4 outgoing-interface N/A protocol 47\n");
    EXPECT_NE(log_text(ap).find("invalid ifindex : 999"), std::string::npos);
}

}  // namespace
