// The DLL's own instance handle, recorded by DllMain when the DLL is loaded.
// Windows only; registration uses it to find the DLL's path.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace vexo::tsf {

// The instance handle of vexo_tsf.dll; null until the DLL is attached.
HINSTANCE module_instance();

}  // namespace vexo::tsf
