// The typing session: what a finished word gives back, what the session
// remembers of the words before it, and agreement with whole-text conversion.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/lib.h"
#include "core/session.h"

namespace vexo {
namespace {

ConvertOptions letters_only() {
  ConvertOptions o;
  o.guard = o.cyrillic = o.restore = false;
  return o;
}

// The replacement as "word/count", or "-" when the word stays as typed.
std::string complete(TypingSession& s, std::string_view word, const ConvertOptions& o = letters_only()) {
  const auto r = s.complete_word(word, o);
  return r ? r->word + "/" + std::to_string(r->typed_length) : std::string("-");
}

// Types a line word by word and writes each replacement back, as a text
// service would.
std::string type_line(std::string_view line, const ConvertOptions& o) {
  TypingSession s;
  std::istringstream words{std::string(line)};
  std::string out;
  for (std::string word; words >> word;) {
    const auto r = s.complete_word(word, o);
    out += (out.empty() ? "" : " ") + (r ? r->word : word);
  }
  return out;
}

TEST(TypingSession, ReplacementCountsTheTypedCharacters) {
  TypingSession s;
  EXPECT_EQ(complete(s, "kitob"), "-");
  EXPECT_EQ(complete(s, "shahar"), "\u015fahar/6");
  EXPECT_EQ(complete(s, "o'zbek"), "\u00f6zbek/6");
  EXPECT_EQ(complete(s, "o\uff07zbek"), "\u00f6zbek/6");  // a 3-byte apostrophe is one character
  EXPECT_EQ(complete(s, "\u00abChoy\u00bb,"), "\u00ab\u00c7oy\u00bb,/7");
  // s + U+0327 composes to ş: the only change, yet still a change.
  EXPECT_EQ(complete(s, "bos\u0327"), "bo\u015f/4");
  EXPECT_EQ(complete(s, "bo\u015f"), "-");
}

TEST(TypingSession, HistoryKeepsTheLastEightWordsOfTheSentence) {
  TypingSession s;
  complete(s, "bir,");
  for (int i = 0; i < 7; ++i) complete(s, "so'z");
  ASSERT_EQ(s.history().size(), 8u);
  EXPECT_TRUE(s.history().front().clause_end);
  complete(s, "yana");  // the ninth pushes the first out
  ASSERT_EQ(s.history().size(), 8u);
  EXPECT_FALSE(s.history().front().clause_end);
}

TEST(TypingSession, SentenceEndsAtTheWordsOwnStop) {
  TypingSession s;
  complete(s, "Bugun");
  complete(s, "salom;\u00bb");
  ASSERT_EQ(s.history().size(), 2u);
  EXPECT_TRUE(s.history().back().clause_end);
  complete(s, "keldi.)");  // a closing bracket after the stop
  EXPECT_TRUE(s.history().empty());
  complete(s, "Nega?\u201d'");
  EXPECT_TRUE(s.history().empty());
  complete(s, "[eslatma.]");  // a square bracket hides the stop
  complete(s, "\"'\u00bb");   // only closing marks: neither flag
  ASSERT_EQ(s.history().size(), 2u);
  EXPECT_FALSE(s.history()[0].sentence_end);
  EXPECT_FALSE(s.history()[1].sentence_end || s.history()[1].clause_end);
}

TEST(TypingSession, ResetForgetsAnOpenQuote) {
  TypingSession s;
  complete(s, "'salom");
  EXPECT_EQ(complete(s, "bog'"), "-");  // inside a quote the apostrophe closes it
  complete(s, "'salom");
  s.reset();
  EXPECT_FALSE(s.pending_quote());
  EXPECT_TRUE(s.history().empty());
  EXPECT_EQ(complete(s, "bog'"), "bo\u011f/4");
}

// Types words into one session; gives each word's replacement, space-separated.
std::string typed(std::initializer_list<std::string_view> words, const ConvertOptions& o = {}) {
  TypingSession s;
  std::string out;
  for (const std::string_view word : words) out += (out.empty() ? "" : " ") + complete(s, word, o);
  return out;
}

TEST(TypingSession, ForeignNameCarriesOnUntilAComma) {
  // Bosh is both an English and an Uzbek word; after the name Shop it is
  // taken as part of the name.
  EXPECT_EQ(typed({"Shop", "Bosh"}), "- -");
  EXPECT_EQ(typed({"Shop", "va", "Bosh"}), "- - -");
  EXPECT_EQ(typed({"Shop,", "Bosh"}), "- Bo\u015f/4");
  EXPECT_EQ(typed({"Shop", "kitob", "Bosh"}), "- - Bo\u015f/4");  // only the word before counts
  EXPECT_EQ(typed({"va", "Bosh"}), "- Bo\u015f/4");
}

TEST(TypingSession, WordsBeforeACommaWeighLess) {
  // gash leans English; the English word before it decides, unless a comma
  // puts it in an earlier clause and the Uzbek word next to gash wins.
  EXPECT_EQ(typed({"fresh", "kitob", "gash"}), "- - -");
  EXPECT_EQ(typed({"fresh,", "kitob", "gash"}), "- - ga\u015f/4");
}

TEST(TypingSession, KnownUzbekWordsAreNotPulledTowardsEnglish) {
  EXPECT_EQ(typed({"fresh", "fresh", "chiroq"}), "- - \u00e7iroq/6");
  EXPECT_EQ(convert("fresh fresh chiroq", ConvertOptions{}), "fresh fresh chiroq");
  EXPECT_EQ(typed({"fresh", "fresh", "Chiroq"}), "- - -");  // only lower-case words
}

TEST(TypingSession, RestoreModeFollowsTheWriter) {
  // tort is restored only in a text typed without apostrophes.
  EXPECT_EQ(typed({"kitob", "tort"}), "- -");
  EXPECT_EQ(typed({"ozbek", "tort"}), "\u00f6zbek/5 t\u00f6rt/4");
  EXPECT_EQ(typed({"ozbek", "o'zbek", "tort"}), "\u00f6zbek/5 \u00f6zbek/6 -");
  ConvertOptions no_restore;
  no_restore.restore = false;
  EXPECT_EQ(typed({"ozbek", "tort"}, no_restore), "- -");

  // The writer's habit outlives a paragraph break; a new session starts without it.
  TypingSession s;
  complete(s, "ozbek", {});
  s.reset();
  EXPECT_TRUE(s.restore_mode());
  EXPECT_EQ(complete(s, "otdi", {}), "\u00f6tdi/4");
  EXPECT_FALSE(TypingSession().restore_mode());
  // Only the word before counts: bir oz stays, u o'z is restored.
  EXPECT_EQ(typed({"ozbek", "bir", "oz", "u", "oz"}), "\u00f6zbek/5 - - - \u00f6z/2");
}

TEST(TypingSession, TypedWordByWordMatchesWholeTextConversion) {
  ConvertOptions ascii = letters_only();
  ascii.tutuq = U'\'';
  for (const char* line : {
           "O'zbekiston Respublikasi poytaxti Toshkent shahrida ko'plab maktablar qurilmoqda.",
           "Shop Bosh, Shop, Bosh va choy ichdik; Microsoft Teams orqali ma'ruza bo'ldi!",
       }) {
    EXPECT_EQ(type_line(line, ConvertOptions{}), convert(line, ConvertOptions{})) << line;
  }
  for (const ConvertOptions& o : {letters_only(), ascii}) {
    for (const char* line : {
             "O'zbekiston shahar markazida choy ichdik.",
             "'Salom' dedi u, bog' tomonga qarab: \u00abKeling!\u00bb",
             "SMS-xabar https://kun.uz/news va Is'hoq aka g' harfini ma'noli deb yozdi",
             "U 'bog' dedi , keyin ' tog' ' deb qo'shdi? Ha. \u2018qo\u2018shiq\u2019",
             "disharmoniya CHOR-NOR o'g'il G'ALABA 2024-yilda t.me/xabar",
         }) {
      EXPECT_EQ(type_line(line, o), convert(line, o)) << line;
    }
  }
}

}  // namespace
}  // namespace vexo
