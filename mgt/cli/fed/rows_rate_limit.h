// Interface rate limiting: incoming broadcast, multicast and unicast traffic
// of the Ethernet-side interfaces.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

inline constexpr CmdRow kRowsRateLimit[] = {
    {947, "#0 #1 =17@12 interface <IF:str/36@16> rate-limit <{broadcast|multicast|unicast}/36@52>",
     88, NoForm::Also, "limit one type of incoming traffic (no: stop limiting it)"},
    {948, "#0 #1 =17@12 interface <IF:str/36@16> rate-limit multicast <KBPS:u32@52 1-1000000>", 56,
     NoForm::Also, "multicast rate in kbit/s (no: back to 20000)"},
    {949, "#0 #1 =17@12 interface <IF:str/36@16> rate-limit broadcast <KBPS:u32@52 1-1000000>", 56,
     NoForm::Also, "broadcast rate in kbit/s (no: back to 10000)"},
    {950, "#0 #1 =17@12 interface <IF:str/36@16> rate-limit unicast <KBPS:u32@52 1-1000000>", 56,
     NoForm::Also, "unicast rate in kbit/s (no: back to 1000000)"},
    {951, "#0 =17@12 show interface <IF:str/36@16> rate-limit", 52, NoForm::None,
     "the interface's rate-limiting table"},
};

}  // namespace cmdtbl
