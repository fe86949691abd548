// Registration of the text service: its COM class with the in-process server
// key, its Uzbek language profile and its TSF categories; and the reverse.
//
// The sequences run over four small interfaces (the registry, COM creation of
// the TSF managers, the profile manager, the category manager), which the DLL
// implements with the Win32 and TSF calls and tests implement with recorders.
// Registration stops at the first failure and returns it, keeping what was
// already written; unregistration ignores the TSF managers' failures and
// counts an already missing class key as success, so it can run twice.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tsf/com_types.h"

namespace vexo::tsf {

// {6A2F93D1-4C0B-4E7A-9D35-71C8B0E5A2F4}, the class of the text service.
inline constexpr Guid kTextServiceClsid = {
    0x6A2F93D1, 0x4C0B, 0x4E7A, {0x9D, 0x35, 0x71, 0xC8, 0xB0, 0xE5, 0xA2, 0xF4}};
// {3F81C2A7-95DE-4B60-8A1C-D04E7B2963C5}, its language profile.
inline constexpr Guid kProfileGuid = {
    0x3F81C2A7, 0x95DE, 0x4B60, {0x8A, 0x1C, 0xD0, 0x4E, 0x7B, 0x29, 0x63, 0xC5}};
inline constexpr std::uint16_t kProfileLanguage = 0x0443;       // Uzbek, Latin script
inline constexpr std::uint32_t kSubstituteLayout = 0x04090409;  // US English
inline constexpr std::u16string_view kDescription = u"vexo";
inline constexpr std::u16string_view kThreadingModel = u"Apartment";

// The TSF categories the class is registered in, in registration order:
// keyboard text input processor, immersive (Store app) support, system tray
// support, UI-element support, and COM-less activation (a thread manager
// activated with TF_TMAE_COMLESS starts only services in that category).
inline constexpr Guid kCategories[5] = {
    {0x34745C63, 0xB2F0, 0x4784, {0x8B, 0x67, 0x5E, 0x12, 0xC8, 0x70, 0x1A, 0x31}},
    {0x13A016DF, 0x560B, 0x46CD, {0x94, 0x7A, 0x4C, 0x3A, 0xF1, 0xE0, 0xE3, 0x5D}},
    {0x25504FB4, 0x7BAB, 0x4BC1, {0x9C, 0x69, 0xCF, 0x81, 0x89, 0x0F, 0x0E, 0xF5}},
    {0x49D2F9CF, 0x1F5E, 0x11D7, {0xA6, 0xD3, 0x00, 0x06, 0x5B, 0x84, 0x43, 0x5C}},
    {0x364215D9, 0x75BC, 0x11D7, {0xA6, 0xEF, 0x00, 0x06, 0x5B, 0x84, 0x43, 0x5C}},
};

// "CLSID\{...}" below HKEY_CLASSES_ROOT, and its in-process server key.
std::u16string class_key();
std::u16string server_key();
// "SOFTWARE\Microsoft\CTF\TIP\{...}" below HKEY_LOCAL_MACHINE, where TSF
// keeps the profile and categories.
std::u16string tip_key();

enum class RegistryRoot { ClassesRoot, LocalMachine };

// Registry writes and deletions in the calling architecture's own view. The
// results are Win32 error codes (0 for success).
class Registry {
 public:
  virtual ~Registry() = default;
  // Creates `key` below HKEY_CLASSES_ROOT and sets one REG_SZ value (an empty
  // name is the default value).
  virtual std::uint32_t set_class_value(std::u16string_view key, std::u16string_view name,
                                        std::u16string_view data) = 0;
  virtual std::uint32_t delete_tree(RegistryRoot root, std::u16string_view key) = 0;
};

struct ProfileEntry {
  Guid clsid;
  std::uint16_t language = 0;
  Guid profile;
  std::u16string description;
  std::u16string icon_file;
  std::uint32_t icon_index = 0;
  std::uint32_t substitute_layout = 0;
  std::uint32_t preferred_layout = 0;
  bool enabled_by_default = false;
  std::uint32_t flags = 0;
};

class ProfileManager {
 public:
  virtual ~ProfileManager() = default;
  virtual HResult register_profile(const ProfileEntry& entry) = 0;
  virtual HResult unregister_profile(const Guid& clsid, std::uint16_t language, const Guid& profile,
                                     std::uint32_t flags) = 0;
};

class CategoryManager {
 public:
  virtual ~CategoryManager() = default;
  virtual HResult register_category(const Guid& clsid, const Guid& category, const Guid& item) = 0;
  virtual HResult unregister_category(const Guid& clsid, const Guid& category,
                                      const Guid& item) = 0;
};

// What registration needs from the system.
class RegistrationSystem {
 public:
  virtual ~RegistrationSystem() = default;
  // Enters a single-threaded COM apartment for the rest of the sequence.
  virtual void initialize_com() = 0;
  // The DLL's own full path, or a failure.
  virtual HResult module_path(std::u16string& path) = 0;
  virtual Registry& registry() = 0;
  // Create the TSF managers (CoCreateInstance, in process).
  virtual HResult create_profile_manager(std::unique_ptr<ProfileManager>& out) = 0;
  virtual HResult create_category_manager(std::unique_ptr<CategoryManager>& out) = 0;
};

using LogLine = std::function<void(std::string_view)>;

// DllRegisterServer: the class keys, the profile, the five categories; logs
// "registered". Returns the first failure as it stands.
HResult register_server(RegistrationSystem& system, const LogLine& log);

// DllUnregisterServer: the profile and categories (failures ignored), then
// the class key and TSF's key; logs "unregistered".
HResult unregister_server(RegistrationSystem& system, const LogLine& log);

}  // namespace vexo::tsf
