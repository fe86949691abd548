#include "core/unicode.h"

#include <cstdint>
#include <cstring>

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

namespace vexo {

namespace unicode_detail {

char32_t next_multibyte(std::string_view text, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : 1;
  char32_t c = b0 & (0x3F >> extra);
  ++i;
  for (; extra > 0 && i < text.size(); --extra, ++i) {
    c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
  }
  return c;
}

void append_multibyte(std::string& out, char32_t c) {
  if (c < 0x800) {
    const char bytes[2] = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    out.append(bytes, 2);
  } else if (c < 0x10000) {
    const char bytes[3] = {static_cast<char>(0xE0 | (c >> 12)),
                           static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                           static_cast<char>(0x80 | (c & 0x3F))};
    out.append(bytes, 3);
  } else {
    const char bytes[4] = {static_cast<char>(0xF0 | (c >> 18)),
                           static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                           static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                           static_cast<char>(0x80 | (c & 0x3F))};
    out.append(bytes, 4);
  }
}

}  // namespace unicode_detail

char32_t previous_code_point(std::string_view text, std::size_t& i) {
  std::size_t start = i - 1;
  while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
  std::size_t j = start;
  const char32_t c = next_code_point(text, j);
  i = start;
  return c;
}

std::vector<char32_t> decode_utf8(std::string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) out.push_back(next_code_point(text, i));
  return out;
}

DecodedWord::DecodedWord(std::string_view text) {
  // A code point takes at least one byte, so a text of kInline bytes fits.
  char32_t* out = inline_.data();
  if (text.size() > kInline) {
    heap_.resize(text.size());
    out = heap_.data();
  }
  data_ = out;
  for (std::size_t i = 0; i < text.size();) out[size_++] = next_code_point(text, i);
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

void append_case_mapped(std::string& out, char32_t c, UProperty changes, CaseMap map) {
  if (!u_hasBinaryProperty(static_cast<UChar32>(c), changes)) {
    append_utf8(out, c);
  } else {
    append_mapped(out, c, map);
  }
}

// The characters below kTabled (Latin, Greek and Cyrillic letters, spacing
// modifiers such as the tutuq) come up in nearly every word; their answers
// are asked of ICU once, on first use, and kept.
constexpr char32_t kTabled = 0x500;
// Full case mappings of these characters are at most three characters long;
// a longer one would be asked of ICU each time.
constexpr std::size_t kMaxMappedBytes = 8;

struct Mapping {
  bool kept = false;
  unsigned char size = 0;
  char bytes[kMaxMappedBytes] = {};

  std::string_view view() const { return {bytes, size}; }
};

struct CharInfo {
  bool white_space = false;
  bool alphabetic = false;
  bool lowercase = false;
  bool uppercase = false;
  char32_t lower_first = 0;
  Mapping lower;
  Mapping upper;
};

Mapping mapping_of(char32_t c, UProperty changes, CaseMap map) {
  std::string mapped;
  append_case_mapped(mapped, c, changes, map);
  Mapping m;
  if (mapped.size() > kMaxMappedBytes) return m;
  m.kept = true;
  m.size = static_cast<unsigned char>(mapped.size());
  mapped.copy(m.bytes, mapped.size());
  return m;
}

struct CharTable {
  CharInfo chars[kTabled];
};

// Asks ICU about every tabled character; run once.
void fill(CharTable& table) {
  for (char32_t c = 0; c < kTabled; ++c) {
    const auto u = static_cast<UChar32>(c);
    CharInfo& info = table.chars[c];
    info.white_space = u_hasBinaryProperty(u, UCHAR_WHITE_SPACE);
    info.alphabetic = u_hasBinaryProperty(u, UCHAR_ALPHABETIC);
    info.lowercase = u_hasBinaryProperty(u, UCHAR_LOWERCASE);
    info.uppercase = u_hasBinaryProperty(u, UCHAR_UPPERCASE);
    info.lower = mapping_of(c, UCHAR_CHANGES_WHEN_LOWERCASED, u_strToLower);
    info.upper = mapping_of(c, UCHAR_CHANGES_WHEN_UPPERCASED, u_strToUpper);
    std::size_t i = 0;
    info.lower_first = info.lower.size == 0 ? c : next_code_point(info.lower.view(), i);
  }
}

const CharTable& make_table() {
  static CharTable table;
  fill(table);
  return table;
}

inline const CharInfo& tabled(char32_t c) {
  static const CharTable& table = make_table();
  return table.chars[c];
}

}  // namespace

// Beyond ASCII: the header answers ASCII itself, as ICU would.
namespace unicode_detail {

namespace {

// A binary property, read from the table below kTabled.
bool has_property(char32_t c, bool CharInfo::*tabled_answer, UProperty property) {
  if (c < kTabled) return tabled(c).*tabled_answer;
  return u_hasBinaryProperty(static_cast<UChar32>(c), property);
}

}  // namespace

bool is_white_space(char32_t c) {
  return has_property(c, &CharInfo::white_space, UCHAR_WHITE_SPACE);
}
bool is_alphabetic(char32_t c) { return has_property(c, &CharInfo::alphabetic, UCHAR_ALPHABETIC); }
bool is_lowercase(char32_t c) { return has_property(c, &CharInfo::lowercase, UCHAR_LOWERCASE); }
bool is_uppercase(char32_t c) { return has_property(c, &CharInfo::uppercase, UCHAR_UPPERCASE); }

char32_t lower_first(char32_t c) {
  if (c < kTabled && tabled(c).lower.kept) return tabled(c).lower_first;
  if (!u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_CHANGES_WHEN_LOWERCASED)) return c;
  std::string mapped;
  append_mapped(mapped, c, u_strToLower);
  std::size_t i = 0;
  return mapped.empty() ? c : next_code_point(mapped, i);
}

}  // namespace unicode_detail

bool is_numeric(char32_t c) {
  return u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

void append_lower(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(is_ascii_upper(c) ? c + 32 : c));
  } else if (c < kTabled && tabled(c).lower.kept) {
    out.append(tabled(c).lower.view());
  } else {
    append_case_mapped(out, c, UCHAR_CHANGES_WHEN_LOWERCASED, u_strToLower);
  }
}

void append_upper(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(is_ascii_lower(c) ? c - 32 : c));
  } else if (c < kTabled && tabled(c).upper.kept) {
    out.append(tabled(c).upper.view());
  } else {
    append_case_mapped(out, c, UCHAR_CHANGES_WHEN_UPPERCASED, u_strToUpper);
  }
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
