// The C interface from many threads at once, starting cold: the word lists
// are built on first use while other threads convert and warm up. Run under
// ThreadSanitizer (VEXO_TSAN) to catch data races.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "tsf/vexo.h"

namespace {

std::string take(char* text) {
  std::string copy = text != nullptr ? text : "(null)";
  vexo_free(text);
  return copy;
}

// Тошкент шаҳри
constexpr const char* kToshkentCyr =
    "\u0422\u043e\u0448\u043a\u0435\u043d\u0442 \u0448\u0430\u04b3\u0440\u0438";

TEST(CApiThreads, ConcurrentFirstUseGivesTheSameResults) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 50;
  std::atomic<int> ready{0};
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      vexo_session* session = vexo_session_new();
      for (int round = 0; round < kRounds; ++round) {
        if ((t + round) % 3 == 0) vexo_warm_up();
        if (take(vexo_convert("O'zbekiston shahar", 0)) != "\u00d6zbekiston \u015fahar") {
          mismatches.fetch_add(1);
        }
        if (take(vexo_to_old("\u00f6zbek", 1)) != "o'zbek") mismatches.fetch_add(1);
        if (take(vexo_to_cyrillic("Toshkent shahri")) != kToshkentCyr) mismatches.fetch_add(1);
        std::uint32_t count = 0;
        if (take(vexo_session_complete_word(session, "choy", 0, &count)) != "\u00e7oy" ||
            count != 4) {
          mismatches.fetch_add(1);
        }
        if (round % 10 == 9) vexo_session_reset(session);
      }
      vexo_session_free(session);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
