// Command text addressed to fed's CLI. The command table turns it into
// (command identifier, argument record) and sends it on fed's CLI link; the
// running configuration comes back as records that the same table renders.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "mgt/cli/fed/cmd_form.h"
#include "mgt/cli/fed/cmd_text.h"
#include "sim/ctl.h"
#include "sim/fedcli.h"
#include "sim/verbs.h"

namespace sim {

namespace {

inline constexpr std::uint32_t kShowSipCalls = 981;
inline constexpr std::uint32_t kClearCounters = 960;

// apsim's own commands, parsed with fed's so that help and completion show
// them together. Identifier 0 is no command of fed.
constexpr cmdtbl::CmdRow kApRows[] = {
    {0, "show running-config", 12, cmdtbl::NoForm::None,
     "fed's running configuration, one command a line"},
    {0, "show startup-config", 12, cmdtbl::NoForm::None,
     "the configuration apsim applies when it starts (write memory saves it)"},
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
    std::int32_t rc = 0;
    std::optional<std::string> text = running_config_text(s, out, &rc);
    if (!text) return ctl_fail(out, "fed did not answer");
    out(*text);
    res.has_fed_rc = true;
    res.fed_rc = rc;
    return rc == 0 ? kCtlOk : kCtlFail;
}

int show_startup_config(Server& s, const CtlOut& out) {
    std::optional<std::string> text = startup_config_text(s);
    if (!text) return ctl_fail(out, "No startup configuration saved ('write memory' saves one)");
    out(*text);
    return kCtlOk;
}

// Whether fed registered a command vector for id; says why not when it did not.
bool fed_has(Server& s, std::uint32_t id, const CtlOut& out) {
    std::lock_guard lock(s.links_mu);
    if (std::find(s.cli_vectors.begin(), s.cli_vectors.end(), id) != s.cli_vectors.end())
        return true;
    if (!s.cli)
        out.err("% fed's CLI is not connected\n");
    else
        out.err("% Command not available: fed has no handler for command " + std::to_string(id) +
                "\n");
    return false;
}

// Interface names of the command (arguments labelled IF) that the access point
// does not have: a handler that cannot find one fails with a bare -1.
std::string missing_interfaces(Server& s, const cmdtbl::ParsedCmd& cmd) {
    std::string note;
    std::size_t pos = 0;
    for (cmdtbl::FormTok t = cmdtbl::form_next(cmd.row->form, pos); t.tok != cmdtbl::Tok::End;
         t = cmdtbl::form_next(cmd.row->form, pos)) {
        if (t.tok != cmdtbl::Tok::Arg || t.kind != cmdtbl::Kind::Str || t.text != "IF" ||
            t.off >= cmd.record.size())
            continue;
        std::size_t end = std::min<std::size_t>(cmd.record.size(), t.off + t.width);
        std::string name(cmd.record.begin() + t.off, cmd.record.begin() + end);
        name.resize(std::strlen(name.c_str()));
        if (name.empty()) continue;
        std::lock_guard lock(s.core.mu);
        if (iface_by_kname_locked(s.core, name) || iface_by_uname_locked(s.core, name)) continue;
        note += (note.empty() ? "" : "; ") + std::string("interface ") + name + " does not exist";
    }
    return note;
}

// Configuration commands are silent when they work: what a handler prints
// for one is its complaint, even when it returns 0. Clearing the counters
// says what it clears as it goes, so its text is no complaint.
bool is_show(const cmdtbl::CmdRow& row) {
    if (row.id == kClearCounters) return true;
    std::size_t pos = 0;
    cmdtbl::FormTok t = cmdtbl::form_next(row.form, pos);
    while (t.tok == cmdtbl::Tok::Flag || t.tok == cmdtbl::Tok::Const)
        t = cmdtbl::form_next(row.form, pos);
    return t.tok == cmdtbl::Tok::Keyword && t.text == "show";
}

}  // namespace

std::optional<std::string> running_config_text(Server& s, const CtlOut& out, std::int32_t* rc) {
    CliReply r = fed_cli_running_config(s, out);
    if (!r.ok) return std::nullopt;
    std::string text;
    for (const CliRecord& rec : r.records) {
        std::optional<std::string> line;
        if (rec.type == proto::kTlvRecord) line = cmdtbl::render_record(rec.cmd, rec.data);
        if (rec.type == proto::kTlvText) line = cmdtbl::render_text_record(rec.data);
        // Deferred commands belong to other daemons, not to fed's configuration.
        if (rec.type == proto::kTlvDelay) continue;
        text += (line ? *line : unknown_record(rec)) + "\n";
    }
    if (rc) *rc = r.rc;
    return text;
}

int cli_text_command(Server& s, std::span<const std::string> words, const CtlOut& out,
                     CtlResult& res) {
    cmdtbl::ParseResult p = cmdtbl::parse_words(words, families());
    if (!p.ok) {
        out.err(p.error + "\n");
        return kCtlFail;
    }
    if (p.cmd.row == &kApRows[0]) return show_running_config(s, out, res);
    if (p.cmd.row == &kApRows[1]) return show_startup_config(s, out);
    if (!fed_has(s, p.cmd.id, out)) return kCtlFail;
    std::string users;  // the stations' user names for fed's display of SIP calls
    if (p.cmd.id == kShowSipCalls) users = sip_calls_station_file(s, p.cmd.record);
    bool printed = false;
    CtlOut seen = out;
    seen.text = [&](std::string_view t) {
        printed = printed || !t.empty();
        out(t);
    };
    CliReply r = fed_cli_command(s, p.cmd.id, p.cmd.type, p.cmd.record, seen);
    if (!users.empty()) std::remove(users.c_str());  // fed removes it once it has read it
    if (!r.ok) return ctl_fail(out, "fed did not answer");
    res.has_fed_rc = true;
    res.fed_rc = r.rc;
    if (r.rc == 0 && !(printed && !is_show(*p.cmd.row))) return kCtlOk;
    res.note = missing_interfaces(s, p.cmd);
    return kCtlFail;
}

std::vector<std::string> cli_text_complete(Server&, std::span<const std::string> words,
                                           std::string_view prefix) {
    return cmdtbl::complete_words(words, prefix, families());
}

std::string cli_text_help() {
    return "\n" + cmdtbl::help_text(families());
}

}  // namespace sim
