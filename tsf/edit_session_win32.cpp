#include "tsf/edit_session_win32.h"

#include <new>
#include <utility>

#include "tsf/document_win32.h"
#include "tsf/edit_session.h"
#include "tsf/handler.h"

namespace vexo::tsf {
namespace {

// An ITfEditSession that runs one function with the session's cookie and
// keeps its context alive until TSF releases it.
class Session final : public ITfEditSession {
 public:
  using Body = std::function<void(ITfContext*, TfEditCookie)>;

  Session(ITfContext* context, const char* label, LogFn log, Body body)
      : context_(context), label_(label), log_(std::move(log)), body_(std::move(body)) {
    context_->AddRef();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITfEditSession)) {
      *out = static_cast<ITfEditSession*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP DoEditSession(TfEditCookie cookie) override {
    return at_handler_edge(label_, S_OK, log_, [&] {
      body_(context_, cookie);
      return S_OK;
    });
  }

 private:
  ~Session() { context_->Release(); }

  ITfContext* context_;
  const char* label_;
  LogFn log_;
  Body body_;
  ULONG references_ = 1;
};

ITfEditSession* new_session(ITfContext* context, const char* label, LogFn log, Session::Body body) {
  return new (std::nothrow) Session(context, label, std::move(log), std::move(body));
}

}  // namespace

ITfEditSession* new_convert_session(ITfContext* context, ConvertRequest request, LogFn log,
                                    std::function<void(UndoRecord)> record_undo) {
  return new_session(context, "edit session", log,
                     [request = std::move(request), log, record_undo = std::move(record_undo)](
                         ITfContext* c, TfEditCookie cookie) {
                       ContextDocument document(c, cookie);
                       ConvertOutcome outcome =
                           run_convert_session(document, request.word, request.converted);
                       if (outcome.undo) record_undo(std::move(*outcome.undo));
                       log(outcome.log);
                     });
}

ITfEditSession* new_restore_session(ITfContext* context, UndoRecord undo,
                                    std::shared_ptr<std::uint8_t> ran, RestoreHooks hooks) {
  LogFn log = hooks.log;
  return new_session(context, "restore", std::move(log),
                     [undo = std::move(undo), ran = std::move(ran), hooks = std::move(hooks)](
                         ITfContext* c, TfEditCookie cookie) {
                       *ran = 1;
                       ContextDocument document(c, cookie);
                       const RestoreOutcome outcome = run_restore_session(document, undo);
                       switch (outcome.status) {
                         case RestoreOutcome::Status::Restored:
                           hooks.restored(undo.typed);
                           break;
                         case RestoreOutcome::Status::PlainBackspace:
                           hooks.plain_backspace();
                           break;
                         case RestoreOutcome::Status::Failed:
                           hooks.log(outcome.log);
                           break;
                       }
                     });
}

ITfEditSession* new_insert_session(ITfContext* context, char32_t c,
                                   std::shared_ptr<std::uint8_t> inserted, LogFn log) {
  return new_session(context, "insert", log,
                     [c, inserted = std::move(inserted), log](ITfContext* context_of_session,
                                                              TfEditCookie cookie) {
                       ContextDocument document(context_of_session, cookie);
                       if (std::optional<std::string> failure = run_insert_session(document, c)) {
                         log(*failure);
                         return;
                       }
                       *inserted = 1;
                     });
}

ITfEditSession* new_scope_session(ITfContext* context, LogFn log,
                                  std::function<void(bool hides_text)> found) {
  return new_session(context, "input scope", log,
                     [found = std::move(found)](ITfContext* c, TfEditCookie cookie) {
                       const std::optional<bool> hides = ContextDocument(c, cookie).hides_text();
                       if (hides) found(*hides);
                     });
}

}  // namespace vexo::tsf
