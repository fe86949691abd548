#include "tsf/end_edit.h"

#include "tsf/handler.h"
#include "tsf/utf16.h"

namespace vexo::tsf {
namespace {

bool ends_word(char16_t c) {
  return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ' || c == u'\u00A0';
}

bool is_line_break(char16_t c) { return c == u'\n' || c == u'\r'; }

std::u16string tracked_word_of(const WordTracker& tracker) {
  std::u16string units;
  if (!tracker.tracked()) return units;
  for (const char32_t c : tracker.chars()) units += utf16_of(c);
  return units;
}

// The document follows the typing when its text changed between two reads,
// or when it ends with the word the key events spelled.
bool mirrors_typing(std::u16string_view old_text, std::u16string_view new_text,
                    std::u16string_view tracked_word) {
  if (!old_text.empty() && !new_text.empty() && old_text != new_text) return true;
  return tracked_word.size() >= 2 && new_text.ends_with(tracked_word);
}

}  // namespace

EndEditStep detect_word_end(ServiceState& state, const CaretRead& read,
                            std::u16string_view tracked_word) {
  EndEditStep step;
  if (read.status == CaretRead::Status::Failed) {
    step.log.push_back(failed_message("end edit", read.hr));
    return step;
  }
  if (read.status == CaretRead::Status::NoSelection) return step;

  const std::u16string old_text = std::move(state.previous_text);
  state.previous_text = read.caret.text;
  const std::u16string_view new_text = state.previous_text;

  bool& fallback_mode = state.fallback.fallback_mode;
  if (fallback_mode && mirrors_typing(old_text, new_text, tracked_word)) {
    fallback_mode = false;
    step.log.emplace_back("context mirrors typing: TSF path");
  }
  if (new_text.empty()) {
    if (!state.no_text_logged) {
      state.no_text_logged = true;
      step.log.emplace_back("no text before caret in this context (app does not expose text)");
    }
    return step;
  }
  if (old_text.empty()) return step;

  const char16_t c = new_text.back();
  const std::u16string_view before = new_text.substr(0, new_text.size() - 1);
  if (!ends_word(c) || before.size() > old_text.size() ||
      std::u16string_view(old_text).substr(old_text.size() - before.size()) != before) {
    return step;
  }
  std::optional<EditPlan> planned = plan(new_text, read.caret.at_start);
  if (!planned) return step;
  step.word_end = WordEnd{std::move(*planned), c};
  return step;
}

FinishStep finish_word(const WordEnd& end, ServiceState& state, std::int64_t now_ms) {
  FinishStep step;
  SettingsState& settings = state.files;
  TypingSession& session = state.session;
  if (!check_fresh(settings, now_ms) || !settings.settings.auto_convert) return step;
  std::optional<Replacement> result =
      session.complete_word(end.plan.word, settings.settings.options);
  if (is_line_break(end.separator)) session.reset();
  if (!result) {
    step.log.emplace_back("word unchanged");
    return step;
  }
  step.request = ConvertRequest{end.plan.word, std::move(result->word)};
  return step;
}

std::optional<ConvertRequest> end_edit(const SharedState& state, const CaretRead& read,
                                       std::int64_t now_ms,
                                       const std::function<void(std::string_view)>& log) {
  std::vector<std::string> lines;
  std::optional<ConvertRequest> request;
  if (auto s = state->take()) {
    EndEditStep step = detect_word_end(*s, read, tracked_word_of(s->fallback.tracker));
    lines = std::move(step.log);
    if (step.word_end) {
      FinishStep finish = finish_word(*step.word_end, *s, now_ms);
      lines.insert(lines.end(), finish.log.begin(), finish.log.end());
      request = std::move(finish.request);
    }
  }
  for (const std::string& line : lines) log(line);
  return request;
}

}  // namespace vexo::tsf
