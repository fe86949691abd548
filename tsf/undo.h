// Undo of the last conversion: the record a conversion leaves, the Backspace
// that takes it back, and the exception bookkeeping afterwards (the word is
// left alone from then on, and optionally kept in `exceptions.txt`).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/session.h"
#include "tsf/host.h"
#include "tsf/reload.h"

namespace vexo::tsf {

// The last conversion, kept until the next key that is not Shift or
// Backspace.
struct UndoRecord {
  std::string typed;          // the word as typed, UTF-8
  std::string converted;      // the word the core made of it, UTF-8
  bool via_fallback = false;  // made by synthetic keystrokes, not an edit session
  friend bool operator==(const UndoRecord&, const UndoRecord&) = default;
};

// Which modifier keys are held down (the high bit of GetKeyState).
struct HeldModifiers {
  bool ctrl = false;
  bool alt = false;
  bool shift = false;
  bool left_win = false;
  bool right_win = false;
};

// A plain Backspace right after an edit-session conversion, with
// `undo_backspace` on: the key is eaten and the conversion taken back.
bool is_undo_backspace(unsigned vk, const HeldModifiers& held, bool undo_backspace,
                       const std::optional<UndoRecord>& undo);

// Shift (either one) and Backspace leave the undo record alone; every other
// key that reaches the typed-word tracker drops it.
bool key_keeps_undo(unsigned vk);

// The key of the word's core (the word without the punctuation around it);
// empty when nothing is left.
std::string exception_key(std::string_view word);

// True when the word's key is in the exception list of the options.
bool is_exception(const ConvertOptions& options, std::string_view word);

// After a restored conversion: the word becomes an exception in memory, the
// typing session forgets its context, and with `undo_remember` on the word
// is appended to `exceptions.txt` and the file stamps are taken again so
// that this write is not taken for an outside change. Gives the log lines.
// The caller also resets the typed-word tracker (reason "undo").
std::vector<std::string> after_restore(std::string_view typed, SettingsState& settings,
                                       TypingSession& session);

}  // namespace vexo::tsf
