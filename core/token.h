// Text segmentation: word spans, the punctuation around a word, and the test
// for words (links, e-mail addresses, code) that are copied unchanged.
//
// Offsets are byte offsets on character boundaries; the functions are pure.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "core/lib.h"

namespace vexo {

// Cuts a text into word spans at white space, en and em dashes and the
// ellipsis, and between two words joined by a punctuation typo (bo'ladi.Bu,
// so'raydi,to'lov, yangilanmaydi(hech), and marks the spans that end a
// sentence or a clause.
std::vector<WordSpan> split_spans(std::string_view text);

// A sentence as an inclusive index range [first, last] into a span list: it
// ends at a span with `sentence_end` or at the last span.
struct Sentence {
  std::size_t first;
  std::size_t last;
};

std::vector<Sentence> split_sentences(std::span<const WordSpan> spans);

// Three consecutive slices of a word whose concatenation is the word.
struct WordParts {
  std::string_view leading;
  std::string_view core;
  std::string_view trailing;
};

// Splits leading and trailing punctuation off a word. An apostrophe after
// G, O, g or o stays in the core: it is the second half of o' or g'.
WordParts split_word(std::string_view word);

// True for a link, e-mail address, hashtag, mention, domain name,
// number-with-letters token or code, which is to be copied unchanged.
bool is_protected(std::string_view word);

}  // namespace vexo
