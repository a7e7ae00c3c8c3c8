// The command table: one row per command syntax of fed's CLI. From these rows
// come fed's command-vector registrations, apsim's parser (text -> argument
// record), the help and completion of fedctl, and the text form of the
// running-configuration records fed writes.
//
// A row is {id, form, record size, no-form, help}. The form is the command's
// syntax with the record layout written into it:
//
//   keyword               a literal word (lower case); a unique prefix is
//                         accepted, an exact match always wins
//   <LABEL:KIND@OFF>      an argument stored at byte OFF of the argument record;
//                         LABEL is what help shows (NAME, IF, A.B.C.D, <1-1023>)
//       u32 LO-HI         32-bit word, decimal or 0x-hex, LO..HI inclusive
//       hex LO-HI         as u32, written back in 0x-hex
//       str/N             name in an N-byte field, NUL-terminated (at most N-1
//                         characters); a name with blanks is typed "in quotes"
//       mac               6 bytes, aa:bb:cc:dd:ee:ff (also aabb.ccdd.eeff, aabbccddeeff)
//       oui               3 bytes, aa:bb:cc (also aabbcc)
//       ip                IPv4 address, 4 bytes in network order
//       mask              IPv4 netmask (contiguous ones), 4 bytes in network order
//   <{a|b|c}@OFF/N>       one of the keywords, stored as its full text in N bytes
//   <{a=1|b=2}@OFF>       one of the keywords, stored as the number given
//   =V@OFF                the 32-bit constant V stored at OFF whenever the
//                         enclosing group is taken (e.g. =17@12, =1@48)
//   #B                    flag bit B of the record's first word, set whenever the
//                         enclosing group is taken (bit 0 = first argument)
//   [ ... ]               optional group; it holds a #B so that a record says
//                         whether it was given
//   ( ... | ... )         alternatives; a record is written back with the first
//                         alternative whose constants and flag bits it holds
//
// Offsets count from the start of the argument record (the flag word is at 0).
// Words are host order; addresses and masks network order. Bit 31 of the flag
// word marks the "no" form in records fed generates, and the parser sets it too.
// The forms are checked when the table is compiled (cmd_form.h): a bad form, an
// offset outside the record or an optional group without a flag bit does not build.
//
// Two rows with the same id are two syntaxes of one command, e.g. a plain form
// that needs a value and a shorter "no" form: NoForm::Only marks the latter.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace cmdtbl {

enum class NoForm : std::uint8_t {
    None,  // only the plain form
    Also,  // "no FORM" is accepted too (command type 2)
    Only,  // this syntax exists only as "no FORM"
};

struct CmdRow {
    std::uint32_t id;       // command identifier
    std::string_view form;  // syntax and layout, see above
    std::uint16_t size;     // argument record size in bytes (12 for a command without arguments)
    NoForm no;
    std::string_view help;  // one line for "help"
};

// A family's rows, as listed by "help" under its title.
struct CmdFamily {
    std::string_view title;
    std::span<const CmdRow> rows;
};

// Every family linked into the table, in help order (cmd_table.cpp).
std::span<const CmdFamily> cmd_families();

// Rows of one family are a constexpr array in its own header (rows_*.h), e.g.:
//
//   inline constexpr cmdtbl::CmdRow kRowsFeSettings[] = {
//       {989, "ip tcp-mss-threshold", 12, NoForm::Also,
//        "clamp the TCP MSS of tunnelled traffic"},
//       {980, "show forwarding-engine notification-interval", 12, NoForm::None,
//        "the FE's notification interval"},
//   };
//
// and one line in cmd_table.cpp adds the family.

}  // namespace cmdtbl
