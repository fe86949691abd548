// The state of one text service instance and its life between TSF's
// activation and deactivation.
//
// A `ServiceState` is created with each `TextService` object and shared with
// the edit sessions it starts, behind one `Exclusive` guard. Activation loads
// the settings files, advises the thread-manager sink and the key sink,
// preserves the key map's AltGr keys, binds the text-edit sink to the focused
// document and starts the warm-up of the word lists; deactivation undoes all
// of it. The guard is never held while TSF is called, because TSF may call
// back into the service.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/session.h"
#include "tsf/com_types.h"
#include "tsf/exclusive.h"
#include "tsf/fallback.h"
#include "tsf/profile.h"
#include "tsf/reload.h"
#include "tsf/thread_manager.h"
#include "tsf/undo.h"

namespace vexo::tsf {

struct ServiceState {
  explicit ServiceState(Profile profile, const Log* reload_log = nullptr)
      : files(std::move(profile), reload_log) {}

  // Settings, key map, file stamps, the active flag and `keys_stale`.
  SettingsState files;
  TypingSession session;

  // The binding to TSF, held from activation to deactivation.
  std::shared_ptr<ThreadManager> thread_manager;
  std::uint32_t client_id = 0;
  std::optional<std::uint32_t> thread_sink_cookie;
  bool key_sink_advised = false;
  std::vector<PreservedKey> preserved_keys;
  std::unique_ptr<EditSinkAdvice> edit_sink;  // on the focused document's top context

  // The focused document, as of the last rebinding.
  std::u16string previous_text;  // text before the caret at the last end of an edit
  bool no_text_logged = false;
  // Whether the focused document's input scope hides its text (a password
  // field); unknown until read. A protected context is logged once.
  std::optional<bool> hides_text;
  bool protected_logged = false;
  std::optional<UndoRecord> undo;  // the last conversion, until the next key

  // Key handling for documents that do not show their text, and whether the
  // focused document is one (`fallback.fallback_mode`): the typed-word
  // tracker, the queues of own keystrokes and the retype expectation.
  FallbackState fallback;
};

using SharedState = std::shared_ptr<Exclusive<ServiceState>>;

// What the service needs from its surroundings besides TSF.
class ServiceHost {
 public:
  virtual ~ServiceHost() = default;
  virtual void log(std::string_view message) = 0;
  // Starts the background thread that builds the word lists; false when the
  // thread could not be started.
  virtual bool start_warm_up() = 0;
  // The virtual key of a scan code in the current keyboard layout; 0 for none.
  virtual std::uint32_t virtual_key_of(std::uint8_t scan) = 0;
};

inline constexpr std::uint32_t kModRightAlt = 0x08;  // TF_MOD_RALT
inline constexpr std::uint32_t kModShift = 0x04;     // TF_MOD_SHIFT

// {C4ECxxyy-6C4E-47B1-A3D5-2E9F0B6C1D84}: xx the scan code, bit 0 of yy Shift.
Guid preserved_key_guid(std::uint8_t scan, bool shift);
// The scan code and Shift flag of one of the service's preserved-key GUIDs.
std::optional<std::pair<std::uint8_t, bool>> parse_preserved_key_guid(const Guid& guid);

// ITfTextInputProcessor::Activate. A null thread manager is E_POINTER; a
// failing thread-manager sink ends activation with its result.
HResult activate(const SharedState& state, std::shared_ptr<ThreadManager> thread_manager,
                 std::uint32_t client_id, ServiceHost& host);

// ITfTextInputProcessor::Deactivate. Failures are ignored.
void deactivate(const SharedState& state, ServiceHost& host);

// Moves the text-edit sink to the top context of `document` (none: only
// unadvises) and starts the document afresh: fallback mode, no previous text,
// a reset typing session and typed-word tracker, no key verdict left to carry
// out, no undo record, its input scope unknown.
void rebind(const SharedState& state, DocumentManager* document, ServiceHost& host);

// Rebinds to the document the thread manager reports as focused (or to none)
// when a context is pushed or popped: a pushed context need not be in the
// focused document, and a popped one is gone.
void rebind_to_focus(const SharedState& state, ServiceHost& host);

// Rebuilds the preserved AltGr keys of the key map when they are stale and a
// thread manager is held: unpreserves the old ones, preserves the new ones,
// keeps those that succeeded and logs "altgr keys: {count}".
void refresh_preserved_keys(const SharedState& state, ServiceHost& host);

}  // namespace vexo::tsf
