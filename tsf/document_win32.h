// The document interfaces over TSF: a context read and edited with the cookie
// of a running edit session, and edit-session requests on a context.
#pragma once

#include <msctf.h>

#include <optional>

#include "tsf/document.h"

namespace vexo::tsf {

// The text of an ITfContext as seen from inside one edit session. The context
// stays owned by the caller and must outlive this object.
class ContextDocument final : public TextDocument {
 public:
  ContextDocument(ITfContext* context, TfEditCookie cookie) : context_(context), cookie_(cookie) {}

  CaretRead read_before_caret(std::size_t max_units) override;
  EditResult replace_before_caret(std::size_t span_units, std::size_t kept_units,
                                  std::u16string_view text) override;
  bool is_transitory() override;
  HResult insert_at_selection(std::u16string_view text) override;

  // Whether the input scope at the selection is a password or PIN; nothing
  // when the context has no input scope property or it cannot be read.
  std::optional<bool> hides_text();

 private:
  ITfContext* context_;
  TfEditCookie cookie_;
};

// Requests one edit session on a context for a client. The caller keeps the
// context and the session alive for the call.
class ContextRequester final : public SessionRequester {
 public:
  ContextRequester(ITfContext* context, TfClientId client, ITfEditSession* session)
      : context_(context), client_(client), session_(session) {}

  Answer request(std::uint32_t flags) override;

 private:
  ITfContext* context_;
  TfClientId client_;
  ITfEditSession* session_;
};

}  // namespace vexo::tsf
