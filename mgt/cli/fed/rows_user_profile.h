// User profiles: definition, attribute ranges, QoS marker, mobility and
// tunnel policies, performance sentinel, layer-3 tunnel action, airtime
// share, order, and their displays.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

// The options of the profile command after the name; an attribute range alone
// is the attribute command (935), so one of the others comes first. Each row
// starts with its own option in a group, so that a record is written back
// through the row of its first option.
#define FED_UP_GROUP "group-id <ID:u32@52 0-255>"
#define FED_UP_QOS "qos-policy <QOS:str/33@60>"
#define FED_UP_VLAN "vlan-id <VLAN:u32@100 0-65535>"
#define FED_UP_MOB "mobility-policy <MOBILITY:str/33@108>"
#define FED_UP_ATTR "[attribute <ATTR:u32@148 0-65534> #5 [- <ATTR:u32@152 0-65534> #6]]"

inline constexpr CmdRow kRowsUserProfile[] = {
    {904,
     "#0 user-profile <NAME:str/33@12> (" FED_UP_GROUP " #1) [" FED_UP_QOS " #2] [" FED_UP_VLAN
     " #3] [" FED_UP_MOB " #4] " FED_UP_ATTR,
     156, NoForm::None, "define or change a user profile"},
    {904,
     "#0 user-profile <NAME:str/33@12> (" FED_UP_QOS " #2) [" FED_UP_VLAN " #3] [" FED_UP_MOB
     " #4] " FED_UP_ATTR,
     156, NoForm::None, "define or change a user profile"},
    {904, "#0 user-profile <NAME:str/33@12> (" FED_UP_VLAN " #3) [" FED_UP_MOB " #4] " FED_UP_ATTR,
     156, NoForm::None, "define or change a user profile"},
    {904, "#0 user-profile <NAME:str/33@12> (" FED_UP_MOB " #4) " FED_UP_ATTR, 156, NoForm::None,
     "define or change a user profile"},
    {904, "#0 user-profile <NAME:str/33@12>", 156, NoForm::Also,
     "define a user profile with its defaults (no: delete it)"},
    {935,
     "#0 user-profile <NAME:str/33@12> attribute <ATTR:u32@48 0-65534> #1 [- <ATTR:u32@52 0-65534> "
     "#2]",
     56, NoForm::Also, "map a range of attribute numbers to the profile (no: remove it)"},
    {869,
     "#0 #1 #2 user-profile <NAME:str/33@12> qos-marker-map <{diffserv|8021p}/33@45> "
     "<MAP:str/33@78>",
     112, NoForm::None, "QoS marker map of the profile"},
    {869, "#0 user-profile <NAME:str/33@12> qos-marker-map", 112, NoForm::Only,
     "the profile without a QoS marker map"},
    {905, "#0 user-profile <NAME:str/33@12> mobility-policy", 48, NoForm::Only,
     "unbind the profile's mobility policy"},
    {866, "#0 user-profile <NAME:str/33@12> qos-policy", 48, NoForm::Only,
     "the profile's QoS policy back to def-user-qos"},
    {907, "#0 #1 #2 user-profile <NAME:str/33@12> <POS:{before|after}/33@45> <OTHER:str/33@78>",
     112, NoForm::None, "move the profile before or after another"},
    {974, "#0 #1 user-profile <NAME:str/33@12> <SENTINEL:{performance-sentinel}/35@45> enable", 80,
     NoForm::Also, "performance sentinel of the profile (no: off)"},
    {975,
     "#0 #1 user-profile <NAME:str/33@12> <SENTINEL:{performance-sentinel}/33@45> action "
     "<{log|boost}/34@78> #2",
     112, NoForm::Also, "what the performance sentinel does (no: not that)"},
    {975, "#0 #1 user-profile <NAME:str/33@12> <SENTINEL:{performance-sentinel}/33@45> action", 112,
     NoForm::Only, "the performance sentinel only logs"},
    {976,
     "#0 #1 user-profile <NAME:str/33@12> <SENTINEL:{performance-sentinel}/35@45> "
     "guaranteed-bandwidth "
     "<KBPS:u32@80 0-2147483647> #2",
     84, NoForm::None, "bandwidth the performance sentinel guarantees"},
    {976,
     "#0 #1 user-profile <NAME:str/33@12> <SENTINEL:{performance-sentinel}/35@45> "
     "guaranteed-bandwidth",
     84, NoForm::Only, "guaranteed bandwidth back to 500 kbit/s"},
    {977,
     "#0 #1 user-profile <NAME:str/33@12> performance-sentinel congestion-threshold "
     "<BYTES:u32@48 0-2147483647>",
     52, NoForm::None, "congestion threshold of the performance sentinel"},
    {982, "#0 #1 user-profile <NAME:str/33@12> tunnel-policy <POLICY:str/33@45>", 80, NoForm::None,
     "tunnel policy of the profile"},
    {982, "#0 user-profile <NAME:str/33@12> tunnel-policy", 80, NoForm::Only,
     "the profile without a tunnel policy"},
    {993,
     "#0 #1 user-profile <NAME:str/33@12> l3-tunnel-action "
     "<{split|all|with-exception|drop-tunnel-traffic}/35@45>",
     80, NoForm::None, "layer-3 tunnel action of the profile"},
    {993, "#0 user-profile <NAME:str/33@12> l3-tunnel-action", 80, NoForm::Only,
     "layer-3 tunnel action back to split"},
    {968,
     "#0 #1 user-profile <NAME:str/33@12> airtime-percentage <PERCENT:u32@48 0-100> "
     "(share-airtime =1@52)",
     56, NoForm::None, "airtime share of the profile, lent out while unused"},
    {968, "#0 #1 user-profile <NAME:str/33@12> airtime-percentage <PERCENT:u32@48 0-100>", 56,
     NoForm::None, "airtime share of the profile"},
    {968, "#0 user-profile <NAME:str/33@12> airtime-percentage", 56, NoForm::Only,
     "no airtime share"},
    {971, "#0 show user-profile <NAME:str/33@12> airtime", 48, NoForm::None,
     "the airtime share of a profile"},
    {906, "show user-profile [<NAME:str/65@12> #0]", 80, NoForm::None,
     "the user profile table, or one profile"},
};

#undef FED_UP_GROUP
#undef FED_UP_QOS
#undef FED_UP_VLAN
#undef FED_UP_MOB
#undef FED_UP_ATTR

}  // namespace cmdtbl
