// The word lists compiled into every deliverable: three hashed lexicons
// (Uzbek, English, s+h exceptions) used where they lie in read-only data, and
// two line lists (brands, foreign names) parsed into sets once, on first use.
//
// Keys are word keys (lowercase, apostrophes as U+0027); the brand list takes
// a lowercase stem. Any number of threads may look words up at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vexo {

// A hashed lexicon: words concatenated in ascending byte order, N + 1 offsets,
// N weights, and a power-of-two open-addressing slot table (word_hash home
// slot, linear probing) of kLexiconSlotWords words per slot: the top 32 bits
// of the word's hash, where its bytes start in `words`, its length (0 for an
// empty slot) and the bits of its weight. A lookup thus reads one slot and
// the word's bytes.
inline constexpr std::size_t kLexiconSlotWords = 4;

struct Lexicon {
  std::string_view words;
  std::span<const std::uint32_t> offsets;
  std::span<const float> weights;
  std::span<const std::uint32_t> slots;  // kLexiconSlotWords per slot

  std::size_t slot_count() const { return slots.size() / kLexiconSlotWords; }
};

const Lexicon& uzbek_lexicon();
const Lexicon& english_lexicon();
const Lexicon& sh_exception_lexicon();

struct Lookup {
  bool found = false;
  float weight = 0.0f;  // meaningful only when found
};

// Exact lookup in one lexicon.
Lookup lexicon_lookup(const Lexicon& lexicon, std::string_view key);

// Lookup in the Uzbek lexicon that also strips up to two known suffixes
// (weights times 0.8 and 0.6 for one and two suffixes) from a word not
// listed whole.
Lookup uzbek_lookup(std::string_view key);

// Like uzbek_lookup, but a word listed whole weighs as much as its listing or
// its best analysis says, whichever is more (a rare ko'rsatilishiga by the
// common ko'rsatilishi), except that a bare spelling listed at 0.0 (ozbek)
// weighs nothing. Restoration judges readings by this.
Lookup uzbek_analysis(std::string_view key);

// The 66 suffixes uzbek_lookup strips, in the order it tries them.
std::span<const std::string_view> lexicon_suffixes();

// Membership in the brand list (by lowercase stem) and the foreign-name list.
bool brand_list_contains(std::string_view stem);
// False when no listed brand starts with the first three bytes of `stem`
// (three bytes or more), so that neither it nor any longer or shorter stem of
// three bytes or more with the same start is listed; true says nothing.
bool brand_list_may_start(std::string_view stem);
bool foreign_names_contains(std::string_view key);

// Builds both line-list sets now so that the first conversion does not pay.
void warm_up();

}  // namespace vexo
