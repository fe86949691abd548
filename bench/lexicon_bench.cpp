// Word-list lookups per second: exact hits, unknown words that go through the
// whole suffix search, and the suffix-stripping lookup over the words of
// Uzbek prose. The size of the embedded tables is reported as counters.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/lexicon.h"
#include "core/lib.h"
#include "core/token.h"

namespace {

// Every 97th word of a lexicon: a spread of real keys of every length.
std::vector<std::string_view> sampled_words(const vexo::Lexicon& lexicon) {
  std::vector<std::string_view> out;
  for (std::size_t i = 0; i + 1 < lexicon.offsets.size(); i += 97) {
    out.push_back(lexicon.words.substr(lexicon.offsets[i], lexicon.offsets[i + 1] - lexicon.offsets[i]));
  }
  return out;
}

// Keys absent from the lexicon that end in chains of listed suffixes, so
// that both levels of the suffix search run.
std::vector<std::string> unknown_words() {
  std::vector<std::string> out;
  for (const char* stem : {"qwerty", "zxcvbn", "plomtrex", "grubvak"}) {
    for (const char* ending : {"larimizdagi", "laridagi", "ingizning", "chilikdan", "lardagilar",
                               "imizni", "sizlik", "dagini", "ganlarni", "moqdami"}) {
      out.push_back(std::string(stem) + ending);
    }
  }
  return out;
}

// The keys of the words of a few paragraphs of everyday Uzbek prose.
std::vector<std::string> prose_keys() {
  const char* text =
      "Kecha kechqurun do'stlarim bilan shahar markazidagi yangi kutubxonaga bordik. "
      "U yerda bolalar uchun alohida xona, kattalar uchun esa o'qish zali bor ekan. "
      "Kutubxonachi bizga eng ko'p o'qiladigan kitoblarni ko'rsatdi va a'zolik "
      "kartasini qanday olish mumkinligini tushuntirdi. Men tarixga oid ikkita kitob "
      "oldim, singlim esa ertaklar to'plamini tanladi. Uyga qaytayotganimizda yomg'ir "
      "yog'a boshladi, shuning uchun bekatda avtobusni kutib turdik. Ertaga ertalab "
      "maktabda o'qituvchimiz yangi mavzuni tushuntiradi, keyin esa sinfdoshlarimiz "
      "bilan birgalikda loyiha ustida ishlaymiz. Ota-onamiz bizning o'qishimizga "
      "doimo e'tibor berishadi va har kuni kechqurun qanday baholar olganimizni "
      "so'rashadi. Qishloqdagi buvimning bog'ida olma, o'rik va uzum yetishtiriladi; "
      "yozda biz u yerga borib, hosilni yig'ishtirishga yordam beramiz.";
  std::vector<std::string> keys;
  for (const vexo::WordSpan& span : vexo::split_spans(text)) {
    const std::string_view word(text + span.start, span.end - span.start);
    keys.push_back(vexo::word_key(vexo::split_word(word).core));
  }
  return keys;
}

template <typename Keys, typename Lookup>
void run(benchmark::State& state, const Keys& keys, Lookup&& lookup) {
  std::size_t found = 0;
  for (auto _ : state) {
    for (const auto& key : keys) found += lookup(key).found;
    benchmark::DoNotOptimize(found);
  }
  state.counters["lookups/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * keys.size()), benchmark::Counter::kIsRate);
  state.counters["found%"] = 100.0 * static_cast<double>(found) /
                             static_cast<double>(state.iterations() * keys.size());
}

void BM_UzbekExactFound(benchmark::State& state) {
  const auto keys = sampled_words(vexo::uzbek_lexicon());
  run(state, keys, [](std::string_view k) { return vexo::lexicon_lookup(vexo::uzbek_lexicon(), k); });
}
BENCHMARK(BM_UzbekExactFound);

void BM_EnglishExactFound(benchmark::State& state) {
  const auto keys = sampled_words(vexo::english_lexicon());
  run(state, keys, [](std::string_view k) { return vexo::lexicon_lookup(vexo::english_lexicon(), k); });
}
BENCHMARK(BM_EnglishExactFound);

void BM_UzbekLookupUnknown(benchmark::State& state) {
  const auto keys = unknown_words();
  run(state, keys, [](std::string_view k) { return vexo::uzbek_lookup(k); });
}
BENCHMARK(BM_UzbekLookupUnknown);

void BM_UzbekLookupProse(benchmark::State& state) {
  const auto keys = prose_keys();
  run(state, keys, [](std::string_view k) { return vexo::uzbek_lookup(k); });
}
BENCHMARK(BM_UzbekLookupProse);

std::size_t table_bytes(const vexo::Lexicon& lexicon) {
  return lexicon.words.size() + 4 * (lexicon.offsets.size() + lexicon.weights.size() + lexicon.slots.size());
}

// Not a timing: the read-only bytes each embedded table occupies.
void BM_EmbeddedSize(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(vexo::uzbek_lexicon().words.data());
  state.counters["uzbek_bytes"] = static_cast<double>(table_bytes(vexo::uzbek_lexicon()));
  state.counters["english_bytes"] = static_cast<double>(table_bytes(vexo::english_lexicon()));
  state.counters["sh_bytes"] = static_cast<double>(table_bytes(vexo::sh_exception_lexicon()));
}
BENCHMARK(BM_EmbeddedSize)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
