// A typing session: converts one finished word at a time, as it is typed,
// with the context the preceding words of the sentence give it.
//
// The session remembers the English scores and name classes of up to eight
// preceding words, whether a quote is open, and whether the writer leaves
// apostrophes out (the text restore mode). Only preceding words count: the
// words after the current one have not been typed yet.
//
// A session has no lock; one thread uses it at a time. Different sessions may
// be used from different threads at once.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/lib.h"

namespace vexo {

// The replacement for a finished word and how many characters (Unicode scalar
// values) of the typed word it replaces.
struct Replacement {
  std::string word;
  std::size_t typed_length = 0;
};

class TypingSession {
 public:
  // The most preceding words a session remembers.
  static constexpr std::size_t kHistoryLimit = 8;

  // Forgets the preceding words and an open quote, but not the restore mode:
  // how the writer types apostrophes carries into the next paragraph until a
  // word of it shows otherwise. Callers reset at a paragraph break or when
  // the writer moves elsewhere; a new session starts without a restore mode.
  void reset();

  // Converts one finished word as typed, with any punctuation typed with it
  // ("salom,"), as valid UTF-8. Gives nothing when the word stays as typed.
  std::optional<Replacement> complete_word(std::string_view word, const ConvertOptions& options);

  // The records of the preceding words of the sentence, oldest first. Their
  // offsets are 0: the session keeps no text.
  std::span<const WordSpan> history() const { return history_; }
  bool pending_quote() const { return pending_quote_; }
  bool restore_mode() const { return apostrophes_ == ApostropheUse::LeftOut; }

 private:
  std::vector<WordSpan> history_;
  std::string previous_key_;  // bare key of the word before, within the sentence
  bool pending_quote_ = false;
  ApostropheUse apostrophes_ = ApostropheUse::Unknown;  // the writer's habit so far
  bool paragraph_written_ = false;  // a mark typed since the last reset
};

}  // namespace vexo
