// The words of a conversion laid over its result, for a view that marks the
// words that changed: each word with what it became, its decision and score,
// and the text between it and the word before.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/lib.h"

namespace vexo::cli {

struct MarkedWord {
  std::string before;     // the output between the previous word and this one
  std::string word;       // as written (after normalize_marks)
  std::string converted;  // what the conversion made of it
  float score = 0.0f;
  Decision decision = Decision::Unchanged;
};

// `text` is convert(input, options). Joining every word's `before` and
// `converted` and then `tail` gives `text` back. Text must be valid UTF-8.
struct MarkedText {
  std::string text;
  std::vector<MarkedWord> words;
  std::string tail;
};

MarkedText mark_words(std::string_view input, const ConvertOptions& options);

}  // namespace vexo::cli
