// POSIX implementation of the command line's platform layer.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

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

}  // namespace

void init_console() { ::signal(SIGPIPE, SIG_IGN); }

bool arguments(int argc, char** argv, std::vector<std::string>& out, std::size_t&) {
  out.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
  return true;
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

std::uint64_t monotonic_nanoseconds() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace vexo::platform
