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

// Sends one command line; out() receives every CtlOutput text in order.
// Returns CtlEnd's rc, or nothing when the connection failed. When the line ran
// a command in fed, *fed_rc (if given) receives the handler's result.
std::optional<std::int32_t> run_line(int fd, std::string_view line,
                                     const std::function<void(std::string_view)>& out,
                                     std::optional<std::int32_t>* fed_rc = nullptr);

// How fedctl reports a handler's non-zero result on standard error:
// "% rc 0x3001a" (negative results in decimal: "% rc -1").
std::string fed_rc_text(std::int32_t rc);

// Asks apsim what may follow the partial line. Nothing when the connection failed.
std::optional<std::vector<std::string>> complete(int fd, std::string_view partial);

}  // namespace fedctl
