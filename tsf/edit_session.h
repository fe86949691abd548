// The edit sessions that change a document, as decisions over a
// TextDocument: the convert session (a finished word replaced in place), the
// restore session (the undo of a conversion) and the key map insert session.
// A session may run well after the key that asked for it, so each one reads
// and plans the text again and acts only on exactly what was planned.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tsf/document.h"
#include "tsf/undo.h"

namespace vexo::tsf {

// RequestEditSession flags and results.
inline constexpr std::uint32_t kRequestAsyncReadWrite = 0xE;  // TF_ES_ASYNC | TF_ES_READWRITE
inline constexpr std::uint32_t kRequestSyncReadWrite = 0x7;   // TF_ES_SYNC | TF_ES_READWRITE
inline constexpr std::uint32_t kRequestReadWrite = 0x6;       // TF_ES_READWRITE
inline constexpr std::uint32_t kRequestSyncRead = 0x3;        // TF_ES_SYNC | TF_ES_READ
inline constexpr std::uint32_t kRequestRead = 0x2;            // TF_ES_READ
inline constexpr HResult kSynchronousRefused =
    static_cast<HResult>(0x80040208);                  // TF_E_SYNCHRONOUS
inline constexpr HResult kSessionQueued = 0x00040300;  // TF_S_ASYNC

struct ConvertOutcome {
  std::string log;  // "converted", a "skip: ..." reason or "edit session failed hr=..."
  std::optional<UndoRecord> undo;  // set after a Tab, Space or No-Break Space
};

// Replaces `word` and the one separator after it by `converted`. A kept
// separator (Tab, Space, No-Break Space) is written again after the new word;
// a line break is left untouched and the caret goes after it.
ConvertOutcome run_convert_session(TextDocument& document, std::string_view word,
                                   std::string_view converted);

struct RestoreOutcome {
  enum class Status : std::uint8_t { Restored, PlainBackspace, Failed };
  Status status = Status::PlainBackspace;
  std::string log;  // "restore failed hr=..." for Failed
};

// Puts `undo.typed` back where `undo.converted` and its separator stand. Any
// other text before the caret asks for a plain Backspace instead.
RestoreOutcome run_restore_session(TextDocument& document, const UndoRecord& undo);

// Inserts one key map character at the selection; nothing, or the log line
// "insert failed hr=...".
std::optional<std::string> run_insert_session(TextDocument& document, char32_t c);

enum class RequestOutcome : std::uint8_t { Queued, Ran, Failed };

// Asks for a synchronous read-write session; a document that refuses
// synchronous locks (the request succeeds with TF_E_SYNCHRONOUS as the
// session's result) is asked again for one it may run later. Failed when the
// request fails, the session's result is a failure, or the second request is
// refused as well: the session did not run and will not.
RequestOutcome request_now(SessionRequester& requester);

// The undo of an edit-session conversion, once the caller has taken the
// record out of the state (under the state guard) and made a restore session
// of it: the session is requested now. PlainBackspace when it could not be
// requested: the user's Backspace must then still delete a character.
enum class UndoAction : std::uint8_t { Requested, PlainBackspace };
UndoAction undo_tsf(SessionRequester& restore);

inline constexpr std::string_view kPlainBackspaceLog = "undo: text changed, plain backspace";

// A key map character, once the caller has dropped the undo record: the
// insert session is requested now. False, with the log line in `log`, when
// the character has to be sent as a Unicode keystroke instead.
bool insert_character(SessionRequester& insert, std::vector<std::string>& log);

}  // namespace vexo::tsf
