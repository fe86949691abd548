// DllGetClassObject and the class factory of the TextService class. Windows
// only; the DLL is never unloaded, so the factory keeps no server lock count.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <new>

#include "tsf/com_edge.h"
#include "tsf/guids.h"
#include "tsf/log.h"
#include "tsf/register.h"
#include "tsf/text_service_win32.h"

namespace vexo::tsf {
namespace {

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    return at_com_edge<HRESULT>("create instance", E_UNEXPECTED, [&]() -> HRESULT {
      if (out == nullptr) return E_POINTER;
      *out = nullptr;
      if (outer != nullptr) return CLASS_E_NOAGGREGATION;
      log("create instance");
      return create_text_service(iid, out);
    });
  }
  HRESULT STDMETHODCALLTYPE LockServer(WINBOOL) override { return S_OK; }

 private:
  ~ClassFactory() = default;
  std::atomic<ULONG> references_{1};
};

// True when a C caller passed a null pointer where C++ sees a reference. The
// empty asm hides where the address came from, so that the compiler cannot
// assume it is non-null and drop the check.
bool passed_null(const void* address) {
  auto value = reinterpret_cast<std::uintptr_t>(address);
  asm("" : "+r"(value));
  return value == 0;
}

}  // namespace
}  // namespace vexo::tsf

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  using namespace vexo::tsf;
  return at_com_edge<HRESULT>("get class object", E_UNEXPECTED, [&]() -> HRESULT {
    if (passed_null(&clsid) || passed_null(&iid) || out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, to_windows(kTextServiceClsid))) return CLASS_E_CLASSNOTAVAILABLE;
    log("get class object");
    auto* factory = new (std::nothrow) ClassFactory();
    if (factory == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
  });
}
