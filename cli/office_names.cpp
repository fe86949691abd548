// Office markup vocabularies by namespace URI. See office_names.h.
#include "cli/office_names.h"

#include <array>

namespace vexo::cli {
namespace {

struct Uri {
  std::string_view uri;
  Namespace ns;
};

constexpr std::array kUris{
    Uri{"http://schemas.openxmlformats.org/wordprocessingml/2006/main", Namespace::Word},
    Uri{"http://purl.oclc.org/ooxml/wordprocessingml/main", Namespace::Word},
    Uri{"http://schemas.openxmlformats.org/spreadsheetml/2006/main", Namespace::Sheet},
    Uri{"http://purl.oclc.org/ooxml/spreadsheetml/main", Namespace::Sheet},
    Uri{"http://schemas.openxmlformats.org/drawingml/2006/main", Namespace::Drawing},
    Uri{"http://purl.oclc.org/ooxml/drawingml/main", Namespace::Drawing},
    Uri{"http://schemas.openxmlformats.org/drawingml/2006/chart", Namespace::Chart},
    Uri{"http://purl.oclc.org/ooxml/drawingml/chart", Namespace::Chart},
    Uri{"http://schemas.openxmlformats.org/presentationml/2006/main", Namespace::Presentation},
    Uri{"http://purl.oclc.org/ooxml/presentationml/main", Namespace::Presentation},
    Uri{"http://schemas.microsoft.com/office/spreadsheetml/2018/threadedcomments",
        Namespace::ThreadedComments},
    Uri{"http://purl.org/dc/elements/1.1/", Namespace::DublinCore},
    Uri{"http://schemas.openxmlformats.org/package/2006/metadata/core-properties",
        Namespace::CoreProperties},
    Uri{"urn:oasis:names:tc:opendocument:xmlns:office:1.0", Namespace::OdfOffice},
    Uri{"urn:oasis:names:tc:opendocument:xmlns:text:1.0", Namespace::OdfText},
    Uri{"urn:oasis:names:tc:opendocument:xmlns:meta:1.0", Namespace::OdfMeta},
    Uri{"urn:oasis:names:tc:opendocument:xmlns:table:1.0", Namespace::OdfTable},
    Uri{"urn:oasis:names:tc:opendocument:xmlns:style:1.0", Namespace::OdfStyle},
    Uri{"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0", Namespace::OdfFormat},
};

// What an undeclared prefix is taken to mean.
constexpr std::array<std::pair<std::string_view, Namespace>, 7> kConventionalPrefixes{{
    {"w", Namespace::Word},
    {"x", Namespace::Sheet},
    {"", Namespace::Sheet},
    {"a", Namespace::Drawing},
    {"c", Namespace::Chart},
    {"p", Namespace::Presentation},
    {"text", Namespace::OdfText},
}};

Namespace namespace_of(std::string_view uri) {
  for (const Uri& known : kUris) {
    if (known.uri == uri) return known.ns;
  }
  return Namespace::Unknown;
}

ElementRole word_role(std::string_view name) {
  if (name == "p") return {Role::Paragraph};
  if (name == "t") return {Role::Text};
  if (name == "delText") return {Role::DeletedText};
  if (name == "tab") return {Role::Break, '\t'};
  if (name == "br" || name == "cr") return {Role::Break, '\n'};
  if (name == "r") return {Role::Run};
  if (name == "rStyle") return {Role::RunStyle};
  if (name == "rFonts") return {Role::RunFont};
  if (name == "pStyle") return {Role::ParagraphStyle};
  return {};
}

ElementRole sheet_role(std::string_view name, ElementSet set) {
  if (name == "t") return {Role::Text};
  if (name == "rPh") return {Role::Skipped};
  if (name == "r") return {Role::Run};
  if (name == "rFont") return {Role::RunFont};
  if (name == "f" || name == "formula" || name == "formula1" || name == "formula2" ||
      name == "calculatedColumnFormula" || name == "totalsRowFormula" || name == "definedName") {
    return {Role::Formula};
  }
  switch (set) {
    case ElementSet::SharedString:
      if (name == "si") return {Role::Paragraph};
      break;
    case ElementSet::InlineString:
      if (name == "is") return {Role::Paragraph};
      if (name == "c") return {Role::Cell};
      if (name == "v") return {Role::CellValue};
      if (name == "oddHeader" || name == "oddFooter" || name == "evenHeader" ||
          name == "evenFooter" || name == "firstHeader" || name == "firstFooter") {
        return {Role::CodedWhole};
      }
      break;
    case ElementSet::SheetComments:
      if (name == "text") return {Role::Paragraph};
      break;
    case ElementSet::TableColumns:
      if (name == "tableColumn") return {Role::TableColumn};
      break;
    case ElementSet::Workbook:
      if (name == "sheet") return {Role::SheetName};
      if (name == "calcPr") return {Role::Calculation};
      break;
    default: break;
  }
  return {};
}

ElementRole drawing_role(std::string_view name) {
  if (name == "p") return {Role::Paragraph};
  if (name == "t") return {Role::Text};
  if (name == "br") return {Role::Break, '\n'};
  if (name == "r") return {Role::Run};
  if (name == "latin" || name == "cs" || name == "ea") return {Role::RunFont};
  return {};
}

ElementRole odf_text_role(std::string_view name) {
  if (name == "p" || name == "h") return {Role::TextParagraph};
  if (name == "span" || name == "a" || name == "title" || name == "subject" ||
      name == "description" || name == "ruby-base" || name == "meta") {
    return {Role::Inline};
  }
  if (name == "tab") return {Role::Break, '\t'};
  if (name == "line-break") return {Role::Break, '\n'};
  if (name == "s") return {Role::Break, ' '};
  return {};
}

}  // namespace

ElementRole role_of(Namespace ns, std::string_view name, ElementSet set) {
  switch (ns) {
    case Namespace::Word: return word_role(name);
    case Namespace::Sheet: return sheet_role(name, set);
    case Namespace::Drawing: return drawing_role(name);
    case Namespace::Chart:
      if (name == "pt") return {Role::Paragraph};
      if (name == "v") return {Role::Text};
      return {};
    case Namespace::Presentation:
    case Namespace::ThreadedComments: return name == "text" ? ElementRole{Role::Whole} : ElementRole{};
    case Namespace::DublinCore:
      if (name == "title" || name == "subject" || name == "description") return {Role::Whole};
      return {};
    case Namespace::CoreProperties:
      if (name == "keywords" || name == "category") return {Role::Whole};
      return {};
    case Namespace::OdfText: return odf_text_role(name);
    case Namespace::OdfMeta: return name == "keyword" ? ElementRole{Role::Whole} : ElementRole{};
    case Namespace::OdfTable:
      if (name == "table") return {Role::SheetTable};
      if (name == "table-cell" || name == "covered-table-cell") return {Role::StringValue};
      return {};
    case Namespace::OdfStyle:
      if (name == "style") return {Role::StyleDefinition};
      if (name == "text-properties") return {Role::StyleFont};
      return {};
    case Namespace::OdfOffice:
      return name == "spreadsheet" ? ElementRole{Role::Spreadsheet} : ElementRole{};
    case Namespace::OdfFormat:
    case Namespace::Unknown: return {};
  }
  return {};
}

std::string_view local_name(std::string_view qualified) {
  const std::size_t colon = qualified.find(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

void NamespaceScope::open(const char** attributes) {
  marks_.push_back(bindings_.size());
  for (std::size_t i = 0; attributes != nullptr && attributes[i] != nullptr; i += 2) {
    const std::string_view name = attributes[i];
    if (name == "xmlns") {
      bindings_.push_back({"", namespace_of(attributes[i + 1])});
    } else if (name.starts_with("xmlns:")) {
      bindings_.push_back({std::string(name.substr(6)), namespace_of(attributes[i + 1])});
    }
  }
}

void NamespaceScope::close() {
  if (marks_.empty()) return;
  bindings_.resize(marks_.back());
  marks_.pop_back();
}

std::pair<Namespace, std::string_view> NamespaceScope::resolve(std::string_view qualified) const {
  const std::size_t colon = qualified.find(':');
  const std::string_view prefix =
      colon == std::string_view::npos ? std::string_view{} : qualified.substr(0, colon);
  const std::string_view local = local_name(qualified);
  for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
    if (it->prefix == prefix) return {it->ns, local};
  }
  for (const auto& [conventional, ns] : kConventionalPrefixes) {
    if (conventional == prefix) return {ns, local};
  }
  return {Namespace::Unknown, local};
}

namespace {

// Lower-case ASCII letters of the name, other characters dropped, so that
// "HTML Code", "HTMLCode" and "Source_20_Text" compare alike.
std::string squeezed(std::string_view name) {
  std::string out;
  for (const char c : name) {
    if (c >= 'A' && c <= 'Z') out.push_back(static_cast<char>(c - 'A' + 'a'));
    else if (c >= 'a' && c <= 'z') out.push_back(c);
  }
  return out;
}

}  // namespace

bool is_code_style(std::string_view style) {
  const std::string name = squeezed(style);
  for (std::string_view mark : {"code", "verbatim", "sourcetext", "preformatted", "monospace",
                                "teletype", "listing", "macrotext", "kod"}) {
    if (name.find(mark) != std::string::npos) return true;
  }
  return false;
}

bool is_monospace_font(std::string_view font) {
  const std::string name = squeezed(font);
  if (name.find("mono") != std::string::npos && name.find("monotype") == std::string::npos) {
    return true;
  }
  for (std::string_view mark : {"courier", "consolas", "lucidaconsole", "menlo", "monaco",
                                "sourcecode", "firacode", "inconsolata", "cascadia"}) {
    if (name.find(mark) != std::string::npos) return true;
  }
  return false;
}

}  // namespace vexo::cli
