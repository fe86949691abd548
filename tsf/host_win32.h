// The Windows implementation of the key handling's host calls (user32 and
// kernel32). One instance serves a whole process; it holds no state.
#pragma once

#include "tsf/host.h"

namespace vexo::tsf {

// The host calls of the running Windows process.
Host& win32_host();

}  // namespace vexo::tsf
