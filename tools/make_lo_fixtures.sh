#!/usr/bin/env bash
# Remakes the office documents in tests/fixtures/lo/ with LibreOffice from
# every flat-XML source in tests/fixtures/lo/src/: NAME.fodt gives NAME.docx,
# NAME.fods NAME.xlsx and NAME.fodp NAME.pptx; a source named NAME.EXT.fodt
# (.fods, .fodp) gives NAME.EXT instead, in whatever format LibreOffice
# writes for EXT (odt, ods, docx, ...). Run as root when LibreOffice is not
# installed yet.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/libreoffice.sh
lo_install
src=tests/fixtures/lo/src
out=tests/fixtures/lo
work=$(mktemp -d)
trap 'rm -rf "$work" "$lo_profile"' EXIT
for source in "$src"/*.fodt "$src"/*.fods "$src"/*.fodp; do
  [ -e "$source" ] || continue
  name=$(basename "$source")
  stem=${name%.*}
  case "$name" in
    *.*.fod?) extension=${stem##*.}; stem=${stem%.*} ;;
    *.fodt) extension=docx ;;
    *.fods) extension=xlsx ;;
    *.fodp) extension=pptx ;;
  esac
  rm -rf "$work"/*
  cp "$source" "$work/$stem.${name##*.}"
  lo_convert "$(lo_filter "$extension")" "$work" "$work/$stem.${name##*.}"
  if [ ! -s "$work/$stem.$extension" ]; then
    echo "LibreOffice did not convert $source" >&2
    exit 1
  fi
  mv "$work/$stem.$extension" "$out/$stem.$extension"
  echo "$source -> $out/$stem.$extension"
done
