// The English guard and apostrophe restoration, alone and inside the
// conversion, with the embedded word lists.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/lang.h"
#include "core/lexicon.h"
#include "core/lib.h"
#include "core/unicode.h"

namespace vexo {
namespace {

std::string conv(std::string_view text, const ConvertOptions& o = {}) { return convert(text, o); }

std::vector<Decision> decisions(std::string_view text, const ConvertOptions& o = {}) {
  std::vector<Decision> out;
  for (const WordReport& w : convert_detailed(text, o, false).words) out.push_back(w.decision);
  return out;
}

std::optional<std::string> restored(std::string_view word, bool text_mode = false) {
  const auto r = restore_apostrophes(word, false, text_mode, false);
  if (!r) return std::nullopt;
  return r->word;
}

TEST(EnglishScore, ContractionsScoreMinusSix) {
  for (const char* word : {"don't", "we're", "it's", "they've", "you'll", "I'm", "i'd", "Don\u2019t"}) {
    EXPECT_FLOAT_EQ(english_score(word), -6.0f) << word;
  }
  EXPECT_NE(english_score("'s"), -6.0f);  // nothing before the ending
  EXPECT_GT(english_score("so'm"), 0.0f);  // an Uzbek word, not so + 'm
  EXPECT_FLOAT_EQ(english_score(""), 0.0f);
}

TEST(EnglishScore, LetterPatternsScoreUnknownWords) {
  EXPECT_FLOAT_EQ(pattern_score("zick"), -5.0f);       // c, and c before k
  EXPECT_FLOAT_EQ(pattern_score("chiz"), 0.0f);        // ch is Uzbek
  EXPECT_FLOAT_EQ(pattern_score("qiz"), 2.5f);
  EXPECT_FLOAT_EQ(pattern_score("quiz"), 0.0f);
  EXPECT_FLOAT_EQ(pattern_score("zaw"), -4.0f);        // aw and w
  EXPECT_FLOAT_EQ(pattern_score("o'g'il"), 6.0f);
  EXPECT_FLOAT_EQ(pattern_score("zeeboo"), -3.0f);     // ee and oo
  EXPECT_FLOAT_EQ(pattern_score("phith"), -4.0f);
  EXPECT_FLOAT_EQ(pattern_score("zzation"), -2.0f);    // tion, no th
  EXPECT_FLOAT_EQ(pattern_score("xx"), 1.0f);
  // A made-up word in neither list scores by its letters alone.
  EXPECT_FLOAT_EQ(english_score("zzwzz"), -3.0f);
  EXPECT_FLOAT_EQ(english_score("zzqzz"), 2.5f);
}

// Words without a Latin letter score nothing without being looked up, which
// holds while every listed word and suffix has one.
TEST(EnglishScore, ListsAreSpelledWithLatinLetters) {
  const auto has_latin = [](std::string_view w) {
    return std::any_of(w.begin(), w.end(), [](char c) { return is_ascii_letter(c); });
  };
  for (const Lexicon* lexicon : {&uzbek_lexicon(), &english_lexicon()}) {
    for (std::size_t i = 0; i + 1 < lexicon->offsets.size(); ++i) {
      const std::string_view w = lexicon->words.substr(
          lexicon->offsets[i], lexicon->offsets[i + 1] - lexicon->offsets[i]);
      ASSERT_TRUE(has_latin(w)) << w;
    }
  }
  for (const std::string_view suffix : lexicon_suffixes()) ASSERT_TRUE(has_latin(suffix));
  EXPECT_FLOAT_EQ(english_score("\u0422\u043e\u0448\u043a\u0435\u043d\u0442"), 0.0f);
}

TEST(EnglishScore, ListedWordsScoreByTheirWeights) {
  EXPECT_FLOAT_EQ(english_score("va"), 4.5f);  // frequent Uzbek words are capped
  EXPECT_GT(english_score("kitob"), 4.0f);
  EXPECT_LE(english_score("kitob"), 4.5f);
  EXPECT_LE(english_score("check"), -2.0f);
  EXPECT_LT(english_score("the"), 0.0f);
  EXPECT_EQ(english_score("Check"), english_score("check"));
  const WordStanding kitob = is_uzbek_word("Kitoblarimizda");
  EXPECT_TRUE(kitob.uzbek);
  EXPECT_FALSE(kitob.english);
  EXPECT_TRUE(is_uzbek_word("shell").english);
}

TEST(NameClass, CapitalisedForeignSpellingsAreNames) {
  EXPECT_EQ(name_class("va"), NameClass::Connector);
  EXPECT_EQ(name_class("and"), NameClass::Connector);
  EXPECT_EQ(name_class("&"), NameClass::Connector);
  EXPECT_EQ(name_class("thatcher"), NameClass::Plain);  // not capitalised
  EXPECT_EQ(name_class("Thatcher"), NameClass::ForeignName);
  EXPECT_EQ(name_class("Thatcher\u2019ning"), NameClass::ForeignName);
  EXPECT_EQ(name_class("Thatcher'xyz"), NameClass::Plain);  // not a name suffix
  EXPECT_EQ(name_class("O'zbekiston"), NameClass::Plain);
  EXPECT_EQ(name_class("Washington"), NameClass::ForeignName);
  EXPECT_EQ(name_class("Shahar"), NameClass::Plain);  // Uzbek, not foreign
  EXPECT_EQ(name_class("Bushning"), NameClass::ForeignName);  // foreign stem + suffix
  EXPECT_FALSE(looks_foreign("shahar"));
  EXPECT_TRUE(looks_foreign("michelle"));  // foreign ending
  EXPECT_TRUE(looks_foreign("zzweb"));
}

TEST(NameClass, RunsSpreadForeignnessWithinAClause) {
  // Chin is an Uzbek and an English word; next to a foreign name it is a name too.
  EXPECT_EQ(name_class("Chin"), NameClass::EnglishWord);
  EXPECT_EQ(conv("Thatcher Chin keldi"), "Thatcher Chin keldi");
  EXPECT_EQ(conv("Thatcher va Chin keldi"), "Thatcher va Chin keldi");
  EXPECT_EQ(conv("Thatcher, Chin keldi"), "Thatcher, \u00c7in keldi");
  EXPECT_EQ(decisions("Thatcher Chin"), (std::vector{Decision::English, Decision::English}));
}

TEST(EnglishGuard, EnglishWordsAndBrandsStayAsWritten) {
  EXPECT_EQ(conv("Microsoft Word va Photoshopda ishlash, don't shell check chat"),
            "Microsoft Word va Photoshopda i\u015fla\u015f, don't shell check chat");
  EXPECT_EQ(conv("Schneider keldi"), "Schneider keldi");  // German-like
  EXPECT_EQ(conv("checkda"), "checkda");  // English stem, Uzbek suffix
  EXPECT_TRUE(looks_english("checklar", english_score("checklar"), 0.0f));
  EXPECT_FALSE(looks_english("choyxona", english_score("choyxona"), 0.0f));
  // Listed Uzbek words stay Uzbek at the start of a sentence (not shun + ga).
  EXPECT_EQ(conv("Shunga ko'ra. Shundan keyin"), "\u015eunga k\u00f6ra. \u015eundan keyin");
  // A capitalised English word Uzbek knows only with endings (turk + ish) is
  // English, and a name beside a capitalised English word is a foreign one.
  EXPECT_EQ(conv("Biz Turkish Airlines bilan uchdik"), "Biz Turkish Airlines bilan u\u00e7dik");
  EXPECT_EQ(conv("ular ko'pgina shaharlarga Turkish Airlines orqali uchishadi"),
            "ular k\u00f6pgina \u015faharlarga Turkish Airlines orqali u\u00e7i\u015fadi");
  EXPECT_EQ(conv("Bosh Vazir keldi"), "Bo\u015f Vazir keldi");
  EXPECT_EQ(conv("turkish"), "turki\u015f");

  ConvertOptions no_guard;
  no_guard.guard = false;
  EXPECT_EQ(conv("shell check Photoshopda", no_guard), "\u015fell \u00e7eck Photo\u015fopda");
}

TEST(Restore, SingleWordsGetTheirApostrophesBack) {
  EXPECT_EQ(restored("ozbek"), "o'zbek");
  EXPECT_EQ(restored("togri"), "to'g'ri");
  EXPECT_EQ(restored("ogil"), "o'g'il");
  EXPECT_EQ(restored("Ozbek"), "O'zbek");  // letters keep their case
  EXPECT_EQ(restored("o'zbek"), std::nullopt);
  EXPECT_EQ(restored("kitob"), std::nullopt);  // frequent as written
  EXPECT_EQ(restored("gogogog"), std::nullopt);  // more than six free o/g letters
  EXPECT_EQ(restored("zzz"), std::nullopt);
  EXPECT_EQ(restored("oz"), std::nullopt);  // too short outside text mode
}

TEST(Restore, HyphenatedWordsAreRestoredPartByPart) {
  EXPECT_EQ(restored("ozbek-tili"), "o'zbek-tili");
  EXPECT_EQ(restored("ozbek-o'zbek"), std::nullopt);
  EXPECT_EQ(restored("kitob-daftar"), std::nullopt);
}

TEST(Restore, AmbiguousWordsOnlyInTextMode) {
  EXPECT_EQ(restored("otdi"), std::nullopt);
  const auto otdi = restore_apostrophes("otdi", false, true, false);
  ASSERT_TRUE(otdi);
  EXPECT_EQ(otdi->word, "o'tdi");
  EXPECT_TRUE(otdi->two_readings);
  const auto yoq = restore_apostrophes("Yoq", false, true, false);
  ASSERT_TRUE(yoq);
  EXPECT_EQ(yoq->word, "Yo'q");
  EXPECT_EQ(restored("bor", false), std::nullopt);
  EXPECT_EQ(restored("bor", true), std::nullopt);  // bo'r does not beat bor
}

TEST(Restore, EndingChains) {
  EXPECT_TRUE(is_ending_chain("", 0));
  EXPECT_TRUE(is_ending_chain("ng", 0));
  EXPECT_TRUE(is_ending_chain("lardan", 0));
  EXPECT_TRUE(is_ending_chain("ganman", 0));
  EXPECT_TRUE(is_ending_chain("dadada", 0));
  EXPECT_FALSE(is_ending_chain("dadadada", 0));  // at most three endings
  EXPECT_FALSE(is_ending_chain("xyz", 0));
  // Two frequent stems of similar weight with the same endings read two ways.
  EXPECT_TRUE(has_two_readings("otaga", "o'taga"));
  EXPECT_FALSE(has_two_readings("borda", "bo'rda"));  // bor is far more frequent
  EXPECT_FALSE(has_two_readings("otaxyz", "o'taxyz"));  // not a chain of endings
}

TEST(Restore, ConversionRestoresTextsTypedWithoutApostrophes) {
  EXPECT_EQ(conv("ozbek tilida togri gapirish"), "\u00f6zbek tilida t\u00f6\u011fri gapiri\u015f");
  // One written o' shows the writer uses apostrophes: ambiguous words stay.
  EXPECT_EQ(conv("ozbek otdi"), "\u00f6zbek \u00f6tdi");
  EXPECT_EQ(conv("o'zbek otdi"), "\u00f6zbek otdi");
  ConvertOptions no_restore;
  no_restore.restore = false;
  EXPECT_EQ(conv("ozbek", no_restore), "ozbek");
  ConvertOptions exception;
  exception.exceptions = {"ozbek"};
  EXPECT_EQ(conv("ozbek tili", exception), "ozbek tili");
}

TEST(Restore, TextModeTakesTheLikelierReading) {
  // Apostrophes left out throughout: the more frequent reading wins, and the
  // neighbours settle words that read two ways.
  EXPECT_EQ(conv("U oz uyiga qaytdi, ozbek qol"), "U \u00f6z uyiga qaytdi, \u00f6zbek q\u00f6l");
  EXPECT_EQ(conv("ozbek otadi"), "\u00f6zbek \u00f6tadi");
  EXPECT_EQ(conv("ozbek bir oz, juda oz"), "\u00f6zbek bir oz, juda oz");
  EXPECT_EQ(conv("ozbek bor olib"), "\u00f6zbek bor olib");  // far more frequent as written
  // A listed word is not outweighed by an analysis (to'la + lar); a word that
  // is none as written may take a rarer reading, unless it is a name.
  EXPECT_EQ(conv("ozbek tolalar, oljalarni oldi, Konami"),
            "\u00f6zbek tolalar, \u00f6ljalarni oldi, Konami");
  // There, an ending on the rarest listed forms is read too; where
  // apostrophes are typed, or for a name, it is not.
  EXPECT_EQ(conv("ozbek tilida kopaytuvchini"), "\u00f6zbek tilida k\u00f6paytuv\u00e7ini");
  EXPECT_EQ(conv("o'zbek tilida kopaytuvchini"), "\u00f6zbek tilida kopaytuv\u00e7ini");
  EXPECT_EQ(conv("ozbek tilida Kopaytuvchini"), "\u00f6zbek tilida Kopaytuv\u00e7ini");
  // No evidence of left-out apostrophes: ambiguous words stay.
  EXPECT_EQ(conv("vaqt oz qoldi"), "vaqt oz qoldi");
  EXPECT_EQ(conv("qol"), "qol");

  EXPECT_EQ(prefers_restored("oz", 4.18f, "o'z", 5.3f, {}), true);
  EXPECT_EQ(prefers_restored("oz", 4.18f, "o'z", 5.3f, {"bir", ""}), false);
  EXPECT_EQ(prefers_restored("oz", 4.18f, "o'z", 5.3f, {"", "toxtab"}), false);
  EXPECT_EQ(prefers_restored("kitob", 4.0f, "ki'tob", 5.0f, {}), std::nullopt);
  EXPECT_EQ(bare_key("O\u2018zbek-G'OR"), "ozbek-gor");
}

TEST(Restore, NamesInsideASentenceAreNotRestored) {
  // Outside a text typed without apostrophes, a capitalised word inside a
  // sentence is a name; at the start of a sentence it is a word.
  EXPECT_EQ(conv("Toshkentda Gor bilan o'tirdik."), "Toşkentda Gor bilan ötirdik.");
  EXPECT_EQ(conv("Ozbekiston. Bu yerda Gor."), "\u00d6zbekiston. Bu yerda \u011eor.");
}

TEST(Restore, ModeIsDecidedPerParagraph) {
  // A paragraph's own marks decide; one without evidence follows the paragraphs before it.
  EXPECT_EQ(conv("O'Neil HBO'ning o'zbek\nozbek otdi"), "O'Neil HBO\u02bcning \u00f6zbek\n\u00f6zbek \u00f6tdi");
  EXPECT_EQ(conv("ozbek tilida\nvaqt otdi"), "\u00f6zbek tilida\nvaqt \u00f6tdi");
  EXPECT_EQ(conv("o'zbek tilida\nvaqt otdi"), "\u00f6zbek tilida\nvaqt otdi");
  // Where apostrophes are typed, a word as written stays; a misspelling is still mended.
  EXPECT_EQ(conv("o'zbek sozlab boladi"), "\u00f6zbek sozlab b\u00f6ladi");
  EXPECT_EQ(conv("kitob sozlab"), "kitob s\u00f6zlab");
  EXPECT_EQ(conv("O'Neil otdi, ozbek"), "O'Neil \u00f6tdi, \u00f6zbek");  // a name is no evidence
  // A sentence of Uzbek words without one o'/g' word, whose words read better
  // restored, is weak evidence: it decides only where nothing before it does.
  const std::string sentence = "Bir kun otib ular yana uyga qaytishdi";
  EXPECT_EQ(conv(sentence), "Bir kun \u00f6tib ular yana uyga qayti\u015fdi");
  EXPECT_EQ(conv("o'zbek tili\n" + sentence), "\u00f6zbek tili\nBir kun otib ular yana uyga qayti\u015fdi");
  EXPECT_EQ(conv("kun otib"), "kun otib");  // too short to tell
  EXPECT_TRUE(shows_apostrophe_use("G'ALABA"));
  EXPECT_FALSE(shows_apostrophe_use("https://x.uz/o'z"));

  // Paragraphs converted one by one with the carried evidence give the whole text.
  const std::string text =
      "vaqt otdi\nozbek tilida\r\nvaqt otdi\n\nO'Neil keldi\nqo'l otdi\nkitob otdi\n'bog\ntog' yoq";
  TextEvidence evidence;
  std::string pieces;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
    pieces += convert(std::string_view(text).substr(start, end - start), {}, evidence);
    start = end;
  }
  EXPECT_EQ(pieces, conv(text));
  EXPECT_EQ(evidence.apostrophes, ApostropheUse::Written);
}

TEST(Restore, TwoReadingsAreReportedOnlyWhenAsked) {
  const Conversion otdi = convert_detailed("otdi.", {}, true);
  ASSERT_EQ(otdi.words.size(), 1u);
  EXPECT_EQ(otdi.text, "otdi.");
  EXPECT_EQ(otdi.words[0].alternative, "\u00f6tdi.");
  EXPECT_EQ(convert_detailed("otdi", {}, false).words[0].alternative, std::nullopt);
  EXPECT_EQ(convert_detailed("kitob", {}, true).words[0].alternative, std::nullopt);
  EXPECT_EQ(convert_detailed("qo'l", {}, true).words[0].alternative, std::nullopt);
}

}  // namespace
}  // namespace vexo
