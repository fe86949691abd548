#!/usr/bin/env bash
# Installs the Debian packages vexo builds and tests with (run as root).
set -euo pipefail
packages=(
  cmake g++ make pkg-config python3 groff-base bash-completion
  libicu-dev zlib1g-dev libzip-dev libexpat1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3-docx python3-openpyxl
  clang libclang-rt-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
