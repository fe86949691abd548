#include "tsf/tracker.h"

namespace vexo::tsf {

void WordTracker::append(char32_t c) {
  if (chars_.size() >= kLimit) {
    tracked_ = false;
    reason_ = "word too long";
  }
  chars_.push_back(c);
}

void WordTracker::backspace() {
  if (chars_.empty()) {
    lose("backspace past word start");
    return;
  }
  chars_.pop_back();
}

void WordTracker::lose(const char* reason) {
  chars_.clear();
  tracked_ = false;
  reason_ = reason;
}

std::optional<std::u32string> WordTracker::take() {
  std::optional<std::u32string> word;
  if (tracked_ && !chars_.empty() && chars_.size() <= kLimit) word = std::move(chars_);
  reset();
  return word;
}

}  // namespace vexo::tsf
