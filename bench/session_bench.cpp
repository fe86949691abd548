// Latency of one finished word in a typing session: every word of a few
// thousand sentences is completed and timed on its own, and the median and
// 99th percentile of those times are reported.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "core/lib.h"
#include "core/session.h"

namespace {

// Sentences of 6 to 13 words drawn from old-spelling prose with a fixed seed,
// each ending in a full stop so that the history fills and empties.
std::vector<std::vector<std::string>> sample_sentences(std::size_t count) {
  const char* prose =
      "O'zbekiston Respublikasi poytaxti Toshkent shahrida ko'plab yangi maktablar "
      "qurilmoqda bugun ertalab bog'da choy ichib, do'stlarim bilan shahar markaziga "
      "bordik ma'lumotlarga ko'ra, 2024-yilda eksport hajmi 15 foizga o'sgan, deb xabar "
      "berdi SMS-xabar Ishoq aka kitob o'qishni yaxshi ko'radi, ammo bu haftada vaqti "
      "bo'lmadi yosh olimlar tanlovida g'oliblar aniqlandi: https://kun.uz/news sahifasida "
      "batafsil 'Salom' dedi u, Microsoft Teams orqali meeting bo'ldi";
  std::vector<std::string> words;
  std::istringstream in(prose);
  for (std::string w; in >> w;) words.push_back(w);

  std::uint32_t seed = 12345;
  const auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  std::vector<std::vector<std::string>> sentences(count);
  for (auto& sentence : sentences) {
    const std::size_t length = 6 + next() % 8;
    for (std::size_t i = 0; i < length; ++i) sentence.push_back(words[next() % words.size()]);
    sentence.back() += '.';
  }
  return sentences;
}

void BM_CompleteWordLatency(benchmark::State& state) {
  const auto sentences = sample_sentences(static_cast<std::size_t>(state.range(0)));
  const vexo::ConvertOptions options;
  std::vector<double> nanos;
  for (auto _ : state) {
    vexo::TypingSession session;
    for (const auto& sentence : sentences) {
      for (const std::string& word : sentence) {
        const auto start = std::chrono::steady_clock::now();
        auto result = session.complete_word(word, options);
        const auto stop = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(result);
        nanos.push_back(std::chrono::duration<double, std::nano>(stop - start).count());
      }
    }
  }
  std::sort(nanos.begin(), nanos.end());
  const auto percentile = [&nanos](double p) {
    return nanos[static_cast<std::size_t>(p * static_cast<double>(nanos.size() - 1))];
  };
  state.counters["words"] = static_cast<double>(nanos.size());
  state.counters["median_ns"] = percentile(0.5);
  state.counters["p99_ns"] = percentile(0.99);
  state.counters["max_ns"] = nanos.back();
}
BENCHMARK(BM_CompleteWordLatency)->Arg(3000)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
