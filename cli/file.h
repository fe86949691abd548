// The pieces of `vexo file` that need no file system: what kind of file a
// path is, where its result goes by default, and the conversion of a file's
// bytes. run_file (app.h) is the command itself; the browser page calls
// convert_file_bytes directly.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/changes.h"
#include "cli/ooxml.h"

namespace vexo::cli {

enum class FileKind { Text, WordProcessing, Spreadsheet, Refused };

// The extension of the last path component: the text after its last ".",
// unless that dot starts the name or the name is "..". Empty when there is
// none or it is not valid UTF-8.
std::string_view file_extension(std::string_view path);

// The kind decided by the extension, compared after ASCII lower-casing.
FileKind file_kind(std::string_view path);

// The default output next to the input: stem + ".yangi" (".eski" in old
// mode) + the extension as written, so hujjat.docx gives hujjat.yangi.docx
// and README gives README.yangi.
std::string default_output_path(std::string_view path, bool old_mode);

// The converted bytes of one file and the words that changed, or the message
// that says why there are none.
struct FileResult {
  std::string bytes;
  std::vector<Change> changes;
  std::string error;  // empty on success
  bool ok() const { return error.empty(); }
};

// Converts the bytes of the file `name` as `vexo file` does; the kind comes
// from the name. Plain text must be UTF-8 (a byte-order mark is kept);
// refused kinds give the advice to save in a supported format.
FileResult convert_file_bytes(std::string_view name, std::string_view bytes,
                              const TextSettings& settings);

}  // namespace vexo::cli
