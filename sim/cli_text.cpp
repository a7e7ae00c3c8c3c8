// Command text addressed to fed's CLI. The command table turns it into
// (command identifier, argument record) and sends it on fed's CLI link.
#include "sim/ctl.h"

namespace sim {

int cli_text_command(Server&, std::span<const std::string> words, const CtlOut& out) {
    std::string line;
    for (const std::string& w : words) {
        if (!line.empty()) line += ' ';
        line += w;
    }
    out("% Unknown command: " + line + "\n");
    return 1;
}

std::vector<std::string> cli_text_complete(Server&, std::span<const std::string>,
                                           std::string_view) {
    return {};
}

}  // namespace sim
