#include "core/cyrillic.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/unicode.h"

namespace vexo {

namespace {

bool is_cyrillic_vowel(char32_t lower) {
  switch (lower) {
    case U'а': case U'е': case U'и': case U'о': case U'у': case U'ы':
    case U'э': case U'ю': case U'я': case U'ё': case U'ў':
      return true;
    default:
      return false;
  }
}

// е reads "ye" where it starts a syllable: at the start of the word, after a
// non-letter, after a vowel or after a hard or soft sign.
bool e_starts_syllable(std::span<const char32_t> chars, std::size_t i) {
  if (i == 0 || !is_letter(chars[i - 1])) return true;
  const char32_t prev = lower_first(chars[i - 1]);
  return is_cyrillic_vowel(prev) || prev == U'ъ' || prev == U'ь';
}

// ц reads "ts" after a vowel and "s" everywhere else.
bool ts_after_vowel(std::span<const char32_t> chars, std::size_t i) {
  return i > 0 && is_cyrillic_vowel(lower_first(chars[i - 1]));
}

// The Latin replacement for a lowercase Cyrillic letter, or nullopt when the
// letter has none and is to be copied.
std::optional<std::u32string_view> replacement(std::span<const char32_t> chars, std::size_t i,
                                               char32_t lower, const char32_t& tutuq) {
  switch (lower) {
    case U'а': return U"a";
    case U'б': return U"b";
    case U'в': return U"v";
    case U'г': return U"g";
    case U'д': return U"d";
    case U'е': return e_starts_syllable(chars, i) ? U"ye" : U"e";
    case U'ё': return U"yo";
    case U'ж': return U"j";
    case U'з': return U"z";
    case U'и': return U"i";
    case U'й': return U"y";
    case U'к': return U"k";
    case U'л': return U"l";
    case U'м': return U"m";
    case U'н': return U"n";
    case U'о': return U"o";
    case U'п': return U"p";
    case U'р': return U"r";
    case U'с': return U"s";
    case U'т': return U"t";
    case U'у': return U"u";
    case U'ф': return U"f";
    case U'х': return U"x";
    case U'ц': return ts_after_vowel(chars, i) ? U"ts" : U"s";
    case U'ч': return U"ç";
    case U'ш': return U"ş";
    case U'щ': return U"şç";
    case U'ъ': return std::u32string_view(&tutuq, 1);
    case U'ы': return U"i";
    case U'ь': return U"";
    case U'э': return U"e";
    case U'ю': return U"yu";
    case U'я': return U"ya";
    case U'ў': return U"ö";
    case U'қ': return U"q";
    case U'ғ': return U"ğ";
    case U'ҳ': return U"h";
    default: return std::nullopt;
  }
}

// Marks the letters that belong to a run of at least two letters none of
// which is lowercase: words written in capitals (ЁШЛАР), and the capital
// part of an abbreviation followed by a lowercase suffix (ЯИМдаги). One pass
// over the word, whatever its length.
std::vector<bool> capital_runs(std::span<const char32_t> chars) {
  std::vector<bool> marks(chars.size(), false);
  std::size_t i = 0;
  while (i < chars.size()) {
    if (!is_letter(chars[i]) || is_lowercase(chars[i])) {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < chars.size() && is_letter(chars[end]) && !is_lowercase(chars[end])) ++end;
    if (end - i >= 2) std::fill(marks.begin() + static_cast<std::ptrdiff_t>(i),
                                marks.begin() + static_cast<std::ptrdiff_t>(end), true);
    i = end;
  }
  return marks;
}

void append_uppercased(std::string& out, std::u32string_view text, bool whole) {
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (k == 0 || whole) {
      append_upper(out, text[k]);
    } else {
      append_utf8(out, text[k]);
    }
  }
}

// Loanwords whose Latin spelling is not letter for letter (бюджет is
// written budjet), as the letter rules spell them and as Latin writes them.
// They are matched at the start of a word, so endings follow (бюджетга).
struct Respelling {
  std::string_view letters;
  std::string_view latin;
};
constexpr std::array<Respelling, 1> kRespellings = {{{"byudjet", "budjet"}}};

bool starts_with_ignoring_case(std::string_view text, std::string_view lower_prefix) {
  if (text.size() < lower_prefix.size()) return false;
  for (std::size_t k = 0; k < lower_prefix.size(); ++k) {
    const auto c = static_cast<unsigned char>(text[k]);
    if ((is_ascii_upper(c) ? c + ('a' - 'A') : c) != static_cast<unsigned char>(lower_prefix[k])) {
      return false;
    }
  }
  return true;
}

// Writes a listed loanword at the start of a transliterated word in its
// Latin spelling, in the case of the letters it replaces.
void respell(std::string& latin) {
  for (const Respelling& r : kRespellings) {
    if (!starts_with_ignoring_case(latin, r.letters)) continue;
    const bool capitals = is_ascii_upper(static_cast<unsigned char>(latin[1]));
    std::string spelling(r.latin);
    for (std::size_t k = 0; k < spelling.size(); ++k) {
      if (k == 0 ? is_ascii_upper(static_cast<unsigned char>(latin[0])) : capitals) {
        spelling[k] = static_cast<char>(spelling[k] - 'a' + 'A');
      }
    }
    latin.replace(0, r.letters.size(), spelling);
    return;
  }
}

}  // namespace

bool has_cyrillic(std::string_view text) {
  // Every character of U+0400..U+04FF is encoded with a lead byte D0..D3.
  for (const char byte : text) {
    const auto b = static_cast<unsigned char>(byte);
    if (b >= 0xD0 && b <= 0xD3) return true;
  }
  return false;
}

std::string transliterate_cyrillic(std::string_view word, char32_t tutuq) {
  const DecodedWord decoded(word);
  const std::span<const char32_t> chars = decoded.chars();
  std::optional<std::vector<bool>> capitals;  // made on the first capital digraph
  std::string out;
  out.reserve(word.size() + word.size() / 4);
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const char32_t c = chars[i];
    if (!is_cyrillic(c)) {
      append_utf8(out, c);
      continue;
    }
    const char32_t lower = lower_first(c);
    const std::optional<std::u32string_view> latin = replacement(chars, i, lower, tutuq);
    if (!latin) {
      append_utf8(out, c);
      continue;
    }
    const std::u32string_view text = *latin;
    if (lower == c) {
      for (const char32_t l : text) append_utf8(out, l);
    } else if (text.size() == 1) {
      append_upper(out, text[0]);
    } else if (!text.empty()) {
      if (!capitals) capitals = capital_runs(chars);
      append_uppercased(out, text, (*capitals)[i]);
    }
  }
  respell(out);
  return out;
}

}  // namespace vexo
