// Alignment of a converted text with the text it came from: the tokens that
// changed, the words that changed, and the laying of a converted paragraph
// back over the formatted pieces of the original.
//
// Texts are valid UTF-8. Every position here counts characters (Unicode
// scalar values), not bytes. All functions are pure.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexo::cli {

// A maximal run of characters that are all white space or all not.
struct Token {
  std::string text;
  std::size_t start = 0;  // character index in the whole text
  bool space = false;
};

// Cuts a text into its alternating white-space and non-white-space tokens.
std::vector<Token> split_tokens(std::string_view text);

// One token of the old text and what it became.
struct TokenPair {
  std::string old_text;
  std::size_t old_start = 0;  // character index of the old token in the old text
  std::string new_text;
};

// The tokens that differ, in order, when both texts have the same shape (same
// token kinds at every position and identical white space); otherwise one
// pair holding both whole texts. Equal texts give no pairs.
std::vector<TokenPair> token_pairs(std::string_view old_text, std::string_view new_text);

// token_pairs(old_text, new_text).size(), without making the pairs.
std::size_t count_token_pairs(std::string_view old_text, std::string_view new_text);

struct WordChange {
  std::string old_word;
  std::string new_word;
};

// The changed words, in text order: each token pair without the punctuation
// both sides share at its start and end (letters and digits are never
// stripped), so "(so'z)," -> "(soʼz)," gives so'z -> soʼz.
std::vector<WordChange> word_changes(std::string_view old_text, std::string_view new_text);

// The same from the token pairs of the two texts (token_pairs).
std::vector<WordChange> word_changes(std::span<const TokenPair> pairs);

// Characters [start, end) of the old text replaced by `replacement`;
// start == end is an insertion.
struct Edit {
  std::size_t start = 0;
  std::size_t end = 0;
  std::string replacement;
};

// Above this many cells of the common-subsequence table, a token pair is
// replaced as one block instead of character by character.
inline constexpr std::size_t kMaxEditCells = 65536;

// The smallest character edits that turn the pair's old token into its new
// one, with positions in the whole old text. Sorted, never overlapping; a run
// of deletions and insertions between two kept characters is one edit.
std::vector<Edit> token_edits(const TokenPair& pair);

// One entry of a paragraph's piece list: the text of a text element, or a
// placeholder: the single character standing for a tab or a line break.
struct Piece {
  std::string text;
  bool placeholder = false;
};

// Lays the converted paragraph over the pieces of the old one, changing as few
// characters as possible, and returns one text per piece (empty for
// placeholders, whose elements stay as they are). `old_text` is the
// concatenation of the pieces' texts. A replacement goes to the piece of the
// first character it replaces (an insertion: of the character after it), or
// to the last text piece before it when only placeholders follow. When the
// paragraph has a text character and its placeholders are kept as they were,
// the returned texts joined equal `new_text` without the placeholders.
std::vector<std::string> distribute_runs(std::span<const Piece> pieces, std::string_view old_text,
                                         std::string_view new_text);

// The same, given the texts' token pairs (token_pairs(old_text, new_text)).
std::vector<std::string> distribute_runs(std::span<const Piece> pieces, std::string_view old_text,
                                         std::string_view new_text,
                                         std::span<const TokenPair> pairs);

}  // namespace vexo::cli
