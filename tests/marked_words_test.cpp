#include "cli/marked_words.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace vexo::cli {
namespace {

std::string joined(const MarkedText& marked) {
  std::string out;
  for (const MarkedWord& w : marked.words) out += w.before + w.converted;
  return out + marked.tail;
}

// Every word is placed, and the pieces give the conversion back, whatever
// separates the words.
TEST(MarkedWords, EveryWordPlacedAndTheOutputRebuilt) {
  const ConvertOptions options;
  for (const char* text :
       {"", "   ", "O'zbekiston shahar", "  choy\n\n\tshahar  ", "Toshkent—Samarqand – yo'l… ma'no",
        "«O'zbekiston» (shahar), 'qo'shiq' https://x.uz/sh Microsoft shell",
        "s\xCC\xA7" "ahar Ș" "ahar", "Тошкент шаҳри ва o'g'il", "a  a  a\r\nsh ch"}) {
    const MarkedText marked = mark_words(text, options);
    EXPECT_EQ(marked.text, convert(text, options)) << text;
    EXPECT_EQ(joined(marked), marked.text) << text;
    EXPECT_EQ(marked.words.size(), convert_detailed(text, options, false).words.size()) << text;
  }
}

TEST(MarkedWords, WordsCarryWhatTheyBecameAndWhy) {
  const MarkedText marked = mark_words(" O'zbekiston,  Microsoft — shahar.", ConvertOptions{});
  using Row = std::tuple<std::string, std::string, std::string, Decision>;
  std::vector<Row> rows;
  for (const MarkedWord& w : marked.words) rows.emplace_back(w.before, w.word, w.converted, w.decision);
  EXPECT_EQ(rows, (std::vector<Row>{{" ", "O'zbekiston,", "Özbekiston,", Decision::Converted},
                                    {"  ", "Microsoft", "Microsoft", Decision::Unchanged},
                                    {" — ", "shahar.", "şahar.", Decision::Converted}}));
  EXPECT_EQ(marked.tail, "");
}

}  // namespace
}  // namespace vexo::cli
