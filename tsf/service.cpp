#include "tsf/service.h"

#include <atomic>
#include <string>
#include <utility>

#include "tsf/keymap.h"
#include "tsf/platform.h"

namespace vexo::tsf {
namespace {

constexpr Guid kPreservedKeyBase = {
    0xC4EC0000, 0x6C4E, 0x47B1, {0xA3, 0xD5, 0x2E, 0x9F, 0x0B, 0x6C, 0x1D, 0x84}};
constexpr std::u16string_view kKeyDescription = u"vexo";

// The AltGr keys the key map defines and the keyboard layout can produce:
// each with and without Shift.
std::vector<PreservedKey> altgr_keys(const KeyMap& keymap, ServiceHost& host) {
  std::vector<PreservedKey> keys;
  for (const KeyPosition& position : key_positions()) {
    if (!keymap.get(position.scan, Cell::AltGr) && !keymap.get(position.scan, Cell::AltGrShift)) {
      continue;
    }
    const std::uint32_t vk = host.virtual_key_of(position.scan);
    if (vk == 0) continue;
    keys.push_back({vk, kModRightAlt, preserved_key_guid(position.scan, false)});
    keys.push_back({vk, kModRightAlt | kModShift, preserved_key_guid(position.scan, true)});
  }
  return keys;
}

}  // namespace

Guid preserved_key_guid(std::uint8_t scan, bool shift) {
  Guid guid = kPreservedKeyBase;
  guid.data1 |= static_cast<std::uint32_t>(scan) << 8 | (shift ? 1u : 0u);
  return guid;
}

std::optional<std::pair<std::uint8_t, bool>> parse_preserved_key_guid(const Guid& guid) {
  Guid base = guid;
  base.data1 &= 0xFFFF0000u;
  if (base != kPreservedKeyBase) return std::nullopt;
  return std::pair{static_cast<std::uint8_t>(guid.data1 >> 8), (guid.data1 & 1u) != 0};
}

void rebind(const SharedState& state, DocumentManager* document, ServiceHost& host) {
  std::unique_ptr<EditSinkAdvice> previous;
  if (auto s = state->take()) {
    previous = std::move(s->edit_sink);
    s->previous_text.clear();
    s->session.reset();
    s->no_text_logged = false;
    s->fallback.fallback_mode = true;
    s->fallback.tracker.reset();
    s->fallback.tested.reset();
    s->undo.reset();
    s->hides_text.reset();
    s->protected_logged = false;
  }
  if (previous) previous->unadvise();
  if (document == nullptr) return;

  std::unique_ptr<EditSinkAdvice> advice;
  const HResult hr = document->advise_edit_sink(advice);
  if (failed(hr) || !advice) {
    host.log("advise edit sink failed hr=" + format_hr(failed(hr) ? hr : kUnexpected));
    return;
  }
  if (auto s = state->take()) {
    s->edit_sink = std::move(advice);
  } else {
    advice->unadvise();
  }
}

void rebind_to_focus(const SharedState& state, ServiceHost& host) {
  std::shared_ptr<ThreadManager> manager;
  if (auto s = state->take()) manager = s->thread_manager;
  if (!manager) return;
  const std::unique_ptr<DocumentManager> focused = manager->focused_document();
  rebind(state, focused.get(), host);
}

void refresh_preserved_keys(const SharedState& state, ServiceHost& host) {
  std::shared_ptr<ThreadManager> manager;
  std::uint32_t client_id = 0;
  std::vector<PreservedKey> old_keys;
  std::vector<PreservedKey> new_keys;
  {
    auto s = state->take();
    if (!s || !s->files.keys_stale || !s->thread_manager) return;
    s->files.keys_stale = false;
    if (s->files.active && s->files.keymap) new_keys = altgr_keys(*s->files.keymap, host);
    old_keys = std::exchange(s->preserved_keys, {});
    manager = s->thread_manager;
    client_id = s->client_id;
  }
  for (const PreservedKey& key : old_keys) manager->unpreserve_key(key);
  std::vector<PreservedKey> kept;
  for (const PreservedKey& key : new_keys) {
    const HResult hr = manager->preserve_key(client_id, key, kKeyDescription);
    if (failed(hr)) {
      host.log("preserve key failed hr=" + format_hr(hr));
    } else {
      kept.push_back(key);
    }
  }
  const std::size_t count = kept.size();
  if (auto s = state->take()) s->preserved_keys = std::move(kept);
  host.log("altgr keys: " + std::to_string(count));
}

HResult activate(const SharedState& state, std::shared_ptr<ThreadManager> thread_manager,
                 std::uint32_t client_id, ServiceHost& host) {
  if (!thread_manager) return kPointerError;

  // The files are read before the state is touched.
  Profile profile;
  if (auto s = state->take()) {
    profile = s->files.profile;
  } else {
    return kUnexpected;
  }
  const Stamps stamps = take_stamps(profile);
  Settings settings = load_settings(profile);

  if (auto s = state->take()) {
    s->thread_manager = thread_manager;
    s->client_id = client_id;
    s->files.stamps = stamps;
    s->files.last_check_ms = platform::monotonic_milliseconds();
    apply(s->files, std::move(settings));
  } else {
    return kUnexpected;
  }

  std::uint32_t cookie = 0;
  if (const HResult hr = thread_manager->advise_thread_sink(cookie); failed(hr)) return hr;
  if (auto s = state->take()) s->thread_sink_cookie = cookie;

  if (const HResult hr = thread_manager->advise_key_sink(client_id); failed(hr)) {
    host.log("advise key sink failed hr=" + format_hr(hr));
  } else if (auto s = state->take()) {
    s->key_sink_advised = true;
  }
  refresh_preserved_keys(state, host);

  if (std::unique_ptr<DocumentManager> focused = thread_manager->focused_document()) {
    rebind(state, focused.get(), host);
  }

  // An AppContainer process (a Store app, Edge) may not read the user's
  // settings folder: the service then runs with the defaults, said once.
  static std::atomic<bool> unreadable_logged{false};
  if (profile.settings_dir && platform::access_denied(*profile.settings_dir) &&
      !unreadable_logged.exchange(true)) {
    host.log("settings folder not readable here (app container): defaults in use");
  }

  // The word lists are built on first use anyway; without the thread the
  // first word only takes longer, which is no reason to stop the host.
  if (!host.start_warm_up()) host.log("warm-up thread failed");

  bool active = false;
  if (auto s = state->take()) active = s->files.active;
  host.log(active ? "activate" : "activate: off for this app (settings)");
  return kOk;
}

void deactivate(const SharedState& state, ServiceHost& host) {
  rebind(state, nullptr, host);

  std::shared_ptr<ThreadManager> manager;
  std::optional<std::uint32_t> cookie;
  std::vector<PreservedKey> keys;
  bool key_sink_advised = false;
  std::uint32_t client_id = 0;
  if (auto s = state->take()) {
    manager = std::move(s->thread_manager);
    cookie = std::exchange(s->thread_sink_cookie, std::nullopt);
    keys = std::exchange(s->preserved_keys, {});
    key_sink_advised = std::exchange(s->key_sink_advised, false);
    client_id = s->client_id;
    s->files.keys_stale = true;
  }
  if (manager) {
    if (cookie) manager->unadvise_thread_sink(*cookie);
    for (const PreservedKey& key : keys) manager->unpreserve_key(key);
    if (key_sink_advised) manager->unadvise_key_sink(client_id);
  }
  manager.reset();
  host.log("deactivate");
}

}  // namespace vexo::tsf
