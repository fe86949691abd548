# Shared part of the mingw-w64 toolchain files; VEXO_WINDOWS_TRIPLE is set by
# the file that includes this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VEXO_WINDOWS_TRIPLE})

# The -posix compilers: the -win32 ones lack std::thread, std::mutex and
# std::call_once.
set(CMAKE_C_COMPILER ${VEXO_WINDOWS_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXO_WINDOWS_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXO_WINDOWS_TRIPLE}-windres)

# try_compile projects re-read this file; hand them the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VEXO_DEPS_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${VEXO_WINDOWS_TRIPLE} ${VEXO_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR}
    "${VEXO_DEPS_PREFIX}/lib/pkgconfig:/usr/${VEXO_WINDOWS_TRIPLE}/lib/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Everything static, so the outputs import only system DLLs (zlib too: a
# zlib1.dll import would silently bind to Wine's built-in copy).
set(ZLIB_USE_STATIC_LIBS ON)

# 64-bit Windows programs run here under Wine; CTest uses it as the emulator.
if(VEXO_WINDOWS_TRIPLE STREQUAL "x86_64-w64-mingw32" AND EXISTS /usr/lib/wine/wine64)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
