// IP policies: named, ordered lists of IPv4 firewall rules, each one FE
// access-control group. A rule names its source and destination by address
// (with a mask) or by host name; the log forms are separate commands.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

// The parts every rule command shares, in the order they are typed.
#define QZ_IPPOL_HEAD "#0 ip-policy <NAME:str/33@12> [id <ID:u32@52 1-1023> =1@48 #1] "
#define QZ_IPPOL_FROM                                                                        \
    "[from (<FROM:ip@104> =6@100 [<FROM-MASK:mask@172> #5] | <FROM-HOST:str/65@104>) =1@96 " \
    "#4] "
#define QZ_IPPOL_TO \
    "[to (<TO:ip@184> =6@180 [<TO-MASK:mask@252> #7] | <TO-HOST:str/65@184>) =1@176 #6] "
#define QZ_IPPOL_POS "[<WHERE:{before|after}/36@56> id <REF:u32@92 1-1023> #2]"

inline constexpr CmdRow kRowsIpPolicy[] = {
    {919,
     QZ_IPPOL_HEAD QZ_IPPOL_FROM QZ_IPPOL_TO "[service <SERVICE:str/33@260> =1@256 #8] [action "
                                             "<ACTION:str/36@300> =1@296 #9] " QZ_IPPOL_POS,
     336, NoForm::None, "create an IP policy, or add, replace or move one of its rules"},
    {925,
     QZ_IPPOL_HEAD QZ_IPPOL_FROM "to local-subnet [service <SERVICE:str/33@180> =1@176 #6] "
                                 "[action <ACTION:str/33@220> =1@216 #7] " QZ_IPPOL_POS,
     256, NoForm::None, "a rule towards the access point's own subnet"},
    {921,
     QZ_IPPOL_HEAD QZ_IPPOL_FROM QZ_IPPOL_TO
     "[service <SERVICE:str/33@260> =1@256 #8] action permit log "
     "[<OPTION:{initiate-session|terminate-session}/35@293> #9] " QZ_IPPOL_POS,
     328, NoForm::None, "a permit rule that logs its sessions"},
    {920,
     QZ_IPPOL_HEAD QZ_IPPOL_FROM QZ_IPPOL_TO
     "[service <SERVICE:str/33@260> =1@256 #8] action deny log packet-drop " QZ_IPPOL_POS,
     328, NoForm::None, "a deny rule that logs the dropped packets"},
    {922,
     QZ_IPPOL_HEAD QZ_IPPOL_FROM QZ_IPPOL_TO
     "[service <SERVICE:str/33@260> =1@256 #8] action inter-station-traffic-drop log "
     "[<OPTION:{initiate-session|terminate-session}/35@293> #9] " QZ_IPPOL_POS,
     328, NoForm::None, "a rule dropping traffic between stations, logged"},
    {923, "#0 ip-policy <NAME:str/33@12> [id <ID:u32@52 1-1023> =1@48 #1 [log =1@56 #2]]", 60,
     NoForm::Only, "delete an IP policy, one of its rules, or a rule's logging"},
    {939, "show ip-policy", 12, NoForm::None, "the IP policies"},
    {937, "show ip-policy <NAME:str/33@12>", 48, NoForm::None,
     "the rules of an IP policy as configured, and whether each is in the FE"},
    {940,
     "show ip-policy <NAME:str/36@12> fe [from <SRC:ip@52> <SRC-MASK:mask@56> =1@48 #1] "
     "[to <DST:ip@64> <DST-MASK:mask@68> =1@60 #2] [service <SERVICE:str/36@76> =1@72 #3] "
     "[action <ACTION:str/36@116> =1@112 #4] [limit <N:u32@156 1-1016> =1@152 #5]",
     160, NoForm::None, "the FE rules of an IP policy, optionally only those matching"},
    {933,
     "#0 user-profile <NAME:str/33@12> ip-policy [from-access <FROM:str/33@52> =1@48 #1] "
     "[to-access <TO:str/33@92> =1@88 #2]",
     128, NoForm::Also, "bind IP policies to a user profile (no: unbind both directions)"},
    {934, "#0 user-profile <NAME:str/33@12> ip-policy <DIR:{from-access|to-access}/35@45>", 80,
     NoForm::Only, "unbind one direction's IP policy from a user profile"},
    {936, "#0 #1 user-profile <NAME:str/33@12> default-ip-action <ACTION:str/35@45>", 80,
     NoForm::None, "action for a profile's traffic that no bound rule matches"},
    {936, "#0 user-profile <NAME:str/33@12> default-ip-action", 80, NoForm::Only,
     "default IP action back to deny"},
    {944, "#0 #1 user-profile <NAME:str/33@12> deny <{ipv4|ipv6}/35@45>", 80, NoForm::Also,
     "drop all IPv4 or all IPv6 traffic of a user profile (no: neither)"},
    {938,
     "#0 show user-profile (id <ID:u32@16 0-255> =2@12 | <NAME:str/33@16> =1@12) ip-policy "
     "[<DIR:{from-access|to-access}/36@52> #1] "
     "[from <SRC:ip@96> <SRC-MASK:mask@132> =1@88 #2] [to <DST:ip@144> <DST-MASK:mask@180> =1@136 "
     "#3] [service <SERVICE:str/36@188> =1@184 #4] [action <ACTION:str/36@228> =1@224 #5] "
     "[limit <N:u32@268 1-1016> =1@264 #6]",
     272, NoForm::None,
     "a user profile's default IP action and the FE rules of its bound policies, optionally "
     "only those matching"},
    {941, "show ip-policy <NAME:str/33@12> mapping", 48, NoForm::None,
     "the policy table and one policy's stored rules with their FE rule ids (debugging)"},
};

#undef QZ_IPPOL_HEAD
#undef QZ_IPPOL_FROM
#undef QZ_IPPOL_TO
#undef QZ_IPPOL_POS

}  // namespace cmdtbl
