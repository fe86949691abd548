// Latin to Cyrillic: Uzbek Latin text, in the old spelling, the 2026 alphabet
// or a mixture, written in Uzbek Cyrillic. Every word first goes through the
// old-to-new conversion with the English guard; English words, links, code,
// abbreviations and foreign-looking words stay in Latin.
#pragma once

#include <string>
#include <string_view>

#include "core/lib.h"

namespace vexo {

// Converts a whole text of valid UTF-8. Separators are copied unchanged and
// words already in Cyrillic pass through. Never fails.
std::string to_cyrillic(std::string_view text);

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
