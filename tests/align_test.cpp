// Alignment of converted text: token pairs, word changes, character edits and
// the laying of a converted paragraph back over its formatted pieces.
#include <gtest/gtest.h>

#include <random>

#include "cli/align.h"
#include "core/lib.h"
#include "core/reverse.h"
#include "core/unicode.h"

namespace vexo::cli {
namespace {

std::vector<Piece> text_pieces(std::initializer_list<const char*> texts) {
  std::vector<Piece> pieces;
  for (const char* t : texts) pieces.push_back(Piece{t, false});
  return pieces;
}

using Texts = std::vector<std::string>;

TEST(TokenPairs, SameShapePairsOnlyTheChangedTokens) {
  EXPECT_TRUE(token_pairs("salom shahar", "salom shahar").empty());
  const auto pairs = token_pairs("a  shahar\tchoy", "a  \u015fahar\t\u00e7oy");
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0].old_text, "shahar");
  EXPECT_EQ(pairs[0].new_text, "\u015fahar");
  EXPECT_EQ(pairs[1].old_start, 10u);  // characters, not bytes
  // A different token count, or changed white space, pairs the whole texts.
  for (const auto& [from, to] : {std::pair{"a b", "ab"}, {"a b", "a\tb"}, {"a b ", "a b"}}) {
    const auto whole = token_pairs(from, to);
    ASSERT_EQ(whole.size(), 1u) << from;
    EXPECT_EQ(whole[0].old_text + "|" + whole[0].new_text, std::string(from) + "|" + to);
  }
}

TEST(WordChanges, StripOnlyPunctuationBothSidesShare) {
  const auto changes = word_changes("(so'z), \u00abo'g'il\u00bb bor", "(so\u02bcz), \u00ab\u00f6\u011fil\u00bb bor");
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].old_word, "so'z");
  EXPECT_EQ(changes[0].new_word, "so\u02bcz");
  EXPECT_EQ(changes[1].old_word, "o'g'il");
  EXPECT_EQ(changes[1].new_word, "\u00f6\u011fil");

  // A difference in the punctuation itself is kept, and letters and digits
  // are never stripped.
  const auto marks = word_changes("'12' ma'", "\u02bc12' ma\u02bc");
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_EQ(marks[0].old_word, "'12");
  EXPECT_EQ(marks[0].new_word, "\u02bc12");
  EXPECT_EQ(marks[1].old_word, "ma'");
  EXPECT_EQ(marks[1].new_word, "ma\u02bc");

  // Prefix and suffix never overlap.
  const auto growing = word_changes("((", "(((");
  ASSERT_EQ(growing.size(), 1u);
  EXPECT_EQ(growing[0].old_word, "");
  EXPECT_EQ(growing[0].new_word, "(");
}

TEST(TokenEdits, SmallestEditsWithPositionsInTheWholeText) {
  const auto one = token_edits(TokenPair{"shahar", 4, "\u015fahar"});
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].start, 4u);
  EXPECT_EQ(one[0].end, 6u);
  EXPECT_EQ(one[0].replacement, "\u015f");
  // Edits split at kept characters; ties delete before inserting.
  const auto swap = token_edits(TokenPair{"xaby", 0, "xbay"});
  ASSERT_EQ(swap.size(), 2u);
  EXPECT_EQ(swap[0].start * 10 + swap[0].end, 12u);
  EXPECT_EQ(swap[0].replacement, "");
  EXPECT_EQ(swap[1].start * 10 + swap[1].end, 33u);
  EXPECT_EQ(swap[1].replacement, "a");
}

TEST(TokenEdits, LargeMiddlesAreReplacedAsOneBlock) {
  // 255 x 255 middles fill exactly 65536 cells: still compared character by character.
  const std::string within = "<" + std::string(127, 'a') + "b" + std::string(127, 'a') + ">";
  const std::string within_new = "<" + std::string(127, 'c') + "b" + std::string(127, 'c') + ">";
  EXPECT_EQ(token_edits(TokenPair{within, 0, within_new}).size(), 2u);

  const std::string beyond = "<" + std::string(128, 'a') + "b" + std::string(127, 'a') + ">";
  const std::string beyond_new = "<" + std::string(128, 'c') + "b" + std::string(127, 'c') + ">";
  const auto block = token_edits(TokenPair{beyond, 0, beyond_new});
  ASSERT_EQ(block.size(), 1u);
  EXPECT_EQ(block[0].start, 1u);
  EXPECT_EQ(block[0].end, 257u);
  EXPECT_EQ(block[0].replacement, beyond_new.substr(1, 256));
}

TEST(RunDistribution, ChangesStayInThePiecesTheyCameFrom) {
  // Nothing changed: every piece keeps its text.
  EXPECT_EQ(distribute_runs(text_pieces({"sa", "lom"}), "salom", "salom"), (Texts{"sa", "lom"}));
  // A letter pair split over two pieces lands in the first; the second empties.
  EXPECT_EQ(distribute_runs(text_pieces({"Bu o", "'zim"}), "Bu o'zim", "Bu \u00f6zim"),
            (Texts{"Bu \u00f6", "zim"}));
  EXPECT_EQ(distribute_runs(text_pieces({"to", "g'", " bor"}), "tog' bor", "to\u011f bor"),
            (Texts{"to", "\u011f", " bor"}));
  // Formatting boundaries inside an unchanged stretch are kept.
  EXPECT_EQ(distribute_runs(text_pieces({"sha", "har"}), "shahar", "\u015fahar"),
            (Texts{"\u015fa", "har"}));
  // An insertion at the very end goes to the last piece that owns a character.
  EXPECT_EQ(distribute_runs(text_pieces({"ab", "c"}), "abc", "abcd"), (Texts{"ab", "cd"}));
}

TEST(RunDistribution, PlaceholdersNeverReceiveText) {
  const std::vector<Piece> before_text = {{"x", false}, {"\t", true}, {"sh", false}};
  EXPECT_EQ(distribute_runs(before_text, "x\tsh", "x\t\u015f"), (Texts{"x", "", "\u015f"}));
  // An insertion in front of a placeholder goes to the following text piece ...
  const std::vector<Piece> between = {{"a", false}, {"\t", true}, {"b", false}};
  EXPECT_EQ(distribute_runs(between, "a\tb", "ac\tb"), (Texts{"a", "", "cb"}));
  // ... or to the preceding one when no text piece follows.
  const std::vector<Piece> last = {{"ab", false}, {"\n", true}};
  EXPECT_EQ(distribute_runs(last, "ab\n", "abc\n"), (Texts{"abc", ""}));
  // A paragraph of placeholders only has nowhere to put text.
  const std::vector<Piece> only = {{"\t", true}};
  EXPECT_EQ(distribute_runs(only, "\t", "\t"), (Texts{""}));
}

TEST(RunDistribution, WholeParagraphAlignmentWhenTheShapeChanges) {
  // A joined word changes the token count: the whole text is one pair.
  EXPECT_EQ(distribute_runs(text_pieces({"a ", "b"}), "a b", "ab"), (Texts{"a", "b"}));
  EXPECT_EQ(distribute_runs(text_pieces({"ab", "cd"}), "abcd", "ab cd"), (Texts{"ab", " cd"}));
  // Above the cell limit the block lands whole in the piece of its first character.
  const std::string left(150, 'x');
  const std::string right(150, 'y');
  const std::string replaced(300, 'z');
  EXPECT_EQ(distribute_runs(text_pieces({left.c_str(), right.c_str()}), left + right, replaced),
            (Texts{replaced, ""}));
}

// Random paragraphs of old- and new-alphabet words, cut into random pieces
// with tabs as placeholders: the pieces must always join to the result.
TEST(RunDistribution, PiecesAlwaysJoinToTheConvertedParagraph) {
  const std::vector<std::string> words = {
      "o'zbek", "shahar", "choy", "g'isht", "ma'no", "(so'z),", "O'ZBEKISTON", "Is'hoq",
      "salom", "\u00f6zbek", "\u015fahar", "ta\u02bclim", "\u00abqo'shiq\u00bb", "12-yil",
      "http://a.uz/o'", "yo'q.", "\u00c7oy", "sh", "c'h", "G\u2018arb"};
  const std::vector<std::string> gaps = {" ", "  ", "\t", " \t "};
  std::mt19937 random(20260);
  ConvertOptions options;
  for (int round = 0; round < 400; ++round) {
    std::string paragraph;
    const int count = 1 + static_cast<int>(random() % 12);
    for (int w = 0; w < count; ++w) {
      if (w > 0) paragraph += gaps[random() % gaps.size()];
      paragraph += words[random() % words.size()];
    }
    // Cut into pieces at random character boundaries; every tab is a placeholder.
    std::vector<Piece> pieces = {Piece{}};
    for (std::size_t byte = 0; byte < paragraph.size();) {
      const std::size_t first = byte;
      const bool tab = next_code_point(paragraph, byte) == '\t';
      if (tab || pieces.back().placeholder || random() % 4 == 0) pieces.push_back(Piece{"", tab});
      pieces.back().text.append(paragraph, first, byte - first);
    }

    for (const std::string& converted : {convert(paragraph, options), to_old(paragraph, round % 2 == 0)}) {
      std::string expected = converted;
      std::erase(expected, '\t');
      std::string joined;
      for (const std::string& text : distribute_runs(pieces, paragraph, converted)) joined += text;
      ASSERT_EQ(joined, expected) << paragraph;
    }
  }
}

}  // namespace
}  // namespace vexo::cli
