// The Windows platform layer of the command line: UTF-16 arguments, byte
// streams, and file operations on wide-character paths.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/platform.h"
#include "tests/process.h"

namespace vexo {
namespace {

namespace fs = std::filesystem;

TEST(WindowsCli, ArgumentsAreUtf16AndStreamsAreBytes) {
  // An unpaired surrogate has no UTF-8 form: a clear error, nothing converted.
  const std::wstring program = fs::path(VEXO_BIN).wstring();
  const auto bad = test::run_command_line(L"\"" + program + L"\" shahar x\xD800y", "");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err, "2-argumentni o'qib bo'lmadi: u to'g'ri Unicode (UTF-16) emas\n");

  const auto quoted = test::run_process(VEXO_BIN, {"say \"choy\" ichdi", "a\\\"b\\", "", "\u0447\u043e\u0439"}, "");
  EXPECT_EQ(quoted.out, "say \"\u00e7oy\" i\u00e7di a\\\"b\\  \u00e7oy\n");

  // Pipes carry the bytes as they are: no CR added or taken away.
  EXPECT_EQ(test::run_process(VEXO_BIN, {}, "shahar\r\nchoy\n").out, "\u015fahar\r\n\u00e7oy\n");
}

class WindowsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vexo-win-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const char8_t* name) const {
    const std::u8string utf8 = (dir_ / name).u8string();
    return std::string(utf8.begin(), utf8.end());
  }
  fs::path dir_;
};

TEST_F(WindowsFiles, ReplaceAndReadThroughWidePaths) {
  const std::string target = path(u8"o\u2018zbek \u015fahar.txt");
  std::string error;
  ASSERT_TRUE(platform::replace_file(target, "birinchi\n", std::nullopt, error)) << error;
  ASSERT_TRUE(platform::replace_file(target, "ikkinchi\r\n", std::nullopt, error)) << error;
  std::string bytes;
  ASSERT_TRUE(platform::read_file(target, bytes, error)) << error;
  EXPECT_EQ(bytes, "ikkinchi\r\n");
  EXPECT_FALSE(fs::exists(fs::path(std::u8string(target.begin(), target.end()) + u8".vexo-tmp")));

  EXPECT_FALSE(platform::read_file(path(u8"yo\u2018q.txt"), bytes, error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(platform::replace_file(path(u8"yo\u2018q/a.txt"), "x", std::nullopt, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(platform::read_file(std::string("a\xFF.txt"), bytes, error));  // not UTF-8
}

TEST_F(WindowsFiles, SameFileByFinalPath) {
  const std::string a = path(u8"\u00f6rik.txt"), b = path(u8"olma.txt");
  std::string error;
  ASSERT_TRUE(platform::replace_file(a, "a", std::nullopt, error)) << error;
  ASSERT_TRUE(platform::replace_file(b, "b", std::nullopt, error)) << error;
  EXPECT_TRUE(platform::same_file(a, a));
  EXPECT_TRUE(platform::same_file(a, path(u8".") + "\\..\\" + dir_.filename().string() + "\\\u00f6rik.txt"));
  EXPECT_TRUE(platform::same_file(b, path(u8"OLMA.TXT")));  // names ignore case
  EXPECT_FALSE(platform::same_file(a, b));
  EXPECT_FALSE(platform::same_file(a, path(u8"yo\u2018q.txt")));
  EXPECT_EQ(fs::path(platform::resolved_path(path(u8"OLMA.TXT"))).filename(), "olma.txt");
}

TEST(WindowsClock, NeverGoesBackwards) {
  std::uint64_t last = platform::monotonic_nanoseconds();
  for (int i = 0; i < 1000; ++i) {
    const std::uint64_t now = platform::monotonic_nanoseconds();
    EXPECT_GE(now, last);
    last = now;
  }
}

}  // namespace
}  // namespace vexo
