// The loaded settings and key map of one text service instance, and the rule
// that keeps them in step with the files: at most one metadata check per
// second, and a reload only when a file's stamp has changed.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "tsf/keymap.h"
#include "tsf/log.h"
#include "tsf/profile.h"
#include "tsf/settings.h"

namespace vexo::tsf {

inline constexpr std::int64_t kCheckIntervalMs = 1000;

struct SettingsState {
  // Default settings and no key map until the files are loaded.
  explicit SettingsState(Profile where, const Log* reload_log = nullptr)
      : profile(std::move(where)), log(reload_log) {}

  Profile profile;
  const Log* log = nullptr;  // where reloads are reported; null reports nothing
  Settings settings;
  std::optional<KeyMap> keymap;
  std::optional<Stamps> stamps;               // as last loaded; nothing before the first load
  std::optional<std::int64_t> last_check_ms;  // monotonic time of the last metadata check
  bool active = false;     // the service converts and maps keys in this process
  bool keys_stale = true;  // the preserved keys must be rebuilt from the key map
};

// Computes the active flag from `enabled` and the executable name, loads the
// key map, marks the preserved keys stale when either changed, and stores the
// settings.
void apply(SettingsState& state, Settings settings);

// Takes the stamps, then loads and applies the settings, as at activation.
void load_files(SettingsState& state);

// The reload rule, with the monotonic time in milliseconds. Within a second of
// the last check nothing is looked at; otherwise a changed stamp reloads the
// files and logs "settings reloaded: active" or "settings reloaded: off for
// this app". Returns whether the service is active in this process.
bool check_fresh(SettingsState& state, std::int64_t now_ms);
bool check_fresh(SettingsState& state);

// Takes the stamps again without reloading, after the service itself wrote
// one of the files, so that its own write is not taken for an outside change.
void refresh_stamps(SettingsState& state);

}  // namespace vexo::tsf
