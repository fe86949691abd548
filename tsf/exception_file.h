// Appending a word to `exceptions.txt`, which the user may also edit by hand.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexo::tsf {

// Appends `word` and a Line Feed to the exception file in `settings_dir`,
// creating the directory and the file when missing. A file that already has
// a line equal to the word (surrounding white space ignored) is left alone;
// a file whose last line lacks its Line Feed gets one before the word.
// Nothing on success; otherwise the reason, in English.
std::optional<std::string> append_exception(const std::optional<std::string>& settings_dir,
                                            std::string_view word);

}  // namespace vexo::tsf
