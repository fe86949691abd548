// The main of a Windows test program that drives vexo_tsf.dll: a fresh folder
// stands in for %APPDATA% and %LOCALAPPDATA% (so the DLL's settings and log
// land there), the DLL is loaded from beside the program, the tests run in a
// single-threaded COM apartment, and the folder is removed afterwards. Also
// the reading of the DLL's log that those programs share.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vexo::test {

// The DLL beside the program and the folder standing in for %APPDATA% and
// %LOCALAPPDATA%, both set by run_dll_tests before any test runs.
inline HMODULE g_dll = nullptr;
inline std::wstring g_profile_dir;

// The messages of the log's lines, without time, process id and program name.
inline std::vector<std::string> logged() {
  std::ifstream in(std::filesystem::path(g_profile_dir + L"\\vexo\\tsf.log"), std::ios::binary);
  std::vector<std::string> messages;
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t exe = line.find(".exe ");
    messages.push_back(exe == std::string::npos ? line : line.substr(exe + 5));
  }
  return messages;
}

inline bool was_logged(const std::string& message) {
  const std::vector<std::string> lines = logged();
  return std::find(lines.begin(), lines.end(), message) != lines.end();
}

inline int run_dll_tests(int argc, char** argv, const wchar_t* folder_prefix) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  g_profile_dir = std::wstring(temp) + folder_prefix + std::to_wstring(GetCurrentProcessId());
  const std::wstring vexo_dir = g_profile_dir + L"\\vexo";
  CreateDirectoryW(g_profile_dir.c_str(), nullptr);
  CreateDirectoryW(vexo_dir.c_str(), nullptr);
  static constexpr const wchar_t* kFiles[] = {L"\\settings.ini", L"\\tsf.log", L"\\exceptions.txt",
                                              L"\\keymap.txt"};
  // A folder left by an earlier run with the same process id starts empty.
  for (const wchar_t* name : kFiles) DeleteFileW((vexo_dir + name).c_str());
  SetEnvironmentVariableW(L"APPDATA", g_profile_dir.c_str());
  SetEnvironmentVariableW(L"LOCALAPPDATA", g_profile_dir.c_str());

  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dll_path(path, n);
  dll_path = dll_path.substr(0, dll_path.rfind(L'\\') + 1) + L"vexo_tsf.dll";
  g_dll = LoadLibraryW(dll_path.c_str());
  if (g_dll == nullptr) {
    std::fprintf(stderr, "cannot load vexo_tsf.dll\n");
    return 1;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  for (const wchar_t* name : kFiles) DeleteFileW((vexo_dir + name).c_str());
  RemoveDirectoryW(vexo_dir.c_str());
  RemoveDirectoryW(g_profile_dir.c_str());
  return result;
}

}  // namespace vexo::test
