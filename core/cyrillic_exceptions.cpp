#include "core/cyrillic_exceptions.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/lang.h"
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

// True when the characters are Uzbek endings (lari, da, ning, ...), judged on
// their old spelling as the word lists are.
bool is_endings(std::span<const char32_t> rest) {
  std::string text;
  for (const char32_t c : rest) append_utf8(text, c);
  return is_ending_chain(word_key(to_old(text, true)), 0);
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
    if (!listed || !is_endings(word.subspan(stem))) continue;
    std::string_view spelling = *listed;
    constexpr std::string_view kSoftSign = "ь";
    if (spelling.ends_with(kSoftSign)) spelling.remove_suffix(kSoftSign.size());
    return ListedSpelling{spelling, stem};
  }
  return std::nullopt;
}

}  // namespace vexo
