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

}  // namespace vexo::test
