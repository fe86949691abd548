// Latin to Cyrillic: Uzbek Latin text, in the old spelling, the 2026 alphabet
// or a mixture, written in Uzbek Cyrillic. Every word first goes through the
// old-to-new conversion with the English guard; English words, links, code,
// abbreviations and foreign-looking words stay in Latin.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/lib.h"

namespace vexo {

// Converts a whole text of valid UTF-8. Separators are copied unchanged and
// words already in Cyrillic pass through. Never fails.
std::string to_cyrillic(std::string_view text);

// What converting a text to Cyrillic remembers about the words it has met, to
// be carried from one piece of the text to the next (converted in turn, on one
// thread at a time). What it holds never changes a result; it only saves
// work. Memory stays bounded however long the text.
class CyrillicMemo {
 public:
  CyrillicMemo();
  ~CyrillicMemo();
  CyrillicMemo(CyrillicMemo&&) noexcept;
  CyrillicMemo& operator=(CyrillicMemo&&) noexcept;

  struct Forms;
  Forms& forms() { return *forms_; }

 private:
  std::unique_ptr<Forms> forms_;
};

// Like to_cyrillic(text), remembering in `memo` across calls.
std::string to_cyrillic(std::string_view text, CyrillicMemo& memo);

// Like to_cyrillic(text), but writing every word anew, remembering nothing:
// what the remembered forms must agree with, for tests.
std::string to_cyrillic_afresh(std::string_view text);

// Where a word stands: its English score (negative leans English), that of
// its sentence, and whether it opens its sentence or its line.
struct WordPlace {
  float score = 0.0f;
  float context = 0.0f;
  bool sentence_start = false;
  bool line_start = false;
};

// Converts one word span. `pending_quote` carries an opening quote across the
// words of one text.
std::string to_cyrillic_word(std::string_view word, const ConvertOptions& options,
                             const WordPlace& place, bool& pending_quote);

}  // namespace vexo
