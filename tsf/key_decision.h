// Key facts the text service's handlers share: the modifiers held with a key
// and the characters of the service's preserved AltGr keys.
#pragma once

#include <cstdint>
#include <optional>

#include "tsf/com_types.h"
#include "tsf/host.h"
#include "tsf/reload.h"
#include "tsf/undo.h"

namespace vexo::tsf {

// The modifiers held as of the key message being handled.
HeldModifiers held_modifiers(const KeyState& keys);

// The character of one of the service's preserved keys (AltGr, or AltGr
// with Shift, on a key position): the AltGr layer of the loaded key map,
// while the service is active. Nothing for a GUID that is not the service's.
std::optional<char32_t> preserved_key_character(const SettingsState& settings, const Guid& guid,
                                                bool caps_lock);

}  // namespace vexo::tsf
