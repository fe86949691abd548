// The encodings a plain text file may come in: UTF-8, with or without a
// byte-order mark, and UTF-16 in either byte order when it starts with its
// byte-order mark (Notepad's "Unicode", PowerShell 5 redirection). A file is
// converted as UTF-8 and written back in the encoding it came in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexo::cli {

enum class TextEncoding { Utf8, Utf8WithMark, Utf16LittleEndian, Utf16BigEndian };

struct DecodedText {
  std::string text;  // UTF-8, without the byte-order mark
  TextEncoding encoding = TextEncoding::Utf8;
};

// The text of a file's bytes, or nullopt when they are not valid in the
// encoding their start announces (an odd UTF-16 length or an unpaired
// surrogate, say). Bytes without a UTF-16 mark must be UTF-8.
std::optional<DecodedText> decode_text(std::string_view bytes);

// UTF-8 text as the bytes of a file in `encoding`, the mark in front where
// the encoding has one. The text must be valid UTF-8.
std::string encode_text(std::string_view text, TextEncoding encoding);

}  // namespace vexo::cli
