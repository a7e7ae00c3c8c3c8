// fedctl: the operator's CLI of a simulated access point.
//
//   fedctl [-d DIR] WORDS...     one command line
//   fedctl [-d DIR] -f FILE      every command line of FILE ("-": standard input)
//   fedctl [-d DIR]              interactive shell ('?' lists what may follow, Tab completes)
//
// Exit status: 0 when every command succeeded, 1 when one failed, 2 when apsim
// could not be reached or the command line of fedctl itself was wrong. What
// apsim prints goes to standard output; its messages, a non-zero result of a
// command handler in fed ("% rc 0x3001a") and fedctl's own words about what
// failed go to standard error. Ctrl-C asks apsim to stop the running command;
// a second one leaves at once.
#include <signal.h>
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
constexpr int kHistoryLines = 1000;

constexpr const char* kUsage =
    "usage: fedctl [-d DIR] [COMMAND WORDS...]\n"
    "       fedctl [-d DIR] -f FILE\n"
    "       fedctl [-d DIR] replay FILE [--clock capture|now] [--json] [--all] [--progress]\n"
    "DIR is the access point's run directory (default: $FED_DIR, else ./run).\n"
    "Without a command: an interactive shell; '?' lists what may follow, Tab completes.\n"
    "Output goes to stdout; apsim's refusals, failed results and fedctl's notes to stderr.\n"
    "Exit status: 0 all commands succeeded, 1 one failed, 2 no access point or bad usage.\n";

struct Options {
    std::string dir;
    std::string file;  // -f
    std::vector<std::string> words;
};

// Options stop at the first word of the command: its own words may start with '-'.
// False with the reason in *why.
bool parse_args(int argc, char** argv, Options& o, std::string* why) {
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
            if (i + 1 >= argc) {
                *why = std::string("option ") + std::string(a) + " needs a value";
                return false;
            }
            (a == "-d" ? o.dir : o.file) = argv[++i];
        } else if (a.starts_with("-d") || a.starts_with("-f")) {
            (a[1] == 'd' ? o.dir : o.file) = std::string(a.substr(2));
        } else if (a.starts_with('-') && a.size() > 1) {
            *why = std::string("unknown option ") + std::string(a);
            return false;
        } else {
            break;
        }
    }
    for (; i < argc; ++i) o.words.emplace_back(argv[i]);
    if (o.dir.empty()) *why = "the run directory is empty";
    if (!o.file.empty() && !o.words.empty()) *why = "-f and command words do not go together";
    return why->empty();
}

std::string current_dir() {
    std::vector<char> buf(4096);
    if (!::getcwd(buf.data(), buf.size())) return ".";
    return buf.data();
}

void print_text(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

// apsim as the operator would start it: the one beside this fedctl when there is one.
std::string apsim_command() {
    std::vector<char> buf(4096);
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return "apsim";
    std::string self(buf.data(), static_cast<std::size_t>(n));
    std::string apsim = self.substr(0, self.rfind('/') + 1) + "apsim";
    return ::access(apsim.c_str(), X_OK) == 0 ? apsim : "apsim";
}

bool connect_or_say(const std::string& dir, plat::Fd& conn) {
    switch (fedctl::connect_ap(dir, conn)) {
        case fedctl::ConnectResult::Ok:
            return true;
        case fedctl::ConnectResult::NoAccessPoint:
            std::fprintf(stderr,
                         "fedctl: no access point at %s\n"
                         "fedctl: start one with '%s -d %s --daemon' (add '--clock driven' "
                         "for a driven clock), or with scripts/run\n",
                         dir.c_str(), apsim_command().c_str(), dir.c_str());
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

// Ctrl-C: the first asks apsim to stop the running line, a second leaves.
volatile sig_atomic_t g_interrupts = 0;
volatile sig_atomic_t g_running = 0;  // a line is running

void on_sigint(int) {
    g_interrupts = g_interrupts + 1;
    if (g_running && g_interrupts >= 2) ::_exit(130);
}

void catch_sigint() {
    struct sigaction sa {};
    sa.sa_handler = on_sigint;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a wait for apsim ends and passes the interrupt on
    ::sigaction(SIGINT, &sa, nullptr);
}

// Progress lines redraw one line on a terminal and are kept apart otherwise.
bool g_progress_shown = false;

void show_progress(std::string_view text) {
    static const bool tty = ::isatty(STDERR_FILENO);
    if (tty)
        std::fprintf(stderr, "\r%.*s\033[K", static_cast<int>(text.size()), text.data());
    else
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    g_progress_shown = tty;
}

void end_progress() {
    if (g_progress_shown) std::fputs("\r\033[K", stderr);
    g_progress_shown = false;
}

void print_err(std::string_view text) {
    end_progress();
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
}

// Where a failed line came from: "" for the command line, else "FILE:N".
struct Origin {
    std::string where;
};

// Runs one line; kExitTrouble when the connection broke.
int run_one(int fd, const std::string& line, const std::string& cwd, const Origin& from = {}) {
    fedctl::LineIo io;
    io.out = [](std::string_view t) {
        end_progress();
        print_text(t);
    };
    io.err = print_err;
    io.progress = show_progress;
    io.interrupted = [] { return g_interrupts > 0; };
    g_running = 1;
    auto end = fedctl::run_line(fd, fedctl::resolve_line(line, cwd), io);
    g_running = 0;
    end_progress();
    std::fflush(stdout);
    if (!end) {
        std::fputs("fedctl: connection to apsim lost\n", stderr);
        return kExitTrouble;
    }
    // fed's result goes to standard error: standard output stays what fed printed.
    if (end->fed_rc && *end->fed_rc != 0)
        std::fputs(fedctl::fed_rc_text(*end->fed_rc).c_str(), stderr);
    if (end->rc == 0) return kExitOk;
    // apsim's refusal of a typed line names the problem itself; a bare result
    // code does not, nor does a refusal in the middle of a file: name the line.
    bool refusal_says_it = from.where.empty() && !end->fed_rc && end->note.empty();
    if (!refusal_says_it) {
        std::string msg = "fedctl: ";
        if (!from.where.empty()) msg += from.where + ": ";
        msg += "failed: " + line;
        if (!end->note.empty()) msg += " (" + end->note + ")";
        std::fprintf(stderr, "%s\n", msg.c_str());
    }
    return kExitFailed;
}

bool is_comment_or_blank(std::string_view line) {
    std::size_t i = line.find_first_not_of(" \t");
    return i == std::string_view::npos || line[i] == '!' || line[i] == '#';
}

// Every command line of a file, in order; a failed one does not stop the rest,
// but Ctrl-C does.
int run_stream(int fd, std::istream& in, const std::string& name, const std::string& cwd) {
    int failed = 0;
    int ran = 0;
    int last = 0;
    std::string line;
    for (int n = 1; g_interrupts == 0 && std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (is_comment_or_blank(line)) continue;
        ++ran;
        last = n;
        int rc = run_one(fd, line, cwd, Origin{name + ":" + std::to_string(n)});
        if (rc == kExitTrouble) return rc;
        if (rc != kExitOk) ++failed;
    }
    if (g_interrupts > 0) {
        std::fprintf(stderr, "fedctl: %s: interrupted after line %d\n", name.c_str(), last);
        return kExitFailed;
    }
    if (failed)
        std::fprintf(stderr, "fedctl: %s: %d of %d commands failed\n", name.c_str(), failed, ran);
    return failed ? kExitFailed : kExitOk;
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

bool is_replay_file_word(int start) {
    std::vector<std::string> words;
    std::string before(rl_line_buffer, static_cast<std::size_t>(start));
    return cmdtbl::split_line(before, words) && words.size() == 1 && words[0] == "replay";
}

char** attempt_completion(const char* text, int start, int end) {
    // After "replay" comes a capture file: readline completes file names.
    if (is_replay_file_word(start)) {
        rl_attempted_completion_over = 0;
        return nullptr;
    }
    rl_attempted_completion_over = 1;  // never fall back to file names
    g_matches.clear();
    auto words = ask(std::string_view(rl_line_buffer, static_cast<std::size_t>(end)));
    if (!words) return nullptr;
    std::string_view prefix = text;
    for (std::string& w : *words)
        if (!is_placeholder(w) && w.starts_with(prefix)) g_matches.push_back(std::move(w));
    return rl_completion_matches(text, next_match);
}

// Ctrl-C at the prompt drops what was typed and gives a fresh prompt, as on a router.
int clear_line_on_interrupt() {
    if (g_interrupts == 0) return 0;
    g_interrupts = 0;
    rl_replace_line("", 0);
    rl_crlf();
    rl_on_new_line();
    rl_redisplay();
    return 0;
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
    rl_signal_event_hook = clear_line_on_interrupt;
    rl_bind_key('?', help_key);
    using_history();
    stifle_history(kHistoryLines);
    std::string hist = history_file();
    if (!hist.empty()) read_history(hist.c_str());

    int status = kExitOk;
    for (;;) {
        g_interrupts = 0;
        char* raw = readline("fedctl> ");
        if (!raw) {
            std::fputc('\n', stdout);
            break;
        }
        std::string line = raw;
        std::free(raw);
        if (is_comment_or_blank(line)) continue;
        add_history(line.c_str());
        // Each line is appended at once: two shells add to the file, neither overwrites it.
        if (!hist.empty() && append_history(1, hist.c_str()) == ENOENT) write_history(hist.c_str());
        std::vector<std::string> words;
        if (cmdtbl::split_line(line, words) && words.size() == 1 &&
            (words[0] == "exit" || words[0] == "quit"))
            break;
        if (run_one(fd, line, cwd) == kExitTrouble || g_lost) {
            status = kExitTrouble;
            break;
        }
    }
    if (!hist.empty()) history_truncate_file(hist.c_str(), kHistoryLines);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string why;
    if (!parse_args(argc, argv, o, &why)) {
        std::fprintf(stderr, "fedctl: %s\n%s", why.c_str(), kUsage);
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
    catch_sigint();

    if (!o.words.empty()) return run_one(conn.get(), fedctl::join_words(o.words), cwd);
    if (!o.file.empty() && o.file != "-") return run_stream(conn.get(), file, o.file, cwd);
    // Piped input is a file of commands, not a terminal session.
    if (!o.file.empty() || !::isatty(STDIN_FILENO))
        return run_stream(conn.get(), std::cin, "stdin", cwd);
    return shell(conn.get(), cwd);
}
