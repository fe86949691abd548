// An in-memory document with a caret, standing in for an application that
// exposes its text, and a driver that types into it the way a user and a
// document would: each unit is inserted at the caret, then the end of the
// edit is handled and a requested convert session runs at once.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tsf/document.h"
#include "tsf/edit_session.h"
#include "tsf/end_edit.h"
#include "tsf/plan.h"
#include "tsf/service.h"
#include "tsf/undo.h"

namespace vexo::tsf::testing {

class FakeDocument : public TextDocument {
 public:
  std::u16string text;
  std::size_t caret = 0;
  std::size_t selection_end = 0;  // beyond the caret: text is selected
  std::optional<HResult> read_failure;
  std::optional<HResult> replace_failure;
  bool transitory = false;

  void type(std::u16string_view units) {
    text.insert(caret, units);
    caret += units.size();
    selection_end = caret;
  }
  void backspace() {
    if (caret == 0) return;
    text.erase(--caret, 1);
    selection_end = caret;
  }

  CaretRead read_before_caret(std::size_t max_units) override {
    if (read_failure) return {CaretRead::Status::Failed, {}, *read_failure};
    if (selection_end > caret) return {};
    const std::size_t n = std::min(max_units, caret);
    return {CaretRead::Status::Text, {text.substr(caret - n, n), n < max_units}, kOk};
  }

  EditResult replace_before_caret(std::size_t span_units, std::size_t kept_units,
                                  std::u16string_view replacement) override {
    if (replace_failure) return {EditResult::Status::Failed, *replace_failure};
    if (caret < span_units + kept_units) return {EditResult::Status::ShiftMismatch, kOk};
    const std::size_t start = caret - span_units - kept_units;
    text.replace(start, span_units, replacement);
    caret = selection_end = start + replacement.size() + kept_units;
    return {};
  }

  bool is_transitory() override { return transitory; }

  HResult insert_at_selection(std::u16string_view units) override {
    text.replace(caret, selection_end - caret, units);
    caret = selection_end = caret + units.size();
    return kOk;
  }
};

// A requester that runs the session when asked, as a document that grants
// synchronous locks does, or answers as told.
class FakeRequester : public SessionRequester {
 public:
  std::vector<Answer> answers;  // given in turn; afterwards: ran
  std::vector<std::uint32_t> flags;

  Answer request(std::uint32_t asked) override {
    flags.push_back(asked);
    if (flags.size() <= answers.size()) return answers[flags.size() - 1];
    return {};
  }
};

// The typing side of the service over a fake document, with a clock that
// the test moves.
struct TypingHost {
  explicit TypingHost(ServiceState& service) : state(service) {}

  ServiceState& state;
  std::optional<UndoRecord> undo;
  FakeDocument document;
  std::int64_t now_ms = 0;
  std::vector<std::string> log;

  // One edit ended: the word-end path up to the convert session, which runs
  // at once.
  void end_edit() {
    EndEditStep step = detect_word_end(state, read_caret_text(document), {});
    log.insert(log.end(), step.log.begin(), step.log.end());
    if (!step.word_end) return;
    FinishStep finish = finish_word(*step.word_end, state, now_ms);
    log.insert(log.end(), finish.log.begin(), finish.log.end());
    if (!finish.request) return;
    ConvertOutcome outcome =
        run_convert_session(document, finish.request->word, finish.request->converted);
    log.push_back(outcome.log);
    if (outcome.undo) undo = std::move(outcome.undo);
    // The session's own edit ends like any other.
    end_edit();
  }

  void type(std::u16string_view units) {
    for (const char16_t unit : units) {
      // Any key but Shift and Backspace ends the chance to undo.
      undo.reset();
      document.type(std::u16string_view(&unit, 1));
      end_edit();
    }
  }

  // A plain Backspace: the undo when there is something to undo, else an
  // ordinary deletion.
  void backspace() {
    if (is_undo_backspace(kVkBackspace, {}, state.files.settings.undo_backspace, undo)) {
      const UndoRecord record = *std::exchange(undo, std::nullopt);
      const RestoreOutcome restored = run_restore_session(document, record);
      if (restored.status == RestoreOutcome::Status::Restored) {
        const auto lines = after_restore(record.typed, state.files, state.session);
        log.insert(log.end(), lines.begin(), lines.end());
        end_edit();
        return;
      }
      log.emplace_back(kPlainBackspaceLog);
    }
    document.backspace();
    end_edit();
  }

  bool has_log(std::string_view line) const {
    return std::find(log.begin(), log.end(), line) != log.end();
  }
};

}  // namespace vexo::tsf::testing
