// vexo_tsf.dll typing into a document that exposes its text, with this
// program playing the Text Services Framework: a thread manager, a document
// manager and one context over an in-memory text with a caret, edit sessions
// run as a document runs them, and key events delivered to the service's key
// sink. Wine's own msctf cannot run this path, so the test brings its own.
#include <gtest/gtest.h>
#include <inputscope.h>
#include <msctf.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/dll_harness_win32.h"
#include "tsf/guids.h"
#include "tsf/register.h"

namespace {

using vexo::tsf::to_windows;

using vexo::test::g_dll;
using vexo::test::g_profile_dir;
using vexo::test::logged;
using vexo::test::was_logged;

#define NOT_HERE \
  { return E_NOTIMPL; }

// The text of the document: units, a caret and the end of a selection.
struct Text {
  std::wstring units;
  LONG caret = 0;
  LONG selection_end = 0;

  // Replaces [start, end) and moves the caret and selection with the text.
  void replace(LONG start, LONG end, const wchar_t* with, LONG count) {
    units.replace(start, end - start, with, count);
    const auto moved = [&](LONG at) {
      if (at >= end) return at + count - (end - start);
      return at > start ? start + count : at;
    };
    caret = moved(caret);
    selection_end = moved(selection_end);
  }
};

class Context;

class Range final : public ITfRange {
 public:
  Range(Context* context, Text* text, LONG start, LONG end)
      : start(start), end(end), context_(context), text_(text) {}

  LONG start;
  LONG end;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITfRange)) {
      *out = static_cast<ITfRange*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetText(TfEditCookie, DWORD, WCHAR* out, ULONG max,
                                    ULONG* count) override {
    const ULONG n = std::min<ULONG>(max, static_cast<ULONG>(end - start));
    std::copy_n(text_->units.data() + start, n, out);
    *count = n;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetText(TfEditCookie, DWORD, const WCHAR* with, LONG count) override {
    text_->replace(start, end, with, count);
    end = start + count;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFormattedText(TfEditCookie, IDataObject**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetEmbedded(TfEditCookie, REFGUID, REFIID,
                                        IUnknown**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE InsertEmbedded(TfEditCookie, DWORD, IDataObject*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE ShiftStart(TfEditCookie, LONG wanted, LONG* moved,
                                       const TF_HALTCOND*) override {
    const LONG to = std::clamp<LONG>(start + wanted, 0, static_cast<LONG>(text_->units.size()));
    *moved = to - start;
    start = to;
    end = std::max(end, start);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ShiftEnd(TfEditCookie, LONG wanted, LONG* moved,
                                     const TF_HALTCOND*) override {
    const LONG to = std::clamp<LONG>(end + wanted, 0, static_cast<LONG>(text_->units.size()));
    *moved = to - end;
    end = to;
    start = std::min(start, end);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ShiftStartToRange(TfEditCookie, ITfRange*, TfAnchor) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE ShiftEndToRange(TfEditCookie, ITfRange*, TfAnchor) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE ShiftStartRegion(TfEditCookie, TfShiftDir, WINBOOL*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE ShiftEndRegion(TfEditCookie, TfShiftDir, WINBOOL*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE IsEmpty(TfEditCookie, WINBOOL* empty) override {
    *empty = start == end;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Collapse(TfEditCookie, TfAnchor anchor) override {
    if (anchor == TF_ANCHOR_START) {
      end = start;
    } else {
      start = end;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsEqualStart(TfEditCookie, ITfRange*, TfAnchor,
                                         WINBOOL*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE IsEqualEnd(TfEditCookie, ITfRange*, TfAnchor,
                                       WINBOOL*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE CompareStart(TfEditCookie, ITfRange*, TfAnchor,
                                         LONG*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE CompareEnd(TfEditCookie, ITfRange*, TfAnchor, LONG*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE AdjustForInsert(TfEditCookie, ULONG, WINBOOL*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetGravity(TfGravity*, TfGravity*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE SetGravity(TfEditCookie, TfGravity, TfGravity) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE Clone(ITfRange** out) override {
    *out = new Range(context_, text_, start, end);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetContext(ITfContext** out) override;

 private:
  ~Range() = default;
  Context* context_;
  Text* text_;
  ULONG references_ = 1;
};

// Objects that live as long as the test: reference counts are not kept.
#define STATIC_UNKNOWN                                    \
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; } \
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

class DocumentManager;

// One compartment of a context, holding a VT_I4 value.
class Compartment final : public ITfCompartment {
 public:
  LONG value = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ITfCompartment)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<ITfCompartment*>(this);
    return S_OK;
  }
  STATIC_UNKNOWN
  HRESULT STDMETHODCALLTYPE SetValue(TfClientId, const VARIANT*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetValue(VARIANT* out) override {
    VariantInit(out);
    if (value == 0) return S_FALSE;  // never set: VT_EMPTY
    out->vt = VT_I4;
    out->lVal = value;
    return S_OK;
  }
};

// The input scopes of a field, as its GUID_PROP_INPUTSCOPE value gives them.
class Scopes final : public ITfInputScope {
 public:
  std::vector<InputScope> scopes;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    static const GUID kIid = {
        0xfde1eaee, 0x6924, 0x4cdf, {0x91, 0xe7, 0xda, 0x38, 0xcf, 0xf5, 0x55, 0x9d}};
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, kIid)) return E_NOINTERFACE;
    *out = static_cast<ITfInputScope*>(this);
    return S_OK;
  }
  STATIC_UNKNOWN
  HRESULT STDMETHODCALLTYPE GetInputScopes(InputScope** out, UINT* count) override {
    *out = static_cast<InputScope*>(CoTaskMemAlloc(sizeof(InputScope) * (scopes.size() + 1)));
    std::copy(scopes.begin(), scopes.end(), *out);
    *count = static_cast<UINT>(scopes.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPhrase(BSTR**, UINT*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetRegularExpression(BSTR*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetSRGS(BSTR*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetXML(BSTR*) override NOT_HERE;
};

// GUID_PROP_INPUTSCOPE of a context: the same scopes over the whole text.
class ScopeProperty final : public ITfProperty {
 public:
  Scopes* scopes = nullptr;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ITfProperty) &&
        !IsEqualIID(iid, IID_ITfReadOnlyProperty)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<ITfProperty*>(this);
    return S_OK;
  }
  STATIC_UNKNOWN
  HRESULT STDMETHODCALLTYPE GetType(GUID*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE EnumRanges(TfEditCookie, IEnumTfRanges**, ITfRange*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetValue(TfEditCookie, ITfRange*, VARIANT* out) override {
    VariantInit(out);
    if (scopes == nullptr) return S_OK;  // VT_EMPTY: no scope here
    out->vt = VT_UNKNOWN;
    out->punkVal = scopes;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetContext(ITfContext**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE FindRange(TfEditCookie, ITfRange*, ITfRange**,
                                      TfAnchor) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE SetValueStore(TfEditCookie, ITfRange*,
                                          ITfPropertyStore*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE SetValue(TfEditCookie, ITfRange*, const VARIANT*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE Clear(TfEditCookie, ITfRange*) override NOT_HERE;
};

class Context final : public ITfContext,
                      public ITfSource,
                      public ITfInsertAtSelection,
                      public ITfCompartmentMgr {
 public:
  Text text;
  DocumentManager* manager = nullptr;
  ITfTextEditSink* edit_sink = nullptr;
  std::deque<ITfEditSession*> queued;
  // Synchronous sessions refused, as documented: S_OK with TF_E_SYNCHRONOUS
  // in the session's result.
  bool refuse_sync = false;
  Compartment keyboard_disabled;
  Compartment empty;
  ScopeProperty input_scope;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITfContext)) {
      *out = static_cast<ITfContext*>(this);
    } else if (IsEqualIID(iid, IID_ITfSource)) {
      *out = static_cast<ITfSource*>(this);
    } else if (IsEqualIID(iid, IID_ITfInsertAtSelection)) {
      *out = static_cast<ITfInsertAtSelection*>(this);
    } else if (IsEqualIID(iid, IID_ITfCompartmentMgr)) {
      *out = static_cast<ITfCompartmentMgr*>(this);
    } else {
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  STATIC_UNKNOWN

  // An edit session: run now when asked to, else queued for run_queued().
  HRESULT STDMETHODCALLTYPE RequestEditSession(TfClientId, ITfEditSession* session, DWORD flags,
                                               HRESULT* result) override {
    if ((flags & TF_ES_SYNC) != 0 && refuse_sync) {
      *result = TS_E_SYNCHRONOUS;  // TF_E_SYNCHRONOUS, the same value
      return S_OK;
    }
    if ((flags & TF_ES_SYNC) != 0) {
      *result = run(session);
      return S_OK;
    }
    session->AddRef();
    queued.push_back(session);
    *result = TS_S_ASYNC;
    return S_OK;
  }
  void run_queued() {
    while (!queued.empty()) {
      ITfEditSession* session = queued.front();
      queued.pop_front();
      run(session);
      session->Release();
    }
  }
  HRESULT run(ITfEditSession* session) {
    const std::wstring before = text.units;
    const HRESULT hr = session->DoEditSession(1);
    if (text.units != before && edit_sink != nullptr) edit_sink->OnEndEdit(this, 2, nullptr);
    return hr;
  }

  HRESULT STDMETHODCALLTYPE InWriteSession(TfClientId, WINBOOL*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetSelection(TfEditCookie, ULONG, ULONG count, TF_SELECTION* out,
                                         ULONG* fetched) override {
    if (count < 1) return E_INVALIDARG;
    out[0].range = new Range(this, &text, text.caret, text.selection_end);
    out[0].style.ase = TF_AE_END;
    out[0].style.fInterimChar = FALSE;
    *fetched = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSelection(TfEditCookie, ULONG count,
                                         const TF_SELECTION* selection) override {
    if (count < 1) return E_INVALIDARG;
    const auto* range = static_cast<const Range*>(selection[0].range);
    text.caret = range->start;
    text.selection_end = range->end;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStart(TfEditCookie, ITfRange**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetEnd(TfEditCookie, ITfRange**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetActiveView(ITfContextView**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE EnumViews(IEnumTfContextViews**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetStatus(TF_STATUS* status) override {
    status->dwDynamicFlags = 0;
    status->dwStaticFlags = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetProperty(REFGUID guid, ITfProperty** out) override {
    static const GUID kInputScope = {
        0x1713dd5a, 0x68e7, 0x4a5b, {0x9a, 0xf6, 0x59, 0x2a, 0x59, 0x5c, 0x77, 0x8d}};
    *out = nullptr;
    if (!IsEqualGUID(guid, kInputScope)) return E_INVALIDARG;
    *out = &input_scope;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAppProperty(REFGUID, ITfReadOnlyProperty**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE TrackProperties(const GUID**, ULONG, const GUID**, ULONG,
                                            ITfReadOnlyProperty**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE EnumProperties(IEnumTfProperties**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetDocumentMgr(ITfDocumentMgr** out) override;
  HRESULT STDMETHODCALLTYPE CreateRangeBackup(TfEditCookie, ITfRange*,
                                              ITfRangeBackup**) override NOT_HERE;

  // ITfSource: the service's text-edit sink.
  HRESULT STDMETHODCALLTYPE AdviseSink(REFIID iid, IUnknown* sink, DWORD* cookie) override {
    if (!IsEqualIID(iid, IID_ITfTextEditSink)) return E_NOINTERFACE;
    sink->QueryInterface(IID_ITfTextEditSink, reinterpret_cast<void**>(&edit_sink));
    *cookie = 11;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UnadviseSink(DWORD) override {
    if (edit_sink != nullptr) edit_sink->Release();
    edit_sink = nullptr;
    return S_OK;
  }

  // ITfCompartmentMgr: the two compartments the service reads.
  HRESULT STDMETHODCALLTYPE GetCompartment(REFGUID guid, ITfCompartment** out) override {
    *out = IsEqualGUID(guid, GUID_COMPARTMENT_KEYBOARD_DISABLED) ? &keyboard_disabled
           : IsEqualGUID(guid, GUID_COMPARTMENT_EMPTYCONTEXT)    ? &empty
                                                                 : nullptr;
    return *out != nullptr ? S_OK : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE ClearCompartment(TfClientId, REFGUID) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE EnumCompartments(IEnumGUID**) override NOT_HERE;

  // ITfInsertAtSelection: the text replaces the selection, the caret follows.
  HRESULT STDMETHODCALLTYPE InsertTextAtSelection(TfEditCookie, DWORD flags, const WCHAR* with,
                                                  LONG count, ITfRange** out) override {
    const LONG start = text.caret;
    if ((flags & TF_IAS_QUERYONLY) == 0) text.replace(start, text.selection_end, with, count);
    *out = new Range(this, &text, start, start + ((flags & TF_IAS_QUERYONLY) ? 0 : count));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertEmbeddedAtSelection(TfEditCookie, DWORD, IDataObject*,
                                                      ITfRange**) override NOT_HERE;
};

HRESULT Range::GetContext(ITfContext** out) {
  *out = context_;
  return S_OK;
}

class DocumentManager final : public ITfDocumentMgr {
 public:
  Context* top = nullptr;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ITfDocumentMgr)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<ITfDocumentMgr*>(this);
    return S_OK;
  }
  STATIC_UNKNOWN
  HRESULT STDMETHODCALLTYPE CreateContext(TfClientId, DWORD, IUnknown*, ITfContext**,
                                          TfEditCookie*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE Push(ITfContext*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE Pop(DWORD) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetTop(ITfContext** out) override {
    *out = top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBase(ITfContext** out) override { return GetTop(out); }
  HRESULT STDMETHODCALLTYPE EnumContexts(IEnumTfContexts**) override NOT_HERE;
};

HRESULT Context::GetDocumentMgr(ITfDocumentMgr** out) {
  *out = manager;
  return S_OK;
}

struct Preserved {
  GUID guid;
  TF_PRESERVEDKEY key;
};

class ThreadManager final : public ITfThreadMgr, public ITfSource, public ITfKeystrokeMgr {
 public:
  DocumentManager* focus = nullptr;
  ITfThreadMgrEventSink* thread_sink = nullptr;
  ITfKeyEventSink* key_sink = nullptr;
  std::vector<Preserved> preserved;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITfThreadMgr)) {
      *out = static_cast<ITfThreadMgr*>(this);
    } else if (IsEqualIID(iid, IID_ITfSource)) {
      *out = static_cast<ITfSource*>(this);
    } else if (IsEqualIID(iid, IID_ITfKeystrokeMgr)) {
      *out = static_cast<ITfKeystrokeMgr*>(this);
    } else {
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  STATIC_UNKNOWN

  HRESULT STDMETHODCALLTYPE Activate(TfClientId*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE Deactivate() override NOT_HERE;
  HRESULT STDMETHODCALLTYPE CreateDocumentMgr(ITfDocumentMgr**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE EnumDocumentMgrs(IEnumTfDocumentMgrs**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetFocus(ITfDocumentMgr** out) override {
    *out = focus;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetFocus(ITfDocumentMgr*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE AssociateFocus(HWND, ITfDocumentMgr*,
                                           ITfDocumentMgr**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE IsThreadFocus(WINBOOL*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetFunctionProvider(REFCLSID, ITfFunctionProvider**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE EnumFunctionProviders(IEnumTfFunctionProviders**) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetGlobalCompartment(ITfCompartmentMgr**) override NOT_HERE;

  HRESULT STDMETHODCALLTYPE AdviseSink(REFIID iid, IUnknown* sink, DWORD* cookie) override {
    if (!IsEqualIID(iid, IID_ITfThreadMgrEventSink)) return E_NOINTERFACE;
    sink->QueryInterface(IID_ITfThreadMgrEventSink, reinterpret_cast<void**>(&thread_sink));
    *cookie = 21;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UnadviseSink(DWORD) override {
    if (thread_sink != nullptr) thread_sink->Release();
    thread_sink = nullptr;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE AdviseKeyEventSink(TfClientId, ITfKeyEventSink* sink,
                                               WINBOOL) override {
    sink->AddRef();
    key_sink = sink;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UnadviseKeyEventSink(TfClientId) override {
    if (key_sink != nullptr) key_sink->Release();
    key_sink = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetForeground(CLSID*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE TestKeyDown(WPARAM, LPARAM, WINBOOL*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE TestKeyUp(WPARAM, LPARAM, WINBOOL*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE KeyDown(WPARAM, LPARAM, WINBOOL*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE KeyUp(WPARAM, LPARAM, WINBOOL*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetPreservedKey(ITfContext*, const TF_PRESERVEDKEY*,
                                            GUID*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE IsPreservedKey(REFGUID, const TF_PRESERVEDKEY*,
                                           WINBOOL*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE PreserveKey(TfClientId, REFGUID guid, const TF_PRESERVEDKEY* key,
                                        const WCHAR*, ULONG) override {
    preserved.push_back({guid, *key});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UnpreserveKey(REFGUID guid, const TF_PRESERVEDKEY*) override {
    std::erase_if(preserved, [&](const Preserved& p) { return IsEqualGUID(p.guid, guid); });
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetPreservedKeyDescription(REFGUID, const WCHAR*,
                                                       ULONG) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE GetPreservedKeyDescription(REFGUID, BSTR*) override NOT_HERE;
  HRESULT STDMETHODCALLTYPE SimulatePreservedKey(ITfContext*, REFGUID, WINBOOL*) override NOT_HERE;
};

void write_file(const wchar_t* name, const std::string& text) {
  std::ofstream(std::filesystem::path(g_profile_dir + L"\\vexo\\" + name),
                std::ios::binary | std::ios::trunc)
      << text;
}

std::string read_file(const wchar_t* name) {
  std::ifstream in(std::filesystem::path(g_profile_dir + L"\\vexo\\" + name), std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// One application window with the service activated in it.
class Typing : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteFileW((g_profile_dir + L"\\vexo\\tsf.log").c_str());
    DeleteFileW((g_profile_dir + L"\\vexo\\exceptions.txt").c_str());
    set_modifiers({});
  }
  void TearDown() override {
    if (service_ != nullptr) {
      service_->Deactivate();
      service_->Release();
    }
  }

  void activate(const std::string& settings) {
    write_file(L"settings.ini", settings);
    context_.manager = &document_;
    document_.top = &context_;
    threads_.focus = &document_;
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void (*)()>(GetProcAddress(g_dll, "DllGetClassObject")));
    ASSERT_NE(get, nullptr);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(get(to_windows(vexo::tsf::kTextServiceClsid), IID_IClassFactory,
                  reinterpret_cast<void**>(&factory)),
              S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ITfTextInputProcessor,
                                      reinterpret_cast<void**>(&service_)),
              S_OK);
    factory->Release();
    ASSERT_EQ(service_->Activate(&threads_, 7), S_OK);
    ASSERT_NE(threads_.key_sink, nullptr);
    ASSERT_NE(context_.edit_sink, nullptr);
  }

  static void set_modifiers(std::initializer_list<BYTE> held) {
    BYTE state[256] = {};
    for (const BYTE vk : held) state[vk] = 0x80;
    SetKeyboardState(state);
  }

  // One key: offered to the service, and typed into the document unless it
  // was eaten; then the document's edit ends and its queued sessions run,
  // and the key's release is offered too.
  void key(WPARAM vk, wchar_t typed) {
    const LPARAM lparam = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16 | 1;
    press(vk, lparam, typed);
    WINBOOL eaten = FALSE;
    threads_.key_sink->OnTestKeyUp(&context_, vk, lparam | 0xC0000000, &eaten);
    context_.run_queued();
  }
  void press(WPARAM vk, LPARAM lparam, wchar_t typed) {
    WINBOOL eaten = FALSE;
    threads_.key_sink->OnTestKeyDown(&context_, vk, lparam, &eaten);
    if (eaten) {
      threads_.key_sink->OnKeyDown(&context_, vk, lparam, &eaten);
      context_.run_queued();
      return;
    }
    if (text_hidden) return;  // the application keeps its text to itself
    Text& text = context_.text;
    if (vk == VK_BACK) {
      if (text.caret == 0) return;
      text.replace(text.caret - 1, text.caret, L"", 0);
    } else if (vk == VK_LEFT) {
      text.caret = text.selection_end = std::max<LONG>(0, text.caret - 1);
      return;
    } else if (typed != 0) {
      text.replace(text.caret, text.selection_end, &typed, 1);
    } else {
      return;
    }
    context_.edit_sink->OnEndEdit(&context_, 1, nullptr);
    context_.run_queued();
  }

  void type(const std::wstring& text) {
    for (const wchar_t c : text) {
      WPARAM vk = 0;
      if (c >= L'a' && c <= L'z')
        vk = 'A' + (c - L'a');
      else if (c >= L'A' && c <= L'Z')
        vk = c;
      else if (c == L' ')
        vk = VK_SPACE;
      else if (c == L'\'')
        vk = VK_OEM_7;
      else if (c == L'\r')
        vk = VK_RETURN;
      else
        vk = VK_OEM_1;
      key(vk, c);
    }
  }

  // Units typed at the caret in one edit, without key events.
  void insert(const std::wstring& units) {
    Text& t = context_.text;
    t.replace(t.caret, t.selection_end, units.data(), static_cast<LONG>(units.size()));
    context_.edit_sink->OnEndEdit(&context_, 1, nullptr);
    context_.run_queued();
  }

  // A document holding `units` with the caret at its end, as last read.
  void restart(const std::wstring& units) {
    context_.text = Text{units, static_cast<LONG>(units.size()), static_cast<LONG>(units.size())};
    context_.edit_sink->OnEndEdit(&context_, 1, nullptr);
  }

  const std::wstring& text() const { return context_.text.units; }
  LONG caret() const { return context_.text.caret; }

  ThreadManager threads_;
  DocumentManager document_;
  Context context_;
  ITfTextInputProcessor* service_ = nullptr;
  bool text_hidden = false;
};

TEST_F(Typing, AFinishedWordIsConvertedInPlace) {
  activate("");
  type(L"Men bu so'z ");
  EXPECT_EQ(text(), L"Men bu s\u00F6z ");
  EXPECT_EQ(caret(), 11);
  EXPECT_TRUE(was_logged("context mirrors typing: TSF path"));
  EXPECT_TRUE(was_logged("converted"));

  // After Enter the line break stays, and Backspace is an ordinary one.
  type(L"so'z\r");
  EXPECT_EQ(text(), L"Men bu s\u00F6z s\u00F6z\r");
  EXPECT_EQ(caret(), 15);
  key(VK_BACK, 0);
  EXPECT_EQ(text(), L"Men bu s\u00F6z s\u00F6z");
}

TEST_F(Typing, WordsInAppsThatHideTheirTextAreRetypedFromTheKeys) {
  activate("");
  text_hidden = true;
  type(L"so'z ");
  // Four Backspaces for the word and one for its Space, then the three
  // units of the converted word and a Space: 18 key-down and key-up records,
  // which this desktop may or may not take in.
  const std::vector<std::string> lines = logged();
  const bool retyped = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line == "fallback: converted" ||
           (line.starts_with("fallback: SendInput sent ") && line.ends_with("/18"));
  });
  EXPECT_TRUE(retyped);
  EXPECT_FALSE(was_logged("context mirrors typing: TSF path"));
}

TEST_F(Typing, BackspaceRightAfterAConversionTakesItBack) {
  activate("undo_remember = ha\n");
  type(L"Men so'z ");
  key(VK_BACK, 0);
  EXPECT_EQ(text(), L"Men so'z");
  EXPECT_EQ(caret(), 8);
  EXPECT_EQ(read_file(L"exceptions.txt"), "so'z\n");
  type(L" so'z ");
  EXPECT_EQ(text(), L"Men so'z so'z ");

  // Modified Backspaces and a caret move in between never undo.
  type(L"o'g'il ");
  set_modifiers({VK_CONTROL});
  key(VK_BACK, 0);
  set_modifiers({});
  EXPECT_EQ(text(), L"Men so'z so'z \u00F6\u011Fil");
  type(L" bog' ");
  key(VK_LEFT, 0);
  key(VK_BACK, 0);
  EXPECT_EQ(text().find(L"bog'"), std::wstring::npos);
  EXPECT_EQ(read_file(L"exceptions.txt"), "so'z\n");
}

TEST_F(Typing, UnsureWordEndsConvertNothing) {
  activate("");
  // Three separators at once.
  type(L"so'z");
  insert(L"   ");
  EXPECT_EQ(text(), L"so'z   ");

  // A word that begins more than 64 units back.
  restart(L"");
  type(std::wstring(70, L'x') + L"sh ");
  EXPECT_EQ(text(), std::wstring(70, L'x') + L"sh ");

  // An unpaired surrogate.
  restart(L"Men ");
  type(L"so'z");
  insert(L"\xDC00");
  insert(L" ");
  EXPECT_EQ(text(), L"Men so'z\xDC00 ");

  // A selection instead of a caret: nothing is read.
  restart(L"so'z");
  context_.text = Text{L"so'z x", 5, 6};
  context_.edit_sink->OnEndEdit(&context_, 1, nullptr);
  context_.run_queued();
  EXPECT_EQ(text(), L"so'z x");

  // A second Space before the document ran the first one's session.
  restart(L"");
  type(L"so'z");
  for (int i = 0; i < 2; ++i) {
    context_.text.replace(context_.text.caret, context_.text.caret, L" ", 1);
    context_.edit_sink->OnEndEdit(&context_, 1, nullptr);
  }
  context_.run_queued();
  EXPECT_EQ(text(), L"so'z  ");
  EXPECT_TRUE(was_logged("skip: text changed meanwhile"));
}

TEST_F(Typing, DisabledAppsConvertNothingUntilTheListChanges) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring exe(path, n);
  exe = exe.substr(exe.rfind(L'\\') + 1);
  activate("disabled_apps = " + std::string(exe.begin(), exe.end()) + "\n");
  type(L"so'z ");
  EXPECT_EQ(text(), L"so'z ");
  write_file(L"settings.ini", "disabled_apps = putty.exe\n");
  Sleep(1100);
  type(L"so'z ");
  EXPECT_EQ(text(), L"so'z s\u00F6z ");
}

TEST_F(Typing, AltGrKeysOfTheKeyMapArePreservedAndInserted) {
  activate("keymap = ha\nlayout = altgr\n");
  EXPECT_FALSE(threads_.preserved.empty());
  // AltGr+o: scan code 0x18, no Shift.
  const GUID o = {0xC4EC1800, 0x6C4E, 0x47B1, {0xA3, 0xD5, 0x2E, 0x9F, 0x0B, 0x6C, 0x1D, 0x84}};
  WINBOOL eaten = FALSE;
  threads_.key_sink->OnPreservedKey(&context_, o, &eaten);
  context_.run_queued();
  EXPECT_TRUE(eaten);
  EXPECT_EQ(text(), L"\u00F6");
  EXPECT_EQ(caret(), 1);
}

// Password fields, disabled keyboards and empty contexts: neither the word
// end in the text nor the keys change anything there.
TEST_F(Typing, FieldsThatHideTheirTextAreLeftAlone) {
  Scopes password;
  password.scopes = {IS_DEFAULT, IS_PASSWORD};
  const char* const lines[] = {"context left alone: password field",
                               "context left alone: keyboard disabled",
                               "context left alone: empty context"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(lines[i]);
    if (i == 0) context_.input_scope.scopes = &password;
    if (i == 1) context_.keyboard_disabled.value = 1;
    if (i == 2) context_.empty.value = 1;
    activate("keymap = ha\nlayout = altgr\n");
    for (const bool hidden : {false, true}) {
      text_hidden = hidden;
      restart(L"");
      type(L"so'z ");
      key(VK_BACK, 0);
      if (!hidden) {
        EXPECT_EQ(text(), L"so'z");
      }
    }
    const GUID o = {0xC4EC1800, 0x6C4E, 0x47B1, {0xA3, 0xD5, 0x2E, 0x9F, 0x0B, 0x6C, 0x1D, 0x84}};
    WINBOOL eaten = TRUE;
    threads_.key_sink->OnPreservedKey(&context_, o, &eaten);
    EXPECT_FALSE(eaten);
    const std::vector<std::string> log = logged();
    EXPECT_EQ(std::count(log.begin(), log.end(), lines[i]), 1);
    EXPECT_FALSE(was_logged("fallback: converted"));
    service_->Deactivate();
    service_->Release();
    service_ = nullptr;
    context_.input_scope.scopes = nullptr;
    context_.keyboard_disabled.value = context_.empty.value = 0;
    DeleteFileW((g_profile_dir + L"\\vexo\\tsf.log").c_str());
  }
}

// A document that refuses synchronous locks while it handles a key says so
// in the session's result: the key map character and the undo then run as
// soon as the document allows, instead of being dropped.
TEST_F(Typing, RefusedSynchronousSessionsRunLater) {
  activate("keymap = ha\nlayout = altgr\n");
  context_.refuse_sync = true;
  const GUID o = {0xC4EC1800, 0x6C4E, 0x47B1, {0xA3, 0xD5, 0x2E, 0x9F, 0x0B, 0x6C, 0x1D, 0x84}};
  WINBOOL eaten = FALSE;
  threads_.key_sink->OnPreservedKey(&context_, o, &eaten);
  EXPECT_TRUE(eaten);
  context_.run_queued();
  EXPECT_EQ(text(), L"\u00F6");
  type(L" so'z ");
  EXPECT_EQ(text(), L"\u00F6 s\u00F6z ");
  key(VK_BACK, 0);
  EXPECT_EQ(text(), L"\u00F6 so'z");
}

// A context pushed into another document does not take the sink from the
// focused one; after a pop the sink is on whatever document has the focus.
TEST_F(Typing, PushedAndPoppedContextsFollowTheFocus) {
  activate("");
  Context other;
  DocumentManager other_document;
  other.manager = &other_document;
  other_document.top = &other;
  threads_.thread_sink->OnPushContext(&other);
  EXPECT_NE(context_.edit_sink, nullptr);
  EXPECT_EQ(other.edit_sink, nullptr);
  threads_.focus = &other_document;
  threads_.thread_sink->OnPopContext(&context_);
  EXPECT_EQ(context_.edit_sink, nullptr);
  EXPECT_NE(other.edit_sink, nullptr);
  threads_.focus = &document_;
  threads_.thread_sink->OnPopContext(&other);
  EXPECT_NE(context_.edit_sink, nullptr);
  EXPECT_EQ(other.edit_sink, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  return vexo::test::run_dll_tests(argc, argv, L"vexo-host-");
}
