#!/usr/bin/env bash
# Builds the static WebAssembly libraries the browser page needs (zlib,
# expat, libzip, ICU's common library) with Debian's emscripten from Debian's
# own source packages, pinned to the versions of the installed Linux -dev
# packages, and prints the install prefix on the last line of standard
# output. Emscripten's "ports" fetch sources from the internet and are not
# used. Results are cached outside the repository, keyed by the emscripten
# and library versions, so a second run returns at once.
#
#   usage: tools/web-deps.sh        (run as root)
set -euo pipefail
shopt -s inherit_errexit

here=$(cd "$(dirname "$0")" && pwd)
cache=${VEXO_WEB_DEPS_CACHE:-/var/cache/vexo-web-deps}
jobs=${VEXO_JOBS:-2}
log() { echo "web-deps: $*" >&2; }

# --- tools -------------------------------------------------------------------
need=(emscripten dpkg-dev cmake make libicu-dev libexpat1-dev libzip-dev zlib1g-dev)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  log "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends "${missing[@]}" >&2
fi
# emcc's JavaScript tools need Debian's node modules (acorn) whatever node runs.
export NODE_PATH=/usr/share/nodejs

source_version() { dpkg-query -W -f='${source:Version}' "$1"; }
emscripten_v=$(source_version emscripten)
zlib_v=$(source_version zlib1g-dev)
expat_v=$(source_version libexpat1-dev)
libzip_v=$(source_version libzip-dev)
icu_v=$(source_version libicu-dev)
# Versions may hold ':' (an epoch), which search path lists would split at.
key=emscripten$emscripten_v-zlib$zlib_v-expat$expat_v-libzip$libzip_v-icu$icu_v
prefix=$cache/${key//:/_}
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# --- sources -----------------------------------------------------------------
# shellcheck source=tools/deb-source.sh
source "$here/deb-source.sh"

zlib_src=$(unpacked_source zlib "$zlib_v")
expat_src=$(unpacked_source expat "$expat_v")
libzip_src=$(unpacked_source libzip "$libzip_v")
icu_src=$(unpacked_source icu "$icu_v")

# --- build -------------------------------------------------------------------
# Installed straight into the final prefix; the stamp written last marks it
# complete, so an interrupted build is simply redone.
mkdir -p "$cache"
work=$(mktemp -d "$cache/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
mkdir -p "$prefix/lib" "$prefix/include/unicode"
flags=(-O2 -ffunction-sections -fdata-sections)
cmake_flags=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix"
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF
  -DCMAKE_C_FLAGS="${flags[*]}" -DCMAKE_CXX_FLAGS="${flags[*]}")

# zlib: its C files alone; the configure script only writes a header here.
log "building zlib $zlib_v"
mkdir -p "$work/zlib"
for src in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
  inftrees trees uncompr zutil; do
  echo "$zlib_src/$src.c"
done | xargs -P "$jobs" -I{} sh -c 'emcc "$@" -DHAVE_UNISTD_H -DHAVE_STDARG_H -c "$0" \
  -o "'"$work"'/zlib/$(basename "$0" .c).o"' {} "${flags[@]}"
emar rcs "$prefix/lib/libz.a" "$work"/zlib/*.o
cp "$zlib_src/zlib.h" "$zlib_src/zconf.h" "$prefix/include/"

# expat: Debian's patched CMake build leaves XML_DTD/XML_NS defined empty,
# which breaks "#if XML_DTD"; give them a value in a private copy.
log "building expat $expat_v"
cp -a "$expat_src" "$work/expat"
expat_dir=$work/expat
[ -f "$expat_dir/expat/CMakeLists.txt" ] && expat_dir=$expat_dir/expat
sed -i -e 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' \
  -e 's/^#cmakedefine XML_NS$/#cmakedefine XML_NS 1/' "$expat_dir/expat_config.h.cmake"
emcmake cmake -S "$expat_dir" -B "$work/expat-build" "${cmake_flags[@]}" \
  -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_TESTS=OFF \
  -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=ON >&2
cmake --build "$work/expat-build" -j "$jobs" >&2
cmake --install "$work/expat-build" >&2

# CMake cannot read type sizes out of emscripten's test programs; off_t is
# 64 bits there.
log "building libzip $libzip_v"
emcmake cmake -S "$libzip_src" -B "$work/libzip-build" "${cmake_flags[@]}" \
  -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a" \
  -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
  -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
  -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
  -DHAVE_SIZEOF_OFF_T=TRUE -DSIZEOF_OFF_T=8 >&2
cmake --build "$work/libzip-build" -j "$jobs" >&2
cmake --install "$work/libzip-build" >&2

# ICU: the common library alone, without a data file. The properties and case
# mappings vexo uses are compiled into it; stubdata satisfies the data symbol.
log "building ICU common $icu_v"
icu_common=$icu_src/source/common
mkdir -p "$work/icu"
export icu_common work
find "$icu_common" -maxdepth 1 -name '*.cpp' -print0 |
  xargs -0 -P "$jobs" -I{} sh -c \
    'em++ -O2 -std=gnu++17 -DU_COMMON_IMPLEMENTATION -DU_STATIC_IMPLEMENTATION \
       -ffunction-sections -fdata-sections -I"$icu_common" -c "$1" \
       -o "$work/icu/$(basename "$1" .cpp).o"' _ {}
em++ -O2 -std=gnu++17 -DU_STATIC_IMPLEMENTATION -ffunction-sections -fdata-sections \
  -I"$icu_common" -c "$icu_src/source/stubdata/stubdata.cpp" -o "$work/icu/stubdata.o"
emar rcs "$prefix/lib/libicuuc.a" "$work"/icu/*.o
cp "$icu_common"/unicode/*.h "$prefix/include/unicode/"

for src in "$zlib_src" "$expat_src" "$libzip_src" "$icu_src"; do
  echo "$(basename "$(dirname "$src")") built from $(cat "$(dirname "$src")/version")"
done >"$prefix/sources.txt"
touch "$prefix/.complete"
log "installed in $prefix"
echo "$prefix"
