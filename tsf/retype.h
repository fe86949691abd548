// Synthetic keystrokes that put text into applications that do not show
// their text: the retype of a word (backspaces, then the new text as UTF-16
// units) and single characters. Each is sent with one `SendInput` call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "tsf/host.h"

namespace vexo::tsf {

// Key-down and key-up records of `delete_count + 1` Backspaces, then of every
// UTF-16 unit of `text` (UTF-8), then of a Space when `trailing_space`; all
// marked as the retype.
std::vector<KeyEvent> retype_events(std::size_t delete_count, std::string_view text,
                                    bool trailing_space);

// Key-down and key-up records of one character's UTF-16 units, with `mark`.
std::vector<KeyEvent> character_events(char32_t c, std::uintptr_t mark);

// Key-down and key-up records of a key sent again, with the extended flag of
// its key message word `lparam`, the scan code kOwnKeyScan and the resent mark.
std::vector<KeyEvent> same_key_events(std::uint16_t vk, std::uint32_t lparam);

// The outcome of one send: how many records went out of how many.
struct SendResult {
  std::size_t sent = 0;
  std::size_t total = 0;
  bool complete() const { return sent == total; }
};

// Sends the records with one call. Never reports more than were built.
SendResult send_events(InputSender& input, const std::vector<KeyEvent>& events);

// Number of UTF-16 units of a UTF-8 text.
std::size_t utf16_length(std::string_view text);

}  // namespace vexo::tsf
