// The vexo command line: global options, command dispatch and the pieces the
// commands share (taking the text, writing the result).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/lib.h"

namespace vexo::cli {

struct CliOptions {
  ConvertOptions convert;
  bool ascii = false;  // --ascii: plain ' apostrophes in old-spelling output
  unsigned jobs = 0;   // -j N: pieces or files converted at once; 0 = one per core
};

// Removes the global options (--no-guard, --no-cyrillic, --ascii, --tutuq=C,
// -j N) wherever they stand and returns the options they set.
CliOptions take_global_options(std::vector<std::string>& args);

// Runs one command line (without the program name); returns the exit status.
int run(std::vector<std::string> args);

// The program: prepares the console, takes the process arguments and runs
// them. An argument without a UTF-8 form is reported and gives status 1.
int start(int argc, char** argv);

// The text a command works on: the arguments joined with single spaces, or
// all of standard input when there are none. Text that cannot be read or is
// not UTF-8 is reported on standard error and gives nullopt: converting it
// silently to an empty result would lose the user's text.
std::optional<std::string> take_text(std::span<const std::string> args);

// Writes bytes to standard output as they are. Returns the exit status: 0, or
// 1 when the write failed for a reason other than a closed pipe.
int write_output(std::string_view text);

// Writes a result and a final line feed unless it already ends with one.
// Returns the exit status: 0, or 1 when the write failed for a reason other
// than a closed pipe (which is silent).
int write_result(std::string_view result);

// Writes one message line to standard error.
void report_error(std::string_view message);

// Commands with their own files. Each receives the arguments after its
// command word.
int run_cyr(std::span<const std::string> args, const CliOptions& options);
int run_explain(std::span<const std::string> args, const CliOptions& options);
int run_diff(std::span<const std::string> args, const CliOptions& options);
int run_eval(std::span<const std::string> args, const CliOptions& options);
int run_file(std::span<const std::string> args, const CliOptions& options);

}  // namespace vexo::cli
