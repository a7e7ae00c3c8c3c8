// The FE's virtual connection rules, as fed installed them.
#include "sim/verbs.h"

namespace sim {

int verb_vcon(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::string text;
    {
        std::lock_guard lock(s.core.mu);
        text = vcon_table_text_locked(s.core);
    }
    out(text);
    return kCtlOk;
}

}  // namespace sim
