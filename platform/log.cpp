// Logging: one line per call, appended to DIR/messages with one write so
// that lines of different threads never interleave. Formats of a line:
//   qz_log(6, ...)        "<6> text"
//   qz_log_flash(5, ...)  "<5F> text"
//   qz_syslog(15, ...)    "<15> text"
//   __qz_err(" ", 68, ...)            "ERR  :68 text"
//   __qz_dbg(" ", 123, "fed_basic", ...) "DBG  :123 fed_basic text"
//   qz_hexdump            "HEX 0010: 01 02 ..." (16 bytes a line)
#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/backend.h"
#include "platform/frame.h"
#include "platform/internal.h"
#include "platform/qz.h"

namespace plat {
namespace {

struct LogFile {
    std::mutex mu;
    Fd fd;
    bool opened = false;
};
LogFile& log_file() {
    static LogFile f;
    return f;
}

bool write_all(int fd, const std::string& s) {
    std::size_t off = 0;
    while (off < s.size()) {
        ssize_t w = ::write(fd, s.data() + off, s.size() - off);
        if (w <= 0) return false;
        off += static_cast<std::size_t>(w);
    }
    return true;
}

// A copy of a system-log line for apsim's `platform log` view.
void copy_to_apsim(int level, const std::string& text) {
    wire::Writer req;
    req.h32(static_cast<std::uint32_t>(level)).str(text);
    std::vector<std::uint8_t> reply;
    call(proto::Op::Log, req, reply);
}

}  // namespace

std::string strip_newline(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

void system_log(int level, const std::string& text) {
    ::syslog(level, "%s", text.c_str());
    copy_to_apsim(level, text);
}

void log_reset() {
    LogFile& f = log_file();
    std::lock_guard lock(f.mu);
    f.fd.reset();
    f.opened = false;
}

void log_line(const std::string& line) {
    std::string s = line + '\n';
    const std::string& dir = run_dir();
    if (!dir.empty()) {
        LogFile& f = log_file();
        std::lock_guard lock(f.mu);
        if (!f.opened) {
            std::string path = dir + "/" + proto::kLogName;
            f.fd = Fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
            f.opened = true;
        }
        if (f.fd.valid() && write_all(f.fd.get(), s)) return;
    }
    write_all(2, s);
}

}  // namespace plat

namespace {

std::string vtext(const char* fmt, va_list ap) {
    return plat::strip_newline(qz_vformat(fmt, ap));
}

void level_line(int level, const char* suffix, const std::string& text) {
    plat::log_line(qz_format("<%d%s> %s", level, suffix, text.c_str()));
    plat::system_log(level, text);
}

}  // namespace

void qz_log(int level, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string text = vtext(fmt, ap);
    va_end(ap);
    level_line(level, "", text);
}

void qz_log_flash(int level, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string text = vtext(fmt, ap);
    va_end(ap);
    level_line(level, "F", text);
}

void qz_syslog(int priority, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string text = vtext(fmt, ap);
    va_end(ap);
    level_line(priority, "", text);
}

void __qz_err(const char* tag, int line, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string text = vtext(fmt, ap);
    va_end(ap);
    plat::log_line(qz_format("ERR %s:%d %s", tag ? tag : "", line, text.c_str()));
}

void __qz_dbg(const char* tag, int line, const char* flag, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string text = vtext(fmt, ap);
    va_end(ap);
    plat::log_line(
        qz_format("DBG %s:%d %s %s", tag ? tag : "", line, flag ? flag : "", text.c_str()));
}

void qz_hexdump(const void* buf, int len) {
    if (!buf || len <= 0) return;
    const auto* p = static_cast<const std::uint8_t*>(buf);
    for (int off = 0; off < len; off += 16) {
        char line[80];
        int n = std::snprintf(line, sizeof line, "HEX %04x:", static_cast<unsigned>(off));
        for (int i = off; i < len && i < off + 16; ++i)
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), " %02x", p[i]);
        plat::log_line(line);
    }
}
