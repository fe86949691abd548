#!/usr/bin/env bash
# Installs the Debian packages vexo builds and tests with (run as root).
set -euo pipefail
source "$(dirname "$0")/apt.sh"
packages=(
  cmake g++ make pkg-config python3 groff-base bash-completion
  libicu-dev zlib1g-dev libzip-dev libexpat1-dev libdeflate-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3-docx python3-openpyxl
  clang libclang-rt-dev
)
apt_install_missing "${packages[@]}"
