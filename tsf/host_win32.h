// The Windows implementation of the key handling's host calls (user32 and
// kernel32). One instance serves a whole process; its only state is the
// mouse hook of each thread that has the text service active.
#pragma once

#include "tsf/host.h"

namespace vexo::tsf {

// The host calls of the running Windows process.
Host& win32_host();

// Installs the thread-local mouse hook through which `clicks_since_last_poll`
// sees clicks in the calling thread's windows; false when it could not be
// installed. Each successful call is matched by one `unwatch_mouse` on the
// same thread.
bool watch_mouse();
void unwatch_mouse();

}  // namespace vexo::tsf
