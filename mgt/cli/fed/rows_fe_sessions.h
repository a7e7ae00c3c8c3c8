// Forwarding-engine sessions, gates and counters: show and clear.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

inline constexpr CmdRow kRowsFeSessions[] = {
    {763, "show forwarding-engine ip-gate", 12, NoForm::None, "the FE's IP gate table"},
};

}  // namespace cmdtbl
