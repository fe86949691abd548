// Fuzzes a typing session with an arbitrary sequence of words and resets.
// Input: a flags byte and an options byte, then words separated by NUL bytes; a
// word starting with 0x01 resets the session instead. Every replacement must be
// valid UTF-8, replace at least one and at most all characters of the typed
// word, and the session never remembers more than its history limit.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/session.h"
#include "fuzz/fuzz_input.h"

using vexo::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vexo::fuzz::InputReader reader(data, size);
  const std::uint8_t flags = reader.byte();
  const vexo::ConvertOptions options = vexo::fuzz::options_from(flags, reader.byte());
  std::string_view rest = reader.rest();

  vexo::TypingSession session;
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\0'), rest.size());
    const std::string_view word = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (!word.empty() && word.front() == '\x01') {
      // The sentence and an open quote go; the writer's restore mode stays.
      const bool restore_mode = session.restore_mode();
      session.reset();
      check(session.history().empty() && !session.pending_quote() &&
                session.restore_mode() == restore_mode,
            "reset forgets the sentence but not the restore mode");
      continue;
    }
    if (!vexo::is_valid_utf8(word)) continue;
    const auto replacement = session.complete_word(word, options);
    if (replacement) {
      check(vexo::is_valid_utf8(replacement->word), "replacement is valid UTF-8");
      check(replacement->typed_length >= 1 &&
                replacement->typed_length <= vexo::count_code_points(word),
            "replacement replaces part of the typed word");
    }
    check(session.history().size() <= vexo::TypingSession::kHistoryLimit, "history is bounded");
  }
  return 0;
}
