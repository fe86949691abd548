// Byte-order marks and UTF-16 for text files. See text_encoding.h.
#include "cli/text_encoding.h"

#include "core/unicode.h"

namespace vexo::cli {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";
constexpr std::size_t kLongestMark = 3;

constexpr std::size_t kFailed = std::string_view::npos;

bool is_big_endian(TextEncoding encoding) { return encoding == TextEncoding::Utf16BigEndian; }

char16_t unit_at(std::string_view bytes, std::size_t i, bool big_endian) {
  const auto first = static_cast<unsigned char>(bytes[i]);
  const auto second = static_cast<unsigned char>(bytes[i + 1]);
  return static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first);
}

// Appends the UTF-8 of the UTF-16 `bytes` up to where they may go on in
// the next slice (an odd byte, a high surrogate without its partner) and
// returns how many bytes were used, or kFailed at an unpaired surrogate.
std::size_t utf16_to_utf8(std::string_view bytes, bool big_endian, std::string& out) {
  std::size_t i = 0;
  for (; i + 2 <= bytes.size(); i += 2) {
    const char16_t unit = unit_at(bytes, i, big_endian);
    if (unit >= 0xDC00 && unit <= 0xDFFF) return kFailed;
    if (unit < 0xD800 || unit > 0xDBFF) {
      append_utf8(out, unit);
      continue;
    }
    if (i + 4 > bytes.size()) break;
    const char16_t low = unit_at(bytes, i + 2, big_endian);
    if (low < 0xDC00 || low > 0xDFFF) return kFailed;
    append_utf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00));
    i += 2;
  }
  return i;
}

// The length of `bytes` without a last character that may go on in the
// next slice.
std::size_t complete_utf8_length(std::string_view bytes) {
  std::size_t start = bytes.size();
  while (start > 0 && bytes.size() - start < 3 &&
         (static_cast<unsigned char>(bytes[start - 1]) & 0xC0) == 0x80) {
    --start;
  }
  if (start == 0) return bytes.size();
  const auto lead = static_cast<unsigned char>(bytes[start - 1]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return bytes.size() - (start - 1) < length ? start - 1 : bytes.size();
}

void append_unit(std::string& out, char16_t unit, bool big_endian) {
  const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
  out.push_back(big_endian ? high : low);
  out.push_back(big_endian ? low : high);
}

void append_utf16(std::string& out, std::string_view text, bool big_endian) {
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
}

// The encoding the start of a file announces and the length of its mark.
std::pair<TextEncoding, std::size_t> announced_encoding(std::string_view start) {
  if (start.starts_with(kUtf16LittleEndianMark)) {
    return {TextEncoding::Utf16LittleEndian, kUtf16LittleEndianMark.size()};
  }
  if (start.starts_with(kUtf16BigEndianMark)) {
    return {TextEncoding::Utf16BigEndian, kUtf16BigEndianMark.size()};
  }
  if (start.starts_with(kUtf8Mark)) return {TextEncoding::Utf8WithMark, kUtf8Mark.size()};
  return {TextEncoding::Utf8, 0};
}

}  // namespace

std::optional<DecodedText> decode_text(std::string_view bytes) {
  const auto [encoding, mark] = announced_encoding(bytes);
  const std::string_view body = bytes.substr(mark);
  DecodedText decoded{{}, encoding};
  if (encoding == TextEncoding::Utf16LittleEndian || encoding == TextEncoding::Utf16BigEndian) {
    decoded.text.reserve(body.size() / 2 * 3 / 2);
    if (utf16_to_utf8(body, is_big_endian(encoding), decoded.text) != body.size()) return std::nullopt;
    return decoded;
  }
  // The UTF-8 mark counts only when the whole file is UTF-8.
  if (!is_valid_utf8(bytes)) return std::nullopt;
  decoded.text = std::string(body);
  return decoded;
}

bool TextDecoder::add(std::string_view bytes, bool ended, std::string& out) {
  std::string joined;
  if (!held_.empty()) {
    joined = std::move(held_);
    joined.append(bytes);
    bytes = joined;
    held_.clear();
  }
  if (!encoding_) {
    if (bytes.size() < kLongestMark && !ended) {
      held_.assign(bytes);
      return true;
    }
    const auto [encoding, mark] = announced_encoding(bytes);
    encoding_ = encoding;
    bytes.remove_prefix(mark);
  }
  std::size_t used = 0;
  if (*encoding_ == TextEncoding::Utf16LittleEndian || *encoding_ == TextEncoding::Utf16BigEndian) {
    used = utf16_to_utf8(bytes, is_big_endian(*encoding_), out);
    if (used == kFailed) return false;
  } else {
    used = complete_utf8_length(bytes);
    if (!is_valid_utf8(bytes.substr(0, used))) return false;
    out.append(bytes.substr(0, used));
  }
  if (used == bytes.size()) return true;
  if (ended) return false;  // a character or surrogate pair cut off by the end
  held_.assign(bytes.substr(used));
  return true;
}

std::string_view byte_order_mark(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8: break;
    case TextEncoding::Utf8WithMark: return kUtf8Mark;
    case TextEncoding::Utf16LittleEndian: return kUtf16LittleEndianMark;
    case TextEncoding::Utf16BigEndian: return kUtf16BigEndianMark;
  }
  return {};
}

void append_encoded(std::string& out, std::string_view text, TextEncoding encoding) {
  if (encoding == TextEncoding::Utf16LittleEndian || encoding == TextEncoding::Utf16BigEndian) {
    append_utf16(out, text, is_big_endian(encoding));
  } else {
    out.append(text);
  }
}

std::string encode_text(std::string_view text, TextEncoding encoding) {
  std::string out(byte_order_mark(encoding));
  append_encoded(out, text, encoding);
  return out;
}

}  // namespace vexo::cli
