#include "tsf/host_win32.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <vector>

namespace vexo::tsf {
namespace {

// The mouse hook of this thread: installed while the service is active here,
// it notes every button press in the thread's windows.
struct MouseWatch {
  HHOOK hook = nullptr;
  unsigned users = 0;
  bool clicked = false;
};
thread_local MouseWatch mouse_watch;

LRESULT CALLBACK mouse_hook(int code, WPARAM message, LPARAM data) {
  if (code >= 0) {
    switch (message) {
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN:
      case WM_XBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
      case WM_RBUTTONDBLCLK:
      case WM_MBUTTONDBLCLK:
      case WM_XBUTTONDBLCLK:
      case WM_NCLBUTTONDOWN:
      case WM_NCRBUTTONDOWN:
      case WM_NCMBUTTONDOWN:
      case WM_NCXBUTTONDOWN:
        mouse_watch.clicked = true;
        break;
      default:
        break;
    }
  }
  return CallNextHookEx(nullptr, code, message, data);
}

class Win32KeyState final : public KeyState {
 public:
  bool is_down(std::uint16_t vk) const override { return (GetKeyState(vk) & 0x8000) != 0; }
  bool is_toggled(std::uint16_t vk) const override { return (GetKeyState(vk) & 1) != 0; }
  bool pressed_since_last_poll(std::uint16_t vk) override {
    return (GetAsyncKeyState(vk) & 1) != 0;
  }
  Clicks clicks_since_last_poll() override {
    if (mouse_watch.hook == nullptr) return Clicks::Unwatched;
    const bool clicked = mouse_watch.clicked;
    mouse_watch.clicked = false;
    return clicked ? Clicks::Some : Clicks::None;
  }
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
};

class Win32Clock final : public Clock {
 public:
  std::int64_t now_ms() const override { return static_cast<std::int64_t>(GetTickCount64()); }
};

}  // namespace

bool watch_mouse() {
  if (mouse_watch.users == 0) {
    mouse_watch.hook = SetWindowsHookExW(WH_MOUSE, mouse_hook, nullptr, GetCurrentThreadId());
    if (mouse_watch.hook == nullptr) return false;
    mouse_watch.clicked = false;
  }
  ++mouse_watch.users;
  return true;
}

void unwatch_mouse() {
  if (mouse_watch.users == 0 || --mouse_watch.users > 0) return;
  UnhookWindowsHookEx(mouse_watch.hook);
  mouse_watch.hook = nullptr;
}

Host& win32_host() {
  static Win32KeyState keys;
  static Win32KeyboardLayout layout;
  static Win32InputSender input;
  static Win32Clock clock;
  static Host host{keys, layout, input, clock};
  return host;
}

}  // namespace vexo::tsf
