// The report commands: explain's layout, diff's listing and eval's tallies,
// exit statuses and messages.
#include <gtest/gtest.h>

#include <fstream>
#include <ranges>
#include <regex>

#include "cli/report.h"
#include "core/unicode.h"
#include "tests/process.h"

namespace vexo::cli {
namespace {

test::ProcessResult vexo(const std::vector<std::string>& args, const std::string& input = "") {
  return test::run_process(VEXO_BIN, args, input);
}

std::string write_temp(const std::string& name, const std::string& content) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

// The report without its last line, the speed, which varies from run to run.
std::string without_speed(const std::string& report) {
  const std::size_t last = report.rfind("tezlik: ");
  return last == std::string::npos ? report : report.substr(0, last);
}

// Checks one explain record: the word padded to 24 characters, a space, the
// score in a 6-wide field with two decimals, two spaces and `rest`. The score
// itself depends on the word lists' weights and is only checked for its form.
void expect_record(std::string_view line, const std::string& word, const std::string& rest) {
  std::string prefix = word;
  const std::size_t length = count_code_points(word);
  if (length < 24) prefix.append(24 - length, ' ');
  prefix.push_back(' ');
  ASSERT_TRUE(line.starts_with(prefix)) << line;
  const std::string score(line.substr(prefix.size(), 6));
  EXPECT_TRUE(std::regex_match(score, std::regex(" *-?[0-9]+\\.[0-9]{2}"))) << line;
  EXPECT_EQ(line.substr(std::min(line.size(), prefix.size() + 6)), "  " + rest) << line;
}

TEST(Explain, OneRecordPerWordThenTheText) {
  ConvertOptions options;
  options.exceptions = {"choy"};
  const std::string report = explain_report(
      "U otdi. The shop is open. Choy https://x.uz/sh shahar Mustaqillikdavridagiislohotlar",
      options);
  std::vector<std::string_view> lines;
  for (const auto line : std::views::split(std::string_view(report), '\n')) {
    lines.emplace_back(line.begin(), line.end());
  }
  ASSERT_EQ(lines.size(), 13u) << report;
  // Six Uzbek words without an o'/g' word: otdi takes its likelier reading.
  expect_record(lines[1], "otdi.", "o'girildi  (ikki ma'noli: otdi.)");
  expect_record(lines[2], "The", "-");
  expect_record(lines[3], "shop", "inglizcha");
  expect_record(lines[6], "Choy", "istisno");
  expect_record(lines[7], "https://x.uz/sh", "himoya (havola/kod)");
  expect_record(lines[8], "shahar", "o'girildi");
  // A longer word shifts the rest of its line instead of being cut.
  expect_record(lines[9], "Mustaqillikdavridagiislohotlar", "-");
  EXPECT_EQ(lines[10], "");
  EXPECT_EQ(lines[11], "U \u00f6tdi. The shop is open. Choy https://x.uz/sh \u015fahar "
                       "Mustaqillikdavridagiislohotlar");
  EXPECT_EQ(lines[12], "");

  EXPECT_TRUE(std::regex_match(explain_report("\u00f6\u00f6", options),
                               std::regex("\u00f6\u00f6 {23}[ .0-9-]{6}  -\n\n\u00f6\u00f6\n")));
  EXPECT_EQ(explain_report("", options), "\n\n");
}

TEST(Eval, TalliesPerLanguageAndReportsMismatchesByLine) {
  const Evaluation result = evaluate(
      "# izoh\n"
      "\n"
      "uz\tshahar\t\u015fahar\r\n"
      "  \t \n"
      "en\tthe city\n"               // no expected field: the input comes back
      "en\tbook\t\n"                 // an empty expected field, likewise
      "yakka\n"                      // one field: skipped
      "uz-noapos\tchoy\tchoy\textra\n"  // a mismatch; fields after the third ignored
      "uz\to'g'il\t\u00f6\u011fil",
      ConvertOptions{});
  EXPECT_FALSE(result.all_correct);
  EXPECT_EQ(without_speed(result.report),
            "8:uz-noapos  choy\n"
            "    kutilgan: choy\n"
            "    chiqdi:   \u00e7oy\n"
            "\n"
            "en           2/2     100.00%\n"
            "uz           2/2     100.00%\n"
            "uz-noapos     0/1       0.00%\n");
  EXPECT_TRUE(std::regex_search(result.report, std::regex("\ntezlik: [0-9]+\\.[0-9]{2} \u00b5s/so'z \\(6 so'z\\)\n$")))
      << result.report;

  const Evaluation empty = evaluate("# faqat izoh\n\n", ConvertOptions{});
  EXPECT_TRUE(empty.all_correct);
  EXPECT_TRUE(empty.report.starts_with("\ntezlik: ")) << empty.report;
  EXPECT_TRUE(empty.report.ends_with(" \u00b5s/so'z (0 so'z)\n")) << empty.report;
}

TEST(Eval, ExitStatusAndErrors) {
  const auto usage = vexo({"eval"});
  EXPECT_EQ(usage.status, 1);
  EXPECT_EQ(usage.err, "vexo eval [--typing] FAYL.tsv\n");
  EXPECT_EQ(usage.out, "");

  const auto missing = vexo({"eval", "/nonexistent/t.tsv"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(missing.err.starts_with("/nonexistent/t.tsv: ")) << missing.err;
  EXPECT_EQ(missing.out, "");

  const std::string good = write_temp("good.tsv", "uz\tshahar\t\u015fahar\n");
  EXPECT_EQ(vexo({"eval", good, "ignored"}).status, 0);
  const std::string bad = write_temp("bad.tsv", "uz\tshahar\t\u015fahar\nuz\tchoy\tchoy\n");
  const auto mismatch = vexo({"eval", bad});
  EXPECT_EQ(mismatch.status, 1);
  EXPECT_TRUE(mismatch.out.starts_with("2:uz  choy\n")) << mismatch.out;
  EXPECT_EQ(vexo({"eval", write_temp("latin1.tsv", "uz\tsh\xe9har\n")}).status, 1);

  // Typed word by word, the lines of a label are paragraphs by one writer:
  // the apostrophes left out in the first carry into the second.
  const std::string typed = write_temp("typed.tsv", "x\tozbek\t\u00f6zbek\nx\tvaqt otdi\tvaqt \u00f6tdi\n");
  EXPECT_EQ(vexo({"eval", typed}).status, 1);
  EXPECT_EQ(vexo({"eval", "--typing", typed}).status, 0);
}

TEST(Diff, ListsChangedWordsByLine) {
  const auto r = vexo({"diff"}, "salom shahar\nbir shahar\n");
  EXPECT_EQ(r.out, "1: shahar \u2192 \u015fahar\n2: shahar \u2192 \u015fahar\n2 ta o'zgarish, 1 xil so'z\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(vexo({"diff", "salom", "dunyo"}).out, "0 ta o'zgarish, 0 xil so'z\n");
  // --old anywhere switches to the old spelling and is never part of the text.
  const std::string old_listing = "1: \u015fahar \u2192 shahar\n1 ta o'zgarish, 1 xil so'z\n";
  EXPECT_EQ(vexo({"diff", "--old", "\u015fahar"}).out, old_listing);
  EXPECT_EQ(vexo({"diff", "\u015fahar", "--old"}).out, old_listing);
  EXPECT_EQ(vexo({"diff", "--ascii", "--old", "ma\u02bcno"}).out,
            "1: ma\u02bcno \u2192 ma'no\n1 ta o'zgarish, 1 xil so'z\n");
  // Text that is not UTF-8 is refused rather than reported as "no changes".
#ifndef _WIN32  // Windows arguments are UTF-16 and cannot carry such bytes
  for (const char* command : {"diff", "explain", "convert", "old", "cyr"}) {
    const auto r = vexo({command, "sh\xff"});
    EXPECT_EQ(r.out, "") << command;
    EXPECT_EQ(r.err, "argument UTF-8 emas\n") << command;
    EXPECT_EQ(r.status, 1) << command;
  }
#endif
}

}  // namespace
}  // namespace vexo::cli
