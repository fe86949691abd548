#include "tsf/settings.h"

#include <algorithm>
#include <array>
#include <span>
#include <unordered_set>

#include "core/unicode.h"
#include "tsf/keymap.h"
#include "tsf/lines.h"

namespace vexo::tsf {
namespace {

bool equals_ascii_case_insensitive(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ascii_lower(a) == ascii_lower(b);
}

bool is_one_of(std::string_view value, std::span<const std::string_view> words) {
  return std::any_of(words.begin(), words.end(), [&](std::string_view w) {
    return equals_ascii_case_insensitive(value, w);
  });
}

// The field a boolean key sets, or null for a key that is not boolean.
bool* boolean_field(Settings& s, std::string_view key) {
  if (key == "english_guard") return &s.options.guard;
  if (key == "cyrillic") return &s.options.cyrillic;
  if (key == "restore_apostrophes") return &s.options.restore;
  if (key == "enabled") return &s.enabled;
  if (key == "undo_backspace") return &s.undo_backspace;
  if (key == "undo_remember") return &s.undo_remember;
  if (key == "fallback") return &s.fallback;
  if (key == "auto_convert") return &s.auto_convert;
  if (key == "keymap") return &s.keymap;
  if (key == "hotkey") return &s.hotkey;
  return nullptr;
}

std::vector<std::string> parse_app_list(std::string_view value) {
  std::vector<std::string> apps;
  while (true) {
    const std::size_t end = value.find_first_of(",;");
    const std::string_view item = trim(value.substr(0, end));
    if (!item.empty()) apps.push_back(to_lower(item));
    if (end == std::string_view::npos) break;
    value.remove_prefix(end + 1);
  }
  return apps;
}

std::string without_white_space(std::string_view value) {
  std::string kept;
  for (std::size_t i = 0; i < value.size();) {
    const char32_t c = next_code_point(value, i);
    if (!is_white_space(c)) append_utf8(kept, c);
  }
  return to_lower(kept);
}

void set_value(Settings& s, std::string_view key, std::string_view value) {
  if (bool* field = boolean_field(s, key)) {
    if (const auto on = parse_boolean(value)) *field = *on;
  } else if (key == "tutuq") {
    if (!value.empty() && count_code_points(value) == 1) {
      std::size_t i = 0;
      const char32_t c = next_code_point(value, i);
      if (!is_control_character(c)) s.options.tutuq = c;
    }
  } else if (key == "disabled_apps") {
    s.disabled_apps = parse_app_list(value);
  } else if (key == "layout") {
    std::string name = to_lower(value);
    if (name == kCustomLayout || is_builtin_layout(name)) s.layout = std::move(name);
  } else if (key == "hotkey_keys") {
    s.hotkey_keys = without_white_space(value);
  } else if (key == "hotkey_old_keys") {
    s.hotkey_old_keys = without_white_space(value);
  }
}

}  // namespace

std::vector<std::string> default_disabled_apps() {
  return {"termius.exe", "windowsterminal.exe", "openconsole.exe", "conhost.exe",
          "putty.exe",   "kitty.exe",           "mintty.exe",      "alacritty.exe",
          "wezterm-gui.exe", "mobaxterm.exe"};
}

std::optional<bool> parse_boolean(std::string_view value) {
  static constexpr std::array<std::string_view, 5> kOn = {"1", "on", "ha", "yes", "true"};
  static constexpr std::array<std::string_view, 6> kOff = {"0",   "no",   "off",
                                                           "yoq", "yo'q", "false"};
  if (is_one_of(value, kOn)) return true;
  if (is_one_of(value, kOff)) return false;
  return std::nullopt;
}

void parse_settings(std::string_view text, Settings& settings) {
  if (!is_valid_utf8(text)) return;
  for (const std::string_view raw : split_lines(text)) {
    const std::string_view line = trim(raw);
    if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string key = ascii_lower(trim(line.substr(0, equals)));
    set_value(settings, key, trim(line.substr(equals + 1)));
  }
}

std::vector<std::string> parse_exceptions(std::string_view text) {
  std::vector<std::string> keys;
  if (!is_valid_utf8(text)) return keys;
  std::unordered_set<std::string> seen;
  for (const std::string_view raw : split_lines(text)) {
    const std::string_view line = trim(raw);
    if (line.empty() || line[0] == '#') continue;
    std::string key = word_key(line);
    if (seen.insert(key).second) keys.push_back(std::move(key));
  }
  return keys;
}

bool is_active_for(const Settings& settings, std::string_view executable_name) {
  if (!settings.enabled) return false;
  const std::string name =
      is_valid_utf8(executable_name) ? to_lower(executable_name) : std::string(executable_name);
  return std::find(settings.disabled_apps.begin(), settings.disabled_apps.end(), name) ==
         settings.disabled_apps.end();
}

}  // namespace vexo::tsf
