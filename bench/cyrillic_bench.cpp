// Throughput of both Cyrillic directions: Latin prose written in Cyrillic,
// Cyrillic prose read into the new alphabet by the converter, and long words
// in capitals.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "core/cyrillic.h"
#include "core/lib.h"
#include "core/to_cyr.h"
#include "core/token.h"

namespace {

std::string repeated(std::initializer_list<const char*> sentences, std::size_t bytes) {
  std::string out;
  while (out.size() < bytes) {
    for (const char* s : sentences) out += s;
  }
  return out;
}

// About 1 MB of mixed old and new spelling, with loanwords from the list.
const std::string& latin_text() {
  static const std::string text = repeated(
      {"O'zbekiston Respublikasi poytaxti Toshkent shahrida ko'plab yangi maktablar qurilmoqda. ",
       "Kecha sirk va konsertlarda aksiya e'lon qilindi, deb xabar berdi Kun.uz sayti. ",
       "2026-yilgi byudjet loyihasi obyektlar ro'yxati bilan birga ma'qullandi.\n",
       "Bugun ertalab bog'da çoy içib, döstlarim bilan şahar markaziga bordik. "},
      1u << 20);
  return text;
}

const std::string& cyrillic_text() {
  static const std::string text = repeated(
      {"Тошкент шаҳрида кўп ЁШЛАР яшайди, улар милиция ва цирк ҳақида гапиришди. ",
       "Съезд қатнашчилари 2026-йилги режани маъқуллади.\n"},
      1u << 20);
  return text;
}

void BM_ToCyrillic(benchmark::State& state) {
  const std::string& text = latin_text();
  for (auto _ : state) benchmark::DoNotOptimize(vexo::to_cyrillic(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ToCyrillic)->Unit(benchmark::kMillisecond);

// The text in pieces of about 16 KB, each a call of its own, with a memo
// carried from piece to piece (1) or none (0): what standard input does with
// its pieces, on a smaller scale.
void BM_ToCyrillicInPieces(benchmark::State& state) {
  const std::string& text = latin_text();
  constexpr std::size_t kPiece = 16u << 10;
  for (auto _ : state) {
    vexo::CyrillicMemo memo;
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t line_end = text.find('\n', std::min(text.size(), start + kPiece));
      const std::size_t end = line_end == std::string::npos ? text.size() : line_end + 1;
      const std::string_view piece = std::string_view(text).substr(start, end - start);
      benchmark::DoNotOptimize(state.range(0) != 0 ? vexo::to_cyrillic(piece, memo)
                                                   : vexo::to_cyrillic(piece));
      start = end;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ToCyrillicInPieces)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same text already in the new alphabet: its words with new letters skip
// the old-to-new conversion, so the Cyrillic writing weighs more.
void BM_ToCyrillicFromNewAlphabet(benchmark::State& state) {
  static const std::string text = vexo::convert(latin_text(), vexo::ConvertOptions{});
  for (auto _ : state) benchmark::DoNotOptimize(vexo::to_cyrillic(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ToCyrillicFromNewAlphabet)->Unit(benchmark::kMillisecond);

// The letter-by-letter transliteration alone, word by word, without the
// text pipeline around it.
void BM_TransliterateCyrillicWords(benchmark::State& state) {
  const std::string& text = cyrillic_text();
  std::vector<std::string_view> words;
  for (const vexo::WordSpan& span : vexo::split_spans(text)) {
    words.push_back(std::string_view(text).substr(span.start, span.end - span.start));
  }
  for (auto _ : state) {
    for (const std::string_view word : words) {
      benchmark::DoNotOptimize(vexo::transliterate_cyrillic(word, U'\u02bc'));
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * words.size()));
}
BENCHMARK(BM_TransliterateCyrillicWords)->Unit(benchmark::kMillisecond);

void BM_ConvertCyrillicInput(benchmark::State& state) {
  const std::string& text = cyrillic_text();
  const vexo::ConvertOptions options;
  for (auto _ : state) benchmark::DoNotOptimize(vexo::convert(text, options));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ConvertCyrillicInput)->Unit(benchmark::kMillisecond);

// One word of capital Ё, Ю, Я, Е, Ц, Щ (each written with two Latin letters
// whose case follows the capitals around them), against the same word in
// lowercase: the time per letter must not grow with the word.
std::string capital_word(std::size_t letters, bool capitals) {
  const std::string_view upper[] = {"Ё", "Ю", "Я", "Е", "Ц", "Щ"};
  const std::string_view lower[] = {"ё", "ю", "я", "е", "ц", "щ"};
  std::string word;
  for (std::size_t i = 0; i < letters; ++i) word += (capitals ? upper : lower)[i % 6];
  return word;
}

void BM_CyrillicCapitalWord(benchmark::State& state) {
  const std::string word = capital_word(static_cast<std::size_t>(state.range(0)), state.range(1) != 0);
  const vexo::ConvertOptions options;
  for (auto _ : state) benchmark::DoNotOptimize(vexo::convert(word, options));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CyrillicCapitalWord)
    ->ArgsProduct({{2000, 20000}, {0, 1}})
    ->ArgNames({"letters", "capitals"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
