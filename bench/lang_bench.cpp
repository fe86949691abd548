// Cost of the English guard and of apostrophe restoration: whole texts typed
// with and without the o'/g' apostrophes, and the single words that make the
// restoration search longest.
#include <benchmark/benchmark.h>

#include <string>

#include "core/lang.h"
#include "core/lib.h"

namespace {

// About 1 MB of prose; `bare` leaves out the apostrophes of o' and g'.
std::string sample_text(bool bare) {
  const char* sentences[] = {
      "O'zbekiston Respublikasi poytaxti Toshkent shahrida ko'plab yangi maktablar qurilmoqda. ",
      "Bugun ertalab bog'da choy ichib, do'stlarim bilan shahar markaziga bordik. ",
      "Microsoft Word va Photoshopda ishlash, don't shell check chat haqida gapirdi. ",
      "Yosh olimlar tanlovida g'oliblar aniqlandi, to'g'ri javoblar e'lon qilindi.\n",
  };
  std::string out;
  while (out.size() < 1u << 20) {
    for (const char* s : sentences) out += s;
  }
  if (!bare) return out;
  std::string stripped;
  stripped.reserve(out.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    const bool mark = out[i] == '\'' && i > 0 && (out[i - 1] == 'o' || out[i - 1] == 'g' ||
                                                  out[i - 1] == 'O' || out[i - 1] == 'G');
    if (!mark) stripped.push_back(out[i]);
  }
  return stripped;
}

void convert_text(benchmark::State& state, bool bare) {
  const std::string text = sample_text(bare);
  const vexo::ConvertOptions options;
  for (auto _ : state) benchmark::DoNotOptimize(vexo::convert(text, options));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ConvertWithApostrophes(benchmark::State& state) { convert_text(state, false); }
BENCHMARK(BM_ConvertWithApostrophes)->Unit(benchmark::kMillisecond);

void BM_ConvertWithoutApostrophes(benchmark::State& state) { convert_text(state, true); }
BENCHMARK(BM_ConvertWithoutApostrophes)->Unit(benchmark::kMillisecond);

void BM_EnglishScore(benchmark::State& state) {
  const char* words[] = {"shahar", "check", "don't", "Photoshopda", "kitoblarimizdagi", "xyzlar"};
  for (auto _ : state) {
    for (const char* w : words) benchmark::DoNotOptimize(vexo::english_score(w));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * std::size(words)));
}
BENCHMARK(BM_EnglishScore);

// Six free o/g letters and no known reading: all 63 candidates are looked up
// with suffix stripping, the longest search one word can cause.
void BM_RestoreWorstWord(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(vexo::restore_apostrophes("gogogozzzzlarida", false, true, false));
  }
}
BENCHMARK(BM_RestoreWorstWord)->Unit(benchmark::kMicrosecond);

void BM_RestoreTypicalWord(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(vexo::restore_apostrophes("togrisidagi", false, false, false));
  }
}
BENCHMARK(BM_RestoreTypicalWord)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
