#include "core/lexicon.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstring>
#include <unordered_set>

#include "core/list_data.h"
#include "core/prefetch.h"
#include "core/word_hash.h"

namespace vexo {

const Lexicon& uzbek_lexicon() { return list_data::uzbek; }
const Lexicon& english_lexicon() { return list_data::english; }
const Lexicon& sh_exception_lexicon() { return list_data::sh_exceptions; }

// ---------------------------------------------------------------------------
// Exact lookup

namespace {

// The four words of a slot.
enum SlotWord : std::size_t { kTag = 0, kBegin = 1, kLength = 2, kWeight = 3 };

std::uint32_t tag_of(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }

// The weight whose float bits a slot holds.
float weight_of(std::uint32_t bits) {
  float weight;
  std::memcpy(&weight, &bits, sizeof weight);
  return weight;
}

const std::uint32_t* home_slot(const Lexicon& lexicon, std::uint64_t hash) {
  return &lexicon.slots[(hash & (lexicon.slot_count() - 1)) * kLexiconSlotWords];
}

// Warms the cache for a lookup of `key` that follows (its first slot).
// Several of these before the lookups let their cache misses overlap.
void prefetch_lookup(const Lexicon& lexicon, std::string_view key) {
  if (!lexicon.slots.empty()) prefetch(home_slot(lexicon, word_hash(key)));
}

}  // namespace

Lookup lexicon_lookup(const Lexicon& lexicon, std::string_view key) {
  if (lexicon.slots.empty()) return Lookup{};
  const std::uint64_t hash = word_hash(key);
  const std::uint32_t tag = tag_of(hash);
  const std::uint32_t* const first = lexicon.slots.data();
  const std::uint32_t* const end = first + lexicon.slots.size();
  for (const std::uint32_t* slot = home_slot(lexicon, hash);;) {
    const std::uint32_t length = slot[kLength];
    if (length == 0) return Lookup{};
    if (slot[kTag] == tag && length == key.size() &&
        same_bytes(lexicon.words.data() + slot[kBegin], key.data(), length)) {
      return Lookup{true, weight_of(slot[kWeight])};
    }
    slot += kLexiconSlotWords;
    if (slot == end) slot = first;
  }
}

// ---------------------------------------------------------------------------
// Uzbek lookup with suffix stripping

namespace {

constexpr std::array<std::string_view, 66> kSuffixes = {
    "lardagi", "laridan", "larning", "laridagi", "imizning", "ingizning", "ayotgan", "yotgan",
    "yapti",   "moqda",   "lardan",  "larida",   "larini",   "larga",     "larda",   "lari",
    "ning",    "ngiz",    "imiz",    "ingiz",    "dagi",     "gani",      "ganlar",  "gan",
    "kan",     "qan",     "lik",     "liq",      "chi",      "chilik",    "siz",     "dan",
    "tan",     "lar",     "lab",     "lash",     "ni",       "ga",        "ka",      "qa",
    "da",      "ta",      "di",      "ib",       "ish",      "moq",       "mas",     "may",
    "sa",      "sin",     "dir",     "man",      "san",      "miz",       "dek",     "day",
    "cha",     "roq",     "gina",    "li",       "mi",       "ku",        "im",      "ing",
    "si",      "i",
};

}  // namespace

std::span<const std::string_view> lexicon_suffixes() { return kSuffixes; }

namespace {

constexpr float kOneSuffix = 0.8f;
constexpr float kTwoSuffixes = 0.6f;
constexpr std::size_t kMinStem = 3;  // characters left before a stripped suffix

std::size_t count_characters(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The suffixes grouped by their last byte, each group in table order, so that
// a word is compared only with those that may end it: group b is
// kSuffixes[order[k]] for k in [starts[b], starts[b + 1]).
struct SuffixesByLastByte {
  std::array<std::uint8_t, 257> starts{};
  std::array<std::uint8_t, kSuffixes.size()> order{};
};

constexpr SuffixesByLastByte group_suffixes() {
  static_assert(kSuffixes.size() < 256);
  const auto last_byte = [](std::string_view suffix) {
    return static_cast<unsigned char>(suffix.back());
  };
  SuffixesByLastByte groups;
  for (const std::string_view suffix : kSuffixes) ++groups.starts[last_byte(suffix) + 1];
  for (std::size_t b = 1; b < groups.starts.size(); ++b) groups.starts[b] += groups.starts[b - 1];
  std::array<std::uint8_t, 257> next = groups.starts;
  for (std::size_t i = 0; i < kSuffixes.size(); ++i) {
    groups.order[next[last_byte(kSuffixes[i])]++] = static_cast<std::uint8_t>(i);
  }
  return groups;
}

constexpr SuffixesByLastByte kSuffixesByLastByte = group_suffixes();

// Calls visit(stem) for every stem left by one suffix of the table that
// keeps at least kMinStem characters, in table order.
template <typename Visit>
void for_each_stem(std::string_view word, Visit&& visit) {
  if (word.empty()) return;
  const auto last = static_cast<unsigned char>(word.back());
  const std::size_t first = kSuffixesByLastByte.starts[last];
  const std::size_t end = kSuffixesByLastByte.starts[last + 1];
  if (first == end) return;
  const std::size_t characters = count_characters(word);
  for (std::size_t k = first; k < end; ++k) {
    // Suffixes are ASCII, so their byte length is their character count.
    const std::string_view suffix = kSuffixes[kSuffixesByLastByte.order[k]];
    if (characters < kMinStem + suffix.size() ||
        !same_bytes(word.data() + word.size() - suffix.size(), suffix.data(), suffix.size())) {
      continue;
    }
    visit(word.substr(0, word.size() - suffix.size()));
  }
}

}  // namespace

namespace {

Lookup lookup_from(const Lookup& exact, std::string_view key) {
  const Lexicon& lexicon = uzbek_lexicon();
  Lookup best = exact;
  const auto count = [&best](float weight) {
    if (!best.found || weight > best.weight) best = Lookup{true, weight};
  };
  for_each_stem(key, [&](std::string_view stem) { prefetch_lookup(lexicon, stem); });
  for_each_stem(key, [&](std::string_view stem) {
    if (const Lookup first = lexicon_lookup(lexicon, stem); first.found) {
      count(first.weight * kOneSuffix);
      return;
    }
    for_each_stem(stem, [&](std::string_view inner) { prefetch_lookup(lexicon, inner); });
    for_each_stem(stem, [&](std::string_view inner) {
      if (const Lookup second = lexicon_lookup(lexicon, inner); second.found) {
        count(second.weight * kTwoSuffixes);
      }
    });
  });
  return best;
}

}  // namespace

Lookup uzbek_lookup(std::string_view key) {
  const Lookup exact = lexicon_lookup(uzbek_lexicon(), key);
  return exact.found ? exact : lookup_from(exact, key);
}

Lookup uzbek_analysis(std::string_view key) {
  const Lookup exact = lexicon_lookup(uzbek_lexicon(), key);
  return exact.found && exact.weight <= 0.0f ? exact : lookup_from(exact, key);
}

// ---------------------------------------------------------------------------
// Line lists

namespace {

// The entries with the set of their lengths and of their first bytes, which
// turn most absent words away before they are hashed.
struct LineSet {
  static constexpr std::size_t kPrefixBytes = 3;
  static constexpr std::size_t kPrefixBits = std::size_t{1} << 16;

  std::unordered_set<std::string_view> entries;
  std::uint64_t lengths = 0;  // bit n: an entry of n bytes (n < 64)
  std::bitset<kPrefixBits> prefixes;  // of the entries of kPrefixBytes or more

  static std::size_t prefix_bit(std::string_view word) {
    std::size_t bits = 0;
    for (std::size_t i = 0; i < kPrefixBytes; ++i) {
      bits = bits * 131 + static_cast<unsigned char>(word[i]);
    }
    return bits % kPrefixBits;
  }

  void add(std::string_view entry) {
    entries.insert(entry);
    lengths |= entry.size() < 64 ? std::uint64_t{1} << entry.size() : 0;
    if (entry.size() >= kPrefixBytes) prefixes.set(prefix_bit(entry));
  }

  bool contains(std::string_view word) const {
    if (word.size() < 64 && (lengths >> word.size() & 1) == 0) return false;
    if (word.size() >= kPrefixBytes && !prefixes.test(prefix_bit(word))) return false;
    return entries.contains(word);
  }

  bool may_start(std::string_view word) const {
    return word.size() < kPrefixBytes || prefixes.test(prefix_bit(word));
  }
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The entries of a line list: lines trimmed of blanks, without empty lines
// and '#' comments. The views point into the embedded text, which lives for
// the whole process.
LineSet parse_line_list(std::string_view text) {
  LineSet entries;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    while (!line.empty() && is_blank(line.front())) line.remove_prefix(1);
    while (!line.empty() && is_blank(line.back())) line.remove_suffix(1);
    if (!line.empty() && line.front() != '#') entries.add(line);
  }
  return entries;
}

// Built once, on first use; concurrent first users wait for the one build.
const LineSet& brands() {
  static const LineSet set = parse_line_list(list_data::brands_text);
  return set;
}

const LineSet& foreign_names() {
  static const LineSet set = parse_line_list(list_data::foreign_names_text);
  return set;
}

}  // namespace

bool brand_list_contains(std::string_view stem) { return brands().contains(stem); }

bool brand_list_may_start(std::string_view stem) { return brands().may_start(stem); }

bool foreign_names_contains(std::string_view key) { return foreign_names().contains(key); }

void warm_up() {
  brands();
  foreign_names();
}

}  // namespace vexo
