// The few operating-system services the command line needs, behind one thin
// interface: arguments, standard streams, whole-file access and a monotonic
// clock. Each platform
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

// Replaces `path` with `bytes` so that the target is never seen half-written:
// the bytes go to `path` + ".vexo-tmp" (created or truncated), are flushed to
// disk, and the temporary file is then renamed over the target. With `mode`
// the new file gets those permission bits. On failure the temporary file is
// removed, the target is untouched, and `error` holds the system's
// description.
bool replace_file(const std::string& path, std::string_view bytes, std::optional<unsigned> mode,
                  std::string& error);

// The suffix of the temporary file that replace_file writes next to its target.
inline constexpr std::string_view kTemporarySuffix = ".vexo-tmp";

// True when both paths exist and name the same file once links are followed.
bool same_file(const std::string& a, const std::string& b);

// The permission bits of an existing file, or nullopt.
std::optional<unsigned> permission_bits(const std::string& path);

// The path with every link resolved, or the path itself when it cannot be
// resolved; writing through it replaces the file a link points to rather
// than the link.
std::string resolved_path(const std::string& path);

// Nanoseconds from an arbitrary fixed point; never goes backwards.
std::uint64_t monotonic_nanoseconds();

}  // namespace vexo::platform
