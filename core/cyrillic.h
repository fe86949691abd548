// Cyrillic input: Uzbek words written in Cyrillic, wholly or in part, are
// rewritten letter by letter in the 2026 Latin alphabet (ў -> ö, ғ -> ğ,
// ш -> ş, ч -> ç, ъ -> the tutuq).
#pragma once

#include <string>
#include <string_view>

namespace vexo {

// True when the character lies in the Cyrillic block U+0400..U+04FF.
constexpr bool is_cyrillic(char32_t c) { return (c & ~char32_t{0xFF}) == 0x400; }

// True when the text holds a character of the Cyrillic block.
bool has_cyrillic(std::string_view text);

// Transliterates one word of valid UTF-8. Cyrillic letters are replaced (е
// and ц by their neighbours; a capital with a two-letter result is written
// in capitals inside a run of two or more capitals, ЁШЛАР -> YOŞLAR,
// ЯИМдаги -> YAIMdagi, else in title case, Ёлқин -> Yolqin); every other
// character, Cyrillic letters without a Latin counterpart included, is
// copied as it stands. `tutuq` is written for ъ. Linear in the word's
// length. Never fails.
std::string transliterate_cyrillic(std::string_view word, char32_t tutuq);

}  // namespace vexo
