// The English guard (English scores, name classes, the final English test)
// and apostrophe restoration (ozbek -> o'zbek).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/context.h"
#include "core/lib.h"

namespace vexo {

// English score of a word: positive is Uzbek-like, negative English-like.
float english_score(std::string_view word);

// The letter-pattern part of the score, for a key.
float pattern_score(std::string_view key);

// Name class of a word core: Plain, ForeignName, EnglishWord or Connector.
NameClass name_class(std::string_view core);

// True when a stem is spelled like a foreign (non-Uzbek) name.
bool looks_foreign(std::string_view stem);

struct WordStanding {
  bool uzbek = false;
  bool english = false;
};

// Whether the word's key is an Uzbek word and whether it is an English word.
WordStanding is_uzbek_word(std::string_view word);

// The final English test of the per-word pipeline. The context enters it
// only through context_leans_english.
bool looks_english(std::string_view core, float word_score, float context_score);

// True when a word's score and its sentence's context, weighed together,
// lean English.
inline bool context_leans_english(float word_score, float context_score) {
  return word_score + 1.5f * context_score < 0.0f;
}

struct Restored {
  std::string word;
  bool two_readings = false;
};

// Restores the o' and g' apostrophes of a word typed without them, when the
// lists say a restored form is the word meant. In text mode, a word that reads
// two ways (oz/o'z) is settled by the context model and the neighbours.
std::optional<Restored> restore_apostrophes(std::string_view word, bool strong_context,
                                            bool text_mode, bool two_readings,
                                            const Neighbours& neighbours = {});

// True when a key and its restored key are two different words with the same
// endings: both stems are frequent listed Uzbek words of similar weight and
// what follows them is a chain of endings (bor/bo'r + ding).
bool has_two_readings(std::string_view key, std::string_view restored_key);

// True when the text is a chain of at most three suffixes and verb endings
// (counted from `depth`), possibly closed by ng, k or m; the empty text is one.
bool is_ending_chain(std::string_view text, int depth);

}  // namespace vexo
