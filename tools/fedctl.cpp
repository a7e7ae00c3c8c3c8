// fedctl: the operator's CLI of a simulated access point.
//
//   fedctl [-d DIR] WORDS...     one command line
//   fedctl [-d DIR] -f FILE      every command line of FILE ("-": standard input)
//   fedctl [-d DIR]              interactive shell ('?' lists what may follow, Tab completes)
//
// Exit status: 0 when every command succeeded, 1 when one failed, 2 when apsim
// could not be reached or the command line of fedctl itself was wrong. A
// non-zero result of a command handler in fed is also written to standard
// error as "% rc 0x3001a".
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

// readline needs stdio declared first.
#include <readline/history.h>
#include <readline/readline.h>

#include "mgt/cli/fed/cmd_text.h"
#include "tools/ctl.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitTrouble = 2;

constexpr const char* kUsage =
    "usage: fedctl [-d DIR] [COMMAND WORDS...]\n"
    "       fedctl [-d DIR] -f FILE\n"
    "       fedctl [-d DIR] replay FILE [--clock capture|now] [--json]\n"
    "DIR is the access point's run directory (default: $FED_DIR, else ./run).\n"
    "Without a command: an interactive shell; '?' lists what may follow, Tab completes.\n";

struct Options {
    std::string dir;
    std::string file;  // -f
    std::vector<std::string> words;
};

// Options stop at the first word of the command: its own words may start with '-'.
bool parse_args(int argc, char** argv, Options& o) {
    const char* env = std::getenv("FED_DIR");
    o.dir = (env && *env) ? env : "./run";
    int i = 1;
    for (; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(kExitOk);
        }
        if (a == "-d" || a == "-f") {
            if (i + 1 >= argc) return false;
            (a == "-d" ? o.dir : o.file) = argv[++i];
        } else if (a.starts_with("-d") || a.starts_with("-f")) {
            (a[1] == 'd' ? o.dir : o.file) = std::string(a.substr(2));
        } else if (a.starts_with('-') && a.size() > 1) {
            return false;
        } else {
            break;
        }
    }
    for (; i < argc; ++i) o.words.emplace_back(argv[i]);
    return !o.dir.empty() && !(!o.file.empty() && !o.words.empty());
}

std::string current_dir() {
    std::vector<char> buf(4096);
    if (!::getcwd(buf.data(), buf.size())) return ".";
    return buf.data();
}

void print_text(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

bool connect_or_say(const std::string& dir, plat::Fd& conn) {
    switch (fedctl::connect_ap(dir, conn)) {
        case fedctl::ConnectResult::Ok:
            return true;
        case fedctl::ConnectResult::NoAccessPoint:
            std::fprintf(stderr, "fedctl: no access point at %s\n", dir.c_str());
            return false;
        case fedctl::ConnectResult::Refused:
            std::fprintf(stderr, "fedctl: the access point at %s refused the connection\n",
                         dir.c_str());
            return false;
        case fedctl::ConnectResult::Failed:
            break;
    }
    std::fprintf(stderr, "fedctl: cannot talk to the access point at %s\n", dir.c_str());
    return false;
}

// Runs one line; kExitTrouble when the connection broke.
int run_one(int fd, const std::string& line, const std::string& cwd) {
    std::optional<std::int32_t> fed_rc;
    auto rc = fedctl::run_line(fd, fedctl::resolve_line(line, cwd), print_text, &fed_rc);
    std::fflush(stdout);
    if (!rc) {
        std::fputs("fedctl: connection to apsim lost\n", stderr);
        return kExitTrouble;
    }
    // fed's result goes to standard error: standard output stays what fed printed.
    if (fed_rc && *fed_rc != 0) std::fputs(fedctl::fed_rc_text(*fed_rc).c_str(), stderr);
    return *rc == 0 ? kExitOk : kExitFailed;
}

bool is_comment_or_blank(std::string_view line) {
    std::size_t i = line.find_first_not_of(" \t");
    return i == std::string_view::npos || line[i] == '!' || line[i] == '#';
}

// Every command line of a file, in order; a failed one does not stop the rest.
int run_stream(int fd, std::istream& in, const std::string& cwd) {
    int status = kExitOk;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (is_comment_or_blank(line)) continue;
        int rc = run_one(fd, line, cwd);
        if (rc == kExitTrouble) return rc;
        if (rc != kExitOk) status = kExitFailed;
    }
    return status;
}

// ---- interactive shell ----

int g_fd = -1;  // readline's callbacks take no context
std::vector<std::string> g_matches;
bool g_lost = false;

std::optional<std::vector<std::string>> ask(std::string_view partial) {
    auto words = fedctl::complete(g_fd, partial);
    if (!words) g_lost = true;
    return words;
}

// Argument placeholders ("NAME", "<1-1023>", "A.B.C.D") are shown by '?' but
// never typed in by Tab.
bool is_placeholder(std::string_view w) {
    if (w.empty() || w[0] == '<' || w[0] == '[') return true;
    for (char c : w)
        if (c >= 'a' && c <= 'z') return false;
    return true;
}

char* next_match(const char* /*text*/, int state) {
    static std::size_t i;
    if (state == 0) i = 0;
    return i < g_matches.size() ? ::strdup(g_matches[i++].c_str()) : nullptr;
}

char** attempt_completion(const char* text, int /*start*/, int end) {
    rl_attempted_completion_over = 1;  // never fall back to file names
    g_matches.clear();
    auto words = ask(std::string_view(rl_line_buffer, static_cast<std::size_t>(end)));
    if (!words) return nullptr;
    std::string_view prefix = text;
    for (std::string& w : *words)
        if (!is_placeholder(w) && w.starts_with(prefix)) g_matches.push_back(std::move(w));
    return rl_completion_matches(text, next_match);
}

// '?': list what may come next, one word a line, then give the line back.
int help_key(int /*count*/, int /*key*/) {
    std::string partial(rl_line_buffer, static_cast<std::size_t>(rl_point));
    std::vector<std::string> scratch;
    if (!cmdtbl::split_line(partial, scratch)) return rl_insert_text("?");  // inside a quoted name
    auto words = ask(partial);
    std::fputc('\n', rl_outstream);
    if (!words)
        std::fputs("fedctl: connection to apsim lost\n", rl_outstream);
    else
        for (const std::string& w : *words) std::fprintf(rl_outstream, "%s\n", w.c_str());
    rl_on_new_line();
    rl_redisplay();
    return 0;
}

std::string history_file() {
    const char* home = std::getenv("HOME");
    return (home && *home) ? std::string(home) + "/.fedctl_history" : std::string();
}

int shell(int fd, const std::string& cwd) {
    g_fd = fd;
    rl_readline_name = "fedctl";
    rl_attempted_completion_function = attempt_completion;
    rl_bind_key('?', help_key);
    using_history();
    stifle_history(1000);
    std::string hist = history_file();
    if (!hist.empty()) read_history(hist.c_str());

    int status = kExitOk;
    for (;;) {
        char* raw = readline("fedctl> ");
        if (!raw) {
            std::fputc('\n', stdout);
            break;
        }
        std::string line = raw;
        std::free(raw);
        if (is_comment_or_blank(line)) continue;
        add_history(line.c_str());
        std::vector<std::string> words;
        if (cmdtbl::split_line(line, words) && words.size() == 1 &&
            (words[0] == "exit" || words[0] == "quit"))
            break;
        if (run_one(fd, line, cwd) == kExitTrouble || g_lost) {
            status = kExitTrouble;
            break;
        }
    }
    if (!hist.empty()) write_history(hist.c_str());
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse_args(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return kExitTrouble;
    }
    std::string cwd = current_dir();

    std::ifstream file;
    if (!o.file.empty() && o.file != "-") {
        file.open(o.file);
        if (!file) {
            std::fprintf(stderr, "fedctl: cannot read %s: %s\n", o.file.c_str(),
                         std::strerror(errno));
            return kExitTrouble;
        }
    }

    plat::Fd conn;
    if (!connect_or_say(o.dir, conn)) return kExitTrouble;

    if (!o.words.empty()) return run_one(conn.get(), fedctl::join_words(o.words), cwd);
    if (!o.file.empty()) return run_stream(conn.get(), o.file == "-" ? std::cin : file, cwd);
    // Piped input is a file of commands, not a terminal session.
    if (!::isatty(STDIN_FILENO)) return run_stream(conn.get(), std::cin, cwd);
    return shell(conn.get(), cwd);
}
