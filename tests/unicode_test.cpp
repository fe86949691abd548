#include "core/unicode.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

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

// The answers kept for the first characters agree with ICU's, on both sides
// of where the kept ones end.
TEST(Properties, KeptAnswersAreIcus) {
  for (char32_t c = 0; c < 0x800; ++c) {
    const auto u = static_cast<UChar32>(c);
    SCOPED_TRACE(u);
    ASSERT_EQ(is_white_space(c), u_hasBinaryProperty(u, UCHAR_WHITE_SPACE) != 0);
    ASSERT_EQ(is_alphabetic(c), u_hasBinaryProperty(u, UCHAR_ALPHABETIC) != 0);
    ASSERT_EQ(is_lowercase(c), u_hasBinaryProperty(u, UCHAR_LOWERCASE) != 0);
    ASSERT_EQ(is_uppercase(c), u_hasBinaryProperty(u, UCHAR_UPPERCASE) != 0);
    std::string one;
    append_utf8(one, c);
    for (const bool lower : {true, false}) {
      UChar src[2] = {static_cast<UChar>(c), 0};
      UChar dst[8] = {};
      UErrorCode status = U_ZERO_ERROR;
      const int32_t n = (lower ? u_strToLower : u_strToUpper)(dst, 8, src, 1, "", &status);
      std::string icu;
      for (int32_t k = 0; k < n; ++k) append_utf8(icu, dst[k]);  // no surrogates below U+0800
      ASSERT_EQ(lower ? to_lower(one) : to_upper(one), icu);
      if (lower) {
        ASSERT_EQ(lower_first(c), decode_utf8(icu).front());
      }
    }
  }
}

}  // namespace
}  // namespace vexo
