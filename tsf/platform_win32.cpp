// Windows implementation of the text service's platform layer. Paths and
// environment values cross this edge as UTF-16 and are UTF-8 everywhere else.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

#include "tsf/platform.h"

namespace vexo::tsf::platform {
namespace {

std::wstring widen(std::string_view text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length,
                      nullptr, nullptr);
  return text;
}

std::uint64_t join(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | static_cast<std::uint64_t>(low);
}

bool attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data) != 0;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

std::optional<std::string> environment_variable(const char* name) {
  const std::wstring wide_name = widen(name);
  DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::vector<wchar_t> buffer(size);
  const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), buffer.data(), size);
  if (length == 0 || length >= size) return std::nullopt;
  return narrow(std::wstring_view(buffer.data(), length));
}

std::string executable_path() {
  std::vector<wchar_t> buffer(MAX_PATH);
  while (buffer.size() <= 32768) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return narrow(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

std::optional<FileStamp> file_stamp(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!attributes(path, data)) return std::nullopt;
  return FileStamp{static_cast<std::int64_t>(
                       join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)),
                   join(data.nFileSizeHigh, data.nFileSizeLow)};
}

std::optional<std::string> read_file(const std::string& path) {
  const HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string content;
  char buffer[1 << 16];
  bool ok = true;
  while (true) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    content.append(buffer, got);
  }
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return content;
}

bool access_denied(const std::string& path) {
  // Backup semantics open folders too; asking for no access still needs the
  // right to traverse to the file.
  const HANDLE handle = CreateFileW(widen(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return false;
  }
  return GetLastError() == ERROR_ACCESS_DENIED;
}

std::optional<std::uint64_t> file_size(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!attributes(path, data)) return std::nullopt;
  return join(data.nFileSizeHigh, data.nFileSizeLow);
}

bool append_file(const std::string& path, std::string_view bytes) {
  const HANDLE file = CreateFileW(widen(path).c_str(), FILE_APPEND_DATA, kShareAll, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
      ok = false;
      break;
    }
    bytes.remove_prefix(written);
  }
  return CloseHandle(file) != 0 && ok;
}

bool remove_file(const std::string& path) { return DeleteFileW(widen(path).c_str()) != 0; }

bool create_directories(const std::string& path) {
  const std::wstring wide = widen(path);
  // Create every prefix that ends before a separator, then the whole path;
  // prefixes that exist already (or are drive or share names) fail harmlessly.
  for (std::size_t i = 1; i < wide.size(); ++i) {
    if (wide[i] == L'\\' || wide[i] == L'/') CreateDirectoryW(wide.substr(0, i).c_str(), nullptr);
  }
  CreateDirectoryW(wide.c_str(), nullptr);
  const DWORD attrs = GetFileAttributesW(wide.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::uint32_t process_id() { return static_cast<std::uint32_t>(GetCurrentProcessId()); }

std::int64_t unix_seconds() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  // FILETIME counts 100 ns units from 1601-01-01.
  constexpr std::uint64_t kUnixEpoch = 116444736000000000ull;
  const std::uint64_t ticks = join(now.dwHighDateTime, now.dwLowDateTime);
  return static_cast<std::int64_t>((ticks - kUnixEpoch) / 10000000ull);
}

std::int64_t monotonic_milliseconds() { return static_cast<std::int64_t>(GetTickCount64()); }

}  // namespace vexo::tsf::platform
