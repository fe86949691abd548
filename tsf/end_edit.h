// Word ends in a document that exposes its text. After every edit the text
// before the caret is read again; when it grew by exactly one white-space
// character, the word in front of it is finished and goes to the typing
// session, and a converted word is handed on to the convert edit session.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tsf/document.h"
#include "tsf/plan.h"
#include "tsf/service.h"

namespace vexo::tsf {

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
EndEditStep detect_word_end(ServiceState& state, const CaretRead& read,
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
FinishStep finish_word(const WordEnd& end, ServiceState& state, std::int64_t now_ms);

// The whole end of an edit on the shared state, given the text just read
// with the read-only cookie: the state is taken only for these decisions and
// given back before the caller requests the convert session from TSF. The
// typed-word tracker's word tells whether the document follows the typing.
// Log lines go to `log`; a state found busy (a re-entrant call) decides
// nothing.
std::optional<ConvertRequest> end_edit(const SharedState& state, const CaretRead& read,
                                       std::int64_t now_ms,
                                       const std::function<void(std::string_view)>& log);

}  // namespace vexo::tsf
