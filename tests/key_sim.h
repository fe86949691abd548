// A simulated keyboard, operating system and application for the text
// service's key handling. Keys the user types and keystrokes the service
// sends wait in one input queue, key-down and key-up, as on Windows; each key
// taken from it goes through the service's test and key-down phases as TSF
// documents them (a key-down phase only for a key the test phase eats), and
// a key that is not eaten reaches the application, which edits a text
// buffer. `Timing` plays what real hosts do besides: a key tested twice or
// given a key-down phase untested, a click that the shared "pressed since"
// bit lost, and a thread without the mouse hook.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/session.h"
#include "tsf/fallback.h"
#include "tsf/host.h"

namespace vexo::tsf::sim {

inline constexpr std::uint16_t kLeft = 0x25, kRight = 0x27, kUp = 0x26, kHome = 0x24, kEnd = 0x23,
                               kDelete = 0x2E, kEnter = 0x0D, kTab = 0x09, kEsc = 0x1B,
                               kSpace = 0x20, kShift = 0x10, kCtrl = 0x11, kApostrophe = 0xDE;

// The key message word of a key: its set-1 scan code, extended flag for the
// navigation keys.
std::uint32_t lparam_of(std::uint16_t vk);

// The virtual key that types an ASCII character on a US layout.
std::uint16_t vk_of(char c);

struct Timing {
  unsigned untested_percent = 0;      // keys whose key-down phase comes without a test
  unsigned double_test_percent = 0;   // keys tested twice
  bool click_bit_lost = false;        // GetAsyncKeyState never shows a click
  bool mouse_hooked = true;           // the thread-local mouse hook is in place
  unsigned seed = 1;
};

class Desk final : public KeyState,
                   public KeyboardLayout,
                   public InputSender,
                   public Clock,
                   public FallbackServices {
 public:
  explicit Desk(Timing timing = {});

  // The user presses a key (or types ASCII text); it waits in the queue.
  void press(std::uint16_t vk);
  void type(std::string_view ascii);
  // Another program sends one UTF-16 unit as a keystroke.
  void foreign_packet(char16_t unit);
  // A mouse click that puts the caret at a position of the buffer.
  void click(std::size_t caret);

  // Takes one key from the queue through the service and the application.
  // False when the queue was empty. Each key takes a millisecond.
  bool deliver_one();
  void deliver_all();
  void wait(std::int64_t ms) { now_ += ms; }

  std::string text() const;  // the application's buffer as UTF-8
  std::size_t queued() const { return queue_.size(); }
  const std::vector<std::string>& log_lines() const { return log_; }
  std::size_t count_log(std::string_view line) const;
  // Every record the service sent, in order.
  const std::vector<KeyEvent>& sent() const { return sent_; }
  Host& host() { return host_; }

  FallbackState state;
  TypingSession session;
  std::optional<UndoRecord> undo;
  Settings config;
  KeyMap map;
  bool keymap_on = false;
  bool insert_fails = false;              // the key map's edit session cannot run
  bool restore_fails = false;             // the undo's edit session cannot run
  std::optional<std::size_t> send_limit;  // SendInput inserts at most this many
  ContextKind context = ContextKind::Ordinary;
  bool shift = false, ctrl = false;

  // KeyState
  bool is_down(std::uint16_t vk) const override;
  bool is_toggled(std::uint16_t) const override { return false; }
  bool pressed_since_last_poll(std::uint16_t vk) override;
  Clicks clicks_since_last_poll() override;
  bool keyboard_state(KeyboardState& state) const override;
  // KeyboardLayout
  LayoutHandle current() const override { return 0x0409; }
  int to_unicode(std::uint16_t vk, std::uint16_t scan, const KeyboardState& keys,
                 std::span<char16_t> out, unsigned flags, LayoutHandle layout) const override;
  std::uint16_t virtual_key_of_scan(std::uint16_t, LayoutHandle) const override { return 0; }
  // InputSender
  std::size_t send(std::span<const KeyEvent> events) override;
  // Clock
  std::int64_t now_ms() const override { return now_; }
  // FallbackServices
  bool refresh() override { return true; }
  const Settings& settings() const override { return config; }
  const KeyMap* keymap() const override { return keymap_on ? &map : nullptr; }
  void remember_exception(std::string_view typed) override;
  void log(std::string_view message) override { log_.emplace_back(message); }

 private:
  struct Queued {
    std::uint16_t vk = 0;  // kVkPacket for a UTF-16 unit
    std::uint32_t lparam = 0;
    char16_t unit = 0;
    std::uintptr_t mark = 0;
    bool up = false;
  };
  bool chance(unsigned percent) { return percent > 0 && jitter_() % 100 < percent; }
  void apply(const Queued& key);

  std::deque<Queued> queue_;
  std::u16string buffer_;
  std::size_t caret_ = 0;
  std::int64_t now_ = 1000;
  bool clicked_ = false;         // the "pressed since" bit
  bool hook_saw_click_ = false;  // the mouse hook
  Timing timing_;
  std::mt19937 jitter_;
  std::vector<std::string> log_;
  std::vector<KeyEvent> sent_;
  Host host_{*this, *this, *this, *this};
};

}  // namespace vexo::tsf::sim
