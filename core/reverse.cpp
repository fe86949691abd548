#include "core/reverse.h"

#include <vector>

#include "core/lib.h"
#include "core/unicode.h"

namespace vexo {
namespace {

// Whether Ş or Ç at this position is written SH/CH (ŞAHAR, TOŞ) or Sh/Ch
// (Şahar, a lone Ş), judged from the neighbours alone.
bool capital_context(char32_t prev, char32_t next) {
  if (next != 0) {
    if (is_ascii_upper(next) || (next >= 0x80 && is_uppercase(next))) return true;
    if (is_letter(next)) return false;
  }
  return prev != 0 && (is_ascii_upper(prev) || (prev >= 0x80 && is_uppercase(prev)));
}

}  // namespace

std::string to_old(std::string_view text, bool ascii) {
  const std::vector<char32_t> chars = decode_utf8(text);
  const char32_t letter_mark = ascii ? U'\'' : U'\u02BB';
  const char32_t tutuq = ascii ? U'\'' : U'\u02BC';
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const char32_t c = chars[i];
    const char32_t prev = i > 0 ? chars[i - 1] : 0;
    const char32_t next = i + 1 < chars.size() ? chars[i + 1] : 0;
    switch (c) {
      case 0xF6: out += 'o'; append_utf8(out, letter_mark); continue;
      case 0xD6: out += 'O'; append_utf8(out, letter_mark); continue;
      case 0x11F: out += 'g'; append_utf8(out, letter_mark); continue;
      case 0x11E: out += 'G'; append_utf8(out, letter_mark); continue;
      case 0x15F: out += "sh"; continue;
      case 0xE7: out += "ch"; continue;
      case 0x15E: out += capital_context(prev, next) ? "SH" : "Sh"; continue;
      case 0xC7: out += capital_context(prev, next) ? "CH" : "Ch"; continue;
      case 's': case 'S': case 'c': case 'C':
        append_utf8(out, c);
        if (next == 'h' || next == 'H') append_utf8(out, tutuq);
        continue;
      default:
        break;
    }
    append_utf8(out, is_apostrophe(c) ? tutuq : c);
  }
  return out;
}

}  // namespace vexo
