#!/usr/bin/env bash
# Builds the static Windows libraries vexo needs (expat, libzip, ICU's common
# library) for one architecture from Debian's own source packages, pinned to
# the versions of the installed Linux -dev packages, and prints the install
# prefix on the last line of standard output. zlib comes from Debian's
# libz-mingw-w64-dev. Results are cached outside the repository, keyed by
# architecture and versions, so a second run returns at once.
#
#   usage: tools/windows-deps.sh i686|x86_64        (run as root)
set -euo pipefail
shopt -s inherit_errexit

arch=${1:?usage: windows-deps.sh i686|x86_64}
case "$arch" in i686 | x86_64) ;; *) echo "unknown architecture: $arch" >&2; exit 2 ;; esac
triple=$arch-w64-mingw32
here=$(cd "$(dirname "$0")" && pwd)
cache=${VEXO_WIN_DEPS_CACHE:-/var/cache/vexo-win-deps}
jobs=${VEXO_JOBS:-2}
log() { echo "windows-deps: $*" >&2; }

# --- tools -------------------------------------------------------------------
need=(mingw-w64 libz-mingw-w64-dev dpkg-dev cmake make libicu-dev libexpat1-dev libzip-dev)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  log "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update >&2
  apt-get install -y --no-install-recommends "${missing[@]}" >&2
fi

source_version() { dpkg-query -W -f='${source:Version}' "$1"; }
expat_v=$(source_version libexpat1-dev)
libzip_v=$(source_version libzip-dev)
icu_v=$(source_version libicu-dev)
prefix=$cache/$triple-expat$expat_v-libzip$libzip_v-icu$icu_v
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# --- sources -----------------------------------------------------------------
# shellcheck source=tools/deb-source.sh
source "$here/deb-source.sh"

expat_src=$(unpacked_source expat "$expat_v")
libzip_src=$(unpacked_source libzip "$libzip_v")
icu_src=$(unpacked_source icu "$icu_v")

# --- build -------------------------------------------------------------------
# Installed straight into the final prefix (CMake and pkg-config files record
# it); the stamp written last marks it complete, so an interrupted build is
# simply redone.
mkdir -p "$cache"
work=$(mktemp -d "$cache/build-$triple.XXXXXX")
trap 'rm -rf "$work"' EXIT
stage=$prefix
rm -rf "$stage"
toolchain=$here/toolchain-$triple.cmake
cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVEXO_DEPS_PREFIX="$stage"
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage")

# expat: Debian's patched CMake build leaves XML_DTD/XML_NS defined empty,
# which breaks "#if XML_DTD"; give them a value in a private copy.
log "building expat $expat_v"
cp -a "$expat_src" "$work/expat"
expat_dir=$work/expat
[ -f "$expat_dir/expat/CMakeLists.txt" ] && expat_dir=$expat_dir/expat
sed -i -e 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' \
  -e 's/^#cmakedefine XML_NS$/#cmakedefine XML_NS 1/' "$expat_dir/expat_config.h.cmake"
cmake -S "$expat_dir" -B "$work/expat-build" "${cross[@]}" -DEXPAT_SHARED_LIBS=OFF \
  -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
  -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=ON >&2
cmake --build "$work/expat-build" -j "$jobs" >&2
cmake --install "$work/expat-build" >&2

log "building libzip $libzip_v"
cmake -S "$libzip_src" -B "$work/libzip-build" "${cross[@]}" -DBUILD_SHARED_LIBS=OFF \
  -DZLIB_USE_STATIC_LIBS=ON -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF \
  -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF \
  -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF \
  -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF >&2
cmake --build "$work/libzip-build" -j "$jobs" >&2
cmake --install "$work/libzip-build" >&2

# ICU: the common library alone, without a data file. The properties and case
# mappings vexo uses are compiled into it; stubdata satisfies the data symbol.
log "building ICU common $icu_v"
icu_common=$icu_src/source/common
mkdir -p "$work/icu" "$stage/lib" "$stage/include/unicode"
cxx=$triple-g++-posix
export cxx icu_common
find "$icu_common" -maxdepth 1 -name '*.cpp' -print0 |
  xargs -0 -P "$jobs" -I{} sh -c \
    '"$cxx" -O2 -std=gnu++17 -DU_COMMON_IMPLEMENTATION -DU_STATIC_IMPLEMENTATION \
       -ffunction-sections -fdata-sections -I"$icu_common" -c "$1" -o "$2/$(basename "$1" .cpp).o"' \
    _ {} "$work/icu"
"$cxx" -O2 -std=gnu++17 -DU_STATIC_IMPLEMENTATION -ffunction-sections -fdata-sections \
  -I"$icu_common" -c "$icu_src/source/stubdata/stubdata.cpp" -o "$work/icu/stubdata.o"
"$triple-ar" rcs "$stage/lib/libicuuc.a" "$work"/icu/*.o
cp "$icu_common"/unicode/*.h "$stage/include/unicode/"

for src in "$expat_src" "$libzip_src" "$icu_src"; do
  echo "$(basename "$(dirname "$src")") built from $(cat "$(dirname "$src")/version")"
done >"$prefix/sources.txt"
touch "$prefix/.complete"
log "installed in $prefix"
echo "$prefix"
