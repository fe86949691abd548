// Fuzzes the decoding of text files (UTF-8, UTF-16 with a byte-order mark):
// whatever decodes is valid UTF-8 and encodes back to the very same bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cli/text_encoding.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto decoded = vexo::cli::decode_text(bytes);
  if (!decoded) return 0;
  vexo::fuzz::check(vexo::is_valid_utf8(decoded->text), "decoded text is UTF-8");
  vexo::fuzz::check(vexo::cli::encode_text(decoded->text, decoded->encoding) == bytes,
                    "decoded text encodes back to its bytes");
  return 0;
}
