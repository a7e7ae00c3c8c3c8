// fedctl's client side of the apsim control connection, without any terminal
// handling, so that tests can drive it against a fake server.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/frame.h"

namespace fedctl {

// ---- command text ----

// Joins words with single blanks, each quoted as the command parser needs it
// (cmdtbl::quote_word); cmdtbl::split_line gives them back.
std::string join_words(std::span<const std::string> words);

// apsim resolves paths against its own directory: a "replay FILE ..." line gets
// FILE made absolute against cwd. Other lines come back unchanged.
std::string resolve_line(std::string_view line, std::string_view cwd);

// ---- a control connection ----

enum class ConnectResult { Ok, NoAccessPoint, Refused, Failed };

// Connects to DIR/apsim.sock and says HELLO as a CTL connection.
// NoAccessPoint: no socket, or nobody listening on it; Refused: apsim said no.
ConnectResult connect_ap(const std::string& dir, plat::Fd& conn);

// Where the frames of a running line go, and whether to stop it.
struct LineIo {
    std::function<void(std::string_view)> out;       // CtlOutput: standard output
    std::function<void(std::string_view)> err;       // CtlError: standard error
    std::function<void(std::string_view)> progress;  // CtlProgress: one line, no line end
    // Asked while waiting; once it says true, apsim is asked to stop the line.
    std::function<bool()> interrupted;
};

struct LineEnd {
    std::int32_t rc = 0;                 // 0 ok, 1 failed
    std::optional<std::int32_t> fed_rc;  // the result of the fed handler the line ran
    std::string note;                    // what made it fail, in words, or empty
};

// Sends one command line and passes every frame to io until CtlEnd.
// Nothing when the connection failed.
std::optional<LineEnd> run_line(int fd, std::string_view line, const LineIo& io);

// How fedctl reports a handler's non-zero result on standard error:
// "% rc 0x3001a" (negative results in decimal: "% rc -1").
std::string fed_rc_text(std::int32_t rc);

// Asks apsim what may follow the partial line. Nothing when the connection failed.
std::optional<std::vector<std::string>> complete(int fd, std::string_view partial);

}  // namespace fedctl
