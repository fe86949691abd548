// The TextService COM object: the text input processor TSF creates in each
// thread that takes text input, with its thread-manager, text-edit and key
// event sinks. Windows only.
#pragma once

#include <windows.h>

namespace vexo::tsf {

// A new TextService with a fresh ServiceState, answered for `iid`; the
// object's only reference then belongs to `*out`.
HRESULT create_text_service(REFIID iid, void** out);

}  // namespace vexo::tsf
