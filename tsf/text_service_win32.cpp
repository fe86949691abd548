// The TextService COM object and the Windows side of its activation: the
// thread manager, document managers and edit-sink advice of
// tsf/thread_manager.h over ITfThreadMgr, ITfSource and ITfKeystrokeMgr, and
// the warm-up thread. What activation does is decided in tsf/service.cpp.
#include "tsf/text_service_win32.h"

#include <msctf.h>

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/lexicon.h"
#include "tsf/com_edge.h"
#include "tsf/com_ref.h"
#include "tsf/context_guard.h"
#include "tsf/document_win32.h"
#include "tsf/edit_session.h"
#include "tsf/edit_session_win32.h"
#include "tsf/end_edit.h"
#include "tsf/fallback.h"
#include "tsf/guids.h"
#include "tsf/handler.h"
#include "tsf/host_win32.h"
#include "tsf/key_decision.h"
#include "tsf/log.h"
#include "tsf/platform.h"
#include "tsf/profile.h"
#include "tsf/retype.h"
#include "tsf/service.h"
#include "tsf/utf16.h"

namespace vexo::tsf {
namespace {

class TsfEditSinkAdvice : public EditSinkAdvice {
 public:
  TsfEditSinkAdvice(ComRef<ITfSource> source, DWORD cookie)
      : source_(std::move(source)), cookie_(cookie) {}
  void unadvise() override { source_->UnadviseSink(cookie_); }

 private:
  ComRef<ITfSource> source_;
  DWORD cookie_;
};

class TsfDocument : public DocumentManager {
 public:
  TsfDocument(ComRef<ITfDocumentMgr> document, ITfTextEditSink* sink)
      : document_(std::move(document)), sink_(sink) {}
  HResult advise_edit_sink(std::unique_ptr<EditSinkAdvice>& out) override {
    ComRef<ITfContext> top;
    if (const HRESULT hr = document_->GetTop(top.put()); FAILED(hr)) return hr;
    if (!top) return E_FAIL;  // a document without any context
    ComRef<ITfSource> source = top.query<ITfSource>(IID_ITfSource);
    if (!source) return E_NOINTERFACE;
    DWORD cookie = 0;
    if (const HRESULT hr = source->AdviseSink(IID_ITfTextEditSink, sink_, &cookie); FAILED(hr)) {
      return hr;
    }
    out = std::make_unique<TsfEditSinkAdvice>(std::move(source), cookie);
    return S_OK;
  }

 private:
  ComRef<ITfDocumentMgr> document_;
  ITfTextEditSink* sink_;  // the service, which outlives this binding
};

// The thread manager TSF activated the service with. The sink pointers are
// the service itself; they are not counted, because the service owns this
// object through its state.
class TsfThreadManager : public ThreadManager {
 public:
  TsfThreadManager(ComRef<ITfThreadMgr> manager, ITfThreadMgrEventSink* thread_sink,
                   ITfKeyEventSink* key_sink, ITfTextEditSink* edit_sink)
      : manager_(std::move(manager)),
        thread_sink_(thread_sink),
        key_sink_(key_sink),
        edit_sink_(edit_sink) {}

  HResult advise_thread_sink(std::uint32_t& cookie) override {
    ComRef<ITfSource> source = manager_.query<ITfSource>(IID_ITfSource);
    if (!source) return E_NOINTERFACE;
    DWORD value = 0;
    const HRESULT hr = source->AdviseSink(IID_ITfThreadMgrEventSink, thread_sink_, &value);
    cookie = value;
    return hr;
  }
  HResult unadvise_thread_sink(std::uint32_t cookie) override {
    ComRef<ITfSource> source = manager_.query<ITfSource>(IID_ITfSource);
    return source ? source->UnadviseSink(cookie) : E_NOINTERFACE;
  }
  HResult advise_key_sink(std::uint32_t client_id) override {
    auto keys = manager_.query<ITfKeystrokeMgr>(IID_ITfKeystrokeMgr);
    return keys ? keys->AdviseKeyEventSink(client_id, key_sink_, TRUE) : E_NOINTERFACE;
  }
  HResult unadvise_key_sink(std::uint32_t client_id) override {
    auto keys = manager_.query<ITfKeystrokeMgr>(IID_ITfKeystrokeMgr);
    return keys ? keys->UnadviseKeyEventSink(client_id) : E_NOINTERFACE;
  }
  HResult preserve_key(std::uint32_t client_id, const PreservedKey& key,
                       std::u16string_view description) override {
    auto keys = manager_.query<ITfKeystrokeMgr>(IID_ITfKeystrokeMgr);
    if (!keys) return E_NOINTERFACE;
    const TF_PRESERVEDKEY tf_key = {key.virtual_key, key.modifiers};
    const GUID guid = to_windows(key.guid);
    const std::wstring text(description.begin(), description.end());
    return keys->PreserveKey(client_id, guid, &tf_key, text.c_str(),
                             static_cast<ULONG>(text.size()));
  }
  HResult unpreserve_key(const PreservedKey& key) override {
    auto keys = manager_.query<ITfKeystrokeMgr>(IID_ITfKeystrokeMgr);
    if (!keys) return E_NOINTERFACE;
    const TF_PRESERVEDKEY tf_key = {key.virtual_key, key.modifiers};
    const GUID guid = to_windows(key.guid);
    return keys->UnpreserveKey(guid, &tf_key);
  }
  std::unique_ptr<DocumentManager> focused_document() override {
    ComRef<ITfDocumentMgr> focus;
    if (FAILED(manager_->GetFocus(focus.put())) || !focus) return nullptr;
    return std::make_unique<TsfDocument>(std::move(focus), edit_sink_);
  }

 private:
  ComRef<ITfThreadMgr> manager_;
  ITfThreadMgrEventSink* thread_sink_;
  ITfKeyEventSink* key_sink_;
  ITfTextEditSink* edit_sink_;
};

DWORD WINAPI warm_up_thread(LPVOID) {
  at_com_edge<int>("warm up", 0, [] {
    vexo::warm_up();
    return 0;
  });
  return 0;
}

class Win32Host : public ServiceHost {
 public:
  void log(std::string_view message) override { tsf::log(message); }
  bool start_warm_up() override {
    const HANDLE thread = CreateThread(nullptr, 0, warm_up_thread, nullptr, 0, nullptr);
    if (thread == nullptr) return false;
    CloseHandle(thread);
    return true;
  }
  std::uint32_t virtual_key_of(std::uint8_t scan) override {
    return MapVirtualKeyExW(scan, MAPVK_VSC_TO_VK, GetKeyboardLayout(0));
  }
};

// The rest of the service as the key handling sees it, over the state taken
// for one key.
class StateServices : public FallbackServices {
 public:
  explicit StateServices(ServiceState& state) : state_(state) {}
  bool refresh() override { return check_fresh(state_.files); }
  const Settings& settings() const override { return state_.files.settings; }
  const KeyMap* keymap() const override {
    const SettingsState& files = state_.files;
    return files.active && files.keymap ? &*files.keymap : nullptr;
  }
  void remember_exception(std::string_view typed) override {
    for (const std::string& line : after_restore(typed, state_.files, state_.session)) log(line);
  }
  void log(std::string_view message) override { tsf::log(message); }

 private:
  ServiceState& state_;
};

// A context compartment's value is non-zero; a compartment that cannot be
// read counts as zero.
bool compartment_set(ITfContext* context, const GUID& compartment) {
  ComRef<ITfCompartmentMgr> manager = ComRef<ITfContext>::share(context).query<ITfCompartmentMgr>(
      IID_ITfCompartmentMgr);
  if (!manager) return false;
  ComRef<ITfCompartment> item;
  if (FAILED(manager->GetCompartment(compartment, item.put())) || !item) return false;
  VARIANT value;
  VariantInit(&value);
  if (FAILED(item->GetValue(&value))) return false;
  const bool set = value.vt == VT_I4 && value.lVal != 0;
  VariantClear(&value);
  return set;
}

// What the key handling needs to know of a context; `hides_text` is the
// input scope as last read for the focused document.
ContextFacts context_facts(ITfContext* context, bool hides_text) {
  ContextFacts facts;
  if (context == nullptr) {
    facts.present = false;
    return facts;
  }
  facts.keyboard_disabled = compartment_set(context, GUID_COMPARTMENT_KEYBOARD_DISABLED);
  facts.empty = compartment_set(context, GUID_COMPARTMENT_EMPTYCONTEXT);
  facts.hides_text = hides_text;
  facts.transitory = ContextDocument(context, 0).is_transitory();
  return facts;
}

class TextService final : public ITfTextInputProcessorEx,
                          public ITfThreadMgrEventSink,
                          public ITfTextEditSink,
                          public ITfKeyEventSink {
 public:
  TextService()
      : state_(std::make_shared<Exclusive<ServiceState>>(process_profile(), &process_log())) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITfTextInputProcessor) ||
        IsEqualIID(iid, kIidTextInputProcessorEx)) {
      *out = static_cast<ITfTextInputProcessorEx*>(this);
    } else if (IsEqualIID(iid, IID_ITfThreadMgrEventSink)) {
      *out = static_cast<ITfThreadMgrEventSink*>(this);
    } else if (IsEqualIID(iid, IID_ITfTextEditSink)) {
      *out = static_cast<ITfTextEditSink*>(this);
    } else if (IsEqualIID(iid, IID_ITfKeyEventSink)) {
      *out = static_cast<ITfKeyEventSink*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // ITfTextInputProcessor, ITfTextInputProcessorEx
  HRESULT STDMETHODCALLTYPE Activate(ITfThreadMgr* manager, TfClientId client_id) override {
    return at_com_edge<HRESULT>("activate", S_OK, [&]() -> HRESULT {
      if (manager == nullptr) return E_POINTER;
      Win32Host host;
      auto bound = std::make_shared<TsfThreadManager>(
          ComRef<ITfThreadMgr>::share(manager), static_cast<ITfThreadMgrEventSink*>(this),
          static_cast<ITfKeyEventSink*>(this), static_cast<ITfTextEditSink*>(this));
      manager_ = ComRef<ITfThreadMgr>::share(manager);
      const HRESULT hr = activate(state_, std::move(bound), client_id, host);
      if (SUCCEEDED(hr)) {
        if (!mouse_watched_) mouse_watched_ = watch_mouse();
        if (!mouse_watched_) log("mouse hook failed: no retype without it");
        read_input_scope();
      }
      return hr;
    });
  }
  HRESULT STDMETHODCALLTYPE ActivateEx(ITfThreadMgr* manager, TfClientId client_id,
                                       DWORD) override {
    return Activate(manager, client_id);
  }
  HRESULT STDMETHODCALLTYPE Deactivate() override {
    return at_com_edge<HRESULT>("deactivate", S_OK, [&] {
      Win32Host host;
      deactivate(state_, host);
      if (std::exchange(mouse_watched_, false)) unwatch_mouse();
      manager_ = ComRef<ITfThreadMgr>();
      return S_OK;
    });
  }

  // ITfThreadMgrEventSink
  HRESULT STDMETHODCALLTYPE OnInitDocumentMgr(ITfDocumentMgr*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUninitDocumentMgr(ITfDocumentMgr*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnSetFocus(ITfDocumentMgr* focus, ITfDocumentMgr*) override {
    return at_com_edge<HRESULT>("focus", S_OK, [&] {
      rebind_to(ComRef<ITfDocumentMgr>::share(focus));
      return S_OK;
    });
  }
  // A pushed context need not be in the focused document, and a popped one
  // is gone: the sink follows the document TSF reports as focused.
  HRESULT STDMETHODCALLTYPE OnPushContext(ITfContext*) override {
    return at_com_edge<HRESULT>("push context", S_OK, [&] {
      Win32Host host;
      rebind_to_focus(state_, host);
      read_input_scope();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE OnPopContext(ITfContext*) override {
    return at_com_edge<HRESULT>("pop context", S_OK, [&] {
      Win32Host host;
      rebind_to_focus(state_, host);
      read_input_scope();
      return S_OK;
    });
  }

  // ITfTextEditSink: a word finished in a document that exposes its text.
  HRESULT STDMETHODCALLTYPE OnEndEdit(ITfContext* context, TfEditCookie cookie,
                                      ITfEditRecord*) override {
    return at_com_edge<HRESULT>("end edit", S_OK, [&] {
      if (context == nullptr) return S_OK;
      // The key that made this edit has reached the document: what was
      // decided for it comes first (it must not drop an undo record that
      // this edit's conversion is about to make).
      settle_keys();
      ContextDocument document(context, cookie);
      const std::optional<bool> hides = document.hides_text();
      if (hides) {
        if (auto s = state_->take()) s->hides_text = *hides;
      }
      if (key_message(context, 0, 0).context == ContextKind::Protected) return S_OK;
      std::optional<ConvertRequest> request = end_edit(
          state_, read_caret_text(document), platform::monotonic_milliseconds(), log_line);
      if (request) request_convert(context, std::move(*request));
      return S_OK;
    });
  }

  // ITfKeyEventSink: every key goes through the two phases of tsf/fallback.h,
  // which follow the typed word, keep the service's own keystrokes apart,
  // hold keys typed ahead of a retype, and hand key map characters and the
  // undo Backspace to the edit sessions.
  HRESULT STDMETHODCALLTYPE OnSetFocus(WINBOOL) override {
    return at_com_edge<HRESULT>("focus", S_OK, [&] {
      if (auto s = state_->take()) {
        s->undo.reset();
        s->fallback.tracker.reset();
        s->fallback.tested.reset();
      }
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE OnTestKeyDown(ITfContext* context, WPARAM vk, LPARAM lparam,
                                          WINBOOL* eaten) override {
    if (eaten == nullptr) return E_INVALIDARG;
    *eaten = FALSE;
    const std::int64_t start = platform::monotonic_milliseconds();
    *eaten = at_com_edge<WINBOOL>("key", FALSE, [&]() -> WINBOOL {
      if (context != nullptr) refresh_keys();
      const KeyMessage key = key_message(context, vk, lparam);
      auto s = state_->take();
      if (!s) return FALSE;
      check_fresh(s->files);  // the key map and the active flag as of now
      StateServices services(*s);
      KeyContext keys{s->fallback, win32_host(), services, s->session, s->undo};
      return test_key_down(keys, key) ? TRUE : FALSE;
    });
    log_if_slow("test key", start);
    return S_OK;
  }
  // A key-up carries out what the test phase decided for a passed key.
  HRESULT STDMETHODCALLTYPE OnTestKeyUp(ITfContext*, WPARAM, LPARAM, WINBOOL* eaten) override {
    settle_keys();
    return not_eaten(eaten);
  }
  HRESULT STDMETHODCALLTYPE OnKeyDown(ITfContext* context, WPARAM vk, LPARAM lparam,
                                      WINBOOL* eaten) override {
    if (eaten == nullptr) return E_INVALIDARG;
    *eaten = FALSE;
    const std::int64_t start = platform::monotonic_milliseconds();
    *eaten = at_com_edge<WINBOOL>("key down", FALSE, [&]() -> WINBOOL {
      const KeyMessage key = key_message(context, vk, lparam);
      KeyDownResult result;
      if (auto s = state_->take()) {
        StateServices services(*s);
        KeyContext keys{s->fallback, win32_host(), services, s->session, s->undo};
        result = key_down(keys, key);
      }
      switch (result.action) {
        case KeyDownAction::Pass:
          return FALSE;
        case KeyDownAction::Eaten:
          return TRUE;
        case KeyDownAction::InsertCharacter:
          if (context == nullptr) return FALSE;
          insert_character(context, result.character);
          return TRUE;
        case KeyDownAction::UndoThroughText:
          if (context == nullptr) return FALSE;
          undo(context);
          return TRUE;
      }
      return FALSE;
    });
    log_if_slow("key down", start);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnKeyUp(ITfContext*, WPARAM, LPARAM, WINBOOL* eaten) override {
    settle_keys();
    return not_eaten(eaten);
  }
  HRESULT STDMETHODCALLTYPE OnPreservedKey(ITfContext* context, REFGUID guid,
                                           WINBOOL* eaten) override {
    if (eaten == nullptr) return E_INVALIDARG;
    *eaten = FALSE;
    *eaten = at_com_edge<WINBOOL>("preserved key", FALSE, [&]() -> WINBOOL {
      settle_keys();
      if (context == nullptr) return FALSE;
      if (key_message(context, 0, 0).context == ContextKind::Protected) return FALSE;
      refresh_keys();
      std::optional<char32_t> c;
      if (auto s = state_->take()) {
        check_fresh(s->files);
        c = preserved_key_character(s->files, from_windows(guid),
                                    win32_host().keys.is_toggled(0x14));
      }
      if (!c) return FALSE;
      insert_character(context, *c);
      // The released Alt alone would open the application's menu.
      send_keys({{kVkDummy, 0, false, false, false, kMarkResent},
                 {kVkDummy, 0, false, true, false, kMarkResent}});
      return TRUE;
    });
    return S_OK;
  }

 private:
  ~TextService() = default;

  static HRESULT not_eaten(WINBOOL* eaten) {
    if (eaten == nullptr) return E_INVALIDARG;
    *eaten = FALSE;
    return S_OK;
  }

  static void log_line(std::string_view line) { log(line); }

  static void log_if_slow(std::string_view label, std::int64_t start) {
    if (auto line = slow_message(label, platform::monotonic_milliseconds() - start)) log(*line);
  }

  static void send_keys(std::initializer_list<KeyEvent> events) {
    win32_host().input.send(std::span<const KeyEvent>(events.begin(), events.size()));
  }

  void refresh_keys() {
    Win32Host host;
    refresh_preserved_keys(state_, host);
  }

  std::uint32_t client_id() {
    auto s = state_->take();
    return s ? s->client_id : 0;
  }

  // The key and its context; a protected context is logged once per document.
  KeyMessage key_message(ITfContext* context, WPARAM vk, LPARAM lparam) {
    bool hides_text = false;
    if (auto s = state_->take()) hides_text = s->hides_text.value_or(false);
    const ContextFacts facts = context_facts(context, hides_text);
    std::optional<std::string> line;
    if (auto s = state_->take()) line = protected_context_line(facts, s->protected_logged);
    if (line) log(*line);
    return {static_cast<std::uint16_t>(vk), static_cast<std::uint32_t>(lparam),
            context_kind(facts)};
  }

  // Carries out a passed key's verdict before another key event is handled.
  void settle_keys() {
    at_com_edge<int>("key up", 0, [&] {
      if (auto s = state_->take()) {
        StateServices services(*s);
        KeyContext keys{s->fallback, win32_host(), services, s->session, s->undo};
        settle(keys);
      }
      return 0;
    });
  }

  // Reads the focused document's input scope with a read-only session: now
  // when the document allows it, else as soon as it does.
  void read_input_scope() {
    ComRef<ITfContext> top = focused_top_context();
    if (!top) return;
    const SharedState state = state_;
    auto session = ComRef<ITfEditSession>::adopt(
        new_scope_session(top.get(), log_line, [state](bool hides) {
          if (auto s = state->take()) s->hides_text = hides;
        }));
    if (!session) return;
    ContextRequester requester(top.get(), client_id(), session.get());
    SessionRequester::Answer answer = requester.request(kRequestSyncRead);
    if (answer.session == kSynchronousRefused) answer = requester.request(kRequestRead);
    if (failed(answer.call)) log(failed_message("request edit", answer.call));
  }

  // The top context of the focused document; empty when there is none.
  ComRef<ITfContext> focused_top_context() {
    ComRef<ITfDocumentMgr> focus;
    ComRef<ITfContext> top;
    if (manager_ && SUCCEEDED(manager_->GetFocus(focus.put())) && focus) focus->GetTop(top.put());
    return top;
  }

  void request_convert(ITfContext* context, ConvertRequest request) {
    const SharedState state = state_;
    auto session = ComRef<ITfEditSession>::adopt(
        new_convert_session(context, std::move(request), log_line, [state](UndoRecord undo) {
          if (auto s = state->take()) s->undo = std::move(undo);
        }));
    if (!session) return;
    HRESULT session_hr = S_OK;
    const HRESULT hr = context->RequestEditSession(client_id(), session.get(),
                                                   TF_ES_ASYNC | TF_ES_READWRITE, &session_hr);
    if (FAILED(hr)) log(failed_message("request edit", hr));
  }

  // A key map character goes in through an edit session, or as a Unicode
  // keystroke when the document runs none.
  void insert_character(ITfContext* context, char32_t c) {
    auto inserted = std::make_shared<std::uint8_t>(0);
    auto session =
        ComRef<ITfEditSession>::adopt(new_insert_session(context, c, inserted, log_line));
    std::vector<std::string> lines;
    bool went_in = false;
    if (session) {
      ContextRequester requester(context, client_id(), session.get());
      went_in = tsf::insert_character(requester, lines);
    } else {
      lines.emplace_back("keymap: edit session failed, sending as unicode key");
    }
    for (const std::string& line : lines) log(line);
    auto s = state_->take();
    if (!s) return;
    StateServices services(*s);
    KeyContext keys{s->fallback, win32_host(), services, s->session, s->undo};
    if (went_in) {
      character_inserted(keys, c);
    } else {
      // Sent as a Unicode keystroke; the keys after it follow the same way
      // until it has arrived (tsf/fallback.h).
      s->undo.reset();
      queue_sent_character(s->fallback, win32_host().clock, c);
      send_character(win32_host(), c);
    }
  }

  // The undo Backspace: the conversion is taken back in the document, or the
  // Backspace is sent on when that cannot be done.
  void undo(ITfContext* context) {
    std::optional<UndoRecord> record;
    if (auto s = state_->take()) record = std::exchange(s->undo, std::nullopt);
    const SharedState state = state_;
    // Sent marked as a retype, and expected back as one, so that keys typed
    // meanwhile are held behind it.
    auto plain_backspace = [state] {
      log(kPlainBackspaceLog);
      if (auto s = state->take()) send_plain_backspace(s->fallback, win32_host());
    };
    if (!record) {
      plain_backspace();
      return;
    }
    RestoreHooks hooks{log_line,
                       [state](const std::string& typed) {
                         std::vector<std::string> lines;
                         if (auto s = state->take()) {
                           lines = after_restore(typed, s->files, s->session);
                           s->fallback.tracker.lose("undo");
                         }
                         for (const std::string& line : lines) log(line);
                       },
                       plain_backspace};
    auto ran = std::make_shared<std::uint8_t>(0);
    auto session = ComRef<ITfEditSession>::adopt(
        new_restore_session(context, std::move(*record), ran, std::move(hooks)));
    if (!session) {
      plain_backspace();
      return;
    }
    ContextRequester requester(context, client_id(), session.get());
    if (undo_tsf(requester) == UndoAction::PlainBackspace) plain_backspace();
  }

  void rebind_to(ComRef<ITfDocumentMgr> document) {
    Win32Host host;
    if (!document) {
      rebind(state_, nullptr, host);
      return;
    }
    TsfDocument bound(std::move(document), static_cast<ITfTextEditSink*>(this));
    rebind(state_, &bound, host);
    read_input_scope();
  }

  std::atomic<ULONG> references_{1};
  SharedState state_;
  bool mouse_watched_ = false;  // this instance holds the thread's mouse hook
  ComRef<ITfThreadMgr> manager_;  // from activation to deactivation
};

}  // namespace

HRESULT create_text_service(REFIID iid, void** out) {
  auto* service = new (std::nothrow) TextService();
  if (service == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = service->QueryInterface(iid, out);
  service->Release();
  return hr;
}

}  // namespace vexo::tsf
