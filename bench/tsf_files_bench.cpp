// Parsing a megabyte of near-miss settings.ini, exceptions.txt and keymap.txt
// (the files are user-written and may be anything), and the per-key lookup.
#include <benchmark/benchmark.h>

#include <string>

#include "tests/garbage.h"
#include "tsf/keymap.h"
#include "tsf/settings.h"

namespace {

const std::string& garbage() {
  static const std::string text = vexo::test_data::near_miss_file(1u << 20, 7);
  return text;
}

void BM_ParseSettingsMegabyte(benchmark::State& state) {
  for (auto _ : state) {
    vexo::tsf::Settings settings;
    vexo::tsf::parse_settings(garbage(), settings);
    benchmark::DoNotOptimize(settings);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * garbage().size()));
}
BENCHMARK(BM_ParseSettingsMegabyte)->Unit(benchmark::kMillisecond);

void BM_ParseExceptionsMegabyte(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(vexo::tsf::parse_exceptions(garbage()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * garbage().size()));
}
BENCHMARK(BM_ParseExceptionsMegabyte)->Unit(benchmark::kMillisecond);

void BM_ParseKeymapMegabyte(benchmark::State& state) {
  for (auto _ : state) {
    vexo::tsf::KeyMap map;
    vexo::tsf::parse_keymap(garbage(), map);
    benchmark::DoNotOptimize(map);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * garbage().size()));
}
BENCHMARK(BM_ParseKeymapMegabyte)->Unit(benchmark::kMillisecond);

void BM_BuiltinKirill(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(vexo::tsf::builtin_keymap("kirill"));
}
BENCHMARK(BM_BuiltinKirill);

void BM_KeymapLookup(benchmark::State& state) {
  const vexo::tsf::KeyMap map = vexo::tsf::builtin_keymap("tilmoch");
  unsigned scan = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(vexo::tsf::keymap_lookup(map, scan, false, true, false));
    scan = (scan + 1) % vexo::tsf::kScanCodeCount;
  }
}
BENCHMARK(BM_KeymapLookup);

}  // namespace

BENCHMARK_MAIN();
