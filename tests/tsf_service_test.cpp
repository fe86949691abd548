// Registration, activation and deactivation of the text service against
// recorders of the registry, the TSF managers and the thread manager: the
// exact calls, their values and their order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tsf/register.h"
#include "tsf/service.h"

namespace vexo::tsf {
namespace {

namespace fs = std::filesystem;

std::string narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// Every call of every fake, in order, as one line each. A call whose name is
// in `fail` returns the failure given for it.
struct Recorder {
  std::vector<std::string> calls;
  std::map<std::string, HResult> fail;
  std::vector<std::string> log;

  HResult call(const std::string& name, const std::string& detail = "") {
    calls.push_back(detail.empty() ? name : name + " " + detail);
    const auto it = fail.find(name);
    return it == fail.end() ? kOk : it->second;
  }
  LogLine logger() {
    return [this](std::string_view line) { log.emplace_back(line); };
  }
};

// --- registration -------------------------------------------------------------

class FakeRegistry : public Registry {
 public:
  explicit FakeRegistry(Recorder& r) : r_(r) {}
  std::uint32_t set_class_value(std::u16string_view key, std::u16string_view name,
                                std::u16string_view data) override {
    return static_cast<std::uint32_t>(
        r_.call("set", narrow(key) + " [" + narrow(name) + "]=" + narrow(data)));
  }
  std::uint32_t delete_tree(RegistryRoot root, std::u16string_view key) override {
    const std::string where = root == RegistryRoot::ClassesRoot ? "HKCR\\" : "HKLM\\";
    const std::string name = root == RegistryRoot::ClassesRoot ? "delete HKCR" : "delete HKLM";
    return static_cast<std::uint32_t>(r_.call(name, where + narrow(key)));
  }

 private:
  Recorder& r_;
};

// The profile and category managers in one recorder.
class FakeTsf : public ProfileManager, public CategoryManager {
 public:
  explicit FakeTsf(Recorder& r) : r_(r) {}
  HResult register_profile(const ProfileEntry& e) override {
    entry = e;
    return r_.call("register profile");
  }
  HResult unregister_profile(const Guid& clsid, std::uint16_t language, const Guid& profile,
                             std::uint32_t flags) override {
    return r_.call("unregister profile", format_guid(clsid) + " " + std::to_string(language) + " " +
                                             format_guid(profile) + " " + std::to_string(flags));
  }
  HResult register_category(const Guid& clsid, const Guid& category, const Guid& item) override {
    return r_.call("register category", guids(clsid, category, item));
  }
  HResult unregister_category(const Guid& clsid, const Guid& category, const Guid& item) override {
    return r_.call("unregister category", guids(clsid, category, item));
  }
  inline static ProfileEntry entry;

 private:
  static std::string guids(const Guid& a, const Guid& b, const Guid& c) {
    return format_guid(a) + " " + format_guid(b) + " " + format_guid(c);
  }
  Recorder& r_;
};

class FakeSystem : public RegistrationSystem {
 public:
  explicit FakeSystem(Recorder& r) : r_(r), registry_(r) {}
  void initialize_com() override { r_.call("com"); }
  HResult module_path(std::u16string& path) override {
    path = u"C:\\Program Files\\vexo\\vexo_tsf.dll";
    return r_.call("module path");
  }
  Registry& registry() override { return registry_; }
  HResult create_profile_manager(std::unique_ptr<ProfileManager>& out) override {
    const HResult hr = r_.call("create profile manager");
    if (!failed(hr)) out = std::make_unique<FakeTsf>(r_);
    return hr;
  }
  HResult create_category_manager(std::unique_ptr<CategoryManager>& out) override {
    const HResult hr = r_.call("create category manager");
    if (!failed(hr)) out = std::make_unique<FakeTsf>(r_);
    return hr;
  }

 private:
  Recorder& r_;
  FakeRegistry registry_;
};

const std::string kClsid = "{6A2F93D1-4C0B-4E7A-9D35-71C8B0E5A2F4}";
const std::string kCats[] = {
    "{34745C63-B2F0-4784-8B67-5E12C8701A31}", "{13A016DF-560B-46CD-947A-4C3AF1E0E35D}",
    "{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}", "{49D2F9CF-1F5E-11D7-A6D3-00065B84435C}",
    "{364215D9-75BC-11D7-A6EF-00065B84435C}"};

std::vector<std::string> full_registration() {
  std::vector<std::string> calls = {
      "com",
      "module path",
      "set CLSID\\" + kClsid + " []=vexo",
      "set CLSID\\" + kClsid + "\\InprocServer32 []=C:\\Program Files\\vexo\\vexo_tsf.dll",
      "set CLSID\\" + kClsid + "\\InprocServer32 [ThreadingModel]=Apartment",
      "create profile manager",
      "register profile",
      "create category manager"};
  for (const std::string& cat : kCats) {
    calls.push_back("register category " + kClsid + " " + cat + " " + kClsid);
  }
  return calls;
}

TEST(Registration, WritesClassKeysProfileAndCategoriesInOrder) {
  Recorder r;
  FakeSystem system(r);
  EXPECT_EQ(register_server(system, r.logger()), kOk);
  EXPECT_EQ(r.calls, full_registration());
  EXPECT_EQ(r.log, std::vector<std::string>{"registered"});

  const ProfileEntry& e = FakeTsf::entry;
  EXPECT_EQ(format_guid(e.clsid), kClsid);
  EXPECT_EQ(e.language, 0x0443);
  EXPECT_EQ(format_guid(e.profile), "{3F81C2A7-95DE-4B60-8A1C-D04E7B2963C5}");
  EXPECT_EQ(e.description, u"vexo");
  EXPECT_EQ(e.icon_file, u"C:\\Program Files\\vexo\\vexo_tsf.dll");
  EXPECT_EQ(e.icon_index, 0u);
  EXPECT_EQ(e.substitute_layout, 0x04090409u);
  EXPECT_EQ(e.preferred_layout, 0u);
  EXPECT_TRUE(e.enabled_by_default);
  EXPECT_EQ(e.flags, 0u);
}

TEST(Registration, EachFailureEndsItWithItsResultKeepingEarlierWrites) {
  const std::vector<std::string> all = full_registration();
  struct Case {
    std::string call;
    HResult given;
    HResult returned;
    std::size_t calls_made;  // including the failing one
  };
  const Case cases[] = {
      {"module path", from_win32(122), from_win32(122), 2},
      {"set", 5, static_cast<HResult>(0x80070005), 3},  // access denied on the first key
      {"create profile manager", static_cast<HResult>(0x80040154), static_cast<HResult>(0x80040154),
       6},
      {"register profile", static_cast<HResult>(0x80004001), static_cast<HResult>(0x80004001), 7},
      {"create category manager", static_cast<HResult>(0x80004005),
       static_cast<HResult>(0x80004005), 8},
      {"register category", static_cast<HResult>(0x80070057), static_cast<HResult>(0x80070057), 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    Recorder r;
    r.fail[c.call] = c.given;
    FakeSystem system(r);
    EXPECT_EQ(register_server(system, r.logger()), c.returned);
    EXPECT_EQ(r.calls, std::vector<std::string>(all.begin(), all.begin() + c.calls_made));
    EXPECT_TRUE(r.log.empty());
  }
}

TEST(Unregistration, RemovesEverythingAndCountsMissingKeysAsSuccess) {
  std::vector<std::string> expected = {
      "com", "create profile manager",
      "unregister profile " + kClsid + " 1091 {3F81C2A7-95DE-4B60-8A1C-D04E7B2963C5} 0",
      "create category manager"};
  for (const std::string& cat : kCats) {
    expected.push_back("unregister category " + kClsid + " " + cat + " " + kClsid);
  }
  expected.push_back("delete HKCR HKCR\\CLSID\\" + kClsid);
  expected.push_back("delete HKLM HKLM\\SOFTWARE\\Microsoft\\CTF\\TIP\\" + kClsid);

  Recorder r;
  FakeSystem system(r);
  EXPECT_EQ(unregister_server(system, r.logger()), kOk);
  EXPECT_EQ(r.calls, expected);
  EXPECT_EQ(r.log, std::vector<std::string>{"unregistered"});

  // Second run: TSF knows nothing any more and the keys are gone.
  Recorder again;
  again.fail = {{"unregister profile", static_cast<HResult>(0x80004005)},
                {"unregister category", static_cast<HResult>(0x80004005)},
                {"delete HKCR", kErrorFileNotFound},
                {"delete HKLM", kErrorFileNotFound}};
  FakeSystem system2(again);
  EXPECT_EQ(unregister_server(system2, again.logger()), kOk);
  EXPECT_EQ(again.calls, expected);

  // Without the TSF managers the class key still goes.
  Recorder no_tsf;
  no_tsf.fail = {{"create profile manager", static_cast<HResult>(0x80040154)},
                 {"create category manager", static_cast<HResult>(0x80040154)}};
  FakeSystem system3(no_tsf);
  EXPECT_EQ(unregister_server(system3, no_tsf.logger()), kOk);
  EXPECT_EQ(no_tsf.calls.size(), 5u);

  // Any other failure to delete the class key is returned, and TSF's key stays.
  Recorder denied;
  denied.fail = {{"delete HKCR", 5}};
  FakeSystem system4(denied);
  EXPECT_EQ(unregister_server(system4, denied.logger()), static_cast<HResult>(0x80070005));
  EXPECT_EQ(denied.calls.back(), "delete HKCR HKCR\\CLSID\\" + kClsid);
  EXPECT_TRUE(denied.log.empty());
}

// --- activation ---------------------------------------------------------------

class FakeAdvice : public EditSinkAdvice {
 public:
  FakeAdvice(Recorder& r, int id) : r_(r), id_(id) {}
  void unadvise() override { r_.call("unadvise edit sink", std::to_string(id_)); }

 private:
  Recorder& r_;
  int id_;
};

class FakeDocument : public DocumentManager {
 public:
  FakeDocument(Recorder& r, int id) : r_(r), id_(id) {}
  HResult advise_edit_sink(std::unique_ptr<EditSinkAdvice>& out) override {
    const HResult hr = r_.call("advise edit sink", std::to_string(id_));
    if (!failed(hr)) out = std::make_unique<FakeAdvice>(r_, id_);
    return hr;
  }

 private:
  Recorder& r_;
  int id_;
};

class FakeThreadManager : public ThreadManager {
 public:
  explicit FakeThreadManager(Recorder& r) : r_(r) {}
  HResult advise_thread_sink(std::uint32_t& cookie) override {
    cookie = 77;
    return r_.call("advise thread sink");
  }
  HResult unadvise_thread_sink(std::uint32_t cookie) override {
    return r_.call("unadvise thread sink", std::to_string(cookie));
  }
  HResult advise_key_sink(std::uint32_t client_id) override {
    return r_.call("advise key sink", std::to_string(client_id));
  }
  HResult unadvise_key_sink(std::uint32_t client_id) override {
    return r_.call("unadvise key sink", std::to_string(client_id));
  }
  HResult preserve_key(std::uint32_t client_id, const PreservedKey& key,
                       std::u16string_view description) override {
    const std::string detail = std::to_string(client_id) + " " + std::to_string(key.virtual_key) +
                               " " + std::to_string(key.modifiers) + " " + format_guid(key.guid) +
                               " " + narrow(description);
    // Refuse one particular key when asked to, to see that only it is dropped.
    if (key.modifiers == (kModRightAlt | kModShift) && refuse_shifted) {
      r_.calls.push_back("preserve key " + detail);
      return static_cast<HResult>(0x80004005);
    }
    return r_.call("preserve key", detail);
  }
  HResult unpreserve_key(const PreservedKey& key) override {
    return r_.call("unpreserve key", format_guid(key.guid));
  }
  std::unique_ptr<DocumentManager> focused_document() override {
    r_.call("get focus");
    if (focus_id == 0) return nullptr;
    return std::make_unique<FakeDocument>(r_, focus_id);
  }
  int focus_id = 1;
  bool refuse_shifted = false;

 private:
  Recorder& r_;
};

class FakeHost : public ServiceHost {
 public:
  explicit FakeHost(Recorder& r) : r_(r) {}
  void log(std::string_view message) override { r_.log.emplace_back(message); }
  bool start_warm_up() override { return !failed(r_.call("warm up")); }
  std::uint32_t virtual_key_of(std::uint8_t scan) override {
    return scan == 0x1F ? 0 : 0x100u + scan;  // `s` has no key in this layout
  }

 private:
  Recorder& r_;
};

// A settings directory standing in for %APPDATA%.
class Activation : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "vexo-service-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "vexo");
  }
  void TearDown() override { fs::remove_all(root_); }
  void settings(std::string_view text) {
    std::ofstream(root_ / "vexo" / "settings.ini", std::ios::binary | std::ios::trunc) << text;
  }
  SharedState state(std::string executable = "notepad.exe") {
    return std::make_shared<Exclusive<ServiceState>>(
        Profile{vexo_dir_in(root_.string()), std::move(executable)});
  }
  fs::path root_;
};

TEST_F(Activation, AdvisesSinksBindsFocusWarmsUpAndUndoesItAllOnDeactivate) {
  Recorder r;
  auto tm = std::make_shared<FakeThreadManager>(r);
  FakeHost host(r);
  const SharedState s = state();
  EXPECT_EQ(activate(s, tm, 5, host), kOk);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"advise thread sink", "advise key sink 5",
                                               "get focus", "advise edit sink 1", "warm up"}));
  // No key map by default: no preserved keys, but the refresh is done.
  EXPECT_EQ(r.log, (std::vector<std::string>{"altgr keys: 0", "activate"}));
  {
    auto access = s->take();
    ASSERT_TRUE(access);
    EXPECT_EQ(access->thread_sink_cookie, 77u);
    EXPECT_TRUE(access->key_sink_advised);
    EXPECT_FALSE(access->files.keys_stale);
    EXPECT_TRUE(access->edit_sink);
    EXPECT_TRUE(access->fallback.fallback_mode);
    EXPECT_FALSE(s->take()) << "the guard refuses a second holder";
  }

  r.calls.clear();
  r.log.clear();
  deactivate(s, host);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"unadvise edit sink 1", "unadvise thread sink 77",
                                               "unadvise key sink 5"}));
  EXPECT_EQ(r.log, std::vector<std::string>{"deactivate"});
  auto access = s->take();
  EXPECT_FALSE(access->thread_manager);
  EXPECT_FALSE(access->thread_sink_cookie);
  EXPECT_FALSE(access->key_sink_advised);
  EXPECT_TRUE(access->files.keys_stale);
  EXPECT_EQ(tm.use_count(), 1) << "the thread manager is released";
}

TEST_F(Activation, ANewFocusStartsTheDocumentAfresh) {
  Recorder r;
  FakeHost host(r);
  SharedState s = state();
  auto tm = std::make_shared<FakeThreadManager>(r);
  ASSERT_EQ(activate(s, tm, 5, host), kOk);
  {
    auto access = s->take();
    access->fallback.fallback_mode = false;
    access->fallback.tracker.append(U'o');
    access->previous_text = u"o";
    access->undo = UndoRecord{"so'z", "söz", false};
  }
  FakeDocument next(r, 2);
  rebind(s, &next, host);
  {
    auto access = s->take();
    EXPECT_TRUE(access->fallback.fallback_mode);
    EXPECT_TRUE(access->fallback.tracker.chars().empty());
    EXPECT_TRUE(access->fallback.tracker.tracked());
    EXPECT_TRUE(access->previous_text.empty());
    EXPECT_FALSE(access->undo);
    EXPECT_NE(std::find(r.calls.begin(), r.calls.end(), "unadvise edit sink 1"), r.calls.end());
  }

  // A pushed or popped context: the sink follows the focused document, or
  // leaves a document that lost the focus.
  r.calls.clear();
  tm->focus_id = 3;
  rebind_to_focus(s, host);
  tm->focus_id = 0;
  rebind_to_focus(s, host);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"get focus", "unadvise edit sink 2",
                                               "advise edit sink 3", "get focus",
                                               "unadvise edit sink 3"}));
  EXPECT_FALSE(s->take()->edit_sink);
}

TEST_F(Activation, FailuresOfTheSinks) {
  {  // A null thread manager.
    Recorder r;
    FakeHost h(r);
    EXPECT_EQ(activate(state(), nullptr, 1, h), kPointerError);
    EXPECT_TRUE(r.calls.empty());
  }
  {  // The thread-manager sink is required.
    Recorder r;
    r.fail["advise thread sink"] = static_cast<HResult>(0x80004005);
    FakeHost h(r);
    EXPECT_EQ(activate(state(), std::make_shared<FakeThreadManager>(r), 1, h),
              static_cast<HResult>(0x80004005));
    EXPECT_EQ(r.calls, std::vector<std::string>{"advise thread sink"});
    EXPECT_TRUE(r.log.empty());
  }
  {  // Without key events and without an edit sink the service still activates.
    Recorder r;
    r.fail["advise key sink"] = static_cast<HResult>(0x80070005);
    r.fail["advise edit sink"] = static_cast<HResult>(0x8000ffff);
    r.fail["warm up"] = static_cast<HResult>(0x80004005);
    FakeHost h(r);
    const SharedState s = state();
    auto tm = std::make_shared<FakeThreadManager>(r);
    EXPECT_EQ(activate(s, tm, 3, h), kOk);
    EXPECT_EQ(r.log,
              (std::vector<std::string>{"advise key sink failed hr=0x80070005", "altgr keys: 0",
                                        "advise edit sink failed hr=0x8000ffff",
                                        "warm-up thread failed", "activate"}));
    r.calls.clear();
    deactivate(s, h);
    EXPECT_EQ(r.calls, std::vector<std::string>{"unadvise thread sink 77"})
        << "no key sink and no edit sink to unadvise";
  }
}

TEST_F(Activation, DisabledAppAdvisesEverythingButStaysOff) {
  settings("disabled_apps = Notepad.EXE\nkeymap = ha\nlayout = altgr\n");
  Recorder r;
  FakeHost host(r);
  const SharedState s = state("notepad.exe");
  EXPECT_EQ(activate(s, std::make_shared<FakeThreadManager>(r), 9, host), kOk);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"advise thread sink", "advise key sink 9",
                                               "get focus", "advise edit sink 1", "warm up"}));
  EXPECT_EQ(r.log,
            (std::vector<std::string>{"altgr keys: 0", "activate: off for this app (settings)"}));
  EXPECT_FALSE(s->take()->files.active);
}

TEST_F(Activation, PreservesTheKeyMapsAltGrKeysAndReleasesThemAgain) {
  settings("keymap = ha\nlayout = altgr\n");
  Recorder r;
  FakeHost host(r);
  auto tm = std::make_shared<FakeThreadManager>(r);
  tm->refuse_shifted = true;
  tm->focus_id = 0;
  const SharedState s = state();
  ASSERT_EQ(activate(s, tm, 2, host), kOk);

  // The altgr layout sets o g s c ' - , . ; `s` (0x1F) has no key here.
  std::vector<std::string> preserved;
  for (const std::string& call : r.calls) {
    if (call.rfind("preserve key", 0) == 0) preserved.push_back(call);
  }
  ASSERT_EQ(preserved.size(), 14u);
  EXPECT_EQ(preserved[0], "preserve key 2 " + std::to_string(0x100 + 0x0C) +
                              " 8 {C4EC0C00-6C4E-47B1-A3D5-2E9F0B6C1D84} vexo");
  EXPECT_EQ(preserved[1], "preserve key 2 " + std::to_string(0x100 + 0x0C) +
                              " 12 {C4EC0C01-6C4E-47B1-A3D5-2E9F0B6C1D84} vexo");
  EXPECT_EQ(std::count(r.log.begin(), r.log.end(), "preserve key failed hr=0x80004005"), 7);
  EXPECT_EQ(r.log.back(), "activate");
  EXPECT_EQ(r.log[r.log.size() - 2], "altgr keys: 7");
  EXPECT_EQ(s->take()->preserved_keys.size(), 7u);

  r.calls.clear();
  deactivate(s, host);
  ASSERT_EQ(r.calls.size(), 9u);  // sink, seven keys, key sink
  EXPECT_EQ(r.calls[1], "unpreserve key {C4EC0C00-6C4E-47B1-A3D5-2E9F0B6C1D84}");
  EXPECT_EQ(r.calls.back(), "unadvise key sink 2");

  // A second activation reads the files again and preserves the keys again.
  settings("keymap = yo'q\n");
  r.calls.clear();
  r.log.clear();
  ASSERT_EQ(activate(s, tm, 2, host), kOk);
  EXPECT_EQ(r.log.front(), "altgr keys: 0");
}

TEST(PreservedKeyGuid, CarriesScanCodeAndShift) {
  EXPECT_EQ(format_guid(preserved_key_guid(0x18, true)), "{C4EC1801-6C4E-47B1-A3D5-2E9F0B6C1D84}");
  EXPECT_EQ(parse_preserved_key_guid(preserved_key_guid(0x35, false)),
            (std::pair<std::uint8_t, bool>{0x35, false}));
  EXPECT_EQ(parse_preserved_key_guid(preserved_key_guid(0x18, true)),
            (std::pair<std::uint8_t, bool>{0x18, true}));
  EXPECT_FALSE(parse_preserved_key_guid(kTextServiceClsid));
  EXPECT_EQ(format_hr(static_cast<HResult>(0x80004005)), "0x80004005");
  EXPECT_EQ(format_hr(1), "0x1");
}

}  // namespace
}  // namespace vexo::tsf
