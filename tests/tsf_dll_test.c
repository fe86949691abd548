/* vexo_tsf.dll as a Windows application meets it: loaded at run time with
 * LoadLibraryW, every export resolved by name with GetProcAddress, and the C
 * interface checks of capi_test.c run through the resolved pointers. Exits
 * non-zero when the DLL, an export or a check is missing or wrong. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

#include "tsf/vexo.h"

/* The nine functions of the C interface, as resolved from the DLL. */
static struct {
  __typeof__(&vexo_convert) convert;
  __typeof__(&vexo_free) free;
  __typeof__(&vexo_session_complete_word) session_complete_word;
  __typeof__(&vexo_session_free) session_free;
  __typeof__(&vexo_session_new) session_new;
  __typeof__(&vexo_session_reset) session_reset;
  __typeof__(&vexo_to_cyrillic) to_cyrillic;
  __typeof__(&vexo_to_old) to_old;
  __typeof__(&vexo_warm_up) warm_up;
} api;

/* The checks below call the interface by its names; route those names
 * through the pointers. vexo.h is already included, so capi_test.c's own
 * include of it adds nothing. */
#define vexo_convert (*api.convert)
#define vexo_free (*api.free)
#define vexo_session_complete_word (*api.session_complete_word)
#define vexo_session_free (*api.session_free)
#define vexo_session_new (*api.session_new)
#define vexo_session_reset (*api.session_reset)
#define vexo_to_cyrillic (*api.to_cyrillic)
#define vexo_to_old (*api.to_old)
#define vexo_warm_up (*api.warm_up)
#define main run_c_interface_checks
#include "capi_test.c"
#undef main

/* Resolves one export; reports it when it is missing. */
static FARPROC resolve(HMODULE dll, const char* name) {
  FARPROC address = GetProcAddress(dll, name);
  if (address == NULL) fprintf(stderr, "export missing: %s\n", name);
  return address;
}

/* FARPROC to the export's own type, through the generic function type that
 * compilers accept for such casts. */
#define RESOLVE(field, name) \
  (api.field = (__typeof__(api.field))(void (*)(void))resolve(dll, name), api.field != NULL)

int main(void) {
  /* The DLL sits next to this program; load it by full path so that no other
   * copy on the search path can stand in for it. */
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  wchar_t* slash = wcsrchr(path, L'\\');
  if (slash == NULL || (size_t)(slash + 1 - path) + 13 > MAX_PATH) return 1;
  wcscpy(slash + 1, L"vexo_tsf.dll");
  HMODULE dll = LoadLibraryW(path);
  if (dll == NULL) {
    fprintf(stderr, "LoadLibraryW failed: %lu\n", (unsigned long)GetLastError());
    return 1;
  }

  int ok = 1;
  ok &= resolve(dll, "DllMain") != NULL;
  FARPROC can_unload = resolve(dll, "DllCanUnloadNow");
  ok &= can_unload != NULL;
  ok &= RESOLVE(convert, "vexo_convert");
  ok &= RESOLVE(free, "vexo_free");
  ok &= RESOLVE(session_complete_word, "vexo_session_complete_word");
  ok &= RESOLVE(session_free, "vexo_session_free");
  ok &= RESOLVE(session_new, "vexo_session_new");
  ok &= RESOLVE(session_reset, "vexo_session_reset");
  ok &= RESOLVE(to_cyrillic, "vexo_to_cyrillic");
  ok &= RESOLVE(to_old, "vexo_to_old");
  ok &= RESOLVE(warm_up, "vexo_warm_up");
  /* Decorated stdcall names would mean the exports are not the plain ones. */
  if (GetProcAddress(dll, "DllCanUnloadNow@0") != NULL) {
    fprintf(stderr, "decorated export DllCanUnloadNow@0\n");
    ok = 0;
  }
  if (!ok) return 1;

  /* The DLL stays loaded for the life of the process. */
  HRESULT(WINAPI * can_unload_now)(void) = (HRESULT(WINAPI*)(void))(void (*)(void))can_unload;
  if (can_unload_now() != S_FALSE) {
    fprintf(stderr, "DllCanUnloadNow did not answer S_FALSE\n");
    return 1;
  }
  return run_c_interface_checks();
}
