// The text service's settings and their two source files.
//
// `settings.ini` holds `key = value` lines; unknown keys, invalid values and
// malformed lines are ignored, and a key given twice keeps its last valid
// value (`tutuq` takes one character that is not a control character).
// `exceptions.txt` holds one word per line. A text that is not valid
// UTF-8 counts as empty. Parsing never fails and is pure.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/lib.h"

namespace vexo::tsf {

// Executable names (lowercase) in which the service stays off by default:
// terminals, which do their own line editing.
std::vector<std::string> default_disabled_apps();

struct Settings {
  ConvertOptions options;  // handed to the core unchanged
  std::vector<std::string> disabled_apps = default_disabled_apps();
  std::string layout = "tilmoch";
  std::string hotkey_keys = "ctrl+shift+y";  // read and kept; nothing acts on it
  std::string hotkey_old_keys;               // read and kept; nothing acts on it
  bool enabled = true;
  bool undo_backspace = true;
  bool undo_remember = false;
  bool fallback = true;
  bool auto_convert = true;
  bool keymap = false;
  bool hotkey = true;  // read and kept; nothing acts on it
};

// Reads the lines of `settings.ini` onto `settings`.
void parse_settings(std::string_view text, Settings& settings);

// The word keys of the lines of `exceptions.txt`, in file order, each once.
std::vector<std::string> parse_exceptions(std::string_view text);

// True for "1", "on", "ha", "yes", "true" in any ASCII case; false for "0",
// "no", "off", "yoq", "yo'q", "false"; nothing for any other value.
std::optional<bool> parse_boolean(std::string_view value);

// True when the service is on for the executable with this file name.
bool is_active_for(const Settings& settings, std::string_view executable_name);

}  // namespace vexo::tsf
