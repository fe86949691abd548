// The table of text-bearing parts per package kind. See office_parts.h.
#include "cli/office_parts.h"

#include <array>

namespace vexo::cli {
namespace {

// A folder, a file-name start and an ending, with no further "/" between the
// folder and the ending.
struct PartPattern {
  std::string_view folder;
  std::string_view start;
  std::string_view ending;
  ElementSet set;
};

bool matches(std::string_view name, const PartPattern& pattern) {
  if (!name.starts_with(pattern.folder) || !name.ends_with(pattern.ending)) return false;
  if (name.size() < pattern.folder.size() + pattern.ending.size() + 1) return false;
  const std::string_view file =
      name.substr(pattern.folder.size(), name.size() - pattern.folder.size() - pattern.ending.size());
  return file.find('/') == std::string_view::npos && file.starts_with(pattern.start);
}

constexpr PartPattern kProperties{"docProps/", "core", ".xml", ElementSet::Markup};

constexpr std::array kWordParts{
    PartPattern{"word/", "document", ".xml", ElementSet::WordProcessing},
    PartPattern{"word/", "header", ".xml", ElementSet::WordProcessing},
    PartPattern{"word/", "footer", ".xml", ElementSet::WordProcessing},
    PartPattern{"word/", "footnotes", ".xml", ElementSet::WordProcessing},
    PartPattern{"word/", "endnotes", ".xml", ElementSet::WordProcessing},
    PartPattern{"word/", "comments", ".xml", ElementSet::WordProcessing},
    PartPattern{"word/charts/", "chart", ".xml", ElementSet::Markup},
    PartPattern{"word/diagrams/", "data", ".xml", ElementSet::Markup},
    PartPattern{"word/diagrams/", "drawing", ".xml", ElementSet::Markup},
    kProperties,
};

constexpr std::array kSheetParts{
    PartPattern{"xl/worksheets/", "", ".xml", ElementSet::InlineString},
    PartPattern{"xl/", "comments", ".xml", ElementSet::SheetComments},
    PartPattern{"xl/comments/", "", ".xml", ElementSet::SheetComments},
    PartPattern{"xl/threadedComments/", "", ".xml", ElementSet::Markup},
    PartPattern{"xl/drawings/", "", ".xml", ElementSet::Markup},
    PartPattern{"xl/charts/", "chart", ".xml", ElementSet::Markup},
    PartPattern{"xl/diagrams/", "data", ".xml", ElementSet::Markup},
    PartPattern{"xl/diagrams/", "drawing", ".xml", ElementSet::Markup},
    PartPattern{"xl/tables/", "", ".xml", ElementSet::TableColumns},
    kProperties,
};

constexpr std::array kPresentationParts{
    PartPattern{"ppt/slides/", "", ".xml", ElementSet::Markup},
    PartPattern{"ppt/notesSlides/", "", ".xml", ElementSet::Markup},
    PartPattern{"ppt/slideLayouts/", "", ".xml", ElementSet::Markup},
    PartPattern{"ppt/slideMasters/", "", ".xml", ElementSet::Markup},
    PartPattern{"ppt/notesMasters/", "", ".xml", ElementSet::Markup},
    PartPattern{"ppt/handoutMasters/", "", ".xml", ElementSet::Markup},
    PartPattern{"ppt/comments/", "", ".xml", ElementSet::Markup},
    PartPattern{"ppt/charts/", "chart", ".xml", ElementSet::Markup},
    PartPattern{"ppt/diagrams/", "data", ".xml", ElementSet::Markup},
    PartPattern{"ppt/diagrams/", "drawing", ".xml", ElementSet::Markup},
    kProperties,
};

template <std::size_t N>
std::optional<ElementSet> find(std::string_view name, const std::array<PartPattern, N>& table) {
  for (const PartPattern& pattern : table) {
    if (matches(name, pattern)) return pattern.set;
  }
  return std::nullopt;
}

}  // namespace

std::optional<ElementSet> select_part(std::string_view name, PackageKind kind) {
  switch (kind) {
    case PackageKind::WordProcessing: return find(name, kWordParts);
    case PackageKind::Spreadsheet:
      if (name == "xl/sharedStrings.xml") return ElementSet::SharedString;
      if (name == "xl/workbook.xml") return ElementSet::Workbook;
      return find(name, kSheetParts);
    case PackageKind::Presentation: return find(name, kPresentationParts);
    case PackageKind::OpenDocument:
      if (name == "content.xml" || name == "styles.xml" || name == "meta.xml") {
        return ElementSet::Markup;
      }
      // Embedded objects (charts) are documents of their own.
      if (matches(name, {"Object ", "", "/content.xml", ElementSet::Markup})) {
        return ElementSet::Markup;
      }
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace vexo::cli
