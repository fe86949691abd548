// Line and white-space handling shared by the text service's small files.
//
// A file is split into lines at Line Feed; one Carriage Return before it (or
// at the end of the last line) is dropped, and a byte-order mark at the start
// of a line is skipped. All functions expect valid UTF-8.
#pragma once

#include <string_view>
#include <vector>

namespace vexo::tsf {

// The lines of a text, without their ends.
std::vector<std::string_view> split_lines(std::string_view text);

// The text without leading and trailing White_Space characters.
std::string_view trim(std::string_view text);

// The pieces of a text between runs of White_Space characters.
std::vector<std::string_view> split_white_space(std::string_view text);

// A C0 or C1 control character (below U+0020, or U+007F to U+009F): never
// taken from a file as a character to type.
constexpr bool is_control_character(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace vexo::tsf
