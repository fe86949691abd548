// POSIX implementation of the command line's platform layer.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <system_error>
#include <thread>

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

// The last component of a path.
std::string name_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The system's description of an error number (strerror's text; unlike
// strerror, safe while other threads report errors too).
std::string system_message(int error) { return std::generic_category().message(error); }

// Six random letters and digits for a temporary file's name. Each thread
// draws from its own generator, since files are written on several at once.
std::string random_suffix() {
  static constexpr std::string_view kAlphabet =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 generator = [] {
    std::random_device device;
    return std::mt19937_64((std::uint64_t{device()} << 32) ^ device() ^
                           static_cast<std::uint64_t>(::getpid()));
  }();
  std::string out;
  for (int i = 0; i < 6; ++i) out.push_back(kAlphabet[generator() % kAlphabet.size()]);
  return out;
}

// Removes the temporary files that killed writers left beside `target`.
// Only called by the holder of the target's lock, so none of them belongs to
// a live writer.
void remove_leftovers(const std::string& target) {
  DIR* dir = ::opendir(directory_of(target).c_str());
  if (dir == nullptr) return;
  const std::string target_name = name_of(target);
  const std::string prefix = target.substr(0, target.size() - target_name.size());
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == target_name + std::string(kLockSuffix)) continue;
    if (!is_work_file_name(name, target_name)) continue;
    const std::string path = prefix + std::string(name);
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(path.c_str());
  }
  ::closedir(dir);
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
    error = system_message(errno);
    return false;
  }
  char buffer[1 << 16];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      error = system_message(errno);
      ::close(fd);
      return false;
    }
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

InputFile::~InputFile() { close(); }

void InputFile::close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

bool InputFile::open(const std::string& path, std::string& error) {
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error = errno == EISDIR ? "bu papka, fayl emas" : system_message(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? "bu papka, fayl emas"
                                  : "oddiy fayl emas (qurilma, kanal yoki soket o'qilmaydi)";
    ::close(fd);
    return false;
  }
  handle_ = fd;
  size_ = static_cast<std::uint64_t>(info.st_size);
  return true;
}

std::int64_t InputFile::read_at(std::uint64_t offset, char* out, std::size_t length,
                                std::string& error) {
  while (true) {
    const ssize_t n = ::pread(static_cast<int>(handle_), out, length, static_cast<off_t>(offset));
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    error = system_message(errno);
    return -1;
  }
}

bool InputFile::read_all(std::string& out, std::string& error) {
  out.clear();
  char buffer[1 << 16];
  while (true) {
    const std::int64_t n = read_at(out.size(), buffer, sizeof buffer, error);
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

std::optional<FileAttributes> file_attributes(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileAttributes{static_cast<unsigned>(info.st_mode & 07777), info.st_uid, info.st_gid};
}

ReplacementFile::~ReplacementFile() { abandon(); }

bool ReplacementFile::begin(const std::string& target, std::string& error) {
  abandon();
  target_ = target;
  lock_ = target + std::string(kLockSuffix);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kMaxLockWaitSeconds);
  while (true) {
    const int fd = ::open(lock_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
      error = system_message(errno);
      return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      // The previous holder removes the lock file as it lets go; a lock
      // taken on a removed file locks nothing, so check it is still there.
      struct stat held {}, named {};
      if (::fstat(fd, &held) == 0 && ::stat(lock_.c_str(), &named) == 0 &&
          held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
        lock_handle_ = fd;
        break;
      }
      ::close(fd);
      continue;
    }
    const int err = errno;
    ::close(fd);
    if (err != EWOULDBLOCK && err != EINTR) {
      error = system_message(err);
      return false;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      error = "boshqa vexo jarayoni bu faylga yozmoqda; keyinroq qayta urinib ko'ring";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }

  remove_leftovers(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = target + std::string(kTemporarySuffix) + "." + random_suffix();
    const int fd = ::open(temporary_.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      file_ = fd;
      return true;
    }
    if (errno != EEXIST) break;
  }
  error = system_message(errno);
  temporary_.clear();
  unlock();
  return false;
}

bool ReplacementFile::write_at(std::uint64_t offset, std::string_view bytes, std::string& error) {
  while (!bytes.empty()) {
    const ssize_t n =
        ::pwrite(static_cast<int>(file_), bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      error = system_message(errno);
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

bool ReplacementFile::clear(std::string& error) {
  if (::ftruncate(static_cast<int>(file_), 0) == 0) return true;
  error = system_message(errno);
  return false;
}

bool ReplacementFile::commit(const std::optional<FileAttributes>& attributes, std::string& error) {
  const int fd = static_cast<int>(file_);
  int err = 0;
  if (attributes) {
    // Owner and group as far as the process may set them (as sed -i does):
    // both, else the group alone; the mode afterwards, since a change of
    // owner clears the set-id bits.
    if (::fchown(fd, attributes->owner, attributes->group) != 0) {
      // A group that cannot be kept either leaves the writer's; as with
      // sed -i, that is no failure.
      const int group_kept = ::fchown(fd, static_cast<uid_t>(-1), attributes->group);
      static_cast<void>(group_kept);
    }
    if (::fchmod(fd, static_cast<mode_t>(attributes->mode)) != 0) err = errno;
  }
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  file_ = -1;
  if (err == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) err = errno;
  if (err != 0) {
    error = system_message(err);
    abandon();
    return false;
  }
  temporary_.clear();
  // Make the rename itself durable; a failure here loses nothing already
  // written, so it is not reported.
  const int dir = ::open(directory_of(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  unlock();
  return true;
}

void ReplacementFile::abandon() {
  if (file_ >= 0) ::close(static_cast<int>(file_));
  file_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  unlock();
}

void ReplacementFile::unlock() {
  if (lock_handle_ < 0) return;
  // Removed while still held, so that a writer that opens it afterwards
  // finds it gone and takes a fresh one.
  ::unlink(lock_.c_str());
  ::close(static_cast<int>(lock_handle_));
  lock_handle_ = -1;
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
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
