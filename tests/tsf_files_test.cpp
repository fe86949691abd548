// The files in a profile directory: loading, the reload rule, and the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tsf/log.h"
#include "tsf/platform.h"
#include "tsf/profile.h"
#include "tsf/reload.h"

namespace vexo::tsf {
namespace {

namespace fs = std::filesystem;

// A fresh directory standing in for %APPDATA% and %LOCALAPPDATA%.
class ProfileDir : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "vexo-tsf-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "vexo");
  }
  void TearDown() override { fs::remove_all(root_); }

  void write(const std::string& name, std::string_view text) {
    std::ofstream(root_ / "vexo" / name, std::ios::binary | std::ios::trunc) << text;
  }
  std::string read(const fs::path& path) {
    return platform::read_file(path.string()).value_or("<missing>");
  }
  Profile profile(std::string executable = "notepad.exe") {
    return Profile{vexo_dir_in(root_.string()), std::move(executable)};
  }
  fs::path log_path() const { return root_ / "vexo" / "tsf.log"; }

  fs::path root_;
};

using ProfileFiles = ProfileDir;
using Reload = ProfileDir;
using ServiceLog = ProfileDir;

TEST_F(ProfileFiles, MissingOrNonUtf8FilesCountAsEmpty) {
  Settings defaults;
  for (const Profile& p : {Profile{std::nullopt, "notepad.exe"}, profile()}) {
    const Settings s = load_settings(p);  // nothing written yet
    EXPECT_EQ(s.layout, defaults.layout);
    EXPECT_EQ(s.disabled_apps, defaults.disabled_apps);
    EXPECT_TRUE(s.options.exceptions.empty());
  }
  write("settings.ini", "keymap = on\nlayout = custom\nauto_convert = no\n\xC0\xAF\n");
  write("exceptions.txt", "shahar\n\xED\xA0\x80\n");  // an encoded surrogate
  write("keymap.txt", "o ö\n");
  const Settings s = load_settings(profile());
  EXPECT_TRUE(s.auto_convert);
  EXPECT_FALSE(s.keymap);
  EXPECT_TRUE(s.options.exceptions.empty());

  write("settings.ini", "keymap = on\nlayout = custom\n");
  write("exceptions.txt", "Shahar\nshahar\nO'zbek\n");
  const Settings good = load_settings(profile());
  EXPECT_EQ(good.options.exceptions, (std::vector<std::string>{"shahar", "o'zbek"}));
  EXPECT_EQ(load_keymap(good, profile())->get(0x18, Cell::Normal), U'ö');
  Settings off = good;
  off.keymap = false;
  EXPECT_FALSE(load_keymap(off, profile()).has_value());
  Settings kirill = good;
  kirill.layout = "kirill";
  EXPECT_EQ(load_keymap(kirill, profile()), builtin_keymap("kirill"));  // keymap.txt unread
}

TEST_F(Reload, ChangesAreSeenAfterOneSecondAndNotBefore) {
  Log log = open_log(root_.string(), "notepad.exe");
  SettingsState state{profile(), &log};
  write("settings.ini", "auto_convert = on\n");
  load_files(state);
  EXPECT_TRUE(check_fresh(state, 10'000));
  EXPECT_TRUE(state.settings.auto_convert);

  write("settings.ini", "auto_convert = off\nkeymap = ha\nlayout = Kirill\n");
  EXPECT_TRUE(check_fresh(state, 10'999));  // within the second: not looked at
  EXPECT_TRUE(state.settings.auto_convert);
  EXPECT_EQ(read(log_path()), "<missing>");

  state.keys_stale = false;
  EXPECT_TRUE(check_fresh(state, 11'000));
  EXPECT_FALSE(state.settings.auto_convert);
  ASSERT_TRUE(state.keymap.has_value());
  EXPECT_EQ(*state.keymap, builtin_keymap("kirill"));
  EXPECT_TRUE(state.keys_stale);  // a different key map was loaded
  const std::string logged = read(log_path());
  EXPECT_NE(logged.find(" pid="), std::string::npos);
  EXPECT_TRUE(logged.ends_with(" notepad.exe settings reloaded: active\n")) << logged;

  // Unchanged stamps: no reload, no log line, however long after.
  state.settings.auto_convert = true;
  EXPECT_TRUE(check_fresh(state, 50'000));
  EXPECT_TRUE(state.settings.auto_convert);
  EXPECT_EQ(read(log_path()), logged);

  // Switching this program off is reported too, and so is a deleted file.
  write("settings.ini", "disabled_apps = NOTEPAD.EXE\n");
  state.keys_stale = false;
  EXPECT_FALSE(check_fresh(state, 60'000));
  EXPECT_TRUE(state.keys_stale);  // the active flag changed
  EXPECT_TRUE(read(log_path()).ends_with("settings reloaded: off for this app\n"));
  fs::remove(root_ / "vexo" / "settings.ini");
  EXPECT_TRUE(check_fresh(state, 61'000));
  EXPECT_FALSE(state.keymap.has_value());
}

TEST_F(Reload, OwnAppendToExceptionsDoesNotReload) {
  SettingsState state{profile(), nullptr};
  write("exceptions.txt", "shahar\n");
  load_files(state);
  check_fresh(state, 0);
  // The service keeps a word for this program and also writes it to the file.
  state.settings.options.exceptions.push_back("maktab");
  ASSERT_TRUE(platform::append_file((root_ / "vexo" / "exceptions.txt").string(), "bosh\n"));
  refresh_stamps(state);
  check_fresh(state, 5'000);
  EXPECT_EQ(state.settings.options.exceptions, (std::vector<std::string>{"shahar", "maktab"}));
  // An outside change rebuilds the list from the file.
  write("settings.ini", "tutuq = '\n");
  check_fresh(state, 10'000);
  EXPECT_EQ(state.settings.options.exceptions, (std::vector<std::string>{"shahar", "bosh"}));
  EXPECT_EQ(state.settings.options.tutuq, U'\'');
}

TEST_F(Reload, ApplyMarksKeysStaleOnlyWhenActiveFlagOrKeymapChange) {
  SettingsState state{profile("Putty.exe"), nullptr};
  Settings settings;
  apply(state, settings);
  EXPECT_FALSE(state.active);  // a terminal of the default list
  state.keys_stale = false;
  settings.auto_convert = false;
  apply(state, settings);
  EXPECT_FALSE(state.keys_stale);
  settings.keymap = true;
  apply(state, settings);
  EXPECT_TRUE(state.keys_stale);
  state.keys_stale = false;
  settings.disabled_apps.clear();
  apply(state, settings);
  EXPECT_TRUE(state.active);
  EXPECT_TRUE(state.keys_stale);
}

TEST_F(ServiceLog, LinesAndTheRestartPast512KiB) {
  const Log log = open_log(root_.string(), "word.exe");
  ASSERT_EQ(log.path(), log_path().string());
  log.write("activate");
  log.write("two\nlines");
  const std::string text = read(log_path());
  const std::string pid = " pid=" + std::to_string(platform::process_id()) + " word.exe ";
  EXPECT_NE(text.find(pid + "activate\n"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with(pid + "two lines\n")) << text;
  EXPECT_EQ(format_log_line(1767225600, 42, "a.exe", "key"), "1767225600 pid=42 a.exe key\n");

  write("tsf.log", std::string(kLogSizeLimit, 'x'));  // at the limit: kept
  log.write("kept");
  const std::string grown = read(log_path());
  EXPECT_EQ(grown.substr(0, kLogSizeLimit), std::string(kLogSizeLimit, 'x'));
  EXPECT_TRUE(grown.ends_with(pid + "kept\n"));
  log.write("fresh");
  const std::string restarted = read(log_path());
  EXPECT_EQ(std::count(restarted.begin(), restarted.end(), '\n'), 1) << restarted.size();
  EXPECT_TRUE(restarted.ends_with(pid + "fresh\n"));
}

TEST_F(ServiceLog, NothingIsLoggedWithoutALocalProfile) {
  const Log log = open_log(std::nullopt, "word.exe");
  EXPECT_FALSE(log.path().has_value());
  log.write("activate");  // must not crash or write anywhere

  const Log nested = open_log((root_ / "a" / "b").string(), "word.exe");
  nested.write("activate");
  EXPECT_TRUE(fs::exists(root_ / "a" / "b" / "vexo" / "tsf.log"));
}

}  // namespace
}  // namespace vexo::tsf
