// Throughput of both Cyrillic directions: Latin prose written in Cyrillic,
// and Cyrillic prose read into the new alphabet by the converter.
#include <benchmark/benchmark.h>

#include <string>

#include "core/lib.h"
#include "core/to_cyr.h"

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

void BM_ConvertCyrillicInput(benchmark::State& state) {
  const std::string& text = cyrillic_text();
  const vexo::ConvertOptions options;
  for (auto _ : state) benchmark::DoNotOptimize(vexo::convert(text, options));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ConvertCyrillicInput)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
