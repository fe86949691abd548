// Unicode helpers for the core: UTF-8 decoding and encoding, the character
// properties the converter asks about, and full case mappings.
//
// Properties and mappings come from ICU; nothing here is a hand-written table.
// Those of the characters below U+0500 are asked once, on first use, and kept.
// All functions assume valid UTF-8 unless their name says otherwise.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

// The parts of the functions below that go beyond ASCII; ASCII, most of any
// text, is answered inline.
namespace unicode_detail {
char32_t next_multibyte(std::string_view text, std::size_t& i);
void append_multibyte(std::string& out, char32_t c);
bool is_white_space(char32_t c);
bool is_alphabetic(char32_t c);
bool is_lowercase(char32_t c);
bool is_uppercase(char32_t c);
char32_t lower_first(char32_t c);
}  // namespace unicode_detail

inline bool is_ascii_upper(char32_t c) { return c >= 'A' && c <= 'Z'; }
inline bool is_ascii_lower(char32_t c) { return c >= 'a' && c <= 'z'; }
inline bool is_ascii_letter(char32_t c) { return is_ascii_upper(c) || is_ascii_lower(c); }
inline bool is_ascii_digit(char32_t c) { return c >= '0' && c <= '9'; }

// Decodes the code point starting at byte `i` of valid UTF-8 text and advances
// `i` past it.
inline char32_t next_code_point(std::string_view text, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  if (b0 < 0xE0 && i + 1 < text.size()) {  // two bytes: Latin, Greek, Cyrillic
    const auto b1 = static_cast<unsigned char>(text[i + 1]);
    i += 2;
    return (char32_t{b0} & 0x1F) << 6 | (b1 & 0x3F);
  }
  return unicode_detail::next_multibyte(text, i);
}

// Decodes the code point that ends just before byte `i` and moves `i` back to
// its first byte.
char32_t previous_code_point(std::string_view text, std::size_t& i);

// Appends the UTF-8 encoding of `c` to `out`.
inline void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    const char bytes[2] = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    out.append(bytes, 2);
  } else {
    unicode_detail::append_multibyte(out, c);
  }
}

// Decodes a whole valid UTF-8 text.
std::vector<char32_t> decode_utf8(std::string_view text);

// A word of valid UTF-8 decoded into code points, held inline when it is
// short, so that decoding a word costs no allocation.
class DecodedWord {
 public:
  explicit DecodedWord(std::string_view text);
  DecodedWord(const DecodedWord&) = delete;
  DecodedWord& operator=(const DecodedWord&) = delete;

  std::span<const char32_t> chars() const { return {data_, size_}; }

 private:
  static constexpr std::size_t kInline = 64;
  std::array<char32_t, kInline> inline_;
  std::vector<char32_t> heap_;
  const char32_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// Number of code points in valid UTF-8 text.
std::size_t count_code_points(std::string_view text);

// True when `bytes` is well-formed UTF-8 (no surrogates, no overlongs).
bool is_valid_utf8(std::string_view bytes);

// Unicode properties.
inline bool is_white_space(char32_t c) {
  return c < 0x80 ? c == ' ' || (c >= 0x09 && c <= 0x0D) : unicode_detail::is_white_space(c);
}
bool is_numeric(char32_t c);
inline bool is_alphabetic(char32_t c) {
  return c < 0x80 ? is_ascii_letter(c) : unicode_detail::is_alphabetic(c);
}
inline bool is_lowercase(char32_t c) {
  return c < 0x80 ? is_ascii_lower(c) : unicode_detail::is_lowercase(c);
}
inline bool is_uppercase(char32_t c) {
  return c < 0x80 ? is_ascii_upper(c) : unicode_detail::is_uppercase(c);
}

// An ASCII letter, or a character from U+00AA upwards with the Alphabetic
// property: what the converter calls a letter.
inline bool is_letter(char32_t c) {
  return is_ascii_letter(c) || (c >= 0xAA && unicode_detail::is_alphabetic(c));
}

// Appends the full lowercase (or uppercase) mapping of one character, which
// may be several characters long.
void append_lower(std::string& out, char32_t c);
void append_upper(std::string& out, char32_t c);

// The first character of the full lowercase mapping of `c` (c itself when it
// has none): enough to tell one letter from another whatever its case.
inline char32_t lower_first(char32_t c) {
  if (c < 0x80) return is_ascii_upper(c) ? c + 32 : c;
  return unicode_detail::lower_first(c);
}

// Full lowercase and uppercase mappings of a text, character by character.
std::string to_lower(std::string_view text);
std::string to_upper(std::string_view text);

// Lowercases ASCII A-Z only.
std::string ascii_lower(std::string_view text);

}  // namespace vexo
