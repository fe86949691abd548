// Latin to Cyrillic: letters and their context rules, words kept in Latin,
// number prefixes, hard signs and the guard's say over doubtful words.
#include <gtest/gtest.h>

#include "core/cyrillic_exceptions.h"
#include "core/to_cyr.h"

namespace vexo {
namespace {

std::string word(std::string_view w, float score = 0.0f, float context = 0.0f) {
  ConvertOptions options;
  options.cyrillic = false;
  bool quote = false;
  return to_cyrillic_word(w, options, score, context, quote);
}

TEST(ToCyrillic, OldAndNewSpellingsGiveTheSameCyrillic) {
  EXPECT_EQ(to_cyrillic("Toshkent Toşkent o'zbek özbek"), "Тошкент Тошкент ўзбек ўзбек");
  EXPECT_EQ(to_cyrillic("G'alaba ĞALABA choy çoy SHAHAR"), "Ғалаба ҒАЛАБА чой чой ШАҲАР");
  EXPECT_EQ(to_cyrillic("Isʼhoq Is'hoq"), "Исҳоқ Исҳоқ");  // s+h stays two letters
  EXPECT_EQ(to_cyrillic("O'zbekiston Toşkent Microsoft 2026-yilgi ma'no"),
            "Ўзбекистон Тошкент Microsoft 2026-йилги маъно");
}

TEST(ToCyrillic, CyrillicReadsBackAsTheNewAlphabet) {
  ConvertOptions options;
  options.guard = false;
  const std::string text =
      "O'zbekiston yoshlari ertalab choyxonada qo'shiq kuylab, g'alaba bayramini "
      "nishonladi. YANGI yozuvchi ma'naviyat, eshik, Yulduz, yo'l, bog'cha, "
      "maktabgacha ta'lim, so'ngra shoir.";
  EXPECT_EQ(convert(to_cyrillic(text), options), convert(text, options));
}

TEST(ToCyrillic, TextAroundWordsIsKept) {
  EXPECT_EQ(to_cyrillic(""), "");
  EXPECT_EQ(to_cyrillic("  salom,\n\t«dunyo»!  "), "  салом,\n\t«дунё»!  ");
  EXPECT_EQ(to_cyrillic("Тошкент shahri, Ёлқин"), "Тошкент шаҳри, Ёлқин");
  EXPECT_EQ(to_cyrillic("shaharда"), "shaharда");  // mixed script is left alone
}

TEST(ToCyrillic, EIsEAfterAConsonantAndEElsewhere) {
  EXPECT_EQ(word("eski"), "эски");
  EXPECT_EQ(word("aeroport"), "аэропорт");
  EXPECT_EQ(word("sanʼat"), "санъат");
  EXPECT_EQ(word("e'tibor"), "эътибор");
  EXPECT_EQ(word("she'r"), "шеър");
}

TEST(ToCyrillic, YDigraphsAndTheHardSignBeforeYe) {
  EXPECT_EQ(word("yer"), "ер");
  EXPECT_EQ(word("YAXSHI"), "ЯХШИ");
  EXPECT_EQ(to_cyrillic("yoz yuz"), "ёз юз");
  EXPECT_EQ(word("subyekt"), "субъект");
  EXPECT_EQ(word("OBYEKT"), "ОБЪЕКТ");
  EXPECT_EQ(word("poyezd"), "поезд");  // after a vowel no sign
  EXPECT_EQ(word("uy"), "уй");
  EXPECT_EQ(word("yo'q"), "йўқ");      // y before ö is й
}

TEST(ToCyrillic, TsIsTseOnlyBeforeLoanwordEndings) {
  EXPECT_EQ(word("aktsiya"), "акция");
  EXPECT_EQ(word("revolyutsion"), "революцион");
  EXPECT_EQ(word("TSIYA"), "ЦИЯ");
  EXPECT_EQ(word("patsient"), "патсиэнт");  // no ending of the list follows
  EXPECT_EQ(word("abzats"), "абзатс");
}

TEST(ToCyrillic, ApostrophesBecomeTheHardSign) {
  // The letter rules recognise apostrophes through one predicate; a few
  // spellings of each width suffice here.
  for (const char* apostrophe : {"'", "\u02bc", "\u2019", "\uff07"}) {
    const std::string a = apostrophe;
    EXPECT_EQ(to_cyrillic("ma" + a + "no"), "маъно") << a;
    EXPECT_EQ(to_cyrillic("MA" + a + "NO"), "МАЪНО") << a;
    EXPECT_EQ(to_cyrillic("o" + a + "g" + a + "il"), "ўғил") << a;
  }
}

TEST(ToCyrillic, WordFinalHardSign) {
  EXPECT_EQ(word("jurʼ"), "журъ");
  EXPECT_EQ(word("JURʼ"), "ЖУРЪ");
  EXPECT_EQ(word("jurʼ."), "журъ.");
  EXPECT_EQ(word("jur'"), "жур'");  // any other apostrophe stays punctuation
}

TEST(ToCyrillic, SomePiecesStayLatin) {
  EXPECT_EQ(word("Coca-Cola"), "Coca-Cola");
  EXPECT_EQ(word("Microsoftda"), "Microsoftda");
  EXPECT_EQ(word("Wikipedia"), "Wikipedia");
  EXPECT_EQ(word("TV"), "TV");
  EXPECT_EQ(word("FBR"), "ФБР");
  EXPECT_EQ(word("MCH"), "MCH");
  EXPECT_EQ(word("München"), "München");
  EXPECT_EQ(word("ko'cha-ko'y"), "кўча-кўй");
  EXPECT_EQ(word("TV-xabar"), "TV-хабар");
  EXPECT_EQ(word("https://gov.uz/toshkent"), "https://gov.uz/toshkent");
  EXPECT_EQ(word("mp3"), "mp3");
}

TEST(ToCyrillic, NumbersAndNumberPrefixes) {
  EXPECT_EQ(word("2026-yilgi"), "2026-йилги");
  EXPECT_EQ(word("(3,5-chi)"), "(3,5-чи)");
  EXPECT_EQ(word("12:30-da"), "12:30-да");
  EXPECT_EQ(word("2026"), "2026");
  EXPECT_EQ(word("--"), "--");
  EXPECT_EQ(word("2026-yil-2"), "2026-yil-2");  // not a number and a word
}

TEST(ToCyrillic, GuardKeepsEnglishLeaningWordsInLatin) {
  EXPECT_EQ(word("kitob", 0.5f, 0.0f), "китоб");
  EXPECT_EQ(word("kitob", -1.0f, 0.0f), "kitob");
  EXPECT_EQ(word("kitob", -1.0f, 1.0f), "китоб");  // an Uzbek sentence outweighs it
  EXPECT_EQ(word("zqxv", -3.0f, 3.0f), "zqxv");    // strongly English and unlisted
  // Marks of Uzbek spelling settle the question without the guard.
  EXPECT_EQ(word("to'g'ri", -3.0f, -3.0f), "тўғри");
  EXPECT_EQ(word("şahar", -3.0f, -3.0f), "шаҳар");
}

TEST(CyrillicSpellings, TableIsSortedAndSearchable) {
  ASSERT_GT(cyrillic_spellings.size(), 1000u);
  for (std::size_t i = 1; i < cyrillic_spellings.size(); ++i) {
    EXPECT_LT(cyrillic_spellings[i - 1].key, cyrillic_spellings[i].key) << i;
  }
  for (const CyrillicSpelling& entry : cyrillic_spellings) {
    EXPECT_EQ(cyrillic_exception(entry.key), entry.cyrillic);
    EXPECT_EQ(entry.key.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ'"), std::string_view::npos)
        << entry.key;
  }
  EXPECT_EQ(cyrillic_exception("sirk"), "цирк");
  EXPECT_EQ(cyrillic_exception("Sirk"), std::nullopt);
  EXPECT_EQ(cyrillic_exception(""), std::nullopt);
  EXPECT_EQ(cyrillic_exception("zzzzzz"), std::nullopt);
}

TEST(CyrillicSpellings, ListedLoanwordsAndTheirSuffixedForms) {
  EXPECT_EQ(to_cyrillic("sirk konsertlari aksiya"), "цирк концертлари акция");
  EXPECT_EQ(to_cyrillic("Konsert KONSERT KONSERTLARI Sirkda"), "Концерт КОНЦЕРТ КОНЦЕРТЛАРИ Циркда");
  EXPECT_EQ(to_cyrillic("Shveysariya Şveysariya"), "Швейсария Швейсария");  // old and new spelling
  EXPECT_EQ(to_cyrillic("Nyu-York"), "Нью-Йорк");
  EXPECT_EQ(to_cyrillic("film, filmlar."), "фильм, фильмлар.");
  // A final soft sign is dropped before endings.
  EXPECT_EQ(to_cyrillic("model modeli Avtomobillari noyabrda"),
            "модель модели Автомобиллари ноябрда");
  EXPECT_EQ(to_cyrillic("avtomobil-sirk"), "автомобиль-цирк");  // each part on its own
}

TEST(CyrillicSpellings, UnlistedWordsKeepTheLetterRules) {
  EXPECT_EQ(to_cyrillic("kitoblari"), "китоблари");
  EXPECT_EQ(to_cyrillic("sirkxz"), "сиркхз");      // a listed stem without Uzbek endings
  EXPECT_EQ(to_cyrillic("konsertiv"), "консертив");
  // Everyday Uzbek words that share their spelling with a listed loanword.
  EXPECT_EQ(to_cyrillic("tilda sanga tush kokil"), "тилда санга туш кокил");
}

}  // namespace
}  // namespace vexo
