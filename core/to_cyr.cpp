#include "core/to_cyr.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <vector>

#include "core/cyrillic.h"
#include "core/cyrillic_forms.h"
#include "core/cyrillic_exceptions.h"
#include "core/lang.h"
#include "core/lexicon.h"
#include "core/reverse.h"
#include "core/token.h"
#include "core/unicode.h"

namespace vexo {

namespace {

// The options every word is converted with: the guard and restoration on,
// the default tutuq, no caller exceptions. Cyrillic words never reach the
// converter, so its Cyrillic rule is off.
ConvertOptions cyrillic_options() {
  ConvertOptions options;
  options.cyrillic = false;
  return options;
}

bool is_new_letter(char32_t c) {
  switch (c) {
    case U'Ç': case U'ç': case U'Ö': case U'ö': case U'Ğ': case U'ğ': case U'Ş': case U'ş':
      return true;
    default:
      return false;
  }
}

bool has_new_letter(std::string_view text) {
  // The new letters are two bytes long, led by C3, C4 or C5.
  const bool maybe = std::any_of(text.begin(), text.end(), [](char byte) {
    const auto b = static_cast<unsigned char>(byte);
    return b >= 0xC3 && b <= 0xC5;
  });
  if (!maybe) return false;
  for (std::size_t i = 0; i < text.size();) {
    if (is_new_letter(next_code_point(text, i))) return true;
  }
  return false;
}

bool has_letter(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (is_letter(next_code_point(text, i))) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Letters

bool is_latin_vowel(char32_t lower) {
  return lower == 'a' || lower == 'e' || lower == 'i' || lower == 'o' || lower == 'u' ||
         lower == U'ö';
}

// The Cyrillic letter of a lowercase Latin letter of the new alphabet, or 0
// for a character that is copied as it stands.
char32_t cyrillic_letter(char32_t lower) {
  switch (lower) {
    case 'a': return U'а';
    case 'b': return U'б';
    case 'd': return U'д';
    case 'e': return U'е';
    case 'f': return U'ф';
    case 'g': return U'г';
    case 'h': return U'ҳ';
    case 'i': return U'и';
    case 'j': return U'ж';
    case 'k': return U'к';
    case 'l': return U'л';
    case 'm': return U'м';
    case 'n': return U'н';
    case 'o': return U'о';
    case 'p': return U'п';
    case 'q': return U'қ';
    case 'r': return U'р';
    case 's': return U'с';
    case 't': return U'т';
    case 'u': return U'у';
    case 'v': return U'в';
    case 'x': return U'х';
    case 'y': return U'й';
    case 'z': return U'з';
    case U'ö': return U'ў';
    case U'ğ': return U'ғ';
    case U'ş': return U'ш';
    case U'ç': return U'ч';
    default: return 0;
  }
}

void append_cased(std::string& out, char32_t cyrillic, bool upper) {
  if (upper) {
    append_upper(out, cyrillic);
  } else {
    append_utf8(out, cyrillic);
  }
}

bool is_upper_letter(char32_t c) { return is_letter(c) && is_uppercase(c); }
bool is_lower_letter(char32_t c) { return is_letter(c) && is_lowercase(c); }

// ts is written ц only before the endings of Latin loanwords (aktsiya,
// revolyutsion, ...); elsewhere it stays two letters (abzats -> абзатс).
bool ts_ending_follows(std::span<const char32_t> piece, std::size_t at) {
  static constexpr std::array<std::u32string_view, 5> kEndings = {U"iya", U"ion", U"ey", U"ent",
                                                                   U"ept"};
  for (const std::u32string_view ending : kEndings) {
    if (at + ending.size() > piece.size()) continue;
    bool match = true;
    for (std::size_t k = 0; k < ending.size() && match; ++k) {
      match = lower_first(piece[at + k]) == ending[k];
    }
    if (match) return true;
  }
  return false;
}

bool follows(std::span<const char32_t> piece, std::size_t at, std::u32string_view text) {
  if (at + text.size() > piece.size()) return false;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (lower_first(piece[at + k]) != text[k]) return false;
  }
  return true;
}

// The s of the Latin loanword endings written with ц: reaksiya -> реакция,
// konsepsiya -> концепция, konferensiya -> конференция, sentr -> центр,
// konsentratsiya -> концентрация. Words with a true с are listed apart.
bool s_is_tse(std::span<const char32_t> piece, std::size_t k) {
  const char32_t next = k + 1 < piece.size() ? lower_first(piece[k + 1]) : 0;
  if (next != 'e' && next != 'i') return false;
  if (follows(piece, k + 1, U"entr")) return true;
  if (k == 0 || !(follows(piece, k + 1, U"iya") || follows(piece, k + 1, U"ion"))) return false;
  const char32_t before = lower_first(piece[k - 1]);
  if (before == 'k' || before == 'p') return true;
  if (before != 'n' || k < 2 || !is_latin_vowel(lower_first(piece[k - 2]))) return false;
  static constexpr std::array<std::u32string_view, 6> kTrueEs = {
      U"pensi", U"valensi", U"ekspansi", U"suspensi", U"dimensi", U"ekstensi"};
  return std::none_of(kTrueEs.begin(), kTrueEs.end(), [&](std::u32string_view word) {
    return k + 2 >= word.size() && follows(piece, k + 2 - word.size(), word);
  });
}

// Writes piece[from..] letter by letter; the characters before `from` are
// still looked at as context.
void append_letters(std::string& out, std::span<const char32_t> piece, std::size_t from) {
  std::size_t k = from;
  while (k < piece.size()) {
    const char32_t c = piece[k];
    const char32_t l = lower_first(c);
    const bool upper = l != c;
    const char32_t prev = k > 0 ? piece[k - 1] : 0;
    const bool has_next = k + 1 < piece.size();
    const char32_t next = has_next ? piece[k + 1] : 0;
    const char32_t next_lower = has_next ? lower_first(next) : 0;

    if (l == 'y' && has_next) {
      char32_t pair = 0;
      if (next_lower == 'a') pair = U'я';
      if (next_lower == 'o') pair = U'ё';
      if (next_lower == 'u') pair = U'ю';
      if (next_lower == 'e') {
        pair = U'е';
        // After a consonant, ye starts a new syllable: obyekt -> объект.
        if (k > 0 && is_letter(prev) && !is_apostrophe(prev) &&
            !is_latin_vowel(lower_first(prev))) {
          append_cased(out, U'ъ', upper && next_lower != next);
        }
      }
      if (pair != 0) {
        append_cased(out, pair, upper);
        k += 2;
        continue;
      }
    }
    if (l == 't' && next_lower == 's' && ts_ending_follows(piece, k + 2)) {
      append_cased(out, U'ц', upper);
      k += 2;
      continue;
    }
    if (l == 's' && s_is_tse(piece, k)) {
      append_cased(out, U'ц', upper);
      ++k;
      continue;
    }
    // An o' or g' the conversion left alone (G‘ before punctuation).
    if ((l == 'o' || l == 'g') && has_next && is_apostrophe(next)) {
      append_cased(out, l == 'o' ? U'ў' : U'ғ', upper);
      k += 2;
      continue;
    }
    if (l == 'e') {
      const bool word_start = k == 0 || (!is_letter(prev) && !is_apostrophe(prev));
      const bool opens_syllable =
          word_start || is_apostrophe(prev) || is_latin_vowel(lower_first(prev));
      append_cased(out, opens_syllable ? U'э' : U'е', upper);
      ++k;
      continue;
    }
    if (is_apostrophe(c)) {
      const bool capital = k > 0 && is_upper_letter(prev) && (!has_next || !is_lower_letter(next));
      append_utf8(out, capital ? U'Ъ' : U'ъ');
      ++k;
      continue;
    }
    const char32_t cyrillic = cyrillic_letter(l);
    if (cyrillic != 0) {
      append_cased(out, cyrillic, upper);
    } else {
      append_utf8(out, c);
    }
    ++k;
  }
}

// A Roman numeral of at least two letters in its strict form (II, IV, XXI,
// MCMXC); single letters are mostly initials.
bool is_roman_numeral(std::string_view piece) {
  if (piece.size() < 2) return false;
  switch (piece[0]) {
    case 'I': case 'V': case 'X': case 'L': case 'C': case 'D': case 'M':
      break;
    default:
      return false;
  }
  static constexpr std::array<std::array<std::string_view, 10>, 4> kDigits = {{
      {"", "M", "MM", "MMM"},
      {"", "C", "CC", "CCC", "CD", "D", "DC", "DCC", "DCCC", "CM"},
      {"", "X", "XX", "XXX", "XL", "L", "LX", "LXX", "LXXX", "XC"},
      {"", "I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX"},
  }};
  std::string_view rest = piece;
  for (const auto& digit : kDigits) {
    // The longest numeral of this place that begins the rest.
    std::size_t longest = 0;
    for (const std::string_view d : digit) {
      if (d.size() > longest && rest.starts_with(d)) longest = d.size();
    }
    rest.remove_prefix(longest);
  }
  return rest.empty();
}

// Pieces with c or w (no Cyrillic counterpart), abbreviations, Roman numerals
// and words with foreign letters are kept in Latin.
bool stays_latin(std::string_view piece) {
  // Only capitals-only pieces and pieces with letters beyond ASCII can be
  // abbreviations or foreign words; one pass over the bytes settles the rest.
  bool plain_lowercase = false;
  for (const char byte : piece) {
    if (byte == 'c' || byte == 'C' || byte == 'w' || byte == 'W') return true;
    if (static_cast<unsigned char>(byte) >= 0x80) {
      plain_lowercase = false;
      break;
    }
    plain_lowercase = plain_lowercase || (byte >= 'a' && byte <= 'z');
  }
  if (plain_lowercase) return false;
  return piece.find_first_of("cCwW") != std::string_view::npos || is_roman_numeral(piece) ||
         is_abbreviation_or_foreign(piece);
}

// ---------------------------------------------------------------------------
// Listed loanword spellings

// True when the characters hold at least two letters and no lowercase one.
bool is_capital_run(std::span<const char32_t> latin) {
  std::size_t letters = 0;
  for (const char32_t c : latin) {
    if (!is_letter(c)) continue;
    if (is_lowercase(c)) return false;
    ++letters;
  }
  return letters >= 2;
}

// Appends a listed (lowercase) spelling in the case of the Latin it stands
// for: all capitals, or a capital at the start of each hyphenated part whose
// Latin starts with one (Nyu-York -> Нью-Йорк), or as listed.
void append_in_case_of(std::string& out, std::string_view cyrillic,
                       std::span<const char32_t> latin) {
  const bool all = is_capital_run(latin);
  std::size_t latin_at = 0;  // start of the Latin part that matches
  bool part_start = true;
  std::size_t i = 0;
  while (i < cyrillic.size()) {
    const char32_t c = next_code_point(cyrillic, i);
    const bool capital_part =
        latin_at < latin.size() && lower_first(latin[latin_at]) != latin[latin_at];
    if (all || (part_start && capital_part)) {
      append_upper(out, c);
    } else {
      append_utf8(out, c);
    }
    part_start = c == '-';
    if (part_start) {
      while (latin_at < latin.size() && latin[latin_at] != '-') ++latin_at;
      if (latin_at < latin.size()) ++latin_at;
    }
  }
}

// Writes a piece by its listed spelling, or a listed stem followed by Uzbek
// endings (konsertlari -> концертлари). Returns false when neither is listed.
bool append_listed(std::string& out, std::span<const char32_t> piece) {
  const std::optional<ListedSpelling> listed = find_listed_spelling(piece);
  if (!listed) return false;
  append_in_case_of(out, listed->cyrillic, std::span<const char32_t>(piece).first(listed->length));
  append_letters(out, piece, listed->length);
  return true;
}

void append_piece(std::string& out, std::string_view piece) {
  if (stays_latin(piece)) {
    out += piece;
    return;
  }
  const DecodedWord decoded(piece);
  if (!append_listed(out, decoded.chars())) append_letters(out, decoded.chars(), 0);
}

void append_core(std::string& out, std::string_view core) {
  // A few listed spellings are hyphenated (Nyu-York); the pieces of any other
  // hyphenated or slash-joined word are written one by one.
  if (core.find('-') != std::string_view::npos && core.find('/') == std::string_view::npos &&
      !stays_latin(core) && append_listed(out, DecodedWord(core).chars())) {
    return;
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i < core.size(); ++i) {
    if (core[i] != '-' && core[i] != '/') continue;
    append_piece(out, core.substr(start, i - start));
    out.push_back(core[i]);
    start = i + 1;
  }
  append_piece(out, core.substr(start));
}

// ---------------------------------------------------------------------------
// Words

bool in_number_run(char c) {
  return (c >= '0' && c <= '9') || c == ',' || c == '-' || c == '.' || c == ':';
}

// The byte length of the number in front of a core such as 2026-yilgi or
// 3,5-chi, or 0 when the core is not a number followed by a word.
std::size_t number_prefix_length(std::string_view core) {
  if (core.empty() || !is_ascii_digit(static_cast<unsigned char>(core.front()))) return 0;
  std::size_t n = 0;
  while (n < core.size() && in_number_run(core[n])) ++n;
  if (n == core.size()) return 0;
  std::size_t i = n;
  if (!is_letter(next_code_point(core, i))) return 0;
  while (i < core.size()) {
    const char32_t c = next_code_point(core, i);
    if (!is_letter(c) && !is_apostrophe(c) && c != '-') return 0;
  }
  return n;
}

// In Uzbek text, English-only words (memorandum, trillion, park) are read as
// Uzbek when the sentence around them is clearly Uzbek; a capitalised one
// only where capitals say nothing, at the start of its sentence.
constexpr float kUzbekSentence = 1.5f;
// A word the Uzbek lexicon knows is Uzbek unless the sentence leans English
// at least this much (film, radio, global in "I love this film").
constexpr float kEnglishSentence = -1.0f;

bool is_capitalised(std::string_view core) {
  std::size_t i = 0;
  return !core.empty() && is_uppercase(next_code_point(core, i));
}

std::string old_key(std::string_view core) {
  return word_key(has_new_letter(core) ? to_old(core, true) : std::string(core));
}

// Letter pairs that Uzbek spelling does not have inside a word (Google,
// Facebook, Tweet); Uzbek compounds that have them are in the lexicon.
bool has_foreign_pair(std::string_view core) {
  static constexpr std::array<std::string_view, 3> kPairs = {"oo", "ee", "ck"};
  const std::string lower = ascii_lower(core);
  return std::any_of(kPairs.begin(), kPairs.end(), [&](std::string_view pair) {
    return lower.find(pair) != std::string::npos;
  });
}

// True when a capitalised word is the name of something foreign whatever
// its place: capitals say nothing at the start of a sentence, but letters
// Uzbek does not write together do.
bool capital_says_nothing(std::string_view core, const WordPlace& place) {
  return place.sentence_start && !has_foreign_pair(core);
}

// True when the word is to be read as Uzbek whatever its English score.
bool reads_as_uzbek(std::string_view core, const WordPlace& place) {
  if (!has_letter(core)) return false;
  if (uzbek_lookup(old_key(core)).found) return place.context > kEnglishSentence;
  if (place.score > -2.0f || place.context < kUzbekSentence) return false;
  return !is_capitalised(core) || capital_says_nothing(core, place);
}

// A capitalised word that the Uzbek lexicon does not know and whose letters
// lean English is a foreign name (Google, Galaxy), unless it opens its
// sentence and its letters could be Uzbek.
bool is_foreign_name(std::string_view core, const WordPlace& place) {
  return is_capitalised(core) && !capital_says_nothing(core, place) && place.score < 0.0f &&
         !uzbek_lookup(old_key(core)).found;
}

// The English guard for a word with nothing that marks it as Uzbek: a word
// leaning English stays Latin, and a strongly English one is written in
// Cyrillic only when it is a listed Uzbek word in an Uzbek sentence.
bool passes_guard(std::string_view core, float word_score, float context) {
  // The English I, which the Uzbek lexicon also holds as a letter.
  if (core == "I" && context <= kEnglishSentence) return false;
  const bool leans_uzbek = !context_leans_english(word_score, context);
  if (word_score > -2.0f) return leans_uzbek;
  return leans_uzbek && uzbek_lookup(word_key(core)).found;
}

// A Roman numeral of one letter (I, V, X) heading a line: I. Kirish.
bool is_line_numeral(const WordParts& parts, const WordPlace& place) {
  return place.line_start && parts.leading.empty() &&
         (parts.core == "I" || parts.core == "V" || parts.core == "X") &&
         (parts.trailing.starts_with('.') || parts.trailing.starts_with(')'));
}

// The English score of a core, of its old spelling when it has new letters.
float score_of(std::string_view core) {
  return has_new_letter(core) ? english_score(to_old(core, true)) : english_score(core);
}

// An Uzbek abbreviation written with a word for its head: ToshDU, SamDU,
// ToşTI. A capitalised head of lowercase letters that is no English-only
// word (OpenAI stays), then two or more capitals to the end.
bool is_headed_abbreviation(std::string_view core) {
  if (core.size() < 4 || !is_ascii_upper(static_cast<unsigned char>(core.back())) ||
      !is_ascii_upper(static_cast<unsigned char>(core[core.size() - 2]))) {
    return false;
  }
  const std::vector<char32_t> chars = decode_utf8(core);
  std::size_t head = 1;
  while (head < chars.size() && (is_lowercase(chars[head]) || is_apostrophe(chars[head]))) ++head;
  if (chars.size() < 4 || !is_uppercase(chars[0]) || head < 2 || chars.size() - head < 2) return false;
  const bool letters_only = std::all_of(chars.begin(), chars.end(), [](char32_t c) {
    return (is_letter(c) || is_apostrophe(c)) && c != 'c' && c != 'C' && c != 'w' && c != 'W';
  });
  if (!letters_only || !std::all_of(chars.begin() + static_cast<std::ptrdiff_t>(head), chars.end(),
                                    [](char32_t c) { return is_ascii_upper(c); })) {
    return false;
  }
  std::string head_text;
  for (std::size_t k = 0; k < head; ++k) append_utf8(head_text, chars[k]);
  const WordStanding standing = is_uzbek_word(old_key(head_text));
  return standing.uzbek || !standing.english;
}

ConvertOptions without_guard(const ConvertOptions& options) {
  ConvertOptions o = options;
  o.guard = false;
  return o;
}

// Appends the Cyrillic of one word span (or the span itself where it stays
// Latin) to `out`.
void append_word(std::string& out, std::string_view word, const ConvertOptions& options,
                 const WordPlace& place, bool& pending_quote) {
  const auto as_it_stood = [&] { out.append(word); };
  if (has_cyrillic(word)) return as_it_stood();

  const WordParts parts = split_word(word);
  if (const std::size_t digits = number_prefix_length(parts.core); digits > 0) {
    const std::string_view rest = parts.core.substr(digits);
    bool fresh_quote = false;
    WordPlace rest_place = place;
    rest_place.score = score_of(rest);
    rest_place.sentence_start = false;
    rest_place.line_start = false;
    out.append(parts.leading);
    out.append(parts.core.substr(0, digits));
    append_word(out, rest, options, rest_place, fresh_quote);
    out.append(parts.trailing);
    return;
  }
  if (is_line_numeral(parts, place)) return as_it_stood();

  // Bring the word to the new alphabet. A word that already has new letters
  // is taken as written, unless its old spelling is a link or code.
  // Whether the word reads as Uzbek whatever its score, asked only where the
  // answer matters: it costs a lexicon lookup with suffix stripping.
  std::optional<bool> uzbek_reading;
  const auto uzbek = [&] {
    if (!uzbek_reading) uzbek_reading = reads_as_uzbek(parts.core, place);
    return *uzbek_reading;
  };
  std::string converted;
  if (is_headed_abbreviation(parts.core)) {
    const std::string core = convert_letters(parts.core, kDefaultTutuq, keep_sh_ch(parts.core));
    converted = std::string(parts.leading) + core + std::string(parts.trailing);
  } else if (!has_new_letter(word)) {
    WordResult r = convert_word(word, options, place.score, place.context, false, false,
                                pending_quote);
    if (r.decision == Decision::English && uzbek()) {
      r = convert_word(word, without_guard(options), place.score, place.context, false, false, pending_quote);
    }
    if (r.decision == Decision::Protected || r.decision == Decision::Exception ||
        r.decision == Decision::English) {
      return as_it_stood();
    }
    converted = std::move(r.text);
  } else {
    if (is_protected(to_old(word, true))) return as_it_stood();
    converted = std::string(word);
  }

  const WordParts next = split_word(converted);
  if (!has_letter(next.core)) return as_it_stood();

  std::string_view trailing = next.trailing;
  constexpr std::string_view kTutuq = "\u02bc";
  const bool hard_sign = trailing.size() >= 2 && trailing.starts_with(kTutuq);
  if (hard_sign) {
    trailing.remove_prefix(kTutuq.size());
  } else if ((is_foreign_name(next.core, place) ||
              !passes_guard(next.core, place.score, place.context)) &&
             !has_apostrophe(next.core) && !has_new_letter(next.core) && !uzbek()) {
    return as_it_stood();
  }

  out.append(next.leading);
  append_core(out, next.core);
  if (hard_sign) {
    std::size_t end = next.core.size();
    const bool capital = is_upper_letter(previous_code_point(next.core, end));
    append_utf8(out, capital ? U'Ъ' : U'ъ');
  }
  out.append(trailing);
}

// A word span followed by one closing mark (kitob, kitob.) is written as the
// span without it, then the mark, when that span ends in an ASCII letter: the
// mark is split off as trailing punctuation, which no decision looks at, and
// leaves the quote carried as it is. A lone letter is not shared, since "I."
// heading a line is a numeral and "I" is not.
std::size_t shared_mark_length(std::string_view word) {
  if (word.size() < 3) return 0;
  switch (word.back()) {
    case ',':
    case '.':
    case '!':
    case '?':
    case ';':
    case ':':
      return is_ascii_letter(static_cast<unsigned char>(word[word.size() - 2])) ? 1 : 0;
    default:
      return 0;
  }
}

// How a form is written, as far as its place goes: anew each time (a
// slash-joined word, or one of more than two hyphenated parts: its parts are
// scored and converted one by one); as it stands wherever it stands; or as
// remembered for the flags of place_flags(), which compare the sentence's
// context with the form's deciding score: its own, or that of the word after
// its number, and those of its two parts when hyphenated.
enum class Writing : std::uint8_t { kAnew, kAsWritten, kByForm, kByWordAfterNumber, kByParts };

// Which flags of the place can change what a form is written as, with its
// Writing in the bits above them.
enum FormTrait : std::uint8_t {
  kSentenceMatters = 1,  // a capital: whether it opens its sentence
  kQuoteMatters = 2,     // an apostrophe: the quote carried in, and out
  kLineMatters = 4,      // I, V or X: whether it heads a line (I. Kirish)
  kStrongMatters = 8,    // whether its sentence is clearly Uzbek
};
constexpr unsigned kWritingShift = 4;
constexpr unsigned kWritingMask = 7;  // the table's own bit lies above

Writing writing_of(std::uint8_t traits) {
  return static_cast<Writing>((traits >> kWritingShift) & kWritingMask);
}

bool has_upper(std::string_view word) {
  for (std::size_t i = 0; i < word.size();) {
    const auto byte = static_cast<unsigned char>(word[i]);
    if (byte < 0x80) {
      if (is_ascii_upper(byte)) return true;
      ++i;
    } else if (is_uppercase(next_code_point(word, i))) {
      return true;
    }
  }
  return false;
}

// True when the white space between two words breaks the line. It is
// mostly one space, too short to be worth a library search.
bool has_line_break(std::string_view separators) {
  for (const char c : separators) {
    if (c == '\n') return true;
  }
  return false;
}

bool has_digit(std::string_view word) {
  return std::any_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// True when restoring a word's apostrophes weighs its sentence, which it does
// only for a word with o or g that is English as written, or one that holds
// an apostrophe (which the quote carried in may cut off).
bool restoring_weighs_sentence(std::string_view word) {
  if (has_apostrophe(word)) return true;
  return word.find_first_of("oOgG") != std::string_view::npos &&
         lexicon_lookup(english_lexicon(), word_key(word)).found;
}

// True when a clearly Uzbek sentence (kUzbekSentence) may change how a word
// (a form's core, or the word after its number) is written: when its score
// is low enough for reads_as_uzbek to ask, or when restoring it weighs the
// sentence.
bool strong_sentence_matters(std::string_view word, float deciding_score) {
  return deciding_score <= -2.0f || restoring_weighs_sentence(word);
}

struct FormFacts {
  float score = 0.0f;           // of the core, for the sentence's context
  float deciding_score = 0.0f;  // compared with the context by place_flags()
  std::array<float, 2> part_scores{};  // of a hyphenated word's parts
  std::size_t parts = 0;
  std::uint8_t traits = 0;
};

// The facts of a hyphenated form (no digits, slashes or apostrophes) of two
// parts, which the conversion scores and converts one by one, comparing
// each part's score with the context or 0, whichever is greater; or nullopt.
std::optional<FormFacts> hyphenated_facts(std::string_view form, std::string_view core,
                                          FormFacts facts) {
  const std::size_t hyphen = core.find('-');
  if (hyphen == std::string_view::npos || core.find('-', hyphen + 1) != std::string_view::npos ||
      form.find('/') != std::string_view::npos || has_digit(form) || has_apostrophe(form)) {
    return std::nullopt;
  }
  bool strong = strong_sentence_matters(core, facts.score);
  for (const std::string_view part : {core.substr(0, hyphen), core.substr(hyphen + 1)}) {
    facts.part_scores[facts.parts++] = english_score(part);
    strong = strong || restoring_weighs_sentence(part) || restoring_weighs_sentence(split_word(part).core);
  }
  facts.traits = static_cast<std::uint8_t>(
      (static_cast<unsigned>(Writing::kByParts) << kWritingShift) |
      (has_upper(form) ? kSentenceMatters : 0) | (strong ? kStrongMatters : 0));
  return facts;
}

// What append_word makes of a form wherever it stands, step by step: a word
// with Cyrillic letters stays; a number and a word is written by the word;
// a link or code (not an abbreviation with a head word, which is converted)
// stays; a hyphenated or slash-joined word is converted part by part.
FormFacts facts_of(std::string_view form) {
  const std::string_view core = split_word(form).core;
  FormFacts facts;
  facts.score = score_of(core);
  facts.deciding_score = facts.score;
  const auto writing = [](Writing w) { return static_cast<unsigned>(w) << kWritingShift; };
  if (has_cyrillic(form)) {
    facts.traits = writing(Writing::kAsWritten);
  } else if (const std::size_t digits = number_prefix_length(core); digits > 0) {
    const std::string_view word = core.substr(digits);
    if (word.find_first_of("-/") == std::string_view::npos) {
      facts.deciding_score = score_of(word);
      facts.traits = static_cast<std::uint8_t>(
          writing(Writing::kByWordAfterNumber) |
          (strong_sentence_matters(word, facts.deciding_score) ? kStrongMatters : 0));
    }
  } else if (!is_headed_abbreviation(core) &&
             (has_new_letter(form) ? is_protected(to_old(form, true)) : is_protected(form))) {
    facts.traits = writing(Writing::kAsWritten);
  } else if (form.find_first_of("-/") != std::string_view::npos) {
    if (const std::optional<FormFacts> hyphenated = hyphenated_facts(form, core, facts)) {
      facts = *hyphenated;
    }
  } else {
    const bool numeral = core == "I" || core == "V" || core == "X";
    facts.traits = static_cast<std::uint8_t>(
        writing(Writing::kByForm) | (has_upper(form) ? kSentenceMatters : 0) |
        (has_apostrophe(form) ? kQuoteMatters : 0) | (numeral ? kLineMatters : 0) |
        (strong_sentence_matters(core, facts.score) ? kStrongMatters : 0));
  }
  return facts;
}

// Every way the place of a word and the quote carried in bear on how it is
// written: each comparison of the sentence's context that append_word and
// convert_word make (alone, or with the form's deciding scores), and the
// sentence and line it opens and the quote carried in, where the form's
// traits say they can matter. A word without an apostrophe, and a number and
// a word (whose word starts with a fresh quote), carry the quote through as
// it came.
std::uint8_t place_flags(const WordPlace& place, bool pending_quote,
                         const CyrillicForms::Entry& form) {
  const float context = place.context;
  const std::uint8_t traits = form.traits;
  const auto when = [&](std::uint8_t trait, bool flag, unsigned bit) {
    return (traits & trait) != 0 && flag ? bit : 0u;
  };
  unsigned flags = (context > kEnglishSentence ? 8u : 0u) |
                   (context_leans_english(form.deciding_score, context) ? 32u : 0u) |
                   when(kStrongMatters, context >= kUzbekSentence, 16u) |
                   when(kSentenceMatters, place.sentence_start, 2u) |
                   when(kLineMatters, place.line_start, 4u) |
                   when(kQuoteMatters, pending_quote, 1u);
  if (writing_of(traits) == Writing::kByParts) {
    const float part_context = std::max(context, 0.0f);
    flags |= (context_leans_english(form.extra_score(0), part_context) ? 64u : 0u) |
             (context_leans_english(form.extra_score(1), part_context) ? 128u : 0u);
  }
  return static_cast<std::uint8_t>(flags);
}

}  // namespace

// What a text's conversion remembers about the forms it has met, and room
// for the block of sentences at hand.
struct CyrillicMemo::Forms {
  CyrillicForms forms;
  // Each span of the piece at hand: the length of its shared mark, its
  // form's hash and number in `forms` (0 for a form too long to keep).
  struct Met {
    std::uint64_t hash;
    std::uint32_t number;
    std::uint32_t mark;
  };
  std::vector<Met> met;
  std::vector<float> contexts;
  std::string scratch;  // a word written anew
};

CyrillicMemo::CyrillicMemo() : forms_(std::make_unique<Forms>()) {}
CyrillicMemo::~CyrillicMemo() = default;
CyrillicMemo::CyrillicMemo(CyrillicMemo&&) noexcept = default;
CyrillicMemo& CyrillicMemo::operator=(CyrillicMemo&&) noexcept = default;

namespace {

using Forms = CyrillicMemo::Forms;

// The number of a form, added with its scores and traits when new.
std::uint32_t number_of_form(std::string_view form, std::uint64_t hash, Forms& memo) {
  if (form.size() > CyrillicForms::kMaxFormBytes) return 0;
  const std::uint32_t number = memo.forms.number_of(form, hash);
  if (number != 0) return number;
  const FormFacts facts = facts_of(form);
  return memo.forms.add(form, hash, facts.score, facts.deciding_score, facts.traits,
                        std::span<const float>(facts.part_scores).first(facts.parts));
}

// A piece is written a block of whole sentences at a time, each block at
// least this many spans long.
constexpr std::size_t kBlockSpans = 128;

// The spans of a piece and where they stand in the table of forms. A block's
// forms are looked up in three rounds, each a block apart, so that the
// cache misses of many words overlap while other blocks are written: hash
// the forms and fetch their slots, then fetch their entries, then look them
// up.
class PieceForms {
 public:
  PieceForms(std::string_view text, std::span<WordSpan> spans, Forms& memo)
      : text_(text), spans_(spans), memo_(memo) {
    memo.met.resize(spans.size());
  }

  std::string_view word(std::size_t i) const {
    return text_.substr(spans_[i].start, spans_[i].end - spans_[i].start);
  }
  std::string_view form(std::size_t i) const {
    const std::string_view w = word(i);
    return w.substr(0, w.size() - memo_.met[i].mark);
  }

  void hash(std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; ++i) {
      Forms::Met& met = memo_.met[i];
      met.mark = static_cast<std::uint32_t>(shared_mark_length(word(i)));
      met.hash = CyrillicForms::hash_of(form(i));
      memo_.forms.prefetch_slot(met.hash);
    }
  }
  void fetch(std::size_t first, std::size_t end) const {
    for (std::size_t i = first; i < end; ++i) memo_.forms.prefetch_entry(memo_.met[i].hash);
  }
  // Gives every span its number and score.
  void look_up(std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; ++i) {
      Forms::Met& met = memo_.met[i];
      met.number = number_of_form(form(i), met.hash, memo_);
      spans_[i].score = met.number != 0 ? memo_.forms.at(met.number).score
                                        : score_of(split_word(form(i)).core);
    }
  }
  // The number of a span's form, looked up again when the table has
  // forgotten since `generation`.
  std::uint32_t number(std::size_t i, std::uint64_t generation) {
    Forms::Met& met = memo_.met[i];
    if (memo_.forms.generation() != generation) met.number = number_of_form(form(i), met.hash, memo_);
    return met.number;
  }

 private:
  std::string_view text_;
  std::span<WordSpan> spans_;
  Forms& memo_;
};

// Appends one span's text: its form as remembered for its place, or written
// anew (and remembered where it fits), then its shared mark.
void append_met(std::string& out, std::string_view word, std::string_view form_text,
                std::uint32_t number, const ConvertOptions& options, const WordPlace& place,
                bool& pending_quote, Forms& memo) {
  const std::string_view mark = word.substr(form_text.size());
  CyrillicForms::Entry* form = number != 0 ? &memo.forms.at(number) : nullptr;
  const Writing writing = form != nullptr ? writing_of(form->traits) : Writing::kAnew;
  if (writing == Writing::kAsWritten) {
    out.append(word);
    return;
  }
  if (writing == Writing::kAnew) {
    append_word(out, form_text, options, place, pending_quote);
    out.append(mark);
    return;
  }
  const std::uint8_t flags = place_flags(place, pending_quote, *form);
  const bool carries_quote = (form->traits & kQuoteMatters) != 0;
  if (const CyrillicForms::Way* way = form->way(flags)) {
    form->append_text(out, *way);
    out.append(mark);
    if (carries_quote) pending_quote = way->quote_out;
    return;
  }
  std::string& text = memo.scratch;
  text.clear();
  append_word(text, form_text, options, place, pending_quote);
  out.append(text);
  out.append(mark);
  form->remember(flags, pending_quote, text);
}

}  // namespace

std::string to_cyrillic_word(std::string_view word, const ConvertOptions& options,
                             const WordPlace& place, bool& pending_quote) {
  std::string out;
  out.reserve(word.size() * 2);
  append_word(out, word, options, place, pending_quote);
  return out;
}

std::string to_cyrillic(std::string_view input) {
  CyrillicMemo memo;
  return to_cyrillic(input, memo);
}

std::string to_cyrillic_afresh(std::string_view input) {
  std::string buffer;
  const std::string_view text = normalize_marks(input, buffer);
  std::vector<WordSpan> spans = split_spans(text);
  const auto word = [&](const WordSpan& span) { return text.substr(span.start, span.end - span.start); };
  for (WordSpan& span : spans) span.score = score_of(split_word(word(span)).core);

  const ConvertOptions options = cyrillic_options();
  std::string out;
  bool pending_quote = false;
  std::size_t copied = 0;
  std::vector<float> contexts;
  for (const Sentence& sentence : split_sentences(spans)) {
    const std::span<const WordSpan> words =
        std::span<const WordSpan>(spans).subspan(sentence.first, sentence.last + 1 - sentence.first);
    sentence_contexts(words, contexts);
    for (std::size_t k = 0; k < words.size(); ++k) {
      const std::string_view separators = text.substr(copied, words[k].start - copied);
      out.append(separators);
      const bool new_line = has_line_break(separators);
      if (new_line) pending_quote = false;
      WordPlace place;
      place.score = words[k].score;
      place.context = contexts[k];
      place.sentence_start = k == 0;
      place.line_start = sentence.first + k == 0 || new_line;
      append_word(out, word(words[k]), options, place, pending_quote);
      copied = words[k].end;
    }
  }
  out.append(text.substr(copied));
  return out;
}

namespace {

// A text is written a run of whole lines at a time, each run at least this
// long, so that its spans stay in the cache. No sentence crosses a line
// break, and a line break ends the quote carried, so runs of lines are
// written as the whole text is.
constexpr std::size_t kRunBytes = std::size_t{64} << 10;

std::size_t run_length(std::string_view text) {
  if (text.size() <= kRunBytes) return text.size();
  const std::size_t line_end = text.find('\n', kRunBytes - 1);
  return line_end == std::string_view::npos ? text.size() : line_end + 1;
}

// Appends the Cyrillic of a run of whole lines; `first` when it opens the
// text.
void append_run(std::string& out, std::string_view text, bool first, Forms& memo) {
  std::vector<WordSpan> spans = split_spans(text);
  const ConvertOptions options = cyrillic_options();
  bool pending_quote = false;
  std::size_t copied = 0;
  const std::vector<Sentence> sentences = split_sentences(spans);
  // Blocks of whole sentences: block b is sentences [starts[b], starts[b + 1]).
  std::vector<std::size_t> starts;
  for (std::size_t s = 0; s < sentences.size(); ++s) {
    if (starts.empty() || sentences[s - 1].last + 1 - sentences[starts.back()].first >= kBlockSpans) {
      starts.push_back(s);
    }
  }
  starts.push_back(sentences.size());
  const std::size_t blocks = starts.size() - 1;
  const auto first_span = [&](std::size_t b) {
    return b < blocks ? sentences[starts[b]].first : spans.size();
  };
  PieceForms forms(text, spans, memo);
  for (std::size_t round = 0; round < blocks + 2; ++round) {
    if (round < blocks) forms.hash(first_span(round), first_span(round + 1));
    if (round >= 1 && round - 1 < blocks) forms.fetch(first_span(round - 1), first_span(round));
    if (round < 2) continue;
    const std::size_t b = round - 2;
    // The forms' numbers hold while the table has forgotten nothing.
    const std::uint64_t generation = memo.forms.generation();
    forms.look_up(first_span(b), first_span(b + 1));
    for (std::size_t s = starts[b]; s < starts[b + 1]; ++s) {
      const Sentence& sentence = sentences[s];
      const std::span<const WordSpan> words =
          std::span<const WordSpan>(spans).subspan(sentence.first, sentence.last + 1 - sentence.first);
      sentence_contexts(words, memo.contexts);
      for (std::size_t k = 0; k < words.size(); ++k) {
        const std::size_t i = sentence.first + k;
        const WordSpan& span = words[k];
        const std::string_view separators = text.substr(copied, span.start - copied);
        out.append(separators);
        const bool new_line = (i == 0 && !first) || has_line_break(separators);
        if (new_line) pending_quote = false;
        WordPlace place;
        place.score = span.score;
        place.context = memo.contexts[k];
        place.sentence_start = k == 0;
        place.line_start = (i == 0 && first) || new_line;
        append_met(out, forms.word(i), forms.form(i), forms.number(i, generation), options, place,
                   pending_quote, memo);
        copied = span.end;
      }
    }
  }
  out.append(text.substr(copied));
}

}  // namespace

std::string to_cyrillic(std::string_view input, CyrillicMemo& remembered) {
  std::string buffer;
  const std::string_view text = normalize_marks(input, buffer);
  std::string out;
  out.reserve(text.size() * 2);
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t length = run_length(text.substr(start));
    append_run(out, text.substr(start, length), start == 0, remembered.forms());
    start += length;
  }
  return out;
}

}  // namespace vexo
