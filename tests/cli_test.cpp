// The vexo program end to end: argument grammar, standard streams, exit
// status, help and version texts.
#include <gtest/gtest.h>

#include "core/version.h"
#include "tests/process.h"

namespace vexo {
namespace {

using test::run_process;

test::ProcessResult vexo(const std::vector<std::string>& args, const std::string& input = "") {
  return run_process(VEXO_BIN, args, input);
}

TEST(Cli, ConvertsArgumentsOrStandardInput) {
  EXPECT_EQ(vexo({"shahar", "choy"}).out, "\u015fahar \u00e7oy\n");
  EXPECT_EQ(vexo({}, "shahar\n").out, "\u015fahar\n");  // no second line feed
  EXPECT_EQ(vexo({"convert"}, "shahar").out, "\u015fahar\n");
  EXPECT_EQ(vexo({}, "").out, "\n");  // an empty result is one line feed
  const auto r = vexo({}, "O'zbekiston shahar, CHOR-NOR: https://x.uz/sh ma'no Is'hoq SMS-xabar\n");
  EXPECT_EQ(r.out, "\u00d6zbekiston \u015fahar, \u00c7OR-NOR: https://x.uz/sh ma\u02bcno Ishoq SMS-xabar\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Cli, GlobalOptionsAreTakenAnywhere) {
  EXPECT_EQ(vexo({"--no-guard", "convert", "sh", "ch"}).out, vexo({"convert", "sh", "--no-guard", "ch"}).out);
  EXPECT_EQ(vexo({"ma'no", "--tutuq='"}).out, "ma'no\n");
  EXPECT_EQ(vexo({"--tutuq=", "ma'no"}).out, "ma\u02bcno\n");
  EXPECT_EQ(vexo({"--tutuq=\u2019x", "ma'no"}).out, "ma\u2019no\n");
  EXPECT_EQ(vexo({"--tutuq=\u2019", "--tutuq='", "ma'no"}).out, "ma'no\n");  // the last one wins
  EXPECT_EQ(vexo({"a", "--ascii", "--no-guard", "--no-cyrillic", "b"}).out, "a b\n");
}

TEST(Cli, CommandWordsCountOnlyFirst) {
  EXPECT_EQ(vexo({"salom", "--help"}).out, "salom --help\n");
  EXPECT_EQ(vexo({"Convert", "shahar"}).out, "Convert \u015fahar\n");
  EXPECT_EQ(vexo({"-n", "shahar"}).out, "-n \u015fahar\n");
}

TEST(Cli, OldWritesTheOldSpelling) {
  EXPECT_EQ(vexo({"old", "--ascii", "\u015eAHAR ma\u02bcno"}).out, "SHAHAR ma'no\n");
  EXPECT_EQ(vexo({"old"}, "k\u00f6p\n").out, "ko\u02bbp\n");
}

TEST(Cli, CyrWritesCyrillicAndTakesNoOptions) {
  EXPECT_EQ(vexo({"cyr"}, "Toşkent o'zbek\n").out, "Тошкент ўзбек\n");
  const auto r = vexo({"--tutuq='", "cyr", "--no-guard", "ma'no"});
  EXPECT_EQ(r.out, "маъно\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Cli, CyrillicWordsInLatinText) {
  EXPECT_EQ(vexo({"--tutuq='", "маъно"}).out, "ma'no\n");
  EXPECT_EQ(vexo({"--no-cyrillic", "маъно", "shahar"}).out, "маъно şahar\n");
}

TEST(Cli, HelpAndVersion) {
  for (const char* word : {"-h", "help", "--help"}) {
    const auto r = vexo({word});
    EXPECT_TRUE(r.out.starts_with("vexo \u2014 o'zbek matnini 2026-yilgi alifboga")) << word;
    EXPECT_TRUE(r.out.ends_with("  --in-place      (file) kirish faylining o'ziga yozish\n"));
    EXPECT_NE(r.out.find("\n  vexo --version, -V "), std::string::npos);
    EXPECT_EQ(r.out.find(VEXO_VERSION), std::string::npos);
    EXPECT_EQ(r.status, 0);
  }
  // The version comes from the build, never from a copy in the program.
  for (const char* word : {"-V", "--version"})
    EXPECT_EQ(vexo({word}).out, "vexo " VEXO_VERSION "\n") << word;
}

TEST(Cli, InvalidUtf8InputIsRefused) {
  const auto r = vexo({}, "shahar \xff\xfe\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "kirish UTF-8 emas (matnni UTF-8 sifatida saqlang)\n");
}

// The guard and restoration are on by default and --no-guard turns the guard off.
TEST(Cli, EnglishGuardAndRestoration) {
  EXPECT_EQ(vexo({}, "ozbek tili, shell check\n").out, "\u00f6zbek tili, shell check\n");
  EXPECT_EQ(vexo({"--no-guard"}, "shell don't").out, "\u015fell don\u02bct\n");
  EXPECT_NE(vexo({"explain", "otdi"}).out.find("(ikki ma'noli: \u00f6tdi)"), std::string::npos);
}

}  // namespace
}  // namespace vexo
