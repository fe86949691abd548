# Cross build for i686 Windows with Debian's mingw-w64 (posix threads model).
# VEXO_DEPS_PREFIX names the static expat/libzip/ICU built by
# tools/windows-deps.sh; zlib comes from /usr/i686-w64-mingw32.
set(VEXO_WINDOWS_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/windows-toolchain.cmake)
