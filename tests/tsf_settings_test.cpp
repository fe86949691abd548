// Parsing of settings.ini and exceptions.txt.
#include <gtest/gtest.h>

#include "tsf/settings.h"

namespace vexo::tsf {
namespace {

Settings parsed(std::string_view text) {
  Settings s;
  parse_settings(text, s);
  return s;
}

TEST(SettingsFile, EmptyTextGivesEveryDefault) {
  for (const std::string_view text : {"", "\n\n", "# only a comment\n[section]\n", "\xff\xfe"}) {
    const Settings s = parsed(text);
    EXPECT_EQ(s.options.tutuq, U'\u02BC');
    EXPECT_TRUE(s.options.exceptions.empty());
    EXPECT_TRUE(s.options.guard && s.options.cyrillic && s.options.restore);
    EXPECT_EQ(s.disabled_apps.size(), 10u);
    EXPECT_EQ(s.disabled_apps.front(), "termius.exe");
    EXPECT_EQ(s.disabled_apps.back(), "mobaxterm.exe");
    EXPECT_EQ(s.layout, "tilmoch");
    EXPECT_EQ(s.hotkey_keys, "ctrl+shift+y");
    EXPECT_EQ(s.hotkey_old_keys, "");
    EXPECT_TRUE(s.enabled && s.undo_backspace && s.fallback && s.auto_convert && s.hotkey);
    EXPECT_FALSE(s.undo_remember || s.keymap);
  }
}

TEST(SettingsFile, EveryBooleanSpellingInAnyAsciiCase) {
  for (const char* on : {"1", "on", "ha", "yes", "true", "ON", "Ha", "YeS", "TRUE"}) {
    const Settings s = parsed(std::string("undo_remember=") + on + "\nkeymap = " + on);
    EXPECT_TRUE(s.undo_remember) << on;
    EXPECT_TRUE(s.keymap) << on;
  }
  for (const char* off : {"0", "no", "off", "yoq", "yo'q", "false", "Yo'q", "YOQ", "OfF", "False"}) {
    const Settings s = parsed(std::string("auto_convert=") + off + "\nenabled = " + off);
    EXPECT_FALSE(s.auto_convert) << off;
    EXPECT_FALSE(s.enabled) << off;
  }
  const Settings all_off = parsed(
      "english_guard=0\ncyrillic=0\nrestore_apostrophes=0\nenabled=0\nundo_backspace=0\n"
      "fallback=0\nauto_convert=0\nhotkey=0\n");
  EXPECT_FALSE(all_off.options.guard || all_off.options.cyrillic || all_off.options.restore);
  EXPECT_FALSE(all_off.enabled || all_off.undo_backspace || all_off.fallback ||
               all_off.auto_convert || all_off.hotkey);
  // Near misses are not booleans.
  for (const char* other : {"maybe", "", "yo’q", "2", "tru", "y", "ha ha"}) {
    EXPECT_FALSE(parse_boolean(other).has_value()) << other;
  }
}

TEST(SettingsFile, InvalidValuesKeepEarlierOnesAndTheLastValidWins) {
  const Settings s = parsed(
      "auto_convert = Yo'q\n"
      "auto_convert = maybe\n"
      "tutuq = ’\n"
      "tutuq = ab\n"
      "tutuq =\n"
      "layout = Kirill\n"
      "layout = qwerty\n"
      "fallback = off\n"
      "fallback = on\n");
  EXPECT_FALSE(s.auto_convert);
  EXPECT_EQ(s.options.tutuq, U'\u2019');
  EXPECT_EQ(s.layout, "kirill");
  EXPECT_TRUE(s.fallback);
  EXPECT_EQ(parsed("layout = CUSTOM").layout, "custom");
  // A control character would end up in every converted text.
  EXPECT_EQ(parsed(std::string_view("tutuq = \0\n", 10)).options.tutuq, U'\u02BC');
  EXPECT_EQ(parsed("tutuq = \x7f").options.tutuq, U'\u02BC');
  EXPECT_EQ(parsed("tutuq = \xC2\x80").options.tutuq, U'\u02BC');
}

TEST(SettingsFile, LinesKeysAndValuesAreCleanedUp) {
  const Settings s = parsed(
      "\xEF\xBB\xBF" "ENABLED = no\r\n"
      "  # keymap = on\r\n"
      "; keymap = on\n"
      "[keymap = on]\n"
      "keymap on\n"
      "\tUndo_Remember\t=\ttrue\t\n"
      "unknown_key = 1\n"
      "hotkey_keys = Ctrl + Alt +\tU\n"
      "hotkey_old_keys = CTRL+SHIFT+O\n"
      "\xEF\xBB\xBF" "cyrillic=off");  // no final line feed
  EXPECT_FALSE(s.enabled);
  EXPECT_FALSE(s.keymap);
  EXPECT_TRUE(s.undo_remember);
  EXPECT_EQ(s.hotkey_keys, "ctrl+alt+u");
  EXPECT_EQ(s.hotkey_old_keys, "ctrl+shift+o");
  EXPECT_FALSE(s.options.cyrillic);
  // The value is everything after the first '='.
  EXPECT_EQ(parsed("tutuq = =").options.tutuq, U'=');
}

TEST(SettingsFile, DisabledAppsReplaceTheDefaultList) {
  const Settings s = parsed("disabled_apps = Notepad.EXE; ");
  EXPECT_EQ(s.disabled_apps, std::vector<std::string>{"notepad.exe"});
  EXPECT_FALSE(is_active_for(s, "notepad.exe"));
  EXPECT_FALSE(is_active_for(s, "NOTEPAD.exe"));
  EXPECT_TRUE(is_active_for(s, "putty.exe"));

  EXPECT_TRUE(parsed("disabled_apps =").disabled_apps.empty());
  EXPECT_TRUE(parsed("disabled_apps = ;, ,").disabled_apps.empty());
  EXPECT_EQ(parsed("disabled_apps = a.exe,B.EXE ;; ÇIZ.EXE").disabled_apps,
            (std::vector<std::string>{"a.exe", "b.exe", "çiz.exe"}));

  const Settings defaults;
  EXPECT_FALSE(is_active_for(defaults, "Conhost.exe"));
  EXPECT_TRUE(is_active_for(defaults, "notepad.exe"));
  EXPECT_FALSE(is_active_for(parsed("enabled = no"), "notepad.exe"));
}

TEST(ExceptionsFile, WordKeysWithoutDuplicates) {
  const std::vector<std::string> keys = parse_exceptions(
      "\xEF\xBB\xBF" "Shahar\r\n"
      "  # a comment\n"
      "\n"
      "   \n"
      "O‘zbek\n"
      "shahar\n"
      "  SHAHAR  \n"
      "Ishonch");
  EXPECT_EQ(keys, (std::vector<std::string>{"shahar", "o'zbek", "ishonch"}));
  EXPECT_TRUE(parse_exceptions("shahar\n\xC3(\n").empty());  // not UTF-8: empty
}

}  // namespace
}  // namespace vexo::tsf
