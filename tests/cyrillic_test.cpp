// Cyrillic words inside Latin text: the letter table, the context letters,
// capitals, and how the converter hands such words over.
#include <gtest/gtest.h>

#include "core/cyrillic.h"
#include "core/lib.h"

namespace vexo {
namespace {

std::string cyr(std::string_view word, char32_t tutuq = kDefaultTutuq) {
  return transliterate_cyrillic(word, tutuq);
}

TEST(CyrillicInput, LettersOfTheTable) {
  EXPECT_EQ(cyr("кўп"), "köp");
  EXPECT_EQ(cyr("шоҳ"), "şoh");
  EXPECT_EQ(cyr("чиқиш"), "çiqiş");
  EXPECT_EQ(cyr("ёз"), "yoz");
  EXPECT_EQ(cyr("юрак"), "yurak");
  EXPECT_EQ(cyr("эски"), "eski");
  EXPECT_EQ(cyr("борьба"), "borba");
  EXPECT_EQ(cyr("сыр"), "sir");
}

TEST(CyrillicInput, EReadsYeWhereItStartsASyllable) {
  EXPECT_EQ(cyr("ер"), "yer");
  EXPECT_EQ(cyr("поезд"), "poyezd");
  EXPECT_EQ(cyr("дерево"), "derevo");
  EXPECT_EQ(cyr("съезд"), "s\u02bcyezd");
  EXPECT_EQ(cyr("«ер»"), "«yer»");  // after a quote
  EXPECT_EQ(cyr("2ер"), "2yer");    // after a digit
  EXPECT_EQ(cyr("sер"), "ser");     // a Latin consonant counts too
}

TEST(CyrillicInput, TseReadsTsOnlyAfterAVowel) {
  EXPECT_EQ(cyr("цирк"), "sirk");
  EXPECT_EQ(cyr("милиция"), "militsiya");
  EXPECT_EQ(cyr("концерт"), "konsert");
  EXPECT_EQ(cyr("абзац"), "abzats");
  EXPECT_EQ(cyr("-ц"), "-s");
}

TEST(CyrillicInput, CapitalsFollowTheWord) {
  EXPECT_EQ(cyr("Ёлқин"), "Yolqin");
  EXPECT_EQ(cyr("ЁЛҚИН"), "YOLQIN");
  EXPECT_EQ(cyr("Ер"), "Yer");
  EXPECT_EQ(cyr("Е"), "Ye");
  EXPECT_EQ(cyr("ЩИ"), "ŞÇI");
  EXPECT_EQ(cyr("Щи"), "Şçi");
  EXPECT_EQ(cyr("ЯНГИ-йил"), "YANGI-yil");  // the hyphen ends the capital run
  EXPECT_EQ(cyr("ОБЪЕКТ"), "OB\u02bcYEKT");
  // Capitals before a lowercase suffix are an abbreviation.
  EXPECT_EQ(cyr("ЕОИИда"), "YEOIIda");
  EXPECT_EQ(cyr("ЯИМдаги"), "YAIMdagi");
  EXPECT_EQ(cyr("ЮНЕСКОнинг"), "YUNESKOning");
  EXPECT_EQ(cyr("ЁшлАр"), "YoşlAr");
}

TEST(CyrillicInput, LongCapitalWordsConvertWhole) {
  // Every capital letter looks at the capitals around it; a long run must
  // still come out whole (its speed is measured in bench/cyrillic_bench).
  std::string capitals;
  std::string expected;
  for (int i = 0; i < 2000; ++i) {
    capitals += "ЁЩ";
    expected += "YOŞÇ";
  }
  EXPECT_EQ(cyr(capitals), expected);
  EXPECT_EQ(cyr(capitals + "а"), expected + "a");
}

TEST(CyrillicInput, LoanwordsSpelledApartInLatin) {
  EXPECT_EQ(cyr("бюджет"), "budjet");
  EXPECT_EQ(cyr("Бюджетга"), "Budjetga");
  EXPECT_EQ(cyr("БЮДЖЕТИ"), "BUDJETI");
  EXPECT_EQ(cyr("бюджетdan"), "budjetdan");
}

TEST(CyrillicInput, HardAndSoftSigns) {
  EXPECT_EQ(cyr("маъно"), "ma\u02bcno");
  EXPECT_EQ(cyr("МАЪНО"), "MA\u02bcNO");  // the tutuq has no capital
  EXPECT_EQ(cyr("маъно", U'\''), "ma'no");
  EXPECT_EQ(cyr("ПОЧТАЛЬОН"), "POÇTALON");
}

TEST(CyrillicInput, OtherCharactersAreCopied) {
  EXPECT_EQ(cyr("әң"), "әң");
  EXPECT_EQ(cyr("Ұлы"), "Ұli");
  EXPECT_EQ(cyr("shaharда"), "shaharda");  // Latin letters stay as written
  EXPECT_EQ(cyr(""), "");
  EXPECT_FALSE(has_cyrillic("özbek ʼ"));
  EXPECT_TRUE(has_cyrillic("xӿ"));
}

TEST(CyrillicInput, ConverterHandsCyrillicWordsOverWhole) {
  ConvertOptions o;
  o.guard = false;
  o.restore = false;
  EXPECT_EQ(convert("Тошкент шаҳрида кўп ЁШЛАР яшайди", o),
            "Toşkent şahrida köp YOŞLAR yaşaydi");
  EXPECT_EQ(convert("«Ўзбекистон», o'zbek", o), "«Özbekiston», özbek");
  // Links, addresses, hashtags, mentions and code keep their Cyrillic.
  EXPECT_EQ(convert("https://президент.уз user@почта.уз #Тошкент @ўзбек а->б ф()", o),
            "https://президент.уз user@почта.уз #Тошкент @ўзбек а->б ф()");
  // Everything else is a word, whatever the Latin rules would protect:
  // camel case, digits, dots and colons, slashes, brackets.
  EXPECT_EQ(convert("ЎзМУ ТошДУ ЎзЛиДеП КОВИД-19 Т-34 10та 5ер куни15-17 23-24-июнь "
                    "эл.почта тушириш/очишда (оят)ларни соат:12 ўзбек_тили",
                    o),
            "ÖzMU ToşDU ÖzLiDeP KOVID-19 T-34 10ta 5yer kuni15-17 23-24-iyun "
            "el.poçta tuşiriş/oçişda (oyat)larni soat:12 özbek_tili");
  EXPECT_EQ(convert("(Ёлқин) 2026-йилги", o), "(Yolqin) 2026-yilgi");

  bool quote = false;
  const WordResult same = convert_word("әң", o, 0, 0, false, false, quote);
  EXPECT_EQ(same.text, "әң");
  EXPECT_EQ(same.decision, Decision::Unchanged);
  const WordResult done = convert_word("кўп", o, 0, 0, false, false, quote);
  EXPECT_EQ(done.decision, Decision::Converted);

  o.cyrillic = false;
  EXPECT_EQ(convert("кўп shahar", o), "кўп şahar");
}

}  // namespace
}  // namespace vexo
