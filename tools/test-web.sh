#!/usr/bin/env bash
# Builds the browser page and tests it in headless Chromium against the
# native program (tests/web/browser_test.cjs). puppeteer-core comes from npm
# and is kept outside the repository. With --screenshot the page's picture in
# the README (web/screenshot.png) is taken again.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root=$PWD

# node and npm may come from elsewhere; Debian's are installed only when missing.
missing=()
dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q 'install ok installed' ||
  missing+=(chromium)
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends "${missing[@]}"
fi

modules=${VEXO_WEB_NODE_CACHE:-/var/cache/vexo-web-node}
puppeteer=puppeteer-core@24.37.0
if [ "$(cat "$modules/.installed" 2>/dev/null)" != "$puppeteer" ]; then
  mkdir -p "$modules"
  # No browser download and no peer packages: the system Chromium is driven.
  (cd "$modules" && npm install --no-audit --no-fund --legacy-peer-deps --ignore-scripts "$puppeteer")
  echo "$puppeteer" >"$modules/.installed"
fi

bash tools/build-web.sh
if [ ! -x build/cli/vexo ]; then
  bash tools/setup.sh
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build --target vexo -j "${VEXO_JOBS:-2}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
shot=()
[ "${1:-}" = --screenshot ] && shot=("$root/web/screenshot.png")
NODE_PATH=$modules/node_modules node tests/web/browser_test.cjs \
  "$root/build-web/site" "$root/build/cli/vexo" "$work" "${shot[@]}"
