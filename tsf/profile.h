// Where the text service's files live and how they are read.
//
// The settings directory is %APPDATA%\vexo, holding `settings.ini`,
// `exceptions.txt` and `keymap.txt`. A missing variable, a missing file or a
// file that is not valid UTF-8 counts as an empty file.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "tsf/keymap.h"
#include "tsf/platform.h"
#include "tsf/settings.h"

namespace vexo::tsf {

inline constexpr std::string_view kSettingsFile = "settings.ini";
inline constexpr std::string_view kExceptionsFile = "exceptions.txt";
inline constexpr std::string_view kKeymapFile = "keymap.txt";

// The surroundings one loaded service reads: its settings directory and the
// file name of the program it runs in.
struct Profile {
  std::optional<std::string> settings_dir;  // nothing: every file counts as empty
  std::string executable;                   // file name only, as the system spells it
};

// The vexo folder below a profile directory (%APPDATA% or %LOCALAPPDATA%).
std::optional<std::string> vexo_dir_in(const std::optional<std::string>& app_data);

// The profile of this process, from %APPDATA% and the executable's path.
Profile process_profile();

// The file name of the running program's executable, computed once.
const std::string& executable_name();

// The last component of a path, after the last `/` or `\`.
std::string_view file_name_of(std::string_view path);

// The full path of one of the three files; nothing without a settings directory.
std::optional<std::string> profile_file(const Profile& profile, std::string_view name);

// A file's text; empty when the file is missing, unreadable or not UTF-8.
std::string read_text_file(const std::optional<std::string>& path);

// `settings.ini` and `exceptions.txt` parsed onto the defaults.
Settings load_settings(const Profile& profile);

// The key map the settings ask for: nothing when `keymap` is off; the table of
// the chosen layout, or for "custom" the lines of `keymap.txt`.
std::optional<KeyMap> load_keymap(const Settings& settings, const Profile& profile);

// The metadata stamps of `settings.ini`, `exceptions.txt` and `keymap.txt`,
// in that order; nothing for a file that is missing.
using Stamps = std::array<std::optional<platform::FileStamp>, 3>;
Stamps take_stamps(const Profile& profile);

}  // namespace vexo::tsf
