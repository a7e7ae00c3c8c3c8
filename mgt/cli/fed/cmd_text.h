// Command text <-> argument records through the command table: the parser of
// apsim's CLI front end, the renderer of running-configuration records, and
// the help and completion of fedctl. Pure functions: no I/O, no platform.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

struct ParsedCmd {
    std::uint32_t id = 0;
    std::uint32_t type = 0;            // 0 plain form, 2 "no" form
    std::vector<std::uint8_t> record;  // the argument record, row.size bytes
    const CmdRow* row = nullptr;
};

struct ParseResult {
    bool ok = false;
    ParsedCmd cmd;
    std::string error;  // e.g. "% Invalid input at word 3: 'foo'", without a line end
};

// Splits a line into words: blanks separate, "..." groups (so a name may hold
// blanks), \" and \\ escape inside quotes. False on an unterminated quote.
bool split_line(std::string_view line, std::vector<std::string>& words);

// A word as it must be typed so that split_line gives it back: in quotes, with
// '"' and '\' escaped, when it is empty or holds a blank, a quote, a backslash
// or a control character; as it is otherwise.
std::string quote_word(std::string_view w);

// Text of the words -> (command identifier, type, record). Never throws; bad
// input gives ok false and a message naming the word (1-based) where it failed,
// or "% Unknown command: LINE" when no command starts with the first word.
ParseResult parse_words(std::span<const std::string> words,
                        std::span<const CmdFamily> families = cmd_families());
ParseResult parse_line(std::string_view line, std::span<const CmdFamily> families = cmd_families());

// A type-7 running-configuration record -> one command line (bit 31 of the flag
// word gives the "no" form). Nothing when no row of the command fits the record.
std::optional<std::string> render_record(std::uint32_t id, std::span<const std::uint8_t> record,
                                         std::span<const CmdFamily> families = cmd_families());

// A type-22 record (u32 command identifier, text, NUL) -> its text.
std::optional<std::string> render_text_record(std::span<const std::uint8_t> data);

// What may stand at the end of a partial line: `words` are the complete words
// typed so far, `prefix` the word being typed (may be empty). Keywords that
// continue the prefix (sorted), then argument placeholders ("NAME",
// "<64-1460>", "A.B.C.D"), then "<cr>" when the words already make a command.
std::vector<std::string> complete_words(std::span<const std::string> words, std::string_view prefix,
                                        std::span<const CmdFamily> families = cmd_families());

// The syntax of a row as help shows it: "[no] ip tcp-mss-threshold size <64-1460>".
std::string display_form(const CmdRow& row);

// Every family's title and the syntax and help of each of its rows.
std::string help_text(std::span<const CmdFamily> families = cmd_families());

}  // namespace cmdtbl
