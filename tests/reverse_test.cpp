#include "core/reverse.h"

#include <gtest/gtest.h>

namespace vexo {
namespace {

TEST(ToOld, LettersTakeTheTurnedCommaAndTheTutuqStays) {
  EXPECT_EQ(to_old("k\u00f6p \u011eAM ma\u02bcno", false), "ko\u02bbp G\u02bbAM ma\u02bcno");
  EXPECT_EQ(to_old("k\u00f6p \u011eAM ma\u02bcno", true), "ko'p G'AM ma'no");
  // An old letter apostrophe left in the text is read as a tutuq.
  EXPECT_EQ(to_old("o\u02bbzbek o'zbek", false), "o\u02bczbek o\u02bczbek");
}

TEST(ToOld, CapitalShAndChFollowTheirNeighbours) {
  EXPECT_EQ(to_old("\u015eAHAR \u015eahar TO\u015e BA\u015e- \u015e KU\u00c7. \u00c7", true),
            "SHAHAR Shahar TOSH BASH- Sh KUCH. Ch");
  EXPECT_EQ(to_old("\u015e\u00d6", true), "SHO'");
}

TEST(ToOld, SBeforeHGetsASeparator) {
  EXPECT_EQ(to_old("Ishoq Is\u02bchoq ma\u015fhur fresh Check", true), "Is'hoq Is'hoq mashhur fres'h C'heck");
}

TEST(ToOld, OtherTextIsUnchanged) {
  for (const char* text : {"", "kitob 2026", "\u041a\u0438\u0442\u043e\u0431", "a\u02bab \U0001F600"}) {
    EXPECT_EQ(to_old(text, false), text);
  }
}

TEST(ToOld, AcceptanceSentence) {
  EXPECT_EQ(to_old("\u00d6zbekiston \u015fahar \u015eAHAR ma\u02bcno Ishoq", true),
            "O'zbekiston shahar SHAHAR ma'no Is'hoq");
}

}  // namespace
}  // namespace vexo
