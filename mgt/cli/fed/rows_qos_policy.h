// QoS switches, QoS policies, VLAN QoS, the performance snapshot and airtime
// admission control.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

inline constexpr CmdRow kRowsQosPolicy[] = {
    {805, "qos enable", 12, NoForm::Also, "QoS on (no: off)"},
    {807, "qos airtime enable", 12, NoForm::Also, "airtime-based QoS on (no: off)"},
    {808, "#0 qos rate-preference-weight <WEIGHT:{none|moderate|high}/36@12>", 48, NoForm::None,
     "rate preference weight"},
    {808, "qos rate-preference-weight", 48, NoForm::Only, "rate preference weight back to high"},
    {809, "show qos", 12, NoForm::None, "the QoS switches"},
    // Words 13, 14, 16, 18, 19, 28 and 29 of the record.
    {876,
     "#0 qos policy <NAME:str/33@12> "
     "[user-rate-limit <USER_RATE:u32@52 1-1000000> user-profile-weight <UP_WEIGHT:u32@56 0-1000> "
     "#1 #2] [user-profile-rate <UP_RATE:u32@64 1-1000000> #3] "
     "[class <CLASS:u32@72 0-7> <MODE:{strict|wrr}/36@76> limit <LIMIT:u32@112 0-1000000> "
     "weight <WEIGHT:u32@116 0-1000> #4 #5 #6 #7]",
     120, NoForm::None, "define a QoS policy, its user rates or one class's scheduling"},
    {876, "#0 qos policy <NAME:str/33@12>", 120, NoForm::Only, "delete a QoS policy"},
    {877, "show qos policy [<NAME:str/64@12> #0]", 76, NoForm::None, "the QoS policies"},
    {867, "qos vlan default rate-limit <RATE:u32@12 1-1000000> weight <WEIGHT:u32@16 0-1000>", 20,
     NoForm::None, "rate limit and weight of the default VLAN"},
    {867, "qos vlan default", 20, NoForm::Only, "the default VLAN back to its defaults"},
    {868, "show qos vlan default", 12, NoForm::None, "QoS of the default VLAN"},
    {870,
     "qos vlan <VLAN:u32@12 2-4094> rate-limit <RATE:u32@16 1-1000000> "
     "weight <WEIGHT:u32@20 0-1000>",
     24, NoForm::None, "rate limit and weight of a VLAN"},
    {870, "qos vlan <VLAN:u32@12 2-4094>", 24, NoForm::Only, "delete a VLAN's QoS"},
    {871, "show qos vlan [<VLAN:u32@12 2-4094> #0]", 16, NoForm::None, "QoS of the VLANs"},
    {842, "qos performance-snapshot [interval <SECONDS:u32@12 1-3600> #0]", 16, NoForm::Also,
     "QoS performance snapshot on, every SECONDS (10) (no: off)"},
    {843, "show qos performance-snapshot", 12, NoForm::None, "the performance snapshot switch"},
    {846, "show qos performance-snapshot user <MAC:mac@12>", 20, NoForm::None,
     "a user's QoS counters per class"},
    {847, "show qos performance-snapshot vlan <VLAN:u32@12 1-4094>", 16, NoForm::None,
     "a VLAN's QoS counters"},
    {899, "show qos statistics user <MAC:mac@12>", 20, NoForm::None,
     "a user's QoS statistics per class"},
    {900, "show qos statistics users", 12, NoForm::None,
     "QoS statistics of every station, summed over the classes"},
    {901, "clear qos statistics user [<MAC:mac@12> #0]", 20, NoForm::None,
     "clear a user's QoS statistics, or every user's"},
    {908, "show qos statistics user-profile [<NAME:str/64@12> #0]", 76, NoForm::None,
     "QoS counters and drops by stage of the user profiles, or of one"},
    {909, "show qos statistics user-profile-delay [<NAME:str/64@12> #0]", 76, NoForm::None,
     "QoS counters and average delay of the user profiles, or of one"},
    {967, "qos cac enable", 12, NoForm::Also, "airtime admission control on (no: off)"},
    {969, "qos cac max-airtime <AIRTIME:u32@12 1-1000>", 16, NoForm::None,
     "maximum airtime admission control gives out"},
    {969, "qos cac max-airtime", 16, NoForm::Only, "maximum airtime back to 500"},
    {970, "qos cac roaming-weight <WEIGHT:u32@12 0-1000>", 16, NoForm::None,
     "airtime weight kept for roaming calls"},
    {970, "qos cac roaming-weight", 16, NoForm::Only, "roaming weight back to 20"},
    {972, "clear qos cac airtime [<MAC:mac@12> #0]", 20, NoForm::None,
     "clear a station's airtime admission record, or every station's"},
    {973, "show qos cac", 12, NoForm::None,
     "airtime admission control: status, airtime figures and stations"},
};

}  // namespace cmdtbl
