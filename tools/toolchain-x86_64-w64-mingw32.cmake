# Cross build for x86_64 Windows with Debian's mingw-w64 (posix threads model).
# VEXO_DEPS_PREFIX names the static expat/libzip/ICU built by
# tools/windows-deps.sh; zlib comes from /usr/x86_64-w64-mingw32.
set(VEXO_WINDOWS_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/windows-toolchain.cmake)
