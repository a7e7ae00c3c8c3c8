#include "tools/ctl.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "mgt/cli/fed/cmd_text.h"
#include "platform/wire.h"

namespace fedctl {

std::string join_words(std::span<const std::string> words) {
    std::string line;
    for (const std::string& w : words) {
        if (&w != words.data()) line += ' ';
        line += cmdtbl::quote_word(w);
    }
    return line;
}

std::string resolve_line(std::string_view line, std::string_view cwd) {
    std::vector<std::string> words;
    if (!cmdtbl::split_line(line, words) || words.size() < 2 || words[0] != "replay" ||
        words[1].starts_with('/') || words[1].starts_with('-'))
        return std::string(line);
    words[1] = std::string(cwd) + "/" + words[1];
    return join_words(words);
}

ConnectResult connect_ap(const std::string& dir, plat::Fd& conn) {
    std::string path = dir + "/" + proto::kSocketName;
    sockaddr_un sa{};
    sa.sun_family = AF_UNIX;
    if (path.size() >= sizeof sa.sun_path) return ConnectResult::Failed;
    std::memcpy(sa.sun_path, path.c_str(), path.size() + 1);

    plat::Fd c(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!c.valid()) return ConnectResult::Failed;
    if (::connect(c.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        int e = errno;
        return (e == ENOENT || e == ECONNREFUSED || e == ENOTDIR) ? ConnectResult::NoAccessPoint
                                                                  : ConnectResult::Failed;
    }

    wire::Writer hello;
    hello.h32(static_cast<std::uint32_t>(proto::Kind::Ctl))
        .h32(static_cast<std::uint32_t>(::getpid()));
    proto::Op op{};
    std::vector<std::uint8_t> reply;
    if (!plat::write_frame(c.get(), proto::Op::Hello, hello.span()) ||
        !plat::read_frame(c.get(), op, reply) || op != proto::Op::Hello)
        return ConnectResult::Failed;
    wire::Reader r(reply);
    std::int32_t rc = r.hi32();
    if (!r.ok() || rc != 0) return ConnectResult::Refused;
    conn = std::move(c);
    return ConnectResult::Ok;
}

std::string fed_rc_text(std::int32_t rc) {
    char buf[32];
    if (rc < 0)
        std::snprintf(buf, sizeof buf, "%% rc %d\n", rc);
    else
        std::snprintf(buf, sizeof buf, "%% rc 0x%x\n", static_cast<unsigned>(rc));
    return buf;
}

std::optional<LineEnd> run_line(int fd, std::string_view line, const LineIo& io) {
    wire::Writer w;
    w.str(line);
    if (!plat::write_frame(fd, proto::Op::CtlLine, w.span())) return std::nullopt;
    bool cancel_sent = false;
    proto::Op op{};
    std::vector<std::uint8_t> payload;
    for (;;) {
        if (!cancel_sent && io.interrupted && io.interrupted()) {
            cancel_sent = true;
            if (!plat::write_frame(fd, proto::Op::CtlCancel, {})) return std::nullopt;
        }
        // A signal ends the wait, so that an interrupt is passed on at once.
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, -1) < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (!plat::read_frame(fd, op, payload)) return std::nullopt;
        wire::Reader r(payload);
        if (op == proto::Op::CtlOutput || op == proto::Op::CtlError ||
            op == proto::Op::CtlProgress) {
            std::string text = r.str();
            if (!r.ok()) return std::nullopt;
            const auto& sink = op == proto::Op::CtlOutput  ? io.out
                               : op == proto::Op::CtlError ? io.err
                                                           : io.progress;
            if (sink) sink(text);
        } else if (op == proto::Op::CtlEnd) {
            LineEnd end;
            end.rc = r.hi32();
            if (!r.ok()) return std::nullopt;
            // An older apsim sends the rc alone, or without the note.
            if (r.left() >= 4) end.fed_rc = r.hi32();
            if (r.left() >= 4) end.note = r.str();
            if (!r.ok()) return std::nullopt;
            return end;
        }
        // Anything else is not for a command line; a newer apsim may send it.
    }
}

std::optional<std::vector<std::string>> complete(int fd, std::string_view partial) {
    wire::Writer w;
    w.str(partial);
    if (!plat::write_frame(fd, proto::Op::CtlComplete, w.span())) return std::nullopt;
    proto::Op op{};
    std::vector<std::uint8_t> payload;
    do {
        if (!plat::read_frame(fd, op, payload)) return std::nullopt;
    } while (op != proto::Op::CtlComplete);
    wire::Reader r(payload);
    std::uint32_t n = r.h32();
    std::vector<std::string> words;
    // The count comes from the peer: each word costs at least its length word,
    // so a lying count ends at the end of the payload.
    for (std::uint32_t i = 0; i < n && r.ok(); ++i) words.push_back(r.str());
    if (!r.ok()) return std::nullopt;
    return words;
}

}  // namespace fedctl
