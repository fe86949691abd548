#!/usr/bin/env bash
# Tests the Debian packages of tools/build-deb.sh on this machine: lintian
# finds no error or warning; apt-get installs them with their dependencies;
# the installed vexo converts and has the build's version; man renders the
# page; the README's C example compiles through pkg-config and runs without
# LD_LIBRARY_PATH; removing the packages takes back every file they brought.
# Run as root on Debian 12 (installs lintian and man-db when missing).
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root=$(pwd)
apt=(apt-get -o DPkg::Lock::Timeout=900 -y --no-install-recommends)
export DEBIAN_FRONTEND=noninteractive
missing=()
for p in lintian man-db; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] || "${apt[@]}" install "${missing[@]}"

mapfile -t debs < <(bash tools/build-deb.sh | tail -n 2)
version=$(cat build-deb/vexo-version)

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
expect() {  # what, expected, actual
  [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== lintian" >&2
lintian --fail-on error,warning "${debs[@]}" >&2 || fail "lintian"

# A copy left by an earlier run would hide files that removal must take back.
for package in vexo-dev vexo; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
    "${apt[@]}" purge "$package" >&2
  fi
done
# Every path in the packages that is not on the system before installing.
for deb in "${debs[@]}"; do
  dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||'
done | sort -u | while read -r path; do
  [ -z "$path" ] || [ -e "$path" ] || [ -L "$path" ] || echo "$path"
done >"$work/new-paths"

echo "== installing ${debs[*]}" >&2
"${apt[@]}" install "${debs[@]}" >&2

expect "program on the PATH" /usr/bin/vexo "$(command -v vexo)"
expect "conversion" "Özbekiston" "$(vexo "O'zbekiston")"
expect "version" "vexo $version" "$(vexo --version)"
page=$(MANWIDTH=80 man --warnings -l /usr/share/man/man1/vexo.1.gz 2>"$work/man-warnings")
[ ! -s "$work/man-warnings" ] || fail "man warnings: $(cat "$work/man-warnings")"
[[ $page == *"VEXO(1)"*"vexo $version"* ]] || fail "man page not rendered"
expect "man finds the page" /usr/share/man/man1/vexo.1.gz "$(man -w vexo)"

# The README's C example, as written there.
sed -n '/^    #include <stdio.h>/,/^    }/s/^    //p' README.md >"$work/hello.c"
grep -q vexo_convert "$work/hello.c" || fail "no C example in README.md"
# shellcheck disable=SC2046
cc -o "$work/hello" "$work/hello.c" $(pkg-config --cflags --libs vexo) || fail "C example build"
expect "C example" "Özbekiston şahar" "$(env -u LD_LIBRARY_PATH "$work/hello")"
expect "pkg-config version" "$version" "$(pkg-config --modversion vexo)"
expect "pkg-config libdir" "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)" \
  "$(pkg-config --variable=libdir vexo)"

echo "== removing" >&2
"${apt[@]}" purge vexo-dev vexo >&2
while read -r path; do
  if [ -e "$path" ] || [ -L "$path" ]; then fail "left after removal: $path"; fi
done <"$work/new-paths"
hash -r
if command -v vexo >/dev/null; then fail "vexo still on the PATH"; fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "== packages: all checks passed" >&2
