// Which keys the service takes over in a document that exposes its text: a
// key the key map redefines (its character is inserted through an edit
// session) and the Backspace that undoes the last conversion. The same
// decision serves the test phase (is the key eaten?) and the key-down phase
// (what is done with it).
#pragma once

#include <cstdint>
#include <optional>

#include "tsf/com_types.h"
#include "tsf/host.h"
#include "tsf/reload.h"
#include "tsf/undo.h"

namespace vexo::tsf {

// What a key looks like to the service: the virtual key, the key message's
// lParam (scan code in bits 16 to 23), and the keyboard state around it.
struct KeyPress {
  unsigned vk = 0;
  std::uint32_t lparam = 0;
  HeldModifiers held;
  bool caps_lock = false;  // Caps Lock toggled on
};

// The modifiers held as of the key message being handled.
HeldModifiers held_modifiers(const KeyState& keys);

// Digits, letters, the punctuation keys and the extra key of some keyboards:
// the keys a key map can redefine.
bool is_character_key(unsigned vk);

// The scan code a key message carries.
constexpr std::uint8_t scan_code_of_lparam(std::uint32_t lparam) {
  return static_cast<std::uint8_t>((lparam >> 16) & 0xFF);
}

// The character the loaded key map gives for the key, while the service is
// active; nothing for keys pressed with Ctrl, Alt or Win, and for keys the
// map leaves alone.
std::optional<char32_t> mapped_character(const SettingsState& settings, const KeyPress& key);

struct KeyDecision {
  enum class Action : std::uint8_t { Pass, InsertMapped, UndoBackspace };
  Action action = Action::Pass;
  char32_t character = 0;  // for InsertMapped
};

// The decision for a key in a context that is not transitory.
KeyDecision decide_key(const SettingsState& settings, const std::optional<UndoRecord>& undo,
                       const KeyPress& key);

// The character of one of the service's preserved keys (AltGr, or AltGr
// with Shift, on a key position): the AltGr layer of the loaded key map,
// while the service is active. Nothing for a GUID that is not the service's.
std::optional<char32_t> preserved_key_character(const SettingsState& settings, const Guid& guid,
                                                bool caps_lock);

}  // namespace vexo::tsf
