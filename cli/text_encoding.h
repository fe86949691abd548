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

// Decodes a file read in slices of any size, as decode_text decodes it
// whole: the concatenated output is decode_text's text, and add() fails
// exactly where decode_text would give nullopt (at the latest with `ended`).
// A character, UTF-16 code unit or surrogate pair split between slices is
// held until its rest comes; so is the start until the mark can be told.
class TextDecoder {
 public:
  // Appends the text of the next `bytes` of the file to `out`; `ended` says
  // they are the last. False when the file is not valid text; the decoder
  // must not be used further then.
  bool add(std::string_view bytes, bool ended, std::string& out);
  // The file's encoding: known once add() has returned output or seen the end.
  TextEncoding encoding() const { return encoding_.value_or(TextEncoding::Utf8); }

 private:
  std::optional<TextEncoding> encoding_;
  std::string held_;  // undecoded bytes: at most a mark, a character or a pair
};

// The byte-order mark a file in `encoding` starts with (empty for plain UTF-8).
std::string_view byte_order_mark(TextEncoding encoding);

// Appends UTF-8 text as bytes in `encoding`, without the mark. The text must
// be valid UTF-8.
void append_encoded(std::string& out, std::string_view text, TextEncoding encoding);

// UTF-8 text as the bytes of a file in `encoding`, the mark in front where
// the encoding has one. The text must be valid UTF-8.
std::string encode_text(std::string_view text, TextEncoding encoding);

}  // namespace vexo::cli
