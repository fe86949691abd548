#include "tsf/edit_session.h"

#include "tsf/handler.h"
#include "tsf/plan.h"
#include "tsf/utf16.h"

namespace vexo::tsf {
namespace {

bool keeps_separator(char16_t c) { return c == u'\t' || c == u' ' || c == u'\u00A0'; }

}  // namespace

ConvertOutcome run_convert_session(TextDocument& document, std::string_view word,
                                   std::string_view converted) {
  const CaretRead read = read_caret_text(document);
  if (read.status == CaretRead::Status::Failed)
    return {failed_message("edit session", read.hr), {}};
  if (read.status == CaretRead::Status::NoSelection) return {"skip: selection changed", {}};

  const std::optional<EditPlan> planned = plan(read.caret.text, read.caret.at_start);
  if (!planned) return {"skip: word gone", {}};
  if (planned->word != word || planned->separators != 1)
    return {"skip: text changed meanwhile", {}};

  const char16_t separator = read.caret.text.empty() ? u' ' : read.caret.text.back();
  const bool kept = keeps_separator(separator);
  std::u16string text = utf8_to_utf16(converted);
  if (kept) text += separator;
  const EditResult edit = kept ? document.replace_before_caret(planned->word_units + 1, 0, text)
                               : document.replace_before_caret(planned->word_units, 1, text);
  switch (edit.status) {
    case EditResult::Status::ShiftMismatch:
      return {"skip: range shift mismatch", {}};
    case EditResult::Status::Failed:
      return {failed_message("edit session", edit.hr), {}};
    case EditResult::Status::Done:
      break;
  }
  std::optional<UndoRecord> undo;
  if (kept) undo = UndoRecord{std::string(word), std::string(converted), false};
  return {"converted", std::move(undo)};
}

RestoreOutcome run_restore_session(TextDocument& document, const UndoRecord& undo) {
  using Status = RestoreOutcome::Status;
  const CaretRead read = read_caret_text(document);
  if (read.status == CaretRead::Status::Failed) {
    return {Status::Failed, failed_message("restore", read.hr)};
  }
  if (read.status == CaretRead::Status::NoSelection) return {Status::PlainBackspace, {}};
  const std::optional<EditPlan> planned = plan(read.caret.text, read.caret.at_start);
  if (!planned || planned->word != undo.converted || planned->separators != 1) {
    return {Status::PlainBackspace, {}};
  }
  const EditResult edit =
      document.replace_before_caret(planned->word_units + 1, 0, utf8_to_utf16(undo.typed));
  if (edit.status != EditResult::Status::Done) return {Status::PlainBackspace, {}};
  return {Status::Restored, {}};
}

std::optional<std::string> run_insert_session(TextDocument& document, char32_t c) {
  const HResult hr = document.insert_at_selection(utf16_of(c));
  if (failed(hr)) return failed_message("insert", hr);
  return std::nullopt;
}

RequestOutcome request_now(SessionRequester& requester) {
  SessionRequester::Answer answer = requester.request(kRequestSyncReadWrite);
  // The refusal is documented in the session's result; a context that
  // reports it as the call's result is taken the same way.
  if (answer.session == kSynchronousRefused || answer.call == kSynchronousRefused)
    answer = requester.request(kRequestReadWrite);
  if (failed(answer.call) || failed(answer.session)) return RequestOutcome::Failed;
  return answer.session == kSessionQueued ? RequestOutcome::Queued : RequestOutcome::Ran;
}

UndoAction undo_tsf(SessionRequester& restore) {
  return request_now(restore) == RequestOutcome::Failed ? UndoAction::PlainBackspace
                                                        : UndoAction::Requested;
}

bool insert_character(SessionRequester& insert, std::vector<std::string>& log) {
  if (request_now(insert) != RequestOutcome::Failed) return true;
  log.emplace_back("keymap: edit session failed, sending as unicode key");
  return false;
}

}  // namespace vexo::tsf
