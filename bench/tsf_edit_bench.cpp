// Time of one word end in a document that exposes its text: the end of the
// edit that typed a Space, the plan, the typing session and the convert
// session that replaces the word, over an in-memory document. The text
// service watches a budget of 25 ms per key.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "tests/fake_document.h"

namespace {

using vexo::tsf::Profile;
using vexo::tsf::ServiceState;
using vexo::tsf::testing::TypingHost;

void BM_WordEnd(benchmark::State& bench) {
  const std::vector<std::u16string> words = {u"shahar", u"so'z", u"o'zbek",    u"kitob",
                                             u"bog'da", u"choy", u"Microsoft", u"ko'plab"};
  ServiceState service(Profile{std::nullopt, "notepad.exe"});
  vexo::tsf::load_files(service.files);
  TypingHost host(service);
  host.type(u"Men bu ");  // leaves fallback mode, builds the word lists
  std::size_t i = 0;
  for (auto _ : bench) {
    bench.PauseTiming();
    const std::u16string before = u"Men bu " + words[i++ % words.size()];
    host.document.text = before;
    host.document.caret = host.document.selection_end = before.size();
    host.state.previous_text = before;
    host.log.clear();
    bench.ResumeTiming();

    host.document.type(u" ");
    host.end_edit();
    benchmark::DoNotOptimize(host.document.text.data());
  }
}
BENCHMARK(BM_WordEnd)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
