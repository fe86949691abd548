#include "tests/key_sim.h"

#include <algorithm>

#include "core/lib.h"
#include "core/token.h"
#include "core/unicode.h"
#include "tsf/retype.h"

namespace vexo::tsf::sim {
namespace {

struct KeyCode {
  std::uint16_t vk;
  std::uint8_t scan;
  bool extended;
};

constexpr KeyCode kCodes[] = {
    {'Q', 0x10, false},    {'W', 0x11, false},    {'E', 0x12, false},
    {'R', 0x13, false},    {'T', 0x14, false},    {'Y', 0x15, false},
    {'U', 0x16, false},    {'I', 0x17, false},    {'O', 0x18, false},
    {'P', 0x19, false},    {'A', 0x1E, false},    {'S', 0x1F, false},
    {'D', 0x20, false},    {'F', 0x21, false},    {'G', 0x22, false},
    {'H', 0x23, false},    {'J', 0x24, false},    {'K', 0x25, false},
    {'L', 0x26, false},    {'Z', 0x2C, false},    {'X', 0x2D, false},
    {'C', 0x2E, false},    {'V', 0x2F, false},    {'B', 0x30, false},
    {'N', 0x31, false},    {'M', 0x32, false},    {kApostrophe, 0x28, false},
    {kSpace, 0x39, false}, {kEnter, 0x1C, false}, {kVkBackspace, 0x0E, false},
    {kTab, 0x0F, false},   {kEsc, 0x01, false},   {kShift, 0x2A, false},
    {kCtrl, 0x1D, false},  {kLeft, 0x4B, true},   {kRight, 0x4D, true},
    {kUp, 0x48, true},     {kHome, 0x47, true},   {kEnd, 0x4F, true},
    {kDelete, 0x53, true},
};

}  // namespace

std::uint32_t lparam_of(std::uint16_t vk) {
  for (const KeyCode& k : kCodes)
    if (k.vk == vk) return 1u | (std::uint32_t{k.scan} << 16) | (k.extended ? 1u << 24 : 0u);
  return 1u;
}

std::uint16_t vk_of(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<std::uint16_t>(c - 'a' + 'A');
  if (c == '\'') return kApostrophe;
  if (c == ' ') return kSpace;
  if (c == '\n') return kEnter;
  return 0;
}

Desk::Desk(Timing timing) : timing_(timing), jitter_(timing.seed) {
  config.options.exceptions.clear();
}

void Desk::press(std::uint16_t vk) {
  queue_.push_back(Queued{vk, lparam_of(vk), 0, 0, false});
  queue_.push_back(Queued{vk, lparam_of(vk) | 0xC0000000u, 0, 0, true});
}

void Desk::type(std::string_view ascii) {
  for (char c : ascii) press(vk_of(c));
}

void Desk::foreign_packet(char16_t unit) {
  queue_.push_back(Queued{kVkPacket, 1u, unit, 0, false});
  queue_.push_back(Queued{kVkPacket, 0xC0000001u, unit, 0, true});
}

void Desk::click(std::size_t caret) {
  caret_ = std::min(caret, buffer_.size());
  clicked_ = !timing_.click_bit_lost;
  hook_saw_click_ = true;
}

bool Desk::deliver_one() {
  if (queue_.empty()) return false;
  const Queued key = queue_.front();
  queue_.pop_front();
  now_ += 1;
  KeyContext ctx{state, host_, *this, session, undo};
  if (key.up) {
    settle(ctx);  // OnTestKeyUp
    return true;
  }
  const KeyMessage message{key.vk, key.lparam, context};
  const bool untested = chance(timing_.untested_percent);
  bool eaten = false;
  if (!untested) {
    eaten = test_key_down(ctx, message);
    if (chance(timing_.double_test_percent)) eaten = test_key_down(ctx, message);
  }
  if (eaten || untested) {
    eaten = true;
    const KeyDownResult result = key_down(ctx, message);
    switch (result.action) {
      case KeyDownAction::Pass:
        eaten = false;
        break;
      case KeyDownAction::Eaten:
        break;
      case KeyDownAction::UndoThroughText:
        if (restore_fails) send_plain_backspace(state, host_);
        break;
      case KeyDownAction::InsertCharacter:
        if (insert_fails) {
          character_not_inserted(ctx, result.character);
        } else {
          // The edit session inserts the character at the caret.
          for (const KeyEvent& e : character_events(result.character, 0))
            if (!e.key_up) apply(Queued{kVkPacket, 0, static_cast<char16_t>(e.scan), 0, false});
          character_inserted(ctx, result.character);
        }
        break;
    }
  }
  if (!eaten) apply(key);
  return true;
}

void Desk::deliver_all() {
  while (deliver_one()) {
  }
}

void Desk::apply(const Queued& key) {
  auto insert = [&](char16_t u) { buffer_.insert(caret_++, 1, u); };
  switch (key.vk) {
    case kVkPacket:
      insert(key.unit);
      return;
    case kVkBackspace:
      if (caret_ > 0) buffer_.erase(--caret_, 1);
      return;
    case kDelete:
      if (caret_ < buffer_.size()) buffer_.erase(caret_, 1);
      return;
    case kLeft:
      caret_ -= caret_ > 0 ? 1 : 0;
      return;
    case kRight:
      caret_ += caret_ < buffer_.size() ? 1 : 0;
      return;
    case kHome:
      caret_ = 0;
      return;
    case kEnd:
      caret_ = buffer_.size();
      return;
    case kEnter:
      insert(u'\n');
      return;
    case kTab:
      insert(u'\t');
      return;
    default:
      break;
  }
  KeyboardState keys{};
  keyboard_state(keys);
  char16_t out[4];
  if (to_unicode(key.vk, 0, keys, out, 0, current()) == 1 && out[0] >= 0x20) insert(out[0]);
}

std::string Desk::text() const {
  std::string out;
  for (std::size_t i = 0; i < buffer_.size(); ++i) {
    char32_t c = buffer_[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < buffer_.size())
      c = 0x10000 + ((c - 0xD800) << 10) + (buffer_[++i] - 0xDC00);
    append_utf8(out, c);
  }
  return out;
}

std::size_t Desk::count_log(std::string_view line) const {
  return static_cast<std::size_t>(std::count(log_.begin(), log_.end(), line));
}

bool Desk::is_down(std::uint16_t vk) const {
  return (vk == kShift && shift) || (vk == kCtrl && ctrl);
}

bool Desk::pressed_since_last_poll(std::uint16_t vk) {
  if (vk != 0x01 || !clicked_) return false;
  clicked_ = false;
  return true;
}

Clicks Desk::clicks_since_last_poll() {
  if (!timing_.mouse_hooked) return Clicks::Unwatched;
  return std::exchange(hook_saw_click_, false) ? Clicks::Some : Clicks::None;
}

bool Desk::keyboard_state(KeyboardState& keys) const {
  keys.fill(0);
  if (shift) keys[kShift] = 0x80;
  if (ctrl) keys[kCtrl] = 0x80;
  return true;
}

int Desk::to_unicode(std::uint16_t vk, std::uint16_t, const KeyboardState& keys,
                     std::span<char16_t> out, unsigned, LayoutHandle) const {
  const bool shifted = (keys[kShift] & 0x80) != 0;
  char16_t c = 0;
  if (vk >= 'A' && vk <= 'Z')
    c = static_cast<char16_t>(shifted ? vk : vk - 'A' + 'a');
  else if (vk == kApostrophe)
    c = shifted ? u'"' : u'\'';
  else if (vk == kSpace)
    c = u' ';
  else if (vk == kVkBackspace)
    c = 0x08;
  else if (vk == kEnter)
    c = u'\r';
  else if (vk == kTab)
    c = u'\t';
  else if (vk == kEsc)
    c = 0x1B;
  if (c == 0 || out.empty()) return 0;
  out[0] = c;
  return 1;
}

std::size_t Desk::send(std::span<const KeyEvent> events) {
  const std::size_t n = std::min(events.size(), send_limit.value_or(events.size()));
  for (std::size_t i = 0; i < n; ++i) {
    const KeyEvent& e = events[i];
    sent_.push_back(e);
    const std::uint32_t up_bits = e.key_up ? 0xC0000000u : 0u;
    if (e.unicode)
      queue_.push_back(
          Queued{kVkPacket, up_bits | 1u, static_cast<char16_t>(e.scan), e.mark, e.key_up});
    else
      queue_.push_back(Queued{
          e.vk, (std::uint32_t{e.scan} << 16) | 1u | (e.extended ? 1u << 24 : 0u) | up_bits, 0,
          e.mark, e.key_up});
  }
  return n;
}

void Desk::remember_exception(std::string_view typed) {
  const std::string key = word_key(split_word(typed).core);
  if (!config.options.is_exception(key)) config.options.exceptions.push_back(key);
  log_.emplace_back("undo: restored (kept for this app only)");
}

}  // namespace vexo::tsf::sim
