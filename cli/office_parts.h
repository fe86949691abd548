// Which entries of an office package hold text a reader sees, and how each
// one is read. Every other entry is carried over byte for byte.
#pragma once

#include <optional>
#include <string_view>

namespace vexo::cli {

enum class PackageKind { WordProcessing, Spreadsheet, Presentation, OpenDocument };

// How the elements of a part are read. The sets differ only where one
// vocabulary gives an element different jobs in different parts; elements of
// every other vocabulary (drawing text, charts, document properties,
// OpenDocument text) mean the same in every part.
enum class ElementSet {
  WordProcessing,  // documents, headers, footers, notes, comments
  SharedString,    // the workbook's shared strings: <si> paragraphs
  InlineString,    // worksheets: <is> paragraphs, header and footer texts
  SheetComments,   // cell comments: <text> paragraphs
  Markup,          // drawings, charts, slides, properties, OpenDocument parts
  TableColumns,    // spreadsheet tables: column names kept in step with header cells
  Workbook,        // sheet names (reported, not renamed) and calculation settings
};

// The element set a package entry is converted with, or nullopt when the
// entry is carried over unchanged. Names compare exactly (case matters).
std::optional<ElementSet> select_part(std::string_view entry_name, PackageKind kind);

}  // namespace vexo::cli
