#include "core/lang.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/lexicon.h"
#include "core/unicode.h"

namespace vexo {
namespace {

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

template <std::size_t N>
bool is_one_of(std::string_view text, const std::array<std::string_view, N>& table) {
  return std::find(table.begin(), table.end(), text) != table.end();
}

bool is_english(std::string_view key) { return lexicon_lookup(english_lexicon(), key).found; }

bool starts_with_capital(std::string_view core) {
  if (core.empty()) return false;
  std::size_t i = 0;
  const char32_t c = next_code_point(core, i);
  return is_ascii_upper(c) || (c >= 0x80 && is_uppercase(c));
}

// A c or s followed by h, in either case.
bool has_sh_or_ch(std::string_view core) {
  for (std::size_t i = 0; i + 1 < core.size(); ++i) {
    const char a = core[i];
    const char b = core[i + 1];
    if ((a == 'c' || a == 'C' || a == 's' || a == 'S') && (b == 'h' || b == 'H')) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// English scores

constexpr std::array<std::string_view, 5> kContractionEndings = {"n't", "'re", "'ve", "'ll", "'s"};

// An English word that Uzbek does not have: the you of you'd, the i of i'm.
bool is_english_only(std::string_view key) {
  return is_english(key) && !uzbek_lookup(key).found;
}

// -6 for English contractions (don't, we're, it's, I'm, I'd), else nullopt.
std::optional<float> contraction_score(std::string_view key) {
  constexpr float kContraction = -6.0f;
  if (key.find('\'') == std::string_view::npos) return std::nullopt;  // every contraction has one
  for (const std::string_view ending : kContractionEndings) {
    if (key.size() > ending.size() && key.ends_with(ending)) return kContraction;
  }
  if (key == "i'm" || key == "i'd") return kContraction;
  // so'm is a word of its own, not so + 'm.
  if (key.size() >= 3 && (key.ends_with("'m") || key.ends_with("'d")) &&
      is_english_only(key.substr(0, key.size() - 2)) &&
      !lexicon_lookup(uzbek_lexicon(), key).found) {
    return kContraction;
  }
  return std::nullopt;
}

}  // namespace

float pattern_score(std::string_view key) {
  float score = 0.0f;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const char c = key[i];
    const char next = i + 1 < key.size() ? key[i + 1] : '\0';
    switch (c) {
      case 'c':
        if (next != 'h') score -= 3.0f;
        if (next == 'k') score -= 2.0f;
        break;
      case 'q':
        if (next != 'u') score += 2.5f;
        break;
      case 'w':
        score -= 3.0f;
        break;
      case 'x':
        score += 0.5f;
        break;
      case 'a':
        if (next == 'w') score -= 1.0f;
        break;
      case 'e':
        if (next == 'a') score -= 1.0f;
        if (next == 'e') score -= 1.5f;
        break;
      case 'o':
        if (next == 'o') score -= 1.5f;
        if (next == 'u') score -= 1.0f;
        if (next == '\'') score += 3.0f;
        break;
      case 'g':
        if (next == '\'') score += 3.0f;
        break;
      case 'p':
      case 't':
        if (next == 'h') score -= 2.0f;
        break;
      default:
        break;
    }
  }
  if (key.size() >= 4 && (key.ends_with("tion") || key.ends_with("ness") || key.ends_with("ment"))) {
    score -= 2.0f;
  }
  return score;
}

namespace {

// True when the word has no Latin letter and none that lowercases to one:
// only Cyrillic characters (two bytes, lead byte D0 to D3) and ASCII that is
// no letter.
bool is_cyrillic_or_signs(std::string_view word) {
  for (const char byte : word) {
    const auto b = static_cast<unsigned char>(byte);
    if (b < 0x80 ? is_ascii_letter(b) : b >= 0xC0 && (b < 0xD0 || b > 0xD3)) return false;
  }
  return true;
}

}  // namespace

float english_score(std::string_view word) {
  // Every listed word, suffix, contraction and letter pattern is spelled
  // with Latin letters, so a word without one scores nothing: most words of
  // a Cyrillic text are settled here.
  if (is_cyrillic_or_signs(word)) return 0.0f;
  const std::string key = word_key(word);
  if (key.empty()) return 0.0f;
  if (const std::optional<float> contraction = contraction_score(key)) return *contraction;

  // Beyond this weight, frequency says nothing more about a word's language.
  constexpr float kUzbekCap = 4.5f;
  const Lookup uzbek = uzbek_lookup(key);
  const Lookup english = lexicon_lookup(english_lexicon(), key);
  if (uzbek.found && english.found) {
    // A capitalised English word that Uzbek knows only as a stem with endings
    // (Turkish: turk + ish) is the English one.
    if (is_ascii_upper(static_cast<unsigned char>(word.front())) &&
        !lexicon_lookup(uzbek_lexicon(), key).found) {
      return -english.weight;
    }
    return std::min(uzbek.weight, kUzbekCap) - english.weight;
  }
  if (uzbek.found) return std::min(uzbek.weight, kUzbekCap) + 0.5f * std::min(pattern_score(key), 0.0f);
  if (english.found) return contains(key, "'") ? -6.0f : -english.weight;
  return pattern_score(key);
}

WordStanding is_uzbek_word(std::string_view word) {
  const std::string key = word_key(word);
  return WordStanding{uzbek_lookup(key).found, is_english(key)};
}

// ---------------------------------------------------------------------------
// Foreign names

namespace {

// Suffixes an Uzbek text may attach to a foreign name (Chevrolet'ni, Bushning).
constexpr std::array<std::string_view, 15> kNameSuffixes = {
    "larning", "larni", "larga", "larda", "lardan", "dagi", "ning", "dan",
    "lar",     "da",    "ga",    "ni",    "ka",     "dek",  "ham"};

constexpr std::array<std::string_view, 5> kForeignEndings = {"lle", "tte", "nne", "sse", "ffe"};

// A c that is not part of ch (a final c included), or any w.
bool has_foreign_letter(std::string_view stem) {
  for (std::size_t i = 0; i < stem.size(); ++i) {
    if (stem[i] == 'w') return true;
    if (stem[i] == 'c' && (i + 1 == stem.size() || stem[i + 1] != 'h')) return true;
  }
  return false;
}

}  // namespace

bool looks_foreign(std::string_view stem) {
  if (uzbek_lookup(stem).found) return false;
  if (foreign_names_contains(stem) || is_english(stem)) return true;
  if (has_foreign_letter(stem)) return true;
  for (const std::string_view cluster : {"th", "ph", "ck", "ee", "oo"}) {
    if (contains(stem, cluster)) return true;
  }
  if (stem.size() >= 5) {
    for (const std::string_view ending : kForeignEndings) {
      if (stem.ends_with(ending)) return true;
    }
  }
  return false;
}

NameClass name_class(std::string_view core) {
  const std::string key = word_key(core);
  if (key == "&" || key == "and" || key == "va") return NameClass::Connector;
  if (!starts_with_capital(core)) return NameClass::Plain;

  std::string_view stem = key;
  if (const std::size_t apostrophe = stem.find('\''); apostrophe != std::string_view::npos) {
    if (!is_one_of(stem.substr(apostrophe + 1), kNameSuffixes)) return NameClass::Plain;
    stem = stem.substr(0, apostrophe);
  }
  if (!contains(stem, "ch") && !contains(stem, "sh")) return NameClass::Plain;
  if (looks_foreign(stem)) return NameClass::ForeignName;

  // A foreign name with an Uzbek suffix written on (Bushning).
  if (!uzbek_lookup(stem).found) {
    for (const std::string_view suffix : kNameSuffixes) {
      if (stem.size() >= suffix.size() + 4 && stem.ends_with(suffix) &&
          looks_foreign(stem.substr(0, stem.size() - suffix.size()))) {
        return NameClass::ForeignName;
      }
    }
  }
  return is_english(stem) ? NameClass::EnglishWord : NameClass::Plain;
}

// ---------------------------------------------------------------------------
// The final English test

namespace {

// Uzbek suffixes that may follow an English stem (checkda, chatlar).
constexpr std::array<std::string_view, 14> kEnglishStemSuffixes = {
    "larning", "larni", "larga", "larda", "lardan", "dagi", "ning",
    "dan",     "lar",   "dir",   "da",    "ga",     "ka",   "ni"};

bool passes_score_test(std::string_view core, float word_score, float context) {
  if (has_sh_or_ch(core) && !has_apostrophe(core)) {
    if (context_leans_english(word_score, context)) return true;
    return word_score <= -2.0f && !uzbek_lookup(word_key(core)).found;
  }
  return word_score <= -5.0f;
}

// An English stem with an Uzbek suffix (checklar). A capitalised word is
// looked at even when the suffix lookup finds it Uzbek, but a word the Uzbek
// lexicon lists whole (Shunga at the start of a sentence) is Uzbek whatever
// its case, even though it splits like shun + ga.
bool is_english_stem_with_suffix(std::string_view core, bool uzbek) {
  if (uzbek && !starts_with_capital(core)) return false;
  const std::string lower = to_lower(core);
  if (uzbek) {
    const Lookup listed = lexicon_lookup(uzbek_lexicon(), word_key(core));
    if (listed.found && listed.weight > 0.0f) return false;
  }
  for (const std::string_view suffix : kEnglishStemSuffixes) {
    if (!lower.ends_with(suffix)) continue;
    const std::string_view stem = std::string_view(lower).substr(0, lower.size() - suffix.size());
    if (count_code_points(stem) >= 4 && has_convertible(stem) && english_score(stem) <= -2.0f) {
      return true;
    }
  }
  return false;
}

bool is_german_like(std::string_view core, bool uzbek) {
  const std::string lower = to_lower(core);
  return contains(lower, "sch") && (lower.starts_with("sch") || !uzbek);
}

}  // namespace

bool looks_english(std::string_view core, float word_score, float context) {
  if (core.empty()) return false;
  if (passes_score_test(core, word_score, context)) return true;
  const bool uzbek = uzbek_lookup(word_key(core)).found;
  return is_english_stem_with_suffix(core, uzbek) || is_german_like(core, uzbek);
}

// ---------------------------------------------------------------------------
// Apostrophe restoration

namespace {

// Words whose forms with and without the o'/g' apostrophe are both common, so
// that only a text typed without apostrophes throughout restores them.
constexpr std::array<std::string_view, 30> kAmbiguous = {
    "qol",    "qoling", "oz",      "yoq",     "on",      "ot",    "otdi",   "otadi",
    "otib",   "otgan",  "otish",   "otar",    "otishi",  "otganini", "otuvchi", "tort",
    "som",    "bor",    "tola",    "toy",     "top",     "toq",   "qoya",   "otin",
    "oqi",    "sol",    "oshda",   "bolaman", "bolamiz", "oldirdi"};

constexpr std::array<std::string_view, 19> kVerbEndings = {
    "dim", "ding", "dik", "dingiz", "dilar", "adi", "aman", "asan", "amiz", "asiz",
    "ar",  "ay",   "ma",  "mang",   "gin",   "ganman", "ganmiz", "moqchi", "masdan"};

// More free o and g letters than this would make the search too costly for
// one word; such words are left as written.
constexpr std::size_t kMaxPositions = 6;

bool is_ambiguous(std::string_view key) { return is_one_of(key, kAmbiguous); }

struct Candidate {
  std::uint32_t mask = 0;
  float weight = 0.0f;
  bool good = false;
  int inserted = 0;
};

// The key with U+0027 inserted after each character position chosen by the mask.
std::string with_apostrophes(const std::vector<char32_t>& chars,
                             const std::vector<std::size_t>& positions, std::uint32_t mask) {
  std::string out;
  out.reserve(chars.size() + positions.size() + 8);
  std::size_t next = 0;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    append_utf8(out, chars[i]);
    if (next < positions.size() && positions[next] == i) {
      if (mask & (1u << next)) out.push_back('\'');
      ++next;
    }
  }
  return out;
}

// True when `challenger` should replace `best` as the preferred restoration.
bool is_better(const Candidate& challenger, const Candidate& best) {
  if (challenger.good != best.good) return challenger.good;
  if (challenger.weight != best.weight) return challenger.weight > best.weight;
  return challenger.inserted < best.inserted;
}

std::optional<Restored> restore_hyphenated(std::string_view word, bool strong_context,
                                           bool text_mode) {
  if (has_old_mark(word)) return std::nullopt;
  std::string out;
  bool any = false;
  std::size_t start = 0;
  while (true) {
    const std::size_t hyphen = word.find('-', start);
    const std::string_view part = word.substr(start, hyphen - start);
    if (const auto restored = restore_apostrophes(part, strong_context, text_mode, false)) {
      out += restored->word;
      any = true;
    } else {
      out += part;
    }
    if (hyphen == std::string_view::npos) break;
    out.push_back('-');
    start = hyphen + 1;
  }
  if (!any) return std::nullopt;
  return Restored{std::move(out), false};
}

// How much more weight the restored reading needs than the word as written.
// In a text typed without apostrophes the word as written is no evidence of
// its own, so the more frequent reading wins.
constexpr float kMarginOverListed = 0.8f;
// The least weight of a restored reading, there, of a word that is no word as
// written: that of the rarest listed form with one ending (1.5 x 0.8), so that
// ko'paytuvchi + ni restores as well as ko'paytuvchi.
constexpr float kTextModeFloor = 1.2f;

float margin_for(float own_weight, bool own_exact, bool best_exact, bool text_mode) {
  // Where nothing reads as written, only the floor applies in such a text.
  if (own_weight <= 0.0f) return text_mode ? 0.0f : 1.5f;
  // An unlisted analysis (to'la + lar) must beat a listed word (tolalar) clearly.
  if (text_mode) return own_exact && !best_exact ? kMarginOverListed : 0.0f;
  if (own_exact) return best_exact ? 1.2f : 1.8f;
  return best_exact ? 0.8f : 1.8f;
}

}  // namespace

bool is_ending_chain(std::string_view text, int depth) {
  if (text.empty() || text == "ng" || text == "k" || text == "m") return true;
  if (depth >= 3) return false;
  const auto continues = [&](std::string_view ending) {
    return text.starts_with(ending) && is_ending_chain(text.substr(ending.size()), depth + 1);
  };
  const std::span<const std::string_view> suffixes = lexicon_suffixes();
  return std::any_of(suffixes.begin(), suffixes.end(), continues) ||
         std::any_of(kVerbEndings.begin(), kVerbEndings.end(), continues);
}

bool has_two_readings(std::string_view key, std::string_view restored) {
  constexpr float kMinStemWeight = 2.9f;
  constexpr float kMaxWeightGap = 1.2f;
  for (std::size_t p = 2; p <= key.size(); ++p) {
    if (p < key.size() && (static_cast<unsigned char>(key[p]) & 0xC0) == 0x80) continue;
    const std::string_view tail = key.substr(p);
    if (!restored.ends_with(tail)) continue;
    const std::string_view key_stem = key.substr(0, p);
    const std::string_view restored_stem = restored.substr(0, restored.size() - tail.size());
    if (key_stem == restored_stem || !is_ending_chain(tail, 0)) continue;
    const Lookup a = lexicon_lookup(uzbek_lexicon(), key_stem);
    const Lookup b = lexicon_lookup(uzbek_lexicon(), restored_stem);
    if (a.found && b.found && a.weight >= kMinStemWeight && b.weight >= kMinStemWeight &&
        std::fabs(a.weight - b.weight) <= kMaxWeightGap) {
      return true;
    }
  }
  return false;
}

std::optional<Restored> restore_apostrophes(std::string_view word, bool strong_context,
                                            bool text_mode, bool two_readings,
                                            const Neighbours& neighbours) {
  if (contains(word, "-")) return restore_hyphenated(word, strong_context, text_mode);
  // Only an o or g takes an apostrophe (and only O and G lower to them).
  if (word.find_first_of("oOgG") == std::string_view::npos) return std::nullopt;

  const std::string key = word_key(word);
  const std::vector<char32_t> key_chars = decode_utf8(key);
  const std::vector<char32_t> word_chars = decode_utf8(word);
  if (key_chars.size() < (text_mode ? 2u : 3u) || key_chars.size() != word_chars.size()) {
    return std::nullopt;
  }
  if (!text_mode && is_ambiguous(key)) return std::nullopt;
  // A paragraph that shows apostrophes typed keeps every word as written.
  if (neighbours.written && uzbek_lookup(key).weight > 0.0f) return std::nullopt;
  const bool english = is_english(key);
  if (english && !strong_context) return std::nullopt;

  // A frequent word as written is taken as meant, unless the whole text lacks
  // apostrophes.
  const Lookup own = uzbek_analysis(key);
  const float own_weight = own.found ? own.weight : 0.0f;
  const bool own_exact = lexicon_lookup(uzbek_lexicon(), key).found;
  if (!text_mode && own_weight >= (own_exact ? 3.3f : 3.2f)) return std::nullopt;

  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < key_chars.size(); ++i) {
    const char32_t c = key_chars[i];
    if ((c == 'o' || c == 'g') && (i + 1 == key_chars.size() || key_chars[i + 1] != '\'')) {
      positions.push_back(i);
    }
  }
  if (positions.empty() || positions.size() > kMaxPositions) return std::nullopt;

  std::optional<Candidate> best;
  bool best_exact = false;
  std::string best_key;
  const std::uint32_t end = 1u << positions.size();
  for (std::uint32_t mask = 1; mask < end; ++mask) {
    std::string candidate = with_apostrophes(key_chars, positions, mask);
    const Lookup found = uzbek_analysis(candidate);
    if (!found.found) continue;
    const bool exact = lexicon_lookup(uzbek_lexicon(), candidate).found;
    const Candidate c{mask, found.weight, exact && found.weight >= 2.0f, std::popcount(mask)};
    if (!best || is_better(c, *best)) {
      best = c;
      best_exact = exact;
      best_key = std::move(candidate);
    }
  }
  if (!best) return std::nullopt;

  // The least weight a restored reading needs. In a text typed without
  // apostrophes, a word that is no word as written may take a rarer reading
  // (oljalarni -> o'ljalarni), unless capitalised inside a sentence (Konami).
  const bool name = neighbours.mid_sentence && !word.empty() && word.front() >= 'A' && word.front() <= 'Z';
  const float floor =
      english ? 3.0f : text_mode && own_weight <= 0.0f && !name ? kTextModeFloor : 2.0f;
  std::optional<bool> chosen;
  if (text_mode && own_exact && best_exact && own_weight > 0.0f) {
    // Both readings are listed whole: their own frequencies, not those of
    // their stems (bolamiz: bola + miz), weigh them.
    const float own_listed = lexicon_lookup(uzbek_lexicon(), key).weight;
    const float best_listed = lexicon_lookup(uzbek_lexicon(), best_key).weight;
    if (own_listed > 0.0f) chosen = prefers_restored(key, own_listed, best_key, best_listed, neighbours);
  }
  if (chosen ? !*chosen
             : best->weight < floor ||
                   best->weight <= own_weight + margin_for(own_weight, own_exact, best_exact, text_mode)) {
    return std::nullopt;
  }

  const bool listed = is_ambiguous(key);
  const bool flagged = listed || has_two_readings(key, best_key);
  if (flagged && !listed && !two_readings) {
    const Lookup restored = lexicon_lookup(uzbek_lexicon(), best_key);
    if (!(restored.found && restored.weight > 0.0f) && best->weight < 3.0f) return std::nullopt;
  }
  return Restored{with_apostrophes(word_chars, positions, best->mask), flagged};
}

}  // namespace vexo
