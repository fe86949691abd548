// The entry points Windows itself calls in vexo_tsf.dll. They are exported by
// name through vexo_tsf.def; nothing here can throw.
#include "tsf/module.h"

namespace vexo::tsf {
namespace {

// Written once, while the loader holds its lock, before any other code of the
// DLL can run; read-only afterwards.
HINSTANCE g_instance = nullptr;

}  // namespace

HINSTANCE module_instance() { return g_instance; }

}  // namespace vexo::tsf

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) vexo::tsf::g_instance = instance;
  return TRUE;
}

// The DLL stays loaded for the life of the process: threads started by the
// service and the word lists built once must never lose their code.
extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }
