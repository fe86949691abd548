// TSF identifiers that Debian's mingw-w64 headers lack, the interface
// ITfTextInputProcessorEx among them, and conversions between the portable
// `Guid` and the Windows GUID. Windows only.
#pragma once

#include <windows.h>
#include <msctf.h>

#include <cstring>

#include "tsf/com_types.h"

namespace vexo::tsf {

inline constexpr GUID kIidTextInputProcessorEx = {
    0x6e4e2102, 0xf9cd, 0x433d, {0xb4, 0x96, 0x30, 0x3c, 0xe0, 0x3a, 0x65, 0x07}};
inline constexpr GUID kTfCatTipcapImmersiveSupport = {
    0x13a016df, 0x560b, 0x46cd, {0x94, 0x7a, 0x4c, 0x3a, 0xf1, 0xe0, 0xe3, 0x5d}};
inline constexpr GUID kTfCatTipcapSystraySupport = {
    0x25504fb4, 0x7bab, 0x4bc1, {0x9c, 0x69, 0xcf, 0x81, 0x89, 0x0f, 0x0e, 0xf5}};
inline constexpr GUID kTfCatTipcapUiElementEnabled = {
    0x49d2f9cf, 0x1f5e, 0x11d7, {0xa6, 0xd3, 0x00, 0x06, 0x5b, 0x84, 0x43, 0x5c}};

// ITfTextInputProcessor with activation flags (Windows 8 and later call it).
struct ITfTextInputProcessorEx : public ITfTextInputProcessor {
  virtual HRESULT STDMETHODCALLTYPE ActivateEx(ITfThreadMgr* ptim, TfClientId tid,
                                               DWORD flags) = 0;
};

static_assert(sizeof(GUID) == sizeof(Guid));

inline GUID to_windows(const Guid& guid) {
  GUID out;
  out.Data1 = guid.data1;
  out.Data2 = guid.data2;
  out.Data3 = guid.data3;
  std::memcpy(out.Data4, guid.data4, sizeof out.Data4);
  return out;
}

inline Guid from_windows(const GUID& guid) {
  Guid out;
  out.data1 = static_cast<std::uint32_t>(guid.Data1);
  out.data2 = guid.Data2;
  out.data3 = guid.Data3;
  std::memcpy(out.data4, guid.Data4, sizeof out.data4);
  return out;
}

}  // namespace vexo::tsf
