// Win32 implementation of the command line's platform layer. Text crosses
// the Windows API as UTF-16 and is UTF-8 everywhere else: arguments come from
// GetCommandLineW, a console is written with WriteConsoleW, and pipes and
// files get the UTF-8 bytes unchanged (no newline translation).
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>  // after windows.h, whose types it uses

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "cli/platform.h"

namespace vexo::platform {
namespace {

// Largest piece handed to one ReadFile/WriteFile/WriteConsoleW call.
constexpr DWORD kChunk = 1 << 16;

struct HandleCloser {
  void operator()(HANDLE h) const { ::CloseHandle(h); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle own(HANDLE h) { return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h); }

// Strict conversions: an unpaired surrogate or a malformed byte sequence
// gives nullopt instead of a silently replaced character.
std::optional<std::wstring> to_wide(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), n);
  return wide;
}

std::optional<std::string> to_utf8(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, nullptr, 0,
                                      nullptr, nullptr);
  if (n <= 0) return std::nullopt;
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, utf8.data(), n, nullptr,
                        nullptr);
  return utf8;
}

// The system's description of a Win32 error code, as UTF-8 without the
// trailing line break.
std::string describe(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n > 0 ? std::wstring(buffer, n) : std::wstring();
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  std::optional<std::string> utf8 = to_utf8(text);
  if (!utf8 || utf8->empty()) return "Windows error " + std::to_string(code);
  return *utf8;
}

bool is_console(HANDLE h) {
  DWORD mode = 0;
  return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode) != 0;
}

// Writes all bytes to a handle. Returns 0 or the Win32 error of the failure.
DWORD write_all(HANDLE h, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kChunk));
    DWORD written = 0;
    if (!::WriteFile(h, bytes.data(), want, &written, nullptr)) return ::GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    bytes.remove_prefix(written);
  }
  return 0;
}

// Writes UTF-8 text to a console as UTF-16, so that it shows correctly
// whatever the console's code page. Malformed bytes show as U+FFFD.
DWORD write_console(HANDLE h, std::string_view bytes) {
  if (bytes.empty()) return 0;
  const int size = static_cast<int>(bytes.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, wide.data(), n);
  std::wstring_view rest = wide;
  while (!rest.empty()) {
    std::size_t take = std::min<std::size_t>(rest.size(), kChunk / 4);
    // Keep a surrogate pair within one call.
    if (take < rest.size() && IS_HIGH_SURROGATE(rest[take - 1])) --take;
    DWORD written = 0;
    if (!::WriteConsoleW(h, rest.data(), static_cast<DWORD>(take), &written, nullptr)) {
      return ::GetLastError();
    }
    if (written == 0) return ERROR_WRITE_FAULT;
    rest.remove_prefix(written);
  }
  return 0;
}

DWORD write_stream(DWORD which, std::string_view bytes) {
  const HANDLE h = ::GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
  return is_console(h) ? write_console(h, bytes) : write_all(h, bytes);
}

// Reads typed text from a console up to end of input: Ctrl+Z at the start of
// a line, as the console's own programs treat it.
bool read_console(HANDLE h, std::string& out) {
  std::wstring text;
  wchar_t buffer[4096];
  while (true) {
    DWORD n = 0;
    if (!::ReadConsoleW(h, buffer, static_cast<DWORD>(std::size(buffer)), &n, nullptr)) return false;
    if (n == 0) break;
    const std::wstring_view piece(buffer, n);
    const std::size_t stop = piece.find(L'\x1a');
    const bool at_line_start = text.empty() || text.back() == L'\n';
    if (stop != std::wstring_view::npos && (stop > 0 || at_line_start)) {
      text.append(piece.substr(0, stop));
      break;
    }
    text.append(piece);
  }
  std::optional<std::string> utf8 = to_utf8(text);
  if (!utf8) return false;
  out = std::move(*utf8);
  return true;
}

// Opens an existing file or directory for querying its identity only.
UniqueHandle open_for_query(const std::wstring& path) {
  return own(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The fully resolved path of an open file (links followed), as UTF-16.
std::optional<std::wstring> final_path(HANDLE h) {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD n = ::GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return std::nullopt;
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n);  // too small: n is the size needed, terminator included
  }
}

// GetFinalPathNameByHandleW answers with the \\?\ form; ordinary paths read
// better and work with every API.
std::wstring without_long_prefix(std::wstring path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
  if (path.starts_with(L"\\\\?\\")) return path.substr(4);
  return path;
}

DWORD write_temporary(const std::wstring& temporary, std::string_view bytes) {
  UniqueHandle file = own(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return ::GetLastError();
  DWORD err = write_all(file.get(), bytes);
  if (err == 0 && !::FlushFileBuffers(file.get())) err = ::GetLastError();
  HANDLE raw = file.release();
  if (!::CloseHandle(raw) && err == 0) err = ::GetLastError();
  return err;
}

}  // namespace

void init_console() {
  // Nothing here writes through the C runtime, but whatever might must not
  // turn \n into \r\n either.
  (void)::_setmode(_fileno(stdin), _O_BINARY);
  (void)::_setmode(_fileno(stdout), _O_BINARY);
  (void)::_setmode(_fileno(stderr), _O_BINARY);
}

bool arguments(int, char**, std::vector<std::string>& out, std::size_t& bad) {
  out.clear();
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (argv == nullptr) {
    bad = 0;
    return false;
  }
  bool ok = true;
  for (int i = 1; i < count && ok; ++i) {
    std::optional<std::string> arg = to_utf8(argv[i]);
    if (arg) {
      out.push_back(std::move(*arg));
    } else {
      bad = static_cast<std::size_t>(i);
      ok = false;
    }
  }
  ::LocalFree(argv);
  return ok;
}

bool read_standard_input(std::string& out) {
  out.clear();
  const HANDLE h = ::GetStdHandle(STD_INPUT_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
  if (is_console(h)) return read_console(h, out);
  char buffer[kChunk];
  while (true) {
    DWORD n = 0;
    if (!::ReadFile(h, buffer, sizeof buffer, &n, nullptr)) {
      // The writing end of a pipe closed: that is the end of the input.
      return ::GetLastError() == ERROR_BROKEN_PIPE;
    }
    if (n == 0) return true;
    out.append(buffer, n);
  }
}

bool read_standard_input_some(std::string& out, bool& ended) {
  const HANDLE h = ::GetStdHandle(STD_INPUT_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
  if (is_console(h)) {
    std::string all;
    if (!read_console(h, all)) return false;
    out += all;
    ended = true;
    return true;
  }
  char buffer[kChunk];
  DWORD n = 0;
  if (!::ReadFile(h, buffer, sizeof buffer, &n, nullptr)) {
    if (::GetLastError() != ERROR_BROKEN_PIPE) return false;
    n = 0;
  }
  ended = n == 0;
  out.append(buffer, n);
  return true;
}

WriteStatus write_standard_output(std::string_view bytes) {
  const DWORD err = write_stream(STD_OUTPUT_HANDLE, bytes);
  if (err == 0) return WriteStatus::Ok;
  return err == ERROR_BROKEN_PIPE || err == ERROR_NO_DATA ? WriteStatus::ClosedPipe
                                                          : WriteStatus::Failed;
}

void write_standard_error(std::string_view bytes) { (void)write_stream(STD_ERROR_HANDLE, bytes); }

bool read_file(const std::string& path, std::string& out, std::string& error) {
  out.clear();
  const std::optional<std::wstring> wide = to_wide(path);
  if (!wide) {
    error = describe(ERROR_INVALID_NAME);
    return false;
  }
  UniqueHandle file = own(::CreateFileW(wide->c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = describe(::GetLastError());
    return false;
  }
  char buffer[kChunk];
  while (true) {
    DWORD n = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
      error = describe(::GetLastError());
      return false;
    }
    if (n == 0) return true;
    out.append(buffer, n);
  }
}

bool replace_file(const std::string& path, std::string_view bytes, std::optional<unsigned>,
                  std::string& error) {
  const std::optional<std::wstring> target = to_wide(path);
  if (!target) {
    error = describe(ERROR_INVALID_NAME);
    return false;
  }
  const std::wstring temporary = *target + std::wstring(kTemporarySuffix.begin(), kTemporarySuffix.end());
  DWORD err = write_temporary(temporary, bytes);
  if (err == 0 && !::MoveFileExW(temporary.c_str(), target->c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    err = ::GetLastError();
  }
  if (err != 0) {
    ::DeleteFileW(temporary.c_str());
    error = describe(err);
    return false;
  }
  return true;
}

bool same_file(const std::string& a, const std::string& b) {
  const std::optional<std::wstring> wide_a = to_wide(a), wide_b = to_wide(b);
  if (!wide_a || !wide_b) return false;
  const UniqueHandle first = open_for_query(*wide_a), second = open_for_query(*wide_b);
  if (!first || !second) return false;
  const std::optional<std::wstring> path_a = final_path(first.get()), path_b = final_path(second.get());
  if (path_a && path_b &&
      ::CompareStringOrdinal(path_a->c_str(), static_cast<int>(path_a->size()), path_b->c_str(),
                             static_cast<int>(path_b->size()), TRUE) == CSTR_EQUAL) {
    return true;
  }
  // Hard links have different final paths but one file identity.
  BY_HANDLE_FILE_INFORMATION info_a{}, info_b{};
  return ::GetFileInformationByHandle(first.get(), &info_a) &&
         ::GetFileInformationByHandle(second.get(), &info_b) &&
         info_a.dwVolumeSerialNumber == info_b.dwVolumeSerialNumber &&
         info_a.nFileIndexHigh == info_b.nFileIndexHigh && info_a.nFileIndexLow == info_b.nFileIndexLow;
}

// Windows files have no POSIX permission bits; a replaced file gets the
// default security of its directory.
std::optional<unsigned> permission_bits(const std::string&) { return std::nullopt; }

std::string resolved_path(const std::string& path) {
  const std::optional<std::wstring> wide = to_wide(path);
  if (!wide) return path;
  const UniqueHandle file = open_for_query(*wide);
  if (!file) return path;
  const std::optional<std::wstring> resolved = final_path(file.get());
  if (!resolved) return path;
  return to_utf8(without_long_prefix(*resolved)).value_or(path);
}

std::uint64_t monotonic_nanoseconds() {
  LARGE_INTEGER frequency, counter;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
  const auto per_second = static_cast<std::uint64_t>(frequency.QuadPart);
  // Split the product so that it cannot overflow for any realistic uptime.
  return ticks / per_second * 1'000'000'000u + ticks % per_second * 1'000'000'000u / per_second;
}

}  // namespace vexo::platform
