// Package and part conversion for Office Open XML. See ooxml.h.
#include "cli/ooxml.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <ctime>
#include <list>
#include <memory>
#include <new>
#include <span>

#include "cli/align.h"
#include "cli/deflate.h"
#include "cli/formula_names.h"
#include "cli/office_names.h"
#include "cli/package_io.h"
#include "core/reverse.h"
#include "core/unicode.h"

namespace vexo::cli {

std::string convert_text(std::string_view text, const TextSettings& settings) {
  return settings.old_mode ? to_old(text, settings.ascii) : convert(text, settings.options);
}

namespace {

// ---------------------------------------------------------------------------
// Part conversion

// Paragraphs longer than this are converted in groups of whole pieces of
// at most this size, and a single piece longer than this in slices, so that
// the working memory of conversion and alignment stays bounded however long a
// paragraph (or a spreadsheet cell) is. A slice ends at a line break or space
// where there is one; a word is judged by its own group's or slice's context.
constexpr std::size_t kMaxParagraphSlice = std::size_t{1} << 20;

// The bytes of a part handed to the XML parser at a time.
constexpr std::size_t kParseSlice = std::size_t{1} << 18;

// The length of the next slice of a long text.
std::size_t slice_length(std::string_view text) {
  if (text.size() <= kMaxParagraphSlice) return text.size();
  const std::string_view window = text.substr(0, kMaxParagraphSlice);
  std::size_t end = window.rfind('\n');
  if (end == std::string_view::npos || end < kMaxParagraphSlice / 2) end = window.rfind(' ');
  if (end != std::string_view::npos && end > 0) return end;
  end = kMaxParagraphSlice;  // one huge word: cut between characters
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return end;
}

// The content of one text element, or one stretch of character data directly
// inside an OpenDocument paragraph; unused for placeholders.
struct PieceSpan {
  std::size_t tag_begin = 0;      // the text element's start tag
  std::size_t content_begin = 0;  // its content, between the start and end tags
  std::size_t content_end = 0;
  bool stretch = false;  // character data without an element of its own
  bool code = false;     // set as code: left as written
  bool deleted = false;  // deleted text of a tracked change
};

struct Paragraph {
  Role kind = Role::Paragraph;
  bool code = false;      // a code paragraph style
  bool verbatim = false;  // holds markup whose bytes cannot be rewritten safely
  std::vector<Piece> pieces;
  std::vector<PieceSpan> spans;  // parallel to pieces
};

struct Splice {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string bytes;
};

// The text escaped for XML element content.
std::string escape_content(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t plain = 0;  // the start of the characters not yet written
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::string_view escaped;
    switch (text[i]) {
      case '&': escaped = "&amp;"; break;
      case '<': escaped = "&lt;"; break;
      case '>': escaped = "&gt;"; break;
      case '\r': escaped = "&#13;"; break;
      default: continue;
    }
    out.append(text, plain, i - plain).append(escaped);
    plain = i + 1;
  }
  return out.append(text, plain);
}

// The text escaped for an attribute value in either kind of quotes.
std::string escape_attribute(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

bool is_xml_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The byte range of the value of attribute `name` inside a start tag, or
// nullopt. The tag is well-formed (the parser accepted it).
std::optional<std::pair<std::size_t, std::size_t>> attribute_value(std::string_view tag,
                                                                   std::string_view name) {
  std::size_t i = 1;
  while (i < tag.size() && !is_xml_space(tag[i]) && tag[i] != '>' && tag[i] != '/') ++i;
  while (true) {
    while (i < tag.size() && is_xml_space(tag[i])) ++i;
    if (i >= tag.size() || tag[i] == '>' || tag[i] == '/') return std::nullopt;
    const std::size_t name_begin = i;
    while (i < tag.size() && tag[i] != '=' && !is_xml_space(tag[i])) ++i;
    const std::string_view attribute = tag.substr(name_begin, i - name_begin);
    while (i < tag.size() && tag[i] != '"' && tag[i] != '\'') ++i;
    if (i >= tag.size()) return std::nullopt;
    const char quote = tag[i++];
    const std::size_t value_begin = i;
    while (i < tag.size() && tag[i] != quote) ++i;
    if (attribute == name) return std::pair{value_begin, i};
    ++i;
  }
}

// The decoded value of the attribute whose local name is `name`, or empty.
std::string_view attribute(const char** attributes, std::string_view name) {
  for (std::size_t i = 0; attributes != nullptr && attributes[i] != nullptr; i += 2) {
    if (local_name(attributes[i]) == name) return attributes[i + 1];
  }
  return {};
}

bool starts_with_space(std::string_view text) {
  if (text.empty()) return false;
  std::size_t i = 0;
  return is_white_space(next_code_point(text, i));
}

bool ends_with_space(std::string_view text) {
  if (text.empty()) return false;
  std::size_t i = text.size();
  return is_white_space(previous_code_point(text, i));
}

// The length of the header/footer format code at `at` (which holds '&'):
// "&&", "&L", "&P", "&12", "&KFF0000", "&\"Arial,Bold\"".
std::size_t format_code_length(std::string_view text, std::size_t at) {
  constexpr std::size_t kColourCode = 8;  // &K and six hexadecimal digits
  if (at + 1 >= text.size()) return text.size() - at;
  const char c = text[at + 1];
  if (c == '"') {
    const std::size_t close = text.find('"', at + 2);
    return close == std::string_view::npos ? text.size() - at : close + 1 - at;
  }
  if (c == 'K') return std::min(kColourCode, text.size() - at);
  if (c >= '0' && c <= '9') {
    std::size_t end = at + 1;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    return end - at;
  }
  return 2;
}

class PartConverter {
 public:
  PartConverter(std::string_view part, std::string_view part_name, ElementSet set,
                const TextSettings& settings, ChangeSink& changes, const PartContext& context)
      : part_(part),
        part_name_(part_name),
        set_(set),
        settings_(settings),
        changes_(changes),
        context_(context) {}

  OoxmlResult run() {
    // New text is spliced in as UTF-8, so only UTF-8 parts can be converted;
    // the parser would otherwise follow a UTF-16 byte-order mark.
    if (part_.starts_with("\xFE\xFF") || part_.starts_with("\xFF\xFE") ||
        (part_.size() >= 2 && (part_[0] == '\0' || part_[1] == '\0'))) {
      return {{}, "XML xatosi (0-bayt): kodlash UTF-8 emas"};
    }
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate("UTF-8"),
                                                                        &XML_ParserFree);
    if (!parser) return {{}, "XML xatosi (0-bayt): out of memory"};
    parser_ = parser.get();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &PartConverter::on_start, &PartConverter::on_end);
    XML_SetCharacterDataHandler(parser_, &PartConverter::on_text);
    XML_SetCdataSectionHandler(parser_, &PartConverter::on_cdata, nullptr);
    XML_SetEntityDeclHandler(parser_, &PartConverter::on_entity_declaration);

    // The parser copies what it is given into a buffer of its own: fed in
    // slices, it holds little more than one slice instead of a second copy of
    // the part. Positions still count from the start of the part.
    std::size_t offset = 0;
    do {
      const std::size_t length = std::min(kParseSlice, part_.size() - offset);
      const bool last = offset + length == part_.size();
      if (XML_Parse(parser_, part_.data() + offset, static_cast<int>(length), last) !=
          XML_STATUS_OK) {
        return {{}, parse_error()};
      }
      offset += length;
    } while (offset < part_.size());

    if (context_.recalculate && !recalculation_asked_ && calculation_anchor_) {
      splices_.push_back({*calculation_anchor_, *calculation_anchor_,
                          "<" + workbook_prefix_ + "calcPr fullCalcOnLoad=\"1\"/>"});
    }
    if (splices_.empty()) return {std::string(part_), {}};
    return {apply_splices(), {}};
  }

 private:
  // One open element.
  struct Frame {
    Role role = Role::Other;
    bool text_container = false;  // its own character data is paragraph text
    bool code = false;            // everything inside is set as code
  };

  static PartConverter& self(void* data) { return *static_cast<PartConverter*>(data); }

  Piece& active_piece() { return paragraphs_[active_paragraph_].pieces.back(); }

  std::size_t position() const {
    return static_cast<std::size_t>(XML_GetCurrentByteIndex(parser_));
  }
  std::size_t event_end() const {
    return position() + static_cast<std::size_t>(XML_GetCurrentByteCount(parser_));
  }

  std::string parse_error() const {
    const std::string description =
        refusal_.empty() ? XML_ErrorString(XML_GetErrorCode(parser_)) : refusal_;
    const XML_Index at = XML_GetCurrentByteIndex(parser_);
    return "XML xatosi (" + std::to_string(at < 0 ? 0 : at) + "-bayt): " + description;
  }

  // No exception may cross the parser: running out of memory stops it with
  // that reason instead.
  template <typename Body>
  static void guarded(void* data, Body body) {
    PartConverter& converter = self(data);
    try {
      body(converter);
    } catch (const std::bad_alloc&) {
      converter.refusal_ = std::string(kOutOfMemoryMessage);
      XML_StopParser(converter.parser_, XML_FALSE);
    }
  }
  static void XMLCALL on_start(void* data, const XML_Char* name, const XML_Char** attributes) {
    guarded(data, [name, attributes](PartConverter& converter) {
      converter.start_element(name, attributes);
    });
  }
  static void XMLCALL on_end(void* data, const XML_Char* name) {
    guarded(data, [name](PartConverter& converter) { converter.end_element(name); });
  }
  static void XMLCALL on_text(void* data, const XML_Char* text, int length) {
    guarded(data, [text, length](PartConverter& converter) {
      converter.character_data(std::string_view(text, static_cast<std::size_t>(length)));
    });
  }
  // Character data of a CDATA section has no byte range of its own to splice
  // into, so a paragraph that holds one directly is left as written.
  static void XMLCALL on_cdata(void* data) {
    PartConverter& converter = self(data);
    if (!converter.active_text_ && !converter.paragraphs_.empty()) {
      converter.paragraphs_.back().verbatim = true;
    }
  }
  // Entities are refused outright rather than expanded: a part of a package
  // has no business declaring them, and expanding them invites blow-ups.
  static void XMLCALL on_entity_declaration(void* data, const XML_Char*, int, const XML_Char*, int,
                                            const XML_Char*, const XML_Char*, const XML_Char*,
                                            const XML_Char*) {
    PartConverter& converter = self(data);
    converter.refusal_ = "entity declarations are not allowed";
    XML_StopParser(converter.parser_, XML_FALSE);
  }

  bool inside_code() const { return run_code_ || code_frames_ > 0; }

  void character_data(std::string_view text) {
    if (active_text_) {
      active_piece().text.append(text);
      return;
    }
    if (skip_depth_ > 0 || paragraphs_.empty() || frames_.empty() ||
        !frames_.back().text_container) {
      return;
    }
    Paragraph& paragraph = paragraphs_.back();
    const bool code = paragraph.code || inside_code();
    if (!paragraph.spans.empty() && paragraph.spans.back().stretch &&
        paragraph.spans.back().content_end == position() && paragraph.spans.back().code == code) {
      paragraph.pieces.back().text.append(text);
      paragraph.spans.back().content_end = event_end();
      return;
    }
    paragraph.pieces.push_back(Piece{std::string(text)});
    paragraph.spans.push_back({position(), position(), event_end(), true, code});
  }

  void start_element(std::string_view qualified, const char** attributes) {
    ++depth_;
    scope_.open(attributes);
    const auto [ns, name] = scope_.resolve(qualified);
    const ElementRole role = role_of(ns, name, set_);
    Frame frame{role.role};
    if (role.role == Role::Skipped) ++skip_depth_;
    if (skip_depth_ == 0) start_role(role, ns, qualified, attributes, frame);
    if (frame.code) ++code_frames_;
    frames_.push_back(frame);
  }

  void start_role(const ElementRole& role, Namespace ns, std::string_view qualified,
                  const char** attributes, Frame& frame) {
    switch (role.role) {
      case Role::Paragraph: paragraphs_.emplace_back(); break;
      case Role::Whole:
      case Role::CodedWhole:
      case Role::Formula:
        paragraphs_.emplace_back().kind = role.role;
        begin_text();
        break;
      case Role::TextParagraph:
        paragraphs_.emplace_back().kind = role.role;
        paragraphs_.back().code = is_code_style_name(attribute(attributes, "style-name"));
        frame.text_container = true;
        break;
      case Role::Inline:
        frame.text_container = true;
        frame.code = is_code_style_name(attribute(attributes, "style-name"));
        break;
      case Role::Text: begin_text(); break;
      case Role::DeletedText:
        begin_text();
        if (active_text_) paragraphs_[active_paragraph_].spans.back().deleted = true;
        break;
      case Role::Cell: string_cell_ = attribute(attributes, "t") == "str"; break;
      case Role::CellValue:
        // The cached result of a text formula is shown until the application
        // recalculates; it is converted like the cells it comes from.
        if (string_cell_ && paragraphs_.empty()) {
          paragraphs_.emplace_back().kind = Role::Whole;
          begin_text();
          frame.role = Role::Whole;
        }
        break;
      case Role::StringValue: convert_attribute(attributes, "string-value"); break;
      case Role::Break:
        // Word's tab stops (w:tabs/w:tab) are not tabs of the text.
        if (paragraphs_.empty() || active_text_ || (ns == Namespace::Word && run_depth_ == 0)) {
          break;
        }
        paragraphs_.back().pieces.push_back(Piece{std::string(1, role.placeholder), true});
        paragraphs_.back().spans.emplace_back();
        break;
      case Role::Run:
        ++run_depth_;
        run_code_ = false;
        break;
      case Role::RunStyle:
        if (run_depth_ > 0 && is_code_style(attribute(attributes, "val"))) run_code_ = true;
        break;
      case Role::RunFont:
        if (run_depth_ > 0 && names_monospace_font(attributes)) run_code_ = true;
        break;
      case Role::ParagraphStyle:
        if (!paragraphs_.empty() && is_code_style(attribute(attributes, "val"))) {
          paragraphs_.back().code = true;
        }
        break;
      case Role::TableColumn: convert_attribute(attributes, "name", true); break;
      case Role::SheetName: note_sheet_name(attribute(attributes, "name")); break;
      case Role::SheetTable:
        if (spreadsheet_depth_ > 0) note_sheet_name(attribute(attributes, "name"));
        break;
      case Role::Spreadsheet: ++spreadsheet_depth_; break;
      case Role::Calculation: ask_recalculation(); break;
      case Role::StyleDefinition: {
        style_name_ = attribute(attributes, "name");
        if (is_code_style_name(style_name_) ||
            is_code_style_name(attribute(attributes, "parent-style-name"))) {
          code_styles_.push_back(style_name_);
        }
        break;
      }
      case Role::StyleFont:
        if (!style_name_.empty() && names_monospace_font(attributes)) {
          code_styles_.push_back(style_name_);
        }
        break;
      case Role::Skipped:
      case Role::Other: break;
    }
    if (set_ == ElementSet::Workbook && depth_ == 1) {
      const std::size_t colon = qualified.find(':');
      if (colon != std::string_view::npos) workbook_prefix_ = qualified.substr(0, colon + 1);
    }
  }

  void begin_text() {
    if (paragraphs_.empty() || active_text_) return;
    Paragraph& paragraph = paragraphs_.back();
    paragraph.pieces.push_back(Piece{});
    paragraph.spans.push_back(
        {position(), event_end(), event_end(), false, paragraph.code || inside_code()});
    active_text_ = true;
    active_paragraph_ = paragraphs_.size() - 1;
    text_depth_ = depth_;
  }

  void end_element(std::string_view qualified) {
    const int depth = depth_--;
    const Frame frame = frames_.empty() ? Frame{} : frames_.back();
    if (!frames_.empty()) frames_.pop_back();
    if (frame.code) --code_frames_;
    if (active_text_ && depth == text_depth_) {
      PieceSpan& span = paragraphs_[active_paragraph_].spans.back();
      span.content_end = std::max(span.content_begin, position());
      active_text_ = false;
    }
    scope_.close();
    if (set_ == ElementSet::Workbook && depth == 2) note_workbook_child_end(qualified);
    if (frame.role == Role::Skipped) {
      if (skip_depth_ > 0) --skip_depth_;
      return;
    }
    if (skip_depth_ > 0) return;
    switch (frame.role) {
      case Role::Run:
        if (run_depth_ > 0) --run_depth_;
        run_code_ = false;
        break;
      case Role::StyleDefinition: style_name_.clear(); break;
      case Role::Cell: string_cell_ = false; break;
      case Role::Spreadsheet: --spreadsheet_depth_; break;
      case Role::Paragraph:
      case Role::Whole:
      case Role::CodedWhole:
      case Role::Formula:
      case Role::TextParagraph:
        if (!paragraphs_.empty()) {
          Paragraph paragraph = std::move(paragraphs_.back());
          paragraphs_.pop_back();
          finish_paragraph(paragraph);
        }
        break;
      default: break;
    }
  }

  bool is_code_style_name(std::string_view style) const {
    if (style.empty()) return false;
    return is_code_style(style) ||
           std::find(code_styles_.begin(), code_styles_.end(), style) != code_styles_.end();
  }

  static bool names_monospace_font(const char** attributes) {
    for (std::string_view name :
         {"ascii", "hAnsi", "cs", "eastAsia", "typeface", "val", "font-name", "font-family"}) {
      const std::string_view font = attribute(attributes, name);
      if (!font.empty() && is_monospace_font(font)) return true;
    }
    return false;
  }

  // ---- Paragraphs

  void finish_paragraph(const Paragraph& paragraph) {
    if (paragraph.verbatim) return;
    if (paragraph.kind == Role::CodedWhole) {
      finish_coded(paragraph);
      return;
    }
    if (paragraph.kind == Role::Formula) {
      finish_formula(paragraph);
      return;
    }
    // Code pieces stay as written. They, and the edges of deleted text,
    // split the paragraph into stretches that are converted on their own.
    const auto is_code = [&](std::size_t i) {
      return paragraph.spans[i].code && !paragraph.pieces[i].placeholder;
    };
    std::size_t begin = 0;
    while (begin < paragraph.pieces.size()) {
      if (is_code(begin)) {
        note_code(paragraph.pieces[begin].text);
        ++begin;
        continue;
      }
      const bool deleted = paragraph.spans[begin].deleted;
      std::size_t end = begin;
      while (end < paragraph.pieces.size() && !is_code(end) &&
             (paragraph.pieces[end].placeholder || paragraph.spans[end].deleted == deleted)) {
        ++end;
      }
      convert_pieces(paragraph, begin, end);
      begin = end;
    }
  }

  // Converts the stretch [begin, end) of a paragraph's pieces, in bounded
  // groups of whole pieces, or slice by slice for one very long piece.
  void convert_pieces(const Paragraph& paragraph, std::size_t begin, std::size_t end) {
    const std::span<const Piece> pieces(paragraph.pieces.data() + begin, end - begin);
    const std::span<const PieceSpan> spans(paragraph.spans.data() + begin, end - begin);
    std::size_t first = 0;
    while (first < pieces.size()) {
      std::size_t last = first, size = 0;
      while (last < pieces.size() &&
             (last == first || size + pieces[last].text.size() <= kMaxParagraphSlice)) {
        size += pieces[last++].text.size();
      }
      if (last == first + 1 && size > kMaxParagraphSlice && !pieces[first].placeholder) {
        finish_long_piece(pieces[first], spans[first]);
      } else {
        finish_pieces(pieces.subspan(first, last - first), spans.subspan(first, last - first));
      }
      first = last;
    }
  }

  // Converts the text of consecutive pieces of a paragraph as one text and
  // lays it back over them.
  void finish_pieces(std::span<const Piece> pieces, std::span<const PieceSpan> spans) {
    std::string joined;
    if (pieces.size() != 1) {
      for (const Piece& piece : pieces) joined += piece.text;
    }
    const std::string_view text = pieces.size() == 1 ? std::string_view(pieces[0].text) : joined;
    const std::string converted = convert_paragraph_text(text);
    if (converted == text) return;
    // A single text piece takes the whole new text.
    if (pieces.size() == 1 && !pieces[0].placeholder) {
      rewrite_piece(spans[0], text, converted);
      record_changes(text, converted);
      return;
    }

    const std::vector<TokenPair> pairs = token_pairs(text, converted);
    const std::vector<std::string> new_texts = distribute_runs(pieces, text, converted, pairs);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      const Piece& piece = pieces[i];
      if (piece.placeholder || new_texts[i] == piece.text) continue;
      rewrite_piece(spans[i], piece.text, new_texts[i]);
    }
    record_changes(pairs);
  }

  // Paragraph text, converted with the apostrophe evidence of the part's
  // paragraphs before it, as the lines of a plain text are.
  std::string convert_paragraph_text(std::string_view text) {
    if (settings_.old_mode) return convert_text(text, settings_);
    return convert(text, settings_.options, evidence_, memo_);
  }

  // A text converted on its own, as convert_text does, with the part's memo.
  std::string convert_alone(std::string_view text) {
    if (settings_.old_mode) return convert_text(text, settings_);
    TextEvidence evidence;
    return convert(text, settings_.options, evidence, memo_);
  }

  // Converts one very long piece slice by slice; it needs no alignment.
  void finish_long_piece(const Piece& piece, const PieceSpan& span) {
    std::string converted;
    std::string_view rest = piece.text;
    while (!rest.empty()) {
      const std::string_view slice = rest.substr(0, slice_length(rest));
      const std::string new_slice = convert_paragraph_text(slice);
      if (new_slice != slice) record_changes(slice, new_slice);
      converted += new_slice;
      rest.remove_prefix(slice.size());
    }
    if (converted != piece.text) rewrite_piece(span, piece.text, converted);
  }

  // A header or footer text: the format codes stay, the text between them is
  // converted piece by piece.
  void finish_coded(const Paragraph& paragraph) {
    if (paragraph.pieces.size() != 1) return;
    const std::string_view text = paragraph.pieces[0].text;
    std::string converted;
    std::size_t at = 0;
    while (at < text.size()) {
      if (text[at] == '&') {
        const std::size_t length = format_code_length(text, at);
        converted += text.substr(at, length);
        at += length;
        continue;
      }
      const std::size_t next = std::min(text.find('&', at), text.size());
      const std::string_view stretch = text.substr(at, next - at);
      const std::string new_stretch = convert_alone(stretch);
      record_changes(stretch, new_stretch);
      converted += new_stretch;
      at = next;
    }
    if (converted != text) rewrite_piece(paragraph.spans[0], text, converted);
  }

  // A formula follows the table columns it names, which convert like their
  // header cells. It is not text a reader sees, so it adds no word changes.
  void finish_formula(const Paragraph& paragraph) {
    if (paragraph.pieces.size() != 1) return;
    const std::string_view text = paragraph.pieces[0].text;
    if (text.find('[') == std::string_view::npos) return;
    const std::string renamed = rename_table_columns(
        text, [&](std::string_view name) { return convert_alone(name); });
    if (renamed != text) rewrite_piece(paragraph.spans[0], text, renamed);
  }

  void record_changes(std::string_view text, std::string_view converted) {
    if (changes_.counts_only()) {
      for (std::size_t n = count_token_pairs(text, converted); n > 0; --n) {
        changes_.add(part_name_, {}, {});
      }
      return;
    }
    if (text != converted) record_changes(token_pairs(text, converted));
  }

  void record_changes(std::span<const TokenPair> pairs) {
    if (changes_.counts_only()) {
      for (std::size_t i = 0; i < pairs.size(); ++i) changes_.add(part_name_, {}, {});
      return;
    }
    for (const WordChange& change : word_changes(pairs)) {
      changes_.add(part_name_, change.old_word, change.new_word);
    }
  }

  void note_code(std::string_view text) {
    if (context_.kept != nullptr && convert_alone(text) != text) {
      context_.kept->add(part_name_, text, KeptReason::Code);
    }
  }

  void rewrite_piece(const PieceSpan& span, std::string_view old_text, std::string_view new_text) {
    if (span.stretch) {
      splices_.push_back({span.content_begin, span.content_end, escape_content(new_text)});
      return;
    }
    const std::string_view tag = part_.substr(span.tag_begin, span.content_begin - span.tag_begin);
    // A self-closing element has no content to replace; it held no text, so
    // the run distribution never gives it any.
    if (tag.ends_with("/>")) return;
    splices_.push_back({span.content_begin, span.content_end, escape_content(new_text)});

    const bool gains_edge_space = (starts_with_space(new_text) && !starts_with_space(old_text)) ||
                                  (ends_with_space(new_text) && !ends_with_space(old_text));
    if (!gains_edge_space) return;
    const auto value = attribute_value(tag, "xml:space");
    if (!value) {
      const std::size_t close = span.content_begin - 1;  // the '>' of the start tag
      splices_.push_back({close, close, " xml:space=\"preserve\""});
    } else if (tag.substr(value->first, value->second - value->first) != "preserve") {
      splices_.push_back(
          {span.tag_begin + value->first, span.tag_begin + value->second, "preserve"});
    }
  }

  // ---- Names held in attributes

  // The current start tag and the byte range of one of its attributes' value.
  std::optional<std::pair<std::size_t, std::size_t>> value_in_tag(std::string_view name) const {
    const std::string_view tag = part_.substr(position(), event_end() - position());
    const auto value = attribute_value(tag, name);
    if (!value) return std::nullopt;
    return std::pair{position() + value->first, position() + value->second};
  }

  // Converts the attribute with local name `local` of the current start tag
  // as one paragraph: a table column's name (the application insists that it
  // agrees with its header cell, which converts as one paragraph too), or a
  // cell's cached text result.
  void convert_attribute(const char** attributes, std::string_view local,
                         bool column_name = false) {
    for (std::size_t i = 0; attributes != nullptr && attributes[i] != nullptr; i += 2) {
      if (local_name(attributes[i]) != local) continue;
      const std::string_view stored = attributes[i + 1];
      const std::string text = column_name ? decode_column_name(stored) : std::string(stored);
      const std::string converted = convert_alone(text);
      if (converted == text) return;
      const auto value = value_in_tag(attributes[i]);
      if (!value) return;
      const std::string written = column_name ? encode_column_name(converted) : converted;
      splices_.push_back({value->first, value->second, escape_attribute(written)});
      record_changes(text, converted);
      return;
    }
  }

  void note_sheet_name(std::string_view name) {
    if (context_.kept != nullptr && !name.empty() && convert_alone(name) != name) {
      context_.kept->add(part_name_, name, KeptReason::SheetName);
    }
  }

  void ask_recalculation() {
    recalculation_asked_ = true;
    if (!context_.recalculate) return;
    const std::size_t tag_end = event_end();
    const std::string_view tag = part_.substr(position(), tag_end - position());
    if (const auto value = value_in_tag("fullCalcOnLoad")) {
      const std::string_view current = part_.substr(value->first, value->second - value->first);
      if (current != "1" && current != "true") splices_.push_back({value->first, value->second, "1"});
      return;
    }
    const std::size_t close = tag_end - (tag.ends_with("/>") ? 2 : 1);
    splices_.push_back({close, close, " fullCalcOnLoad=\"1\""});
  }

  // Where a missing calcPr element goes: after the last of the elements the
  // workbook schema puts before it.
  void note_workbook_child_end(std::string_view qualified) {
    const std::string_view name = local_name(qualified);
    if (name == "sheets" || name == "functionGroups" || name == "externalReferences" ||
        name == "definedNames") {
      calculation_anchor_ = event_end();
    }
  }

  std::string apply_splices() {
    std::stable_sort(splices_.begin(), splices_.end(),
                     [](const Splice& a, const Splice& b) { return a.begin < b.begin; });
    std::string out;
    std::size_t growth = 0;
    for (const Splice& splice : splices_) growth += splice.bytes.size();
    out.reserve(part_.size() + growth);
    std::size_t at = 0;
    for (const Splice& splice : splices_) {
      out.append(part_.substr(at, splice.begin - at));
      out += splice.bytes;
      at = splice.end;
    }
    out.append(part_.substr(at));
    return out;
  }

  std::string_view part_;
  std::string_view part_name_;
  ElementSet set_;
  const TextSettings& settings_;
  ChangeSink& changes_;
  const PartContext& context_;
  TextEvidence evidence_;  // how the paragraphs so far type o'/g' apostrophes
  // What the part's texts so far taught about their word forms; the part's
  // words repeat, and what it holds never changes a result.
  ConversionMemo memo_;

  XML_Parser parser_ = nullptr;
  std::string refusal_;
  NamespaceScope scope_;
  std::vector<Frame> frames_;          // open elements, innermost last
  std::vector<Paragraph> paragraphs_;  // open paragraphs, innermost last
  bool active_text_ = false;           // inside a text element being read
  std::size_t active_paragraph_ = 0;   // whose last piece that element is
  int depth_ = 0;
  int text_depth_ = 0;
  int skip_depth_ = 0;
  int run_depth_ = 0;
  bool run_code_ = false;  // the current run's properties mark it as code
  bool string_cell_ = false;  // inside a worksheet cell holding a text formula
  int spreadsheet_depth_ = 0;  // inside an OpenDocument spreadsheet's body
  int code_frames_ = 0;    // open elements styled as code
  std::string style_name_;                // the style being defined
  std::vector<std::string> code_styles_;  // styles found to be code
  std::string workbook_prefix_;
  bool recalculation_asked_ = false;
  std::optional<std::size_t> calculation_anchor_;
  std::vector<Splice> splices_;
};

}  // namespace

void KeptTexts::add(std::string_view location, std::string_view text, KeptReason reason) {
  ++counts_[static_cast<std::size_t>(reason)];
  if (listed_.size() < kMaxListedKept) {
    listed_.push_back({std::string(location), std::string(text), reason});
  }
}

void KeptTexts::append(const KeptTexts& other) {
  for (std::size_t i = 0; i < counts_.size(); ++i) counts_[i] += other.counts_[i];
  for (const KeptText& k : other.listed_) {
    if (listed_.size() < kMaxListedKept) listed_.push_back(k);
  }
}

OoxmlResult convert_part(std::string_view part, std::string_view part_name, ElementSet set,
                         const TextSettings& settings, ChangeSink& changes,
                         const PartContext& context) {
  return PartConverter(part, part_name, set, settings, changes, context).run();
}

OoxmlResult convert_part(std::string_view part, std::string_view part_name, ElementSet set,
                         const TextSettings& settings, std::vector<Change>& changes,
                         PartContext* context) {
  // Changes are collected while the part is parsed; a part that turns out to
  // be malformed further on must not leave those of its first paragraphs.
  ChangeList part_changes;
  KeptTexts kept;
  PartContext own;
  if (context != nullptr) own.recalculate = context->recalculate;
  if (context != nullptr && context->kept != nullptr) own.kept = &kept;
  OoxmlResult result = convert_part(part, part_name, set, settings, part_changes, own);
  if (result.ok()) {
    changes.insert(changes.end(), std::make_move_iterator(part_changes.changes.begin()),
                   std::make_move_iterator(part_changes.changes.end()));
    if (own.kept != nullptr) context->kept->append(kept);
  }
  return result;
}

// ---------------------------------------------------------------------------
// Package conversion

namespace {

std::string zip_message(zip_error_t* error) {
  return std::string("zip: ") + zip_error_strerror(error);
}
std::string zip_message(zip_t* archive) { return std::string("zip: ") + zip_strerror(archive); }
std::string zip_message(zip_file_t* file) { return std::string("zip: ") + zip_file_strerror(file); }

// Owner of an archive handle: an archive not closed by then is discarded
// unchanged.
struct ArchiveCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

// Reads the uncompressed bytes of entry `index`, never more than it declares
// (with ZIP_FL_COMPRESSED in `flags`, its stored bytes, `size` being their
// declared count). Room for `likely` bytes is made at once.
OoxmlResult read_entry(zip_t* archive, zip_uint64_t index, zip_uint64_t size,
                       zip_uint64_t likely, zip_flags_t flags = 0) {
  zip_file_t* file = zip_fopen_index(archive, index, flags);
  if (file == nullptr) return {{}, zip_message(archive)};
  // Beyond that the buffer grows with the bytes actually read: the size in
  // the header is only a claim, and a short archive claiming a huge entry
  // must not make us allocate it.
  constexpr std::size_t kChunk = std::size_t{1} << 16;
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(std::min(size, std::max<zip_uint64_t>(likely, kChunk))));
  std::string error;
  while (bytes.size() < size) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<zip_uint64_t>(kChunk, size - bytes.size()));
    const std::size_t filled = bytes.size();
    bytes.resize(filled + want);
    const zip_int64_t n = zip_fread(file, bytes.data() + filled, want);
    bytes.resize(filled + static_cast<std::size_t>(std::max<zip_int64_t>(n, 0)));
    if (n < 0) error = zip_message(file);
    if (n <= 0) break;
  }
  if (error.empty()) {
    // One more read must meet the end; it also makes the library check the
    // CRC of uncompressed bytes.
    char extra = 0;
    const zip_int64_t n = zip_fread(file, &extra, 1);
    if (n < 0)
      error = zip_message(file);
    else if (n > 0 || bytes.size() != size)
      error = "zip: Entry size does not match its header";
  }
  zip_fclose(file);
  if (!error.empty()) return {{}, error};
  return {std::move(bytes), {}};
}

// The refusal for a part whose expansion would be out of proportion, or empty.
// An entry cannot hold more compressed bytes than the whole archive, so a
// header claiming more is judged by the archive's size.
std::string expansion_refusal(const zip_stat_t& stat, std::uint64_t total,
                              std::uint64_t package_size) {
  const std::uint64_t compressed = std::min<std::uint64_t>(stat.comp_size, package_size);
  const bool too_much = total > kMaxTotalPartBytes;
  const bool ratio = stat.size > kRatioCheckedSize &&
                     (compressed == 0 || stat.size / compressed > kMaxCompressionRatio);
  if (!too_much && !ratio) return {};
  return std::string(stat.name) +
         ": ochilgandagi hajmi haddan tashqari katta (zip-bomba bo'lishi mumkin)";
}

// The modification time to write for a rewritten entry: the original one, or
// 1 January 1980 00:00 when the archive holds none the format can express.
time_t entry_time(const zip_stat_t& stat) {
  std::tm earliest{};
  earliest.tm_year = 80;
  earliest.tm_mday = 1;
  earliest.tm_isdst = -1;
  const time_t floor = std::mktime(&earliest);
  if (!(stat.valid & ZIP_STAT_MTIME) || stat.mtime < floor) return floor;
  return stat.mtime;
}

// What an encrypted Office document starts with: it is stored as an OLE
// compound file, not as a zip archive.
constexpr std::string_view kCompoundFileSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr std::string_view kCompoundFileMessage =
    "hujjat parol bilan himoyalangan (yoki eski Office formatida): parolni olib tashlab, "
    ".docx yoki .xlsx sifatida qayta saqlang";

// XML parts deflate to a quarter of their size or less; a claim of up to
// this many times the stored bytes is believed enough to make room for it.
constexpr zip_uint64_t kLikelyExpansion = 16;

// A text part of the package to convert.
struct TextPart {
  zip_uint64_t index = 0;
  zip_uint64_t size = 0;  // uncompressed, as the archive states it
  // The size to make room for before reading: the claim, unless it expands
  // the stored bytes (counted as no more than the archive) beyond what XML
  // usually does.
  zip_uint64_t likely_size = 0;
  std::string name;
  ElementSet set = ElementSet::WordProcessing;
  time_t mtime = 0;
  // How it is stored (deflated), for writing it back as it is when it does
  // not change.
  bool stored_known = false;
  zip_uint64_t stored_size = 0;
  zip_uint16_t method = ZIP_CM_DEFLATE;
  std::uint32_t crc = 0;
};

// Reads the bytes of a text part. Deflated parts whose claimed size is in
// proportion to their stored bytes are inflated in one piece, their stored
// bytes kept in `stored`; the others, and any that do not inflate as the
// archive states, through the library, which says what is wrong.
OoxmlResult read_text_part(zip_t* archive, const TextPart& part, std::string& stored) {
  if (part.stored_known && inflates_entries()) {
    OoxmlResult raw = read_entry(archive, part.index, part.stored_size, part.likely_size,
                                 ZIP_FL_COMPRESSED);
    if (raw.ok() && part.size <= kLikelyExpansion * raw.bytes.size()) {
      std::optional<std::string> bytes =
          inflate_entry(raw.bytes, static_cast<std::size_t>(part.size), part.crc);
      if (bytes) {
        stored = std::move(raw.bytes);
        return {std::move(*bytes), {}};
      }
    }
  }
  return read_entry(archive, part.index, part.size, part.likely_size);
}

// What the parts converted while the new archive is written have in common.
struct WriteState {
  zip_t* reader = nullptr;  // the input, opened a second time, read-only
  const TextSettings* settings = nullptr;
  ChangeSink* changes = nullptr;
  KeptTexts* kept = nullptr;
  std::string error;         // the first part's failure
  bool changed_any = false;  // some part's text changed
};

// How a part is converted within its package. A workbook is written before
// its sheets, so it cannot know whether their text will change: it always
// asks for recalculation, and that alone does not count as a change (a
// package whose text needs no change still goes out as it came).
PartContext part_context(ElementSet set, KeptTexts* kept) {
  return {set == ElementSet::Workbook, kept};
}

// A library source for a text part that reads and converts the part only
// when the library asks for it while writing the new archive, and hands it
// over compressed, so that the library copies it as it is: the part's stored
// bytes when its text did not change, else the converted part deflated. One
// part is held at a time, and only compressed once converted.
class ConvertedPart {
 public:
  ConvertedPart(const TextPart& part, WriteState& state) : part_(part), state_(state) {
    zip_error_init(&error_);
  }
  ~ConvertedPart() { zip_error_fini(&error_); }
  ConvertedPart(const ConvertedPart&) = delete;
  ConvertedPart& operator=(const ConvertedPart&) = delete;

  // No exception may cross the library.
  static zip_int64_t callback(void* self, void* data, zip_uint64_t length,
                              zip_source_cmd_t command) {
    ConvertedPart& part = *static_cast<ConvertedPart*>(self);
    try {
      return part.handle(data, length, command);
    } catch (const std::bad_alloc&) {
      if (part.state_.error.empty()) part.state_.error = std::string(kOutOfMemoryMessage);
      zip_error_set(&part.error_, ZIP_ER_MEMORY, 0);
      return -1;
    }
  }

 private:
  // What the library is told about the data.
  struct Stored {
    zip_uint64_t size = 0;  // uncompressed
    zip_uint64_t compressed_size = 0;
    zip_uint16_t method = ZIP_CM_DEFLATE;
    std::uint32_t crc = 0;
  };

  zip_int64_t handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
      case ZIP_SOURCE_OPEN:
        offset_ = 0;
        return convert() ? 0 : -1;
      case ZIP_SOURCE_READ: {
        const std::string_view bytes = this->bytes();
        const std::size_t n =
            std::min<std::size_t>(static_cast<std::size_t>(length), bytes.size() - offset_);
        std::copy_n(bytes.data() + offset_, n, static_cast<char*>(data));
        offset_ += n;
        return static_cast<zip_int64_t>(n);
      }
      case ZIP_SOURCE_CLOSE:
        std::string().swap(stored_bytes_);  // assigning an empty string would keep the buffer
        deflated_ = {};
        ready_ = false;
        return 0;
      case ZIP_SOURCE_STAT: {
        // The library asks again once the part is written; what it is told
        // is remembered rather than converted anew.
        zip_stat_t* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
        if (stat == nullptr || (!stored_ && !convert())) return -1;
        zip_stat_init(stat);
        stat->size = stored_->size;
        stat->comp_size = stored_->compressed_size;
        stat->comp_method = stored_->method;
        stat->crc = stored_->crc;
        stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC;
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_ERROR: return zip_error_to_data(&error_, data, length);
      case ZIP_SOURCE_FREE: return 0;
      case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              ZIP_SOURCE_SUPPORTS, -1);
      default: zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0); return -1;
    }
  }

  std::string_view bytes() const {
    return deflated_.data ? deflated_.bytes() : std::string_view(stored_bytes_);
  }

  // Makes the compressed bytes ready. The changes are reported the first
  // time only, should the library ask for the bytes again.
  bool convert() {
    if (ready_) return true;
    std::string stored_bytes;
    OoxmlResult original = read_text_part(state_.reader, part_, stored_bytes);
    if (original.ok()) {
      NoChanges ignored;
      ChangeSink& sink = reported_ ? static_cast<ChangeSink&>(ignored) : *state_.changes;
      OoxmlResult converted =
          convert_part(original.bytes, part_.name, part_.set, *state_.settings, sink,
                       part_context(part_.set, reported_ ? nullptr : state_.kept));
      if (converted.ok()) {
        reported_ = true;
        const bool same = converted.bytes == original.bytes;
        if (!same && part_.set != ElementSet::Workbook) state_.changed_any = true;
        std::string().swap(original.bytes);
        if (!same) std::string().swap(stored_bytes);
        if (same && part_.stored_known) {
          // Should the stored bytes not read back as the archive states
          // them, the part is compressed anew.
          OoxmlResult stored{std::move(stored_bytes), {}};
          if (stored.bytes.empty()) {
            stored = read_entry(state_.reader, part_.index, part_.stored_size, part_.likely_size,
                                ZIP_FL_COMPRESSED);
          }
          if (stored.ok()) {
            stored_bytes_ = std::move(stored.bytes);
            stored_ = {part_.size, stored_bytes_.size(), part_.method, part_.crc};
            ready_ = true;
            return true;
          }
        }
        deflated_ = deflate_entry(converted.bytes);
        stored_ = {converted.bytes.size(), deflated_.size, ZIP_CM_DEFLATE, deflated_.crc};
        ready_ = true;
        return true;
      }
      original.error = part_.name + ": " + converted.error;
    }
    return fail(std::move(original.error));
  }

  bool fail(std::string message) {
    if (state_.error.empty()) state_.error = std::move(message);
    zip_error_set(&error_, ZIP_ER_INTERNAL, 0);
    return false;
  }

  struct NoChanges final : ChangeSink {
    void add(std::string_view, std::string_view, std::string_view) override {}
  };

  const TextPart& part_;
  WriteState& state_;
  zip_error_t error_{};
  std::string stored_bytes_;  // the part's bytes as the input stores them, or
  DeflatedEntry deflated_;    // the converted part, deflated
  std::optional<Stored> stored_;
  std::size_t offset_ = 0;
  bool ready_ = false;
  bool reported_ = false;
};

// Opens an archive on the stream's source, or gives the error message.
Archive open_archive(PackageStream& stream, int flags, std::string& message) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = stream.make_source(&error);
  zip_t* archive = source == nullptr ? nullptr : zip_open_from_source(source, flags, &error);
  if (archive == nullptr) {
    if (source != nullptr) zip_source_free(source);
    message = stream.io_error().empty() ? zip_message(&error) : stream.io_error();
  }
  zip_error_fini(&error);
  return Archive(archive);
}

// The text parts of the package in archive order, after the expansion
// checks, or the refusal.
std::string find_text_parts(zip_t* archive, PackageKind kind, std::uint64_t package_size,
                            std::vector<TextPart>& parts) {
  std::uint64_t total = 0;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const auto index = static_cast<zip_uint64_t>(i);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) < 0) return zip_message(archive);
    if (!(stat.valid & ZIP_STAT_NAME)) continue;
    const std::optional<ElementSet> set = select_part(stat.name, kind);
    if (!set) continue;
    if (!(stat.valid & ZIP_STAT_SIZE) || !(stat.valid & ZIP_STAT_COMP_SIZE)) {
      return std::string(stat.name) + ": zip: Entry size unknown";
    }
    total += stat.size;
    if (std::string refusal = expansion_refusal(stat, total, package_size); !refusal.empty()) {
      return refusal;
    }
    // Only deflate data is taken over as it is: the library would compress
    // anything else anew, at its slowest level.
    const bool stored_known = (stat.valid & ZIP_STAT_COMP_METHOD) && (stat.valid & ZIP_STAT_CRC) &&
                              (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) &&
                              stat.comp_method == ZIP_CM_DEFLATE &&
                              stat.encryption_method == ZIP_EM_NONE;
    const zip_uint64_t stored = std::min<zip_uint64_t>(stat.comp_size, package_size);
    const zip_uint64_t likely = std::min(stat.size, kLikelyExpansion * stored);
    parts.push_back({index, stat.size, likely, stat.name, *set, entry_time(stat), stored_known,
                     stat.comp_size, stat.comp_method, stat.crc});
  }
  return {};
}

// Converts every text part while the new archive is written to `output`.
std::string write_package(PackageInput& input, PackageOutput& output, WriteState& state,
                          const std::vector<TextPart>& parts) {
  std::string message;
  PackageStream stream(input, &output);
  Archive writer = open_archive(stream, 0, message);
  if (!writer) return message;
  std::list<ConvertedPart> sources;  // must outlive the archive
  for (const TextPart& part : parts) {
    ConvertedPart& converted = sources.emplace_back(part, state);
    zip_source_t* source = zip_source_function(writer.get(), &ConvertedPart::callback, &converted);
    if (source == nullptr) return zip_message(writer.get());
    if (zip_file_replace(writer.get(), part.index, source, 0) < 0) {
      zip_source_free(source);
      return zip_message(writer.get());
    }
    if (zip_file_set_mtime(writer.get(), part.index, part.mtime, 0) < 0) {
      return zip_message(writer.get());
    }
  }
  if (zip_close(writer.get()) < 0) {
    if (!state.error.empty()) return state.error;
    if (!stream.io_error().empty()) return stream.io_error();
    return zip_message(writer.get());
  }
  writer.release();  // closed successfully, which also freed it
  return {};
}

}  // namespace

std::string convert_package(PackageInput& input, PackageOutput* output, PackageKind kind,
                            const TextSettings& settings, ChangeSink& changes, KeptTexts* kept) {
  // The library takes an empty file for an empty archive; for a document
  // that would be a silent loss, so it is refused like any other non-archive.
  if (input.size() == 0) return "zip: Not a zip archive";
  std::string message;
  char head[kCompoundFileSignature.size()];
  const std::int64_t n = input.read_at(0, head, sizeof head, message);
  if (n < 0) return message;
  if (std::string_view(head, static_cast<std::size_t>(n)) == kCompoundFileSignature) {
    return std::string(kCompoundFileMessage);
  }

  PackageStream read_stream(input, nullptr);
  Archive reader = open_archive(read_stream, ZIP_RDONLY, message);
  if (!reader) return message;
  std::vector<TextPart> parts;
  message = find_text_parts(reader.get(), kind, input.size(), parts);
  if (!message.empty()) return message;

  if (output == nullptr) {  // only the changes
    for (const TextPart& part : parts) {
      std::string stored;
      OoxmlResult bytes = read_text_part(reader.get(), part, stored);
      if (!bytes.ok()) return bytes.error;
      OoxmlResult converted = convert_part(bytes.bytes, part.name, part.set, settings, changes,
                                           part_context(part.set, kept));
      if (!converted.ok()) return part.name + ": " + converted.error;
    }
    return {};
  }

  WriteState state{reader.get(), &settings, &changes, kept, {}, false};
  if (!parts.empty()) {
    message = write_package(input, *output, state, parts);
    if (!message.empty()) return message;
  }
  // Nothing changed: the package goes out exactly as it came.
  if (!state.changed_any) {
    if (!output->clear(message) || !copy_package(input, *output, message)) return message;
  }
  return {};
}

OoxmlResult convert_package(std::string_view package, PackageKind kind,
                            const TextSettings& settings, std::vector<Change>& changes,
                            KeptTexts* kept) {
  MemoryInput input(package);
  MemoryOutput output;
  ChangeList package_changes;
  std::string error = convert_package(input, &output, kind, settings, package_changes, kept);
  if (!error.empty()) return {{}, std::move(error)};
  changes.insert(changes.end(), std::make_move_iterator(package_changes.changes.begin()),
                 std::make_move_iterator(package_changes.changes.end()));
  return {std::move(output.bytes), {}};
}

}  // namespace vexo::cli
