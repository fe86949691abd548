// Helpers shared by the fuzz targets: reading options from the first bytes of
// an input, and stopping with a message when an invariant does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/lib.h"
#include "core/unicode.h"

namespace vexo::fuzz {

// Reads bytes off the front of an input; past the end it gives zeros.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  std::uint8_t byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }

  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// Stops the run with a message; libFuzzer records the input as a crash.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

inline void check(bool holds, const char* what) {
  if (!holds) fail(what);
}

// Conversion options from one flags byte and one tutuq choice byte.
inline ConvertOptions options_from(std::uint8_t flags, std::uint8_t tutuq_choice) {
  static constexpr char32_t kTutuqs[] = {0x02BC, 0x2019, U'\'', 0x02BB};
  ConvertOptions options;
  options.guard = (flags & 1) != 0;
  options.cyrillic = (flags & 2) != 0;
  options.restore = (flags & 4) != 0;
  options.tutuq = kTutuqs[tutuq_choice % 4];
  if ((flags & 8) != 0) options.exceptions = {"o'g'il", "shahar", "choy"};
  return options;
}

// The text with every character removed that the new-alphabet conversion
// could act on: apostrophes, anything beyond ASCII (Cyrillic, combining marks,
// comma-below letters) and the letters of o' g' sh ch. `also` names further
// characters to drop, such as '&' in XML, where a character reference can
// spell any of the others.
inline std::string without_convertible(std::string_view text, std::string_view also = {}) {
  std::string out;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) continue;
    if (std::string_view("'`oOgGsScC").find(c) != std::string_view::npos) continue;
    if (also.find(c) != std::string_view::npos) continue;
    out += c;
  }
  return out;
}

}  // namespace vexo::fuzz
