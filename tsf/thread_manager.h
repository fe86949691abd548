// What the text service asks of the TSF thread manager it is activated with,
// as a small interface: advising and unadvising its sinks, preserving keys,
// and the focused document. The DLL implements it over ITfThreadMgr (with
// ITfSource and ITfKeystrokeMgr); tests implement it with a recorder.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "tsf/com_types.h"

namespace vexo::tsf {

// A key registered with ITfKeystrokeMgr::PreserveKey.
struct PreservedKey {
  std::uint32_t virtual_key = 0;
  std::uint32_t modifiers = 0;  // TF_MOD_* bits
  Guid guid;
  friend bool operator==(const PreservedKey&, const PreservedKey&) = default;
};

// The service's text-edit sink advised on one context; unadvise() ends it.
class EditSinkAdvice {
 public:
  virtual ~EditSinkAdvice() = default;
  virtual void unadvise() = 0;
};

// A document manager: its top context takes the service's text-edit sink.
class DocumentManager {
 public:
  virtual ~DocumentManager() = default;
  virtual HResult advise_edit_sink(std::unique_ptr<EditSinkAdvice>& out) = 0;
};

class ThreadManager {
 public:
  virtual ~ThreadManager() = default;
  // ITfSource::AdviseSink(IID_ITfThreadMgrEventSink, service, &cookie).
  virtual HResult advise_thread_sink(std::uint32_t& cookie) = 0;
  virtual HResult unadvise_thread_sink(std::uint32_t cookie) = 0;
  // ITfKeystrokeMgr::AdviseKeyEventSink(client id, service, foreground).
  virtual HResult advise_key_sink(std::uint32_t client_id) = 0;
  virtual HResult unadvise_key_sink(std::uint32_t client_id) = 0;
  virtual HResult preserve_key(std::uint32_t client_id, const PreservedKey& key,
                               std::u16string_view description) = 0;
  virtual HResult unpreserve_key(const PreservedKey& key) = 0;
  // The focused document manager; null when nothing has the focus.
  virtual std::unique_ptr<DocumentManager> focused_document() = 0;
};

}  // namespace vexo::tsf
