#!/usr/bin/env bash
# Converts every LibreOffice-made document in tests/fixtures/lo/ with the
# built `vexo` (build/ by default) and re-opens each result in LibreOffice
# headless, comparing its text with `vexo` on the input's text. Installs
# LibreOffice when missing (run as root).
#   tools/check-libreoffice.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/libreoffice.sh
lo_install
build=${1:-build}
python3 tests/lo_check.py "$build/cli/vexo" tests/fixtures/lo "$build/lo_check"
