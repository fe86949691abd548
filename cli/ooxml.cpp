// Package and part conversion for Office Open XML. See ooxml.h.
#include "cli/ooxml.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <ctime>
#include <list>
#include <memory>

#include "cli/align.h"
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
                const TextSettings& settings, std::vector<Change>& changes)
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

  static void XMLCALL on_start(void* data, const XML_Char* name, const XML_Char**) {
    self(data).start_element(name);
  }
  static void XMLCALL on_end(void* data, const XML_Char* name) { self(data).end_element(name); }
  static void XMLCALL on_text(void* data, const XML_Char* text, int length) {
    PartConverter& converter = self(data);
    if (converter.active_text_) {
      converter.active_piece().text.append(text, static_cast<std::size_t>(length));
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
    std::string text;
    for (const Piece& piece : paragraph.pieces) text += piece.text;
    const std::string converted = convert_text(text, settings_);
    if (converted == text) return;

    const std::vector<std::string> new_texts = distribute_runs(paragraph.pieces, text, converted);
    for (std::size_t i = 0; i < paragraph.pieces.size(); ++i) {
      const Piece& piece = paragraph.pieces[i];
      if (piece.placeholder || new_texts[i] == piece.text) continue;
      rewrite_piece(paragraph.spans[i], piece.text, new_texts[i]);
    }
    for (WordChange& change : word_changes(text, converted)) {
      changes_.push_back(
          {std::string(part_name_), std::move(change.old_word), std::move(change.new_word)});
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
  std::vector<Change>& changes_;

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
                         const TextSettings& settings, std::vector<Change>& changes) {
  // Changes are collected while the part is parsed; a part that turns out to
  // be malformed further on must not leave those of its first paragraphs.
  std::vector<Change> part_changes;
  OoxmlResult result = PartConverter(part, part_name, set, settings, part_changes).run();
  if (result.ok()) {
    changes.insert(changes.end(), std::make_move_iterator(part_changes.begin()),
                   std::make_move_iterator(part_changes.end()));
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

// Owners of the library's handles: an archive not closed by then is
// discarded unchanged, and a source drops one reference.
struct ArchiveCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct SourceCloser {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;
using Source = std::unique_ptr<zip_source_t, SourceCloser>;

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

// The bytes an in-memory source holds after the archive written to it closed.
OoxmlResult source_bytes(zip_source_t* source) {
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_source_stat(source, &stat) < 0 || zip_source_open(source) < 0) {
    return {{}, zip_message(zip_source_error(source))};
  }
  std::string bytes(static_cast<std::size_t>(stat.size), '\0');
  const zip_int64_t n = zip_source_read(source, bytes.data(), bytes.size());
  zip_source_close(source);
  if (n < 0 || static_cast<zip_uint64_t>(n) != stat.size) {
    return {{}, zip_message(zip_source_error(source))};
  }
  return {std::move(bytes), {}};
}

}  // namespace

OoxmlResult convert_package(std::string_view package, PackageKind kind,
                            const TextSettings& settings, std::vector<Change>& changes) {
  zip_error_t error;
  zip_error_init(&error);
  // The library takes an empty file for an empty archive; for a document
  // that would be a silent loss, so it is refused like any other non-archive.
  if (package.empty()) {
    zip_error_set(&error, ZIP_ER_NOZIP, 0);
    OoxmlResult result{{}, zip_message(&error)};
    zip_error_fini(&error);
    return result;
  }
  Source source(zip_source_buffer_create(package.data(), package.size(), 0, &error));
  if (!source) {
    OoxmlResult result{{}, zip_message(&error)};
    zip_error_fini(&error);
    return result;
  }
  Archive archive(zip_open_from_source(source.get(), 0, &error));
  if (!archive) {
    OoxmlResult result{{}, zip_message(&error)};
    zip_error_fini(&error);
    return result;
  }
  zip_error_fini(&error);
  // The archive now owns a reference to the source and writes the new package
  // back into it; keep our own so the result can be read after the close.
  zip_source_keep(source.get());

  std::list<std::string> new_parts;  // must outlive the archive's close
  std::vector<Change> package_changes;
  std::uint64_t total = 0;
  const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const auto index = static_cast<zip_uint64_t>(i);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive.get(), index, 0, &stat) < 0) return {{}, zip_message(archive.get())};
    if (!(stat.valid & ZIP_STAT_NAME)) continue;
    const std::optional<ElementSet> set = select_part(stat.name, kind);
    if (!set) continue;
    if (!(stat.valid & ZIP_STAT_SIZE) || !(stat.valid & ZIP_STAT_COMP_SIZE)) {
      return {{}, std::string(stat.name) + ": zip: Entry size unknown"};
    }
    total += stat.size;
    if (std::string refusal = expansion_refusal(stat, total, package.size()); !refusal.empty()) {
      return {{}, std::move(refusal)};
    }

    OoxmlResult part = read_entry(archive.get(), index, stat.size);
    if (!part.ok()) return part;
    OoxmlResult converted = convert_part(part.bytes, stat.name, *set, settings, package_changes);
    if (!converted.ok()) return {{}, std::string(stat.name) + ": " + converted.error};
    if (converted.bytes == part.bytes) continue;

    const std::string& bytes = new_parts.emplace_back(std::move(converted.bytes));
    zip_source_t* replacement = zip_source_buffer(archive.get(), bytes.data(), bytes.size(), 0);
    if (replacement == nullptr) return {{}, zip_message(archive.get())};
    if (zip_file_replace(archive.get(), index, replacement, 0) < 0) {
      zip_source_free(replacement);
      return {{}, zip_message(archive.get())};
    }
    if (zip_file_set_mtime(archive.get(), index, entry_time(stat), 0) < 0) {
      return {{}, zip_message(archive.get())};
    }
  }

  if (new_parts.empty()) {
    changes.insert(changes.end(), package_changes.begin(), package_changes.end());
    return {std::string(package), {}};
  }
  if (zip_close(archive.get()) < 0) return {{}, zip_message(archive.get())};
  archive.release();  // closed successfully, which also freed it
  OoxmlResult result = source_bytes(source.get());
  if (result.ok()) {
    changes.insert(changes.end(), std::make_move_iterator(package_changes.begin()),
                   std::make_move_iterator(package_changes.end()));
  }
  return result;
}

}  // namespace vexo::cli
