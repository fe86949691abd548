#include "core/unicode.h"

#include <cstdint>
#include <cstring>

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

namespace vexo {

char32_t next_code_point(std::string_view text, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : 1;
  char32_t c = b0 & (0x3F >> extra);
  ++i;
  for (; extra > 0 && i < text.size(); --extra, ++i) {
    c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
  }
  return c;
}

char32_t previous_code_point(std::string_view text, std::size_t& i) {
  std::size_t start = i - 1;
  while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
  std::size_t j = start;
  const char32_t c = next_code_point(text, j);
  i = start;
  return c;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::vector<char32_t> decode_utf8(std::string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) out.push_back(next_code_point(text, i));
  return out;
}

std::size_t count_code_points(std::string_view text) {
  std::size_t n = 0;
  for (const char ch : text) n += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
  return n;
}

bool is_valid_utf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    // Eight ASCII bytes at a time, most of a text.
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, s + i, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      i += 8;
    }
    if (i >= n) break;
    const unsigned char b = s[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (i + len > n) return false;
    if (s[i + 1] < lo || s[i + 1] > hi) return false;
    for (std::size_t k = 2; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  return true;
}

// ASCII answers without asking ICU; they are the same as ICU's.
bool is_white_space(char32_t c) {
  if (c < 0x80) return c == ' ' || (c >= 0x09 && c <= 0x0D);
  return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE);
}
bool is_alphabetic(char32_t c) {
  if (c < 0x80) return is_ascii_letter(c);
  return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_ALPHABETIC);
}
bool is_lowercase(char32_t c) {
  if (c < 0x80) return is_ascii_lower(c);
  return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_LOWERCASE);
}
bool is_uppercase(char32_t c) {
  if (c < 0x80) return is_ascii_upper(c);
  return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_UPPERCASE);
}

bool is_numeric(char32_t c) {
  return u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool is_letter(char32_t c) { return is_ascii_letter(c) || (c >= 0xAA && is_alphabetic(c)); }

namespace {

using CaseMap = int32_t (*)(UChar*, int32_t, const UChar*, int32_t, const char*, UErrorCode*);

// Applies an ICU full case mapping to one character in isolation.
void append_mapped(std::string& out, char32_t c, CaseMap map) {
  UChar src[2] = {0, 0};
  int32_t src_len = 0;
  UBool error = false;
  U16_APPEND(src, src_len, 2, static_cast<UChar32>(c), error);
  UChar dst[8] = {};
  UErrorCode status = U_ZERO_ERROR;
  const int32_t len = map(dst, 8, src, src_len, "", &status);
  if (error || U_FAILURE(status)) {
    append_utf8(out, c);
    return;
  }
  for (int32_t k = 0; k < len;) {
    UChar32 m;
    U16_NEXT(dst, k, len, m);
    append_utf8(out, static_cast<char32_t>(m));
  }
}

}  // namespace

void append_lower(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(is_ascii_upper(c) ? c + 32 : c));
  } else if (!u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_CHANGES_WHEN_LOWERCASED)) {
    append_utf8(out, c);
  } else {
    append_mapped(out, c, u_strToLower);
  }
}

void append_upper(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(is_ascii_lower(c) ? c - 32 : c));
  } else if (!u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_CHANGES_WHEN_UPPERCASED)) {
    append_utf8(out, c);
  } else {
    append_mapped(out, c, u_strToUpper);
  }
}

char32_t lower_first(char32_t c) {
  if (c < 0x80) return is_ascii_upper(c) ? c + 32 : c;
  if (!u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_CHANGES_WHEN_LOWERCASED)) return c;
  std::string mapped;
  append_mapped(mapped, c, u_strToLower);
  std::size_t i = 0;
  return mapped.empty() ? c : next_code_point(mapped, i);
}

std::string to_lower(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (const auto b = static_cast<unsigned char>(text[i]); b < 0x80) {
      out.push_back(static_cast<char>(is_ascii_upper(b) ? b + 32 : b));
      ++i;
    } else {
      append_lower(out, next_code_point(text, i));
    }
  }
  return out;
}

std::string to_upper(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) append_upper(out, next_code_point(text, i));
  return out;
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
  }
  return out;
}

}  // namespace vexo
