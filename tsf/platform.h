// The operating-system services the text service's files need, behind one
// thin interface: environment variables, the running program's path, file
// metadata, whole-file reads, appends, deletion, directory creation, the
// process id and two clocks. Paths and texts are UTF-8; the Windows
// implementation converts them to UTF-16 at this edge.
//
// No function throws; a failure is an empty result or false.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexo::tsf::platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The value of an environment variable; nothing when it is missing or empty.
std::optional<std::string> environment_variable(const char* name);

// The full path of the running program's executable; empty when unknown.
std::string executable_path();

// What a file's metadata says about its content: an ordinary save changes it.
struct FileStamp {
  std::int64_t write_time = 0;  // platform units, compared only for equality
  std::uint64_t size = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of an existing file; nothing when it is missing or unreadable.
std::optional<FileStamp> file_stamp(const std::string& path);

// The whole content of a file; nothing when it is missing or unreadable.
std::optional<std::string> read_file(const std::string& path);

// True when the file or folder exists but this process may not read it (an
// AppContainer process, such as a Store app or Edge, in the user's profile).
bool access_denied(const std::string& path);

// Size of an existing file; nothing when it is missing.
std::optional<std::uint64_t> file_size(const std::string& path);

// Opens the file for appending (creating it), writes the bytes and closes it.
bool append_file(const std::string& path, std::string_view bytes);

// Deletes a file. False when it could not be deleted.
bool remove_file(const std::string& path);

// Creates a directory and its missing parents. True when it exists afterwards.
bool create_directories(const std::string& path);

std::uint32_t process_id();

// Whole seconds since 1970-01-01 00:00 UTC.
std::int64_t unix_seconds();

// Milliseconds from an arbitrary fixed point; never goes backwards.
std::int64_t monotonic_milliseconds();

}  // namespace vexo::tsf::platform
