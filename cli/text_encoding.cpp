// Byte-order marks and UTF-16 for text files. See text_encoding.h.
#include "cli/text_encoding.h"

#include "core/unicode.h"

namespace vexo::cli {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

char16_t unit_at(std::string_view bytes, std::size_t i, bool big_endian) {
  const auto first = static_cast<unsigned char>(bytes[i]);
  const auto second = static_cast<unsigned char>(bytes[i + 1]);
  return static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first);
}

std::optional<std::string> utf16_to_utf8(std::string_view bytes, bool big_endian) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::string out;
  out.reserve(bytes.size() / 2 * 3 / 2);
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    const char16_t unit = unit_at(bytes, i, big_endian);
    if (unit >= 0xDC00 && unit <= 0xDFFF) return std::nullopt;
    if (unit < 0xD800 || unit > 0xDBFF) {
      append_utf8(out, unit);
      continue;
    }
    if (i + 2 >= bytes.size()) return std::nullopt;
    const char16_t low = unit_at(bytes, i + 2, big_endian);
    if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
    append_utf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00));
    i += 2;
  }
  return out;
}

void append_unit(std::string& out, char16_t unit, bool big_endian) {
  const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
  out.push_back(big_endian ? high : low);
  out.push_back(big_endian ? low : high);
}

std::string utf8_to_utf16(std::string_view text, bool big_endian) {
  std::string out(big_endian ? kUtf16BigEndianMark : kUtf16LittleEndianMark);
  out.reserve(out.size() + text.size() * 2);
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = next_code_point(text, i);
    if (c < 0x10000) {
      append_unit(out, static_cast<char16_t>(c), big_endian);
    } else {
      append_unit(out, static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)), big_endian);
      append_unit(out, static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)), big_endian);
    }
  }
  return out;
}

}  // namespace

std::optional<DecodedText> decode_text(std::string_view bytes) {
  for (const bool big_endian : {false, true}) {
    const std::string_view mark = big_endian ? kUtf16BigEndianMark : kUtf16LittleEndianMark;
    if (!bytes.starts_with(mark)) continue;
    std::optional<std::string> text = utf16_to_utf8(bytes.substr(mark.size()), big_endian);
    if (!text) return std::nullopt;
    return DecodedText{std::move(*text), big_endian ? TextEncoding::Utf16BigEndian
                                                    : TextEncoding::Utf16LittleEndian};
  }
  if (!is_valid_utf8(bytes)) return std::nullopt;
  if (bytes.starts_with(kUtf8Mark)) {
    return DecodedText{std::string(bytes.substr(kUtf8Mark.size())), TextEncoding::Utf8WithMark};
  }
  return DecodedText{std::string(bytes), TextEncoding::Utf8};
}

std::string encode_text(std::string_view text, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8: break;
    case TextEncoding::Utf8WithMark: return std::string(kUtf8Mark) + std::string(text);
    case TextEncoding::Utf16LittleEndian: return utf8_to_utf16(text, false);
    case TextEncoding::Utf16BigEndian: return utf8_to_utf16(text, true);
  }
  return std::string(text);
}

}  // namespace vexo::cli
