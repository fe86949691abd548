// Entry point of vexo.exe, a Unicode console program (linked with -municode).
// The platform layer reads the arguments from GetCommandLineW itself, so the
// runtime's copies are not passed on.
#include "cli/app.h"

int wmain(int, wchar_t**) { return vexo::cli::start(0, nullptr); }
