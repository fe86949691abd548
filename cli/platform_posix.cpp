// POSIX implementation of the command line's platform layer.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "cli/platform.h"

namespace vexo::platform {
namespace {

// Writes all bytes to a descriptor, retrying after interruptions and short
// writes. Returns 0 or the errno of the failure.
int write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

// The directory part of a path, for flushing a rename to disk.
std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Writes the bytes to the temporary file and flushes them. Returns 0 or the
// errno of the first failure; `opened` tells whether the file was created or
// truncated by us, and so is ours to remove after a failure.
int write_temporary(const std::string& temporary, std::string_view bytes,
                    std::optional<unsigned> mode, bool& opened) {
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                        0666);
  opened = fd >= 0;
  if (fd < 0) return errno;
  int err = write_all(fd, bytes);
  if (err == 0 && mode && ::fchmod(fd, static_cast<mode_t>(*mode)) != 0) err = errno;
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  return err;
}

}  // namespace

void init_console() { ::signal(SIGPIPE, SIG_IGN); }

bool arguments(int argc, char** argv, std::vector<std::string>& out, std::size_t&) {
  out.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
  return true;
}

bool read_standard_input_some(std::string& out, bool& ended) {
  char buffer[1 << 16];
  while (true) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    ended = n == 0;
    out.append(buffer, static_cast<std::size_t>(n));
    return true;
  }
}

bool read_standard_input(std::string& out) {
  out.clear();
  char buffer[1 << 16];
  while (true) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

WriteStatus write_standard_output(std::string_view bytes) {
  const int err = write_all(STDOUT_FILENO, bytes);
  if (err == 0) return WriteStatus::Ok;
  return err == EPIPE ? WriteStatus::ClosedPipe : WriteStatus::Failed;
}

void write_standard_error(std::string_view bytes) { (void)write_all(STDERR_FILENO, bytes); }

bool read_file(const std::string& path, std::string& out, std::string& error) {
  out.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  char buffer[1 << 16];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      ::close(fd);
      return false;
    }
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

bool replace_file(const std::string& path, std::string_view bytes, std::optional<unsigned> mode,
                  std::string& error) {
  const std::string temporary = path + std::string(kTemporarySuffix);
  bool opened = false;
  int err = write_temporary(temporary, bytes, mode, opened);
  if (err == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    if (opened) ::unlink(temporary.c_str());
    error = std::strerror(err);
    return false;
  }
  // Make the rename itself durable; a failure here loses nothing already
  // written, so it is not reported.
  const int dir = ::open(directory_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::optional<unsigned> permission_bits(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<unsigned>(info.st_mode & 07777);
}

std::string resolved_path(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string result(resolved);
  std::free(resolved);
  return result;
}

std::uint64_t monotonic_nanoseconds() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace vexo::platform
