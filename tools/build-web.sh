#!/usr/bin/env bash
# Builds the browser page into build-web/site/: the static files of web/ and
# the core compiled to WebAssembly with Debian's emscripten (the libraries it
# needs come from tools/web-deps.sh). Prints the size of every file the page
# loads, raw and compressed. Serve the directory over http to use it:
#
#   bash tools/build-web.sh && python3 -m http.server -d build-web/site 8000
set -euo pipefail
shopt -s inherit_errexit

root=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXO_WEB_BUILD:-$root/build-web}
jobs=${VEXO_JOBS:-2}
prefix=$(bash "$root/tools/web-deps.sh" | tail -n 1)
export NODE_PATH=/usr/share/nodejs   # emcc's JavaScript tools need Debian's acorn
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig

emcmake cmake -S "$root" -B "$build/wasm" -DCMAKE_BUILD_TYPE=Release \
  -DVEXO_BUILD_TESTS=OFF -DVEXO_BUILD_BENCH=OFF \
  -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DICU_ROOT="$prefix" >/dev/null
cmake --build "$build/wasm" --target vexo_web -j "$jobs"

site=$build/site
rm -rf "$site.tmp" && mkdir -p "$site.tmp"
cp "$root"/web/{index.html,style.css,app.js} "$build"/wasm/web/vexo.{js,wasm} "$site.tmp/"
# The offline store is named after the files it holds.
version=$(cat "$site.tmp"/* | sha256sum | cut -c1-16)
sed "s/@VERSION@/$version/" "$root/web/sw.js" >"$site.tmp/sw.js"
rm -rf "$site" && mv "$site.tmp" "$site"

# What a first visit downloads, as stored and as a server would compress it.
echo "site: $site"
compressed() { if command -v "$1" >/dev/null; then "$@" <"$file" | wc -c; else echo -; fi; }
printf '  %-10s %9s %9s %9s\n' file bytes gzip brotli
total=(0 0 0)
for name in index.html style.css app.js vexo.js vexo.wasm sw.js; do
  file=$site/$name
  sizes=("$(stat -c %s "$file")" "$(compressed gzip -9c)" "$(compressed brotli -c -q 11)")
  printf '  %-10s %9s %9s %9s\n' "$name" "${sizes[@]}"
  for i in 0 1 2; do
    [ "${sizes[i]}" = - ] || total[i]=$((total[i] + sizes[i]))
  done
done
printf '  %-10s %9s %9s %9s\n' total "${total[@]}"
