// The edit sessions as COM objects (ITfEditSession) that TSF runs with a
// cookie: each one holds its context and hands the decision to the portable
// session in tsf/edit_session.h. Results that touch the service state go
// through callbacks, which take the state guard themselves.
//
// Each function returns a new session with one reference, or null when out
// of memory. A failure inside a session is logged as "panic in {label}".
#pragma once

#include <msctf.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tsf/end_edit.h"
#include "tsf/undo.h"

namespace vexo::tsf {

using LogFn = std::function<void(std::string_view)>;

// Replaces the planned word; `record_undo` receives the undo record when the
// separator after the word was kept. Label "edit session".
ITfEditSession* new_convert_session(ITfContext* context, ConvertRequest request, LogFn log,
                                    std::function<void(UndoRecord)> record_undo);

// What the restore session reports back to the undo.
struct RestoreHooks {
  LogFn log;
  std::function<void(const std::string& typed)> restored;  // then after_restore
  std::function<void()> plain_backspace;                   // the text changed meanwhile
};

// Puts the typed word back; `ran` is set to 1 when the session runs. Label
// "restore".
ITfEditSession* new_restore_session(ITfContext* context, UndoRecord undo,
                                    std::shared_ptr<std::uint8_t> ran, RestoreHooks hooks);

// Inserts one key map character; `inserted` is set to 1 when it went in.
// Label "insert".
ITfEditSession* new_insert_session(ITfContext* context, char32_t c,
                                   std::shared_ptr<std::uint8_t> inserted, LogFn log);

// Reads whether the context's input scope hides its text (a password or PIN
// field) and hands the answer to `found`; nothing when it cannot be read.
// Label "input scope".
ITfEditSession* new_scope_session(ITfContext* context, LogFn log,
                                  std::function<void(bool hides_text)> found);

}  // namespace vexo::tsf
