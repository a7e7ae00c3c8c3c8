// What the platform library's source files share among themselves; not for fed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// Clock: forget the chosen clock source (the run directory changed).
void clock_reset_source();
// True when the uptime comes from apsim's driven clock page (the timer thread
// then serves TIMER requests instead of waiting on its own).
bool clock_is_page_driven();
// Local (no clock page) clock in use: timers fire from clock_advance_ms.
bool clock_is_local();

// Log: reopen DIR/messages at the next line (the run directory changed).
void log_reset();
// A message keeps its own text; only the one newline that ends it goes, since
// a log line gets its own.
std::string strip_newline(std::string text);
// syslog(3) at `level`, and a copy to apsim (Op::Log).
void system_log(int level, const std::string& text);
// Appends one line (text without its newline) to DIR/messages, or to stderr
// without a run directory.
void log_line(const std::string& line);

// Debug flags as registered, for the CLI agent's flag list.
struct DebugFlag {
    std::string module;
    std::string name;
    std::uint32_t* word;
    std::uint32_t bit;
    bool lib;
};
std::vector<DebugFlag> debug_flags();

// Closes the CALL connection (the run directory changed).
void call_reset();

}  // namespace plat
