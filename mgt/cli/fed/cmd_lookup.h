// Compile-time lookup of argument places in the command table. A handler
// that reads an argument record takes each offset, width and flag bit from
// the rows of its command, so a row edit that its handler does not follow
// stops the build:
//
//   inline constexpr std::size_t kVlanEnd = cmdtbl::arg_off(kRowsFeSettings, 995, "to");
//
// A key names one argument (or constant) of the command's rows:
//   "LABEL"    the argument with that label (upper case, as help shows it)
//   "LABEL#N"  the N-th argument with that label in a row (N from 1), for a
//              label that a row uses twice
//   "keyword"  the argument or constant written right after that keyword
//              (an opening '[' or '(' between them is allowed)
// Every row with the command's identifier is searched; the places found must
// agree. A key that finds nothing, or two different places, does not build,
// and neither does an identifier without a row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "mgt/cli/fed/cmd_form.h"
#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

enum class Found : std::uint8_t {
    One,        // the key names one place
    NoRow,      // no row has the identifier
    Missing,    // no row of the identifier holds the key
    Ambiguous,  // the key names two different places
};

// The flag bit telling whether an argument was given: the #B of the
// innermost group holding it that writes a flag bit (an optional group, an
// alternative or the whole form). A group that writes several flag bits gives
// its arguments one each in order, as in "#0 #1 a <A:..> <B:..>", when it
// holds exactly as many arguments directly.
inline constexpr int kNoBit = -1;       // no group around the argument writes one
inline constexpr int kUnclearBit = -2;  // several bits and no one-to-one order

struct ArgPlace {
    Found found = Found::Missing;
    Tok tok = Tok::Arg;  // Arg or Const
    Kind kind = Kind::U32;
    std::uint32_t off = 0;
    std::uint32_t width = 0;
    std::uint32_t value = 0;  // Const: the value stored
    int bit = kNoBit;
};

namespace lookup_detail {

struct Key {
    std::string_view label;    // upper-case key
    std::string_view keyword;  // lower-case key
    std::uint32_t nth = 0;     // LABEL#N; 0: every argument with the label
};

constexpr Key parse_key(std::string_view k) {
    Key key;
    if (!k.empty() && form_detail::is_lower(k[0])) {
        key.keyword = k;
        return key;
    }
    std::size_t hash = k.find('#');
    key.label = k.substr(0, hash);
    if (hash != std::string_view::npos && !form_detail::parse_num(k.substr(hash + 1), key.nth))
        key.nth = 0xFFFFFFFFu;  // finds nothing
    return key;
}

struct Group {
    std::size_t start = 0;  // form position of its first item
};

// The flag bit of the token that starts at form position `at` (see kNoBit).
constexpr int flag_bit_at(std::string_view form, std::size_t at) {
    // The groups around the token, outermost (the whole form) first.
    Group stack[kMaxFormDepth + 2] = {};
    std::size_t depth = 1;
    Group around[kMaxFormDepth + 2] = {};
    std::size_t around_depth = 0;
    for (std::size_t pos = 0;;) {
        std::size_t here = pos;
        FormTok t = form_next(form, pos);
        if (t.tok == Tok::End || t.tok == Tok::Bad) break;
        if (here == at) {
            for (std::size_t i = 0; i < depth; ++i) around[i] = stack[i];
            around_depth = depth;
            break;
        }
        if ((t.tok == Tok::OptOpen || t.tok == Tok::AltOpen) && depth < kMaxFormDepth + 2)
            stack[depth++] = Group{pos};
        else if (t.tok == Tok::AltBar)
            stack[depth - 1].start = pos;
        else if ((t.tok == Tok::OptClose || t.tok == Tok::AltClose) && depth > 1)
            --depth;
    }
    for (std::size_t g = around_depth; g-- > 0;) {
        std::uint32_t flags[32] = {};
        std::size_t nflags = 0, nargs = 0, index = 0;
        bool direct = false;  // the token is an argument of this group itself
        int nest = 0;
        for (std::size_t pos = around[g].start;;) {
            std::size_t here = pos;
            FormTok t = form_next(form, pos);
            if (t.tok == Tok::End || t.tok == Tok::Bad) break;
            if (t.tok == Tok::OptOpen || t.tok == Tok::AltOpen) ++nest;
            if (t.tok == Tok::OptClose || t.tok == Tok::AltClose || t.tok == Tok::AltBar) {
                if (nest == 0) break;
                if (t.tok != Tok::AltBar) --nest;
            }
            if (nest != 0) continue;
            if (t.tok == Tok::Flag && nflags < 32) flags[nflags++] = t.value;
            if (t.tok == Tok::Arg) {
                if (here == at) {
                    direct = true;
                    index = nargs;
                }
                ++nargs;
            }
        }
        if (nflags == 0) continue;
        if (nflags == 1) return static_cast<int>(flags[0]);
        if (direct && nargs == nflags) return static_cast<int>(flags[index]);
        return kUnclearBit;
    }
    return kNoBit;
}

constexpr void merge(ArgPlace& acc, const FormTok& t, int bit) {
    if (acc.found == Found::Missing) {
        acc = ArgPlace{Found::One, t.tok, t.kind, t.off, t.width, t.value, bit};
        return;
    }
    if (acc.found != Found::One) return;
    if (acc.tok != t.tok || acc.kind != t.kind || acc.off != t.off || acc.width != t.width ||
        acc.value != t.value)
        acc.found = Found::Ambiguous;
    else if (acc.bit != bit)
        acc.bit = kUnclearBit;
}

constexpr void find_in_row(const CmdRow& row, const Key& key, ArgPlace& acc) {
    std::string_view after;  // the keyword whose argument may come next
    std::uint32_t seen = 0;
    for (std::size_t pos = 0;;) {
        std::size_t here = pos;
        FormTok t = form_next(row.form, pos);
        if (t.tok == Tok::End || t.tok == Tok::Bad) return;
        if (t.tok == Tok::OptOpen || t.tok == Tok::AltOpen) continue;
        bool hit = false;
        if (!key.keyword.empty())
            hit = (t.tok == Tok::Arg || t.tok == Tok::Const) && after == key.keyword;
        else if (t.tok == Tok::Arg && t.text == key.label)
            hit = key.nth == 0 || ++seen == key.nth;
        after = t.tok == Tok::Keyword ? t.text : std::string_view();
        if (hit) merge(acc, t, flag_bit_at(row.form, here));
    }
}

// Reached only when a lookup fails: these are not constexpr, so a failing
// lookup stops the build, and the error names the reason.
void command_identifier_has_no_row_in_this_family();
void argument_key_is_not_in_the_command_rows();
void argument_key_names_two_different_places();
void argument_has_no_single_flag_bit();
void command_rows_differ_in_record_size();
void constant_value_is_not_in_the_command_rows();
void command_has_no_row_of_this_form();

consteval void require(const ArgPlace& p) {
    if (p.found == Found::NoRow) command_identifier_has_no_row_in_this_family();
    if (p.found == Found::Missing) argument_key_is_not_in_the_command_rows();
    if (p.found == Found::Ambiguous) argument_key_names_two_different_places();
}

}  // namespace lookup_detail

// The place of `key` in the rows of command `id` (see the top of this file);
// never fails, `found` says how it went.
constexpr ArgPlace arg_find(std::span<const CmdRow> rows, std::uint32_t id, std::string_view key) {
    lookup_detail::Key k = lookup_detail::parse_key(key);
    ArgPlace acc;
    acc.found = Found::NoRow;
    for (const CmdRow& r : rows) {
        if (r.id != id) continue;
        if (acc.found == Found::NoRow) acc.found = Found::Missing;
        lookup_detail::find_in_row(r, k, acc);
    }
    return acc;
}

// The place of the constant =value of command `id` (constants carry no label).
constexpr ArgPlace const_find(std::span<const CmdRow> rows, std::uint32_t id, std::uint32_t value) {
    ArgPlace acc;
    acc.found = Found::NoRow;
    for (const CmdRow& r : rows) {
        if (r.id != id) continue;
        if (acc.found == Found::NoRow) acc.found = Found::Missing;
        for (std::size_t pos = 0;;) {
            std::size_t here = pos;
            FormTok t = form_next(r.form, pos);
            if (t.tok == Tok::End || t.tok == Tok::Bad) break;
            if (t.tok == Tok::Const && t.value == value)
                lookup_detail::merge(acc, t, lookup_detail::flag_bit_at(r.form, here));
        }
    }
    return acc;
}

// Byte offset of the argument in the record.
consteval std::uint32_t arg_off(std::span<const CmdRow> rows, std::uint32_t id,
                                std::string_view key) {
    ArgPlace p = arg_find(rows, id, key);
    lookup_detail::require(p);
    return p.off;
}

// Bytes the argument takes (a name or text choice: its field width).
consteval std::uint32_t arg_width(std::span<const CmdRow> rows, std::uint32_t id,
                                  std::string_view key) {
    ArgPlace p = arg_find(rows, id, key);
    lookup_detail::require(p);
    return p.width;
}

// The flag bit that says the argument was given (see kNoBit).
consteval unsigned arg_flag_bit(std::span<const CmdRow> rows, std::uint32_t id,
                                std::string_view key) {
    ArgPlace p = arg_find(rows, id, key);
    lookup_detail::require(p);
    if (p.bit < 0) lookup_detail::argument_has_no_single_flag_bit();
    return static_cast<unsigned>(p.bit);
}

// Byte offset of the constant =value.
consteval std::uint32_t const_off(std::span<const CmdRow> rows, std::uint32_t id,
                                  std::uint32_t value) {
    ArgPlace p = const_find(rows, id, value);
    if (p.found == Found::Missing) lookup_detail::constant_value_is_not_in_the_command_rows();
    lookup_detail::require(p);
    return p.off;
}

// The argument record size of command `id`; its rows must agree.
consteval std::uint16_t cmd_size(std::span<const CmdRow> rows, std::uint32_t id) {
    std::uint16_t size = 0;
    for (const CmdRow& r : rows) {
        if (r.id != id) continue;
        if (size != 0 && r.size != size) lookup_detail::command_rows_differ_in_record_size();
        size = r.size;
    }
    if (size == 0) lookup_detail::command_identifier_has_no_row_in_this_family();
    return size;
}

// The flag word a record of command `id` always carries: the #B written
// outside every optional group and alternative of its plain row (no_form
// false) or of its "no"-only row (no_form true), with bit 31 for the latter.
// Writers of running-configuration records start from it.
consteval std::uint32_t form_flags(std::span<const CmdRow> rows, std::uint32_t id,
                                   bool no_form = false) {
    for (const CmdRow& r : rows) {
        if (r.id != id || (r.no == NoForm::Only) != no_form) continue;
        std::uint32_t flags = no_form ? kNoFormBit : 0;
        int depth = 0;
        for (std::size_t pos = 0;;) {
            FormTok t = form_next(r.form, pos);
            if (t.tok == Tok::End || t.tok == Tok::Bad) break;
            if (t.tok == Tok::OptOpen || t.tok == Tok::AltOpen) ++depth;
            if (t.tok == Tok::OptClose || t.tok == Tok::AltClose) --depth;
            if (t.tok == Tok::Flag && depth == 0) flags |= 1u << t.value;
        }
        return flags;
    }
    lookup_detail::command_has_no_row_of_this_form();
    return 0;
}

}  // namespace cmdtbl
