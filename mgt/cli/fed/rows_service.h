// Services and ALG settings: service definitions, their statistics, the ALG
// switches and values, and the ALG type bound to a service.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

inline constexpr CmdRow kRowsService[] = {
    {832,
     "#0 #1 service <NAME:str/33@12> protocol <{tcp|udp|svp}/35@45> [port <N:u32@84 1-65535> #2] "
     "[timeout <SECONDS:u32@92 0-2147483647> #3]",
     96, NoForm::None, "define a TCP, UDP or SVP service (timeout 0: never)"},
    {832, "#0 service <NAME:str/33@12>", 96, NoForm::Only, "delete a service"},
    {833,
     "#0 #1 service <NAME:str/33@12> protocol <PROTOCOL:u32@48 0-255> [port <N:u32@56 1-65535> #2] "
     "[timeout <SECONDS:u32@64 0-2147483647> #3]",
     68, NoForm::None, "define a service by IP protocol number (a port only for TCP and UDP)"},
    {872,
     "#0 #1 service <NAME:str/33@12> ip-protocol <{tcp|udp}/35@45> [port <N:u32@80 1-65535> #2] "
     "[timeout <SECONDS:u32@88 0-2147483647> #3]",
     92, NoForm::None, "define a TCP or UDP service"},
    {873, "#0 service <NAME:str/33@12> svp [timeout <SECONDS:u32@52 0-2147483647> #1]", 56,
     NoForm::None, "define an SVP service"},
    {834,
     "#0 #1 service <NAME:str/33@12> app-id <ID:u32@48 0-65535> "
     "[timeout <SECONDS:u32@56 0-2147483647> #2]",
     60, NoForm::None, "define a service by application id (1-1260, 19000-19099)"},
    {875, "show service [<NAME:str/33@12> #0]", 48, NoForm::None, "the service table"},
    {897, "show service statistics [<NAME:str/33@12> #0]", 48, NoForm::None,
     "packet counters of the services"},
    {898, "clear service statistics [<NAME:str/33@12> #0]", 48, NoForm::None,
     "clear the packet counters of the services"},
    {1799, "#0 #1 service <NAME:str/33@12> alg <{ftp|tftp|sip|dns|tv|http}/35@45>", 80,
     NoForm::None, "bind an ALG to a service"},
    {1799, "#0 service <NAME:str/33@12> alg", 80, NoForm::Only, "unbind the service's ALG"},
    {804, "#0 alg <{ftp|tftp|sip|dns|http}/36@12> enable", 48, NoForm::Also,
     "switch an ALG on (no: off)"},
    {1800, "#0 #1 alg <{ftp|tftp|sip|dns}/36@12> qos <CLASS:u32@48 0-7>", 52, NoForm::None,
     "QoS class of the ALG's flows"},
    {1800, "#0 alg <{ftp|tftp|sip|dns}/36@12> qos", 52, NoForm::Only,
     "QoS class back to the default"},
    {1801, "#0 #1 alg <{ftp|tftp|sip}/36@12> inactive-data-timeout <SECONDS:u32@48 1-2147483647>",
     52, NoForm::None, "idle time after which the ALG's data flows end"},
    {1801, "#0 alg <{ftp|tftp|sip}/36@12> inactive-data-timeout", 52, NoForm::Only,
     "inactive-data timeout back to the default"},
    {1802, "#0 #1 alg <{ftp|tftp|sip}/36@12> max-duration <MINUTES:u32@48 1-2147483647>", 52,
     NoForm::None, "longest life of an ALG session, for sessions created afterwards"},
    {1802, "#0 alg <{ftp|tftp|sip}/36@12> max-duration", 52, NoForm::Only,
     "max duration back to the default"},
    {1803, "show alg [<{ftp|tftp|sip|dns|http}/36@12> #0]", 48, NoForm::None,
     "the ALG configuration"},
};

}  // namespace cmdtbl
