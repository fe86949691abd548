#!/bin/sh
# Installs the build into a private prefix and checks what lands there: the
# program with the build's version, the library with its soname links, the
# pkg-config file, the header, the completion, and a man page that renders
# without warnings and names every command and option of the help text. Then
# compiles the C test program against the installed library through
# pkg-config and runs it.
# Usage: install_test.sh BUILD_DIR C_SOURCE C_COMPILER [EXTRA_FLAGS...]
set -eu
build=$1
source=$2
cc=$3
shift 3
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
stage="$build/install-stage"
rm -rf "$stage"
"${CMAKE:-cmake}" --install "$build" --prefix "$stage" >/dev/null
version=$(cat "$build/vexo-version")

[ "$("$stage/bin/vexo" --version)" = "vexo $version" ] || fail "installed program's version"
pcdir=$(dirname "$(find "$stage" -name vexo.pc | head -n 1)")
libdir=$(dirname "$pcdir")
export PKG_CONFIG_PATH="$pcdir"
[ "$(pkg-config --modversion vexo)" = "$version" ] || fail "pkg-config version"
[ "$(pkg-config --variable=libdir vexo)" = "$libdir" ] || fail "pkg-config libdir"
[ "$(readlink "$libdir/libvexo.so")" = libvexo.so.1 ] || fail "libvexo.so link"
[ -f "$libdir/$(readlink "$libdir/libvexo.so.1")" ] || fail "libvexo.so.1 link"
objdump -p "$libdir/libvexo.so.1" | grep -q 'SONAME *libvexo\.so\.1$' || fail "soname"
[ -f "$stage/include/vexo.h" ] || fail "header"
[ -f "$stage/share/bash-completion/completions/vexo" ] || fail "bash completion"

page="$stage/share/man/man1/vexo.1.gz"
warnings=$(gzip -dc "$page" | groff -man -ww -z -Tutf8 2>&1) || fail "man page: groff failed"
[ -z "$warnings" ] || fail "man page warnings: $warnings"
text=$(gzip -dc "$page" | groff -man -rLL=300n -Tutf8 -P-cbou 2>/dev/null)
case $text in *"vexo $version"*) ;; *) fail "man page lacks the version $version" ;; esac
for word in $("$stage/bin/vexo" --help |
  sed -n 's/^  vexo \[\{0,1\}\([a-z][a-z]*\).*/\1/p; s/^  vexo \(-[-a-zA-Z]*\).*/\1/p
           s/^  \(-[-a-z]*\).*/\1/p' |
  sed 's/=.*//'); do
  case $text in *"$word"*) ;; *) fail "man page lacks '$word' of the help text" ;; esac
done

# shellcheck disable=SC2046
"$cc" -std=c11 -Wall -Wextra -Werror "$@" -o "$build/capi_c_test" "$source" \
  $(pkg-config --cflags --libs vexo) "-Wl,-rpath,$libdir"
"$build/capi_c_test"
