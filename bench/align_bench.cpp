// Cost of laying converted paragraphs back over their formatted pieces and of
// collecting the word changes of a whole text.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "cli/align.h"
#include "cli/changes.h"
#include "core/lib.h"

namespace {

const char* const kSentence =
    "O'zbekiston Respublikasi poytaxti Toshkent shahrida ko'plab yangi maktablar qurilmoqda, "
    "bog'da choy ichib, do'stlarim bilan shahar markaziga bordik. ";

// A paragraph of `sentences` sentences cut into pieces of about 40 bytes,
// on character boundaries.
std::vector<vexo::cli::Piece> pieces_of(const std::string& paragraph) {
  std::vector<vexo::cli::Piece> pieces;
  std::size_t start = 0;
  while (start < paragraph.size()) {
    std::size_t end = std::min(paragraph.size(), start + 40);
    while (end < paragraph.size() && (paragraph[end] & 0xC0) == 0x80) ++end;
    pieces.push_back({paragraph.substr(start, end - start), false});
    start = end;
  }
  return pieces;
}

void BM_DistributeParagraph(benchmark::State& state) {
  std::string paragraph;
  for (int k = 0; k < state.range(0); ++k) paragraph += kSentence;
  const std::string converted = vexo::convert(paragraph, vexo::ConvertOptions{});
  const std::vector<vexo::cli::Piece> pieces = pieces_of(paragraph);
  for (auto _ : state) {
    benchmark::DoNotOptimize(vexo::cli::distribute_runs(pieces, paragraph, converted));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(paragraph.size()));
}
BENCHMARK(BM_DistributeParagraph)->Arg(1)->Arg(8)->Arg(64);

// A change of token count makes the whole paragraph one token pair, compared
// character by character through a common-subsequence table of 129 x 129 cells.
void BM_DistributeWholeParagraph(benchmark::State& state) {
  const std::string paragraph = std::string(254, 'a') + " b";
  const std::string converted = std::string(127, 'a') + "c" + std::string(127, 'a') + "b";
  const std::vector<vexo::cli::Piece> pieces = pieces_of(paragraph);
  for (auto _ : state) {
    benchmark::DoNotOptimize(vexo::cli::distribute_runs(pieces, paragraph, converted));
  }
}
BENCHMARK(BM_DistributeWholeParagraph);

void BM_CollectChanges(benchmark::State& state) {
  std::string text;
  while (text.size() < (1u << 20)) text += std::string(kSentence) + "\n";
  const std::string converted = vexo::convert(text, vexo::ConvertOptions{});
  for (auto _ : state) {
    benchmark::DoNotOptimize(vexo::cli::collect_changes(text, converted));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_CollectChanges);

}  // namespace

BENCHMARK_MAIN();
