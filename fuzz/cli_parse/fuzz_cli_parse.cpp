// Command text through the command table. The first byte picks the input:
//  even: the rest is a command line: parse -> render -> parse gives the same
//        command, type and record, and every parsed record renders;
//  odd:  the second byte picks a row's command, the rest is its record: a
//        record that renders gives a line that parses and renders the same.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mgt/cli/fed/cmd_text.h"

namespace {

std::vector<std::uint32_t> row_ids() {
    std::vector<std::uint32_t> ids;
    for (const cmdtbl::CmdFamily& f : cmdtbl::cmd_families())
        for (const cmdtbl::CmdRow& r : f.rows) ids.push_back(r.id);
    return ids;
}

void line_input(std::string_view line) {
    std::vector<std::string> words;
    if (cmdtbl::split_line(line, words) && !words.empty()) {
        // Completion after the line, and of its last word, must not fail either.
        cmdtbl::complete_words(words, "");
        cmdtbl::complete_words(std::span<const std::string>(words).first(words.size() - 1),
                               words.back());
    }
    cmdtbl::ParseResult a = cmdtbl::parse_line(line);
    if (!a.ok) {
        if (a.error.empty() || a.error[0] != '%') __builtin_trap();
        return;
    }
    auto text = cmdtbl::render_record(a.cmd.id, a.cmd.record);
    if (!text) __builtin_trap();
    cmdtbl::ParseResult b = cmdtbl::parse_line(*text);
    if (!b.ok || b.cmd.id != a.cmd.id || b.cmd.type != a.cmd.type || b.cmd.record != a.cmd.record)
        __builtin_trap();
}

void record_input(std::uint32_t id, std::span<const std::uint8_t> rec) {
    auto text = cmdtbl::render_record(id, rec);
    if (!text) return;
    cmdtbl::ParseResult p = cmdtbl::parse_line(*text);
    if (!p.ok) __builtin_trap();
    auto again = cmdtbl::render_record(p.cmd.id, p.cmd.record);
    if (!again || *again != *text) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint32_t> ids = row_ids();
    if (size == 0) return 0;
    if (data[0] % 2 == 0) {
        line_input(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    } else if (size >= 2 && !ids.empty()) {
        record_input(ids[data[1] % ids.size()], std::span<const std::uint8_t>(data + 2, size - 2));
    }
    return 0;
}
