// The last conversion, kept so that one Backspace right after it can take it
// back. At most one per service instance.
#pragma once

#include <string>

namespace vexo::tsf {

struct UndoRecord {
  std::string typed;          // the word as typed (UTF-8)
  std::string converted;      // the word as converted (UTF-8)
  bool via_fallback = false;  // made by synthetic keystrokes, not an edit session
};

}  // namespace vexo::tsf
