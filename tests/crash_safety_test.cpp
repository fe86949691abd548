// `vexo file --in-place` killed (SIGKILL) at random moments while it converts
// a large document: the input must always be the complete old file or the
// complete new one, and the only thing a kill may leave behind is the
// temporary file, which the next run over the same input takes over.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>

namespace vexo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A word-processing package whose document holds `paragraphs` paragraphs of
// old-spelling text, stored without compression so that the conversion reads
// and writes several megabytes.
std::string large_document(int paragraphs) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
      "<w:body>";
  for (int i = 0; i < paragraphs; ++i) {
    xml += "<w:p><w:r><w:t xml:space=\"preserve\">O'zbekiston shahar " + std::to_string(i) +
           " </w:t></w:r><w:r><w:b/><w:t>choy va g'isht, ma'no.</w:t></w:r></w:p>";
  }
  xml += "</w:body></w:document>";

  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_t* archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
  zip_source_keep(source);
  zip_source_t* part = zip_source_buffer(archive, xml.data(), xml.size(), 0);
  const zip_int64_t index = zip_file_add(archive, "word/document.xml", part, ZIP_FL_ENC_UTF_8);
  zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  zip_close(archive);

  std::string bytes;
  zip_source_open(source);
  zip_stat_t stat;
  zip_source_stat(source, &stat);
  bytes.resize(stat.size);
  zip_source_read(source, bytes.data(), stat.size);
  zip_source_close(source);
  zip_source_free(source);
  return bytes;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

pid_t start_vexo(const std::vector<std::string>& args) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(VEXO_BIN)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::freopen("/dev/null", "w", stdout);
    ::freopen("/dev/null", "w", stderr);
    ::execv(VEXO_BIN, argv.data());
    ::_exit(127);
  }
  return pid;
}

int wait_for(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

std::set<std::string> entries(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

TEST(InPlaceCrashSafety, KilledRunsLeaveOldOrNewFile) {
  std::string pattern = (fs::temp_directory_path() / "vexo-kill-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  const fs::path doc = dir / "big.docx";
  const fs::path temporary = dir / "big.docx.vexo-tmp";

  const std::string old_bytes = large_document(6000);
  write_file(doc, old_bytes);
  const auto started = Clock::now();
  ASSERT_EQ(wait_for(start_vexo({"file", "--in-place", doc.string()})), 0);
  const auto full_run = Clock::now() - started;
  const std::string new_bytes = read_file(doc);
  ASSERT_NE(new_bytes, old_bytes);
  ASSERT_EQ(entries(dir), std::set<std::string>{"big.docx"});

  std::mt19937 random(20260);
  // Kill moments spread over the whole run, more of them late, where the
  // output is written and renamed.
  const long run_us = std::chrono::duration_cast<std::chrono::microseconds>(full_run).count();
  std::uniform_int_distribution<long> early(0, run_us);
  std::uniform_int_distribution<long> late(run_us * 7 / 10, run_us * 6 / 5);
  int killed_with_temporary = 0;
  for (int round = 0; round < 25; ++round) {
    write_file(doc, old_bytes);
    const pid_t pid = start_vexo({"file", "--in-place", doc.string()});
    std::this_thread::sleep_for(std::chrono::microseconds(round % 2 == 0 ? early(random) : late(random)));
    ::kill(pid, SIGKILL);
    wait_for(pid);

    const std::string now = read_file(doc);
    EXPECT_TRUE(now == old_bytes || now == new_bytes) << "round " << round;
    std::set<std::string> left = entries(dir);
    if (left.erase("big.docx.vexo-tmp") == 1) ++killed_with_temporary;
    EXPECT_EQ(left, std::set<std::string>{"big.docx"}) << "round " << round;
  }
  RecordProperty("KillsLeavingTemporary", killed_with_temporary);

  // A run after a kill writes over the leftover temporary file and renames it.
  write_file(temporary, "left by a killed run");
  write_file(doc, old_bytes);
  ASSERT_EQ(wait_for(start_vexo({"file", "--in-place", doc.string()})), 0);
  EXPECT_EQ(read_file(doc), new_bytes);
  EXPECT_EQ(entries(dir), std::set<std::string>{"big.docx"});
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vexo
