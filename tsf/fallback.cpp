#include "tsf/fallback.h"

#include <algorithm>
#include <string>
#include <utility>

#include "core/lib.h"
#include "core/token.h"
#include "core/unicode.h"
#include "tsf/retype.h"

namespace vexo::tsf {
namespace {

constexpr std::uint16_t kVkTab = 0x09, kVkEnter = 0x0D, kVkShift = 0x10, kVkCtrl = 0x11,
                        kVkAlt = 0x12, kVkCapsLock = 0x14, kVkEsc = 0x1B, kVkSpace = 0x20,
                        kVkPageUp = 0x21, kVkDown = 0x28, kVkDelete = 0x2E, kVkLWin = 0x5B,
                        kVkRWin = 0x5C, kVkLButton = 0x01, kVkRButton = 0x02, kVkLShift = 0xA0,
                        kVkRAlt = 0xA5;  // VK_LSHIFT..VK_RMENU are the six side-specific modifiers

bool is_modifier(std::uint16_t vk) {
  return vk == kVkShift || vk == kVkCtrl || vk == kVkAlt || vk == kVkCapsLock ||
         (vk >= kVkLShift && vk <= kVkRAlt) || vk == kVkLWin || vk == kVkRWin;
}

bool is_character_key(std::uint16_t vk) {
  return (vk >= 0x30 && vk <= 0x39) || (vk >= 0x41 && vk <= 0x5A) || (vk >= 0xBA && vk <= 0xC0) ||
         (vk >= 0xDB && vk <= 0xDF) || vk == 0xE2;
}

bool ctrl_alt_win_held(const KeyState& keys) {
  return keys.is_down(kVkCtrl) || keys.is_down(kVkAlt) || keys.is_down(kVkLWin) ||
         keys.is_down(kVkRWin);
}

bool is_whitespace_key_character(char32_t c) {
  return c == U' ' || (c >= U'\t' && c <= U'\r') || is_white_space(c);
}

std::string to_utf8(const std::u32string& chars) {
  std::string out;
  for (char32_t c : chars) append_utf8(out, c);
  return out;
}

std::uint16_t scan_of(std::uint32_t lparam) {
  return static_cast<std::uint16_t>((lparam >> 16) & 0xFF);
}

bool repeat_bit(std::uint32_t lparam) { return (lparam & (1u << 30)) != 0; }

void drop_expired(KeyContext& ctx) {
  const Clock& clock = ctx.host.clock;
  std::erase_if(ctx.state.held, [&](const HeldKey& k) { return k.deadline.passed(clock); });
  std::erase_if(ctx.state.sent_chars, [&](const SentChar& c) { return c.deadline.passed(clock); });
  RetypeExpectation& e = ctx.state.expectation;
  if (e.deadline.passed(clock)) e.backspaces = e.packets = 0;
  e.held_before = std::min(e.held_before, ctx.state.held.size());
  e.sent_before = std::min(e.sent_before, ctx.state.sent_chars.size());
}

// --- the state as the test phase sees it, changing nothing ------------------------

Verdict verdict_of(Verdict::Kind kind, Resend resend = {}, std::uint8_t rounds = 0) {
  Verdict v;
  v.kind = kind;
  v.resend = resend;
  v.rounds = rounds;
  return v;
}

// A passed key, with what the tracker needs of its own moment.
Verdict passed_key(const KeyContext& ctx, const KeyMessage& key, Verdict::Kind kind,
                   Resend resend = {}, std::uint8_t rounds = 0) {
  Verdict v = verdict_of(kind, resend, rounds);
  v.character = character_of_key(ctx.host, key.vk, key.lparam);
  v.shortcut = ctrl_alt_win_held(ctx.host.keys);
  return v;
}

// True while keystrokes of the last retype are still on their way.
bool retype_in_flight(const KeyContext& ctx) {
  const RetypeExpectation& e = ctx.state.expectation;
  return !e.deadline.passed(ctx.host.clock) && (e.backspaces > 0 || e.packets > 0);
}

// Held keys expire in the order they were held: the live ones are a suffix.
std::size_t first_live_held(const KeyContext& ctx) {
  const std::deque<HeldKey>& held = ctx.state.held;
  std::size_t i = 0;
  while (i < held.size() && held[i].deadline.passed(ctx.host.clock)) ++i;
  return i;
}

std::size_t live_sent_chars(const KeyContext& ctx) {
  std::size_t n = 0;
  for (const SentChar& c : ctx.state.sent_chars) n += c.deadline.passed(ctx.host.clock) ? 0 : 1;
  return n;
}

// A key the service sent as itself (not as a character).
bool is_own_key(const KeyMessage& key) {
  return key.vk != kVkPacket && scan_of(key.lparam) == kOwnKeyScan;
}

// A keystroke of the service's own retype that the counts still expect.
bool is_expected_retype_key(const KeyContext& ctx, const KeyMessage& key) {
  if (!retype_in_flight(ctx)) return false;
  const RetypeExpectation& e = ctx.state.expectation;
  // Own characters sent before the retype come back ahead of it.
  if (key.vk == kVkPacket)
    return e.packets > 0 && std::min(e.sent_before, live_sent_chars(ctx)) == 0;
  return key.vk == kVkBackspace && e.backspaces > 0 && is_own_key(key);
}

// The service's copy of the oldest held key: the same key, or a Unicode
// keystroke for one resent as its character.
std::optional<Verdict> held_copy_verdict(const KeyContext& ctx, const KeyMessage& key) {
  const std::size_t first = first_live_held(ctx);
  if (first == ctx.state.held.size()) return std::nullopt;
  const HeldKey& entry = ctx.state.held[first];
  if (entry.vk != key.vk || (entry.resend.as_key && !is_own_key(key))) return std::nullopt;
  if (retype_in_flight(ctx) && entry.rounds < kMaxHoldRounds)
    return verdict_of(Verdict::Kind::HoldAgain, entry.resend, entry.rounds);
  return passed_key(ctx, key, Verdict::Kind::HeldCopy, entry.resend, entry.rounds);
}

bool is_undo_backspace_for_text(const KeyContext& ctx, std::uint16_t vk) {
  const KeyState& keys = ctx.host.keys;
  return vk == kVkBackspace && !keys.is_down(kVkCtrl) && !keys.is_down(kVkAlt) &&
         !keys.is_down(kVkShift) && !keys.is_down(kVkLWin) && !keys.is_down(kVkRWin) &&
         ctx.services.settings().undo_backspace && ctx.undo && !ctx.undo->via_fallback;
}

Verdict decide(const KeyContext& ctx, const KeyMessage& key) {
  using Kind = Verdict::Kind;
  if (key.context == ContextKind::None || key.context == ContextKind::Protected)
    return verdict_of(Kind::Outside);

  // Own input. Copies of held keys that were resent before the retype come
  // back ahead of it; those resent after it come back behind it.
  const std::size_t live_held = ctx.state.held.size() - first_live_held(ctx);
  if (std::min(ctx.state.expectation.held_before, live_held) > 0) {
    if (auto copy = held_copy_verdict(ctx, key)) return *copy;
    if (is_expected_retype_key(ctx, key)) return verdict_of(Kind::OwnRetype);
  } else {
    if (is_expected_retype_key(ctx, key)) return verdict_of(Kind::OwnRetype);
    if (auto copy = held_copy_verdict(ctx, key)) return *copy;
  }
  // A retype's Backspace later than its expectation lived.
  if (key.vk == kVkBackspace && is_own_key(key)) return verdict_of(Kind::OwnRetype);

  // A key typed while a retype is on its way is held and sent again behind it.
  const bool retype_pending = live_held > 0 || !ctx.state.deferred.empty() || retype_in_flight(ctx);
  if (retype_pending && !is_modifier(key.vk) && key.vk != kVkPacket && !is_own_key(key) &&
      key.vk != kVkDummy && !ctrl_alt_win_held(ctx.host.keys)) {
    std::optional<char32_t> c =
        keymap_character(ctx.services.keymap(), ctx.host.keys, key.vk, key.lparam);
    if (!c) c = character_of_key(ctx.host, key.vk, key.lparam);
    const bool as_key = !c || is_whitespace_key_character(*c) || *c > 0xFFFF;
    return verdict_of(Kind::Hold, Resend{as_key, as_key ? 0 : *c});
  }

  if (!is_own_key(key) &&
      (keymap_character(ctx.services.keymap(), ctx.host.keys, key.vk, key.lparam) ||
       classify_transitory(ctx, key).kind != TransitoryClass::NotTransitory ||
       is_undo_backspace_for_text(ctx, key.vk)))
    return verdict_of(Kind::Handle);
  return passed_key(ctx, key, Kind::Track);
}

// --- carrying a verdict out --------------------------------------------------------

void after_restore(KeyContext& ctx, const std::string& typed) {
  ctx.services.remember_exception(typed);
  ctx.session.reset();
  ctx.state.tracker.lose("undo");
}

// The Backspace that reaches the application after a retyped word: it has
// removed the Space; the retype removes the converted word and types the
// word as it was typed.
void undo_fallback(KeyContext& ctx) {
  UndoRecord record = std::move(*ctx.undo);
  ctx.undo.reset();
  const std::size_t converted_length = count_code_points(record.converted);
  const std::size_t delete_count = converted_length > 0 ? converted_length - 1 : 0;
  if (!retype(ctx.host, ctx.services, delete_count, record.typed, false)) return;
  expect_retype(ctx.state, ctx.host.clock, delete_count + 1, utf16_length(record.typed));
  after_restore(ctx, record.typed);
}

void word_end(KeyContext& ctx) {
  WordTracker& tracker = ctx.state.tracker;
  const bool had_chars = !tracker.chars().empty();
  const std::string reason = tracker.reason();
  const std::optional<std::u32string> word = tracker.take();
  if (!ctx.state.fallback_mode) return;
  if (!word) {
    if (had_chars || !reason.empty())
      ctx.services.log("fallback: word not tracked: " +
                       (reason.empty() ? "no word start seen" : reason));
    return;
  }
  if (!ctx.services.refresh()) return;
  const Settings& settings = ctx.services.settings();
  if (!settings.auto_convert || !settings.fallback) return;
  const std::string typed = to_utf8(*word);
  const std::optional<Replacement> result = ctx.session.complete_word(typed, settings.options);
  if (!result) {
    std::string line = "fallback: word unchanged (len " + std::to_string(word->size()) + ")";
    if (is_exception(settings.options, typed)) line += ", exception";
    ctx.services.log(line);
    return;
  }
  if (!retype(ctx.host, ctx.services, word->size(), result->word, true)) return;
  expect_retype(ctx.state, ctx.host.clock, word->size() + 1, utf16_length(result->word) + 1);
  ctx.undo = UndoRecord{typed, result->word, true};
}

// A mouse click may have moved the caret: the word before it is unknown. A
// thread without the mouse hook cannot tell, so no word is trusted there.
void notice_clicks(KeyContext& ctx) {
  WordTracker& tracker = ctx.state.tracker;
  // Both buttons are polled so that each one's "pressed since" bit is cleared.
  const bool left = ctx.host.keys.pressed_since_last_poll(kVkLButton);
  const bool right = ctx.host.keys.pressed_since_last_poll(kVkRButton);
  const Clicks hooked = ctx.host.keys.clicks_since_last_poll();
  if (left || right || hooked == Clicks::Some) {
    ctx.undo.reset();
    if (tracker.chars().empty())
      tracker.reset();
    else
      tracker.lose("mouse click inside the word");
  } else if (hooked == Clicks::Unwatched) {
    tracker.lose("mouse clicks not watched");
  }
}

// A key that reaches the application, as the tracker follows it.
void track_key(KeyContext& ctx, const KeyMessage& key, const Verdict& verdict) {
  WordTracker& tracker = ctx.state.tracker;
  const std::uint16_t vk = key.vk;
  const std::optional<Resend> resend =
      verdict.kind == Verdict::Kind::HeldCopy ? std::optional(verdict.resend) : std::nullopt;
  if (vk == kVkDummy) return;
  if (resend && !resend->as_key) {
    ctx.undo.reset();
    tracker.append(resend->c);
    return;
  }
  if (vk == kVkPacket && !ctx.state.sent_chars.empty()) {
    const char32_t c = ctx.state.sent_chars.front().c;
    ctx.state.sent_chars.pop_front();
    std::size_t& before = ctx.state.expectation.sent_before;
    if (before > 0) --before;
    if (c != 0) tracker.append(c);
    return;
  }
  if (!key_keeps_undo(vk)) ctx.undo.reset();
  notice_clicks(ctx);
  if (verdict.shortcut) {
    tracker.lose("Ctrl, Alt or Win held");
    return;
  }
  if (vk == kVkBackspace) {
    if (ctx.undo && ctx.undo->via_fallback && ctx.services.settings().undo_backspace) {
      undo_fallback(ctx);
      return;
    }
    ctx.undo.reset();
    tracker.backspace();
  } else if (vk == kVkTab || vk == kVkEnter) {
    tracker.reset();
    ctx.session.reset();
  } else if (vk == kVkEsc || (vk >= kVkPageUp && vk <= kVkDown) || vk == kVkDelete) {
    tracker.lose("arrows, Home/End or Delete");
    ctx.session.reset();
  } else if (vk == kVkSpace) {
    word_end(ctx);
  } else if (vk == kVkPacket) {
    tracker.lose("unicode key from another program");
    ctx.session.reset();
  } else if (verdict.character) {
    tracker.append(*verdict.character);
  }
}

void send_resend(KeyContext& ctx, const PendingKey& key) {
  if (key.resend.as_key)
    send_events(ctx.host.input, same_key_events(key.vk, key.lparam));
  else
    send_events(ctx.host.input, character_events(key.resend.c, kMarkResent));
}

void hold(KeyContext& ctx, const PendingKey& key) {
  send_resend(ctx, key);
  const std::uint16_t back_as = key.resend.as_key ? key.vk : kVkPacket;
  ctx.state.held.push_back(HeldKey{key.resend, back_as, static_cast<std::uint8_t>(key.rounds + 1),
                                   deadline_in(ctx.host.clock, kHeldKeyLifetimeMs)});
}

// Sends the deferred keys once no copy is left ahead of the retype.
void release_deferred(KeyContext& ctx) {
  if (ctx.state.expectation.held_before > 0) return;
  while (!ctx.state.deferred.empty()) {
    hold(ctx, ctx.state.deferred.front());
    ctx.state.deferred.pop_front();
  }
}

// Takes the oldest held entry, whose copy came back.
void take_held_entry(KeyContext& ctx) {
  if (!ctx.state.held.empty()) ctx.state.held.pop_front();
  std::size_t& before = ctx.state.expectation.held_before;
  if (before > 0) --before;
}

KeyDownResult handle(KeyContext& ctx, const KeyMessage& key) {
  const TransitoryClass cls = classify_transitory(ctx, key);
  switch (cls.kind) {
    case TransitoryClass::NotTransitory:
      if (auto c = keymap_character(ctx.services.keymap(), ctx.host.keys, key.vk, key.lparam))
        return {KeyDownAction::InsertCharacter, *c};
      if (is_undo_backspace_for_text(ctx, key.vk)) return {KeyDownAction::UndoThroughText};
      return {KeyDownAction::Pass};
    case TransitoryClass::Character:
      ctx.undo.reset();
      queue_sent_character(ctx.state, ctx.host.clock, cls.character);
      send_character(ctx.host, cls.character);
      return {KeyDownAction::Eaten};
    case TransitoryClass::NoCharacter:
      send_events(ctx.host.input, same_key_events(key.vk, key.lparam));
      return {KeyDownAction::Eaten};
  }
  return {KeyDownAction::Pass};
}

// Carries a verdict out, once.
KeyDownResult carry_out(KeyContext& ctx, const KeyMessage& key, const Verdict& verdict,
                        bool repeated) {
  using Kind = Verdict::Kind;
  drop_expired(ctx);
  release_deferred(ctx);
  KeyDownResult result{KeyDownAction::Pass};
  switch (verdict.kind) {
    case Kind::Outside:
      ctx.state.tracker.lose(key.context == ContextKind::Protected ? "field hides its text"
                                                                   : "key outside a text field");
      return result;
    case Kind::OwnRetype: {
      RetypeExpectation& e = ctx.state.expectation;
      std::uint32_t& count = key.vk == kVkPacket ? e.packets : e.backspaces;
      if (count > 0) {
        --count;
      } else {
        // Later than its expectation lived: the word before the caret is
        // no longer known.
        ctx.undo.reset();
        ctx.state.tracker.lose("own keystroke arrived late");
      }
      return result;
    }
    case Kind::HeldCopy:
      take_held_entry(ctx);
      if (verdict.rounds >= kMaxHoldRounds && retype_in_flight(ctx))
        ctx.services.log("fallback: held key let through after " + std::to_string(verdict.rounds) +
                         " rounds");
      track_key(ctx, key, verdict);
      break;
    case Kind::HoldAgain:
      take_held_entry(ctx);
      hold(ctx, PendingKey{key.vk, key.lparam, verdict.resend, verdict.rounds});
      release_deferred(ctx);
      return {KeyDownAction::Eaten};
    case Kind::Hold: {
      if (ctx.state.held.empty() && ctx.state.deferred.empty())
        ctx.services.log("fallback: keys typed ahead of retype, reordered");
      // A new key must not overtake copies that are still ahead of the retype
      // and will be sent again behind it.
      const PendingKey pending{key.vk, key.lparam, verdict.resend, 0};
      if (ctx.state.expectation.held_before > 0)
        ctx.state.deferred.push_back(pending);
      else
        hold(ctx, pending);
      release_deferred(ctx);
      return {KeyDownAction::Eaten};
    }
    case Kind::Handle:
      return handle(ctx, key);
    case Kind::Track:
      track_key(ctx, key, verdict);
      break;
  }
  if (repeated) ctx.state.tracker.lose("key held down");
  return result;
}

bool same_key(const TestedKey& tested, const KeyMessage& key) {
  return tested.vk == key.vk && tested.lparam == key.lparam;
}

}  // namespace

void queue_sent_character(FallbackState& state, const Clock& clock, char32_t c) {
  const Deadline deadline = deadline_in(clock, kSentCharLifetimeMs);
  state.sent_chars.push_back(SentChar{c, deadline});
  if (c > 0xFFFF) state.sent_chars.push_back(SentChar{0, deadline});
}

void expect_retype(FallbackState& state, const Clock& clock, std::size_t backspaces,
                   std::size_t packets) {
  RetypeExpectation& e = state.expectation;
  e.backspaces += static_cast<std::uint32_t>(backspaces);
  e.packets += static_cast<std::uint32_t>(packets);
  e.deadline = deadline_in(clock, kRetypeLifetimeMs);
  e.held_before = state.held.size();
  e.sent_before = state.sent_chars.size();
}

void settle(KeyContext& ctx) {
  std::optional<TestedKey> tested = std::exchange(ctx.state.tested, std::nullopt);
  // An eaten key whose key-down phase never came is not acted on.
  if (!tested || tested->verdict.eaten()) return;
  const KeyMessage key{tested->vk, tested->lparam, tested->context};
  carry_out(ctx, key, tested->verdict, tested->repeated);
}

bool test_key_down(KeyContext& ctx, const KeyMessage& key) {
  if (ctx.state.tested && same_key(*ctx.state.tested, key)) {
    if (repeat_bit(key.lparam)) ctx.state.tested->repeated = true;
    return ctx.state.tested->verdict.eaten();
  }
  settle(ctx);
  const Verdict verdict = decide(ctx, key);
  ctx.state.tested = TestedKey{key.vk, key.lparam, key.context, verdict, false};
  return verdict.eaten();
}

KeyDownResult key_down(KeyContext& ctx, const KeyMessage& key) {
  if (ctx.state.tested && same_key(*ctx.state.tested, key)) {
    const TestedKey tested = *std::exchange(ctx.state.tested, std::nullopt);
    return carry_out(ctx, key, tested.verdict, tested.repeated);
  }
  settle(ctx);
  return carry_out(ctx, key, decide(ctx, key), false);
}

void character_inserted(KeyContext& ctx, char32_t c) {
  ctx.undo.reset();
  ctx.state.tracker.append(c);
}

void character_not_inserted(KeyContext& ctx, char32_t c) {
  ctx.undo.reset();
  ctx.services.log("keymap: edit session failed, sending as unicode key");
  queue_sent_character(ctx.state, ctx.host.clock, c);
  send_character(ctx.host, c);
}

bool send_plain_backspace(FallbackState& state, Host& host) {
  if (!send_events(host.input, retype_events(0, "", false)).complete()) return false;
  expect_retype(state, host.clock, 1, 0);
  return true;
}

void send_character(Host& host, char32_t c) {
  send_events(host.input, character_events(c, kMarkResent));
}

bool retype(Host& host, FallbackServices& services, std::size_t delete_count, std::string_view text,
            bool trailing_space) {
  const SendResult result =
      send_events(host.input, retype_events(delete_count, text, trailing_space));
  if (!result.complete()) {
    services.log("fallback: SendInput sent " + std::to_string(result.sent) + "/" +
                 std::to_string(result.total));
    return false;
  }
  services.log(trailing_space ? "fallback: converted" : "fallback: undo");
  return true;
}

TransitoryClass classify_transitory(const KeyContext& ctx, const KeyMessage& key) {
  if (key.context != ContextKind::Ordinary && key.context != ContextKind::Transitory) return {};
  // Characters the service sent as keystrokes are still on their way even in
  // an ordinary context when an insertion through the document failed; the
  // keys after them must then travel the same way to keep their order.
  const bool own_in_flight = live_sent_chars(ctx) > 0;
  if (key.context != ContextKind::Transitory && !own_in_flight) return {};
  if (auto c = keymap_character(ctx.services.keymap(), ctx.host.keys, key.vk, key.lparam))
    return {TransitoryClass::Character, *c};
  if (key.vk == kVkPacket || key.vk == kVkDummy || !own_in_flight ||
      ctrl_alt_win_held(ctx.host.keys) || is_modifier(key.vk))
    return {};
  const std::optional<char32_t> c = character_of_key(ctx.host, key.vk, key.lparam);
  if (!c || is_whitespace_key_character(*c)) return {TransitoryClass::NoCharacter};
  return {TransitoryClass::Character, *c};
}

std::optional<char32_t> character_of_key(const Host& host, std::uint16_t vk, std::uint32_t lparam) {
  KeyboardState state{};
  if (!host.keys.keyboard_state(state)) return std::nullopt;
  char16_t buffer[4] = {};
  const auto scan = static_cast<std::uint16_t>((lparam >> 16) & 0xFF);
  constexpr unsigned kKeepKeyboardState = 4;
  const int n =
      host.layout.to_unicode(vk, scan, state, buffer, kKeepKeyboardState, host.layout.current());
  if (n != 1) return std::nullopt;
  const char32_t c = buffer[0];
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  return c;
}

std::optional<char32_t> keymap_character(const KeyMap* map, const KeyState& keys, std::uint16_t vk,
                                         std::uint32_t lparam) {
  // Ctrl, Alt or Win with a key is a shortcut, not a character.
  if (!map || !is_character_key(vk) || ctrl_alt_win_held(keys)) return std::nullopt;
  return keymap_lookup(*map, (lparam >> 16) & 0xFF, keys.is_down(kVkShift),
                       keys.is_toggled(kVkCapsLock), false);
}

}  // namespace vexo::tsf
