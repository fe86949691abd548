// Long text in pieces: the cut rule, and the piecewise, streaming and
// several-core paths against whole-text conversion over the same text.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "cli/stream.h"
#include "core/lib.h"
#include "core/reverse.h"
#include "core/to_cyr.h"
#include "tests/process.h"

namespace vexo {
namespace {

// About `bytes` of varied prose, old spelling, in lines of random length,
// with the text-wide cases (apostrophes typed nowhere, quotes, Cyrillic).
std::string long_text(std::size_t bytes, unsigned seed) {
  const char* lines[] = {
      "O'zbekiston poytaxti Toshkent shahrida g'alaba bayrami o'tkazildi.",
      "Bugun ertalab choy ichib, do'stlarim bilan bozorga bordik!",
      "ozbek tilida gozal sozlar kop",  // apostrophes typed nowhere
      "Charlotte Church va Smith & Ashworth \"shu yerda\" kitob o'qidi.",
      "Маълумотларга кўра, шаҳар марказида янги мактаб қурилди.",
      "Check the showcase: https://kun.uz/news #yangilik SMS-xabar 2026-yil.",
      "'Qo'shiq' dedi u, so'ng ma'no haqida o'yladi"};
  const char* left_out[] = {"ozbek tilida gozal sozlar kop", "bozor yoq edi", "Toshkent shahri"};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < bytes) {
    // Some paragraphs type no apostrophes at all, or show nothing either way.
    const bool plain = random() % 3 == 0;
    const std::size_t sentences = random() % 40;
    for (std::size_t i = 0; i <= sentences; ++i) {
      text += plain ? left_out[random() % std::size(left_out)] : lines[random() % std::size(lines)];
      text += i == sentences ? "\n" : " ";
    }
    if (random() % 5 == 0) text += "\n";
  }
  return text;
}

TEST(Pieces, CutAtLineBreaksAfterThePieceSizeOrWithinTheLongestLine) {
  const std::string lines = std::string(kPieceBytes - 2, 'a') + "\nbb\ncc\n";
  EXPECT_EQ(next_piece(lines, false), kPieceBytes + 2);  // the first piece of kPieceBytes or more
  EXPECT_EQ(next_piece(std::string_view(lines).substr(0, kPieceBytes - 2), false), 0u);
  EXPECT_EQ(next_piece("short\nlines", true), 11u);
  EXPECT_EQ(next_piece("", true), 0u);

  std::string long_line = std::string(kPieceBytes, 'a') + " " + std::string(kMaxPieceBytes, 'b');
  EXPECT_EQ(next_piece(long_line, false), kPieceBytes + 1);  // after the last space
  std::string no_space(kMaxPieceBytes + 8, 'a');
  no_space.replace(kMaxPieceBytes - 1, 2, "\xc3\xb6");  // a character across the bound
  EXPECT_EQ(next_piece(no_space, false), kMaxPieceBytes - 1);
  EXPECT_EQ(next_piece(std::string_view(no_space).substr(0, kMaxPieceBytes), false), 0u);
}

// Whatever slices the input arrives in, the pieces and so the result are the
// same; converting pieces on several cores changes nothing either.
TEST(Pieces, StreamingAndSeveralCoresMatchWholeText) {
  const std::string text = long_text(2 * kPieceBytes + 12345, 7);
  const ConvertOptions options;
  const std::string whole = convert(text, options);
  cli::MemoPool<ConversionMemo> memos;
  const cli::PieceConversion by_piece{
      [&](std::string_view piece, TextEvidence& evidence, std::string& out) {
        cli::MemoPool<ConversionMemo>::Lease lease(memos);
        out = convert(piece, options, evidence, lease.memo());
      },
      [&](std::string_view piece, TextEvidence before) {
        return evidence_after(piece, options, before);
      }};
  EXPECT_TRUE(cli::convert_in_pieces(text, by_piece, 3) == whole);

  std::mt19937 random(11);
  for (int round = 0; round < 2; ++round) {
    std::string pending;
    std::string streamed;
    TextEvidence evidence;
    ConversionMemo memo;  // carried from piece to piece in the second round
    std::size_t read = 0;
    while (read < text.size() || !pending.empty()) {
      const std::size_t slice = std::min<std::size_t>(random() % 300000, text.size() - read);
      pending.append(text, read, slice);
      read += slice;
      while (const std::size_t length = next_piece(pending, read == text.size())) {
        const std::string_view piece = std::string_view(pending).substr(0, length);
        const TextEvidence told = evidence_after(piece, options, evidence);
        streamed += round == 0 ? convert(piece, options, evidence)
                               : convert(piece, options, evidence, memo);
        ASSERT_EQ(told.apostrophes, evidence.apostrophes);
        pending.erase(0, length);
      }
    }
    ASSERT_TRUE(streamed == whole) << "round " << round;
  }
}

TEST(Pieces, CommandsStreamTheSameBytesOnAnyNumberOfCores) {
  const std::string text = long_text(kPieceBytes + 54321, 3);
  const struct {
    std::vector<std::string> args;
    std::string expected;
  } cases[] = {
      {{"-j3"}, convert(text, ConvertOptions{})},
      {{"cyr", "-j", "2"}, to_cyrillic(text)},
      {{"old", "--ascii"}, to_old(text, true)},
  };
  for (const auto& c : cases) {
    const test::ProcessResult r = test::run_process(VEXO_BIN, c.args, text);
    EXPECT_EQ(r.status, 0) << c.args.front();
    EXPECT_TRUE(r.out == c.expected) << c.args.front();
  }
  // Bad bytes in the second piece: the first is written, then the refusal.
  const test::ProcessResult bad = test::run_process(VEXO_BIN, {"-j", "1"}, text + "\xff\n");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "kirish UTF-8 emas (matnni UTF-8 sifatida saqlang)\n");
  EXPECT_TRUE(std::string_view(bad.out).starts_with(convert(text.substr(0, next_piece(text, false)), {})));
}

}  // namespace
}  // namespace vexo
