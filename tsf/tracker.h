// The typed-word tracker: the word before the caret, mirrored from key events
// in applications that do not show their text. It knows the word only while
// every key since the word began was seen; otherwise it records why not.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vexo::tsf {

class WordTracker {
 public:
  static constexpr std::size_t kLimit = 40;  // longest word that is converted

  // Appends a typed character. Past the limit the word is no longer
  // tracked ("word too long"), though the character is still kept.
  void append(char32_t c);

  // Removes the last character; on an empty word tracking is lost
  // ("backspace past word start").
  void backspace();

  // Empty and tracked: a new word may begin here.
  void reset() { *this = WordTracker{}; }

  // Empty and not tracked, for the reason given (a literal text).
  void lose(const char* reason);

  // The word typed since it began, when it is tracked and holds 1 to 40
  // characters. Successful or not, the tracker is reset.
  std::optional<std::u32string> take();

  const std::u32string& chars() const { return chars_; }
  bool tracked() const { return tracked_; }
  const std::string& reason() const { return reason_; }

 private:
  std::u32string chars_;
  bool tracked_ = true;
  std::string reason_;
};

}  // namespace vexo::tsf
