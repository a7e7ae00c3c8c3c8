#include "mgt/cli/fed/cmd_paths.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/wire.h"

namespace cmdtbl {

namespace {

std::vector<FormTok> lex_all(std::string_view form) {
    std::vector<FormTok> toks;
    std::size_t pos = 0;
    for (;;) {
        FormTok t = form_next(form, pos);
        toks.push_back(t);
        if (t.tok == Tok::End || t.tok == Tok::Bad) return toks;
    }
}

bool seq_end(Tok t) {
    return t == Tok::End || t == Tok::Bad || t == Tok::OptClose || t == Tok::AltBar ||
           t == Tok::AltClose;
}

std::vector<Path> product(const std::vector<Path>& a, const std::vector<Path>& b) {
    std::vector<Path> out;
    out.reserve(a.size() * b.size());
    for (const Path& x : a)
        for (const Path& y : b) {
            Path p = x;
            p.words.insert(p.words.end(), y.words.begin(), y.words.end());
            p.effects.insert(p.effects.end(), y.effects.begin(), y.effects.end());
            p.checks.insert(p.checks.end(), y.checks.begin(), y.checks.end());
            out.push_back(std::move(p));
        }
    return out;
}

// Flag bits and constants written directly in toks[from, to), outside nested groups.
void direct_marks(const std::vector<FormTok>& toks, std::size_t from, std::size_t to,
                  std::vector<const FormTok*>& marks) {
    int depth = 0;
    for (std::size_t i = from; i < to; ++i) {
        Tok t = toks[i].tok;
        if (t == Tok::OptOpen || t == Tok::AltOpen) ++depth;
        if (t == Tok::OptClose || t == Tok::AltClose) --depth;
        if (depth == 0 && (t == Tok::Flag || t == Tok::Const)) marks.push_back(&toks[i]);
    }
}

std::vector<Path> expand_seq(const std::vector<FormTok>& toks, std::size_t& i);

std::vector<Path> expand_item(const std::vector<FormTok>& toks, std::size_t& i) {
    const FormTok& t = toks[i];
    if (t.tok == Tok::Keyword || t.tok == Tok::Arg) {
        ++i;
        return {Path{{t}, {}, {}}};
    }
    if (t.tok == Tok::Const || t.tok == Tok::Flag) {
        ++i;
        return {Path{{}, {t}, {}}};
    }
    if (t.tok == Tok::OptOpen) {
        std::size_t from = ++i;
        std::vector<Path> taken = expand_seq(toks, i);
        std::vector<const FormTok*> marks;
        direct_marks(toks, from, i, marks);
        ++i;  // ']'
        Path skipped;
        for (const FormTok* m : marks) {
            if (m->tok != Tok::Flag) continue;
            for (Path& p : taken) p.checks.push_back({PathCheck::What::BitSet, m->value, 0});
            skipped.checks.push_back({PathCheck::What::BitClear, m->value, 0});
        }
        taken.push_back(std::move(skipped));
        return taken;
    }
    // '(' alternatives ')': each alternative is known by its own bits and constants.
    std::vector<Path> all;
    ++i;
    for (;;) {
        std::size_t from = i;
        std::vector<Path> alt = expand_seq(toks, i);
        std::vector<const FormTok*> marks;
        direct_marks(toks, from, i, marks);
        for (Path& p : alt) {
            for (const FormTok* m : marks)
                p.checks.push_back(m->tok == Tok::Flag
                                       ? PathCheck{PathCheck::What::BitSet, m->value, 0}
                                       : PathCheck{PathCheck::What::WordEq, m->off, m->value});
            all.push_back(std::move(p));
        }
        Tok end = toks[i].tok;
        ++i;
        if (end != Tok::AltBar) break;
    }
    return all;
}

std::vector<Path> expand_seq(const std::vector<FormTok>& toks, std::size_t& i) {
    std::vector<Path> acc(1);
    while (!seq_end(toks[i].tok)) acc = product(acc, expand_item(toks, i));
    return acc;
}

std::vector<Path> expand(const CmdRow& row) {
    // Rows are checked when the table compiles; a row made at run time (tests)
    // that fails the check has no path and so matches nothing.
    if (!form_check(row).ok) return {};
    std::vector<FormTok> toks = lex_all(row.form);
    std::size_t i = 0;
    return expand_seq(toks, i);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// `groups` groups of hex digits separated by sep into bytes: groups of 1-2
// digits are one byte each (aa:bb), groups of maxd 4 are exactly four digits
// making two bytes (aabb.ccdd).
bool hex_groups(std::string_view w, char sep, std::size_t groups, std::size_t maxd,
                std::uint8_t* out) {
    std::size_t n = 0;
    std::size_t byte = 0;
    while (n < groups) {
        std::size_t end = w.find(sep);
        std::string_view g = w.substr(0, end);
        if (g.empty() || g.size() > maxd) return false;
        std::uint32_t v = 0;
        for (char c : g) {
            int d = hex_digit(c);
            if (d < 0) return false;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        // A group of four digits is two bytes (aabb.ccdd.eeff).
        if (maxd == 4) {
            if (g.size() != 4) return false;
            out[byte++] = static_cast<std::uint8_t>(v >> 8);
        }
        out[byte++] = static_cast<std::uint8_t>(v);
        ++n;
        if (end == std::string_view::npos) break;
        w.remove_prefix(end + 1);
    }
    return n == groups && w.find(sep) == std::string_view::npos;
}

bool plain_hex(std::string_view w, std::size_t bytes, std::uint8_t* out) {
    if (w.size() != bytes * 2) return false;
    for (std::size_t i = 0; i < bytes; ++i) {
        int hi = hex_digit(w[2 * i]);
        int lo = hex_digit(w[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return true;
}

bool parse_hw(std::string_view w, std::size_t bytes, std::uint8_t* out) {
    if (w.find(':') != std::string_view::npos) return hex_groups(w, ':', bytes, 2, out);
    if (w.find('-') != std::string_view::npos) return hex_groups(w, '-', bytes, 2, out);
    if (bytes == 6 && w.find('.') != std::string_view::npos) return hex_groups(w, '.', 3, 4, out);
    return plain_hex(w, bytes, out);
}

bool parse_ipv4(std::string_view w, std::uint8_t* out) {
    for (int part = 0; part < 4; ++part) {
        std::size_t dot = w.find('.');
        std::string_view d = w.substr(0, dot);
        if (d.empty() || d.size() > 3) return false;
        std::uint32_t v = 0;
        for (char c : d) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + static_cast<std::uint32_t>(c - '0');
        }
        if (v > 255) return false;
        out[part] = static_cast<std::uint8_t>(v);
        if (part < 3) {
            if (dot == std::string_view::npos) return false;
            w.remove_prefix(dot + 1);
        } else if (dot != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool contiguous_mask(const std::uint8_t* b) {
    std::uint32_t v = wire::load_be32(b);
    std::uint32_t inv = ~v;
    return (inv & (inv + 1)) == 0;
}

// The numbered choice "word=value" pairs.
bool choice_value(const FormTok& t, std::string_view word, std::uint32_t& value) {
    std::string_view cs = t.choices;
    for (;;) {
        std::size_t bar = cs.find('|');
        std::string_view c = cs.substr(0, bar);
        std::size_t eq = c.find('=');
        if (c.substr(0, eq) == word) return form_detail::parse_num(c.substr(eq + 1), value);
        if (bar == std::string_view::npos) return false;
        cs.remove_prefix(bar + 1);
    }
}

std::string range_text(const FormTok& t) {
    return "<" + std::to_string(t.lo) + "-" + std::to_string(t.hi) + ">";
}

std::string ip_text(const std::uint8_t* b) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return buf;
}

std::string hw_text(const std::uint8_t* b, std::size_t n) {
    std::string s;
    char buf[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, i ? ":%02x" : "%02x", b[i]);
        s += buf;
    }
    return s;
}

}  // namespace

const std::vector<Path>& row_paths(const CmdRow& row) {
    // Keyed by the row's address: rows live in static tables (or outlive their
    // use in tests), and a row is expanded once however often it is parsed.
    static std::mutex mu;
    static std::map<const CmdRow*, std::unique_ptr<std::vector<Path>>> cache;
    std::lock_guard lock(mu);
    auto& slot = cache[&row];
    if (!slot) slot = std::make_unique<std::vector<Path>>(expand(row));
    return *slot;
}

std::vector<std::string_view> choice_words(const FormTok& t) {
    std::vector<std::string_view> out;
    std::string_view cs = t.choices;
    for (;;) {
        std::size_t bar = cs.find('|');
        std::string_view c = cs.substr(0, bar);
        out.push_back(c.substr(0, c.find('=')));
        if (bar == std::string_view::npos) return out;
        cs.remove_prefix(bar + 1);
    }
}

std::uint32_t record_word(std::span<const std::uint8_t> record, std::uint32_t off) {
    if (std::size_t{off} + 4 > record.size()) return 0;
    return wire::load_h<std::uint32_t>(record.data() + off);
}

std::string arg_refusal(const FormTok& t, std::string_view w) {
    std::uint8_t buf[6];
    switch (t.kind) {
        case Kind::U32:
        case Kind::Hex: {
            std::uint32_t v = 0;
            if (!form_detail::parse_num(w, v)) return "not a number";
            if (v < t.lo || v > t.hi)
                return "out of range " + std::to_string(t.lo) + "-" + std::to_string(t.hi);
            return {};
        }
        case Kind::Str:
            if (w.size() + 1 > t.width)
                return "longer than " + std::to_string(t.width - 1) + " characters";
            for (char c : w)
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                    return "holds a control character";
            return {};
        case Kind::Mac:
            return parse_hw(w, 6, buf) ? std::string() : "not a MAC address";
        case Kind::Oui:
            return parse_hw(w, 3, buf) ? std::string() : "not an OUI";
        case Kind::Ip:
            return parse_ipv4(w, buf) ? std::string() : "not an IPv4 address";
        case Kind::Mask:
            if (!parse_ipv4(w, buf)) return "not an IPv4 netmask";
            return contiguous_mask(buf) ? std::string() : "not a contiguous netmask";
        case Kind::ChoiceText:
        case Kind::ChoiceNum:
            for (std::string_view c : choice_words(t))
                if (c == w) return {};
            return "not one of the keywords";
    }
    return "unknown argument kind";
}

void arg_store(const FormTok& t, std::string_view w, std::span<std::uint8_t> record) {
    if (std::size_t{t.off} + t.width > record.size()) return;
    std::uint8_t* p = record.data() + t.off;
    std::uint32_t v = 0;
    switch (t.kind) {
        case Kind::U32:
        case Kind::Hex:
            form_detail::parse_num(w, v);
            wire::store_h(p, v);
            break;
        case Kind::Str:
        case Kind::ChoiceText:
            std::memset(p, 0, t.width);
            std::memcpy(p, w.data(), std::min<std::size_t>(w.size(), t.width - 1));
            break;
        case Kind::ChoiceNum:
            choice_value(t, w, v);
            wire::store_h(p, v);
            break;
        case Kind::Mac:
            parse_hw(w, 6, p);
            break;
        case Kind::Oui:
            parse_hw(w, 3, p);
            break;
        case Kind::Ip:
        case Kind::Mask:
            parse_ipv4(w, p);
            break;
    }
}

bool arg_word(const FormTok& t, std::span<const std::uint8_t> record, std::string& w) {
    if (std::size_t{t.off} + t.width > record.size()) return false;
    const std::uint8_t* p = record.data() + t.off;
    // A value the parser would refuse is not written back either, so that
    // every line the renderer gives parses again.
    switch (t.kind) {
        case Kind::U32:
        case Kind::Hex: {
            std::uint32_t v = wire::load_h<std::uint32_t>(p);
            if (v < t.lo || v > t.hi) return false;
            char buf[16];
            std::snprintf(buf, sizeof buf, t.kind == Kind::Hex ? "0x%x" : "%u", v);
            w = buf;
            return true;
        }
        case Kind::Str: {
            std::size_t n = 0;
            while (n + 1 < t.width && p[n] != 0) ++n;
            w.assign(reinterpret_cast<const char*>(p), n);
            return arg_refusal(t, w).empty();
        }
        case Kind::ChoiceText: {
            std::size_t n = 0;
            while (n < t.width && p[n] != 0) ++n;
            if (n == t.width) return false;
            std::string_view text(reinterpret_cast<const char*>(p), n);
            for (std::string_view c : choice_words(t))
                if (c == text) {
                    w = text;
                    return true;
                }
            return false;
        }
        case Kind::ChoiceNum: {
            std::uint32_t v = wire::load_h<std::uint32_t>(p);
            for (std::string_view c : choice_words(t)) {
                std::uint32_t cv = 0;
                if (choice_value(t, c, cv) && cv == v) {
                    w = c;
                    return true;
                }
            }
            return false;
        }
        case Kind::Mac:
            w = hw_text(p, 6);
            return true;
        case Kind::Oui:
            w = hw_text(p, 3);
            return true;
        case Kind::Ip:
            w = ip_text(p);
            return true;
        case Kind::Mask:
            w = ip_text(p);
            return contiguous_mask(p);
    }
    return false;
}

std::string arg_placeholder(const FormTok& t) {
    std::string label(t.text);
    switch (t.kind) {
        case Kind::U32:
        case Kind::Hex:
            if (t.lo == 0 && t.hi == 0xFFFFFFFFu) return label.empty() ? "<0-4294967295>" : label;
            return label + range_text(t);
        case Kind::Str:
            return label.empty() ? "WORD" : label;
        case Kind::Mac:
            return label.empty() ? "H:H:H:H:H:H" : label;
        case Kind::Oui:
            return label.empty() ? "H:H:H" : label;
        case Kind::Ip:
        case Kind::Mask:
            return label.empty() ? "A.B.C.D" : label;
        case Kind::ChoiceText:
        case Kind::ChoiceNum: {
            std::string s = "{";
            for (std::string_view c : choice_words(t)) {
                if (s.size() > 1) s += '|';
                s += c;
            }
            return s + "}";
        }
    }
    return label;
}

}  // namespace cmdtbl
