// Windows implementation of run_process: the arguments are quoted into one
// UTF-16 command line by the rules CommandLineToArgvW undoes, and the three
// standard streams are pipes.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <thread>

#include "tests/process.h"

namespace vexo::test {
namespace {

std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
  return out;
}

// One argument in double quotes; backslashes are doubled where they precede
// a quote, and quotes are escaped.
void append_quoted(std::wstring& line, const std::wstring& arg) {
  line.push_back(L'"');
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    line.push_back(c);
  }
  line.append(2 * backslashes, L'\\');
  line.push_back(L'"');
}

std::string read_all(HANDLE h) {
  std::string out;
  char buffer[4096];
  DWORD n = 0;
  while (::ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
  return out;
}

}  // namespace

ProcessResult run_command_line(const std::wstring& command_line, const std::string& input) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE in_read, in_write, out_read, out_write, err_read, err_write;
  if (!::CreatePipe(&in_read, &in_write, &inherit, 0)) return {};
  if (!::CreatePipe(&out_read, &out_write, &inherit, 0)) return {};
  if (!::CreatePipe(&err_read, &err_write, &inherit, 0)) return {};
  for (HANDLE ours : {in_write, out_read, err_read}) ::SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in_read;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  PROCESS_INFORMATION process{};
  std::wstring line = command_line;  // CreateProcessW may write to it
  const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
  for (HANDLE theirs : {in_read, out_write, err_write}) ::CloseHandle(theirs);
  ProcessResult result;
  if (started) {
    std::thread writer([&] {
      DWORD written = 0;
      if (!input.empty()) {
        ::WriteFile(in_write, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
      }
      ::CloseHandle(in_write);
    });
    std::thread errors([&] { result.err = read_all(err_read); });
    result.out = read_all(out_read);
    errors.join();
    writer.join();
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (::GetExitCodeProcess(process.hProcess, &code)) result.status = static_cast<int>(code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  } else {
    ::CloseHandle(in_write);
  }
  ::CloseHandle(out_read);
  ::CloseHandle(err_read);
  return result;
}

ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                          const std::string& input) {
  std::wstring line;
  append_quoted(line, wide(program));
  for (const std::string& arg : args) {
    line.push_back(L' ');
    append_quoted(line, wide(arg));
  }
  return run_command_line(line, input);
}

}  // namespace vexo::test
