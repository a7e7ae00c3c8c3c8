// Argument records -> command text, and the syntax that help shows.
#include <algorithm>
#include <cstring>

#include "mgt/cli/fed/cmd_paths.h"
#include "mgt/cli/fed/cmd_text.h"

namespace cmdtbl {

namespace {

bool holds(const Path& p, std::span<const std::uint8_t> rec) {
    std::uint32_t flags = record_word(rec, 0);
    for (const PathCheck& c : p.checks) {
        switch (c.what) {
            case PathCheck::What::BitSet:
                if (!(flags & (1u << c.a))) return false;
                break;
            case PathCheck::What::BitClear:
                if (flags & (1u << c.a)) return false;
                break;
            case PathCheck::What::WordEq:
                if (record_word(rec, c.a) != c.b) return false;
                break;
        }
    }
    return true;
}

bool render_path(const Path& p, std::span<const std::uint8_t> rec, std::string& line) {
    for (const FormTok& t : p.words) {
        std::string w;
        if (t.tok == Tok::Keyword) {
            w = t.text;
        } else if (!arg_word(t, rec, w)) {
            return false;
        } else if (t.kind == Kind::Str) {
            w = quote_word(w);
        }
        if (!line.empty()) line += ' ';
        line += w;
    }
    return true;
}

}  // namespace

std::optional<std::string> render_record(std::uint32_t id, std::span<const std::uint8_t> record,
                                         std::span<const CmdFamily> fams) {
    bool neg = (record_word(record, 0) & kNoFormBit) != 0;
    for (const CmdFamily& f : fams)
        for (const CmdRow& r : f.rows) {
            if (r.id != id) continue;
            if (neg ? r.no == NoForm::None : r.no == NoForm::Only) continue;
            // Fields past a short record read as zero.
            std::vector<std::uint8_t> rec(std::max<std::size_t>(r.size, record.size()), 0);
            if (!record.empty()) std::memcpy(rec.data(), record.data(), record.size());
            for (const Path& p : row_paths(r)) {
                if (!holds(p, rec)) continue;
                std::string line = neg ? "no" : "";
                if (render_path(p, rec, line)) return line;
            }
        }
    return std::nullopt;
}

std::optional<std::string> render_text_record(std::span<const std::uint8_t> data) {
    if (data.size() < 4) return std::nullopt;
    auto text = data.subspan(4);
    std::size_t n = 0;
    while (n < text.size() && text[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(text.data()), n);
}

std::string display_form(const CmdRow& row) {
    std::string s;
    if (row.no == NoForm::Also) s = "[no] ";
    if (row.no == NoForm::Only) s = "no ";
    std::size_t pos = 0;
    bool glue = true;  // no blank after '[' / '(' / '|' or at the start
    for (;;) {
        FormTok t = form_next(row.form, pos);
        if (t.tok == Tok::End || t.tok == Tok::Bad) break;
        std::string piece;
        bool close = false;
        switch (t.tok) {
            case Tok::Keyword:
                piece = t.text;
                break;
            case Tok::Arg:
                piece = arg_placeholder(t);
                break;
            case Tok::OptOpen:
                piece = "[";
                break;
            case Tok::AltOpen:
                piece = "(";
                break;
            case Tok::AltBar:
                piece = " |";
                close = true;
                break;
            case Tok::OptClose:
                piece = "]";
                close = true;
                break;
            case Tok::AltClose:
                piece = ")";
                close = true;
                break;
            default:
                continue;
        }
        if (!glue && !close) s += ' ';
        s += piece;
        glue = t.tok == Tok::OptOpen || t.tok == Tok::AltOpen;
    }
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

std::string help_text(std::span<const CmdFamily> fams) {
    constexpr std::size_t kHelpColumn = 52;
    std::string out;
    for (const CmdFamily& f : fams) {
        out += std::string(f.title) + "\n";
        for (const CmdRow& r : f.rows) {
            std::string line = "  " + display_form(r);
            if (line.size() + 2 > kHelpColumn)
                line += "\n" + std::string(kHelpColumn, ' ');
            else
                line.resize(kHelpColumn, ' ');
            out += line + std::string(r.help) + "\n";
        }
    }
    return out;
}

}  // namespace cmdtbl
