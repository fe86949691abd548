// Change collection by line and the two forms of the change listing.
#include <gtest/gtest.h>

#include "cli/changes.h"

namespace vexo::cli {
namespace {

std::string each(std::string_view from, std::string_view to) {
  return list_changes(collect_changes(from, to), ListingMode::EachChange, "");
}

TEST(ChangeCollection, LocatesChangesByLine) {
  // The same change twice in one line, a carriage return kept with its line,
  // and shared punctuation stripped.
  EXPECT_EQ(each("a\r\n(choy), choy.\r\nbosh", "a\r\n(\u00e7oy), \u00e7oy.\r\nbo\u015f"),
            "2: choy \u2192 \u00e7oy\n2: choy \u2192 \u00e7oy\n3: bosh \u2192 bo\u015f\n"
            "3 ta o'zgarish, 2 xil so'z\n");
  // Different line counts compare the whole texts, located at 0.
  const std::vector<Change> whole = collect_changes("a\nb", "a b");
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_EQ(whole[0].location + "|" + whole[0].old_word + "|" + whole[0].new_word, "0|a\nb|a b");
}

TEST(ChangeListing, GroupedByPairWithLocations) {
  const std::vector<Change> changes = {
      {"2", "shahar", "\u015fahar"}, {"10", "choy", "\u00e7oy"}, {"2", "choy", "\u00e7oy"},
      {"10", "o'g'il", "\u00f6\u011fil"}, {"3", "bosh", "bo\u015f"}};
  EXPECT_EQ(list_changes(changes, ListingMode::Grouped, "  "),
            "     2\u00d7 choy \u2192 \u00e7oy\n"
            "     1\u00d7 bosh \u2192 bo\u015f\n"
            "     1\u00d7 o'g'il \u2192 \u00f6\u011fil\n"
            "     1\u00d7 shahar \u2192 \u015fahar\n"
            "  (10: 2, 2: 2, 3: 1)\n"
            "  5 ta o'zgarish, 4 xil so'z\n");
  EXPECT_EQ(list_changes({}, ListingMode::Grouped, "  "), "  0 ta o'zgarish, 0 xil so'z\n");
  EXPECT_EQ(list_changes(std::vector<Change>(1200, Change{"1", "a", "b"}), ListingMode::Grouped, ""),
            "1200\u00d7 a \u2192 b\n(1: 1200)\n1200 ta o'zgarish, 1 xil so'z\n");
}

TEST(ChangeListing, ListingsHoldABoundedNumberOfPairs) {
  ChangeListing each("");
  for (std::size_t i = 0; i < kMaxTalliedPairs; ++i) each.add("1", std::to_string(i), "x");
  each.add("2", "0", "x");
  EXPECT_EQ(each.summary(), "65537 ta o'zgarish, 65536 xil so'z\n");
  each.add("3", "new", "x");
  EXPECT_EQ(each.summary(), "65538 ta o'zgarish, 65536+ xil so'z\n");

  ChangeTally tally;
  for (std::size_t i = 0; i < kMaxTalliedPairs + 2; ++i) tally.add("p", std::to_string(i), "x");
  tally.add("q", "0", "x");
  const std::string listing = tally.listing("");
  EXPECT_TRUE(listing.starts_with("   2\u00d7 0 \u2192 x\n   1\u00d7 1 \u2192 x\n")) << listing.substr(0, 80);
  EXPECT_TRUE(listing.ends_with("   2\u00d7 (boshqa so'zlar, ro'yxatga sig'madi)\n(p: 65538, q: 1)\n"
                                "65539 ta o'zgarish, 65536+ xil so'z\n"))
      << listing.substr(listing.size() - 200);
}

}  // namespace
}  // namespace vexo::cli
