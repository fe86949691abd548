// Plain text files converted a piece at a time: read, decoded, converted,
// their changes found and the result encoded and written piece by piece, in
// the pieces (and with the evidence carried between them) of the text
// commands, so that memory stays bounded whatever the size of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "cli/changes.h"
#include "cli/ooxml.h"
#include "cli/stream.h"

namespace vexo::cli {

// Bytes asked of the input at a time.
inline constexpr std::size_t kTextReadBytes = std::size_t{1} << 16;

// The message for a file that is not valid UTF-8 (or UTF-16 after its mark).
inline constexpr std::string_view kNotTextMessage = "matn UTF-8 emas (faylni UTF-8 sifatida saqlang)";

// Reads the next bytes of the file into `out`: the count read (0 at the
// end), or -1 with `error` set.
using ReadBytes = std::function<std::int64_t(char* out, std::size_t length, std::string& error)>;
// Writes the next bytes of the result; false when the output failed.
using WriteBytes = std::function<bool(std::string_view bytes)>;

struct TextFileOptions {
  TextSettings settings;
  unsigned jobs = 1;                         // pieces converted at once; 0: one per core
  CutPiece cut = next_piece;                 // where pieces end
  std::size_t read_bytes = kTextReadBytes;  // bytes asked of `read` at a time
};

enum class TextFileEnd {
  Done,
  ReadFailed,   // `error` holds the reason
  NotText,      // the file is not valid text in the encoding its start announces
  WriteFailed,  // `write` failed (the input as far as it goes is valid text)
};

// Converts the text file `read` gives and writes the result through `write`
// (none: nothing is encoded) in the encoding the file came in, handing every
// change, located by line, to `changes`. The work stops at the first fault;
// when the output failed, the rest of the input is still read and decoded,
// so that a fault of the input is the one reported, as when it is read first.
// The caller discards what was written unless the end is Done.
TextFileEnd convert_text_file(const ReadBytes& read, const WriteBytes& write, ChangeSink& changes,
                              const TextFileOptions& options, std::string& error);

// Reads and decodes the file only: Done when it is valid text.
TextFileEnd check_text_file(const ReadBytes& read, std::string& error,
                            std::size_t read_bytes = kTextReadBytes);

}  // namespace vexo::cli
