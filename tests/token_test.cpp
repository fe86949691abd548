#include "core/token.h"

#include <gtest/gtest.h>

namespace vexo {
namespace {

std::vector<std::string> span_texts(std::string_view text) {
  std::vector<std::string> out;
  for (const WordSpan& s : split_spans(text)) out.emplace_back(text.substr(s.start, s.end - s.start));
  return out;
}

TEST(SplitSpans, CutsAtWhiteSpaceDashesAndEllipsis) {
  EXPECT_TRUE(split_spans("").empty());
  EXPECT_TRUE(split_spans(" \t\n").empty());
  EXPECT_EQ(span_texts("bir,  ikki"), (std::vector<std::string>{"bir,", "ikki"}));
  EXPECT_EQ(span_texts("a\u2014b\u2013c\u2026d\u00a0e\u202ff"),
            (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
}

TEST(SplitSpans, SplitsWordsJoinedByAPunctuationTypo) {
  using Spans = std::vector<std::string>;
  EXPECT_EQ(span_texts("bo\u02bbladi.Bu so'raydi,to'lov yangilanmaydi(hech)"),
            (Spans{"bo\u02bbladi.", "Bu", "so'raydi,", "to'lov", "yangilanmaydi", "(hech)"}));
  EXPECT_TRUE(split_spans("salom.Bu")[0].sentence_end);
  // Domains, initials, numbers, links, paths and code stay whole.
  for (const char* whole : {"kun.uz", "Kun.Uz", "Sh.Rashidov", "ab.Cd", "1,5", "2024.Yil", "x.uz/a,b",
                            "https://a.b/c,Def", "print(x)", "f(x,y)", "a,b", "fayl.txt"}) {
    EXPECT_EQ(span_texts(whole), Spans{whole}) << whole;
  }
}

TEST(SplitSpans, MarksSentenceAndClauseEnds) {
  const auto spans = split_spans("bir,  ikki uch. to'rt! (besh?) \"olti.\" yetti\u2026 sakkiz\n to'qqiz");
  ASSERT_EQ(spans.size(), 9u);
  EXPECT_TRUE(spans[0].clause_end);
  EXPECT_FALSE(spans[0].sentence_end);
  EXPECT_FALSE(spans[1].clause_end || spans[1].sentence_end);
  EXPECT_TRUE(spans[2].sentence_end);
  EXPECT_TRUE(spans[3].sentence_end);
  EXPECT_TRUE(spans[4].sentence_end);  // closing parenthesis skipped
  EXPECT_TRUE(spans[5].sentence_end);  // closing quote skipped
  EXPECT_TRUE(spans[6].sentence_end);  // ellipsis as a separator
  EXPECT_TRUE(spans[7].sentence_end);  // line feed after the span
  EXPECT_FALSE(spans[8].sentence_end);
  // Closing characters alone set no flag.
  const auto closing = split_spans("so'z ''\" va");
  ASSERT_EQ(closing.size(), 3u);
  EXPECT_FALSE(closing[1].sentence_end || closing[1].clause_end);
}

TEST(SplitWord, SeparatesPunctuationFromTheCore) {
  auto p = split_word("(so'z),");
  EXPECT_EQ(p.leading, "(");
  EXPECT_EQ(p.core, "so'z");
  EXPECT_EQ(p.trailing, "),");
  p = split_word("'salom'");
  EXPECT_EQ(p.leading, "'");
  EXPECT_EQ(p.core, "salom");
  EXPECT_EQ(p.trailing, "'");
  p = split_word("...");
  EXPECT_EQ(p.leading, "...");
  EXPECT_TRUE(p.core.empty() && p.trailing.empty());
  p = split_word("-2024-yil");  // hyphens and digits are not punctuation here
  EXPECT_EQ(p.core, "-2024-yil");
}

TEST(SplitWord, KeepsTheApostropheOfOAndG) {
  for (const char* word : {"bog'", "bog\u2019", "BOG`", "to\u02bb"}) {
    const auto p = split_word(word);
    EXPECT_EQ(p.core, word);
    EXPECT_TRUE(p.trailing.empty()) << word;
  }
  const auto p = split_word("salom'.");
  EXPECT_EQ(p.core, "salom");
  EXPECT_EQ(p.trailing, "'.");
}

TEST(IsProtected, LinksMailTagsAndCode) {
  for (const char* word : {"https://x.uz/sh", "WWW.Example.org", "ali@mail.uz", "#shahar",
                           "@shahar", "(@user)", "a->b", "f()", "</b>", "x=y", "sh_ch",
                           "kun.uz", "12:30", "3.14", "mp3", "A4", "COVID-19", "iPhone",
                           "getValue", "O'Brien", "d'Artagnan", "shahar.uz."}) {
    EXPECT_TRUE(is_protected(word)) << word;
  }
}

TEST(IsProtected, OrdinaryWords) {
  for (const char* word : {"", "...", "O'zbekiston", "SHAHAR", "O'zBEK", "Sh.Rashidov",
                           "A.Navoiy", "2024-yil", "5-sinf", "shahar,", "ko'cha-ko'y", "2024",
                           "oxiri.", "Toshkent:", "\u00abso'z\u00bb"}) {
    EXPECT_FALSE(is_protected(word)) << word;
  }
}

TEST(IsProtected, InitialsRuleHasLimits) {
  EXPECT_TRUE(is_protected("Abc.Def"));  // three letters before the dot
  EXPECT_TRUE(is_protected("A.Uz"));     // the last part is a domain ending
  EXPECT_TRUE(is_protected("2024-yil-2"));  // a second hyphen breaks number-hyphen-word
}

}  // namespace
}  // namespace vexo
