// Fuzzes the conversions out of the new alphabet on arbitrary valid UTF-8:
// to_old and to_cyrillic give valid UTF-8, and to_old leaves a text without
// ö ğ ş ç, apostrophes or an h (the letter that makes s'h and c'h) unchanged;
// what to_cyrillic remembers about words, within a call or carried between
// calls, never changes what it writes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/reverse.h"
#include "core/to_cyr.h"
#include "fuzz/fuzz_input.h"

namespace {

using vexo::fuzz::check;

// The text without the characters to_old acts on.
std::string without_triggers(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = i;
    const char32_t c = vexo::next_code_point(text, i);
    const bool trigger = vexo::is_apostrophe(c) || c == 'h' || c == 'H' || c == 0xF6 ||
                         c == 0xD6 || c == 0x11F || c == 0x11E || c == 0x15F || c == 0x15E ||
                         c == 0xE7 || c == 0xC7;
    if (!trigger) out.append(text.substr(start, i - start));
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!vexo::is_valid_utf8(text)) return 0;

  for (const bool ascii : {false, true}) {
    const std::string old = vexo::to_old(text, ascii);
    check(vexo::is_valid_utf8(old), "to_old output is valid UTF-8");
    const std::string plain = without_triggers(text);
    check(vexo::to_old(plain, ascii) == plain, "to_old is the identity without its triggers");
  }
  const std::string cyrillic = vexo::to_cyrillic(text);
  check(vexo::is_valid_utf8(cyrillic), "to_cyrillic output is valid UTF-8");
  check(cyrillic == vexo::to_cyrillic_afresh(text),
        "to_cyrillic writes what writing every word anew writes");

  // Its lines, converted in turn, come out the same whether a memo is carried
  // from line to line or each starts afresh; the text twice over makes the
  // second round meet every word again.
  vexo::CyrillicMemo memo;
  for (int round = 0; round < 2; ++round) {
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t line_end = text.find('\n', start);
      const std::size_t end = line_end == std::string_view::npos ? text.size() : line_end + 1;
      const std::string_view line = text.substr(start, end - start);
      check(vexo::to_cyrillic(line, memo) == vexo::to_cyrillic(line),
            "to_cyrillic writes the same with a memo carried from line to line");
      start = end;
    }
  }
  return 0;
}
