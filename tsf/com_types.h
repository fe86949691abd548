// COM result codes and GUIDs as plain values, so that the text service's
// decisions (registration, activation) are written and tested without the
// Windows headers. The layouts match HRESULT and GUID exactly.
#pragma once

#include <cstdint>
#include <string>

namespace vexo::tsf {

using HResult = std::int32_t;

inline constexpr HResult kOk = 0;
inline constexpr HResult kFalse = 1;
inline constexpr HResult kPointerError = static_cast<HResult>(0x80004003);     // E_POINTER
inline constexpr HResult kUnexpected = static_cast<HResult>(0x8000FFFF);       // E_UNEXPECTED
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000E);      // E_OUTOFMEMORY
inline constexpr HResult kNoInterface = static_cast<HResult>(0x80004002);      // E_NOINTERFACE
inline constexpr HResult kNoAggregation = static_cast<HResult>(0x80040110);    // CLASS_E_NOAGGREGATION
inline constexpr HResult kClassNotAvailable = static_cast<HResult>(0x80040111);  // CLASS_E_CLASSNOTAVAILABLE

inline constexpr bool failed(HResult hr) { return hr < 0; }

// A Win32 error code as an HRESULT (0x80070000 | code); success stays 0.
inline constexpr HResult from_win32(std::uint32_t code) {
  return code == 0 ? kOk : static_cast<HResult>(0x80070000u | (code & 0xFFFFu));
}

inline constexpr std::uint32_t kErrorFileNotFound = 2;  // ERROR_FILE_NOT_FOUND

// "0x" and the result as unsigned lowercase hexadecimal, as in 0x80004005.
std::string format_hr(HResult hr);

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};
  friend bool operator==(const Guid&, const Guid&) = default;
};

// "{6A2F93D1-4C0B-4E7A-9D35-71C8B0E5A2F4}": braces, uppercase hexadecimal.
std::string format_guid(const Guid& guid);

}  // namespace vexo::tsf
