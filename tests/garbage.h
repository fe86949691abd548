// A megabyte of valid UTF-8 that looks almost like the service's files:
// keys, values, U+ codes, control and wide characters and odd line ends,
// shuffled by a fixed pseudo-random sequence so every run sees the same text.
#pragma once

#include <cstdint>
#include <string>

namespace vexo::test_data {

inline std::string near_miss_file(std::size_t size, std::uint32_t seed) {
  static const char* const pieces[] = {
      "keymap", "layout", "=", " = ", "ha", "yo'q", "kirill", "custom", "tutuq",
      "disabled_apps", ";", ",", "\n", "\r\n", "\r", "\xEF\xBB\xBF", "#", "[", "U+", "u++",
      "00F6", "D800", "FFFFFFFFF", "-", " ", "\t", "\x01", "\x7f", "\xC2\x85", "\xE2\x80\xA8",
      "o", "\\", "`", "'", "ö", "Ö", "\xF0\x9F\x98\x80", "İ", "ß", "\xCC\x87", "enabled", "1"};
  std::string text;
  text.reserve(size + 16);
  std::uint32_t state = seed;
  while (text.size() < size) {
    state = state * 1664525u + 1013904223u;  // a plain linear congruential sequence
    text += pieces[(state >> 16) % (sizeof pieces / sizeof pieces[0])];
  }
  return text;
}

}  // namespace vexo::test_data
