#include "tsf/plan.h"

#include "tsf/utf16.h"

namespace vexo::tsf {

bool is_separator(char16_t unit) {
  switch (unit) {
    case u'\t':
    case u'\n':
    case u'\r':
    case u' ':
    case u'\u00A0':
    case u'\u2009':
    case u'\u202F':
      return true;
    default:
      return false;
  }
}

std::optional<EditPlan> plan(std::u16string_view text, bool at_start) {
  std::size_t word_end = text.size();
  while (word_end > 0 && is_separator(text[word_end - 1])) --word_end;
  const std::size_t separators = text.size() - word_end;
  if (separators > 2) return std::nullopt;

  std::size_t word_start = word_end;
  while (word_start > 0 && !is_separator(text[word_start - 1])) --word_start;
  if (word_start == word_end) return std::nullopt;
  if (word_start == 0 && !at_start) return std::nullopt;

  const std::u16string_view units = text.substr(word_start, word_end - word_start);
  std::optional<std::string> word = utf16_to_utf8(units);
  if (!word) return std::nullopt;
  return EditPlan{std::move(*word), separators, units.size()};
}

CaretRead read_caret_text(TextDocument& document) {
  CaretRead read = document.read_before_caret(kCaretTextUnits);
  if (read.status == CaretRead::Status::Text && read.caret.text.size() > kCaretTextUnits) {
    read.caret.text.erase(0, read.caret.text.size() - kCaretTextUnits);
  }
  return read;
}

}  // namespace vexo::tsf
