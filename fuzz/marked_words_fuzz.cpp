// Fuzzes the laying of a conversion's words over its result: for any valid
// UTF-8 text the pieces must give the conversion back in order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/marked_words.h"
#include "core/unicode.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!vexo::is_valid_utf8(text)) return 0;
  const vexo::cli::MarkedText marked = vexo::cli::mark_words(text, vexo::ConvertOptions{});
  std::string joined;
  for (const vexo::cli::MarkedWord& w : marked.words) {
    vexo::fuzz::check(!w.word.empty(), "a marked word is never empty");
    joined += w.before + w.converted;
  }
  vexo::fuzz::check(joined + marked.tail == marked.text, "the pieces give the conversion back");
  return 0;
}
