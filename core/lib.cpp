#include "core/lib.h"

#include <algorithm>
#include <array>

#include "core/cyrillic.h"
#include "core/form_memo.h"
#include "core/lang.h"
#include "core/lexicon.h"
#include "core/prefetch.h"
#include "core/token.h"
#include "core/unicode.h"

namespace vexo {

bool has_apostrophe(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    // An ASCII byte is a character of its own, most of them no apostrophe.
    if (const auto b = static_cast<unsigned char>(text[i]); b < 0x80) {
      if (b == '\'' || b == '`') return true;
      ++i;
      continue;
    }
    if (is_apostrophe(next_code_point(text, i))) return true;
  }
  return false;
}

std::string word_key(std::string_view word) {
  // Most words are ASCII throughout: their bytes are lowered in place.
  std::string key(word.size(), '\0');
  std::size_t i = 0;
  for (; i < word.size(); ++i) {
    const auto b = static_cast<unsigned char>(word[i]);
    if (b >= 0x80) break;
    key[i] = b == '`' ? '\'' : is_ascii_upper(b) ? static_cast<char>(b + 32) : static_cast<char>(b);
  }
  if (i == word.size()) return key;
  key.resize(i);
  while (i < word.size()) {
    if (const auto b = static_cast<unsigned char>(word[i]); b < 0x80) {
      key.push_back(b == '`' ? '\'' : is_ascii_upper(b) ? static_cast<char>(b + 32) : static_cast<char>(b));
      ++i;
      continue;
    }
    const char32_t c = next_code_point(word, i);
    if (is_apostrophe(c)) {
      key.push_back('\'');
    } else if (c < 0xC0) {
      append_utf8(key, is_ascii_upper(c) ? c + 32 : c);
    } else {
      append_lower(key, c);
    }
  }
  return key;
}

bool has_old_mark(std::string_view word) {
  char32_t prev = 0;
  for (std::size_t i = 0; i < word.size();) {
    const char32_t c = next_code_point(word, i);
    if (is_apostrophe(c) && (prev == 'G' || prev == 'O' || prev == 'g' || prev == 'o')) return true;
    prev = c;
  }
  return false;
}

namespace {

// The length of the capital head of an abbreviation with a suffix (HBO'ning,
// BMT'ga): two or more capitals, an apostrophe, then lower case letters.
// Zero for any other core.
std::size_t abbreviation_head(std::string_view core) {
  std::size_t i = 0;
  std::size_t capitals = 0;
  while (i < core.size()) {
    const std::size_t at = i;
    const char32_t c = next_code_point(core, i);
    if (is_apostrophe(c)) {
      if (capitals < 2 || i >= core.size()) return 0;
      for (std::size_t j = i; j < core.size();) {
        if (!is_lowercase(next_code_point(core, j))) return 0;
      }
      return at;
    }
    if (!is_uppercase(c)) return 0;
    ++capitals;
  }
  return 0;
}

}  // namespace

bool shows_apostrophe_use(std::string_view core) {
  if (!has_old_mark(core) || is_protected(core) || abbreviation_head(core) > 0) return false;
  // A capitalised foreign name: O' or D' before a capital, lower case after (O'Neil).
  const std::vector<char32_t> chars = decode_utf8(core);
  return !(chars.size() > 3 && (chars[0] == 'O' || chars[0] == 'D') && is_apostrophe(chars[1]) &&
           is_uppercase(chars[2]) && std::any_of(chars.begin() + 3, chars.end(), is_lowercase));
}

bool ConvertOptions::is_exception(std::string_view key) const {
  return std::find(exceptions.begin(), exceptions.end(), key) != exceptions.end();
}

namespace {

// True when the word's key is on the exception list; the key is not built
// when the list is empty, as it mostly is.
bool is_exception_word(const ConvertOptions& options, std::string_view word) {
  return !options.exceptions.empty() && options.is_exception(word_key(word));
}

}  // namespace

std::string_view decision_label(Decision d) {
  switch (d) {
    case Decision::Converted: return "o'girildi";
    case Decision::Unchanged: return "-";
    case Decision::Protected: return "himoya (havola/kod)";
    case Decision::Exception: return "istisno";
    case Decision::English: return "inglizcha";
  }
  return "-";
}

// ---------------------------------------------------------------------------
// Normalisation

namespace {

char32_t compose(char32_t base, char32_t mark) {
  switch (mark) {
    case 0x0327:
      if (base == 'C') return 0xC7;
      if (base == 'c') return 0xE7;
      if (base == 'S') return 0x15E;
      if (base == 's') return 0x15F;
      break;
    case 0x0306:
      if (base == 'G') return 0x11E;
      if (base == 'g') return 0x11F;
      break;
    case 0x0308:
      if (base == 'O') return 0xD6;
      if (base == 'o') return 0xF6;
      break;
    default:
      break;
  }
  return 0;
}

bool needs_normalizing(std::string_view text) {
  // U+0306, U+0308, U+0327 are CC 86 / CC 88 / CC A7; U+0218, U+0219 are C8 98 / C8 99.
  const auto found = [&](char lead, auto&& second_matches) {
    for (std::size_t i = text.find(lead); i != std::string_view::npos && i + 1 < text.size();
         i = text.find(lead, i + 1)) {
      if (second_matches(static_cast<unsigned char>(text[i + 1]))) return true;
    }
    return false;
  };
  return found('\xCC', [](unsigned char n) { return n == 0x86 || n == 0x88 || n == 0xA7; }) ||
         found('\xC8', [](unsigned char n) { return n == 0x98 || n == 0x99; });
}

}  // namespace

std::string_view normalize_marks(std::string_view text, std::string& buffer) {
  if (!needs_normalizing(text)) return text;
  buffer.clear();
  buffer.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t c = next_code_point(text, i);
    if (c == 0x218) c = 0x15E;
    if (c == 0x219) c = 0x15F;
    if (i < text.size()) {
      std::size_t j = i;
      const char32_t composed = compose(c, next_code_point(text, j));
      if (composed != 0) {
        c = composed;
        i = j;
      }
    }
    append_utf8(buffer, c);
  }
  return buffer;
}

// ---------------------------------------------------------------------------
// Context score

namespace {

// Words farther away than this weigh little and would make very long
// unpunctuated lines quadratic, so they are not looked at.
constexpr std::size_t kContextWindow = 1000;

// The weight of a word by its distance, within a clause and across one.
struct ContextWeights {
  std::array<double, kContextWindow + 1> near{};
  std::array<double, kContextWindow + 1> across{};
  ContextWeights() {
    for (std::size_t d = 1; d <= kContextWindow; ++d) {
      near[d] = 1.0 / static_cast<double>(d);
      across[d] = 0.3 / static_cast<double>(d);
    }
  }
};

const ContextWeights& context_weights() {
  static const ContextWeights weights;
  return weights;
}

// A word's part in the context of the others: its clamped score, or nothing.
std::optional<double> context_value(const WordSpan& span) {
  if (span.score == 0.0f || span.name_class == NameClass::ForeignName) return std::nullopt;
  return std::clamp(static_cast<double>(span.score), -3.0, 3.0);
}

}  // namespace

float context_score(std::span<const WordSpan> spans, std::size_t sentence_start,
                    std::size_t sentence_end, std::size_t position) {
  const std::size_t self = sentence_start + position;
  const std::size_t last = std::min(sentence_end, spans.size() - 1);
  const ContextWeights& table = context_weights();
  double sum = 0.0;
  double weights = 0.0;
  const auto add = [&](const WordSpan& other, std::size_t distance, bool across_clause) {
    const std::optional<double> value = context_value(other);
    if (!value) return;
    const double weight = (across_clause ? table.across : table.near)[distance];
    sum += *value * weight;
    weights += weight;
  };
  bool across = false;
  for (std::size_t d = 1; d <= kContextWindow && self >= sentence_start + d; ++d) {
    const std::size_t j = self - d;
    across = across || spans[j].clause_end;
    add(spans[j], d, across);
  }
  across = false;
  for (std::size_t d = 1; d <= kContextWindow && self + d <= last; ++d) {
    const std::size_t j = self + d;
    across = across || spans[j - 1].clause_end;
    add(spans[j], d, across);
  }
  return weights > 0.0 ? static_cast<float>(sum / weights) : 0.0f;
}

void sentence_contexts(std::span<const WordSpan> sentence, std::vector<float>& contexts) {
  // The same sums as context_score, in the same order. A word that does not
  // count has value 0.0 and mask 0.0: it adds 0.0 to both sums, which leaves
  // them as they are (neither is ever -0.0).
  const std::size_t n = sentence.size();
  // Most sentences' values fit on the stack.
  constexpr std::size_t kMaxOnStack = 64;
  std::array<double, 2 * kMaxOnStack> small;
  std::vector<double> large;
  double* values = small.data();
  if (n > kMaxOnStack) {
    large.resize(2 * n);
    values = large.data();
  }
  const std::span<double> value(values, n);
  const std::span<double> mask(values + n, n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::optional<double> v = context_value(sentence[k]);
    value[k] = v.value_or(0.0);
    mask[k] = v ? 1.0 : 0.0;
  }
  const ContextWeights& table = context_weights();
  contexts.resize(n);
  // The words that end a clause nearest to the word on either side: the
  // last before it, and the first at or after it.
  std::size_t clause_before = 0;  // one past it; 0 when there is none
  std::size_t clause_after = 0;
  for (std::size_t self = 0; self < n; ++self) {
    if (self > 0 && sentence[self - 1].clause_end) clause_before = self;
    if (clause_after < self) clause_after = self;
    while (clause_after < n && !sentence[clause_after].clause_end) ++clause_after;
    double sum = 0.0;
    double weights = 0.0;
    const auto add = [&](const std::array<double, kContextWindow + 1>& by_distance,
                         std::size_t d, std::size_t j) {
      const double weight = by_distance[d] * mask[j];
      sum += value[j] * weight;
      weights += weight;
    };
    // Leftwards: within the clause, then from the word that ends the one before.
    const std::size_t left = std::min(self, kContextWindow);
    const std::size_t near_left = std::min(left, self - clause_before);
    std::size_t d = 1;
    for (; d <= near_left; ++d) add(table.near, d, self - d);
    for (; d <= left; ++d) add(table.across, d, self - d);
    // Rightwards: until past a word that ends a clause.
    const std::size_t right = std::min(n - 1 - self, kContextWindow);
    const std::size_t near_right = std::min(right, clause_after - self);
    for (d = 1; d <= near_right; ++d) add(table.near, d, self + d);
    for (; d <= right; ++d) add(table.across, d, self + d);
    contexts[self] = weights > 0.0 ? static_cast<float>(sum / weights) : 0.0f;
  }
}

// ---------------------------------------------------------------------------
// Letters

bool has_convertible(std::string_view core) {
  char32_t prev = 0;
  for (std::size_t i = 0; i < core.size();) {
    char32_t c = static_cast<unsigned char>(core[i]);
    if (c < 0x80) {
      ++i;
      if (c == '\'' || c == '`') return true;  // the ASCII apostrophes
    } else {
      c = next_code_point(core, i);
      if (is_apostrophe(c)) return true;
    }
    if ((c == 'h' || c == 'H') && (prev == 'c' || prev == 'C' || prev == 's' || prev == 'S')) return true;
    prev = c;
  }
  return false;
}

namespace {

// True when text ends with one of the suffixes and what stands before it has
// at least min_stem characters and satisfies is_listed.
template <std::size_t N, typename IsListed>
bool stem_before_suffix_is_listed(std::string_view text,
                                  const std::array<std::string_view, N>& suffixes,
                                  std::size_t min_stem, IsListed&& is_listed) {
  for (const std::string_view suffix : suffixes) {
    if (!text.ends_with(suffix)) continue;
    const std::string_view stem = text.substr(0, text.size() - suffix.size());
    if (count_code_points(stem) >= min_stem && is_listed(stem)) return true;
  }
  return false;
}

constexpr std::array<std::string_view, 13> kShExceptionSuffixes = {
    "laridan", "larning", "lari", "ning", "dagi", "dan", "lar", "ga", "qa", "da", "ni", "si", "i"};

constexpr std::array<std::string_view, 19> kBrandSuffixes = {
    "larning", "larni", "larga", "larda", "lardan", "dagi", "ning", "dan", "lar", "dir",
    "da",      "ga",    "ka",    "ni",    "imiz",   "ingiz", "im",  "ing", "i"};

}  // namespace

bool keep_sh_ch(std::string_view core) {
  const std::string key = word_key(core);
  const auto listed = [](std::string_view word) {
    return lexicon_lookup(sh_exception_lexicon(), word).found;
  };
  if (listed(key) || stem_before_suffix_is_listed(key, kShExceptionSuffixes, 5, listed)) {
    return true;
  }
  // The key is the core in lower case, with apostrophes (no letters) unified.
  return key.starts_with("dishorm") || key.starts_with("dishidr") || key.starts_with("disharm");
}

bool is_brand(std::string_view core) {
  // The stem is what stands before the first apostrophe, in lower case.
  std::size_t end = 0;
  bool ascii = true;
  for (std::size_t i = 0; i < core.size();) {
    if (const auto b = static_cast<unsigned char>(core[i]); b < 0x80) {
      if (b == '\'' || b == '`') break;  // the ASCII apostrophes
      end = ++i;
      continue;
    }
    ascii = false;
    if (is_apostrophe(next_code_point(core, i))) break;
    end = i;
  }
  // Suffixes leave stems of four characters or more: all start as the stem does.
  const auto listed = [](std::string_view stem) {
    if (!brand_list_may_start(stem)) return false;
    return brand_list_contains(stem) ||
           stem_before_suffix_is_listed(stem, kBrandSuffixes, 4, brand_list_contains);
  };
  // Most cores are short ASCII words, lowered without a heap allocation.
  constexpr std::size_t kShortStem = 32;
  if (ascii && end <= kShortStem) {
    std::array<char, kShortStem> stem{};
    std::transform(core.begin(), core.begin() + static_cast<std::ptrdiff_t>(end), stem.begin(),
                   [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch; });
    return listed(std::string_view(stem.data(), end));
  }
  return listed(to_lower(core.substr(0, end)));
}

std::string convert_letters(std::string_view core, char32_t tutuq, bool keep) {
  std::string out;
  out.reserve(core.size() + 8);
  std::size_t i = 0;
  while (i < core.size()) {
    const char32_t c = next_code_point(core, i);
    if (is_apostrophe(c)) {
      append_utf8(out, tutuq);
      continue;
    }
    std::size_t j = i;
    const char32_t next = j < core.size() ? next_code_point(core, j) : 0;
    if ((c == 'o' || c == 'O' || c == 'g' || c == 'G') && is_apostrophe(next)) {
      append_utf8(out, c == 'o' ? 0xF6 : c == 'O' ? 0xD6 : c == 'g' ? 0x11F : 0x11E);
      i = j;
      continue;
    }
    const bool s_or_c = c == 's' || c == 'S' || c == 'c' || c == 'C';
    if (s_or_c && is_apostrophe(next) && j < core.size()) {
      std::size_t k = j;
      const char32_t after = next_code_point(core, k);
      if (after == 'h' || after == 'H') {
        append_utf8(out, c);
        append_utf8(out, after);
        i = k;
        continue;
      }
    }
    if (s_or_c && !keep && (next == 'h' || next == 'H')) {
      append_utf8(out, c == 's' ? 0x15F : c == 'S' ? 0x15E : c == 'c' ? 0xE7 : 0xC7);
      i = j;
      continue;
    }
    append_utf8(out, c);
  }
  return out;
}

// ---------------------------------------------------------------------------
// One word

namespace {

constexpr std::u32string_view kForeignLetters =
    U"äüßéèêáàâïîñøåæœúùûíìóòôãõýÄÜÉÈÊÁÀÂÏÎÑØÅÆŒÚÙÛÍÌÓÒÔÃÕÝ";

}  // namespace

// Abbreviations (SH, MCH, BMT-style consonant runs) and words written with
// letters no Uzbek alphabet has (München, Schöne) are left as written.
bool is_abbreviation_or_foreign(std::string_view core) {
  // One pass over the bytes: an all-consonant-capital core is ASCII, and the
  // foreign letters and ö are all beyond ASCII.
  const auto is_capital_consonant = [](char c) {
    return c >= 'A' && c <= 'Z' && c != 'A' && c != 'E' && c != 'I' && c != 'O' && c != 'U';
  };
  if (core.size() >= 2 && std::all_of(core.begin(), core.end(), is_capital_consonant) &&
      (core.size() == 2 || core.ends_with("SH") || core.ends_with("CH"))) {
    return true;
  }
  bool has_o_umlaut = false;
  for (std::size_t i = 0; i < core.size();) {
    if (static_cast<unsigned char>(core[i]) < 0x80) {
      ++i;
      continue;
    }
    const char32_t c = next_code_point(core, i);
    if (kForeignLetters.find(c) != std::u32string_view::npos) return true;
    if (c == 0xF6 || c == 0xD6) has_o_umlaut = true;
  }
  return has_o_umlaut && to_lower(core).find("sch") != std::string::npos;
}

namespace {

// A core like o' or G‘: one of G O g o and an apostrophe.
bool is_bare_old_letter(std::string_view core) {
  std::size_t i = 0;
  if (core.empty()) return false;
  const char32_t c = next_code_point(core, i);
  if (c != 'G' && c != 'O' && c != 'g' && c != 'o') return false;
  if (i >= core.size() || !is_apostrophe(next_code_point(core, i))) return false;
  return i == core.size();
}

// Hyphenated words with an all-capital part (SMS-xabar) are converted part by
// part; an empty part counts as all-capital.
bool splits_at_hyphens(std::string_view core) {
  if (core.find('-') == std::string_view::npos || core.front() == '-' || core.back() == '-') {
    return false;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t hyphen = core.find('-', start);
    const std::string_view part = core.substr(start, hyphen - start);
    if (std::all_of(part.begin(), part.end(), [](char ch) { return ch >= 'A' && ch <= 'Z'; })) {
      return true;
    }
    if (hyphen == std::string_view::npos) return false;
    start = hyphen + 1;
  }
}

std::string joined(std::string_view leading, std::string_view middle, std::string_view trailing) {
  std::string out;
  out.reserve(leading.size() + middle.size() + trailing.size());
  out.append(leading).append(middle).append(trailing);
  return out;
}

// Converts the parts of a core joined by `separator` one by one, each with
// its own English score.
WordResult convert_joined(const WordParts& parts, char separator, const ConvertOptions& options,
                          float context, bool text_restore_mode) {
  std::string out(parts.leading);
  Decision decision = Decision::Unchanged;
  std::size_t start = 0;
  while (true) {
    const std::size_t hyphen = parts.core.find(separator, start);
    const std::string_view part = parts.core.substr(start, hyphen - start);
    bool fresh_quote = false;
    const float part_score = options.guard ? english_score(part) : 0.0f;
    const WordResult r = convert_word(part, options, part_score, std::max(context, 0.0f),
                                      text_restore_mode, false, fresh_quote);
    out += r.text;
    if (r.decision == Decision::Converted) {
      decision = Decision::Converted;
    } else if (decision == Decision::Unchanged) {
      decision = r.decision;
    }
    if (hyphen == std::string_view::npos) break;
    out.push_back(separator);
    start = hyphen + 1;
  }
  out.append(parts.trailing);
  return WordResult{std::move(out), decision};
}

}  // namespace

WordResult convert_word(std::string_view word, const ConvertOptions& options, float word_score,
                        float context, bool text_restore_mode, bool foreign_name,
                        bool& pending_quote, const Neighbours& neighbours) {
  const auto as_it_stood = [&](Decision d) { return WordResult{std::string(word), d}; };

  // A word holding Cyrillic letters is transliterated whole; the Latin rules
  // would misread it, and the protections meant for Latin text (camel case,
  // digits, dots) would keep ЎзМУ, КОВИД-19 or эл.почта in Cyrillic. Only
  // links, addresses, hashtags and code are not words: rewriting
  // https://президент.уз would point the link elsewhere.
  if (options.cyrillic && has_cyrillic(word) && !is_link_or_code(word)) {
    std::string latin = transliterate_cyrillic(word, options.tutuq);
    const Decision d = latin == word ? Decision::Unchanged : Decision::Converted;
    return WordResult{std::move(latin), d};
  }

  if (is_protected(word)) return as_it_stood(Decision::Protected);

  WordParts parts = split_word(word);

  // An opening quote earlier in the text (or in this word) makes a final
  // apostrophe of the core a closing quote rather than a letter mark.
  const bool leading_quote = has_apostrophe(parts.leading);
  if ((leading_quote || pending_quote) && !parts.core.empty()) {
    std::size_t last = parts.core.size();
    if (is_apostrophe(previous_code_point(parts.core, last))) {
      parts.trailing = word.substr(parts.leading.size() + last);
      parts.core = parts.core.substr(0, last);
      pending_quote = false;
    } else if (leading_quote) {
      pending_quote = true;
    }
  } else if (leading_quote) {
    pending_quote = true;
  }
  if (has_apostrophe(parts.trailing)) pending_quote = false;

  if (is_slash_joined_words(parts.core)) {
    return convert_joined(parts, '/', options, context, text_restore_mode);
  }
  if (splits_at_hyphens(parts.core)) {
    return convert_joined(parts, '-', options, context, text_restore_mode);
  }

  if (is_abbreviation_or_foreign(parts.core)) return as_it_stood(Decision::Unchanged);

  if (options.guard && is_brand(parts.core)) return as_it_stood(Decision::Protected);

  std::string_view core = parts.core;

  if (options.guard && foreign_name && !is_exception_word(options, core)) {
    return as_it_stood(Decision::English);
  }

  // A word typed without its o'/g' apostrophes (ozbek) is read as the word
  // meant (o'zbek) from here on.
  std::string restored;
  // A capitalised word inside a sentence is a name (Roza, Gor), restored only
  // where the text lacks apostrophes throughout.
  const bool name = neighbours.mid_sentence && !text_restore_mode && !core.empty() &&
                    is_ascii_upper(static_cast<unsigned char>(core.front()));
  if (context > -1.0f && options.restore && !name && !is_exception_word(options, core)) {
    if (auto r = restore_apostrophes(core, context >= 1.5f, text_restore_mode, false, neighbours)) {
      restored = std::move(r->word);
      core = restored;
    }
  }

  if (context > -1.0f && parts.leading.empty() && is_bare_old_letter(core) &&
      !is_exception_word(options, core)) {
    std::string converted = convert_letters(core, options.tutuq, false);
    if (converted != core) {
      return WordResult{joined(parts.leading, converted, parts.trailing), Decision::Converted};
    }
  }

  if (count_code_points(core) < 3 && has_apostrophe(core)) return as_it_stood(Decision::Unchanged);
  if (!has_convertible(core)) return as_it_stood(Decision::Unchanged);
  if (is_exception_word(options, core)) return as_it_stood(Decision::Exception);
  if (options.guard && looks_english(core, word_score, context)) return as_it_stood(Decision::English);

  // The apostrophe of HBO'ning separates a suffix: it is a tutuq, not o'.
  const std::size_t head = abbreviation_head(core);
  std::string converted(core.substr(0, head));
  if (head > 0) {
    std::size_t after = head;
    next_code_point(core, after);
    append_utf8(converted, options.tutuq);
    core.remove_prefix(after);
  }
  converted += convert_letters(core, options.tutuq, keep_sh_ch(core));
  if (converted == word.substr(parts.leading.size(), parts.core.size())) {
    return as_it_stood(Decision::Unchanged);
  }
  return WordResult{joined(parts.leading, converted, parts.trailing), Decision::Converted};
}

// ---------------------------------------------------------------------------
// Whole text

namespace {

bool is_name(NameClass c) { return c == NameClass::ForeignName || c == NameClass::EnglishWord; }

std::string_view core_of(std::string_view text, const WordSpan& span) {
  return split_word(text.substr(span.start, span.end - span.start)).core;
}

// Names written next to each other (Charlotte Church, Smith & Ashworth) form
// a run within one clause; a run with a foreign name in it makes every English
// word of the run a foreign name too. A capitalised English word without sh or
// ch (Turkish Airlines) counts as a foreign name here.
void join_name_runs(std::string_view text, std::vector<WordSpan>& spans) {
  const auto ends_clause = [](const WordSpan& s) { return s.clause_end || s.sentence_end; };
  const auto english_capitalised = [&](const WordSpan& s) {
    const std::string_view core = core_of(text, s);
    return s.name_class == NameClass::Plain && s.score < 0.0f && !core.empty() &&
           core.front() >= 'A' && core.front() <= 'Z';
  };
  std::size_t i = 0;
  while (i < spans.size()) {
    if (!is_name(spans[i].name_class)) {
      ++i;
      continue;
    }
    std::size_t last = i;
    bool english_neighbour = false;
    while (!ends_clause(spans[last]) && last + 1 < spans.size()) {
      const WordSpan& next = spans[last + 1];
      if (is_name(next.name_class)) {
        last += 1;
      } else if (english_capitalised(next)) {
        english_neighbour = true;
        last += 1;
      } else if (next.name_class == NameClass::Connector && !ends_clause(next) &&
                 last + 2 < spans.size() && is_name(spans[last + 2].name_class)) {
        last += 2;
      } else {
        break;
      }
    }
    const bool foreign = english_neighbour ||
                         std::any_of(spans.begin() + i, spans.begin() + last + 1, [](const WordSpan& s) {
                           return s.name_class == NameClass::ForeignName;
                         });
    if (foreign) {
      for (std::size_t j = i; j <= last; ++j) {
        if (spans[j].name_class == NameClass::EnglishWord) spans[j].name_class = NameClass::ForeignName;
      }
    }
    i = last + 1;
  }
}

// How strongly a paragraph without marks shows its apostrophes left out.
// Strong: a word reads as typed without them even where the word as written
// is taken at its word (ozbek, boladi). Weak: only a word whose apostrophe
// reading is the more frequent one (otib, boylab, oz ichiga) does; careful
// writers use such words too, so weak evidence counts only where the
// paragraphs before show nothing.
enum class LeftOutEvidence : std::uint8_t { None, Weak, Strong };

// True when a word restores in text mode to a reading clearly more frequent
// than the word as written (otib -> o'tib, not olim -> o'lim).
bool reads_better_restored(std::string_view core) {
  constexpr float kMinWeakGain = 0.5f;  // lexicon weight, about three times as frequent
  const std::optional<Restored> restored = restore_apostrophes(core, false, true, false);
  if (!restored) return false;
  const Lookup own = uzbek_analysis(word_key(core));
  return uzbek_analysis(word_key(restored->word)).weight >=
         (own.found ? own.weight : 0.0f) + kMinWeakGain;
}

LeftOutEvidence left_out_evidence(std::string_view text, const std::vector<WordSpan>& spans,
                                  const ConvertOptions& options) {
  // Words with o'/g' are so common that a paragraph of this many Uzbek words
  // without one is itself a sign; a shorter one is no weak evidence.
  constexpr std::size_t kMinWeakEvidenceWords = 6;
  float sum = 0.0f;
  std::size_t uzbek_words = 0;
  for (const WordSpan& s : spans) {
    sum += s.score;
    if (s.score > 0.0f) ++uzbek_words;
  }
  if (sum <= 0.0f) return LeftOutEvidence::None;
  bool weak = false;
  for (const WordSpan& s : spans) {
    const std::string_view core = core_of(text, s);
    if (is_protected(core) || is_exception_word(options, core)) continue;
    if (restore_apostrophes(core, false, false, false).has_value()) return LeftOutEvidence::Strong;
    if (!weak && uzbek_words >= kMinWeakEvidenceWords) weak = reads_better_restored(core);
  }
  return weak ? LeftOutEvidence::Weak : LeftOutEvidence::None;
}

// The other reading of a word that reads two ways once its apostrophes are
// restored (bor: there is; bo'r: chalk), or nullopt.
std::optional<std::string> other_reading(std::string_view word, const WordResult& result,
                                         const ConvertOptions& options) {
  if (has_cyrillic(word)) return std::nullopt;
  const WordParts parts = split_word(word);
  const std::string_view core = parts.core;
  if (is_exception_word(options, core) || core.find('-') != std::string_view::npos ||
      core.find_first_of("GOgo") == std::string_view::npos) {
    return std::nullopt;
  }
  const std::optional<Restored> restored = restore_apostrophes(core, false, true, true);
  if (!restored || !restored->two_readings) return std::nullopt;
  std::string alternative = joined(parts.leading, convert_letters(restored->word, options.tutuq, false),
                                   parts.trailing);
  if (alternative == result.text) {
    alternative = joined(parts.leading, convert_letters(core, options.tutuq, false), parts.trailing);
  }
  return alternative;
}

}  // namespace

namespace {

// Converted words remembered by the word as written; in a paragraph that
// restores from its neighbours (text restore mode), by the word, its
// neighbours and the flags below, in a memo of their own.
struct ConvertedWord {
  std::string text;
  Decision decision = Decision::Unchanged;
  bool pending_quote = false;
};

// What is known about one form (a word span as written): the English score
// and name class of its core, and its conversion for the few combinations of
// flags (see word_flags) met so far.
struct FormFacts {
  struct Known {
    std::uint8_t flags = 0;
    Decision decision = Decision::Unchanged;
    bool pending_quote : 1 = false;  // the quote carried out
    bool as_written : 1 = false;     // the result is the word itself, else in the memo's texts
    std::uint8_t length = 0;
    std::uint32_t offset = 0;        // of the result in the memo's texts
  };
  // Most forms meet one or two combinations (first word of a sentence or not).
  static constexpr std::size_t kMaxKnown = 4;
  // Longer words (a line without spaces) are converted each time they come.
  static constexpr std::size_t kMaxRememberedBytes = 256;
  static constexpr std::size_t kMaxTextBytes = 0xFF;  // what a Known's length can tell

  float score = 0.0f;
  NameClass name_class = NameClass::Plain;
  bool scored = false;
  std::int8_t shows_use = -1;  // shows_apostrophe_use of the core: 1, 0 or not asked yet
  std::uint8_t known_count = 0;
  std::array<Known, kMaxKnown> known;
};

}  // namespace

// What a text remembers about the forms it has met. Everything remembered is
// a pure function of the form (and the options, fixed for one memo), so what
// the memo holds never changes a result.
constexpr std::uint64_t kNoGeneration = ~std::uint64_t{0};

struct ConversionMemo::State {
  FormMemo<FormFacts> forms;
  // The converted texts the forms' Known results point into, each kept once
  // per form. Texts of forms the memo has forgotten stay until the whole memo
  // is forgotten, once this holds kMaxTexts bytes.
  std::string texts;
  static constexpr std::size_t kMaxTexts = std::size_t{16} << 20;
  FormMemo<ConvertedWord> with_neighbours;
  std::string key;
  std::string hyphenated;  // the last hyphenated word's result, which is not remembered
  // The number of every span's form in `forms`, while its generation holds.
  std::vector<std::uint32_t> numbers;
  std::uint64_t numbered_generation = kNoGeneration;
  std::vector<float> contexts;  // of the words of the sentence being converted
  std::vector<std::uint64_t> hashes;  // of the forms of the paragraph being scored
  ConvertOptions options;  // what the remembered results were converted with
};

ConversionMemo::ConversionMemo() : state_(std::make_unique<State>()) {}
ConversionMemo::~ConversionMemo() = default;
ConversionMemo::ConversionMemo(ConversionMemo&&) noexcept = default;
ConversionMemo& ConversionMemo::operator=(ConversionMemo&&) noexcept = default;

namespace {

using Memo = ConversionMemo::State;

bool same_options(const ConvertOptions& a, const ConvertOptions& b) {
  return a.exceptions == b.exceptions && a.tutuq == b.tutuq && a.guard == b.guard &&
         a.cyrillic == b.cyrillic && a.restore == b.restore;
}

// The memo for a conversion with `options`: what it remembers of other
// options is forgotten.
Memo& memo_for(ConversionMemo& memo, const ConvertOptions& options) {
  Memo& state = memo.state();
  if (!same_options(state.options, options) || state.texts.size() > Memo::kMaxTexts) {
    state.forms.clear();
    state.texts.clear();
    state.with_neighbours.clear();
    state.options = options;
  }
  return state;
}

// The number of a form in the memo, remembered unscored when it is new.
std::uint32_t form_number(std::string_view word, Memo& memo) {
  const std::uint32_t number = memo.forms.number_of(word);
  return number != 0 ? number : memo.forms.add(word, FormFacts{});
}

// The English score and name class of a word's core: those remembered for
// the core as a word of its own (so'z for so'z, and so'z.), or new ones.
FormFacts core_scores(std::string_view word, const Memo& memo) {
  const std::string_view core = split_word(word).core;
  FormFacts scores;
  if (const std::uint32_t number = core.size() == word.size() ? 0 : memo.forms.number_of(core);
      number != 0 && memo.forms.at(number).scored) {
    scores.score = memo.forms.at(number).score;
    scores.name_class = memo.forms.at(number).name_class;
  } else {
    scores.score = english_score(core);
    scores.name_class = name_class(core);
  }
  return scores;
}

// The number of every span's form in the memo (added when new), kept for the
// conversion that follows; with `scored`, also the English score and name
// class of every span's core.
void number_spans(std::string_view text, std::vector<WordSpan>& spans, bool scored, Memo& memo) {
  const std::uint64_t generation = memo.forms.generation();
  memo.numbers.resize(spans.size());
  // The memo is probed for all the words of a paragraph in rounds, so that
  // their cache misses overlap.
  memo.hashes.resize(spans.size());
  const auto word_at = [&](std::size_t i) {
    return text.substr(spans[i].start, spans[i].end - spans[i].start);
  };
  for (std::size_t i = 0; i < spans.size(); ++i) {
    memo.hashes[i] = FormMemo<FormFacts>::hash_of(word_at(i));
    memo.forms.prefetch_slot(memo.hashes[i]);
  }
  for (const std::uint64_t hash : memo.hashes) memo.forms.prefetch_entry(hash);
  for (std::size_t i = 0; i < spans.size(); ++i) {
    WordSpan& span = spans[i];
    const std::string_view word = word_at(i);
    std::uint32_t number = memo.forms.number_of(word, memo.hashes[i]);
    if (!scored) {
      memo.numbers[i] = number != 0 ? number : memo.forms.add(word, FormFacts{});
      continue;
    }
    if (number == 0 || !memo.forms.at(number).scored) {
      const FormFacts scores = core_scores(word, memo);
      if (number == 0) number = memo.forms.add(word, FormFacts{});
      FormFacts& facts = memo.forms.at(number);
      facts.score = scores.score;
      facts.name_class = scores.name_class;
      facts.scored = true;
    }
    const FormFacts& facts = memo.forms.at(number);
    span.score = facts.score;
    span.name_class = facts.name_class;
    memo.numbers[i] = number;
    // The converted text is read once the sentence's contexts are known;
    // most forms have one.
    if (facts.known_count > 0 && !facts.known[0].as_written) {
      prefetch(memo.texts.data() + facts.known[0].offset);
    }
  }
  // Numbers given out before the memo swept are void.
  memo.numbered_generation = memo.forms.generation() == generation ? generation : kNoGeneration;
}

// convert_word, remembered per form. Besides the word (and the options, fixed
// for the memo), its result depends on the restore mode, the quote carried
// in, the foreign-name flag, the neighbours and the context only through the
// comparisons below; the neighbours' keys count only in text restore mode.
// Hyphenated words score their parts anew and are not remembered. The quote
// carried out is the one remembered with the result.
struct WordOutcome {
  std::string_view text;  // valid until the memo's next add
  Decision decision;
};

std::uint8_t word_flags(float score, float context, bool text_restore_mode, bool foreign_name,
                        bool pending_quote, const Neighbours& neighbours) {
  return static_cast<std::uint8_t>(
      (pending_quote ? 1u : 0u) | (foreign_name ? 2u : 0u) | (context > -1.0f ? 4u : 0u) |
      (context >= 1.5f ? 8u : 0u) | (context_leans_english(score, context) ? 16u : 0u) |
      (text_restore_mode ? 32u : 0u) | (neighbours.mid_sentence ? 64u : 0u) |
      (neighbours.written ? 128u : 0u));
}

WordOutcome convert_with_neighbours(std::string_view word, const ConvertOptions& options,
                                    float score, float context, bool foreign_name,
                                    bool& pending_quote, const Neighbours& neighbours,
                                    std::uint8_t flags, Memo& memo) {
  // The word and its neighbours, then the lengths that tell them apart.
  memo.key.assign(word).append(neighbours.left).append(neighbours.right);
  for (const std::size_t length : {word.size(), neighbours.left.size()}) {
    const auto n = static_cast<std::uint32_t>(length);
    memo.key.append({static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                     static_cast<char>(n >> 24)});
  }
  memo.key.push_back(static_cast<char>(flags));
  const ConvertedWord* known = memo.with_neighbours.find(memo.key);
  if (known == nullptr) {
    WordResult r = convert_word(word, options, score, context, true, foreign_name, pending_quote,
                                neighbours);
    known = &memo.with_neighbours.remember(
        memo.key, ConvertedWord{std::move(r.text), r.decision, pending_quote});
  }
  pending_quote = known->pending_quote;
  return WordOutcome{known->text, known->decision};
}

std::string_view known_text(const FormFacts::Known& known, const Memo& memo) {
  return std::string_view(memo.texts).substr(known.offset, known.length);
}

// A word with one closing mark (so'z, so'z.) converts as the word before the
// mark does, followed by the mark, when that word is ASCII and ends in a
// letter: the mark is split off as trailing punctuation, which no decision
// looks at. The result for the bare word is taken when the memo holds it for
// the same flags.
std::optional<WordResult> converted_as_bare(std::string_view word, std::uint8_t flags,
                                            bool& pending_quote, const Memo& memo) {
  if (word.size() < 2 || std::string_view(",.!?;").find(word.back()) == std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view bare = word.substr(0, word.size() - 1);
  if (!is_ascii_letter(static_cast<unsigned char>(bare.back())) ||
      !std::all_of(bare.begin(), bare.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x80; })) {
    return std::nullopt;
  }
  const std::uint32_t number = memo.forms.number_of(bare);
  if (number == 0) return std::nullopt;
  const FormFacts& facts = memo.forms.at(number);
  const auto known_end = facts.known.begin() + facts.known_count;
  const auto known = std::find_if(facts.known.begin(), known_end,
                                  [&](const FormFacts::Known& k) { return k.flags == flags; });
  if (known == known_end) return std::nullopt;
  pending_quote = known->pending_quote;
  std::string text(known->as_written ? bare : known_text(*known, memo));
  text.push_back(word.back());
  return WordResult{std::move(text), known->decision};
}

WordOutcome convert_word_memo(std::string_view word, std::uint32_t number,
                              const ConvertOptions& options, float score, float context,
                              bool text_restore_mode, bool foreign_name, bool& pending_quote,
                              const Neighbours& neighbours, Memo& memo) {
  const std::uint8_t flags =
      word_flags(score, context, text_restore_mode, foreign_name, pending_quote, neighbours);
  if (word.find('-') != std::string_view::npos) {
    WordResult r = convert_word(word, options, score, context, text_restore_mode, foreign_name,
                                pending_quote, neighbours);
    memo.hyphenated = std::move(r.text);
    return WordOutcome{memo.hyphenated, r.decision};
  }
  if (text_restore_mode) {
    return convert_with_neighbours(word, options, score, context, foreign_name, pending_quote,
                                   neighbours, flags, memo);
  }
  FormFacts& facts = memo.forms.at(number);
  const auto known_end = facts.known.begin() + facts.known_count;
  auto known = std::find_if(facts.known.begin(), known_end,
                            [&](const FormFacts::Known& k) { return k.flags == flags; });
  if (known == known_end) {
    std::optional<WordResult> bare = converted_as_bare(word, flags, pending_quote, memo);
    WordResult r = bare ? std::move(*bare)
                        : convert_word(word, options, score, context, false, foreign_name,
                                       pending_quote, neighbours);
    if (facts.known_count == FormFacts::kMaxKnown || word.size() > FormFacts::kMaxRememberedBytes ||
        r.text.size() > FormFacts::kMaxTextBytes) {
      memo.hyphenated = std::move(r.text);
      return WordOutcome{memo.hyphenated, r.decision};
    }
    FormFacts::Known fresh{flags, r.decision, pending_quote, r.text == word, 0, 0};
    if (!fresh.as_written) {
      // A text the form already converts to is kept once.
      const auto same = std::find_if(facts.known.begin(), known_end, [&](const FormFacts::Known& k) {
        return !k.as_written && known_text(k, memo) == r.text;
      });
      if (same != known_end) {
        fresh.offset = same->offset;
      } else {
        fresh.offset = static_cast<std::uint32_t>(memo.texts.size());
        memo.texts += r.text;
      }
      fresh.length = static_cast<std::uint8_t>(r.text.size());
    }
    *known = fresh;
    ++facts.known_count;
  }
  pending_quote = known->pending_quote;
  if (known->as_written) return WordOutcome{word, known->decision};
  return WordOutcome{known_text(*known, memo), known->decision};
}

// True when a span of the paragraph shows apostrophes typed, asked once per
// form while the spans' numbers hold.
bool any_old_mark(std::string_view text, const std::vector<WordSpan>& spans, Memo& memo) {
  if (memo.numbered_generation != memo.forms.generation()) {
    return std::any_of(spans.begin(), spans.end(),
                       [&](const WordSpan& s) { return shows_apostrophe_use(core_of(text, s)); });
  }
  for (std::size_t i = 0; i < spans.size(); ++i) {
    FormFacts& facts = memo.forms.at(memo.numbers[i]);
    if (facts.shows_use < 0) facts.shows_use = shows_apostrophe_use(core_of(text, spans[i])) ? 1 : 0;
    if (facts.shows_use == 1) return true;
  }
  return false;
}

// The apostrophe use one paragraph shows by itself, with its spans numbered
// (and scored, with the guard), and whether that is only weak evidence of
// apostrophes left out.
struct ShownUse {
  ApostropheUse use = ApostropheUse::Unknown;
  bool weak_left_out = false;
};

ShownUse shown_use(std::string_view text, const std::vector<WordSpan>& spans,
                   const ConvertOptions& options, Memo& memo) {
  if (!options.restore) return {};
  if (any_old_mark(text, spans, memo)) return {ApostropheUse::Written};
  switch (left_out_evidence(text, spans, options)) {
    case LeftOutEvidence::Strong: return {ApostropheUse::LeftOut};
    case LeftOutEvidence::Weak: return {ApostropheUse::Unknown, true};
    case LeftOutEvidence::None: break;
  }
  return {};
}

// Converts one paragraph (a line with its line break) onto the end of `out`,
// with a report per word span when `reports` is given. Its own apostrophe use
// decides the restore mode; a paragraph that shows none is read by the
// evidence of the paragraphs before it.
void convert_paragraph(std::string_view input, const ConvertOptions& options, bool two_readings,
                       TextEvidence& evidence, Memo& memo, std::string& out,
                       std::vector<WordReport>* reports) {
  std::string buffer;
  const std::string_view text = normalize_marks(input, buffer);
  std::vector<WordSpan> spans = split_spans(text);

  number_spans(text, spans, options.guard, memo);
  if (options.guard) join_name_runs(text, spans);
  const ShownUse shown = shown_use(text, spans, options, memo);
  if (shown.use != ApostropheUse::Unknown) evidence.apostrophes = shown.use;
  const bool may_restore = options.restore && evidence.apostrophes != ApostropheUse::Written;
  // Weak evidence decides this paragraph only and is not handed on.
  const bool text_restore_mode =
      may_restore && (evidence.apostrophes == ApostropheUse::LeftOut ||
                      (shown.weak_left_out && evidence.apostrophes == ApostropheUse::Unknown));
  const bool two_readings_mode = two_readings && may_restore;

  if (reports != nullptr) reports->reserve(reports->size() + spans.size());
  // The forms' numbers from scoring hold while the memo has forgotten nothing.
  const bool numbered = memo.numbered_generation == memo.forms.generation();
  bool pending_quote = false;
  std::size_t copied = 0;
  for (const Sentence& sentence : split_sentences(spans)) {
    const bool scored = std::any_of(spans.begin() + sentence.first, spans.begin() + sentence.last + 1,
                                    [](const WordSpan& s) { return s.score != 0.0f; });
    if (scored) {
      sentence_contexts(std::span(spans).subspan(sentence.first, sentence.last + 1 - sentence.first),
                        memo.contexts);
    }
    for (std::size_t i = sentence.first; i <= sentence.last; ++i) {
      const WordSpan& span = spans[i];
      const float context = scored ? memo.contexts[i - sentence.first] : 0.0f;
      const std::string_view word = text.substr(span.start, span.end - span.start);
      std::string left;
      std::string right;
      if (text_restore_mode) {
        if (i > sentence.first) left = bare_key(core_of(text, spans[i - 1]));
        if (i < sentence.last) right = bare_key(core_of(text, spans[i + 1]));
      }
      const std::uint32_t number =
          numbered ? memo.numbers[i] : form_number(word, memo);
      const WordOutcome r = convert_word_memo(
          word, number, options, span.score, context, text_restore_mode,
          span.name_class == NameClass::ForeignName, pending_quote,
          Neighbours{left, right, i > sentence.first,
                     evidence.apostrophes == ApostropheUse::Written},
          memo);
      // A word written as it stands is copied later with the text around it.
      if (r.text.data() != word.data() || r.text.size() != word.size()) {
        out.append(text.substr(copied, span.start - copied));
        out += r.text;
        copied = span.end;
      }
      if (reports == nullptr) continue;
      std::optional<std::string> alternative;
      if (two_readings_mode && context > -1.0f &&
          (r.decision == Decision::Converted || r.decision == Decision::Unchanged)) {
        alternative = other_reading(word, WordResult{std::string(r.text), r.decision}, options);
      }
      reports->push_back(WordReport{std::string(word), std::move(alternative), span.score, r.decision});
    }
  }
  out.append(text.substr(copied));
}

// Calls visit(paragraph) for every line of the text with its line break.
template <typename Visit>
void for_each_paragraph(std::string_view text, Visit&& visit) {
  while (!text.empty()) {
    const std::size_t line_end = text.find('\n');
    const std::size_t length = line_end == std::string_view::npos ? text.size() : line_end + 1;
    visit(text.substr(0, length));
    text.remove_prefix(length);
  }
}

bool is_space(char c) { return c == ' ' || c == '\t'; }

}  // namespace

Conversion convert_detailed(std::string_view text, const ConvertOptions& options, bool two_readings,
                            TextEvidence& evidence) {
  ConversionMemo remembered;
  Memo& memo = memo_for(remembered, options);
  Conversion result;
  result.text.reserve(text.size() + 16);
  for_each_paragraph(text, [&](std::string_view paragraph) {
    convert_paragraph(paragraph, options, two_readings, evidence, memo, result.text, &result.words);
  });
  return result;
}

Conversion convert_detailed(std::string_view text, const ConvertOptions& options,
                            bool two_readings) {
  TextEvidence evidence;
  return convert_detailed(text, options, two_readings, evidence);
}

std::string convert(std::string_view text, const ConvertOptions& options, TextEvidence& evidence) {
  ConversionMemo memo;
  return convert(text, options, evidence, memo);
}

std::string convert(std::string_view text, const ConvertOptions& options, TextEvidence& evidence,
                    ConversionMemo& remembered) {
  Memo& memo = memo_for(remembered, options);
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for_each_paragraph(text, [&](std::string_view paragraph) {
    convert_paragraph(paragraph, options, false, evidence, memo, out, nullptr);
  });
  return out;
}

std::string convert(std::string_view text, const ConvertOptions& options) {
  TextEvidence evidence;
  return convert(text, options, evidence);
}

TextEvidence evidence_after(std::string_view text, const ConvertOptions& options,
                            TextEvidence before) {
  // The last paragraph that shows an apostrophe use decides; look backwards.
  ConversionMemo remembered;
  Memo& memo = memo_for(remembered, options);
  std::string buffer;
  while (!text.empty()) {
    const std::size_t previous =
        text.size() < 2 ? std::string_view::npos : text.rfind('\n', text.size() - 2);
    const std::size_t start = previous == std::string_view::npos ? 0 : previous + 1;
    const std::string_view paragraph = normalize_marks(text.substr(start), buffer);
    std::vector<WordSpan> spans = split_spans(paragraph);
    number_spans(paragraph, spans, options.guard, memo);
    if (const ShownUse shown = shown_use(paragraph, spans, options, memo);
        shown.use != ApostropheUse::Unknown) {
      return TextEvidence{shown.use};
    }
    text = text.substr(0, start);
  }
  return before;
}

std::size_t next_piece(std::string_view text, bool input_ended) {
  if (text.size() <= kPieceBytes) {
    if (input_ended) return text.size();
  } else if (const std::size_t line_end = text.find('\n', kPieceBytes - 1);
             line_end != std::string_view::npos && line_end < kMaxPieceBytes) {
    return line_end + 1;
  }
  if (text.size() <= kMaxPieceBytes) return input_ended ? text.size() : 0;
  // A line longer than kMaxPieceBytes: cut after a space, or failing that at
  // a character boundary.
  std::size_t cut = kMaxPieceBytes;
  while (cut > kPieceBytes && !is_space(text[cut - 1])) --cut;
  if (cut == kPieceBytes) {
    cut = kMaxPieceBytes;
    while ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  }
  return cut;
}

}  // namespace vexo
