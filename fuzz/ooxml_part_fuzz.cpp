// Fuzzes the conversion of one XML part of an office document on arbitrary
// bytes. The first byte picks the element set, the direction and whether a
// workbook is asked to recalculate. A part must
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
                               std::vector<vexo::cli::Change>& changes,
                               vexo::cli::PartContext* context = nullptr) {
  try {
    return vexo::cli::convert_part(part, "word/document.xml", set, settings, changes, context);
  } catch (...) {
    vexo::fuzz::fail("convert_part let an exception out");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vexo::fuzz::InputReader reader(data, size);
  const std::uint8_t choice = reader.byte();
  using vexo::cli::ElementSet;
  // Bits 0-1 and 4-5 pick one of the eight sets.
  static constexpr ElementSet kSets[] = {
      ElementSet::WordProcessing, ElementSet::SharedString, ElementSet::InlineString,
      ElementSet::Markup,         ElementSet::SheetComments, ElementSet::TableColumns,
      ElementSet::Workbook,       ElementSet::Markup};
  const ElementSet set = kSets[(choice & 3) | ((choice >> 2) & 4)];
  vexo::cli::TextSettings settings;
  settings.options = vexo::fuzz::options_from(reader.byte(), 0);
  settings.old_mode = (choice & 4) != 0;
  settings.ascii = (choice & 8) != 0;
  const std::string_view part = reader.rest();

  vexo::cli::PartContext context;
  context.recalculate = (choice & 32) != 0;
  std::vector<vexo::cli::Change> changes;
  const vexo::cli::OoxmlResult result = convert(part, set, settings, changes, &context);
  check(result.ok() != result.bytes.empty() || part.empty() || !result.ok(),
        "a failed part carries no bytes");
  // A workbook asked to recalculate gains that request without word changes.
  if (result.ok() && changes.empty() && !context.recalculate) {
    check(result.bytes == part, "unchanged part kept byte for byte");
  }
  if (!result.ok()) check(changes.empty(), "a failed part reports no changes");

  if (!settings.old_mode) {
    const std::string plain = vexo::fuzz::without_convertible(part, "&");
    std::vector<vexo::cli::Change> none;
    const vexo::cli::OoxmlResult same = convert(plain, set, settings, none);
    if (same.ok()) check(same.bytes == plain && none.empty(), "nothing convertible, nothing changed");
  }
  return 0;
}
