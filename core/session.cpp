#include "core/session.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/lang.h"
#include "core/token.h"
#include "core/unicode.h"

namespace vexo {

namespace {

// Closing characters skipped before a word's sentence or clause mark. Unlike
// the closing set of split_spans, a right square bracket is not skipped.
bool is_closing_mark(char32_t c) {
  switch (c) {
    case 0x0022: case 0x0027: case 0x0029: case 0x0060: case 0x00B4: case 0x00BB:
    case 0x2018: case 0x2019: case 0x201B: case 0x201D: case 0x2032: case 0x02B9:
    case 0x02BB: case 0x02BC: case 0x02BD: case 0xFF07:
      return true;
    default:
      return false;
  }
}

bool flags_clear(const WordSpan& record) { return !record.clause_end && !record.sentence_end; }

bool starts_lowercase(std::string_view core) {
  if (core.empty()) return false;
  std::size_t i = 0;
  const char32_t c = next_code_point(core, i);
  return is_ascii_lower(c) || (c >= 0xAA && is_lowercase(c));
}

// A word the Uzbek list knows and the English list does not, typed in lower
// case and scored Uzbek-like, is never pushed towards English by its context.
bool keeps_context_floor(std::string_view core, float score) {
  if (core.empty() || score <= 0.0f || !starts_lowercase(core)) return false;
  const WordStanding standing = is_uzbek_word(core);
  return standing.uzbek && !standing.english;
}

// The sentence and clause marks of a word, read from its end past closing
// quotes and brackets.
struct EndMarks {
  bool sentence_end = false;
  bool clause_end = false;
};

EndMarks end_marks(std::string_view word) {
  EndMarks marks;
  std::size_t i = word.size();
  while (i > 0) {
    const char32_t c = previous_code_point(word, i);
    if (is_closing_mark(c)) continue;
    marks.sentence_end = c == '.' || c == '!' || c == '?' || c == 0x2026;
    marks.clause_end = c == ',' || c == ':' || c == ';';
    break;
  }
  return marks;
}

// An English word right after a foreign name (or after a foreign name and a
// connector) in the same clause is taken as part of that name. Only the words
// before it are known.
NameClass smoothed_name_class(NameClass name_class, std::span<const WordSpan> history) {
  if (name_class != NameClass::EnglishWord || history.empty()) return name_class;
  const WordSpan& last = history.back();
  if (last.name_class == NameClass::ForeignName && flags_clear(last)) return NameClass::ForeignName;
  if (history.size() >= 2 && last.name_class == NameClass::Connector && flags_clear(last)) {
    const WordSpan& before = history[history.size() - 2];
    if (before.name_class == NameClass::ForeignName && flags_clear(before)) {
      return NameClass::ForeignName;
    }
  }
  return name_class;
}

}  // namespace

void TypingSession::reset() {
  history_.clear();
  previous_key_.clear();
  pending_quote_ = false;
  paragraph_written_ = false;
}

std::optional<Replacement> TypingSession::complete_word(std::string_view typed,
                                                        const ConvertOptions& options) {
  std::string buffer;
  const std::string_view word = normalize_marks(typed, buffer);
  const std::string_view core = split_word(word).core;

  WordSpan record;
  if (options.guard) {
    record.score = english_score(core);
    record.name_class = smoothed_name_class(name_class(core), history_);
  }
  const EndMarks marks = end_marks(word);
  record.sentence_end = marks.sentence_end;
  record.clause_end = marks.clause_end;

  // The sentence so far: the remembered words followed by this one.
  std::array<WordSpan, kHistoryLimit + 1> sentence;
  const auto last = std::copy(history_.begin(), history_.end(), sentence.begin());
  *last = record;
  const std::size_t position = history_.size();
  float context = context_score(std::span(sentence.begin(), last + 1), 0, position, position);
  if (context < 0.0f && keeps_context_floor(core, record.score)) context = 0.0f;

  const bool text_mode = apostrophes_ == ApostropheUse::LeftOut;
  WordResult result =
      convert_word(word, options, record.score, context, text_mode,
                   record.name_class == NameClass::ForeignName, pending_quote_,
                   Neighbours{text_mode ? std::string_view(previous_key_) : std::string_view(), {},
                              !history_.empty(), apostrophes_ == ApostropheUse::Written});

  // As in whole-text conversion, a mark makes the paragraph Written; else a
  // word typed without its apostrophes makes it LeftOut.
  if (shows_apostrophe_use(core)) {
    apostrophes_ = ApostropheUse::Written;
    paragraph_written_ = true;
  } else if (!text_mode && !paragraph_written_ && options.restore && result.text != typed &&
             restore_apostrophes(core, false, false, false)) {
    apostrophes_ = ApostropheUse::LeftOut;
  }

  if (record.sentence_end) {
    history_.clear();
    previous_key_.clear();
  } else {
    previous_key_ = bare_key(core);
    if (history_.size() == kHistoryLimit) history_.erase(history_.begin());
    history_.push_back(record);
  }

  if (result.text == typed) return std::nullopt;
  return Replacement{std::move(result.text), count_code_points(typed)};
}

}  // namespace vexo
