// The text service's log: one line per event, "{secs} pid={pid} {exe}
// {message}", in %LOCALAPPDATA%\vexo\tsf.log. Each line opens, appends to and
// closes the file, so several processes can share it; within a process one
// lock serialises the writes. A log past 512 KiB is deleted before the next
// line. Errors while logging are ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexo::tsf {

inline constexpr std::uint64_t kLogSizeLimit = 524288;

class Log {
 public:
  Log() = default;  // writes nothing
  Log(std::string path, std::string executable);

  // Appends one line; may be called from any thread.
  void write(std::string_view message) const;

  const std::optional<std::string>& path() const { return path_; }

 private:
  std::optional<std::string> path_;
  std::string executable_;
};

// The log `tsf.log` in the vexo folder below a local profile directory, which
// is created with its parents. Without a directory the log writes nothing.
Log open_log(const std::optional<std::string>& local_app_data, std::string executable);

// This process's log, set up once from %LOCALAPPDATA% and the executable name.
const Log& process_log();

// Appends one line to this process's log.
void log(std::string_view message);

// One log line with its Line Feed. Line breaks inside the message become
// spaces so that one call always makes exactly one line.
std::string format_log_line(std::int64_t secs, std::uint32_t pid, std::string_view executable,
                            std::string_view message);

}  // namespace vexo::tsf
