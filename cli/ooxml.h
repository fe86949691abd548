// Conversion of the text inside office packages (.docx, .xlsx, .pptx and
// their relatives, and OpenDocument .odt, .ods, .odp) without disturbing
// anything else in them.
//
// A package is a ZIP archive of XML parts. Only the parts that hold running
// text are read; inside them only the content of text elements changes. The
// XML is never re-serialised: new text is spliced into the original bytes at
// the positions the parser reports, so declarations, attributes, formatting
// and white space between elements stay byte for byte. A converted paragraph
// is laid back over its runs so that formatting stays where it was.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/changes.h"
#include "cli/office_parts.h"
#include "cli/package_io.h"
#include "core/lib.h"

namespace vexo::cli {

// How text is converted: to the new alphabet with `options`, or, in old mode,
// back to the old spelling (with plain ' apostrophes when `ascii`).
struct TextSettings {
  ConvertOptions options;
  bool old_mode = false;
  bool ascii = false;
};

std::string convert_text(std::string_view text, const TextSettings& settings);

// Text a reader sees that is left in the old spelling on purpose: sheet
// names (renaming a sheet would break every reference to it) and text set
// as code (a code style or a monospace font).
enum class KeptReason { SheetName, Code };
struct KeptText {
  std::string location;  // the part name
  std::string text;
  KeptReason reason;
};

// The texts left as written, counted per reason; only the first
// kMaxListedKept are held for the listing, so a document full of code costs
// no memory.
inline constexpr std::size_t kMaxListedKept = 100;
class KeptTexts {
 public:
  void add(std::string_view location, std::string_view text, KeptReason reason);
  void append(const KeptTexts& other);
  std::size_t count(KeptReason reason) const { return counts_[static_cast<std::size_t>(reason)]; }
  const std::vector<KeptText>& listed() const { return listed_; }

 private:
  std::array<std::size_t, 2> counts_{};
  std::vector<KeptText> listed_;
};

// What a part conversion is told by its package.
struct PartContext {
  // Workbook: ask the application to recalculate on open, because cell text
  // changed and cached formula results may hold the old text.
  bool recalculate = false;
  KeptTexts* kept = nullptr;  // receives the texts left as written, when given
};

// A new part or package, or the reason there is none.
struct OoxmlResult {
  std::string bytes;
  std::string error;  // empty on success
  bool ok() const { return error.empty(); }
};

// Converts one XML part. Appends the word changes, located at `part_name`,
// to `changes` (only when the part converts). A malformed part, one that
// declares entities, or one not in UTF-8 gives "XML xatosi (N-bayt): " and
// the parser's description. A part that needs no change comes back
// byte-identical.
OoxmlResult convert_part(std::string_view part, std::string_view part_name, ElementSet set,
                         const TextSettings& settings, std::vector<Change>& changes,
                         PartContext* context = nullptr);

// The same, handing each change to `changes` as its paragraph is converted;
// a part that fails further on may already have passed some.
OoxmlResult convert_part(std::string_view part, std::string_view part_name, ElementSet set,
                         const TextSettings& settings, ChangeSink& changes,
                         const PartContext& context = {});

// Limits on what a package may expand to, so that a small hostile archive
// cannot exhaust memory: the text parts together, and the compression ratio
// of any text part above kRatioCheckedSize (its compressed size counted as at
// most the archive's own size, whatever its header claims).
inline constexpr std::uint64_t kMaxTotalPartBytes = std::uint64_t{1} << 30;  // 1 GiB
inline constexpr std::uint64_t kRatioCheckedSize = std::uint64_t{10} << 20;  // 10 MiB
inline constexpr std::uint64_t kMaxCompressionRatio = 200;

// Converts every text part of a package and writes a new package with the
// same entries in the same order, names and modification times; untouched
// entries keep their stored bytes, and a package whose text needs no change
// comes back byte for byte. Appends the changes of each part, with the part
// name as location, in archive order. Errors: "zip: " and the library's
// description, the part name, ": " and the part's message, or the refusal of
// an encrypted document (an OLE compound file); then nothing is returned.
// Text left as written goes to `kept` when given.
OoxmlResult convert_package(std::string_view package, PackageKind kind,
                            const TextSettings& settings, std::vector<Change>& changes,
                            KeptTexts* kept = nullptr);

// The same, reading the package from `input` and writing the new one to
// `output`, or only passing the changes on when `output` is null. Returns
// the error message, empty on success; after a failure the output holds
// nothing usable and `changes` may have received some. Memory: the parts are
// converted one at a time, so besides the archive's directory only one text
// part, its conversion and the state of one paragraph are held (a few times
// the largest text part).
std::string convert_package(PackageInput& input, PackageOutput* output, PackageKind kind,
                            const TextSettings& settings, ChangeSink& changes,
                            KeptTexts* kept = nullptr);

}  // namespace vexo::cli
