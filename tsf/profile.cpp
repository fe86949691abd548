#include "tsf/profile.h"

#include "core/unicode.h"

namespace vexo::tsf {

std::optional<std::string> vexo_dir_in(const std::optional<std::string>& app_data) {
  if (!app_data) return std::nullopt;
  std::string dir = *app_data;
  if (!dir.ends_with(platform::kPathSeparator)) dir += platform::kPathSeparator;
  return dir + "vexo";
}

Profile process_profile() {
  return Profile{vexo_dir_in(platform::environment_variable("APPDATA")), executable_name()};
}

const std::string& executable_name() {
  static const std::string name(file_name_of(platform::executable_path()));
  return name;
}

std::string_view file_name_of(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> profile_file(const Profile& profile, std::string_view name) {
  if (!profile.settings_dir) return std::nullopt;
  return *profile.settings_dir + platform::kPathSeparator + std::string(name);
}

std::string read_text_file(const std::optional<std::string>& path) {
  if (!path) return {};
  std::optional<std::string> text = platform::read_file(*path);
  if (!text || !is_valid_utf8(*text)) return {};
  return std::move(*text);
}

Settings load_settings(const Profile& profile) {
  Settings settings;
  parse_settings(read_text_file(profile_file(profile, kSettingsFile)), settings);
  settings.options.exceptions =
      parse_exceptions(read_text_file(profile_file(profile, kExceptionsFile)));
  return settings;
}

std::optional<KeyMap> load_keymap(const Settings& settings, const Profile& profile) {
  if (!settings.keymap) return std::nullopt;
  if (settings.layout != kCustomLayout) return builtin_keymap(settings.layout);
  KeyMap map;
  parse_keymap(read_text_file(profile_file(profile, kKeymapFile)), map);
  return map;
}

Stamps take_stamps(const Profile& profile) {
  Stamps stamps;
  const std::array<std::string_view, 3> names = {kSettingsFile, kExceptionsFile, kKeymapFile};
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (const auto path = profile_file(profile, names[i])) stamps[i] = platform::file_stamp(*path);
  }
  return stamps;
}

}  // namespace vexo::tsf
