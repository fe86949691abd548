// The main of a Windows test program that drives vexo_tsf.dll: a fresh folder
// stands in for %APPDATA% and %LOCALAPPDATA% (so the DLL's settings and log
// land there), the DLL is loaded from beside the program, the tests run in a
// single-threaded COM apartment, and the folder is removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace vexo::test {

inline int run_dll_tests(int argc, char** argv, const wchar_t* folder_prefix,
                         std::wstring& profile_dir, HMODULE& dll) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  profile_dir = std::wstring(temp) + folder_prefix + std::to_wstring(GetCurrentProcessId());
  const std::wstring vexo_dir = profile_dir + L"\\vexo";
  CreateDirectoryW(profile_dir.c_str(), nullptr);
  CreateDirectoryW(vexo_dir.c_str(), nullptr);
  static constexpr const wchar_t* kFiles[] = {L"\\settings.ini", L"\\tsf.log", L"\\exceptions.txt",
                                              L"\\keymap.txt"};
  // A folder left by an earlier run with the same process id starts empty.
  for (const wchar_t* name : kFiles) DeleteFileW((vexo_dir + name).c_str());
  SetEnvironmentVariableW(L"APPDATA", profile_dir.c_str());
  SetEnvironmentVariableW(L"LOCALAPPDATA", profile_dir.c_str());

  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dll_path(path, n);
  dll_path = dll_path.substr(0, dll_path.rfind(L'\\') + 1) + L"vexo_tsf.dll";
  dll = LoadLibraryW(dll_path.c_str());
  if (dll == nullptr) {
    std::fprintf(stderr, "cannot load vexo_tsf.dll\n");
    return 1;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  for (const wchar_t* name : kFiles) DeleteFileW((vexo_dir + name).c_str());
  RemoveDirectoryW(vexo_dir.c_str());
  RemoveDirectoryW(profile_dir.c_str());
  return result;
}

}  // namespace vexo::test
