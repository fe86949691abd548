// Word ends in a document that exposes its text. After every edit the text
// before the caret is read again; when it grew by exactly one white-space
// character, the word in front of it is finished and goes to the typing
// session, and a converted word is handed on to the convert edit session.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/session.h"
#include "tsf/document.h"
#include "tsf/plan.h"
#include "tsf/reload.h"
#include "tsf/undo.h"

namespace vexo::tsf {

// The per-instance state of this path, held by the service state.
struct TsfPathState {
  std::u16string previous_text;  // text before the caret at the last end of an edit
  bool fallback_mode = true;     // the document is not (yet) seen to expose its text
  bool no_text_logged = false;   // the "no text before caret" line was written for it
  std::optional<UndoRecord> undo;
};

// The service moved to another document: everything known about the old one
// is forgotten and the new one starts in fallback mode. The caller also
// resets the typed-word tracker.
void rebind(TsfPathState& state, TypingSession& session);

// A word that was just finished by one separator.
struct WordEnd {
  EditPlan plan;
  char16_t separator = u' ';
};

struct EndEditStep {
  std::vector<std::string> log;
  std::optional<WordEnd> word_end;
};

// Steps after an edit, up to the plan: records the text just read as the
// previous text, leaves fallback mode when the document follows the typing
// (`tracked_word` is the typed-word tracker's word, UTF-16), and finds a
// word finished by exactly one appended separator.
EndEditStep detect_word_end(TsfPathState& state, const CaretRead& read,
                            std::u16string_view tracked_word);

// What the convert edit session is asked to put in place.
struct ConvertRequest {
  std::string word;
  std::string converted;
};

struct FinishStep {
  std::vector<std::string> log;
  std::optional<ConvertRequest> request;
};

// The finished word through the settings check and the typing session. A
// line break ends the session's context.
FinishStep finish_word(const WordEnd& end, TypingSession& session, SettingsState& settings,
                       std::int64_t now_ms);

}  // namespace vexo::tsf
