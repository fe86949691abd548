// The edge of every COM method the DLL exports: nothing thrown inside may
// unwind into the host application (on i686 with DWARF unwinding it could not
// even pass through the host's frames). A failure is logged as
// "panic in {label}" and the method returns its stated fallback instead.
#pragma once

#include <string>
#include <string_view>

#include "tsf/log.h"

namespace vexo::tsf {

template <typename Result, typename Body>
Result at_com_edge(std::string_view label, Result fallback, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    try {
      log("panic in " + std::string(label));
    } catch (...) {
      // Nothing more can be done without a log; the host carries on.
    }
    return fallback;
  }
}

}  // namespace vexo::tsf
