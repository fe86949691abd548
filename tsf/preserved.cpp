#include "tsf/preserved.h"

#include "tsf/reload.h"

namespace vexo::tsf {
namespace {

constexpr std::uint32_t kGuidPrefix = 0xC4EC0000;
constexpr std::uint16_t kGuidData2 = 0x6C4E;
constexpr std::uint16_t kGuidData3 = 0x47B1;
constexpr std::array<std::uint8_t, 8> kGuidData4 = {0xA3, 0xD5, 0x2E, 0x9F, 0x0B, 0x6C, 0x1D, 0x84};

}  // namespace

Guid preserved_key_guid(std::uint8_t scan, bool shift) {
  const std::uint32_t low = static_cast<std::uint32_t>(scan) << 8 | (shift ? 1u : 0u);
  return Guid{kGuidPrefix | low, kGuidData2, kGuidData3, kGuidData4};
}

std::optional<AltGrKey> parse_preserved_key_guid(const Guid& guid) {
  if ((guid.data1 & 0xFFFF0000u) != kGuidPrefix || guid.data2 != kGuidData2 ||
      guid.data3 != kGuidData3 || guid.data4 != kGuidData4) {
    return std::nullopt;
  }
  return AltGrKey{static_cast<std::uint8_t>(guid.data1 >> 8 & 0xFF), (guid.data1 & 1u) != 0};
}

std::optional<char32_t> preserved_key_character(const SettingsState& settings, const Guid& guid,
                                                bool caps_lock) {
  const std::optional<AltGrKey> key = parse_preserved_key_guid(guid);
  if (!key || !settings.active || !settings.keymap) return std::nullopt;
  return keymap_lookup(*settings.keymap, key->scan, key->shift, caps_lock, true);
}

std::vector<PreservedKey> altgr_preserved_keys(
    const KeyMap& map, const std::function<unsigned(std::uint8_t)>& virtual_key) {
  std::vector<PreservedKey> keys;
  for (const KeyPosition& position : key_positions()) {
    if (!map.get(position.scan, Cell::AltGr) && !map.get(position.scan, Cell::AltGrShift)) continue;
    const unsigned vk = virtual_key(position.scan);
    if (vk == 0) continue;
    keys.push_back({vk, kModRightAlt, preserved_key_guid(position.scan, false)});
    keys.push_back({vk, kModRightAlt | kModShift, preserved_key_guid(position.scan, true)});
  }
  return keys;
}

}  // namespace vexo::tsf
