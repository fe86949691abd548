// Key handling in applications that do not show their text, played through a
// simulated keyboard, operating system and application (tests/key_sim.h).
#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "core/lib.h"
#include "core/token.h"
#include "core/unicode.h"
#include "tests/key_sim.h"
#include "tsf/context_guard.h"
#include "tsf/retype.h"

namespace vexo::tsf {
namespace {

using sim::Desk;

std::size_t count_prefix(const std::vector<std::string>& lines, std::string_view prefix) {
  std::size_t n = 0;
  for (const std::string& line : lines) n += line.starts_with(prefix) ? 1 : 0;
  return n;
}

TEST(FallbackRetype, WordAndSpaceAreRetypedWithTheRetypeMark) {
  Desk desk;
  desk.type("so'z ");
  desk.deliver_all();
  EXPECT_EQ(desk.text(), "söz ");
  const std::vector<KeyEvent>& sent = desk.sent();
  ASSERT_EQ(sent.size(), 2u * (5 + 3 + 1));
  for (std::size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(sent[i].vk, kVkBackspace);
    EXPECT_EQ(sent[i].key_up, i % 2 == 1);
  }
  std::u16string typed;
  for (std::size_t i = 10; i < sent.size(); i += 2) {
    EXPECT_TRUE(sent[i].unicode);
    typed += static_cast<char16_t>(sent[i].scan);
  }
  EXPECT_EQ(typed, u"söz ");
  for (const KeyEvent& e : sent) EXPECT_EQ(e.mark, kMarkRetype);
  EXPECT_EQ(desk.count_log("fallback: converted"), 1u);
  // Every keystroke of the retype was recognised on its way back.
  EXPECT_EQ(desk.state.expectation.backspaces, 0u);
  EXPECT_EQ(desk.state.expectation.packets, 0u);
  ASSERT_TRUE(desk.undo);
  EXPECT_TRUE(desk.undo->via_fallback);
}

TEST(FallbackRetype, SurrogatePairsTravelAsTwoUnits) {
  const std::vector<KeyEvent> events = retype_events(0, "a\U0001F600", false);
  ASSERT_EQ(events.size(), 2u + 2u + 4u);
  EXPECT_EQ(events[4].scan, 0xD83D);
  EXPECT_EQ(events[6].scan, 0xDE00);
  EXPECT_EQ(utf16_length("a\U0001F600"), 3u);
  const std::vector<KeyEvent> resent = same_key_events(0x25, sim::lparam_of(0x25));
  EXPECT_TRUE(resent[0].extended);
  EXPECT_EQ(resent[0].scan, kOwnKeyScan);  // the key itself says it is the service's
  EXPECT_TRUE(resent[1].key_up);
}

TEST(FallbackRetype, KeysTypedAheadComeOutAfterTheRetypeInOrder) {
  Desk desk;
  // Typed faster than the application takes keys: all of it is queued before
  // the Space sends the retype.
  desk.type("so'z bu shahar ");
  desk.deliver_all();
  EXPECT_EQ(desk.text(), "söz bu şahar ");
  EXPECT_EQ(desk.count_log("fallback: keys typed ahead of retype, reordered"), 1u);
  EXPECT_EQ(desk.count_log("fallback: converted"), 2u);
  EXPECT_TRUE(desk.state.held.empty());

  // A second burst, after the first has settled, is logged again.
  desk.wait(2000);
  desk.type("o'g'il ha");
  desk.press(kVkBackspace);
  desk.type("a ");
  desk.deliver_all();
  EXPECT_EQ(desk.text(), "söz bu şahar öğil ha ");
  EXPECT_EQ(desk.count_log("fallback: keys typed ahead of retype, reordered"), 2u);
}

TEST(FallbackTracking, WordsThatCannotBeTrustedAreLeftAlone) {
  struct Case {
    const char* name;
    void (*play)(Desk&);
    std::string reason;
  };
  const Case cases[] = {
      {"too long", [](Desk& d) { d.type(std::string(40, 's') + "h "); }, "word too long"},
      {"click",
       [](Desk& d) {
         d.type("so'");
         d.deliver_all();
         d.click(1);
         d.type("z ");
       },
       "mouse click inside the word"},
      {"arrow",
       [](Desk& d) {
         d.type("so'");
         d.press(sim::kLeft);
         d.press(sim::kRight);
         d.type("z ");
       },
       "arrows, Home/End or Delete"},
      {"delete",
       [](Desk& d) {
         d.type("so'z");
         d.press(sim::kDelete);
         d.type(" ");
       },
       "arrows, Home/End or Delete"},
      {"escape",
       [](Desk& d) {
         d.type("so'z");
         d.press(sim::kEsc);
         d.type(" ");
       },
       "arrows, Home/End or Delete"},
      {"packet",
       [](Desk& d) {
         d.type("so'");
         d.foreign_packet(u'z');
         d.type(" ");
       },
       "unicode key from another program"},
      {"backspace",
       [](Desk& d) {
         d.type("a");
         d.press(kVkBackspace);
         d.press(kVkBackspace);
         d.type("so'z ");
       },
       "backspace past word start"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Desk desk;
    c.play(desk);
    desk.deliver_all();
    EXPECT_EQ(desk.count_log("fallback: word not tracked: " + c.reason), 1u);
    EXPECT_EQ(desk.count_log("fallback: converted"), 0u);
    EXPECT_TRUE(desk.sent().empty());
  }
  // The word after such a word is tracked again.
  Desk desk;
  desk.type(std::string(41, 'a') + " so'z ");
  desk.deliver_all();
  EXPECT_EQ(desk.text(), std::string(41, 'a') + " söz ");
  // A 40-character word is still converted.
  Desk forty;
  forty.type(std::string(38, 'a') + "sh ");
  forty.deliver_all();
  EXPECT_EQ(forty.count_log("fallback: converted"), 1u);
}

TEST(FallbackTracking, LineAndFieldKeysEndTheWordWithoutConverting) {
  for (std::uint16_t end : {sim::kEnter, sim::kTab}) {
    Desk desk;
    desk.type("so'z");
    desk.press(end);
    desk.type("shahar ");
    desk.deliver_all();
    EXPECT_EQ(desk.text(), std::string("so'z") + (end == sim::kEnter ? "\n" : "\t") + "şahar ");
    EXPECT_EQ(count_prefix(desk.log_lines(), "fallback: word not tracked"), 0u);
  }
  Desk desk;
  desk.ctrl = true;
  desk.type("so'z");
  desk.deliver_all();
  desk.ctrl = false;
  desk.type(" ");
  desk.deliver_all();
  EXPECT_EQ(desk.count_log("fallback: word not tracked: Ctrl, Alt or Win held"), 1u);
  Desk unchanged;
  unchanged.config.options.exceptions.push_back("so'z");
  unchanged.type("so'z bu ");
  unchanged.deliver_all();
  EXPECT_EQ(unchanged.count_log("fallback: word unchanged (len 4), exception"), 1u);
  EXPECT_EQ(unchanged.count_log("fallback: word unchanged (len 2)"), 1u);
}

TEST(FallbackUndo, BackspaceAfterConversionRestoresTheTypedWord) {
  Desk desk;
  desk.type("so'z ");
  desk.deliver_all();
  const std::size_t before = desk.sent().size();
  desk.press(kVkBackspace);
  desk.deliver_one();
  desk.deliver_one();  // its release
  // The application removed the Space; the service deletes the converted word
  // and types the typed one.
  const std::vector<KeyEvent> undo(desk.sent().begin() + static_cast<std::ptrdiff_t>(before),
                                   desk.sent().end());
  ASSERT_EQ(undo.size(), 2u * (3 + 4));
  EXPECT_EQ(desk.state.expectation.backspaces, 3u);
  EXPECT_EQ(desk.state.expectation.packets, 4u);
  desk.deliver_all();
  EXPECT_EQ(desk.text(), "so'z");
  EXPECT_EQ(desk.count_log("fallback: undo"), 1u);
  EXPECT_EQ(desk.count_log("undo: restored (kept for this app only)"), 1u);
  EXPECT_EQ(desk.state.expectation.backspaces, 0u);
  EXPECT_EQ(desk.state.expectation.packets, 0u);
  // A Backspace of the user's own is not taken for one of the retype.
  desk.press(kVkBackspace);
  desk.deliver_all();
  EXPECT_EQ(desk.text(), "so'");
  // The word is an exception from now on.
  desk.type("z so'z ");
  desk.deliver_all();
  EXPECT_EQ(desk.text(), "so'z so'z ");

  Desk off;
  off.config.undo_backspace = false;
  off.type("so'z ");
  off.press(kVkBackspace);
  off.deliver_all();
  EXPECT_EQ(off.text(), "söz");
  EXPECT_EQ(off.count_log("fallback: undo"), 0u);

  Desk moved;
  moved.type("so'z ");
  moved.press(sim::kLeft);
  moved.press(sim::kRight);
  moved.press(kVkBackspace);
  moved.deliver_all();
  EXPECT_EQ(moved.text(), "söz");
}

TEST(FallbackUndo, OnlyAPlainBackspaceUndoesAnEditSessionConversion) {
  Desk desk;
  desk.type("so'z ");
  desk.deliver_all();
  desk.undo = UndoRecord{"so'z", "söz", false};
  desk.shift = true;
  desk.press(kVkBackspace);
  desk.deliver_all();
  EXPECT_EQ(desk.text(), "söz");  // Shift+Backspace is an ordinary Backspace
  desk.shift = false;
  desk.undo = UndoRecord{"so'z", "söz", false};
  desk.ctrl = true;
  desk.press(kVkBackspace);
  desk.deliver_all();
  EXPECT_EQ(desk.text(), "sö");
  desk.ctrl = false;
  desk.undo = UndoRecord{"so'z", "söz", false};
  KeyContext ctx{desk.state, desk.host(), desk, desk.session, desk.undo};
  const KeyMessage backspace{kVkBackspace, sim::lparam_of(kVkBackspace), ContextKind::Ordinary};
  EXPECT_TRUE(test_key_down(ctx, backspace));
  EXPECT_EQ(key_down(ctx, backspace).action, KeyDownAction::UndoThroughText);
}

TEST(FallbackUndo, APlainBackspaceSentForAFailedUndoKeepsTypingOrder) {
  Desk desk;
  desk.type("so'z ");
  desk.deliver_all();
  desk.undo = UndoRecord{"so'z", "söz", false};
  desk.restore_fails = true;
  desk.press(kVkBackspace);
  desk.type("a");
  desk.deliver_all();
  // The Backspace went out behind the key typed after it; that key is held
  // and sent again behind the Backspace.
  EXPECT_EQ(desk.text(), "söza");
  ASSERT_FALSE(desk.sent().empty());
  EXPECT_EQ(desk.sent()[0].vk, kVkBackspace);
  EXPECT_EQ(desk.sent()[0].mark, kMarkRetype);
}

TEST(FallbackUndo, ExpiredDeadlinesDropTheirEntries) {
  Desk desk;
  desk.type("so'z a");
  // "a" is held and resent behind the retype.
  while (desk.state.held.empty() && desk.deliver_one()) {
  }
  ASSERT_EQ(desk.state.held.size(), 1u);
  desk.wait(1600);
  desk.deliver_all();
  EXPECT_EQ(desk.text(), "söz a");
  EXPECT_TRUE(desk.state.held.empty());
  EXPECT_EQ(desk.state.expectation.backspaces, 0u);
  EXPECT_EQ(desk.state.expectation.packets, 0u);
}

TEST(FallbackRetype, PartialSendIsLoggedAndLeavesNoUndo) {
  Desk desk;
  desk.send_limit = 3;
  desk.type("so'z ");
  desk.deliver_all();
  EXPECT_EQ(desk.count_log("fallback: SendInput sent 3/18"), 1u);
  EXPECT_EQ(desk.count_log("fallback: converted"), 0u);
  EXPECT_FALSE(desk.undo);
  EXPECT_EQ(desk.state.expectation.backspaces, 0u);
  EXPECT_EQ(desk.state.expectation.packets, 0u);
  // The next key is not held back behind a retype that will never finish.
  desk.send_limit.reset();
  desk.type("a");
  desk.deliver_all();
  EXPECT_TRUE(desk.text().ends_with("a"));
  EXPECT_TRUE(desk.state.held.empty());
}

TEST(FallbackTransitory, KeyMapAndInFlightCharactersAreSentAsKeystrokes) {
  Desk desk;
  desk.context = ContextKind::Transitory;
  desk.keymap_on = true;
  desk.map.set(0x2D, Cell::Normal, U'ö');  // the X key
  // The key map character goes out as a keystroke; the keys after it are
  // typed while it is still on its way.
  desk.press('X');
  desk.type("yz ");
  desk.deliver_all();
  EXPECT_EQ(desk.text(), "öyz ");
  ASSERT_GE(desk.sent().size(), 6u);
  EXPECT_TRUE(desk.sent()[0].unicode);
  EXPECT_EQ(desk.sent()[0].scan, u'ö');
  EXPECT_EQ(desk.sent()[0].mark, kMarkResent);
  EXPECT_EQ(desk.sent()[2].scan, u'y');
  EXPECT_EQ(desk.count_log("fallback: word unchanged (len 3)"), 1u);

  // In an ordinary context the key map character goes in through the
  // document, or as a keystroke when that fails.
  Desk ordinary;
  ordinary.keymap_on = true;
  ordinary.map.set(0x2D, Cell::Normal, U'ö');
  ordinary.insert_fails = true;
  ordinary.type("s");
  ordinary.press('X');
  ordinary.type("z ");
  ordinary.deliver_all();
  EXPECT_EQ(ordinary.text(), "söz ");
  EXPECT_EQ(ordinary.count_log("keymap: edit session failed, sending as unicode key"), 1u);
}

TEST(FallbackKeyMap, ShortcutsReachTheApplicationUnmapped) {
  for (const ContextKind context : {ContextKind::Ordinary, ContextKind::Transitory}) {
    Desk desk;
    desk.context = context;
    desk.keymap_on = true;
    desk.map.set(0x2D, Cell::Normal, U'ö');  // the X key
    desk.ctrl = true;
    desk.press('X');
    desk.deliver_all();
    desk.ctrl = false;
    EXPECT_TRUE(desk.sent().empty()) << static_cast<int>(context);
    EXPECT_EQ(desk.text().find("ö"), std::string::npos) << static_cast<int>(context);
  }
}

// TSF may test a key twice or call the key-down phase without a test: the
// test phase changes nothing, and each key is carried out exactly once.
TEST(FallbackPhases, EachKeyIsCarriedOutOnceWhateverTheCallOrder) {
  const KeyMessage space{sim::kSpace, sim::lparam_of(sim::kSpace), ContextKind::Ordinary};
  for (const int calls : {0, 1, 2}) {  // test calls before the key-down phase (0: none)
    SCOPED_TRACE(calls);
    Desk desk;
    desk.type("so'z");
    desk.deliver_all();
    KeyContext ctx{desk.state, desk.host(), desk, desk.session, desk.undo};
    for (int i = 0; i < calls; ++i) EXPECT_FALSE(test_key_down(ctx, space));
    EXPECT_TRUE(desk.sent().empty());  // deciding sent nothing
    if (calls != 1) {
      EXPECT_EQ(key_down(ctx, space).action, KeyDownAction::Pass);
    }
    settle(ctx);  // the key-up
    settle(ctx);
    EXPECT_EQ(desk.count_log("fallback: converted"), 1u);
    EXPECT_EQ(desk.sent().size(), 2u * (5 + 4));
  }
  // The same message tested again with the auto-repeat bit may be the next
  // repeat: the word is given up rather than guessed.
  Desk desk;
  desk.type("so'");
  desk.deliver_all();
  KeyContext ctx{desk.state, desk.host(), desk, desk.session, desk.undo};
  const KeyMessage repeat{'Z', sim::lparam_of('Z') | 1u << 30, ContextKind::Ordinary};
  test_key_down(ctx, repeat);
  test_key_down(ctx, repeat);
  settle(ctx);
  EXPECT_FALSE(desk.state.tracker.tracked());
}

// Clicks are seen by the thread's mouse hook even when the shared "pressed
// since" bit lost them; a thread without the hook converts nothing.
TEST(FallbackTracking, AClickIsSeenWithoutThePressedSinceBit) {
  for (const bool hooked : {true, false}) {
    SCOPED_TRACE(hooked);
    sim::Timing timing;
    timing.click_bit_lost = true;
    timing.mouse_hooked = hooked;
    Desk desk(timing);
    desk.type("sha");
    desk.deliver_all();
    desk.click(0);
    desk.type("har ");
    desk.deliver_all();
    EXPECT_EQ(desk.text(), "har sha");  // not "shahar" retyped over "har "
    EXPECT_EQ(desk.count_log("fallback: converted"), 0u);
    EXPECT_EQ(desk.count_log(hooked ? "fallback: word not tracked: mouse click inside the word"
                                    : "fallback: word not tracked: mouse clicks not watched"),
              1u);
  }
}

// A copy that keeps meeting a retype on its way goes through after
// kMaxHoldRounds rather than travel without end.
TEST(FallbackRetype, AHeldKeyIsSentAgainOnlySoOften) {
  Desk desk;
  desk.state.expectation = {.backspaces = 1000, .packets = 0, .deadline = {1000000}};
  desk.type("a");
  desk.deliver_all();
  EXPECT_EQ(desk.text(), "a");
  EXPECT_EQ(desk.sent().size(), 2u * kMaxHoldRounds);
  EXPECT_EQ(desk.count_log("fallback: held key let through after 8 rounds"), 1u);
}

// Fields that take keys but hide their text (passwords, PINs), disabled
// keyboards and empty contexts are left alone by both paths.
TEST(ProtectedContext, IsLeftAloneAndLoggedOnce) {
  struct Case {
    ContextFacts facts;
    ContextKind kind;
    const char* line;
  };
  const Case cases[] = {
      {{}, ContextKind::Ordinary, nullptr},
      {{.transitory = true}, ContextKind::Transitory, nullptr},
      {{.present = false}, ContextKind::None, nullptr},
      {{.hides_text = true, .transitory = true}, ContextKind::Protected,
       "context left alone: password field"},
      {{.keyboard_disabled = true}, ContextKind::Protected,
       "context left alone: keyboard disabled"},
      {{.empty = true}, ContextKind::Protected, "context left alone: empty context"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(context_kind(c.facts), c.kind);
    bool logged = false;
    const auto line = protected_context_line(c.facts, logged);
    EXPECT_EQ(line.value_or(""), c.line ? c.line : "");
    EXPECT_EQ(protected_context_line(c.facts, logged), std::nullopt);  // once
  }
  EXPECT_TRUE(scopes_hide_text(std::vector<std::int32_t>{1, 31}));  // IS_URL, IS_PASSWORD
  EXPECT_TRUE(scopes_hide_text(std::vector<std::int32_t>{64}));     // IS_NUMERIC_PIN
  EXPECT_FALSE(scopes_hide_text(std::vector<std::int32_t>{0, 1, 5, 61}));
  EXPECT_FALSE(scopes_hide_text({}));

  // Keys pass untouched: no key map, no retype, no undo.
  Desk desk;
  desk.context = ContextKind::Protected;
  desk.keymap_on = true;
  desk.map.set(0x2D, Cell::Normal, U'ö');  // the X key
  desk.type("so'z x ");
  desk.press(kVkBackspace);
  desk.deliver_all();
  EXPECT_EQ(desk.text(), "so'z x");
  EXPECT_TRUE(desk.sent().empty());
  EXPECT_TRUE(desk.log_lines().empty());
}

// A careful typist's editor: the same keys, each one finished before the
// next, with every word that may be converted converted at its Space, and
// one Backspace right after a conversion taking it back.
class ReferenceEditor {
 public:
  explicit ReferenceEditor(ConvertOptions options) : options_(std::move(options)) {}

  // A click puts the caret elsewhere. At the next key, a word typed so far is
  // unknown; with no word typed yet, a new one starts there.
  void click(std::size_t caret) {
    caret_ = std::min(caret, text_.size());
    clicked_ = true;
    undo_.reset();
  }

  void press(std::uint16_t vk) {
    if (std::exchange(clicked_, false)) {
      clean_ = word_.empty();
      word_.clear();
    }
    std::optional<std::pair<std::string, std::string>> undo = std::exchange(undo_, std::nullopt);
    if (undo && vk == kVkBackspace) return restore(undo->first, undo->second);
    if (vk == kVkBackspace) {
      if (caret_ > 0) text_.erase(--caret_, 1);
      if (word_.empty())
        clean_ = false;
      else
        word_.pop_back();
    } else if (vk == sim::kEnter) {
      insert(U'\n');
      start_word();
      session_.reset();
    } else if (vk == sim::kLeft || vk == sim::kRight) {
      if (vk == sim::kLeft && caret_ > 0) --caret_;
      if (vk == sim::kRight && caret_ < text_.size()) ++caret_;
      word_.clear();
      clean_ = false;
      session_.reset();
    } else if (vk == sim::kSpace) {
      insert(U' ');
      end_word();
    } else {
      const char32_t c = vk == sim::kApostrophe ? U'\'' : static_cast<char32_t>(vk - 'A' + 'a');
      insert(c);
      if (word_.size() >= WordTracker::kLimit) clean_ = false;
      word_.push_back(c);
    }
  }

  std::string text() const { return to_utf8(text_); }

 private:
  static std::string to_utf8(const std::u32string& chars) {
    std::string out;
    for (char32_t c : chars) append_utf8(out, c);
    return out;
  }
  static std::u32string to_chars(const std::string& utf8) {
    const std::vector<char32_t> v = decode_utf8(utf8);
    return std::u32string(v.begin(), v.end());
  }
  void insert(char32_t c) { text_.insert(caret_++, 1, c); }
  void start_word() {
    word_.clear();
    clean_ = true;
  }
  void end_word() {
    const std::u32string word = std::exchange(word_, {});
    const bool clean = std::exchange(clean_, true);
    if (!clean || word.empty()) return;
    const std::string typed = to_utf8(word);
    const auto result = session_.complete_word(typed, options_);
    if (!result) return;
    const std::u32string converted = to_chars(result->word);
    const std::size_t at = caret_ - 1 - word.size();
    text_.replace(at, word.size(), converted);
    caret_ = at + converted.size() + 1;
    undo_.emplace(typed, result->word);
  }
  void restore(const std::string& typed, const std::string& converted) {
    const std::u32string old_word = to_chars(typed);
    const std::size_t length = to_chars(converted).size();
    const std::size_t at = caret_ - 1 - length;
    text_.replace(at, length + 1, old_word);
    caret_ = at + old_word.size();
    const std::string key = word_key(split_word(typed).core);
    if (!options_.is_exception(key)) options_.exceptions.push_back(key);
    session_.reset();
    word_.clear();
    clean_ = false;
  }

  ConvertOptions options_;
  TypingSession session_;
  std::u32string text_;
  std::size_t caret_ = 0;
  std::u32string word_;
  bool clean_ = true;
  bool clicked_ = false;
  std::optional<std::pair<std::string, std::string>> undo_;
};

// Random typing, with the application sometimes behind and the key sink
// called as real hosts call it: keys tested twice, key-down phases without a
// test, clicks that the "pressed since" bit loses.
TEST(FallbackProperty, RandomTypingEndsAsACarefulTypistSeesIt) {
  const std::string letters = "shog'zaicl'ubo";
  const char* const words[] = {"so'z", "shahar", "o'g'il", "bo'ldi", "choy", "ma'no", "kitob"};
  constexpr std::uint16_t kClick = 0;
  std::size_t reordered = 0, converted = 0, undone = 0;
  for (unsigned seed = 1; seed <= 1000; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    sim::Timing timing;
    timing.seed = seed;
    timing.untested_percent = seed % 3 == 0 ? 25 : 0;
    timing.double_test_percent = seed % 4 == 1 ? 30 : 0;
    timing.click_bit_lost = seed % 2 == 0;
    Desk desk(timing);
    ReferenceEditor reference(desk.config.options);
    std::vector<std::uint16_t> keys;
    const int length = 20 + static_cast<int>(random() % 60);
    for (int i = 0; i < length; ++i) {
      const unsigned pick = random() % 100;
      std::uint16_t vk;
      if (pick < 25) {
        for (char c : std::string_view(words[random() % std::size(words)]))
          keys.push_back(sim::vk_of(c));
        continue;
      }
      if (pick < 28)
        vk = kClick;
      else if (pick < 62)
        vk = sim::vk_of(letters[random() % letters.size()]);
      else if (pick < 82)
        vk = sim::kSpace;
      else if (pick < 91)
        vk = kVkBackspace;
      else if (pick < 95)
        vk = sim::kEnter;
      else
        vk = pick < 98 ? sim::kLeft : sim::kRight;
      keys.push_back(vk);
    }
    for (std::uint16_t vk : keys) {
      if (vk == kClick) {
        // The user clicks once the application has caught up.
        desk.deliver_all();
        const std::size_t caret = random() % 64;
        desk.click(caret);
        reference.click(caret);
        continue;
      }
      desk.press(vk);
      reference.press(vk);
      // The user may be faster than the application for a while.
      switch (random() % 4) {
        case 0:
          break;
        case 1:
          desk.deliver_one();
          break;
        case 2:
          for (unsigned n = random() % 12; n > 0; --n) desk.deliver_one();
          break;
        default:
          desk.wait(random() % 300);
          desk.deliver_all();
      }
    }
    desk.deliver_all();
    ASSERT_EQ(desk.text(), reference.text());
    EXPECT_TRUE(desk.state.held.empty());
    EXPECT_EQ(desk.state.expectation.backspaces, 0u);
    EXPECT_EQ(desk.state.expectation.packets, 0u);
    reordered += desk.count_log("fallback: keys typed ahead of retype, reordered");
    converted += desk.count_log("fallback: converted");
    undone += desk.count_log("fallback: undo");
  }
  // The sequences reach every path that matters.
  EXPECT_GT(reordered, 100u);
  EXPECT_GT(converted, 400u);
  EXPECT_GT(undone, 40u);
}

}  // namespace
}  // namespace vexo::tsf
