#include "core/unicode.h"

#include <gtest/gtest.h>

namespace vexo {
namespace {

TEST(Utf8, RoundTripsEveryEncodingLength) {
  const std::string text = "a\u00f6\u02bc\u2019\U0001F600";
  std::string again;
  for (const char32_t c : decode_utf8(text)) append_utf8(again, c);
  EXPECT_EQ(again, text);
  EXPECT_EQ(count_code_points(text), 5u);
  std::size_t i = text.size();
  EXPECT_EQ(previous_code_point(text, i), U'\U0001F600');
  EXPECT_EQ(previous_code_point(text, i), U'\u2019');
}

TEST(Utf8, RejectsMalformedInput) {
  EXPECT_TRUE(is_valid_utf8(""));
  EXPECT_TRUE(is_valid_utf8("O\u2018zbekiston"));
  EXPECT_FALSE(is_valid_utf8("\xff"));
  EXPECT_FALSE(is_valid_utf8("\xc3"));              // truncated
  EXPECT_FALSE(is_valid_utf8("\xc0\xaf"));          // overlong
  EXPECT_FALSE(is_valid_utf8("\xed\xa0\x80"));      // surrogate
  EXPECT_FALSE(is_valid_utf8("\xf4\x90\x80\x80"));  // beyond U+10FFFF
}

TEST(CaseMapping, UsesFullUnicodeMappings) {
  EXPECT_EQ(to_lower("\u015eAHAR \u00d6Z"), "\u015fahar \u00f6z");
  EXPECT_EQ(to_upper("stra\u00dfe"), "STRASSE");  // one character becomes two
  EXPECT_EQ(to_lower("\u0130"), "i\u0307");
  EXPECT_EQ(ascii_lower("\u00d6AB"), "\u00d6ab");
}

TEST(Properties, FollowTheCharacterDatabase) {
  EXPECT_TRUE(is_white_space(0x202F));
  EXPECT_FALSE(is_white_space(0x200B));
  EXPECT_TRUE(is_letter(0x02BC));   // modifier letters are alphabetic
  EXPECT_FALSE(is_letter(0xA9));
  EXPECT_TRUE(is_numeric(0x0663));  // Arabic-Indic three
}

}  // namespace
}  // namespace vexo
