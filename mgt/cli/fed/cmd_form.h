// The form notation of the command table (cmd_table.h), read by a constexpr
// lexer so that every row is checked when the table is compiled and read again
// by the parser and renderer at run time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

enum class Kind : std::uint8_t { U32, Hex, Str, Mac, Oui, Ip, Mask, ChoiceText, ChoiceNum };

enum class Tok : std::uint8_t {
    End,
    Keyword,   // literal word
    Arg,       // <...>: consumes one word, stores a value
    Const,     // =V@OFF
    Flag,      // #B
    OptOpen,   // [
    OptClose,  // ]
    AltOpen,   // (
    AltBar,    // |
    AltClose,  // )
    Bad,
};

struct FormTok {
    Tok tok = Tok::End;
    std::string_view text;  // Keyword: the word; Arg: the label (may be empty); Bad: why
    Kind kind = Kind::U32;
    std::uint32_t off = 0;    // Arg, Const: byte offset in the record
    std::uint32_t width = 0;  // Arg, Const: bytes written at off
    std::uint32_t lo = 0;     // u32/hex range
    std::uint32_t hi = 0xFFFFFFFFu;
    std::string_view choices;  // "a|b|c" or "a=1|b=2"
    std::uint32_t value = 0;   // Const: the value; Flag: the bit
};

// Bounds of the notation: they keep the path expansion of one form small.
inline constexpr std::size_t kMaxFormDepth = 8;
inline constexpr std::size_t kMaxPaths = 4096;
inline constexpr std::size_t kMaxPathWords = 64;
inline constexpr std::uint32_t kNoFormBit = 0x80000000u;

namespace form_detail {

constexpr bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
constexpr bool is_keyword_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
           c == '/';
}
constexpr bool is_lower(char c) {
    return c >= 'a' && c <= 'z';
}

// Decimal or 0x-hex, no sign, no overflow.
constexpr bool parse_num(std::string_view s, std::uint32_t& out) {
    if (s.empty()) return false;
    std::uint64_t v = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        if (s.size() > 8) return false;
        for (char c : s) {
            int d = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
            if (d < 0) return false;
            v = v * 16 + static_cast<std::uint64_t>(d);
        }
    } else {
        if (s.size() > 10) return false;
        for (char c : s) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (v > 0xFFFFFFFFu) return false;
    }
    out = static_cast<std::uint32_t>(v);
    return true;
}

constexpr FormTok bad(std::string_view why) {
    FormTok t;
    t.tok = Tok::Bad;
    t.text = why;
    return t;
}

constexpr bool valid_keyword(std::string_view k) {
    if (k.empty()) return false;
    for (char c : k)
        if (!is_keyword_char(c)) return false;
    return true;
}

// "a|b|c" (all text) or "a=1|b=2" (all numbered); false when mixed or malformed.
constexpr bool valid_choices(std::string_view cs, bool& numbered, std::size_t& longest) {
    numbered = cs.find('=') != std::string_view::npos;
    longest = 0;
    if (cs.empty()) return false;
    for (;;) {
        std::size_t bar = cs.find('|');
        std::string_view c = cs.substr(0, bar);
        std::size_t eq = c.find('=');
        if ((eq != std::string_view::npos) != numbered) return false;
        std::string_view word = c.substr(0, eq);
        if (!valid_keyword(word)) return false;
        if (numbered) {
            std::uint32_t v = 0;
            if (!parse_num(c.substr(eq + 1), v)) return false;
        }
        if (word.size() > longest) longest = word.size();
        if (bar == std::string_view::npos) return true;
        cs.remove_prefix(bar + 1);
    }
}

// "/W@OFF" or "@OFF" after a kind; width stays untouched without "/W".
constexpr bool parse_place(std::string_view s, std::uint32_t& width, std::uint32_t& off,
                           bool& has_width) {
    has_width = false;
    std::size_t at = s.find('@');
    if (at == std::string_view::npos) return false;
    if (at > 0) {
        if (s[0] != '/' || !parse_num(s.substr(1, at - 1), width)) return false;
        has_width = true;
    }
    return parse_num(s.substr(at + 1), off);
}

// The inside of <...>.
constexpr FormTok lex_arg(std::string_view in) {
    FormTok t;
    t.tok = Tok::Arg;
    bool has_width = false;
    // A label ends at the first ':'; a choice list holds none.
    std::size_t colon = in.find(':');
    if (colon != std::string_view::npos && colon < in.find('{')) {
        t.text = in.substr(0, colon);
        if (t.text.empty()) return bad("empty label");
        for (char c : t.text)
            if (is_lower(c) || is_blank(c) || c == '|' || c == '@' || c == '#')
                return bad("label in lower case, or with a blank, '|', '@' or '#'");
        in.remove_prefix(colon + 1);
    }
    if (!in.empty() && in[0] == '{') {
        std::size_t close = in.find('}');
        if (close == std::string_view::npos) return bad("choice without '}'");
        t.choices = in.substr(1, close - 1);
        bool numbered = false;
        std::size_t longest = 0;
        if (!valid_choices(t.choices, numbered, longest)) return bad("malformed choice list");
        if (!parse_place(in.substr(close + 1), t.width, t.off, has_width))
            return bad("choice without @OFF");
        if (numbered) {
            if (has_width) return bad("a numbered choice is a 32-bit word: no /W");
            t.kind = Kind::ChoiceNum;
            t.width = 4;
        } else {
            if (!has_width) return bad("a text choice needs /W");
            if (t.width < longest + 1) return bad("choice field narrower than its longest keyword");
            t.kind = Kind::ChoiceText;
        }
        return t;
    }
    std::size_t sp = in.find(' ');
    std::string_view arg_text = in.substr(0, sp);
    std::string_view range = sp == std::string_view::npos ? std::string_view() : in.substr(sp + 1);
    std::size_t kind_end = arg_text.find_first_of("/@");
    if (kind_end == std::string_view::npos) return bad("argument without @OFF");
    std::string_view kind = arg_text.substr(0, kind_end);
    if (!parse_place(arg_text.substr(kind_end), t.width, t.off, has_width))
        return bad("malformed /W@OFF");
    if (kind == "u32" || kind == "hex") {
        t.kind = kind == "u32" ? Kind::U32 : Kind::Hex;
        t.width = 4;
    } else if (kind == "str") {
        t.kind = Kind::Str;
        if (!has_width || t.width < 2) return bad("str needs /W of at least 2");
    } else if (kind == "mac") {
        t.kind = Kind::Mac;
        t.width = 6;
    } else if (kind == "oui") {
        t.kind = Kind::Oui;
        t.width = 3;
    } else if (kind == "ip" || kind == "mask") {
        t.kind = kind == "ip" ? Kind::Ip : Kind::Mask;
        t.width = 4;
    } else {
        return bad("unknown argument kind");
    }
    if (has_width && t.kind != Kind::Str) return bad("only str takes /W");
    if (!range.empty()) {
        if (t.kind != Kind::U32 && t.kind != Kind::Hex) return bad("only numbers take a range");
        std::size_t dash = range.find('-');
        if (dash == std::string_view::npos || !parse_num(range.substr(0, dash), t.lo) ||
            !parse_num(range.substr(dash + 1), t.hi) || t.lo > t.hi)
            return bad("malformed range LO-HI");
    }
    return t;
}

}  // namespace form_detail

// The token of `form` at `pos`; advances pos past it. End at the end of the form.
constexpr FormTok form_next(std::string_view form, std::size_t& pos) {
    using namespace form_detail;
    while (pos < form.size() && is_blank(form[pos])) ++pos;
    FormTok t;
    if (pos >= form.size()) return t;
    char c = form[pos];
    switch (c) {
        case '[':
            t.tok = Tok::OptOpen;
            break;
        case ']':
            t.tok = Tok::OptClose;
            break;
        case '(':
            t.tok = Tok::AltOpen;
            break;
        case '|':
            t.tok = Tok::AltBar;
            break;
        case ')':
            t.tok = Tok::AltClose;
            break;
        default:
            break;
    }
    if (t.tok != Tok::End) {
        ++pos;
        return t;
    }
    if (c == '<') {
        std::size_t close = form.find('>', pos);
        if (close == std::string_view::npos) {
            pos = form.size();
            return bad("'<' without '>'");
        }
        std::string_view in = form.substr(pos + 1, close - pos - 1);
        pos = close + 1;
        return lex_arg(in);
    }
    std::size_t end = pos;
    while (end < form.size() && !is_blank(form[end]) && form[end] != ']' && form[end] != ')' &&
           form[end] != '|')
        ++end;
    std::string_view word = form.substr(pos, end - pos);
    pos = end;
    if (c == '=') {
        t.tok = Tok::Const;
        t.width = 4;
        std::size_t at = word.find('@');
        if (at == std::string_view::npos || !parse_num(word.substr(1, at - 1), t.value) ||
            !parse_num(word.substr(at + 1), t.off))
            return bad("constant is =V@OFF");
        return t;
    }
    if (c == '#') {
        t.tok = Tok::Flag;
        if (!parse_num(word.substr(1), t.value) || t.value > 30) return bad("flag bit is #0..#30");
        return t;
    }
    if (!valid_keyword(word)) return bad("keyword with a character outside a-z 0-9 - _ . /");
    t.tok = Tok::Keyword;
    t.text = word;
    return t;
}

// The result of checking one row's form.
struct FormCheck {
    bool ok = true;
    std::string_view why;
    std::size_t at = 0;  // offset in the form where it went wrong
    std::size_t paths = 0;
    std::size_t max_words = 0;
};

namespace form_detail {

struct Walk {
    std::string_view form;
    std::uint16_t size;
    std::size_t pos = 0;
    FormCheck res;

    constexpr bool fail(std::string_view why) {
        if (res.ok) {
            res.ok = false;
            res.why = why;
            res.at = pos;
        }
        return false;
    }
    constexpr FormTok peek() const {
        std::size_t p = pos;
        return form_next(form, p);
    }
    constexpr FormTok take() { return form_next(form, pos); }
};

struct Shape {
    std::size_t paths = 1;  // saturates just above kMaxPaths
    std::size_t min_words = 0;
    std::size_t max_words = 0;
};

constexpr std::size_t sat_mul(std::size_t a, std::size_t b) {
    std::size_t cap = kMaxPaths + 1;
    if (a == 0 || b == 0) return 0;
    return a > cap / b ? cap : (a * b > cap ? cap : a * b);
}

constexpr bool is_seq_end(Tok t) {
    return t == Tok::End || t == Tok::OptClose || t == Tok::AltBar || t == Tok::AltClose;
}

constexpr bool check_place(Walk& w, const FormTok& t) {
    if (t.off < 4) return w.fail("offset inside the flag word");
    if (std::size_t{t.off} + t.width > w.size) return w.fail("field ends past the record size");
    return true;
}

constexpr bool seq(Walk& w, std::size_t depth, Shape& out, bool& direct_flag);

// One alternative list after '(' up to and including ')'.
constexpr bool alts(Walk& w, std::size_t depth, Shape& out) {
    Shape total{0, kMaxPathWords + 1, 0};
    for (;;) {
        Shape s;
        bool flag = false;
        if (!seq(w, depth + 1, s, flag)) return false;
        if (s.max_words == 0) return w.fail("an alternative must hold a word");
        total.paths = total.paths + s.paths > kMaxPaths ? kMaxPaths + 1 : total.paths + s.paths;
        if (s.min_words < total.min_words) total.min_words = s.min_words;
        if (s.max_words > total.max_words) total.max_words = s.max_words;
        FormTok t = w.take();
        if (t.tok == Tok::AltClose) break;
        if (t.tok != Tok::AltBar) return w.fail("'(' without ')'");
    }
    out = total;
    return true;
}

constexpr bool seq(Walk& w, std::size_t depth, Shape& out, bool& direct_flag) {
    if (depth > kMaxFormDepth) return w.fail("groups nested too deep");
    out = Shape{};
    for (;;) {
        FormTok p = w.peek();
        if (is_seq_end(p.tok)) return true;
        FormTok t = w.take();
        Shape item;
        switch (t.tok) {
            case Tok::Bad:
                return w.fail(t.text);
            case Tok::Keyword:
                if (t.text == "no" && depth == 0 && out.max_words == 0)
                    return w.fail("a form does not start with \"no\": use NoForm");
                item.min_words = item.max_words = 1;
                break;
            case Tok::Arg:
                if (!check_place(w, t)) return false;
                item.min_words = item.max_words = 1;
                break;
            case Tok::Const:
                if (!check_place(w, t)) return false;
                break;
            case Tok::Flag:
                direct_flag = true;
                break;
            case Tok::OptOpen: {
                Shape inner;
                bool flag = false;
                if (!seq(w, depth + 1, inner, flag)) return false;
                if (w.take().tok != Tok::OptClose) return w.fail("'[' without ']'");
                if (!flag) return w.fail("an optional group needs its flag bit #B");
                if (inner.max_words == 0) return w.fail("an optional group must hold a word");
                item.paths = inner.paths + 1 > kMaxPaths ? kMaxPaths + 1 : inner.paths + 1;
                item.min_words = 0;
                item.max_words = inner.max_words;
                break;
            }
            case Tok::AltOpen:
                if (!alts(w, depth, item)) return false;
                break;
            default:
                return w.fail("unexpected ']', '|' or ')'");
        }
        out.paths = sat_mul(out.paths, item.paths);
        out.min_words += item.min_words;
        out.max_words += item.max_words;
        if (out.max_words > kMaxPathWords) return w.fail("form longer than kMaxPathWords words");
    }
}

}  // namespace form_detail

// Checks a row: its form is well made, every field lies inside the record,
// every optional group carries a flag bit, and it expands to a bounded number
// of word sequences.
constexpr FormCheck form_check(const CmdRow& row) {
    form_detail::Walk w{row.form, row.size, 0, {}};
    if (row.size < 4) {
        w.fail("record smaller than its flag word");
        return w.res;
    }
    // Constants and flag bits may come first; the first word is a keyword.
    std::size_t p = 0;
    FormTok first = form_next(row.form, p);
    while (first.tok == Tok::Const || first.tok == Tok::Flag) first = form_next(row.form, p);
    if (first.tok != Tok::Keyword) {
        w.fail("a form starts with a keyword");
        return w.res;
    }
    form_detail::Shape s;
    bool flag = false;
    if (!form_detail::seq(w, 0, s, flag)) return w.res;
    if (w.peek().tok != Tok::End) {
        w.fail("unexpected ']', '|' or ')'");
        return w.res;
    }
    if (s.paths > kMaxPaths) {
        w.fail("too many optional groups and alternatives");
        return w.res;
    }
    w.res.paths = s.paths;
    w.res.max_words = s.max_words;
    return w.res;
}

// Index of the first row whose form fails form_check, or -1: a compile-time
// check of a family, static_assert(first_bad_row(kRows) < 0).
constexpr int first_bad_row(std::span<const CmdRow> rows) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (!form_check(rows[i]).ok) return static_cast<int>(i);
    return -1;
}

}  // namespace cmdtbl
