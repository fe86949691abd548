// Finished words converted in place in a document that exposes its text,
// the Backspace that undoes a conversion, and the exception file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/fake_document.h"
#include "tsf/exception_file.h"
#include "tsf/exclusive.h"
#include "tsf/handler.h"
#include "tsf/key_decision.h"
#include "tsf/profile.h"
#include "tsf/service.h"
#include "tsf/utf16.h"

namespace vexo::tsf {
namespace {

namespace fs = std::filesystem;
using testing::FakeDocument;
using testing::FakeRequester;
using testing::TypingHost;

std::u16string u16(std::string_view utf8) { return utf8_to_utf16(utf8); }

TEST(EditPlan, FindsTheWordBeforeAtMostTwoSeparators) {
  EXPECT_EQ(plan(u"Men bu so'z ", true), (EditPlan{"so'z", 1, 4}));
  EXPECT_EQ(plan(u"so'z\r\n", true), (EditPlan{"so'z", 2, 4}));
  EXPECT_EQ(plan(u"a\u202Fsöz\u2009", true), (EditPlan{"söz", 1, 3}));
  EXPECT_EQ(plan(u"so'z", true), (EditPlan{"so'z", 0, 4}));
  EXPECT_EQ(plan(u"so'z   ", true), std::nullopt);
  EXPECT_EQ(plan(u"  ", true), std::nullopt);
  EXPECT_EQ(plan(u"", true), std::nullopt);
  // A word touching the start of a window that did not reach the document
  // start may go on before it.
  EXPECT_EQ(plan(u"ahar ", false), std::nullopt);
  EXPECT_EQ(plan(u"x ahar ", false), (EditPlan{"ahar", 1, 4}));
  // A character beyond U+FFFF counts two units; a lone surrogate is no word.
  EXPECT_EQ(plan(u"a\U0001F600 ", true), (EditPlan{"a\xF0\x9F\x98\x80", 1, 3}));
  EXPECT_EQ(plan(u"so\xD800z ", true), std::nullopt);
  EXPECT_EQ(plan(u"so\xDC00 ", true), std::nullopt);
}

TEST(EditPlan, ReadsSixtyFourUnitsBeforeABareCaret) {
  FakeDocument document;
  document.type(std::u16string(70, u'a'));
  CaretRead read = read_caret_text(document);
  ASSERT_EQ(read.status, CaretRead::Status::Text);
  EXPECT_EQ(read.caret.text.size(), 64u);
  EXPECT_FALSE(read.caret.at_start);

  document.text = std::u16string(64, u'b');
  document.caret = document.selection_end = 64;
  EXPECT_FALSE(read_caret_text(document).caret.at_start);
  document.caret = document.selection_end = 63;
  EXPECT_TRUE(read_caret_text(document).caret.at_start);

  document.selection_end = 64;
  EXPECT_EQ(read_caret_text(document).status, CaretRead::Status::NoSelection);
}

// A profile directory with a settings file, loaded as at activation.
class TypingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "vexo-edit-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directories(dir());
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path dir() const { return root_ / "vexo"; }
  void write(const std::string& name, std::string_view text) {
    std::ofstream(dir() / name, std::ios::binary | std::ios::trunc) << text;
  }
  std::string read(const std::string& name) {
    return platform::read_file((dir() / name).string()).value_or("<missing>");
  }
  ServiceState& load(std::string executable = "notepad.exe") {
    service_.emplace(Profile{dir().string(), std::move(executable)});
    load_files(service_->files);
    return *service_;
  }

  fs::path root_;
  std::optional<ServiceState> service_;
};

TEST_F(TypingTest, ConvertsOnlyTheFinishedWordAndPutsTheCaretAfterItsSpace) {
  TypingHost host(load());
  host.type(u"Men bu so'z ");
  EXPECT_EQ(host.document.text, u16("Men bu söz "));
  EXPECT_EQ(host.document.caret, host.document.text.size());
  EXPECT_TRUE(host.has_log("context mirrors typing: TSF path"));
  EXPECT_TRUE(host.has_log("converted"));
  EXPECT_EQ(host.undo, (UndoRecord{"so'z", "söz", false}));

  // Text after the caret is never touched.
  TypingHost middle(*service_);
  middle.document.type(u" tamom");
  middle.document.caret = middle.document.selection_end = 0;
  middle.type(u"bu so'z ");
  EXPECT_EQ(middle.document.text, u16("bu söz  tamom"));
  EXPECT_EQ(middle.document.caret, 7u);
}

TEST_F(TypingTest, AfterEnterTheLineBreakStaysAndNothingIsLeftToUndo) {
  TypingHost host(load());
  host.type(u"so'z\n");
  EXPECT_EQ(host.document.text, u16("söz\n"));
  EXPECT_EQ(host.document.caret, 4u);
  EXPECT_FALSE(host.undo);
  host.backspace();
  EXPECT_EQ(host.document.text, u16("söz"));

  TypingHost crlf(*service_);
  crlf.type(u"Bu so'z\r");
  EXPECT_EQ(crlf.document.text, u16("Bu söz\r"));
  EXPECT_EQ(crlf.document.caret, crlf.document.text.size());
}

TEST_F(TypingTest, BackspaceRestoresTheWordAndKeepsItAsAnException) {
  write("settings.ini", "undo_remember = ha\n");
  TypingHost host(load());
  host.type(u"Men so'z ");
  host.backspace();
  EXPECT_EQ(host.document.text, u"Men so'z");
  EXPECT_EQ(host.document.caret, host.document.text.size());
  EXPECT_TRUE(host.has_log("undo: restored, added to exceptions"));
  EXPECT_EQ(read("exceptions.txt"), "so'z\n");

  host.type(u" ");
  EXPECT_EQ(host.document.text, u"Men so'z ");
  EXPECT_TRUE(host.has_log("word unchanged"));

  // The service's own write is no outside change: no reload, so an exception
  // held only in memory survives the next check.
  service_->files.settings.options.exceptions.push_back("memory-only");
  host.now_ms += 5000;
  EXPECT_TRUE(check_fresh(service_->files, host.now_ms));
  EXPECT_TRUE(service_->files.settings.options.is_exception("memory-only"));

  // Undoing the same word again adds no second line; punctuation typed with
  // the word stays out of the file, which is read back one key per line.
  service_->files.settings.options.exceptions.clear();
  host.type(u"So'z, ");
  ASSERT_TRUE(host.undo);
  host.backspace();
  EXPECT_EQ(host.document.text, u"Men so'z So'z,");
  EXPECT_EQ(read("exceptions.txt"), "so'z\nSo'z\n");
}

TEST_F(TypingTest, WithoutUndoRememberTheExceptionStaysInMemory) {
  TypingHost host(load());
  host.type(u"so'z ");
  host.backspace();
  EXPECT_EQ(host.document.text, u"so'z");
  EXPECT_TRUE(host.has_log("undo: restored (kept for this app only)"));
  EXPECT_EQ(read("exceptions.txt"), "<missing>");
  EXPECT_TRUE(is_exception(service_->files.settings.options, "(so'z)"));
}

TEST_F(TypingTest, OnlyAPlainBackspaceRightAfterAConversionUndoes) {
  TypingHost host(load());
  host.type(u"so'z ");
  const std::optional<UndoRecord> undo = host.undo;
  ASSERT_TRUE(undo);
  const bool on = true;
  EXPECT_TRUE(is_undo_backspace(kVkBackspace, {}, on, undo));
  EXPECT_FALSE(is_undo_backspace(kVkBackspace, {.ctrl = true}, on, undo));
  EXPECT_FALSE(is_undo_backspace(kVkBackspace, {.alt = true}, on, undo));
  EXPECT_FALSE(is_undo_backspace(kVkBackspace, {.shift = true}, on, undo));
  EXPECT_FALSE(is_undo_backspace(kVkBackspace, {.right_win = true}, on, undo));
  EXPECT_FALSE(is_undo_backspace(kVkBackspace, {}, false, undo));
  EXPECT_FALSE(is_undo_backspace(0x2E, {}, on, undo));
  EXPECT_FALSE(is_undo_backspace(kVkBackspace, {}, on, UndoRecord{"so'z", "söz", true}));
  // An arrow key drops the record; Shift keeps it.
  EXPECT_FALSE(key_keeps_undo(0x25));
  EXPECT_TRUE(key_keeps_undo(0xA1));

  // A restore finding other text before the caret leaves it alone.
  host.document.type(u"x");
  const RestoreOutcome outcome = run_restore_session(host.document, *undo);
  EXPECT_EQ(outcome.status, RestoreOutcome::Status::PlainBackspace);
  EXPECT_EQ(host.document.text, u16("söz x"));
  host.document.read_failure = 0x80004005;
  EXPECT_EQ(run_restore_session(host.document, *undo).log, "restore failed hr=0x80004005");
}

TEST_F(TypingTest, UnsureWordEndsConvertNothing) {
  // A second Space before the session of the first one ran: the word is
  // planned again, but the session wants exactly one separator.
  FakeDocument document;
  ServiceState state(Profile{});
  for (const std::u16string_view typed : {u"so'z", u" ", u" "}) {
    document.type(typed);
    const EndEditStep step = detect_word_end(state, read_caret_text(document), {});
    if (typed == u"so'z") continue;
    ASSERT_TRUE(step.word_end);
    EXPECT_EQ(step.word_end->plan.separators, document.caret - 4);
  }
  EXPECT_EQ(run_convert_session(document, "so'z", "söz").log, "skip: text changed meanwhile");
  EXPECT_EQ(document.text, u"so'z  ");

  // Three separators, pasted text, a long unbroken run and an unpaired
  // surrogate: no word end.
  TypingHost host(load());
  host.document.type(u"so'z");
  host.end_edit();
  host.document.type(u"\t\t\t");
  host.end_edit();
  host.type(std::u16string(70, u'x') + u"sh ");
  host.document.type(u"so'z ");
  host.end_edit();
  host.type(u"a\xDC00 ");
  EXPECT_EQ(host.log, std::vector<std::string>{"context mirrors typing: TSF path"});
  EXPECT_EQ(host.document.text.find(u"ö"), std::u16string::npos);

  // A selection instead of a caret: nothing is read.
  host.type(u"so'z");
  host.document.type(u" ");
  host.document.selection_end = host.document.caret + 1;
  host.document.text += u"y";
  host.end_edit();
  EXPECT_EQ(host.document.text.find(u"ö"), std::u16string::npos);
}

TEST_F(TypingTest, TheConvertSessionChecksTheTextAgain) {
  FakeDocument document;
  document.type(u"so'z ");
  EXPECT_EQ(run_convert_session(document, "bu", "bu").log, "skip: text changed meanwhile");
  document.selection_end = 6;
  EXPECT_EQ(run_convert_session(document, "so'z", "söz").log, "skip: selection changed");
  document.selection_end = document.caret;
  document.replace_failure = static_cast<HResult>(0x80070005);
  EXPECT_EQ(run_convert_session(document, "so'z", "söz").log, "edit session failed hr=0x80070005");
  document.text = u"\n\n\n";
  document.caret = document.selection_end = 3;
  EXPECT_EQ(run_convert_session(document, "so'z", "söz").log, "skip: word gone");
  EXPECT_EQ(document.text, u"\n\n\n");
}

TEST_F(TypingTest, AppsListedAsDisabledConvertNothingUntilTheListChanges) {
  write("settings.ini", "disabled_apps = notepad.exe\n");
  TypingHost host(load());
  host.type(u"so'z ");
  EXPECT_EQ(host.document.text, u"so'z ");

  write("settings.ini", "disabled_apps = putty.exe, mintty.exe\n");
  host.now_ms += 1000;
  host.type(u"so'z ");
  EXPECT_EQ(host.document.text, u16("so'z söz "));
}

TEST_F(TypingTest, TheExceptionFileGainsOneWholeLinePerWord) {
  EXPECT_EQ(append_exception(dir().string() + "/new", "so'z"), std::nullopt);
  EXPECT_EQ(platform::read_file((dir() / "new" / "exceptions.txt").string()), "so'z\n");

  write("exceptions.txt", "bir\r\n  so'z \nuch");
  EXPECT_EQ(append_exception(dir().string(), "so'z"), std::nullopt);
  EXPECT_EQ(read("exceptions.txt"), "bir\r\n  so'z \nuch");
  EXPECT_EQ(append_exception(dir().string(), "to'rt"), std::nullopt);
  EXPECT_EQ(read("exceptions.txt"), "bir\r\n  so'z \nuch\nto'rt\n");

  EXPECT_NE(append_exception(std::nullopt, "so'z"), std::nullopt);
  write("blocker", "");
  const std::optional<std::string> error = append_exception((dir() / "blocker").string(), "x");
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("blocker"), std::string::npos);
}

TEST_F(TypingTest, TheSharedStateIsGivenBackBeforeTheSessionIsRequested) {
  auto shared = std::make_shared<Exclusive<ServiceState>>(Profile{dir().string(), "notepad.exe"});
  load_files(shared->take()->files);
  std::vector<std::string> log;
  auto note = [&](std::string_view line) { log.emplace_back(line); };
  FakeDocument document;
  document.type(u"so'z");
  EXPECT_FALSE(end_edit(shared, read_caret_text(document), 0, note));
  document.type(u" ");
  const std::optional<ConvertRequest> request =
      end_edit(shared, read_caret_text(document), 0, note);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->converted, "söz");
  EXPECT_TRUE(shared->take());
  EXPECT_EQ(log, std::vector<std::string>{"context mirrors typing: TSF path"});

  // Called again while a caller further up holds the state: nothing is
  // decided, nothing recorded.
  auto held = shared->take();
  document.type(u"x");
  EXPECT_FALSE(end_edit(shared, read_caret_text(document), 0, note));
  EXPECT_EQ(held->previous_text, u"so'z ");
}

TEST_F(TypingTest, TheTypedWordTellsThatTheDocumentFollowsTheTyping) {
  auto shared = std::make_shared<Exclusive<ServiceState>>(Profile{dir().string(), "notepad.exe"});
  std::vector<std::string> log;
  auto note = [&](std::string_view line) { log.emplace_back(line); };
  auto type_tracked = [&](std::u16string_view word) {
    auto s = shared->take();
    for (const char16_t unit : word) s->fallback.tracker.append(unit);
  };

  // The first read already ends with the word the keys spelled.
  FakeDocument document;
  document.type(u"so'z");
  type_tracked(u"so'z");
  end_edit(shared, read_caret_text(document), 0, note);
  EXPECT_FALSE(shared->take()->fallback.fallback_mode);
  EXPECT_EQ(log, std::vector<std::string>{"context mirrors typing: TSF path"});

  // A word the tracker lost proves nothing, nor does another text.
  for (const bool lost : {true, false}) {
    shared->take()->fallback = FallbackState{};
    shared->take()->previous_text.clear();
    log.clear();
    FakeDocument other;
    other.type(u"so'z");
    // Characters typed after the tracker lost the word's start.
    if (lost) shared->take()->fallback.tracker.lose("mouse click inside the word");
    type_tracked(lost ? u"so'z" : u"bor");
    end_edit(shared, read_caret_text(other), 0, note);
    EXPECT_TRUE(shared->take()->fallback.fallback_mode) << lost;
    EXPECT_TRUE(log.empty()) << lost;
  }
}

TEST(SessionRequest, ARefusedSynchronousLockIsAskedForAgainToRunLater) {
  FakeRequester ran;
  EXPECT_EQ(request_now(ran), RequestOutcome::Ran);
  EXPECT_EQ(ran.flags, std::vector<std::uint32_t>{kRequestSyncReadWrite});

  // As documented: the request succeeds, the session's result says refused.
  const HResult kFail = static_cast<HResult>(0x80004005);
  struct Case {
    std::vector<SessionRequester::Answer> answers;
    RequestOutcome outcome;
    std::size_t requests;
  };
  const Case cases[] = {
      {{{kOk, kSynchronousRefused}, {kOk, kSessionQueued}}, RequestOutcome::Queued, 2},
      {{{kOk, kSynchronousRefused}, {kOk, kOk}}, RequestOutcome::Ran, 2},
      {{{kOk, kSynchronousRefused}, {kOk, kSynchronousRefused}}, RequestOutcome::Failed, 2},
      {{{kOk, kSynchronousRefused}, {kFail, kOk}}, RequestOutcome::Failed, 2},
      {{{kSynchronousRefused, kOk}, {kOk, kSessionQueued}}, RequestOutcome::Queued, 2},
      {{{kOk, kFail}}, RequestOutcome::Failed, 1},  // the session ran and failed
  };
  for (const Case& c : cases) {
    FakeRequester requester;
    requester.answers = c.answers;
    EXPECT_EQ(request_now(requester), c.outcome);
    ASSERT_EQ(requester.flags.size(), c.requests);
    if (c.requests == 2) {
      EXPECT_EQ(requester.flags[1], kRequestReadWrite);
    }
  }
  // The undo Backspace and a key map character are not swallowed when the
  // session never runs.
  FakeRequester undo_refused;
  undo_refused.answers = {{kOk, kSynchronousRefused}, {kOk, kSynchronousRefused}};
  EXPECT_EQ(undo_tsf(undo_refused), UndoAction::PlainBackspace);

  FakeRequester refused;
  refused.answers = {{static_cast<HResult>(0x80004005), kOk}};
  EXPECT_EQ(undo_tsf(refused), UndoAction::PlainBackspace);
  std::vector<std::string> log;
  refused.flags.clear();
  EXPECT_FALSE(insert_character(refused, log));
  EXPECT_EQ(log, std::vector<std::string>{"keymap: edit session failed, sending as unicode key"});
}

TEST_F(TypingTest, KeyMapKeysAreInsertedAtTheSelection) {
  FakeDocument document;
  document.type(u"abc");
  document.selection_end = 3;
  document.caret = 1;
  EXPECT_EQ(run_insert_session(document, U'ö'), std::nullopt);
  EXPECT_EQ(document.text, u16("aö"));
  EXPECT_EQ(run_insert_session(document, U'\U0001D400'), std::nullopt);
  EXPECT_EQ(document.caret, 4u);
}

TEST_F(TypingTest, PreservedAltGrKeysGiveTheKeyMapsAltGrLayer) {
  write("settings.ini", "keymap = ha\nlayout = altgr\n");
  SettingsState& settings = load().files;
  const std::uint8_t o = *scan_code_of("o");
  EXPECT_EQ(preserved_key_character(settings, preserved_key_guid(o, false), false), U'ö');
  EXPECT_EQ(preserved_key_character(settings, preserved_key_guid(o, true), false), U'Ö');
  EXPECT_EQ(preserved_key_character(settings, preserved_key_guid(o, false), true), U'Ö');
  Guid other = preserved_key_guid(o, false);
  other.data4[7] ^= 1;
  EXPECT_EQ(preserved_key_character(settings, other, false), std::nullopt);
  EXPECT_EQ(preserved_key_character(settings, preserved_key_guid(0x10, false), false),
            std::nullopt);
  settings.active = false;
  EXPECT_EQ(preserved_key_character(settings, preserved_key_guid(o, false), false), std::nullopt);
}

TEST(HandlerEdge, FailuresAreLoggedAndNeverEscape) {
  EXPECT_EQ(failed_message("insert", static_cast<HResult>(0x80004005)),
            "insert failed hr=0x80004005");
  EXPECT_EQ(slow_message("key down", 24), std::nullopt);
  EXPECT_EQ(slow_message("test key", 25), "slow test key: 25 ms");

  std::vector<std::string> log;
  auto note = [&](std::string line) { log.push_back(std::move(line)); };
  EXPECT_FALSE(at_handler_edge("key", false, note, []() -> bool { throw std::bad_alloc(); }));
  EXPECT_TRUE(at_handler_edge("key", false, note, [] { return true; }));
  EXPECT_EQ(log, std::vector<std::string>{"panic in key"});
}

}  // namespace
}  // namespace vexo::tsf
