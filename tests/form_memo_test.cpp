// The bounded memo of per-form results: what it keeps when full, and that
// the numbers it gives out are void once it has forgotten.
#include "core/form_memo.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "core/lib.h"

namespace vexo {
namespace {

TEST(FormMemo, KeepsTheFormsAskedForAgainWhenFull) {
  // Short forms and long ones (kept apart from their entries), some alike
  // up to their last byte.
  const std::string long_form(40, 'x');
  const std::array<std::string, 4> forms = {"w0", long_form + "1", std::string(16, 'y'),
                                            long_form + "3"};
  FormMemo<int, 4> memo;
  for (int i = 0; i < 4; ++i) memo.add(forms[i], i);
  ASSERT_NE(memo.number_of(forms[1]), 0u);
  ASSERT_NE(memo.number_of(forms[2]), 0u);
  const std::uint64_t before = memo.generation();
  const std::uint32_t added = memo.add("new", 9);  // full: sweeps first
  EXPECT_NE(memo.generation(), before);
  EXPECT_EQ(memo.at(added), 9);
  for (const int i : {1, 2}) {
    const std::uint32_t number = memo.number_of(forms[i]);
    ASSERT_NE(number, 0u) << forms[i];
    EXPECT_EQ(memo.at(number), i);
  }
  for (const std::string& absent : {forms[0], forms[3], long_form + "2", long_form}) {
    EXPECT_EQ(memo.number_of(absent), 0u) << absent;
  }
  memo.clear();
  EXPECT_EQ(memo.find(forms[1]), nullptr);
}

// Forms of every length up to well past the ones held in an entry, and the
// same lengths with one byte changed, are told apart.
TEST(FormMemo, TellsFormsOfEveryLengthApart) {
  FormMemo<std::size_t, 128> memo;
  const std::string base = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGH";
  for (std::size_t n = 0; n <= base.size(); ++n) memo.add(base.substr(0, n), n);
  for (std::size_t n = 0; n <= base.size(); ++n) {
    const std::uint32_t number = memo.number_of(base.substr(0, n));
    ASSERT_NE(number, 0u) << n;
    EXPECT_EQ(memo.at(number), n);
    if (n == 0) continue;
    for (const std::size_t at : {std::size_t{0}, n / 2, n - 1}) {
      std::string changed = base.substr(0, n);
      changed[at] = '!';
      EXPECT_EQ(memo.number_of(changed), 0u) << changed;
    }
  }
}

// A memo carried between texts converted with other options does not hand
// their results on.
TEST(ConversionMemo, ForgetsResultsOfOtherOptions) {
  const std::string text = "O'zbekiston shahar choy, ozbek Shahar\n";
  ConvertOptions other;
  other.guard = false;
  other.tutuq = U'\'';
  ConversionMemo memo;
  TextEvidence evidence;
  EXPECT_EQ(convert(text, ConvertOptions{}, evidence, memo), convert(text, ConvertOptions{}));
  evidence = {};
  EXPECT_EQ(convert(text, other, evidence, memo), convert(text, other));
}

}  // namespace
}  // namespace vexo
