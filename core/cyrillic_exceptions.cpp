#include "core/cyrillic_exceptions.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/lang.h"
#include "core/lexicon.h"
#include "core/lib.h"
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

void append_key(std::string& key, char32_t c) {
  if (is_apostrophe(c)) {
    append_utf8(key, U'\u02bc');
  } else {
    append_lower(key, c);
  }
}

// The lookup key alone; a short word's fits in the string itself.
std::string key_text(std::span<const char32_t> word) {
  std::string key;
  for (const char32_t c : word) append_key(key, c);
  return key;
}

PrefixKey key_of(std::span<const char32_t> word) {
  PrefixKey k;
  k.key.reserve(word.size() + 4);
  k.ends.reserve(word.size());
  for (const char32_t c : word) {
    append_key(k.key, c);
    k.ends.push_back(k.key.size());
  }
  return k;
}

// The key of the old spelling, which the word lists use (ş -> sh, ö -> o',
// apostrophes as U+0027), with the byte offset where each character of the
// word ends in it.
PrefixKey old_key_of(std::span<const char32_t> word) {
  PrefixKey k;
  k.key.reserve(word.size() + 4);
  k.ends.reserve(word.size());
  for (const char32_t c : word) {
    const char32_t l = lower_first(c);
    if (is_apostrophe(c)) {
      k.key.push_back('\'');
    } else if (l == U'ş' || l == U'ç') {
      k.key += l == U'ş' ? "sh" : "ch";
    } else if (l == U'ö' || l == U'ğ') {
      k.key += l == U'ö' ? "o'" : "g'";
    } else {
      append_utf8(k.key, l);
    }
    k.ends.push_back(k.key.size());
  }
  return k;
}

// Endings that only verbs take: a listed loanword (a noun or an adjective)
// followed by them is some other word (singadi is sing + adi, not singa + di).
constexpr std::array<std::string_view, 18> kVerbOnly = {
    "ayotgan", "yotgan", "yapti", "moqda", "gani", "ganlar", "gan", "kan", "qan",
    "di",      "ib",     "moq",   "mas",   "may",  "sa",     "sin", "ay",  "adi"};

// True when the text is a chain of at most three endings a noun takes
// (konsertlari, aksiyadagi), possibly closed by a possessive m or ng or the
// k of -ik (farmatsevtik).
bool is_noun_endings(std::string_view text, int depth = 0) {
  if (text.empty() || text == "m" || text == "ng" || text == "k") return true;
  if (depth >= 3) return false;
  for (const std::string_view suffix : lexicon_suffixes()) {
    if (!text.starts_with(suffix)) continue;
    if (std::find(kVerbOnly.begin(), kVerbOnly.end(), suffix) != kVerbOnly.end()) continue;
    if (is_noun_endings(text.substr(suffix.size()), depth + 1)) return true;
  }
  return false;
}

// The standing of a key as an Uzbek word or verb stem: its own weight, or
// that of its plainest verb forms (sing: singdi; sin: singan).
float uzbek_standing(std::string_view key) {
  float best = 0.0f;
  std::string form(key);
  for (const std::string_view ending : {"", "di", "gan"}) {
    form.resize(key.size());
    form += ending;
    const Lookup l = lexicon_lookup(uzbek_lexicon(), form);
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
    const float native = uzbek_standing(key.substr(0, p));
    if (native > 0.0f && native >= listed && is_ending_chain(key.substr(p), 0)) return true;
  }
  return false;
}

// True when a listed stem is followed by endings of its word class and the
// whole word is not better read as a native one.
bool is_stem_with_endings(const PrefixKey& old, std::size_t stem) {
  const std::size_t stem_key = old.ends[stem - 1];
  return is_noun_endings(std::string_view(old.key).substr(stem_key)) &&
         !has_native_reading(old.key, stem_key);
}

// Listed keys by their first three characters when those are ASCII
// letters: most words are turned away by their head without a search.
constexpr std::size_t kHeads = 26 * 26 * 26;
constexpr std::size_t kNoHead = kHeads;

template <typename Char>
std::size_t ascii_head(Char a, Char b, Char c) {
  std::size_t index = 0;
  for (const Char ch : {a, b, c}) {
    const auto lower = static_cast<char32_t>(ch) | 0x20;
    if (static_cast<char32_t>(ch) >= 0x80 || lower < 'a' || lower > 'z') return kNoHead;
    index = 26 * index + (lower - 'a');
  }
  return index;
}

bool may_be_listed(std::span<const char32_t> word) {
  static const std::vector<bool> heads = [] {
    std::vector<bool> listed(kHeads, false);
    for (const CyrillicSpelling& entry : cyrillic_spellings) {
      if (entry.key.size() < 3) continue;
      const std::size_t head = ascii_head(entry.key[0], entry.key[1], entry.key[2]);
      if (head != kNoHead) listed[head] = true;
    }
    return listed;
  }();
  if (word.size() < 3) return true;
  const std::size_t head = ascii_head(word[0], word[1], word[2]);
  return head == kNoHead || heads[head];
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
  if (!may_be_listed(word)) return std::nullopt;
  if (word.size() < kMinStem) {
    const auto whole = cyrillic_exception(key_text(word));
    if (whole) return ListedSpelling{*whole, word.size()};
    return std::nullopt;
  }
  // The whole word and every stem tried begin with its first kMinStem
  // characters: only the listed keys that begin so are searched, and most
  // words are turned away by their head alone.
  const std::string head = key_text(word.first(kMinStem));
  const auto first = std::lower_bound(
      cyrillic_spellings.begin(), cyrillic_spellings.end(), head,
      [](const CyrillicSpelling& entry, std::string_view h) { return entry.key < h; });
  const auto last = std::find_if(first, cyrillic_spellings.end(), [&](const CyrillicSpelling& e) {
    return !e.key.starts_with(head);
  });
  const std::span<const CyrillicSpelling> candidates(first, last);
  if (candidates.empty()) return std::nullopt;
  const PrefixKey k = key_of(word);
  const auto listed_in = [&](std::string_view key) -> std::optional<std::string_view> {
    const auto it = std::lower_bound(
        candidates.begin(), candidates.end(), key,
        [](const CyrillicSpelling& entry, std::string_view k) { return entry.key < k; });
    if (it == candidates.end() || it->key != key) return std::nullopt;
    return it->cyrillic;
  };

  if (const auto whole = listed_in(k.key)) return ListedSpelling{*whole, word.size()};
  if (word.size() == kMinStem) return std::nullopt;
  std::optional<PrefixKey> old;  // made when a listed stem is found
  for (std::size_t stem = word.size() - 1; stem >= kMinStem; --stem) {
    const auto listed = listed_in(std::string_view(k.key).substr(0, k.ends[stem - 1]));
    if (!listed) continue;
    if (!old) old = old_key_of(word);
    if (!is_stem_with_endings(*old, stem)) continue;
    std::string_view spelling = *listed;
    constexpr std::string_view kSoftSign = "ь";
    if (spelling.ends_with(kSoftSign)) spelling.remove_suffix(kSoftSign.size());
    return ListedSpelling{spelling, stem};
  }
  return std::nullopt;
}

}  // namespace vexo
