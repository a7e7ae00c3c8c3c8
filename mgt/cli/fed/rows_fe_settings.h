// Forwarding-engine settings: switches, limits, multicast lists, MSS, PMTU,
// default-route VLANs and FE filters.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

inline constexpr CmdRow kRowsFeSettings[] = {
    {989, "ip tcp-mss-threshold", 12, NoForm::Also, "clamp the TCP MSS of tunnelled traffic"},
    {980, "show forwarding-engine notification-interval", 12, NoForm::None,
     "the FE's notification interval"},
};

}  // namespace cmdtbl
