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
//                         LABEL (upper case, optional) is what help shows
//       <N:u32@OFF LO-HI> 32-bit word, decimal or 0x-hex, LO..HI inclusive
//       <N:hex@OFF LO-HI> as u32, written back in 0x-hex
//       <N:str/W@OFF>     name in a W-byte field, NUL-terminated (at most W-1
//                         characters); a name with blanks is typed "in quotes"
//       <N:mac@OFF>       6 bytes, aa:bb:cc:dd:ee:ff (also aa-bb-..., aabb.ccdd.eeff)
//       <N:oui@OFF>       3 bytes, aa:bb:cc (also aabbcc)
//       <N:ip@OFF>        IPv4 address, 4 bytes in network order
//       <N:mask@OFF>      IPv4 netmask (contiguous ones), 4 bytes in network order
//   <{a|b|c}/W@OFF>       one of the keywords, stored as its full text in W bytes
//   <{a=1|b=2}@OFF>       one of the keywords, stored as the 32-bit number given;
//                         a choice may carry a label too (<DIR:{in|out}/4@OFF>),
//                         which only handlers see: help shows the keywords
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
// Handlers take offsets, widths and flag bits from the rows (cmd_lookup.h).
// Words are host order; addresses and masks network order. Bit 31 of the flag
// word marks the "no" form in records fed generates, and the parser sets it too.
// The forms are checked when the table is compiled (cmd_form.h): a bad form, an
// offset outside the record or an optional group without a flag bit does not build.
//
// Two rows with the same id are two syntaxes of one command, e.g. a plain form
// that needs a value and a shorter "no" form: NoForm::Only marks the latter.
#pragma once

#include <cstdint>
#include <iterator>
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

// Every command identifier fed has (213), in ascending order.
inline constexpr std::uint32_t kCommandIds[] = {
    763,  764,  765,  766,  767,  768,  769,  770,  771,  772,  773,  774,  775,  776,  778,  779,
    780,  781,  788,  789,  790,  791,  792,  794,  795,  796,  797,  798,  804,  805,  807,  808,
    809,  810,  812,  813,  815,  816,  818,  819,  820,  821,  822,  823,  824,  825,  826,  831,
    832,  833,  834,  835,  838,  842,  843,  846,  847,  848,  849,  850,  852,  853,  855,  856,
    858,  859,  860,  861,  862,  866,  867,  868,  869,  870,  871,  872,  873,  875,  876,  877,
    878,  879,  880,  881,  882,  883,  884,  885,  886,  894,  895,  896,  897,  898,  899,  900,
    901,  902,  903,  904,  905,  906,  907,  908,  909,  919,  920,  921,  922,  923,  924,  925,
    926,  927,  928,  929,  930,  931,  932,  933,  934,  935,  936,  937,  938,  939,  940,  941,
    942,  943,  944,  945,  946,  947,  948,  949,  950,  951,  952,  953,  954,  955,  956,  957,
    958,  960,  962,  963,  964,  965,  966,  967,  968,  969,  970,  971,  972,  973,  974,  975,
    976,  977,  979,  980,  981,  982,  983,  984,  985,  986,  987,  988,  989,  990,  991,  992,
    993,  994,  995,  996,  997,  998,  999,  1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008,
    1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022, 1023, 1799,
    1800, 1801, 1802, 1803, 1804,
};
static_assert(std::size(kCommandIds) == 213);

// Identifiers whose command vector fed registers a second time, with an
// unpacker that reaches the same handler.
inline constexpr std::uint32_t kTwiceRegistered[] = {
    808, 810, 813, 816, 819, 821, 822, 825, 832, 835, 842, 850, 853,  856,  867,  869,  870,
    876, 878, 879, 882, 883, 885, 895, 904, 929, 933, 936, 942, 944,  948,  949,  950,  963,
    964, 968, 969, 970, 975, 976, 979, 982, 990, 993, 994, 995, 1799, 1800, 1801, 1802,
};
static_assert(std::size(kTwiceRegistered) == 50);

// Registrations: every identifier once, 50 of them twice.
inline constexpr std::size_t kFullRegistrationCount = 263;

// Every family linked into the table, in help order (cmd_table.cpp).
std::span<const CmdFamily> cmd_families();

// The largest argument record of the command's rows, or 0 when the table has
// no row for it.
std::uint16_t cmd_record_size(std::uint32_t id);

// Rows of one family are a constexpr array in its own header (rows_*.h), e.g.:
//
//   inline constexpr cmdtbl::CmdRow kRowsFeSettings[] = {
//       {989, "ip tcp-mss-threshold", 12, NoForm::Also,
//        "clamp the TCP MSS of tunnelled traffic"},
//       {980, "show forwarding-engine notification-interval", 12, NoForm::None,
//        "the FE's notification interval"},
//   };
//
// and one line in cmd_table.cpp adds the family (and checks its forms).

}  // namespace cmdtbl
