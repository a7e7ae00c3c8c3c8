// The verb table: keywords, argument usage and handler of every control verb.
// A line is matched against the verb with the most keywords; lines that match
// none go to the CLI text path.
#include "sim/ctl.h"

#include <algorithm>
#include <array>

#include "mgt/cli/fed/cmd_text.h"
#include "sim/verbs.h"
#include "sim/verbs_svc.h"

namespace sim {

namespace {

struct Verb {
    std::array<std::string_view, 3> keywords;  // "" past the last one
    std::string_view usage;  // argument words: UPPER placeholders, a|b keywords, [optional]
    VerbFn fn;
    std::string_view help;
};

int verb_help(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);

constexpr Verb kVerbs[] = {
    {{"help"}, "", verb_help, "this list"},
    {{"platform", "status"}, "", verb_status, "fed's process, process monitor and start-up"},
    {{"platform", "restart", "fed"}, "", verb_restart, "kill fed and start it again"},
    {{"platform", "log"}, "", verb_log, "fed's log"},
    {{"platform", "events"},
     "[decoded]",
     verb_events,
     "events fed sent (decoded: the DNS ALG's in words)"},
    {{"platform", "shutdown"},
     "",
     verb_shutdown_saved,
     "stop fed, then apsim (warns of unsaved configuration)"},
    {{"write", "memory"},
     "",
     verb_write_memory,
     "save the running configuration as DIR/startup-config"},
    {{"platform", "clock"}, "", verb_clock, "clock mode and up-time"},
    {{"platform", "clock", "advance"}, "SECONDS", verb_clock_advance, "step the driven clock"},
    {{"platform", "cli-vectors"}, "", verb_cli_vectors, "command identifiers fed registered"},
    {{"platform", "debug-flags"}, "", verb_debug_flags, "debug flags fed registered"},
    {{"platform", "fault"}, "NAME RC [COUNT]", verb_fault, "make a platform call fail"},
    {{"platform", "fault", "clear"}, "[NAME]", verb_fault_clear, "disarm faults"},
    {{"platform", "faults"}, "", verb_faults, "armed faults"},
    {{"platform", "system"}, "", verb_system, "shell commands fed asked for"},
    {{"platform", "system", "run"}, "on|off", verb_system_run, "really run them or not"},
    {{"platform", "kernel"}, "", verb_kernel, "kernel requests fed sent"},
    {{"platform", "fe"}, "", verb_fe, "FE scalar settings"},
    {{"platform", "interfaces"}, "", verb_interfaces, "the interface table"},
    {{"platform", "fe-tables"},
     "",
     verb_fe_tables,
     "FE rate limits, vwire, multicast list, filters"},
    {{"platform", "dcd"}, "", verb_dcd, "ICSA, bindings, default-route VLANs, dual-profile flags"},
    {{"platform", "subscriptions"}, "", verb_subscriptions, "events fed subscribed to"},
    {{"platform", "vcon"}, "", verb_vcon, "virtual connection rules in the FE, requests"},
    {{"platform", "acl"}, "", verb_acl, "IP access-control groups and rules in the FE"},
    {{"platform", "mac-acl"},
     "",
     verb_mac_acl,
     "MAC policies, rules, bindings, default MAC actions and IPv6 guards in the FE"},
    {{"event", "sta-join"}, "MAC [ignored]", verb_sta_join, "a station joins"},
    {{"event", "sta-leave"}, "MAC", verb_sta_leave, "a station leaves"},
    {{"event", "ssid-bind"}, "SSID IF", verb_ssid_bind, "an SSID binds to an interface"},
    {{"event", "ssid-unbind"}, "SSID IF", verb_ssid_unbind, "an SSID unbinds"},
    {{"event", "ssid-remove"}, "SSID", verb_ssid_remove, "an SSID is removed"},
    {{"event", "ppsk-server"}, "[A.B.C.D]", verb_ppsk_server, "DHCP learnt a PPSK server"},
    {{"event", "raw"}, "EVENT [HEX]", verb_event_raw, "any platform event"},
    {{"event", "kernel"}, "EVENT [HEX]", verb_event_kernel, "any kernel event"},
    {{"fe", "policy"}, "MAC in|out TID [PACKETS]", verb_fe_policy, "add a policy entry to the FE"},
    {{"fe", "fragment"},
     "SRC DST IPID PROTO START END",
     verb_fe_fragment,
     "a fragment the FE holds for reassembly"},
    {{"fe", "unroam"},
     "MAC SECONDS THRESHOLD CURRENT [reached]",
     verb_fe_unroam,
     "the FE monitors a station for unroaming"},
    {{"fe", "member"}, "MAC IF", verb_fe_member, "the aggregate member carrying a source MAC"},
    {{"fe", "tunnel"},
     "ID SRC DST TXS RXS [gre|other] [access|backhaul] [client]",
     verb_fe_tunnel,
     "add or replace an FE tunnel"},
    {{"link", "add"}, "IF [USERNAME]", verb_link_add, "a new interface (USERNAME - : kernel only)"},
    {{"link", "del"}, "IF", verb_link_del, "an interface disappears"},
    {{"link", "bind"}, "IF INTO", verb_link_bind, "bind an Ethernet interface into another"},
    {{"link", "unbind"}, "IF", verb_link_unbind, "undo link bind"},
    {{"link", "mode"}, "IF access|backhaul", verb_link_mode, "device type of an interface"},
    {{"link"}, "IF up|down|going-down|rename [NEWNAME]", verb_link, "interface change"},
    {{"platform", "alg"},
     "[ftp|tftp|sip|dns|http] [on|off]",
     verb_alg,
     "ALG enable flags of the FE (show or set)"},
    {{"platform", "dns-alg-user"},
     "[on|off]",
     verb_dns_alg_user,
     "whether another platform service uses the DNS ALG"},
    {{"platform", "service-in-use"},
     "NAME on|off",
     verb_service_in_use,
     "whether another table refers to a service"},
    {{"platform", "qos-profiles"},
     "",
     verb_qos_show,
     "QoS classifier and marker profiles in the FE and their bindings"},
    {{"platform", "qos-maps"},
     "",
     verb_qos_map_show,
     "QoS class and marker maps and the named marker maps in the FE"},
    {{"platform", "qos-policies"},
     "",
     verb_qos_policy_show,
     "QoS switches, policies, VLAN QoS and airtime admission control in the FE"},
    {{"platform", "user-profiles"},
     "",
     verb_up_show,
     "user profiles in the FE and the configuration library"},
    {{"platform", "user-profile", "scheduler"},
     "NAME COUNT",
     verb_up_scheduler,
     "scheduler entries of a profile in the configuration library"},
    {{"platform", "user-profile", "schedule"},
     "NAME SCHEDULE",
     verb_up_schedule,
     "schedule name of a profile in the configuration library (- clears)"},
    {{"platform", "user-profile", "ssid"},
     "NAME on|off",
     verb_up_ssid,
     "whether an SSID uses the profile"},
    {{"platform", "station-profile"},
     "MAC NAME",
     verb_station_profile,
     "the user profile (and so VLAN) the FE counts a station's traffic in"},
    {{"platform", "gates"}, "", verb_gates, "FE gates, and ALG messages 82 and 83"},
    {{"platform", "cac"}, "[on|off]", verb_cac, "call admission control of the FE (show or set)"},
    {{"platform", "cac", "refuse"}, "N", verb_cac_refuse, "the FE refuses the next N new calls"},
    {{"platform", "cac", "station"},
     "MAC TX_MS RX_MS",
     verb_cac_station,
     "a station's airtime in the platform's CAC list"},
    {{"platform", "cac", "bucket"},
     "AVAIL GUAR ALLOC ALLOC_USED USED ROAM SHARED SHARED_USED",
     verb_cac_bucket,
     "the platform's airtime token bucket (ms per second)"},
    {{"platform", "station"},
     "MAC USER",
     verb_station,
     "a station's user name (in show sip calls)"},
    {{"platform", "neighbour", "add"},
     "HOST:PORT",
     verb_nbr_add,
     "a neighbouring access point's link (roaming records go there)"},
    {{"platform", "neighbour", "del"}, "HOST:PORT", verb_nbr_del, "forget a neighbour's link"},
    {{"platform", "neighbour", "list"}, "", verb_nbr_list, "the neighbours' links"},
    {{"replay"},
     "FILE [--clock] [capture|now] [--json] [--all] [--progress]",
     verb_replay,
     "a capture through the FE model"},
    {{"platform", "replay"}, "", verb_replay_status, "the replay running now, if any"},
    {{"platform", "live"}, "", verb_live, "live mode: enforcement, verdicts and queue counts"},
    {{"platform", "live", "enforce"},
     "on|off",
     verb_live_enforce,
     "live mode drops flows no gate admits (on), or only counts them (off)"},
    {{"debug", "fed"}, "FLAG", verb_debug, "set a debug flag of fed"},
    {{"no", "debug", "fed"}, "FLAG", verb_no_debug, "clear a debug flag of fed"},
};

std::size_t keyword_count(const Verb& v) {
    std::size_t n = 0;
    while (n < v.keywords.size() && !v.keywords[n].empty()) ++n;
    return n;
}

std::vector<std::string_view> split_usage(std::string_view usage) {
    std::vector<std::string_view> out;
    while (!usage.empty()) {
        std::size_t sp = usage.find(' ');
        out.push_back(usage.substr(0, sp));
        usage = sp == std::string_view::npos ? std::string_view() : usage.substr(sp + 1);
    }
    return out;
}

bool matches(const Verb& v, std::span<const std::string> words) {
    std::size_t n = keyword_count(v);
    if (words.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (words[i] != v.keywords[i]) return false;
    return true;
}

const Verb* find_verb(std::span<const std::string> words) {
    const Verb* best = nullptr;
    for (const Verb& v : kVerbs)
        if (matches(v, words) && (!best || keyword_count(v) > keyword_count(*best))) best = &v;
    return best;
}

std::string verb_text(const Verb& v) {
    std::string s;
    for (std::size_t i = 0; i < keyword_count(v); ++i) {
        if (i) s += ' ';
        s += v.keywords[i];
    }
    if (!v.usage.empty()) s += std::string(" ") + std::string(v.usage);
    return s;
}

void add_unique(std::vector<std::string>& out, std::string_view w) {
    for (const std::string& x : out)
        if (x == w) return;
    out.emplace_back(w);
}

// A usage token: "NAME" and "[COUNT]" are placeholders; "up|down" and
// "[ignored]" are keywords to type.
bool is_placeholder(std::string_view t) {
    return t.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string_view::npos;
}

// Candidates at argument position i of a verb's usage.
void usage_candidates(Server& s, const Verb& v, std::size_t i, std::string_view prefix,
                      std::vector<std::string>& out) {
    std::vector<std::string_view> tokens = split_usage(v.usage);
    if (i >= tokens.size()) return;
    std::string_view t = tokens[i];
    if (t == "IF") {
        std::lock_guard lock(s.core.mu);
        for (const Iface& f : s.core.ifaces)
            if (f.kname.starts_with(prefix)) add_unique(out, f.kname);
    }
    if (is_placeholder(t)) {
        add_unique(out, t);
        return;
    }
    if (t.starts_with('[') && t.ends_with(']')) t = t.substr(1, t.size() - 2);
    for (;;) {
        std::size_t bar = t.find('|');
        std::string_view alt = t.substr(0, bar);
        if (alt.starts_with(prefix)) add_unique(out, alt);
        if (bar == std::string_view::npos) break;
        t.remove_prefix(bar + 1);
    }
}

int verb_help(Server&, VerbArgs, const CtlOut& out, CtlResult&) {
    std::string text;
    for (const Verb& v : kVerbs) {
        std::string left = verb_text(v);
        left.resize(std::max<std::size_t>(left.size() + 2, 52), ' ');
        text += left + std::string(v.help) + "\n";
    }
    text += cli_text_help();
    out(text);
    return kCtlOk;
}

}  // namespace

int ctl_fail(const CtlOut& out, std::string_view text) {
    out.err(std::string("% ") + std::string(text) + "\n");
    return kCtlFail;
}

// The same words as the command parser reads, so quoted names mean the same everywhere.
bool ctl_split(std::string_view line, std::vector<std::string>& words) {
    return cmdtbl::split_line(line, words);
}

CtlResult ctl_line(Server& s, std::string_view line, const CtlOut& out) {
    CtlResult res;
    std::vector<std::string> words;
    if (!ctl_split(line, words)) {
        res.rc = ctl_fail(out, "Unterminated quote");
        return res;
    }
    if (words.empty()) return res;
    const Verb* v = find_verb(words);
    if (!v) {
        res.rc = cli_text_command(s, words, out, res);
        return res;
    }
    std::span<const std::string> args =
        std::span<const std::string>(words).subspan(keyword_count(*v));
    std::size_t required = 0;
    std::vector<std::string_view> tokens = split_usage(v->usage);
    for (std::string_view t : tokens)
        if (!t.starts_with('[')) ++required;
    if (args.size() < required || args.size() > tokens.size()) {
        res.rc = ctl_fail(out, std::string("Usage: ") + verb_text(*v));
        return res;
    }
    res.rc = v->fn(s, args, out, res);
    return res;
}

std::vector<std::string> ctl_complete(Server& s, std::string_view partial) {
    std::vector<std::string> words;
    if (!ctl_split(partial, words)) return {};
    // The word being typed, or a new one after a blank.
    std::string prefix;
    bool fresh = partial.empty() || partial.back() == ' ' || partial.back() == '\t';
    if (!fresh && !words.empty()) {
        prefix = words.back();
        words.pop_back();
    }
    std::size_t pos = words.size();
    std::vector<std::string> out;
    for (const Verb& v : kVerbs) {
        std::size_t n = keyword_count(v);
        std::size_t common = 0;
        while (common < n && common < pos && words[common] == v.keywords[common]) ++common;
        if (common < pos && common < n) continue;  // a typed word leaves the keywords
        if (pos < n) {
            if (v.keywords[pos].starts_with(prefix)) add_unique(out, v.keywords[pos]);
        } else {
            usage_candidates(s, v, pos - n, prefix, out);
        }
    }
    for (std::string& w : cli_text_complete(s, words, prefix)) add_unique(out, w);
    return out;
}

}  // namespace sim
