// The edit plan: the word just before the caret and the separators typed
// after it. End-of-edit detection, the convert edit session and the restore
// edit session all find the word this one way.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "tsf/document.h"

namespace vexo::tsf {

// How far back before the caret the service reads, in UTF-16 units.
inline constexpr std::size_t kCaretTextUnits = 64;

// Tab, Line Feed, Carriage Return, Space, No-Break Space, Thin Space and
// Narrow No-Break Space: the characters that end a word in a document.
bool is_separator(char16_t unit);

struct EditPlan {
  std::string word;            // UTF-8
  std::size_t separators = 0;  // 0 to 2 trailing separator units
  std::size_t word_units = 0;  // the word's UTF-16 length
  friend bool operator==(const EditPlan&, const EditPlan&) = default;
};

// The word before at most two trailing separators. Nothing when there are
// more separators, no word, a word that may go on before the start of `text`
// (it reaches the start and `at_start` is false), or an unpaired surrogate.
std::optional<EditPlan> plan(std::u16string_view text, bool at_start);

// The text before the caret, as the service reads it: kCaretTextUnits units.
CaretRead read_caret_text(TextDocument& document);

}  // namespace vexo::tsf
