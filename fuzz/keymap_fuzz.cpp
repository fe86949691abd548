// Any bytes as keymap.txt: parsing must not crash, and no cell may end up
// holding a control character or a value that is not a Unicode scalar.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tsf/keymap.h"

namespace {

bool is_storable(char32_t c) {
  return c >= 0x20 && !(c >= 0x7F && c <= 0x9F) && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vexo::tsf::KeyMap map = vexo::tsf::builtin_keymap("tilmoch");
  vexo::tsf::parse_keymap(text, map);
  for (unsigned scan = 0; scan <= vexo::tsf::kScanCodeCount; ++scan) {
    for (const unsigned state : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u}) {
      const auto c = vexo::tsf::keymap_lookup(map, scan, state & 1, state & 2, state & 4);
      if (c && !is_storable(*c)) __builtin_trap();
      if (c && scan == vexo::tsf::kScanCodeCount) __builtin_trap();
    }
  }
  return 0;
}
