// Forwarding-engine settings: switches, limits, multicast lists, MSS, PMTU,
// default-route VLANs and FE filters.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

inline constexpr CmdRow kRowsFeSettings[] = {
    {788, "forwarding-engine enable", 12, NoForm::Also,
     "switch the forwarding engine on (no: off)"},
    {789, "forwarding-engine session-sync-vlan", 12, NoForm::Also,
     "synchronise sessions over the session-sync VLAN"},
    {790, "ip proxy-arp", 12, NoForm::Also, "answer ARP requests for stations"},
    {791, "ip proxy-arp enhanced", 12, NoForm::Also, "enhanced proxy ARP"},
    {792, "ip proxy-arp strict", 12, NoForm::Also, "strict proxy ARP"},
    {797, "forwarding-engine inter-ssid-flood", 12, NoForm::Also,
     "flood broadcast and multicast traffic between SSIDs"},
    {768, "show forwarding-engine inter-ssid-flood", 12, NoForm::None,
     "whether traffic floods between SSIDs"},
    {794, "#0 forwarding-engine log <{firewall-dropped-packets|to-self-sessions}/36@12>", 48,
     NoForm::Also, "log dropped packets or to-self sessions"},
    {795,
     "#0 forwarding-engine drop <{ip-fragmented-packets|to-self-non-management-traffic}/36@12>", 48,
     NoForm::Also, "drop IP fragments or non-management to-self traffic"},
    {796, "show forwarding-engine icsa", 12, NoForm::None, "the logging and dropping switches"},
    {798,
     "#0 #1 forwarding-engine virtual-wire <IF:str/40@16> <IF:str/40@56> [mac <MAC:mac@96> #2]",
     104, NoForm::None, "join two interfaces into a virtual wire"},
    {963, "forwarding-engine max-ip-sessions-per-station <N:u32@12 0-65535>", 16, NoForm::None,
     "limit the IP sessions of each station"},
    {963, "forwarding-engine max-ip-sessions-per-station", 16, NoForm::Only,
     "no limit on the IP sessions of a station"},
    {964, "forwarding-engine max-mac-sessions-per-station <N:u32@12 0-65535>", 16, NoForm::None,
     "limit the MAC sessions of each station"},
    {964, "forwarding-engine max-mac-sessions-per-station", 16, NoForm::Only,
     "no limit on the MAC sessions of a station"},
    {965, "show forwarding-engine max-ip-sessions-per-station", 12, NoForm::None,
     "the IP session limit of a station"},
    {966, "show forwarding-engine max-mac-sessions-per-station", 12, NoForm::None,
     "the MAC session limit of a station"},
    {979, "forwarding-engine notification-interval <SECONDS:u32@12 1-65535>", 16, NoForm::None,
     "how often the FE reports"},
    {979, "forwarding-engine notification-interval", 16, NoForm::Only,
     "notification interval back to 600 seconds"},
    {980, "show forwarding-engine notification-interval", 12, NoForm::None,
     "the FE's notification interval"},
    {983,
     "#0 #1 forwarding-engine mac-session-refresh-time <{unicast|broadcast}/36@12> "
     "<SECONDS:u32@48 1-65535>",
     52, NoForm::None, "refresh time of unicast or broadcast MAC sessions"},
    {984, "show forwarding-engine mac-session-refresh-time", 12, NoForm::None,
     "the MAC session refresh times"},
    {985, "ip multicast tunnel block-all", 12, NoForm::Also,
     "block tunnelled multicast but the allow list (no: allow all but the block list)"},
    {986,
     "#0 ip multicast tunnel block (<A.B.C.D:ip@16> =6@12 =0xFFFFFFFF@20 | <A.B.C.D:ip@16> "
     "<MASK:mask@20> =23@12)",
     24, NoForm::Also, "block list entry of allow-all mode"},
    {987,
     "#0 ip multicast tunnel allow (<A.B.C.D:ip@16> =6@12 =0xFFFFFFFF@20 | <A.B.C.D:ip@16> "
     "<MASK:mask@20> =23@12)",
     24, NoForm::Also, "allow list entry of block-all mode"},
    {988, "show ip multicast tunnel", 12, NoForm::None, "tunnel multicast mode and list"},
    {989, "ip tcp-mss-threshold", 12, NoForm::Also, "clamp the TCP MSS of tunnelled traffic"},
    {990, "ip tcp-mss-threshold size <SIZE:u32@12 64-1460>", 16, NoForm::None,
     "TCP MSS threshold in bytes"},
    {990, "ip tcp-mss-threshold size", 16, NoForm::Only, "TCP MSS threshold chosen automatically"},
    {991, "show ip tcp-mss-threshold", 12, NoForm::None, "the TCP MSS threshold"},
    {992, "show forwarding-engine registered-ports", 12, NoForm::None,
     "to-self ports kept open when non-management traffic is dropped"},
    {995,
     "#0 interface <IF:str/36@12> l2-default-route vlan <VLAN:u32@48 1-4094> #1 "
     "[to <VLAN:u32@56 1-4094> #2]",
     60, NoForm::Also, "layer-2 default-route VLANs of a backhaul interface"},
    {995, "#0 interface <IF:str/36@12> l2-default-route", 60, NoForm::Only,
     "no layer-2 default-route VLAN on the interface"},
    {996, "#0 show interface <IF:str/36@12> l2-default-route", 48, NoForm::None,
     "layer-2 default-route VLANs of an interface"},
    {997, "ip path-mtu-discovery", 12, NoForm::Also, "path MTU discovery"},
    {998, "show ip path-mtu-discovery", 12, NoForm::None, "whether path MTU discovery is on"},
    {1020,
     "forwarding-engine filter id <ID:u32@16> #0 [src-mac <MAC:mac@24> #1] "
     "[dst-mac <MAC:mac@36> #2] [etype <TYPE:hex@48 0-65535> #3] "
     "[<DIRECTION:{incoming-interface|outgoing-interface}/40@52> <IF:str/40@92> #4] "
     "[src-ip <A.B.C.D:ip@132> #6] [dst-ip <A.B.C.D:ip@140> #7] [protocol <PROTO:u32@148 0-255> "
     "#8] "
     "[dst-port <PORT:u32@164 0-65535> #10] [src-port <PORT:u32@156 0-65535> #9] "
     "[bidirectional =1@168 #11]",
     172, NoForm::None, "set or update FE filter fields"},
    {1021, "#0 forwarding-engine filter id <ID:u32@12>", 16, NoForm::Only, "delete an FE filter"},
    {1022, "forwarding-engine filter id <ID:u32@16> #0 dhcp-client <MAC:mac@20> #1", 28,
     NoForm::Also, "FE filter of one DHCP client"},
    {1023, "show forwarding-engine filter", 12, NoForm::None, "the FE filters"},
};

}  // namespace cmdtbl
