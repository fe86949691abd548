// Key handling for applications that do not show their text to the text
// service: the typed word is mirrored from key events and a finished word is
// replaced with synthetic keystrokes (a retype). Keys that the user types
// while a retype is still on its way are held back and sent again behind it,
// so that everything reaches the application in typing order.
//
// Each key goes through two phases, as the key sink sees it. `test_key_down`
// only decides (TSF may call it twice for one key, or not at all) and
// remembers its verdict; `key_down` carries the verdict out once. TSF calls
// no key-down phase for a key the test phase passed, so such a key's verdict
// is carried out at the next key event (`settle`). The service's own
// keystrokes are told apart by what they are, not by when their mark shows:
// the counts of the `RetypeExpectation`, the queue of held keys and the scan
// code kOwnKeyScan of every key the service sends as a key. Nothing here throws; the Windows calls
// sit behind tsf/host.h and the rest of the service behind `FallbackServices`.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>

#include "core/session.h"
#include "tsf/host.h"
#include "tsf/keymap.h"
#include "tsf/settings.h"
#include "tsf/tracker.h"
#include "tsf/undo.h"

namespace vexo::tsf {

inline constexpr std::int64_t kSentCharLifetimeMs = 1000;
inline constexpr std::int64_t kRetypeLifetimeMs = 1500;
inline constexpr std::int64_t kHeldKeyLifetimeMs = 1500;
// How often one key may be held and sent again; after that it goes through
// even ahead of a retype rather than travel around without end.
inline constexpr std::uint8_t kMaxHoldRounds = 8;

// A character the service sent as a Unicode keystroke. A character above
// U+FFFF takes two entries, the second with value 0 (its low surrogate).
struct SentChar {
  char32_t c = 0;
  Deadline deadline;
};

// What the service still expects back from its last retype.
struct RetypeExpectation {
  std::uint32_t backspaces = 0;
  std::uint32_t packets = 0;
  Deadline deadline;
  std::size_t held_before = 0;  // held keys resent before the retype was sent
  std::size_t sent_before = 0;  // own characters sent before the retype was sent
};

// How a held or transitory key is sent again.
struct Resend {
  bool as_key = false;  // the same key rather than a character
  char32_t c = 0;       // the character, when not `as_key`
};

// A key typed while a retype was on its way, sent again behind it.
struct HeldKey {
  Resend resend;
  std::uint16_t vk = 0;     // the key as it comes back: kVkPacket for a character
  std::uint8_t rounds = 1;  // how often it was sent again so far
  Deadline deadline;
};

// The focused context as the key sink sees it. A protected context (a
// password field, a disabled keyboard, an empty context) is left alone.
enum class ContextKind : std::uint8_t { None, Ordinary, Transitory, Protected };

// A key to be sent again behind the retype.
struct PendingKey {
  std::uint16_t vk = 0;
  std::uint32_t lparam = 0;
  Resend resend;
  std::uint8_t rounds = 0;  // how often it was sent again already
};

// What the test phase decided about a key.
struct Verdict {
  enum class Kind : std::uint8_t {
    Outside,    // no text field, or one that hides its text: passed, word lost
    OwnRetype,  // a keystroke of the service's retype: passed, not tracked
    HeldCopy,   // the service's copy of a held key: passed, tracked as held
    HoldAgain,  // such a copy while the retype is still on its way: eaten
    Hold,       // typed ahead of a retype: eaten, sent again behind it
    Handle,     // key map character, transitory key or undo: eaten
    Track,      // passed; the tracker follows it
  };
  Kind kind = Kind::Track;
  Resend resend;            // HeldCopy, HoldAgain, Hold
  std::uint8_t rounds = 0;  // HeldCopy, HoldAgain: the rounds of the copy
  // Track, HeldCopy: the key as of its own message (carried out later, when
  // Shift or Ctrl may already be in another state).
  std::optional<char32_t> character;  // from the keyboard layout
  bool shortcut = false;              // Ctrl, Alt or Win held
  bool eaten() const {
    return kind == Kind::HoldAgain || kind == Kind::Hold || kind == Kind::Handle;
  }
};

// The verdict of the last key tested, until it is carried out.
struct TestedKey {
  std::uint16_t vk = 0;
  std::uint32_t lparam = 0;
  ContextKind context = ContextKind::Ordinary;
  Verdict verdict;
  // Tested again with the auto-repeat bit: a second test of the same message
  // and the next repeat of the key look alike, so the word is given up.
  bool repeated = false;
};

// The fallback path's part of a service instance.
struct FallbackState {
  WordTracker tracker;
  std::deque<SentChar> sent_chars;
  RetypeExpectation expectation;
  std::deque<HeldKey> held;
  std::optional<TestedKey> tested;
  // Keys typed while copies of held keys are still ahead of a retype: they
  // are sent only after those copies have been sent again behind it.
  std::deque<PendingKey> deferred;
  bool fallback_mode = true;  // the document is not seen to follow the typing
};

// What the key handling asks of the rest of the service.
class FallbackServices {
 public:
  virtual ~FallbackServices() = default;
  // The settings freshness check; true when the service is active here.
  virtual bool refresh() = 0;
  virtual const Settings& settings() const = 0;
  // The loaded key map, or null when the key map is off.
  virtual const KeyMap* keymap() const = 0;
  // Keeps a restored word as an exception (in memory and, when asked for, in
  // exceptions.txt) and logs the outcome.
  virtual void remember_exception(std::string_view typed) = 0;
  virtual void log(std::string_view message) = 0;
};

// Everything one key handler works with.
struct KeyContext {
  FallbackState& state;
  Host& host;
  FallbackServices& services;
  TypingSession& session;
  std::optional<UndoRecord>& undo;
};


struct KeyMessage {
  std::uint16_t vk = 0;
  std::uint32_t lparam = 0;  // scan code in bits 16-23, extended flag in bit 24
  ContextKind context = ContextKind::Ordinary;
};

// The test phase: true when the key will be eaten. Changes nothing but the
// remembered verdict; a second test of the same key gives the same answer.
bool test_key_down(KeyContext& ctx, const KeyMessage& key);

// Carries out the remembered verdict of a passed key, which gets no key-down
// phase. Called first by every key event that is not the same key's key-down
// (key-ups, preserved keys), and by the test and key-down phases themselves.
void settle(KeyContext& ctx);

// What the key-down phase leaves to the edit-session side of the service.
enum class KeyDownAction : std::uint8_t {
  Pass,             // not eaten
  Eaten,            // eaten; nothing more to do
  InsertCharacter,  // eaten; insert `character` through an edit session
  UndoThroughText,  // eaten; undo the last edit-session conversion
};

struct KeyDownResult {
  KeyDownAction action = KeyDownAction::Pass;
  char32_t character = 0;
};

// The key-down phase: carries out the verdict of the key's test phase, or
// decides now when the key was not tested.
KeyDownResult key_down(KeyContext& ctx, const KeyMessage& key);

// After a key map character went into the document through an edit session.
void character_inserted(KeyContext& ctx, char32_t c);

// When the edit session for a key map character could not run: sends it as
// a Unicode keystroke instead.
void character_not_inserted(KeyContext& ctx, char32_t c);

// Raises the expectation after a retype (or a lone Backspace marked as one)
// went out completely: so many Backspaces and Unicode keys are still to come.
void expect_retype(FallbackState& state, const Clock& clock, std::size_t backspaces,
                   std::size_t packets);

// Records a character about to be sent as a Unicode keystroke, so that its
// key is known when it comes back and later keys do not overtake it.
void queue_sent_character(FallbackState& state, const Clock& clock, char32_t c);

// When the undo of a conversion in the document cannot run: sends the
// Backspace on, marked and expected back as a retype so that keys typed
// meanwhile are held behind it. False when it could not be sent.
bool send_plain_backspace(FallbackState& state, Host& host);

// Sends one character as Unicode keystrokes marked as the service's own.
void send_character(Host& host, char32_t c);

// Sends the retype and logs its outcome; true when every record went out.
bool retype(Host& host, FallbackServices& services, std::size_t delete_count, std::string_view text,
            bool trailing_space);

// How a key classifies in a transitory context.
struct TransitoryClass {
  enum Kind : std::uint8_t { NotTransitory, Character, NoCharacter } kind = NotTransitory;
  char32_t character = 0;
};

// In a transitory context, and in any context while characters that the
// service sent as keystrokes are still on their way, a key is sent as a
// Unicode keystroke (`Character`) or as the same key again (`NoCharacter`),
// so that it cannot overtake them.
TransitoryClass classify_transitory(const KeyContext& ctx, const KeyMessage& key);

// The character a key gives on the current layout (`ToUnicodeEx` without
// changing the keyboard state): exactly one unit that is not a control.
std::optional<char32_t> character_of_key(const Host& host, std::uint16_t vk, std::uint32_t lparam);

// The key map's character for a character key, on its plain layer.
std::optional<char32_t> keymap_character(const KeyMap* map, const KeyState& keys, std::uint16_t vk,
                                         std::uint32_t lparam);

}  // namespace vexo::tsf
