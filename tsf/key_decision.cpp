#include "tsf/key_decision.h"

#include "tsf/service.h"

namespace vexo::tsf {

HeldModifiers held_modifiers(const KeyState& keys) {
  return {keys.is_down(0x11), keys.is_down(0x12), keys.is_down(0x10), keys.is_down(0x5B),
          keys.is_down(0x5C)};
}

std::optional<char32_t> preserved_key_character(const SettingsState& settings, const Guid& guid,
                                                bool caps_lock) {
  const auto key = parse_preserved_key_guid(guid);
  if (!key || !settings.active || !settings.keymap) return std::nullopt;
  return keymap_lookup(*settings.keymap, key->first, key->second, caps_lock, true);
}

}  // namespace vexo::tsf
