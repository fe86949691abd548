#include "tsf/retype.h"

#include <algorithm>

#include "core/unicode.h"

namespace vexo::tsf {
namespace {

void append_unit(std::vector<KeyEvent>& out, char16_t unit, std::uintptr_t mark) {
  out.push_back(KeyEvent{.vk = 0, .scan = unit, .unicode = true, .key_up = false, .mark = mark});
  out.push_back(KeyEvent{.vk = 0, .scan = unit, .unicode = true, .key_up = true, .mark = mark});
}

void append_character(std::vector<KeyEvent>& out, char32_t c, std::uintptr_t mark) {
  if (c > 0xFFFF) {
    const char32_t v = c - 0x10000;
    append_unit(out, static_cast<char16_t>(0xD800 + (v >> 10)), mark);
    append_unit(out, static_cast<char16_t>(0xDC00 + (v & 0x3FF)), mark);
  } else {
    append_unit(out, static_cast<char16_t>(c), mark);
  }
}

}  // namespace

std::vector<KeyEvent> retype_events(std::size_t delete_count, std::string_view text,
                                    bool trailing_space) {
  std::vector<KeyEvent> out;
  for (std::size_t i = 0; i <= delete_count; ++i) {
    out.push_back(
        KeyEvent{.vk = kVkBackspace, .scan = kOwnKeyScan, .key_up = false, .mark = kMarkRetype});
    out.push_back(
        KeyEvent{.vk = kVkBackspace, .scan = kOwnKeyScan, .key_up = true, .mark = kMarkRetype});
  }
  for (std::size_t i = 0; i < text.size();)
    append_character(out, next_code_point(text, i), kMarkRetype);
  if (trailing_space) append_unit(out, u' ', kMarkRetype);
  return out;
}

std::vector<KeyEvent> character_events(char32_t c, std::uintptr_t mark) {
  std::vector<KeyEvent> out;
  append_character(out, c, mark);
  return out;
}

std::vector<KeyEvent> same_key_events(std::uint16_t vk, std::uint32_t lparam) {
  const std::uint16_t scan = kOwnKeyScan;
  const bool extended = (lparam & (1u << 24)) != 0;
  return {
      KeyEvent{.vk = vk, .scan = scan, .extended = extended, .mark = kMarkResent},
      KeyEvent{.vk = vk, .scan = scan, .key_up = true, .extended = extended, .mark = kMarkResent}};
}

SendResult send_events(InputSender& input, const std::vector<KeyEvent>& events) {
  const std::size_t sent = input.send(events);
  return SendResult{std::min(sent, events.size()), events.size()};
}

std::size_t utf16_length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) units += next_code_point(text, i) > 0xFFFF ? 2 : 1;
  return units;
}

}  // namespace vexo::tsf
