#include "tsf/key_decision.h"

#include "tsf/service.h"

namespace vexo::tsf {

HeldModifiers held_modifiers(const KeyState& keys) {
  return {keys.is_down(0x11), keys.is_down(0x12), keys.is_down(0x10), keys.is_down(0x5B),
          keys.is_down(0x5C)};
}

bool is_character_key(unsigned vk) {
  return (vk >= 0x30 && vk <= 0x39) || (vk >= 0x41 && vk <= 0x5A) || (vk >= 0xBA && vk <= 0xC0) ||
         (vk >= 0xDB && vk <= 0xDF) || vk == 0xE2;
}

std::optional<char32_t> mapped_character(const SettingsState& settings, const KeyPress& key) {
  if (!settings.active || !settings.keymap || !is_character_key(key.vk)) return std::nullopt;
  if (key.held.ctrl || key.held.alt || key.held.left_win || key.held.right_win) return std::nullopt;
  return keymap_lookup(*settings.keymap, scan_code_of_lparam(key.lparam), key.held.shift,
                       key.caps_lock, false);
}

KeyDecision decide_key(const SettingsState& settings, const std::optional<UndoRecord>& undo,
                       const KeyPress& key) {
  if (const std::optional<char32_t> c = mapped_character(settings, key)) {
    return {KeyDecision::Action::InsertMapped, *c};
  }
  if (is_undo_backspace(key.vk, key.held, settings.settings.undo_backspace, undo)) {
    return {KeyDecision::Action::UndoBackspace, 0};
  }
  return {};
}

std::optional<char32_t> preserved_key_character(const SettingsState& settings, const Guid& guid,
                                                bool caps_lock) {
  const auto key = parse_preserved_key_guid(guid);
  if (!key || !settings.active || !settings.keymap) return std::nullopt;
  return keymap_lookup(*settings.keymap, key->first, key->second, caps_lock, true);
}

}  // namespace vexo::tsf
