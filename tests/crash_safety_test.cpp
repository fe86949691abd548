// `vexo file` writers under stress. One killed (SIGKILL) at random moments
// while it converts a large document in place: the input must always be the
// complete old file or the complete new one, and a kill may leave behind
// only its lock and temporary files, which the next run over the same file
// removes. Two writers of one output at once: the output is always one of
// their complete results. A live writer's files are never touched.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
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
std::string large_document(int paragraphs, std::string_view text = "O'zbekiston shahar ") {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
      "<w:body>";
  for (int i = 0; i < paragraphs; ++i) {
    xml += "<w:p><w:r><w:t xml:space=\"preserve\">" + std::string(text) + std::to_string(i) +
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

fs::path make_directory() {
  std::string pattern = (fs::temp_directory_path() / "vexo-kill-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

// The names in `dir` other than the work files (lock, temporaries) of a
// writer of `target`.
std::set<std::string> without_work_files(std::set<std::string> names, const std::string& target) {
  std::erase_if(names, [&](const std::string& name) {
    return name.starts_with(target + ".vexo-tmp") || name == target + ".vexo-lock";
  });
  return names;
}

TEST(InPlaceCrashSafety, KilledRunsLeaveOldOrNewFile) {
  const fs::path dir = make_directory();
  ASSERT_FALSE(dir.empty());
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
    const std::set<std::string> left = entries(dir);
    if (left.size() > 1) ++killed_with_temporary;
    EXPECT_EQ(without_work_files(left, "big.docx"), std::set<std::string>{"big.docx"})
        << "round " << round;
  }
  RecordProperty("KillsLeavingWorkFiles", killed_with_temporary);

  // A run after kills removes what they left, an old-style temporary file too.
  write_file(temporary, "left by a killed run");
  write_file(doc, old_bytes);
  ASSERT_EQ(wait_for(start_vexo({"file", "--in-place", doc.string()})), 0);
  EXPECT_EQ(read_file(doc), new_bytes);
  EXPECT_EQ(entries(dir), std::set<std::string>{"big.docx"});
  fs::remove_all(dir);
}

TEST(ConcurrentWriters, OutputIsAlwaysOneCompleteResult) {
  const fs::path dir = make_directory();
  ASSERT_FALSE(dir.empty());
  const std::string out = (dir / "out.docx").string();
  const std::string inputs[] = {(dir / "a.docx").string(), (dir / "b.docx").string()};
  write_file(inputs[0], large_document(1500));
  write_file(inputs[1], large_document(1500, "choy va bog' "));
  std::string results[2];
  for (int k = 0; k < 2; ++k) {
    ASSERT_EQ(wait_for(start_vexo({"file", inputs[k], "-o", out})), 0);
    results[k] = read_file(out);
  }
  ASSERT_NE(results[0], results[1]);

  for (int round = 0; round < 20; ++round) {
    const pid_t first = start_vexo({"file", inputs[round % 2], "-o", out});
    const pid_t second = start_vexo({"file", inputs[1 - round % 2], "-o", out});
    EXPECT_EQ(wait_for(first), 0) << "round " << round;
    EXPECT_EQ(wait_for(second), 0) << "round " << round;
    const std::string now = read_file(out);
    EXPECT_TRUE(now == results[0] || now == results[1]) << "round " << round;
    EXPECT_EQ(entries(dir), (std::set<std::string>{"a.docx", "b.docx", "out.docx"}))
        << "round " << round;
  }
  // Whichever result is there is a sound archive.
  int error = 0;
  zip_t* archive = zip_open(out.c_str(), ZIP_CHECKCONS | ZIP_RDONLY, &error);
  ASSERT_NE(archive, nullptr) << error;
  zip_discard(archive);
  fs::remove_all(dir);
}

TEST(ConcurrentWriters, LiveWriterIsWaitedForAndItsFilesKept) {
  const fs::path dir = make_directory();
  ASSERT_FALSE(dir.empty());
  write_file(dir / "a.txt", "shahar");
  // Play a live writer of a.yangi.txt: hold its lock, with a temporary file.
  const fs::path lock = dir / "a.yangi.txt.vexo-lock";
  const fs::path temporary = dir / "a.yangi.txt.vexo-tmp.Live01";
  const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  write_file(temporary, "being written");

  const pid_t waiting = start_vexo({"file", (dir / "a.txt").string()});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  int status = 0;
  EXPECT_EQ(::waitpid(waiting, &status, WNOHANG), 0);  // still waiting
  EXPECT_EQ(read_file(temporary), "being written");
  EXPECT_FALSE(fs::exists(dir / "a.yangi.txt"));

  // The writer goes away without cleaning up: its temporary file is now a
  // leftover, and the waiting run removes it.
  ::close(fd);
  EXPECT_EQ(wait_for(waiting), 0);
  EXPECT_EQ(read_file(dir / "a.yangi.txt"), "\u015fahar");
  EXPECT_EQ(entries(dir), (std::set<std::string>{"a.txt", "a.yangi.txt"}));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vexo
