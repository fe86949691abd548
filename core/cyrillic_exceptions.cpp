#include "core/cyrillic_exceptions.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/lang.h"
#include "core/lexicon.h"
#include "core/lib.h"
#include "core/reverse.h"
#include "core/unicode.h"

namespace vexo {

namespace {

// A stem needs this many characters before its endings to be looked up, so
// that short listed words do not match inside Uzbek ones.
constexpr std::size_t kMinStem = 4;

// The lookup key of a word, with the byte offset where each character of the
// word ends in it, so that every prefix of the word has a prefix as its key.
struct PrefixKey {
  std::string key;
  std::vector<std::size_t> ends;
};

PrefixKey key_of(std::span<const char32_t> word) {
  PrefixKey k;
  k.key.reserve(word.size() + 4);
  k.ends.reserve(word.size());
  for (const char32_t c : word) {
    if (is_apostrophe(c)) {
      append_utf8(k.key, U'\u02bc');
    } else {
      append_lower(k.key, c);
    }
    k.ends.push_back(k.key.size());
  }
  return k;
}

std::string text_of(std::span<const char32_t> chars) {
  std::string text;
  for (const char32_t c : chars) append_utf8(text, c);
  return text;
}

// The key of the old spelling, which the word lists use.
std::string old_key(std::span<const char32_t> chars) { return word_key(to_old(text_of(chars), true)); }

// Endings that only verbs take: a listed loanword (a noun or an adjective)
// followed by them is some other word (singadi is sing + adi, not singa + di).
constexpr std::array<std::string_view, 19> kVerbOnly = {
    "ayotgan", "yotgan", "yapti", "moqda", "gani", "ganlar", "gan", "kan", "qan", "di", "ib",
    "ish",     "moq",    "mas",   "may",   "sa",   "sin",    "ay",  "adi"};

// True when the text is a chain of at most three endings a noun takes
// (konsertlari, aksiyadagi), possibly closed by a possessive m or ng.
bool is_noun_endings(std::string_view text, int depth = 0) {
  if (text.empty() || text == "m" || text == "ng") return true;
  if (depth >= 3) return false;
  for (const std::string_view suffix : lexicon_suffixes()) {
    if (!text.starts_with(suffix)) continue;
    if (std::find(kVerbOnly.begin(), kVerbOnly.end(), suffix) != kVerbOnly.end()) continue;
    if (is_noun_endings(text.substr(suffix.size()), depth + 1)) return true;
  }
  return false;
}

// The standing of a key as an Uzbek word or verb stem: its own weight, or
// that of its plainest verb forms (sing: singdi, singan).
float uzbek_standing(std::string_view key) {
  float best = 0.0f;
  for (const std::string_view ending : {"", "di", "moq", "gan", "ib", "adi"}) {
    const Lookup l = lexicon_lookup(uzbek_lexicon(), std::string(key) + std::string(ending));
    if (l.found) best = std::max(best, l.weight);
  }
  return best;
}

// True when the word reads as an Uzbek word of its own: a shorter Uzbek stem
// at least as common as the listed one, followed by endings (seldi is sel +
// di, singani is sin + gani), so the listed stem is a coincidence.
bool has_native_reading(std::string_view key, std::size_t listed_stem) {
  constexpr std::size_t kMinNativeStem = 3;
  const float listed = lexicon_lookup(uzbek_lexicon(), key.substr(0, listed_stem)).weight;
  for (std::size_t p = kMinNativeStem; p < listed_stem; ++p) {
    if (!is_ending_chain(key.substr(p), 0)) continue;
    const float native = uzbek_standing(key.substr(0, p));
    if (native > 0.0f && native >= listed) return true;
  }
  return false;
}

// True when a listed stem is followed by endings of its word class and the
// whole word is not better read as a native one.
bool is_stem_with_endings(std::span<const char32_t> word, std::size_t stem) {
  const std::string key = old_key(word);
  const std::size_t stem_key = old_key(word.first(stem)).size();
  if (stem_key > key.size() || !is_noun_endings(std::string_view(key).substr(stem_key))) {
    return false;
  }
  return !has_native_reading(key, stem_key);
}

}  // namespace

std::optional<std::string_view> cyrillic_exception(std::string_view key) {
  const auto it = std::lower_bound(
      cyrillic_spellings.begin(), cyrillic_spellings.end(), key,
      [](const CyrillicSpelling& entry, std::string_view k) { return entry.key < k; });
  if (it == cyrillic_spellings.end() || it->key != key) return std::nullopt;
  return it->cyrillic;
}

std::optional<ListedSpelling> find_listed_spelling(std::span<const char32_t> word) {
  const PrefixKey k = key_of(word);
  if (const auto whole = cyrillic_exception(k.key)) return ListedSpelling{*whole, word.size()};
  if (word.size() <= kMinStem) return std::nullopt;
  for (std::size_t stem = word.size() - 1; stem >= kMinStem; --stem) {
    const auto listed = cyrillic_exception(std::string_view(k.key).substr(0, k.ends[stem - 1]));
    if (!listed || !is_stem_with_endings(word, stem)) continue;
    std::string_view spelling = *listed;
    constexpr std::string_view kSoftSign = "ь";
    if (spelling.ends_with(kSoftSign)) spelling.remove_suffix(kSoftSign.size());
    return ListedSpelling{spelling, stem};
  }
  return std::nullopt;
}

}  // namespace vexo
