// The few operating-system services the command line needs, behind one thin
// interface: arguments, standard streams, file access and replacement, and a
// monotonic clock. Each platform
// has its own implementation file; everything above it is portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexo::platform {

// Prepares the standard streams for binary UTF-8 use (no newline translation,
// no signal on a closed pipe). Called once at start-up.
void init_console();

// The process arguments without the program name, as UTF-8 texts. False when
// one of them has no UTF-8 form (on Windows, an argument that is not valid
// UTF-16); `bad` is then its 1-based position.
bool arguments(int argc, char** argv, std::vector<std::string>& out, std::size_t& bad);

// Reads all of standard input as bytes. False when reading failed.
bool read_standard_input(std::string& out);

// Appends what standard input has ready, at most about 64 KiB (a console is
// read whole), to `out`; `ended` becomes true at the end of the input. False
// when reading failed.
bool read_standard_input_some(std::string& out, bool& ended);

enum class WriteStatus { Ok, ClosedPipe, Failed };

// Writes bytes to standard output, entirely or not at all as far as the
// caller can tell; a reader that went away is ClosedPipe, anything else Failed.
WriteStatus write_standard_output(std::string_view bytes);

// Writes bytes to standard error; failures are ignored.
void write_standard_error(std::string_view bytes);

// Reads a whole file as bytes. On failure returns false and sets `error` to
// the system's description of what went wrong.
bool read_file(const std::string& path, std::string& out, std::string& error);

// An input file of `vexo file`, read in place. Only regular files are
// opened: a directory, device, FIFO or socket is refused without being read
// (a FIFO is not even waited on).
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // False with `error` set: the system's description, or the refusal.
  bool open(const std::string& path, std::string& error);
  std::uint64_t size() const { return size_; }
  // Up to `length` bytes at `offset`: the count read (0 at the end), or -1.
  std::int64_t read_at(std::uint64_t offset, char* out, std::size_t length, std::string& error);
  bool read_all(std::string& out, std::string& error);
  // Lets go of the file, so that it can be replaced (Windows refuses to
  // rename over a file that is still open).
  void close();

 private:
  std::intptr_t handle_ = -1;
  std::uint64_t size_ = 0;
};

// What a file replaced in place keeps: permission bits, owner and group.
struct FileAttributes {
  unsigned mode = 0;
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
};

// The attributes of an existing file, or nullopt (always on Windows, whose
// replaced files get the default security of their directory).
std::optional<FileAttributes> file_attributes(const std::string& path);

// How long a writer waits for another one working on the same target.
inline constexpr int kMaxLockWaitSeconds = 60;

// A new version of a file, written beside it and moved over it only when
// complete, so the target is never seen half-written.
//
// begin() takes the target's lock (the file target + ".vexo-lock", held while
// the run lives; a second writer of the same target waits for it, at most
// kMaxLockWaitSeconds, and is then refused), removes temporary files that
// killed runs left for this target (only its lock holder can be writing
// one), and creates a temporary file of its own with a fresh name: target +
// ".vexo-tmp." + six letters or digits, never an existing file. commit()
// flushes it, gives it the attributes (owner and group where the process may
// set them, then the mode) and renames it over the target. A run that ends
// otherwise (or a destructor before commit) removes the temporary file; the
// lock file goes with the lock.
class ReplacementFile {
 public:
  ReplacementFile() = default;
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  bool begin(const std::string& target, std::string& error);
  bool write_at(std::uint64_t offset, std::string_view bytes, std::string& error);
  bool clear(std::string& error);  // back to empty
  bool commit(const std::optional<FileAttributes>& attributes, std::string& error);

 private:
  void abandon();
  void unlock();

  std::string target_;
  std::string temporary_;
  std::string lock_;
  std::intptr_t file_ = -1;
  std::intptr_t lock_handle_ = -1;
};

// Replaces `path` with `bytes` through a ReplacementFile. On failure the
// target is untouched and `error` holds the system's description.
inline bool replace_file(const std::string& path, std::string_view bytes,
                         const std::optional<FileAttributes>& attributes, std::string& error) {
  ReplacementFile file;
  return file.begin(path, error) && file.write_at(0, bytes, error) &&
         file.commit(attributes, error);
}

// The suffixes of the files a ReplacementFile puts beside its target.
inline constexpr std::string_view kTemporarySuffix = ".vexo-tmp";
inline constexpr std::string_view kLockSuffix = ".vexo-lock";

// True when file name `name` is the lock or a temporary file of a writer of
// the file named `target` (both last path components). Temporary files of
// earlier versions had no random part and count as well.
inline bool is_work_file_name(std::string_view name, std::string_view target) {
  if (!name.starts_with(target)) return false;
  name.remove_prefix(target.size());
  if (name == kLockSuffix || name == kTemporarySuffix) return true;
  if (!name.starts_with(kTemporarySuffix)) return false;
  name.remove_prefix(kTemporarySuffix.size());
  if (name.size() != 7 || name[0] != '.') return false;
  for (const char c : name.substr(1)) {
    const bool alphanumeric =
        (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alphanumeric) return false;
  }
  return true;
}

// True when both paths exist and name the same file once links are followed.
bool same_file(const std::string& a, const std::string& b);

// The path with every link resolved, or the path itself when it cannot be
// resolved; writing through it replaces the file a link points to rather
// than the link.
std::string resolved_path(const std::string& path);

// Nanoseconds from an arbitrary fixed point; never goes backwards.
std::uint64_t monotonic_nanoseconds();

}  // namespace vexo::platform
