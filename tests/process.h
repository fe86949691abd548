// Runs a program with arguments and standard input and captures what it wrote.
#pragma once

#include <string>
#include <vector>

namespace vexo::test {

struct ProcessResult {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
};

ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                          const std::string& input);

#ifdef _WIN32
// Runs a complete UTF-16 command line as given, which lets a test pass what
// no UTF-8 argument can express (an unpaired surrogate, say).
ProcessResult run_command_line(const std::wstring& command_line, const std::string& input);
#endif

}  // namespace vexo::test
