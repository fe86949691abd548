// The vocabularies of office markup: which elements make paragraphs, hold
// text, stand for a tab or a line break, or mark text as code. Elements are
// known by their namespace URI (Office Open XML Transitional and Strict, and
// OpenDocument), whatever prefix a part binds it to.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/office_parts.h"

namespace vexo::cli {

enum class Namespace {
  Unknown,
  Word,
  Sheet,
  Drawing,
  Chart,
  Presentation,
  ThreadedComments,
  DublinCore,
  CoreProperties,
  OdfOffice,
  OdfText,
  OdfMeta,
  OdfTable,
  OdfStyle,
  OdfFormat,
};

enum class Role {
  Other,
  Paragraph,       // holds text elements (and breaks) making one text
  Text,            // its whole content is text of the enclosing paragraph
  DeletedText,     // like Text, but deleted (a tracked change): converted on its own
  Whole,           // a paragraph of one text element: a title, a comment
  CodedWhole,      // like Whole, with format codes (&P, &"Arial,Bold") kept
  Formula,         // like Whole, but only the table column names in it change
  TextParagraph,   // a paragraph whose own character data is text (OpenDocument)
  Inline,          // inside a TextParagraph, its character data is text too
  Break,           // stands for one character of the paragraph
  Skipped,         // nothing inside is paragraph text
  Run,             // a run whose properties may mark it as code
  RunStyle,        // a style reference (attribute "val" or "style-name")
  RunFont,         // a font choice (attributes naming a typeface)
  ParagraphStyle,  // a paragraph's style reference
  TableColumn,     // a spreadsheet table column, named by attribute "name"
  SheetName,       // a workbook's sheet, named by attribute "name"
  SheetTable,      // an OpenDocument table: a sheet when inside a spreadsheet
  Spreadsheet,     // an OpenDocument spreadsheet's body
  Calculation,     // a workbook's calculation settings
  Cell,            // a worksheet cell: its type tells whether its value is text
  CellValue,       // a cell's value: the cached result of a text formula is text
  StringValue,     // an OpenDocument cell with a cached text result in an attribute
  StyleDefinition, // an OpenDocument style, named by "style:name"
  StyleFont,       // an OpenDocument style's text properties
};

struct ElementRole {
  Role role = Role::Other;
  char placeholder = 0;  // the character a Break stands for
};

ElementRole role_of(Namespace ns, std::string_view local_name, ElementSet set);

// Namespace bindings in scope while a part is read, from its xmlns
// attributes. A prefix the part never declares is read as the namespace it
// conventionally stands for ("w", "a", "x"), and an unprefixed name without a
// default namespace as a spreadsheet name, so fragments written by other
// tools are still understood.
class NamespaceScope {
 public:
  // Opens an element: binds the declarations among its attributes
  // (name/value pairs as the parser gives them).
  void open(const char** attributes);
  void close();
  // The namespace and local name of a qualified element name.
  std::pair<Namespace, std::string_view> resolve(std::string_view qualified) const;

 private:
  struct Binding {
    std::string prefix;
    Namespace ns;
  };
  std::vector<Binding> bindings_;
  std::vector<std::size_t> marks_;  // bindings_ size when each element opened
};

// The local part of a qualified attribute or element name.
std::string_view local_name(std::string_view qualified);

// Whether a style name or id marks text as code (HTML Code, Source Text,
// Verbatim Char, Preformatted Text, ...), and whether a typeface is a
// monospace one.
bool is_code_style(std::string_view style);
bool is_monospace_font(std::string_view font);

}  // namespace vexo::cli
