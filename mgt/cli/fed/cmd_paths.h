// Inside the command table library: a row's form expanded into its word
// sequences (paths), and the value codecs of the argument kinds.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mgt/cli/fed/cmd_form.h"

namespace cmdtbl {

// What a record must hold for a path to be the one that wrote it.
struct PathCheck {
    enum class What : std::uint8_t { BitSet, BitClear, WordEq };
    What what;
    std::uint32_t a;  // bit, or offset
    std::uint32_t b;  // WordEq: value
};

// One way through a form: the elements that take a word (Keyword or Arg), the
// constants and flag bits its groups store, and how a record shows it was taken.
struct Path {
    std::vector<FormTok> words;
    std::vector<FormTok> effects;
    std::vector<PathCheck> checks;
};

// The paths of a row in a fixed order (optional groups taken before skipped,
// alternatives in form order), expanded once and kept for the process.
const std::vector<Path>& row_paths(const CmdRow& row);

// ---- values

// Why a word is not a value of the argument, or empty when it is.
std::string arg_refusal(const FormTok& t, std::string_view word);
// Stores the word (already accepted) into the record at t.off.
void arg_store(const FormTok& t, std::string_view word, std::span<std::uint8_t> record);
// The word for the value at t.off, or false when the value is none that the
// argument accepts (out of range, a name with a control character, a mask
// with holes, a text choice that is no keyword, a number no choice has).
bool arg_word(const FormTok& t, std::span<const std::uint8_t> record, std::string& word);
// The placeholder help shows for a value argument.
std::string arg_placeholder(const FormTok& t);
// The keywords of a choice argument, in form order.
std::vector<std::string_view> choice_words(const FormTok& t);

std::uint32_t record_word(std::span<const std::uint8_t> record, std::uint32_t off);

}  // namespace cmdtbl
