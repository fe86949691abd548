// The typing session: what a finished word gives back, what the session
// remembers of the words before it, and agreement with whole-text conversion.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/lib.h"
#include "core/session.h"

namespace vexo {
namespace {

ConvertOptions letters_only() {
  ConvertOptions o;
  o.guard = false;
  o.cyrillic = false;
  o.restore = false;
  return o;
}

// Types the words of a line one by one and writes each one's replacement (or
// the word itself) back, the way a text service would.
std::string type_line(TypingSession& session, const std::string& line,
                      const ConvertOptions& options) {
  std::istringstream words(line);
  std::string word;
  std::string out;
  while (words >> word) {
    if (!out.empty()) out += ' ';
    const std::optional<Replacement> r = session.complete_word(word, options);
    out += r ? r->word : word;
  }
  return out;
}

WordSpan record(NameClass name_class, bool clause_end = false, bool sentence_end = false) {
  WordSpan span;
  span.name_class = name_class;
  span.clause_end = clause_end;
  span.sentence_end = sentence_end;
  return span;
}

TEST(TypingSession, ReplacementCountsTheTypedCharacters) {
  TypingSession s;
  const ConvertOptions o = letters_only();
  EXPECT_FALSE(s.complete_word("kitob", o).has_value());
  EXPECT_FALSE(s.complete_word("salom,", o).has_value());

  const auto shahar = s.complete_word("shahar", o);
  ASSERT_TRUE(shahar.has_value());
  EXPECT_EQ(shahar->word, "\u015fahar");
  EXPECT_EQ(shahar->typed_length, 6u);

  // The apostrophe is one character whatever its byte length.
  for (const char* word : {"o'zbek", "o\u2018zbek", "o\uff07zbek"}) {
    const auto r = s.complete_word(word, o);
    ASSERT_TRUE(r.has_value()) << word;
    EXPECT_EQ(r->word, "\u00f6zbek");
    EXPECT_EQ(r->typed_length, 6u) << word;
  }

  const auto quoted = s.complete_word("\u00abChoy\u00bb,", o);
  ASSERT_TRUE(quoted.has_value());
  EXPECT_EQ(quoted->word, "\u00ab\u00c7oy\u00bb,");
  EXPECT_EQ(quoted->typed_length, 7u);
}

TEST(TypingSession, ComposedMarkAloneIsAChange) {
  TypingSession s;
  // s + U+0327 composes to ş: nothing else changes, yet the text differs.
  const auto r = s.complete_word("bos\u0327", letters_only());
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->word, "bo\u015f");
  EXPECT_EQ(r->typed_length, 4u);
  // Already composed: nothing to do.
  EXPECT_FALSE(s.complete_word("bo\u015f", letters_only()).has_value());
}

TEST(TypingSession, HistoryKeepsTheLastEightWordsOfTheSentence) {
  TypingSession s;
  const ConvertOptions o = letters_only();
  s.complete_word("bir,", o);
  for (int i = 0; i < 7; ++i) s.complete_word("so'z", o);
  ASSERT_EQ(s.history().size(), 8u);
  EXPECT_TRUE(s.history().front().clause_end);
  EXPECT_FALSE(s.history().back().clause_end);

  s.complete_word("yana", o);  // the ninth pushes the first out
  ASSERT_EQ(s.history().size(), 8u);
  EXPECT_FALSE(s.history().front().clause_end);
  for (const WordSpan& r : s.history()) {
    EXPECT_EQ(r.start, 0u);
    EXPECT_EQ(r.end, 0u);
    EXPECT_FALSE(r.sentence_end);
  }
}

TEST(TypingSession, SentenceEndEmptiesTheHistory) {
  TypingSession s;
  const ConvertOptions o = letters_only();
  s.complete_word("Bugun", o);
  s.complete_word("salom,", o);
  ASSERT_EQ(s.history().size(), 2u);
  EXPECT_TRUE(s.history().back().clause_end);

  s.complete_word("keldi.)", o);  // closing bracket after the full stop
  EXPECT_TRUE(s.history().empty());

  s.complete_word("Nega?\u00bb", o);
  EXPECT_TRUE(s.history().empty());

  s.complete_word("[eslatma.]", o);  // a square bracket hides the stop
  ASSERT_EQ(s.history().size(), 1u);
  EXPECT_FALSE(s.history().back().sentence_end);
}

TEST(TypingSession, EndMarksLookPastClosingQuotes) {
  EXPECT_TRUE(end_marks("shahar.").sentence_end);
  EXPECT_TRUE(end_marks("shahar!\u201d").sentence_end);
  EXPECT_TRUE(end_marks("shahar\u2026'").sentence_end);
  EXPECT_TRUE(end_marks("shahar:").clause_end);
  EXPECT_TRUE(end_marks("shahar;\u00bb").clause_end);
  EXPECT_FALSE(end_marks("shahar.]").sentence_end);
  EXPECT_FALSE(end_marks("shahar.-").sentence_end);

  const EndMarks only_quotes = end_marks("\"'\u00bb");
  EXPECT_FALSE(only_quotes.sentence_end);
  EXPECT_FALSE(only_quotes.clause_end);
  const EndMarks plain = end_marks("bog'");
  EXPECT_FALSE(plain.sentence_end);
  EXPECT_FALSE(plain.clause_end);
}

TEST(TypingSession, EnglishWordAfterAForeignNameJoinsTheName) {
  const std::vector<WordSpan> after_name = {record(NameClass::ForeignName)};
  EXPECT_EQ(smoothed_name_class(NameClass::EnglishWord, after_name), NameClass::ForeignName);
  // Only English words join; other classes stay.
  EXPECT_EQ(smoothed_name_class(NameClass::Plain, after_name), NameClass::Plain);
  EXPECT_EQ(smoothed_name_class(NameClass::EnglishWord, {}), NameClass::EnglishWord);

  // A comma after the name ends it.
  const std::vector<WordSpan> after_comma = {record(NameClass::ForeignName, true)};
  EXPECT_EQ(smoothed_name_class(NameClass::EnglishWord, after_comma), NameClass::EnglishWord);

  // Name, connector, English word: the connector carries the name on.
  const std::vector<WordSpan> connected = {record(NameClass::ForeignName),
                                           record(NameClass::Connector)};
  EXPECT_EQ(smoothed_name_class(NameClass::EnglishWord, connected), NameClass::ForeignName);
  const std::vector<WordSpan> connector_with_comma = {record(NameClass::ForeignName),
                                                      record(NameClass::Connector, true)};
  EXPECT_EQ(smoothed_name_class(NameClass::EnglishWord, connector_with_comma),
            NameClass::EnglishWord);
  const std::vector<WordSpan> lone_connector = {record(NameClass::Connector)};
  EXPECT_EQ(smoothed_name_class(NameClass::EnglishWord, lone_connector), NameClass::EnglishWord);
  // Only the last word (or last two) count, never words further back.
  const std::vector<WordSpan> name_then_plain = {record(NameClass::ForeignName),
                                                 record(NameClass::Plain)};
  EXPECT_EQ(smoothed_name_class(NameClass::EnglishWord, name_then_plain), NameClass::EnglishWord);
}

TEST(TypingSession, ResetForgetsAnOpenQuote) {
  const ConvertOptions o = letters_only();
  TypingSession s;
  s.complete_word("'salom", o);  // opens a quote
  EXPECT_TRUE(s.pending_quote());
  // Inside the quote a final apostrophe closes it rather than marking g'.
  EXPECT_FALSE(s.complete_word("bog'", o).has_value());
  EXPECT_FALSE(s.pending_quote());

  s.complete_word("'salom", o);
  s.reset();
  EXPECT_FALSE(s.pending_quote());
  EXPECT_FALSE(s.restore_mode());
  EXPECT_TRUE(s.history().empty());
  const auto r = s.complete_word("bog'", o);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->word, "bo\u011f");
}

TEST(TypingSession, TypedWordByWordMatchesWholeTextConversion) {
  const ConvertOptions o = letters_only();
  const char* lines[] = {
      "O'zbekiston shahar markazida choy ichdik.",
      "'Salom' dedi u, bog' tomonga qarab: \u00abKeling!\u00bb",
      "SMS-xabar https://kun.uz/news va Is'hoq aka g' harfini ma'noli deb yozdi",
      "U 'bog' dedi , keyin ' tog' ' deb qo'shdi? Ha.",
      "Toshkent-Samarqand yo'li 2024-yilda ochildi; ma'lumot: t.me/xabar",
      "disharmoniya mashina choynak CHOR-NOR o'g'il G'ALABA \u2018qo\u2018shiq\u2019",
  };
  for (const char* line : lines) {
    TypingSession s;
    EXPECT_EQ(type_line(s, line, o), convert(line, o)) << line;
  }
  // With the ASCII tutuq the two agree as well.
  ConvertOptions ascii = o;
  ascii.tutuq = U'\'';
  TypingSession s;
  EXPECT_EQ(type_line(s, "ma'no san'at O'zbekiston", ascii), convert("ma'no san'at O'zbekiston", ascii));
}

}  // namespace
}  // namespace vexo
