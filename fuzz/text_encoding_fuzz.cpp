// Fuzzes the decoding of text files (UTF-8, UTF-16 with a byte-order mark):
// whatever decodes is valid UTF-8 and encodes back to the very same bytes,
// and decoding the file in slices of a few bytes gives what decoding it whole
// gives, failing exactly when that fails.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cli/text_encoding.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto decoded = vexo::cli::decode_text(bytes);

  // Slice lengths of 1 to 8 bytes from a generator seeded by the input.
  std::uint32_t state = static_cast<std::uint32_t>(size) * 2654435761u + (size > 0 ? data[0] : 0);
  vexo::cli::TextDecoder decoder;
  std::string text;
  bool ok = true;
  for (std::string_view rest = bytes; ok;) {
    state = state * 1664525u + 1013904223u;
    const std::size_t length = std::min<std::size_t>(1 + (state >> 29), rest.size());
    const bool ended = length == rest.size();
    ok = decoder.add(rest.substr(0, length), ended, text);
    rest.remove_prefix(length);
    if (ended) break;
  }
  vexo::fuzz::check(ok == decoded.has_value(), "slices fail where the whole file fails");
  if (!decoded) return 0;
  vexo::fuzz::check(text == decoded->text, "slices decode to the whole file's text");
  vexo::fuzz::check(decoder.encoding() == decoded->encoding, "slices tell the same encoding");
  vexo::fuzz::check(vexo::is_valid_utf8(decoded->text), "decoded text is UTF-8");
  vexo::fuzz::check(vexo::cli::encode_text(decoded->text, decoded->encoding) == bytes,
                    "decoded text encodes back to its bytes");
  return 0;
}
