#include "tsf/reload.h"

#include "tsf/platform.h"

namespace vexo::tsf {

void apply(SettingsState& state, Settings settings) {
  const bool active = is_active_for(settings, state.profile.executable);
  std::optional<KeyMap> keymap = load_keymap(settings, state.profile);
  if (active != state.active || keymap != state.keymap) state.keys_stale = true;
  state.active = active;
  state.keymap = std::move(keymap);
  state.settings = std::move(settings);
}

void load_files(SettingsState& state) {
  state.stamps = take_stamps(state.profile);
  apply(state, load_settings(state.profile));
}

bool check_fresh(SettingsState& state, std::int64_t now_ms) {
  if (state.last_check_ms && now_ms >= *state.last_check_ms &&
      now_ms - *state.last_check_ms < kCheckIntervalMs) {
    return state.active;
  }
  state.last_check_ms = now_ms;
  const Stamps stamps = take_stamps(state.profile);
  if (state.stamps == stamps) return state.active;
  state.stamps = stamps;
  apply(state, load_settings(state.profile));
  if (state.log != nullptr) {
    state.log->write(state.active ? "settings reloaded: active"
                                  : "settings reloaded: off for this app");
  }
  return state.active;
}

bool check_fresh(SettingsState& state) {
  return check_fresh(state, platform::monotonic_milliseconds());
}

void refresh_stamps(SettingsState& state) { state.stamps = take_stamps(state.profile); }

}  // namespace vexo::tsf
