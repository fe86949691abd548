#include "tsf/host_win32.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <vector>

namespace vexo::tsf {
namespace {

class Win32KeyState final : public KeyState {
 public:
  bool is_down(std::uint16_t vk) const override { return (GetKeyState(vk) & 0x8000) != 0; }
  bool is_toggled(std::uint16_t vk) const override { return (GetKeyState(vk) & 1) != 0; }
  bool pressed_since_last_poll(std::uint16_t vk) override { return (GetAsyncKeyState(vk) & 1) != 0; }
  bool keyboard_state(KeyboardState& state) const override {
    return GetKeyboardState(state.data()) != FALSE;
  }
};

class Win32KeyboardLayout final : public KeyboardLayout {
 public:
  LayoutHandle current() const override {
    return reinterpret_cast<LayoutHandle>(GetKeyboardLayout(0));
  }
  int to_unicode(std::uint16_t vk, std::uint16_t scan, const KeyboardState& state,
                 std::span<char16_t> out, unsigned flags, LayoutHandle layout) const override {
    return ToUnicodeEx(vk, scan, state.data(), reinterpret_cast<LPWSTR>(out.data()),
                       static_cast<int>(out.size()), flags, reinterpret_cast<HKL>(layout));
  }
  std::uint16_t virtual_key_of_scan(std::uint16_t scan, LayoutHandle layout) const override {
    return static_cast<std::uint16_t>(
        MapVirtualKeyExW(scan, MAPVK_VSC_TO_VK, reinterpret_cast<HKL>(layout)));
  }
};

class Win32InputSender final : public InputSender {
 public:
  std::size_t send(std::span<const KeyEvent> events) override {
    if (events.empty()) return 0;
    std::vector<INPUT> inputs(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
      const KeyEvent& e = events[i];
      INPUT& in = inputs[i];
      in.type = INPUT_KEYBOARD;
      in.ki.wVk = e.unicode ? 0 : e.vk;
      in.ki.wScan = e.scan;
      in.ki.dwFlags = (e.unicode ? KEYEVENTF_UNICODE : 0) | (e.key_up ? KEYEVENTF_KEYUP : 0) |
                      (e.extended ? KEYEVENTF_EXTENDEDKEY : 0);
      in.ki.time = 0;
      in.ki.dwExtraInfo = static_cast<ULONG_PTR>(e.mark);
    }
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  }
  std::uintptr_t message_extra_info() const override {
    return static_cast<std::uintptr_t>(GetMessageExtraInfo());
  }
};

class Win32Clock final : public Clock {
 public:
  std::int64_t now_ms() const override { return static_cast<std::int64_t>(GetTickCount64()); }
};

}  // namespace

Host& win32_host() {
  static Win32KeyState keys;
  static Win32KeyboardLayout layout;
  static Win32InputSender input;
  static Win32Clock clock;
  static Host host{keys, layout, input, clock};
  return host;
}

}  // namespace vexo::tsf
