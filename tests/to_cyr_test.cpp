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
  return to_cyrillic_word(w, options, WordPlace{score, context}, quote);
}

// Each line of `text` converted on its own, joined by spaces.
std::string each_line(std::string_view text) {
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    if (!out.empty()) out += ' ';
    out += to_cyrillic(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
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

TEST(ToCyrillic, LoanwordEndingsWrittenWithTse) {
  EXPECT_EQ(to_cyrillic("reaksiya infeksiyalar konsepsiya korrupsiyaga konferensiya Fransiya "
                        "provinsiyasi sentr markaziy-sentral konsentratsiya videokonferensiya"),
            "реакция инфекциялар концепция коррупцияга конференция Франция провинцияси центр "
            "марказий-централ концентрация видеоконференция");
  // A true с before the same endings.
  EXPECT_EQ(to_cyrillic("pensiya pensiyasi ekspansiya versiya Rossiya komissiya"),
            "пенсия пенсияси экспансия версия Россия комиссия");
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
  EXPECT_EQ(to_cyrillic("D:\\ishlar\\xisobot yozing@pochta.uz #yangilik f(x) a::b"),
            "D:\\ishlar\\xisobot yozing@pochta.uz #yangilik f(x) a::b");
}

TEST(ToCyrillic, AbbreviationsWithAWordForTheirHead) {
  EXPECT_EQ(to_cyrillic("ToshDU, SamDU va ToşTI talabalari (O'zMU)"),
            "ТошДУ, СамДУ ва ТошТИ талабалари (ЎзМУ)");
  EXPECT_EQ(to_cyrillic("OpenAI iPhone YouTube PhD TikTok"), "OpenAI iPhone YouTube PhD TikTok");
}

TEST(ToCyrillic, RomanNumeralsStayLatin) {
  EXPECT_EQ(to_cyrillic("II. Asosiy qism, XXI asr, IV bob, XIX-asrda"),
            "II. Асосий қисм, XXI аср, IV боб, XIX-асрда");
  EXPECT_EQ(to_cyrillic("I. Kirish\nV) Xulosa"), "I. Кириш\nV) Хулоса");  // heading a line
  // Initials and words that only look like numerals.
  EXPECT_EQ(to_cyrillic("Prezident I. Karimov, DIL, Mix"), "Президент И. Каримов, ДИЛ, Мих");
}

TEST(ToCyrillic, SlashJoinedWordsConvertEachSide) {
  EXPECT_EQ(to_cyrillic("o'qituvchi/o'quvchi Orqaga/Oldinga va/yoki"),
            "ўқитувчи/ўқувчи Орқага/Олдинга ва/ёки");
  EXPECT_EQ(to_cyrillic("1/2 a/b2 ishlar/"), "1/2 a/b2 ishlar/");  // not two words
}

TEST(ToCyrillic, BareOldLettersBeforePunctuation) {
  EXPECT_EQ(to_cyrillic("Harflar: O‘, G‘. (G‘) “O‘” BOG‘, tog‘)"),
            "Ҳарфлар: Ў, Ғ. (Ғ) “Ў” БОҒ, тоғ)");
}

TEST(ToCyrillic, NumbersAndNumberPrefixes) {
  EXPECT_EQ(word("2026-yilgi"), "2026-йилги");
  EXPECT_EQ(word("(3,5-chi)"), "(3,5-чи)");
  EXPECT_EQ(word("12:30-da"), "12:30-да");
  EXPECT_EQ(word("2026"), "2026");
  EXPECT_EQ(word("--"), "--");
  EXPECT_EQ(word("2026-yil-2"), "2026-yil-2");  // not a number and a word
}

TEST(ToCyrillic, UzbekSentencesMakeTheirWordsUzbek) {
  EXPECT_EQ(to_cyrillic("Markaziy bankda memorandum imzolandi, 5 trillion so'm ajratildi."),
            "Марказий банкда меморандум имзоланди, 5 триллион сўм ажратилди.");
  EXPECT_EQ(to_cyrillic("Park yaxshi joy. Yangi tab ochiladi, shahar markazida park bor."),
            "Парк яхши жой. Янги таб очилади, шаҳар марказида парк бор.");
  EXPECT_EQ(to_cyrillic("Pan Gi Mun Toshkentga keldi."), "Пан Ги Мун Тошкентга келди.");
  // Words of the Uzbek lexicon alone, as in a word list.
  EXPECT_EQ(each_line("film\nradio\nopera\nfestival\nmaterial\nprofessional\ntennis\n"
                      "formula\nseminar\ndialog\nglobal"),
            "фильм радио опера фестиваль материал профессионал теннис формула семинар диалог "
            "глобал");
}

TEST(ToCyrillic, EnglishInsideUzbekTextStaysLatin) {
  EXPECT_EQ(to_cyrillic("He said: I love this film very much. Biz ham filmni ko'rdik."),
            "He said: I love this film very much. Биз ҳам фильмни кўрдик.");
  EXPECT_EQ(to_cyrillic("Microsoft va Google kompaniyalari, Photoshopda ishlash"),
            "Microsoft ва Google компаниялари, Photoshopda ишлаш");
  EXPECT_EQ(to_cyrillic("Smartfon Galaxy taqdim etildi"), "Смартфон Galaxy тақдим этилди");
  // At the start of a sentence too, where letters and not capitals tell.
  EXPECT_EQ(to_cyrillic("Kecha bordik. Google yangi telefon chiqardi, Booking esa yangi xizmat."),
            "Кеча бордик. Google янги телефон чиқарди, Booking эса янги хизмат.");
  EXPECT_EQ(to_cyrillic("Booking yangi xizmat taqdim etdi."), "Booking янги хизмат тақдим этди.");
}

// A whole text remembers how it wrote each word; lines converted one call
// each remember nothing across lines, unless a memo is carried from line to
// line; a text written word by word anew remembers nothing. The same words
// in places that differ (sentence or line start, context, quotes) must come
// out the same every way, whichever place met a word first.
TEST(ToCyrillic, RememberedWordsAreWrittenAsInTheirOwnPlace) {
  const std::vector<std::string> lines = {
      "He said: I love this film very much and park here. Biz ham filmni ko'rdik.",
      "Park yaxshi joy. Yangi tab ochiladi, shahar markazida park bor.",
      "Google yangi telefon chiqardi, Google esa kitob. I love kitob, film, memorandum.",
      "film radio Booking kitob 'kitob' I kitob' memorandum trillion",
      "Markaziy bankda memorandum imzolandi, trillion so'm ajratildi, 'film' dedi.",
      "I. Kirish I kitob V) Xulosa. Yangi 'park' va park'",
      "Kitob, Film. Park! Booking Google I",
      "Bob tugadi. I. Kirish",
      "I. Kirish",
      "Kecha bordik. Galaxy yangi chiqdi.",
      "Smartfon Galaxy chiqdi.",
      "U 'ikki yo' dedi",
      "U ikki yo' dedi",
      "shop",
      "Bu shop",
      // Closing marks, lone letters with them and forms too long to keep.
      "Kitob, kitob. kitob! kitob; I. I: I, X) V. 'kitob,' kitob',",
      "o'zbekistonlashtirilganlarimizdanmisizlar, O'ZBEKISTONLASHTIRILGANLARIMIZDAN.",
      // Hyphenated words, whose parts are weighed one by one.
      "I love the SMS-uchun app, the online-shop and the web-sahifa very much.",
      "Biz SMS-uchun, online-shop va web-sahifa haqida ilmiy-amaliy SMS-xabar yozdik.",
      "Online-shop ilmiy-amaliy-texnik 2026-yil-da IT-xizmat.",
  };
  std::string whole;
  std::string one_by_one;
  std::string carried;
  CyrillicMemo memo;
  for (const bool reversed : {false, true}) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string& line = lines[reversed ? lines.size() - 1 - i : i];
      whole += line + '\n';
      one_by_one += to_cyrillic(line) + '\n';
      carried += to_cyrillic(line, memo) + '\n';
    }
  }
  EXPECT_EQ(to_cyrillic(whole), one_by_one);
  EXPECT_EQ(carried, one_by_one);
  EXPECT_EQ(to_cyrillic_afresh(whole), one_by_one);
}

// Words met again and again in sentences that lean every way: what is
// remembered about each form agrees with writing every word anew.
TEST(ToCyrillic, RememberedFormsAgreeWithWritingAnew) {
  const std::vector<std::string_view> words = {
      "kitob", "Kitob", "shahar", "o'zbek", "ozbek", "maʼno", "I", "V.", "the", "love", "very",
      "much", "film", "park", "Google", "SMS-xabar", "SMS-ucʼhun", "online-shop", "web-sahifa",
      "ilmiy-amaliy", "online-shop-web", "o'qituvchi/o'quvchi", "2026-yilgi", "2026-yil-da",
      "XXI", "ToshDU", "'kitob'", "kitob'", "«shahar»", "memorandum", "check", "shop", "va",
      "bilan", "uchun", "good", "Toşkent", "https://kun.uz", "#yangilik", "sentyabr", "obyekt"};
  std::uint32_t seed = 2026;
  const auto next = [&](std::uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  std::string text;
  for (int sentence = 0; sentence < 3000; ++sentence) {
    const std::uint32_t length = 2 + next(10);
    for (std::uint32_t k = 0; k < length; ++k) {
      text += words[next(static_cast<std::uint32_t>(words.size()))];
      text += k + 1 < length ? " " : next(3) == 0 ? ".\n" : ". ";
    }
  }
  EXPECT_EQ(to_cyrillic(text), to_cyrillic_afresh(text));
}

TEST(ToCyrillic, GuardKeepsEnglishLeaningWordsInLatin) {
  EXPECT_EQ(word("kitob", 0.5f, 0.0f), "китоб");
  EXPECT_EQ(word("kitob", -1.0f, -1.5f), "kitob");  // a known word in an English sentence
  EXPECT_EQ(word("kitob", -1.0f, 0.0f), "китоб");    // and anywhere else
  EXPECT_EQ(word("zqxv", -1.0f, 0.0f), "zqxv");
  EXPECT_EQ(word("zqxv", -1.0f, 1.0f), "зқхв");  // an Uzbek sentence outweighs it
  EXPECT_EQ(word("zqxv", -3.0f, 3.0f), "зқхв");    // unlisted, in a clearly Uzbek sentence
  EXPECT_EQ(word("zqxv", -2.5f, 1.4f), "zqxv");    // a sentence not Uzbek enough
  EXPECT_EQ(word("Zqxv", -2.5f, 3.0f), "Zqxv");    // a name inside the sentence
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

TEST(CyrillicSpellings, MonthsCountriesAndOtherLoanwords) {
  EXPECT_EQ(to_cyrillic("sentyabr Sentyabrda oktabr detsibell vaksinatsiya budjet byudjeti "
                        "umume'tirof"),
            "сентябрь Сентябрда октябрь децибел вакцинация бюджет бюджети умумэътироф");
  EXPECT_EQ(to_cyrillic("Belarus Polsha Myanma Malta Vyetnam Shveytsariya Venesuela"),
            "Беларусь Польша Мьянма Мальта Вьетнам Швейцария Венесуэла");
}

TEST(CyrillicSpellings, NativeWordsKeepTheirLetters) {
  // A listed stem (singa, seld) followed by what is really a native word's
  // ending, or by verb endings, is no loanword.
  EXPECT_EQ(to_cyrillic("singadi singani singanidan selday seldi"),
            "сингади сингани синганидан селдай селди");
  // Real suffixed loanwords, also where a shorter native word begins them.
  EXPECT_EQ(to_cyrillic("filmi sirkka konsertimiz modellari aksiyadagi farmatsevtik "
                        "slanetslashish"),
            "фильми циркка концертимиз моделлари акциядаги фармацевтик сланецлашиш");
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
