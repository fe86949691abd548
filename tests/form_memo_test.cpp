// The bounded memo of per-form results: what it keeps when full, and that
// the numbers it gives out are void once it has forgotten.
#include "core/form_memo.h"

#include <gtest/gtest.h>

#include <string>

#include "core/lib.h"

namespace vexo {
namespace {

TEST(FormMemo, KeepsTheFormsAskedForAgainWhenFull) {
  FormMemo<int, 4> memo;
  for (int i = 0; i < 4; ++i) memo.add("w" + std::to_string(i), i);
  ASSERT_NE(memo.number_of("w1"), 0u);
  ASSERT_NE(memo.number_of("w3"), 0u);
  const std::uint64_t before = memo.generation();
  const std::uint32_t added = memo.add("new", 9);  // full: sweeps first
  EXPECT_NE(memo.generation(), before);
  EXPECT_EQ(memo.at(added), 9);
  for (const auto& [form, value] : {std::pair{"w1", 1}, {"w3", 3}}) {
    const std::uint32_t number = memo.number_of(form);
    ASSERT_NE(number, 0u) << form;
    EXPECT_EQ(memo.at(number), value);
  }
  EXPECT_EQ(memo.number_of("w0"), 0u);
  EXPECT_EQ(memo.number_of("w2"), 0u);
  memo.clear();
  EXPECT_EQ(memo.find("w1"), nullptr);
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
