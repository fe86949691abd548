#include "core/token.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "core/unicode.h"

namespace vexo {
namespace {

bool is_separator(char32_t c) {
  return c == 0x2013 || c == 0x2014 || c == 0x2026 || is_white_space(c);
}

// Characters skipped from the end of a span before its final punctuation
// decides whether it ends a sentence or a clause.
bool is_closing(char32_t c) {
  switch (c) {
    case 0x22: case 0x27: case 0x29: case 0x5D: case 0x60: case 0xB4: case 0xBB:
    case 0x2018: case 0x2019: case 0x201B: case 0x201D: case 0x2032:
    case 0x02B9: case 0x02BB: case 0x02BC: case 0x02BD: case 0xFF07:
      return true;
    default:
      return false;
  }
}

// Punctuation that may stand before or after the core of a word.
bool is_edge_punctuation(char32_t c) {
  switch (c) {
    case '(': case ')': case '[': case ']': case '{': case '}': case '"':
    case 0xAB: case 0xBB: case 0x201C: case 0x201D: case 0x201E:
    case ',': case '.': case ':': case ';': case '!': case '?': case '*': case '_': case '~':
    case 0xB8: case 0x2013: case 0x2014: case 0x2026:
      return true;
    default:
      return is_apostrophe(c);
  }
}

bool is_old_letter_base(char32_t c) { return c == 'G' || c == 'O' || c == 'g' || c == 'o'; }

void mark_end(std::string_view text, WordSpan& span) {
  std::size_t i = span.end;
  while (i > span.start) {
    char32_t c = static_cast<unsigned char>(text[i - 1]);
    if (c < 0x80) {
      --i;
    } else {
      c = previous_code_point(text, i);
    }
    if (is_closing(c)) continue;
    if (c == '.' || c == '!' || c == '?' || c == 0x2026) span.sentence_end = true;
    if (c == ',' || c == ':' || c == ';') span.clause_end = true;
    return;
  }
}

constexpr std::array<std::string_view, 31> kDomainEndings = {
    "uz", "com", "org", "net", "ru", "me", "io", "info", "biz", "edu", "gov",
    "tv", "app", "dev", "ai", "co", "kz", "tj", "kg", "tm", "tr", "uk",
    "us", "de", "be", "ly", "xyz", "site", "online", "pro", "su"};

bool is_domain_ending(std::string_view lower) {
  return std::find(kDomainEndings.begin(), kDomainEndings.end(), lower) != kDomainEndings.end();
}

constexpr std::string_view kCodeCharacters = "_=(){}[]<>$\\*&|^~#/%+";
constexpr std::array<std::string_view, 6> kCodeSequences = {"::", "->", "=>", "()", "</", "/>"};

bool is_letter_or_digit(char32_t c) { return is_ascii_digit(c) || is_letter(c) || is_numeric(c); }

// Initials before a name (Sh.Rashidov, A.Navoiy): every part before the last
// dot is one or two letters with a capital first, and the last part is a
// capitalised word that is not a domain ending.
bool is_initials_and_name(const std::vector<char32_t>& core) {
  std::vector<std::vector<char32_t>> parts(1);
  for (const char32_t c : core) {
    if (c == '.') {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  for (std::size_t p = 0; p + 1 < parts.size(); ++p) {
    const auto& part = parts[p];
    if (part.empty() || !is_uppercase(part[0])) return false;
    int letters = 0;
    for (const char32_t c : part) {
      if (is_letter(c)) {
        ++letters;
      } else if (!is_apostrophe(c)) {
        return false;
      }
    }
    if (letters < 1 || letters > 2) return false;
  }
  const auto& last = parts.back();
  if (last.size() < 2 || !is_uppercase(last[0])) return false;
  std::string lower;
  for (const char32_t c : last) {
    if (!is_letter(c) && !is_apostrophe(c) && c != '-') return false;
    append_lower(lower, c);
  }
  return !is_domain_ending(lower);
}

// A run of ASCII digits, a hyphen, then letters and apostrophes only
// (2024-yil, 5-sinf).
bool is_number_hyphen_word(const std::vector<char32_t>& core) {
  std::size_t i = 0;
  while (i < core.size() && is_ascii_digit(core[i])) ++i;
  if (i == 0 || i >= core.size() || core[i] != '-') return false;
  ++i;
  if (i >= core.size()) return false;
  for (; i < core.size(); ++i) {
    if (!is_letter(core[i]) && !is_apostrophe(core[i])) return false;
  }
  return true;
}

// A word as a side of a punctuation typo: at least `min_letters` letters and
// apostrophes only, once the punctuation around it is split off.
bool is_plain_word(std::string_view part, std::size_t min_letters) {
  const std::vector<char32_t> chars = decode_utf8(split_word(part).core);
  return chars.size() >= min_letters && std::all_of(chars.begin(), chars.end(), [](char32_t c) {
           return is_letter(c) || is_apostrophe(c);
         });
}

// Where a span holds two words joined by a punctuation typo (bo'ladi.Bu,
// so'raydi,to'lov, yangilanmaydi(hech), the offset at which the second word
// starts; 0 when it holds none. The first of the marks . , ; ! ? ( in the span
// decides; `mark` is its offset. A dot joins only before a capital that is not
// a domain ending (kun.uz, Sh.Rashidov stay whole), and both sides must be
// plain words, so links, paths, numbers and code are never cut.
std::size_t joined_word_start(std::string_view span, std::size_t mark) {
  constexpr std::size_t kMinLetters = 3;
  const char c = span[mark];
  const std::size_t start = c == '(' ? mark : mark + 1;
  const std::string_view left = span.substr(0, start);
  const std::string_view right = span.substr(start);
  if (right.empty() || !is_plain_word(left, kMinLetters) || !is_plain_word(right, 2)) return 0;
  if (c == '.') {
    std::size_t j = 0;
    const std::string_view core = split_word(right).core;
    if (!is_uppercase(next_code_point(core, j)) || is_domain_ending(ascii_lower(core))) return 0;
  }
  return start;
}

// Adds the span [start, end) of `text`, or two when a punctuation typo joins
// two words in it (see joined_word_start); `mark` is the offset of the span's
// first mark that may join words, or npos. A mark that ends the span joins
// nothing.
void push_span(std::string_view text, std::size_t start, std::size_t end, std::size_t mark,
               std::vector<WordSpan>& spans) {
  if (mark != std::string_view::npos && start + mark + 1 < end) {
    if (const std::size_t second = joined_word_start(text.substr(start, end - start), mark);
        second > 0) {
      spans.push_back(WordSpan{start, start + second});
      mark_end(text, spans.back());
      start += second;
    }
  }
  spans.push_back(WordSpan{start, end});
  mark_end(text, spans.back());
}

// True for a part of a slash-joined pair that is a word: a letter first,
// then letters, apostrophes and hyphens.
bool is_joined_word(std::string_view part) {
  std::size_t i = 0;
  if (part.empty() || !is_letter(next_code_point(part, i))) return false;
  while (i < part.size()) {
    const char32_t c = next_code_point(part, i);
    if (!is_letter(c) && !is_apostrophe(c) && c != '-') return false;
  }
  return true;
}

}  // namespace

bool is_slash_joined_words(std::string_view core) {
  if (core.find('/') == std::string_view::npos) return false;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = core.find('/', start);
    if (!is_joined_word(core.substr(start, slash - start))) return false;
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

std::vector<WordSpan> split_spans(std::string_view text) {
  std::vector<WordSpan> spans;
  // Room for a paragraph's words at a little under prose's bytes per word,
  // so that the list seldom grows; a long line grows it as usual.
  constexpr std::size_t kBytesPerWord = 6;
  constexpr std::size_t kMaxReserved = 1 << 14;
  spans.reserve(std::min(text.size() / kBytesPerWord + 1, kMaxReserved));
  // What a byte is to the scan: most of a text is printable ASCII, part of a
  // span; of those, the marks that may join two words are noted (they are
  // ASCII, so no byte of a longer character is one).
  enum ByteClass : std::uint8_t { kOther = 0, kWord = 1, kMark = 2 };
  static constexpr std::array<std::uint8_t, 256> kClass = [] {
    std::array<std::uint8_t, 256> classes{};
    for (int b = '!'; b < 0x7F; ++b) classes[static_cast<std::size_t>(b)] = kWord;
    for (const char ch : std::string_view(".,;!?(")) classes[static_cast<unsigned char>(ch)] = kMark;
    return classes;
  }();
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t i = 0;
  std::size_t span_start = 0;
  std::size_t first_mark = kNone;  // offset in the span
  bool in_span = false;
  while (i < text.size()) {
    if (std::uint8_t byte_class = kClass[static_cast<unsigned char>(text[i])]; byte_class != kOther) {
      // A run of printable ASCII is part of a span.
      if (!in_span) {
        span_start = i;
        in_span = true;
      }
      do {
        if (byte_class == kMark && first_mark == kNone) first_mark = i - span_start;
        if (++i == text.size()) break;
        byte_class = kClass[static_cast<unsigned char>(text[i])];
      } while (byte_class != kOther);
      continue;
    }
    const std::size_t at = i;
    char32_t c = static_cast<unsigned char>(text[i]);
    bool separator = false;
    if (c < 0x80) {  // ASCII outside the runs: only white space separates
      ++i;
      separator = c == ' ' || (c >= 0x09 && c <= 0x0D);
    } else {
      c = next_code_point(text, i);
      separator = is_separator(c);
    }
    if (!separator) {
      if (!in_span) {
        span_start = at;
        in_span = true;
      }
      continue;
    }
    if (in_span) {
      push_span(text, span_start, at, first_mark, spans);
      in_span = false;
      first_mark = kNone;
    }
    if ((c == '\n' || c == 0x2026) && !spans.empty()) spans.back().sentence_end = true;
  }
  if (in_span) push_span(text, span_start, text.size(), first_mark, spans);
  return spans;
}

std::vector<Sentence> split_sentences(std::span<const WordSpan> spans) {
  std::vector<Sentence> out;
  std::size_t first = 0;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    if (spans[i].sentence_end || i + 1 == spans.size()) {
      out.push_back(Sentence{first, i});
      first = i + 1;
    }
  }
  return out;
}

WordParts split_word(std::string_view word) {
  // Most words start and end with an ASCII letter or digit: no edge to take.
  const auto letter_or_digit = [](char ch) {
    const auto b = static_cast<unsigned char>(ch);
    return static_cast<unsigned char>((b | 0x20) - 'a') < 26 ||
           static_cast<unsigned char>(b - '0') < 10;
  };
  if (!word.empty() && letter_or_digit(word.front()) && letter_or_digit(word.back())) {
    return WordParts{word.substr(0, 0), word, word.substr(word.size())};
  }
  std::size_t core_start = 0;
  while (core_start < word.size()) {
    std::size_t next = core_start;
    if (!is_edge_punctuation(next_code_point(word, next))) break;
    core_start = next;
  }
  std::size_t core_end = word.size();
  while (core_end > core_start) {
    std::size_t prev = core_end;
    const char32_t c = previous_code_point(word, prev);
    if (!is_edge_punctuation(c)) break;
    if (is_apostrophe(c) && prev > core_start) {
      std::size_t before = prev;
      if (is_old_letter_base(previous_code_point(word, before))) break;
    }
    core_end = prev;
  }
  return WordParts{word.substr(0, core_start), word.substr(core_start, core_end - core_start),
                   word.substr(core_end)};
}

namespace {

// Links, addresses, hashtags, mentions and code sequences, given the word,
// its non-empty core and the core's ASCII lowercase form.
bool is_link_or_code(std::string_view word, std::string_view core, std::string_view lower) {
  if (lower.find("://") != std::string_view::npos || lower.starts_with("www.")) return true;
  if (core[0] == '#' || core[0] == '@' || word[0] == '#' || word[0] == '@') return true;
  if (core.find('@') != std::string_view::npos) return true;
  return std::any_of(kCodeSequences.begin(), kCodeSequences.end(),
                     [&](std::string_view seq) { return word.find(seq) != std::string_view::npos; });
}

}  // namespace

bool is_link_or_code(std::string_view word) {
  const std::string_view core = split_word(word).core;
  return !core.empty() && is_link_or_code(word, core, ascii_lower(core));
}

namespace {

// Most words of prose: an ASCII letter, then lower case ASCII letters and
// apostrophes, then at most one mark of ,.!?;: — such a word holds no link,
// code, number or camel case, so the full test below would pass it.
bool is_plain_lowercase_word(std::string_view word) {
  if (word.empty() || !is_ascii_letter(static_cast<unsigned char>(word[0]))) return false;
  std::size_t end = word.size();
  if (end > 1 && std::string_view(",.!?;:").find(word[end - 1]) != std::string_view::npos) --end;
  return std::all_of(word.begin() + 1, word.begin() + static_cast<std::ptrdiff_t>(end),
                     [](char ch) { return (ch >= 'a' && ch <= 'z') || ch == '\''; });
}

}  // namespace

bool is_protected(std::string_view word) {
  if (is_plain_lowercase_word(word)) return false;
  const WordParts parts = split_word(word);
  const std::string_view core = parts.core;
  if (core.empty()) return false;
  const std::string lower = ascii_lower(core);
  if (is_link_or_code(word, core, lower)) return true;

  const std::vector<char32_t> chars = decode_utf8(core);
  if (core.find('.') != std::string_view::npos && is_initials_and_name(chars)) return false;

  const bool old_mark = has_old_mark(core);
  for (std::size_t k = 0; k < chars.size(); ++k) {
    const char32_t c = chars[k];
    if (c < 0x80 && kCodeCharacters.find(static_cast<char>(c)) != std::string_view::npos &&
        !(c == '/' && is_slash_joined_words(core))) {
      return true;
    }
    if ((c == '.' || c == ':') && k > 0 && k + 1 < chars.size() &&
        is_letter_or_digit(chars[k - 1]) && is_letter_or_digit(chars[k + 1])) {
      return true;
    }
    if (!old_mark && k > 0 && is_uppercase(c) && is_lowercase(chars[k - 1])) return true;
  }

  const std::size_t dot = lower.rfind('.');
  if (dot != std::string::npos && dot > 0 && is_domain_ending(std::string_view(lower).substr(dot + 1))) {
    return true;
  }

  const bool has_digit = std::any_of(chars.begin(), chars.end(), is_ascii_digit);
  const bool has_letter = std::any_of(chars.begin(), chars.end(), is_letter);
  if (has_digit && has_letter && !is_number_hyphen_word(chars)) return true;

  if (std::none_of(chars.begin(), chars.end(), is_lowercase)) return false;
  for (std::size_t k = 0; k + 1 < chars.size(); ++k) {
    if (is_apostrophe(chars[k]) && is_uppercase(chars[k + 1])) return true;
  }
  return false;
}

}  // namespace vexo
