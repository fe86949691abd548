# Settings for the Windows programs, cross-built with mingw-w64 (see
# tools/toolchain-*.cmake and tools/build-windows.sh).

# The dependencies are static libraries: their headers must not declare
# imports from DLLs.
add_compile_definitions(U_STATIC_IMPLEMENTATION ZIP_STATIC XML_STATIC)

# Fully static, so the outputs import only system DLLs (no libstdc++, libgcc,
# libwinpthread or zlib DLL); unused sections of the static ICU are dropped.
add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(-static -Wl,--gc-sections)

# Wine runs the x86_64 test programs. Its settings travel with the emulator
# command, so CTest needs nothing from the calling environment; the prefix
# is a throw-away one inside the build tree.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(VEXO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  # mscoree,mshtml= is the list-safe spelling of "mscoree=;mshtml=".
  set(CMAKE_CROSSCOMPILING_EMULATOR
      /usr/bin/env LANG=C.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
      WINEPREFIX=${VEXO_WINEPREFIX} ${CMAKE_CROSSCOMPILING_EMULATOR})
endif()

# -O2, as the Linux builds: GCC 12 at -O3 reports false -Wrestrict overlaps
# inside std::string concatenation (GCC bug 105651), fatal with -Werror.
string(REPLACE "-O3" "-O2" CMAKE_CXX_FLAGS_RELEASE "${CMAKE_CXX_FLAGS_RELEASE}")
string(REPLACE "-O3" "-O2" CMAKE_C_FLAGS_RELEASE "${CMAKE_C_FLAGS_RELEASE}")

# A version resource for a program or DLL, from the project version, so that
# Windows shows the product name and version in the file's properties.
enable_language(RC)
function(vexo_version_resource target description)
  set(VEXO_RC_NAME ${target})
  set(VEXO_RC_DESCRIPTION "${description}")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(VEXO_RC_FILE ${target}.exe)
    set(VEXO_RC_TYPE VFT_APP)
  else()
    set(VEXO_RC_FILE ${target}.dll)
    set(VEXO_RC_TYPE VFT_DLL)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/tools/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
