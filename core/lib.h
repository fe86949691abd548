// Old-to-new conversion: the options, the per-word decisions and reports, and
// the text pipeline that turns old Uzbek Latin spelling (o' g' sh ch ') into
// the 2026 alphabet (ö ğ ş ç ʼ).
//
// Every function here is pure and re-entrant. Text must be valid UTF-8; every
// valid text converts, so there are no error results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/context.h"

namespace vexo {

inline constexpr char32_t kDefaultTutuq = 0x02BC;

// The twelve code points that count as an apostrophe everywhere in the core
// (U+0027, U+0060, U+00B4, U+02B9, U+02BB, U+02BC, U+02BD, U+2018, U+2019,
// U+201B, U+2032, U+FF07). U+02BA is not one of them.
inline bool is_apostrophe(char32_t c) {
  switch (c) {
    case 0x0027: case 0x0060: case 0x00B4: case 0x02B9: case 0x02BB: case 0x02BC:
    case 0x02BD: case 0x2018: case 0x2019: case 0x201B: case 0x2032: case 0xFF07:
      return true;
    default:
      return false;
  }
}

// True when the text holds an apostrophe of the set.
bool has_apostrophe(std::string_view text);

// The key of a word: every apostrophe replaced by U+0027 and every letter
// lowercased. All comparisons with exception lists and word lists use keys.
std::string word_key(std::string_view word);

// True when the word holds an old-alphabet mark: G, O, g or o directly
// followed by an apostrophe.
bool has_old_mark(std::string_view word);

// True when a word core shows its writer typing o'/g' apostrophes: it holds an
// old-alphabet mark and is not protected, a capitalised foreign name with O'
// or D' (O'Neil) or an abbreviation with a suffix (HBO'ning).
bool shows_apostrophe_use(std::string_view core);

struct ConvertOptions {
  std::vector<std::string> exceptions;  // word keys, compared exactly
  char32_t tutuq = kDefaultTutuq;       // written for every stand-alone apostrophe
  bool guard = true;     // leave English words, foreign names and brands alone
  bool cyrillic = true;  // transliterate words holding Cyrillic letters
  bool restore = true;   // restore apostrophes left out (ozbek -> o'zbek)

  bool is_exception(std::string_view key) const;
};

enum class Decision : std::uint8_t {
  Converted = 0,
  Unchanged = 1,
  Protected = 2,
  Exception = 3,
  English = 4,
};

// The label the explain report prints for a decision.
std::string_view decision_label(Decision d);

enum class NameClass : std::uint8_t {
  Plain = 0,
  ForeignName = 1,
  EnglishWord = 2,
  Connector = 3,
};

// One word span of a text: byte offsets [start, end), the English score and
// name class of its core, and whether it ends a sentence or a clause.
struct WordSpan {
  std::size_t start = 0;
  std::size_t end = 0;
  float score = 0.0f;
  NameClass name_class = NameClass::Plain;
  bool sentence_end = false;
  bool clause_end = false;
};

struct WordReport {
  std::string word;                        // the span as it stood in the normalised input
  std::optional<std::string> alternative;  // the other reading, when asked for two readings
  float score = 0.0f;
  Decision decision = Decision::Unchanged;
};

struct Conversion {
  std::string text;
  std::vector<WordReport> words;
};

struct WordResult {
  std::string text;
  Decision decision = Decision::Unchanged;
};

// How the writer of a text types the o'/g' apostrophes, as the paragraphs
// read so far show it. A paragraph (a line) with a mark of its own (o'zbek)
// is Written and restores nothing; one without marks but with words that
// read as typed without them (ozbek) is LeftOut and restores even short and
// ambiguous words; a paragraph showing neither is read by the evidence before
// it. Marks of protected words, of capitalised foreign names (O'Neil) and of
// abbreviations with a suffix (HBO'ning) are no evidence.
enum class ApostropheUse : std::uint8_t { Unknown = 0, Written = 1, LeftOut = 2 };

// The state one paragraph hands to the next. Converting a text in pieces
// that end at line breaks, in order, with one TextEvidence, gives the same
// result as converting it whole.
struct TextEvidence {
  ApostropheUse apostrophes = ApostropheUse::Unknown;
};

// Converts a text to the new alphabet.
std::string convert(std::string_view text, const ConvertOptions& options);

// Converts the next piece of a longer text: a piece that ends at a line
// break, or the last piece. `evidence` comes from the pieces before it and is
// updated for the pieces after it.
std::string convert(std::string_view text, const ConvertOptions& options, TextEvidence& evidence);

// What converting one text remembers about the forms it has met, to be
// carried from one piece of the text to the next (converted in turn, on one
// thread at a time). What it holds never changes a result; it only saves
// work. Memory stays bounded however long the text.
class ConversionMemo {
 public:
  ConversionMemo();
  ~ConversionMemo();
  ConversionMemo(ConversionMemo&&) noexcept;
  ConversionMemo& operator=(ConversionMemo&&) noexcept;

  struct State;
  State& state() { return *state_; }

 private:
  std::unique_ptr<State> state_;
};

// Like convert(text, options, evidence), remembering in `memo` across calls.
std::string convert(std::string_view text, const ConvertOptions& options, TextEvidence& evidence,
                    ConversionMemo& memo);

// The evidence converting a piece would hand on, given the evidence before
// it: that of its last paragraph that shows an apostrophe use, else `before`.
// Cheaper than converting, so that pieces can be converted side by side once
// the evidence entering each is known.
TextEvidence evidence_after(std::string_view text, const ConvertOptions& options,
                            TextEvidence before);

// Long input is read and converted in pieces that end at line breaks: a piece
// ends at the first line break at or after kPieceBytes. A line longer than
// kMaxPieceBytes is the one exception: it is cut after its last space (or
// else at a character boundary) within that bound, and its halves are then
// converted as two paragraphs.
inline constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
inline constexpr std::size_t kMaxPieceBytes = std::size_t{4} << 20;

// The length of the first piece of `text`, or 0 when it cannot be told before
// more input comes (never 0 when `input_ended` and the text is not empty).
// The cut depends on the text alone, so every reader that feeds text in any
// slices finds the same pieces.
std::size_t next_piece(std::string_view text, bool input_ended);

// Converts a text and reports the decision for every word span. With
// `two_readings`, words whose restored apostrophes allow two readings carry the
// other one as `alternative`.
Conversion convert_detailed(std::string_view text, const ConvertOptions& options,
                            bool two_readings);
Conversion convert_detailed(std::string_view text, const ConvertOptions& options, bool two_readings,
                            TextEvidence& evidence);

// Converts one word span. `pending_quote` carries an opening quote across the
// words of one text.
// `neighbours` are the bare keys of the words around it in its sentence.
WordResult convert_word(std::string_view word, const ConvertOptions& options, float word_score,
                        float context_score, bool text_restore_mode, bool foreign_name,
                        bool& pending_quote, const Neighbours& neighbours = {});

// Composes the few decomposed and comma-below letters the new alphabet uses
// (s + U+0327 -> ş, Ș -> Ş, ...). Returns `text` itself when nothing changes;
// otherwise the composed text, stored in `buffer`.
std::string_view normalize_marks(std::string_view text, std::string& buffer);

// The weighted mean of the English scores of the other words of a sentence,
// as seen from the word at `position` (relative to `sentence_start`). The
// sentence is spans[sentence_start..sentence_end], both inclusive.
float context_score(std::span<const WordSpan> spans, std::size_t sentence_start,
                    std::size_t sentence_end, std::size_t position);

// context_score for every word of a sentence (the spans of one sentence),
// into `contexts`; cheaper than asking word by word.
void sentence_contexts(std::span<const WordSpan> sentence, std::vector<float>& contexts);

// The letter rules: o' g' -> ö ğ, sh ch -> ş ç (unless `keep_sh_ch`), s'h c'h
// -> sh ch, every other apostrophe -> `tutuq`.
std::string convert_letters(std::string_view core, char32_t tutuq, bool keep_sh_ch);

// True when the letter rules could change the core.
bool has_convertible(std::string_view core);

// True for a core left as written because it is an abbreviation (two
// capitals without a vowel, or more ending in SH or CH) or holds a letter no
// Uzbek alphabet has (München, Schöne).
bool is_abbreviation_or_foreign(std::string_view core);

// True when sh and ch in this core are two letters each (Is'hoq, mushaf,
// disharmoniya) and must stay as written.
bool keep_sh_ch(std::string_view core);

// True when the core is a brand name from the brand list, alone or with an
// Uzbek suffix (Photoshopda, Chevroletni); brands keep their Latin spelling.
bool is_brand(std::string_view core);

}  // namespace vexo
