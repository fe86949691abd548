// DllRegisterServer and DllUnregisterServer: the registration sequences of
// tsf/register.h over the registry (advapi32), the COM runtime and the TSF
// profile and category managers. Keys are opened without a WOW64 view flag,
// so the 32-bit and the 64-bit DLL each register in their own registry view
// and both installations live side by side.
#include <windows.h>
#include <msctf.h>

#include <string>

#include "tsf/com_edge.h"
#include "tsf/com_ref.h"
#include "tsf/guids.h"
#include "tsf/log.h"
#include "tsf/module.h"
#include "tsf/register.h"

namespace vexo::tsf {
namespace {

const wchar_t* wide(std::u16string_view text, std::wstring& storage) {
  storage.assign(text.begin(), text.end());
  return storage.c_str();
}

class Win32Registry : public Registry {
 public:
  std::uint32_t set_class_value(std::u16string_view key, std::u16string_view name,
                                std::u16string_view data) override {
    std::wstring key_w, name_w, data_w;
    HKEY handle = nullptr;
    LONG error = RegCreateKeyExW(HKEY_CLASSES_ROOT, wide(key, key_w), 0, nullptr, 0, KEY_WRITE,
                                 nullptr, &handle, nullptr);
    if (error != ERROR_SUCCESS) return static_cast<std::uint32_t>(error);
    wide(data, data_w);
    const DWORD bytes = static_cast<DWORD>((data_w.size() + 1) * sizeof(wchar_t));
    error = RegSetValueExW(handle, name.empty() ? nullptr : wide(name, name_w), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(data_w.c_str()), bytes);
    RegCloseKey(handle);
    return static_cast<std::uint32_t>(error);
  }
  std::uint32_t delete_tree(RegistryRoot root, std::u16string_view key) override {
    std::wstring key_w;
    const HKEY base = root == RegistryRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE;
    return static_cast<std::uint32_t>(RegDeleteTreeW(base, wide(key, key_w)));
  }
};

class TsfProfiles : public ProfileManager {
 public:
  explicit TsfProfiles(ComRef<ITfInputProcessorProfileMgr> manager) : manager_(std::move(manager)) {}
  HResult register_profile(const ProfileEntry& e) override {
    std::wstring description, icon;
    wide(e.description, description);
    wide(e.icon_file, icon);
    const GUID clsid = to_windows(e.clsid);
    const GUID profile = to_windows(e.profile);
    return manager_->RegisterProfile(
        clsid, e.language, profile, description.c_str(), static_cast<ULONG>(description.size()),
        icon.c_str(), static_cast<ULONG>(icon.size()), e.icon_index,
        reinterpret_cast<HKL>(static_cast<ULONG_PTR>(e.substitute_layout)), e.preferred_layout,
        e.enabled_by_default ? TRUE : FALSE, e.flags);
  }
  HResult unregister_profile(const Guid& clsid, std::uint16_t language, const Guid& profile,
                             std::uint32_t flags) override {
    const GUID c = to_windows(clsid);
    const GUID p = to_windows(profile);
    return manager_->UnregisterProfile(c, language, p, flags);
  }

 private:
  ComRef<ITfInputProcessorProfileMgr> manager_;
};

class TsfCategories : public CategoryManager {
 public:
  explicit TsfCategories(ComRef<ITfCategoryMgr> manager) : manager_(std::move(manager)) {}
  HResult register_category(const Guid& clsid, const Guid& category, const Guid& item) override {
    const GUID c = to_windows(clsid), cat = to_windows(category), i = to_windows(item);
    return manager_->RegisterCategory(c, cat, i);
  }
  HResult unregister_category(const Guid& clsid, const Guid& category,
                              const Guid& item) override {
    const GUID c = to_windows(clsid), cat = to_windows(category), i = to_windows(item);
    return manager_->UnregisterCategory(c, cat, i);
  }

 private:
  ComRef<ITfCategoryMgr> manager_;
};

class Win32Registration : public RegistrationSystem {
 public:
  ~Win32Registration() override {
    if (com_entered_) CoUninitialize();
  }
  void initialize_com() override {
    // Leaves the apartment again at the end only when this call entered it.
    com_entered_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  }
  HResult module_path(std::u16string& path) override {
    // Long paths are read whole: a cut path would register a file that does
    // not exist.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
      std::wstring buffer(size, L'\0');
      const DWORD n = GetModuleFileNameW(module_instance(), buffer.data(), size);
      if (n == 0) return from_win32(GetLastError());
      if (n < size) {
        path.assign(buffer.begin(), buffer.begin() + n);
        return kOk;
      }
    }
    return from_win32(ERROR_INSUFFICIENT_BUFFER);
  }
  Registry& registry() override { return registry_; }
  HResult create_profile_manager(std::unique_ptr<ProfileManager>& out) override {
    ComRef<ITfInputProcessorProfileMgr> manager;
    const HRESULT hr = CoCreateInstance(CLSID_TF_InputProcessorProfiles, nullptr,
                                        CLSCTX_INPROC_SERVER, IID_ITfInputProcessorProfileMgr,
                                        manager.put_void());
    if (FAILED(hr)) return hr;
    out = std::make_unique<TsfProfiles>(std::move(manager));
    return S_OK;
  }
  HResult create_category_manager(std::unique_ptr<CategoryManager>& out) override {
    ComRef<ITfCategoryMgr> manager;
    const HRESULT hr = CoCreateInstance(CLSID_TF_CategoryMgr, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_ITfCategoryMgr, manager.put_void());
    if (FAILED(hr)) return hr;
    out = std::make_unique<TsfCategories>(std::move(manager));
    return S_OK;
  }

 private:
  Win32Registry registry_;
  bool com_entered_ = false;
};

void write_log(std::string_view line) { log(line); }

}  // namespace
}  // namespace vexo::tsf

extern "C" HRESULT WINAPI DllRegisterServer() {
  return vexo::tsf::at_com_edge<HRESULT>("register", E_UNEXPECTED, [] {
    vexo::tsf::Win32Registration system;
    return vexo::tsf::register_server(system, vexo::tsf::write_log);
  });
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
  return vexo::tsf::at_com_edge<HRESULT>("unregister", E_UNEXPECTED, [] {
    vexo::tsf::Win32Registration system;
    return vexo::tsf::unregister_server(system, vexo::tsf::write_log);
  });
}
