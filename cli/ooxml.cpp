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
#include "cli/package_io.h"
#include "core/reverse.h"
#include "core/unicode.h"

namespace vexo::cli {

std::string convert_text(std::string_view text, const TextSettings& settings) {
  return settings.old_mode ? to_old(text, settings.ascii) : convert(text, settings.options);
}

namespace {

bool has_prefix_and_xml_suffix(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix) || !name.ends_with(".xml")) return false;
  const std::string_view rest = name.substr(prefix.size());
  return rest.size() >= 4 && rest.find('/') == std::string_view::npos;
}

}  // namespace

std::optional<ElementSet> select_part(std::string_view name, PackageKind kind) {
  if (kind == PackageKind::Spreadsheet) {
    if (name == "xl/sharedStrings.xml") return ElementSet::SharedString;
    if (has_prefix_and_xml_suffix(name, "xl/worksheets/")) return ElementSet::InlineString;
    return std::nullopt;
  }
  if (!has_prefix_and_xml_suffix(name, "word/")) return std::nullopt;
  const std::string_view file = name.substr(5);
  for (std::string_view start :
       {"document", "header", "footer", "footnotes", "endnotes", "comments"}) {
    if (file.starts_with(start)) return ElementSet::WordProcessing;
  }
  return std::nullopt;
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

enum class Role { Other, Paragraph, Text, Break, Skipped };

struct ElementRole {
  Role role = Role::Other;
  char placeholder = 0;  // the character a break element stands for
};

ElementRole word_processing_role(std::string_view name) {
  if (name == "w:p") return {Role::Paragraph};
  if (name == "w:t") return {Role::Text};
  if (name == "w:tab") return {Role::Break, '\t'};
  if (name == "w:br" || name == "w:cr") return {Role::Break, '\n'};
  return {};
}

// Spreadsheet parts match by local name, so a prefixed x:t counts as t.
ElementRole spreadsheet_role(std::string_view name, std::string_view paragraph) {
  const std::size_t colon = name.find(':');
  if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
  if (name == paragraph) return {Role::Paragraph};
  if (name == "t") return {Role::Text};
  if (name == "rPh") return {Role::Skipped};
  return {};
}

ElementRole role_of(std::string_view name, ElementSet set) {
  switch (set) {
    case ElementSet::WordProcessing: return word_processing_role(name);
    case ElementSet::SharedString: return spreadsheet_role(name, "si");
    case ElementSet::InlineString: return spreadsheet_role(name, "is");
  }
  return {};
}

// The content of one text element, or a placeholder for a break element.
struct PieceSpan {
  std::size_t tag_begin = 0;      // the text element's start tag
  std::size_t content_begin = 0;  // its content, between the start and end tags
  std::size_t content_end = 0;
};

struct Paragraph {
  std::vector<Piece> pieces;
  std::vector<PieceSpan> spans;  // parallel to pieces; unused for placeholders
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
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
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

class PartConverter {
 public:
  PartConverter(std::string_view part, std::string_view part_name, ElementSet set,
                const TextSettings& settings, ChangeSink& changes)
      : part_(part), part_name_(part_name), set_(set), settings_(settings), changes_(changes) {}

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
    XML_SetEntityDeclHandler(parser_, &PartConverter::on_entity_declaration);

    // Parts are bounded well below INT_MAX, but feed large ones in slices so
    // the length always fits the parser's int.
    constexpr std::size_t kSlice = std::size_t{1} << 30;
    std::size_t offset = 0;
    do {
      const std::size_t length = std::min(kSlice, part_.size() - offset);
      const bool last = offset + length == part_.size();
      if (XML_Parse(parser_, part_.data() + offset, static_cast<int>(length), last) !=
          XML_STATUS_OK) {
        return {{}, parse_error()};
      }
      offset += length;
    } while (offset < part_.size());

    if (splices_.empty()) return {std::string(part_), {}};
    return {apply_splices(), {}};
  }

 private:
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
  static void XMLCALL on_start(void* data, const XML_Char* name, const XML_Char**) {
    guarded(data, [name](PartConverter& converter) { converter.start_element(name); });
  }
  static void XMLCALL on_end(void* data, const XML_Char* name) {
    guarded(data, [name](PartConverter& converter) { converter.end_element(name); });
  }
  static void XMLCALL on_text(void* data, const XML_Char* text, int length) {
    guarded(data, [text, length](PartConverter& converter) {
      if (converter.active_text_) {
        converter.active_piece().text.append(text, static_cast<std::size_t>(length));
      }
    });
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

  void start_element(std::string_view name) {
    ++depth_;
    const ElementRole role = role_of(name, set_);
    if (role.role == Role::Skipped) {
      ++skip_depth_;
      return;
    }
    if (skip_depth_ > 0 || role.role == Role::Other) return;
    switch (role.role) {
      case Role::Paragraph: paragraphs_.emplace_back(); break;
      case Role::Text:
        if (paragraphs_.empty() || active_text_) break;
        {
          Paragraph& paragraph = paragraphs_.back();
          paragraph.pieces.push_back(Piece{});
          paragraph.spans.push_back({position(), event_end(), event_end()});
          active_text_ = true;
          active_paragraph_ = paragraphs_.size() - 1;
          text_depth_ = depth_;
        }
        break;
      case Role::Break:
        if (paragraphs_.empty() || active_text_) break;
        paragraphs_.back().pieces.push_back(Piece{std::string(1, role.placeholder), true});
        paragraphs_.back().spans.emplace_back();
        break;
      default: break;
    }
  }

  void end_element(std::string_view name) {
    const int depth = depth_--;
    if (active_text_ && depth == text_depth_) {
      PieceSpan& span = paragraphs_[active_paragraph_].spans.back();
      span.content_end = std::max(span.content_begin, position());
      active_text_ = false;
      return;
    }
    const ElementRole role = role_of(name, set_);
    if (role.role == Role::Skipped) {
      if (skip_depth_ > 0) --skip_depth_;
      return;
    }
    if (skip_depth_ > 0 || role.role != Role::Paragraph || paragraphs_.empty()) return;
    Paragraph paragraph = std::move(paragraphs_.back());
    paragraphs_.pop_back();
    finish_paragraph(paragraph);
  }

  void finish_paragraph(const Paragraph& paragraph) {
    const std::span<const Piece> pieces = paragraph.pieces;
    const std::span<const PieceSpan> spans = paragraph.spans;
    std::size_t begin = 0;
    while (begin < pieces.size()) {
      std::size_t end = begin, size = 0;
      while (end < pieces.size() &&
             (end == begin || size + pieces[end].text.size() <= kMaxParagraphSlice)) {
        size += pieces[end++].text.size();
      }
      if (end == begin + 1 && size > kMaxParagraphSlice && !pieces[begin].placeholder) {
        finish_long_piece(pieces[begin], spans[begin]);
      } else {
        finish_pieces(pieces.subspan(begin, end - begin), spans.subspan(begin, end - begin));
      }
      begin = end;
    }
  }

  // Converts the text of consecutive pieces of a paragraph as one text and
  // lays it back over them.
  void finish_pieces(std::span<const Piece> pieces, std::span<const PieceSpan> spans) {
    std::string text;
    for (const Piece& piece : pieces) text += piece.text;
    const std::string converted = convert_text(text, settings_);
    if (converted == text) return;

    const std::vector<std::string> new_texts = distribute_runs(pieces, text, converted);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      const Piece& piece = pieces[i];
      if (piece.placeholder || new_texts[i] == piece.text) continue;
      rewrite_piece(spans[i], piece.text, new_texts[i]);
    }
    report_changes(text, converted);
  }

  // Converts one very long piece slice by slice; it needs no alignment.
  void finish_long_piece(const Piece& piece, const PieceSpan& span) {
    std::string converted;
    std::string_view rest = piece.text;
    while (!rest.empty()) {
      const std::string_view slice = rest.substr(0, slice_length(rest));
      const std::string new_slice = convert_text(slice, settings_);
      if (new_slice != slice) report_changes(slice, new_slice);
      converted += new_slice;
      rest.remove_prefix(slice.size());
    }
    if (converted != piece.text) rewrite_piece(span, piece.text, converted);
  }

  void report_changes(std::string_view text, std::string_view converted) {
    for (const WordChange& change : word_changes(text, converted)) {
      changes_.add(part_name_, change.old_word, change.new_word);
    }
  }

  void rewrite_piece(const PieceSpan& span, std::string_view old_text, std::string_view new_text) {
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

  XML_Parser parser_ = nullptr;
  std::string refusal_;
  std::vector<Paragraph> paragraphs_;  // open paragraphs, innermost last
  bool active_text_ = false;           // inside a text element being read
  std::size_t active_paragraph_ = 0;   // whose last piece that element is
  int depth_ = 0;
  int text_depth_ = 0;
  int skip_depth_ = 0;
  std::vector<Splice> splices_;
};

}  // namespace

OoxmlResult convert_part(std::string_view part, std::string_view part_name, ElementSet set,
                         const TextSettings& settings, ChangeSink& changes) {
  return PartConverter(part, part_name, set, settings, changes).run();
}

OoxmlResult convert_part(std::string_view part, std::string_view part_name, ElementSet set,
                         const TextSettings& settings, std::vector<Change>& changes) {
  // Changes are collected while the part is parsed; a part that turns out to
  // be malformed further on must not leave those of its first paragraphs.
  ChangeList part_changes;
  OoxmlResult result = convert_part(part, part_name, set, settings, part_changes);
  if (result.ok()) {
    changes.insert(changes.end(), std::make_move_iterator(part_changes.changes.begin()),
                   std::make_move_iterator(part_changes.changes.end()));
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

// Reads the uncompressed bytes of entry `index`, never more than it declares.
OoxmlResult read_entry(zip_t* archive, zip_uint64_t index, zip_uint64_t size) {
  zip_file_t* file = zip_fopen_index(archive, index, 0);
  if (file == nullptr) return {{}, zip_message(archive)};
  // The buffer grows with the bytes actually read: the size in the header is
  // only a claim, and a short archive claiming a huge entry must not make us
  // allocate it.
  constexpr std::size_t kChunk = std::size_t{1} << 16;
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(std::min<zip_uint64_t>(size, kChunk)));
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
    // One more read must meet the end; it also makes the library check the CRC.
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

// A text part of the package to convert.
struct TextPart {
  zip_uint64_t index = 0;
  zip_uint64_t size = 0;  // uncompressed, as the archive states it
  std::string name;
  ElementSet set = ElementSet::WordProcessing;
  time_t mtime = 0;
};

// What the parts converted while the new archive is written have in common.
struct WriteState {
  zip_t* reader = nullptr;  // the input, opened a second time, read-only
  const TextSettings* settings = nullptr;
  ChangeSink* changes = nullptr;
  std::string error;         // the first part's failure
  bool changed_any = false;  // some part's text changed
};

// A library source for a text part that reads and converts the part only
// when the library asks for its bytes while writing the new archive, and lets
// them go once they are written: one converted part is held at a time.
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
  zip_int64_t handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
      case ZIP_SOURCE_OPEN:
        offset_ = 0;
        return convert() ? 0 : -1;
      case ZIP_SOURCE_READ: {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length),
                                                    bytes_.size() - offset_);
        std::copy_n(bytes_.data() + offset_, n, static_cast<char*>(data));
        offset_ += n;
        return static_cast<zip_int64_t>(n);
      }
      case ZIP_SOURCE_CLOSE:
        std::string().swap(bytes_);  // assigning an empty string would keep the buffer
        ready_ = false;
        return 0;
      case ZIP_SOURCE_STAT: {
        // The library asks again once the part is written; its size is
        // remembered rather than converted anew.
        zip_stat_t* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
        if (stat == nullptr || (!size_ && !convert())) return -1;
        zip_stat_init(stat);
        stat->size = *size_;
        stat->valid |= ZIP_STAT_SIZE;
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

  // Makes the converted bytes ready. The changes are reported the first time
  // only, should the library ask for the bytes again.
  bool convert() {
    if (ready_) return true;
    OoxmlResult original = read_entry(state_.reader, part_.index, part_.size);
    if (original.ok()) {
      NoChanges ignored;
      ChangeSink& sink = reported_ ? static_cast<ChangeSink&>(ignored) : *state_.changes;
      OoxmlResult converted = convert_part(original.bytes, part_.name, part_.set,
                                           *state_.settings, sink);
      if (converted.ok()) {
        reported_ = true;
        ready_ = true;
        if (converted.bytes != original.bytes) state_.changed_any = true;
        bytes_ = std::move(converted.bytes);
        size_ = bytes_.size();
        return true;
      }
      original.error = part_.name + ": " + converted.error;
    }
    if (state_.error.empty()) state_.error = std::move(original.error);
    zip_error_set(&error_, ZIP_ER_INTERNAL, 0);
    return false;
  }

  struct NoChanges final : ChangeSink {
    void add(std::string_view, std::string_view, std::string_view) override {}
  };

  const TextPart& part_;
  WriteState& state_;
  zip_error_t error_{};
  std::string bytes_;
  std::optional<std::size_t> size_;
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
    parts.push_back({index, stat.size, stat.name, *set, entry_time(stat)});
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
                            const TextSettings& settings, ChangeSink& changes) {
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
      OoxmlResult bytes = read_entry(reader.get(), part.index, part.size);
      if (!bytes.ok()) return bytes.error;
      OoxmlResult converted = convert_part(bytes.bytes, part.name, part.set, settings, changes);
      if (!converted.ok()) return part.name + ": " + converted.error;
    }
    return {};
  }

  WriteState state{reader.get(), &settings, &changes, {}, false};
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
                            const TextSettings& settings, std::vector<Change>& changes) {
  MemoryInput input(package);
  MemoryOutput output;
  ChangeList package_changes;
  std::string error = convert_package(input, &output, kind, settings, package_changes);
  if (!error.empty()) return {{}, std::move(error)};
  changes.insert(changes.end(), std::make_move_iterator(package_changes.changes.begin()),
                 std::make_move_iterator(package_changes.changes.end()));
  return {std::move(output.bytes), {}};
}

}  // namespace vexo::cli
