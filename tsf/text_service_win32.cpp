// The TextService COM object and the Windows side of its activation: the
// thread manager, document managers and edit-sink advice of
// tsf/thread_manager.h over ITfThreadMgr, ITfSource and ITfKeystrokeMgr, and
// the warm-up thread. What activation does is decided in tsf/service.cpp.
#include "tsf/text_service_win32.h"

#include <msctf.h>

#include <atomic>
#include <memory>
#include <new>
#include <string>

#include "core/lexicon.h"
#include "tsf/com_edge.h"
#include "tsf/com_ref.h"
#include "tsf/guids.h"
#include "tsf/log.h"
#include "tsf/profile.h"
#include "tsf/service.h"

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
      return activate(state_, std::move(bound), client_id, host);
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
  HRESULT STDMETHODCALLTYPE OnPushContext(ITfContext* context) override {
    return at_com_edge<HRESULT>("push context", S_OK, [&] {
      if (context == nullptr) return S_OK;
      ComRef<ITfDocumentMgr> document;
      HRESULT hr = context->GetDocumentMgr(document.put());
      if (SUCCEEDED(hr) && !document) hr = E_FAIL;
      if (FAILED(hr)) {
        log("push context failed hr=" + format_hr(hr));
        return S_OK;
      }
      rebind_to(std::move(document));
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE OnPopContext(ITfContext*) override { return S_OK; }

  // ITfTextEditSink: word ends are detected by the key handling code.
  HRESULT STDMETHODCALLTYPE OnEndEdit(ITfContext*, TfEditCookie, ITfEditRecord*) override {
    return S_OK;
  }

  // ITfKeyEventSink: no key is eaten yet.
  HRESULT STDMETHODCALLTYPE OnSetFocus(WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnTestKeyDown(ITfContext*, WPARAM, LPARAM, WINBOOL* eaten) override {
    return not_eaten(eaten);
  }
  HRESULT STDMETHODCALLTYPE OnTestKeyUp(ITfContext*, WPARAM, LPARAM, WINBOOL* eaten) override {
    return not_eaten(eaten);
  }
  HRESULT STDMETHODCALLTYPE OnKeyDown(ITfContext*, WPARAM, LPARAM, WINBOOL* eaten) override {
    return not_eaten(eaten);
  }
  HRESULT STDMETHODCALLTYPE OnKeyUp(ITfContext*, WPARAM, LPARAM, WINBOOL* eaten) override {
    return not_eaten(eaten);
  }
  HRESULT STDMETHODCALLTYPE OnPreservedKey(ITfContext*, REFGUID, WINBOOL* eaten) override {
    return not_eaten(eaten);
  }

 private:
  ~TextService() = default;

  static HRESULT not_eaten(WINBOOL* eaten) {
    if (eaten == nullptr) return E_INVALIDARG;
    *eaten = FALSE;
    return S_OK;
  }

  void rebind_to(ComRef<ITfDocumentMgr> document) {
    Win32Host host;
    if (!document) {
      rebind(state_, nullptr, host);
      return;
    }
    TsfDocument bound(std::move(document), static_cast<ITfTextEditSink*>(this));
    rebind(state_, &bound, host);
  }

  std::atomic<ULONG> references_{1};
  SharedState state_;
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
