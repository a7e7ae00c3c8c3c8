// QoS classification of traffic by service: the class and the action a
// service's flows get.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

inline constexpr CmdRow kRowsQosClass[] = {
    {835,
     "#0 qos classifier-map service <NAME:str/33@12> [<CLASS:u32@52 0-7> #1] "
     "[action <{permit|deny|log}/36@60> #2]",
     96, NoForm::Also,
     "class and action of a service's flows (no value: class 2, permit; no: the default)"},
    {838, "show qos classifier-map service", 12, NoForm::None,
     "the service-based classification table"},
};

}  // namespace cmdtbl
