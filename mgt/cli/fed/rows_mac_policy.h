// MAC policies: named, ordered lists of layer-2 rules matching source and
// destination MACs under a 0, 24 or 48-bit mask; their binding to user
// profiles, the default MAC action, and the IPv6 router-advertisement guard
// and DHCPv6 shield switches.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

// The parts every rule command shares, in the order they are typed.
#define QZ_MACPOL_HEAD "#0 mac-policy <NAME:str/33@12> [id <ID:u32@52 1-1023> #1] "
#define QZ_MACPOL_FROM "[from <FROM:mac@100> [<FROM-MASK:u32@108 0-48> #5] #4] "
#define QZ_MACPOL_TO "[to <TO:mac@116> [<TO-MASK:u32@124 0-48> #7] #6] "
#define QZ_MACPOL_POS "[<WHERE:{before|after}/36@56> id <REF:u32@92 1-1023> #2]"

inline constexpr CmdRow kRowsMacPolicy[] = {
    {924,
     QZ_MACPOL_HEAD QZ_MACPOL_FROM QZ_MACPOL_TO
     "[action <ACTION:{permit|deny}/36@132> #8] " QZ_MACPOL_POS,
     168, NoForm::None, "create a MAC policy, or add, replace or move one of its rules"},
    {926, QZ_MACPOL_HEAD QZ_MACPOL_FROM QZ_MACPOL_TO "action deny log packet-drop " QZ_MACPOL_POS,
     168, NoForm::Also, "a deny rule that logs the dropped frames"},
    {927,
     QZ_MACPOL_HEAD QZ_MACPOL_FROM QZ_MACPOL_TO
     "action permit log [<OPTION:{initiate-session|terminate-session}/36@128> #8] " QZ_MACPOL_POS,
     168, NoForm::Also, "a permit rule that logs its sessions"},
    {928, "#0 mac-policy <NAME:str/33@12> [id =1@48 <ID:u32@52 1-1023> #1 [log =1@56 #2]]", 60,
     NoForm::Only, "delete a MAC policy, one of its rules, or a rule's logging"},
    {932, "show mac-policy", 12, NoForm::None, "the MAC policies"},
    {930,
     "show mac-policy <NAME:str/36@12> [from <SRC:mac@52> [<SRC-MASK:u32@60 0-48> #2] #1] "
     "[to <DST:mac@68> [<DST-MASK:u32@76 0-48> #4] #3] [action <ACTION:{permit|deny}/36@84> #5] "
     "[limit <N:u32@124 1-32> #6]",
     128, NoForm::None, "the rules of a MAC policy, optionally only those matching"},
    {931,
     "show user-profile (id <ID:u32@16 0-255> =2@12 | <NAME:str/36@16> =1@12) mac-policy "
     "[<DIR:{from-access|to-access}/40@52> #1] [from <SRC:mac@92> [<SRC-MASK:u32@100 0-48> #3] "
     "#2] [to <DST:mac@108> [<DST-MASK:u32@116 0-48> #5] #4] "
     "[action <ACTION:{permit|deny}/40@124> #6] [limit <N:u32@164 1-32> #7]",
     168, NoForm::None, "a user profile's default MAC action and bound MAC policies"},
    {942,
     "#0 user-profile <NAME:str/33@12> mac-policy [from-access =1@48 <FROM:str/33@52> #1] "
     "[to-access =1@88 <TO:str/33@92> #2]",
     128, NoForm::Also, "bind MAC policies to a user profile (no: unbind both directions)"},
    {943, "#0 user-profile <NAME:str/33@12> mac-policy <DIR:{from-access|to-access}/35@45>", 80,
     NoForm::Only, "unbind one direction's MAC policy from a user profile"},
    {929, "#0 #1 user-profile <NAME:str/33@12> default-mac-action <ACTION:str/35@45>", 80,
     NoForm::None, "action for a profile's frames that no bound MAC rule matches"},
    {929, "#0 user-profile <NAME:str/33@12> default-mac-action", 80, NoForm::Only,
     "default MAC action back to deny"},
    {945, "ipv6 router-advertisement-guard", 12, NoForm::Also,
     "drop IPv6 router advertisements from stations (no: let them through)"},
    {946, "ipv6 dhcpv6-shield", 12, NoForm::Also,
     "drop DHCPv6 server messages from stations (no: let them through)"},
};

#undef QZ_MACPOL_HEAD
#undef QZ_MACPOL_FROM
#undef QZ_MACPOL_TO
#undef QZ_MACPOL_POS

}  // namespace cmdtbl
