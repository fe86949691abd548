// The few operating-system services the command line needs, behind one thin
// interface: arguments, standard streams and a monotonic clock. Each platform
// has its own implementation file; everything above it is portable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexo::platform {

// Prepares the standard streams for binary UTF-8 use (no newline translation,
// no signal on a closed pipe). Called once at start-up.
void init_console();

// The process arguments without the program name, as UTF-8 texts.
std::vector<std::string> arguments(int argc, char** argv);

// Reads all of standard input as bytes. False when reading failed.
bool read_standard_input(std::string& out);

enum class WriteStatus { Ok, ClosedPipe, Failed };

// Writes bytes to standard output, entirely or not at all as far as the
// caller can tell; a reader that went away is ClosedPipe, anything else Failed.
WriteStatus write_standard_output(std::string_view bytes);

// Writes bytes to standard error; failures are ignored.
void write_standard_error(std::string_view bytes);

// Reads a whole file as bytes. On failure returns false and sets `error` to
// the system's description of what went wrong.
bool read_file(const std::string& path, std::string& out, std::string& error);

// Nanoseconds from an arbitrary fixed point; never goes backwards.
std::uint64_t monotonic_nanoseconds();

}  // namespace vexo::platform
