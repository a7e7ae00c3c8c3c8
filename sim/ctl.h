// apsim's control verbs: the text lines fedctl sends on a CTL connection.
// Lines that are no verb go to the CLI text path (fed's command table).
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace sim {

struct Server;

struct CtlResult {
    int rc = 0;  // CtlEnd's rc: 0 success, 1 failure
    // The line ran a command in fed: CtlEnd also carries the handler's result.
    bool has_fed_rc = false;
    std::int32_t fed_rc = 0;
    bool exit = false;  // apsim ends once the answer is sent
    std::string note;   // what made the line fail, in words (fedctl shows it)
};

using TextFn = std::function<void(std::string_view)>;

// Where a line's output goes: its text (standard output of fedctl), apsim's
// own messages (standard error), progress lines, and whether fedctl asked to
// stop or went away. A plain function takes everything as text.
struct CtlOut {
    TextFn text;
    TextFn error;                     // unset: text
    TextFn progress;                  // unset: dropped
    std::function<bool()> cancelled;  // unset: never

    CtlOut() = default;
    template <class F>
    requires(std::is_invocable_v<F&, std::string_view> &&
             !std::same_as<std::remove_cvref_t<F>, CtlOut>) CtlOut(F f)
        : text(std::move(f)) {}

    void operator()(std::string_view t) const { text(t); }
    void err(std::string_view t) const { error ? error(t) : text(t); }
    void step(std::string_view t) const {
        if (progress) progress(t);
    }
    bool stop() const { return cancelled && cancelled(); }
};

// Runs one line; everything printed goes to out. Never throws on bad input.
CtlResult ctl_line(Server& s, std::string_view line, const CtlOut& out);

// What may stand at the end of the partial line: keywords that continue the
// word being typed, or argument placeholders (upper case, "[OPTIONAL]").
std::vector<std::string> ctl_complete(Server& s, std::string_view partial);

// Splits a line into words as fedctl quotes them: blanks separate, "..."
// groups, \" and \\ escape inside quotes. False on an unterminated quote.
bool ctl_split(std::string_view line, std::vector<std::string>& words);

// ---- the CLI text path (cli_text.cpp): command text for fed ----

// Parses the words through the command table and runs the command in fed (or
// apsim's own "show running-config"); sets res.fed_rc when fed ran it.
int cli_text_command(Server& s, std::span<const std::string> words, const CtlOut& out,
                     CtlResult& res);
std::vector<std::string> cli_text_complete(Server& s, std::span<const std::string> words,
                                           std::string_view prefix);
// The syntax of every command family, for "help".
std::string cli_text_help();
// fed's running configuration as command lines; nothing when fed did not
// answer. *rc (if given) receives the handler's result.
std::optional<std::string> running_config_text(Server& s, const CtlOut& out,
                                               std::int32_t* rc = nullptr);

// ---- the startup configuration (startup.cpp): DIR/startup-config ----

// The saved configuration; nothing when none was saved.
std::optional<std::string> startup_config_text(Server& s);
// Waits until fed runs, then applies DIR/startup-config line by line through
// ctl_line, as fedctl -f would; failures go to stderr. Remembers the running
// configuration afterwards as the saved one.
void startup_apply(Server& s);

}  // namespace sim
