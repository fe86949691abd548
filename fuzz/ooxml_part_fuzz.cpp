// Fuzzes the conversion of one XML part of an office document on arbitrary
// bytes. The first byte picks the element set and the direction. A part must
// give either a result or an error message, never an exception; a result
// without word changes is the input byte for byte, and a part holding nothing
// convertible always comes back as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/ooxml.h"
#include "fuzz/fuzz_input.h"

namespace {

using vexo::fuzz::check;

vexo::cli::OoxmlResult convert(std::string_view part, vexo::cli::ElementSet set,
                               const vexo::cli::TextSettings& settings,
                               std::vector<vexo::cli::Change>& changes) {
  try {
    return vexo::cli::convert_part(part, "word/document.xml", set, settings, changes);
  } catch (...) {
    vexo::fuzz::fail("convert_part let an exception out");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vexo::fuzz::InputReader reader(data, size);
  const std::uint8_t choice = reader.byte();
  static constexpr vexo::cli::ElementSet kSets[] = {vexo::cli::ElementSet::WordProcessing,
                                                    vexo::cli::ElementSet::SharedString,
                                                    vexo::cli::ElementSet::InlineString};
  const vexo::cli::ElementSet set = kSets[choice % 3];
  vexo::cli::TextSettings settings;
  settings.options = vexo::fuzz::options_from(reader.byte(), 0);
  settings.old_mode = (choice & 4) != 0;
  settings.ascii = (choice & 8) != 0;
  const std::string_view part = reader.rest();

  std::vector<vexo::cli::Change> changes;
  const vexo::cli::OoxmlResult result = convert(part, set, settings, changes);
  check(result.ok() != result.bytes.empty() || part.empty() || !result.ok(),
        "a failed part carries no bytes");
  if (result.ok() && changes.empty()) check(result.bytes == part, "unchanged part kept byte for byte");
  if (!result.ok()) check(changes.empty(), "a failed part reports no changes");

  if (!settings.old_mode) {
    const std::string plain = vexo::fuzz::without_convertible(part, "&");
    std::vector<vexo::cli::Change> none;
    const vexo::cli::OoxmlResult same = convert(plain, set, settings, none);
    if (same.ok()) check(same.bytes == plain && none.empty(), "nothing convertible, nothing changed");
  }
  return 0;
}
