#include "tsf/register.h"

namespace vexo::tsf {
namespace {

std::u16string widen(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

HResult write_class_keys(Registry& registry, std::u16string_view dll_path) {
  struct Value {
    std::u16string key;
    std::u16string_view name;
    std::u16string_view data;
  };
  const Value values[] = {
      {class_key(), u"", kDescription},
      {server_key(), u"", dll_path},
      {server_key(), u"ThreadingModel", kThreadingModel},
  };
  for (const Value& value : values) {
    const std::uint32_t error = registry.set_class_value(value.key, value.name, value.data);
    if (error != 0) return from_win32(error);
  }
  return kOk;
}

}  // namespace

std::u16string class_key() { return u"CLSID\\" + widen(format_guid(kTextServiceClsid)); }

std::u16string server_key() { return class_key() + u"\\InprocServer32"; }

std::u16string tip_key() {
  return u"SOFTWARE\\Microsoft\\CTF\\TIP\\" + widen(format_guid(kTextServiceClsid));
}

HResult register_server(RegistrationSystem& system, const LogLine& log) {
  system.initialize_com();
  std::u16string dll_path;
  if (const HResult hr = system.module_path(dll_path); failed(hr)) return hr;
  if (const HResult hr = write_class_keys(system.registry(), dll_path); failed(hr)) return hr;

  std::unique_ptr<ProfileManager> profiles;
  if (const HResult hr = system.create_profile_manager(profiles); failed(hr)) return hr;
  if (!profiles) return kUnexpected;
  ProfileEntry entry;
  entry.clsid = kTextServiceClsid;
  entry.language = kProfileLanguage;
  entry.profile = kProfileGuid;
  entry.description = std::u16string(kDescription);
  entry.icon_file = dll_path;
  entry.icon_index = 0;
  entry.substitute_layout = kSubstituteLayout;
  entry.preferred_layout = 0;
  entry.enabled_by_default = true;
  entry.flags = 0;
  if (const HResult hr = profiles->register_profile(entry); failed(hr)) return hr;

  std::unique_ptr<CategoryManager> categories;
  if (const HResult hr = system.create_category_manager(categories); failed(hr)) return hr;
  if (!categories) return kUnexpected;
  for (const Guid& category : kCategories) {
    const HResult hr =
        categories->register_category(kTextServiceClsid, category, kTextServiceClsid);
    if (failed(hr)) return hr;
  }
  log("registered");
  return kOk;
}

HResult unregister_server(RegistrationSystem& system, const LogLine& log) {
  system.initialize_com();
  // Whatever TSF still knows of the service goes first; a profile or category
  // that is already gone is no reason to keep the class.
  if (std::unique_ptr<ProfileManager> profiles;
      !failed(system.create_profile_manager(profiles)) && profiles) {
    profiles->unregister_profile(kTextServiceClsid, kProfileLanguage, kProfileGuid, 0);
  }
  if (std::unique_ptr<CategoryManager> categories;
      !failed(system.create_category_manager(categories)) && categories) {
    for (const Guid& category : kCategories) {
      categories->unregister_category(kTextServiceClsid, category, kTextServiceClsid);
    }
  }
  const std::uint32_t error = system.registry().delete_tree(RegistryRoot::ClassesRoot, class_key());
  if (error != 0 && error != kErrorFileNotFound) return from_win32(error);
  system.registry().delete_tree(RegistryRoot::LocalMachine, tip_key());
  log("unregistered");
  return kOk;
}

}  // namespace vexo::tsf
