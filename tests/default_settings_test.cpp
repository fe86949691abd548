// The commented settings.ini that the Windows installer writes for a new user:
// it must read back as the service's own defaults, and every key in it must be
// one the service reads (a misspelt key would be ignored without a word).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

#include "tsf/lines.h"
#include "tsf/settings.h"

namespace vexo::tsf {
namespace {

std::string default_settings_text() {
  std::ifstream in(VEXO_DEFAULT_SETTINGS, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

auto fields(const Settings& s) {
  return std::tie(s.options.exceptions, s.options.tutuq, s.options.guard, s.options.cyrillic,
                  s.options.restore, s.disabled_apps, s.layout, s.hotkey_keys,
                  s.hotkey_old_keys, s.enabled, s.undo_backspace, s.undo_remember, s.fallback,
                  s.auto_convert, s.keymap, s.hotkey);
}

bool is_setting_line(std::string_view line) {
  return !line.empty() && line[0] != '#' && line[0] != ';' && line[0] != '[';
}

TEST(DefaultSettingsFile, ReadsBackAsTheDefaults) {
  const std::string text = default_settings_text();
  ASSERT_FALSE(text.empty()) << VEXO_DEFAULT_SETTINGS;
  Settings read;
  parse_settings(text, read);
  EXPECT_TRUE(fields(read) == fields(Settings{}));
  EXPECT_EQ(read.options.tutuq, U'\u02BC');  // the non-ASCII value survives
  EXPECT_EQ(read.disabled_apps, default_disabled_apps());
}

TEST(DefaultSettingsFile, EveryKeyIsOneTheServiceReads) {
  const std::string text = default_settings_text();
  int keys = 0;
  for (const std::string_view raw : split_lines(text)) {
    const std::string_view line = trim(raw);
    if (!is_setting_line(line)) continue;
    const std::size_t equals = line.find('=');
    ASSERT_NE(equals, std::string_view::npos) << line;
    const std::string key(trim(line.substr(0, equals)));
    ++keys;
    // Some value of the key's kind must move the setting off its default.
    bool read = false;
    for (const char* value : {"ha", "yo'q", "custom", "x.exe", "'"}) {
      Settings changed;
      parse_settings(key + " = " + value, changed);
      read = read || !(fields(changed) == fields(Settings{}));
    }
    EXPECT_TRUE(read) << "key not read by the service: " << key;
  }
  EXPECT_EQ(keys, 12);
}

}  // namespace
}  // namespace vexo::tsf
