// Text <-> record through the command table: byte layouts, flag bits, the
// "no" form, refusals naming the word, completion; and a generated round trip
// through every row of the real table.
#include "mgt/cli/fed/cmd_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "mgt/cli/fed/cmd_paths.h"
#include "platform/wire.h"

namespace {

using cmdtbl::CmdFamily;
using cmdtbl::CmdRow;
using cmdtbl::NoForm;

// Rows in the shapes the real families use: plain switches, a value with a
// shorter "no" form, a keyword stored as text, constants, alternatives told
// apart by a constant, optional groups with "given" words, MAC/OUI/hex/numbered choices.
constexpr CmdRow kRows[] = {
    {989, "ip tcp-mss-threshold", 12, NoForm::Also, "switch"},
    {990, "ip tcp-mss-threshold size <SIZE:u32@12 64-1460>", 16, NoForm::None, "size"},
    {990, "ip tcp-mss-threshold size", 16, NoForm::Only, "size back to auto"},
    {980, "show forwarding-engine notification-interval", 12, NoForm::None, "show"},
    {947, "#0 #1 =17@12 interface <IF:str/36@16> rate-limit <{broadcast|multicast|unicast}/36@52>",
     88, NoForm::Also, "type on/off"},
    {949, "#0 #1 =17@12 interface <IF:str/36@16> rate-limit broadcast <KBPS:u32@52 1-1000000>", 56,
     NoForm::Also, "rate"},
    {986,
     "#0 ip multicast tunnel block (<A.B.C.D:ip@16> =6@12 | <A.B.C.D:ip@16> <MASK:mask@20> =23@12)",
     24, NoForm::Also, "block list"},
    {919,
     "ip-policy <NAME:str/33@12> #0 [id <ID:u32@52 1-1023> #1 =1@48] "
     "[from (<A.B.C.D:ip@104> [<MASK:mask@172> #5] =6@100 | <HOST:str/65@104> =7@100) #4 =1@96] "
     "[action <ACTION:str/36@300> #9 =1@296]",
     336, NoForm::Also, "rule"},
    {1022, "forwarding-engine filter <ID:u32@16 1-1023> #0 dhcp-client <MAC:mac@20> #1", 28,
     NoForm::Also, "dhcp filter"},
    {860, "qos classifier-map oui <OUI:oui@12> #0 class <u32@16 0-7> #1", 20, NoForm::Also, "oui"},
    {1020, "forwarding-engine filter <ID:u32@16 1-1023> #0 ethertype <hex@48 0-65535> #3", 52,
     NoForm::None, "etype"},
    {936, "user-profile <NAME:str/33@12> #0 default-action <{permit=1|deny=2|nat=4}@48> #1", 52,
     NoForm::None, "default action"},
    {794, "#0 forwarding-engine drop-log <{firewall-dropped-packets|to-self-sessions}/36@12>", 48,
     NoForm::Also, "icsa"},
};
constexpr CmdFamily kFams[] = {{"Test", kRows}};

std::uint32_t word_at(const std::vector<std::uint8_t>& r, std::size_t off) {
    return off + 4 <= r.size() ? wire::load_h<std::uint32_t>(r.data() + off) : 0xDEADBEEF;
}
std::string str_at(const std::vector<std::uint8_t>& r, std::size_t off) {
    return off < r.size() ? std::string(reinterpret_cast<const char*>(r.data() + off)) : "?";
}
std::vector<std::uint8_t> bytes_at(const std::vector<std::uint8_t>& r, std::size_t off,
                                   std::size_t n) {
    return std::vector<std::uint8_t>(r.begin() + static_cast<long>(off),
                                     r.begin() + static_cast<long>(off + n));
}

// A field the parsed record must hold.
struct Field {
    enum Kind { Word, Text, Bytes } kind;
    std::size_t off;
    std::uint32_t word;
    std::string text;
    std::vector<std::uint8_t> bytes;
};
Field W(std::size_t off, std::uint32_t v) {
    return {Field::Word, off, v, {}, {}};
}
Field T(std::size_t off, std::string s) {
    return {Field::Text, off, 0, std::move(s), {}};
}
Field B(std::size_t off, std::vector<std::uint8_t> b) {
    return {Field::Bytes, off, 0, {}, std::move(b)};
}

struct ParseCase {
    const char* line;
    std::uint32_t id;
    std::uint32_t type;
    std::size_t size;
    std::uint32_t flags;  // the whole first word
    std::vector<Field> fields;
    const char* canonical;  // what the record renders as; null: the line itself
};

TEST(Parse, LinesBecomeRecords) {
    const ParseCase cases[] = {
        // clang-format off
        {"ip tcp-mss-threshold", 989, 0, 12, 0, {}, nullptr},
        {"no ip tcp-mss-threshold", 989, 2, 12, 0x80000000u, {}, nullptr},
        {"ip tcp size 1460", 990, 0, 16, 0, {W(12, 1460)}, "ip tcp-mss-threshold size 1460"},
        {"ip tcp-mss-threshold size 0x40", 990, 0, 16, 0, {W(12, 64)},
         "ip tcp-mss-threshold size 64"},
        {"no ip tcp-mss-threshold size", 990, 2, 16, 0x80000000u, {W(12, 0)}, nullptr},
        {"sh forwarding-engine notif", 980, 0, 12, 0, {},
         "show forwarding-engine notification-interval"},
        {"no interface eth0 rate-limit b",
         947, 2, 88, 0x80000003u, {W(12, 17), T(16, "eth0"), T(52, "broadcast")},
         "no interface eth0 rate-limit broadcast"},
        {"interface \"name of 35 characters, with blanks!\" rate-limit unicast",
         947, 0, 88, 3, {T(16, "name of 35 characters, with blanks!")}, nullptr},
        {"interface eth1 rate-limit broadcast 5000",
         949, 0, 56, 3, {W(12, 17), T(16, "eth1"), W(52, 5000)}, nullptr},
        {"ip multicast tunnel block 224.1.1.1",
         986, 0, 24, 1, {W(12, 6), B(16, {224, 1, 1, 1}), W(20, 0)}, nullptr},
        {"no ip multicast tunnel block 224.1.1.1 255.255.255.0",
         986, 2, 24, 0x80000001u, {W(12, 23), B(16, {224, 1, 1, 1}), B(20, {255, 255, 255, 0})},
         nullptr},
        {"ip-policy p1", 919, 0, 336, 1, {T(12, "p1"), W(48, 0), W(96, 0)}, nullptr},
        {"ip-policy \"my \\\"best\\\" policy\" id 7 from 10.0.0.0 255.0.0.0 action permit",
         919, 0, 336, 0x1 | 0x2 | 0x10 | 0x20 | 0x200,
         {T(12, "my \"best\" policy"), W(48, 1), W(52, 7), W(96, 1), W(100, 6),
          B(104, {10, 0, 0, 0}), B(172, {255, 0, 0, 0}), W(296, 1), T(300, "permit")}, nullptr},
        {"ip-policy p from 10.1.1.1", 919, 0, 336, 0x11, {W(100, 6), B(172, {0, 0, 0, 0})},
         nullptr},
        {"ip-policy p from www.example.com",
         919, 0, 336, 0x11, {W(96, 1), W(100, 7), T(104, "www.example.com")}, nullptr},
        {"no ip-policy p id 1023", 919, 2, 336, 0x80000003u, {W(52, 1023)}, nullptr},
        {"forwarding-engine filter 5 dhcp-client AABB.CCDD.EEFF",
         1022, 0, 28, 3, {W(16, 5), B(20, {0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff})},
         "forwarding-engine filter 5 dhcp-client aa:bb:cc:dd:ee:ff"},
        {"forwarding-engine filter 5 dhcp-client 0-1-2-3-4-5",
         1022, 0, 28, 3, {B(20, {0, 1, 2, 3, 4, 5})},
         "forwarding-engine filter 5 dhcp-client 00:01:02:03:04:05"},
        {"qos classifier-map oui 00:1A:2b class 7", 860, 0, 20, 3, {B(12, {0, 0x1a, 0x2b})},
         "qos classifier-map oui 00:1a:2b class 7"},
        {"forwarding-engine filter 1 ethertype 2054", 1020, 0, 52, 9, {W(48, 0x806)},
         "forwarding-engine filter 1 ethertype 0x806"},
        {"user-profile up default-action n", 936, 0, 52, 3, {W(48, 4)},
         "user-profile up default-action nat"},
        {"forwarding-engine drop-log t", 794, 0, 48, 1, {T(12, "to-self-sessions")},
         "forwarding-engine drop-log to-self-sessions"},
        // clang-format on
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.line);
        cmdtbl::ParseResult r = cmdtbl::parse_line(c.line, kFams);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.cmd.id, c.id);
        EXPECT_EQ(r.cmd.type, c.type);
        ASSERT_EQ(r.cmd.record.size(), c.size);
        EXPECT_EQ(word_at(r.cmd.record, 0), c.flags) << std::hex << word_at(r.cmd.record, 0);
        for (const Field& f : c.fields) {
            if (f.kind == Field::Word) {
                EXPECT_EQ(word_at(r.cmd.record, f.off), f.word) << f.off;
            } else if (f.kind == Field::Text) {
                EXPECT_EQ(str_at(r.cmd.record, f.off), f.text) << f.off;
            } else {
                EXPECT_EQ(bytes_at(r.cmd.record, f.off, f.bytes.size()), f.bytes) << f.off;
            }
        }
        auto text = cmdtbl::render_record(r.cmd.id, r.cmd.record, kFams);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(*text, c.canonical ? c.canonical : c.line);
        cmdtbl::ParseResult again = cmdtbl::parse_line(*text, kFams);
        ASSERT_TRUE(again.ok) << again.error;
        EXPECT_EQ(again.cmd.record, r.cmd.record);
        EXPECT_EQ(again.cmd.type, r.cmd.type);
    }
}

struct BadCase {
    const char* line;
    const char* error;
};

TEST(Parse, BadInputNamesTheWord) {
    const BadCase cases[] = {
        {"ip foo", "% Invalid input at word 2: 'foo'"},
        {"ip tcp-mss-threshold size 63", "% Invalid input at word 4: '63' (out of range 64-1460)"},
        {"ip tcp-mss-threshold size 1461", "% Invalid input at word 4: '1461' (out of range"},
        {"ip tcp-mss-threshold size -1", "% Invalid input at word 4: '-1' (not a number)"},
        {"ip tcp-mss-threshold size 4294967296", "(not a number)"},
        {"ip tcp-mss-threshold size 100 200", "% Invalid input at word 5: '200'"},
        {"ip tcp-mss-threshold size", "% Incomplete command"},
        {"no show forwarding-engine notification-interval", "% Invalid input at word 2: 'show'"},
        {"no", "% Incomplete command"},
        {"ip-policy p from 10.0.0.0 255.0.255.0", "at word 5: '255.0.255.0'"},
        {"ip multicast tunnel block 224.1.1", "at word 5: '224.1.1'"},
        {"ip multicast tunnel block 224.1.1.256", "at word 5"},
        {"forwarding-engine filter 5 dhcp-client aa:bb:cc:dd:ee", "(not a MAC address)"},
        {"forwarding-engine filter 5 dhcp-client aabb.ccdd.eef", "(not a MAC address)"},
        {"forwarding-engine filter 0 dhcp-client aa:bb:cc:dd:ee:ff", "at word 3: '0'"},
        {"qos classifier-map oui 00:1a class 1", "(not an OUI)"},
        {"ip-policy \"a name that is longer than thirty-two\"", "(longer than 32 characters)"},
        {"interface eth0 rate-limit anycast", "at word 4: 'anycast'"},
        {"user-profile up default-action teacher", "at word 4: 'teacher'"},
        {"forwarding-engine drop-log x", "at word 3: 'x'"},
        {"i", "% Ambiguous input at word 1: 'i'"},
        {"ip-policy \"unterminated", "% Unterminated quote"},
        {"", "% Incomplete command"},
    };
    for (const BadCase& c : cases) {
        cmdtbl::ParseResult r = cmdtbl::parse_line(c.line, kFams);
        EXPECT_FALSE(r.ok) << c.line;
        EXPECT_NE(r.error.find(c.error), std::string::npos) << c.line << " -> " << r.error;
    }
}

TEST(Parse, ExactKeywordBeatsNameAndPrefix) {
    static constexpr CmdRow rows[] = {
        {937, "show ip-policy <NAME:str/33@12>", 48, NoForm::None, "one"},
        {939, "show ip-policy", 12, NoForm::None, "list"},
        {941, "show ip-policy-map <NAME:str/33@12>", 48, NoForm::None, "dump"},
        {938, "show ip-policy rules", 12, NoForm::None, "keyword"},
    };
    static constexpr CmdFamily fams[] = {{"t", rows}};
    // "ip-policy" is a keyword and a prefix of "ip-policy-map": exact wins.
    EXPECT_EQ(cmdtbl::parse_line("show ip-policy", fams).cmd.id, 939u);
    EXPECT_EQ(cmdtbl::parse_line("show ip-policy-m x", fams).cmd.id, 941u);
    // A word that is a keyword here goes to the keyword row, not the name.
    EXPECT_EQ(cmdtbl::parse_line("show ip-policy rules", fams).cmd.id, 938u);
    EXPECT_EQ(cmdtbl::parse_line("show ip-policy other", fams).cmd.id, 937u);
}

// A record of `size` bytes with these host-order words and these bytes.
using Put = std::initializer_list<std::pair<std::size_t, std::uint32_t>>;
std::vector<std::uint8_t> rec_of(std::size_t size, Put words, Put bytes = {}) {
    std::vector<std::uint8_t> r(size, 0);
    for (auto [off, v] : words) wire::store_h<std::uint32_t>(r.data() + off, v);
    for (auto [off, v] : bytes) r[off] = static_cast<std::uint8_t>(v);
    return r;
}

TEST(Render, RecordsFedBuildsByHand) {
    std::vector<std::uint8_t> full(336, 'x');  // a name filling its field without a NUL
    wire::store_h<std::uint32_t>(full.data(), 1);
    std::vector<std::uint8_t> name_nl = full;
    std::memcpy(name_nl.data() + 12, "a\nb\0", 4);
    std::vector<std::uint8_t> eth0 = rec_of(88, {{0, 0x80000003u}, {12, 17}});
    std::memcpy(eth0.data() + 16, "eth0", 4);
    std::vector<std::uint8_t> anycast = eth0;
    std::memcpy(anycast.data() + 52, "anycast", 7);
    std::memcpy(eth0.data() + 52, "multicast", 9);
    const struct {
        std::uint32_t id;
        std::vector<std::uint8_t> rec;
        std::optional<std::string> line;  // nullopt: the record renders to nothing
    } cases[] = {
        // 947 as fed's running configuration writes it: bits 0, 1, 31, 17 at 12.
        {947, eth0, "no interface eth0 rate-limit multicast"},
        // A record shorter than its row reads as zeros past its end.
        {989, std::vector<std::uint8_t>(4, 0), "ip tcp-mss-threshold"},
        // Alternatives chosen by the constant at 12; an unknown one fits neither.
        {986, rec_of(24, {{0, 1}, {12, 23}}, {{16, 239}, {20, 255}}),
         "ip multicast tunnel block 239.0.0.0 255.0.0.0"},
        {986, rec_of(24, {{0, 1}, {12, 5}}, {{16, 239}, {20, 255}}), std::nullopt},
        // A text choice that is none of the keywords, an unknown id, a "no" record
        // of a command without a "no" form.
        {947, anycast, std::nullopt},
        {1, eth0, std::nullopt},
        {980, rec_of(12, {{0, 0x80000000u}}), std::nullopt},
        // A name filling its whole field is cut to the field less one.
        {919, full, "ip-policy " + std::string(32, 'x')},
        // Values the parser refuses are not written back: out of range, a name
        // with a line end, a mask with holes.
        {990, rec_of(16, {{12, 63}}), std::nullopt},
        {990, rec_of(16, {{12, 64}}), "ip tcp-mss-threshold size 64"},
        {919, name_nl, std::nullopt},
        {986, rec_of(24, {{0, 1}, {12, 23}}, {{16, 239}, {21, 255}}), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.value_or("nothing"));
        EXPECT_EQ(cmdtbl::render_record(c.id, c.rec, kFams), c.line) << c.id;
    }
}

TEST(Render, TextRecords) {
    std::vector<std::uint8_t> rec(4, 0);
    wire::store_h<std::uint32_t>(rec.data(), 832);
    const char text[] = "no service  ftp";
    rec.insert(rec.end(), text, text + sizeof text);
    EXPECT_EQ(cmdtbl::render_text_record(rec), "no service  ftp");
    rec.pop_back();  // no NUL: the text ends with the record
    EXPECT_EQ(cmdtbl::render_text_record(rec), "no service  ftp");
    EXPECT_EQ(cmdtbl::render_text_record(std::vector<std::uint8_t>(3)), std::nullopt);
}

TEST(Words, SplitAndQuoteAreInverse) {
    const char* names[] = {"plain",       "two words", "",         "say \"hi\"",
                           "back\\slash", "it's",      "tab\there"};
    for (const char* n : names) {
        std::string line = "x " + cmdtbl::quote_word(n) + " y";
        std::vector<std::string> words;
        ASSERT_TRUE(cmdtbl::split_line(line, words)) << line;
        ASSERT_EQ(words.size(), 3u) << line;
        EXPECT_EQ(words[1], n);
    }
    std::vector<std::string> words;
    EXPECT_FALSE(cmdtbl::split_line("a \"b", words));
    ASSERT_TRUE(cmdtbl::split_line("  no \t service  ftp ", words));
    EXPECT_EQ(words, (std::vector<std::string>{"no", "service", "ftp"}));
    ASSERT_TRUE(cmdtbl::split_line(" \t ", words));
    EXPECT_TRUE(words.empty());
}

TEST(Complete, OffersKeywordsPlaceholdersAndEnd) {
    using V = std::vector<std::string>;
    auto complete = [](const char* line, const char* prefix) {
        std::vector<std::string> words;
        cmdtbl::split_line(line, words);
        return cmdtbl::complete_words(words, prefix, kFams);
    };
    EXPECT_EQ(complete("", "i"), (V{"interface", "ip", "ip-policy"}));
    EXPECT_EQ(complete("", "n"), (V{"no"}));
    EXPECT_EQ(complete("ip", ""), (V{"multicast", "tcp-mss-threshold"}));
    EXPECT_EQ(complete("ip tcp-mss-threshold", ""), (V{"size", "<cr>"}));
    EXPECT_EQ(complete("ip tcp-mss-threshold size", ""), (V{"SIZE<64-1460>"}));
    EXPECT_EQ(complete("no ip tcp-mss-threshold size", ""), (V{"<cr>"}));
    EXPECT_EQ(complete("interface eth0 rate-limit", "m"), (V{"multicast"}));
    EXPECT_EQ(complete("ip multicast tunnel block 224.0.0.1", ""), (V{"MASK", "<cr>"}));
    EXPECT_EQ(complete("user-profile x default-action", ""), (V{"deny", "nat", "permit"}));
    EXPECT_EQ(complete("ip foo", ""), V{});
}

TEST(Help, ShowsSyntaxOfEveryRow) {
    EXPECT_EQ(cmdtbl::display_form(kRows[0]), "[no] ip tcp-mss-threshold");
    EXPECT_EQ(cmdtbl::display_form(kRows[2]), "no ip tcp-mss-threshold size");
    EXPECT_EQ(cmdtbl::display_form(kRows[4]),
              "[no] interface IF rate-limit {broadcast|multicast|unicast}");
    EXPECT_EQ(cmdtbl::display_form(kRows[6]),
              "[no] ip multicast tunnel block (A.B.C.D | A.B.C.D MASK)");
    EXPECT_EQ(cmdtbl::display_form(kRows[7]),
              "[no] ip-policy NAME [id ID<1-1023>] [from (A.B.C.D [MASK] | HOST)] [action ACTION]");
    std::string help = cmdtbl::help_text(kFams);
    EXPECT_EQ(help.rfind("Test\n", 0), 0u);
    for (const CmdRow& r : kRows) EXPECT_NE(help.find(cmdtbl::display_form(r)), std::string::npos);
}

// ---- every row of the real table, from text generated for each way through it

std::string sample_word(const cmdtbl::FormTok& t, bool high) {
    using cmdtbl::Kind;
    switch (t.kind) {
        case Kind::U32:
        case Kind::Hex:
            return std::to_string(high ? t.hi : t.lo);
        case Kind::Str:
            return t.width >= 5 ? (high ? "\"n m\"" : "nm") : "n";
        case Kind::Mac:
            return high ? "ff:ee:dd:cc:bb:aa" : "00:11:22:33:44:55";
        case Kind::Oui:
            return "00:11:22";
        case Kind::Ip:
            return high ? "224.1.2.3" : "10.1.2.3";
        case Kind::Mask:
            return high ? "255.255.255.255" : "255.255.0.0";
        case Kind::ChoiceText:
        case Kind::ChoiceNum: {
            auto ws = cmdtbl::choice_words(t);
            return std::string(high ? ws.back() : ws.front());
        }
    }
    return "?";
}

// Rows with many optional groups have thousands of paths: every path of a
// small row, and an even spread (with the first and last) of a large one.
constexpr std::size_t kPathsPerRow = 48;

TEST(Table, EveryRowRoundTripsOnItsPaths) {
    std::size_t rows = 0;
    for (const CmdFamily& f : cmdtbl::cmd_families())
        for (const CmdRow& r : f.rows) {
            ++rows;
            const std::vector<cmdtbl::Path>& paths = cmdtbl::row_paths(r);
            std::size_t step = paths.size() / kPathsPerRow + 1;
            for (std::size_t i = 0; i < paths.size(); ++i) {
                if (i % step != 0 && i + 1 != paths.size()) continue;
                const cmdtbl::Path& p = paths[i];
                for (bool high : {false, true}) {
                    std::string line = r.no == NoForm::Only ? "no" : "";
                    for (const cmdtbl::FormTok& t : p.words) {
                        if (!line.empty()) line += ' ';
                        line += t.tok == cmdtbl::Tok::Keyword ? std::string(t.text)
                                                              : sample_word(t, high);
                    }
                    SCOPED_TRACE(line);
                    cmdtbl::ParseResult a = cmdtbl::parse_line(line);
                    ASSERT_TRUE(a.ok) << a.error;
                    EXPECT_EQ(a.cmd.id, r.id);
                    EXPECT_EQ(a.cmd.record.size(), r.size);
                    std::uint32_t flags = word_at(a.cmd.record, 0);
                    for (const cmdtbl::PathCheck& c : p.checks) {
                        if (c.what == cmdtbl::PathCheck::What::BitSet) {
                            EXPECT_TRUE(flags & (1u << c.a)) << "bit " << c.a;
                        } else if (c.what == cmdtbl::PathCheck::What::BitClear) {
                            EXPECT_FALSE(flags & (1u << c.a)) << "bit " << c.a;
                        } else {
                            EXPECT_EQ(word_at(a.cmd.record, c.a), c.b);
                        }
                    }
                    auto text = cmdtbl::render_record(a.cmd.id, a.cmd.record);
                    ASSERT_TRUE(text.has_value());
                    cmdtbl::ParseResult b = cmdtbl::parse_line(*text);
                    ASSERT_TRUE(b.ok) << *text << ": " << b.error;
                    EXPECT_EQ(b.cmd.record, a.cmd.record) << *text;
                    if (r.no == NoForm::Also) {
                        cmdtbl::ParseResult n = cmdtbl::parse_line("no " + line);
                        ASSERT_TRUE(n.ok) << n.error;
                        EXPECT_EQ(n.cmd.type, 2u);
                        EXPECT_EQ(word_at(n.cmd.record, 0), flags | 0x80000000u);
                        EXPECT_EQ(cmdtbl::render_record(n.cmd.id, n.cmd.record), "no " + *text);
                    }
                    // One word too many is refused, at that word or before.
                    cmdtbl::ParseResult x = cmdtbl::parse_line(line + " zz-extra-word");
                    if (!x.ok) {
                        EXPECT_NE(x.error.find("at word"), std::string::npos);
                    }
                }
            }
        }
    EXPECT_GT(rows, 0u);
}

}  // namespace
