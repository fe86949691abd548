// The few Windows keyboard calls the text service's key handling makes, behind
// small interfaces, so that the decisions can run and be tested anywhere:
// key state and mouse clicks, keyboard layout lookups, synthetic input, and a
// monotonic clock with millisecond deadlines. tsf/host_win32.cpp
// implements them with user32 and kernel32; tests supply their own.
//
// No function throws. Every call is made on the application's input thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vexo::tsf {

// Extra-information marks that the service puts on its own keystrokes, for
// other programs and for diagnosis. The service does not read them back: an
// application may run the key test before `GetMessageExtraInfo` shows them.
inline constexpr std::uintptr_t kMarkResent = 0xC4EB;  // resent keys, key map characters
inline constexpr std::uintptr_t kMarkRetype = 0xC4ED;  // backspaces and text of a retype

inline constexpr std::uint16_t kVkBackspace = 0x08;
// The scan code of every key the service sends as a key (the retype's
// Backspaces, held keys sent again as themselves): a keyboard's keys all have
// one, so such a key says itself that it is the service's, whether or not
// its mark shows by the time the key is tested.
inline constexpr std::uint16_t kOwnKeyScan = 0;
inline constexpr std::uint16_t kVkPacket = 0xE7;  // a UTF-16 unit sent as a keystroke
inline constexpr std::uint16_t kVkDummy = 0xE8;   // unassigned; sent after AltGr keys

// The 256 key bytes of `GetKeyboardState`: bit 7 down, bit 0 toggled.
using KeyboardState = std::array<std::uint8_t, 256>;

enum class Clicks : std::uint8_t { None, Some, Unwatched };

// Key state queries (`GetKeyState`, `GetAsyncKeyState`, `GetKeyboardState`)
// and the clicks of the mouse hook.
class KeyState {
 public:
  virtual ~KeyState() = default;
  // High bit of `GetKeyState`: the key is down as of the current message.
  virtual bool is_down(std::uint16_t vk) const = 0;
  // Low bit of `GetKeyState`: the key is toggled (Caps Lock on).
  virtual bool is_toggled(std::uint16_t vk) const = 0;
  // Bit 0 of `GetAsyncKeyState`: the key went down since the last query.
  // Shared by every program of the session and zero under UIPI, so a click
  // may go unseen here: it only ever adds to `clicks_since_last_poll`.
  virtual bool pressed_since_last_poll(std::uint16_t vk) = 0;
  // Mouse buttons pressed in this thread's windows since the last query, as
  // the service's thread-local mouse hook saw them; Unwatched without a hook.
  virtual Clicks clicks_since_last_poll() = 0;
  // `GetKeyboardState`; false on failure.
  virtual bool keyboard_state(KeyboardState& state) const = 0;
};

// An opaque keyboard layout handle (`HKL`).
using LayoutHandle = std::uintptr_t;

// Keyboard layout lookups (`GetKeyboardLayout`, `ToUnicodeEx`,
// `MapVirtualKeyExW`).
class KeyboardLayout {
 public:
  virtual ~KeyboardLayout() = default;
  // The layout of the calling thread (`GetKeyboardLayout(0)`).
  virtual LayoutHandle current() const = 0;
  // `ToUnicodeEx`: the units a key gives, written to `out`; the count
  // (negative for a dead key, 0 for none).
  virtual int to_unicode(std::uint16_t vk, std::uint16_t scan, const KeyboardState& state,
                         std::span<char16_t> out, unsigned flags, LayoutHandle layout) const = 0;
  // `MapVirtualKeyExW(scan, MAPVK_VSC_TO_VK, layout)`; 0 when unmapped.
  virtual std::uint16_t virtual_key_of_scan(std::uint16_t scan, LayoutHandle layout) const = 0;
};

// One keyboard record of `SendInput`: a virtual key, or with `unicode` a
// UTF-16 unit carried in `scan` (and `vk` 0).
struct KeyEvent {
  std::uint16_t vk = 0;
  std::uint16_t scan = 0;
  bool unicode = false;
  bool key_up = false;
  bool extended = false;
  std::uintptr_t mark = 0;  // dwExtraInfo
  friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

// Synthetic input.
class InputSender {
 public:
  virtual ~InputSender() = default;
  // One `SendInput` call with all the records; how many were inserted.
  virtual std::size_t send(std::span<const KeyEvent> events) = 0;
};

// A monotonic clock in milliseconds (never goes backwards).
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t now_ms() const = 0;
};

// A moment on a `Clock`; passed once the clock reaches it.
struct Deadline {
  std::int64_t at_ms = 0;
  bool passed(const Clock& clock) const { return clock.now_ms() >= at_ms; }
};

inline Deadline deadline_in(const Clock& clock, std::int64_t ms) {
  return Deadline{clock.now_ms() + ms};
}

// The calls of one service instance, owned elsewhere.
struct Host {
  KeyState& keys;
  KeyboardLayout& layout;
  InputSender& input;
  Clock& clock;
};

}  // namespace vexo::tsf
