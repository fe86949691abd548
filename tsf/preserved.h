// The AltGr layer of the key map as TSF preserved keys. Each key position
// with an AltGr or AltGr+Shift character is preserved twice (Right Alt, and
// Right Alt with Shift) under a GUID that carries its scan code and Shift
// flag: {C4ECxxyy-6C4E-47B1-A3D5-2E9F0B6C1D84}, xx the scan code, bit 0 of
// yy the Shift flag.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "tsf/keymap.h"

namespace vexo::tsf {

inline constexpr unsigned kModRightAlt = 0x08;  // TF_MOD_RALT
inline constexpr unsigned kModShift = 0x04;     // TF_MOD_SHIFT

// A GUID in its Windows layout.
struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};
  friend bool operator==(const Guid&, const Guid&) = default;
};

struct PreservedKey {
  unsigned vk = 0;
  unsigned modifiers = 0;
  Guid guid;
  friend bool operator==(const PreservedKey&, const PreservedKey&) = default;
};

// The GUID of the preserved key for one scan code and Shift state.
Guid preserved_key_guid(std::uint8_t scan, bool shift);

struct AltGrKey {
  std::uint8_t scan = 0;
  bool shift = false;
};

// The key a GUID names; nothing for a GUID that is not the service's.
std::optional<AltGrKey> parse_preserved_key_guid(const Guid& guid);

// The character of a preserved key: the AltGr layer of the loaded key map,
// while the service is active. Nothing for a GUID that is not the service's.
struct SettingsState;
std::optional<char32_t> preserved_key_character(const SettingsState& settings, const Guid& guid,
                                                bool caps_lock);

// The keys to preserve for a key map, in key-position order. `virtual_key`
// maps a scan code to a virtual key of the current keyboard layout (0 when
// it has none); positions without one are left out.
std::vector<PreservedKey> altgr_preserved_keys(
    const KeyMap& map, const std::function<unsigned(std::uint8_t)>& virtual_key);

}  // namespace vexo::tsf
