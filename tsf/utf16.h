// UTF-16 at the edge of the text service: documents hand out UTF-16 units,
// the core works in UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexo::tsf {

// The UTF-8 form of UTF-16 units; nothing when they hold an unpaired
// surrogate.
std::optional<std::string> utf16_to_utf8(std::u16string_view units);

// The UTF-16 form of valid UTF-8 text.
std::u16string utf8_to_utf16(std::string_view text);

// The UTF-16 form of one scalar value: one unit, or a surrogate pair.
std::u16string utf16_of(char32_t c);

}  // namespace vexo::tsf
