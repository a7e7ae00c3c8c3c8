// Virtual connection rules: static layer-2 forwarding rules by incoming
// interface, source (MAC, OUI or any) and destination MAC, forwarded out of an
// interface or dropped. Each add form has its own command identifier and
// record layout; the stored record is what the running configuration writes.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

inline constexpr CmdRow kRowsVcon[] = {
    {999,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@52> src-mac <MAC:mac@88> dst-mac <MAC:mac@94> out "
     "<IF:str/16@104>",
     140, NoForm::None, "forward frames from one source MAC"},
    {1000,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@52> src-mac <MAC:mac@88> dst-mac <MAC:mac@94> out "
     "<IF:str/16@100> rx-mac <MAC:mac@133>",
     140, NoForm::None, "forward frames from one source MAC, with RX-MAC"},
    {1001,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@45> src-mac <MAC:mac@78> dst-mac <MAC:mac@84> "
     "tx-mac <MAC:mac@90> out <IF:str/16@100>",
     136, NoForm::None, "forward frames from one source MAC, with TX-MAC"},
    {1002,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@45> src-mac <MAC:mac@78> dst-mac <MAC:mac@84> "
     "tx-mac <MAC:mac@90> out <IF:str/16@96> rx-mac <MAC:mac@129>",
     136, NoForm::None, "forward frames from one source MAC, with TX-MAC and RX-MAC"},
    {1003,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@52> src-oui <OUI:oui@88> dst-mac <MAC:mac@91> out "
     "<IF:str/16@104>",
     140, NoForm::None, "forward frames from a source OUI"},
    {1004,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@52> src-oui <OUI:oui@88> dst-mac <MAC:mac@91> out "
     "<IF:str/16@97> rx-mac <MAC:mac@130>",
     136, NoForm::None, "forward frames from a source OUI, with RX-MAC"},
    {1005,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@45> src-oui <OUI:oui@78> dst-mac <MAC:mac@81> "
     "tx-mac <MAC:mac@87> out <IF:str/16@100>",
     136, NoForm::None, "forward frames from a source OUI, with TX-MAC"},
    {1006,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@45> src-oui <OUI:oui@78> dst-mac <MAC:mac@81> "
     "tx-mac <MAC:mac@87> out <IF:str/16@93> rx-mac <MAC:mac@126>",
     132, NoForm::None, "forward frames from a source OUI, with TX-MAC and RX-MAC"},
    {1007,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@52> src-any dst-mac <MAC:mac@88> out "
     "<IF:str/16@100>",
     136, NoForm::None, "forward frames from any source"},
    {1008,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@52> src-any dst-mac <MAC:mac@88> out <IF:str/16@94> "
     "rx-mac <MAC:mac@127>",
     136, NoForm::None, "forward frames from any source, with RX-MAC"},
    {1009,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@45> src-any dst-mac <MAC:mac@78> tx-mac "
     "<MAC:mac@84> out <IF:str/16@96>",
     132, NoForm::None, "forward frames from any source, with TX-MAC"},
    {1010,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@45> src-any dst-mac <MAC:mac@78> tx-mac "
     "<MAC:mac@84> out <IF:str/16@90> rx-mac <MAC:mac@123>",
     132, NoForm::None, "forward frames from any source, with TX-MAC and RX-MAC"},
    {1011,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@52> src-mac <MAC:mac@88> dst-mac <MAC:mac@94> drop",
     100, NoForm::None, "drop frames from one source MAC"},
    {1012,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@45> src-mac <MAC:mac@78> dst-mac <MAC:mac@84> "
     "tx-mac <MAC:mac@90> drop",
     96, NoForm::None, "drop frames from one source MAC, with TX-MAC"},
    {1013,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@52> src-oui <OUI:oui@88> dst-mac <MAC:mac@91> drop",
     100, NoForm::None, "drop frames from a source OUI"},
    {1014,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@45> src-oui <OUI:oui@78> dst-mac <MAC:mac@81> "
     "tx-mac <MAC:mac@87> drop",
     96, NoForm::None, "drop frames from a source OUI, with TX-MAC"},
    {1015, "vcon-rule <NAME:str/33@12> in <IF:str/16@52> src-any dst-mac <MAC:mac@88> drop", 96,
     NoForm::None, "drop frames from any source"},
    {1016,
     "vcon-rule <NAME:str/33@12> in <IF:str/16@45> src-any dst-mac <MAC:mac@78> tx-mac "
     "<MAC:mac@84> drop",
     92, NoForm::None, "drop frames from any source, with TX-MAC"},
    {1017, "vcon-rule [<NAME:str/33@12> #0]", 48, NoForm::Only,
     "delete a rule (without a name: every rule)"},
    {1018, "show vcon-rule", 12, NoForm::None, "the virtual connection rules"},
    {1019, "show vcon-rule debug", 12, NoForm::None, "every field of each rule"},
};

}  // namespace cmdtbl
