// Conversion throughput on Uzbek prose, next to a plain byte copy of the same
// text as a floor.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "core/lib.h"
#include "core/reverse.h"

namespace {

// About 4 MB of old-spelling prose built from a few varied sentences.
const std::string& sample_text() {
  static const std::string text = [] {
    const char* sentences[] = {
        "O'zbekiston Respublikasi poytaxti Toshkent shahrida ko'plab yangi maktablar qurilmoqda. ",
        "Bugun ertalab bog'da choy ichib, do'stlarim bilan shahar markaziga bordik. ",
        "Ma'lumotlarga ko'ra, 2024-yilda eksport hajmi 15 foizga o'sgan, deb xabar berdi SMS-xabar. ",
        "Ishoq aka kitob o'qishni yaxshi ko'radi, ammo bu haftada vaqti bo'lmadi.\n",
        "Yosh olimlar tanlovida g'oliblar aniqlandi: https://kun.uz/news sahifasida batafsil. ",
    };
    std::string out;
    while (out.size() < 4u << 20) {
      for (const char* s : sentences) out += s;
    }
    return out;
  }();
  return text;
}

std::size_t word_count(const std::string& text) {
  std::size_t words = 0;
  bool in_word = false;
  for (const char ch : text) {
    const bool space = ch == ' ' || ch == '\n';
    words += !space && !in_word;
    in_word = !space;
  }
  return words;
}

void report(benchmark::State& state, const std::string& text) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["words/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * word_count(text)), benchmark::Counter::kIsRate);
}

void BM_ByteCopy(benchmark::State& state) {
  const std::string& text = sample_text();
  std::string copy(text.size(), '\0');
  for (auto _ : state) {
    std::memcpy(copy.data(), text.data(), text.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  report(state, text);
}
BENCHMARK(BM_ByteCopy)->Unit(benchmark::kMillisecond);

void BM_Convert(benchmark::State& state) {
  const std::string& text = sample_text();
  const vexo::ConvertOptions options;
  for (auto _ : state) benchmark::DoNotOptimize(vexo::convert(text, options));
  report(state, text);
}
BENCHMARK(BM_Convert)->Unit(benchmark::kMillisecond);

// The text in pieces of kPieceBytes as standard input is converted: each
// piece with a fresh memo (argument 0) or with the memo carried over (1).
void BM_ConvertPieces(benchmark::State& state) {
  const std::string& text = sample_text();
  const vexo::ConvertOptions options;
  const bool carried = state.range(0) != 0;
  for (auto _ : state) {
    vexo::TextEvidence evidence;
    vexo::ConversionMemo memo;
    for (std::string_view rest = text; !rest.empty();) {
      const std::size_t length = vexo::next_piece(rest, true);
      if (!carried) memo = vexo::ConversionMemo();
      benchmark::DoNotOptimize(vexo::convert(rest.substr(0, length), options, evidence, memo));
      rest.remove_prefix(length);
    }
  }
  report(state, text);
}
BENCHMARK(BM_ConvertPieces)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ToOld(benchmark::State& state) {
  const std::string& text = sample_text();
  for (auto _ : state) benchmark::DoNotOptimize(vexo::to_old(text, false));
  report(state, text);
}
BENCHMARK(BM_ToOld)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
