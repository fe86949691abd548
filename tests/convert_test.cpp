// Letter rules and the per-word pipeline, with the guard, restoration and
// Cyrillic input switched off so that only the rules under test decide.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "core/lib.h"

namespace vexo {
namespace {

ConvertOptions plain_options() {
  ConvertOptions o;
  o.guard = false;
  o.cyrillic = false;
  o.restore = false;
  return o;
}

std::string conv(std::string_view text, const ConvertOptions& o = plain_options()) {
  return convert(text, o);
}

TEST(Letters, EveryApostropheVariantMarksOAndG) {
  for (const char* apostrophe : {"'", "`", "\u00b4", "\u02b9", "\u02bb", "\u02bc", "\u02bd",
                                 "\u2018", "\u2019", "\u201b", "\u2032", "\uff07"}) {
    const std::string a = apostrophe;
    EXPECT_EQ(conv("o" + a + "zbek"), "\u00f6zbek") << a;
    EXPECT_EQ(conv("O" + a + "zbek"), "\u00d6zbek") << a;
    EXPECT_EQ(conv("tog" + a), "to\u011f") << a;
    EXPECT_EQ(conv("ma" + a + "no"), "ma\u02bcno") << a;
  }
  EXPECT_EQ(conv("o\u02bazbek"), "o\u02bazbek");  // U+02BA is not an apostrophe
}

TEST(Letters, ShAndChFollowTheCaseOfTheFirstLetter) {
  EXPECT_EQ(conv("Shahar SHAHAR shahar"), "\u015eahar \u015eAHAR \u015fahar");
  EXPECT_EQ(convert_letters("sHahar", kDefaultTutuq, false), "\u015fahar");
  EXPECT_EQ(conv("sHahar"), "sHahar");  // camel case reads as an identifier
  EXPECT_EQ(conv("CHOR-NOR chiroq"), "\u00c7OR-NOR \u00e7iroq");
  EXPECT_EQ(conv("O'ZBEKISTON G'ALABA"), "\u00d6ZBEKISTON \u011eALABA");
}

TEST(Letters, SeparatedSAndHLoseTheirApostrophe) {
  EXPECT_EQ(conv("Is'hoq mus'haf IS'HOQ"), "Ishoq mushaf ISHOQ");
  EXPECT_EQ(convert_letters("is'hoq", U'\'', true), "ishoq");
  EXPECT_EQ(convert_letters("ma'shal", U'\'', true), "ma'shal");
}

TEST(Letters, TutuqCanBeChosen) {
  ConvertOptions o = plain_options();
  o.tutuq = U'\'';
  EXPECT_EQ(conv("ma'no jur'at o'zbek", o), "ma'no jur'at \u00f6zbek");
  o.tutuq = U'\u2019';
  EXPECT_EQ(conv("san\u02bcat", o), "san\u2019at");
}

TEST(Candidates, HasConvertible) {
  EXPECT_TRUE(has_convertible("ma'no"));
  EXPECT_TRUE(has_convertible("cHiroq"));
  EXPECT_FALSE(has_convertible("hsc"));
}

TEST(Text, SeparatorsAreKeptByteForByte) {
  EXPECT_EQ(conv(""), "");
  EXPECT_EQ(conv("  shahar \t\u00a0 choy\r\n\n"), "  \u015fahar \t\u00a0 \u00e7oy\r\n\n");
  EXPECT_EQ(conv("bir\u2014ikki\u2026 uch\u2013to'rt"), "bir\u2014ikki\u2026 u\u00e7\u2013t\u00f6rt");
  EXPECT_EQ(conv("(shahar), \u00abo'zbek\u00bb \"choy.\""),
            "(\u015fahar), \u00ab\u00f6zbek\u00bb \"\u00e7oy.\"");
}

TEST(Text, QuotesAreNotLetterMarks) {
  EXPECT_EQ(conv("'salom'"), "'salom'");
  EXPECT_EQ(conv("bog'"), "bo\u011f");
  // An opening quote earlier in the line makes the final apostrophe a quote.
  EXPECT_EQ(conv("'katta bog'"), "'katta bog'");
  // A line feed forgets the opening quote.
  EXPECT_EQ(conv("'katta\nbog'"), "'katta\nbo\u011f");
}

TEST(Text, ShortWordsAndBareLetters) {
  EXPECT_EQ(conv("o' g' a' O'"), "\u00f6 \u011f a' \u00d6");
  EXPECT_EQ(conv("(o')"), "(o')");  // leading punctuation: not a bare letter
}

TEST(Text, AbbreviationsAndForeignLetters) {
  EXPECT_EQ(conv("SH CH MCH TSH BMT"), "SH CH MCH TSH BMT");
  EXPECT_EQ(conv("M\u00fcnchen Sch\u00f6ne Fran\u00e7ois"), "M\u00fcnchen Sch\u00f6ne Fran\u00e7ois");
  EXPECT_EQ(conv("SHO"), "\u015eO");
}

TEST(Text, HyphenatedWordsWithCapitalPartsGoPartByPart) {
  EXPECT_EQ(conv("SMS-xabar ko'cha-ko'y 2-chorak"), "SMS-xabar k\u00f6\u00e7a-k\u00f6y 2-\u00e7orak");
  EXPECT_EQ(conv("SH-choy"), "SH-\u00e7oy");
}

TEST(Text, ProtectedSpansAreCopied) {
  EXPECT_EQ(conv("https://x.uz/sh ali@shahar.uz #choy mp3 getShape D:\\ishlar\\shahar sh/2"),
            "https://x.uz/sh ali@shahar.uz #choy mp3 getShape D:\\ishlar\\shahar sh/2");
}

TEST(Text, SlashJoinedWordsGoPartByPart) {
  EXPECT_EQ(conv("o'qituvchi/o'quvchi Chap/O'ng shahar/qishloq 5 ming so'm"),
            "\u00f6qituv\u00e7i/\u00f6quv\u00e7i \u00c7ap/\u00d6ng \u015fahar/qi\u015floq "
            "5 ming s\u00f6m");
}

TEST(Text, CombiningMarksAreComposed) {
  EXPECT_EQ(conv("s\u0327ahar o\u0308zbek g\u0306 \u0218ARQ"), "\u015fahar \u00f6zbek \u011f \u015eARQ");
  std::string buffer;
  const std::string_view plain = "shahar";
  EXPECT_EQ(normalize_marks(plain, buffer).data(), plain.data());  // no copy
}

TEST(Text, AcceptanceSentence) {
  ConvertOptions o;  // the default options; the guard has no lists to consult yet
  EXPECT_EQ(convert("O'zbekiston shahar, CHOR-NOR: https://x.uz/sh ma'no Is'hoq SMS-xabar", o),
            "\u00d6zbekiston \u015fahar, \u00c7OR-NOR: https://x.uz/sh ma\u02bcno Ishoq SMS-xabar");
}

TEST(Detailed, ReportsOneDecisionPerSpan) {
  const Conversion c = convert_detailed("shahar kitob https://a.uz", plain_options(), false);
  ASSERT_EQ(c.words.size(), 3u);
  EXPECT_EQ(c.words[0].word, "shahar");
  EXPECT_EQ(c.words[0].decision, Decision::Converted);
  EXPECT_EQ(c.words[1].decision, Decision::Unchanged);
  EXPECT_EQ(c.words[2].decision, Decision::Protected);
  EXPECT_TRUE(convert_detailed("", plain_options(), false).words.empty());
}

TEST(Detailed, ExceptionsAreComparedByKey) {
  ConvertOptions o = plain_options();
  o.exceptions = {word_key("SHAHAR"), word_key("O\u2019ZBEK")};
  EXPECT_EQ(o.exceptions[1], "o'zbek");
  const Conversion c = convert_detailed("Shahar o\u02bbzbek choy", o, false);
  EXPECT_EQ(c.text, "Shahar o\u02bbzbek \u00e7oy");
  EXPECT_EQ(c.words[0].decision, Decision::Exception);
  EXPECT_EQ(c.words[1].decision, Decision::Exception);
}

TEST(ContextScore, WeighsNearWordsMoreAndClausesLess) {
  std::vector<WordSpan> spans(4);
  spans[0].score = 3.0f;
  spans[2].score = -3.0f;
  // From span 1: distance 1 to both, equal weights.
  EXPECT_FLOAT_EQ(context_score(spans, 0, 3, 1), 0.0f);
  // From span 3: span 2 at distance 1, span 0 at distance 3.
  EXPECT_FLOAT_EQ(context_score(spans, 0, 3, 3), (3.0f / 3 - 3.0f) / (1.0f / 3 + 1.0f));
  spans[1].clause_end = true;  // now span 0 lies behind a clause end for span 3
  EXPECT_FLOAT_EQ(context_score(spans, 0, 3, 3), (0.3f - 3.0f) / (0.1f + 1.0f));
  spans[0].score = 10.0f;  // clamped to 3
  spans[0].name_class = NameClass::ForeignName;  // and then ignored
  EXPECT_FLOAT_EQ(context_score(spans, 0, 3, 3), -3.0f);
  EXPECT_FLOAT_EQ(context_score(spans, 0, 3, 2), 0.0f);
}

// The memo takes the result of a word with one closing mark from the bare
// word: that holds only while no decision looks at the mark.
TEST(Word, ClosingMarkIsCarriedThroughWhateverTheDecision) {
  const ConvertOptions options;
  const char* words[] = {"O'zbekiston", "shahar", "choy", "ozbek", "bor", "oz", "U", "BMT",
                         "SH", "iPhone", "Photoshopda", "Charlotte", "Is'hoq", "HBO'ning",
                         "kun.uz", "the", "Qo'shiq", "dedi", "'Qo'shiq", "2026-yil", "mushaf"};
  for (const char* bare : words) {
    for (const char mark : std::string_view(",.!?;")) {
      const std::string word = std::string(bare) + mark;
      for (int combo = 0; combo < 96; ++combo) {
        const bool quote = combo & 1, foreign = combo & 2;
        const float score = combo & 4 ? -2.0f : 1.0f;
        const Neighbours around{"", "", (combo & 8) != 0, (combo & 16) != 0};
        const float context = std::array{-2.0f, 0.5f, 2.0f}[combo / 32];
        bool quote_bare = quote, quote_word = quote;
        const WordResult b = convert_word(bare, options, score, context, false, foreign, quote_bare, around);
        const WordResult w = convert_word(word, options, score, context, false, foreign, quote_word, around);
        ASSERT_EQ(w.text, b.text + mark) << word << " " << combo;
        ASSERT_EQ(w.decision, b.decision) << word << " " << combo;
        ASSERT_EQ(quote_word, quote_bare) << word << " " << combo;
      }
    }
  }
}

// The sentence-at-once form gives the very same floats as context_score, on
// sentences where every word, a few words or none count, short and longer
// than the window.
TEST(ContextScore, WholeSentenceMatchesWordByWord) {
  std::mt19937 random(5);
  const float scores[] = {2.5f, -1.25f, 7.0f, -0.3f, 1.5f};
  std::vector<float> contexts;
  for (int round = 0; round < 300; ++round) {
    std::vector<WordSpan> spans(1 + random() % (round < 280 ? 30 : 1500));
    const unsigned unscored_in_8 = static_cast<unsigned>(round % 9);
    for (WordSpan& span : spans) {
      span.score = random() % 8 < unscored_in_8 ? 0.0f : scores[random() % std::size(scores)];
      span.clause_end = random() % 5 == 0;
      if (random() % 9 == 0) span.name_class = NameClass::ForeignName;
    }
    sentence_contexts(spans, contexts);
    for (std::size_t i = 0; i < spans.size(); ++i) {
      ASSERT_EQ(contexts[i], context_score(spans, 0, spans.size() - 1, i)) << round << " " << i;
    }
  }
}

TEST(Text, LongTextConvertsWholly) {
  std::string text, expected;
  for (int i = 0; i < 20000; ++i) {
    text += "O'zbekiston shahar choy, ";
    expected += "\u00d6zbekiston \u015fahar \u00e7oy, ";
  }
  EXPECT_EQ(conv(text), expected);
}

}  // namespace
}  // namespace vexo
