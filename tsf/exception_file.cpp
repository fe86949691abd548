#include "tsf/exception_file.h"

#include "core/unicode.h"
#include "tsf/lines.h"
#include "tsf/platform.h"
#include "tsf/profile.h"

namespace vexo::tsf {
namespace {

bool has_line(std::string_view text, std::string_view word) {
  // trim() needs valid UTF-8; a damaged file is only appended to.
  if (!is_valid_utf8(text)) return false;
  for (const std::string_view line : split_lines(text)) {
    if (trim(line) == word) return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> append_exception(const std::optional<std::string>& settings_dir,
                                            std::string_view word) {
  if (!settings_dir) return "no settings directory";
  if (!platform::create_directories(*settings_dir)) {
    return "cannot create directory " + *settings_dir;
  }
  const std::string path = *profile_file(Profile{settings_dir, {}}, kExceptionsFile);
  const std::string existing = platform::read_file(path).value_or(std::string());
  if (has_line(existing, word)) return std::nullopt;

  std::string bytes;
  if (!existing.empty() && existing.back() != '\n') bytes += '\n';
  bytes += word;
  bytes += '\n';
  if (!platform::append_file(path, bytes)) return "cannot append to " + path;
  return std::nullopt;
}

}  // namespace vexo::tsf
