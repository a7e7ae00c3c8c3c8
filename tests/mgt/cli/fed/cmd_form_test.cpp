// The form notation: the checks that keep a bad row out of the build, and the
// facts every row of the real table must hold.
#include "mgt/cli/fed/cmd_form.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/cmd_table.h"
#include "tests/support/text.h"

namespace {

using cmdtbl::CmdRow;
using cmdtbl::NoForm;

struct BadForm {
    const char* form;
    std::uint16_t size;
    const char* why;  // part of the reason
};

TEST(FormCheck, RefusesMalformedRows) {
    const BadForm cases[] = {
        {"", 12, "starts with a keyword"},
        {"<N:u32@12>", 16, "starts with a keyword"},
        {"no ip x", 12, "does not start with \"no\""},
        {"ip Bad", 12, "keyword with a character"},
        {"ip [x]", 12, "needs its flag bit"},
        {"ip [#1]", 12, "must hold a word"},
        {"ip [x #1", 12, "without ']'"},
        {"ip x #1]", 12, "unexpected"},
        {"ip (a | b", 12, "without ')'"},
        {"ip (a | #1)", 12, "must hold a word"},
        {"ip <N:u32@12>", 15, "past the record size"},
        {"ip <N:u32@2>", 12, "inside the flag word"},
        {"ip <N:str/33@12>", 44, "past the record size"},
        {"ip <N:str@12>", 48, "needs /W"},
        {"ip <N:str/1@12>", 48, "at least 2"},
        {"ip <N:u32/4@12>", 48, "only str takes /W"},
        {"ip <N:blob@12>", 48, "unknown argument kind"},
        {"ip <N:ip@12 1-2>", 48, "only numbers take a range"},
        {"ip <N:u32@12 9-2>", 48, "malformed range"},
        {"ip <n:u32@12>", 48, "lower case"},
        {"ip <N:u32>", 48, "without @OFF"},
        {"ip <N:u32@12", 48, "without '>'"},
        {"ip <{a|b}@12>", 48, "needs /W"},
        {"ip <{alpha|b}/5@12>", 48, "narrower"},
        {"ip <{a=1|b}@12>", 48, "malformed choice"},
        {"ip <{a=1|b=2}/4@12>", 48, "no /W"},
        {"ip =5", 48, "=V@OFF"},
        {"ip #31 x", 48, "#0..#30"},
        {"ip ((((((((((a))))))))))", 12, "nested too deep"},
        // 13 optional groups: 8192 ways through the form.
        {"x [a #0] [a #1] [a #2] [a #3] [a #4] [a #5] [a #6] [a #7] [a #8] [a #9] [a #10] "
         "[a #11] [a #12]",
         12, "too many"},
    };
    for (const BadForm& c : cases) {
        CmdRow row{1, c.form, c.size, NoForm::None, ""};
        cmdtbl::FormCheck r = cmdtbl::form_check(row);
        EXPECT_FALSE(r.ok) << c.form;
        EXPECT_TRUE(testtext::has(std::string(r.why), c.why))
            << c.form << " -> " << r.why << " (wanted: " << c.why << ")";
    }
}

TEST(FormCheck, AcceptsEveryConstructAndCountsPaths) {
    CmdRow row{919,
               "ip-policy <NAME:str/33@12> #0 [id <ID:u32@52 1-1023> #1 =1@48] "
               "[from (<A.B.C.D:ip@104> [<MASK:mask@172> #5] =6@100 | <HOST:str/65@104> =7@100) "
               "#4 =1@96] [action <{permit|deny}/36@300> #9]",
               336, NoForm::Also, ""};
    cmdtbl::FormCheck r = cmdtbl::form_check(row);
    ASSERT_TRUE(r.ok) << r.why << " at " << r.at;
    // id: 2 ways; from: (2 + 1) taken + 1 skipped; action: 2.
    EXPECT_EQ(r.paths, 2u * 4u * 2u);
    EXPECT_EQ(r.max_words, 2u + 2u + 3u + 2u);
}

// Compile-time check: a family whose rows all pass.
constexpr CmdRow kGood[] = {{1, "a <N:u32@4>", 8, NoForm::None, ""}};
static_assert(cmdtbl::first_bad_row(kGood) < 0);
constexpr CmdRow kBad[] = {{1, "a", 8, NoForm::None, ""}, {2, "a <N:u32@6>", 8, NoForm::None, ""}};
static_assert(cmdtbl::first_bad_row(kBad) == 1);

// Compile-time lookups as handlers use them (cmd_lookup.h): what each key
// finds, and the keys that must not build (Missing, Ambiguous, NoRow, no bit).
constexpr CmdRow kKeyed[] = {
    {1, "#0 #1 a <IF:str/8@4> <IF:str/8@12> [b <N:u32@20> #2] [<DIR:{in|out}/4@24> #3]", 28,
     NoForm::None, ""},
    {2, "a (<A:ip@4> =6@8 | <A:ip@4> <M:mask@12> =7@8) #0", 16, NoForm::None, ""},
    {2, "a", 16, NoForm::Only, ""},
    {3, "#0 #1 a <N:u32@4> [c <N:u32@8> #2]", 12, NoForm::None, ""},
};
static_assert(cmdtbl::first_bad_row(kKeyed) < 0);
constexpr bool finds(std::uint32_t id, std::string_view key, cmdtbl::Found f, std::uint32_t off,
                     int bit) {
    cmdtbl::ArgPlace p = cmdtbl::arg_find(kKeyed, id, key);
    return p.found == f && (f != cmdtbl::Found::One || (p.off == off && p.bit == bit));
}
using F = cmdtbl::Found;
static_assert(finds(1, "IF#1", F::One, 4, 0) && finds(1, "IF#2", F::One, 12, 1) &&
              finds(1, "a", F::One, 4, 0) && finds(1, "b", F::One, 20, 2) &&
              finds(1, "DIR", F::One, 24, 3) && finds(1, "IF", F::Ambiguous, 0, 0) &&
              finds(1, "IF#3", F::Missing, 0, 0) && finds(1, "X", F::Missing, 0, 0) &&
              finds(9, "X", F::NoRow, 0, 0));
static_assert(finds(2, "A", F::One, 4, 0) && finds(2, "M", F::One, 12, 0) &&
              cmdtbl::const_find(kKeyed, 2, 7).off == 8 &&
              cmdtbl::arg_width(kKeyed, 1, "DIR") == 4);
// Two bits and one direct argument: no bit says "N was given".
static_assert(finds(3, "a", F::One, 4, cmdtbl::kUnclearBit) && finds(3, "c", F::One, 8, 2));

// Well-formed rows are checked at compile time (cmd_table.cpp); here what
// no static_assert states: every row is a known command and has its help.
TEST(Table, EveryRowIsAKnownCommandWithHelp) {
    std::set<std::uint32_t> known(std::begin(cmdtbl::kCommandIds), std::end(cmdtbl::kCommandIds));
    for (const cmdtbl::CmdFamily& f : cmdtbl::cmd_families())
        for (const CmdRow& r : f.rows) {
            EXPECT_TRUE(known.count(r.id)) << r.id << " is no command identifier";
            EXPECT_FALSE(r.help.empty()) << r.id;
        }
}

}  // namespace
