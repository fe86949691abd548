// Piecewise conversion of plain text files. See text_file.h.
#include "cli/text_file.h"

#include <algorithm>

#include "cli/text_encoding.h"
#include "core/lib.h"

namespace vexo::cli {
namespace {

// Reads the file through a decoder: the UTF-8 text of each read is appended
// to the pending text.
class DecodingReader {
 public:
  DecodingReader(const ReadBytes& read, std::size_t read_bytes, std::string& error)
      : read_(read), buffer_(std::max<std::size_t>(read_bytes, 1), '\0'), error_(error) {}

  ReadStatus operator()(std::string& out, bool& ended) {
    const std::int64_t n = read_(buffer_.data(), buffer_.size(), error_);
    if (n < 0) return ReadStatus::Failed;
    ended = n == 0;
    const std::string_view bytes(buffer_.data(), static_cast<std::size_t>(n));
    return decoder_.add(bytes, ended, out) ? ReadStatus::Ok : ReadStatus::NotText;
  }

  // Reads and decodes the rest, keeping none of it.
  TextFileEnd finish() {
    std::string text;
    for (bool ended = false; !ended; text.clear()) {
      const ReadStatus status = (*this)(text, ended);
      if (status == ReadStatus::Failed) return TextFileEnd::ReadFailed;
      if (status == ReadStatus::NotText) return TextFileEnd::NotText;
    }
    return TextFileEnd::Done;
  }

  TextEncoding encoding() const { return decoder_.encoding(); }

 private:
  const ReadBytes& read_;
  std::string buffer_;
  std::string& error_;
  TextDecoder decoder_;
};

TextFileEnd end_of(StreamEnd end) {
  switch (end) {
    case StreamEnd::Done: break;
    case StreamEnd::ReadFailed: return TextFileEnd::ReadFailed;
    case StreamEnd::NotText: return TextFileEnd::NotText;
    case StreamEnd::Stopped: return TextFileEnd::WriteFailed;
  }
  return TextFileEnd::Done;
}

}  // namespace

TextFileEnd convert_text_file(const ReadBytes& read, const WriteBytes& write, ChangeSink& changes,
                              const TextFileOptions& options, std::string& error) {
  DecodingReader reader(read, options.read_bytes, error);
  std::size_t line = 1;  // the line the next piece starts on
  bool marked = false;   // whether the byte-order mark is written
  std::string encoded;
  const auto write_mark = [&] {
    marked = true;
    return write(byte_order_mark(reader.encoding()));
  };
  const auto take = [&](std::string_view piece, std::string_view converted) {
    collect_changes(piece, converted, line, changes);
    line += static_cast<std::size_t>(std::count(piece.begin(), piece.end(), '\n'));
    if (!write) return true;
    if (!marked && !write_mark()) return false;
    encoded.clear();
    append_encoded(encoded, converted, reader.encoding());
    return write(encoded);
  };
  MemoPool<ConversionMemo> memos;  // what one piece learnt of its forms serves the next
  const StreamEnd end =
      convert_stream(std::ref(reader), options.settings.old_mode
                         ? old_spelling_pieces(options.settings.ascii)
                         : new_spelling_pieces(options.settings.options, memos), options.jobs,
                     take, options.cut);
  // An empty file still gets its mark back.
  if (end == StreamEnd::Done && write && !marked && !write_mark()) return TextFileEnd::WriteFailed;
  if (end != StreamEnd::Stopped) return end_of(end);
  const TextFileEnd rest = reader.finish();
  return rest == TextFileEnd::Done ? TextFileEnd::WriteFailed : rest;
}

TextFileEnd check_text_file(const ReadBytes& read, std::string& error, std::size_t read_bytes) {
  DecodingReader reader(read, read_bytes, error);
  return reader.finish();
}

}  // namespace vexo::cli
