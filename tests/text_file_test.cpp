// Plain text files a piece at a time: decoding in slices against decoding
// whole, the piecewise file conversion against whole-text conversion, and
// faults late in a file that must leave nothing written.
#include "cli/text_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "cli/text_encoding.h"
#include "core/lib.h"
#include "core/reverse.h"
#include "tests/process.h"

namespace vexo {
namespace {

using cli::TextEncoding;
using cli::TextFileEnd;

// Reads `bytes` in slices of random length up to `most`.
cli::ReadBytes slices_of(std::string_view& bytes, std::size_t most, unsigned seed) {
  return [&bytes, most, random = std::mt19937(seed)](char* out, std::size_t length,
                                                      std::string&) mutable {
    const std::size_t n = std::min({length, bytes.size(), 1 + random() % most});
    std::copy_n(bytes.data(), n, out);
    bytes.remove_prefix(n);
    return static_cast<std::int64_t>(n);
  };
}

TEST(TextDecoder, AnySlicesDecodeAsTheWholeFile) {
  const std::string text = "o'g'il \u00e7oy \U0001F600 \u0448\u0430\u04b3\u0430\u0440\r\n";
  const std::string utf16le = cli::encode_text(text, TextEncoding::Utf16LittleEndian);
  const std::string utf16be = cli::encode_text(text, TextEncoding::Utf16BigEndian);
  const std::string files[] = {
      "", "a", "ab", "\xFF", "\xFF\xFE", "\xFE\xFF", "\xEF\xBB", "\xEF\xBB\xBF", text,
      "\xEF\xBB\xBF" + text, utf16le, utf16be,
      text + "\xFF" + text,             // not UTF-8 late
      text + "\xE2\x82",                // a character cut off by the end
      utf16le + "a",                    // an odd byte at the end
      utf16le + std::string("\x3D\xD8", 2),        // a high surrogate at the end
      utf16le + std::string("\x3D\xD8\x41\x00", 4),  // ... followed by no low one
      utf16be + std::string("\xDC\x00", 2) + "\0a",  // a lone low surrogate
  };
  for (const std::string& file : files) {
    const std::optional<cli::DecodedText> whole = cli::decode_text(file);
    for (std::size_t most : {1, 2, 3, 5, 64}) {
      std::string_view rest = file;
      std::string error, out;
      cli::TextDecoder decoder;
      const cli::ReadBytes read = slices_of(rest, most, static_cast<unsigned>(most));
      bool ok = true, ended = false;
      while (ok && !ended) {
        char buffer[64];
        const std::int64_t n = read(buffer, sizeof buffer, error);
        ended = n == 0;
        ok = decoder.add(std::string_view(buffer, static_cast<std::size_t>(n)), ended, out);
      }
      ASSERT_EQ(ok, whole.has_value()) << testing::PrintToString(file) << " in slices of " << most;
      if (!ok) continue;
      EXPECT_EQ(out, whole->text) << testing::PrintToString(file);
      EXPECT_EQ(decoder.encoding(), whole->encoding) << testing::PrintToString(file);
    }
  }
}

// Pieces at every line break, or at the first after 200 bytes: far more cuts
// than the shipped piece size makes in a small text.
std::size_t cut_each_line(std::string_view text, bool ended) {
  const std::size_t end = text.find('\n');
  return end != std::string_view::npos ? end + 1 : ended ? text.size() : 0;
}
std::size_t cut_after_200(std::string_view text, bool ended) {
  const std::size_t end = text.find('\n', std::min<std::size_t>(200, text.size()));
  return end != std::string_view::npos ? end + 1 : ended ? text.size() : 0;
}

// Paragraphs that show apostrophes typed, left out, or neither, so that the
// evidence carried from piece to piece decides words.
std::string varied_text(std::size_t lines, unsigned seed) {
  const char* kinds[] = {"O'zbekiston poytaxti Toshkent shahrida g'alaba bayrami.",
                         "ozbek tilida gozal sozlar kop, bozor yoq edi.",
                         "Toshkent shahri katta",
                         "Qoshiq va kitob olib keldi \U0001F600 \"shu yerda\"",
                         "\u041c\u0430\u044a\u043b\u0443\u043c\u043e\u0442 \u0448\u0430\u04b3\u0430\u0440",
                         ""};
  std::mt19937 random(seed);
  std::string text;
  for (std::size_t i = 0; i < lines; ++i) {
    text += kinds[random() % std::size(kinds)];
    text += random() % 4 == 0 ? "\r\n" : "\n";
  }
  return text + "oxiri";
}

TEST(TextFile, PiecesGiveTheWholeTextsBytesAndChanges) {
  const std::string text = varied_text(300, 5);
  for (const bool old_mode : {false, true}) {
    cli::TextSettings settings;
    settings.old_mode = old_mode;
    const std::string input = old_mode ? convert(text, {}) : text;
    const std::string converted = cli::convert_text(input, settings);
    const std::vector<cli::Change> changes = cli::collect_changes(input, converted);
    ASSERT_FALSE(changes.empty());
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Utf8WithMark,
                                        TextEncoding::Utf16LittleEndian, TextEncoding::Utf16BigEndian}) {
      const std::string file = cli::encode_text(input, encoding);
      const std::string expected = cli::encode_text(converted, encoding);
      for (const cli::CutPiece cut : {&cut_each_line, &cut_after_200, &next_piece}) {
        for (const unsigned jobs : {1u, 3u}) {
          std::string_view rest = file;
          std::string out, error;
          cli::ChangeList list;
          const cli::TextFileOptions options{settings, jobs, cut, 7};
          const TextFileEnd end = cli::convert_text_file(
              slices_of(rest, 7, jobs),
              [&](std::string_view bytes) {
                out += bytes;
                return true;
              },
              list, options, error);
          ASSERT_EQ(end, TextFileEnd::Done);
          ASSERT_TRUE(out == expected) << "old " << old_mode << " encoding "
                                       << static_cast<int>(encoding) << " jobs " << jobs;
          ASSERT_EQ(list.changes.size(), changes.size());
          for (std::size_t i = 0; i < changes.size(); ++i) {
            const cli::Change &got = list.changes[i], &want = changes[i];
            ASSERT_EQ(got.location + got.old_word + got.new_word,
                      want.location + want.old_word + want.new_word);
          }
        }
      }
    }
  }
}

// A fault of the input is reported before one of the output, as when the
// whole input was read first.
TEST(TextFile, InputFaultsComeBeforeOutputFaults) {
  const std::string text = varied_text(100, 9);
  const struct {
    std::string file;
    std::size_t writable;  // bytes the output takes before it fails
    TextFileEnd end;
  } cases[] = {
      {text, std::string::npos, TextFileEnd::Done},
      {text, 0, TextFileEnd::WriteFailed},
      {text + "\xFF", std::string::npos, TextFileEnd::NotText},
      {text + "\xFF", 0, TextFileEnd::NotText},
      {cli::encode_text(text, TextEncoding::Utf16BigEndian) + "\xD8", 100, TextFileEnd::NotText},
  };
  for (const auto& c : cases) {
    std::string_view rest = c.file;
    std::string error;
    std::size_t written = 0;
    cli::ChangeList list;
    const cli::TextFileOptions options{{}, 1, &cut_each_line};
    const TextFileEnd end = cli::convert_text_file(
        slices_of(rest, 50, 1),
        [&](std::string_view bytes) { return (written += bytes.size()) <= c.writable; }, list,
        options, error);
    EXPECT_EQ(end, c.end) << c.writable;
    EXPECT_TRUE(rest.empty());  // read to the end either way
  }
}

// Faults after the first pieces were written: the message of a whole-file
// read, no output, no temporary file, an input converted in place untouched.
TEST(TextFile, LateFaultsLeaveNothingWritten) {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "vexo-text-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  const std::string text = varied_text(kPieceBytes / 25, 3);  // a piece and more
  const std::string files[] = {
      text + "\xC3",
      cli::encode_text(text, TextEncoding::Utf16LittleEndian) + std::string("\x00\xDC", 2)};
  for (const std::string& file : files) {
    const std::string path = (dir / "late.txt").string();
    std::ofstream(path, std::ios::binary) << file;
    for (const char* mode : {"--in-place", "-n"}) {
      const test::ProcessResult r = test::run_process(VEXO_BIN, {"file", "-j2", mode, path}, "");
      EXPECT_EQ(r.status, 1) << mode;
      EXPECT_EQ(r.out, "") << mode;
      EXPECT_EQ(r.err, path + ": matn UTF-8 emas (faylni UTF-8 sifatida saqlang)\n") << mode;
      std::size_t entries = 0;
      for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++entries;
      EXPECT_EQ(entries, 1u) << mode;
      std::ifstream in(path, std::ios::binary);
      EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == file) << mode;
    }
  }
  fs::remove_all(dir);
}

// A long dry run of one file prints its listing as it is made, not held
// whole: the lines are those of the listing held until the end (as for
// several files at once), and a fault found late in the file comes after
// the lines printed by then.
TEST(TextFile, LongDryRunListsAsItGoes) {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "vexo-list-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  const std::string text = varied_text(110000, 4);  // over 4 MiB of listing
  const std::string one = (dir / "one.txt").string();
  const std::string two = (dir / "two.txt").string();
  std::ofstream(one, std::ios::binary) << text;
  std::ofstream(two, std::ios::binary) << text;
  const test::ProcessResult alone = test::run_process(VEXO_BIN, {"file", "-n", one}, "");
  ASSERT_EQ(alone.status, 0) << alone.err;
  ASSERT_GT(alone.out.size(), std::size_t{4} << 20);
  std::string indented;
  for (std::size_t at = 0; at < alone.out.size();) {
    const std::size_t end = alone.out.find('\n', at) + 1;
    indented.append("  ").append(alone.out, at, end - at);
    at = end;
  }
  const test::ProcessResult both = test::run_process(VEXO_BIN, {"file", "-j2", "-n", one, two}, "");
  EXPECT_EQ(both.status, 0);
  EXPECT_TRUE(both.out == one + "\n" + indented + two + "\n" + indented);

  std::ofstream(one, std::ios::binary) << text << "\xC3";
  const test::ProcessResult late = test::run_process(VEXO_BIN, {"file", "-n", one}, "");
  EXPECT_EQ(late.status, 1);
  EXPECT_EQ(late.err, one + ": matn UTF-8 emas (faylni UTF-8 sifatida saqlang)\n");
  EXPECT_FALSE(late.out.empty());
  EXPECT_TRUE(alone.out.starts_with(late.out));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vexo
