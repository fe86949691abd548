#!/usr/bin/env bash
# Builds the Windows programs, vexo.exe and vexo_tsf.dll, for i686 and x86_64
# with mingw-w64 on Debian 12 (run as root: it installs what it needs). The
# results are copied to build-windows/dist/<arch>/. The x86_64 build also
# holds the core test suite, which tools/test-windows.sh runs under Wine.
#
#   usage: tools/build-windows.sh [i686] [x86_64]     (default: both)
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${VEXO_JOBS:-2}
arches=("$@")
[ "${#arches[@]}" -gt 0 ] || arches=(i686 x86_64)

for arch in "${arches[@]}"; do
  triple=$arch-w64-mingw32
  build=$root/build-windows/$arch
  start=$SECONDS
  deps=$(VEXO_JOBS=$jobs bash tools/windows-deps.sh "$arch" | tail -n 1)
  echo "== $arch: dependencies ready in $((SECONDS - start)) s ($deps)"

  start=$SECONDS
  tests=OFF
  if [ "$arch" = x86_64 ]; then
    # Only 64-bit programs run here. Wine must be there before CMake is
    # configured: the toolchain names it as the emulator that runs the tests.
    tests=ON
    bash tools/install-wine.sh
  fi
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/tools/toolchain-$triple.cmake" \
    -DVEXO_DEPS_PREFIX="$deps" -DCMAKE_BUILD_TYPE=Release -DVEXO_WERROR=ON \
    -DVEXO_BUILD_BENCH=OFF -DVEXO_BUILD_TESTS=$tests >/dev/null
  cmake --build "$build" -j "$jobs"
  dist=$root/build-windows/dist/$arch
  mkdir -p "$dist"
  for binary in cli/vexo.exe tsf/vexo_tsf.dll; do
    if [ -f "$build/$binary" ]; then
      "$triple-strip" -o "$dist/$(basename "$binary")" "$build/$binary"
    fi
  done
  echo "== $arch: built in $((SECONDS - start)) s"
  ls -l "$dist"
done
