// Command text addressed to fed's CLI. The command table turns it into
// (command identifier, argument record) and sends it on fed's CLI link; the
// running configuration comes back as records that the same table renders.
#include <algorithm>
#include <cstdio>

#include "mgt/cli/fed/cmd_form.h"
#include "mgt/cli/fed/cmd_text.h"
#include "sim/ctl.h"
#include "sim/fedcli.h"
#include "sim/verbs.h"

namespace sim {

namespace {

inline constexpr std::uint32_t kShowSipCalls = 981;

// apsim's own commands, parsed with fed's so that help and completion show
// them together. Identifier 0 is no command of fed.
constexpr cmdtbl::CmdRow kApRows[] = {
    {0, "show running-config", 12, cmdtbl::NoForm::None,
     "fed's running configuration, one command a line"},
};
static_assert(cmdtbl::first_bad_row(kApRows) < 0);

std::span<const cmdtbl::CmdFamily> families() {
    static const std::vector<cmdtbl::CmdFamily> all = [] {
        std::vector<cmdtbl::CmdFamily> v = {{"Access point", kApRows}};
        for (const cmdtbl::CmdFamily& f : cmdtbl::cmd_families()) v.push_back(f);
        return v;
    }();
    return all;
}

// A record that no row fits is shown as a comment, so that applying the text
// again skips it instead of failing on it.
std::string unknown_record(const CliRecord& r) {
    static const char hex[] = "0123456789abcdef";
    std::string s = "! command " + std::to_string(r.cmd) + ": record of type " +
                    std::to_string(r.type) + " not understood:";
    for (std::uint8_t b : r.data) {
        s += ' ';
        s += hex[b >> 4];
        s += hex[b & 15];
    }
    return s;
}

int show_running_config(Server& s, const CtlOut& out, CtlResult& res) {
    CliReply r = fed_cli_running_config(s, out);
    if (!r.ok) return ctl_fail(out, "fed did not answer");
    std::string text;
    for (const CliRecord& rec : r.records) {
        std::optional<std::string> line;
        if (rec.type == proto::kTlvRecord) line = cmdtbl::render_record(rec.cmd, rec.data);
        if (rec.type == proto::kTlvText) line = cmdtbl::render_text_record(rec.data);
        // Deferred commands belong to other daemons, not to fed's configuration.
        if (rec.type == proto::kTlvDelay) continue;
        text += (line ? *line : unknown_record(rec)) + "\n";
    }
    out(text);
    res.has_fed_rc = true;
    res.fed_rc = r.rc;
    return r.rc == 0 ? kCtlOk : kCtlFail;
}

// Whether fed registered a command vector for id; says why not when it did not.
bool fed_has(Server& s, std::uint32_t id, const CtlOut& out) {
    std::lock_guard lock(s.links_mu);
    if (std::find(s.cli_vectors.begin(), s.cli_vectors.end(), id) != s.cli_vectors.end())
        return true;
    if (!s.cli)
        out("% fed's CLI is not connected\n");
    else
        out("% Command not available: fed has no handler for command " + std::to_string(id) + "\n");
    return false;
}

}  // namespace

int cli_text_command(Server& s, std::span<const std::string> words, const CtlOut& out,
                     CtlResult& res) {
    cmdtbl::ParseResult p = cmdtbl::parse_words(words, families());
    if (!p.ok) {
        out(p.error + "\n");
        return kCtlFail;
    }
    if (p.cmd.row == &kApRows[0]) return show_running_config(s, out, res);
    if (!fed_has(s, p.cmd.id, out)) return kCtlFail;
    std::string users;  // the stations' user names for fed's display of SIP calls
    if (p.cmd.id == kShowSipCalls) users = sip_calls_station_file(s, p.cmd.record);
    CliReply r = fed_cli_command(s, p.cmd.id, p.cmd.type, p.cmd.record, out);
    if (!users.empty()) std::remove(users.c_str());  // fed removes it once it has read it
    if (!r.ok) return ctl_fail(out, "fed did not answer");
    res.has_fed_rc = true;
    res.fed_rc = r.rc;
    return r.rc == 0 ? kCtlOk : kCtlFail;
}

std::vector<std::string> cli_text_complete(Server&, std::span<const std::string> words,
                                           std::string_view prefix) {
    return cmdtbl::complete_words(words, prefix, families());
}

std::string cli_text_help() {
    return "\n" + cmdtbl::help_text(families());
}

}  // namespace sim
