// The table of forms written in Cyrillic: packed texts come back as they
// went, entries keep what fits, and a full table keeps the forms asked for
// again.
#include "core/cyrillic_forms.h"

#include <gtest/gtest.h>

#include <string>

namespace vexo {
namespace {

TEST(CyrillicForms, PackedTextsComeBackAsTheyWent) {
  const std::string letters =
      "абвгдеёжзийклмнопрстуфхцчшщъыьэюяўқғҳАБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯЎҚҒҲ";
  for (const std::string& text :
       {std::string(), letters, std::string("«Тошкент», 2026-йил: ma'no!"),
        std::string("ѐѣѵ ҐґӁӂ öğʼ € 😀 \x7f"), std::string("a\xd0\x90z")}) {
    std::string packed;
    append_packed(packed, text);
    std::string out = "x";
    append_unpacked(out, packed);
    EXPECT_EQ(out, "x" + text);
  }
  std::string packed;
  append_packed(packed, letters);
  EXPECT_EQ(packed.size(), letters.size() / 2);  // a byte per letter
}

TEST(CyrillicForms, EntriesKeepTheWaysThatFit) {
  CyrillicForms forms;
  const std::string form = "kitob";
  const std::uint32_t number = forms.add(form, CyrillicForms::hash_of(form), 1.5f, -2.0f, 3);
  CyrillicForms::Entry& entry = forms.at(number);
  EXPECT_EQ(entry.score, 1.5f);
  EXPECT_EQ(entry.deciding_score, -2.0f);
  EXPECT_EQ(entry.traits, 3);
  entry.remember(1, false, "китоб");
  entry.remember(2, true, "kitob");    // as written
  entry.remember(3, false, "китоб");   // the same text, held once
  entry.remember(4, false, "китоб");   // no fourth way
  ASSERT_EQ(entry.way_count, CyrillicForms::kMaxWays);
  EXPECT_EQ(entry.way(4), nullptr);
  const auto text_of = [](const CyrillicForms::Entry& e, std::uint8_t flags) {
    std::string out;
    e.append_text(out, *e.way(flags));
    return out;
  };
  EXPECT_EQ(text_of(entry, 1), "китоб");
  EXPECT_EQ(text_of(entry, 2), "kitob");
  EXPECT_TRUE(entry.way(2)->quote_out);
  EXPECT_EQ(entry.way(1)->offset, entry.way(3)->offset);

  // A text is held as it is while it fits, then packed; one that fits
  // neither way is not remembered.
  const std::string long_form(CyrillicForms::kMaxFormBytes, 'q');
  CyrillicForms::Entry& full = forms.at(forms.add(long_form, CyrillicForms::hash_of(long_form), 0, 0, 0));
  full.remember(1, false, std::string(20, 'x'));
  EXPECT_EQ(full.way_count, 0);
  const std::string word = "qizlarimiz";
  CyrillicForms::Entry& held = forms.at(forms.add(word, CyrillicForms::hash_of(word), 0, 0, 0));
  held.remember(1, false, "қизлар");
  held.remember(2, false, "қизларимизникилар");  // 34 bytes as it is, 17 packed
  held.remember(3, false, "қиз");                // within the first
  ASSERT_EQ(held.way_count, 3);
  EXPECT_FALSE(held.way(1)->packed);
  EXPECT_TRUE(held.way(2)->packed);
  EXPECT_EQ(text_of(held, 1), "қизлар");
  EXPECT_EQ(text_of(held, 2), "қизларимизникилар");
  EXPECT_EQ(text_of(held, 3), "қиз");
}

TEST(CyrillicForms, KeepsTheFormsAskedForAgainWhenFull) {
  constexpr std::size_t kMax = 64;
  CyrillicForms forms(kMax);
  const auto add = [&](const std::string& form) {
    const auto score = static_cast<float>(form.size());
    return forms.add(form, CyrillicForms::hash_of(form), score, score, 0);
  };
  const auto number_of = [&](const std::string& form) {
    return forms.number_of(form, CyrillicForms::hash_of(form));
  };
  // Forms of every length kept, alike up to their last byte.
  const std::string base(CyrillicForms::kMaxFormBytes, 'a');
  for (std::size_t n = 1; n < kMax; ++n) add(base.substr(0, n % base.size()) + char('0' + n % 10));
  for (std::size_t n = 1; n < kMax; n += 2) {
    const std::string form = base.substr(0, n % base.size()) + char('0' + n % 10);
    ASSERT_NE(number_of(form), 0u) << form;
    EXPECT_EQ(number_of(form.substr(0, form.size() - 1) + '!'), 0u);
  }
  add("last");
  const std::uint64_t before = forms.generation();
  add("more");  // full: sweeps first
  EXPECT_NE(forms.generation(), before);
  for (std::size_t n = 1; n < kMax; ++n) {
    const std::string form = base.substr(0, n % base.size()) + char('0' + n % 10);
    const std::uint32_t number = number_of(form);
    EXPECT_EQ(number != 0, n % 2 == 1) << form;
    if (number != 0) {
      EXPECT_EQ(forms.at(number).score, static_cast<float>(form.size()));
    }
  }
  EXPECT_EQ(number_of("last"), 0u);
  EXPECT_NE(number_of("more"), 0u);
}

}  // namespace
}  // namespace vexo
