// `vexo file` end to end: arguments, file kinds, output names, dry runs,
// atomic writes, and failures that leave nothing behind.
#include "cli/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/text_encoding.h"
#include <filesystem>
#include <fstream>
#include <set>

#include "tests/process.h"

namespace vexo {
namespace {

namespace fs = std::filesystem;
using cli::FileKind;

class FileCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "vexo-file-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  void copy_fixture(const std::string& name) const {
    fs::copy_file(fs::path(VEXO_FIXTURES) / name, dir_ / name);
  }
  std::set<std::string> names() const {
    std::set<std::string> out;
    for (const auto& entry : fs::directory_iterator(dir_))
      out.insert(entry.path().filename().string());
    return out;
  }
  test::ProcessResult vexo(std::vector<std::string> args) const {
    args.insert(args.begin(), "file");
    return test::run_process(VEXO_BIN, args, "");
  }

  fs::path dir_;
};

TEST(FileNames, KindsAndDefaultOutputs) {
  EXPECT_EQ(cli::file_kind("hujjat.DOCX"), FileKind::WordProcessing);
  EXPECT_EQ(cli::file_kind("a/b.dotm"), FileKind::WordProcessing);
  EXPECT_EQ(cli::file_kind("jadval.xltx"), FileKind::Spreadsheet);
  EXPECT_EQ(cli::file_kind("slides.PPSX"), FileKind::Presentation);
  EXPECT_EQ(cli::file_kind("k.odt"), FileKind::OpenDocument);
  EXPECT_EQ(cli::file_kind("k.odp"), FileKind::OpenDocument);
  for (const char* refused : {"eski.doc", "slides.ppt", "x.PDF"}) {
    EXPECT_EQ(cli::file_kind(refused), FileKind::Refused) << refused;
  }
  for (const char* text :
       {"notes.csv", ".bashrc", "README", "dir.docx/README", "a.", "..", "x.\xff"}) {
    EXPECT_EQ(cli::file_kind(text), FileKind::Text) << text;
  }
  EXPECT_EQ(cli::default_output_path("hujjat.DOCX", false), "hujjat.yangi.DOCX");
  EXPECT_EQ(cli::default_output_path("README", false), "README.yangi");
  EXPECT_EQ(cli::default_output_path("d.x/a.txt", true), "d.x/a.eski.txt");
  EXPECT_EQ(cli::default_output_path("d.x/.bashrc", false), "d.x/.bashrc.yangi");
}

TEST_F(FileCommand, ArgumentErrorsTouchNothing) {
  write("a.txt", "shahar");
  write("b.txt", "choy");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{path("a.txt"), "--bogus", "-o"}, "noma'lum sozlama: --bogus\n"},
      {{path("a.txt"), "-o"}, "-o dan keyin chiqish fayli kerak\n"},
      {{path("a.txt"), "--output="}, "-o dan keyin chiqish fayli kerak\n"},
      {{"--old", "-n"}, "vexo file FAYL [-o CHIQISH] [--old] [--dry-run] [--in-place]\n"},
      {{path("a.txt"), path("b.txt"), "-o", path("c.txt")},
       "-o faqat bitta fayl bilan va --in-place'siz ishlaydi\n"},
      {{path("a.txt"), "--output=" + path("c.txt"), "--in-place"},
       "-o faqat bitta fayl bilan va --in-place'siz ishlaydi\n"},
  };
  for (const auto& [args, message] : cases) {
    const auto r = vexo(args);
    EXPECT_EQ(r.err, message);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(names(), (std::set<std::string>{"a.txt", "b.txt"}));
  // Help wherever it stands; after "--" every argument is a file name.
  const auto help = vexo({path("a.txt"), "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("vexo file FAYL...")) << help.out;
  const auto dashed = vexo({"-n", "--", "--help", "-o"});
  EXPECT_EQ(dashed.status, 1);
  EXPECT_EQ(dashed.err, "--help: No such file or directory\n-o: No such file or directory\n");
  EXPECT_EQ(names(), (std::set<std::string>{"a.txt", "b.txt"}));
}

TEST_F(FileCommand, TextFilesKeepTheirBytes) {
  write("bom.txt", "\xEF\xBB\xBFshahar\r\nchoy  ichdik\n");
  write("README", "o'g'il");
  write("same.md", "Men bu kitobni oldim");
  // UTF-16 with its mark, in both byte orders, goes back as it came; a
  // character outside the BMP crosses as a surrogate pair.
  write("le.txt", cli::encode_text("choy \U0001F600\r\n", cli::TextEncoding::Utf16LittleEndian));
  write("be.txt", cli::encode_text("shahar", cli::TextEncoding::Utf16BigEndian));
  EXPECT_EQ(vexo({path("le.txt"), path("be.txt")}).status, 0);
  EXPECT_EQ(read("le.yangi.txt"), std::string("\xFF\xFE\xE7\0o\0y\0 \0=\xD8\0\xDE\r\0\n\0", 18));
  EXPECT_EQ(read("be.yangi.txt"), std::string("\xFE\xFF\x01\x5F\0a\0h\0a\0r", 12));
  fs::remove(path("le.yangi.txt"));
  fs::remove(path("be.yangi.txt"));
  fs::remove(path("le.txt"));
  fs::remove(path("be.txt"));
  const auto r = vexo({path("bom.txt"), path("README"), path("same.md")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, path("bom.txt") + " \u2192 " + path("bom.yangi.txt") + " (3 ta o'zgarish)\n" +
                       path("README") + " \u2192 " + path("README.yangi") + " (1 ta o'zgarish)\n" +
                       path("same.md") + " \u2192 " + path("same.yangi.md") +
                       " (0 ta o'zgarish)\n");
  EXPECT_EQ(read("bom.yangi.txt"), "\xEF\xBB\xBF\u015fahar\r\n\u00e7oy  i\u00e7dik\n");
  EXPECT_EQ(read("README.yangi"), "\u00f6\u011fil");  // no mark added
  EXPECT_EQ(read("same.yangi.md"), "Men bu kitobni oldim");

  // Old mode puts .eski before the extension and converts back; -o picks
  // the path.
  EXPECT_EQ(vexo({"--old", path("README.yangi")}).status, 0);
  EXPECT_EQ(read("README.eski.yangi"), "o\u02bbg\u02bbil");
  EXPECT_EQ(vexo({"-o", path("out"), path("README")}).status, 0);
  EXPECT_EQ(read("out"), "\u00f6\u011fil");
}

TEST_F(FileCommand, InPlaceAndSameFile) {
  write("a.txt", "shahar");
  ::chmod(path("a.txt").c_str(), 0640);
  const auto refused = vexo({path("a.txt"), "-o", dir_.string() + "/./a.txt"});
  EXPECT_EQ(refused.err,
            path("a.txt") + ": kirish fayli ustiga yozilmaydi (--in-place bilan ruxsat bering)\n");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(read("a.txt"), "shahar");
  // Writing output b takes over its lock and temporary files, so none of
  // them may be the input.
  for (const char* work : {"b.vexo-tmp", "b.vexo-tmp.x1Y2z3", "b.vexo-lock"}) {
    write(work, "choy");
    EXPECT_EQ(vexo({path(work), "-o", path("b")}).status, 1) << work;
    EXPECT_EQ(read(work), "choy");
    fs::remove(path(work));
  }

  fs::create_symlink(path("a.txt"), path("link.txt"));
  const auto r = vexo({"--in-place", path("link.txt")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, path("link.txt") + " \u2192 " + path("link.txt") + " (1 ta o'zgarish)\n");
  EXPECT_EQ(read("a.txt"), "\u015fahar");
  EXPECT_TRUE(fs::is_symlink(path("link.txt")));  // written through the link
  struct stat info {};
  ::stat(path("a.txt").c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(names(), (std::set<std::string>{"a.txt", "link.txt"}));

  // Owner and group stay as well where the process may set them.
  if (::geteuid() != 0) GTEST_SKIP() << "changing the owner needs root";
  ASSERT_EQ(::chown(path("a.txt").c_str(), 65534, 65534), 0);
  write("a.txt", "choy");
  EXPECT_EQ(vexo({"--in-place", path("a.txt")}).status, 0);
  ::stat(path("a.txt").c_str(), &info);
  EXPECT_EQ(read("a.txt"), "\u00e7oy");
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65534u);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(FileCommand, DryRunListsAndWritesNothing) {
  // The listings are those of diff (text) and of the grouped form (packages),
  // each under its file's name.
  write("a.txt", "shahar choy\nshahar\n");
  EXPECT_EQ(vexo({"-n", path("a.txt")}).out,
            "1: shahar \u2192 \u015fahar\n1: choy \u2192 \u00e7oy\n2: shahar \u2192 \u015fahar\n"
            "3 ta o'zgarish, 2 xil so'z\n");
  copy_fixture("sheet.xlsx");
  const auto two = vexo({path("a.txt"), "--dry-run", path("sheet.xlsx")});
  EXPECT_EQ(two.status, 0);
  EXPECT_TRUE(two.out.starts_with(path("a.txt") + "\n  1: shahar \u2192 \u015fahar\n")) << two.out;
  EXPECT_NE(two.out.find("\n" + path("sheet.xlsx") + "\n     2\u00d7 choy \u2192 \u00e7oy\n"),
            std::string::npos)
      << two.out;
  EXPECT_TRUE(
      two.out.ends_with("  (xl/sharedStrings.xml: 4, xl/worksheets/sheet1.xml: 2, "
                        "xl/worksheets/sheet2.xml: 1)\n  7 ta o'zgarish, 6 xil so'z\n"
                        "  eski imloda qoldi (varaq nomi, xl/workbook.xml): Ikkinchi\n"))
      << two.out;
  EXPECT_EQ(names(), (std::set<std::string>{"a.txt", "sheet.xlsx"}));
}

TEST_F(FileCommand, TheFileLineSaysWhatWasKept) {
  copy_fixture("tables.xlsx");
  copy_fixture("code.docx");
  const auto r = vexo({path("tables.xlsx"), path("code.docx")});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find(path("tables.yangi.xlsx") + " (14 ta o'zgarish; eski imloda qoldi: 1 ta "
                       "varaq nomi)\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(" ta o'zgarish; eski imloda qoldi: 2 ta kod)\n"), std::string::npos)
      << r.out;
}

TEST_F(FileCommand, FailuresAreReportedPerFile) {
  write("good.txt", "shahar");
  write("latin1.txt", "ma\xe2lumot");
  write("garbage.docx", "PK\x03\x04 this is not an archive");
  write("empty.xlsx", "");
  copy_fixture("letter.docx");
  write("truncated.docx", read("letter.docx").substr(0, 20000));
  copy_fixture("broken.docx");
  copy_fixture("bomb.docx");
  fs::create_directory(path("folder.txt"));
  ASSERT_EQ(::mkfifo(path("fifo.txt").c_str(), 0600), 0);  // opening it must not wait
  write("locked.docx", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'));
  write("odd.txt", "\xFF\xFEs\0h");  // UTF-16 cut in the middle of a unit
  write("lone.txt", std::string("\xFE\xFF\xDC\x00", 4));  // a lone low surrogate
  const std::set<std::string> before = names();

  const auto r =
      vexo({path("missing.txt"), path("eski.doc"), path("folder.txt"), path("fifo.txt"),
            "/dev/zero", path("latin1.txt"), path("odd.txt"), path("lone.txt"),
            path("garbage.docx"), path("empty.xlsx"), path("truncated.docx"), path("broken.docx"),
            path("bomb.docx"), path("locked.docx"), path("good.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, path("good.txt") + " \u2192 " + path("good.yangi.txt") + " (1 ta o'zgarish)\n");
  const std::string expected_errors[] = {
      path("missing.txt") + ": No such file or directory\n",
      path("eski.doc") +
          ": .doc qo'llab-quvvatlanmaydi \u2014 .docx, .xlsx yoki matn (.txt, .md) sifatida "
          "saqlang\n",
      path("folder.txt") + ": bu papka, fayl emas\n",
      path("fifo.txt") + ": oddiy fayl emas (qurilma, kanal yoki soket o'qilmaydi)\n",
      "/dev/zero: oddiy fayl emas (qurilma, kanal yoki soket o'qilmaydi)\n",
      path("latin1.txt") + ": matn UTF-8 emas (faylni UTF-8 sifatida saqlang)\n",
      path("odd.txt") + ": matn UTF-8 emas (faylni UTF-8 sifatida saqlang)\n",
      path("lone.txt") + ": matn UTF-8 emas (faylni UTF-8 sifatida saqlang)\n",
      path("garbage.docx") + ": zip: Not a zip archive\n",
      path("empty.xlsx") + ": zip: Not a zip archive\n",
      path("truncated.docx") + ": zip: Not a zip archive\n",
      path("broken.docx") + ": word/document.xml: XML xatosi (",
      path("bomb.docx") +
          ": word/document.xml: ochilgandagi hajmi haddan tashqari katta (zip-bomba bo'lishi "
          "mumkin)\n",
      path("locked.docx") + ": hujjat parol bilan himoyalangan (yoki eski Office formatida): "
                            "parolni olib tashlab, .docx yoki .xlsx sifatida qayta saqlang\n",
  };
  std::size_t at = 0;
  for (const std::string& expected : expected_errors) {
    const std::size_t found = r.err.find(expected, at);
    EXPECT_NE(found, std::string::npos) << expected << "\nin:\n" << r.err;
    if (found != std::string::npos) at = found + expected.size();
  }
  EXPECT_NE(r.err.find("-bayt): mismatched tag\n"), std::string::npos) << r.err;

  std::set<std::string> after = before;
  after.insert("good.yangi.txt");
  EXPECT_EQ(names(), after);  // no temporary and no partial output anywhere
}

TEST_F(FileCommand, UnwritableOutputLeavesTargetAlone) {
  write("a.txt", "shahar");
  const auto missing_dir = vexo({path("a.txt"), "-o", path("no/such/dir.txt")});
  EXPECT_EQ(missing_dir.err, path("no/such/dir.txt") + ": No such file or directory\n");
  EXPECT_EQ(missing_dir.status, 1);

  // The target exists as a directory: the rename fails, the temporary file
  // is removed and the directory stays as it was.
  fs::create_directory(path("a.yangi.txt"));
  const auto blocked = vexo({path("a.txt")});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_EQ(blocked.err.rfind(path("a.yangi.txt") + ": ", 0), 0u) << blocked.err;
  EXPECT_TRUE(fs::is_directory(path("a.yangi.txt")));
  EXPECT_EQ(names(), (std::set<std::string>{"a.txt", "a.yangi.txt"}));
}

}  // namespace
}  // namespace vexo
