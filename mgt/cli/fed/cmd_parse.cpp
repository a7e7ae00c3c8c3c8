// Command text -> (identifier, type, record), and completion of partial lines.
//
// Every row's paths stay candidates while the words match them; a word is
// matched against all candidates at once, so a keyword prefix is resolved
// against every keyword that may stand at that position.
#include <algorithm>

#include "mgt/cli/fed/cmd_paths.h"
#include "mgt/cli/fed/cmd_text.h"
#include "platform/wire.h"

namespace cmdtbl {

namespace {

// A line longer than any form cannot match; refusing it early bounds the work.
constexpr std::size_t kMaxWords = kMaxPathWords + 1;

struct Cand {
    const CmdRow* row;
    const Path* path;
    int keyword_hits;  // words matched as keywords: the tie-break between full matches
};

struct Match {
    std::vector<Cand> alive;
    bool neg = false;
    // When a word matched no candidate:
    bool failed = false;
    std::size_t fail_word = 0;  // 0-based index in the line
    bool ambiguous = false;
    std::string why;  // first argument refusal at that word
};

bool negatable(const CmdRow& r) {
    return r.no == NoForm::Also || r.no == NoForm::Only;
}
bool plain(const CmdRow& r) {
    return r.no == NoForm::None || r.no == NoForm::Also;
}

void start(std::span<const CmdFamily> fams, bool neg, std::vector<Cand>& alive) {
    alive.clear();
    alive.reserve(256);
    for (const CmdFamily& f : fams)
        for (const CmdRow& r : f.rows) {
            if (neg ? !negatable(r) : !plain(r)) continue;
            for (const Path& p : row_paths(r)) alive.push_back({&r, &p, 0});
        }
}

// Keywords (and choice keywords) that candidates accept at element i.
void keywords_at(const std::vector<Cand>& alive, std::size_t i,
                 std::vector<std::string_view>& out) {
    for (const Cand& c : alive) {
        if (i >= c.path->words.size()) continue;
        const FormTok& t = c.path->words[i];
        if (t.tok == Tok::Keyword) out.push_back(t.text);
        if (t.tok == Tok::Arg && (t.kind == Kind::ChoiceText || t.kind == Kind::ChoiceNum))
            for (std::string_view k : choice_words(t)) out.push_back(k);
    }
}

// The keyword a typed word stands for: itself when it is one, else the one
// keyword it is a prefix of. Empty when none; ambiguous when several.
std::string_view resolve(std::string_view w, const std::vector<std::string_view>& kws,
                         bool& ambiguous) {
    ambiguous = false;
    std::string_view hit;
    for (std::string_view k : kws)
        if (k == w) return k;
    for (std::string_view k : kws) {
        if (w.empty() || !k.starts_with(w) || k == hit) continue;
        if (!hit.empty()) {
            ambiguous = true;
            return {};
        }
        hit = k;
    }
    return hit;
}

Match run(std::span<const std::string> words, std::span<const CmdFamily> fams) {
    Match m;
    std::size_t first = 0;
    if (!words.empty()) {
        // "no" competes with the first keywords of the plain forms.
        std::vector<Cand> probe;
        start(fams, false, probe);
        std::vector<std::string_view> kws;
        keywords_at(probe, 0, kws);
        bool any_neg = false;
        for (const CmdFamily& f : fams)
            for (const CmdRow& r : f.rows) any_neg = any_neg || negatable(r);
        if (any_neg) kws.push_back("no");
        bool amb = false;
        if (resolve(words[0], kws, amb) == "no") {
            m.neg = true;
            first = 1;
        } else if (amb) {
            m.failed = m.ambiguous = true;
            return m;
        }
    }
    start(fams, m.neg, m.alive);
    for (std::size_t w = first; w < words.size(); ++w) {
        std::size_t i = w - first;
        std::vector<std::string_view> kws;
        keywords_at(m.alive, i, kws);
        bool amb = false;
        std::string_view kw = resolve(words[w], kws, amb);
        std::vector<Cand> next;
        std::string why;
        for (const Cand& c : m.alive) {
            if (i >= c.path->words.size()) continue;
            const FormTok& t = c.path->words[i];
            if (t.tok == Tok::Keyword) {
                if (!kw.empty() && t.text == kw)
                    next.push_back({c.row, c.path, c.keyword_hits + 1});
                continue;
            }
            bool choice = t.kind == Kind::ChoiceText || t.kind == Kind::ChoiceNum;
            std::string refusal = arg_refusal(t, choice ? kw : std::string_view(words[w]));
            if (refusal.empty())
                next.push_back({c.row, c.path, c.keyword_hits + (choice ? 1 : 0)});
            else if (why.empty() && !choice)
                why = refusal;
        }
        if (next.empty()) {
            m.failed = true;
            m.fail_word = w;
            m.ambiguous = amb;
            m.why = why;
            m.alive.clear();
            return m;
        }
        m.alive = std::move(next);
    }
    return m;
}

std::string word_error(const Match& m, std::span<const std::string> words) {
    if (m.fail_word == 0 && !m.ambiguous) {
        std::string line;
        for (const std::string& x : words) line += (line.empty() ? "" : " ") + quote_word(x);
        return "% Unknown command: " + line;
    }
    std::string w = words[m.fail_word];
    std::string at = " at word " + std::to_string(m.fail_word + 1) + ": '" + w + "'";
    if (m.ambiguous) return "% Ambiguous input" + at;
    if (!m.why.empty()) return "% Invalid input" + at + " (" + m.why + ")";
    return "% Invalid input" + at;
}

}  // namespace

bool split_line(std::string_view line, std::vector<std::string>& words) {
    words.clear();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    std::size_t i = 0;
    while (i < line.size()) {
        if (blank(line[i])) {
            ++i;
            continue;
        }
        std::string w;
        while (i < line.size() && !blank(line[i])) {
            if (line[i] != '"') {
                w += line[i++];
                continue;
            }
            ++i;
            for (;;) {
                if (i >= line.size()) return false;
                char c = line[i++];
                if (c == '"') break;
                if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\'))
                    c = line[i++];
                w += c;
            }
        }
        words.push_back(std::move(w));
    }
    return true;
}

std::string quote_word(std::string_view w) {
    bool quote = w.empty();
    for (char c : w)
        if (c == ' ' || c == '"' || c == '\'' || c == '\\' ||
            static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            quote = true;
    if (!quote) return std::string(w);
    std::string s = "\"";
    for (char c : w) {
        if (c == '"' || c == '\\') s += '\\';
        s += c;
    }
    return s + "\"";
}

ParseResult parse_words(std::span<const std::string> words, std::span<const CmdFamily> fams) {
    ParseResult res;
    if (words.size() > kMaxWords) {
        res.error = "% Invalid input at word " + std::to_string(kMaxWords + 1) + ": '" +
                    words[kMaxWords] + "' (line too long)";
        return res;
    }
    Match m = run(words, fams);
    if (m.failed) {
        res.error = word_error(m, words);
        return res;
    }
    std::size_t n = words.size() - (m.neg ? 1 : 0);
    const Cand* best = nullptr;
    for (const Cand& c : m.alive)
        if (c.path->words.size() == n && (!best || c.keyword_hits > best->keyword_hits)) best = &c;
    if (!best || words.empty()) {
        res.error = "% Incomplete command";
        return res;
    }
    const CmdRow& row = *best->row;
    ParsedCmd& cmd = res.cmd;
    cmd.id = row.id;
    cmd.type = m.neg ? 2 : 0;
    cmd.row = &row;
    cmd.record.assign(row.size, 0);
    std::uint32_t flags = m.neg ? kNoFormBit : 0;
    for (const FormTok& e : best->path->effects) {
        if (e.tok == Tok::Flag) flags |= 1u << e.value;
        if (e.tok == Tok::Const && std::size_t{e.off} + 4 <= cmd.record.size())
            wire::store_h(cmd.record.data() + e.off, e.value);
    }
    std::size_t first = m.neg ? 1 : 0;
    for (std::size_t i = 0; i < n; ++i) {
        const FormTok& t = best->path->words[i];
        if (t.tok != Tok::Arg) continue;
        std::string_view w = words[first + i];
        if (t.kind == Kind::ChoiceText || t.kind == Kind::ChoiceNum) {
            std::vector<std::string_view> kws = choice_words(t);
            bool amb = false;
            w = resolve(w, kws, amb);
        }
        arg_store(t, w, cmd.record);
    }
    wire::store_h(cmd.record.data(), flags);
    res.ok = true;
    return res;
}

ParseResult parse_line(std::string_view line, std::span<const CmdFamily> fams) {
    std::vector<std::string> words;
    if (!split_line(line, words)) {
        ParseResult res;
        res.error = "% Unterminated quote";
        return res;
    }
    return parse_words(words, fams);
}

std::vector<std::string> complete_words(std::span<const std::string> words, std::string_view prefix,
                                        std::span<const CmdFamily> fams) {
    if (words.size() > kMaxWords) return {};
    Match m = run(words, fams);
    if (m.failed) return {};
    std::size_t i = words.size() - (m.neg ? 1 : 0);
    std::vector<std::string> keywords;
    std::vector<std::string> holders;
    bool complete = false;
    auto add = [](std::vector<std::string>& v, std::string s) {
        if (std::find(v.begin(), v.end(), s) == v.end()) v.push_back(std::move(s));
    };
    for (const Cand& c : m.alive) {
        if (i == c.path->words.size()) complete = true;
        if (i >= c.path->words.size()) continue;
        const FormTok& t = c.path->words[i];
        if (t.tok == Tok::Keyword) {
            if (t.text.starts_with(prefix)) add(keywords, std::string(t.text));
        } else if (t.kind == Kind::ChoiceText || t.kind == Kind::ChoiceNum) {
            for (std::string_view k : choice_words(t))
                if (k.starts_with(prefix)) add(keywords, std::string(k));
        } else {
            add(holders, arg_placeholder(t));
        }
    }
    if (words.empty() && std::string_view("no").starts_with(prefix)) {
        bool any_neg = false;
        for (const CmdFamily& f : fams)
            for (const CmdRow& r : f.rows) any_neg = any_neg || negatable(r);
        if (any_neg) add(keywords, "no");
    }
    std::sort(keywords.begin(), keywords.end());
    keywords.insert(keywords.end(), holders.begin(), holders.end());
    if (complete && prefix.empty() && !words.empty()) keywords.push_back("<cr>");
    return keywords;
}

}  // namespace cmdtbl
