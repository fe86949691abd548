#!/usr/bin/env bash
# Speed of `vexo file` on large office documents made by LibreOffice: a
# word-processing document and a workbook of about MB megabytes of prose each
# (bench/make_big_office.py, converted from flat XML by LibreOffice headless),
# kept in VEXO_BENCH_DIR (default /tmp/vexo-bench) between runs. Prints, for
# the median of VEXO_BENCH_RUNS runs, the wall and processor time, the speed in
# MB of package XML per second of processor time and the peak memory, also
# for converting the results back to the old spelling (a cheap conversion:
# the office path alone, about); then the wall time of COPIES documents
# converted with -j 1 and with -j N.
#
#   bench/office_bench.sh [--mb MB] [--copies COPIES] [--jobs N]
#
# VEXO_BIN names another binary; by default build/ is configured and built.
set -euo pipefail
cd "$(dirname "$0")/.."
mb=12
copies=8
jobs=$(nproc)
while [ $# -gt 0 ]; do
  case "$1" in
    --mb) mb=$2; shift 2 ;;
    --copies) copies=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
runs=${VEXO_BENCH_RUNS:-3}
work=${VEXO_BENCH_DIR:-/tmp/vexo-bench}/office-$mb
mkdir -p "$work"

if [ -z "${VEXO_BIN:-}" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
  cmake --build build -j "$(nproc)" --target vexo > /dev/null
fi
vexo=$(realpath "${VEXO_BIN:-build/cli/vexo}")

if [ ! -s "$work/big.docx" ] || [ ! -s "$work/big.xlsx" ]; then
  source tools/libreoffice.sh
  lo_install
  python3 bench/make_big_office.py "$mb" "$work"
  lo_convert "$(lo_filter docx)" "$work" "$work/big.fodt"
  lo_convert "$(lo_filter xlsx)" "$work" "$work/big.fods"
  [ -s "$work/big.docx" ] && [ -s "$work/big.xlsx" ] || { echo "LibreOffice failed" >&2; exit 1; }
fi

# MB of XML the package holds (uncompressed .xml and .rels parts).
xml_mb() {
  python3 -c 'import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
print("%.2f" % (sum(i.file_size for i in z.infolist() if i.filename.endswith((".xml", ".rels"))) / 1e6))' "$1"
}

# "cpu-seconds wall-seconds max-rss-kB" of the median run.
measure() {
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%U %S %e %M" -o "$work/time" "$@" > /dev/null
    awk '{ printf "%.2f %s %s\n", $1 + $2, $3, $4 }' "$work/time"
  done | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

# One line: NAME, then the figures of `vexo file -j 1 ARGS... -o OUT IN`.
report() {  # report NAME IN OUT ARGS...
  local name=$1 in=$2 out=$3; shift 3
  local mb_xml seconds wall rss rate
  mb_xml=$(xml_mb "$in")
  read -r seconds wall rss < <(measure "$vexo" file -j 1 "$@" -o "$out" "$in")
  rate=$(awk -v m="$mb_xml" -v s="$seconds" 'BEGIN { printf "%.1f", m / (s > 0 ? s : 0.01) }')
  printf '%-14s %7s MB XML %7ss wall %7ss cpu %6s MB/s %6s MB peak\n' "$name" "$mb_xml" "$wall" \
    "$seconds" "$rate" "$((rss / 1024))"
}

echo "vexo file on LibreOffice documents; median of $runs runs"
for name in big.docx big.xlsx; do
  report "$name" "$work/$name" "$work/out.${name##*.}"
done
# The results back to the old spelling: that conversion costs little next to
# reading, aligning and writing the documents, so this is about the speed of
# the office path itself.
for name in big.docx big.xlsx; do
  ext=${name##*.}
  cp "$work/out.$ext" "$work/new.$ext"
  report "$name --old" "$work/new.$ext" "$work/out.$ext" --old
done

# Several documents at once: copies of the word-processing document.
rm -rf "$work/many" && mkdir -p "$work/many"
for i in $(seq "$copies"); do cp "$work/big.docx" "$work/many/d$i.docx"; done
for j in 1 "$jobs"; do
  read -r seconds wall rss < <(measure "$vexo" file -j "$j" "$work"/many/d*[0-9].docx)
  printf '%s documents -j %-3s %7ss wall %7ss cpu %6s MB peak\n' "$copies" "$j" "$wall" "$seconds" \
    "$((rss / 1024))"
done
rm -rf "$work/many" "$work"/out.* "$work"/new.*
