#include "core/reverse.h"

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

// The length of the run of ASCII at the start of `text` that is copied as it
// stands: anything but an apostrophe, or s or c before h.
std::size_t plain_ascii_run(std::string_view text) {
  const auto lower = [](char ch) { return static_cast<char>(ch | 0x20); };
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const char ch = text[i];
    if (static_cast<unsigned char>(ch) >= 0x80 || ch == '\'' || ch == '`') break;
    if ((lower(ch) == 's' || lower(ch) == 'c') && i + 1 < text.size() && lower(text[i + 1]) == 'h') {
      break;
    }
  }
  return i;
}

}  // namespace

std::string to_old(std::string_view text, bool ascii) {
  const char32_t letter_mark = ascii ? U'\'' : U'\u02BB';
  const char32_t tutuq = ascii ? U'\'' : U'\u02BC';
  std::string out;
  out.reserve(text.size() + 8);
  char32_t prev = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (const std::size_t run = plain_ascii_run(text.substr(i)); run > 0) {
      out.append(text.substr(i, run));
      i += run;
      prev = static_cast<unsigned char>(text[i - 1]);
      continue;
    }
    const char32_t c = next_code_point(text, i);
    std::size_t after = i;
    const char32_t next = i < text.size() ? next_code_point(text, after) : 0;
    switch (c) {
      case 0xF6: out += 'o'; append_utf8(out, letter_mark); break;
      case 0xD6: out += 'O'; append_utf8(out, letter_mark); break;
      case 0x11F: out += 'g'; append_utf8(out, letter_mark); break;
      case 0x11E: out += 'G'; append_utf8(out, letter_mark); break;
      case 0x15F: out += "sh"; break;
      case 0xE7: out += "ch"; break;
      case 0x15E: out += capital_context(prev, next) ? "SH" : "Sh"; break;
      case 0xC7: out += capital_context(prev, next) ? "CH" : "Ch"; break;
      case 's': case 'S': case 'c': case 'C':
        append_utf8(out, c);
        if (next == 'h' || next == 'H') append_utf8(out, tutuq);
        break;
      default:
        append_utf8(out, is_apostrophe(c) ? tutuq : c);
        break;
    }
    prev = c;
  }
  return out;
}

}  // namespace vexo
