// The startup configuration: "write memory" saves fed's running configuration
// as DIR/startup-config, and an apsim started on that directory applies it
// through the ordinary command path once fed runs. apsim's tables and fed's
// memory end with apsim: this file is what outlives it.

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "sim/ctl.h"
#include "sim/server.h"
#include "sim/verbs.h"

namespace sim {

namespace {

inline constexpr const char* kStartupName = "startup-config";
inline constexpr auto kFedUpWait = std::chrono::seconds(30);
inline constexpr auto kFedUpPoll = std::chrono::milliseconds(20);

std::string startup_path(const Server& s) {
    return s.dir + "/" + kStartupName;
}

bool is_comment_or_blank(std::string_view line) {
    std::size_t i = line.find_first_not_of(" \t");
    return i == std::string_view::npos || line[i] == '!' || line[i] == '#';
}

// fed is running and has said it is initialized, as "platform status" tells.
bool fed_up(Server& s) {
    std::string text;
    ctl_line(s, "platform status", [&](std::string_view t) { text += t; });
    return text.find("fed state: running\n") != std::string::npos &&
           text.find("initialized: yes\n") != std::string::npos;
}

void remember_saved(Server& s, std::string text) {
    std::lock_guard lock(s.config_mu);
    s.saved_config = std::move(text);
    s.saved_known = true;
}

}  // namespace

std::optional<std::string> startup_config_text(Server& s) {
    std::ifstream in(startup_path(s), std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void startup_apply(Server& s) {
    std::optional<std::string> text = startup_config_text(s);
    if (!text) {
        // fed boots with an empty configuration: that is what is "saved".
        remember_saved(s, "");
        return;
    }
    auto deadline = std::chrono::steady_clock::now() + kFedUpWait;
    while (!fed_up(s)) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "apsim: fed did not come up; %s not applied\n", kStartupName);
            return;
        }
        std::this_thread::sleep_for(kFedUpPoll);
    }
    std::istringstream lines(*text);
    std::string line;
    int failed = 0;
    for (int n = 1; std::getline(lines, line); ++n) {
        if (is_comment_or_blank(line)) continue;
        std::string said;
        CtlOut out([&](std::string_view t) { said += t; });
        if (ctl_line(s, line, out).rc == 0) continue;
        ++failed;
        std::fprintf(stderr, "apsim: %s:%d: failed: %s\n%s", kStartupName, n, line.c_str(),
                     said.c_str());
    }
    std::fprintf(stderr, "apsim: %s applied%s\n", kStartupName,
                 failed ? (", " + std::to_string(failed) + " lines failed").c_str() : "");
    CtlOut quiet([](std::string_view) {});
    if (std::optional<std::string> now = running_config_text(s, quiet)) remember_saved(s, *now);
}

int verb_write_memory(Server& s, VerbArgs, const CtlOut& out, CtlResult&) {
    std::optional<std::string> text = running_config_text(s, out);
    if (!text) return ctl_fail(out, "fed did not answer");
    // A new file that replaces the old at once: a crash never leaves half a configuration.
    std::string path = startup_path(s);
    std::string tmp = path + ".new";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        f << *text;
        if (!f.flush()) return ctl_fail(out, "Cannot write " + tmp);
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) return ctl_fail(out, "Cannot write " + path);
    remember_saved(s, *text);
    out("Configuration saved to " + path + "\n");
    return kCtlOk;
}

int verb_shutdown_saved(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res) {
    bool known;
    std::string saved;
    {
        std::lock_guard lock(s.config_mu);
        known = s.saved_known;
        saved = s.saved_config;
    }
    // Only a running fed has a configuration to lose.
    pid_t pid = 0;
    known = known && fed_state(s, &pid) == FedState::Running;
    CtlOut quiet([](std::string_view) {});
    std::optional<std::string> now = known ? running_config_text(s, quiet) : std::nullopt;
    if (now && *now != saved)
        out.err(
            "% Warning: the running configuration has changes that are not saved "
            "('write memory' saves them); stopping anyway\n");
    return verb_shutdown(s, a, out, res);
}

}  // namespace sim
