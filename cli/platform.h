// The few operating-system services the command line needs, behind one thin
// interface: arguments, standard streams and a monotonic clock. Each platform
// has its own implementation file; everything above it is portable.
#pragma once

#include <cstddef>
#include <cstdint>
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

enum class WriteStatus { Ok, ClosedPipe, Failed };

// Writes bytes to standard output, entirely or not at all as far as the
// caller can tell; a reader that went away is ClosedPipe, anything else Failed.
WriteStatus write_standard_output(std::string_view bytes);

// Writes bytes to standard error; failures are ignored.
void write_standard_error(std::string_view bytes);

// Nanoseconds from an arbitrary fixed point; never goes backwards.
std::uint64_t monotonic_nanoseconds();

}  // namespace vexo::platform
