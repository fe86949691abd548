#!/usr/bin/env bash
# Converts the office test documents (made by LibreOffice from the flat-XML
# sources in tests/fixtures/lo/src/, and by python-docx/openpyxl) with the
# built `vexo` (build/ by default), re-opens every result in LibreOffice
# headless and compares its text with `vexo` on the input's text, then checks
# the way back (`file --old`). Installs LibreOffice when missing (run as root).
#   tools/check-libreoffice.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/libreoffice.sh
lo_install
build=$(realpath "${1:-build}")
cd tests/fixtures
python3 ../document_check.py "$build/cli/vexo" "$build/document_check" lo \
  letter.docx code.docx prefixed.docx sheet.xlsx tables.xlsx
