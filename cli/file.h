// The pieces of `vexo file` that are pure functions of names: what kind of
// file a path is and where its result goes by default. run_file (app.h) is
// the command itself.
#pragma once

#include <string>
#include <string_view>

namespace vexo::cli {

enum class FileKind { Text, WordProcessing, Spreadsheet, Presentation, OpenDocument, Refused };

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

}  // namespace vexo::cli
