// `vexo file -j N`: files converted side by side give the messages, counts,
// listings, exit status and files of one file after another, in the same
// order. Also run under ThreadSanitizer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "tests/process.h"

namespace vexo {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A folder with documents of every kind, texts, files that fail, and names
// that meet: a file given twice, and a file that is another's output.
fs::path make_folder(const std::string& name) {
  std::string pattern = (fs::temp_directory_path() / ("vexo-jobs-" + name + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  const fs::path dir = pattern;
  const fs::path fixtures = VEXO_FIXTURES;
  for (const char* f : {"letter.docx", "sheet.xlsx", "tables.xlsx", "code.docx", "broken.docx",
                        "bomb.docx", "lo/deck.pptx", "lo/report.odt", "lo/budget.ods"}) {
    fs::copy_file(fixtures / f, dir / fs::path(f).filename());
  }
  std::string long_text;
  while (long_text.size() < 20000) long_text += "O'g'il bolalar bog'da choy ichib, shahar haqida gaplashdi.\n";
  std::ofstream(dir / "long.txt", std::ios::binary) << long_text;
  std::ofstream(dir / "a.txt", std::ios::binary) << "shahar choy\n";
  std::ofstream(dir / "latin1.txt", std::ios::binary) << "ma\xe2lumot";
  std::ofstream(dir / "garbage.docx", std::ios::binary) << "PK\x03\x04 not an archive";
  return dir;
}

std::map<std::string, std::string> contents(const fs::path& dir) {
  std::map<std::string, std::string> out;
  for (const auto& entry : fs::directory_iterator(dir)) {
    out[entry.path().filename().string()] = read_file(entry.path());
  }
  return out;
}

std::string relative(std::string text, const std::string& dir) {
  for (std::size_t at; (at = text.find(dir)) != std::string::npos;) text.replace(at, dir.size(), "@");
  return text;
}

TEST(FileJobs, SeveralAtOnceMatchOneAfterAnother) {
  const std::vector<std::string> names = {
      "long.txt", "long.yangi.txt", "letter.docx", "missing.txt", "sheet.xlsx", "a.txt",
      "eski.doc", "tables.xlsx", "latin1.txt", "code.docx", "garbage.docx", "broken.docx",
      "deck.pptx", "letter.docx", "bomb.docx", "report.odt", "budget.ods", "long.txt"};
  const std::vector<std::vector<std::string>> modes = {{}, {"--old"}, {"-n"}, {"--in-place"}};
  for (const auto& mode : modes) {
    std::map<std::string, std::string> first_files;
    test::ProcessResult first;
    for (const char* jobs : {"1", "4"}) {
      const fs::path dir = make_folder(jobs);
      ASSERT_FALSE(dir.empty());
      std::vector<std::string> args = {"file", "-j", jobs};
      args.insert(args.end(), mode.begin(), mode.end());
      for (const std::string& name : names) args.push_back((dir / name).string());
      test::ProcessResult r = test::run_process(VEXO_BIN, args, "");
      r.out = relative(r.out, dir.string());
      r.err = relative(r.err, dir.string());
      const auto files = contents(dir);
      fs::remove_all(dir);
      if (std::string(jobs) == "1") {
        first = r;
        first_files = files;
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("@/missing.txt: "), std::string::npos) << r.err;
        continue;
      }
      const std::string label = mode.empty() ? "(default)" : mode[0];
      EXPECT_EQ(r.status, first.status) << label;
      EXPECT_EQ(r.out, first.out) << label;
      EXPECT_EQ(r.err, first.err) << label;
      EXPECT_TRUE(files == first_files) << label;
    }
  }
}

}  // namespace
}  // namespace vexo
