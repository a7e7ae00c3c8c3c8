// QoS priority maps: priority/DSCP -> class, class -> marked priority/DSCP,
// named marker maps, and classification by MAC OUI and by interface.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

inline constexpr CmdRow kRowsQosMap[] = {
    {810, "#0 #1 qos classifier-map 8021p <PRIORITY:u32@12 0-255> <CLASS:u32@16 0-7>", 20,
     NoForm::None, "the class of an 802.1p priority"},
    {810, "#0 qos classifier-map 8021p <PRIORITY:u32@12 0-255>", 20, NoForm::Only,
     "the priority's class back to its default"},
    {812, "show qos classifier-map 8021p [<PRIORITY:u32@12 0-255> #0]", 16, NoForm::None,
     "the 802.1p class map, or one priority's class"},
    {813, "#0 #1 qos classifier-map 80211e <PRIORITY:u32@12 0-255> <CLASS:u32@16 0-7>", 20,
     NoForm::None, "the class of an 802.11e user priority"},
    {813, "#0 qos classifier-map 80211e <PRIORITY:u32@12 0-255>", 20, NoForm::Only,
     "the user priority's class back to its default"},
    {815, "show qos classifier-map 80211e [<PRIORITY:u32@12 0-255> #0]", 16, NoForm::None,
     "the 802.11e class map, or one user priority's class"},
    {816, "#0 #1 qos classifier-map diffserv <DSCP:u32@12 0-255> <CLASS:u32@16 0-7>", 20,
     NoForm::None, "the class of a DSCP value"},
    {816, "#0 qos classifier-map diffserv <DSCP:u32@12 0-255>", 20, NoForm::Only,
     "the DSCP value's class back to its default"},
    {818, "show qos classifier-map diffserv [<DSCP:u32@12 0-255> #0]", 16, NoForm::None,
     "the DSCP class map, or one value's class"},
    {850, "#0 #1 qos marker-map 8021p <CLASS:u32@12 0-255> <PRIORITY:u32@16 0-255>", 20,
     NoForm::None, "the 802.1p priority a class marks with"},
    {850, "#0 qos marker-map 8021p <CLASS:u32@12 0-255>", 20, NoForm::Only,
     "the class's 802.1p marking back to its default"},
    {852, "show qos marker-map 8021p", 12, NoForm::None, "the 802.1p marker map"},
    {853, "#0 #1 qos marker-map 80211e <CLASS:u32@12 0-255> <PRIORITY:u32@16 0-255>", 20,
     NoForm::None, "the 802.11e user priority a class marks with"},
    {853, "#0 qos marker-map 80211e <CLASS:u32@12 0-255>", 20, NoForm::Only,
     "the class's 802.11e marking back to its default"},
    {855, "show qos marker-map 80211e", 12, NoForm::None, "the 802.11e marker map"},
    {856, "#0 #1 qos marker-map diffserv <CLASS:u32@12 0-255> <DSCP:u32@16 0-63>", 20, NoForm::None,
     "the DSCP value a class marks with"},
    {856, "#0 qos marker-map diffserv <CLASS:u32@12 0-255>", 20, NoForm::Only,
     "the class's DSCP marking back to its default"},
    {858, "show qos marker-map diffserv", 12, NoForm::None, "the DSCP marker map"},
    {860,
     "#0 qos named-marker-map 8021p <NAME:str/33@12> "
     "[<CLASS:u32@48 0-7> #1 <PRIORITY:u32@52 0-7> #2]",
     56, NoForm::None, "make a named 802.1p marker map, or set a class's priority in it"},
    {859,
     "#0 qos named-marker-map diffserv <NAME:str/33@12> "
     "[<CLASS:u32@48 0-7> #1 <DSCP:u32@52 0-63> #2]",
     56, NoForm::None, "make a named DSCP marker map, or set a class's DSCP value in it"},
    {861,
     "#0 qos named-marker-map <KIND:{8021p=1|diffserv=2}@48> <NAME:str/33@12> "
     "[<CLASS:u32@52 0-7> #1]",
     56, NoForm::Only, "delete a named marker map, or put a class back to its default"},
    {862, "show qos named-marker-map [<NAME:str/33@12> #0]", 48, NoForm::None,
     "the named marker maps, or one of them"},
    {819,
     "#0 qos classifier-map oui <OUI:oui@12> [<CLASS:u32@20 0-7> #1] "
     "[action <{permit|deny|log}/40@28> #2] [comment <COMMENT:str/33@68> #3]",
     104, NoForm::Also,
     "class, action and comment of a MAC OUI (no value: class 2, permit; no: remove it)"},
    {820, "show qos classifier-map oui", 12, NoForm::None, "the MAC OUI classification table"},
    {821, "#0 =17@48 qos classifier-map interface <IF:str/33@12> [<CLASS:u32@52 0-7> #1]", 56,
     NoForm::Also, "the class of an Ethernet interface's traffic (no: the default, 2)"},
    {822, "#0 qos classifier-map wireless-interface <IF:str/33@12> [<CLASS:u32@52 0-7> #1]", 56,
     NoForm::Also, "the class of a wireless sub-interface's traffic (no: the default, 2)"},
    {823, "show qos classifier-map interface", 12, NoForm::None,
     "the classes of Ethernet interfaces"},
    {824, "show qos classifier-map wireless-interface", 12, NoForm::None,
     "the classes of wireless sub-interfaces"},
    {825, "#0 qos classifier-map ssid <SSID:str/33@12> [<CLASS:u32@52 0-7> #1]", 56, NoForm::Also,
     "the class of the traffic of an SSID's sub-interfaces (no: the default, 2)"},
    {826, "show qos classifier-map ssid", 12, NoForm::None, "the classes of SSIDs"},
    {831, "show qos classifier-map all-interfaces", 12, NoForm::None,
     "the classes of Ethernet interfaces and wireless sub-interfaces together"},
};

}  // namespace cmdtbl
