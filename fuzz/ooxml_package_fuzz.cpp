// Fuzzes the conversion of a whole office package on arbitrary bytes: a
// result or an error message, never an exception, a crash or a runaway
// allocation (the package limits bound what an archive may expand to).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/ooxml.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vexo::fuzz::InputReader reader(data, size);
  const std::uint8_t choice = reader.byte();
  static constexpr vexo::cli::PackageKind kKinds[] = {
      vexo::cli::PackageKind::WordProcessing, vexo::cli::PackageKind::Spreadsheet,
      vexo::cli::PackageKind::Presentation, vexo::cli::PackageKind::OpenDocument};
  const vexo::cli::PackageKind kind = kKinds[(choice & 1) | ((choice >> 1) & 2)];
  vexo::cli::TextSettings settings;
  settings.old_mode = (choice & 2) != 0;
  std::vector<vexo::cli::Change> changes;
  try {
    const vexo::cli::OoxmlResult result =
        vexo::cli::convert_package(reader.rest(), kind, settings, changes);
    vexo::fuzz::check(result.ok() || result.bytes.empty(), "a failed package carries no bytes");
    // Listing the changes alone reads the same parts and finds the same.
    vexo::cli::MemoryInput input(reader.rest());
    vexo::cli::ChangeTally tally;
    const std::string error = vexo::cli::convert_package(input, nullptr, kind, settings, tally);
    if (result.ok()) {
      vexo::fuzz::check(error.empty() && tally.count() == changes.size(),
                        "the changes alone agree with the conversion");
    }
  } catch (...) {
    vexo::fuzz::fail("convert_package let an exception out");
  }
  return 0;
}
