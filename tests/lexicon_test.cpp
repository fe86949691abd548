// The embedded word lists: table layout, exact and suffix-stripping lookups,
// the line lists, and their effect on conversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "core/lexicon.h"
#include "core/lib.h"
#include "core/list_data.h"
#include "core/word_hash.h"

namespace vexo {
namespace {

Lookup uzbek(std::string_view key) { return lexicon_lookup(uzbek_lexicon(), key); }
Lookup english(std::string_view key) { return lexicon_lookup(english_lexicon(), key); }

std::string_view word_at(const Lexicon& lexicon, std::size_t index) {
  return lexicon.words.substr(lexicon.offsets[index], lexicon.offsets[index + 1] - lexicon.offsets[index]);
}

// Every table must be laid out as the lookups expect: sorted words, offsets
// that cover the words array, a power-of-two slot table of at least twice the
// word count holding each word exactly once, reachable from its home slot.
void expect_well_formed(const Lexicon& lexicon, std::size_t min_words) {
  const std::size_t n = lexicon.weights.size();
  ASSERT_GE(n, min_words);
  ASSERT_EQ(lexicon.offsets.size(), n + 1);
  EXPECT_EQ(lexicon.offsets.front(), 0u);
  EXPECT_EQ(lexicon.offsets.back(), lexicon.words.size());
  ASSERT_EQ(lexicon.slots.size() % kLexiconSlotWords, 0u);
  const std::size_t slots = lexicon.slot_count();
  EXPECT_TRUE(std::has_single_bit(slots));
  EXPECT_GE(slots, 2 * n);

  // Every word sits in exactly one slot, which tells where its bytes are.
  std::vector<int> seen(n, 0);
  for (std::size_t s = 0; s < slots; ++s) {
    const std::uint32_t* slot = &lexicon.slots[s * kLexiconSlotWords];
    if (slot[2] == 0) continue;
    const auto at = std::lower_bound(lexicon.offsets.begin(), lexicon.offsets.end(), slot[1]);
    ASSERT_NE(at, lexicon.offsets.end());
    ASSERT_EQ(*at, slot[1]);
    const auto index = static_cast<std::size_t>(at - lexicon.offsets.begin());
    ASSERT_LT(index, n);
    ASSERT_EQ(word_at(lexicon, index).size(), slot[2]);
    ASSERT_EQ(std::bit_cast<float>(slot[3]), lexicon.weights[index]);
    ++seen[index];
  }
  EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int s) { return s == 1; }));

  for (std::size_t i = 0; i < n; ++i) {
    ASSERT_LE(lexicon.offsets[i], lexicon.offsets[i + 1]);
    const std::string_view word = word_at(lexicon, i);
    ASSERT_FALSE(word.empty());
    if (i > 0) {
      ASSERT_LT(word_at(lexicon, i - 1), word) << "unsorted at " << word;
    }
    const Lookup found = lexicon_lookup(lexicon, word);
    ASSERT_TRUE(found.found) << word;
    ASSERT_EQ(found.weight, lexicon.weights[i]) << word;
  }
}

TEST(LexiconTables, AreWellFormed) {
  expect_well_formed(uzbek_lexicon(), 70000);
  expect_well_formed(english_lexicon(), 30000);
  expect_well_formed(sh_exception_lexicon(), 21);
}

TEST(LexiconTables, UzbekHoldsOnlyOldLatinKeysWithinTheWeightScale) {
  const Lexicon& lexicon = uzbek_lexicon();
  for (std::size_t i = 0; i < lexicon.weights.size(); ++i) {
    const std::string_view word = word_at(lexicon, i);
    ASSERT_TRUE(std::all_of(word.begin(), word.end(),
                            [](char c) { return (c >= 'a' && c <= 'z') || c == '\''; }))
        << word;
    const float w = lexicon.weights[i];
    ASSERT_TRUE(w == 0.0f || (w >= 1.45f && w <= 6.0f)) << word << " " << w;
  }
}

// The word comparison reads whole words of 8 and 4 bytes, overlapping at the
// end: a difference in any byte of any length must still tell words apart.
TEST(WordBytes, EveryDifferingByteCounts) {
  for (std::size_t size = 0; size <= 40; ++size) {
    const std::string a(size, 'a');
    EXPECT_TRUE(same_bytes(a.data(), std::string(a).data(), size));
    for (std::size_t at = 0; at < size; ++at) {
      std::string b = a;
      b[at] = 'b';
      EXPECT_FALSE(same_bytes(a.data(), b.data(), size)) << size << " " << at;
      EXPECT_NE(word_hash(a), word_hash(b)) << size << " " << at;
    }
  }
}

TEST(LexiconLookup, ExactWords) {
  EXPECT_FALSE(uzbek("").found);
  EXPECT_FLOAT_EQ(english("a").weight, 4.0f);
  EXPECT_FLOAT_EQ(uzbek("va").weight, 6.0f);

  // Weights follow frequency on one scale.
  EXPECT_GT(uzbek("bor").weight, uzbek("kitob").weight);
  EXPECT_GT(uzbek("kitob").weight, uzbek("bo'r").weight);
  EXPECT_GT(uzbek("bo'r").weight, 2.9f);

  // English tiers: common words weigh more than rarer ones.
  EXPECT_FLOAT_EQ(english("check").weight, 4.0f);
  EXPECT_FLOAT_EQ(english("chat").weight, 3.5f);
  EXPECT_FLOAT_EQ(english("chrome").weight, 2.5f);
  EXPECT_TRUE(english("child's").found);

  EXPECT_TRUE(lexicon_lookup(sh_exception_lexicon(), "nushasi").found);
  EXPECT_FALSE(lexicon_lookup(sh_exception_lexicon(), "shahar").found);
  EXPECT_FALSE(lexicon_lookup(Lexicon{}, "va").found);
  EXPECT_FALSE(uzbek("kitobx").found);
  EXPECT_FALSE(uzbek("kito").found);
}

TEST(LexiconLookup, BareSpellingsOfApostropheWordsWeighNothing) {
  for (const char* bare : {"ozbek", "togri", "bogcha", "boladi"}) {
    const Lookup found = uzbek_lookup(bare);
    EXPECT_TRUE(found.found) << bare;
    EXPECT_EQ(found.weight, 0.0f) << bare;
  }
  EXPECT_GT(uzbek_lookup("o'zbek").weight, 4.5f);
  EXPECT_GT(uzbek_lookup("to'g'ri").weight, 4.5f);
  // Real words that merely look like bare spellings keep their own weight.
  for (const char* word : {"bor", "olib", "ota", "oz", "qol"}) {
    EXPECT_GT(uzbek(word).weight, 3.0f) << word;
  }
}

TEST(UzbekLookup, StripsUpToTwoSuffixes) {
  const float kitob = uzbek("kitob").weight;
  ASSERT_FALSE(uzbek("kitobdek").found);
  ASSERT_FALSE(uzbek("kitobdekcha").found);
  EXPECT_FLOAT_EQ(uzbek_lookup("kitobdek").weight, kitob * 0.8f);
  EXPECT_FLOAT_EQ(uzbek_lookup("kitobdekcha").weight, kitob * 0.6f);

  // Every suffix of the table is stripped (and weighs at least its stem's
  // share; another reading may weigh more).
  for (const std::string_view suffix : lexicon_suffixes()) {
    const std::string word = "kitob" + std::string(suffix);
    if (!uzbek(word).found) {
      EXPECT_GE(uzbek_lookup(word).weight, kitob * 0.8f) << word;
    }
  }

  // The best stem wins: "ning" leaves a listed word, so does "larning".
  ASSERT_FALSE(uzbek("kitoblarimizning").found);
  EXPECT_TRUE(uzbek_lookup("kitoblarimizning").found);

  // Stems shorter than three characters are never looked up.
  ASSERT_TRUE(uzbek("bu").found);
  ASSERT_FALSE(uzbek("budan").found);
  EXPECT_FALSE(uzbek_lookup("budan").found);
  EXPECT_FALSE(uzbek_lookup("xyzlar").found);
  EXPECT_FALSE(uzbek_lookup("").found);
  EXPECT_FALSE(uzbek_lookup("\xc3\xa7\xc3\xa7lar").found);  // two characters before the suffix

  // For restoration a rare form listed whole weighs as its common stem says;
  // a bare spelling still weighs nothing.
  const Lookup rare = uzbek("ko'rsatilishiga");
  ASSERT_TRUE(rare.found);
  EXPECT_FLOAT_EQ(uzbek_lookup("ko'rsatilishiga").weight, rare.weight);
  EXPECT_FLOAT_EQ(uzbek_analysis("ko'rsatilishiga").weight, uzbek("ko'rsatilishi").weight * 0.8f);
  EXPECT_GT(uzbek_analysis("ko'rsatilishiga").weight, rare.weight);
  EXPECT_EQ(uzbek_analysis("ozbek").weight, 0.0f);
  EXPECT_FLOAT_EQ(uzbek_analysis("kitobdek").weight, kitob * 0.8f);
}

TEST(LineLists, HoldEntriesButNotComments) {
  EXPECT_TRUE(brand_list_contains("photoshop"));
  EXPECT_TRUE(brand_list_contains("cashapp"));  // the last line
  EXPECT_FALSE(brand_list_contains("photoshopda"));
  EXPECT_FALSE(brand_list_contains("Photoshop"));
  EXPECT_FALSE(brand_list_contains("# avto"));
  EXPECT_FALSE(brand_list_contains("avto"));  // a comment line is not an entry
  EXPECT_FALSE(brand_list_contains(""));

  EXPECT_TRUE(foreign_names_contains("chelmsford"));
  EXPECT_TRUE(foreign_names_contains("aberdeenshire"));
  EXPECT_FALSE(foreign_names_contains("toshkent"));
  EXPECT_FALSE(foreign_names_contains(""));

  // The quick test by first bytes never turns a listed brand away, nor the
  // stem of one with a suffix; it turns ordinary words away.
  for (std::string_view rest = list_data::brands_text; !rest.empty();) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
      line.remove_suffix(1);
    }
    if (line.empty() || line.front() == '#') continue;
    EXPECT_TRUE(brand_list_contains(line)) << line;
    EXPECT_TRUE(brand_list_may_start(line)) << line;
    EXPECT_TRUE(brand_list_may_start(std::string(line) + "larda")) << line;
  }
  EXPECT_FALSE(brand_list_may_start("kitoblarda"));
  EXPECT_TRUE(is_brand("Photoshopda"));
  EXPECT_TRUE(is_brand("CHEVROLETNI"));
  EXPECT_FALSE(is_brand("kitoblarda"));
}

TEST(ShExceptions, ListedWordsAndSuffixedFormsKeepShAndCh) {
  EXPECT_TRUE(keep_sh_ch("Ishoqov"));
  EXPECT_TRUE(keep_sh_ch("NUSHASI"));
  EXPECT_TRUE(keep_sh_ch("mushafni"));     // listed word + suffix
  EXPECT_TRUE(keep_sh_ch("ishoqovaning"));
  EXPECT_TRUE(keep_sh_ch("nushai"));       // "nusha" + "i"
  EXPECT_FALSE(keep_sh_ch("mushafchi"));   // "chi" is not one of the suffixes here
  EXPECT_FALSE(keep_sh_ch("shahar"));
  EXPECT_FALSE(keep_sh_ch("mashq"));
}

TEST(Brands, BrandsAndSuffixedBrandsAreRecognised) {
  EXPECT_TRUE(is_brand("Photoshop"));
  EXPECT_TRUE(is_brand("Photoshopda"));
  EXPECT_TRUE(is_brand("CHEVROLETNI"));
  EXPECT_TRUE(is_brand("Chevrolet\xe2\x80\x99ni"));  // stem ends at the apostrophe
  EXPECT_FALSE(is_brand("Shahar"));
  EXPECT_TRUE(is_brand("Nikega"));  // four characters are left before the suffix
  EXPECT_FALSE(is_brand("Chatda"));  // a common English word, not a brand
}

TEST(Brands, AcceptanceLine) {
  ConvertOptions no_guard;
  no_guard.guard = false;
  const std::string line = "nushasi Ishoqov disharmoniya Photoshopda Chevroletni mushaf";
  EXPECT_EQ(convert(line, no_guard),
            "nushasi Ishoqov disharmoniya Photo\u015fopda \u00c7evroletni mushaf");
  ConvertOptions guard;
  const Conversion detailed = convert_detailed(line, guard, false);
  ASSERT_EQ(detailed.words.size(), 6u);
  EXPECT_EQ(detailed.words[3].decision, Decision::Protected);
  EXPECT_EQ(detailed.words[4].decision, Decision::Protected);
  EXPECT_EQ(detailed.text.substr(detailed.text.size() - 30), "Photoshopda Chevroletni mushaf");
}

}  // namespace
}  // namespace vexo
