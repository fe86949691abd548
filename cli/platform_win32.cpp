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
#include <random>
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

// Six random letters and digits for a temporary file's name. Each thread
// draws from its own generator, since files are written on several at once.
std::string random_suffix() {
  static constexpr std::string_view kAlphabet =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 generator = [] {
    std::random_device device;
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return std::mt19937_64((std::uint64_t{device()} << 32) ^
                           static_cast<std::uint64_t>(counter.QuadPart) ^
                           ::GetCurrentProcessId() ^ ::GetCurrentThreadId());
  }();
  std::string out;
  for (int i = 0; i < 6; ++i) out.push_back(kAlphabet[generator() % kAlphabet.size()]);
  return out;
}

// The directory part of a path with its separator, or empty.
std::string directory_prefix(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// Removes the temporary files that killed writers left beside `target`.
// Only called by the holder of the target's lock.
void remove_leftovers(const std::string& target) {
  const std::string prefix = directory_prefix(target);
  const std::string target_name = target.substr(prefix.size());
  const std::optional<std::wstring> pattern =
      to_wide(target + std::string(kTemporarySuffix) + "*");
  if (!pattern) return;
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(pattern->c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::optional<std::string> name = to_utf8(found.cFileName);
    if (!name || !is_work_file_name(*name, target_name)) continue;
    if (const std::optional<std::wstring> path = to_wide(prefix + *name)) {
      ::DeleteFileW(path->c_str());
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

HANDLE raw(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t stored(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

OVERLAPPED at_offset(std::uint64_t offset) {
  OVERLAPPED overlapped{};
  overlapped.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return overlapped;
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

InputFile::~InputFile() { close(); }

void InputFile::close() {
  if (handle_ != -1) ::CloseHandle(raw(handle_));
  handle_ = -1;
}

bool InputFile::open(const std::string& path, std::string& error) {
  const std::optional<std::wstring> wide = to_wide(path);
  if (!wide) {
    error = describe(ERROR_INVALID_NAME);
    return false;
  }
  // Backup semantics let a directory open too, so that it is told apart.
  UniqueHandle file = own(::CreateFileW(wide->c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) {
    error = describe(::GetLastError());
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(file.get(), &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = "bu papka, fayl emas";
    return false;
  }
  LARGE_INTEGER size{};
  if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &size)) {
    error = "oddiy fayl emas (qurilma, kanal yoki soket o'qilmaydi)";
    return false;
  }
  handle_ = stored(file.release());
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  return true;
}

std::int64_t InputFile::read_at(std::uint64_t offset, char* out, std::size_t length,
                                std::string& error) {
  OVERLAPPED overlapped = at_offset(offset);
  DWORD n = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(length, kChunk));
  if (!::ReadFile(raw(handle_), out, want, &n, &overlapped)) {
    const DWORD err = ::GetLastError();
    if (err == ERROR_HANDLE_EOF) return 0;
    error = describe(err);
    return -1;
  }
  return n;
}

bool InputFile::read_all(std::string& out, std::string& error) {
  out.clear();
  char buffer[kChunk];
  while (true) {
    const std::int64_t n = read_at(out.size(), buffer, sizeof buffer, error);
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

// Windows files have no POSIX permission bits or owner to carry over; a
// replaced file gets the default security of its directory.
std::optional<FileAttributes> file_attributes(const std::string&) { return std::nullopt; }

ReplacementFile::~ReplacementFile() { abandon(); }

bool ReplacementFile::begin(const std::string& target, std::string& error) {
  abandon();
  target_ = target;
  lock_ = target + std::string(kLockSuffix);
  const std::optional<std::wstring> lock = to_wide(lock_);
  if (!lock) {
    error = describe(ERROR_INVALID_NAME);
    return false;
  }
  // The lock is the lock file opened without sharing; the system deletes it
  // when the handle closes, also when the process is killed.
  const ULONGLONG deadline = ::GetTickCount64() + kMaxLockWaitSeconds * 1000ull;
  while (true) {
    const HANDLE h = ::CreateFileW(lock->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE,
                                   nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      lock_handle_ = stored(h);
      break;
    }
    const DWORD err = ::GetLastError();
    // Access is denied while the previous holder's file is being deleted.
    if (err != ERROR_SHARING_VIOLATION && err != ERROR_ACCESS_DENIED) {
      error = describe(err);
      return false;
    }
    if (::GetTickCount64() >= deadline) {
      error = "boshqa vexo jarayoni bu faylga yozmoqda; keyinroq qayta urinib ko'ring";
      return false;
    }
    ::Sleep(20);
  }

  remove_leftovers(target);
  DWORD err = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < 100 && err == ERROR_FILE_EXISTS; ++attempt) {
    temporary_ = target + std::string(kTemporarySuffix) + "." + random_suffix();
    const std::optional<std::wstring> wide = to_wide(temporary_);
    if (!wide) {
      err = ERROR_INVALID_NAME;
      break;
    }
    const HANDLE h = ::CreateFileW(wide->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      file_ = stored(h);
      return true;
    }
    err = ::GetLastError();
  }
  error = describe(err);
  temporary_.clear();
  unlock();
  return false;
}

bool ReplacementFile::write_at(std::uint64_t offset, std::string_view bytes, std::string& error) {
  while (!bytes.empty()) {
    OVERLAPPED overlapped = at_offset(offset);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kChunk));
    DWORD written = 0;
    if (!::WriteFile(raw(file_), bytes.data(), want, &written, &overlapped) || written == 0) {
      error = describe(written == 0 ? ERROR_WRITE_FAULT : ::GetLastError());
      return false;
    }
    bytes.remove_prefix(written);
    offset += written;
  }
  return true;
}

bool ReplacementFile::clear(std::string& error) {
  LARGE_INTEGER zero{};
  if (::SetFilePointerEx(raw(file_), zero, nullptr, FILE_BEGIN) && ::SetEndOfFile(raw(file_))) {
    return true;
  }
  error = describe(::GetLastError());
  return false;
}

bool ReplacementFile::commit(const std::optional<FileAttributes>&, std::string& error) {
  DWORD err = 0;
  if (!::FlushFileBuffers(raw(file_))) err = ::GetLastError();
  if (!::CloseHandle(raw(file_)) && err == 0) err = ::GetLastError();
  file_ = -1;
  const std::optional<std::wstring> temporary = to_wide(temporary_), target = to_wide(target_);
  if (err == 0 && (!temporary || !target)) err = ERROR_INVALID_NAME;
  if (err == 0 && !::MoveFileExW(temporary->c_str(), target->c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    err = ::GetLastError();
  }
  if (err != 0) {
    error = describe(err);
    abandon();
    return false;
  }
  temporary_.clear();
  unlock();
  return true;
}

void ReplacementFile::abandon() {
  if (file_ != -1) ::CloseHandle(raw(file_));
  file_ = -1;
  if (!temporary_.empty()) {
    if (const std::optional<std::wstring> wide = to_wide(temporary_)) ::DeleteFileW(wide->c_str());
  }
  temporary_.clear();
  unlock();
}

void ReplacementFile::unlock() {
  if (lock_handle_ == -1) return;
  ::CloseHandle(raw(lock_handle_));  // deletes the lock file
  lock_handle_ = -1;
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
