// What the text service needs from a document that exposes its text: reading
// the text before the caret, replacing a stretch of it in place, and
// inserting at the selection. The COM implementation wraps an ITfContext and
// the edit cookie of a running edit session; tests use an in-memory text.
//
// Every operation reports a failing document call as its HRESULT and leaves
// the text as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tsf/com_types.h"

namespace vexo::tsf {

// The text before the caret, as a document read gives it.
struct CaretText {
  std::u16string text;    // at most the units asked for
  bool at_start = false;  // the read reached the start of the document
};

// A read: the text, nothing (no selection, or a selection that spans text),
// or a failing document call.
struct CaretRead {
  enum class Status : std::uint8_t { Text, NoSelection, Failed };
  Status status = Status::NoSelection;
  CaretText caret;
  HResult hr = kOk;  // the failure, for Status::Failed
};

// A replacement in place.
struct EditResult {
  enum class Status : std::uint8_t { Done, ShiftMismatch, Failed };
  Status status = Status::Done;
  HResult hr = kOk;  // the failure, for Status::Failed
};

class TextDocument {
 public:
  virtual ~TextDocument() = default;

  // Up to `max_units` units before a bare caret; `at_start` when fewer than
  // that many units exist.
  virtual CaretRead read_before_caret(std::size_t max_units) = 0;

  // Replaces the `span_units` units that end `kept_units` units before the
  // caret with `text`, leaving those last `kept_units` units untouched, and
  // puts the caret after them. ShiftMismatch, with nothing changed, when the
  // caret does not have `span_units + kept_units` units before it.
  virtual EditResult replace_before_caret(std::size_t span_units, std::size_t kept_units,
                                          std::u16string_view text) = 0;

  // True when the document is transitory (a short-lived input field whose
  // text is not kept, TS_SS_TRANSITORY); a failing status read counts as not.
  virtual bool is_transitory() = 0;

  // Inserts `text` at the selection (replacing a selected stretch) and puts
  // the caret after it; kOk or the failing call's HRESULT.
  virtual HResult insert_at_selection(std::u16string_view text) = 0;
};

// Asks a document for an edit session: the COM side calls
// ITfContext::RequestEditSession with these flags.
class SessionRequester {
 public:
  virtual ~SessionRequester() = default;

  struct Answer {
    HResult call = kOk;     // the HRESULT of the request itself
    HResult session = kOk;  // the session's own HRESULT (TF_S_ASYNC when queued)
  };
  virtual Answer request(std::uint32_t flags) = 0;
};

}  // namespace vexo::tsf
