#!/bin/sh
# Installs the build into a private prefix, compiles the C test program
# against it through pkg-config, and runs it.
# Usage: capi_c_test.sh BUILD_DIR C_SOURCE C_COMPILER [EXTRA_FLAGS...]
set -eu
build=$1
source=$2
cc=$3
shift 3
stage="$build/capi-stage"
rm -rf "$stage"
"${CMAKE:-cmake}" --install "$build" --prefix "$stage" >/dev/null
pcdir=$(dirname "$(find "$stage" -name vexo.pc | head -n 1)")
export PKG_CONFIG_PATH="$pcdir"
libdir=$(pkg-config --variable=libdir vexo)
# shellcheck disable=SC2046
"$cc" -std=c11 -Wall -Wextra -Werror "$@" -o "$build/capi_c_test" "$source" \
  $(pkg-config --cflags --libs vexo) "-Wl,-rpath,$libdir"
"$build/capi_c_test"
