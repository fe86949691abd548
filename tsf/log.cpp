#include "tsf/log.h"

#include <mutex>

#include "tsf/platform.h"
#include "tsf/profile.h"

namespace vexo::tsf {
namespace {

// One lock for every log of the process: lines from different threads never
// interleave, and the size check and the append happen together.
std::mutex& log_mutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

Log::Log(std::string path, std::string executable)
    : path_(std::move(path)), executable_(std::move(executable)) {}

void Log::write(std::string_view message) const {
  if (!path_) return;
  const std::string line = format_log_line(platform::unix_seconds(), platform::process_id(),
                                           executable_, message);
  const std::lock_guard<std::mutex> hold(log_mutex());
  const auto size = platform::file_size(*path_);
  if (size && *size > kLogSizeLimit) (void)platform::remove_file(*path_);
  (void)platform::append_file(*path_, line);
}

Log open_log(const std::optional<std::string>& local_app_data, std::string executable) {
  const std::optional<std::string> dir = vexo_dir_in(local_app_data);
  if (!dir) return Log();
  (void)platform::create_directories(*dir);
  return Log(*dir + platform::kPathSeparator + "tsf.log", std::move(executable));
}

const Log& process_log() {
  static const Log log =
      open_log(platform::environment_variable("LOCALAPPDATA"), executable_name());
  return log;
}

void log(std::string_view message) { process_log().write(message); }

std::string format_log_line(std::int64_t secs, std::uint32_t pid, std::string_view executable,
                            std::string_view message) {
  std::string line = std::to_string(secs) + " pid=" + std::to_string(pid) + " ";
  line += executable;
  line += ' ';
  for (const char c : message) line += (c == '\n' || c == '\r') ? ' ' : c;
  line += '\n';
  return line;
}

}  // namespace vexo::tsf
